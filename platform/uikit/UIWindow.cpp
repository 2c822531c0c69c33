#include "platform/uikit/UIWindow.h"

#include "platform/graphics/Context.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "platform/uikit/UITouch.h"
#include "platform/uikit/ViewRenderer.h"

#include <algorithm>
#include <cmath>
#include <limits>

using platform::Point;

namespace {

struct WindowRegistry {
    std::vector<std::weak_ptr<UIWindow>> shown; // in the order shown
    std::weak_ptr<UIWindow> key;
};

WindowRegistry& registry()
{
    static WindowRegistry r;
    return r;
}

// The phone counts a touch as the next tap of a multiple tap when it comes
// down soon after, and near, the previous lift-off.
constexpr double kTapInterval = 0.35;
constexpr double kTapDistance = 45;

struct TapHistory {
    double lastEnd = -std::numeric_limits<double>::infinity();
    Point lastPoint;
    int lastCount = 0;
};

TapHistory& tapHistory()
{
    static TapHistory h;
    return h;
}

enum Phase { Began, Moved, Ended, Cancelled };

} // namespace

struct UIWindow::TouchSequence {
    std::shared_ptr<UIView> hitView;
    UITouchSet touches;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers;
    bool viewReceives = true;
};

UIWindow::UIWindow()
    : UIWindow(UIScreen::mainScreen()->bounds())
{
}

UIWindow::UIWindow(const platform::Rect& frame)
    : UIView(frame)
{
    setHidden(true);
}

UIWindow::~UIWindow()
{
    if (sequence_) {
        for (auto& recognizer : sequence_->recognizers)
            recognizer->setRecognitionObserver({});
    }
}

std::shared_ptr<UIWindow> UIWindow::window() const
{
    return std::static_pointer_cast<UIWindow>(std::const_pointer_cast<UIResponder>(weak_from_this().lock()));
}

std::shared_ptr<UIWindow> UIWindow::keyWindow() { return registry().key.lock(); }

bool UIWindow::isKeyWindow() const { return registry().key.lock().get() == this; }

void UIWindow::makeKeyWindow()
{
    auto self = window();
    if (self)
        registry().key = self;
}

void UIWindow::setVisible(bool visible)
{
    setHidden(!visible);
    auto self = window();
    auto& shown = registry().shown;
    std::erase_if(shown, [&](auto& weak) {
        auto window = weak.lock();
        return !window || window == self;
    });
    if (visible && self)
        shown.push_back(self);
}

void UIWindow::makeKeyAndVisible()
{
    setVisible(true);
    makeKeyWindow();
}

std::vector<std::shared_ptr<UIWindow>> UIWindow::visibleWindows()
{
    std::vector<std::shared_ptr<UIWindow>> windows;
    for (auto& weak : registry().shown) {
        auto window = weak.lock();
        if (window && !window->isHidden())
            windows.push_back(window);
    }
    std::stable_sort(
        windows.begin(), windows.end(), [](auto& a, auto& b) { return a->windowLevel() < b->windowLevel(); });
    return windows;
}

std::shared_ptr<UIWindow> UIWindow::windowForTouchAtPoint(Point screenPoint)
{
    auto windows = visibleWindows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        auto& window = *it;
        window->layoutIfNeeded();
        auto f = window->frame();
        Point p(screenPoint.x - f.origin.x, screenPoint.y - f.origin.y);
        if (window->hitTest(window->convertPointFromView(p, nullptr), nullptr))
            return window;
    }
    return nullptr;
}

namespace {

UIWindow::RootViewControllerHook& rootHook()
{
    static UIWindow::RootViewControllerHook hook;
    return hook;
}

} // namespace

void UIWindow::setRootViewController(std::shared_ptr<UIResponder> controller)
{
    if (controller == rootViewController_)
        return;
    auto self = window(); // the hook may rearrange the tree
    auto old = std::move(rootViewController_);
    rootViewController_ = controller;
    if (auto& hook = rootHook())
        hook(*this, old, controller);
}

