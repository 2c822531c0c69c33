#pragma once

#include "contacts/warn/WarnView.h"

#include <memory>
#include <string>

class ProgressOverlay;
class UIView;

namespace contacts {

// The warning prompt as the screens show it: a dimmed overlay on the host
// view, 20 points wider on each side, moved up by `shortScreenOffset` on the
// 3.5-inch screen, holding the variant's WarnView with the text and the tick
// cleared. The prompt grows to show the whole text and stays on the screen
// (a text longer than the screen scrolls inside it). A prompt already on the
// host goes; the host's other overlays stay. Nullptr when the layout gives
// no such variant.
std::shared_ptr<WarnView> showWarnView(const std::shared_ptr<UIView>& host, const std::string& text, int variant,
    const std::weak_ptr<WarnViewDelegate>& delegate, double shortScreenOffset);

// Hides the prompt's overlay on the host, and none of the host's others.
void hideWarnView(const std::shared_ptr<UIView>& host);
// Hides the overlay holding this prompt, and no other.
void hideWarnView(const std::shared_ptr<WarnView>& prompt);

// The do-not-remind keys: whether one is set, and storing the tick under it.
bool warnSilenced(const char* key);
void storeWarnTick(const char* key, bool notNext);

} // namespace contacts
