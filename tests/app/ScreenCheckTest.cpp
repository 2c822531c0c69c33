// One check over every screen a signed-in person reaches, on both screen
// sizes: the tabs, every tile of the function grid, every navigation row of
// the message box, and one level of what their main buttons and rows push.
// On every screen each visible control must lie on the screen and take a
// touch at its centre; each text field and text view, tapped, must stay clear
// of the keyboard, whose picker and bar must be on the screen, take touches
// and turn. All faults of a run are collected and reported together.
//
// Each screen is looked at once its content shows (its requests answered,
// its page loaded, no spinner turning), and the views it has seen are known
// by identity, not by address, so that every build counts the same.
//
// SCREEN_CHECK_TRACE=1 logs each press, keyboard, picker and control counted
// of the walk, and what still loaded when the wait for content gave up;
// SCREEN_CHECK_RENDER=1 draws every screen checked into the render folder.
#include "app/main/ORBViewController.h"
#include "app/navigation/NavigationViewController.h"
#include "messaging/box/MessageBoxViewController.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/app/ScreenWithKeyboard.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/TestWatchdog.h"
#include "ui/grid/GridView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

using namespace testsupport;
using platform::Point;
using platform::Rect;

namespace {

constexpr const char* kStudent = "13800000006";
constexpr const char* kStudentPassword = "student123";

// Rows and buttons the walk never presses: they sign out, change the role,
// replay the introduction or throw something away.
const std::set<std::string> kNotPressed = { "退出登录", "切换角色", "功能介绍", "注销", "删除", "清空", "退出" };

// The screens whose first field is drawn with the keyboard up, for a look.
const std::set<std::string> kRendered = { "SendClassNoticeViewController", "MessageSendViewController",
    "SelectStudentViewController", "WriteWeiboViewController" };

// Half a point either way is rounding, not a fault.
constexpr double kSlack = 0.5;

std::string describeRect(const Rect& r)
{
    char text[96];
    std::snprintf(text, sizeof text, "(%g,%g %gx%g)", r.origin.x, r.origin.y, r.size.width, r.size.height);
    return text;
}

// The view's bounds on the screen (its window's frame included).
Rect onScreen(const UIView& view)
{
    Rect r = view.convertRectToView(view.bounds(), nullptr);
    if (auto window = view.window()) {
        r.origin.x += window->frame().origin.x;
        r.origin.y += window->frame().origin.y;
    }
    return r;
}

bool contains(const Rect& outer, const Rect& inner)
{
    return inner.minX() >= outer.minX() - kSlack && inner.minY() >= outer.minY() - kSlack
        && inner.maxX() <= outer.maxX() + kSlack && inner.maxY() <= outer.maxY() + kSlack;
}

double overlapHeight(const Rect& a, const Rect& b)
{
    if (a.maxX() <= b.minX() || b.maxX() <= a.minX())
        return 0;
    return std::min(a.maxY(), b.maxY()) - std::max(a.minY(), b.minY());
}

Rect intersection(const Rect& a, const Rect& b)
{
    double x0 = std::max(a.minX(), b.minX()), y0 = std::max(a.minY(), b.minY());
    double x1 = std::min(a.maxX(), b.maxX()), y1 = std::min(a.maxY(), b.maxY());
    return Rect(x0, y0, std::max(0.0, x1 - x0), std::max(0.0, y1 - y0));
}

std::string nameOf(const std::shared_ptr<UIView>& view)
{
    if (!view)
        return "nothing";
    std::string name = view->className();
    if (!view->outletName().empty())
        name += " '" + view->outletName() + "'";
    else if (auto text = textOf(view); !text.empty())
        name += " \"" + text + "\"";
    else if (auto button = std::dynamic_pointer_cast<UIButton>(view); button && !button->currentTitle().empty())
        name += " \"" + button->currentTitle() + "\"";
    else if (auto cell = std::dynamic_pointer_cast<UITableViewCell>(view);
             cell && cell->textLabel() && !cell->textLabel()->text().empty())
        name += " \"" + cell->textLabel()->text() + "\"";
    return name;
}

bool hasTapRecognizer(const UIView& view)
{
    return std::any_of(view.gestureRecognizers().begin(), view.gestureRecognizers().end(),
        [](const auto& r) { return r->isEnabled() && dynamic_cast<UITapGestureRecognizer*>(r.get()) != nullptr; });
}

// What a person can touch: enabled controls, text views, views a tap
// recogniser listens on, and table rows; a view that ignores touches itself is
// decoration.
bool isTouchable(const std::shared_ptr<UIView>& view)
{
    if (!view->isUserInteractionEnabled())
        return false;
    if (auto control = std::dynamic_pointer_cast<UIControl>(view))
        return control->isEnabled();
    if (std::dynamic_pointer_cast<UITextView>(view) || std::dynamic_pointer_cast<UITableViewCell>(view))
        return true;
    return hasTapRecognizer(*view);
}

bool isTextInput(const std::shared_ptr<UIView>& view)
{
    if (auto field = std::dynamic_pointer_cast<UITextField>(view))
        return field->isEnabled();
    auto textView = std::dynamic_pointer_cast<UITextView>(view);
    return textView && textView->isEditable();
}

long wheelsOf(const std::shared_ptr<UIView>& picker)
{
    if (auto wheels = std::dynamic_pointer_cast<UIPickerView>(picker))
        return wheels->numberOfComponents();
    if (auto date = std::dynamic_pointer_cast<UIDatePicker>(picker)) {
        switch (date->datePickerMode()) {
        case UIDatePickerModeTime:
        case UIDatePickerModeCountDownTimer:
            return 2;
        case UIDatePickerModeDate:
            return 3;
        case UIDatePickerModeDateAndTime:
            return 5;
        }
    }
    return 0;
}

// A visible touchable view found by the walk, with where it may be seen.
struct Found {
    std::shared_ptr<UIView> view;
    // On screen: the view itself, and the part of the screen its clipping
    // ancestors let it show in.
    Rect frame;
    Rect visible;
    // The innermost scroll view around it, if any.
    std::shared_ptr<UIScrollView> scroller;
};

void collect(const std::shared_ptr<UIView>& view, const Rect& clip, const std::shared_ptr<UIScrollView>& scroller,
    std::vector<Found>& out)
{
    if (!view || view->isHidden() || view->alpha() < 0.01)
        return;
    const Rect frame = onScreen(*view);
    if (isTouchable(view))
        out.push_back({ view, frame, clip, scroller });
    Rect inner = clip;
    auto scroll = std::dynamic_pointer_cast<UIScrollView>(view);
    if (scroll || view->clipsToBounds())
        inner = intersection(clip, frame);
    for (const auto& sub : view->subviews())
        collect(sub, inner, scroll ? scroll : scroller, out);
}

// Views known by who they are: compared by owner, a weak reference tells its
// view from a later one that took the same address after it went.
using Views = std::set<std::weak_ptr<UIView>, std::owner_less<>>;

// What still loads on the windows the person sees: a web view loading its
// page, a spinner turning (a list's or a page's loading view, a picture on
// its way, an overlay's wait). Nothing: the screen shows its content.
std::shared_ptr<UIView> stillLoading(const std::shared_ptr<UIView>& view)
{
    if (!view || view->isHidden() || view->alpha() < 0.01)
        return nullptr;
    if (auto web = std::dynamic_pointer_cast<UIWebView>(view); web && web->isLoading())
        return view;
    if (auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(view); spinner && spinner->isAnimating())
        return view;
    for (const auto& sub : view->subviews())
        if (auto loading = stillLoading(sub))
            return loading;
    return nullptr;
}

std::shared_ptr<UIView> stillLoading()
{
    for (const auto& window : UIWindow::visibleWindows()) {
        if (window == platform::Keyboard::window())
            continue;
        if (auto loading = stillLoading(window))
            return loading;
    }
    return nullptr;
}

// One walk over the screens of one signed-in person on one screen size.
class ScreenCheck {
public:
    ScreenCheck(AppHarness& harness, std::string size, std::string person)
        : harness_(harness)
        , size_(std::move(size))
        , person_(std::move(person))
    {
    }

