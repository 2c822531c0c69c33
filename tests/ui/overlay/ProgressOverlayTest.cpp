#include "ui/overlay/ProgressOverlay.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/services/UIDevice.h"
#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"
#include "ui/UIClasses.h"
#include "ui/overlay/RoundProgressView.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <memory>
#include <string>
#include <vector>

using platform::Rect;
using platform::Size;

namespace {

class CountingDelegate : public ProgressOverlayDelegate {
public:
    explicit CountingDelegate(std::shared_ptr<int> count)
        : count_(std::move(count))
    {
    }
    void hudWasHidden(ProgressOverlay*) override { ++*count_; }

private:
    std::shared_ptr<int> count_;
};

class ProgressOverlayTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness->start(std::make_shared<sample::SampleAppDelegate>()));
        ui::registerUIClasses();
        host = std::make_shared<UIView>(Rect(0, 0, 320, 480));
        harness->window()->addSubview(host);
    }
    void TearDown() override
    {
        host.reset();
        harness.reset();
    }

    std::shared_ptr<ProgressOverlay> overlayOnHost()
    {
        auto overlay = ProgressOverlay::initWithView(host);
        host->addSubview(overlay);
        return overlay;
    }

    static bool visible(const std::shared_ptr<ProgressOverlay>& overlay) { return overlay->alpha() > 0.5; }

    std::unique_ptr<testsupport::AppHarness> harness;
    std::shared_ptr<UIView> host;
};

// "OK" in bold 16 measures 23 × 20 (two capitals of 11.44 points; a line of
// 19.2), the large spinner and the round view are 37 square, the margin 20 and
// the spacing 4: these are the numbers the box is built from.
TEST_F(ProgressOverlayTest, EachModeIsLaidOutAroundItsIndicatorAndText)
{
    struct Row {
        ProgressOverlayMode mode;
        Size customSize;
        Size box;
        Rect indicator; // empty: no indicator
        Rect label;
        const char* indicatorClass;
    };
    const std::vector<Row> rows = {
        { ProgressOverlayModeSpinner, {}, { 77, 101 }, { 142, 210, 37, 37 }, { 149, 251, 23, 20 },
            "UIActivityIndicatorView" },
        { ProgressOverlayModePie, {}, { 77, 101 }, { 142, 210, 37, 37 }, { 149, 251, 23, 20 }, "RoundProgressView" },
        { ProgressOverlayModeRing, {}, { 77, 101 }, { 142, 210, 37, 37 }, { 149, 251, 23, 20 }, "RoundProgressView" },
        // A 60 × 40 custom view: the box is 100 × 104, the view at y = 188 + 20.
        { ProgressOverlayModeCustomView, { 60, 40 }, { 100, 104 }, { 130, 208, 60, 40 }, { 149, 252, 23, 20 },
            "UIView" },
        // Text only: 63 × 60, the text in the middle.
        { ProgressOverlayModeText, {}, { 63, 60 }, {}, { 149, 230, 23, 20 }, nullptr },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.mode);
        auto overlay = overlayOnHost();
        if (row.mode == ProgressOverlayModeCustomView)
            overlay->setCustomView(std::make_shared<UIView>(Rect(0, 0, row.customSize.width, row.customSize.height)));
        overlay->setMode(row.mode);
        overlay->setLabelText("OK");
        overlay->layoutIfNeeded();
        EXPECT_EQ(overlay->size(), row.box);
        if (row.indicatorClass) {
            ASSERT_TRUE(overlay->indicator());
            EXPECT_EQ(overlay->indicator()->className(), row.indicatorClass);
            EXPECT_EQ(overlay->indicator()->frame(), row.indicator);
            EXPECT_EQ(overlay->indicator()->superview(), overlay);
        } else
            EXPECT_FALSE(overlay->indicator());
        EXPECT_EQ(overlay->label()->frame(), row.label);
        if (auto round = std::dynamic_pointer_cast<RoundProgressView>(overlay->indicator())) {
            EXPECT_EQ(round->isAnnular(), row.mode == ProgressOverlayModeRing);
        }
        overlay->removeFromSuperview();
    }
}

