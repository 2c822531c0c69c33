// A teacher chooses students, comments on them and reads a student's
// history, against the stand-in server on the manual clock: the class
// chooser and the grid, the selection rules, suggestions and ranks, what the
// send carries, the checks of the text, one send at a time, and the paged
// history with a page that fails.
#include "teaching/comment/CommentHistoryViewController.h"
#include "teaching/comment/CommentViewController.h"
#include "teaching/comment/StudentPhotoView.h"
#include "teaching/comment/SuggestCommentCell.h"
#include "teaching/students/SelectStudentView.h"
#include "teaching/students/SelectStudentViewController.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "core/session/ORBEndpoints.h"
#include "teaching/comment/CommentHistoryCell.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITextView.h"
#include "server/StandinServer.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/tables/InfiniteScrollingView.h"

#include <gtest/gtest.h>

#include <algorithm>

using server::ScriptedReply;
using namespace testsupport;

namespace {

constexpr const char* kComment = core::ORBEndpoints::Cmd::kCommentStudents;
constexpr const char* kStudentsRoute = "webapp/stucomment/stu_list";
constexpr const char* kHistoryRoute = "webapp/stucomment/single_list";

class CommentStudentsTest : public SignedInScreenTest {
protected:
    std::vector<server::LoggedRequest> routed(const std::string& route) const
    {
        std::vector<server::LoggedRequest> out;
        for (auto& request : harness().serverRequests()) {
            if (request.route == route && request.answered)
                out.push_back(request);
        }
        return out;
    }
    bool waitForRoute(const std::string& route, std::size_t count)
    {
        return harness().runUntil([&] { return routed(route).size() >= count; });
    }

    // The tiles of the grid, in tag order.
    std::vector<std::shared_ptr<SelectStudentView>> tiles() const
    {
        std::vector<std::shared_ptr<SelectStudentView>> out;
        for (auto& view : harness().viewsByClass("SelectStudentView"))
            out.push_back(std::static_pointer_cast<SelectStudentView>(view));
        std::sort(out.begin(), out.end(), [](auto& a, auto& b) { return a->tag() < b->tag(); });
        return out;
    }
    void tapTile(long index)
    {
        auto all = tiles();
        ASSERT_LT(std::size_t(index), all.size());
        ASSERT_TRUE(harness().tap(all[std::size_t(index)]));
        harness().advance(SelectStudentView::kFadeSeconds);
    }
    std::string label(const char* outlet) const
    {
        auto view = std::dynamic_pointer_cast<UILabel>(harness().viewByOutlet(outlet));
        return view ? view->text() : "<none>";
    }
    std::shared_ptr<UIButton> button(const char* outlet) const
    {
        return std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet(outlet));
    }

    // Signs the teacher in and opens the chooser with the first class's grid shown.
    void openChooser()
    {
        signIn();
        open(std::make_shared<SelectStudentViewController>(), 0);
        ASSERT_TRUE(waitForRoute(kStudentsRoute, 1));
        ASSERT_TRUE(harness().runUntil([&] { return tiles().size() == 9; }));
        harness().advance(0.3);
    }

    // Goes on to the comment screen and lets its suggestions arrive.
    std::shared_ptr<CommentViewController> goOn()
    {
        EXPECT_TRUE(harness().tap(button("commentBtn")));
        settle(harness());
        auto screen = std::dynamic_pointer_cast<CommentViewController>(harness().topScreen());
        EXPECT_NE(screen, nullptr);
        EXPECT_TRUE(harness().runUntil([&] {
            auto table = std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("tableView"));
            return table && table->numberOfRowsInSection(0) > 0;
        }));
        return screen;
    }
    std::shared_ptr<UITableView> suggestions() const
    {
        return std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("tableView"));
    }
    std::shared_ptr<UITextView> textArea() const
    {
        return std::dynamic_pointer_cast<UITextView>(harness().viewByOutlet("textView"));
    }
    // Lets the students' pictures arrive before a render.
    void waitForPhotos(const char* viewClass)
    {
        EXPECT_TRUE(harness().runUntil([&] {
            for (auto& view : harness().viewsByClass(viewClass)) {
                auto photo = view->subviews().empty() ? nullptr : std::dynamic_pointer_cast<UIImageView>(view->subviews().front());
                if (!photo || !photo->image())
                    return false;
            }
            return true;
        }));
    }
    void tapSend() { ASSERT_TRUE(harness().tapButton("发送点评")); }
};

