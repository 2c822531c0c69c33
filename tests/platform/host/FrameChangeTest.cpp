// What the window is given when the screen changes: the rectangle of pixels
// that changed, and the window's pixels brought up to date from it alone.
#include "platform/host/FrameRenderer.h"
#include "platform/host/FrameScaler.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/TextInputSupport.h"
#include "platform/uikit/UIKitRegistration.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

using platform::host::FrameRenderer;
using platform::host::FrameScaler;
using platform::host::PixelLayout;
using platform::host::PixelRect;
using platform::host::RedrawNeed;
using platform::host::TurnWatch;

namespace {

class ScreenWithABox : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RunLoop::setMainThread();
        platform::registerUIKitClasses();
        window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        window_->setBackgroundColor(platform::Color::whiteColor());
        box_ = std::make_shared<UIView>(platform::Rect(10, 20, 30, 40));
        box_->setBackgroundColor(platform::Color::fromRGB255(200, 30, 30));
        window_->addSubview(box_);
        window_->makeKeyAndVisible();
    }
    void TearDown() override { UIWindow::resetAllWindows(); }

    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UIView> box_;
};

} // namespace

TEST_F(ScreenWithABox, ARedrawTellsWhichPixelsChangedAndKeepsTheFrameWhole)
{
    FrameRenderer renderer(2);
    ASSERT_TRUE(renderer.redraw());
    const auto& frame = renderer.frame();
    ASSERT_EQ(frame.pixelWidth(), 640);
    ASSERT_EQ(frame.pixelHeight(), 1136);
    EXPECT_EQ(renderer.changedRect(), (PixelRect { 0, 0, 640, 1136 })) << "the first frame is new everywhere";
    EXPECT_FALSE(renderer.redraw()) << "nothing moved";
    EXPECT_EQ(renderer.changedFrames(), 1u);
    EXPECT_EQ(renderer.redraws(), 2u);

    box_->setBackgroundColor(platform::Color::fromRGB255(20, 180, 60));
    ASSERT_TRUE(renderer.redraw());
    // The box at (10, 20) of 30 × 40 points, at two pixels a point.
    EXPECT_EQ(renderer.changedRect(), (PixelRect { 20, 40, 60, 80 }));
    // The frame kept is the screen as a fresh picture shows it, in both forms.
    auto fresh = renderer.renderScreen();
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->pixels(), renderer.frame().pixels());
    auto inside = renderer.frame().pixelAt(30, 50);
    EXPECT_EQ(inside[0], 20);
    EXPECT_EQ(inside[1], 180);
    EXPECT_EQ(inside[2], 60);
    const auto& words = renderer.frameWords();
    ASSERT_EQ(words.size(), std::size_t(640 * 1136));
    EXPECT_EQ(words[50 * 640 + 30] & 0xFFFFFFu, 0x14B43Cu);
    EXPECT_EQ(words[10 * 640 + 300] & 0xFFFFFFu, 0xFFFFFFu);

    // Two changes far apart: one rectangle holding both.
    box_->setBackgroundColor(platform::Color::blackColor());
    auto corner = std::make_shared<UIView>(platform::Rect(300, 550, 10, 10));
    corner->setBackgroundColor(platform::Color::blackColor());
    window_->addSubview(corner);
    ASSERT_TRUE(renderer.redraw());
    EXPECT_EQ(renderer.changedRect(), (PixelRect { 20, 40, 600, 1080 }));
    fresh = renderer.renderScreen();
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->pixels(), renderer.frame().pixels());
}

