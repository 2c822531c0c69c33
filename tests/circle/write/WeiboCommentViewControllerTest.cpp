// Writing a comment from a feed row: the length rule and the checks, the
// text reaching the server exactly as typed, one send per comment, the
// announcement raising the row's count, and the close.
#include "circle/feed/CircleTargets.h"
#include "circle/feed/WeiboCell.h"
#include "circle/write/WeiboCommentViewController.h"
#include "app/main/ORBViewController.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "server/StandinServer.h"
#include "tests/circle/CircleTestSupport.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

using namespace circletest;
using circle::WeiboCommentViewController;

namespace {

constexpr const char* kCommentRoute = "webapp/jxq/sendComment";

class CommentTest : public CircleScreenTest {
protected:
    // The feed's first row's comment button tapped: the writer for that post.
    std::shared_ptr<WeiboCommentViewController> openWriter(std::shared_ptr<core::WeiboData>& post)
    {
        auto feed = openFeed();
        if (!feed)
            return nullptr;
        auto cell = visibleCell<circle::WeiboCell>(*feed->tableView(), 0);
        post = cell->data();
        harness().tap(testsupport::findOutlet<UIButton>(cell, "btnComment"));
        testsupport::settle(harness());
        return std::dynamic_pointer_cast<WeiboCommentViewController>(harness().topScreen());
    }

    void write(WeiboCommentViewController& screen, const std::string& text)
    {
        testsupport::findOutlet<UITextView>(screen.view(), "textView")->setText(text);
        screen.textViewDidChange(testsupport::findOutlet<UITextView>(screen.view(), "textView").get());
    }

    std::shared_ptr<UIButton> send() { return std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet("btnSend")); }
};

TEST_F(CommentTest, TheLengthRuleAndTheEmptyTextAreRefusedWithTheirAlerts)
{
    signIn();
    std::shared_ptr<core::WeiboData> post;
    auto screen = openWriter(post);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "发评论");
    EXPECT_EQ(screen->weiboId(), post->weiboId);
    EXPECT_EQ(send()->currentTitle(), "发送");
    // Typed as the person would: through the keyboard, the counter following.
    ASSERT_TRUE(testsupport::type(testsupport::findOutlet<UITextView>(screen->view(), "textView"), "照片拍得真好，下次活动我们也参加！"));
    EXPECT_EQ(testsupport::findOutlet<UILabel>(screen->view(), "labRemainNum")->text(), "123");
    testsupport::settle(harness(), 1);
    harness().render("circle-comment-writing.png");

    write(*screen, std::string(280, 'a'));
    EXPECT_EQ(testsupport::findOutlet<UILabel>(screen->view(), "labRemainNum")->text(), "0");
    std::string chinese;
    for (int i = 0; i < 141; ++i)
        chinese += "好";
    write(*screen, chinese);
    EXPECT_EQ(testsupport::findOutlet<UILabel>(screen->view(), "labRemainNum")->text(), "-1");
    EXPECT_EQ(testsupport::findOutlet<UILabel>(screen->view(), "labRemainNum")->textColor(), platform::Color::redColor());
    ASSERT_TRUE(harness().tap(send()));
    ASSERT_TRUE(harness().currentAlert());
    EXPECT_EQ(harness().currentAlert()->title(), "温馨提示");
    EXPECT_EQ(harness().currentAlert()->message(), "最多输入140个文字");
    harness().tapAlertButton("确定");

    write(*screen, "");
    ASSERT_TRUE(harness().tap(send()));
    ASSERT_TRUE(harness().currentAlert());
    EXPECT_EQ(harness().currentAlert()->title(), "警告");
    EXPECT_EQ(harness().currentAlert()->message(), "评论内容不能为空");
    harness().tapAlertButton("确定");
    EXPECT_EQ(routeCount(kCommentRoute), 0u);
}

TEST_F(CommentTest, TheCommentArrivesIntactOnceAndTheRowCountsIt)
{
    signIn();
    std::shared_ptr<core::WeiboData> post;
    auto screen = openWriter(post);
    ASSERT_TRUE(screen);
    int before = post->commentNum;
    const std::string tricky = "a&b=c#d+e 100% 好&weiboId=1";
    write(*screen, tricky);
    auto gate = holdRoute(kCommentRoute);
    // Two taps in one turn of the loop, before the overlay covers the button:
    // the second sends nothing.
    screen->sendAction(send().get());
    screen->sendAction(send().get());
    ASSERT_TRUE(until([&] { return gate->arrived() == 1; }));
    harness().tap(send());
    testsupport::settle(harness());
    gate->open();
    ASSERT_TRUE(waitForRoute(kCommentRoute, 1));
    ASSERT_TRUE(until([&] { return harness().notifications().count(circle::kSendWeiboCommentSuccess) == 1; }));
    EXPECT_EQ(routeCount(kCommentRoute), 1u);
    auto sent = harness().server()->requests().withRoute(kCommentRoute).front();
    EXPECT_EQ(sent.queryValue("comment"), tricky);
    EXPECT_EQ(sent.queryValue("weiboId"), std::to_string(post->weiboId));
    EXPECT_EQ(harness().overlayText(), "评论成功");
    EXPECT_EQ(post->commentNum, before + 1);
    harness().advance(WeiboCommentViewController::kCloseDelay);
    testsupport::settle(harness());
    EXPECT_NE(harness().topScreen(), screen);
    EXPECT_EQ(harness().navigationStack().size(), 1u);
}

