#pragma once

#include "platform/os/ClassRegistry.h"

#include <optional>
#include <string>

// One feature entry named by a navigation type: its title, icon, icon
// background, theme colour and the class of the screen it opens. The function
// grid and the message box's navigation rows share this one table.
class NavigationInfo final : public platform::Object {
public:
    ORB_CLASS_NAME(NavigationInfo)

    static constexpr int kMaxNavType = 32;

    NavigationInfo() = default;
    // Types without a row (21 to 24, 26, negative or above 32) keep only navType.
    explicit NavigationInfo(int navType) { initWithNavType(navType); }
    void initWithNavType(int navType);

    const std::optional<std::string>& title() const { return title_; }
    const std::optional<std::string>& logoImageName() const { return logoImageName_; }
    const std::optional<std::string>& logoBgImageName() const { return logoBgImageName_; }
    // The class name of the screen the entry opens; none for "我的动态".
    const std::optional<std::string>& viewController() const { return viewController_; }
    // Six hexadecimal digits, either case.
    const std::optional<std::string>& color() const { return color_; }
    int navType() const { return navType_; }

private:
    std::optional<std::string> title_;
    std::optional<std::string> logoImageName_;
    std::optional<std::string> logoBgImageName_;
    std::optional<std::string> viewController_;
    std::optional<std::string> color_;
    int navType_ = 0;
};
