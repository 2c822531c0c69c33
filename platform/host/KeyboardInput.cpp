#include "platform/host/KeyboardInput.h"

#include "platform/os/RunLoop.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/ModalStack.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIToolbar.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIKeyInputTarget.h"
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

    // The insertion point the focused text shows.
    std::size_t caretOf(const std::shared_ptr<UIResponder>& responder, std::size_t fallback)
    {
        if (auto field = std::dynamic_pointer_cast<UITextField>(responder))
            return field->caretLocation();
        if (auto textView = std::dynamic_pointer_cast<UITextView>(responder))
            return textView->caretLocation();
        return fallback;
    }

    void showCaret(const std::shared_ptr<UIResponder>& responder, std::size_t location)
    {
        if (auto field = std::dynamic_pointer_cast<UITextField>(responder))
            field->setCaretLocation(location);
        else if (auto textView = std::dynamic_pointer_cast<UITextView>(responder))
            textView->setCaretLocation(location);
    }

    // A web view is first responder while a field of its page has the focus;
    // the page keeps its own caret, so keys go to it as they come.
    std::shared_ptr<UIKeyInputTarget> focusedWebView()
    {
        return std::dynamic_pointer_cast<UIKeyInputTarget>(UIResponder::currentFirstResponder());
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
        caret_ = caretOf(responder, utf16Length(knownText_));
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
    if (auto web = focusedWebView()) {
        owner_.reset();
        if (utf8.empty())
            return false;
        web->insertText(utf8);
        return true;
    }
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
    if (auto web = focusedWebView()) {
        owner_.reset();
        web->deleteBackward();
        return true;
    }
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
    if (auto web = focusedWebView()) {
        owner_.reset();
        web->pressReturnKey();
        return true;
    }
    std::string text;
    if (!sync(text))
        return false;
    if (auto field = std::dynamic_pointer_cast<UITextField>(owner_.lock()))
        return field->pressReturnKey();
    return typeText("\n");
}

