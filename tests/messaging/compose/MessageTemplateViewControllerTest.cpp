// The templates screen opened from the composer on the demo teacher's
// client: the category request, then the template request with the newest
// stored time, the merge into the store and the list, the category
// drop-down, the search, and a template expanded and used.
#include "messaging/compose/MessageTemplateViewController.h"

#include "app/main/ORBViewController.h"
#include "core/session/ORBEndpoints.h"
#include "core/util/GlobalColor.h"
#include "core/store/MessageTemplateFactory.h"
#include "messaging/compose/MessageSendViewController.h"
#include "messaging/compose/ZPDropDownListView.h"
#include "platform/graphics/Image.h"
#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "platform/os/StringUtil.h"
#include "server/StandinServer.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

using namespace testsupport;
using server::ScriptedReply;

namespace {

constexpr const char* kTypes = core::ORBEndpoints::Cmd::kTemplateTypes;
constexpr const char* kTemplates = core::ORBEndpoints::Cmd::kTemplates;
// The stand-in's seven templates: two of category type 1, two of 2, three of 3.
constexpr std::size_t kServerTemplates = 7;
const std::string kLongText = "各位家长：本周六上午九点在学校礼堂召开家长会，请准时参加，谢谢！";

std::shared_ptr<core::MessageTemplateInfo> stored(int id, const std::string& text, int type, int useCount)
{
    auto info = std::make_shared<core::MessageTemplateInfo>();
    info->msgId = id;
    info->msgInfo = text;
    info->msgType = type;
    info->useCount = useCount;
    info->dateTime = "2024-01-01 00:00:00";
    return info;
}

// Stored with their use counts (a store write starts every count at 0).
bool storeAll(core::MessageTemplateFactory& store, const core::TemplateList& templates)
{
    if (!store.setMessageTemplateContents(templates))
        return false;
    for (const auto& info : templates)
        if (!store.updateMessageTemplateContentUseCount(info->useCount, info->msgId))
            return false;
    return true;
}

class TemplateTest : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        SignedInScreenTest::SetUp();
        signIn();
    }

    // From the composer's template button.
    std::shared_ptr<MessageTemplateViewController> openTemplates()
    {
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        settle(harness());
        compose = std::make_shared<MessageSendViewController>();
        open(compose, ORBViewController::kMessageTab);
        EXPECT_TRUE(harness().tap(harness().viewByOutlet("btnUseMsgTemplate")));
        settle(harness());
        return std::dynamic_pointer_cast<MessageTemplateViewController>(harness().topScreen());
    }
    std::shared_ptr<UITableView> list() const
    {
        return std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("msgTableView"));
    }
    std::vector<std::string> rows() const
    {
        std::vector<std::string> texts;
        auto table = list();
        for (long row = 0; table && row < table->numberOfRowsInSection(0); ++row)
            texts.push_back(visibleCell<UITableViewCell>(*table, row)->textLabel()->text());
        return texts;
    }
    std::shared_ptr<ZPDropDownListView> dropDown() const
    {
        return std::dynamic_pointer_cast<ZPDropDownListView>(harness().viewByOutlet("dropDownListView"));
    }
    std::vector<std::string> categories() const
    {
        std::vector<std::string> names;
        for (const auto& type : *dropDown()->typeList())
            names.push_back(type->titleName);
        return names;
    }
    std::shared_ptr<UITextField> search() const
    {
        return std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet("searchTextField"));
    }
    void chooseCategory(long row)
    {
        ASSERT_TRUE(harness().tap(harness().viewByOutlet("titleView")));
        ASSERT_TRUE(dropDown()->isShowingList());
        auto table = std::dynamic_pointer_cast<UITableView>(findViewByOutlet(dropDown(), "dropDownTable"));
        ASSERT_NE(table, nullptr);
        ASSERT_TRUE(harness().selectRow(table, 0, row));
        EXPECT_FALSE(dropDown()->isShowingList());
    }
    std::string title() const
    {
        auto button = std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet("titleView"));
        return button ? button->titleForState(UIControlStateNormal).value_or("") : "";
    }

    std::shared_ptr<MessageSendViewController> compose;
};

