// The receiver picker on the demo teacher's address book (stored from the
// stand-in server): group checkboxes and their questions, select all and
// reset, a group's contact list, the running total, and the search with
// blanks as wildcards and quotes as plain text.
#include "messaging/compose/ContactSelectViewController.h"

#include "app/main/ORBViewController.h"
#include "messaging/compose/ContactsGroupCell.h"
#include "messaging/compose/ContactsSingleCell.h"
#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
#include "tests/messaging/compose/ComposeSupport.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/controls/StatusBarBacking.h"

#include <gtest/gtest.h>

using namespace testsupport;
using composetest::textOf;

namespace {

// The teacher's colleagues (all can receive), the parents of class 1 (周涛,
// 6008, has the service off) and of class 2.
constexpr const char* kColleagues = "COM001";
constexpr const char* kClassOne = "CLS101";
constexpr const char* kClassTwo = "CLS102";
constexpr const char* kEmptyGroup = "EMPTY1";
constexpr int kNoServiceParent = 6008;

class ContactSelectTest : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        SignedInScreenTest::SetUp();
        signIn();
        auto empty = std::make_shared<core::GroupInfo>();
        empty->uid = kEmptyGroup;
        empty->name = "空的分组";
        empty->type = 2;
        ASSERT_TRUE(composetest::storeAddressBook(harness(), { { empty, {} } }));
        book = composetest::loadAddressBook();
        // Colleagues, two classes taught, five more of the grade, the other
        // grades' teachers, and the empty group.
        ASSERT_EQ(book.groups.size(), 10u);
    }

    std::shared_ptr<ContactSelectViewController> openPicker()
    {
        auto picker = std::make_shared<ContactSelectViewController>();
        picker->setListGroup(book.groups);
        picker->setListDataAll(book.contacts);
        return open(picker, ORBViewController::kMessageTab);
    }

    std::shared_ptr<UITableView> table(const char* outlet) const
    {
        return std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet(outlet));
    }
    long rowOf(const std::string& uid) const
    {
        for (std::size_t i = 0; i < book.groups.size(); ++i)
            if (book.groups[i]->uid == uid)
                return long(i);
        return -1;
    }
    std::shared_ptr<ContactsGroupCell> groupCell(const std::string& uid)
    {
        return visibleCell<ContactsGroupCell>(*table("groupTableView"), rowOf(uid));
    }
    std::string countText(const std::string& uid) { return textOf(groupCell(uid), "lblCount"); }
    void tickGroup(const std::string& uid)
    {
        auto cell = groupCell(uid);
        ASSERT_NE(cell, nullptr);
        auto box = std::dynamic_pointer_cast<UIButton>(findViewsByClass(cell, "UIButton").front());
        ASSERT_NE(box, nullptr);
        box->sendActionsForControlEvents(UIControlEventTouchUpInside);
    }
    std::string total() const { return textOf(harness().viewByOutlet("lblTotal")); }
    std::string selectTitle() const
    {
        auto button = std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet("btnSelect"));
        return button ? button->titleForState(UIControlStateNormal).value_or("") : "";
    }
    int selectedIn(const std::string& uid) const
    {
        int n = 0;
        for (const auto& c : book.contacts.at(uid))
            n += c->selected ? 1 : 0;
        return n;
    }
    bool tapNamed(const std::string& outlet) { return harness().tap(harness().viewByOutlet(outlet)); }

    composetest::AddressBook book;
};

