// The video library as a person uses it: grades, then the home of the
// current grade; the grade menu; a subject's list page by page; a video's
// detail, playing it, posting a comment and paging through all comments.
#include "content/library/EVCommentAdd.h"
#include "content/library/EVCommentCells.h"
#include "content/library/EVHomeCells.h"
#include "content/library/EVVideoDetailViewController.h"
#include "content/library/EVVideoListViewController.h"
#include "content/library/EVViewController.h"
#include "content/library/LibraryKit.h"
#include "content/player/ORBMoviePlayerController.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "server/ReplyGate.h"
#include "server/StandinServer.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"
#include "ui/controls/SStarView.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

using namespace content;
using Cmd = core::ORBEndpoints::Cmd;
using platform::Dictionary;
using platform::Value;

constexpr int kTab = 0;

// The first descendant of a class, in the order the views were added.
template <class T> std::shared_ptr<T> firstOf(const std::shared_ptr<UIView>& root, int tag = -1)
{
    if (!root)
        return nullptr;
    for (const auto& child : root->subviews()) {
        if (auto found = std::dynamic_pointer_cast<T>(child); found && (tag < 0 || child->tag() == tag))
            return found;
        if (auto deeper = firstOf<T>(child, tag))
            return deeper;
    }
    return nullptr;
}

class LibraryTest : public testsupport::SignedInScreenTest {
protected:
    Dictionary body(const char* command, std::size_t index) const
    {
        auto all = requests(command);
        if (index >= all.size() || !all[index].json || !all[index].json->isDictionary())
            return {};
        return *all[index].json->asDictionary();
    }
    bool overlayShows(const std::string& text)
    {
        return harness().runUntil([&] { return harness().overlayText() == text; });
    }
    bool alertShows(const std::string& message)
    {
        return harness().runUntil([&] {
            auto alert = harness().currentAlert();
            return alert && alert->title() == "提示" && alert->message() == message;
        });
    }
    void waitForPictures() { testsupport::waitForPictures(harness()); }
    // Signs in and opens the home; waits for its two replies.
    std::shared_ptr<EVViewController> openHome()
    {
        signIn();
        auto home = open(std::make_shared<EVViewController>(), kTab);
        EXPECT_TRUE(waitForAnswer(Cmd::kVideoHome));
        EXPECT_TRUE(harness().runUntil([&] { return home->grade() && harness().overlayText().empty(); }));
        testsupport::settle(harness());
        return home;
    }
    void pullUp(const std::shared_ptr<UITableView>& list)
    {
        list->setContentOffset({ 0, std::max(0.0, list->contentSize().height - list->frame().height()) });
        harness().drag(list, -90);
    }
    std::shared_ptr<RefreshTableView> homeTable() const
    {
        return std::dynamic_pointer_cast<RefreshTableView>(harness().viewByOutlet("tableView"));
    }
    // Home → the subject's "更多" → its list, page 1 answered.
    std::shared_ptr<EVVideoListViewController> openSubject(long section)
    {
        auto header = visibleCell<EVHeaderCell>(*homeTable(), 0, section);
        if (!header)
            return nullptr;
        std::size_t before = requests(Cmd::kVideosBySubject).size() + requests(Cmd::kVideosBySource).size();
        EXPECT_TRUE(harness().tap(firstOf<UIButton>(header)));
        testsupport::settle(harness());
        auto list = std::dynamic_pointer_cast<EVVideoListViewController>(harness().topScreen());
        if (!list)
            return nullptr;
        harness().runUntil(
            [&] { return requests(Cmd::kVideosBySubject).size() + requests(Cmd::kVideosBySource).size() > before; });
        harness().runUntilOverlayGone();
        testsupport::settle(harness());
        return list;
    }
    // Home → 数学 → its first video (321, with 23 comments) → the detail, answered.
    std::shared_ptr<EVVideoDetailViewController> openCommentedVideo()
    {
        openHome();
        auto list = openSubject(2);
        if (!list)
            return nullptr;
        EXPECT_TRUE(harness().selectRow(list->tableView(), 0, 0));
        testsupport::settle(harness());
        auto detail = std::dynamic_pointer_cast<EVVideoDetailViewController>(harness().topScreen());
        if (!detail || !waitForAnswer(Cmd::kVideoDetail))
            return nullptr;
        harness().runUntilOverlayGone();
        testsupport::settle(harness());
        return detail;
    }
};

