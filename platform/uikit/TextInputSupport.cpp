#include "platform/uikit/TextInputSupport.h"

#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIView.h"

#include <algorithm>

namespace platform::textinput {

void postNotification(const char* name, const std::shared_ptr<UIView>& view)
{
    NotificationCenter::defaultCenter().post(name, Value(view));
}

bool becomeFirstResponder(UIView& view, bool allowed, const std::function<bool()>& shouldBegin)
{
    if (view.isFirstResponder())
        return true;
    if (!allowed || !view.window())
        return false;
    if (!shouldBegin())
        return false;
    return view.UIResponder::becomeFirstResponder();
}

double keyboardHeight(const UIView* inputView, const UIView* inputAccessoryView)
{
    double height = inputView ? inputView->frame().height() : Keyboard::kHeight;
    if (inputAccessoryView)
        height += inputAccessoryView->frame().height();
    return height;
}

std::optional<NSRange> insertionRange(const std::string& text, const std::string& typed)
{
    if (typed.empty())
        return std::nullopt;
    return NSRange { utf16Length(text), 0 };
}

std::optional<NSRange> lastCharacterRange(const std::string& text)
{
    auto characters = composedCharacters(text);
    if (characters.empty())
        return std::nullopt;
    auto& last = characters.back();
    return NSRange { last.utf16Offset, last.utf16Length };
}

bool applyChange(UIView& view, bool editing, std::string& text, NSRange range, const std::string& replacement,
    const std::function<bool()>& shouldChange, const std::function<void()>& didChange, const char* notification)
{
    if (!editing)
        return false;
    std::size_t length = utf16Length(text);
    if (range.location > length || range.length > length - range.location)
        return false;
    auto self = view.sharedView();
    if (!shouldChange())
        return false;
    // The delegate may have changed the text itself: take the range against what is there now.
    length = utf16Length(text);
    std::size_t location = std::min(range.location, length);
    std::size_t count = std::min(range.length, length - location);
    text = utf16Substring(text, 0, location) + replacement
        + utf16Substring(text, location + count, length - location - count);
    view.setNeedsDisplay();
    didChange();
    postNotification(notification, self);
    return true;
}

std::size_t caretBoundary(const std::string& text, std::size_t utf16Location)
{
    std::size_t at = 0;
    for (const auto& character : composedCharacters(text)) {
        if (character.utf16Offset + character.utf16Length > utf16Location)
            break;
        at = character.utf16Offset + character.utf16Length;
    }
    return at;
}

std::size_t byteOffsetOf(const std::string& text, std::size_t utf16Location)
{
    std::size_t bytes = 0;
    for (const auto& character : composedCharacters(text)) {
        if (character.utf16Offset >= utf16Location)
            return character.byteOffset;
        bytes = character.byteOffset + character.byteLength;
    }
    return bytes;
}

namespace {
    std::uint64_t gBlinks = 0;
}

std::uint64_t CaretBlink::blinkCount() { return gBlinks; }

CaretBlink::~CaretBlink() { stop(); }

void CaretBlink::start(UIView& view, std::function<Rect()> caretRect)
{
    view_ = view.sharedView();
    caretRect_ = std::move(caretRect);
    restart();
}

void CaretBlink::restart()
{
    auto view = view_.lock();
    if (!view)
        return;
    shown_ = true;
    arm();
    view->setNeedsDisplayInRect(caretRect_());
}

void CaretBlink::arm()
{
    auto& loop = RunLoop::main();
    if (timer_)
        loop.cancelTimer(timer_);
    std::weak_ptr<UIView> weak = view_;
    // The blink belongs to the view: while the view lives, so does this.
    timer_ = loop.addTimer(kInterval, kInterval, [this, weak] {
        ++gBlinks;
        auto view = weak.lock();
        if (!view)
            return;
        shown_ = !shown_;
        view->setNeedsDisplayInRect(caretRect_());
    });
}

void CaretBlink::stop()
{
    if (timer_)
        RunLoop::main().cancelTimer(timer_);
    timer_ = 0;
    if (auto view = view_.lock(); view && shown_)
        view->setNeedsDisplayInRect(caretRect_());
    shown_ = false;
    view_.reset();
    caretRect_ = nullptr;
}

} // namespace platform::textinput
