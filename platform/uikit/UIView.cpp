#include "platform/uikit/UIView.h"

#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/ViewRenderer.h"

#include <algorithm>
#include <cmath>

using platform::AffineTransform;
using platform::Color;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

bool isFiniteRect(const Rect& r)
{
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width)
        && std::isfinite(r.size.height);
}

Rect standardizedRect(const Rect& r)
{
    Rect s = r;
    if (s.size.width < 0) {
        s.origin.x += s.size.width;
        s.size.width = -s.size.width;
    }
    if (s.size.height < 0) {
        s.origin.y += s.size.height;
        s.size.height = -s.size.height;
    }
    return s;
}

// ---- Layout pass: views in windows are laid out on the main loop's next turn.

struct LayoutPass {
    std::vector<std::weak_ptr<UIView>> dirty;
    platform::RunLoop::TimerId timer = 0;
    // Requests made while a pass runs are served by that pass (it visits the
    // subviews after their parent) or wait for the next request: a view that
    // marks itself in its own layoutSubviews cannot keep the loop busy forever.
    bool running = false;
};

LayoutPass& layoutPass()
{
    static LayoutPass pass;
    return pass;
}

void runLayoutPass()
{
    auto dirty = std::move(layoutPass().dirty);
    layoutPass().dirty.clear();
    layoutPass().running = true;
    struct Done {
        ~Done() { layoutPass().running = false; }
    } done;
    std::vector<std::shared_ptr<UIWindow>> windows;
    for (auto& weak : dirty) {
        auto view = weak.lock();
        if (!view)
            continue;
        auto window = view->window();
        if (window && std::find(windows.begin(), windows.end(), window) == windows.end())
            windows.push_back(window);
    }
    for (auto& window : windows)
        window->layoutIfNeeded();
}

void scheduleLayout(std::weak_ptr<UIView> view)
{
    auto& pass = layoutPass();
    if (pass.running)
        return;
    if (pass.dirty.size() < 4096)
        pass.dirty.push_back(std::move(view));
    auto& loop = platform::RunLoop::main();
    if (!loop.isCurrent())
        return;
    if (!pass.timer || !loop.hasTimer(pass.timer))
        pass.timer = loop.addTimer(0, 0, runLayoutPass);
}

// ---- Animations

struct PendingAnimation {
    std::uint64_t recordId = 0;
    platform::RunLoop::TimerId timer = 0;
    UIView::Completion completion;
    std::vector<std::weak_ptr<platform::Object>> targets;
};

struct AnimationState {
    bool enabled = true;
    std::vector<std::shared_ptr<PendingAnimation>> pending;
    struct BeginContext {
        std::uint64_t recordId = 0;
        std::string animationID;
        double duration = 0.2; // the phone's default for this style
        double delay = 0;
        UIViewAnimationCurve curve = UIViewAnimationCurveEaseInOut;
        std::weak_ptr<const void> owner;
        bool hasOwner = false;
        UIView::DidStop didStop;
    };
    std::vector<BeginContext> beginStack;
};

AnimationState& animationState()
{
    static AnimationState state;
    return state;
}

double sanitizeSeconds(double seconds) { return std::isfinite(seconds) && seconds > 0 ? seconds : 0; }

void finishAnimation(const std::shared_ptr<PendingAnimation>& pending, bool finished)
{
    auto& list = animationState().pending;
    auto it = std::find(list.begin(), list.end(), pending);
    if (it == list.end())
        return;
    list.erase(it);
    if (auto* record = platform::AnimationLog::recordWithId(pending->recordId)) {
        record->finished = finished;
        record->cancelled = !finished;
    }
    if (pending->completion)
        pending->completion(finished);
}

void scheduleCompletion(std::uint64_t recordId, double seconds, UIView::Completion completion)
{
    auto pending = std::make_shared<PendingAnimation>();
    pending->recordId = recordId;
    pending->completion = std::move(completion);
    if (auto* record = platform::AnimationLog::recordWithId(recordId)) {
        for (auto& change : record->changes)
            pending->targets.push_back(change.target);
    }
    std::weak_ptr<PendingAnimation> weak = pending;
    animationState().pending.push_back(pending);
    pending->timer = platform::RunLoop::main().addTimer(seconds, 0, [weak] {
        if (auto strong = weak.lock())
            finishAnimation(strong, true);
    });
}

