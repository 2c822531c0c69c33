// The navigation rows of the message box (its first section): what the
// server says is new in a feature, asked for at the box's first appearance,
// every 60 ticks after and on pull-down; a new answer replaces the rows, and
// a tap on a row opens its feature's screen. Against the stand-in server's
// demo school on the manual clock.
#include "messaging/box/MessageBoxViewController.h"
#include "tests/messaging/box/BoxTestSupport.h"

#include "app/main/ORBViewController.h"
#include "app/navigation/NavigationInfo.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "core/store/MessageFactory.h"
#include "messaging/box/MessageEmptyCell.h"
#include "messaging/box/MessageNavigationCell.h"
#include "messaging/box/MessageSingleCell.h"
#include "platform/os/DateFormat.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"
#include "server/StandinServer.h"
#include "tests/support/app/ScreenFoot.h"
#include "tests/support/app/SignedInScreen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <vector>

using server::ScriptedReply;
using namespace testsupport;

namespace {

constexpr const char* kNavigation = core::ORBEndpoints::Cmd::kNavigationMessages;
constexpr const char* kParent = "13800000002";
constexpr const char* kStudent = "13800000006";
constexpr const char* kStudentPassword = "student123";

// Starts the client, signs the person in through the screens and opens the
// message tab; the box once its notices are in, nullptr when they never come.
// `noConversation`: the server has no message for the person, so the box
// lists none.
std::shared_ptr<MessageBoxViewController> boxWithNotices(
    AppHarness& harness, const char* account, const char* password, bool noConversation = false)
{
    if (!startClient(harness))
        return nullptr;
    if (noConversation)
        harness.server()->script().forCommand(
            "20101", ScriptedReply::custom(200, R"({"resultState":1,"items":[]})"), 10);
    if (!signInThroughScreens(harness, account, password))
        return nullptr;
    mainScreen()->switchToView(ORBViewController::kMessageTab);
    settle(harness);
    if (!harness.runUntil(
            [&] { return boxtest::boxIdle() && boxtest::box() && !boxtest::box()->navigationRows().empty(); }, 20))
        return nullptr;
    return boxtest::box();
}

std::vector<int> typesOf(const MessageBoxViewController& box)
{
    std::vector<int> types;
    for (const auto& row : box.navigationRows())
        types.push_back(row->eventType);
    return types;
}

std::shared_ptr<UITableViewCell> shownRow(const std::shared_ptr<MessageBoxViewController>& box, long row, long section)
{
    auto table = boxtest::table(box);
    table->layoutIfNeeded();
    return table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, section));
}

class MessageBoxNavigationTest : public SignedInScreenTest {
protected:
    void signIn(const char* account = kDemoTeacher, const char* password = kDemoTeacherPassword)
    {
        SignedInScreenTest::signIn(account, password, 0);
        ASSERT_TRUE(box());
        waitIdle();
    }

    static std::shared_ptr<MessageBoxViewController> box() { return boxtest::box(); }

    void waitIdle() { ASSERT_TRUE(harness.runUntil(boxtest::boxIdle, 20)); }

    // Shows the message tab and lets what its appearance asks for come back.
    void openMessageTab()
    {
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        harness.loop().runUntilIdle();
        ASSERT_TRUE(harness.runUntil([&] { return count(kNavigation) >= 1; }, 20)) << "no navigation request";
        waitIdle();
    }

    std::size_t count(const char* command) const { return harness.server()->requests().withCommand(command).size(); }

    long navigationRowsShown() const
    {
        return boxtest::table(box())->numberOfRowsInSection(MessageBoxViewController::kNavigationSection);
    }

    // Advances to the tick that sends the next navigation request (not past it).
    void advanceToNextNavigation()
    {
        harness.advance(MessageBoxViewController::kNavPollTicks - box()->navTicks());
        ASSERT_EQ(box()->navTicks(), 0);
    }

    AppHarness& harness = SignedInScreenTest::harness();
};

