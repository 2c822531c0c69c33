#include "contacts/warn/WarnPrompt.h"

#include "app/base/BaseViewController.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"
#include "ui/overlay/ProgressOverlay.h"

#include <algorithm>

namespace contacts {

namespace {
    constexpr double kSideWidening = 20;
    // Space kept between the prompt and the edges of what can be seen.
    constexpr double kScreenMargin = 10;

    bool holdsPrompt(const ProgressOverlay& overlay)
    {
        return dynamic_cast<const WarnView*>(overlay.customView().get()) != nullptr;
    }

    // The overlays on the host that hold a prompt: the host's other overlays
    // (a screen's progress, the application's notices on the window) are
    // not the prompt's to take down.
    void hidePrompts(const std::shared_ptr<UIView>& host, bool animated)
    {
        for (const auto& overlay : ProgressOverlay::allHUDsForView(host)) {
            if (!holdsPrompt(*overlay))
                continue;
            overlay->setRemoveFromSuperViewOnHide(true);
            overlay->hide(animated);
        }
    }

    // The part of the overlay that can be seen: inside the window, below the
    // status bar, and inside its host above whatever covers the host's foot
    // (the tab bar), in the overlay's own coordinates. The overlay's bounds
    // when it is in no window.
    platform::Rect visiblePart(const ProgressOverlay& overlay)
    {
        auto host = overlay.superview();
        auto window = overlay.window();
        if (!host || !window)
            return overlay.bounds();
        const platform::Rect inWindow = host->convertRectToView(overlay.frame(), window.get());
        auto screen = window->bounds();
        const double statusBar = UIApplication::sharedApplication().statusBarHeight();
        screen = platform::Rect(screen.minX(), screen.minY() + statusBar, screen.width(), screen.height() - statusBar);
        auto hostBounds = host->bounds();
        hostBounds.size.height = BaseViewController::visibleBottom(*host) - hostBounds.minY();
        const platform::Rect hostSeen = host->convertRectToView(hostBounds, window.get());
        const platform::Rect seen = inWindow.intersection(screen).intersection(hostSeen);
        if (seen.isNull())
            return overlay.bounds();
        return platform::Rect(seen.minX() - inWindow.minX(), seen.minY() - inWindow.minY(), seen.width(), seen.height());
    }

    // Grows the prompt for its message within what can be seen of the
    // overlay, and moves it, when it would reach past an edge, back inside.
    void placeWithinScreen(ProgressOverlay& overlay, WarnView& prompt)
    {
        const platform::Rect seen = visiblePart(overlay);
        prompt.fitMessage(seen.height() - 2 * kScreenMargin);
        const double height = prompt.frame().height();
        const double centre = overlay.bounds().height() / 2;
        const double lowest = seen.minY() + kScreenMargin + height / 2;
        const double highest = seen.maxY() - kScreenMargin - height / 2;
        double wanted = centre;
        if (lowest > highest)
            wanted = seen.minY() + seen.height() / 2;
        else
            wanted = std::clamp(centre, lowest, highest);
        overlay.setYOffset(wanted - centre);
    overlay.setNeedsLayout();
    }
} // namespace

std::shared_ptr<WarnView> showWarnView(const std::shared_ptr<UIView>& host, const std::string& text, int variant,
    const std::weak_ptr<WarnViewDelegate>& delegate, double shortScreenOffset)
{
    auto prompt = WarnView::make(variant);
    if (!host || !prompt)
        return nullptr;
    // One prompt at a time on a host.
    hidePrompts(host, false);
    auto overlay = ProgressOverlay::showHUDAddedTo(host, true);
    auto frame = overlay->frame();
    overlay->setFrame(platform::Rect(
        frame.minX() - kSideWidening, frame.minY(), frame.width() + 2 * kSideWidening, frame.height()));
    if (!BaseViewController::isFourInchScreen() && shortScreenOffset != 0) {
        auto moved = overlay->frame();
        overlay->setFrame(platform::Rect(moved.minX(), moved.minY() - shortScreenOffset, moved.width(), moved.height()));
    }
    prompt->setMessage(text);
    prompt->setDelegate(delegate);
    overlay->setMode(ProgressOverlayModeCustomView);
    overlay->setAnimationType(ProgressOverlayAnimationZoom);
    overlay->setDimBackground(true);
    overlay->setOpacity(0);
    overlay->setRemoveFromSuperViewOnHide(true);
    overlay->setCustomView(prompt);
    placeWithinScreen(*overlay, *prompt);
    return prompt;
}

void hideWarnView(const std::shared_ptr<UIView>& host)
{
    if (host)
        hidePrompts(host, true);
}

void hideWarnView(const std::shared_ptr<WarnView>& prompt)
{
    for (auto view = prompt ? prompt->superview() : nullptr; view; view = view->superview()) {
        if (auto overlay = std::dynamic_pointer_cast<ProgressOverlay>(view)) {
            overlay->hide(true);
            return;
        }
    }
}

bool warnSilenced(const char* key) { return platform::UserDefaults::standard()->boolForKey(key); }

void storeWarnTick(const char* key, bool notNext)
{
    auto defaults = platform::UserDefaults::standard();
    defaults->setObject(platform::Value(notNext), key);
    defaults->synchronize();
}

} // namespace contacts