// Nothing stored and the server unreachable: an empty list, only "全部模板"
// to choose, and no template request after the failed category request,
// which carries the template requests' short set of keys.
TEST_F(TemplateTest, EmptyStoreAndNoServerLeaveOnlyAllTemplates)
{
    harness().server()->script().forCommand(kTypes, ScriptedReply::connectionReset());
    auto screen = openTemplates();
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(waitForAnswer(kTypes) || !requests(kTypes).empty());
    // Nothing shows that the failure has been handled: give its callback a
    // moment to arrive (a template request would follow it at once).
    harness().runUntil([] { return false; }, 0.3);
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(categories(), std::vector<std::string> { "全部模板" });
    EXPECT_EQ(title(), "全部模板");
    EXPECT_TRUE(requests(kTemplates).empty());
    ASSERT_EQ(requests(kTypes).size(), 1u);
    std::vector<std::string> keys;
    const auto logged = requests(kTypes);
    ASSERT_TRUE(logged[0].json && logged[0].json->isDictionary());
    for (const auto& [key, value] : *logged[0].json->asDictionary())
        keys.push_back(key);
    std::sort(keys.begin(), keys.end());
    EXPECT_EQ(keys, (std::vector<std::string> { "accountType", "areaAbb", "cmd", "schoolId", "userId" }));
}

// Answers longer than a list can be are refused unread: no category and no
// template of theirs reaches the screen or the store.
TEST_F(TemplateTest, AnswersLongerThanAListCanBeAddNothing)
{
    const std::string padding = R"(],"note":")" + std::string(std::size_t { 5 } << 20, 'x') + "\"}";
    harness().server()->script().forCommand(kTypes,
        ScriptedReply::custom(200,
            R"({"resultState":1,"items":[{"titleId":77,"titleName":"过长分类","titleType":2,"dateTime":"2025-01-01 00:00:00"})"
                + padding));
    harness().server()->script().forCommand(kTemplates,
        ScriptedReply::custom(200,
            R"({"resultState":1,"items":[{"msgId":7701,"msgInfo":"过长模板","msgType":2,"dateTime":"2025-01-01 00:00:00"})"
                + padding));
    auto screen = openTemplates();
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(waitForAnswer(kTypes));
    ASSERT_TRUE(waitForAnswer(kTemplates));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(rows().empty());
    EXPECT_EQ(categories(), std::vector<std::string> { "全部模板" });
    core::MessageTemplateFactory store;
    EXPECT_TRUE(store.getMessageTemplateTypes().value_or(core::TemplateTypeList {}).empty());
    EXPECT_TRUE(store.getMessageTemplateContents().value_or(core::TemplateList {}).empty());
}