TEST_F(CommentStudentsTest, ThreeStudentsThenTheWholeClassAreCommentedWithSuggestionAndRank)
{
    openChooser();
    auto grid = tiles();
    EXPECT_EQ(grid.front()->studentName(), "全班同学");
    EXPECT_EQ(grid[1]->studentName(), "张小明");
    // Three to a row, the whole class first.
    EXPECT_EQ(grid[4]->frame().origin.x, SelectStudentViewController::kTileLeft + SelectStudentViewController::kColumnStep);
    EXPECT_EQ(grid[4]->frame().origin.y, SelectStudentViewController::kTileTop + SelectStudentViewController::kRowStep);
    EXPECT_FALSE(button("commentBtn")->isEnabled());

    tapTile(1);
    tapTile(3);
    tapTile(5);
    EXPECT_EQ(label("studentNumLbl"), "3");
    EXPECT_TRUE(button("commentBtn")->isEnabled());
    waitForPhotos("SelectStudentView");
    harness().render("teaching-select-students.png");

    auto comment = goOn();
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->title(), CommentViewController::kBatchTitle);
    EXPECT_EQ(harness().viewsByClass("StudentPhotoView").size(), 3u);
    // Sorted by the server's "sort", which it stores out of order.
    auto first = visibleCell<SuggestCommentCell>(*suggestions(), 0);
    ASSERT_NE(first, nullptr);
    const std::string heading = findOutlet<UILabel>(first, "suggestTipLbl")->text();
    const std::string content = findOutlet<UILabel>(first, "suggestCommentLbl")->text();
    ASSERT_TRUE(harness().selectRow(suggestions(), 0, 1));
    ASSERT_TRUE(harness().selectRow(suggestions(), 0, 0));
    EXPECT_EQ(textArea()->text(), content);
    EXPECT_TRUE(visibleCell<SuggestCommentCell>(*suggestions(), 0)->suggestStatusBtn()->isSelected());
    EXPECT_FALSE(visibleCell<SuggestCommentCell>(*suggestions(), 1)->suggestStatusBtn()->isSelected());
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("iconScrollView")->viewWithTag(4)));
    waitForPhotos("StudentPhotoView");
    harness().render("teaching-comment-batch.png");

    tapSend();
    ASSERT_TRUE(waitForAnswer(kComment, 1));
    auto sent = requests(kComment).back();
    EXPECT_EQ(sent.bodyValue("studentIdsStr").stringValue(), "5001,5003,5005");
    EXPECT_EQ(sent.bodyValue("comment").stringValue(), heading + "：" + content);
    EXPECT_EQ(sent.bodyValue("rank").intValue(), 4);
    EXPECT_EQ(sent.bodyValue("flag").intValue(), 0);
    EXPECT_EQ(sent.bodyValue("classId").intValue(), 101);
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "点评成功"; }));
    // Sent: in the moment before the screen closes a second tap sends nothing.
    harness().advance(CommentViewController::kPopDelay / 2);
    ASSERT_EQ(harness().topScreen(), comment);
    comment->commentAction(nullptr);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(requests(kComment).size(), 1u);
    harness().advance(CommentViewController::kPopDelay);
    ASSERT_TRUE(std::dynamic_pointer_cast<SelectStudentViewController>(harness().topScreen()));
    EXPECT_EQ(requests(kComment).size(), 1u);

    // Back on the chooser with its selection: the whole class now.
    EXPECT_EQ(label("studentNumLbl"), "3");
    tapTile(0);
    EXPECT_EQ(label("studentNumLbl"), "8");
    tapTile(2);
    EXPECT_EQ(label("studentNumLbl"), "7");
    EXPECT_FALSE(tiles()[0]->studentInfo()->isSelected);
    tapTile(0);
    EXPECT_EQ(label("studentNumLbl"), "8");
    goOn();
    textArea()->setText("全班表现很好");
    tapSend();
    ASSERT_TRUE(waitForAnswer(kComment, 2));
    sent = requests(kComment).back();
    EXPECT_EQ(sent.bodyValue("studentIdsStr").stringValue(), "5001,5002,5003,5004,5005,5006,5007,5008");
    EXPECT_EQ(sent.bodyValue("flag").intValue(), 1);
    EXPECT_EQ(sent.bodyValue("rank").intValue(), 1);
    EXPECT_EQ(sent.bodyValue("comment").stringValue(), "全班表现很好");
}

