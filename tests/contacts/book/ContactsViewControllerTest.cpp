// The address book tab as teachers and parents see it: the group tabs in
// their order and measured, sections by first letter with the index, the
// cell kind (and its own height) per role and subscription, the search by
// name, pinyin and phone, and what a row's taps open, with each warning
// prompt key silencing its prompt and the service's refusal silencing none.
#include "contacts/book/ContactsHeader.h"
#include "contacts/book/ContactsOneCell.h"
#include "contacts/book/ContactsTabButton.h"
#include "contacts/book/ContactsTwoCell.h"
#include "contacts/warn/WarnView.h"
#include "app/login/AccountsViewController.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "core/store/BaseFactory.h"
#include "core/store/DamagedStoreFile.h"
#include "messaging/chat/MessageViewController.h"
#include "platform/graphics/Text.h"
#include "platform/host/KeyboardInput.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/core/util/CoreTestSupport.h"
#include "tests/contacts/ContactsTestSupport.h"
#include "tests/support/LoopAndMemoryWatch.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/app/TestWatchdog.h"
#include "ui/controls/StatusBarBacking.h"

#include "app/main/ORBViewController.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <optional>
#include <time.h>

using core::ORBEndpoints;
using server::ScriptedReply;
using namespace testsupport;
using namespace contactstest;

namespace {

constexpr const char* kDemoParent = "13800000002";
constexpr const char* kCtdCheck = ORBEndpoints::Cmd::kCtdCheck;

class ContactsScreen : public SignedInScreenTest {
protected:
    std::shared_ptr<ContactsViewController> openBook(const char* account = kDemoTeacher,
        const char* password = kDemoTeacherPassword)
    {
        signIn(account, password);
        EXPECT_TRUE(harness().runUntil(bookIdle));
        mainScreen()->switchToView(ORBViewController::kContactsTab);
        settle(harness(), 2.0);
        return book();
    }

    std::vector<std::shared_ptr<ContactsTabButton>> tabs(ContactsViewController& screen)
    {
        std::vector<std::shared_ptr<ContactsTabButton>> found;
        auto strip = std::dynamic_pointer_cast<UIScrollView>(harness().viewByOutlet("tabView"));
        for (const auto& view : strip->subviews()) {
            if (auto tab = std::dynamic_pointer_cast<ContactsTabButton>(view))
                found.push_back(tab);
        }
        (void)screen;
        return found;
    }

    std::shared_ptr<UITableView> table() { return std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("tableView")); }

    // The row of the named contact in the grouped list.
    std::optional<NSIndexPath> rowOf(const std::string& name)
    {
        auto list = table();
        auto source = list->dataSource();
        for (long s = 0; s < source->numberOfSectionsInTableView(list.get()); ++s) {
            for (long r = 0; r < source->numberOfRowsInSection(list.get(), s); ++r) {
                auto cell = list->dataSource()->cellForRowAtIndexPath(list.get(), NSIndexPath::indexPathForRow(r, s));
                auto one = std::dynamic_pointer_cast<ContactsOneCell>(cell);
                auto two = std::dynamic_pointer_cast<ContactsTwoCell>(cell);
                if ((one && one->lblName()->text() == name) || (two && two->lblName()->text() == name))
                    return NSIndexPath::indexPathForRow(r, s);
            }
        }
        return std::nullopt;
    }

    std::shared_ptr<UITableViewCell> cellOf(const std::string& name)
    {
        auto path = rowOf(name);
        return path ? visibleCell<UITableViewCell>(*table(), path->row, path->section) : nullptr;
    }

    double heightOf(const std::string& name)
    {
        auto path = rowOf(name);
        return path ? table()->rectForRowAtIndexPath(*path).height() : -1;
    }

    std::shared_ptr<WarnView> shownWarning()
    {
        auto views = harness().viewsByClass("WarnView");
        return views.empty() ? nullptr : std::dynamic_pointer_cast<WarnView>(views.back());
    }

    std::string topClass() { return harness().topScreen() ? harness().topScreen()->className() : std::string(); }

    void back()
    {
        harness().visibleNavigationController()->popViewControllerAnimated(false);
        settle(harness());
    }
};

} // namespace

