#pragma once

#include <functional>
#include <memory>
#include <string>

class UIButton;
class UIControl;
class UIViewController;

// Small pieces the account screens share.
namespace account {

// How long a confirmation stays before the screen that showed it leaves.
inline constexpr double kLeaveDelay = 1.5;

// Takes the screen off its navigation stack, with whatever was pushed above
// it meanwhile; nothing when it has already gone. A delayed pop must never
// take another screen off.
void popScreen(UIViewController& screen, bool animated = true);

// A bar button with a short white title, named by `outlet` so tests find it.
std::shared_ptr<UIButton> textBarButton(const std::string& title, const std::string& outlet);

} // namespace account