TEST_F(LibraryTest, GradesThenTheHomeOfTheGradeTheServerNames)
{
    signIn();
    auto gate = holdNext(Cmd::kVideoGrades);
    auto home = open(std::make_shared<EVViewController>(), kTab);
    EXPECT_EQ(home->title(), "教学视频");
    ASSERT_TRUE(overlayShows(library::kLoadingText));
    // No grade yet: no grade button.
    EXPECT_TRUE(home->rightItem()->isHidden());
    EXPECT_TRUE(requests(Cmd::kVideoHome).empty());
    gate->open();

    ASSERT_TRUE(waitForAnswer(Cmd::kVideoHome));
    ASSERT_TRUE(harness().runUntil([&] { return home->grade() != nullptr; }));
    testsupport::settle(harness());
    // Grades first, then the home without a grade.
    EXPECT_LT(requests(Cmd::kVideoGrades)[0].sequence, requests(Cmd::kVideoHome)[0].sequence);
    EXPECT_EQ(body(Cmd::kVideoHome, 0).get("gradeBank"), Value(-1));
    EXPECT_EQ(home->grades().size(), 6u);
    EXPECT_EQ(home->grade()->gradeName, "三年级");
    EXPECT_FALSE(home->rightItem()->isHidden());
    auto btnGrade = std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet("btnGrade"));
    ASSERT_TRUE(btnGrade);
    EXPECT_EQ(btnGrade->titleForState(UIControlStateNormal), "三年级");

    // The picks first, then 语文, 数学, 英语.
    auto table = homeTable();
    ASSERT_EQ(table->numberOfSections(), 4);
    ASSERT_TRUE(home->teaSubject());
    EXPECT_LT(home->teaSubject()->subjectId, 1);
    auto first = visibleCell<EVHeaderCell>(*table, 0, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->subject(), home->teaSubject());
    // 语文 of 三年级 has three videos: rows of two and one, the second slot
    // of the last hidden and its line green.
    EXPECT_EQ(visibleCell<EVHeaderCell>(*table, 0, 1)->subject()->subjectName, "语文");
    ASSERT_EQ(table->numberOfRowsInSection(1), 3);
    auto pair = visibleCell<EVCell>(*table, 1, 1);
    auto single = visibleCell<EVCell>(*table, 2, 1);
    ASSERT_TRUE(pair && single);
    EXPECT_EQ(pair->videos().size(), 2u);
    EXPECT_FALSE(pair->lastLine());
    ASSERT_EQ(single->videos().size(), 1u);
    EXPECT_FALSE(single->itemView(0)->isHidden());
    EXPECT_TRUE(single->itemView(1)->isHidden());
    EXPECT_TRUE(single->lastLine());
    EXPECT_EQ(single->lineView()->backgroundColor(), EVCell::kLastLineColor);
    auto title = firstOf<UILabel>(single->itemView(0));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text(), "三年级语文同步课 第3课");
    EXPECT_TRUE(harness().viewByText("播放" + std::to_string(single->videos()[0]->readCount) + "次"));
    table->setContentOffset({ 0, 0 });
    waitForPictures();
    harness().render("content-library-home.png");
}

