#include "core/session/MyAccountInfo.h"

#include "core/session/ORBEndpoints.h"
#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"

namespace core {

namespace {
std::shared_ptr<MyAccountInfo>& instanceSlot()
{
    static std::shared_ptr<MyAccountInfo> slot;
    return slot;
}

std::optional<std::string>& tokenSlot()
{
    static std::optional<std::string> slot;
    return slot;
}
} // namespace

std::shared_ptr<MyAccountInfo> MyAccountInfo::instance() { return instanceSlot(); }

void MyAccountInfo::setInstance(std::shared_ptr<MyAccountInfo> info) { instanceSlot() = std::move(info); }

std::optional<std::string> MyAccountInfo::deviceToken() { return tokenSlot(); }

void MyAccountInfo::setDeviceToken(std::optional<std::string> token) { tokenSlot() = std::move(token); }

std::shared_ptr<MyAccountInfo> MyAccountInfo::myAccountWithObj(const platform::Value& obj)
{
    auto info = std::make_shared<MyAccountInfo>();
    if (!info->initWithObj(obj))
        return nullptr;
    return info;
}

bool MyAccountInfo::initWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return false;
    if (auto s = obj["sessionid"].asString())
        sessionUid_ = *s;
    if (auto items = obj["items"].asArray()) {
        std::vector<std::shared_ptr<AccountInfo>> list;
        for (const auto& item : *items) {
            if (auto account = AccountInfo::accountWithObj(item))
                list.push_back(std::move(account));
        }
        accounts_ = std::move(list);
    }
    return true;
}

std::shared_ptr<AccountInfo> MyAccountInfo::currentAccount()
{
    auto session = instance();
    return session ? session->current() : nullptr;
}

std::string ORBHtml5Helper::getUserInfo()
{
    auto account = MyAccountInfo::currentAccount();
    AccountInfo empty;
    const AccountInfo& a = account ? *account : empty;
    // The values sit inside a <script> element: a name with a quote, a line
    // break or "</script>" must not end the string or the element early.
    using platform::scriptStringLiteral;
    std::string ctx = scriptStringLiteral(ORBEndpoints::serverBase() + "mobile2/");
    return platform::format("<script type='text/javascript'> var global = "
                            "{ctx:%s,schoolId:%i,userId:%i,areaAbb:%s,userType:%i,accountType:%i,userName:%s,"
                            "device:'%s'};</script>",
        ctx.c_str(), a.schoolUid, a.uid, scriptStringLiteral(a.region).c_str(), a.type, a.type,
        scriptStringLiteral(a.name).c_str(), "ios");
}

} // namespace core