std::uint64_t openRecord(
    platform::AnimationRecord::Kind kind, std::string name, double duration, double delay, unsigned options)
{
    platform::AnimationRecord record;
    record.kind = kind;
    record.name = std::move(name);
    record.duration = duration;
    record.delay = delay;
    record.options = options;
    record.startTime = platform::RunLoop::main().now();
    record.animationsEnabled = animationState().enabled;
    return platform::AnimationLog::append(std::move(record));
}

const char* transitionName(unsigned options)
{
    switch ((options >> 20) & 7) {
    case 1:
        return "flipFromLeft";
    case 2:
        return "flipFromRight";
    case 3:
        return "curlUp";
    case 4:
        return "curlDown";
    case 5:
        return "crossDissolve";
    case 6:
        return "flipFromTop";
    case 7:
        return "flipFromBottom";
    default:
        return "none";
    }
}

} // namespace

Rect rectForContentMode(UIViewContentMode mode, Size content, const Rect& bounds)
{
    double bw = bounds.size.width;
    double bh = bounds.size.height;
    double cw = content.width;
    double ch = content.height;
    bool emptyContent = !(cw > 0) || !(ch > 0) || !std::isfinite(cw) || !std::isfinite(ch);
    switch (mode) {
    case UIViewContentModeScaleToFill:
    case UIViewContentModeRedraw:
        return bounds;
    case UIViewContentModeScaleAspectFit:
    case UIViewContentModeScaleAspectFill: {
        if (emptyContent)
            return bounds;
        double sx = bw / cw;
        double sy = bh / ch;
        double s = mode == UIViewContentModeScaleAspectFit ? std::min(sx, sy) : std::max(sx, sy);
        double w = cw * s;
        double h = ch * s;
        return Rect(bounds.origin.x + (bw - w) / 2, bounds.origin.y + (bh - h) / 2, w, h);
    }
    default:
        break;
    }
    if (emptyContent)
        return Rect(bounds.origin, Size());
    double x = bounds.origin.x + (bw - cw) / 2;
    double y = bounds.origin.y + (bh - ch) / 2;
    double left = bounds.origin.x;
    double right = bounds.origin.x + bw - cw;
    double top = bounds.origin.y;
    double bottom = bounds.origin.y + bh - ch;
    switch (mode) {
    case UIViewContentModeTop:
        y = top;
        break;
    case UIViewContentModeBottom:
        y = bottom;
        break;
    case UIViewContentModeLeft:
        x = left;
        break;
    case UIViewContentModeRight:
        x = right;
        break;
    case UIViewContentModeTopLeft:
        x = left;
        y = top;
        break;
    case UIViewContentModeTopRight:
        x = right;
        y = top;
        break;
    case UIViewContentModeBottomLeft:
        x = left;
        y = bottom;
        break;
    case UIViewContentModeBottomRight:
        x = right;
        y = bottom;
        break;
    default:
        break;
    }
    return Rect(x, y, cw, ch);
}

UIView::UIView()
    : layer_(std::make_shared<CALayer>())
{
}

UIView::UIView(const Rect& frame)
    : UIView()
{
    applyFrame(frame);
}

UIView::~UIView()
{
    // Subviews outlive us only if someone else holds them; they must not keep
    // pointing at a superview that is gone.
    for (auto& subview : subviews_)
        subview->superview_ = nullptr;
}

// ---- Geometry

Rect UIView::frame() const
{
    Size s = bounds_.size;
    auto t = transform();
    if (t.isIdentity())
        return Rect(center_.x - s.width / 2, center_.y - s.height / 2, s.width, s.height);
    Rect box = t.apply(Rect(-s.width / 2, -s.height / 2, s.width, s.height));
    return box.offsetBy(center_.x, center_.y);
}

void UIView::applyFrame(const Rect& frame)
{
    if (!isFiniteRect(frame)) {
        platform::log("%s: ignoring a frame that is not finite", className().c_str());
        return;
    }
    Rect f = standardizedRect(frame);
    Size old = bounds_.size;
    center_ = Point(f.origin.x + f.size.width / 2, f.origin.y + f.size.height / 2);
    bounds_.size = f.size;
    if (old != f.size)
        boundsSizeDidChange(old);
}

void UIView::setFrame(const Rect& frame)
{
    if (!isFiniteRect(frame)) {
        platform::log("%s: ignoring a frame that is not finite", className().c_str());
        return;
    }
    noteAnimatableChange("frame");
    applyFrame(frame);
}