TEST_F(ProgressOverlayTest, BoxRulesForEmptyLongAndSquareContents)
{
    // Neither text nor indicator: 2 × margin square, raised to the minimum size.
    auto empty = overlayOnHost();
    empty->setMode(ProgressOverlayModeText);
    empty->layoutIfNeeded();
    EXPECT_EQ(empty->size(), Size(40, 40));
    empty->setMinSize({ 120, 120 });
    empty->setNeedsLayout();
    empty->layoutIfNeeded();
    EXPECT_EQ(empty->size(), Size(120, 120));

    // Square: 63 × 60 becomes 63 × 63.
    auto square = overlayOnHost();
    square->setMode(ProgressOverlayModeText);
    square->setLabelText("OK");
    square->setSquare(true);
    square->layoutIfNeeded();
    EXPECT_EQ(square->size(), Size(63, 63));

    // A main line wider than the usable 240 points is cut to it; long details
    // wrap onto several lines centred under it.
    auto wordy = overlayOnHost();
    wordy->setMode(ProgressOverlayModeText);
    wordy->setLabelText(std::string(40, 'W'));
    wordy->setDetailsLabelText("The photo could not be sent because the network went away while it was uploading");
    wordy->layoutIfNeeded();
    EXPECT_EQ(wordy->label()->frame().size.width, 240);
    auto details = wordy->detailsLabel()->frame();
    EXPECT_LE(details.size.width, 240);
    EXPECT_GE(details.size.height, 3 * 14.4);
    EXPECT_EQ(details.origin.x, platform::roundHalfAwayFromZero((320 - details.size.width) / 2));
    EXPECT_EQ(details.origin.y, wordy->label()->frame().maxY() + ProgressOverlay::kPadding);
    EXPECT_EQ(wordy->size().width, 280);

    // Progress means nothing to a spinner.
    auto spinner = overlayOnHost();
    spinner->setProgress(0.7);
    EXPECT_TRUE(std::dynamic_pointer_cast<UIActivityIndicatorView>(spinner->indicator()));
}

TEST_F(ProgressOverlayTest, AGraceTimeWithoutATaskNeverShowsButStillHides)
{
    auto count = std::make_shared<int>(0);
    auto delegate = std::make_shared<CountingDelegate>(count);
    auto overlay = overlayOnHost();
    overlay->setDelegate(delegate);
    overlay->setGraceTime(0.5);
    overlay->show(false);
    harness->advance(2.0);
    EXPECT_FALSE(visible(overlay));
    EXPECT_FALSE(overlay->showStarted());
    overlay->setRemoveFromSuperViewOnHide(true);
    overlay->hide(true);
    EXPECT_EQ(*count, 1);
    EXPECT_FALSE(overlay->superview());

    // With a task running the grace time only delays it.
    auto busy = overlayOnHost();
    busy->setGraceTime(0.5);
    busy->setTaskInProgress(true);
    busy->show(false);
    harness->advance(0.45);
    EXPECT_FALSE(visible(busy));
    harness->advance(0.1);
    EXPECT_TRUE(visible(busy));
}

TEST_F(ProgressOverlayTest, AMinimumShowTimeKeepsAnEarlyHideWaiting)
{
    auto count = std::make_shared<int>(0);
    auto delegate = std::make_shared<CountingDelegate>(count);
    auto overlay = overlayOnHost();
    overlay->setDelegate(delegate);
    overlay->setMinShowTime(1.0);
    overlay->show(false);
    harness->advance(0.3);
    overlay->hide(false);
    EXPECT_TRUE(visible(overlay));
    harness->advance(0.69);
    EXPECT_TRUE(visible(overlay));
    EXPECT_EQ(*count, 0);
    harness->advance(0.02);
    EXPECT_FALSE(visible(overlay));
    EXPECT_EQ(*count, 1);
    EXPECT_TRUE(overlay->isFinished());
}