TEST_F(MessageBoxNavigationTest, TheTeachersRowsShowOnTheMessageTab)
{
    signIn();
    openMessageTab();
    auto asked = harness.server()->requests().withCommand(kNavigation);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked.front().route, "combine/html5");
    EXPECT_EQ(asked.front().bodyValue("userId").intValue(), core::MyAccountInfo::currentAccount()->uid);
    EXPECT_EQ(asked.front().bodyValue("accountType").intValue(), 1);

    // The demo school's notices for teachers, newest first.
    EXPECT_EQ(typesOf(*box()), (std::vector<int> { 2, 3, 5, 6, 14 }));
    ASSERT_EQ(navigationRowsShown(), 5);
    const std::vector<std::string> titles { "CTD电话", "短信历史", "点评学生", "布置作业", "问卷调查" };
    for (long i = 0; i < 5; ++i) {
        SCOPED_TRACE(titles[std::size_t(i)]);
        auto cell = std::dynamic_pointer_cast<MessageNavigationCell>(
            shownRow(box(), i, MessageBoxViewController::kNavigationSection));
        ASSERT_TRUE(cell);
        EXPECT_EQ(boxtest::text(cell, "lblName"), titles[std::size_t(i)]);
        EXPECT_EQ(boxtest::text(cell, "lblContent"), box()->navigationRows()[std::size_t(i)]->content);
        EXPECT_FALSE(boxtest::text(cell, "lblContent").empty());
        auto time = platform::DateFormatter("yyyy-MM-dd HH:mm:ss")
                        .dateFromString(box()->navigationRows()[std::size_t(i)]->dateTimeStr);
        ASSERT_TRUE(time);
        EXPECT_EQ(boxtest::text(cell, "lblTime"), MessageSingleCell::timeText(*time, platform::Date::now()));
    }
    // The conversations stay below them.
    EXPECT_EQ(box()->listData().size(), 2u);
    EXPECT_GT(boxtest::table(box())->numberOfRowsInSection(MessageBoxViewController::kListSection), 0);
}

TEST_F(MessageBoxNavigationTest, TheTickAsksEverySixtyTicksAndTheRowsDoNotPileUp)
{
    signIn();
    openMessageTab();
    ASSERT_EQ(count(kNavigation), 1u);
    const std::vector<int> first = typesOf(*box());
    ASSERT_FALSE(first.empty());

    advanceToNextNavigation();
    EXPECT_EQ(count(kNavigation), 1u) << "not before the 60th tick";
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(count(kNavigation), 2u);
    EXPECT_EQ(typesOf(*box()), first) << "the answer replaces the rows";
    EXPECT_EQ(navigationRowsShown(), long(first.size()));

    harness.advance(MessageBoxViewController::kNavPollTicks - 1);
    EXPECT_EQ(count(kNavigation), 2u);
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(count(kNavigation), 3u);
    EXPECT_EQ(navigationRowsShown(), long(first.size()));

    // Leaving the tab and coming back asks nothing more: only the first appearance does.
    mainScreen()->switchToView(ORBViewController::kCircleTab);
    mainScreen()->switchToView(ORBViewController::kMessageTab);
    harness.loop().runUntilIdle();
    waitIdle();
    EXPECT_EQ(count(kNavigation), 3u);
}

TEST_F(MessageBoxNavigationTest, APullDownAsksAgainAndAHeldAnswerHoldsTheNext)
{
    signIn();
    openMessageTab();
    const std::size_t rows = box()->navigationRows().size();
    ASSERT_GT(rows, 0u);
    harness.advance(5);
    waitIdle();
    ASSERT_EQ(count(kNavigation), 1u);

    auto table = boxtest::table(box());
    harness.drag(table, 90);
    ASSERT_TRUE(table->isReloading());
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(count(kNavigation), 2u);
    EXPECT_EQ(box()->navigationRows().size(), rows);
    EXPECT_FALSE(table->isReloading());

    // While an answer is out no second request goes: the first tick after it asks.
    harness.server()->script().forCommand(kNavigation, ScriptedReply::normal().delayed(1.5));
    advanceToNextNavigation();
    harness.advance(1);
    ASSERT_TRUE(box()->isLoadingNavigation());
    harness.drag(table, 90);
    harness.advance(3);
    ASSERT_TRUE(harness.runUntil([&] { return !box()->isLoadingNavigation(); }, 20));
    EXPECT_EQ(count(kNavigation), 3u);
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(count(kNavigation), 4u) << "the pull-down's request goes once the held one is back";
    EXPECT_EQ(box()->navigationRows().size(), rows);
}

