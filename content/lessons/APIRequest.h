#pragma once

#include "content/lessons/GCModels.h"
#include "foundation/http/FormDataRequest.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace content {

inline constexpr const char* USER_DID_CHANGED_NOTIFICATION = "USER_DID_CHANGED_NOTIFICATION";
inline constexpr const char* LOGIN_SUCCESS_NOTIFICATION = "LOGIN_SUCCESS_NOTIFICATION";

// One signed POST to the lesson service: the address is the service base, the
// API name and ".json"; the body a compact JSON object signed with the
// application's key, a digest of its secret over the request's millisecond
// timestamp and, once the portal has signed in, the portal user's sid and a
// digest of its access token over the same timestamp. One timestamp per request.
class APIRequest final : public foundation::FormDataRequest {
public:
    static constexpr const char* kAppKey = "orb3_dy_5e0c71a2d94b38f6e07a9c2d1b4f8e63";
    static constexpr const char* kAppSecret = "orb3_dy_a7f2c90e6b13d485f2e0b6c9a41d7e58";
    static constexpr const char* kPortalAccount = "15820473916";
    static constexpr const char* kUserDefaultsKey = "private.user.data";
    static constexpr double kTimeOutSeconds = 10.0;

    static constexpr const char* kUserLogin = "user/login";
    static constexpr const char* kSubjectItems = "subject/items";
    static constexpr const char* kLivevideoItems = "livevideo/items";
    static constexpr const char* kLiveVideoDetail = "livevideo/detail";
    static constexpr const char* kLessonItems = "lesson/items";
    static constexpr const char* kLessonDetail = "lesson/detail_with_right";

    // Neither starts the request.
    static std::shared_ptr<APIRequest> requestWithAPI(const std::string& api);

    static std::shared_ptr<APIRequest> userLogin();
    static std::shared_ptr<APIRequest> subjectItems();
    static std::shared_ptr<APIRequest> livevideoItems();
    static std::shared_ptr<APIRequest> liveVideoDetail(std::int32_t uid);
    static std::shared_ptr<APIRequest> lessonItems(const std::optional<std::string>& subjectSid);
    static std::shared_ptr<APIRequest> lessonDetail(
        std::int32_t uid, std::int32_t sfamilyId, const std::optional<std::string>& stuSequence);

    const std::string& api() const { return api_; }
    // Milliseconds since 1970, rounded down, taken on first call and then fixed.
    std::int64_t timestamp();
    // The signed body, built on first call; later calls answer the same dictionary.
    platform::Dictionary& params();

    // The service's base address, ending in "/m/": ORB_LESSON_SERVICE_BASE when
    // set, otherwise "m/" under the platform server's base (the stand-in
    // serves both).
    static std::string serviceBase();
    static void setServiceBase(std::optional<std::string> base);
    // The portal's web site: the scheme, host and port of the service base.
    static std::string portalHomeAddress();

    // The current portal user: stored under "private.user.data" in the
    // standard user defaults and announced with USER_DID_CHANGED_NOTIFICATION.
    static void setUser(std::shared_ptr<GCUserInfo> user);
    static std::shared_ptr<GCUserInfo> user();
    // Reads the stored user again (what a launch does before the first request).
    static void loadUser();

    // The clock the timestamps read, in seconds since 1970 (the system clock
    // unless replaced).
    static void setClock(std::function<double()> clock);

private:
    APIRequest(platform::Url url, std::string api);
    // Puts the operation's own keys into the body and sets it, once.
    void finishBody(platform::Dictionary keys);

    std::string api_;
    std::int64_t timestamp_ = 0;
    std::optional<platform::Dictionary> params_;
};

// The lesson service's reply envelope.
class GCResultInfo final {
public:
    // The code of an envelope whose "code" is missing or is no whole number
    // within the signed 32-bit range: a failure.
    static constexpr std::int32_t kUnreadableCode = -1;

    // Nothing unless the bytes hold a JSON object; bytes past what a reply
    // of the service can be are refused unread, as code -1 with the message
    // that says so. Without a numeric "code"
    // the envelope has code -1 and nothing else is read. With one, a readable
    // "request_time" becomes the server clock (an unreadable one clears it);
    // a number that is not a whole number within the signed 32-bit range
    // (4294967296, 0.5, true) gives code -1, a failure, with the rest read.
    static std::optional<GCResultInfo> instanceWithObj(const std::optional<platform::Bytes>& bytes);

    std::int32_t code = kUnreadableCode;
    std::optional<std::string> message;
    std::optional<platform::Date> requestTime;
    platform::Value data;

    bool isSuccess() const { return code == 0; }
};

// A reply is a success only when it is an envelope with code 0.
inline bool isSuccess(const std::optional<GCResultInfo>& result) { return result && result->isSuccess(); }

// The text to show for a failed envelope: its message unless it is missing or
// empty (an empty message tells the user nothing), otherwise the fallback.
std::string errorText(const std::optional<GCResultInfo>& result, const std::string& fallback);

} // namespace content
