// The call-back list against the stand-in: the stored contacts that offer a
// call-back, the minutes query with its exact body, the refresh handshake
// with the address book answered either way, and call-backs placed, refused
// and failed, with addresses other than web ones never asked.
#include "contacts/calls/CTDCallViewController.h"
#include "contacts/calls/CTDViewCell.h"
#include "core/session/ORBEndpoints.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/contacts/ContactsTestSupport.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"
#include "ui/controls/StatusBarBacking.h"

#include "app/main/ORBViewController.h"

#include <gtest/gtest.h>

#include <set>

using core::ORBEndpoints;
using server::ScriptedReply;
using namespace testsupport;
using namespace contactstest;

namespace {

constexpr const char* kMinutes = ORBEndpoints::Cmd::kCtdState;
constexpr const char* kBook = ORBEndpoints::Cmd::kAddressBook;
constexpr const char* kCallBackRoute = "web/ctd/dial";
constexpr const char* kDemoParent = "13800000002";

class CallBackList : public SignedInScreenTest {
protected:
    std::shared_ptr<CTDCallViewController> openList(const char* account = kDemoTeacher,
        const char* password = kDemoTeacherPassword)
    {
        signIn(account, password);
        EXPECT_TRUE(harness().runUntil(bookIdle));
        settle(harness(), 2.0);
        auto screen = std::make_shared<CTDCallViewController>();
        open(screen, ORBViewController::kMessageTab);
        return screen;
    }
    std::string label(const char* outlet)
    {
        auto view = std::dynamic_pointer_cast<UILabel>(harness().viewByOutlet(outlet));
        return view ? view->text() : std::string("<none>");
    }
    std::size_t callBacks() const
    {
        std::size_t count = 0;
        for (const auto& request : harness().serverRequests())
            count += request.route == kCallBackRoute ? 1 : 0;
        return count;
    }
    // Taps the row's button and confirms the sheet.
    void callBack(const std::shared_ptr<CTDViewCell>& cell)
    {
        ASSERT_TRUE(harness().tap(findViewByOutlet(cell, "btnCall")));
        auto sheet = UIActionSheet::currentSheet();
        ASSERT_TRUE(sheet);
        EXPECT_EQ(sheet->title(), CTDViewCell::kSheetTitle);
        ASSERT_EQ(sheet->buttonTitleAtIndex(0), "使用CTD方式拨打");
        sheet->clickButtonAtIndex(0);
        harness().loop().runUntilIdle();
    }
    bool overlayBecomes(const std::string& text)
    {
        return harness().runUntil([&] { return harness().overlayText() == text; });
    }
};

} // namespace

TEST_F(CallBackList, ListsTheStoredCallBackContactsWithTheMinutes)
{
    auto screen = openList();
    ASSERT_TRUE(waitForAnswer(kMinutes));
    ASSERT_TRUE(harness().runUntil([&] { return label("labRemainDuration") == "120"; }));
    EXPECT_EQ(label("labTotalDuration"), "500");
    const auto sent = requests(kMinutes);
    ASSERT_EQ(sent.size(), 1u);
    std::set<std::string> keys;
    for (const auto& [key, value] : *sent[0].json->asDictionary())
        keys.insert(key);
    EXPECT_EQ(keys, (std::set<std::string> { "cmd", "userId", "accountType", "schoolId" }));
    // Everyone with a number: three colleagues and sixteen parents of the
    // classes taught, 200 of the grade's other 220 parents and 53 of the 60
    // other teachers.
    EXPECT_EQ(screen->listDataAll().size(), 3u + 16u + 200u + 53u);
    for (const auto& contact : screen->listDataAll())
        EXPECT_FALSE(contact->ctdUrl.empty());
    auto cell = visibleCell<CTDViewCell>(*std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("tableView")), 0);
    ASSERT_TRUE(cell);
    EXPECT_FALSE(textOf(findViewByOutlet(cell, "labName")).empty());
    EXPECT_FALSE(harness().render("contacts-callback-list.png").empty());

    // The minutes cannot be read: the screen says so in its own words.
    harness().server()->script().forCommand(kMinutes, ScriptedReply::connectionReset());
    screen->loadCTDState();
    ASSERT_TRUE(harness().runUntil([&] { return harness().viewByText(CTDCallViewController::kMinutesFailedText) != nullptr; }));
    EXPECT_EQ(label("labTotalDuration"), "500");

    // Minutes in more than their answer can be: refused unread, and said so.
    harness().advance(CTDCallViewController::kMinutesFailedDelay + 1);
    harness().server()->script().forCommand(kMinutes,
        ScriptedReply::custom(200,
            R"({"resultState":1,"packageTime":900,"remainTime":30,"note":")" + std::string(300 << 10, 'x') + "\"}"));
    screen->loadCTDState();
    ASSERT_TRUE(harness().runUntil([&] { return harness().viewByText("数据过大，无法加载") != nullptr; }));
    EXPECT_EQ(label("labTotalDuration"), "500");
}