TEST_F(MessageBoxNavigationTest, ANewAnswerReplacesTheRowsAndARefusalKeepsThem)
{
    signIn();
    openMessageTab();
    ASSERT_EQ(box()->navigationRows().size(), 5u);

    harness.server()->script().forCommand(kNavigation,
        ScriptedReply::custom(
            200, R"([{"eventType":25,"content":"成长期刊第5期已发布","count":1,"dateTime":"2026-01-05 08:00:00"}])"));
    advanceToNextNavigation();
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(typesOf(*box()), (std::vector<int> { 25 }));
    ASSERT_EQ(navigationRowsShown(), 1);
    auto cell = shownRow(box(), 0, MessageBoxViewController::kNavigationSection);
    EXPECT_EQ(boxtest::text(cell, "lblName"), "成长期刊");
    EXPECT_EQ(boxtest::text(cell, "lblContent"), "成长期刊第5期已发布");

    // An answer that is no list of rows changes nothing.
    harness.server()->script().forCommand(kNavigation, ScriptedReply::errorEnvelope("系统繁忙"));
    advanceToNextNavigation();
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(typesOf(*box()), (std::vector<int> { 25 }));

    // Nor does one longer than its kind can be: refused unread.
    std::string many = "[";
    while (many.size() < (300 << 10))
        many += R"({"eventType":26,"content":"新作业","count":1,"dateTime":"2026-01-05 08:00:00"},)";
    many.back() = ']';
    harness.server()->script().forCommand(kNavigation, ScriptedReply::custom(200, many));
    advanceToNextNavigation();
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(typesOf(*box()), (std::vector<int> { 25 }));

    // An empty list empties the section.
    harness.server()->script().forCommand(kNavigation, ScriptedReply::custom(200, "[]"));
    advanceToNextNavigation();
    harness.advance(1);
    waitIdle();
    EXPECT_EQ(navigationRowsShown(), 0);
}

// Every row of every role opens the screen its navigation type names, and
// between them the three roles reach every screen those rows can open.
TEST(MessageBoxNavigationRows, EachRowOpensItsFeatureForEveryRole)
{
    struct Role {
        const char* account;
        const char* password;
        std::vector<int> types;
    };
    const Role roles[] = {
        { kDemoTeacher, kDemoTeacherPassword, { 2, 3, 5, 6, 14 } },
        { kParent, kDemoParentPassword, { 4, 6, 25, 5 } },
        { kStudent, kStudentPassword, { 6, 8, 14 } },
    };
    std::set<std::string> opened;
    for (const Role& role : roles) {
        SCOPED_TRACE(role.account);
        AppHarness harness;
        auto box = boxWithNotices(harness, role.account, role.password);
        ASSERT_TRUE(box);
        EXPECT_EQ(typesOf(*box), role.types);
        auto table = boxtest::table(box);
        auto navigation = box->navigationController();
        ASSERT_TRUE(navigation);
        for (std::size_t i = 0; i < box->navigationRows().size(); ++i) {
            const int type = box->navigationRows()[i]->eventType;
            SCOPED_TRACE(type);
            const auto screen = NavigationInfo(type).viewController();
            ASSERT_TRUE(screen);
            ASSERT_TRUE(harness.selectRow(table, MessageBoxViewController::kNavigationSection, long(i)));
            settle(harness, 0.6);
            ASSERT_TRUE(navigation->topViewController());
            EXPECT_EQ(navigation->topViewController()->className(), *screen);
            EXPECT_EQ(navigation->viewControllers().size(), 2u) << "one screen per tap";
            opened.insert(navigation->topViewController()->className());
            navigation->popToRootViewControllerAnimated(false);
            settle(harness, 0.6);
            ASSERT_EQ(navigation->topViewController(), box);
            // A screen left while its first page loads keeps its loading
            // overlay on the window until the answer comes.
            ASSERT_TRUE(harness.runUntilOverlayGone());
        }
        core::MyAccountInfo::setInstance(nullptr);
    }
    EXPECT_EQ(opened,
        (std::set<std::string> { "CTDCallViewController", "SMSHistoryViewController", "SchoolNoticeViewController",
            "CommentStudentViewController", "HomeWorkListViewController", "OnlineServiceViewController",
            "QuestionnaireSurveyViewController", "MagazineListViewController" }));
}