bool KeyboardInput::arrow(Arrow arrow)
{
    if (auto web = focusedWebView()) {
        // The page's field keeps its own caret.
        const char* name = "Left";
        switch (arrow) {
        case Arrow::Left:
            break;
        case Arrow::Right:
            name = "Right";
            break;
        case Arrow::Up:
            name = "Up";
            break;
        case Arrow::Down:
            name = "Down";
            break;
        case Arrow::Home:
            name = "Home";
            break;
        case Arrow::End:
            name = "End";
            break;
        }
        owner_.reset();
        web->pressCaretKey(name);
        return true;
    }
    std::string text;
    if (!sync(text))
        return false;
    std::size_t end = utf16Length(text);
    switch (arrow) {
    case Arrow::Up:
    case Arrow::Home:
        caret_ = 0;
        showCaret(owner_.lock(), caret_);
        return true;
    case Arrow::Down:
    case Arrow::End:
        caret_ = end;
        showCaret(owner_.lock(), caret_);
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
                showCaret(owner_.lock(), caret_);
                return true;
            }
        }
        return false;
    }
    for (const auto& character : characters) {
        if (character.utf16Offset >= caret_) {
            caret_ = character.utf16Offset + character.utf16Length;
            showCaret(owner_.lock(), caret_);
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

namespace {

    // A modal's cancel choice, as its cancel button gives it. One without a
    // cancel choice stays: its choices are the person's to make.
    bool cancelModal(const std::shared_ptr<UIView>& modal)
    {
        if (auto sheet = std::dynamic_pointer_cast<UIActionSheet>(modal))
            return sheet->cancelButtonIndex() >= 0 && sheet->clickButtonAtIndex(sheet->cancelButtonIndex());
        if (auto alert = std::dynamic_pointer_cast<UIAlertView>(modal))
            return alert->cancelButtonIndex() >= 0 && alert->clickButtonAtIndex(alert->cancelButtonIndex());
        return false;
    }

    // The topmost controller presented under `controller` (by it or by one of
    // the children on screen: a pushed screen presents from its container).
    std::shared_ptr<UIViewController> presentedUnder(const std::shared_ptr<UIViewController>& controller, int depth)
    {
        if (!controller || depth > 32)
            return nullptr;
        if (auto presented = controller->presentedViewController()) {
            auto above = presentedUnder(presented, depth + 1);
            return above ? above : presented;
        }
        for (const auto& child : controller->childViewControllers()) {
            if (!child->isViewLoaded() || !shownOnScreen(child->view()))
                continue;
            if (auto found = presentedUnder(child, depth + 1))
                return found;
        }
        return nullptr;
    }

    // The topmost controller presented in the key window, or nullptr.
    std::shared_ptr<UIViewController> topPresentedController()
    {
        auto window = UIWindow::keyWindow();
        return presentedUnder(window ? UIViewController::rootViewControllerOf(window.get()) : nullptr, 0);
    }

    bool closesScreen(const std::shared_ptr<UIBarButtonItem>& item)
    {
        if (!item || !item->isEnabled() || !item->hasAction())
            return false;
        if (auto system = item->systemItem())
            return *system == UIBarButtonSystemItemDone || *system == UIBarButtonSystemItemCancel;
        const auto& title = item->title();
        return title == "Done" || title == "Cancel" || title == "完成" || title == "取消" || title == "关闭";
    }

    bool isCancelItem(const std::shared_ptr<UIBarButtonItem>& item)
    {
        if (!item || !item->isEnabled() || !item->hasAction())
            return false;
        if (auto system = item->systemItem())
            return *system == UIBarButtonSystemItemCancel;
        return item->title() == "Cancel" || item->title() == "取消";
    }

    // A picker in the keyboard's place (a chooser field's wheel, a page's
    // drop-down) covers the foot of the screen: it closes as its bar's 取消
    // closes it, keeping what was chosen before; with no 取消 on its bar, as
    // the focus going elsewhere closes it. The screen stays.
    bool closeKeyboardPicker()
    {
        auto responder = UIResponder::currentFirstResponder();
        if (!platform::Keyboard::isVisible() || !responder || !responder->wantsKeyboard() || !responder->inputView())
            return false;
        if (auto bar = std::dynamic_pointer_cast<UIToolbar>(responder->inputAccessoryView())) {
            for (const auto& item : bar->items()) {
                if (isCancelItem(item)) {
                    item->sendAction();
                    break;
                }
            }
        }
        // A 取消 that left the picker up, or none: the focus goes.
        if (UIResponder::currentFirstResponder() == responder && responder->wantsKeyboard() && responder->inputView()
            && !responder->resignFirstResponder())
            UIResponder::forceResignCurrentFirstResponder();
        return true;
    }

    // A presented screen at the root of its own stack closes through its
    // Done or Cancel item (the photo browser's Done), the way a person would.
    bool closePresented(const std::shared_ptr<UIViewController>& presented)
    {
        auto shown = presented;
        if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(presented))
            shown = navigation->topViewController();
        if (!shown)
            return false;
        auto item = shown->navigationItem();
        for (const auto& candidate : { item->rightBarButtonItem(), item->leftBarButtonItem() }) {
            if (closesScreen(candidate))
                return candidate->sendAction();
        }
        return false;
    }

} // namespace

bool performBackSwipe()
{
    auto window = UIWindow::keyWindow();
    if (!window || window->isHidden())
        return false;
    // What is on top goes first: a sheet or an alert covers the screen, and no
    // stroke reaches the screen beneath it.
    if (auto modal = platform::ModalStack::top())
        return cancelModal(modal);
    // Then what stands over the screen in its own window: the keyboard area's picker.
    if (closeKeyboardPicker())
        return true;
    // Then a menu the screen shows over its views.
    if (platform::ModalStack::closeMenu())
        return true;
    // A presented screen covers the ones it was presented over: back goes
    // within it, or it closes through its Done; never beneath it.
    if (auto presented = topPresentedController()) {
        auto own = std::dynamic_pointer_cast<UINavigationController>(presented);
        if (own && own->viewControllers().size() > 1)
            return own->popViewControllerAnimated(true) != nullptr;
        return closePresented(presented);
    }
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