TEST_F(LibraryTest, TheGradeMenuOpensClosesAndReloadsForTheChosenGrade)
{
    auto home = openHome();
    auto menu = std::dynamic_pointer_cast<UIScrollView>(harness().viewByOutlet("gradeScrollView"));
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->alpha(), 0);
    EXPECT_FALSE(home->isOpen());

    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnGrade")));
    testsupport::settle(harness());
    EXPECT_TRUE(home->isOpen());
    EXPECT_EQ(menu->alpha(), 1);
    // Six grades: five shown, the sixth under a scroll.
    EXPECT_DOUBLE_EQ(menu->frame().height(), 200);
    EXPECT_DOUBLE_EQ(menu->contentSize().height, 240);
    for (int tag = 1; tag <= 6; ++tag) {
        auto button = firstOf<UIButton>(menu, tag);
        ASSERT_TRUE(button) << tag;
        EXPECT_EQ(button->titleForState(UIControlStateNormal), home->grades()[std::size_t(tag - 1)]->gradeName);
        EXPECT_DOUBLE_EQ(button->frame().minY(), 40.0 * (tag - 1));
    }
    waitForPictures();
    harness().render("content-library-home-grades.png");

    // The button again closes it; opening again reuses the buttons.
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnGrade")));
    testsupport::settle(harness());
    EXPECT_EQ(menu->alpha(), 0);
    EXPECT_DOUBLE_EQ(menu->frame().height(), 0);
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnGrade")));
    testsupport::settle(harness());
    EXPECT_EQ(menu->subviews().size(), 6u);

    // 五年级: the menu closes and grades and the home of 五年级 load again.
    ASSERT_TRUE(harness().tap(firstOf<UIButton>(menu, 5)));
    EXPECT_FALSE(home->isOpen());
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoHome, 2));
    // The choice shows at once; the reply's subjects follow.
    EXPECT_EQ(home->grade()->gradeBank, 5);
    ASSERT_TRUE(harness().runUntil([&] {
        const auto& subjects = home->subjects();
        return !subjects.empty() && !subjects[0]->videoItems.empty()
            && subjects[0]->videoItems[0]->title == "五年级语文同步课 第1课";
    }));
    testsupport::settle(harness());
    EXPECT_EQ(requests(Cmd::kVideoGrades).size(), 2u);
    EXPECT_EQ(body(Cmd::kVideoHome, 1).get("gradeBank"), Value(5));
    EXPECT_EQ(home->grade()->gradeName, "五年级");
    auto section = visibleCell<EVCell>(*homeTable(), 1, 1);
    ASSERT_TRUE(section);
    EXPECT_EQ(section->videos()[0]->title, "五年级语文同步课 第1课");

    // The grade already shown, chosen again, still reloads.
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnGrade")));
    testsupport::settle(harness());
    ASSERT_TRUE(harness().tap(firstOf<UIButton>(menu, 5)));
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoHome, 3));
    EXPECT_EQ(requests(Cmd::kVideoGrades).size(), 3u);
    EXPECT_EQ(body(Cmd::kVideoHome, 2).get("gradeBank"), Value(5));
}

TEST_F(LibraryTest, RowsFollowTheVideosOfEachSubjectAndEmptySubjectsGo)
{
    signIn();
    // One subject of one video, one of two, one without videos, one without
    // an id, no picks, no grade.
    harness().server()->script().forCommand(Cmd::kVideoHome,
        server::ScriptedReply::custom(200,
            R"({"resultState":1,"resultMsg":"","subItems":[
                {"subjectId":1,"subjectName":"语文","videoItems":[{"videoId":1,"title":"一"}]},
                {"subjectId":2,"subjectName":"数学","videoItems":[{"videoId":2},{"videoId":3}]},
                {"subjectId":3,"subjectName":"英语","videoItems":[]},
                {"subjectName":"科学","videoItems":[{"videoId":4}]}],
              "teaItem":{"subjectId":-1,"videoItems":[]}})"));
    auto home = open(std::make_shared<EVViewController>(), kTab);
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoHome));
    ASSERT_TRUE(harness().runUntil([&] { return home->subjects().size() == 2; }));
    testsupport::settle(harness());
    EXPECT_FALSE(home->teaSubject());
    EXPECT_FALSE(home->grade());
    EXPECT_TRUE(home->rightItem()->isHidden());
    auto table = homeTable();
    ASSERT_EQ(table->numberOfSections(), 2);
    for (long section = 0; section < 2; ++section) {
        ASSERT_EQ(table->numberOfRowsInSection(section), 2) << section;
        auto row = visibleCell<EVCell>(*table, 1, section);
        ASSERT_TRUE(row);
        // A single item row is not the second of its section: grey.
        EXPECT_FALSE(row->lastLine());
        EXPECT_EQ(row->lineView()->backgroundColor(), EVCell::kLineColor);
        EXPECT_EQ(row->itemView(1)->isHidden(), section == 0);
    }

    // Without a grade the next load asks with -1 again; an empty reply leaves one empty row.
    harness().server()->script().forCommand(Cmd::kVideoHome,
        server::ScriptedReply::custom(200, R"({"resultState":1,"resultMsg":"","subItems":[]})"));
    table->setContentOffset({ 0, 0 });
    harness().drag(table, 90);
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoHome, 2));
    ASSERT_TRUE(harness().runUntil([&] { return home->subjects().empty(); }));
    testsupport::settle(harness());
    EXPECT_EQ(body(Cmd::kVideoHome, 1).get("gradeBank"), Value(-1));
    ASSERT_EQ(table->numberOfSections(), 1);
    ASSERT_EQ(table->numberOfRowsInSection(0), 1);
    EXPECT_DOUBLE_EQ(table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)).height(), table->frame().height());
}

