#include "platform/uikit/UIMenuController.h"

#include "platform/os/Bundle.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIView.h"

#include <algorithm>

namespace {

// The standard edit actions and the keys of their titles in the localisation table.
constexpr std::pair<const char*, const char*> kStandardItems[] = { { "copy:", "Copy" }, { "paste:", "Paste" },
    { "cut:", "Cut" }, { "select:", "Select" }, { "selectAll:", "Select All" } };

std::shared_ptr<UIResponder> performerFor(const std::string& action)
{
    int hops = 0;
    for (auto responder = UIResponder::currentFirstResponder(); responder && hops < 256;
         responder = responder->nextResponder(), ++hops) {
        if (responder->canPerformAction(action))
            return responder;
    }
    return nullptr;
}

} // namespace

UIMenuController& UIMenuController::sharedMenuController()
{
    static UIMenuController menu;
    return menu;
}

void UIMenuController::setTargetRect(const platform::Rect& rect, const std::shared_ptr<UIView>& view)
{
    targetRect_ = rect;
    targetView_ = view;
}

void UIMenuController::setMenuVisible(bool visible, bool)
{
    if (visible == visible_)
        return;
    // The phone shows the menu only while some responder can perform one of its
    // actions; with none it stays hidden.
    if (visible && visibleItemTitles().empty())
        return;
    if (visible)
        platform::NotificationCenter::defaultCenter().post(UIMenuControllerWillShowMenuNotification);
    visible_ = visible;
    if (!visible)
        platform::NotificationCenter::defaultCenter().post(UIMenuControllerDidHideMenuNotification);
}

std::vector<std::string> UIMenuController::visibleItemTitles() const
{
    std::vector<std::string> titles;
    for (auto& item : items_) {
        if (performerFor(item.action))
            titles.push_back(item.title);
    }
    // The standard edit actions come without items, unless the screen gave
    // one of them an item of its own (its own title for "copy:"): one entry per action.
    for (auto& [action, key] : kStandardItems) {
        // Captured through a plain name: lambdas may capture structured bindings only from C++20 on,
        // and older clang refuses it.
        const char* wanted = action;
        bool covered
            = std::any_of(items_.begin(), items_.end(), [&](const UIMenuItem& item) { return item.action == wanted; });
        if (!covered && performerFor(action))
            titles.push_back(platform::localizedString(key));
    }
    return titles;
}

bool UIMenuController::performItemWithTitle(const std::string& title)
{
    if (!visible_)
        return false;
    std::string action;
    for (auto& item : items_) {
        if (item.title == title) {
            action = item.action;
            break;
        }
    }
    if (action.empty()) {
        for (auto& [selector, key] : kStandardItems) {
            if (title == platform::localizedString(key))
                action = selector;
        }
    }
    auto performer = action.empty() ? nullptr : performerFor(action);
    if (!performer)
        return false;
    setMenuVisible(false);
    return performer->performAction(action);
}

void UIMenuController::reset()
{
    items_.clear();
    targetRect_ = {};
    targetView_.reset();
    visible_ = false;
}