    int screens() const { return screens_; }
    int controls() const { return controls_; }
    int inputs() const { return inputs_; }
    int pickers() const { return pickers_; }
    const std::vector<std::string>& failures() const { return failures_; }

    // ---- The checks ----------------------------------------------------------------

    // Every control on the visible windows (the screen and the bars around it),
    // then each text input with the keyboard up.
    void checkScreen(const std::shared_ptr<UIViewController>& screen)
    {
        ++screens_;
        const std::string name = screen ? screen->className() : std::string("(no screen)");
        renderForLook(name);
        std::vector<std::shared_ptr<UIView>> inputs;
        for (const auto& found : touchables(nullptr)) {
            checkControl(name, found, "");
            if (isTextInput(found.view) && screen && screen->isViewLoaded()
                && found.view->isDescendantOfView(screen->view().get()))
                inputs.push_back(found.view);
        }
        // Inputs out of sight in a scroll view are reached by scrolling: those too.
        if (screen && screen->isViewLoaded())
            collectHiddenInputs(screen->view(), inputs);
        bool rendered = false;
        for (const auto& input : inputs) {
            if (!screen || harness_.topScreen() != screen)
                break;
            checkKeyboardFor(name, input, rendered);
        }
    }

    // The touchable views shown now. Held by their owners' identity, not by
    // address: a view that goes meanwhile may leave its address to a new one,
    // which must not pass for it (how often that happens depends on the
    // allocator, so the build).
    Views shownNow()
    {
        Views shown;
        for (const auto& found : touchables(nullptr))
            shown.insert(found.view);
        return shown;
    }