TEST_F(ContactsScreen, TabsAreOrderedMeasuredAndSelectTheirGroup)
{
    auto screen = openBook();
    ASSERT_TRUE(screen);
    auto strip = tabs(*screen);
    // Colleagues first, then the classes by name, the other grades' teachers last.
    const char* names[] = { "学校同事", "三年级(1)班家长", "三年级(2)班家长", "三年级(3)班家长", "三年级(4)班家长",
        "三年级(5)班家长", "三年级(6)班家长", "三年级(7)班家长", "其他年级老师" };
    ASSERT_EQ(strip.size(), std::size(names));
    double x = 0;
    for (std::size_t i = 0; i < strip.size(); ++i) {
        SCOPED_TRACE(names[i]);
        EXPECT_EQ(strip[i]->lblName()->text(), names[i]);
        double measured = platform::measureText(names[i], strip[i]->lblName()->font()).width;
        EXPECT_NEAR(strip[i]->frame().width(), std::ceil(measured) + strip[i]->padding(), 0.001);
        EXPECT_DOUBLE_EQ(strip[i]->frame().minX(), x);
        x += strip[i]->frame().width();
        EXPECT_EQ(strip[i]->select(), i == 0);
        EXPECT_EQ(strip[i]->lblName()->textColor(),
            i == 0 ? platform::Color::blackColor() : platform::Color(0.5824, 0.5686, 0.5686, 1));
    }
    EXPECT_DOUBLE_EQ(std::dynamic_pointer_cast<UIScrollView>(harness().viewByOutlet("tabView"))->contentSize().width, x);
    // Colleagues by first letter: 陈 C, 赵 Z, 周 Z, 孙 S.
    EXPECT_EQ(screen->listPinyin(), (std::vector<std::string> { "C", "S", "Z" }));
    EXPECT_EQ(table()->sectionIndexTitles(), screen->listPinyin());
    EXPECT_FALSE(harness().render("contacts-book-teacher.png").empty());

    ASSERT_TRUE(harness().tap(strip[1]));
    EXPECT_TRUE(strip[1]->select());
    EXPECT_FALSE(strip[0]->select());
    EXPECT_EQ(screen->listPinyin(), (std::vector<std::string> { "C", "H", "L", "W", "Y", "Z" }));
    auto header = std::dynamic_pointer_cast<ContactsHeader>(screen->viewForHeaderInSection(table().get(), 1));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->lblName()->text(), "H");
    EXPECT_EQ(table()->rectForHeaderInSection(1).height(), ContactsHeader::kHeight);

    // Groups whose ids begin CLS, COM and ABC show as COM, ABC, CLS; equal
    // prefixes by name.
    auto group = [](const char* uid, const char* name) {
        auto made = std::make_shared<core::GroupInfo>();
        made->uid = uid;
        made->name = name;
        return made;
    };
    screen->setListGroup({ group("CLS9", "乙"), group("ABC1", "丙"), group("COM2", "丁"), group("CLS8", "甲") });
    std::vector<std::string> order;
    for (const auto& g : screen->listGroup())
        order.push_back(g->uid);
    EXPECT_EQ(order, (std::vector<std::string> { "COM2", "ABC1", "CLS9", "CLS8" }));
    EXPECT_EQ(tabs(*screen).size(), 4u);
    EXPECT_TRUE(tabs(*screen)[0]->select());
}

// A class of the grade's size: its index is drawn down the list's right
// edge, one title per section, and a touch on a letter brings its section up.
TEST_F(ContactsScreen, TheIndexOfAFullClassIsDrawnAndATouchOnALetterBringsItsSection)
{
    auto screen = openBook();
    ASSERT_TRUE(screen);
    auto strip = tabs(*screen);
    ASSERT_GT(strip.size(), 3u);
    // The strip is wider than the screen: swiped along to the fourth tab first.
    auto tabStrip = std::dynamic_pointer_cast<UIScrollView>(harness().viewByOutlet("tabView"));
    tabStrip->scrollRectToVisible(strip[3]->frame(), false);
    harness().loop().runUntilIdle();
    ASSERT_TRUE(harness().tap(strip[3]));
    ASSERT_EQ(strip[3]->lblName()->text(), "三年级(3)班家长");
    auto list = table();
    auto index = list->sectionIndexView();
    ASSERT_TRUE(index);
    EXPECT_EQ(index->titles(), screen->listPinyin());
    EXPECT_GE(index->titles().size(), 15u) << "forty-four parents under many letters";
    auto window = UIWindow::keyWindow();
    auto shown = index->superview()->convertRectToView(index->frame(), window.get());
    auto listShown = list->superview()->convertRectToView(list->frame(), window.get());
    EXPECT_DOUBLE_EQ(shown.maxX(), listShown.maxX());
    EXPECT_DOUBLE_EQ(shown.minY(), listShown.minY());
    EXPECT_DOUBLE_EQ(shown.height(), listShown.height());
    EXPECT_FALSE(harness().render("contacts-book-index.png").empty());

    // A touch on a letter: its section's header at the top of the list, as
    // far as the content lets it go; every letter, first to last.
    auto touchTitle = [&](long i) {
        auto point = index->convertPointToView(index->rectForTitle(i).center(), nullptr);
        point.x += window->frame().minX();
        point.y += window->frame().minY();
        auto hit = testsupport::tapAtPoint(point);
        harness().loop().runUntilIdle();
        return hit == index;
    };
    const long titles = static_cast<long>(index->titles().size());
    for (long i : { titles / 2, titles - 1, 1L, 0L }) {
        SCOPED_TRACE(index->titles()[static_cast<std::size_t>(i)]);
        ASSERT_TRUE(touchTitle(i));
        double expected = std::min(list->rectForHeaderInSection(i).minY(), list->maximumContentOffset().y);
        EXPECT_DOUBLE_EQ(list->contentOffset().y, expected);
        auto header = std::dynamic_pointer_cast<ContactsHeader>(list->headerViewForSection(i));
        ASSERT_TRUE(header);
        EXPECT_EQ(header->lblName()->text(), index->titles()[static_cast<std::size_t>(i)]);
        // The strip stayed at the list's edge while the rows moved.
        EXPECT_EQ(index->superview()->convertRectToView(index->frame(), window.get()), shown);
    }
    ASSERT_TRUE(touchTitle(titles / 2));
    EXPECT_GT(list->contentOffset().y, 0);
    EXPECT_FALSE(harness().render("contacts-book-index-scrolled.png").empty());
}