TEST_F(ProgressOverlayTest, HideAfterDelayAndShowingAgainCancelsTheOldHide)
{
    auto overlay = overlayOnHost();
    overlay->setLabelText("Saved");
    overlay->show(false);
    overlay->hide(false, 1.5);
    harness->advance(1.49);
    EXPECT_TRUE(visible(overlay));
    harness->advance(0.02);
    EXPECT_FALSE(visible(overlay));

    // The screen reuses its overlay: the earlier message's pending hide must
    // not take the new message away after 1 s.
    overlay->setLabelText("First");
    overlay->show(false);
    overlay->hide(true, 1.0);
    harness->advance(0.5);
    overlay->setLabelText("Second");
    overlay->show(false);
    harness->advance(3.0);
    EXPECT_TRUE(visible(overlay));
    EXPECT_EQ(harness->overlayText(), "Second");

    // Nor may a minimum-show hide from the earlier round.
    overlay->setMinShowTime(1.0);
    overlay->hide(false);
    EXPECT_FALSE(visible(overlay)); // shown 3 s ago: it hides at once...
    overlay->show(false);
    harness->advance(0.2);
    overlay->hide(false); // ...this one waits 0.8 s more
    overlay->show(false);
    harness->advance(2.0);
    EXPECT_TRUE(visible(overlay));
}

TEST_F(ProgressOverlayTest, ADelegateThatHasGoneIsNotCalled)
{
    auto count = std::make_shared<int>(0);
    auto overlay = overlayOnHost();
    {
        auto delegate = std::make_shared<CountingDelegate>(count);
        overlay->setDelegate(delegate);
        overlay->show(false);
        overlay->hide(true, 1.5);
    }
    // The screen that was the delegate has gone before the hide runs.
    overlay->setRemoveFromSuperViewOnHide(true);
    std::weak_ptr<ProgressOverlay> weak = overlay;
    overlay.reset();
    harness->advance(2.0);
    EXPECT_EQ(*count, 0);
    // The pending hide kept the overlay until it ran; then it was removed and let go.
    EXPECT_TRUE(weak.expired());
    EXPECT_TRUE(host->subviews().empty());

    auto live = std::make_shared<CountingDelegate>(count);
    auto second = overlayOnHost();
    second->setDelegate(live);
    second->show(false);
    second->hide(false, 1.5);
    harness->advance(2.0);
    EXPECT_EQ(*count, 1);
}

// What the overlay has pending (the grace and minimum-show timers, a delayed
// hide, a fade, a task's end, the orientation observation) holds it weakly:
// once its host and its owner let go, it goes at once and nothing of it runs.
TEST_F(ProgressOverlayTest, AnOverlayThatHasGoneIsNotCalledBack)
{
    auto count = std::make_shared<int>(0);
    auto delegate = std::make_shared<CountingDelegate>(count);
    struct Case {
        const char* what;
        std::function<void(ProgressOverlay&)> start;
        // A fade's end is the animation's own call, made whoever is gone.
        bool ownTimer = true;
    };
    const Case cases[] = {
        { "grace timer",
            [](ProgressOverlay& o) {
                o.setGraceTime(1);
                o.show(false);
            } },
        { "minimum show time",
            [](ProgressOverlay& o) {
                o.setMinShowTime(2);
                o.show(false);
                o.hide(false);
            } },
        { "delayed hide",
            [](ProgressOverlay& o) {
                o.show(false);
                o.hide(false, 1.5);
            } },
        { "fade out",
            [](ProgressOverlay& o) {
                o.show(false);
                o.hide(true);
            },
            false },
    };
    // What fires on the loop in three seconds with no overlay about.
    auto calloutsIn = [&](double seconds) {
        const auto before = harness->loop().calloutCount();
        harness->advance(seconds);
        return harness->loop().calloutCount() - before;
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        harness->advance(10.0); // what earlier rounds left pending, out of the way
        const auto baseline = calloutsIn(3.0);
        auto overlay = overlayOnHost();
        overlay->setDelegate(delegate);
        c.start(*overlay);
        ASSERT_EQ(*count, 0);
        std::weak_ptr<ProgressOverlay> weak = overlay;
        overlay->removeFromSuperview();
        overlay.reset();
        EXPECT_TRUE(weak.expired()) << "kept alive by what it had pending";
        harness->loop().runUntilIdle(); // what the views posted for drawing
        if (c.ownTimer)
            EXPECT_EQ(calloutsIn(3.0), baseline) << "a timer of the gone overlay still fired";
        else
            harness->advance(3.0);
        EXPECT_EQ(*count, 0);
    }

    // The orientation observation ends with the overlay.
    UIApplication::sharedApplication().setStatusBarOrientation(1);
    auto turning = ProgressOverlay::initWithView(harness->window());
    harness->window()->addSubview(turning);
    std::weak_ptr<ProgressOverlay> weakTurning = turning;
    turning->removeFromSuperview();
    turning.reset();
    EXPECT_TRUE(weakTurning.expired());
    platform::NotificationCenter::defaultCenter().post(platform::UIDeviceOrientationDidChangeNotification);
    harness->loop().runUntilIdle();

    // A task still running when the overlay goes: its end finds nothing to
    // clean up, and what it captured is let go on the main thread.
    std::mutex gate;
    std::unique_lock<std::mutex> closed(gate);
    auto captured = std::make_shared<int>(7);
    std::weak_ptr<int> weakCaptured = captured;
    auto working = overlayOnHost();
    working->setDelegate(delegate);
    working->showWhileExecuting(
        [&gate, captured] {
            std::lock_guard<std::mutex> wait(gate);
            (void)captured;
        },
        false);
    captured.reset();
    std::weak_ptr<ProgressOverlay> weakWorking = working;
    working->removeFromSuperview();
    working.reset();
    EXPECT_TRUE(weakWorking.expired()) << "the task's thread held the overlay";
    closed.unlock();
    ASSERT_TRUE(harness->runUntil([&] { return weakCaptured.expired(); }, 10));
    harness->advance(1.0);
    EXPECT_EQ(*count, 0);
}

