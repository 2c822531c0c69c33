#include "core/session/AccountInfo.h"

namespace core {

namespace {
// Integer fields accept numbers only (a number given as text is ignored).
bool readInt(const platform::Value& v, int& out)
{
    if (!v.isNumber())
        return false;
    out = v.intValue();
    return true;
}

void readText(const platform::Value& v, std::string& out)
{
    if (auto s = v.asString())
        out = *s;
}
} // namespace

std::shared_ptr<AccountInfo> AccountInfo::accountWithObj(const platform::Value& obj)
{
    auto info = std::make_shared<AccountInfo>();
    if (!info->initWithObj(obj))
        return nullptr;
    return info;
}

bool AccountInfo::initWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return false;
    readInt(obj["userId"], uid);
    readText(obj["userName"], name);
    if (!readInt(obj["newMsgNum"], unReadCount))
        unReadCount = 0;
    readText(obj["extendPageURL"], pageUrl);
    readText(obj["thumbAvatar"], thumbAvatar);
    readText(obj["orgUserPic"], avatar);
    readText(obj["schoolName"], schoolName);
    readInt(obj["schoolId"], schoolUid);
    readText(obj["stuSequence"], stuSquence);
    int t = 0;
    if (readInt(obj["accountType"], t))
        type = (t == 1 || t == 2) ? t : 3;
    readText(obj["areaAbb"], region);
    if (obj["ctdEnable"].isNumber())
        ctdEnable = obj["ctdEnable"].boolValue();
    return true;
}

} // namespace core
