#include "tests/support/ProgramStandin.h"

#include "core/session/ORBEndpoints.h"
#include "platform/os/AppPaths.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "tests/support/ProcessUtil.h"

#include <cstdlib>
#include <filesystem>
#include <memory>

namespace testsupport {

namespace {

    class StandinEnvironment final : public ::testing::Environment {
    public:
        void SetUp() override
        {
            dataDir_ = makeTempDir("orb-program-server");
            server::ServerOptions options;
            options.dataDirectory = dataDir_;
            server_ = std::make_unique<server::StandinServer>(options);
            platform::Error error;
            if (!server_->start(&error)) {
                server_.reset();
                FAIL() << "the stand-in server did not start: " << error.localizedDescription();
            }
        }
        void TearDown() override
        {
            if (server_)
                server_->stop();
            server_.reset();
            std::error_code ignored;
            std::filesystem::remove_all(dataDir_, ignored);
        }

        static server::StandinServer* server() { return server_.get(); }

    private:
        std::string dataDir_;
        static inline std::unique_ptr<server::StandinServer> server_;
    };

    [[maybe_unused]] auto* const registered = ::testing::AddGlobalTestEnvironment(new StandinEnvironment);

} // namespace

server::StandinServer* programStandinIfUp() { return StandinEnvironment::server(); }

server::StandinServer& ProgramStandinTest::standin()
{
    auto* server = programStandinIfUp();
    if (!server)
        std::abort();
    return *server;
}

void ProgramStandinTest::SetUp()
{
    platform::RunLoop::setMainThread();
    platform::setLogSink([](std::string_view) {});
    ASSERT_NE(programStandinIfUp(), nullptr);
    home = makeTempDir(homePrefix_.c_str());
    ASSERT_FALSE(home.empty());
    platform::AppPaths::setHome(home);
    core::ORBEndpoints::setServerBase(standin().baseUrl());
    standin().script().clear();
    standin().requests().clear();
}

void ProgramStandinTest::TearDown()
{
    if (programStandinIfUp())
        standin().script().clear();
    platform::AppPaths::resetHome();
    platform::setLogSink({});
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

} // namespace testsupport