    // Rule 1 on what is shown now and was not before; whether anything was.
    bool checkNewControls(const std::shared_ptr<UIViewController>& screen, const Views& before, const std::string& when)
    {
        bool any = false;
        for (const auto& found : touchables(nullptr)) {
            if (before.count(found.view))
                continue;
            any = true;
            checkControl(screen->className(), found, when);
        }
        return any;
    }

    // Rule 1 alone, on the screen as it is now.
    void checkControls(const std::shared_ptr<UIViewController>& screen, const std::string& when)
    {
        for (const auto& found : touchables(nullptr))
            checkControl(screen->className(), found, when);
    }

private:
    // One line per fault; the same control failing the same way again
    // (seen from another screen or later) is not repeated.
    void fail(const std::string& screen, const std::shared_ptr<UIView>& view, const Rect& frame,
        const std::string& rule, const std::string& when = "")
    {
        std::string line = "[" + size_ + ", " + person_ + "] " + screen + ": " + nameOf(view) + " at "
            + describeRect(frame) + ": " + rule;
        if (seen_.insert(line).second)
            failures_.push_back(line + when);
    }

    // The touchable views of the windows the person sees (the keyboard area's
    // only when asked for). While a screen is shown modally only its views
    // count: it covers the screens under it, which stay in the window.
    std::vector<Found> touchables(const std::shared_ptr<UIWindow>& only)
    {
        std::vector<Found> found;
        const Rect screen = UIScreen::mainScreen()->bounds();
        auto presented = harness_.presentedScreen();
        for (const auto& window : UIWindow::visibleWindows()) {
            if (only && window != only)
                continue;
            if (!only && window == platform::Keyboard::window())
                continue;
            window->layoutIfNeeded();
            std::shared_ptr<UIView> root = window;
            if (!only && presented && presented->isViewLoaded() && presented->view()->window() == window)
                root = presented->view();
            collect(root, intersection(screen, onScreen(*window)), nullptr, found);
        }
        return found;
    }

    // Rule 1: on the screen, clear of the status strip, and the touch at the
    // centre lands on the control (nothing on top of it).
    void checkControl(const std::string& screen, const Found& found, const std::string& when)
    {
        const Rect& frame = found.frame;
        if (found.scroller && !contains(found.visible, frame)) {
            // Out of the scroll view's sight: the person scrolls to it, so it
            // must lie within what the scroll view can bring in.
            if (found.scroller->isScrollEnabled()) {
                auto scroll = found.scroller;
                Rect inContent = found.view->convertRectToView(found.view->bounds(), scroll.get());
                auto size = scroll->contentSize();
                auto inset = scroll->contentInset();
                double bottom = std::max(size.height + inset.bottom, scroll->bounds().height() - inset.top);
                double right = std::max(size.width + inset.right, scroll->bounds().width() - inset.left);
                if (inContent.minY() < -inset.top - kSlack || inContent.maxY() > bottom + kSlack
                    || inContent.minX() < -inset.left - kSlack || inContent.maxX() > right + kSlack)
                    fail(screen, found.view, frame,
                        "lies beyond what its scroll view " + nameOf(scroll) + " can scroll into sight", when);
            }
            return;
        }
        if (!found.scroller && intersection(found.visible, frame).size.height <= 0)
            return; // clipped away by its container: not visible
        ++controls_;
        if (std::getenv("SCREEN_CHECK_TRACE"))
            std::fprintf(stderr, "[control] %s %s: %s%s\n", size_.c_str(), screen.c_str(), nameOf(found.view).c_str(),
                when.c_str());
        const Rect bounds = UIScreen::mainScreen()->bounds();
        if (!contains(bounds, frame)) {
            fail(screen, found.view, frame, "is not inside the screen " + describeRect(bounds), when);
            return;
        }
        const double strip = UIApplication::sharedApplication().statusBarHeight();
        if (frame.midY() < strip) {
            fail(screen, found.view, frame, "its centre is under the status strip", when);
            return;
        }
        const Point centre(frame.midX(), frame.midY());
        std::shared_ptr<UIView> hit;
        if (auto window = UIWindow::windowForTouchAtPoint(centre)) {
            Point inWindow = window->convertPointFromView(
                Point(centre.x - window->frame().origin.x, centre.y - window->frame().origin.y), nullptr);
            hit = window->hitTest(inWindow, nullptr);
        }
        if (hit && !hit->isDescendantOfView(found.view.get()) && coveredOnPurpose(found, hit))
            return;
        if (!hit || !hit->isDescendantOfView(found.view.get()))
            fail(screen, found.view, frame,
                "a touch at its centre lands on " + nameOf(hit)
                    + (hit ? " of "
                                + std::string(
                                    hit->window() == platform::Keyboard::window() ? "the keyboard" : "the window")
                                + " at " + describeRect(onScreen(*hit))
                           : std::string()),
                when);
    }