// Stored templates come most used first; the server's categories join the
// drop-down and the store, then its templates newer than the stored ones
// join the end of the list and the store with "短信模板更新成功". A category
// and a search chosen while they were on the way still hold when they land.
TEST_F(TemplateTest, MergesTheServersTemplatesAndKeepsTheChosenCategoryAndSearch)
{
    core::MessageTemplateFactory store;
    ASSERT_TRUE(storeAll(store, { stored(901, "请带上 PE Kit 参加体育课", 2, 5),
        stored(902, "家长会通知：周五下午三点", 2, 9), stored(903, kLongText, 1, 1), stored(3, "旧的体检通知", 2, 0) }));

    auto held = holdNext(kTemplates);
    auto screen = openTemplates();
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(rows(), (std::vector<std::string> { "家长会通知：周五下午三点", "请带上 PE Kit 参加体育课", kLongText, "旧的体检通知" }));
    ASSERT_TRUE(waitForAnswer(kTypes));
    ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1; }));
    EXPECT_EQ(categories(), (std::vector<std::string> { "全部模板", "节日祝福", "日常通知", "学习提醒" }));
    EXPECT_EQ(store.getMessageTemplateTypes().value_or(core::TemplateTypeList {}).size(), 3u);
    EXPECT_EQ(requests(kTemplates)[0].bodyValue("dateTime").stringValue(), "2024-01-01 00:00:00");

    // Open, the list drops to the rows' height and takes the front.
    const auto animationsBefore = platform::AnimationLog::records().size();
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("titleView")));
    EXPECT_DOUBLE_EQ(dropDown()->frame().height(), 4 * ZPDropDownListView::kRowHeight + ZPDropDownListView::kStripHeight);
    // Other animations (an overlay going) may run beside the list's.
    const auto& animations = platform::AnimationLog::records();
    EXPECT_TRUE(std::any_of(animations.begin() + long(std::min(animationsBefore, animations.size())), animations.end(),
        [](const auto& record) { return record.name == "ResizeForKeyBoard"; }));
    EXPECT_FALSE(harness().render("messaging-compose-templates-dropdown.png").empty());
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("titleView")));
    EXPECT_DOUBLE_EQ(dropDown()->frame().height(), ZPDropDownListView::kStripHeight);

    chooseCategory(2); // 日常通知, type 2
    EXPECT_EQ(title(), "日常通知");
    EXPECT_EQ(rows(), (std::vector<std::string> { "家长会通知：周五下午三点", "请带上 PE Kit 参加体育课", "旧的体检通知" }));
    ASSERT_TRUE(harness().type(search(), "pe kit"));
    EXPECT_EQ(rows(), std::vector<std::string> { "请带上 PE Kit 参加体育课" });

    held->open();
    ASSERT_TRUE(waitForAnswer(kTemplates));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "短信模板更新成功"; }));
    EXPECT_EQ(rows(), std::vector<std::string> { "请带上 PE Kit 参加体育课" }) << "category and search still hold";
    EXPECT_EQ(store.getMessageTemplateContents().value_or(core::TemplateList {}).size(), 3 + kServerTemplates);
    harness().advance(MessageTemplateViewController::kUpdatedHideDelay + 0.5);
    EXPECT_EQ(harness().overlayText(), "");

    search()->setText("");
    search()->sendActionsForControlEvents(UIControlEventEditingChanged);
    EXPECT_EQ(rows(), (std::vector<std::string> { "家长会通知：周五下午三点", "请带上 PE Kit 参加体育课",
                          "明天学校组织体检，请孩子穿便于活动的衣服。", "本周五下午提前放学，请家长按时接孩子。" }));
    // The server's template 3 took the stored one's place instead of adding a second row.
    // A category change empties the search; "全部模板" lists everything, the server's last.
    ASSERT_TRUE(harness().type(search(), "家长"));
    chooseCategory(0);
    EXPECT_EQ(search()->text(), "");
    EXPECT_EQ(title(), "全部模板");
    auto all = rows();
    ASSERT_EQ(all.size(), 3 + kServerTemplates);
    EXPECT_EQ(all[2], kLongText);
    EXPECT_EQ(all.back(), "请家长每天陪孩子阅读二十分钟。");
    EXPECT_EQ(std::count(all.begin(), all.end(), "旧的体检通知"), 0);
    // A search across every category, case aside.
    ASSERT_TRUE(harness().type(search(), "孩子"));
    EXPECT_EQ(rows().size(), 5u);
}

// A text of 36 characters is shown whole on the first tap and used on the
// second; one of 35 or fewer is used at once. Using it fills the composer's
// text and closes the screen; the use count stays as stored.
TEST_F(TemplateTest, ALongTemplateExpandsBeforeItIsUsed)
{
    ASSERT_EQ(platform::utf16Length(kLongText), 32u);
    const std::string longer = kLongText + "好的。";
    ASSERT_EQ(platform::utf16Length(longer), 35u);
    const std::string longest = longer + "。";
    core::MessageTemplateFactory store;
    ASSERT_TRUE(storeAll(store, { stored(910, longest, 1, 3), stored(911, longer, 1, 2) }));
    // Both openings of the screen: a reply landing on the second would put
    // its "updated" notice over the rows at whatever moment it arrives.
    harness().server()->script().forCommand(kTypes, ScriptedReply::connectionReset(), 2);

    auto screen = openTemplates();
    ASSERT_NE(screen, nullptr);
    ASSERT_EQ(rows(), (std::vector<std::string> { longest, longer }));
    auto first = visibleCell<UITableViewCell>(*list(), 0);
    EXPECT_NE(first->accessoryView(), nullptr) << "a long text shows its arrow";
    EXPECT_EQ(visibleCell<UITableViewCell>(*list(), 1)->accessoryView(), nullptr);
    EXPECT_DOUBLE_EQ(list()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)).height(), 70);

    NotificationRecorder notes;
    ASSERT_TRUE(harness().selectRow(list(), 0, 0));
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_EQ(notes.count(MessageTemplateViewController::kNotification), 0u);
    auto expanded = visibleCell<UITableViewCell>(*list(), 0);
    EXPECT_EQ(expanded->textLabel()->numberOfLines(), 0);
    EXPECT_EQ(expanded->textLabel()->textColor(), platform::Color::whiteColor());
    EXPECT_GE(list()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)).height(), 70);
    EXPECT_FALSE(harness().render("messaging-compose-templates-expanded.png").empty());

    ASSERT_TRUE(harness().selectRow(list(), 0, 0));
    settle(harness());
    EXPECT_EQ(harness().topScreen(), compose);
    auto text = std::dynamic_pointer_cast<UITextView>(harness().viewByOutlet("txtContent"));
    EXPECT_EQ(text->text(), longest);
    EXPECT_EQ(textOf(harness().viewByOutlet("charCountLabel")), std::to_string(250 - 36));

    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnUseMsgTemplate")));
    settle(harness());
    ASSERT_TRUE(harness().selectRow(list(), 0, 1));
    settle(harness());
    EXPECT_EQ(harness().topScreen(), compose);
    EXPECT_EQ(text->text(), longer);
    for (const auto& info : store.getMessageTemplateContents().value_or(core::TemplateList {}))
        if (info->msgId == 910) {
            EXPECT_EQ(info->useCount, 3);
        }
}

} // namespace

