// Where the contacts screens end on either screen size: the address book on
// the tab bar, the call-back list at the foot of the screen, the call
// history above the dial pad and the pad at the foot, the call screen's
// button on the screen; each within reach of a finger.
#include "contacts/calls/CNumberViewController.h"
#include "contacts/calls/CTDCallViewController.h"
#include "contacts/calls/CallNumberViewController.h"
#include "contacts/calls/VelaDialView.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "server/StandinServer.h"
#include "tests/contacts/ContactsTestSupport.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/ScreenFoot.h"
#include "ui/tables/RefreshTableView.h"

#include "app/main/ORBViewController.h"

#include <gtest/gtest.h>


using namespace testsupport;
using namespace contactstest;

namespace {

constexpr double kTabBarHeight = 49;

bool signInOn(AppHarness& harness)
{
    if (!signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword))
        return false;
    letAddressBookEnd(harness);
    return harness.runUntil(bookIdle);
}

} // namespace

TEST(ContactsScreenFoot, TheAddressBookEndsOnTheTabBarAndItsLastRowIsWhole)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signInOn(harness));
        mainScreen()->switchToView(ORBViewController::kContactsTab);
        settle(harness, 2.0);
        auto table = std::dynamic_pointer_cast<UITableView>(harness.viewByOutlet("tableView"));
        ASSERT_TRUE(table);
        auto tabBar = shownTabBarTop();
        ASSERT_TRUE(tabBar);
        EXPECT_DOUBLE_EQ(*tabBar, screenHeight() - kTabBarHeight);
        EXPECT_DOUBLE_EQ(screenFrameOf(*table).maxY(), *tabBar);
        // Scrolled to the end, the last row is above the bar and takes its touches.
        auto source = table->dataSource();
        long sections = source->numberOfSectionsInTableView(table.get());
        ASSERT_GT(sections, 0);
        long rows = source->numberOfRowsInSection(table.get(), sections - 1);
        ASSERT_GT(rows, 0);
        auto path = NSIndexPath::indexPathForRow(rows - 1, sections - 1);
        table->scrollRectToVisible(table->rectForRowAtIndexPath(path), false);
        table->layoutIfNeeded();
        auto cell = table->cellForRowAtIndexPath(path);
        ASSERT_TRUE(cell);
        EXPECT_LE(screenFrameOf(*cell).maxY(), *tabBar + 0.01);
        EXPECT_TRUE(touchLandsOn(cell));
        keepPicture(harness, "contacts-book", tall);
    });
}

TEST(ContactsScreenFoot, TheCallBackListEndsAtTheFootOfTheScreen)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signInOn(harness));
        auto screen = std::make_shared<CTDCallViewController>();
        pushOnTab(harness, screen, ORBViewController::kMessageTab, 1.1);
        ASSERT_TRUE(harness.runUntilOverlayGone());
        auto table = std::dynamic_pointer_cast<UITableView>(harness.viewByOutlet("tableView"));
        ASSERT_TRUE(table);
        EXPECT_FALSE(shownTabBarTop()) << "a pushed screen shows no tab bar";
        EXPECT_DOUBLE_EQ(screenFrameOf(*table).maxY(), screenHeight());
        EXPECT_DOUBLE_EQ(screenFrameOf(*screen->view()).maxY(), screenHeight());
        keepPicture(harness, "contacts-callback", tall);
    });
}

TEST(ContactsScreenFoot, TheHistoryEndsOnTheDialPadAtTheFootAndEachTakesItsOwnTouches)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signInOn(harness));
        platform::UserDefaults::standard()->setBool(true, CNumberViewController::kCallNumberKey);
        auto screen = std::make_shared<CNumberViewController>();
        pushOnTab(harness, screen, ORBViewController::kGridTab, 1.1);
        ASSERT_TRUE(harness.runUntil([&] { return screen->historyData().size() == 10; }));
        ASSERT_TRUE(harness.runUntilAnswered(core::ORBEndpoints::Cmd::kCtdCheck));
        ASSERT_TRUE(harness.roundTrip());
        // The waiting overlays fade out on the clock.
        settle(harness);
        ASSERT_TRUE(harness.runUntilOverlayGone()) << harness.overlayText();
        auto pad = VelaDialView::sharedVelaDialView();
        auto table = std::dynamic_pointer_cast<UITableView>(harness.viewByOutlet("historyTableView"));
        ASSERT_TRUE(table);
        ASSERT_EQ(pad->superview(), screen->view());
        EXPECT_DOUBLE_EQ(screenFrameOf(*pad).maxY(), screenHeight() - VelaDialView::kBottomGap);
        EXPECT_DOUBLE_EQ(screenFrameOf(*table).maxY(), screenFrameOf(*pad).minY());
        auto dial = pad->keyWithTag(VelaDialView::kDialTag);
        ASSERT_TRUE(dial);
        EXPECT_TRUE(insideScreen(*dial));
        EXPECT_TRUE(touchLandsOn(dial));
        // The rows the history shows take their own touches, not the pad's.
        table->layoutIfNeeded();
        int seen = 0;
        for (const auto& cell : table->visibleCells()) {
            auto frame = screenFrameOf(*cell);
            if (frame.maxY() > screenFrameOf(*table).maxY())
                continue;
            ++seen;
            EXPECT_TRUE(touchLandsOn(cell)) << "row at " << frame.minY();
        }
        EXPECT_GT(seen, 0);
        keepPicture(harness, "contacts-dialpad", tall);
    });
}

TEST(ContactsScreenFoot, TheCallButtonIsOnTheScreenWhileDiallingAndCalling)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signInOn(harness));
        auto contact = std::make_shared<core::ContactInfo>();
        contact->uid = 2002;
        contact->name = "陈静";
        contact->phone = "13900000002";
        contact->type = 1;
        auto screen = std::make_shared<CallNumberViewController>();
        screen->setContact(contact);
        screen->setCallType(2);
        screen->setStrWarn("点击拨号将由平台回拨您的手机");
        pushOnTab(harness, screen, ORBViewController::kContactsTab, 1.1);
        ASSERT_TRUE(harness.runUntil([&] { return screen->isCalling(); }));
        ASSERT_TRUE(harness.runUntilOverlayGone());
        auto button = std::dynamic_pointer_cast<UIButton>(harness.viewByOutlet("btnCallContact"));
        ASSERT_TRUE(button);
        EXPECT_TRUE(insideScreen(*button));
        EXPECT_TRUE(touchLandsOn(button));
        // As far above the foot as the 4-inch layout draws it.
        EXPECT_DOUBLE_EQ(screenHeight() - screenFrameOf(*button).maxY(), 26);
        keepPicture(harness, "contacts-call", tall);
        ASSERT_TRUE(harness.tap(button));
        ASSERT_TRUE(harness.runUntil([&] { return !screen->isCalling(); }));
    });
}
