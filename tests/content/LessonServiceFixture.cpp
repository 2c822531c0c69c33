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

using foundation::HTTPRequest;
using foundation::HTTPRequestDelegate;
using foundation::HTTPRequestPtr;

namespace lessontest {

namespace {

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

void LessonServiceTest::SetUp()
{
    ProgramStandinTest::SetUp();
    if (HasFatalFailure())
        return;
    content::APIRequest::setServiceBase(std::nullopt);
    content::APIRequest::setClock({});
    content::APIRequest::loadUser();
}

void LessonServiceTest::TearDown()
{
    content::APIRequest::setClock({});
    content::APIRequest::setServiceBase(std::nullopt);
    core::DateHelper::setDateNow(std::nullopt);
    ProgramStandinTest::TearDown();
    // The portal user read again from the default home, so that no test's
    // user is left for the tests of other fixtures.
    content::APIRequest::loadUser();
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