namespace {

std::shared_ptr<ZPDropDownListView::TypeList> typesNamed(std::initializer_list<const char*> names)
{
    auto list = std::make_shared<ZPDropDownListView::TypeList>();
    int id = 1;
    for (const char* name : names) {
        auto type = std::make_shared<core::MessageTemplateType>();
        type->titleId = id;
        type->titleType = id++;
        type->titleName = name;
        list->push_back(type);
    }
    return list;
}

class DropDownRecorder : public DropDownListViewDelegate {
public:
    void onDropDownItemClick(const NSIndexPath& indexPath) override { rows.push_back(indexPath.row); }
    std::vector<long> rows;
};

// "全部模板" goes in front once per list; a new list empties the old one; the
// open height follows the rows up to 250 points; a second show closes; a
// chosen row is told to the delegate and closes the list.
TEST(ZPDropDownList, HoldsTheCallersListAndOpensToItsRows)
{
    auto view = ZPDropDownListView::initWithFrame(platform::Rect(90, -30, 140, 400));
    EXPECT_DOUBLE_EQ(view->frame().height(), ZPDropDownListView::kStripHeight);
    auto first = typesNamed({ "作业", "通知" });
    view->setTypeList(first);
    view->setTypeList(first);
    ASSERT_EQ(first->size(), 3u);
    EXPECT_EQ(first->front()->titleName, "全部模板");
    EXPECT_EQ(first->front()->titleType, 0);
    view->reloadData();
    view->showAsDropDown();
    EXPECT_TRUE(view->isShowingList());
    EXPECT_DOUBLE_EQ(view->frame().height(), 3 * ZPDropDownListView::kRowHeight + ZPDropDownListView::kStripHeight);
    view->showAsDropDown();
    EXPECT_FALSE(view->isShowingList());
    EXPECT_DOUBLE_EQ(view->frame().height(), ZPDropDownListView::kStripHeight);

    auto second = typesNamed({ "一", "二", "三", "四", "五" });
    view->setTypeList(second);
    EXPECT_TRUE(first->empty()) << "the list held before is emptied";
    ASSERT_EQ(second->size(), 6u);
    view->reloadData();
    view->showAsDropDown();
    EXPECT_DOUBLE_EQ(view->frame().height(), ZPDropDownListView::kMaxHeight);

    auto recorder = std::make_shared<DropDownRecorder>();
    view->setDelegate(recorder);
    auto table = std::dynamic_pointer_cast<UITableView>(findViewByOutlet(view, "dropDownTable"));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->numberOfRowsInSection(0), 6);
    table->tableDelegate()->didSelectRowAtIndexPath(table.get(), NSIndexPath::indexPathForRow(4, 0));
    EXPECT_EQ(recorder->rows, std::vector<long> { 4 });
    EXPECT_FALSE(view->isShowingList());
}

} // namespace

namespace {

// Back while the category reply is on its way: the screen goes, its reply
// is dropped, and no template request follows.
TEST_F(TemplateTest, LeavingDropsTheRequestsOnTheirWay)
{
    auto held = holdNext(kTypes);
    std::weak_ptr<MessageTemplateViewController> gone;
    {
        auto screen = openTemplates();
        ASSERT_NE(screen, nullptr);
        gone = screen;
        ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1; }));
        auto back = findViewsByClass(harness().viewByOutlet("leftItem"), "UIButton");
        ASSERT_FALSE(back.empty());
        ASSERT_TRUE(harness().tap(back.front()));
        settle(harness());
        EXPECT_EQ(harness().topScreen(), compose);
    }
    EXPECT_TRUE(gone.expired());
    held->open();
    // Cancelled with the screen: its answer reaches nobody.
    ASSERT_TRUE(waitForAnswer(kTypes));
    harness().loop().runUntilIdle();
    EXPECT_TRUE(requests(kTemplates).empty());
    EXPECT_TRUE(core::MessageTemplateFactory().getMessageTemplateTypes().value_or(core::TemplateTypeList {}).empty());
}

} // namespace