// What an avatar's pixels hold: how many are see-through, how many white
// (the feature's icon), and the colour of its tile near the top edge.
struct AvatarPixels {
    std::size_t total = 0;
    std::size_t transparent = 0;
    std::size_t white = 0;
    std::size_t commonest = 0;
    std::array<std::uint8_t, 4> tile {};
};

AvatarPixels countPixels(const platform::Image& image)
{
    AvatarPixels counted;
    std::map<std::uint32_t, std::size_t> colours;
    for (int y = 0; y < image.pixelHeight(); ++y)
        for (int x = 0; x < image.pixelWidth(); ++x) {
            const auto p = image.pixelAt(x, y);
            ++counted.total;
            if (p[3] < 16)
                ++counted.transparent;
            else if (p[3] > 240 && p[0] > 235 && p[1] > 235 && p[2] > 235)
                ++counted.white;
            ++colours[std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3]];
        }
    for (const auto& [colour, n] : colours)
        counted.commonest = std::max(counted.commonest, n);
    counted.tile = image.pixelAt(image.pixelWidth() / 2, image.pixelHeight() / 10);
    return counted;
}

int colourDistance(const std::array<std::uint8_t, 4>& a, const std::array<std::uint8_t, 4>& b)
{
    return std::abs(a[0] - b[0]) + std::abs(a[1] - b[1]) + std::abs(a[2] - b[2]);
}

// Every row of every role shows its feature's picture: a white icon on an
// opaque coloured tile, each feature of a role in a colour of its own.
TEST(MessageBoxNavigationRows, EveryRowShowsItsFeaturesAvatar)
{
    struct Role {
        const char* account;
        const char* password;
        const char* render;
    };
    const Role roles[] = {
        { kDemoTeacher, kDemoTeacherPassword, "message-box-navigation-avatars-teacher.png" },
        { kParent, kDemoParentPassword, "message-box-navigation-avatars-parent.png" },
        { kStudent, kStudentPassword, "message-box-navigation-avatars-student.png" },
    };
    std::set<int> seen;
    for (const Role& role : roles) {
        SCOPED_TRACE(role.account);
        AppHarnessOptions options;
        options.screen = UIScreen::Kind::FourInch;
        AppHarness harness(options);
        auto box = boxWithNotices(harness, role.account, role.password);
        ASSERT_TRUE(box);
        std::vector<std::array<std::uint8_t, 4>> tiles;
        for (std::size_t i = 0; i < box->navigationRows().size(); ++i) {
            const int type = box->navigationRows()[i]->eventType;
            SCOPED_TRACE(type);
            seen.insert(type);
            auto cell = shownRow(box, long(i), MessageBoxViewController::kNavigationSection);
            ASSERT_TRUE(std::dynamic_pointer_cast<MessageNavigationCell>(cell));
            auto avatar = boxtest::outlet<UIImageView>(cell, "imgAvatar");
            ASSERT_TRUE(avatar);
            ASSERT_TRUE(avatar->image()) << "no picture for " << boxtest::text(cell, "lblName");
            const platform::Image& image = avatar->image()->CGImage();
            ASSERT_FALSE(image.isNull());
            // At least as large as the place it fills, so it is never blown up.
            EXPECT_GE(avatar->image()->size().width, avatar->frame().width());
            EXPECT_GE(avatar->image()->size().height, avatar->frame().height());
            const AvatarPixels pixels = countPixels(image);
            // Only the tile's rounded corners are see-through.
            EXPECT_LT(pixels.transparent * 20, pixels.total) << pixels.transparent << " of " << pixels.total;
            // The icon: a clear white glyph, neither a speck nor the whole tile.
            EXPECT_GT(pixels.white * 25, pixels.total) << pixels.white << " of " << pixels.total;
            EXPECT_LT(pixels.white * 2, pixels.total) << pixels.white << " of " << pixels.total;
            EXPECT_LT(pixels.commonest * 10, pixels.total * 9) << "one colour";
            // The tile is coloured, not white, grey or see-through.
            const auto& t = pixels.tile;
            EXPECT_EQ(t[3], 255);
            EXPECT_GT(std::max({ t[0], t[1], t[2] }) - std::min({ t[0], t[1], t[2] }), 60);
            for (const auto& other : tiles)
                EXPECT_GT(colourDistance(t, other), 40) << "two features of one role share a colour";
            tiles.push_back(t);
        }
        settle(harness, 0.5);
        EXPECT_FALSE(harness.render(role.render).empty());
        core::MyAccountInfo::setInstance(nullptr);
    }
    EXPECT_EQ(seen, (std::set<int> { 2, 3, 4, 5, 6, 8, 14, 25 }));
}