TEST_F(ContactsScreen, ANameWithoutLettersSortsFirstUnderTheHashAndAnEmptyGroupSaysSo)
{
    auto screen = openBook();
    const std::string book = R"([{"groupId":"COM001","groupName":"同事","groupType":1,"items":[)"
                             R"({"linkManId":11,"linkManName":"张三","thumbAvatar":"","orgUserPic":"","linkManType":1,"phone":"1"},)"
                             R"({"linkManId":12,"linkManName":"","thumbAvatar":"","orgUserPic":"","linkManType":1,"phone":"2"},)"
                             R"({"linkManId":13,"linkManName":"☺☺","thumbAvatar":"","orgUserPic":"","linkManType":1,"phone":"3"},)"
                             R"({"linkManId":14,"linkManName":"安明","thumbAvatar":"","orgUserPic":"","linkManType":1,"phone":"4"}]},)"
                             R"({"groupId":"CLS9","groupName":"空班","groupType":2,"items":[]}])";
    harness().server()->script().forCommand(ORBEndpoints::Cmd::kAddressBook, compressedBook(book));
    screen->btnRefreshTouchUpInside(nullptr);
    ASSERT_TRUE(harness().runUntil([&] {
        return harness().notifications().count(ContactsViewController::kCompletedRefreshContacts) == 2;
    }));
    settle(harness(), 2.0);
    // The empty name and the one that spells to nothing both sit under "#".
    EXPECT_EQ(screen->listPinyin(), (std::vector<std::string> { "#", "A", "Z" }));
    EXPECT_EQ(screen->numberOfRowsInSection(table().get(), 0), 2);
    auto empty = std::dynamic_pointer_cast<UILabel>(harness().viewByOutlet("lblEmpty"));
    EXPECT_TRUE(empty->isHidden());
    ASSERT_TRUE(harness().tap(tabs(*screen)[1]));
    EXPECT_TRUE(screen->listPinyin().empty());
    EXPECT_FALSE(empty->isHidden());
    EXPECT_EQ(empty->text(), "该分组为空");
}

TEST_F(ContactsScreen, EachRoleSeesTheCellItsContactCallsForAtThatCellsHeight)
{
    auto screen = openBook();
    const double one = BaseCell::height<ContactsOneCell>();
    const double two = BaseCell::height<ContactsTwoCell>();
    ASSERT_NE(one, two);
    // A colleague with a number: call and message buttons.
    auto chen = std::dynamic_pointer_cast<ContactsOneCell>(cellOf("陈静"));
    ASSERT_TRUE(chen);
    EXPECT_FALSE(testsupport::findOutlet<UIButton>(chen, "btnCall")->isHidden());
    EXPECT_EQ(heightOf("陈静"), one);
    // A colleague without one: not reachable, at the smaller cell's height.
    auto sun = std::dynamic_pointer_cast<ContactsTwoCell>(cellOf("孙丽"));
    ASSERT_TRUE(sun);
    EXPECT_EQ(testsupport::findOutlet<UILabel>(sun, "lblNotCustomer")->text(), "未认证手机号码");
    EXPECT_FALSE(testsupport::findOutlet<UILabel>(sun, "lblNotCustomer")->isHidden());
    EXPECT_EQ(heightOf("孙丽"), two);
    // A parent who turned the service off.
    harness().tap(tabs(*screen)[1]);
    auto zhou = std::dynamic_pointer_cast<ContactsTwoCell>(cellOf("周涛"));
    ASSERT_TRUE(zhou);
    EXPECT_EQ(testsupport::findOutlet<UILabel>(zhou, "lblNotCustomer")->text(), "该用户没有订购业务");
    EXPECT_EQ(heightOf("周涛"), two);
    auto zhang = std::dynamic_pointer_cast<ContactsOneCell>(cellOf("张伟"));
    ASSERT_TRUE(zhang);
    EXPECT_EQ(heightOf("张伟"), one);
}

TEST_F(ContactsScreen, AParentSeesTeachersAsReachableCellsWithButtonsOnlyForANumber)
{
    auto screen = openBook(kDemoParent, kDemoParentPassword);
    ASSERT_TRUE(screen);
    const double one = BaseCell::height<ContactsOneCell>();
    auto li = std::dynamic_pointer_cast<ContactsOneCell>(cellOf("李建国"));
    ASSERT_TRUE(li);
    EXPECT_FALSE(testsupport::findOutlet<UIButton>(li, "btnCall")->isHidden());
    EXPECT_EQ(heightOf("李建国"), one);
    auto sun = std::dynamic_pointer_cast<ContactsOneCell>(cellOf("孙丽"));
    ASSERT_TRUE(sun);
    EXPECT_TRUE(testsupport::findOutlet<UIButton>(sun, "btnCall")->isHidden());
    EXPECT_TRUE(testsupport::findOutlet<UIButton>(sun, "btnSms")->isHidden());
    EXPECT_EQ(heightOf("孙丽"), one) << "the row is as tall as the cell it shows";
    EXPECT_EQ(std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet("txtSearch"))->placeholder(), "请输入姓名");
    EXPECT_FALSE(harness().render("contacts-book-parent.png").empty());
}

