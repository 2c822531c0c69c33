// The warning prompt with a long service text: wrapped and grown to show it
// whole, or scrolling inside the prompt when even the screen is too short,
// always within the screen on both sizes; and the prompt taking down only
// its own overlay, never the host's others.
#include "contacts/calls/CNumberViewController.h"
#include "contacts/warn/WarnView.h"
#include "core/session/ORBEndpoints.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/contacts/ContactsTestSupport.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/overlay/ProgressOverlay.h"

#include "app/main/ORBViewController.h"

#include <gtest/gtest.h>

using core::ORBEndpoints;
using server::ScriptedReply;
using namespace testsupport;
using namespace contactstest;

namespace {

constexpr const char* kCheck = ORBEndpoints::Cmd::kCtdCheck;
constexpr const char* kHistory = ORBEndpoints::Cmd::kCtdHistory;
constexpr const char* kDemoParent = "13800000002";

std::string repeated(const std::string& text, int times)
{
    std::string out;
    for (int i = 0; i < times; ++i)
        out += text;
    return out;
}

const std::string kSentence = "点击拨号由平台先回拨您的手机，接通后再呼叫对方，本月剩余免费通话时长以账单为准。";
// Longer than the layout's box, short enough for the screen.
const std::string kLongText = repeated(kSentence, 4);
// Longer than either screen.
const std::string kVeryLongText = repeated(kSentence, 30);

ScriptedReply allowedWith(const std::string& message)
{
    return ScriptedReply::custom(200, R"({"resultState":1,"status":1,"resultMsg":")" + message + R"("})");
}

std::shared_ptr<WarnView> shownWarning(AppHarness& harness)
{
    auto views = harness.viewsByClass("WarnView");
    return views.empty() ? nullptr : std::dynamic_pointer_cast<WarnView>(views.back());
}

platform::Rect inWindow(const std::shared_ptr<UIView>& view)
{
    auto window = UIWindow::keyWindow();
    return view->superview()->convertRectToView(view->frame(), window.get());
}

// The whole message can be read: the label is as tall as its wrapped text
// (inside its scrolling box when there is one), and the prompt with its
// buttons lies on the screen, below the status bar.
void expectReadableAndOnScreen(const std::shared_ptr<WarnView>& prompt, const std::string& text)
{
    ASSERT_TRUE(prompt);
    auto label = prompt->prompContent();
    EXPECT_EQ(label->text(), text);
    const double needed = label->sizeThatFits(platform::Size(label->bounds().width(), 1e6)).height;
    EXPECT_LE(needed, label->bounds().height() + 0.5) << "the text is cut";
    if (auto scroller = prompt->messageScroller()) {
        EXPECT_GE(scroller->contentSize().height, label->bounds().height());
        EXPECT_LT(scroller->bounds().height(), label->bounds().height());
        EXPECT_TRUE(prompt->bounds().contains(scroller->frame()));
    } else {
        EXPECT_TRUE(prompt->bounds().contains(label->frame()));
    }
    auto window = UIWindow::keyWindow();
    const double statusBar = UIApplication::sharedApplication().statusBarHeight();
    const platform::Rect screen(0, statusBar, window->bounds().width(), window->bounds().height() - statusBar);
    EXPECT_TRUE(screen.contains(inWindow(prompt))) << "the prompt reaches off the screen";
    // Each button lies in the prompt and nothing covers it (the tab bar).
    for (const auto& button : findViewsByClass(prompt, "UIButton")) {
        EXPECT_TRUE(prompt->bounds().contains(button->superview()->convertRectToView(button->frame(), prompt.get())))
            << textOf(button);
        auto hit = window->hitTest(inWindow(button).center(), nullptr);
        EXPECT_TRUE(hit && hit->isDescendantOfView(button.get())) << textOf(button) << " is covered";
    }
}

} // namespace