// Searching hides the navigation bar: the search bar comes up to just
// below the status bar, on a strip of its own colour, with the results
// right under it and over the minutes bar; it goes back when the search ends.
TEST_F(CallBackList, TheSearchBarSitsBelowTheStatusBarWhileSearching)
{
    auto screen = openList();
    auto window = UIWindow::keyWindow();
    auto inWindow = [&](const std::shared_ptr<UIView>& view) {
        return view->superview()->convertRectToView(view->frame(), window.get());
    };
    auto bar = harness().viewByOutlet("searchBar");
    const auto before = inWindow(bar);
    auto field = std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet("txtSearch"));
    ASSERT_TRUE(harness().tap(field));
    settle(harness(), 0.5);
    ASSERT_TRUE(harness().visibleNavigationController()->isNavigationBarHidden());
    const double statusBar = UIApplication::sharedApplication().statusBarHeight();
    EXPECT_DOUBLE_EQ(inWindow(bar).minY(), statusBar);
    auto backing = StatusBarBacking::backingOf(*screen->view());
    ASSERT_TRUE(backing);
    EXPECT_EQ(inWindow(backing), platform::Rect(0, 0, window->bounds().width(), statusBar));
    auto results = harness().viewByOutlet("searchTableView");
    ASSERT_TRUE(results);
    EXPECT_DOUBLE_EQ(inWindow(results).minY(), inWindow(bar).maxY());
    ASSERT_TRUE(platform::Keyboard::isVisible());
    EXPECT_DOUBLE_EQ(inWindow(results).maxY(), platform::Keyboard::frame().minY()) << "down to the keyboard";
    auto minutes = inWindow(harness().viewByOutlet("remainTimeBar"));
    auto overlap = minutes.intersection(inWindow(bar));
    if (!overlap.isNull()) {
        auto hit = window->hitTest(overlap.center(), nullptr);
        EXPECT_TRUE(hit && hit->isDescendantOfView(bar.get())) << "the minutes bar shows through the search bar";
    }
    ASSERT_TRUE(harness().returnKey(field));
    settle(harness(), 0.5);
    EXPECT_FALSE(StatusBarBacking::backingOf(*screen->view()));
    EXPECT_EQ(inWindow(bar), before);
}

TEST_F(CallBackList, ACallBackIsPlacedOrSaidToHaveFailed)
{
    auto screen = openList();
    auto table = std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("tableView"));
    auto cell = visibleCell<CTDViewCell>(*table, 0);
    ASSERT_TRUE(cell);
    callBack(cell);
    ASSERT_TRUE(overlayBecomes("呼叫成功"));
    EXPECT_EQ(callBacks(), 1u);
    struct Row {
        ScriptedReply reply;
        const char* shown;
    };
    const Row rows[] = {
        { ScriptedReply::custom(200, R"({"resultState":"1"})"), "呼叫成功" },
        { ScriptedReply::custom(500, R"({"resultState":1})"), "呼叫成功" },
        { ScriptedReply::custom(200, R"({"resultState":0})"), "呼叫失败" },
        { ScriptedReply::custom(200, R"({})"), "呼叫失败" },
        { ScriptedReply::http500Html(), "呼叫失败" },
        { ScriptedReply::connectionReset(), "呼叫失败" },
        // Placed, but in more than an envelope can be: refused unread.
        { ScriptedReply::custom(200, R"({"resultState":1,"note":")" + std::string(300 << 10, 'x') + "\"}"),
            "数据过大，无法加载" },
    };
    std::size_t asked = 1;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.shown);
        harness().advance(2);
        harness().server()->script().forRoute(kCallBackRoute, row.reply);
        callBack(cell);
        ++asked;
        ASSERT_TRUE(harness().runUntil([&] { return callBacks() == asked; }));
        ASSERT_TRUE(overlayBecomes(row.shown));
    }
    // An address that is no web address is never asked for.
    harness().advance(2);
    auto odd = std::make_shared<core::ContactInfo>(*cell->contact());
    odd->ctdUrl = "file:///etc/passwd";
    cell->setContact(odd);
    callBack(cell);
    EXPECT_EQ(harness().overlayText(), "呼叫失败");
    harness().runUntil([] { return false; }, 0.2);
    EXPECT_EQ(callBacks(), asked);
    EXPECT_FALSE(CTDViewCell::isCallBackAddress("ctd/dial?x=1"));
    EXPECT_TRUE(CTDViewCell::isCallBackAddress("https://example.org/ctd"));
}

TEST_F(CallBackList, TheRefreshWaitsForTheAddressBooksAnswerEitherWay)
{
    auto screen = openList();
    auto refresh = std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet("refreshBtn"));
    auto spinner = std::dynamic_pointer_cast<UIActivityIndicatorView>(harness().viewByOutlet("activityView"));
    ASSERT_TRUE(waitForAnswer(kMinutes));
    // The download fails: the list hears it and gives the button back.
    auto gate = holdNext(kBook, ScriptedReply::errorEnvelope("系统维护"));
    ASSERT_TRUE(harness().tap(refresh));
    EXPECT_TRUE(refresh->isHidden());
    EXPECT_FALSE(spinner->isHidden());
    EXPECT_EQ(harness().overlayText(), "正在更新CTD联系人...");
    gate->open();
    ASSERT_TRUE(harness().runUntil([&] { return !refresh->isHidden(); }));
    EXPECT_TRUE(spinner->isHidden());
    EXPECT_EQ(harness().overlayText(), "系统维护");
    // It succeeds: the list is read again and the minutes asked again.
    harness().advance(2);
    ASSERT_TRUE(harness().tap(refresh));
    ASSERT_TRUE(waitForAnswer(kBook, 3));
    ASSERT_TRUE(harness().runUntil([&] { return !refresh->isHidden(); }));
    EXPECT_EQ(harness().overlayText(), "成功更新CTD联系人");
    ASSERT_TRUE(waitForAnswer(kMinutes, 2));
    EXPECT_EQ(screen->listDataAll().size(), 3u + 16u + 200u + 53u); // as when the list opened
}

TEST_F(CallBackList, AnAccountWithoutCallBacksSeesWhyTheListIsEmpty)
{
    auto screen = openList(kDemoParent, kDemoParentPassword);
    EXPECT_TRUE(screen->listDataAll().empty());
    EXPECT_TRUE(harness().viewByText(CTDCallViewController::kNoContactsText));
}
