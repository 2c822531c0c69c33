#include "contacts/warn/WarnPrompt.h"

#include "app/base/BaseViewController.h"
#include "platform/os/UserDefaults.h"
#include "ui/overlay/ProgressOverlay.h"

namespace contacts {

namespace {
    constexpr double kSideWidening = 20;
}

std::shared_ptr<WarnView> showWarnView(const std::shared_ptr<UIView>& host, const std::string& text, int variant,
    const std::weak_ptr<WarnViewDelegate>& delegate, double shortScreenOffset)
{
    auto prompt = WarnView::make(variant);
    if (!host || !prompt)
        return nullptr;
    // One prompt at a time on a host.
    ProgressOverlay::hideAllHUDsForView(host, false);
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
    return prompt;
}

void hideWarnView(const std::shared_ptr<UIView>& host)
{
    if (host)
        ProgressOverlay::hideHUDForView(host, true);
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