TEST_F(LibraryTest, AVideoOfTheHomeOpensItsDetailAndThePicksStayWhenAReplyHasNone)
{
    auto home = openHome();
    auto table = homeTable();
    // The second video of 语文's first row.
    auto row = visibleCell<EVCell>(*table, 1, 1);
    ASSERT_TRUE(row);
    auto video = row->videos().at(1);
    ASSERT_TRUE(harness().tap(firstOf<UIButton>(row->itemView(1), 1)));
    testsupport::settle(harness());
    auto detail = std::dynamic_pointer_cast<EVVideoDetailViewController>(harness().topScreen());
    ASSERT_TRUE(detail);
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoDetail));
    EXPECT_EQ(body(Cmd::kVideoDetail, 0).get("videoId"), Value(video->videoId));
    harness().runUntilOverlayGone();
    detail->popViewController();
    testsupport::settle(harness());

    // A reply whose picks have no videos leaves the picks shown before.
    auto picks = home->teaSubject();
    ASSERT_TRUE(picks);
    harness().server()->script().forCommand(Cmd::kVideoHome,
        server::ScriptedReply::custom(200,
            R"({"resultState":1,"resultMsg":"","subItems":[],"teaItem":{"subjectId":-1,"videoItems":[]},
                "grade":{"gradeBank":3,"gradeName":"三年级"}})"));
    table->loadTopData();
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoHome, 2));
    ASSERT_TRUE(harness().runUntil([&] { return home->subjects().empty(); }));
    testsupport::settle(harness());
    EXPECT_EQ(home->teaSubject(), picks);
    ASSERT_EQ(table->numberOfSections(), 1);
    EXPECT_EQ(table->numberOfRowsInSection(0), 3);
}

TEST_F(LibraryTest, AFailedRequestSaysSoAndKeepsWhatIsShown)
{
    auto home = openHome();
    auto subjects = home->subjects();
    ASSERT_FALSE(subjects.empty());

    // A refused grade list: the home is not asked for.
    harness().server()->script().forCommand(Cmd::kVideoGrades, server::ScriptedReply::errorEnvelope("系统维护"));
    homeTable()->loadTopData();
    ASSERT_TRUE(overlayShows(library::kFailedText));
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoGrades, 2));
    testsupport::settle(harness());
    EXPECT_EQ(requests(Cmd::kVideoHome).size(), 1u);
    EXPECT_EQ(home->subjects(), subjects);
    EXPECT_EQ(home->grade()->gradeName, "三年级");
    EXPECT_FALSE(homeTable()->isReloading());

    // A failed home: the same, grades replaced.
    harness().server()->script().forCommand(Cmd::kVideoHome, server::ScriptedReply::connectionReset());
    homeTable()->loadTopData();
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoGrades, 3));
    ASSERT_TRUE(overlayShows(library::kFailedText));
    testsupport::settle(harness());
    EXPECT_EQ(home->subjects(), subjects);
    EXPECT_FALSE(homeTable()->isReloading());
}

TEST_F(LibraryTest, ASubjectListsItsVideosPageByPageAndAFailedPageIsAskedAgain)
{
    openHome();
    auto list = openSubject(2);
    ASSERT_TRUE(list);
    EXPECT_EQ(list->title(), "三年级 数学");
    auto first = body(Cmd::kVideosBySubject, 0);
    EXPECT_EQ(first.get("subjectId"), Value(2));
    EXPECT_EQ(first.get("gradeBank"), Value(3));
    EXPECT_EQ(first.get("page"), Value(1));
    auto table = list->tableView();
    ASSERT_EQ(list->videos().size(), 10u);
    EXPECT_EQ(table->numberOfRowsInSection(0), 10);
    auto cell = visibleCell<EVVideoCell>(*table, 0);
    ASSERT_TRUE(cell);
    EXPECT_EQ(cell->video()->videoId, 321);
    EXPECT_TRUE(harness().viewByText("播放次数:" + std::to_string(cell->video()->readCount)));
    waitForPictures();
    harness().render("content-library-video-list.png");

    // Page 2 fails: the next pull asks for page 2 again, not page 3.
    harness().server()->script().forCommand(Cmd::kVideosBySubject, server::ScriptedReply::errorEnvelope("忙"));
    pullUp(table);
    ASSERT_TRUE(waitForAnswer(Cmd::kVideosBySubject, 2));
    ASSERT_TRUE(overlayShows(library::kFailedText));
    testsupport::settle(harness());
    EXPECT_EQ(body(Cmd::kVideosBySubject, 1).get("page"), Value(2));
    EXPECT_EQ(list->videos().size(), 10u);
    pullUp(table);
    ASSERT_TRUE(waitForAnswer(Cmd::kVideosBySubject, 3));
    testsupport::settle(harness());
    EXPECT_EQ(body(Cmd::kVideosBySubject, 2).get("page"), Value(2));
    ASSERT_TRUE(harness().runUntil([&] { return list->videos().size() == 15; }));
    EXPECT_EQ(list->videos()[10]->title, "三年级数学 多位数乘一位数");
    EXPECT_EQ(table->pageCount(), 3);

    // Page 3 is empty: the list stays and paging ends.
    pullUp(table);
    ASSERT_TRUE(waitForAnswer(Cmd::kVideosBySubject, 4));
    ASSERT_TRUE(harness().runUntil([&] { return table->pageCount() == 0; }));
    testsupport::settle(harness());
    EXPECT_EQ(body(Cmd::kVideosBySubject, 3).get("page"), Value(3));
    EXPECT_EQ(list->videos().size(), 15u);
    pullUp(table);
    testsupport::settle(harness());
    EXPECT_EQ(requests(Cmd::kVideosBySubject).size(), 4u);

    // The picks are listed by their source.
    list->popViewController();
    testsupport::settle(harness());
    auto picks = openSubject(0);
    ASSERT_TRUE(picks);
    auto bySource = body(Cmd::kVideosBySource, 0);
    EXPECT_EQ(bySource.get("source"), Value(2));
    EXPECT_EQ(bySource.get("page"), Value(1));
    EXPECT_FALSE(bySource.contains("subjectId"));
    EXPECT_FALSE(bySource.contains("gradeBank"));
    EXPECT_EQ(picks->videos().size(), 4u);
}

