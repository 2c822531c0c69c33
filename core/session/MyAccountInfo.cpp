#include "core/session/MyAccountInfo.h"

#include "core/session/ORBEndpoints.h"
#include "platform/os/Log.h"

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

// Values go into single-quoted script strings inside a <script> element: a
// name with a quote, a backslash, a line break or "</script>" must not end
// the string or the element early.
std::string scriptString(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (unsigned char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\'':
            out += "\\'";
            break;
        case '"':
            out += "\\\"";
            break;
        case '<':
            out += "\\x3C";
            break;
        case '>':
            out += "\\x3E";
            break;
        case '&':
            out += "\\x26";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            if (c < 0x20)
                out += platform::format("\\x%02X", c);
            else
                out += static_cast<char>(c);
        }
    }
    // U+2028 and U+2029 end a line inside script source.
    for (const char* sep : { "\xE2\x80\xA8", "\xE2\x80\xA9" }) {
        std::size_t pos = 0;
        while ((pos = out.find(sep, pos)) != std::string::npos) {
            out.replace(pos, 3, sep[2] == '\xA8' ? "\\u2028" : "\\u2029");
            pos += 6;
        }
    }
    return out;
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
    std::string ctx = scriptString(ORBEndpoints::serverBase() + "mobile2/");
    return platform::format("<script type='text/javascript'> var global = "
                            "{ctx:'%s',schoolId:%i,userId:%i,areaAbb:'%s',userType:%i,accountType:%i,userName:'%s',"
                            "device:'%s'};</script>",
        ctx.c_str(), a.schoolUid, a.uid, scriptString(a.region).c_str(), a.type, a.type,
        scriptString(a.name).c_str(), "ios");
}

} // namespace core
