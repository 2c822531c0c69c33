#include "UIKitTestSupport.h"

#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/CATransition.h"

using platform::AnimationLog;
using platform::AnimationRecord;
using platform::Rect;

TEST_F(UIKitTest, BlockAnimationAppliesAtOnceAndCompletesAtDelayPlusDuration)
{
    auto view = std::make_shared<UIView>(Rect(0, 0, 10, 10));
    window->addSubview(view);
    std::vector<std::pair<double, bool>> completions;
    UIView::animateWithDuration(
        0.3, 0.2, UIViewAnimationOptionAllowUserInteraction,
        [&] {
            view->setAlpha(0.5);
            view->setFrame(Rect(5, 5, 20, 20));
        },
        [&](bool finished) {
            completions.push_back({ loop->now(), finished });
        });

    // Final values at once.
    EXPECT_EQ(view->alpha(), 0.5);
    EXPECT_EQ(view->frame(), Rect(5, 5, 20, 20));
    // Not before delay + duration.
    loop->advance(0.49);
    EXPECT_TRUE(completions.empty());
    EXPECT_EQ(UIView::runningAnimationCount(), 1u);
    loop->advance(0.01);
    ASSERT_EQ(completions.size(), 1u);
    EXPECT_NEAR(completions[0].first, 0.5, 1e-9);
    EXPECT_TRUE(completions[0].second);
    EXPECT_EQ(UIView::runningAnimationCount(), 0u);

    ASSERT_EQ(AnimationLog::count(), 1u);
    auto& record = AnimationLog::records()[0];
    EXPECT_EQ(record.kind, AnimationRecord::Kind::Block);
    EXPECT_DOUBLE_EQ(record.duration, 0.3);
    EXPECT_DOUBLE_EQ(record.delay, 0.2);
    EXPECT_EQ(record.options, unsigned(UIViewAnimationOptionAllowUserInteraction));
    EXPECT_TRUE(record.changed("alpha", "UIView"));
    EXPECT_TRUE(record.changed("frame"));
    EXPECT_FALSE(record.changed("transform"));
    EXPECT_TRUE(record.changedObject(view.get(), "alpha"));
    EXPECT_TRUE(record.finished);
}

TEST_F(UIKitTest, ZeroDurationStillCompletesOnTheNextTurnNotInside)
{
    bool done = false;
    UIView::animateWithDuration(
        0, [] {}, [&](bool) { done = true; });
    EXPECT_FALSE(done);
    loop->runUntilIdle();
    EXPECT_TRUE(done);
    // Negative and NaN durations count as zero.
    UIView::animateWithDuration(
        -4, [] {}, nullptr);
    UIView::animateWithDuration(
        NAN, [] {}, nullptr);
    EXPECT_EQ(AnimationLog::records()[1].duration, 0);
    EXPECT_EQ(AnimationLog::records()[2].duration, 0);
}

TEST_F(UIKitTest, BeginCommitStyleRecordsDurationDelayAndCallsDidStopWithItsName)
{
    auto view = std::make_shared<UIView>(Rect(0, 0, 10, 10));
    auto owner = std::make_shared<int>(0);
    std::vector<std::string> stopped;
    UIView::beginAnimations("splash");
    UIView::setAnimationDelay(1.0);
    UIView::setAnimationDuration(1.6);
    UIView::setAnimationCurve(UIViewAnimationCurveEaseIn);
    UIView::setAnimationDidStop(owner, [&](const std::string& name, bool finished) {
        stopped.push_back(name + (finished ? ":finished" : ":stopped"));
    });
    view->setAlpha(0);
    UIView::commitAnimations();
    EXPECT_EQ(view->alpha(), 0);
    loop->advance(2.5);
    EXPECT_TRUE(stopped.empty());
    loop->advance(0.1);
    EXPECT_EQ(stopped, std::vector<std::string> { "splash:finished" });
    auto* record = AnimationLog::last();
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->kind, AnimationRecord::Kind::BeginCommit);
    EXPECT_EQ(record->name, "splash");
    EXPECT_DOUBLE_EQ(record->duration, 1.6);
    EXPECT_DOUBLE_EQ(record->delay, 1.0);
    EXPECT_EQ(record->options, unsigned(UIViewAnimationCurveEaseIn));

    // Without a set duration the style's default, 0.2 s, applies.
    UIView::beginAnimations();
    view->setAlpha(1);
    UIView::commitAnimations();
    EXPECT_DOUBLE_EQ(AnimationLog::last()->duration, 0.2);
}

