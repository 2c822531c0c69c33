// Feedback: nothing sent without a text, the placeholder gone with the first
// change, the request's keys (the contact field never among them) and the
// screen leaving after the thanks.
#include "app/feedback/FeedbackViewController.h"
#include "app/main/ORBViewController.h"
#include "app/settings/SettingViewController.h"
#include "core/session/ORBEndpoints.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/app/ScreenWithKeyboard.h"
#include "tests/support/app/SignedInScreen.h"

#include <gtest/gtest.h>

#include <regex>

using namespace testsupport;
using Cmd = core::ORBEndpoints::Cmd;

namespace {

class Feedback : public SignedInScreenTest {
protected:
    bool typeInto(const std::shared_ptr<UITextView>& view, const std::string& text)
    {
        bool typed = testsupport::type(view, text);
        harness().loop().runUntilIdle();
        return typed;
    }
    std::shared_ptr<FeedbackViewController> openFeedback()
    {
        mainScreen()->switchToView(ORBViewController::kSettingsTab);
        settle(harness());
        auto settings = std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("tableview"));
        if (!settings || !harness().selectRow(settings, 0, 3))
            return nullptr;
        settle(harness());
        return std::dynamic_pointer_cast<FeedbackViewController>(harness().topScreen());
    }
};

} // namespace

TEST_F(Feedback, SendsTheTextWithItsFixedKeysAndLeavesAfterTheThanks)
{
    signIn();
    auto feedback = openFeedback();
    ASSERT_NE(feedback, nullptr);
    EXPECT_EQ(feedback->title(), "意见反馈");
    auto advice = std::dynamic_pointer_cast<UITextView>(harness().viewByOutlet("advice"));
    auto linkman = std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet("linkman"));
    auto frame = harness().viewByOutlet("TFLinkman");
    ASSERT_NE(advice, nullptr);
    ASSERT_NE(linkman, nullptr);
    ASSERT_NE(frame, nullptr);
    EXPECT_DOUBLE_EQ(frame->layer()->borderWidth(), 0.6);
    EXPECT_DOUBLE_EQ(frame->layer()->cornerRadius(), 7);
    EXPECT_NE(harness().viewByOutlet("placeHolder"), nullptr);
    EXPECT_FALSE(harness().render("app-feedback.png").empty());

    // Nothing is sent without a text.
    ASSERT_TRUE(harness().tapButton("提 交"));
    EXPECT_EQ(harness().overlayText(), "反馈内容不能为空");
    harness().advance(2.5);
    EXPECT_TRUE(requests(Cmd::kFeedback).empty());

    // One character takes the placeholder away for good.
    ASSERT_TRUE(typeInto(advice, "a"));
    EXPECT_EQ(harness().viewByOutlet("placeHolder"), nullptr);
    advice->deleteBackward();
    harness().loop().runUntilIdle();
    EXPECT_EQ(advice->text(), "");
    EXPECT_EQ(harness().viewByOutlet("placeHolder"), nullptr);

    // Spaces are a text; the contact field stays on the phone.
    ASSERT_TRUE(harness().type(linkman, "13900001111"));
    ASSERT_TRUE(typeInto(advice, "   "));
    auto held = holdNext(Cmd::kFeedback);
    ASSERT_TRUE(harness().tapButton("提 交"));
    ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1 && harness().overlayText() == "感谢您的反馈，正在上传中"; }));
    held->open();
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "反馈成功"; }));
    auto sent = requests(Cmd::kFeedback);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bodyValue("content").stringValue(), "   ");
    EXPECT_EQ(sent[0].bodyValue("parentId").doubleValue(), -1);
    EXPECT_EQ(sent[0].bodyValue("serviceId").doubleValue(), -1);
    // Written as whole numbers, as the platform reads them.
    for (const char* key : { "parentId", "serviceId" }) {
        std::regex whole(std::string("\"") + key + "\"\\s*:\\s*-1\\s*[,}]");
        EXPECT_TRUE(std::regex_search(sent[0].body, whole)) << key << " in " << sent[0].body;
    }
    EXPECT_EQ(sent[0].body.find("13900001111"), std::string::npos) << sent[0].body;

    harness().advance(1.0);
    EXPECT_EQ(harness().topScreen(), feedback);
    harness().advance(0.6);
    settle(harness());
    EXPECT_NE(std::dynamic_pointer_cast<SettingViewController>(harness().topScreen()), nullptr);
}

// Return in the contact field puts the keyboard away, and keeps what was typed.
TEST_F(Feedback, ReturnInTheContactFieldPutsTheKeyboardAway)
{
    signIn();
    auto feedback = openFeedback();
    ASSERT_NE(feedback, nullptr);
    auto linkman = std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet("linkman"));
    ASSERT_NE(linkman, nullptr);
    ASSERT_TRUE(harness().tap(linkman));
    ASSERT_TRUE(harness().type(linkman, "13900001111"));
    EXPECT_TRUE(linkman->isFirstResponder());
    EXPECT_TRUE(platform::Keyboard::isVisible());
    EXPECT_FALSE(renderWithKeyboard(harness(), "app-feedback-keyboard.png").empty());
    ASSERT_TRUE(harness().returnKey(linkman));
    EXPECT_FALSE(linkman->isFirstResponder());
    EXPECT_FALSE(platform::Keyboard::isVisible());
    EXPECT_EQ(linkman->text(), "13900001111");
    EXPECT_EQ(harness().topScreen(), feedback);
    EXPECT_TRUE(requests(Cmd::kFeedback).empty());
}