// Pages of every wrong shape: lists that are no lists, entries of other
// kinds, nulls, texts where numbers go, numbers past every range, a page of
// twenty thousand. Each ends in rows the list can show, counts within their
// range, and paging that goes on only after a page that brought videos.
TEST_F(LibraryTest, HostilePagesEndInRowsTheListCanShow)
{
    openHome();
    auto list = openSubject(2);
    ASSERT_TRUE(list);
    auto table = list->tableView();
    ASSERT_EQ(list->videos().size(), 10u);
    std::string many = R"({"resultState":1,"videoItems":[)";
    for (int i = 0; i < 20000; ++i)
        many += std::string(i ? "," : "") + R"({"videoId":)" + std::to_string(50000 + i) + R"(,"title":"第)" + std::to_string(i) + R"(集"})";
    many += "]}";
    struct Case {
        const char* name;
        std::string body;
        std::size_t videos;
        int pageCount;
        long long videoId; // of the first video
        int readCount;
    };
    const Case cases[] = {
        { "no list", R"({"resultState":1})", 0, 0, 0, 0 },
        { "a null list", R"({"resultState":1,"videoItems":null})", 0, 0, 0, 0 },
        { "a list that is an object", R"({"resultState":1,"videoItems":{"videoId":5}})", 0, 0, 0, 0 },
        { "an empty list", R"({"resultState":1,"videoItems":[]})", 0, 0, 0, 0 },
        { "entries of every other kind", R"({"resultState":1,"videoItems":[1,"v",null,[],true,{"videoId":9}]})", 1, 2, 9,
            0 },
        { "texts and nulls where numbers go",
            R"({"resultState":1,"videoItems":[{"videoId":"9","readCount":null,"title":5,"createTime":7}]})", 1, 2, 0, 0 },
        { "numbers past every range",
            R"({"resultState":1,"videoItems":[{"videoId":1e30,"readCount":1e12},{"videoId":-1e300,"readCount":-99999999999}]})",
            2, 2, LLONG_MAX, INT_MAX },
        { "twenty thousand videos", many, 20000, 2, 50000, 0 },
    };
    std::size_t asked = requests(Cmd::kVideosBySubject).size();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        harness().server()->script().forCommand(Cmd::kVideosBySubject, server::ScriptedReply::custom(200, c.body));
        // As a pull at the top does.
        list->refreshTableViewHeaderDidTriggerRefresh(table.get());
        ASSERT_TRUE(waitForAnswer(Cmd::kVideosBySubject, ++asked));
        EXPECT_EQ(body(Cmd::kVideosBySubject, asked - 1).get("page"), Value(1));
        ASSERT_TRUE(harness().runUntil([&] {
            return list->videos().size() == c.videos && (c.videos == 0 || list->videos()[0]->videoId == c.videoId);
        }));
        harness().runUntilOverlayGone();
        testsupport::settle(harness());
        EXPECT_EQ(table->pageCount(), c.pageCount);
        if (c.videos == 0) {
            EXPECT_EQ(table->numberOfRowsInSection(0), 1) << "the one empty row";
            continue;
        }
        EXPECT_EQ(table->numberOfRowsInSection(0), long(c.videos));
        EXPECT_EQ(list->videos()[0]->readCount, c.readCount);
        if (c.readCount == INT_MAX) {
            EXPECT_EQ(list->videos()[1]->readCount, INT_MIN);
        }
        auto cell = visibleCell<EVVideoCell>(*table, 0);
        ASSERT_TRUE(cell);
        EXPECT_TRUE(harness().viewByText("播放次数:" + std::to_string(c.readCount)));
    }
}

