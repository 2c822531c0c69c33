#include "platform/uikit/ModalStack.h"

#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <utility>

namespace platform {

namespace {

    struct Entry {
        std::shared_ptr<UIView> view;
        std::shared_ptr<UIWindow> window;
    };

    std::vector<Entry>& entries()
    {
        static std::vector<Entry> list;
        return list;
    }

    struct Menu {
        std::weak_ptr<UIView> view;
        std::function<void()> close;
    };

    Menu& openMenu()
    {
        static Menu menu;
        return menu;
    }

    // In a shown window, and neither it nor a view above it hidden. (Not its
    // opacity: a menu may be fading in as back comes.)
    bool showsOnScreen(const std::shared_ptr<UIView>& view)
    {
        auto window = view ? view->window() : nullptr;
        if (!window || window->isHidden())
            return false;
        for (auto v = view; v; v = v->superview()) {
            if (v->isHidden())
                return false;
        }
        return true;
    }

} // namespace

void ModalStack::push(const std::shared_ptr<UIView>& view)
{
    if (!view || contains(view.get()))
        return;
    // The keyboard goes away first, as on the phone: a modal under its panel
    // would leave a dimmed screen with no choices to press.
    if (auto responder = UIResponder::currentFirstResponder(); responder && responder->wantsKeyboard()) {
        if (!responder->resignFirstResponder())
            UIResponder::forceResignCurrentFirstResponder();
    }
    auto window = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
    window->setWindowLevel(UIWindowLevelAlert);
    view->setFrame(window->bounds());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    window->addSubview(view);
    window->setVisible(true);
    entries().push_back({ view, window });
}

void ModalStack::remove(const UIView* view)
{
    auto& list = entries();
    auto it = std::find_if(list.begin(), list.end(), [&](const Entry& e) { return e.view.get() == view; });
    if (it == list.end())
        return;
    Entry entry = *it;
    list.erase(it);
    entry.window->setVisible(false);
    entry.view->removeFromSuperview();
}

bool ModalStack::contains(const UIView* view)
{
    auto& list = entries();
    return std::any_of(list.begin(), list.end(), [&](const Entry& e) { return e.view.get() == view; });
}

std::vector<std::shared_ptr<UIView>> ModalStack::views()
{
    std::vector<std::shared_ptr<UIView>> result;
    for (auto& entry : entries())
        result.push_back(entry.view);
    return result;
}

std::shared_ptr<UIView> ModalStack::top()
{
    auto& list = entries();
    return list.empty() ? nullptr : list.back().view;
}

std::shared_ptr<UIWindow> ModalStack::windowOf(const UIView* view)
{
    for (auto& entry : entries()) {
        if (entry.view.get() == view)
            return entry.window;
    }
    return nullptr;
}

void ModalStack::showMenu(const std::shared_ptr<UIView>& menu, std::function<void()> close)
{
    openMenu() = Menu { menu, std::move(close) };
}

void ModalStack::menuClosed(const UIView* menu)
{
    if (openMenu().view.lock().get() == menu)
        openMenu() = Menu {};
}

bool ModalStack::closeMenu()
{
    // Taken out first: closing may show another menu.
    Menu menu = std::exchange(openMenu(), Menu {});
    if (!menu.close || !showsOnScreen(menu.view.lock()))
        return false;
    menu.close();
    return true;
}

void ModalStack::clear()
{
    openMenu() = Menu {};
    auto list = std::move(entries());
    entries().clear();
    for (auto& entry : list) {
        entry.window->setVisible(false);
        entry.view->removeFromSuperview();
    }
}

} // namespace platform