TEST_F(ContactsScreen, SearchFindsByPinyinAndPhoneAcrossGroups)
{
    auto screen = openBook();
    auto field = std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet("txtSearch"));
    ASSERT_TRUE(field);
    EXPECT_EQ(field->placeholder(), "请输入姓名或手机");
    ASSERT_TRUE(harness().tap(field));
    settle(harness(), 0.5);
    EXPECT_TRUE(harness().visibleNavigationController()->isNavigationBarHidden());
    auto results = std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("searchTableView"));
    ASSERT_TRUE(results);
    EXPECT_EQ(results->alpha(), 1.0);
    // The bar sits below the status bar, on a strip of its colour, with the
    // results right under it; it covers the tab strip and the refresh button.
    auto window = UIWindow::keyWindow();
    auto bar = harness().viewByOutlet("searchBar");
    auto inWindow = [&](const std::shared_ptr<UIView>& view) {
        return view->superview()->convertRectToView(view->frame(), window.get());
    };
    const double statusBar = UIApplication::sharedApplication().statusBarHeight();
    ASSERT_GT(statusBar, 0);
    EXPECT_DOUBLE_EQ(inWindow(bar).minY(), statusBar);
    EXPECT_DOUBLE_EQ(inWindow(bar).width(), window->bounds().width());
    auto backing = StatusBarBacking::backingOf(*screen->view());
    ASSERT_TRUE(backing);
    EXPECT_EQ(inWindow(backing), platform::Rect(0, 0, window->bounds().width(), statusBar));
    EXPECT_EQ(backing->backgroundColor(), bar->backgroundColor());
    EXPECT_DOUBLE_EQ(inWindow(results).minY(), inWindow(bar).maxY());
    for (const char* covered : { "refreshBtn", "tabView" }) {
        auto overlap = inWindow(harness().viewByOutlet(covered)).intersection(inWindow(bar));
        ASSERT_FALSE(overlap.isNull()) << covered;
        auto hit = window->hitTest(overlap.center(), nullptr);
        EXPECT_TRUE(hit && hit->isDescendantOfView(bar.get())) << covered << " shows through the search bar";
    }
    ASSERT_TRUE(harness().type(field, "zh w"));
    auto source = results->dataSource();
    ASSERT_EQ(source->numberOfRowsInSection(results.get(), 0), 1);
    auto row = source->cellForRowAtIndexPath(results.get(), NSIndexPath::indexPathForRow(0, 0));
    EXPECT_EQ(row->textLabel()->text(), "张伟");
    EXPECT_EQ(row->detailTextLabel()->text(), "13800000002 - 三年级(1)班家长 张小明家长");
    EXPECT_EQ(screen->heightForRowAtIndexPath(results.get(), NSIndexPath::indexPathForRow(0, 0)),
        ContactsViewController::kSearchRowHeight);
    EXPECT_FALSE(harness().render("contacts-search.png").empty());

    // The mother of a child in each class is two accounts with one name and
    // one number: she is listed once.
    field->setText("");
    ASSERT_TRUE(harness().type(field, "wangfang"));
    EXPECT_EQ(source->numberOfRowsInSection(results.get(), 0), 1);
    field->setText("");
    ASSERT_TRUE(harness().type(field, "13900000002"));
    ASSERT_EQ(source->numberOfRowsInSection(results.get(), 0), 1);
    EXPECT_EQ(source->cellForRowAtIndexPath(results.get(), NSIndexPath::indexPathForRow(0, 0))->textLabel()->text(),
        "陈静");
    ASSERT_TRUE(harness().returnKey(field));
    settle(harness(), 0.5);
    EXPECT_FALSE(harness().visibleNavigationController()->isNavigationBarHidden());
    EXPECT_EQ(results->alpha(), 0.0);
    EXPECT_EQ(field->text(), "") << "the list behind is the whole book: the field keeps no search";
    EXPECT_FALSE(harness().render("contacts-search-ended.png").empty());
    EXPECT_FALSE(StatusBarBacking::backingOf(*screen->view()));
    auto navigationBar = harness().visibleNavigationController()->navigationBar();
    EXPECT_DOUBLE_EQ(inWindow(bar).minY(), inWindow(std::static_pointer_cast<UIView>(navigationBar)).maxY())
        << "back under the navigation bar";
    EXPECT_LT(inWindow(bar).width(), window->bounds().width()) << "beside the refresh button again";

    // Back (Escape on the desktop) ends the search as the return key does,
    // the screen staying.
    ASSERT_TRUE(harness().tap(field));
    settle(harness(), 0.5);
    ASSERT_TRUE(harness().type(field, "zh w"));
    ASSERT_EQ(results->alpha(), 1.0);
    EXPECT_TRUE(platform::host::performBackSwipe());
    settle(harness(), 0.5);
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(harness().visibleNavigationController()->isNavigationBarHidden());
    EXPECT_EQ(results->alpha(), 0.0);
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(harness().topScreen(), screen);
}