namespace {

// A screen with a text field and a label, drawn as the window host draws it:
// after each turn of the main loop (on a manual clock), whole or only what
// views asked for, as the turn's work tells.
class ScreenWithAField : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RunLoop::setMainThread();
        loop_ = &platform::RunLoop::main();
        loop_->discardPendingWork();
        loop_->setClock(clock_);
        testsupport::resetUIKitState();
        window_ = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        window_->setBackgroundColor(platform::Color::whiteColor());
        field_ = std::make_shared<UITextField>(platform::Rect(20, 100, 240, 32));
        field_->setText("Hello");
        window_->addSubview(field_);
        box_ = std::make_shared<UIView>(platform::Rect(40, 200, 100, 50));
        box_->setBackgroundColor(platform::Color::fromRGB255(40, 90, 200));
        window_->addSubview(box_);
        window_->makeKeyAndVisible();
        // As the window host counts: callouts that said they changed nothing aside.
        auto ran = [this] { return loop_->calloutCount() - loop_->quietCalloutCount(); };
        turns_.reset(ran(), platform::textinput::CaretBlink::blinkCount());
        observer_ = loop_->addBeforeWaitingObserver([this, ran] {
            auto need = turns_.look(ran(), platform::textinput::CaretBlink::blinkCount());
            needs_.push_back(need);
            renderer_.redrawFor(need);
        });
        ASSERT_TRUE(renderer_.redraw());
    }
    void TearDown() override
    {
        loop_->removeBeforeWaitingObserver(observer_);
        testsupport::resetUIKitState();
        field_.reset();
        box_.reset();
        window_.reset();
        UIWindow::resetAllWindows();
        loop_->discardPendingWork();
        loop_->setClock(nullptr);
    }

    // The field's caret on the screen, in pixels.
    PixelRect caretPixels() const
    {
        auto caret = field_->convertRectToView(field_->caretRect(), nullptr);
        int left = int(std::floor(caret.minX() * 2));
        int top = int(std::floor(caret.minY() * 2));
        return { left, top, int(std::ceil(caret.maxX() * 2)) - left, int(std::ceil(caret.maxY() * 2)) - top };
    }

    static bool holds(const PixelRect& outer, const PixelRect& inner)
    {
        return inner.x >= outer.x && inner.y >= outer.y && inner.x + inner.width <= outer.x + outer.width
            && inner.y + inner.height <= outer.y + outer.height;
    }

    std::shared_ptr<platform::ManualClock> clock_ = std::make_shared<platform::ManualClock>(0);
    platform::RunLoop* loop_ = nullptr;
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<UITextField> field_;
    std::shared_ptr<UIView> box_;
    FrameRenderer renderer_ { 2 };
    TurnWatch turns_;
    std::vector<RedrawNeed> needs_;
    platform::RunLoop::ObserverId observer_ = 0;
};

} // namespace

TEST_F(ScreenWithAField, ACaretBlinkDrawsAndChangesOnlyTheCaretsRectangle)
{
    ASSERT_TRUE(field_->becomeFirstResponder());
    // The keyboard comes up and everything settles.
    loop_->advance(0.2);
    auto caret = caretPixels();
    ASSERT_FALSE(caret.isEmpty());
    auto fresh = renderer_.renderScreen();
    ASSERT_TRUE(fresh);
    ASSERT_EQ(fresh->pixels(), renderer_.frame().pixels()) << "the kept frame is the screen before the blinks";

    for (int blink = 0; blink < 4; ++blink) {
        auto renders = renderer_.renders();
        auto changed = renderer_.changedFrames();
        needs_.clear();
        loop_->advance(platform::textinput::CaretBlink::kInterval);
        EXPECT_EQ(std::count(needs_.begin(), needs_.end(), RedrawNeed::Requested), 1) << "only the caret's timer ran";
        EXPECT_EQ(std::count(needs_.begin(), needs_.end(), RedrawNeed::Whole), 0);
        EXPECT_EQ(renderer_.renders(), renders + 1) << "blink " << blink;
        EXPECT_EQ(renderer_.changedFrames(), changed + 1) << "blink " << blink;
        const auto& drawn = renderer_.lastRenderedRect();
        // The caret's pixels and a pixel around them, no more.
        EXPECT_TRUE(holds(drawn, caret)) << drawn.x << "," << drawn.y << " " << drawn.width << "x" << drawn.height;
        EXPECT_LE(drawn.width, caret.width + 4);
        EXPECT_LE(drawn.height, caret.height + 4);
        EXPECT_TRUE(holds(drawn, renderer_.changedRect()));
        EXPECT_TRUE(holds(caret, renderer_.changedRect())) << "only the caret's own pixels change";
        // The picture is the one a drawing of the whole screen makes.
        fresh = renderer_.renderScreen();
        ASSERT_TRUE(fresh);
        EXPECT_EQ(fresh->pixels(), renderer_.frame().pixels()) << "blink " << blink;
    }

    // Other work in a turn draws the whole screen again.
    needs_.clear();
    loop_->post([this] { box_->setBackgroundColor(platform::Color::fromRGB255(200, 60, 20)); });
    loop_->advance(0.01);
    EXPECT_EQ(std::count(needs_.begin(), needs_.end(), RedrawNeed::Whole), 1);
    EXPECT_EQ(renderer_.lastRenderedRect(), (PixelRect { 0, 0, 640, 1136 }));
    EXPECT_EQ(renderer_.changedRect(), (PixelRect { 80, 400, 200, 100 }));
    fresh = renderer_.renderScreen();
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->pixels(), renderer_.frame().pixels());
}

