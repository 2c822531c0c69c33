#include "tests/foundation/http/HttpTestHarness.h"

#include "platform/net/HttpCookieStorage.h"
#include "platform/os/AppPaths.h"
#include "platform/os/Bundle.h"
#include "tests/support/ProcessUtil.h"

#include <cstdlib>
#include <optional>
#include <gtest/gtest.h>
#include <unistd.h>

using foundation::HTTPRequest;
using foundation::HTTPRequestPtr;

namespace http_test {

RecordingDelegate::RecordingDelegate()
{
    requestStarted = [this](const HTTPRequestPtr&) { note("started"); };
    requestDidReceiveResponseHeaders = [this](const HTTPRequestPtr&, const platform::Dictionary&) { note("headers"); };
    requestFinished = [this](const HTTPRequestPtr&) { note("finished"); };
    requestFailed = [this](const HTTPRequestPtr&) { note("failed"); };
    requestRedirected = [this](const HTTPRequestPtr& request) {
        note("redirected");
        redirects.push_back(request->url().absoluteString());
    };
}

void RecordingDelegate::note(const std::string& event)
{
    if (!platform::RunLoop::isMainThread())
        offMainThread = true;
    events.push_back(event);
}

bool runRequest(const std::shared_ptr<HTTPRequest>& request, double timeoutSeconds)
{
    auto done = std::make_shared<bool>(false);
    request->setCompletionBlock([done] { *done = true; });
    request->setFailedBlock([done] { *done = true; });
    request->startAsynchronous();
    return platform::RunLoop::main().runUntil([done] { return *done; }, timeoutSeconds);
}

void pumpMainLoop(double seconds)
{
    platform::RunLoop::main().runUntil([] { return false; }, seconds);
}

std::string bodyText(const std::shared_ptr<HTTPRequest>& request)
{
    auto data = request->responseData();
    return data ? std::string(data->begin(), data->end()) : std::string("<none>");
}

namespace {

    // One home folder and one set of application facts for the whole run; the
    // network thread is stopped at the end so that nothing outlives the tests.
    class HttpEnvironment final : public ::testing::Environment {
    public:
        void SetUp() override
        {
            platform::RunLoop::setMainThread();
            home_.emplace("orb-http-home");
            platform::AppPaths::setHome(home_->path());
            platform::Bundle::Info info;
            info.displayName = "家校通";
            info.name = "OrbClient";
            info.shortVersion = "2.1";
            info.buildVersion = "210";
            platform::Bundle::setMain(std::make_shared<platform::Bundle>(info));
            HTTPRequest::setDefaultTimeOutSeconds(5);
        }
        void TearDown() override
        {
            HTTPRequest::shutdownNetworkThread();
            home_.reset();
        }

    private:
        std::optional<testsupport::TempDir> home_;
    };

    [[maybe_unused]] auto* const environment = ::testing::AddGlobalTestEnvironment(new HttpEnvironment);

} // namespace

} // namespace http_test