    // Two ways a screen hides a control from touches on purpose:
    // - a prompt the person must answer first: an overlay dimming the window
    //   that holds buttons of its own (they are checked themselves);
    // - a text field that only shows a choice, with a button laid exactly
    //   over it that opens the chooser: the button is what the finger meets.
    bool coveredOnPurpose(const Found& found, const std::shared_ptr<UIView>& hit)
    {
        for (auto up = hit; up; up = up->superview()) {
            if (up->className() != std::string("ProgressOverlay") || found.view->isDescendantOfView(up.get()))
                continue;
            std::vector<Found> inside;
            collect(up, Rect(-1e6, -1e6, 2e6, 2e6), nullptr, inside);
            if (std::any_of(inside.begin(), inside.end(),
                    [](const Found& f) { return std::dynamic_pointer_cast<UIControl>(f.view) != nullptr; }))
                return true;
        }
        auto cover = std::dynamic_pointer_cast<UIButton>(hit);
        if (std::dynamic_pointer_cast<UITextField>(found.view) && cover && cover->isEnabled()
            && contains(onScreen(*cover), found.frame)) {
            coveredFields_.insert(found.view);
            return true;
        }
        return false;
    }

    void collectHiddenInputs(const std::shared_ptr<UIView>& view, std::vector<std::shared_ptr<UIView>>& inputs)
    {
        std::vector<Found> all;
        collect(view, Rect(-1e6, -1e6, 2e6, 2e6), nullptr, all);
        for (const auto& found : all) {
            if (!isTextInput(found.view))
                continue;
            if (std::find(inputs.begin(), inputs.end(), found.view) != inputs.end())
                continue;
            // Only those inside a scroll view count; others are not shown.
            for (auto up = found.view->superview(); up; up = up->superview()) {
                if (std::dynamic_pointer_cast<UIScrollView>(up)) {
                    inputs.push_back(found.view);
                    break;
                }
            }
        }
    }