TEST_F(LibraryTest, AnEmptyFirstPageShowsOneEmptyRowWithoutMore)
{
    signIn();
    auto subject = EVSubjectInfo::subjectWithObj(Value(Dictionary { { "subjectId", 7 }, { "subjectName", "体育" } }));
    auto list = open(EVVideoListViewController::initWithSubject(subject, nullptr), kTab);
    ASSERT_TRUE(waitForAnswer(Cmd::kVideosBySubject));
    ASSERT_TRUE(harness().runUntilOverlayGone());
    testsupport::settle(harness());
    EXPECT_EQ(list->title(), " 体育");
    // No grade on the home: 0.
    EXPECT_EQ(body(Cmd::kVideosBySubject, 0).get("gradeBank"), Value(0));
    EXPECT_TRUE(list->videos().empty());
    ASSERT_EQ(list->tableView()->numberOfRowsInSection(0), 1);
    EXPECT_EQ(list->tableView()->pageCount(), 0);
    EXPECT_DOUBLE_EQ(list->tableView()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)).height(),
        list->tableView()->frame().height());
}

TEST_F(LibraryTest, TheDetailShowsTheVideoAndItsCommentsAndPlaysIt)
{
    auto detail = openCommentedVideo();
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->title(), "视频详细");
    EXPECT_EQ(body(Cmd::kVideoDetail, 0).get("videoId"), Value(321));
    ASSERT_TRUE(detail->video()->commentItems);
    // The reply's first page of ten comments, then the row to all of them.
    EXPECT_EQ(detail->video()->commentItems->size(), 10u);
    auto table = detail->tableView();
    ASSERT_EQ(table->numberOfRowsInSection(0), 11);
    auto newest = visibleCell<EVCommentCell>(*table, 0);
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->lblContent()->text(), "例题很有代表性，谢谢老师。（第23条）");
    EXPECT_EQ(newest->starView()->starCount(), 3u);
    EXPECT_TRUE(visibleCell<EVCommentMoreCell>(*table, 10));
    auto title = std::dynamic_pointer_cast<UILabel>(harness().viewByOutlet("lblTitle"));
    ASSERT_TRUE(title);
    EXPECT_EQ(title->text(), "三年级数学同步课 第1课");
    // The header grows with the description.
    auto desc = std::dynamic_pointer_cast<UILabel>(harness().viewByOutlet("lblDesc"));
    EXPECT_EQ(desc->text(), "三年级数学同步课 第1课：重点难点讲解与练习。");
    table->setContentOffset({ 0, 0 });
    waitForPictures();
    harness().render("content-library-video-detail.png");

    // Play hands the video's address to the movie player, which plays it.
    auto play = firstOf<UIButton>(harness().viewByOutlet("wrapperView"));
    ASSERT_TRUE(play);
    ASSERT_TRUE(harness().tap(play));
    testsupport::settle(harness());
    auto player = std::dynamic_pointer_cast<ORBMoviePlayerController>(harness().presentedScreen());
    ASSERT_TRUE(player);
    EXPECT_EQ(player->contentURL(), *detail->video()->webSite);
    EXPECT_EQ(player->contentURL(), harness().serverBase() + "mobile2/pull/static/video/321.mp4");
    ASSERT_TRUE(player->moviePlayer());
    ASSERT_TRUE(harness().runUntil([&] { return player->moviePlayer()->position() >= 1.0; }));
    ASSERT_TRUE(harness().tapButton("完成"));
    testsupport::settle(harness());
    EXPECT_FALSE(harness().presentedScreen());

    // Without a web address nothing plays.
    for (const char* address : { "", "javascript:alert(1)", "不是地址" }) {
        detail->video()->webSite = std::string(address);
        ASSERT_TRUE(harness().tap(play));
        testsupport::settle(harness());
        EXPECT_FALSE(harness().presentedScreen()) << address;
    }
    detail->video()->webSite.reset();
    ASSERT_TRUE(harness().tap(play));
    testsupport::settle(harness());
    EXPECT_FALSE(harness().presentedScreen());
}