TEST_F(ProgressOverlayTest, ZoomGrowsFromOneAndAHalfAndShrinksToAHalf)
{
    auto overlay = overlayOnHost();
    overlay->setAnimationType(ProgressOverlayAnimationZoom);
    platform::AnimationLog::clear();
    overlay->show(true);
    const auto* shown = platform::AnimationLog::last();
    ASSERT_TRUE(shown);
    EXPECT_DOUBLE_EQ(shown->duration, 0.30);
    bool sawTransform = false;
    for (const auto& change : shown->changes) {
        if (change.property == "transform" && change.targetClass == "ProgressOverlay") {
            sawTransform = true;
            EXPECT_EQ(change.from, (std::vector<double> { 1.5, 0, 0, 1.5, 0, 0 }));
        }
        if (change.property == "alpha" && change.targetClass == "ProgressOverlay") {
            EXPECT_EQ(change.from, std::vector<double> { 0 });
        }
    }
    EXPECT_TRUE(sawTransform);
    EXPECT_TRUE(overlay->transform().isIdentity());
    EXPECT_DOUBLE_EQ(overlay->alpha(), 1.0);

    overlay->hide(true);
    const auto* hidden = platform::AnimationLog::last();
    ASSERT_TRUE(hidden);
    EXPECT_DOUBLE_EQ(hidden->duration, 0.30);
    EXPECT_EQ(overlay->transform(), platform::AffineTransform::makeScale(0.5, 0.5));
    EXPECT_DOUBLE_EQ(overlay->alpha(), ProgressOverlay::kHiddenAlpha);
    EXPECT_FALSE(overlay->isFinished());
    harness->advance(0.31);
    EXPECT_TRUE(overlay->isFinished());
    EXPECT_DOUBLE_EQ(overlay->alpha(), 0);

    // Fading changes no transform; hiding before ever being shown is at once.
    auto fading = overlayOnHost();
    platform::AnimationLog::clear();
    fading->show(true);
    ASSERT_TRUE(platform::AnimationLog::last());
    EXPECT_FALSE(platform::AnimationLog::last()->changed("transform", "ProgressOverlay"));
    auto never = overlayOnHost();
    never->setGraceTime(1);
    never->show(true);
    never->hide(true);
    EXPECT_TRUE(never->isFinished());
}