// Left before the answer: the comment still counts on its row and the
// overlay still ends; the gone writer is never called.
TEST_F(CommentTest, LeavingBeforeTheAnswerStillCountsTheCommentAndLeavesNoOverlay)
{
    signIn();
    std::shared_ptr<core::WeiboData> post;
    auto screen = openWriter(post);
    ASSERT_TRUE(screen);
    int before = post->commentNum;
    write(*screen, "下次活动我们也参加");
    auto gate = holdRoute(kCommentRoute);
    ASSERT_TRUE(harness().tap(send()));
    ASSERT_TRUE(until([&] { return gate->arrived() == 1 && harness().overlayText() == "正在发送评论"; }));

    leave(screen);
    ASSERT_EQ(harness().navigationStack().size(), 1u);
    auto feed = harness().topScreen();

    gate->open();
    ASSERT_TRUE(waitForRoute(kCommentRoute, 1));
    ASSERT_TRUE(until([&] { return harness().notifications().count(circle::kSendWeiboCommentSuccess) == 1; }));
    EXPECT_EQ(harness().overlayText(), "评论成功");
    EXPECT_EQ(post->commentNum, before + 1);
    harness().advance(WeiboCommentViewController::kCloseDelay + 1);
    testsupport::settle(harness());
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().topScreen(), feed);
    EXPECT_EQ(harness().navigationStack().size(), 1u);
}

// A comment taller than the text view, with the keyboard up on both
// screens: the text view and the count end above the keyboard and the caret
// at the end of the text is scrolled into sight; when the keyboard goes the
// text view and the count are back where they were.
TEST(WeiboCommentScreen, TheCaretStaysAboveTheKeyboardOnBothScreens)
{
    testsupport::onBothScreens([&](testsupport::AppHarness& harness, bool tall) {
        ASSERT_TRUE(testsupport::signInThroughScreens(harness, testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword));
        auto main = testsupport::mainScreen();
        main->switchToView(ORBViewController::kCircleTab);
        testsupport::settle(harness);
        auto screen = std::make_shared<WeiboCommentViewController>();
        main->viewControllers().at(ORBViewController::kCircleTab)->pushViewController(screen, false);
        // Short of the half second after which the keyboard comes up.
        testsupport::settle(harness, 0.2);
        ASSERT_EQ(harness.topScreen(), screen);
        ASSERT_FALSE(platform::Keyboard::isVisible());
        auto text = std::dynamic_pointer_cast<UITextView>(harness.viewByOutlet("textView"));
        auto count = harness.viewByOutlet("fontCountView");
        ASSERT_TRUE(text && count);
        const auto restingText = text->frame();
        const auto restingCount = count->frame();
        // Twenty short lines, within the limit but taller than the text view.
        std::string comment;
        for (int i = 1; i <= 20; ++i)
            comment += (i > 1 ? "\n第" : "第") + std::to_string(i) + "点";
        text->setText(comment);
        screen->textViewDidChange(text.get());

        harness.advance(WeiboCommentViewController::kKeyboardDelay);
        testsupport::settle(harness, 0.3);
        ASSERT_TRUE(platform::Keyboard::isVisible());
        ASSERT_TRUE(text->isFirstResponder());
        const auto keyboard = platform::Keyboard::frame();
        const double barBottom = screen->view()->convertPointToView(platform::Point(0, 0), nullptr).y;
        const auto textOnScreen = text->convertRectToView(text->bounds(), nullptr);
        EXPECT_GE(textOnScreen.minY(), barBottom);
        EXPECT_LE(textOnScreen.maxY(), keyboard.minY());
        EXPECT_LE(count->convertRectToView(count->bounds(), nullptr).maxY(), keyboard.minY());
        EXPECT_GE(text->frame().height(), 2 * text->font().lineHeight() + 2 * UITextView::kVerticalInset);
        const auto caret = text->caretRect();
        EXPECT_TRUE(text->bounds().contains(caret)) << "the caret is scrolled into the text view";
        const auto caretOnScreen = text->convertRectToView(caret, nullptr);
        EXPECT_GE(caretOnScreen.minY(), barBottom);
        EXPECT_LE(caretOnScreen.maxY(), keyboard.minY());
        harness.render(tall ? "circle-comment-keyboard-4inch.png" : "circle-comment-keyboard-3.5inch.png");
        // Emptied, the placeholder is back behind the caret, for a look.
        text->setText("");
        screen->textViewDidChange(text.get());
        testsupport::settle(harness, 0.3);
        harness.render(tall ? "circle-comment-keyboard-empty-4inch.png" : "circle-comment-keyboard-empty-3.5inch.png");

        ASSERT_TRUE(text->resignFirstResponder());
        testsupport::settle(harness, 0.3);
        ASSERT_FALSE(platform::Keyboard::isVisible());
        EXPECT_EQ(text->frame(), restingText);
        EXPECT_EQ(count->frame(), restingCount);
        EXPECT_LE(text->contentOffset().y, std::max(text->contentSize().height - restingText.height(), 0.0));
    });
}

} // namespace