TEST_F(LibraryTest, ACommentIsRefusedEmptyKeptOnFailureAndShownOnTopWhenPosted)
{
    auto detail = openCommentedVideo();
    ASSERT_TRUE(detail);
    auto panel = detail->commentAdd();
    ASSERT_TRUE(panel);
    EXPECT_FALSE(panel->superview());
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnComment")));
    testsupport::settle(harness());
    EXPECT_EQ(panel->superview(), UIWindow::keyWindow());
    EXPECT_TRUE(panel->txtContent()->isFirstResponder());
    // The board rides on the keyboard; three stars to begin with.
    EXPECT_DOUBLE_EQ(panel->boardView()->frame().maxY(), panel->bounds().height() - 216);
    EXPECT_EQ(panel->boardView()->alpha(), 1);
    EXPECT_EQ(panel->starView()->starCount(), 3u);
    panel->starView()->setStarCount(0);
    EXPECT_EQ(panel->starView()->starCount(), 1u);

    // Empty: refused before anything is sent; the panel stays.
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnSubmit")));
    ASSERT_TRUE(alertShows("评论内容不能为空"));
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    testsupport::settle(harness());
    EXPECT_TRUE(requests(Cmd::kAddVideoComment).empty());
    EXPECT_TRUE(panel->superview());

    ASSERT_TRUE(panel->txtContent()->insertText("孩子很喜欢这节课"));
    panel->starView()->setStarCount(4);
    harness().render("content-library-comment-panel.png");

    // A failed post keeps the text for another try.
    harness().server()->script().forCommand(Cmd::kAddVideoComment, server::ScriptedReply::errorEnvelope("忙"));
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnSubmit")));
    ASSERT_TRUE(waitForAnswer(Cmd::kAddVideoComment));
    ASSERT_TRUE(overlayShows(library::kFailedText));
    // The failure stays on the window for 1.5 s.
    testsupport::settle(harness(), 2);
    EXPECT_TRUE(harness().overlayText().empty());
    EXPECT_FALSE(panel->superview());
    EXPECT_EQ(panel->txtContent()->text(), "孩子很喜欢这节课");
    EXPECT_EQ(detail->video()->commentItems->size(), 10u);

    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnComment")));
    testsupport::settle(harness());
    EXPECT_EQ(panel->starView()->starCount(), 4u);
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnSubmit")));
    ASSERT_TRUE(alertShows("评论发表成功"));
    auto sent = body(Cmd::kAddVideoComment, 1);
    EXPECT_EQ(sent.get("videoId"), Value(321));
    EXPECT_EQ(sent.get("score"), Value(4));
    EXPECT_EQ(sent.get("content"), Value("孩子很喜欢这节课"));
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    testsupport::settle(harness());
    EXPECT_EQ(panel->txtContent()->text(), "");
    ASSERT_EQ(detail->video()->commentItems->size(), 11u);
    auto top = visibleCell<EVCommentCell>(*detail->tableView(), 0);
    ASSERT_TRUE(top);
    EXPECT_EQ(top->lblContent()->text(), "孩子很喜欢这节课");
    EXPECT_EQ(top->starView()->starCount(), 4u);
    auto account = core::MyAccountInfo::currentAccount();
    ASSERT_TRUE(account);
    EXPECT_EQ(top->lblName()->text().rfind(account->name + " 教师  ", 0), 0u) << top->lblName()->text();
    harness().render("content-library-video-detail-commented.png");
}

