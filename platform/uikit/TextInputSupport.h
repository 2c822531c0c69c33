#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/NSRange.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

class UIView;

// What the one-line field and the multi-line text view do alike when they
// take the keyboard and edit their text. Each keeps its own delegate type and
// its own notifications; these helpers carry the order of the steps, which
// both must keep the same.
namespace platform::textinput {

// Asks an optional delegate; without a delegate the answer is yes.
template <typename Delegate, typename Question, typename... Arguments>
bool delegateAgrees(const std::shared_ptr<Delegate>& delegate, Question question, Arguments&&... arguments)
{
    return !delegate || ((*delegate).*question)(std::forward<Arguments>(arguments)...);
}

// Tells an optional delegate some news.
template <typename Delegate, typename News, typename... Arguments>
void tellDelegate(const std::shared_ptr<Delegate>& delegate, News news, Arguments&&... arguments)
{
    if (delegate)
        ((*delegate).*news)(std::forward<Arguments>(arguments)...);
}

// Posts one of the text notifications with the view as its object.
void postNotification(const char* name, const std::shared_ptr<UIView>& view);

// Becoming first responder: already being it is fine; otherwise the input must
// allow editing and be in a window before its delegate is asked.
bool becomeFirstResponder(UIView&, bool allowed, const std::function<bool()>& shouldBegin);

// The keyboard, or the input view that stands in for it, plus the accessory view above it.
double keyboardHeight(const UIView* inputView, const UIView* inputAccessoryView);

// Where typed text goes (the end); nothing when there is nothing to type.
std::optional<NSRange> insertionRange(const std::string& text, const std::string& typed);
// The last whole composed character, so deleting never splits one; nothing when the text is empty.
std::optional<NSRange> lastCharacterRange(const std::string& text);

// One edit as the keyboard makes it: refused when not editing, when the UTF-16
// range does not lie within the text, or when shouldChange says no; otherwise
// the text changes, the view redraws, didChange runs and the notification is
// posted. The view is kept alive throughout, since the delegate may drop it.
bool applyChange(UIView&, bool editing, std::string& text, NSRange range, const std::string& replacement,
    const std::function<bool()>& shouldChange, const std::function<void()>& didChange, const char* notification);

// The UTF-16 location moved back to the start of the composed character it
// falls in, and to the text's length at most.
std::size_t caretBoundary(const std::string& text, std::size_t utf16Location);
// The byte offset of a UTF-16 location (a boundary of caretBoundary).
std::size_t byteOffsetOf(const std::string& text, std::size_t utf16Location);

// The insertion point's look: 2 points wide, in the tint blue.
inline constexpr double kCaretWidth = 2;
inline constexpr Color kCaretColor { 0.0, 0.478, 1.0, 1.0 };

// The blinking insertion point of a text input. It runs while the input is
// first responder: shown for half a second, hidden for half a second, on the
// main loop's clock, and shown again from the start after every edit or move.
// Each blink redraws only the caret's rectangle (asked of `caretRect` then),
// so an unchanged screen with the keyboard up redraws nothing else.
class CaretBlink final {
public:
    static constexpr double kInterval = 0.5;

    CaretBlink() = default;
    CaretBlink(const CaretBlink&) = delete;
    CaretBlink& operator=(const CaretBlink&) = delete;
    ~CaretBlink();

    void start(UIView& view, std::function<Rect()> caretRect);
    // Shown again, the half second counted from now.
    void restart();
    void stop();
    bool isRunning() const { return timer_ != 0; }
    bool isShown() const { return timer_ != 0 && shown_; }
    // Blinks of every caret so far (main thread): a blink's timer does
    // nothing but ask for its caret's rectangle to be drawn again, so a
    // window host that sees only blinks in a turn draws only what they asked.
    static std::uint64_t blinkCount();

private:
    void arm();

    std::uint64_t timer_ = 0;
    bool shown_ = false;
    std::weak_ptr<UIView> view_;
    std::function<Rect()> caretRect_;
};

} // namespace platform::textinput
