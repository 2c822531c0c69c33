#pragma once

#include "foundation/http/FormDataRequest.h"
#include "platform/os/Value.h"

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace core {

// What every older request builder returns: a request that has not been
// started, with the caller's delegate and selectors. The caller keeps it,
// starts it, reads and judges the reply itself, and clears its delegates and
// cancels it when it goes away (the request does not keep its delegate).
using ORBBuilderRequest = std::shared_ptr<foundation::FormDataRequest>;
using ORBDelegate = std::weak_ptr<foundation::HTTPRequestDelegate>;

// The frame the builders share: their common body keys, the JSON body, the
// GET address and the request settings.
namespace builder {

    // The nine common keys, in the order of the full common set.
    enum class Common { Cmd, UserId, SchoolId, AccountType, AreaAbb, AppVersion, SysVersion, Platform, Model };

    inline constexpr std::initializer_list<Common> kFullSet { Common::Cmd, Common::UserId, Common::SchoolId,
        Common::AccountType, Common::AreaAbb, Common::AppVersion, Common::SysVersion, Common::Platform, Common::Model };
    inline constexpr std::initializer_list<Common> kDeviceKeys { Common::AppVersion, Common::SysVersion,
        Common::Platform, Common::Model };

    // Adds the named common keys in order. The session keys are taken even
    // when nobody is signed in (0), except "areaAbb", which is then left out.
    void addCommon(platform::Dictionary& body, const char* cmd, std::initializer_list<Common> keys);

    // params[param] under `key`, when the caller gave one.
    void copyParam(platform::Dictionary& body, const char* key, const platform::Value& params, const char* param);
    void copyParams(platform::Dictionary& body, const platform::Value& params, std::initializer_list<const char*> keys);

    // The current account's values, or the values of nobody (0, empty).
    int userId();
    int schoolId();
    int accountType();
    std::string areaAbb();
    std::string userName();
    bool signedIn();

    // A POST of the body, as compact JSON, to base + "mobile2/pull/" +
    // module. A body that cannot be written as JSON (a text that is not
    // valid UTF-8) gives a request that fails when started, without sending.
    ORBBuilderRequest postRequest(const char* module, const platform::Dictionary& body, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);

    // A GET of base + "mobile2/pull/" + path + "?" + the pairs, each name
    // and value percent-encoded as a query component: user text holding "&",
    // "=", "+", "#", spaces or Chinese reaches the server as it was typed.
    ORBBuilderRequest getRequest(const std::string& path, const std::vector<std::pair<std::string, std::string>>& query,
        const ORBDelegate& delegate, const foundation::RequestSelector& successSel,
        const foundation::RequestSelector& failSel);

    // A request for a whole address with the builders' settings. An address
    // that does not parse gives a request that fails when started.
    ORBBuilderRequest addressRequest(const std::string& address, const char* method, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);

    // A POST to the address that fails with the reason when started, without
    // sending anything: for a request that must not go out as it stands.
    ORBBuilderRequest refusedRequest(const std::string& address, const std::string& reason, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);

    // The request settings every builder uses: method, 30 s, UTF-8 replies,
    // the delegate and the selectors.
    void configure(foundation::FormDataRequest& request, const char* method, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);

    // The body for the console, password fields masked.
    std::string describeForLog(const platform::Dictionary& body);

    // {"original", "thumb"} of each photo among the values; with
    // bothRequired a photo without both addresses is skipped, otherwise a
    // missing address only leaves its key out.
    platform::Array photoObjects(const platform::Array& attachments, bool bothRequired);
    // {"url", "seconds"} of each voice clip; with urlRequired a clip without
    // an address is skipped, otherwise only its "url" is left out.
    platform::Array soundObjects(const platform::Array& attachments, bool urlRequired);

    inline constexpr double kTimeOutSeconds = 30.0;

} // namespace builder
} // namespace core