TEST_F(LibraryTest, TheCommentListPagesPastFullPagesUntilAnEmptyOne)
{
    auto detail = openCommentedVideo();
    ASSERT_TRUE(detail);
    ASSERT_TRUE(harness().selectRow(detail->tableView(), 0, 10));
    testsupport::settle(harness());
    auto list = std::dynamic_pointer_cast<EVCommentListViewController>(harness().topScreen());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->title(), "评论列表");
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoComments));
    ASSERT_TRUE(harness().runUntil([&] { return list->comments().size() == 10; }));
    testsupport::settle(harness());
    EXPECT_EQ(body(Cmd::kVideoComments, 0).get("videoId"), Value(321));
    EXPECT_EQ(body(Cmd::kVideoComments, 0).get("page"), Value(1));
    ASSERT_EQ(list->comments().size(), 10u);
    harness().render("content-library-comment-list.png");

    // A page of exactly ten goes on.
    auto table = list->tableView();
    EXPECT_EQ(table->pageCount(), 2);
    pullUp(table);
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoComments, 2));
    ASSERT_TRUE(harness().runUntil([&] { return list->comments().size() == 20; }));
    testsupport::settle(harness());
    EXPECT_EQ(body(Cmd::kVideoComments, 1).get("page"), Value(2));

    // A failed page is asked for again.
    harness().server()->script().forCommand(Cmd::kVideoComments, server::ScriptedReply::connectionReset());
    pullUp(table);
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoComments, 3));
    ASSERT_TRUE(overlayShows(library::kFailedText));
    testsupport::settle(harness());
    pullUp(table);
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoComments, 4));
    ASSERT_TRUE(harness().runUntil([&] { return list->comments().size() == 23; }));
    testsupport::settle(harness());
    EXPECT_EQ(body(Cmd::kVideoComments, 3).get("page"), Value(3));
    EXPECT_EQ(list->comments().back()->content, "讲得很清楚，孩子一遍就听懂了。（第1条）");

    pullUp(table);
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoComments, 5));
    ASSERT_TRUE(harness().runUntil([&] { return table->pageCount() == 0; }));
    testsupport::settle(harness());
    EXPECT_EQ(list->comments().size(), 23u);
    EXPECT_EQ(table->numberOfRowsInSection(0), 23);
}

TEST_F(LibraryTest, ScreensThatLeaveHearNothingMore)
{
    auto detail = openCommentedVideo();
    ASSERT_TRUE(detail);
    std::weak_ptr<EVVideoDetailViewController> gone = detail;
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnComment")));
    testsupport::settle(harness());
    ASSERT_TRUE(detail->commentAdd()->superview());
    auto gate = holdNext(Cmd::kVideoDetail);
    detail->tableView()->loadTopData();
    detail->popViewController();
    detail.reset();
    testsupport::settle(harness());
    // The panel went with the screen.
    for (const auto& view : UIWindow::keyWindow()->subviews())
        EXPECT_FALSE(std::dynamic_pointer_cast<EVCommentAdd>(view));
    gate->open();
    ASSERT_TRUE(waitForAnswer(Cmd::kVideoDetail, 2));
    testsupport::settle(harness());
    EXPECT_TRUE(gone.expired());
}

} // namespace

namespace {

// On the 3.5-inch screen the home's list and a video's comments end where the
// screen ends, as on the 4-inch one.
TEST(LibraryScreenFit, ListsEndAtTheFootOfEitherScreen)
{
    for (auto kind : { UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch }) {
        testsupport::AppHarnessOptions options;
        options.screen = kind;
        testsupport::AppHarness harness(options);
        ASSERT_TRUE(testsupport::startClient(harness));
        ASSERT_TRUE(testsupport::signInThroughScreens(harness, testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword));
        testsupport::settle(harness);
        auto home = std::make_shared<EVViewController>();
        harness.visibleNavigationController()->pushViewController(home, true);
        ASSERT_TRUE(harness.runUntilAnswered(Cmd::kVideoHome));
        // The answer reaches the main loop after the server has sent it.
        ASSERT_TRUE(harness.runUntil([&] { return !home->subjects().empty(); }));
        testsupport::settle(harness);
        auto table = testsupport::findViewByOutlet(home->view(), "tableView");
        ASSERT_TRUE(table);
        double screenHeight = UIScreen::mainScreen()->bounds().height();
        double foot = table->superview()->convertPointToView(platform::Point(0, table->frame().maxY()), nullptr).y;
        EXPECT_NEAR(foot, screenHeight, 0.5) << (kind == UIScreen::Kind::FourInch ? "4-inch" : "3.5-inch");

        // A subject's list, a video's detail and its comments likewise.
        auto video = home->subjects().at(0)->videoItems.at(0);
        std::vector<std::shared_ptr<UIViewController>> screens { EVVideoListViewController::initWithSubject(
                                                                     home->subjects().at(0), home->grade()),
            EVVideoDetailViewController::initWithVideo(video), std::make_shared<EVCommentListViewController>() };
        for (const auto& screen : screens) {
            harness.visibleNavigationController()->pushViewController(screen, true);
            testsupport::settle(harness, 2);
            // This screen's own list: the one beneath may still be in the window.
            auto shown = testsupport::findViewByOutlet(screen->view(), "tableView");
            ASSERT_TRUE(shown);
            double end = shown->superview()->convertPointToView(platform::Point(0, shown->frame().maxY()), nullptr).y;
            EXPECT_NEAR(end, screenHeight, 0.5) << screen->className();
        }
    }
}

} // namespace
