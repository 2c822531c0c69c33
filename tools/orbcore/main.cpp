// orbcore: drives the client core from the command line. Steps run in order
// in one process, because the session lives in memory only: sign in, then
// send commands and queries as the screens would, and print what their
// success blocks would receive, or the failure text.
#include "core/network/ORBNetworkHelper.h"
#include "core/network/builders/ORBUploadControl.h"
#include "core/session/MyAccountInfo.h"
#include "core/util/ORBEndpoints.h"
#include "platform/os/AppPaths.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/RunLoop.h"
#include "platform/os/UserDefaults.h"
#include "tools/orbcore/ModelPrinter.h"

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

using foundation::HTTPRequestDelegate;
using foundation::HTTPRequestPtr;
using foundation::RequestSelector;

namespace {

const char* const kUsage
    = "usage: orbcore [--base URL] [--home DIR] [--timeout SECONDS] [--push-token HEX] [--verbose] STEP...\n"
      "\n"
      "Steps run in order in this one process (the session lives in memory only):\n"
      "  login ACCOUNT PASSWORD [--account N]  sign in and use account N of the reply (from 1; default 1);\n"
      "                                        prints the accounts\n"
      "  accounts                              prints the accounts of the session\n"
      "  use N                                 switches to account N\n"
      "  send TYPE 'JSON'                      sends a command of that request type with these parameters\n"
      "  get TYPE 'JSON'                       sends a query of the account in use\n"
      "  upload photo|voice FILE               uploads a message photo or a voice clip (AMR) of the account\n"
      "                                        in use; prints the addresses the server gave it\n"
      "  print TEXT                            prints a line (headings between steps)\n"
      "\n"
      "Each step prints what the screen's success block would receive, as JSON, or the failure text.\n"
      "The exit status is 0 when every step succeeded, 1 at the first failure (later steps do not run)\n"
      "and 2 for a usage error. --base overrides the server address (also ORB_SERVER_BASE), --home the\n"
      "application home (also ORB_HOME). --verbose shows the client's log on standard error.\n";

struct Outcome {
    bool done = false;
    std::optional<platform::Value> success;
    std::string failure;
};

// Runs the main loop until the request reports, bounded by the request's own
// time-out and a margin for the reply's handling.
Outcome dispatch(bool query, int type, const platform::Value& params)
{
    auto outcome = std::make_shared<Outcome>();
    auto& helper = core::ORBNetworkHelper::sharedORBNetworkHelper();
    auto success = [outcome](const platform::Value& result) {
        outcome->success = result;
        outcome->done = true;
    };
    auto fail = [outcome](const std::string& message) {
        outcome->failure = message;
        outcome->done = true;
    };
    if (query)
        helper.getNetworkRequestWithType(type, params, nullptr, success, fail);
    else
        helper.postNetworkRequestWithType(type, params, nullptr, success, fail);
    if (!platform::RunLoop::main().runUntil([outcome] { return outcome->done; }, helper.timeOutSeconds() + 10)) {
        outcome->failure = core::ORBNetworkHelper::kConnectionFailedText;
        outcome->done = true;
    }
    return *outcome;
}

platform::Value accountsValue()
{
    platform::Array list;
    auto session = core::MyAccountInfo::instance();
    if (!session || !session->accounts())
        return list;
    for (const auto& account : *session->accounts()) {
        platform::Value entry = orbcore::printable(platform::Value(account));
        entry.asDictionary()->set("current", account == session->current());
        list.push_back(std::move(entry));
    }
    return list;
}

bool useAccount(int number)
{
    auto session = core::MyAccountInfo::instance();
    if (!session || !session->accounts() || number < 1 || number > static_cast<int>(session->accounts()->size())) {
        std::printf("没有第 %d 个账号\n", number);
        return false;
    }
    session->setCurrent((*session->accounts())[number - 1]);
    return true;
}

bool login(const std::string& account, const std::string& password, int number)
{
    platform::Dictionary params { { "account", account }, { "psw", password } };
    Outcome outcome = dispatch(false, 0, params);
    if (!outcome.success) {
        std::printf("%s\n", outcome.failure.c_str());
        return false;
    }
    auto session = core::MyAccountInfo::myAccountWithObj(*outcome.success);
    core::MyAccountInfo::setInstance(session);
    if (!session || !session->sessionUid() || !session->accounts() || session->accounts()->empty()) {
        std::printf("登录失败\n");
        return false;
    }
    if (!useAccount(number))
        return false;
    std::printf("%s\n", orbcore::printableJson(accountsValue()).c_str());
    return true;
}

bool send(bool query, const std::string& typeText, const std::string& json)
{
    char* end = nullptr;
    long type = std::strtol(typeText.c_str(), &end, 10);
    if (typeText.empty() || *end) {
        std::fprintf(stderr, "orbcore: bad request type %s\n", typeText.c_str());
        return false;
    }
    platform::Error error;
    auto params = platform::PlatformJson::read(std::string_view(json), &error);
    if (!params) {
        std::fprintf(stderr, "orbcore: parameters are not JSON: %s\n", error.localizedDescription().c_str());
        return false;
    }
    Outcome outcome = dispatch(query, static_cast<int>(type), orbcore::paramsFromJson(*params));
    if (!outcome.success) {
        std::printf("%s\n", outcome.failure.c_str());
        return false;
    }
    std::printf("%s\n", orbcore::printableJson(*outcome.success).c_str());
    return true;
}

// The upload's delegate: hears whether the request finished or failed.
class UploadDelegate final : public HTTPRequestDelegate {
public:
    void finished(const HTTPRequestPtr&) { done = ok = true; }
    void failed(const HTTPRequestPtr& request)
    {
        done = true;
        auto error = request->error();
        failure = error ? error->localizedDescription() : core::ORBNetworkHelper::kConnectionFailedText;
    }
    bool done = false;
    bool ok = false;
    std::string failure;
};

bool upload(const std::string& kind, const std::string& path)
{
    if (kind != "photo" && kind != "voice") {
        std::fprintf(stderr, "orbcore: upload photo or voice, not %s\n", kind.c_str());
        return false;
    }
    auto delegate = std::make_shared<UploadDelegate>();
    auto success = RequestSelector::method(&UploadDelegate::finished);
    auto fail = RequestSelector::method(&UploadDelegate::failed);
    core::PhotoInfo photo;
    core::SoundInfo sound;
    photo.path = path;
    sound.amrPath = path;
    auto request = kind == "photo" ? core::ORBUploadControl::uploadPhotoType(0, photo, {}, delegate, success, fail)
                                   : core::ORBUploadControl::uploadSound(sound, {}, delegate, success, fail);
    request->startAsynchronous();
    double wait = core::ORBNetworkHelper::sharedORBNetworkHelper().timeOutSeconds() + 10;
    platform::RunLoop::main().runUntil([delegate] { return delegate->done; }, wait);
    if (!delegate->ok) {
        std::printf("%s\n", delegate->done ? delegate->failure.c_str() : core::ORBNetworkHelper::kConnectionFailedText);
        return false;
    }
    platform::Dictionary addresses;
    if (kind == "photo" && core::ORBUploadControl::storePhotoReply(*request, photo)) {
        addresses.set("original", photo.url);
        addresses.set("thumb", photo.thumbUrl);
    } else if (kind == "voice" && core::ORBUploadControl::storeSoundReply(*request, sound)) {
        addresses.set("audio", sound.url);
    } else {
        std::printf("上传失败\n");
        return false;
    }
    std::printf("%s\n", orbcore::printableJson(platform::Value(std::move(addresses))).c_str());
    return true;
}

int run(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    std::size_t i = 0;
    bool verbose = false;
    while (i < args.size() && args[i].starts_with("--")) {
        const std::string& option = args[i];
        bool hasValue = i + 1 < args.size();
        if (option == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (option == "--verbose") {
            verbose = true;
            ++i;
        } else if (option == "--base" && hasValue) {
            core::ORBEndpoints::setServerBase(args[i + 1]);
            i += 2;
        } else if (option == "--home" && hasValue) {
            platform::AppPaths::setHome(args[i + 1]);
            i += 2;
        } else if (option == "--timeout" && hasValue) {
            double seconds = std::atof(args[i + 1].c_str());
            if (seconds <= 0) {
                std::fputs(kUsage, stderr);
                return 2;
            }
            core::ORBNetworkHelper::sharedORBNetworkHelper().setTimeOutSeconds(seconds);
            i += 2;
        } else if (option == "--push-token" && hasValue) {
            core::MyAccountInfo::setDeviceToken(args[i + 1]);
            i += 2;
        } else {
            std::fputs(kUsage, stderr);
            return 2;
        }
    }
    if (i == args.size()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (!verbose)
        platform::setLogSink([](std::string_view) {});

    // Check the whole chain before running any of it.
    struct Step {
        std::string name;
        std::vector<std::string> operands;
    };
    std::vector<Step> steps;
    while (i < args.size()) {
        Step step { args[i++], {} };
        std::size_t operands = 0;
        if (step.name == "login" || step.name == "send" || step.name == "get" || step.name == "upload")
            operands = 2;
        else if (step.name == "use" || step.name == "print")
            operands = 1;
        else if (step.name != "accounts") {
            std::fprintf(stderr, "orbcore: unknown step %s\n\n%s", step.name.c_str(), kUsage);
            return 2;
        }
        if (i + operands > args.size()) {
            std::fprintf(stderr, "orbcore: %s needs %zu operands\n\n%s", step.name.c_str(), operands, kUsage);
            return 2;
        }
        step.operands.assign(args.begin() + i, args.begin() + i + operands);
        i += operands;
        if (step.name == "login" && i + 1 < args.size() && args[i] == "--account") {
            step.operands.push_back(args[i + 1]);
            i += 2;
        }
        steps.push_back(std::move(step));
    }

    platform::RunLoop::setMainThread();
    for (const Step& step : steps) {
        bool ok = true;
        if (step.name == "login")
            ok = login(
                step.operands[0], step.operands[1], step.operands.size() > 2 ? std::atoi(step.operands[2].c_str()) : 1);
        else if (step.name == "accounts")
            std::printf("%s\n", orbcore::printableJson(accountsValue()).c_str());
        else if (step.name == "use")
            ok = useAccount(std::atoi(step.operands[0].c_str()));
        else if (step.name == "print")
            std::printf("%s\n", step.operands[0].c_str());
        else if (step.name == "upload")
            ok = upload(step.operands[0], step.operands[1]);
        else
            ok = send(step.name == "get", step.operands[0], step.operands[1]);
        std::fflush(stdout);
        if (!ok)
            return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    int status = run(argc, argv);
    // Settings written by the magazine replies reach the disk before exit.
    platform::UserDefaults::standard()->synchronize();
    return status;
}