void UIView::setBounds(const Rect& bounds)
{
    if (!isFiniteRect(bounds)) {
        platform::log("%s: ignoring bounds that are not finite", className().c_str());
        return;
    }
    noteAnimatableChange("bounds");
    Rect b = standardizedRect(bounds);
    Size old = bounds_.size;
    bounds_ = b;
    if (old != b.size)
        boundsSizeDidChange(old);
}

void UIView::setCenter(Point center)
{
    if (!std::isfinite(center.x) || !std::isfinite(center.y)) {
        platform::log("%s: ignoring a centre that is not finite", className().c_str());
        return;
    }
    noteAnimatableChange("center");
    center_ = center;
}

AffineTransform UIView::transform() const { return layer_->transform().affine(); }

void UIView::setTransform(const AffineTransform& transform)
{
    if (!std::isfinite(transform.a) || !std::isfinite(transform.b) || !std::isfinite(transform.c)
        || !std::isfinite(transform.d) || !std::isfinite(transform.tx) || !std::isfinite(transform.ty))
        return;
    if (platform::AnimationLog::isRecordingChanges()) {
        auto t = this->transform();
        noteAnimatableChange("transform", { t.a, t.b, t.c, t.d, t.tx, t.ty });
    }
    layer_->transform_ = CATransform3D::makeAffine(transform);
}

void UIView::boundsSizeDidChange(Size oldSize)
{
    if (autoresizesSubviews_)
        resizeSubviewsWithOldSize(oldSize);
    setNeedsLayout();
    if (contentMode_ == UIViewContentModeRedraw)
        setNeedsDisplay();
}

namespace {

// Shares a length change among the flexible parts of one axis, in proportion
// to their present lengths (evenly when they are all zero).
void distribute(double delta, double& margin1, bool flex1, double& size, bool flexSize, double& margin2, bool flex2)
{
    int count = int(flex1) + int(flexSize) + int(flex2);
    if (count == 0 || delta == 0)
        return;
    double total = (flex1 ? std::max(margin1, 0.0) : 0) + (flexSize ? std::max(size, 0.0) : 0)
        + (flex2 ? std::max(margin2, 0.0) : 0);
    auto share = [&](double part) { return total > 0 ? delta * std::max(part, 0.0) / total : delta / count; };
    double d1 = flex1 ? share(margin1) : 0;
    double ds = flexSize ? share(size) : 0;
    double d2 = flex2 ? share(margin2) : 0;
    margin1 += d1;
    size += ds;
    margin2 += d2;
}

} // namespace

void UIView::resizeSubviewsWithOldSize(Size oldSize)
{
    Size newSize = bounds_.size;
    for (auto& subview : std::vector<std::shared_ptr<UIView>>(subviews_)) {
        unsigned mask = subview->autoresizingMask_;
        if (mask == UIViewAutoresizingNone)
            continue;
        Rect f = subview->frame();
        double left = f.origin.x;
        double width = f.size.width;
        double right = oldSize.width - f.origin.x - f.size.width;
        distribute(newSize.width - oldSize.width, left, mask & UIViewAutoresizingFlexibleLeftMargin, width,
            mask & UIViewAutoresizingFlexibleWidth, right, mask & UIViewAutoresizingFlexibleRightMargin);
        double top = f.origin.y;
        double height = f.size.height;
        double bottom = oldSize.height - f.origin.y - f.size.height;
        distribute(newSize.height - oldSize.height, top, mask & UIViewAutoresizingFlexibleTopMargin, height,
            mask & UIViewAutoresizingFlexibleHeight, bottom, mask & UIViewAutoresizingFlexibleBottomMargin);
        // A size may not go below zero however far the parent shrinks.
        subview->setFrame(Rect(left, top, std::max(width, 0.0), std::max(height, 0.0)));
    }
}

// ---- Appearance

double UIView::alpha() const { return layer_->opacity(); }

void UIView::setAlpha(double alpha)
{
    if (std::isnan(alpha))
        return;
    noteAnimatableChange("alpha", { layer_->opacity_ });
    layer_->opacity_ = std::clamp(alpha, 0.0, 1.0);
}

bool UIView::isHidden() const { return layer_->isHidden(); }

