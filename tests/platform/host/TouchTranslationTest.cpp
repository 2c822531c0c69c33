// Pointer strokes through the host's translation give what the headless
// drivers give on the same screens: each case runs the sample application
// twice, once driven by the drivers and once by pointer strokes, and compares.
#include "platform/host/TouchTranslator.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/PickerWheels.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UILongPressGestureRecognizer.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UISwipeGestureRecognizer.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UIWindow.h"
#include "tests/platform/host/HostTestSupport.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"

#include <gtest/gtest.h>

using platform::Point;
using platform::host::TouchTranslator;

namespace {

struct Session {
    testsupport::AppHarness harness { [] {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        return options;
    }() };
    std::shared_ptr<sample::SampleAppDelegate> app = std::make_shared<sample::SampleAppDelegate>();
    TouchTranslator pointer;

    Session() { EXPECT_TRUE(harness.start(app)); }

    std::shared_ptr<UITableView> lessonTable() const
    {
        auto navigation = app->root()->lessonsNavigation();
        auto list = std::dynamic_pointer_cast<sample::LessonListController>(navigation->viewControllers().front());
        return list ? list->tableView() : nullptr;
    }

    std::shared_ptr<hosttest::LongListController> pushLongList()
    {
        auto list = std::make_shared<hosttest::LongListController>();
        app->root()->lessonsNavigation()->pushViewController(list, false);
        harness.loop().runUntilIdle();
        harness.window()->layoutIfNeeded();
        return list;
    }

    std::string topScreenName() const
    {
        auto top = harness.topScreen();
        if (auto lesson = std::dynamic_pointer_cast<sample::LessonController>(top))
            return "lesson:" + lesson->lesson();
        return top ? top->className() : "";
    }

    Point rowCentre(const std::shared_ptr<UITableView>& table, long row) const
    {
        table->layoutIfNeeded();
        auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0));
        auto c = hosttest::screenCentreOf(cell);
        return Point(c.x, c.y);
    }

    void click(Point p)
    {
        pointer.press(p);
        pointer.release(p);
        harness.loop().runUntilIdle();
    }

    // A stroke in even steps, `dt` seconds of the loop's clock apart, then a rest and a release.
    void stroke(Point from, Point to, int steps, double dt, double restBeforeRelease = 0)
    {
        pointer.press(from);
        for (int i = 1; i <= steps; ++i) {
            harness.advance(dt);
            pointer.move(Point(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps));
        }
        if (restBeforeRelease > 0)
            harness.advance(restBeforeRelease);
        pointer.release(to);
        harness.loop().runUntilIdle();
    }
};

std::shared_ptr<UIView> addTarget(Session& s, int& doubleTaps, int& longPresses, int& swipes)
{
    auto lesson = s.harness.topScreen();
    auto pad = std::make_shared<UIView>(platform::Rect(40, 260, 240, 120));
    pad->setBackgroundColor(platform::Color::lightGrayColor());
    auto doubleTap = std::make_shared<UITapGestureRecognizer>();
    doubleTap->setNumberOfTapsRequired(2);
    doubleTap->addAction([&doubleTaps](UIGestureRecognizer*) { ++doubleTaps; });
    pad->addGestureRecognizer(doubleTap);
    auto hold = std::make_shared<UILongPressGestureRecognizer>();
    hold->addAction([&longPresses](UIGestureRecognizer* g) {
        if (g->state() == UIGestureRecognizerStateBegan)
            ++longPresses;
    });
    pad->addGestureRecognizer(hold);
    auto swipe = std::make_shared<UISwipeGestureRecognizer>();
    swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
    swipe->addAction([&swipes](UIGestureRecognizer*) { ++swipes; });
    pad->addGestureRecognizer(swipe);
    lesson->view()->addSubview(pad);
    s.harness.window()->layoutIfNeeded();
    return pad;
}

} // namespace

TEST(TouchTranslation, TapsOnRowsAndTabsMatchTheHeadlessTaps)
{
    std::vector<std::string> headless;
    {
        Session s;
        ASSERT_TRUE(s.harness.selectRow(s.lessonTable(), 0, 2));
        headless.push_back(s.topScreenName());
        ASSERT_TRUE(s.harness.tap(s.app->root()->tabButton(1)));
        headless.push_back(std::to_string(s.app->root()->selectedIndex()));
        ASSERT_TRUE(s.harness.tap(s.app->root()->tabButton(0)));
        headless.push_back(std::to_string(s.app->root()->selectedIndex()));
    }
    std::vector<std::string> pointer;
    {
        Session s;
        s.click(s.rowCentre(s.lessonTable(), 2));
        pointer.push_back(s.topScreenName());
        auto tab = hosttest::screenCentreOf(s.app->root()->tabButton(1));
        s.click(Point(tab.x, tab.y));
        pointer.push_back(std::to_string(s.app->root()->selectedIndex()));
        tab = hosttest::screenCentreOf(s.app->root()->tabButton(0));
        s.click(Point(tab.x, tab.y));
        pointer.push_back(std::to_string(s.app->root()->selectedIndex()));
    }
    EXPECT_EQ(headless, (std::vector<std::string> { "lesson:English", "1", "0" }));
    EXPECT_EQ(pointer, headless);
}

