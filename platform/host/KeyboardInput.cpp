#include "platform/host/KeyboardInput.h"

#include "platform/os/RunLoop.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>

namespace platform::host {

namespace {

    const std::string* textOf(const std::shared_ptr<UIResponder>& responder)
    {
        if (auto field = std::dynamic_pointer_cast<UITextField>(responder))
            return &field->text();
        if (auto textView = std::dynamic_pointer_cast<UITextView>(responder))
            return &textView->text();
        return nullptr;
    }

    bool shownOnScreen(const std::shared_ptr<UIView>& view)
    {
        if (!view || !view->window() || view->window()->isHidden())
            return false;
        for (auto v = view; v; v = v->superview())
            if (v->isHidden() || v->alpha() < 0.01)
                return false;
        return true;
    }

} // namespace

bool KeyboardInput::sync(std::string& text)
{
    auto responder = UIResponder::currentFirstResponder();
    const std::string* current = textOf(responder);
    if (!current) {
        owner_.reset();
        return false;
    }
    if (owner_.lock() != responder || *current != knownText_) {
        owner_ = responder;
        knownText_ = *current;
        caret_ = utf16Length(knownText_);
    }
    caret_ = std::min(caret_, utf16Length(knownText_));
    text = knownText_;
    return true;
}

long KeyboardInput::caret()
{
    std::string text;
    return sync(text) ? long(caret_) : -1;
}

bool KeyboardInput::replace(std::size_t location, std::size_t length, const std::string& replacement)
{
    auto responder = owner_.lock();
    bool atEnd = location == utf16Length(knownText_) && length == 0;
    bool done = false;
    // At the end the keyboard's plain insertion is used, as the headless driver types.
    if (auto field = std::dynamic_pointer_cast<UITextField>(responder))
        done = atEnd ? field->insertText(replacement) : field->replaceCharacters({ location, length }, replacement);
    else if (auto textView = std::dynamic_pointer_cast<UITextView>(responder))
        done = atEnd ? textView->insertText(replacement)
                     : textView->replaceCharacters({ location, length }, replacement);
    if (done) {
        if (const std::string* text = textOf(responder))
            knownText_ = *text;
    }
    return done;
}

bool KeyboardInput::typeText(const std::string& utf8)
{
    std::string text;
    if (utf8.empty() || !sync(text))
        return false;
    bool all = true;
    for (const auto& character : composedCharacters(utf8)) {
        auto piece = utf8.substr(character.byteOffset, character.byteLength);
        if (replace(caret_, 0, piece))
            caret_ += character.utf16Length;
        else
            all = false;
        // A delegate may have moved the focus or changed the text.
        if (!sync(text))
            return false;
    }
    return all;
}

bool KeyboardInput::backspace()
{
    std::string text;
    if (!sync(text) || caret_ == 0)
        return false;
    auto responder = owner_.lock();
    if (caret_ == utf16Length(text)) {
        bool done = false;
        if (auto field = std::dynamic_pointer_cast<UITextField>(responder))
            done = field->deleteBackward();
        else if (auto textView = std::dynamic_pointer_cast<UITextView>(responder))
            done = textView->deleteBackward();
        if (done) {
            if (const std::string* now = textOf(responder))
                knownText_ = *now;
            caret_ = utf16Length(knownText_);
        }
        return done;
    }
    for (const auto& character : composedCharacters(text)) {
        if (character.utf16Offset + character.utf16Length == caret_) {
            if (!replace(character.utf16Offset, character.utf16Length, ""))
                return false;
            caret_ = character.utf16Offset;
            return true;
        }
    }
    return false;
}

bool KeyboardInput::returnKey()
{
    std::string text;
    if (!sync(text))
        return false;
    if (auto field = std::dynamic_pointer_cast<UITextField>(owner_.lock()))
        return field->pressReturnKey();
    return typeText("\n");
}

bool KeyboardInput::arrow(Arrow arrow)
{
    std::string text;
    if (!sync(text))
        return false;
    std::size_t end = utf16Length(text);
    switch (arrow) {
    case Arrow::Up:
    case Arrow::Home:
        caret_ = 0;
        return true;
    case Arrow::Down:
    case Arrow::End:
        caret_ = end;
        return true;
    case Arrow::Left:
    case Arrow::Right:
        break;
    }
    auto characters = composedCharacters(text);
    if (arrow == Arrow::Left) {
        for (auto it = characters.rbegin(); it != characters.rend(); ++it) {
            if (it->utf16Offset < caret_) {
                caret_ = it->utf16Offset;
                return true;
            }
        }
        return false;
    }
    for (const auto& character : characters) {
        if (character.utf16Offset >= caret_) {
            caret_ = character.utf16Offset + character.utf16Length;
            return true;
        }
    }
    return false;
}

std::shared_ptr<UINavigationController> visibleNavigationController()
{
    auto window = UIWindow::keyWindow();
    auto controller = window ? UIViewController::rootViewControllerOf(window.get()) : nullptr;
    // Bounded: presentation chains and nesting are shallow.
    for (int depth = 0; controller && controller->presentedViewController() && depth < 32; ++depth)
        controller = controller->presentedViewController();
    for (int depth = 0; controller && depth < 32; ++depth) {
        if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(controller))
            return navigation;
        std::shared_ptr<UIViewController> next;
        for (const auto& child : controller->childViewControllers()) {
            if (child->isViewLoaded() && shownOnScreen(child->view())) {
                next = child;
                break;
            }
        }
        controller = next;
    }
    return nullptr;
}

bool performBackSwipe()
{
    auto window = UIWindow::keyWindow();
    if (!window || window->isHidden())
        return false;
    auto navigation = visibleNavigationController();
    auto topBefore = navigation ? navigation->topViewController() : nullptr;
    auto depthBefore = navigation ? navigation->viewControllers().size() : 0;

    window->layoutIfNeeded();
    auto bounds = window->bounds();
    platform::Point start(bounds.origin.x + 8, bounds.origin.y + bounds.size.height / 2);
    if (window->beginTouches({ start })) {
        // The headless driver's stroke: six steps of 20 points.
        for (int i = 1; i <= 6 && window->hasActiveTouches(); ++i)
            window->moveTouches({ platform::Point(start.x + 20 * i, start.y) });
        if (window->hasActiveTouches())
            window->endTouches();
    }
    auto after = visibleNavigationController();
    bool changed = after != navigation || (after && after->topViewController() != topBefore)
        || (after && after->viewControllers().size() != depthBefore);
    if (changed)
        return true;
    if (navigation && navigation->viewControllers().size() > 1)
        return navigation->popViewControllerAnimated(true) != nullptr;
    return false;
}

} // namespace platform::host