// The address book's click-to-dial prompt (on the screen's view) and the
// click-to-dial home's (on the window), with a text longer than the box and
// one longer than the screen, on the 4-inch and the 3.5-inch screen.
TEST(WarnPromptText, ALongTextIsShownWholeWithinTheScreenOnBothSizes)
{
    onBothScreens([&](AppHarness& harness, bool tall) {
        const std::string size = tall ? "4inch" : "3.5inch";
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        letAddressBookEnd(harness);
        mainScreen()->switchToView(ORBViewController::kContactsTab);
        settle(harness);
        int answered = 0;
        for (const auto& text : { kLongText, kVeryLongText }) {
            SCOPED_TRACE(text.size());
            harness.server()->script().forCommand(kCheck, allowedWith(text));
            auto cells = harness.viewsByClass("ContactsOneCell");
            ASSERT_FALSE(cells.empty());
            ASSERT_TRUE(harness.tap(findOutlet<UIButton>(cells.front(), "btnCall")));
            ASSERT_TRUE(harness.runUntilAnswered(kCheck, ++answered));
            ASSERT_TRUE(harness.runUntil([&] { return shownWarning(harness) != nullptr; }));
            settle(harness, 0.5);
            auto prompt = shownWarning(harness);
            expectReadableAndOnScreen(prompt, text);
            // The longer text scrolls on either screen; the shorter one fits the taller screen.
            if (text == kVeryLongText || tall) {
                EXPECT_EQ(prompt->messageScroller() != nullptr, text == kVeryLongText);
            }
            EXPECT_FALSE(harness.render("h18-book-prompt-" + std::string(text == kLongText ? "long-" : "scrolling-") + size + ".png").empty());
            ASSERT_TRUE(harness.tapButton("取消"));
            settle(harness);
            EXPECT_FALSE(shownWarning(harness));
        }

        // The click-to-dial home shows its prompt on the window.
        harness.server()->script().forCommand(kCheck, allowedWith(kLongText));
        mainScreen()->switchToView(ORBViewController::kGridTab);
        settle(harness);
        auto home = std::make_shared<CNumberViewController>();
        harness.visibleNavigationController()->pushViewController(home, false);
        ASSERT_TRUE(harness.runUntilAnswered(kCheck, ++answered));
        ASSERT_TRUE(harness.runUntil([&] { return shownWarning(harness) != nullptr; }));
        settle(harness, 0.5);
        expectReadableAndOnScreen(shownWarning(harness), kLongText);
        EXPECT_FALSE(harness.render("h18-call-home-prompt-long-" + size + ".png").empty());
        ASSERT_TRUE(harness.tapButton("确定"));
        settle(harness);
        EXPECT_FALSE(shownWarning(harness));
        EXPECT_EQ(harness.topScreen(), home);
    });
}

namespace {

class WarnPromptOverlays : public SignedInScreenTest {
protected:
    // The overlays on the view showing this text, still up.
    std::size_t overlaysSaying(const std::shared_ptr<UIView>& host, const std::string& text)
    {
        std::size_t count = 0;
        for (const auto& overlay : ProgressOverlay::allHUDsForView(host)) {
            if (overlay->labelText() == text && !overlay->isHidden() && overlay->superview())
                ++count;
        }
        return count;
    }
};

} // namespace

// On the window, the click-to-dial home's own page overlay stays up while
// the prompt comes, and so does the application's notice when it goes.
TEST_F(WarnPromptOverlays, ThePromptOnTheWindowLeavesTheWindowsOtherOverlays)
{
    signIn();
    ASSERT_TRUE(harness().runUntil(bookIdle));
    settle(harness(), 2.0);
    auto gate = holdNext(kHistory);
    auto home = open(std::make_shared<CNumberViewController>(), ORBViewController::kGridTab);
    ASSERT_TRUE(waitForAnswer(kCheck));
    ASSERT_TRUE(harness().runUntil([&] { return shownWarning(harness()) != nullptr; }));
    settle(harness(), 0.5);
    auto window = UIWindow::keyWindow();
    EXPECT_EQ(overlaysSaying(window, "请求数据中"), 1u) << "the page's overlay went with the prompt's coming";

    // Another overlay on the window, one that lets touches through to the prompt.
    auto notice = ProgressOverlay::showHUDAddedTo(window, false);
    notice->setUserInteractionEnabled(false);
    notice->setMode(ProgressOverlayModeText);
    notice->setLabelText("另一条通知");
    settle(harness(), 0.5);
    ASSERT_EQ(overlaysSaying(window, "另一条通知"), 1u);
    ASSERT_TRUE(harness().tapButton("确定"));
    settle(harness());
    EXPECT_FALSE(shownWarning(harness()));
    EXPECT_EQ(overlaysSaying(window, "另一条通知"), 1u);
    notice->hide(false);
    gate->open();
    ASSERT_TRUE(waitForAnswer(kHistory));
}

// On a screen's view: an overlay put on the address book after its prompt
// stays when the prompt is closed.
TEST_F(WarnPromptOverlays, ClosingThePromptOnAScreenLeavesTheScreensOtherOverlays)
{
    signIn(kDemoParent, kDemoParentPassword);
    ASSERT_TRUE(harness().runUntil(bookIdle));
    mainScreen()->switchToView(ORBViewController::kContactsTab);
    settle(harness(), 2.0);
    auto cells = harness().viewsByClass("ContactsOneCell");
    ASSERT_FALSE(cells.empty());
    ASSERT_TRUE(harness().tap(findOutlet<UIButton>(cells.front(), "btnCall")));
    ASSERT_TRUE(shownWarning(harness()));
    auto host = book()->view();
    auto other = ProgressOverlay::showHUDAddedTo(host, false);
    other->setUserInteractionEnabled(false);
    other->setMode(ProgressOverlayModeText);
    other->setLabelText("另一个浮层");
    settle(harness(), 0.5);
    ASSERT_TRUE(harness().tapButton("取消"));
    settle(harness());
    EXPECT_FALSE(shownWarning(harness()));
    EXPECT_EQ(overlaysSaying(host, "另一个浮层"), 1u) << "the prompt took another overlay down";
    other->hide(false);
}