TEST(TouchTranslation, DoubleTapsLongPressesAndSwipesMatchTheDrivers)
{
    int headlessCounts[3] = { 0, 0, 0 };
    {
        Session s;
        ASSERT_TRUE(s.harness.selectRow(s.lessonTable(), 0, 0));
        auto pad = addTarget(s, headlessCounts[0], headlessCounts[1], headlessCounts[2]);
        EXPECT_TRUE(testsupport::tap(pad, 2));
        s.harness.advance(1);
        EXPECT_TRUE(s.harness.longPress(pad, 0.6));
        s.harness.advance(1);
        EXPECT_TRUE(s.harness.longPress(pad, 0.2)); // too short to count
        s.harness.advance(1);
        EXPECT_TRUE(s.harness.swipeRight(pad));
    }
    int pointerCounts[3] = { 0, 0, 0 };
    {
        Session s;
        s.click(s.rowCentre(s.lessonTable(), 0));
        auto pad = addTarget(s, pointerCounts[0], pointerCounts[1], pointerCounts[2]);
        auto c = hosttest::screenCentreOf(pad);
        Point centre(c.x, c.y);
        s.click(centre);
        s.click(centre);
        s.harness.advance(1);
        s.pointer.press(centre);
        s.harness.advance(0.6);
        s.pointer.release(centre);
        s.harness.advance(1);
        s.pointer.press(centre);
        s.harness.advance(0.2);
        s.pointer.release(centre);
        s.harness.advance(1);
        s.stroke(centre, Point(centre.x + 120, centre.y), 6, 0.01);
    }
    EXPECT_EQ(headlessCounts[0], 1);
    EXPECT_EQ(headlessCounts[1], 1);
    EXPECT_EQ(headlessCounts[2], 1);
    EXPECT_EQ(pointerCounts[0], headlessCounts[0]);
    EXPECT_EQ(pointerCounts[1], headlessCounts[1]);
    EXPECT_EQ(pointerCounts[2], headlessCounts[2]);
}

TEST(TouchTranslation, DragsOfATableMatchTheHeadlessDrag)
{
    struct Outcome {
        std::vector<std::string> events;
        double offset = 0;
        std::vector<long> selected;
    };
    auto headlessRun = [](double dy, bool decelerate) {
        Session s;
        auto list = s.pushLongList();
        s.harness.drag(list->tableView(), dy, 4, decelerate);
        Outcome o { list->events, list->tableView()->contentOffset().y, list->selectedRows };
        s.harness.advance(1);
        o.events = list->events;
        return o;
    };
    auto pointerRun = [](double dy, double dt, double rest) {
        Session s;
        auto list = s.pushLongList();
        auto from = s.rowCentre(list->tableView(), 6);
        s.stroke(from, Point(from.x, from.y + dy), 4, dt, rest);
        EXPECT_EQ(s.pointer.draggedScrollView(), nullptr);
        Outcome o { list->events, list->tableView()->contentOffset().y, list->selectedRows };
        s.harness.advance(1);
        o.events = list->events;
        return o;
    };

    // A quick flick up: the content follows and then decelerates.
    auto flickHeadless = headlessRun(-160, true);
    auto flickPointer = pointerRun(-160, 0.01, 0);
    EXPECT_EQ(flickHeadless.events,
        (std::vector<std::string> {
            "willBeginDragging", "didEndDragging(decelerate)", "willBeginDecelerating", "didEndDecelerating" }));
    EXPECT_EQ(flickPointer.events, flickHeadless.events);
    EXPECT_DOUBLE_EQ(flickPointer.offset, flickHeadless.offset);
    EXPECT_DOUBLE_EQ(flickPointer.offset, 160);
    EXPECT_TRUE(flickPointer.selected.empty()) << "a drag must not select the row it started on";

    // A slow drag that rests before the release stops where it is.
    auto slowHeadless = headlessRun(-100, false);
    auto slowPointer = pointerRun(-100, 0.2, 0.3);
    EXPECT_EQ(slowHeadless.events, (std::vector<std::string> { "willBeginDragging", "didEndDragging" }));
    EXPECT_EQ(slowPointer.events, slowHeadless.events);
    EXPECT_DOUBLE_EQ(slowPointer.offset, slowHeadless.offset);
    EXPECT_TRUE(slowPointer.selected.empty());
}

TEST(TouchTranslation, SmallJitterStillSelectsAndHorizontalStrokesStayTouches)
{
    Session s;
    auto list = s.pushLongList();
    auto row = s.rowCentre(list->tableView(), 3);
    // Within the slop the press stays a tap on the row.
    s.stroke(row, Point(row.x + 3, row.y + 4), 2, 0.01);
    EXPECT_EQ(list->selectedRows, (std::vector<long> { 3 }));
    EXPECT_TRUE(list->events.empty());
    // Across the table's axis nothing scrolls and nothing is selected.
    s.stroke(row, Point(row.x + 120, row.y), 6, 0.01);
    EXPECT_EQ(list->selectedRows, (std::vector<long> { 3 }));
    EXPECT_TRUE(list->events.empty());
    EXPECT_DOUBLE_EQ(list->tableView()->contentOffset().y, 0);
}

