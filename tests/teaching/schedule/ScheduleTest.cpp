// The class timetable against the stand-in server: the weekday it opens
// on, the teacher's class chooser, a parent's request without a class, the
// day buttons, and replies that come back after another day was chosen.
#include "teaching/schedule/ScheduleCell.h"
#include "teaching/schedule/ScheduleViewController.h"

#include "platform/os/DateFormat.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/Keyboard.h"
#include "platform/host/KeyboardInput.h"
#include "platform/uikit/UIPickerView.h"
#include "ui/grid/ORBPickerView.h"
#include "ui/images/RemoteImageLoader.h"
#include "platform/uikit/UIImageView.h"
#include "server/StandinServer.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

using server::ScriptedReply;
using namespace testsupport;

namespace {

constexpr const char* kTimetableRoute = "webapp/classcourse/list";

// A local noon on the day of the month given, in December 2026 (the 6th is a Sunday).
platform::Date december(int day)
{
    platform::DateComponents parts;
    parts.year = 2026;
    parts.month = 12;
    parts.day = day;
    parts.hour = 12;
    return *platform::dateFromComponents(parts);
}

class ScheduleTest : public SignedInScreenTest {
protected:
    std::vector<server::LoggedRequest> timetableRequests(bool answeredOnly = true) const
    {
        std::vector<server::LoggedRequest> out;
        for (auto& request : harness().serverRequests()) {
            if (request.route == kTimetableRoute && (request.answered || !answeredOnly))
                out.push_back(request);
        }
        return out;
    }
    std::shared_ptr<UITableView> table() const
    {
        return std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("tableview"));
    }
    bool waitForRows(long rows)
    {
        return harness().runUntil([&] { return table() && table()->numberOfRowsInSection(0) == rows; });
    }
    // The loading overlay covers the window and takes the touches until the
    // day's reply is in.
    void waitUntilLoaded()
    {
        ASSERT_TRUE(harness().runUntilOverlayGone());
        harness().advance(0.5);
    }
    void tapDay(const char* outlet)
    {
        waitUntilLoaded();
        ASSERT_TRUE(harness().tap(harness().viewByOutlet(outlet)));
    }
};

TEST_F(ScheduleTest, WeekdaysMapMondayFirstAndSundayLast)
{
    const std::pair<int, int> rows[] = { { 1, 7 }, { 2, 1 }, { 3, 2 }, { 4, 3 }, { 5, 4 }, { 6, 5 }, { 7, 6 } };
    for (auto [gregorian, week] : rows)
        EXPECT_EQ(ScheduleViewController::weekForWeekday(gregorian), week) << gregorian;
}

TEST_F(ScheduleTest, ATeacherOnASundaySeesDaySevenAndSwitchesDaysAndClasses)
{
    signIn();
    auto screen = std::make_shared<ScheduleViewController>(december(6));
    screen->setTitle("班级课表"); // as the function grid titles it
    open(screen, 0);
    ASSERT_TRUE(harness().runUntil([&] { return timetableRequests().size() == 1; }));
    EXPECT_EQ(timetableRequests().back().queryValue("weekDay"), "7");
    EXPECT_EQ(timetableRequests().back().queryValue("classId"), "101");
    auto sunday = std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet("btnSunday"));
    EXPECT_NE(sunday->currentBackgroundImage(), nullptr);
    EXPECT_EQ(std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet("btnMonday"))->currentBackgroundImage(), nullptr);
    EXPECT_FALSE(harness().viewByOutlet("classContainerview")->isHidden());

    tapDay("btnWednesday");
    ASSERT_TRUE(waitForRows(6));
    EXPECT_EQ(timetableRequests().back().queryValue("weekDay"), "3");
    auto first = visibleCell<ScheduleCell>(*table(), 0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(findOutlet<UILabel>(first, "labSort")->text(), "1");
    EXPECT_EQ(findOutlet<UILabel>(first, "labRole")->text(), ScheduleCell::kRoleText);
    EXPECT_FALSE(findOutlet<UIImageView>(first, "imgTeacherPic")->isHidden());
    // The highlighted day again sends nothing.
    tapDay("btnWednesday");
    harness().advance(0.2);
    EXPECT_EQ(timetableRequests(false).size(), 2u);

    // The second class, confirmed in the chooser.
    auto chooser = std::dynamic_pointer_cast<ORBPickerView>(harness().viewsByClass("ORBPickerView").front());
    waitUntilLoaded();
    // A finger: the chooser opens its wheel where the keys would be, the
    // wheel turns to the second class and 完成 confirms it.
    ASSERT_TRUE(harness().tap(chooser));
    ASSERT_TRUE(chooser->isFirstResponder());
    ASSERT_TRUE(testsupport::spinPicker(chooser->currentPickerView(), 1));
    ASSERT_TRUE(harness().tapButton("完成"));
    EXPECT_FALSE(platform::Keyboard::isVisible());
    ASSERT_TRUE(harness().runUntil([&] { return timetableRequests().size() == 3; }));
    EXPECT_EQ(timetableRequests().back().queryValue("classId"), "102");
    ASSERT_TRUE(waitForRows(6));
    // Every row shows its own teacher's picture, not its former one's.
    ASSERT_TRUE(harness().runUntil([&] {
        for (long row = 0; row < 6; ++row) {
            auto cell = visibleCell<ScheduleCell>(*table(), row);
            auto url = platform::Url::parse(cell->scheduleInfo()->teacherPic);
            auto cached = url ? RemoteImageLoader::defaultCache()->objectForKey(*url) : nullptr;
            if (!cached || findOutlet<UIImageView>(cell, "imgTeacherPic")->image() != cached)
                return false;
        }
        return true;
    }));
    harness().advance(2);
    harness().render("teaching-schedule.png");

    // The wheel up again and turned, then Escape: it goes as 取消 takes it
    // away, the chosen class and the screen staying.
    const auto chosen = chooser->text();
    const auto asked = timetableRequests(false).size();
    ASSERT_TRUE(harness().tap(chooser));
    ASSERT_TRUE(chooser->isFirstResponder());
    ASSERT_TRUE(testsupport::spinPicker(chooser->currentPickerView(), 0));
    EXPECT_TRUE(platform::host::performBackSwipe());
    settle(harness());
    EXPECT_FALSE(platform::Keyboard::isVisible());
    EXPECT_FALSE(chooser->isFirstResponder());
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_EQ(chooser->text(), chosen);
    EXPECT_EQ(timetableRequests(false).size(), asked);
}

