#include "platform/uikit/UIScreen.h"

namespace {

struct ScreenConfig {
    UIScreen::Kind kind = UIScreen::Kind::FourInch;
    bool modeAvailable = true;
};

ScreenConfig& config()
{
    static ScreenConfig c;
    return c;
}

} // namespace

std::shared_ptr<UIScreen> UIScreen::mainScreen()
{
    static auto screen = std::make_shared<UIScreen>();
    return screen;
}

platform::Rect UIScreen::bounds() const
{
    return config().kind == Kind::FourInch ? platform::Rect(0, 0, 320, 568) : platform::Rect(0, 0, 320, 480);
}

platform::Rect UIScreen::applicationFrame() const
{
    auto b = bounds();
    return platform::Rect(0, statusBarHeight(), b.width(), b.height() - statusBarHeight());
}

std::optional<UIScreenMode> UIScreen::currentMode() const
{
    if (!config().modeAvailable)
        return std::nullopt;
    auto b = bounds();
    return UIScreenMode { platform::Size(b.width() * scale(), b.height() * scale()), 1 };
}

void UIScreen::setKind(Kind kind) { config().kind = kind; }

UIScreen::Kind UIScreen::kind() { return config().kind; }

void UIScreen::setCurrentModeAvailable(bool available) { config().modeAvailable = available; }

void UIScreen::reset() { config() = ScreenConfig {}; }