// All colleagues can receive: a tick takes the whole group ("全选 4人") and
// a second clears it. The class with 周涛 fills all but him ("已选 7人"), so
// the next tick asks, and "是的" changes nothing for him. The empty group says
// so and has no box to tick.
TEST_F(ContactSelectTest, GroupCheckBoxesTakeWholeGroupsAndAskForPartOnes)
{
    openPicker();
    EXPECT_EQ(harness().topScreen()->title(), "选择接收人");
    EXPECT_EQ(total(), "0");
    EXPECT_EQ(selectTitle(), "选择全部");
    EXPECT_EQ(countText(kEmptyGroup), "该分组为空");
    EXPECT_TRUE(findViewByOutlet(groupCell(kEmptyGroup), "imgCheckBoxBg")->isHidden());
    EXPECT_EQ(countText(kColleagues), "");

    tickGroup(kColleagues);
    EXPECT_EQ(countText(kColleagues), "全选 4人");
    // The count's digits stand out: larger, in violet.
    auto count = std::dynamic_pointer_cast<ContactsCountLabel>(findViewByOutlet(groupCell(kColleagues), "lblCount"));
    ASSERT_NE(count, nullptr);
    EXPECT_EQ(count->highlightedDigits(), "4");
    EXPECT_EQ(count->highlightColour(), platform::Color::fromRGB255(0x90, 0x00, 0xff));
    auto drawn = count->renderToImage(2.0);
    ASSERT_TRUE(drawn);
    int violet = 0;
    for (int y = 0; y < drawn->pixelHeight(); ++y)
        for (int x = 0; x < drawn->pixelWidth(); ++x) {
            auto p = drawn->pixelAt(x, y);
            violet += p[0] > 100 && p[1] < 80 && p[2] > 180 ? 1 : 0;
        }
    EXPECT_GT(violet, 10);
    EXPECT_EQ(book.group(kColleagues)->selectCount, 4);
    EXPECT_EQ(total(), "4");
    tickGroup(kColleagues);
    EXPECT_EQ(countText(kColleagues), "");
    EXPECT_EQ(selectedIn(kColleagues), 0);

    tickGroup(kClassOne);
    EXPECT_EQ(countText(kClassOne), "已选 7人");
    EXPECT_FALSE(book.contact(kClassOne, kNoServiceParent)->selected);
    EXPECT_EQ(total(), "7");
    tickGroup(kClassOne);
    auto alert = harness().currentAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "提示");
    EXPECT_EQ(alert->message(), "是否选择该分组所有联系人?");
    EXPECT_EQ(alert->buttonTitleAtIndex(0), "取消");
    EXPECT_EQ(alert->buttonTitleAtIndex(1), "是的");
    ASSERT_TRUE(harness().tapAlertButton("是的"));
    EXPECT_EQ(selectedIn(kClassOne), 7);
    EXPECT_FALSE(book.contact(kClassOne, kNoServiceParent)->selected);

    // A group without people can be neither ticked nor opened.
    tickGroup(kEmptyGroup);
    EXPECT_EQ(harness().currentAlert(), nullptr);
    ASSERT_TRUE(harness().selectRow(table("groupTableView"), 0, rowOf(kEmptyGroup)));
    EXPECT_NE(table("groupTableView")->superview(), nullptr);
    EXPECT_EQ(total(), "7");
}

// With nothing chosen "选择全部" takes every person who can receive at once;
// with some chosen and a group short of full it asks first. Inside a fully
// chosen group the button reads "重置" and clears that group only.
TEST_F(ContactSelectTest, SelectAllAsksWhenSomeAreChosenAndResetClearsTheOpenGroup)
{
    openPicker();
    ASSERT_TRUE(tapNamed("btnSelect"));
    EXPECT_EQ(harness().currentAlert(), nullptr);
    EXPECT_EQ(selectedIn(kColleagues), 4);
    EXPECT_EQ(selectedIn(kClassOne), 7);
    EXPECT_EQ(selectedIn(kClassTwo), 8);
    // With the grade's five other classes (189 of whose 220 parents take the
    // service) and the other grades' 60 teachers.
    EXPECT_EQ(total(), std::to_string(4 + 7 + 8 + 189 + 60));
    // 周涛 keeps class 1 short of full: still "选择全部", and a question now.
    EXPECT_EQ(selectTitle(), "选择全部");
    ASSERT_TRUE(tapNamed("btnSelect"));
    auto alert = harness().currentAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->message(), "是否选择全部分组联系人?");
    ASSERT_TRUE(harness().tapAlertButton("取消"));

    ASSERT_TRUE(harness().selectRow(table("groupTableView"), 0, rowOf(kColleagues)));
    EXPECT_EQ(textOf(harness().viewByOutlet("lblGroupName")), "学校同事");
    EXPECT_EQ(textOf(harness().viewByOutlet("lblSelectCount")), "已选4人");
    EXPECT_EQ(selectTitle(), "重置");
    ASSERT_TRUE(tapNamed("btnSelect"));
    EXPECT_EQ(selectedIn(kColleagues), 0);
    EXPECT_EQ(selectedIn(kClassTwo), 8);
    EXPECT_EQ(textOf(harness().viewByOutlet("lblSelectCount")), "已选0人");
    EXPECT_EQ(total(), std::to_string(7 + 8 + 189 + 60));
    EXPECT_EQ(selectTitle(), "选择全部");
}