    // Rule 2: tapped, the input stays clear of the keyboard and reachable;
    // what the keyboard area holds is on the screen and takes touches; a
    // picker there turns under a finger.
    void checkKeyboardFor(const std::string& screen, const std::shared_ptr<UIView>& input, bool& rendered)
    {
        if (!isShownOnScreen(input) || coveredFields_.count(input))
            return;
        // Scrolled into sight first when its scroll view hides it.
        for (auto up = input->superview(); up; up = up->superview()) {
            if (auto scroll = std::dynamic_pointer_cast<UIScrollView>(up)) {
                Rect visible = intersection(onScreen(*scroll), UIScreen::mainScreen()->bounds());
                if (!contains(visible, onScreen(*input)))
                    scroll->scrollRectToVisible(input->convertRectToView(input->bounds(), scroll.get()), false);
                break;
            }
        }
        const auto shownBefore = shownNow();
        const auto before = harness_.topScreen();
        const auto presented = harness_.presentedScreen();
        const bool landed = tap(input);
        harness_.loop().runUntilIdle();
        settle(harness_, 0.3);
        if (harness_.topScreen() != before || UIAlertView::currentAlert() || UIActionSheet::currentSheet()) {
            // The field opens something of its own instead of a keyboard.
            goBack(before, presented);
            return;
        }
        if (!landed && !input->isFirstResponder()) {
            // Covered (reported above): the keyboard is still looked at.
            input->becomeFirstResponder();
            harness_.loop().runUntilIdle();
        }
        if (!platform::Keyboard::isVisible()) {
            putAway();
            return;
        }
        ++inputs_;
        if (std::getenv("SCREEN_CHECK_TRACE"))
            std::fprintf(stderr, "[keyboard] %s: %s\n", screen.c_str(), nameOf(input).c_str());
        auto keyboard = platform::Keyboard::window();
        if (keyboard)
            keyboard->layoutIfNeeded();
        harness_.window()->layoutIfNeeded();
        const Rect area = keyboard ? onScreen(*keyboard) : platform::Keyboard::frame();
        const Rect frame = onScreen(*input);
        if (overlapHeight(frame, area) > kSlack)
            fail(screen, input, frame, "is covered by the keyboard " + describeRect(area) + " while typed into");
        // Still where a finger reaches it, with the keyboard up.
        std::vector<Found> self;
        collect(input, Rect(-1e6, -1e6, 2e6, 2e6), nullptr, self);
        if (!self.empty() && self.front().view == input) {
            Found found = self.front();
            found.visible = UIScreen::mainScreen()->bounds();
            found.scroller = nullptr;
            checkControl(screen, found, " (with the keyboard up)");
        }
        // What the screen shows only while typing (a button that puts the
        // keyboard away) must be reachable then.
        for (const auto& found : touchables(nullptr))
            if (!shownBefore.count(found.view))
                checkControl(screen, found, " (shown with the keyboard)");
        if (keyboard) {
            for (const auto& found : touchables(keyboard))
                checkControl(screen, found, " (in the keyboard area)");
            for (const auto& kind : { "UIPickerView", "UIDatePicker" }) {
                for (const auto& picker : findViewsByClass(keyboard, kind)) {
                    long wheels = wheelsOf(picker);
                    if (wheels <= 0 || !isShownOnScreen(picker))
                        continue;
                    ++pickers_;
                    if (!turnWheel(picker, 0, wheels, 1))
                        fail(screen, picker, onScreen(*picker), "does not turn under a finger");
                    else
                        turnWheel(picker, 0, wheels, -1);
                    if (std::getenv("SCREEN_CHECK_TRACE"))
                        std::fprintf(stderr, "[picker] %s: %s\n", screen.c_str(), nameOf(input).c_str());
                }
            }
        }
        if (!rendered && kRendered.count(screen)) {
            rendered = true;
            renderWithKeyboard(harness_, "screen-check-" + screen + "-" + size_ + ".png");
        }
        putAway();
    }

public:
    // Puts the keyboard, alerts and sheets away.
    void putAway()
    {
        for (int i = 0; i < 4; ++i) {
            if (auto alert = UIAlertView::currentAlert()) {
                alert->dismissWithClickedButtonIndex(std::max(0L, alert->cancelButtonIndex()), false);
            } else if (auto sheet = UIActionSheet::currentSheet()) {
                long cancel = sheet->cancelButtonIndex();
                sheet->dismissWithClickedButtonIndex(cancel >= 0 ? cancel : sheet->numberOfButtons() - 1, false);
            } else {
                break;
            }
            harness_.loop().runUntilIdle();
        }
        if (platform::Keyboard::isVisible()) {
            for (const auto& window : UIWindow::visibleWindows())
                window->endEditing(true);
            harness_.loop().runUntilIdle();
        }
        settle(harness_, 0.3);
    }

    // Back to the screen: what was presented over it dismissed, the tab it is
    // on shown, what was pushed over it popped.
    void goBack(const std::shared_ptr<UIViewController>& screen, const std::shared_ptr<UIViewController>& presented,
        long tab = -1)
    {
        putAway();
        for (int i = 0; i < 4; ++i) {
            auto shown = harness_.presentedScreen();
            if (!shown || shown == presented)
                break;
            auto presenter = shown->presentingViewController();
            (presenter ? presenter : shown)->dismissViewControllerAnimated(false);
            settle(harness_);
        }
        auto main = mainScreen();
        if (main && tab >= 0 && main->curIndex() != tab) {
            main->switchToView(tab);
            settle(harness_);
        }
        if (auto navigation = screen ? screen->navigationController() : nullptr) {
            if (navigation->topViewController() != screen) {
                navigation->popToViewController(screen, false);
                settle(harness_);
            }
        }
        putAway();
    }