TEST_F(ProgressOverlayTest, ClassHelpersFindAndHideTheTopmostOverlay)
{
    EXPECT_FALSE(ProgressOverlay::hideHUDForView(host, false));
    EXPECT_FALSE(ProgressOverlay::HUDForView(host));
    auto first = ProgressOverlay::showHUDAddedTo(host, false);
    auto second = ProgressOverlay::showHUDAddedTo(host, false);
    host->addSubview(std::make_shared<UIView>(Rect(0, 0, 10, 10)));
    EXPECT_EQ(ProgressOverlay::allHUDsForView(host), (std::vector<std::shared_ptr<ProgressOverlay>> { first, second }));
    EXPECT_EQ(ProgressOverlay::HUDForView(host), second);
    EXPECT_TRUE(ProgressOverlay::hideHUDForView(host, false));
    EXPECT_FALSE(second->superview());
    EXPECT_EQ(first->superview(), host);
    EXPECT_TRUE(visible(first));
    ProgressOverlay::showHUDAddedTo(host, false);
    EXPECT_EQ(ProgressOverlay::hideAllHUDsForView(host, false), 2u);
    EXPECT_TRUE(ProgressOverlay::allHUDsForView(host).empty());
    EXPECT_EQ(host->subviews().size(), 1u);
}

TEST_F(ProgressOverlayTest, ATaskRunsOnItsOwnThreadAndTheOverlayHidesAfterIt)
{
    auto overlay = overlayOnHost();
    overlay->setMode(ProgressOverlayModePie);
    std::atomic<bool> ranOnMain { true };
    std::weak_ptr<ProgressOverlay> weak = overlay;
    overlay->showWhileExecuting(
        [weak, &ranOnMain] {
            ranOnMain = platform::RunLoop::isMainThread();
            // Set from the task's thread: applied on the main thread.
            if (auto strong = weak.lock())
                strong->setProgress(0.5);
        },
        false);
    EXPECT_TRUE(overlay->taskInProgress());
    EXPECT_TRUE(visible(overlay));
    ASSERT_TRUE(harness->runUntil([&] { return overlay->isFinished(); }, 10));
    EXPECT_FALSE(ranOnMain);
    EXPECT_DOUBLE_EQ(overlay->progress(), 0.5);
    EXPECT_FALSE(overlay->taskInProgress());
    EXPECT_FALSE(overlay->indicator());
    EXPECT_FALSE(visible(overlay));
}

TEST_F(ProgressOverlayTest, AFinishedTaskLetsItsSpinnerGoButTheBoxFadesWithIt)
{
    auto overlay = overlayOnHost();
    auto spinners = [&] {
        int count = 0;
        for (const auto& view : overlay->subviews())
            count += std::dynamic_pointer_cast<UIActivityIndicatorView>(view) != nullptr;
        return count;
    };
    overlay->showWhileExecuting([] {}, true);
    ASSERT_EQ(spinners(), 1);
    ASSERT_TRUE(harness->runUntil([&] { return !overlay->taskInProgress(); }, 10));
    // Let go of, but still drawn in the fading box.
    EXPECT_FALSE(overlay->indicator());
    EXPECT_EQ(spinners(), 1);
    // A new indicator takes its place: the old one leaves the box.
    overlay->setMode(ProgressOverlayModeText);
    EXPECT_EQ(spinners(), 0);
    overlay->setMode(ProgressOverlayModeSpinner);
    EXPECT_EQ(spinners(), 1);
    EXPECT_TRUE(overlay->indicator());
}

TEST_F(ProgressOverlayTest, OnAWindowTheOverlayTurnsWithTheInterface)
{
    UIApplication::sharedApplication().setStatusBarOrientation(4); // landscape left
    auto overlay = ProgressOverlay::initWithView(harness->window());
    UIApplication::sharedApplication().setStatusBarOrientation(1);
    EXPECT_EQ(overlay->bounds().size, Size(568, 320));
    auto turn = overlay->rotationTransform();
    EXPECT_NEAR(turn.b, -1.0, 1e-9);
    EXPECT_NEAR(turn.c, 1.0, 1e-9);
    EXPECT_EQ(overlay->transform(), turn);
    // On an ordinary view it stays upright.
    auto upright = ProgressOverlay::initWithView(host);
    EXPECT_TRUE(upright->rotationTransform().isIdentity());
}

} // namespace