void UIView::setHidden(bool hidden)
{
    if (layer_->hidden_ == hidden)
        return;
    noteAnimatableChange("hidden");
    layer_->hidden_ = hidden;
    // A hidden view cannot stay first responder behind the user's back.
    if (hidden && isFirstResponder())
        resignFirstResponder();
}

bool UIView::isOpaque() const { return layer_->isOpaque(); }

void UIView::setOpaque(bool opaque) { layer_->setOpaque(opaque); }

Color UIView::backgroundColor() const { return layer_->backgroundColor(); }

void UIView::setBackgroundColor(const Color& color)
{
    noteAnimatableChange("backgroundColor");
    layer_->backgroundColor_ = color;
    setNeedsDisplay();
}

bool UIView::clipsToBounds() const { return layer_->masksToBounds(); }

void UIView::setClipsToBounds(bool clips) { layer_->masksToBounds_ = clips; }

void UIView::setContentMode(UIViewContentMode mode)
{
    contentMode_ = mode;
    setNeedsDisplay();
}

Color UIView::tintColor() const
{
    for (auto view = std::static_pointer_cast<const UIView>(weak_from_this().lock()); view; view = view->superview()) {
        if (view->tintColor_)
            return *view->tintColor_;
    }
    return Color(0, 122.0 / 255.0, 1.0);
}

const std::shared_ptr<CALayer>& UIView::layer() const
{
    if (!layer_->view()) {
        if (auto self = std::static_pointer_cast<UIView>(std::const_pointer_cast<UIResponder>(weak_from_this().lock())))
            layer_->attachToView(self);
    }
    return layer_;
}

void UIView::noteAnimatableChange(const char* property, std::vector<double> from)
{
    if (!platform::AnimationLog::isRecordingChanges())
        return;
    std::weak_ptr<platform::Object> weak = std::static_pointer_cast<platform::Object>(weak_from_this().lock());
    platform::AnimationLog::noteChange(weak, className(), tag_, property, std::move(from));
}

// ---- Hierarchy

std::shared_ptr<UIView> UIView::rootView() const
{
    auto view = std::static_pointer_cast<UIView>(std::const_pointer_cast<UIResponder>(weak_from_this().lock()));
    if (!view)
        return nullptr;
    for (auto up = view->superview(); up; up = up->superview())
        view = up;
    return view;
}

std::shared_ptr<UIWindow> UIView::window() const
{
    const UIView* view = this;
    std::shared_ptr<UIView> holder;
    while (auto up = view->superview()) {
        holder = up;
        view = holder.get();
    }
    if (auto* window = dynamic_cast<const UIWindow*>(view))
        return std::static_pointer_cast<UIWindow>(
            std::const_pointer_cast<UIResponder>(window->weak_from_this().lock()));
    return nullptr;
}

bool UIView::isDescendantOfView(const UIView* view) const
{
    if (!view)
        return false;
    if (view == this)
        return true;
    for (auto up = superview(); up; up = up->superview()) {
        if (up.get() == view)
            return true;
    }
    return false;
}

void UIView::notifyWillMoveToWindow(UIView* view, UIWindow* window)
{
    view->willMoveToWindow(window);
    for (auto& subview : std::vector<std::shared_ptr<UIView>>(view->subviews_))
        notifyWillMoveToWindow(subview.get(), window);
}

void UIView::notifyDidMoveToWindow(UIView* view)
{
    view->didMoveToWindow();
    for (auto& subview : std::vector<std::shared_ptr<UIView>>(view->subviews_))
        notifyDidMoveToWindow(subview.get());
}

void UIView::insertSubviewAtPosition(std::shared_ptr<UIView> view, std::size_t position)
{
    if (!view || view.get() == this || isDescendantOfView(view.get()))
        return;
    UIView* oldSuperview = view->superview_;
    if (oldSuperview == this) {
        // Only the order changes: no move notifications.
        auto it = std::find(subviews_.begin(), subviews_.end(), view);
        std::size_t from = std::size_t(it - subviews_.begin());
        subviews_.erase(it);
        if (position > from)
            --position;
        position = std::min(position, subviews_.size());
        subviews_.insert(subviews_.begin() + long(position), view);
        setNeedsLayout();
        return;
    }
    auto oldWindow = view->window();
    auto newWindow = window();
    view->willMoveToSuperview(this);
    if (oldWindow != newWindow)
        notifyWillMoveToWindow(view.get(), newWindow.get());
    if (oldSuperview) {
        oldSuperview->willRemoveSubview(view.get());
        std::erase(oldSuperview->subviews_, view);
    }
    position = std::min(position, subviews_.size());
    subviews_.insert(subviews_.begin() + long(position), view);
    view->superview_ = this;
    view->didMoveToSuperview();
    if (oldWindow != newWindow)
        notifyDidMoveToWindow(view.get());
    didAddSubview(view.get());
    view->setNeedsLayout();
    setNeedsLayout();
}