    // Draws what the check looks at, when asked for (SCREEN_CHECK_RENDER).
    void renderForLook(const std::string& screen)
    {
        if (std::getenv("SCREEN_CHECK_RENDER"))
            renderWithKeyboard(
                harness_, "look-" + size_ + "-" + person_ + "-" + std::to_string(screens_) + "-" + screen + ".png");
    }

private:
    AppHarness& harness_;
    std::string size_;
    std::string person_;
    int screens_ = 0;
    int controls_ = 0;
    // Inputs typed into with the keyboard up, pickers turned there.
    int inputs_ = 0;
    int pickers_ = 0;
    std::vector<std::string> failures_;
    std::set<std::string> seen_;
    // Fields a button lies over on purpose: the finger never reaches them.
    Views coveredFields_;
};

// What a screen's main buttons and rows are: the bar's right-hand item, the
// screen's own titled buttons, and rows of its tables (all of the message
// box's navigation rows and of the settings menu; the first row of each
// section elsewhere).
struct Press {
    enum Kind { Button, Row } kind = Button;
    std::shared_ptr<UIView> view;
    std::shared_ptr<UITableView> table;
    NSIndexPath path;
    std::string label;
};

std::vector<Press> pressesOf(const std::shared_ptr<UIViewController>& screen)
{
    std::vector<Press> presses;
    if (!screen || !screen->isViewLoaded())
        return presses;
    auto excluded = [](const std::string& text) { return kNotPressed.count(text) > 0; };
    if (screen->navigationController()) {
        for (const auto& item : screen->navigationItem()->rightBarButtonItems()) {
            auto view = item->itemView();
            if (view && isShownOnScreen(view) && !excluded(textOf(view)))
                presses.push_back({ Press::Button, view, nullptr, {}, "bar item " + nameOf(view) });
        }
    }
    const bool allRows = screen->className() == std::string("SettingViewController");
    for (const auto& view : findViewsByClass(screen->view(), "UIButton")) {
        auto button = std::dynamic_pointer_cast<UIButton>(view);
        if (!button || !button->isEnabled() || !isShownOnScreen(button) || button->currentTitle().empty()
            || excluded(button->currentTitle()))
            continue;
        bool inCell = false;
        for (auto up = button->superview(); up; up = up->superview())
            inCell = inCell || std::dynamic_pointer_cast<UITableViewCell>(up) != nullptr;
        if (!inCell)
            presses.push_back({ Press::Button, button, nullptr, {}, "button " + nameOf(button) });
    }
    std::vector<std::shared_ptr<UITableView>> tables;
    std::function<void(const std::shared_ptr<UIView>&)> findTables = [&](const std::shared_ptr<UIView>& view) {
        if (auto table = std::dynamic_pointer_cast<UITableView>(view)) {
            tables.push_back(table);
            return; // rows hold no tables of their own worth pressing
        }
        for (const auto& sub : view->subviews())
            findTables(sub);
    };
    findTables(screen->view());
    for (const auto& table : tables) {
        if (!table || !isShownOnScreen(table))
            continue;
        for (long section = 0; section < table->numberOfSections() && section < 4; ++section) {
            const bool navigationRows = screen->className() == std::string("MessageBoxViewController")
                && section == MessageBoxViewController::kNavigationSection;
            long rows = table->numberOfRowsInSection(section);
            long last = allRows || navigationRows ? rows : std::min(rows, 1L);
            for (long row = 0; row < last; ++row) {
                auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, section));
                std::string text = cell ? nameOf(cell) : std::string();
                if (cell && cell->textLabel() && excluded(cell->textLabel()->text()))
                    continue;
                presses.push_back({ Press::Row, nullptr, table, NSIndexPath::indexPathForRow(row, section),
                    "row " + std::to_string(section) + "/" + std::to_string(row) + " " + text });
            }
        }
    }
    return presses;
}

// Drives the client from screen to screen for the check.
class Walk {
public:
    Walk(AppHarness& harness, ScreenCheck& check)
        : harness_(harness)
        , check_(check)
    {
    }

    void letItSettle()
    {
        // Past the screen's first requests and the notices their answers
        // put up for a moment (the longest stays 2 s).
        harness_.waitForServerQuiet();
        settle(harness_);
        harness_.waitForServerQuiet();
        settle(harness_, 2.1);
        // Answered is not yet shown: a page still loads in its web view, a
        // list or a picture still turns its spinner. What is counted next is
        // the screen with its content, however fast the build runs; the
        // clock moves on meanwhile, as the phone's does.
        const auto start = std::chrono::steady_clock::now();
        while (stillLoading() && std::chrono::steady_clock::now() - start < std::chrono::seconds(kContentWait)) {
            harness_.runUntil([] { return !stillLoading(); }, 0.1);
            settle(harness_, 0.1);
        }
        if (std::getenv("SCREEN_CHECK_TRACE"))
            if (auto loading = stillLoading())
                std::fprintf(stderr, "[loading] %s: %s\n",
                    harness_.topScreen() ? std::string(harness_.topScreen()->className()).c_str() : "-",
                    nameOf(loading).c_str());
    }