void UIWindow::setRootViewControllerHook(RootViewControllerHook hook) { rootHook() = std::move(hook); }

std::shared_ptr<UIResponder> UIWindow::firstResponder() const
{
    auto responder = currentFirstResponder();
    if (!responder)
        return nullptr;
    if (responder.get() == this)
        return responder;
    auto* view = dynamic_cast<UIView*>(responder.get());
    return view && view->isDescendantOfView(this) ? responder : nullptr;
}

// ---- Touches

std::shared_ptr<UIView> UIWindow::beginTouches(const std::vector<Point>& points)
{
    auto self = window(); // an action may close the window that is being touched
    if (sequence_)
        cancelTouches();
    if (points.empty())
        return nullptr;
    layoutIfNeeded();
    auto hit = hitTest(points.front(), nullptr);
    if (!hit)
        return nullptr;
    double now = platform::RunLoop::main().now();
    auto& history = tapHistory();
    int tapCount = 1;
    if (now - history.lastEnd <= kTapInterval
        && std::hypot(points.front().x - history.lastPoint.x, points.front().y - history.lastPoint.y) <= kTapDistance)
        tapCount = history.lastCount + 1;

    auto sequence = std::make_unique<TouchSequence>();
    sequence->hitView = hit;
    for (auto& point : points)
        sequence->touches.push_back(std::make_shared<UITouch>(self, hit, point, tapCount, now));

    bool controlTakesTaps = hit->handlesTapsItself();
    for (auto view = hit; view; view = view->superview()) {
        for (auto& recognizer : view->gestureRecognizers()) {
            if (!recognizer->isEnabled())
                continue;
            if (view != hit && controlTakesTaps && dynamic_cast<UITapGestureRecognizer*>(recognizer.get()))
                continue;
            if (auto delegate = recognizer->delegate(); delegate
                && !delegate->gestureRecognizerShouldReceiveTouch(recognizer.get(), sequence->touches.front().get()))
                continue;
            if (recognizer->isFinished())
                recognizer->reset();
            recognizer->setRecognitionObserver([this](UIGestureRecognizer* g) { recognizerDidRecognize(g); });
            sequence->recognizers.push_back(recognizer);
        }
    }
    sequence_ = std::move(sequence);
    deliver(Began);
    return hit;
}

void UIWindow::recognizerDidRecognize(UIGestureRecognizer* recognizer)
{
    if (!sequence_)
        return;
    auto* sequence = sequence_.get();
    UIEvent event(platform::RunLoop::main().now());
    event.setAllTouches(sequence->touches);
    for (auto& other : std::vector<std::shared_ptr<UIGestureRecognizer>>(sequence->recognizers)) {
        if (other.get() == recognizer || other->isFinished() || other->isAwaitingFurtherTouches())
            continue;
        if (recognizer->canRecognizeSimultaneouslyWith(other.get()))
            continue;
        other->touchesCancelled(sequence->touches, &event);
    }
    if (recognizer->cancelsTouchesInView() && sequence->viewReceives) {
        sequence->viewReceives = false;
        for (auto& touch : sequence->touches)
            touch->setPhase(UITouchPhaseCancelled);
        sequence->hitView->touchesCancelled(sequence->touches, &event);
    }
}