void UIView::addSubview(std::shared_ptr<UIView> view) { insertSubviewAtPosition(std::move(view), subviews_.size()); }

void UIView::insertSubview(std::shared_ptr<UIView> view, long index)
{
    insertSubviewAtPosition(std::move(view), index < 0 ? 0 : std::size_t(index));
}

void UIView::insertSubviewAbove(std::shared_ptr<UIView> view, const std::shared_ptr<UIView>& sibling)
{
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    if (it == subviews_.end()) {
        addSubview(std::move(view));
        return;
    }
    insertSubviewAtPosition(std::move(view), std::size_t(it - subviews_.begin()) + 1);
}

void UIView::insertSubviewBelow(std::shared_ptr<UIView> view, const std::shared_ptr<UIView>& sibling)
{
    auto it = std::find(subviews_.begin(), subviews_.end(), sibling);
    if (it == subviews_.end()) {
        addSubview(std::move(view));
        return;
    }
    insertSubviewAtPosition(std::move(view), std::size_t(it - subviews_.begin()));
}

void UIView::bringSubviewToFront(const std::shared_ptr<UIView>& view)
{
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end())
        return;
    auto keep = *it;
    subviews_.erase(it);
    subviews_.push_back(keep);
}

void UIView::sendSubviewToBack(const std::shared_ptr<UIView>& view)
{
    auto it = std::find(subviews_.begin(), subviews_.end(), view);
    if (it == subviews_.end())
        return;
    auto keep = *it;
    subviews_.erase(it);
    subviews_.insert(subviews_.begin(), keep);
}

void UIView::exchangeSubviewAtIndex(long index1, long index2)
{
    long n = long(subviews_.size());
    if (index1 < 0 || index2 < 0 || index1 >= n || index2 >= n)
        return;
    std::swap(subviews_[std::size_t(index1)], subviews_[std::size_t(index2)]);
}

void UIView::removeFromSuperview()
{
    UIView* superview = superview_;
    if (!superview)
        return;
    auto keepSuperview = superview->weak_from_this().lock(); // null only while it is being built
    auto self = std::static_pointer_cast<UIView>(weak_from_this().lock()); // alive until we return
    auto oldWindow = window();
    // A first responder leaving the screen gives the keyboard up.
    if (oldWindow) {
        if (auto responder = currentFirstResponder()) {
            if (auto* responderView = dynamic_cast<UIView*>(responder.get());
                responderView && responderView->isDescendantOfView(this))
                responder->resignFirstResponder();
        }
    }
    willMoveToSuperview(nullptr);
    if (oldWindow)
        notifyWillMoveToWindow(this, nullptr);
    superview->willRemoveSubview(this);
    // Looked for from the end, where removeAllSubviews takes each from.
    auto it = std::find_if(
        superview->subviews_.rbegin(), superview->subviews_.rend(), [this](auto& view) { return view.get() == this; });
    if (it != superview->subviews_.rend())
        superview->subviews_.erase(std::next(it).base());
    superview_ = nullptr;
    superview->setNeedsLayout();
    didMoveToSuperview();
    if (oldWindow)
        notifyDidMoveToWindow(this);
}

void UIView::removeAllSubviews()
{
    const auto leaving = subviews_;
    for (auto it = leaving.rbegin(); it != leaving.rend(); ++it) {
        if ((*it)->superview_ == this)
            (*it)->removeFromSuperview();
    }
}

std::shared_ptr<UIView> UIView::viewWithTag(int tag)
{
    if (tag_ == tag)
        return std::static_pointer_cast<UIView>(weak_from_this().lock());
    for (auto& subview : subviews_) {
        if (auto found = subview->viewWithTag(tag))
            return found;
    }
    return nullptr;
}

void UIView::willMoveToSuperview(UIView*) { }
void UIView::didMoveToSuperview() { }
void UIView::willMoveToWindow(UIWindow*) { }
void UIView::didMoveToWindow() { }
void UIView::didAddSubview(UIView*) { }
void UIView::willRemoveSubview(UIView*) { }

