#include "app/login/VersionUpdateRule.h"

std::optional<VersionAnnouncement> VersionAnnouncement::fromObj(const platform::Value& obj)
{
    const platform::Dictionary* reply = obj.asDictionary();
    if (!reply)
        return std::nullopt;
    const std::string* code = reply->get("versionCode").asString();
    const std::string* desc = reply->get("versionDesc").asString();
    const std::string* url = reply->get("versionUrl").asString();
    const platform::Value& must = reply->get("mustUpdate");
    if (!code || !desc || !url || !must.isNumber())
        return std::nullopt;
    return VersionAnnouncement { *code, *desc, *url, must.longLongValue() };
}

platform::Dictionary VersionAnnouncement::toDictionary() const
{
    platform::Dictionary d;
    d.set("versionCode", versionCode);
    d.set("versionDesc", versionDesc);
    d.set("versionUrl", versionUrl);
    d.set("mustUpdate", mustUpdate);
    return d;
}

namespace VersionUpdateRule {

std::string ignoreKey(const std::string& versionCode) { return "ignore_verssion_" + versionCode; }

std::optional<std::vector<std::string>> loginPromptButtons(
    const VersionAnnouncement& announcement, bool silenced, int networkStatus)
{
    constexpr int kMobileData = 2;
    long long m = announcement.mustUpdate;
    if (silenced && m == 0)
        return std::nullopt;
    bool onMobileData = networkStatus == kMobileData;
    if (silenced && m == 2 && onMobileData)
        return std::nullopt;
    std::vector<std::string> buttons { kUpdateNow };
    if (m == 0 || (m == 2 && onMobileData)) {
        buttons.push_back(kLater);
        buttons.push_back(kNeverAgain);
    }
    return buttons;
}

} // namespace VersionUpdateRule
