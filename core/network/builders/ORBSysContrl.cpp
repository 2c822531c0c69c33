#include "core/network/builders/ORBSysContrl.h"

#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/Bundle.h"
#include "platform/os/Log.h"
#include "platform/os/UserDefaults.h"

using foundation::RequestSelector;

namespace core {

using builder::Common;
using platform::Dictionary;
using platform::Value;
using Cmd = ORBEndpoints::Cmd;

namespace {
    // The commands made before sign-in carry the login name and the device
    // keys, no account keys.
    Dictionary signedOutBody(const char* cmd, const std::string& account)
    {
        Dictionary body;
        builder::addCommon(body, cmd, { Common::Cmd });
        body.set("account", account);
        return body;
    }
} // namespace

ORBBuilderRequest ORBSysContrl::loginWithAccount(const std::string& account, const std::string& pwd,
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body = signedOutBody(Cmd::kLogin, account);
    body.set("psw", pwd);
    builder::addCommon(body, nullptr, { Common::AppVersion });
    Value appId = platform::Bundle::main()->objectForInfoDictionaryKey(platform::kBundleIdentifierKey);
    body.set("appId", appId.isString() ? appId : Value(""));
    builder::addCommon(body, nullptr, { Common::SysVersion, Common::Platform, Common::Model });
    auto token = MyAccountInfo::deviceToken();
    if (token && !token->empty())
        body.set("pushToken", *token);
    auto request = builder::postRequest(ORBEndpoints::kSys, body, delegate, successSel, failSel);
    platform::log("%s\n", request->url().absoluteString().c_str());
    platform::log("dict：%s\n", builder::describeForLog(body).c_str());
    return request;
}

ORBBuilderRequest ORBSysContrl::logoutWithDelegate(
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kLogout, builder::kFullSet);
    return builder::postRequest(ORBEndpoints::kSys, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBSysContrl::findPwd(const std::string& account, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body = signedOutBody(Cmd::kFindPassword, account);
    builder::addCommon(body, nullptr, builder::kDeviceKeys);
    return builder::postRequest(ORBEndpoints::kSys, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBSysContrl::resetPwd(const std::string& account, const std::string& pwd, const std::string& verCode,
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body = signedOutBody(Cmd::kResetPassword, account);
    body.set("psw", pwd);
    body.set("verCode", verCode);
    builder::addCommon(body, nullptr, builder::kDeviceKeys);
    return builder::postRequest(ORBEndpoints::kSys, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBSysContrl::getTimePwd(const std::string& account, const ORBDelegate& delegate,
    const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body = signedOutBody(Cmd::kTimePassword, account);
    builder::addCommon(body, nullptr, builder::kDeviceKeys);
    return builder::postRequest(ORBEndpoints::kSys, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBSysContrl::changePwd(const std::string& oldPwd, const std::string& newPwd,
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(
        body, Cmd::kChangePassword, { Common::Cmd, Common::UserId, Common::AccountType, Common::SchoolId });
    // The login screen remembers the name the user signed in with.
    if (auto remembered = platform::UserDefaults::standard()->stringForKey("account"))
        body.set("account", *remembered);
    builder::addCommon(body, nullptr, { Common::AreaAbb });
    body.set("oldPsw", oldPwd);
    body.set("newPsw", newPwd);
    builder::addCommon(body, nullptr, builder::kDeviceKeys);
    platform::log("params:%s\n", builder::describeForLog(body).c_str());
    return builder::postRequest(ORBEndpoints::kSys, body, delegate, successSel, failSel);
}

ORBBuilderRequest ORBSysContrl::submitUserName(const std::string& userName, const std::string& userPhoto,
    const ORBDelegate& delegate, const RequestSelector& successSel, const RequestSelector& failSel)
{
    Dictionary body;
    builder::addCommon(body, Cmd::kUpdateProfile,
        { Common::Cmd, Common::UserId, Common::AccountType, Common::SchoolId, Common::AreaAbb });
    body.set("userName", userName);
    body.set("file", userPhoto);
    builder::addCommon(body, nullptr, builder::kDeviceKeys);
    platform::log("user info:%s\n", builder::describeForLog(body).c_str());
    return builder::postRequest(ORBEndpoints::kSys, body, delegate, successSel, failSel);
}

} // namespace core