TEST(TouchTranslation, WheelScrollsTheScrollViewUnderThePointerWithinItsContent)
{
    Session s;
    auto list = s.pushLongList();
    auto table = list->tableView();
    auto row = s.rowCentre(table, 2);
    EXPECT_TRUE(s.pointer.wheel(row, 0, -3)); // three notches down
    EXPECT_DOUBLE_EQ(table->contentOffset().y, 3 * TouchTranslator::kWheelStep);
    EXPECT_TRUE(table->isDragging());
    s.harness.advance(TouchTranslator::kWheelSettle + 0.01);
    EXPECT_FALSE(table->isDragging());
    EXPECT_EQ(list->events, (std::vector<std::string> { "willBeginDragging", "didEndDragging" }));
    // Up past the top stops at the top: the wheel never pulls the content away.
    EXPECT_TRUE(s.pointer.wheel(row, 0, 50));
    EXPECT_DOUBLE_EQ(table->contentOffset().y, table->minimumContentOffset().y);
    s.harness.advance(1);
    // Down past the end stops at the end.
    EXPECT_TRUE(s.pointer.wheel(row, 0, -500));
    EXPECT_DOUBLE_EQ(table->contentOffset().y, table->maximumContentOffset().y);
    s.harness.advance(1);
    // Over the tab bar there is no scroll view to take it.
    auto tab = hosttest::screenCentreOf(s.app->root()->tabButton(1));
    EXPECT_FALSE(s.pointer.wheel(Point(tab.x, tab.y), 0, -1));
}

TEST(TouchTranslation, PressesOnNothingAndStrayCallsAreHarmless)
{
    Session s;
    // Outside every window: nothing is hit, and the rest of the stroke goes nowhere.
    EXPECT_FALSE(s.pointer.press(Point(-50, -50)));
    s.pointer.move(Point(10, 10));
    s.pointer.release(Point(10, 10));
    // Moves and releases without a press, a cancel without a stroke.
    s.pointer.move(Point(100, 100));
    s.pointer.release(Point(100, 100));
    s.pointer.cancel();
    EXPECT_FALSE(s.pointer.wheel(Point(100, 100), std::nan(""), 1));
    // A press cancelled midway selects nothing.
    auto list = s.pushLongList();
    auto row = s.rowCentre(list->tableView(), 1);
    s.pointer.press(row);
    s.pointer.cancel();
    s.harness.loop().runUntilIdle();
    EXPECT_TRUE(list->selectedRows.empty());
    EXPECT_FALSE(s.harness.window()->hasActiveTouches());
}

namespace {

class Rows final : public UIPickerViewDataSource, public UIPickerViewDelegate {
public:
    long numberOfComponentsInPickerView(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override { return 6; }
    std::string titleForRow(UIPickerView*, long row, long) override { return std::to_string(row); }
    void didSelectRow(UIPickerView*, long row, long) override { told.push_back(row); }
    std::vector<long> told;
};

} // namespace

TEST(TouchTranslation, AFieldsWheelInTheKeyboardAreaTurnsUnderTheMouse)
{
    Session s;
    auto rows = std::make_shared<Rows>();
    auto picker = std::make_shared<UIPickerView>();
    picker->setDataSource(rows);
    picker->setDelegate(rows);
    auto field = std::make_shared<UITextField>(platform::Rect(20, 100, 200, 30));
    field->setInputView(picker);
    s.harness.window()->addSubview(field);
    ASSERT_TRUE(field->becomeFirstResponder());
    auto area = platform::Keyboard::window();
    ASSERT_TRUE(area);
    auto band = picker->convertPointToView(
        Point(160, PickerWheels::bandTop(picker->bounds()) + PickerWheels::kRowHeight / 2), nullptr);
    Point onScreen(band.x + area->frame().minX(), band.y + area->frame().minY());

    // Two notches towards the person: two rows on, each told.
    EXPECT_TRUE(s.pointer.wheel(onScreen, 0, -1));
    EXPECT_TRUE(s.pointer.wheel(onScreen, 0, -1));
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
    EXPECT_EQ(rows->told, (std::vector<long> { 1, 2 }));
    // A press dragged up three rows and let go: told once where it stopped.
    rows->told.clear();
    s.pointer.press(onScreen);
    for (int step = 1; step <= 3; ++step)
        s.pointer.move(Point(onScreen.x, onScreen.y - step * PickerWheels::kRowHeight));
    s.pointer.release(Point(onScreen.x, onScreen.y - 3 * PickerWheels::kRowHeight));
    s.harness.loop().runUntilIdle();
    EXPECT_EQ(picker->selectedRowInComponent(0), 5);
    EXPECT_EQ(rows->told, (std::vector<long> { 5 }));
    EXPECT_TRUE(field->isFirstResponder());
    field->resignFirstResponder();
}