// ---- Layout and display

void UIView::layoutSubviews() { }

void UIView::setNeedsDisplayInRect(const platform::Rect& rect)
{
    auto r = rect.standardized();
    if (r.isNull() || r.isEmpty())
        return;
    needsDisplay_ = true;
    dirtyRect_ = dirtyRect_.isNull() ? r : dirtyRect_.unionWith(r);
}

platform::Rect UIView::needsDisplayRect() const
{
    if (!needsDisplay_)
        return platform::Rect::null();
    if (wholeNeedsDisplay_)
        return bounds();
    return dirtyRect_;
}

void UIView::setNeedsLayout()
{
    needsLayout_ = true;
    scheduleLayout(std::static_pointer_cast<UIView>(weak_from_this().lock()));
}

void UIView::layoutIfNeeded()
{
    auto self = weak_from_this().lock();
    if (needsLayout_) {
        needsLayout_ = false;
        layoutSubviews();
    }
    for (auto& subview : std::vector<std::shared_ptr<UIView>>(subviews_))
        subview->layoutIfNeeded();
}

Size UIView::sizeThatFits(Size) const { return bounds_.size; }

void UIView::sizeToFit()
{
    Size fitted = sizeThatFits(bounds_.size);
    if (!std::isfinite(fitted.width) || !std::isfinite(fitted.height))
        return;
    Rect f = frame();
    setFrame(Rect(f.origin, Size(std::max(fitted.width, 0.0), std::max(fitted.height, 0.0))));
}

void UIView::drawRect(platform::Context&, const Rect&) { }

// ---- Coordinates

Point UIView::toSuperview(Point p) const
{
    Point v(p.x - (bounds_.origin.x + bounds_.size.width / 2), p.y - (bounds_.origin.y + bounds_.size.height / 2));
    Point t = transform().apply(v);
    return Point(t.x + center_.x, t.y + center_.y);
}

Point UIView::fromSuperview(Point q) const
{
    Point v(q.x - center_.x, q.y - center_.y);
    auto t = transform();
    if (!t.isIdentity())
        v = t.inverted().apply(v);
    return Point(v.x + bounds_.origin.x + bounds_.size.width / 2, v.y + bounds_.origin.y + bounds_.size.height / 2);
}

Point UIView::convertPointToView(Point point, const UIView* view) const
{
    if (view == this)
        return point;
    // Up to the root, then down to the other view.
    Point p = point;
    std::shared_ptr<const UIView> holder;
    const UIView* current = this;
    while (true) {
        if (view && current == view)
            return p;
        auto up = current->superview();
        if (!up)
            break;
        p = current->toSuperview(p);
        holder = up;
        current = holder.get();
    }
    if (!view)
        return p;
    return view->convertPointFromView(p, nullptr);
}

Point UIView::convertPointFromView(Point point, const UIView* view) const
{
    if (view == this)
        return point;
    Point p = view ? view->convertPointToView(point, nullptr) : point;
    // Down from the root through the chain of ancestors.
    std::vector<const UIView*> chain;
    std::vector<std::shared_ptr<UIView>> holders;
    for (const UIView* v = this;;) {
        auto up = v->superview();
        if (!up)
            break;
        chain.push_back(v);
        holders.push_back(up);
        v = up.get();
    }
    for (auto it = chain.rbegin(); it != chain.rend(); ++it)
        p = (*it)->fromSuperview(p);
    return p;
}

namespace {

template <class Convert> Rect convertCorners(const Rect& rect, Convert convert)
{
    if (!isFiniteRect(rect))
        return Rect::null();
    Rect r = standardizedRect(rect);
    Point corners[4] = { r.origin, Point(r.origin.x + r.size.width, r.origin.y),
        Point(r.origin.x, r.origin.y + r.size.height), Point(r.origin.x + r.size.width, r.origin.y + r.size.height) };
    double minX = 0, minY = 0, maxX = 0, maxY = 0;
    for (int i = 0; i < 4; ++i) {
        Point p = convert(corners[i]);
        if (i == 0 || p.x < minX)
            minX = p.x;
        if (i == 0 || p.y < minY)
            minY = p.y;
        if (i == 0 || p.x > maxX)
            maxX = p.x;
        if (i == 0 || p.y > maxY)
            maxY = p.y;
    }
    return Rect(minX, minY, maxX - minX, maxY - minY);
}

} // namespace

