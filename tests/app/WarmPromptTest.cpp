// The warm prompt after sign-in: ticked or not, and what the next run shows.
#include "app/main/ORBViewController.h"
#include "app/main/WarmPrompt.h"
#include "platform/os/FileUtil.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"
#include "ui/overlay/ProgressOverlay.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport;

namespace {

std::shared_ptr<ProgressOverlay> promptOverlay()
{
    auto main = mainScreen();
    return main ? ProgressOverlay::HUDForView(main->view()) : nullptr;
}

std::shared_ptr<WarmPrompt> shownPrompt()
{
    auto overlay = promptOverlay();
    return overlay ? std::dynamic_pointer_cast<WarmPrompt>(overlay->customView()) : nullptr;
}

// One run of the program on the home: sign in and see whether the prompt
// greets; then close it after `ticks` taps on its box. With `lateFeed` the
// circle's first page is answered late, as a busy server does: its loading
// notice stands over the window, and the prompt, until then.
bool runAndClose(const std::string& home, int ticks, bool* storedNotNext = nullptr, bool lateFeed = false)
{
    AppHarnessOptions options;
    options.home = home;
    AppHarness harness(options);
    if (!startClient(harness))
        return false;
    if (lateFeed)
        harness.server()->script().forRoute("webapp/jxq/weibo", server::ScriptedReply::normal().delayed(2));
    if (!loginScreen(harness) && !passIntroduction(harness))
        return false;
    if (!harness.signIn(kDemoTeacher, kDemoTeacherPassword))
        return false;
    settle(harness);
    // The address book's first download ends with its notice on the window,
    // over the prompt, for a moment.
    letAddressBookEnd(harness);
    // What the tabs asked for at sign-in has been answered and its loading
    // notice is gone: a tap meant for the prompt lands on the prompt.
    if (!harness.waitForServerQuiet())
        return false;
    settle(harness);
    auto prompt = shownPrompt();
    if (!prompt)
        return false;
    auto overlay = promptOverlay();
    EXPECT_EQ(overlay->mode(), ProgressOverlayModeCustomView);
    EXPECT_TRUE(overlay->dimBackground());
    EXPECT_EQ(overlay->opacity(), 0.0);
    for (int i = 0; i < ticks; ++i)
        EXPECT_TRUE(harness.tap(prompt->promptBtn()));
    if (ticks % 2 == 1) {
        EXPECT_FALSE(harness.render("app-warm-prompt-ticked.png").empty());
    }
    EXPECT_TRUE(harness.tapButton("我知道了"));
    settle(harness);
    EXPECT_FALSE(shownPrompt());
    EXPECT_TRUE(mainScreen()->isLogined());
    if (storedNotNext)
        *storedNotNext = platform::UserDefaults::standard()->boolForKey(kNotWarmPromptKey);
    // Closed once, it does not come back while the main screen lives.
    auto grid = mainScreen()->viewControllers()[ORBViewController::kGridTab];
    harness.tap(harness.viewByText("考勤查询")->superview());
    settle(harness);
    grid->popViewControllerAnimated(false);
    settle(harness);
    EXPECT_FALSE(shownPrompt());
    return true;
}

} // namespace

TEST(WarmPrompt, UntickedComesBackTickedStaysAwayAcrossRuns)
{
    std::string pattern = "/tmp/orb-warm-XXXXXX";
    ASSERT_TRUE(mkdtemp(pattern.data()));
    const std::string home = pattern;

    bool notNext = true;
    ASSERT_TRUE(runAndClose(home, 2, &notNext)) << "first run: the prompt greets";
    EXPECT_FALSE(notNext) << "ticked twice is not ticked";
    ASSERT_TRUE(runAndClose(home, 1, &notNext, true)) << "not ticked: it greets the next run too";
    EXPECT_TRUE(notNext);

    {
        AppHarnessOptions options;
        options.home = home;
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        ASSERT_TRUE(loginScreen(harness));
        ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
        settle(harness);
        EXPECT_FALSE(shownPrompt()) << "ticked: never again";
    }
    platform::FileUtil::remove(home);
}

// A notice of the sign-in given just before the prompt comes up (the
// address book stored while the login screen goes away) lies under the
// prompt once it is up, as those given while it is up do: it is not drawn
// over the prompt's text.
TEST(WarmPrompt, ANoticeGivenJustBeforeThePromptLiesUnderIt)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(passIntroduction(harness));
        ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
        // The clock held: the book is stored and says so before the login
        // screen has gone and the prompt come.
        ASSERT_TRUE(harness.runUntil([&] { return harness.overlayText() == "联系人更新完毕"; }));
        EXPECT_FALSE(shownPrompt());
        settle(harness, 0.6);
        ASSERT_TRUE(shownPrompt());
        auto onWindow = ProgressOverlay::HUDForView(harness.window());
        EXPECT_FALSE(onWindow && !onWindow->isHidden())
            << "over the prompt: " << (onWindow ? onWindow->labelText() : std::string());
        // Under the prompt on the main screen, for the rest of its time.
        auto main = mainScreen()->view();
        const auto& views = main->subviews();
        auto prompt = std::find(views.begin(), views.end(), promptOverlay());
        auto notice = std::find_if(views.begin(), views.end(), [](const auto& view) {
            auto overlay = std::dynamic_pointer_cast<ProgressOverlay>(view);
            return overlay && overlay->labelText() == "联系人更新完毕";
        });
        EXPECT_NE(notice, views.end());
        EXPECT_LT(notice, prompt);
        EXPECT_FALSE(harness.render(std::string("app-warm-prompt-notice-under-") + (tall ? "4-inch" : "3.5-inch") + ".png").empty());
        // Gone in its time, and the prompt takes the taps.
        settle(harness, 2.0);
        EXPECT_EQ(std::count_if(main->subviews().begin(), main->subviews().end(), [](const auto& view) {
            auto overlay = std::dynamic_pointer_cast<ProgressOverlay>(view);
            return overlay && !overlay->isHidden() && overlay->labelText() == "联系人更新完毕";
        }), 0);
        EXPECT_TRUE(harness.tapButton("我知道了"));
        settle(harness);
        EXPECT_FALSE(shownPrompt());
    });
}

TEST(WarmPrompt, ADelegateThatIsGoneLeavesThePromptAlone)
{
    AppHarness harness;
    ASSERT_TRUE(startClient(harness));
    auto prompt = WarmPrompt::make();
    ASSERT_TRUE(prompt->promptBtn());
    EXPECT_FALSE(prompt->promptBtn()->isSelected());
    prompt->notShowNextTime(prompt->promptBtn().get());
    EXPECT_TRUE(prompt->promptBtn()->isSelected());
    // No delegate: closing does nothing and nothing breaks.
    prompt->closePromptAction(nullptr);
    prompt->addHeight(20);
    EXPECT_EQ(textOf(findViewByOutlet(prompt, "lblCheck")), WarmPrompt::kCheckCaption);
}