void UIWindow::deliver(int phase)
{
    auto* sequence = sequence_.get();
    if (!sequence)
        return;
    auto touches = sequence->touches;
    auto hitView = sequence->hitView;
    UIEvent event(platform::RunLoop::main().now());
    event.setAllTouches(touches);
    for (auto& recognizer : std::vector<std::shared_ptr<UIGestureRecognizer>>(sequence->recognizers)) {
        if (sequence_.get() != sequence)
            return;
        if (recognizer->state() == UIGestureRecognizerStateFailed
            || recognizer->state() == UIGestureRecognizerStateCancelled
            || (recognizer->state() == UIGestureRecognizerStateEnded && !recognizer->isActive()))
            continue;
        if (!recognizer->isEnabled())
            continue;
        switch (phase) {
        case Began:
            recognizer->touchesBegan(touches, &event);
            break;
        case Moved:
            recognizer->touchesMoved(touches, &event);
            break;
        case Ended:
            recognizer->touchesEnded(touches, &event);
            break;
        default:
            recognizer->touchesCancelled(touches, &event);
            break;
        }
    }
    if (sequence_.get() != sequence || !sequence->viewReceives)
        return;
    switch (phase) {
    case Began:
        hitView->touchesBegan(touches, &event);
        break;
    case Moved:
        hitView->touchesMoved(touches, &event);
        break;
    case Ended:
        hitView->touchesEnded(touches, &event);
        break;
    default:
        hitView->touchesCancelled(touches, &event);
        break;
    }
}

void UIWindow::moveTouches(const std::vector<Point>& points)
{
    if (!sequence_)
        return;
    auto self = window(); // an action may close the window that is being touched
    double now = platform::RunLoop::main().now();
    auto& touches = sequence_->touches;
    for (std::size_t i = 0; i < touches.size() && i < points.size(); ++i) {
        touches[i]->moveTo(points[i], now);
        touches[i]->setPhase(UITouchPhaseMoved);
    }
    deliver(Moved);
}

void UIWindow::endTouches()
{
    if (!sequence_)
        return;
    auto self = window(); // an action may close the window that is being touched
    auto* sequence = sequence_.get();
    for (auto& touch : sequence->touches)
        touch->setPhase(UITouchPhaseEnded);
    auto& history = tapHistory();
    history.lastEnd = platform::RunLoop::main().now();
    history.lastPoint = sequence->touches.front()->windowLocation();
    history.lastCount = sequence->touches.front()->tapCount();
    deliver(Ended);
    if (sequence_.get() == sequence)
        finishSequence();
}

void UIWindow::cancelTouches()
{
    if (!sequence_)
        return;
    auto self = window(); // an action may close the window that is being touched
    auto* sequence = sequence_.get();
    for (auto& touch : sequence->touches)
        touch->setPhase(UITouchPhaseCancelled);
    deliver(Cancelled);
    if (sequence_.get() == sequence)
        finishSequence();
}

void UIWindow::finishSequence()
{
    auto sequence = std::move(sequence_);
    if (!sequence)
        return;
    for (auto& recognizer : sequence->recognizers) {
        recognizer->setRecognitionObserver({});
        if (recognizer->isFinished())
            recognizer->reset();
    }
}

bool UIWindow::hasActiveTouches() const { return sequence_ != nullptr; }

void UIWindow::resetTapHistory() { tapHistory() = TapHistory {}; }

// ---- Rendering

std::optional<platform::Image> UIWindow::renderScreen(double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        scale = UIScreen::mainScreen()->scale();
    auto screen = UIScreen::mainScreen()->bounds();
    auto context = platform::Context::createBitmap(screen.size, scale);
    if (!context)
        return std::nullopt;
    // What is not covered by any window is the phone's black glass.
    context->setFillColor(platform::Color::blackColor());
    context->fillRect(screen);
    for (auto& window : visibleWindows()) {
        window->layoutIfNeeded();
        platform::renderView(*window, *context);
    }
    return context->makeImage();
}

bool UIWindow::renderScreenToPNG(const std::string& path, double scale)
{
    auto image = renderScreen(scale);
    return image && image->writePNG(path);
}

void UIWindow::resetAllWindows()
{
    for (auto& weak : registry().shown) {
        if (auto window = weak.lock()) {
            window->cancelTouches();
            window->setHidden(true);
        }
    }
    registry() = WindowRegistry {};
    resetTapHistory();
}