TEST_F(ScreenWithAField, AScreenWithNothingMovingIsNotDrawnAgain)
{
    ASSERT_TRUE(field_->becomeFirstResponder());
    loop_->advance(1);
    ASSERT_TRUE(field_->resignFirstResponder());
    // The keyboard goes away and everything settles.
    loop_->advance(1);
    auto renders = renderer_.renders();
    auto redraws = renderer_.redraws();
    auto changed = renderer_.changedFrames();
    needs_.clear();
    for (int step = 0; step < 40; ++step)
        loop_->advance(0.25);
    EXPECT_EQ(renderer_.renders(), renders) << "ten seconds of the loop's clock";
    EXPECT_EQ(renderer_.redraws(), redraws);
    EXPECT_EQ(renderer_.changedFrames(), changed);
    EXPECT_EQ(std::count(needs_.begin(), needs_.end(), RedrawNeed::None), std::ptrdiff_t(needs_.size()))
        << "nothing ran in any turn: no blink, no timer";
    // Nothing asked to be drawn either.
    EXPECT_FALSE(renderer_.requestedRect().has_value());
    EXPECT_FALSE(renderer_.redrawRequested());
    EXPECT_EQ(renderer_.renders(), renders);
}

TEST_F(ScreenWithAField, ATimerThatOnlyCountsDrawsNothingAndOneThatChangesAViewDrawsIt)
{
    loop_->advance(1);
    auto renders = renderer_.renders();
    int ticks = 0;
    auto counting = loop_->addTimer(0.5, 0.5, [&] {
        ++ticks;
        loop_->markCalloutQuiet();
    });
    for (int step = 0; step < 20; ++step)
        loop_->advance(0.5);
    loop_->cancelTimer(counting);
    EXPECT_EQ(ticks, 20);
    EXPECT_EQ(renderer_.renders(), renders) << "ten seconds of ticks that only counted";

    // The same tick once it moves a view: drawn, and the move is seen.
    auto moving = loop_->addTimer(0.5, 0, [&] { box_->setFrame(platform::Rect(40, 300, 100, 50)); });
    loop_->advance(0.5);
    loop_->cancelTimer(moving);
    EXPECT_EQ(renderer_.renders(), renders + 1);
    EXPECT_EQ(renderer_.lastRenderedRect(), (PixelRect { 0, 0, 640, 1136 }));
    auto fresh = renderer_.renderScreen();
    ASSERT_TRUE(fresh);
    EXPECT_EQ(fresh->pixels(), renderer_.frame().pixels());
}

TEST(TurnWatch, TellsTurnsOfNothingOfBlinksOnlyAndOfOtherWork)
{
    TurnWatch watch;
    watch.reset(10, 3);
    EXPECT_EQ(watch.look(10, 3), RedrawNeed::None);
    EXPECT_EQ(watch.look(11, 4), RedrawNeed::Requested);
    EXPECT_EQ(watch.look(13, 5), RedrawNeed::Whole);
    EXPECT_EQ(watch.look(14, 5), RedrawNeed::Whole);
    EXPECT_EQ(watch.look(16, 7), RedrawNeed::Requested);
}

