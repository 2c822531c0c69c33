// What a screen starts through its base ends with it: observations, timers,
// requests and weak callbacks; on the client in the harness, requests against
// the in-process stand-in server.
#include "app/base/BaseViewController.h"

#include "core/session/ORBEndpoints.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/Url.h"
#include "server/StandinServer.h"
#include "tests/support/app/SignedInScreen.h"

#include <gtest/gtest.h>

using foundation::HTTPRequest;
using foundation::HTTPRequestDelegate;
using foundation::HTTPRequestPtr;
using foundation::RequestSelector;

using namespace testsupport;

namespace {

// What the screen did, kept outside it so it can be read after it has gone.
struct Heard {
    int notes = 0;
    int ticks = 0;
    int once = 0;
    int calls = 0;
};

class LifetimeScreen final : public BaseViewController, public HTTPRequestDelegate {
public:
    explicit LifetimeScreen(std::shared_ptr<Heard> heard)
        : heard_(std::move(heard))
    {
    }
    void note(const platform::Notification&) { ++heard_->notes; }
    void tick() { ++heard_->ticks; }
    void ring() { ++heard_->once; }
    void call(int by) { heard_->calls += by; }
    void done(const HTTPRequestPtr& request)
    {
        ++heard_->calls;
        finished = isCurrentRequest(request.get());
    }

    using BaseViewController::cancelTimer;
    using BaseViewController::finishRequest;
    using BaseViewController::isCurrentRequest;
    using BaseViewController::observe;
    using BaseViewController::repeatEvery;
    using BaseViewController::runAfter;
    using BaseViewController::startRequest;
    using BaseViewController::stopObserving;
    using BaseViewController::weakCallback;

    bool finished = false;

private:
    std::shared_ptr<Heard> heard_;
};

class ScreenLifetime : public SignedInScreenTest { };

} // namespace

// Observations and timers call the screen's member functions while it lives;
// once it has gone, nothing ticks or hears, and a weak callback does nothing.
TEST_F(ScreenLifetime, ObservationsTimersAndCallbacksEndWithTheScreen)
{
    auto heard = std::make_shared<Heard>();
    auto screen = std::make_shared<LifetimeScreen>(heard);
    auto& center = platform::NotificationCenter::defaultCenter();
    screen->observe("lifetime_note", &LifetimeScreen::note);
    screen->observe("lifetime_other", &LifetimeScreen::note);
    auto ticking = screen->repeatEvery(1.0, &LifetimeScreen::tick);
    screen->runAfter(2.5, &LifetimeScreen::ring);
    auto later = screen->weakCallback<LifetimeScreen>(&LifetimeScreen::call);
    EXPECT_EQ(screen->timerCount(), 2u);
    EXPECT_EQ(screen->observationCount(), 2u);

    center.post("lifetime_note");
    screen->stopObserving("lifetime_other");
    center.post("lifetime_other");
    EXPECT_EQ(heard->notes, 1);
    harness().advance(3);
    EXPECT_EQ(heard->ticks, 3);
    EXPECT_EQ(heard->once, 1);
    EXPECT_EQ(screen->timerCount(), 1u) << "the single-shot timer is done";
    later(5);
    EXPECT_EQ(heard->calls, 5);

    std::weak_ptr<platform::Timer> timer = ticking;
    ticking.reset();
    screen.reset();
    center.post("lifetime_note");
    harness().advance(3);
    later(5);
    EXPECT_EQ(heard->notes, 1);
    EXPECT_EQ(heard->ticks, 3);
    EXPECT_EQ(heard->calls, 5);
    auto left = timer.lock();
    EXPECT_TRUE(!left || !left->isValid());
}

// A started request is the screen's until it answers; one cancelled with the
// screen never calls back, even when its reply comes afterwards.
TEST_F(ScreenLifetime, RequestsAreTheScreensAndGoWithIt)
{
    auto heard = std::make_shared<Heard>();
    auto screen = std::make_shared<LifetimeScreen>(heard);
    auto url = platform::Url::parse(harness().serverBase() + core::ORBEndpoints::kPullPrefix + "static/avatar/me.png");
    ASSERT_TRUE(url);
    auto answered = HTTPRequest::requestWithURL(*url);
    answered->setDelegate(screen);
    answered->setDidFinishSelector(RequestSelector::method(&LifetimeScreen::done));
    screen->startRequest(answered);
    EXPECT_TRUE(screen->isCurrentRequest(answered.get()));
    ASSERT_TRUE(harness().runUntil([&] { return heard->calls == 1; }));
    EXPECT_TRUE(screen->finished);
    screen->finishRequest(answered.get());
    EXPECT_FALSE(screen->isCurrentRequest(answered.get()));
    EXPECT_EQ(screen->requestCount(), 0u);

    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute("static", server::ScriptedReply::normal().heldBy(gate));
    auto held = HTTPRequest::requestWithURL(*url);
    held->setDelegate(screen);
    held->setDidFinishSelector(RequestSelector::method(&LifetimeScreen::done));
    held->setDidFailSelector(RequestSelector::method(&LifetimeScreen::done));
    screen->startRequest(held);
    ASSERT_TRUE(harness().runUntil([&] { return gate->arrived() == 1; }));
    std::weak_ptr<LifetimeScreen> gone = screen;
    screen.reset();
    EXPECT_TRUE(gone.expired());
    gate->open();
    ASSERT_TRUE(harness().runUntil([&] {
        auto fetched = harness().server()->requests().withRoute("static/avatar/me.png");
        return fetched.size() == 2 && fetched[1].answered;
    }));
    harness().loop().runUntilIdle();
    EXPECT_EQ(heard->calls, 1);
}