TEST_F(CommentStudentsTest, TheTextDecidesAtSendTimeAndOneSendIsOutAtATime)
{
    openChooser();
    tapTile(2);
    auto comment = goOn();
    ASSERT_NE(comment, nullptr);
    EXPECT_EQ(comment->title(), CommentViewController::kSingleTitle);
    harness().render("teaching-comment-single.png");

    // The placeholder alone is no comment.
    tapSend();
    auto alert = harness().currentAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->message(), "点评内容不能为空");
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    // A suggestion taken, then the text emptied: still no comment.
    ASSERT_TRUE(harness().selectRow(suggestions(), 0, 0));
    textArea()->setText("  ");
    tapSend();
    ASSERT_NE(harness().currentAlert(), nullptr);
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    EXPECT_TRUE(requests(kComment).empty());

    // Typed text without Done is a comment; characters that mean something
    // in an address arrive as typed.
    textArea()->setText("作业 a&b=c?d#e+f 100%");
    auto gate = holdNext(kComment);
    tapSend();
    ASSERT_TRUE(harness().runUntil([&] { return requests(kComment).size() == 1; }));
    EXPECT_TRUE(harness().runUntil([&] { return harness().overlayText() == CommentViewController::kSendingText; }));
    // The overlay takes the touches meanwhile; the action itself must not
    // send again either.
    EXPECT_FALSE(harness().tapButton("发送点评"));
    comment->commentAction(nullptr);
    comment->commentAction(nullptr);
    gate->open();
    ASSERT_TRUE(waitForAnswer(kComment, 1));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "点评成功"; }));
    // A second send would have reached the server by now.
    EXPECT_FALSE(harness().runUntil([&] { return requests(kComment).size() > 1; }, 2.0));
    const auto sent = requests(kComment).front();
    EXPECT_EQ(sent.bodyValue("studentIdsStr").stringValue(), "5002");
    EXPECT_NE(sent.bodyValue("comment").stringValue().find("作业 a&b=c?d#e+f 100%"), std::string::npos);
}

TEST_F(CommentStudentsTest, ANamelessStudentIsAStudentAndAStaleClassReplyIsDropped)
{
    signIn();
    harness().server()->script().forRoute(kStudentsRoute,
        ScriptedReply::custom(200,
            R"({"resultState":1,"resultMsg":"","items":[{"studentId":12,"name":"","pic":""},)"
            R"({"studentId":34,"name":"李四","pic":""},{"studentId":56,"pic":""}]})"));
    auto chooser = std::make_shared<SelectStudentViewController>();
    open(chooser, 0);
    ASSERT_TRUE(harness().runUntil([&] { return tiles().size() == 4; }));
    harness().advance(0.3);
    EXPECT_EQ(tiles()[0]->studentName(), "全班同学");
    EXPECT_EQ(tiles()[1]->studentName(), "");
    EXPECT_EQ(tiles()[3]->studentName(), "");
    tapTile(1);
    tapTile(3);
    EXPECT_EQ(label("studentNumLbl"), "2");
    goOn();
    textArea()->setText("有进步");
    tapSend();
    ASSERT_TRUE(waitForAnswer(kComment, 1));
    EXPECT_EQ(requests(kComment).back().bodyValue("studentIdsStr").stringValue(), "12,56");
    EXPECT_EQ(requests(kComment).back().bodyValue("flag").intValue(), 0);
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "点评成功"; }));
    harness().advance(CommentViewController::kPopDelay + 0.5);
    ASSERT_EQ(harness().topScreen(), chooser);

    // The first class's students are still on their way when the second
    // class is confirmed: the grid shows the second class, and stays so.
    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kStudentsRoute, ScriptedReply::normal().heldBy(gate));
    chooser->didSelectedPickerView(nullptr, 0);
    ASSERT_TRUE(harness().runUntil([&] {
        auto all = harness().serverRequests();
        return std::count_if(all.begin(), all.end(), [](auto& r) { return r.route == kStudentsRoute; }) == 2;
    }));
    chooser->didSelectedPickerView(nullptr, 1);
    ASSERT_TRUE(harness().runUntil([&] { return tiles().size() == 9 && tiles()[1]->studentName() == "吴梓萱"; }));
    gate->open();
    ASSERT_TRUE(waitForRoute(kStudentsRoute, 3));
    harness().advance(0.3);
    ASSERT_EQ(tiles().size(), 9u);
    EXPECT_EQ(tiles()[1]->studentName(), "吴梓萱");
    EXPECT_EQ(tiles()[8]->tag(), 9);
}