Rect UIView::convertRectToView(const Rect& rect, const UIView* view) const
{
    return convertCorners(rect, [&](Point p) { return convertPointToView(p, view); });
}

Rect UIView::convertRectFromView(const Rect& rect, const UIView* view) const
{
    return convertCorners(rect, [&](Point p) { return convertPointFromView(p, view); });
}
// ---- Hit testing

bool UIView::pointInside(Point point, UIEvent*) const { return bounds_.contains(point); }

std::shared_ptr<UIView> UIView::hitTest(Point point, UIEvent* event)
{
    if (isHidden() || !userInteractionEnabled_ || alpha() < 0.01)
        return nullptr;
    if (!std::isfinite(point.x) || !std::isfinite(point.y) || !pointInside(point, event))
        return nullptr;
    auto snapshot = subviews_;
    for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
        if (auto hit = (*it)->hitTest((*it)->fromSuperview(point), event))
            return hit;
    }
    return std::static_pointer_cast<UIView>(weak_from_this().lock());
}

// ---- Gestures and editing

void UIView::addGestureRecognizer(std::shared_ptr<UIGestureRecognizer> recognizer)
{
    if (!recognizer)
        return;
    if (std::find(recognizers_.begin(), recognizers_.end(), recognizer) != recognizers_.end())
        return;
    if (auto previous = recognizer->view())
        previous->removeGestureRecognizer(recognizer);
    recognizers_.push_back(recognizer);
    recognizer->attachToView(std::static_pointer_cast<UIView>(weak_from_this().lock()));
}

void UIView::removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer)
{
    auto it = std::find(recognizers_.begin(), recognizers_.end(), recognizer);
    if (it == recognizers_.end())
        return;
    recognizers_.erase(it);
    recognizer->attachToView({});
}

bool UIView::endEditing(bool force)
{
    auto responder = currentFirstResponder();
    if (!responder)
        return true;
    auto* view = dynamic_cast<UIView*>(responder.get());
    if (!view || !view->isDescendantOfView(this))
        return true;
    if (responder->resignFirstResponder())
        return true;
    if (!force)
        return false;
    // Forced: the responder's refusal is overruled.
    UIResponder::forceResignCurrentFirstResponder();
    return true;
}

std::shared_ptr<UIResponder> UIView::nextResponder() const
{
    if (auto controller = viewController_.lock())
        return controller;
    return superview();
}

// ---- Rendering

std::optional<platform::Image> UIView::renderToImage(double scale)
{
    if (!(scale > 0) || !std::isfinite(scale))
        scale = UIScreen::mainScreen()->scale();
    return platform::renderViewToImage(*this, scale);
}

bool UIView::renderToPNG(const std::string& path, double scale)
{
    auto image = renderToImage(scale);
    return image && image->writePNG(path);
}

// ---- Animations

void UIView::animateWithDuration(
    double duration, double delay, unsigned options, const Animations& animations, Completion completion)
{
    duration = sanitizeSeconds(duration);
    delay = sanitizeSeconds(delay);
    auto id = openRecord(platform::AnimationRecord::Kind::Block, {}, duration, delay, options);
    platform::AnimationLog::pushOpenRecord(id);
    if (animations)
        animations();
    platform::AnimationLog::popOpenRecord();
    scheduleCompletion(id, animationState().enabled ? delay + duration : 0, std::move(completion));
}

void UIView::animateWithDuration(double duration, const Animations& animations, Completion completion)
{
    animateWithDuration(duration, 0, 0, animations, std::move(completion));
}

void UIView::transitionWithView(const std::shared_ptr<UIView>& view, double duration, unsigned options,
    const Animations& animations, Completion completion)
{
    duration = sanitizeSeconds(duration);
    auto id = openRecord(platform::AnimationRecord::Kind::Transition, {}, duration, 0, options);
    if (auto* record = platform::AnimationLog::recordWithId(id)) {
        record->transitionType = transitionName(options);
        if (view)
            record->changes.push_back(
                { std::static_pointer_cast<platform::Object>(view), view->className(), view->tag(), "contents" });
    }
    platform::AnimationLog::pushOpenRecord(id);
    if (animations)
        animations();
    platform::AnimationLog::popOpenRecord();
    scheduleCompletion(id, animationState().enabled ? duration : 0, std::move(completion));
}