// A row with the name, type and phone of an earlier one is one person
// listed again (in another group, or under another id): it is dropped. The
// same id with another phone or name is someone the person can tell apart.
TEST_F(ContactsScreen, SearchDropsARowWithTheNameTypeAndPhoneOfAnEarlierOne)
{
    auto screen = openBook();
    auto contact = [](int id, const char* name, const char* phone, int type) {
        return std::string(R"({"linkManId":)") + std::to_string(id) + R"(,"linkManName":")" + name + R"(","phone":")"
            + phone + R"(","thumbAvatar":"","orgUserPic":"","linkManType":)" + std::to_string(type) + "}";
    };
    const std::string reply = std::string(R"([{"groupId":"CLS201","groupName":"一班","groupType":2,"items":[)")
        + contact(501, "周岚", "13711110001", 2) + "," + contact(601, "吴桐", "13711110002", 2) + ","
        + contact(701, "郑言", "13711110003", 2)
        + R"(]},{"groupId":"CLS202","groupName":"二班","groupType":2,"items":[)"
        + contact(502, "周岚", "13711110001", 2) + "," + contact(601, "吴桐", "13711110009", 2) + ","
        + contact(701, "郑言", "13711110003", 1) + "]}]";
    harness().server()->script().forCommand(ORBEndpoints::Cmd::kAddressBook, compressedBook(reply));
    screen->btnRefreshTouchUpInside(nullptr);
    ASSERT_TRUE(harness().runUntil(
        [&] { return harness().notifications().count(ContactsViewController::kCompletedRefreshContacts) == 2; }));
    settle(harness(), 2.0);
    auto field = std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet("txtSearch"));
    ASSERT_TRUE(harness().tap(field));
    settle(harness(), 0.5);
    auto results = std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("searchTableView"));
    ASSERT_TRUE(results);
    auto rows = [&](const char* text) {
        field->setText("");
        EXPECT_TRUE(harness().type(field, text));
        std::vector<std::string> found;
        auto source = results->dataSource();
        for (long r = 0; r < source->numberOfRowsInSection(results.get(), 0); ++r) {
            auto cell = source->cellForRowAtIndexPath(results.get(), NSIndexPath::indexPathForRow(r, 0));
            found.push_back(cell->textLabel()->text() + " " + cell->detailTextLabel()->text());
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    // Two ids, one name, type and phone: once.
    EXPECT_EQ(rows("zhoulan").size(), 1u);
    // One id with two phones: both.
    EXPECT_EQ(rows("wutong"), (std::vector<std::string> { "吴桐 13711110002 - 一班", "吴桐 13711110009 - 二班" }));
    // One id, one phone, two types: both.
    EXPECT_EQ(rows("13711110003").size(), 2u);
}

TEST_F(ContactsScreen, RowTapsOpenTheDetailAndTheChat)
{
    openBook();
    auto chen = std::dynamic_pointer_cast<ContactsOneCell>(cellOf("陈静"));
    ASSERT_TRUE(chen);
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UIButton>(chen, "btnSms")));
    settle(harness());
    auto chat = std::dynamic_pointer_cast<MessageViewController>(harness().topScreen());
    ASSERT_TRUE(chat);
    back();
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UIButton>(chen, "btnAvatar")));
    settle(harness());
    EXPECT_EQ(topClass(), "ContactsDetailViewController");
}

TEST_F(ContactsScreen, ATeachersCallAsksOnceTickedAndTheRefusalSilencesNothing)
{
    openBook();
    auto defaults = platform::UserDefaults::standard();
    // The service refuses: its notice, and closing it opens nothing.
    harness().server()->script().forCommand(kCtdCheck,
        ScriptedReply::custom(200, R"({"resultState":1,"resultMsg":"提示","status":0,"dealResult":"您尚未开通"})"));
    auto chen = std::dynamic_pointer_cast<ContactsOneCell>(cellOf("陈静"));
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UIButton>(chen, "btnCall")));
    ASSERT_TRUE(waitForAnswer(kCtdCheck, 1));
    ASSERT_TRUE(harness().runUntil([&] { return shownWarning() != nullptr; }));
    EXPECT_EQ(shownWarning()->variant(), WarnView::kNoticeVariant);
    EXPECT_EQ(shownWarning()->prompContent()->text(), "您尚未开通");
    ASSERT_TRUE(harness().tapButton("我知道了"));
    settle(harness());
    EXPECT_EQ(topClass(), "ContactsViewController");
    EXPECT_TRUE(defaults->objectForKey(ContactsViewController::kShortcutDialKey).isNull());

    // Allowed: the notice with the tick; cancelling opens nothing.
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UIButton>(chen, "btnCall")));
    ASSERT_TRUE(waitForAnswer(kCtdCheck, 2));
    ASSERT_TRUE(harness().runUntil([&] { return shownWarning() != nullptr; }));
    EXPECT_EQ(shownWarning()->variant(), WarnView::kConfirmVariant);
    EXPECT_EQ(shownWarning()->prompContent()->text(), "点击拨号将由平台回拨您的手机，接通后再呼叫对方，通话免费。");
    EXPECT_FALSE(harness().render("contacts-warning.png").empty());
    ASSERT_TRUE(harness().tapButton("取消"));
    settle(harness());
    EXPECT_EQ(topClass(), "ContactsViewController");
    EXPECT_TRUE(defaults->objectForKey(ContactsViewController::kShortcutDialKey).isNull());

    // Confirmed with the tick: the call screen, and next time at once.
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UIButton>(chen, "btnCall")));
    ASSERT_TRUE(waitForAnswer(kCtdCheck, 3));
    ASSERT_TRUE(harness().runUntil([&] { return shownWarning() != nullptr; }));
    ASSERT_TRUE(harness().tap(shownWarning()->promptBtn()));
    ASSERT_TRUE(harness().tapButton("确定"));
    settle(harness());
    EXPECT_EQ(topClass(), "CallNumberViewController");
    EXPECT_TRUE(defaults->boolForKey(ContactsViewController::kShortcutDialKey));
    ASSERT_TRUE(waitForAnswer(ORBEndpoints::Cmd::kCtdDial, 1));
    back();
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UIButton>(chen, "btnCall")));
    ASSERT_TRUE(waitForAnswer(kCtdCheck, 4));
    ASSERT_TRUE(harness().runUntil([&] { return topClass() == "CallNumberViewController"; }));
    EXPECT_FALSE(shownWarning());
}