TEST_F(CommentStudentsTest, HistoryPagesThroughTwentyFiveCommentsAndSurvivesAFailedPage)
{
    // 张小明 has three comments in the demo school; 21 more go through the
    // dispatcher, the 25th through the comment screen.
    constexpr int kSeeded = 3;
    signIn();
    for (int i = kSeeded; i < 24; ++i) {
        platform::Dictionary params;
        params.set("studentIds", "5001");
        params.set("comment", "第" + std::to_string(i) + "条");
        params.set("rank", 2);
        params.set("flag", 0);
        params.set("classId", 101);
        core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
            static_cast<int>(core::ORBRequestType::CommentStudents), platform::Value(std::move(params)), [] {},
            [](const platform::Value&) {}, [](const std::string& message) { ADD_FAILURE() << message; });
        ASSERT_TRUE(waitForAnswer(kComment, std::size_t(i - kSeeded + 1)));
    }
    open(std::make_shared<SelectStudentViewController>(), 0);
    ASSERT_TRUE(waitForRoute(kStudentsRoute, 1));
    ASSERT_TRUE(harness().runUntil([&] { return tiles().size() == 9; }));
    harness().advance(0.3);
    tapTile(1);
    goOn();
    textArea()->setText("最新的一条");
    tapSend();
    ASSERT_TRUE(waitForAnswer(kComment, 22));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "点评成功"; }));
    harness().advance(CommentViewController::kPopDelay + 0.5);
    ASSERT_TRUE(std::dynamic_pointer_cast<SelectStudentViewController>(harness().topScreen()));
    goOn();

    // The history from the photo's button.
    harness().advance(0.1);
    ASSERT_TRUE(harness().tapButton(StudentPhotoView::kHistoryTitle));
    settle(harness());
    auto history = std::dynamic_pointer_cast<CommentHistoryViewController>(harness().topScreen());
    ASSERT_NE(history, nullptr);
    EXPECT_EQ(history->title(), CommentHistoryViewController::kTeacherTitle);
    ASSERT_TRUE(waitForRoute(kHistoryRoute, 1));
    auto table = std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("historyTableView"));
    ASSERT_TRUE(harness().runUntil([&] { return table->numberOfRowsInSection(0) == 10; }));
    EXPECT_EQ(routed(kHistoryRoute).back().queryValue("page"), "1");
    EXPECT_EQ(routed(kHistoryRoute).back().queryValue("pageSize"), "10");
    auto newest = visibleCell<CommentHistoryCell>(*table, 0);
    ASSERT_NE(newest, nullptr);
    EXPECT_EQ(findOutlet<UILabel>(newest, "contentLbl")->text(), "最新的一条\n\n");
    harness().render("teaching-comment-history.png");

    // Page 2 fails: the rows stay, and the next scroll asks for page 2 again.
    harness().server()->script().forRoute(kHistoryRoute, ScriptedReply::connectionReset());
    triggerInfiniteScrolling(*table);
    ASSERT_TRUE(waitForRoute(kHistoryRoute, 2) && harness().runUntil([&] {
        return infiniteScrollingView(*table)->state() == InfiniteScrollingView::Stopped;
    }));
    EXPECT_EQ(table->numberOfRowsInSection(0), 10);
    triggerInfiniteScrolling(*table);
    ASSERT_TRUE(harness().runUntil([&] { return table->numberOfRowsInSection(0) == 20; }));
    triggerInfiniteScrolling(*table);
    ASSERT_TRUE(harness().runUntil([&] { return table->numberOfRowsInSection(0) == 25; }));
    std::vector<std::string> pages;
    for (auto& request : routed(kHistoryRoute))
        pages.push_back(request.queryValue("page").value_or(""));
    EXPECT_EQ(pages, (std::vector<std::string> { "1", "2", "2", "3" }));
    triggerInfiniteScrolling(*table);
    harness().advance(0.1);
    EXPECT_FALSE(showsInfiniteScrolling(*table));
    EXPECT_EQ(routed(kHistoryRoute).size(), 4u);
}

// Left before the answer: the outcome still replaces the "sending" text on
// the window and goes, and the gone screen is not called.
TEST_F(CommentStudentsTest, LeavingBeforeTheAnswerLeavesNoOverlay)
{
    openChooser();
    tapTile(2);
    auto comment = goOn();
    ASSERT_NE(comment, nullptr);
    textArea()->setText("今天表现很好");
    auto gate = holdNext(kComment);
    tapSend();
    ASSERT_TRUE(harness().runUntil(
        [&] { return gate->arrived() == 1 && harness().overlayText() == CommentViewController::kSendingText; }));

    auto below = leave(comment);

    gate->open();
    ASSERT_TRUE(waitForAnswer(kComment, 1));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "点评成功"; }));
    harness().advance(CommentViewController::kPopDelay + 1);
    settle(harness());
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().topScreen(), below);
}

} // namespace
