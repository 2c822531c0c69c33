#include "tests/support/uikit/UIKitDriver.h"

#include "platform/os/DateFormat.h"
#include "platform/os/RunLoop.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/ModalStack.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIMenuController.h"
#include "platform/uikit/UIPasteboard.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

using platform::Point;

namespace testsupport {

ScreenSpot screenCentreOf(const std::shared_ptr<UIView>& view)
{
    if (!view || !view->window())
        return {};
    auto window = view->window();
    window->layoutIfNeeded();
    auto b = view->bounds();
    auto p = view->convertPointToView(platform::Point(b.midX(), b.midY()), nullptr);
    auto f = window->frame();
    return { p.x + f.origin.x, p.y + f.origin.y };
}

namespace {

    // Where the view's centre is on screen, if the view is in a window.
    std::optional<Point> screenCentre(const std::shared_ptr<UIView>& view)
    {
        if (!view)
            return std::nullopt;
        auto window = view->window();
        if (!window)
            return std::nullopt;
        window->layoutIfNeeded();
        auto b = view->bounds();
        auto p = view->convertPointToView(Point(b.midX(), b.midY()), nullptr);
        auto f = window->frame();
        return Point(p.x + f.origin.x, p.y + f.origin.y);
    }

    std::shared_ptr<UIWindow> windowAt(Point screenPoint, Point& windowPoint)
    {
        auto window = UIWindow::windowForTouchAtPoint(screenPoint);
        if (!window)
            return nullptr;
        auto f = window->frame();
        windowPoint
            = window->convertPointFromView(Point(screenPoint.x - f.origin.x, screenPoint.y - f.origin.y), nullptr);
        return window;
    }

    bool landedIn(const std::shared_ptr<UIView>& hit, const std::shared_ptr<UIView>& view)
    {
        return hit && view && hit->isDescendantOfView(view.get());
    }

    void visit(const std::shared_ptr<UIView>& root, const std::function<bool(const std::shared_ptr<UIView>&)>& visitor)
    {
        if (!root)
            return;
        std::vector<std::shared_ptr<UIView>> stack { root };
        // Bounded by the number of views: each is pushed once.
        while (!stack.empty()) {
            auto view = stack.back();
            stack.pop_back();
            if (visitor(view))
                return;
            auto& subviews = view->subviews();
            for (auto it = subviews.rbegin(); it != subviews.rend(); ++it)
                stack.push_back(*it);
        }
    }