TEST_F(ContactsScreen, AParentsCallDialsAfterThePromptAndThenAtOnce)
{
    openBook(kDemoParent, kDemoParentPassword);
    auto li = std::dynamic_pointer_cast<ContactsOneCell>(cellOf("李建国"));
    ASSERT_TRUE(li);
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UIButton>(li, "btnCall")));
    auto warning = shownWarning();
    ASSERT_TRUE(warning);
    EXPECT_EQ(warning->prompContent()->text(), "是否拨打13900000001,使用本机电话拨打,收取正常电话通讯费");
    EXPECT_TRUE(requests(kCtdCheck).empty()) << "only teachers use click-to-dial";
    // Confirmed without the tick: dialled, and asked again next time.
    ASSERT_TRUE(harness().tapButton("确定"));
    settle(harness());
    EXPECT_EQ(harness().openedURLs(), (std::vector<std::string> { "tel:13900000001" }));
    EXPECT_FALSE(platform::UserDefaults::standard()->boolForKey(ContactsViewController::kShortcutDialKey));
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UIButton>(li, "btnCall")));
    ASSERT_TRUE(shownWarning());
    ASSERT_TRUE(harness().tap(shownWarning()->promptBtn()));
    ASSERT_TRUE(harness().tapButton("确定"));
    settle(harness());
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UIButton>(li, "btnCall")));
    EXPECT_FALSE(shownWarning());
    EXPECT_EQ(harness().openedURLs().size(), 3u);
}

// The settings say the book was loaded a moment ago, but the store holding it
// was damaged past reading and set aside for a fresh one: the screen made
// over the fresh store fetches the book, instead of showing none for a week.
TEST_F(ContactsScreen, AFreshStoreInPlaceOfADamagedOneFetchesTheBookAgain)
{
    auto screen = openBook();
    ASSERT_TRUE(screen);
    ASSERT_EQ(requests(ORBEndpoints::Cmd::kAddressBook).size(), 1u);
    ASSERT_TRUE(bookRecord(harness(), 2001).get("has_load").boolValue());
    std::ofstream(core::BaseFactory::dataFilePath(), std::ios::binary | std::ios::trunc) << std::string(8192, 'x');
    auto fresh = ContactsViewController::create();
    ASSERT_TRUE(harness().runUntil([&] {
        return harness().notifications().count(ContactsViewController::kCompletedRefreshContacts) == 2;
    }));
    EXPECT_EQ(requests(ORBEndpoints::Cmd::kAddressBook).size(), 2u);
    EXPECT_EQ(fresh->listGroup().size(), screen->listGroup().size());
    core::ContactsFactory store;
    EXPECT_EQ(store.getGroups().value_or(core::GroupList {}).size(), screen->listGroup().size());
}

// A store damaged where the book's people are: the copy that takes its place
// keeps every group but not their people, and the screen made over it
// fetches the book again rather than show empty classes for a week.
TEST_F(ContactsScreen, ACopyOfADamagedStoreThatLeftPeopleBehindFetchesTheBookAgain)
{
    auto screen = openBook();
    ASSERT_TRUE(screen);
    ASSERT_EQ(requests(ORBEndpoints::Cmd::kAddressBook).size(), 1u);
    const std::size_t groups = screen->listGroup().size();
    ASSERT_GT(groups, 0u);
    const std::string db = core::BaseFactory::dataFilePath();
    auto tool = [&](const std::string& sql) { return coretest::toolInt(db, sql); };
    const int page = tool("SELECT rootpage FROM sqlite_master WHERE name='tb_contact';");
    const int size = tool("PRAGMA page_size;");
    ASSERT_GT(page, 0);
    {
        std::fstream file(db, std::ios::in | std::ios::out | std::ios::binary);
        file.seekp(std::streamoff(page - 1) * size);
        file.write(std::string(static_cast<std::size_t>(size), '\0').data(), size);
        ASSERT_TRUE(file.good());
    }
    // The next run of the client judges the file again.
    core::DamagedStoreFile::forgetJudgedFiles();
    auto fresh = ContactsViewController::create();
    ASSERT_TRUE(harness().runUntil([&] {
        return harness().notifications().count(ContactsViewController::kCompletedRefreshContacts) == 2;
    }));
    EXPECT_EQ(requests(ORBEndpoints::Cmd::kAddressBook).size(), 2u);
    EXPECT_EQ(fresh->listGroup().size(), groups);
    // The book's worker may still be dropping the book it replaced: the
    // tool waits for its writes, as the stores do.
    EXPECT_GT(tool("SELECT count(*) FROM tb_contact;"), 0);
}

