#include "content/lessons/APIRequest.h"

#include "core/network/ORBReplyParser.h"
#include "core/session/ORBEndpoints.h"
#include "core/util/DateHelper.h"
#include "foundation/codec/StringMd5.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/UserDefaults.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <mutex>

using foundation::FormDataRequest;

namespace content {

using platform::Dictionary;
using platform::Value;

namespace {

    struct ClassState {
        std::shared_ptr<GCUserInfo> user;
        bool loaded = false;
        std::optional<std::string> base;
        std::function<double()> clock;
    };

    ClassState& state()
    {
        static ClassState s;
        return s;
    }

    void ensureLoaded()
    {
        if (!state().loaded)
            APIRequest::loadUser();
    }

    // The envelope's code as the service means it: a whole number within the
    // signed 32-bit range. Any other number (a fraction, one past the range, a
    // true or false) is no code of the service and reads as kUnreadableCode,
    // never as the success its low 32 bits or its truncation would give.
    std::int32_t serviceCode(const Value& code) { return wholeInt32(code).value_or(GCResultInfo::kUnreadableCode); }

    double nowSeconds()
    {
        if (state().clock)
            return state().clock();
        using namespace std::chrono;
        return duration<double>(system_clock::now().time_since_epoch()).count();
    }

} // namespace

APIRequest::APIRequest(platform::Url url, std::string api)
    : FormDataRequest(std::move(url))
    , api_(std::move(api))
{
    setRequestMethod("POST");
    setTimeOutSeconds(kTimeOutSeconds);
    setDefaultResponseEncoding(platform::kUTF8StringEncoding);
}

std::shared_ptr<APIRequest> APIRequest::requestWithAPI(const std::string& api)
{
    // A base that does not form an address leaves a request without one,
    // which fails when started rather than going anywhere else.
    auto address = platform::Url::parse(serviceBase() + api + ".json");
    return std::shared_ptr<APIRequest>(new APIRequest(address.value_or(platform::Url()), api));
}

std::int64_t APIRequest::timestamp()
{
    if (timestamp_ == 0)
        timestamp_ = static_cast<std::int64_t>(std::floor(nowSeconds() * 1000.0));
    return timestamp_;
}

Dictionary& APIRequest::params()
{
    if (params_)
        return *params_;
    ensureLoaded();
    std::int64_t stamp = timestamp();
    Dictionary dict;
    dict.set("app_key", kAppKey);
    dict.set("app_secret", foundation::md5(std::string(kAppSecret) + std::to_string(stamp)));
    dict.set("timestamp", static_cast<long long>(stamp));
    const auto& user = state().user;
    if (user && user->accessToken) {
        dict.set("sid", user->sid);
        dict.set("access_token", foundation::md5(*user->accessToken + std::to_string(stamp)));
    }
    params_ = std::move(dict);
    return *params_;
}

void APIRequest::finishBody(Dictionary keys)
{
    Dictionary& body = params();
    for (auto& [key, value] : keys) {
        if (!value.isNull())
            body.set(key, value);
    }
    setPostBody(platform::PlatformJson::writeData(Value(body)).value_or(platform::Bytes {}));
}

std::shared_ptr<APIRequest> APIRequest::userLogin()
{
    auto request = requestWithAPI(kUserLogin);
    request->finishBody({ { "account", kPortalAccount } });
    return request;
}

std::shared_ptr<APIRequest> APIRequest::subjectItems()
{
    auto request = requestWithAPI(kSubjectItems);
    request->finishBody({});
    return request;
}

std::shared_ptr<APIRequest> APIRequest::livevideoItems()
{
    auto request = requestWithAPI(kLivevideoItems);
    request->finishBody({});
    return request;
}

std::shared_ptr<APIRequest> APIRequest::liveVideoDetail(std::int32_t uid)
{
    auto request = requestWithAPI(kLiveVideoDetail);
    request->finishBody({ { "uid", uid } });
    return request;
}

std::shared_ptr<APIRequest> APIRequest::lessonItems(const std::optional<std::string>& subjectSid)
{
    auto request = requestWithAPI(kLessonItems);
    request->finishBody({ { "subject_sid", subjectSid ? Value(*subjectSid) : Value() } });
    return request;
}

std::shared_ptr<APIRequest> APIRequest::lessonDetail(
    std::int32_t uid, std::int32_t sfamilyId, const std::optional<std::string>& stuSequence)
{
    auto request = requestWithAPI(kLessonDetail);
    request->finishBody({ { "uid", uid }, { "sfamily_id", sfamilyId },
        { "stu_sequence", stuSequence ? Value(*stuSequence) : Value() } });
    return request;
}

std::string APIRequest::serviceBase()
{
    if (state().base)
        return *state().base;
    if (const char* env = std::getenv("ORB_LESSON_SERVICE_BASE"); env && *env)
        return env;
    std::string base = core::ORBEndpoints::serverBase();
    if (base.empty() || base.back() != '/')
        base += '/';
    return base + "m/";
}

void APIRequest::setServiceBase(std::optional<std::string> base) { state().base = std::move(base); }

std::string APIRequest::portalHomeAddress()
{
    std::string base = serviceBase();
    auto url = platform::Url::parse(base);
    return url && url->isAbsolute() ? url->origin() : std::string();
}

void APIRequest::setUser(std::shared_ptr<GCUserInfo> user)
{
    state().user = user;
    state().loaded = true;
    auto defaults = platform::UserDefaults::standard();
    platform::Bytes archive = user ? user->archive() : platform::Bytes {};
    if (archive.empty())
        defaults->removeObjectForKey(kUserDefaultsKey);
    else
        defaults->setData(std::move(archive), kUserDefaultsKey);
    defaults->synchronize();
    platform::NotificationCenter::defaultCenter().post(USER_DID_CHANGED_NOTIFICATION, user ? Value(user) : Value());
}

std::shared_ptr<GCUserInfo> APIRequest::user()
{
    ensureLoaded();
    return state().user;
}

void APIRequest::loadUser()
{
    state().loaded = true;
    state().user.reset();
    if (auto data = platform::UserDefaults::standard()->dataForKey(kUserDefaultsKey))
        state().user = GCUserInfo::unarchive(*data);
}

void APIRequest::setClock(std::function<double()> clock) { state().clock = std::move(clock); }

std::optional<GCResultInfo> GCResultInfo::instanceWithObj(const std::optional<platform::Bytes>& bytes)
{
    if (!bytes)
        return std::nullopt;
    // Within the ceiling of a screen's reply and the dispatcher's limits on
    // what parsing it may take: past either, it is refused unread and says
    // so. Neither logged nor its booleans made numbers: the service is not
    // the platform's, and its sign-in answer carries the access token.
    auto [parsed, tooLarge] = core::ORBReplyParser::readReplyText(
        std::string_view(reinterpret_cast<const char*>(bytes->data()), bytes->size()), core::kLargestScreenReply,
        false);
    if (tooLarge) {
        GCResultInfo refused;
        refused.message = core::ORBReplyParser::kReplyTooLargeText;
        return refused;
    }
    if (!parsed || !parsed->isDictionary())
        return std::nullopt;
    const Dictionary& dict = *parsed->asDictionary();
    GCResultInfo result;
    const Value& code = dict.get("code");
    if (!code.isNumber())
        return result;
    result.code = serviceCode(code);
    if (const auto* message = dict.get("message").asString())
        result.message = *message;
    result.requestTime = parseServiceTime(dict.get("request_time"));
    core::DateHelper::setDateNow(result.requestTime);
    result.data = dict.get("data");
    return result;
}

std::string errorText(const std::optional<GCResultInfo>& result, const std::string& fallback)
{
    if (result && result->message && !result->message->empty())
        return *result->message;
    return fallback;
}

} // namespace content
