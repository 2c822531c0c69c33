#pragma once

#include "platform/os/Value.h"

#include <optional>
#include <string>
#include <vector>

// The new-version announcement of a login reply and the rule by which the
// login prompts for it. The settings screen shows the stored announcement again.
struct VersionAnnouncement {
    std::string versionCode;
    std::string versionDesc;
    std::string versionUrl;
    long long mustUpdate = 0;

    // Valid only with all four keys of the expected kinds (three texts, a number).
    static std::optional<VersionAnnouncement> fromObj(const platform::Value& obj);
    platform::Dictionary toDictionary() const;
};

namespace VersionUpdateRule {

inline constexpr const char* kUpdateDataKey = "updateData";
inline constexpr const char* kIgnoreKeyFormat = "ignore_verssion_%s";
inline constexpr const char* kTitle = "发现新版本";
inline constexpr const char* kUpdateNow = "立即更新";
inline constexpr const char* kLater = "下次再说";
inline constexpr const char* kNeverAgain = "不再提示";

// "ignore_verssion_" followed by the code.
std::string ignoreKey(const std::string& versionCode);

// The buttons of the login prompt, or none when the login goes on without
// one. networkStatus: 0 none, 1 Wi-Fi, 2 mobile data.
std::optional<std::vector<std::string>> loginPromptButtons(
    const VersionAnnouncement& announcement, bool silenced, int networkStatus);

} // namespace VersionUpdateRule