TEST_F(ScheduleTest, AParentAsksWithoutAClassAndAStaleDayNeverShows)
{
    signIn("13800000002", kDemoParentPassword);
    // Monday's reply is held; Tuesday is chosen meanwhile.
    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kTimetableRoute, ScriptedReply::custom(200,
        R"({"resultState":1,"resultMsg":"","items":[{"sort":1,"period":"第一节","course":"周一的课","teacherName":"甲","teacherPic":""}]})")
            .heldBy(gate));
    auto screen = std::make_shared<ScheduleViewController>(december(7));
    open(screen, 0);
    ASSERT_TRUE(harness().runUntil([&] { return timetableRequests(false).size() == 1; }));
    auto monday = timetableRequests(false).front();
    EXPECT_EQ(monday.queryValue("classId"), "0");
    EXPECT_EQ(monday.queryValue("weekDay"), "1");
    EXPECT_EQ(monday.queryValue("userId"), "3001");
    EXPECT_EQ(monday.queryValue("accountType"), "2");
    EXPECT_TRUE(harness().viewByOutlet("classContainerview") == nullptr
        || harness().viewByOutlet("classContainerview")->isHidden());

    // Under the overlay no finger reaches the buttons; the button's action does.
    screen->btnTuesdayAction(nullptr);
    ASSERT_TRUE(waitForRows(6));
    gate->open();
    ASSERT_TRUE(harness().runUntil([&] { return timetableRequests().size() == 2; }));
    harness().advance(0.5);
    ASSERT_EQ(table()->numberOfRowsInSection(0), 6);
    auto first = visibleCell<ScheduleCell>(*table(), 0);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(findOutlet<UILabel>(first, "labCourse")->text(), "周一的课");
    EXPECT_EQ(findOutlet<UILabel>(first, "labSort")->text(), "1");
}

// A late reply for the day left behind does not take away the spinner of
// the day now asked for: it goes with that day's own reply.
TEST_F(ScheduleTest, AStaleDaysReplyLeavesTheCurrentDaysSpinner)
{
    signIn("13800000002", kDemoParentPassword);
    auto monday = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kTimetableRoute, ScriptedReply::normal().heldBy(monday));
    auto screen = std::make_shared<ScheduleViewController>(december(7));
    open(screen, 0);
    ASSERT_TRUE(harness().runUntil([&] { return monday->arrived() == 1; }));
    auto tuesday = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kTimetableRoute, ScriptedReply::normal().heldBy(tuesday));
    screen->btnTuesdayAction(nullptr);
    // The request reaches the server from the network thread while the
    // report that it started (which shows the spinner) waits its turn on the
    // main loop: both are waited for.
    ASSERT_TRUE(harness().runUntil([&] {
        return tuesday->arrived() == 1 && harness().overlayText() == ScheduleViewController::kLoadingText;
    }));

    monday->open();
    ASSERT_TRUE(harness().runUntil([&] { return timetableRequests().size() == 1; }));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(harness().overlayText(), ScheduleViewController::kLoadingText);
    EXPECT_EQ(table()->numberOfRowsInSection(0), 0);

    tuesday->open();
    ASSERT_TRUE(waitForRows(6));
    ASSERT_TRUE(harness().runUntilOverlayGone());
}

// Left before the day's reply: the loading overlay goes with the reply, and
// the gone screen is not called.
TEST_F(ScheduleTest, LeavingBeforeTheReplyLeavesNoOverlay)
{
    signIn("13800000002", kDemoParentPassword);
    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kTimetableRoute, ScriptedReply::normal().heldBy(gate));
    auto screen = std::make_shared<ScheduleViewController>(december(7));
    open(screen, 0);
    ASSERT_TRUE(harness().runUntil([&] { return gate->arrived() == 1 && !harness().overlayText().empty(); }));

    auto below = leave(screen);

    gate->open();
    ASSERT_TRUE(harness().runUntil([&] { return timetableRequests().size() == 1; }));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().topScreen(), below);
}

} // namespace