void UIView::transitionFromView(const std::shared_ptr<UIView>& fromView, const std::shared_ptr<UIView>& toView,
    double duration, unsigned options, Completion completion)
{
    duration = sanitizeSeconds(duration);
    auto id = openRecord(platform::AnimationRecord::Kind::Transition, {}, duration, 0, options);
    if (auto* record = platform::AnimationLog::recordWithId(id)) {
        record->transitionType = transitionName(options);
        for (auto& view : { fromView, toView }) {
            if (view)
                record->changes.push_back(
                    { std::static_pointer_cast<platform::Object>(view), view->className(), view->tag(), "superview" });
        }
    }
    if (fromView && toView && fromView != toView) {
        if (options & UIViewAnimationOptionShowHideTransitionViews) {
            fromView->setHidden(true);
            toView->setHidden(false);
        } else if (auto superview = fromView->superview()) {
            superview->insertSubviewAbove(toView, fromView);
            fromView->removeFromSuperview();
        }
    }
    scheduleCompletion(id, animationState().enabled ? duration : 0, std::move(completion));
}

void UIView::beginAnimations(std::string animationID, platform::Value)
{
    AnimationState::BeginContext context;
    context.animationID = animationID;
    context.recordId = openRecord(platform::AnimationRecord::Kind::BeginCommit, std::move(animationID), 0.2, 0, 0);
    animationState().beginStack.push_back(std::move(context));
    platform::AnimationLog::pushOpenRecord(animationState().beginStack.back().recordId);
}

void UIView::setAnimationDuration(double duration)
{
    if (!animationState().beginStack.empty())
        animationState().beginStack.back().duration = sanitizeSeconds(duration);
}

void UIView::setAnimationDelay(double delay)
{
    if (!animationState().beginStack.empty())
        animationState().beginStack.back().delay = sanitizeSeconds(delay);
}

void UIView::setAnimationCurve(UIViewAnimationCurve curve)
{
    if (!animationState().beginStack.empty())
        animationState().beginStack.back().curve = curve;
}

void UIView::setAnimationBeginsFromCurrentState(bool) { }

void UIView::setAnimationRepeatCount(double) { }

void UIView::setAnimationDidStop(std::weak_ptr<const void> owner, DidStop callback)
{
    if (animationState().beginStack.empty())
        return;
    auto& context = animationState().beginStack.back();
    context.hasOwner = !owner.expired();
    context.owner = std::move(owner);
    context.didStop = std::move(callback);
}

void UIView::commitAnimations()
{
    auto& stack = animationState().beginStack;
    if (stack.empty())
        return;
    auto context = std::move(stack.back());
    stack.pop_back();
    platform::AnimationLog::popOpenRecord();
    if (auto* record = platform::AnimationLog::recordWithId(context.recordId)) {
        record->duration = context.duration;
        record->delay = context.delay;
        record->options = unsigned(context.curve);
    }
    Completion completion;
    if (context.didStop) {
        completion = [owner = context.owner, hasOwner = context.hasOwner, didStop = context.didStop,
                         name = context.animationID](bool finished) {
            if (hasOwner && owner.expired())
                return;
            didStop(name, finished);
        };
    }
    scheduleCompletion(
        context.recordId, animationState().enabled ? context.delay + context.duration : 0, std::move(completion));
}

void UIView::setAnimationsEnabled(bool enabled) { animationState().enabled = enabled; }

bool UIView::areAnimationsEnabled() { return animationState().enabled; }

void UIView::performWithoutAnimation(const Animations& actions)
{
    bool was = animationState().enabled;
    animationState().enabled = false;
    if (actions)
        actions();
    animationState().enabled = was;
}

std::size_t UIView::cancelAnimationsOf(const platform::Object* target)
{
    if (!target)
        return 0;
    std::vector<std::shared_ptr<PendingAnimation>> hits;
    for (auto& pending : animationState().pending) {
        for (auto& weak : pending->targets) {
            if (weak.lock().get() == target) {
                hits.push_back(pending);
                break;
            }
        }
    }
    for (auto& pending : hits) {
        platform::RunLoop::main().cancelTimer(pending->timer);
        // The phone reports the interruption on the next turn, not inside the call.
        platform::RunLoop::main().post([pending] { finishAnimation(pending, false); });
    }
    return hits.size();
}

std::size_t UIView::runningAnimationCount() { return animationState().pending.size(); }