    template <class Field> bool typeInto(const std::shared_ptr<Field>& field, const std::string& text)
    {
        if (!field)
            return false;
        if (!field->isFirstResponder()) {
            tap(field);
            if (!field->isFirstResponder())
                return false;
        }
        bool all = true;
        auto characters = platform::composedCharacters(text);
        for (auto& character : characters)
            all = field->insertText(text.substr(character.byteOffset, character.byteLength)) && all;
        return all;
    }

} // namespace

std::shared_ptr<UIView> tapAtPoint(Point screenPoint)
{
    Point windowPoint;
    auto window = windowAt(screenPoint, windowPoint);
    if (!window)
        return nullptr;
    auto hit = window->beginTouches({ windowPoint });
    window->endTouches();
    return hit;
}

bool tap(const std::shared_ptr<UIView>& view, int taps)
{
    auto centre = screenCentre(view);
    if (!centre)
        return false;
    bool landed = true;
    for (int i = 0; i < taps && i < 10; ++i)
        landed = landedIn(tapAtPoint(*centre), view) && landed;
    return landed;
}

bool tapButton(const std::shared_ptr<UIView>& root, const std::string& title)
{
    std::shared_ptr<UIView> found;
    visit(root, [&](const std::shared_ptr<UIView>& view) {
        auto button = std::dynamic_pointer_cast<UIButton>(view);
        if (button && button->currentTitle() == title && isShownOnScreen(button)) {
            found = button;
            return true;
        }
        return false;
    });
    return found && tap(found);
}

bool dragOut(const std::shared_ptr<UIView>& view, Point windowEnd)
{
    auto centre = screenCentre(view);
    if (!centre)
        return false;
    Point windowPoint;
    auto window = windowAt(*centre, windowPoint);
    if (!window)
        return false;
    auto hit = window->beginTouches({ windowPoint });
    window->moveTouches({ windowEnd });
    window->endTouches();
    return landedIn(hit, view);
}

bool type(const std::shared_ptr<UITextField>& field, const std::string& text) { return typeInto(field, text); }

bool type(const std::shared_ptr<UITextView>& textView, const std::string& text) { return typeInto(textView, text); }

bool returnKey(const std::shared_ptr<UITextField>& field) { return field && field->pressReturnKey(); }

bool tapAlertButton(const std::string& title)
{
    auto alert = UIAlertView::currentAlert();
    return alert && alert->clickButtonAtIndex(alert->indexOfButtonWithTitle(title));
}

bool tapAlertButton(long index)
{
    auto alert = UIAlertView::currentAlert();
    return alert && alert->clickButtonAtIndex(index);
}

bool tapSheetButton(const std::string& title)
{
    auto sheet = UIActionSheet::currentSheet();
    return sheet && sheet->clickButtonAtIndex(sheet->indexOfButtonWithTitle(title));
}

bool tapSheetButton(long index)
{
    auto sheet = UIActionSheet::currentSheet();
    return sheet && sheet->clickButtonAtIndex(index);
}

bool swipe(const std::shared_ptr<UIView>& view, SwipeDirection direction)
{
    auto centre = screenCentre(view);
    if (!centre)
        return false;
    Point windowPoint;
    auto window = windowAt(*centre, windowPoint);
    if (!window)
        return false;
    double dx = direction == SwipeDirection::Right ? 1 : direction == SwipeDirection::Left ? -1 : 0;
    double dy = direction == SwipeDirection::Down ? 1 : direction == SwipeDirection::Up ? -1 : 0;
    auto hit = window->beginTouches({ windowPoint });
    constexpr int steps = 6;
    for (int i = 1; i <= steps; ++i) {
        platform::RunLoop::main().advance(0.01);
        window->moveTouches({ Point(windowPoint.x + dx * 20 * i, windowPoint.y + dy * 20 * i) });
    }
    window->endTouches();
    return landedIn(hit, view);
}

bool longPress(const std::shared_ptr<UIView>& view, double seconds)
{
    auto centre = screenCentre(view);
    if (!centre)
        return false;
    Point windowPoint;
    auto window = windowAt(*centre, windowPoint);
    if (!window)
        return false;
    auto hit = window->beginTouches({ windowPoint });
    platform::RunLoop::main().advance(seconds);
    window->endTouches();
    return landedIn(hit, view);
}

bool turnWheel(const std::shared_ptr<UIView>& picker, long column, long columns, long rows)
{
    if (!picker || columns <= 0 || column < 0 || column >= columns)
        return false;
    auto window = picker->window();
    if (!window)
        return false;
    // The finger goes down on the wheel's middle band and travels a row
    // height per row, up for later rows.
    auto b = picker->bounds();
    Point band(b.minX() + (double(column) + 0.5) * b.width() / double(columns),
        PickerWheels::bandTop(b) + PickerWheels::kRowHeight / 2);
    auto inWindow = picker->convertPointToView(band, window.get());
    auto f = window->frame();
    Point screenPoint(inWindow.x + f.origin.x, inWindow.y + f.origin.y);
    Point windowPoint;
    auto touched = windowAt(screenPoint, windowPoint);
    if (!touched)
        return false;
    auto hit = touched->beginTouches({ windowPoint });
    if (!landedIn(hit, picker)) {
        touched->cancelTouches();
        return false;
    }
    double direction = rows > 0 ? -1 : 1;
    for (long i = 1; i <= std::labs(rows); ++i) {
        platform::RunLoop::main().advance(0.02);
        touched->moveTouches({ Point(windowPoint.x, windowPoint.y + direction * double(i) * PickerWheels::kRowHeight) });
    }
    touched->endTouches();
    return true;
}

bool spinPicker(const std::shared_ptr<UIPickerView>& picker, long row, long component)
{
    if (!picker || row < 0 || row >= picker->numberOfRowsInComponent(component))
        return false;
    long rows = row - picker->selectedRowInComponent(component);
    if (rows != 0 && !turnWheel(picker, component, picker->numberOfComponents(), rows))
        return false;
    return picker->selectedRowInComponent(component) == row;
}

bool spinDatePicker(const std::shared_ptr<UIDatePicker>& picker, platform::Date date)
{
    if (!picker)
        return false;
    // The wheels left to right, each turned by the difference in its field;
    // twice over, for a day that only exists once the month is turned.
    bool timeOnly = picker->datePickerMode() == UIDatePickerModeTime
        || picker->datePickerMode() == UIDatePickerModeCountDownTimer;
    using Field = int platform::DateComponents::*;
    std::vector<Field> fields;
    if (!timeOnly)
        fields = { &platform::DateComponents::year, &platform::DateComponents::month, &platform::DateComponents::day };
    if (timeOnly || picker->datePickerMode() == UIDatePickerModeDateAndTime) {
        fields.push_back(&platform::DateComponents::hour);
        fields.push_back(&platform::DateComponents::minute);
    }
    auto want = platform::dateComponents(date);
    auto matches = [&] {
        auto now = platform::dateComponents(picker->date());
        return std::all_of(fields.begin(), fields.end(), [&](Field f) { return now.*f == want.*f; });
    };
    for (int pass = 0; pass < 2 && !matches(); ++pass) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            long rows = long(want.*fields[i]) - long(platform::dateComponents(picker->date()).*fields[i]);
            if (rows != 0 && !turnWheel(picker, long(i), long(fields.size()), rows))
                return false;
        }
    }
    return matches();
}