namespace {

std::vector<std::uint32_t> pattern(int width, int height, std::uint32_t seed)
{
    std::vector<std::uint32_t> words(std::size_t(width) * std::size_t(height));
    for (auto& w : words) {
        seed = seed * 1664525u + 1013904223u;
        w = 0xFF000000u | (seed >> 8);
    }
    return words;
}

// Paints a fresh pattern into one rectangle of a frame `frameWidth` words wide.
void paint(std::vector<std::uint32_t>& frame, int frameWidth, PixelRect change, std::uint32_t seed)
{
    auto fresh = pattern(change.width, change.height, seed);
    for (int y = 0; y < change.height; ++y)
        for (int x = 0; x < change.width; ++x)
            frame[std::size_t(change.y + y) * std::size_t(frameWidth) + std::size_t(change.x + x)]
                = fresh[std::size_t(y) * std::size_t(change.width) + std::size_t(x)];
}

struct WindowPixels {
    int width;
    int height;
    std::vector<std::uint8_t> bytes;
    WindowPixels(int w, int h)
        : width(w)
        , height(h)
        , bytes(std::size_t(w) * std::size_t(h) * 4, 0xAB)
    {
    }
    std::uint32_t at(int x, int y) const
    {
        return *reinterpret_cast<const std::uint32_t*>(&bytes[(std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4]);
    }
};

} // namespace

TEST(FrameScaling, OneToOneCopiesExactlyTheChangedRectangle)
{
    const int fw = 40;
    const int fh = 30;
    auto frame = pattern(fw, fh, 7);
    WindowPixels window(60, 50);
    FrameScaler scaler;
    PixelRect target { 10, 5, fw, fh };
    PixelRect changed { 3, 4, 5, 6 };
    auto written = scaler.put(frame.data(), fw, fh, changed, window.bytes.data(), window.width * 4, window.width,
        window.height, target);
    EXPECT_EQ(written, (PixelRect { 13, 9, 5, 6 }));
    for (int y = 0; y < window.height; ++y) {
        for (int x = 0; x < window.width; ++x) {
            bool inside = x >= 13 && x < 18 && y >= 9 && y < 15;
            if (inside)
                EXPECT_EQ(window.at(x, y), frame[std::size_t(y - 5) * fw + std::size_t(x - 10)] & 0xFFFFFFu)
                    << x << "," << y;
            else
                ASSERT_EQ(window.at(x, y), 0xABABABABu) << "touched outside the change at " << x << "," << y;
        }
    }
}

TEST(FrameScaling, AWindowKeptUpByRectanglesMatchesAWholeCopyAtAnySize)
{
    const int fw = 64;
    const int fh = 100;
    // Smaller (as a window fitted to the display) and larger than the frame,
    // and a window wider than the phone's aspect (letterboxed).
    for (PixelRect target : { PixelRect { 0, 0, 45, 70 }, PixelRect { 0, 0, 150, 234 }, PixelRect { 17, 0, 50, 78 } }) {
        SCOPED_TRACE("target " + std::to_string(target.width) + "x" + std::to_string(target.height));
        int ww = target.x * 2 + target.width;
        int wh = target.height;
        auto before = pattern(fw, fh, 11);
        FrameScaler scaler;
        WindowPixels kept(ww, wh);
        PixelRect whole { 0, 0, fw, fh };
        scaler.put(before.data(), fw, fh, whole, kept.bytes.data(), ww * 4, ww, wh, target);

        // A few changes, each given as its rectangle alone.
        auto after = before;
        for (PixelRect change : { PixelRect { 10, 20, 7, 3 }, PixelRect { 0, 0, 1, 1 }, PixelRect { 63, 99, 1, 1 },
                 PixelRect { 30, 50, 20, 40 } }) {
            paint(after, fw, change, std::uint32_t(change.x * 131 + change.y));
            auto written = scaler.put(after.data(), fw, fh, change, kept.bytes.data(), ww * 4, ww, wh, target);
            EXPECT_FALSE(written.isEmpty());
            EXPECT_LT(std::int64_t(written.width) * written.height, std::int64_t(ww) * wh) << "the whole window was written";
        }
        FrameScaler other;
        WindowPixels copied(ww, wh);
        other.put(after.data(), fw, fh, whole, copied.bytes.data(), ww * 4, ww, wh, target);
        int differing = 0;
        for (int y = 0; y < wh; ++y)
            for (int x = target.x; x < target.x + target.width; ++x)
                differing += kept.at(x, y) != copied.at(x, y);
        EXPECT_EQ(differing, 0) << "the window kept up by rectangles shows seams";
        // A flat frame scales to the same flat colour: the weights add up.
        std::vector<std::uint32_t> flat(std::size_t(fw) * fh, 0xFF336699u);
        other.put(flat.data(), fw, fh, whole, copied.bytes.data(), ww * 4, ww, wh, target);
        EXPECT_EQ(copied.at(target.x + target.width / 2, wh / 2), 0x336699u);
        EXPECT_EQ(copied.at(target.x, 0), 0x336699u);
        EXPECT_EQ(copied.at(target.x + target.width - 1, wh - 1), 0x336699u);
    }
}

TEST(FrameScaling, WindowsOfAnotherByteOrderGetTheirOwnLayout)
{
    std::vector<std::uint32_t> frame { 0xFF112233u, 0xFF445566u };
    WindowPixels window(2, 1);
    FrameScaler scaler;
    PixelLayout blueFirst { 0, 8, 16, 0xFF000000u };
    scaler.put(frame.data(), 2, 1, { 0, 0, 2, 1 }, window.bytes.data(), 8, 2, 1, { 0, 0, 2, 1 }, blueFirst);
    EXPECT_EQ(window.at(0, 0), 0xFF332211u);
    EXPECT_EQ(window.at(1, 0), 0xFF665544u);
    // Nothing to show outside the window: nothing written.
    EXPECT_TRUE(scaler.put(frame.data(), 2, 1, { 0, 0, 2, 1 }, window.bytes.data(), 8, 2, 1, { 5, 0, 2, 1 }).isEmpty());
}

TEST(FrameTurning, PicturesTurnAQuarterEitherWayAndBack)
{
    using platform::host::ScreenTurn;
    using platform::host::turnedRect;
    using platform::host::turnPixels;
    // 3 × 2:  a b c
    //         d e f
    std::vector<std::uint32_t> picture { 'a', 'b', 'c', 'd', 'e', 'f' };
    std::vector<std::uint32_t> ccw(6);
    std::vector<std::uint32_t> cw(6);
    turnPixels(picture.data(), 3, 2, ScreenTurn::CounterClockwise, ccw.data());
    turnPixels(picture.data(), 3, 2, ScreenTurn::Clockwise, cw.data());
    // Counter-clockwise the right column comes up top; clockwise the left one, bottom up.
    EXPECT_EQ(ccw, (std::vector<std::uint32_t> { 'c', 'f', 'b', 'e', 'a', 'd' }));
    EXPECT_EQ(cw, (std::vector<std::uint32_t> { 'd', 'a', 'e', 'b', 'f', 'c' }));
    std::vector<std::uint32_t> back(6);
    turnPixels(ccw.data(), 2, 3, ScreenTurn::Clockwise, back.data());
    EXPECT_EQ(back, picture);
    turnPixels(cw.data(), 2, 3, ScreenTurn::CounterClockwise, back.data());
    EXPECT_EQ(back, picture);
    turnPixels(picture.data(), 3, 2, ScreenTurn::Upright, back.data());
    EXPECT_EQ(back, picture);

    // A rectangle goes where its pixels go: 'b' and 'e' (column 1) are row 1 counter-clockwise.
    EXPECT_EQ(turnedRect({ 1, 0, 1, 2 }, 3, 2, ScreenTurn::CounterClockwise), (PixelRect { 0, 1, 2, 1 }));
    EXPECT_EQ(turnedRect({ 2, 1, 1, 1 }, 3, 2, ScreenTurn::Clockwise), (PixelRect { 0, 2, 1, 1 })); // 'f'
    EXPECT_EQ(turnedRect({ 0, 0, 2, 1 }, 3, 2, ScreenTurn::Upright), (PixelRect { 0, 0, 2, 1 }));
}

TEST(FrameTurning, ASidewaysWindowGetsTheTurnedFrameAndStaysWholeRectangleByRectangle)
{
    using platform::host::ScreenTurn;
    using platform::host::turnPixels;
    const int fw = 40;
    const int fh = 64;
    for (auto turn : { ScreenTurn::CounterClockwise, ScreenTurn::Clockwise }) {
        SCOPED_TRACE(turn == ScreenTurn::Clockwise ? "clockwise" : "counter-clockwise");
        auto before = pattern(fw, fh, 5);
        // One to one: exactly the frame turned.
        std::vector<std::uint32_t> turned(std::size_t(fw) * fh);
        turnPixels(before.data(), fw, fh, turn, turned.data());
        WindowPixels exact(fh + 4, fw);
        FrameScaler scaler;
        auto written = scaler.put(before.data(), fw, fh, { 0, 0, fw, fh }, exact.bytes.data(), exact.width * 4,
            exact.width, exact.height, { 2, 0, fh, fw }, {}, turn);
        EXPECT_EQ(written, (PixelRect { 2, 0, fh, fw }));
        int wrong = 0;
        for (int y = 0; y < fw; ++y)
            for (int x = 0; x < fh; ++x)
                wrong += exact.at(x + 2, y) != (turned[std::size_t(y) * fh + std::size_t(x)] & 0xFFFFFFu);
        EXPECT_EQ(wrong, 0);
        EXPECT_EQ(exact.at(0, 0), 0xABABABABu) << "the letterbox was written";
        // A change at the frame's top right corner lands at the window's top
        // left counter-clockwise, its bottom right clockwise.
        auto after = before;
        after[std::size_t(fw - 1)] = 0xFF00FF00u;
        written = scaler.put(after.data(), fw, fh, { fw - 1, 0, 1, 1 }, exact.bytes.data(), exact.width * 4,
            exact.width, exact.height, { 2, 0, fh, fw }, {}, turn);
        PixelRect corner
            = turn == ScreenTurn::CounterClockwise ? PixelRect { 2, 0, 1, 1 } : PixelRect { 2 + fh - 1, fw - 1, 1, 1 };
        EXPECT_EQ(written, corner);
        EXPECT_EQ(exact.at(corner.x, corner.y), 0x00FF00u);

        // Scaled, down and up: changes given as rectangles alone leave the
        // window as a whole copy of the turned frame would.
        for (PixelRect target : { PixelRect { 0, 0, 45, 28 }, PixelRect { 10, 0, 150, 94 } }) {
            int ww = target.x * 2 + target.width;
            int wh = target.height;
            FrameScaler kept;
            WindowPixels window(ww, wh);
            kept.put(before.data(), fw, fh, { 0, 0, fw, fh }, window.bytes.data(), ww * 4, ww, wh, target, {}, turn);
            auto changedFrame = before;
            for (PixelRect change : { PixelRect { 5, 7, 6, 3 }, PixelRect { 0, 0, 1, 1 }, PixelRect { 39, 63, 1, 1 },
                     PixelRect { 20, 30, 12, 25 } }) {
                paint(changedFrame, fw, change, std::uint32_t(change.x * 17 + change.y));
                auto part = kept.put(
                    changedFrame.data(), fw, fh, change, window.bytes.data(), ww * 4, ww, wh, target, {}, turn);
                EXPECT_FALSE(part.isEmpty());
                EXPECT_LT(std::int64_t(part.width) * part.height, std::int64_t(ww) * wh);
            }
            FrameScaler whole;
            WindowPixels copied(ww, wh);
            whole.put(changedFrame.data(), fw, fh, { 0, 0, fw, fh }, copied.bytes.data(), ww * 4, ww, wh, target, {},
                turn);
            // The same as scaling the frame turned beforehand, upright.
            std::vector<std::uint32_t> turnedAfter(std::size_t(fw) * fh);
            turnPixels(changedFrame.data(), fw, fh, turn, turnedAfter.data());
            FrameScaler upright;
            WindowPixels reference(ww, wh);
            upright.put(turnedAfter.data(), fh, fw, { 0, 0, fh, fw }, reference.bytes.data(), ww * 4, ww, wh, target);
            int seams = 0;
            int unlike = 0;
            for (int y = 0; y < wh; ++y)
                for (int x = target.x; x < target.x + target.width; ++x) {
                    seams += window.at(x, y) != copied.at(x, y);
                    unlike += copied.at(x, y) != reference.at(x, y);
                }
            EXPECT_EQ(seams, 0) << "the window kept up by rectangles shows seams";
            EXPECT_EQ(unlike, 0) << "turning while scaling differs from scaling the turned frame";
        }
    }
}