// Opening a group pushes its contact list in from the right, back brings
// the groups in from the left; rows tick and untick, 周涛 says why he
// cannot be ticked, and the group row counts what was ticked inside.
TEST_F(ContactSelectTest, AGroupsContactListTicksItsPeople)
{
    openPicker();
    platform::AnimationLog::clear();
    ASSERT_TRUE(harness().selectRow(table("groupTableView"), 0, rowOf(kClassOne)));
    auto detail = table("detailTableView");
    ASSERT_NE(detail, nullptr);
    EXPECT_EQ(table("groupTableView"), nullptr) << "the group list leaves the screen";
    const auto& log = harness().animations();
    auto pushed = std::find_if(log.begin(), log.end(), [](const auto& r) { return r.name == "form_right"; });
    ASSERT_NE(pushed, log.end());
    EXPECT_DOUBLE_EQ(pushed->duration, 0.3);
    EXPECT_EQ(pushed->transitionType, "push");
    EXPECT_EQ(pushed->transitionSubtype, "fromRight");
    ASSERT_EQ(detail->numberOfRowsInSection(0), 8);

    long zhouRow = -1;
    const auto& people = book.contacts.at(kClassOne);
    for (std::size_t i = 0; i < people.size(); ++i)
        if (people[i]->uid == kNoServiceParent)
            zhouRow = long(i);
    ASSERT_GE(zhouRow, 0);
    auto zhou = visibleCell<ContactsSingleCell>(*detail, zhouRow);
    EXPECT_EQ(textOf(zhou, "lblNotCustomer"), "该用户没有订购业务");
    EXPECT_FALSE(findViewByOutlet(zhou, "lblNotCustomer")->isHidden());
    EXPECT_TRUE(findViewByOutlet(zhou, "imgCheckBoxBg")->isHidden());
    ASSERT_TRUE(harness().selectRow(detail, 0, zhouRow));
    EXPECT_FALSE(people[std::size_t(zhouRow)]->selected);

    ASSERT_TRUE(harness().selectRow(detail, 0, 0));
    ASSERT_TRUE(harness().selectRow(detail, 0, 1));
    ASSERT_TRUE(harness().selectRow(detail, 0, 1));
    EXPECT_TRUE(people[0]->selected);
    EXPECT_FALSE(people[1]->selected);
    EXPECT_EQ(textOf(harness().viewByOutlet("lblSelectCount")), "已选1人");
    EXPECT_EQ(total(), "1");
    auto first = visibleCell<ContactsSingleCell>(*detail, 0);
    EXPECT_NE(std::dynamic_pointer_cast<UIImageView>(findViewByOutlet(first, "imgCheckBox"))->image(), nullptr);

    ASSERT_TRUE(tapNamed("btnBack"));
    EXPECT_EQ(table("detailTableView"), nullptr);
    auto back = std::find_if(log.begin(), log.end(), [](const auto& r) { return r.name == "form_left"; });
    ASSERT_NE(back, log.end());
    EXPECT_EQ(back->transitionSubtype, "fromLeft");
    EXPECT_EQ(countText(kClassOne), "已选 1人");
    // Back at the group level the back button leaves the picker, keeping the choice.
    ASSERT_TRUE(tapNamed("btnBack"));
    settle(harness());
    EXPECT_EQ(std::dynamic_pointer_cast<ContactSelectViewController>(harness().topScreen()), nullptr);
    EXPECT_TRUE(people[0]->selected);
}