namespace {

// The colour of a point of the screen in its picture, `scale` pixels a point.
std::array<int, 3> colourAt(const platform::Image& image, double scale, platform::Point point)
{
    auto p = image.pixelAt(int(point.x * scale), int(point.y * scale));
    return { p[0], p[1], p[2] };
}

bool near(const std::array<int, 3>& a, const std::array<int, 3>& b)
{
    for (std::size_t i = 0; i < 3; ++i)
        if (std::abs(a[i] - b[i]) > 2)
            return false;
    return true;
}

// The open category list is one panel in the theme's main colour: beside a
// row's text the person sees the same colour as behind it, on either screen.
TEST(TemplateDropDown, OpensAsOnePanelInTheThemeColourOnBothScreens)
{
    onBothScreens([&](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        letAddressBookEnd(harness);
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        settle(harness);
        auto navigation = harness.visibleNavigationController();
        ASSERT_NE(navigation, nullptr);
        // Pushed as the composer's template button pushes it.
        navigation->pushViewController(std::make_shared<MessageTemplateViewController>(), true);
        settle(harness);
        ASSERT_TRUE(harness.runUntilAnswered(kTemplates));
        // The server's templates land with their notice, which then goes.
        ASSERT_TRUE(harness.runUntil([&] { return harness.overlayText() == "短信模板更新成功"; }));
        harness.advance(MessageTemplateViewController::kUpdatedHideDelay + 0.5);
        ASSERT_EQ(harness.overlayText(), "");
        auto dropDown = std::dynamic_pointer_cast<ZPDropDownListView>(harness.viewByOutlet("dropDownListView"));
        ASSERT_NE(dropDown, nullptr);
        ASSERT_GT(dropDown->typeList()->size(), 1u);
        ASSERT_TRUE(harness.tap(harness.viewByOutlet("titleView")));
        ASSERT_TRUE(dropDown->isShowingList());
        auto table = std::dynamic_pointer_cast<UITableView>(findViewByOutlet(dropDown, "dropDownTable"));
        ASSERT_NE(table, nullptr);
        table->layoutIfNeeded();

        auto path = harness.render(tall ? "messaging-template-dropdown-4inch.png" : "messaging-template-dropdown-3.5inch.png");
        ASSERT_FALSE(path.empty());
        auto image = platform::Image::fromFile(path);
        ASSERT_TRUE(image);
        auto theme = core::GlobalColor::getColor("main");
        ASSERT_TRUE(theme);
        const std::array<int, 3> main { int(std::lround(theme->red * 255)), int(std::lround(theme->green * 255)),
            int(std::lround(theme->blue * 255)) };
        auto window = harness.window();
        auto list = table->convertRectToView(table->bounds(), window.get());
        const double scale = double(image->pixelWidth()) / window->bounds().width();
        for (long row = 0; row < table->numberOfRowsInSection(0); ++row) {
            SCOPED_TRACE(row);
            auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0));
            ASSERT_NE(cell, nullptr);
            auto label = cell->textLabel()->convertRectToView(cell->textLabel()->bounds(), window.get());
            ASSERT_GT(label.width(), 0);
            // Beside the text at the list's edges, and inside the text's own box clear of its letters.
            auto left = colourAt(*image, scale, platform::Point(list.minX() + 2, label.midY()));
            auto right = colourAt(*image, scale, platform::Point(list.maxX() - 3, label.midY()));
            auto behindText = colourAt(*image, scale, platform::Point(label.minX() + 3, label.midY()));
            EXPECT_TRUE(near(left, behindText)) << left[0] << "," << left[1] << "," << left[2] << " beside, "
                                                << behindText[0] << "," << behindText[1] << "," << behindText[2] << " behind";
            EXPECT_TRUE(near(right, behindText));
            EXPECT_TRUE(near(behindText, main)) << behindText[0] << "," << behindText[1] << "," << behindText[2];
        }
    });
}

} // namespace