TEST(MessageBoxNavigationRows, RenderedOnBothScreens)
{
    struct Row {
        UIScreen::Kind screen;
        const char* account;
        const char* password;
        const char* render;
        // No conversation yet: the empty row shows under the navigation rows.
        bool empty;
    };
    // The parent of two has four navigation rows: with no conversation yet,
    // on the 3.5-inch screen they leave less above the tab bar than the empty
    // row's picture and lines take.
    for (const Row& row : {
             Row { UIScreen::Kind::FourInch, kDemoTeacher, kDemoTeacherPassword, "message-box-navigation-4inch.png",
                 false },
             Row { UIScreen::Kind::ThreePointFiveInch, kDemoTeacher, kDemoTeacherPassword,
                 "message-box-navigation-3.5inch.png", false },
             Row {
                 UIScreen::Kind::FourInch, kDemoParentOfTwo, kDemoParentPassword, "message-box-empty-4inch.png", true },
             Row { UIScreen::Kind::ThreePointFiveInch, kDemoParentOfTwo, kDemoParentPassword,
                 "message-box-empty-3.5inch.png", true },
         }) {
        SCOPED_TRACE(row.render);
        AppHarnessOptions options;
        options.screen = row.screen;
        AppHarness harness(options);
        auto box = boxWithNotices(harness, row.account, row.password, row.empty);
        ASSERT_TRUE(box);
        auto table = boxtest::table(box);
        table->layoutIfNeeded();
        // The first row sits at the top of the list, under the bar.
        auto first = shownRow(box, 0, MessageBoxViewController::kNavigationSection);
        ASSERT_TRUE(std::dynamic_pointer_cast<MessageNavigationCell>(first));
        EXPECT_DOUBLE_EQ(first->frame().minY(), 0);
        settle(harness, 0.5);
        if (row.empty) {
            // Seen as the box opens, undragged: the picture and its lines
            // whole between the last navigation row and the tab bar.
            EXPECT_EQ(box->navigationRows().size(), 4u);
            table->layoutIfNeeded();
            auto empty
                = std::dynamic_pointer_cast<MessageEmptyCell>(shownRow(box, 0, MessageBoxViewController::kListSection));
            ASSERT_TRUE(empty) << "no empty row: "
                               << shownRow(box, 0, MessageBoxViewController::kListSection)->className() << " rows "
                               << table->numberOfRowsInSection(1) << " nav " << box->navigationRows().size();
            const auto tabBarTop = shownTabBarTop();
            ASSERT_TRUE(tabBarTop);
            const auto lastRow = screenFrameOf(
                *shownRow(box, long(box->navigationRows().size()) - 1, MessageBoxViewController::kNavigationSection));
            ASSERT_TRUE(empty->wrapperView());
            int shown = 0;
            for (const auto& part : empty->wrapperView()->subviews()) {
                if (part->isHidden())
                    continue;
                ++shown;
                const auto frame = screenFrameOf(*part);
                SCOPED_TRACE(part->className() + std::string(" ") + textOf(part));
                EXPECT_GE(frame.minY(), lastRow.maxY() - 0.5);
                EXPECT_LE(frame.maxY(), *tabBarTop + 0.5) << "cut by the tab bar";
            }
            EXPECT_GE(shown, 2) << "the picture and 暂无消息";
            EXPECT_TRUE(findViewByText(empty, "暂无消息"));
        }
        EXPECT_FALSE(harness.render(row.render).empty());
        core::MyAccountInfo::setInstance(nullptr);
    }
}

} // namespace