TEST_F(UIKitTest, DidStopOfAnOwnerThatWentAwayIsNotCalled)
{
    auto owner = std::make_shared<int>(0);
    bool called = false;
    UIView::beginAnimations("hide");
    UIView::setAnimationDuration(0.3);
    UIView::setAnimationDidStop(owner, [&](const std::string&, bool) { called = true; });
    UIView::commitAnimations();
    owner.reset();
    loop->advance(1);
    EXPECT_FALSE(called);
}

TEST_F(UIKitTest, RemovingAnimationsEndsThemUnfinished)
{
    auto view = std::make_shared<UIView>(Rect(0, 0, 10, 10));
    auto other = std::make_shared<UIView>(Rect(0, 0, 10, 10));
    std::vector<std::string> results;
    UIView::animateWithDuration(
        1.0, [&] { view->setAlpha(0.2); },
        [&](bool finished) { results.push_back(finished ? "view done" : "view cut"); });
    UIView::animateWithDuration(
        1.0, [&] { other->setAlpha(0.2); },
        [&](bool finished) { results.push_back(finished ? "other done" : "other cut"); });
    view->layer()->removeAllAnimations();
    EXPECT_TRUE(results.empty()); // reported on the next turn, not inside the call
    loop->runUntilIdle();
    EXPECT_EQ(results, std::vector<std::string> { "view cut" });
    loop->advance(1.0);
    EXPECT_EQ(results, (std::vector<std::string> { "view cut", "other done" }));
    EXPECT_TRUE(AnimationLog::records()[0].cancelled);
}

TEST_F(UIKitTest, LayerChangesInsideBlocksAndLayerTransitionsAreRecorded)
{
    auto arrow = std::make_shared<UIView>(Rect(0, 0, 10, 10));
    arrow->setTag(7);
    UIView::animateWithDuration(0.2, [&] {
        arrow->layer()->setTransform(CATransform3D::makeRotation(3.14159265358979323846, 0, 0, 1));
        arrow->layer()->setOpacity(0);
    });
    auto* record = AnimationLog::last();
    ASSERT_NE(record, nullptr);
    EXPECT_TRUE(record->changed("layer.transform", "UIView"));
    EXPECT_TRUE(record->changed("layer.opacity"));
    EXPECT_EQ(record->changes[0].targetTag, 7);
    // The view reads the layer's values: one state, two names.
    EXPECT_EQ(arrow->alpha(), 0);
    EXPECT_NEAR(arrow->transform().a, -1, 1e-12);

    auto transition = std::make_shared<CATransition>();
    transition->setType("pageCurl");
    transition->setSubtype(kCATransitionFromLeft);
    transition->setDuration(0.5);
    bool stopped = false;
    transition->setDidStop([&](bool finished) { stopped = finished; });
    arrow->layer()->addAnimation(transition, "animation");
    EXPECT_EQ(arrow->layer()->animationForKey("animation"), transition);
    record = AnimationLog::last();
    EXPECT_EQ(record->kind, AnimationRecord::Kind::LayerAnimation);
    EXPECT_EQ(record->transitionType, "pageCurl");
    EXPECT_EQ(record->transitionSubtype, "fromLeft");
    EXPECT_EQ(record->name, "animation");
    EXPECT_DOUBLE_EQ(record->duration, 0.5);
    loop->advance(0.5);
    EXPECT_TRUE(stopped);
    EXPECT_EQ(arrow->layer()->animationForKey("animation"), nullptr);

    // Outside a block nothing is recorded.
    auto before = AnimationLog::count();
    arrow->setAlpha(1);
    EXPECT_EQ(AnimationLog::count(), before);
}

