#include "tests/core/network/DispatcherFixture.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/util/ORBEndpoints.h"
#include "platform/os/AppPaths.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "tests/support/ProcessUtil.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace dispatchertest {

namespace {

    // One server for the whole test program: seeding the demo school takes
    // longer than most tests.
    class StandinEnvironment final : public ::testing::Environment {
    public:
        void SetUp() override
        {
            dataDir_ = testsupport::makeTempDir("orb-dispatcher-server");
            server::ServerOptions options;
            options.dataDirectory = dataDir_;
            server_ = std::make_unique<server::StandinServer>(options);
            platform::Error error;
            ASSERT_TRUE(server_->start(&error)) << error.localizedDescription();
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

    void pump(const std::shared_ptr<Outcome>& outcome, double waitSeconds)
    {
        auto& loop = platform::RunLoop::main();
        loop.runUntil([outcome] { return outcome->done(); }, waitSeconds);
        // A second report, if there were one, would come right behind the first.
        loop.runUntil([] { return false; }, 0.05);
    }

} // namespace

void runUntilDone(const std::shared_ptr<Outcome>& outcome, double waitSeconds) { pump(outcome, waitSeconds); }

server::StandinServer& DispatcherTest::standin()
{
    auto* server = StandinEnvironment::server();
    if (!server)
        std::abort();
    return *server;
}

void DispatcherTest::SetUp()
{
    platform::RunLoop::setMainThread();
    // The client logs every request and reply; a failing test shows what matters.
    platform::setLogSink([](std::string_view) {});
    ASSERT_NE(StandinEnvironment::server(), nullptr);
    home = testsupport::makeTempDir("orb-dispatcher-home");
    ASSERT_FALSE(home.empty());
    platform::AppPaths::setHome(home);
    core::ORBEndpoints::setServerBase(standin().baseUrl());
    core::MyAccountInfo::setInstance(nullptr);
    core::MyAccountInfo::setDeviceToken(std::nullopt);
    core::ORBNetworkHelper::sharedORBNetworkHelper().setTimeOutSeconds(5);
    standin().script().clear();
    standin().requests().clear();
}

void DispatcherTest::TearDown()
{
    core::MyAccountInfo::setInstance(nullptr);
    core::MyAccountInfo::setDeviceToken(std::nullopt);
    core::ORBNetworkHelper::sharedORBNetworkHelper().setTimeOutSeconds(core::ORBNetworkHelper::kDefaultTimeOutSeconds);
    if (StandinEnvironment::server())
        standin().script().clear();
    platform::AppPaths::resetHome();
    platform::setLogSink({});
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

Outcome DispatcherTest::post(int type, const platform::Value& params, double waitSeconds)
{
    auto outcome = std::make_shared<Outcome>();
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        type, params, [outcome] { ++outcome->starts; },
        [outcome](const platform::Value& result) {
            ++outcome->successes;
            outcome->success = result;
        },
        [outcome](const std::string& message) {
            ++outcome->failures;
            outcome->failure = message;
        });
    pump(outcome, waitSeconds);
    return *outcome;
}

Outcome DispatcherTest::get(int type, const platform::Value& params, double waitSeconds)
{
    auto outcome = std::make_shared<Outcome>();
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        type, params, [outcome] { ++outcome->starts; },
        [outcome](const platform::Value& result) {
            ++outcome->successes;
            outcome->success = result;
        },
        [outcome](const std::string& message) {
            ++outcome->failures;
            outcome->failure = message;
        });
    pump(outcome, waitSeconds);
    return *outcome;
}

std::shared_ptr<core::MyAccountInfo> DispatcherTest::signIn(const char* login, const char* password, std::size_t index)
{
    Outcome outcome = post(0, platform::Dictionary { { "account", login }, { "psw", password } });
    EXPECT_TRUE(outcome.success) << outcome.failure.value_or("no answer");
    if (!outcome.success)
        return nullptr;
    auto session = core::MyAccountInfo::myAccountWithObj(*outcome.success);
    core::MyAccountInfo::setInstance(session);
    EXPECT_TRUE(session && session->accounts() && session->accounts()->size() > index);
    if (!session || !session->accounts() || session->accounts()->size() <= index)
        return nullptr;
    session->setCurrent((*session->accounts())[index]);
    return session;
}

std::vector<server::LoggedRequest> DispatcherTest::requests() const { return standin().requests().all(); }

server::LoggedRequest DispatcherTest::lastRequest() const
{
    auto last = standin().requests().last();
    EXPECT_TRUE(last) << "the server received nothing";
    return last.value_or(server::LoggedRequest {});
}

std::string DispatcherTest::databasePath() const { return home + "/Documents/_cache.db"; }

std::string DispatcherTest::sqlite(const std::string& sql) const
{
    std::string script = home + "/query.sql";
    testsupport::writeTextFile(script, sql + '\n');
    std::string output = testsupport::runCommand("sqlite3 -batch " + testsupport::shellQuoted(databasePath()) + " < "
        + testsupport::shellQuoted(script) + " 2>&1")
                             .output;
    if (!output.empty() && output.back() == '\n')
        output.pop_back();
    return output;
}

} // namespace dispatchertest
