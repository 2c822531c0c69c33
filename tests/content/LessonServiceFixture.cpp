#include "tests/content/LessonServiceFixture.h"

#include "core/session/ORBEndpoints.h"
#include "core/util/DateHelper.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/AppPaths.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "platform/os/UserDefaults.h"
#include "tests/support/ProcessUtil.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace lessontest {

namespace {

    class StandinEnvironment final : public ::testing::Environment {
    public:
        void SetUp() override
        {
            dataDir_ = testsupport::makeTempDir("orb-lessons-server");
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

    class Delegate final : public HTTPRequestDelegate {
    public:
        explicit Delegate(std::shared_ptr<ServiceOutcome> outcome)
        {
            requestStarted = [outcome](const HTTPRequestPtr&) { ++outcome->started; };
            requestFinished = [outcome](const HTTPRequestPtr& request) {
                ++outcome->finished;
                outcome->result = content::GCResultInfo::instanceWithObj(request->responseData());
            };
            requestFailed = [outcome](const HTTPRequestPtr& request) {
                ++outcome->failed;
                outcome->error = request->error();
            };
        }
    };

} // namespace

server::StandinServer& LessonServiceTest::standin()
{
    auto* server = StandinEnvironment::server();
    if (!server)
        std::abort();
    return *server;
}

void LessonServiceTest::SetUp()
{
    platform::RunLoop::setMainThread();
    platform::setLogSink([](std::string_view) {});
    ASSERT_NE(StandinEnvironment::server(), nullptr);
    home = testsupport::makeTempDir("orb-lessons-home");
    ASSERT_FALSE(home.empty());
    platform::AppPaths::setHome(home);
    core::ORBEndpoints::setServerBase(standin().baseUrl());
    content::APIRequest::setServiceBase(std::nullopt);
    content::APIRequest::setClock({});
    content::APIRequest::loadUser();
    standin().script().clear();
    standin().requests().clear();
}

void LessonServiceTest::TearDown()
{
    content::APIRequest::setClock({});
    content::APIRequest::setServiceBase(std::nullopt);
    core::DateHelper::setDateNow(std::nullopt);
    if (StandinEnvironment::server())
        standin().script().clear();
    platform::AppPaths::resetHome();
    content::APIRequest::loadUser();
    platform::setLogSink({});
    std::error_code ignored;
    std::filesystem::remove_all(home, ignored);
}

ServiceOutcome LessonServiceTest::run(const std::shared_ptr<content::APIRequest>& request, double waitSeconds)
{
    auto outcome = std::make_shared<ServiceOutcome>();
    auto delegate = std::make_shared<Delegate>(outcome);
    request->setDelegate(delegate);
    request->startAsynchronous();
    platform::RunLoop::main().runUntil([outcome] { return outcome->finished + outcome->failed > 0; }, waitSeconds);
    return *outcome;
}

std::vector<platform::Dictionary> LessonServiceTest::bodiesTo(const std::string& api) const
{
    std::vector<platform::Dictionary> out;
    for (const auto& logged : standin().requests().all()) {
        if (logged.path == "/m/" + api + ".json" && logged.json && logged.json->isDictionary())
            out.push_back(*logged.json->asDictionary());
    }
    return out;
}

Fetched fetch(const std::string& path, const std::optional<std::string>& range)
{
    auto url = platform::Url::parse(LessonServiceTest::standin().baseUrl() + path);
    auto request = HTTPRequest::requestWithURL(*url);
    if (range)
        request->addRequestHeader("Range", *range);
    auto done = std::make_shared<bool>(false);
    request->setCompletionBlock([done] { *done = true; });
    request->setFailedBlock([done] { *done = true; });
    request->startAsynchronous();
    platform::RunLoop::main().runUntil([done] { return *done; }, 15);
    Fetched out;
    out.status = request->responseStatusCode();
    if (auto data = request->responseData())
        out.body.assign(data->begin(), data->end());
    auto headers = request->responseHeaders();
    out.contentType = headers.get("Content-Type").stringValue();
    out.contentRange = headers.get("Content-Range").stringValue();
    return out;
}

std::string fileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

} // namespace lessontest