bool tapMenuItem(const std::string& title)
{
    return UIMenuController::sharedMenuController().performItemWithTitle(title);
}

std::vector<std::shared_ptr<UIView>> findViewsByClass(const std::shared_ptr<UIView>& root, const std::string& className)
{
    std::vector<std::shared_ptr<UIView>> found;
    visit(root, [&](const std::shared_ptr<UIView>& view) {
        if (view->className() == className)
            found.push_back(view);
        return false;
    });
    return found;
}

std::shared_ptr<UIView> findViewByTag(const std::shared_ptr<UIView>& root, int tag)
{
    return root ? root->viewWithTag(tag) : nullptr;
}

std::shared_ptr<UIView> findViewByOutlet(const std::shared_ptr<UIView>& root, const std::string& outletName)
{
    std::shared_ptr<UIView> found;
    visit(root, [&](const std::shared_ptr<UIView>& view) {
        if (view->outletName() == outletName) {
            found = view;
            return true;
        }
        return false;
    });
    return found;
}

std::string textOf(const std::shared_ptr<UIView>& view)
{
    if (auto label = std::dynamic_pointer_cast<UILabel>(view))
        return label->text();
    if (auto button = std::dynamic_pointer_cast<UIButton>(view))
        return button->currentTitle();
    if (auto field = std::dynamic_pointer_cast<UITextField>(view))
        return field->text();
    if (auto textView = std::dynamic_pointer_cast<UITextView>(view))
        return textView->text();
    return {};
}

std::shared_ptr<UIView> findViewByText(const std::shared_ptr<UIView>& root, const std::string& text)
{
    std::shared_ptr<UIView> found;
    visit(root, [&](const std::shared_ptr<UIView>& view) {
        if (textOf(view) == text) {
            found = view;
            return true;
        }
        return false;
    });
    return found;
}

bool isShownOnScreen(const std::shared_ptr<UIView>& view)
{
    if (!view)
        return false;
    auto window = view->window();
    if (!window || window->isHidden())
        return false;
    for (auto v = view; v; v = v->superview()) {
        if (v->isHidden() || v->alpha() < 0.01)
            return false;
    }
    return true;
}

std::shared_ptr<UIAlertView> currentAlert() { return UIAlertView::currentAlert(); }

std::shared_ptr<UIActionSheet> currentSheet() { return UIActionSheet::currentSheet(); }

void resetUIKitState()
{
    platform::ModalStack::clear();
    // The keyboard goes first, so that dropping the first responder posts no keyboard news.
    platform::Keyboard::reset();
    UIResponder::forceResignCurrentFirstResponder();
    platform::Keyboard::reset();
    UIWindow::resetAllWindows();
    platform::AnimationLog::clear();
    UIMenuController::sharedMenuController().reset();
    UIPasteboard::generalPasteboard().clear();
    UIScreen::reset();
    UIView::setAnimationsEnabled(true);
    UIImage::clearNamedImageCache();
}

} // namespace testsupport