// A book of no group is a book: kept, it is not fetched again each time the
// screen is made (every start, sign-in and change of role), each time with
// its notice over the screen and the touches held back.
TEST_F(ContactsScreen, AKeptBookOfNoGroupIsNotFetchedAgainWhenTheScreenIsMade)
{
    harness().server()->script().forCommand(ORBEndpoints::Cmd::kAddressBook, compressedBook("[]"));
    auto screen = openBook();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(harness().runUntil(
        [&] { return harness().notifications().count(ContactsViewController::kCompletedRefreshContacts) == 1; }));
    ASSERT_EQ(requests(ORBEndpoints::Cmd::kAddressBook).size(), 1u);
    EXPECT_TRUE(screen->listGroup().empty());
    auto again = ContactsViewController::create();
    ASSERT_TRUE(harness().waitForServerQuiet());
    EXPECT_EQ(requests(ORBEndpoints::Cmd::kAddressBook).size(), 1u);
    EXPECT_EQ(harness().notifications().count(ContactsViewController::kCompletedRefreshContacts), 1u);
    EXPECT_FALSE(again->isRefresh());
}

// The empty label says what is so: made again from a kept book (as at every
// start after the first), an empty group says it is empty, not that the
// book is loading; nor does a kept book of no group claim to be loading.
TEST_F(ContactsScreen, AnEmptyGroupOfAKeptBookSaysItIsEmptyWhenTheScreenIsMadeAgain)
{
    const std::string book = R"([{"groupId":"COM001","groupName":"同事","groupType":1,"items":[)"
                             R"({"linkManId":11,"linkManName":"张三","thumbAvatar":"","orgUserPic":"","linkManType":1,"phone":"1"}]},)"
                             R"({"groupId":"CLS9","groupName":"空班","groupType":2,"items":[]}])";
    harness().server()->script().forCommand(ORBEndpoints::Cmd::kAddressBook, compressedBook(book));
    ASSERT_TRUE(openBook());
    ASSERT_EQ(requests(ORBEndpoints::Cmd::kAddressBook).size(), 1u);
    // The screen as the next start makes it, from the store.
    auto again = ContactsViewController::create();
    ASSERT_TRUE(again->view());
    EXPECT_FALSE(again->isRefresh());
    auto strip = findOutlet<UIScrollView>(again->view(), "tabView");
    std::vector<std::shared_ptr<ContactsTabButton>> tabs;
    for (const auto& view : strip->subviews())
        if (auto tab = std::dynamic_pointer_cast<ContactsTabButton>(view))
            tabs.push_back(tab);
    ASSERT_EQ(tabs.size(), 2u);
    again->setCurrentTabBtn(tabs[1]);
    auto empty = findOutlet<UILabel>(again->view(), "lblEmpty");
    EXPECT_FALSE(empty->isHidden());
    EXPECT_EQ(empty->text(), "该分组为空");

    // A kept book of no group.
    harness().server()->script().forCommand(ORBEndpoints::Cmd::kAddressBook, compressedBook("[]"));
    again.reset();
    auto screen = contactstest::book();
    ASSERT_TRUE(screen);
    screen->btnRefreshTouchUpInside(nullptr);
    ASSERT_TRUE(harness().runUntil([&] {
        return harness().notifications().count(ContactsViewController::kCompletedRefreshContacts) == 2;
    }));
    auto none = ContactsViewController::create();
    ASSERT_TRUE(none->view());
    EXPECT_FALSE(none->isRefresh());
    auto label = findOutlet<UILabel>(none->view(), "lblEmpty");
    EXPECT_FALSE(label->isHidden());
    EXPECT_EQ(label->text(), "通讯录为空");
}

// A first download that fails leaves no book: the empty label says that it
// did not load, not that it is loading, through a refresh refused as well;
// while a refresh runs it says the book is loading, and the book that
// arrives at last takes its place.
TEST(ContactsScreenFirstFetch, AFailedFirstFetchSaysTheBookDidNotLoadUntilOneArrives)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        const char* command = ORBEndpoints::Cmd::kAddressBook;
        harness.server()->script().forCommand(command, ScriptedReply::errorEnvelope("服务器错误"));
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        ASSERT_TRUE(harness.runUntil(bookIdle));
        mainScreen()->switchToView(ORBViewController::kContactsTab);
        settle(harness, 2.0);
        auto screen = book();
        ASSERT_TRUE(screen);
        EXPECT_TRUE(screen->listGroup().empty());
        auto empty = std::dynamic_pointer_cast<UILabel>(harness.viewByOutlet("lblEmpty"));
        ASSERT_TRUE(empty);
        EXPECT_FALSE(empty->isHidden());
        const std::string notLoaded = empty->text();
        EXPECT_EQ(notLoaded, "通讯录加载失败，请点击刷新");
        EXPECT_FALSE(harness.render(std::string("contacts-book-not-loaded-") + (tall ? "4-inch" : "3.5-inch") + ".png").empty());

        auto gate = std::make_shared<server::ReplyGate>();
        harness.server()->script().forCommand(command, ScriptedReply::errorEnvelope("服务器错误").heldBy(gate));
        screen->btnRefreshTouchUpInside(nullptr);
        ASSERT_TRUE(harness.runUntil([&] { return gate->arrived() == 1; }));
        EXPECT_EQ(empty->text(), "正在加载通讯录...");
        gate->open();
        ASSERT_TRUE(harness.runUntil(
            [&] { return harness.notifications().count(ContactsViewController::kFailedRefreshContacts) == 2; }));
        settle(harness, 2.0);
        EXPECT_FALSE(empty->isHidden());
        EXPECT_EQ(empty->text(), notLoaded) << "a refused refresh leaves it not loaded";

        screen->btnRefreshTouchUpInside(nullptr);
        ASSERT_TRUE(harness.runUntil(
            [&] { return harness.notifications().count(ContactsViewController::kCompletedRefreshContacts) == 1; }));
        settle(harness, 2.0);
        EXPECT_FALSE(screen->listGroup().empty());
        EXPECT_TRUE(empty->isHidden());
    });
}