TEST_F(UIKitTest, TransitionFromViewSwapsTheViewsInPlace)
{
    auto parent = std::make_shared<UIView>(Rect(0, 0, 100, 100));
    auto a = std::make_shared<UIView>(), b = std::make_shared<UIView>(), c = std::make_shared<UIView>();
    parent->addSubview(a);
    parent->addSubview(b);
    parent->addSubview(std::make_shared<UIView>());
    bool done = false;
    UIView::transitionFromView(b, c, 0.4, UIViewAnimationOptionTransitionFlipFromLeft, [&](bool) { done = true; });
    ASSERT_EQ(parent->subviews().size(), 3u);
    EXPECT_EQ(parent->subviews()[1], c);
    EXPECT_EQ(b->superview(), nullptr);
    EXPECT_EQ(AnimationLog::last()->transitionType, "flipFromLeft");
    loop->advance(0.4);
    EXPECT_TRUE(done);
}

TEST_F(UIKitTest, AnimationsSwitchedOffCompleteWithoutWaiting)
{
    auto view = std::make_shared<UIView>();
    bool done = false;
    UIView::performWithoutAnimation([&] {
        UIView::animateWithDuration(
            5, [&] { view->setAlpha(0.3); }, [&](bool) { done = true; });
    });
    EXPECT_TRUE(UIView::areAnimationsEnabled());
    loop->runUntilIdle();
    EXPECT_TRUE(done);
    EXPECT_FALSE(AnimationLog::last()->animationsEnabled);
    EXPECT_DOUBLE_EQ(AnimationLog::last()->duration, 5); // what was asked stays visible
}

TEST_F(UIKitTest, TheLogKeepsTheLatestRecordsOnlyAndLateCompletionsStillRun)
{
    int completions = 0;
    for (std::size_t i = 0; i < AnimationLog::kCapacity + 10; ++i)
        UIView::animateWithDuration(
            0.1, [] {}, [&](bool) { ++completions; });
    EXPECT_LE(AnimationLog::count(), AnimationLog::kCapacity);
    EXPECT_GE(AnimationLog::count(), AnimationLog::kCapacity / 2);
    EXPECT_EQ(AnimationLog::records().back().id, AnimationLog::records().front().id + AnimationLog::count() - 1);
    loop->advance(0.1);
    EXPECT_EQ(completions, int(AnimationLog::kCapacity + 10)); // dropped records do not drop completions
}

// Headless, a view keeps only the final value; where an animation started is
// kept in the log (a zoom that grows from 1.5 times, a fade from 0), and only
// the value before the block's first change of the property counts.
TEST_F(UIKitTest, TheLogKeepsWhereAlphaAndTransformStartedFrom)
{
    auto view = std::make_shared<UIView>(Rect(0, 0, 10, 10));
    window->addSubview(view);
    view->setAlpha(0.25);
    view->setTransform(platform::AffineTransform::makeScale(1.5, 1.5));
    UIView::animateWithDuration(0.3, [&] {
        view->setAlpha(0.6);
        view->setAlpha(1.0);
        view->setTransform(platform::AffineTransform::identity());
        view->setFrame(Rect(1, 1, 10, 10));
    });
    ASSERT_TRUE(AnimationLog::last());
    std::vector<double> alphaFrom, transformFrom, frameFrom { -1 };
    for (const auto& change : AnimationLog::last()->changes) {
        if (change.property == "alpha")
            alphaFrom = change.from;
        else if (change.property == "transform")
            transformFrom = change.from;
        else if (change.property == "frame")
            frameFrom = change.from;
    }
    EXPECT_EQ(alphaFrom, std::vector<double> { 0.25 });
    EXPECT_EQ(transformFrom, (std::vector<double> { 1.5, 0, 0, 1.5, 0, 0 }));
    EXPECT_TRUE(frameFrom.empty());
    EXPECT_DOUBLE_EQ(view->alpha(), 1.0);
}
