#pragma once

#include <cstddef>
#include <memory>
#include <string>

class UIResponder;
class UINavigationController;

namespace platform::host {

// The desktop keyboard standing in for the phone's: typed text goes to the
// first responder (a text field or text view) one composed character at a
// time, through the same edits the on-screen keyboard makes, so delegates are
// asked character by character. The keyboard keeps a caret, in
// UTF-16 units, that the arrows move and the focused text shows (left and right by a character, up and
// home to the start, down and end to the end); it goes back to the end when
// the first responder changes or its text changes under it. A web view is
// first responder while a field of its page has the focus: text, Backspace
// and Return go to the page as they come (the page keeps its own caret; the
// arrows do not move it). With nothing focused, keys are ignored.
class KeyboardInput final {
public:
    enum class Arrow { Left, Right, Up, Down, Home, End };

    // UTF-8 from the desktop's text input (an input method's committed text
    // included). Returns whether every character went in.
    bool typeText(const std::string& utf8);
    bool backspace();
    // The return key: the field's return (asks its delegate), a line break in a text view.
    bool returnKey();
    bool arrow(Arrow arrow);

    // The caret of the focused text, or nullopt-like -1 when nothing is focused.
    long caret();

private:
    // Syncs the caret with the current first responder; false when it takes no text.
    bool sync(std::string& text);
    bool replace(std::size_t location, std::size_t length, const std::string& replacement);

    std::weak_ptr<UIResponder> owner_;
    std::string knownText_;
    std::size_t caret_ = 0;
};

// Back, as the Escape key gives it. The topmost modal goes first: a sheet or
// an alert is closed by its cancel button (one without a cancel button stays)
// and nothing beneath it moves; then a picker in the keyboard's place closes
// as its bar's 取消 closes it (with none, as the focus going elsewhere does),
// then a menu shown over the screen (see ModalStack), the screen staying; a
// presented screen at the root of its stack closes through its Done or
// Cancel item (the photo browser's Done).
// Otherwise the back swipe: a stroke to the right from the left edge of the
// key window, through the window's touches (a screen's own swipe recogniser
// takes it); when that left the screen as it was, the navigation controller
// the person sees pops its top screen, as the phone's edge swipe does.
// Returns whether the screen changed.
bool performBackSwipe();

// The navigation controller the person sees in the key window: inside what
// is presented on top, else under the root, following the children on screen.
std::shared_ptr<UINavigationController> visibleNavigationController();

} // namespace platform::host