    // Checks the screen on top; below the last level, also what its presses open.
    void visit(int level)
    {
        auto screen = harness_.topScreen();
        if (!screen)
            return;
        const std::string name = screen->className();
        check_.checkScreen(screen);
        check_.putAway();
        if (level >= kLastLevel || !explored_.insert(name).second)
            return;
        path_.push_back(screen);
        auto presses = pressesOf(screen);
        for (std::size_t i = 0; i < presses.size(); ++i) {
            if (harness_.topScreen() != screen)
                break;
            // Rows and buttons are looked up again: a reload may have replaced them.
            auto now = pressesOf(screen);
            auto same
                = std::find_if(now.begin(), now.end(), [&](const Press& p) { return p.label == presses[i].label; });
            if (same == now.end())
                continue;
            press(*same, level);
        }
        path_.pop_back();
        // Coming back from what it opened leaves the screen as usable as before.
        if (!presses.empty() && harness_.topScreen() == screen)
            check_.checkControls(screen, " (after coming back)");
    }

    // A finger on a bare part of the row, as a person opens it: the row's
    // centre often holds a photo or a button with a tap of its own.
    void tapRow(const std::shared_ptr<UITableView>& table, const NSIndexPath& path)
    {
        table->scrollToRowAtIndexPath(path, UITableViewScrollPositionNone, false);
        table->layoutIfNeeded();
        auto cell = table->cellForRowAtIndexPath(path);
        if (!cell)
            return;
        const Rect frame = intersection(onScreen(*cell), onScreen(*table));
        for (double fy : { 0.5, 0.25, 0.75 }) {
            for (double fx : { 0.5, 0.3, 0.7, 0.1, 0.9 }) {
                const Point spot(frame.minX() + fx * frame.width(), frame.minY() + fy * frame.height());
                auto window = UIWindow::windowForTouchAtPoint(spot);
                if (!window)
                    continue;
                auto hit = window->hitTest(
                    window->convertPointFromView(
                        Point(spot.x - window->frame().origin.x, spot.y - window->frame().origin.y), nullptr),
                    nullptr);
                auto owner = hit;
                while (owner && owner != cell && !isTouchable(owner))
                    owner = owner->superview();
                if (owner == cell) {
                    tapAtPoint(spot);
                    harness_.loop().runUntilIdle();
                    return;
                }
            }
        }
        harness_.tap(cell);
    }

    // Presses, checks what opened (one level further) and comes back.
    void press(const Press& what, int level)
    {
        auto main = mainScreen();
        const long tab = main ? main->curIndex() : -1;
        const auto screen = harness_.topScreen();
        const auto presented = harness_.presentedScreen();
        if (std::getenv("SCREEN_CHECK_TRACE"))
            std::fprintf(stderr, "[press] %s: %s\n", screen ? std::string(screen->className()).c_str() : "-",
                what.label.c_str());
        const auto shownBefore = check_.shownNow();
        if (what.kind == Press::Row)
            tapRow(what.table, what.path);
        else
            harness_.tap(what.view);
        letItSettle();
        if (harness_.topScreen() == screen && !UIAlertView::currentAlert() && !UIActionSheet::currentSheet()) {
            // It opened something on the screen itself (a menu, a list): what
            // appeared must be reachable; a second press closes it again, as
            // the person would, so that it covers nothing the walk looks at next.
            if (check_.checkNewControls(screen, shownBefore, " (opened by the " + what.label + ")")
                && what.kind == Press::Button && isShownOnScreen(what.view)) {
                harness_.tap(what.view);
                letItSettle();
            }
        }
        // A press that closes the screen comes back to one already on the path.
        auto now = harness_.topScreen();
        if (now != screen && !UIAlertView::currentAlert() && !UIActionSheet::currentSheet()
            && std::find(path_.begin(), path_.end(), now) == path_.end())
            visit(level + 1);
        check_.goBack(screen, presented, tab);
    }

    // The tab's first screen, then what it opens.
    void tab(long index)
    {
        mainScreen()->switchToView(index);
        letItSettle();
        visit(0);
    }

    // Each tile of the function grid: its screen, then what that opens.
    void gridTiles()
    {
        auto main = mainScreen();
        main->switchToView(ORBViewController::kGridTab);
        letItSettle();
        auto navigation = main->viewControllers()[ORBViewController::kGridTab];
        auto grid = navigation->viewControllers().front();
        auto tiles = std::dynamic_pointer_cast<GridView>(findViewByOutlet(grid->view(), "gridView"));
        ASSERT_TRUE(tiles);
        check_.checkScreen(grid);
        path_.push_back(grid);
        for (std::size_t i = 0; i < tiles->itemViews().size(); ++i) {
            auto tile = tiles->itemViews()[i];
            tiles->scrollRectToVisible(tile->frame(), false);
            harness_.loop().runUntilIdle();
            Press press;
            press.view = tile->button();
            press.label = "tile " + std::to_string(i);
            this->press(press, 0);
            tiles->setContentOffset(Point(0, 0));
        }
        path_.pop_back();
    }