// The first change into a role fetches that account's book once: the screen
// of the account left hears the new screen's call for a refresh too, and
// must not answer it with a download of a book that is not its account's.
TEST_F(ContactsScreen, AFirstChangeOfRoleFetchesTheNewAccountsBookOnce)
{
    signIn(kDemoParentOfTwo, kDemoParentPassword);
    ASSERT_TRUE(harness().runUntil(bookIdle));
    ASSERT_TRUE(harness().waitForServerQuiet());
    const int first = core::MyAccountInfo::currentAccount()->uid;
    const auto before = requests(ORBEndpoints::Cmd::kAddressBook).size();
    ASSERT_EQ(before, 1u);

    mainScreen()->roleToggle();
    settle(harness());
    auto chooser = std::dynamic_pointer_cast<AccountsViewController>(harness().topScreen());
    ASSERT_TRUE(chooser);
    ASSERT_TRUE(harness().selectRow(findOutlet<UITableView>(chooser->view(), "tableView"), 0, 1));
    settle(harness());
    const int second = core::MyAccountInfo::currentAccount()->uid;
    ASSERT_NE(second, first);
    // Every download asked for has gone out and been answered.
    ASSERT_TRUE(harness().runUntil(bookIdle));
    ASSERT_TRUE(harness().waitForServerQuiet());
    settle(harness());
    ASSERT_TRUE(harness().waitForServerQuiet());
    auto fetched = requests(ORBEndpoints::Cmd::kAddressBook);
    ASSERT_EQ(fetched.size(), before + 1) << "the new account's book once";
    EXPECT_EQ(fetched.back().bodyValue("userId").intValue(), second);
}

// A book of more groups than the strip can hold: the strip shows the first
// it can (the colleagues first, as ever) without holding the window, and the
// next book clears it in one pass. Each tab built from its file on the main
// loop and the strip cleared one tab at a time, 200,000 groups held the
// window for seconds.
TEST_F(ContactsScreen, ABookOfMoreGroupsThanTheStripHoldsShowsItsFirstAndClearsAtOnce)
{
    // A book of 20,000 groups made, read, stored and shown, and the demo's
    // book after it: 49 s of the watchdog's minute at a load of 38 on 8 cores.
    extendTestWatchdog(60);
    auto screen = openBook();
    ASSERT_TRUE(screen);
    const std::size_t demoGroups = screen->listGroup().size();
    const int groups = testsupport::kUnderThreadSanitizer ? 3000 : 20000;
    // Generous: a sanitizer build runs the window's work several times slower.
    const double longestTurn = testsupport::kUnderThreadSanitizer ? 2.0 : 0.5;
    std::string json = R"([{"groupId":"COM001","groupName":"同事","groupType":1,"items":[)"
                       R"({"linkManId":7,"linkManName":"赵敏","thumbAvatar":"","orgUserPic":"","linkManType":1}]})";
    for (int g = 0; g < groups; ++g)
        json += R"(,{"groupId":"CLS)" + std::to_string(100000 + g) + R"(","groupName":"班级)" + std::to_string(g)
            + R"(","groupType":2,"items":[]})";
    json += "]";
    harness().server()->script().forCommand(ORBEndpoints::Cmd::kAddressBook, compressedBook(json));
    // The main loop's longest turn, as the CPU time its thread spent in it.
    std::optional<MainLoopTurnWatch> turns;
    auto completed = [&](std::size_t count) {
        const bool done = harness().runUntil(
            [&] { return harness().notifications().count(ContactsViewController::kCompletedRefreshContacts) == count; },
            120);
        return done;
    };
    turns.emplace();
    screen->btnRefreshTouchUpInside(nullptr);
    ASSERT_TRUE(completed(2));
    auto strip = tabs(*screen);
    ASSERT_EQ(strip.size(), ContactsViewController::kMostTabs);
    EXPECT_EQ(screen->listGroup().size(), ContactsViewController::kMostTabs);
    EXPECT_EQ(strip.front()->lblName()->text(), "同事");
    EXPECT_TRUE(strip.front()->select());
    EXPECT_EQ(screen->listPinyin(), (std::vector<std::string> { "Z" }));
    EXPECT_LT(turns->longestTurn(), longestTurn) << "seconds of the main loop's CPU in one turn";
    settle(harness(), 2.0);
    EXPECT_FALSE(harness().render("contacts-book-many-groups.png").empty());

    // The demo's book again: the strip of a thousand tabs goes in one pass.
    turns->restart();
    screen->btnRefreshTouchUpInside(nullptr);
    ASSERT_TRUE(completed(3));
    EXPECT_EQ(tabs(*screen).size(), demoGroups);
    EXPECT_LT(turns->longestTurn(), longestTurn) << "seconds of the main loop's CPU in one turn";
}