// A blank in the search text stands for anything ("liu hua" finds
// LIUJIANHUA), a quote is only a quote, case and tone marks do not matter.
// Inside a group only its people are found. Non-customers are marked and
// cannot be ticked; the teacher sees phones.
TEST_F(ContactSelectTest, SearchTreatsBlanksAsWildcardsAndQuotesAsText)
{
    openPicker();
    auto field = std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet("txtSearch"));
    ASSERT_NE(field, nullptr);
    EXPECT_EQ(field->placeholder(), "请输入姓名或手机");
    ASSERT_TRUE(harness().tap(field));
    settle(harness());
    auto results = table("searchTableView");
    ASSERT_NE(results, nullptr);
    EXPECT_DOUBLE_EQ(results->alpha(), 1.0);
    // An empty text lists everyone, down to the keyboard's top edge.
    EXPECT_EQ(results->numberOfRowsInSection(0), 4 + 8 + 8 + 5 * 44 + 60);
    ASSERT_TRUE(platform::Keyboard::isVisible());
    auto window = UIWindow::keyWindow();
    EXPECT_DOUBLE_EQ(results->superview()->convertRectToView(results->frame(), window.get()).maxY(),
        platform::Keyboard::frame().minY());
    // The search bar sits below the status bar, over a strip of its colour,
    // and the results start below the bar; leaving puts it back.
    auto bar = harness().viewByOutlet("searchBar");
    ASSERT_NE(bar, nullptr);
    double statusBar = UIApplication::sharedApplication().statusBarHeight();
    auto barInWindow = bar->superview()->convertRectToView(bar->frame(), window.get());
    EXPECT_DOUBLE_EQ(barInWindow.minY(), statusBar);
    EXPECT_NE(StatusBarBacking::backingOf(*bar->superview()), nullptr);
    EXPECT_DOUBLE_EQ(results->superview()->convertRectToView(results->frame(), window.get()).minY(), barInWindow.maxY());

    ASSERT_TRUE(harness().type(field, "liu hua"));
    ASSERT_EQ(results->numberOfRowsInSection(0), 1);
    auto row = results->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0));
    EXPECT_EQ(row->textLabel()->text(), "刘建华");
    EXPECT_EQ(row->detailTextLabel()->text(), "13800136003 - 三年级(1)班家长 刘一诺家长");

    field->setText("");
    ASSERT_TRUE(harness().type(field, "zhou'"));
    EXPECT_EQ(results->numberOfRowsInSection(0), 0);
    field->setText("");
    ASSERT_TRUE(harness().type(field, "ZHŌU TAO"));
    ASSERT_EQ(results->numberOfRowsInSection(0), 1);
    row = results->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0));
    EXPECT_EQ(row->textLabel()->text(), "周涛 [未订购业务]");
    EXPECT_EQ(row->detailTextLabel()->text(), "三年级(1)班家长 周浩然家长");
    ASSERT_TRUE(harness().selectRow(results, 0, 0));
    EXPECT_FALSE(book.contact(kClassOne, kNoServiceParent)->selected);

    field->setText("");
    ASSERT_TRUE(harness().type(field, "家长"));
    EXPECT_EQ(results->numberOfRowsInSection(0), 16 + 5 * 44); // every parent of the grade
    ASSERT_TRUE(harness().selectRow(results, 0, 0));
    EXPECT_EQ(results->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0))->accessoryType(),
        UITableViewCellAccessoryCheckmark);
    EXPECT_EQ(total(), "1");
    ASSERT_TRUE(tapNamed("btnCancel") || harness().tapButton("取消"));
    settle(harness());
    EXPECT_DOUBLE_EQ(results->alpha(), 0.0);

    // Inside class 2, "家长" finds its eight only.
    ASSERT_TRUE(harness().selectRow(table("groupTableView"), 0, rowOf(kClassTwo)));
    ASSERT_TRUE(harness().tap(field));
    settle(harness());
    field->setText("");
    ASSERT_TRUE(harness().type(field, "家长"));
    EXPECT_EQ(results->numberOfRowsInSection(0), 8);
}