    // Each navigation row of the message box, with the rows asked for at the
    // tab's first appearance.
    void messageTab()
    {
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        harness_.loop().runUntilIdle();
        auto box = std::dynamic_pointer_cast<MessageBoxViewController>(
            mainScreen()->viewControllers()[ORBViewController::kMessageTab]->viewControllers().front());
        ASSERT_TRUE(box);
        ASSERT_TRUE(harness_.runUntil([&] { return !box->isLoadingNavigation() && !box->navigationRows().empty(); }))
            << "the message box's navigation rows never came";
        letItSettle();
        visit(0);
    }

    static constexpr int kLastLevel = 2;
    static constexpr int kContentWait = 30;

private:
    AppHarness& harness_;
    ScreenCheck& check_;
    std::set<std::string> explored_;
    std::vector<std::shared_ptr<UIViewController>> path_;
};

struct Person {
    const char* name;
    const char* account;
    const char* password;
    // What a whole walk reaches on each screen size, at the least: a walk
    // that stops short (a row that opens nothing, a screen left unreached)
    // fails here, not by passing over what it missed.
    int screens;
    int controlsTall;
    int controlsShort;
};

// One walk of a person on one screen size: a test of its own, whose limit
// fits what the walk may wait for (a screen whose content never shows is
// given up on after kContentWait, and the walk goes on).
void walkAs(const Person& person, UIScreen::Kind kind)
{
    extendTestWatchdog(Walk::kContentWait);
    const bool tall = kind == UIScreen::Kind::FourInch;
    const std::string size = tall ? "4-inch" : "3.5-inch";
    AppHarnessOptions options;
    options.screen = kind;
    AppHarness harness(options);
    ASSERT_TRUE(startClient(harness)) << "the client did not start";
    ScreenCheck check(harness, size, person.name);
    if (auto login = loginScreen(harness); login || passIntroduction(harness))
        check.checkScreen(harness.topScreen());
    ASSERT_TRUE(signInThroughScreens(harness, person.account, person.password));
    letAddressBookEnd(harness);
    Walk walk(harness, check);
    walk.messageTab();
    walk.gridTiles();
    for (long tab : { ORBViewController::kCircleTab, ORBViewController::kContactsTab, ORBViewController::kSettingsTab })
        walk.tab(tab);
    std::printf("[screen check] %s, %s: %d screens, %d controls, %d inputs typed into, %d pickers turned; %zu faults\n",
        person.name, size.c_str(), check.screens(), check.controls(), check.inputs(), check.pickers(),
        check.failures().size());
    ::testing::Test::RecordProperty(size + "-screens", check.screens());
    ::testing::Test::RecordProperty(size + "-controls", check.controls());
    EXPECT_GE(check.screens(), person.screens) << size << ": the walk reached fewer screens";
    EXPECT_GE(check.controls(), tall ? person.controlsTall : person.controlsShort)
        << size << ": the walk checked fewer controls";
    std::string all;
    for (const auto& line : check.failures())
        all += "\n  " + line;
    EXPECT_TRUE(check.failures().empty()) << check.failures().size() << " faults:" << all;
}

// The tiles and the navigation rows depend on the role: a walk per person
// and screen size. The notice form's title and text carry no keyboard bar of
// their own (the form's bar rides the keys), so the teacher's walk counts two
// controls fewer than the fields had.
const Person kTeacher { "teacher", kDemoTeacher, kDemoTeacherPassword, 38, 509, 484 };
const Person kParent { "parent", kDemoParentOfTwo, kDemoParentPassword, 32, 321, 311 };
const Person kStudentPerson { "student", kStudent, kStudentPassword, 30, 299, 289 };

TEST(ScreenCheck, EveryScreenOfTheTeacherOnTheFourInch) { walkAs(kTeacher, UIScreen::Kind::FourInch); }

TEST(ScreenCheck, EveryScreenOfTheTeacherOnTheThreePointFiveInch)
{
    walkAs(kTeacher, UIScreen::Kind::ThreePointFiveInch);
}

TEST(ScreenCheck, EveryScreenOfTheParentOnTheFourInch) { walkAs(kParent, UIScreen::Kind::FourInch); }

TEST(ScreenCheck, EveryScreenOfTheParentOnTheThreePointFiveInch) { walkAs(kParent, UIScreen::Kind::ThreePointFiveInch); }

TEST(ScreenCheck, EveryScreenOfTheStudentOnTheFourInch) { walkAs(kStudentPerson, UIScreen::Kind::FourInch); }

TEST(ScreenCheck, EveryScreenOfTheStudentOnTheThreePointFiveInch)
{
    walkAs(kStudentPerson, UIScreen::Kind::ThreePointFiveInch);
}

} // namespace