// On either screen the contact field and 提交, the keys up, stand above them
// and take a finger; a tap outside the fields puts the keys away, and the form
// goes back down with the keyboard.
TEST(FeedbackForm, TheContactFieldRisesAboveTheKeysOnBothScreens)
{
    auto screenFrameOf = [](const UIView& view) { return view.convertRectToView(view.bounds(), nullptr); };
    onBothScreens([&](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        mainScreen()->switchToView(ORBViewController::kSettingsTab);
        settle(harness);
        auto settings = std::dynamic_pointer_cast<UITableView>(harness.viewByOutlet("tableview"));
        ASSERT_TRUE(settings && harness.selectRow(settings, 0, 3));
        settle(harness);
        auto feedback = std::dynamic_pointer_cast<FeedbackViewController>(harness.topScreen());
        ASSERT_TRUE(feedback);
        auto linkman = findOutlet<UITextField>(feedback->view(), "linkman");
        auto advice = findOutlet<UITextView>(feedback->view(), "advice");
        ASSERT_TRUE(linkman && advice);
        const auto atRest = screenFrameOf(*linkman);
        const auto adviceAtRest = screenFrameOf(*advice);
        // The text first: with its keys up the contact field is still in
        // reach, the text box starting where it did.
        ASSERT_TRUE(harness.tap(advice));
        ASSERT_TRUE(testsupport::type(advice, "希望增加作业提醒"));
        harness.advance(0.5);
        auto shown = screenFrameOf(*linkman);
        EXPECT_LE(shown.maxY(), platform::Keyboard::frame().minY());
        EXPECT_EQ(screenFrameOf(*advice).minY(), adviceAtRest.minY());
        EXPECT_LE(screenFrameOf(*advice).maxY(), shown.minY());
        // 提交 stands whole above the keys too, and takes a finger there.
        auto expectCommitInReach = [&] {
            auto commit = findViewByOutlet(feedback->view(), "btnCommit");
            ASSERT_TRUE(commit);
            auto button = screenFrameOf(*commit);
            EXPECT_LE(button.maxY(), platform::Keyboard::frame().minY()) << "提交 under the keys";
            EXPECT_EQ(harness.window()->hitTest(platform::Point(button.midX(), button.midY()), nullptr), commit);
        };
        expectCommitInReach();
        // A tap on the form outside the fields puts the keys away, as on the other forms.
        harness.advance(1);
        tapAtPoint(platform::Point(4, screenFrameOf(*linkman).midY()));
        harness.loop().runUntilIdle();
        harness.advance(0.5);
        EXPECT_FALSE(advice->isFirstResponder());
        EXPECT_FALSE(platform::Keyboard::isVisible());
        EXPECT_EQ(screenFrameOf(*linkman), atRest);
        EXPECT_EQ(advice->text(), "希望增加作业提醒");
        harness.advance(1);
        ASSERT_TRUE(harness.tap(linkman));
        harness.advance(0.5);
        ASSERT_TRUE(linkman->isFirstResponder());
        shown = screenFrameOf(*linkman);
        EXPECT_LE(shown.maxY(), platform::Keyboard::frame().minY());
        EXPECT_GE(shown.minY(), 64);
        EXPECT_TRUE(harness.tap(linkman));
        expectCommitInReach();
        EXPECT_FALSE(renderWithKeyboard(harness, tall ? "app-feedback-contact-4inch.png" : "app-feedback-contact-3.5inch.png").empty());
        ASSERT_TRUE(harness.returnKey(linkman));
        harness.advance(0.5);
        EXPECT_FALSE(platform::Keyboard::isVisible());
        EXPECT_EQ(screenFrameOf(*linkman), atRest);
        harness.stop();
    });
}

TEST_F(Feedback, AFailedSendShowsTheReasonAndStays)
{
    signIn();
    auto feedback = openFeedback();
    ASSERT_NE(feedback, nullptr);
    harness().server()->script().forCommand(Cmd::kFeedback, server::ScriptedReply::errorEnvelope("反馈提交太频繁"));
    ASSERT_TRUE(typeInto(std::dynamic_pointer_cast<UITextView>(harness().viewByOutlet("advice")), "很好用"));
    ASSERT_TRUE(harness().tapButton("提 交"));
    ASSERT_TRUE(waitForAnswer(Cmd::kFeedback));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "反馈提交太频繁"; }));
    harness().advance(3);
    EXPECT_EQ(harness().topScreen(), feedback);
}

// The person leaves while the feedback is on its way: the thanks still
// replaces the spinner and then goes, nothing reaches the gone screen, and
// the settings screen the person went back to stays.
TEST_F(Feedback, LeavingBeforeTheAnswerLeavesNoOverlayOnTheWindow)
{
    signIn();
    auto feedback = openFeedback();
    ASSERT_NE(feedback, nullptr);
    ASSERT_TRUE(typeInto(std::dynamic_pointer_cast<UITextView>(harness().viewByOutlet("advice")), "很好用"));
    auto held = holdNext(Cmd::kFeedback);
    ASSERT_TRUE(harness().tapButton("提 交"));
    ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1 && harness().overlayText() == "感谢您的反馈，正在上传中"; }));

    std::weak_ptr<FeedbackViewController> gone = feedback;
    feedback.reset();
    auto navigation = harness().visibleNavigationController();
    ASSERT_NE(navigation, nullptr);
    navigation->popViewControllerAnimated(true);
    settle(harness());
    EXPECT_TRUE(gone.expired());
    auto settings = harness().topScreen();
    ASSERT_NE(std::dynamic_pointer_cast<SettingViewController>(settings), nullptr);

    held->open();
    ASSERT_TRUE(waitForAnswer(Cmd::kFeedback));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "反馈成功"; }));
    harness().advance(2.5);
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().topScreen(), settings);
}