TEST(ContactSelectLike, StarIsTheOnlyWildcard)
{
    struct Case {
        const char* text;
        const char* pattern;
        bool matches;
    } cases[] = {
        { "LIUJIANHUA", "*liu*hua*", true },
        { "LIUJIANHUA", "*hua*liu*", false },
        { "Lǚ Xiǎo", "*lu*xiao*", true },
        { "Émile", "*emile*", true },
        { "O'Brien", "*o'b*", true },
        { "OBrien", "*o'b*", false },
        { "a%b", "*a%b*", true },
        { "axb", "*a%b*", false },
        { "axb", "*a_b*", false },
        { "axb", "*a?b*", false },
        { "a?b", "*a?b*", true },
        { "[ab]", "*[ab]*", true },
        { "a", "*[ab]*", false },
        { "", "**", true },
        { "", "*x*", false },
        { "abc", "abc", true },
        { "abcd", "abc", false },
    };
    for (const auto& c : cases)
        EXPECT_EQ(ContactSelectViewController::likeMatches(c.text, c.pattern), c.matches) << c.text << " ~ " << c.pattern;
}

} // namespace

namespace {

// The picker mid-selection, drawn for a person to look at: the colleagues
// all chosen, two parents of class 1, the total badge at 6.
// A row whose second line is empty (a group with nothing ticked, a person
// without remarks) shows its name level with its checkbox.
int expectNamesLevelWithTheirBoxes(UITableView& table, const char* secondLine)
{
    int rows = 0;
    for (const auto& cell : table.visibleCells()) {
        auto name = findViewByOutlet(cell, "lblName");
        auto box = findViewByOutlet(cell, "imgCheckBox");
        if (!name || !box || !textOf(cell, secondLine).empty())
            continue;
        ++rows;
        EXPECT_NEAR(name->frame().midY(), box->frame().midY(), 0.5) << textOf(cell, "lblName");
    }
    return rows;
}

TEST_F(ContactSelectTest, RendersMidSelection)
{
    // A colleague without remarks.
    book.contacts.at(kColleagues).front()->remarks = "";
    openPicker();
    tickGroup(kColleagues);
    ASSERT_TRUE(harness().selectRow(table("groupTableView"), 0, rowOf(kClassOne)));
    ASSERT_TRUE(harness().selectRow(table("detailTableView"), 0, 0));
    ASSERT_TRUE(harness().selectRow(table("detailTableView"), 0, 2));
    EXPECT_FALSE(harness().render("messaging-compose-picker-group.png").empty());
    ASSERT_TRUE(tapNamed("btnBack"));
    settle(harness());
    EXPECT_EQ(total(), "6");
    EXPECT_FALSE(harness().render("messaging-compose-picker.png").empty());
    EXPECT_GT(expectNamesLevelWithTheirBoxes(*table("groupTableView"), "lblCount"), 0);
    ASSERT_TRUE(harness().selectRow(table("groupTableView"), 0, rowOf(kColleagues)));
    EXPECT_GT(expectNamesLevelWithTheirBoxes(*table("detailTableView"), "lblRemarks"), 0);
    EXPECT_FALSE(harness().render("messaging-compose-picker-colleagues.png").empty());
}

} // namespace
