#include "platform/uikit/CALayer.h"

#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/CAAnimation.h"
#include "platform/uikit/CATransition.h"
#include "platform/uikit/UIView.h"

#include <algorithm>
#include <cmath>

using platform::Color;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

bool isFiniteValue(double v) { return std::isfinite(v); }

} // namespace

CALayer::~CALayer()
{
    auto& loop = platform::RunLoop::main();
    if (loop.isCurrent()) {
        for (auto& running : animations_)
            loop.cancelTimer(running.timer);
    }
    for (auto& sublayer : sublayers_)
        sublayer->superlayer_.reset();
}

void CALayer::noteChange(const char* property)
{
    if (!platform::AnimationLog::isRecordingChanges())
        return;
    auto view = view_.lock();
    std::string name = std::string("layer.") + property;
    std::weak_ptr<platform::Object> weak = std::static_pointer_cast<platform::Object>(weak_from_this().lock());
    platform::AnimationLog::noteChange(
        weak, view ? view->className() : className(), view ? view->tag() : 0, name.c_str());
}

Rect CALayer::frame() const
{
    if (auto view = view_.lock())
        return view->frame();
    Size s = bounds_.size;
    auto t = transform_.affine();
    Rect local(-s.width / 2, -s.height / 2, s.width, s.height);
    Rect box = t.isIdentity() ? local : t.apply(local);
    return box.offsetBy(position_.x, position_.y);
}

void CALayer::setFrame(const Rect& frame)
{
    if (auto view = view_.lock()) {
        view->setFrame(frame);
        return;
    }
    if (!isFiniteValue(frame.origin.x) || !isFiniteValue(frame.origin.y) || !isFiniteValue(frame.size.width)
        || !isFiniteValue(frame.size.height))
        return;
    noteChange("frame");
    Rect f = frame.standardized();
    bounds_.size = f.size;
    position_ = Point(f.origin.x + f.size.width / 2, f.origin.y + f.size.height / 2);
}

Rect CALayer::bounds() const
{
    if (auto view = view_.lock())
        return view->bounds();
    return bounds_;
}

void CALayer::setBounds(const Rect& bounds)
{
    if (auto view = view_.lock()) {
        view->setBounds(bounds);
        return;
    }
    if (!isFiniteValue(bounds.origin.x) || !isFiniteValue(bounds.origin.y) || !isFiniteValue(bounds.size.width)
        || !isFiniteValue(bounds.size.height))
        return;
    noteChange("bounds");
    bounds_ = bounds.standardized();
}

Point CALayer::position() const
{
    if (auto view = view_.lock())
        return view->center();
    return position_;
}

void CALayer::setPosition(Point position)
{
    if (auto view = view_.lock()) {
        view->setCenter(position);
        return;
    }
    if (!isFiniteValue(position.x) || !isFiniteValue(position.y))
        return;
    noteChange("position");
    position_ = position;
}

void CALayer::setCornerRadius(double radius)
{
    if (!isFiniteValue(radius))
        return;
    noteChange("cornerRadius");
    cornerRadius_ = std::max(radius, 0.0);
}

void CALayer::setBorderWidth(double width)
{
    if (!isFiniteValue(width))
        return;
    noteChange("borderWidth");
    borderWidth_ = std::max(width, 0.0);
}

void CALayer::setBorderColor(const Color& color)
{
    noteChange("borderColor");
    borderColor_ = color;
}

void CALayer::setBackgroundColor(const Color& color)
{
    noteChange("backgroundColor");
    backgroundColor_ = color;
}

void CALayer::setShadowColor(const Color& color)
{
    noteChange("shadowColor");
    shadowColor_ = color;
}

void CALayer::setShadowOffset(Size offset)
{
    if (!isFiniteValue(offset.width) || !isFiniteValue(offset.height))
        return;
    noteChange("shadowOffset");
    shadowOffset_ = offset;
}

void CALayer::setShadowOpacity(double opacity)
{
    if (std::isnan(opacity))
        return;
    noteChange("shadowOpacity");
    shadowOpacity_ = std::clamp(opacity, 0.0, 1.0);
}

void CALayer::setShadowRadius(double radius)
{
    if (!isFiniteValue(radius))
        return;
    noteChange("shadowRadius");
    shadowRadius_ = std::max(radius, 0.0);
}

void CALayer::setContents(std::shared_ptr<UIImage> image)
{
    noteChange("contents");
    contents_ = std::move(image);
}

void CALayer::setContentsGravity(std::string gravity) { contentsGravity_ = std::move(gravity); }

void CALayer::setContentsScale(double scale)
{
    if (isFiniteValue(scale) && scale > 0)
        contentsScale_ = scale;
}

void CALayer::setTransform(const CATransform3D& transform)
{
    noteChange("transform");
    transform_ = transform;
}

void CALayer::setOpacity(double opacity)
{
    if (std::isnan(opacity))
        return;
    noteChange("opacity");
    opacity_ = std::clamp(opacity, 0.0, 1.0);
}

void CALayer::setHidden(bool hidden)
{
    if (auto view = view_.lock()) {
        view->setHidden(hidden);
        return;
    }
    noteChange("hidden");
    hidden_ = hidden;
}

void CALayer::setMasksToBounds(bool masks) { masksToBounds_ = masks; }

void CALayer::addSublayer(std::shared_ptr<CALayer> layer) { insertSublayer(std::move(layer), sublayers_.size()); }

void CALayer::insertSublayer(std::shared_ptr<CALayer> layer, std::size_t index)
{
    if (!layer || layer.get() == this)
        return;
    // A layer above this one in the tree cannot become its sublayer.
    for (auto up = superlayer(); up; up = up->superlayer()) {
        if (up == layer)
            return;
    }
    layer->removeFromSuperlayer();
    index = std::min(index, sublayers_.size());
    sublayers_.insert(sublayers_.begin() + long(index), layer);
    layer->superlayer_ = weak_from_this();
}

void CALayer::removeFromSuperlayer()
{
    auto superlayer = superlayer_.lock();
    if (!superlayer)
        return;
    auto it = std::find_if(superlayer->sublayers_.begin(), superlayer->sublayers_.end(),
        [this](const std::shared_ptr<CALayer>& layer) { return layer.get() == this; });
    if (it == superlayer->sublayers_.end())
        return;
    auto self = *it; // alive until we return
    superlayer->sublayers_.erase(it);
    superlayer_.reset();
}

void CALayer::addAnimation(std::shared_ptr<CAAnimation> animation, std::string key)
{
    if (!animation)
        return;
    if (key.empty())
        key = "animation-" + std::to_string(++generatedKeys_);
    removeAnimationForKey(key);

    double duration = animation->duration();
    if (!isFiniteValue(duration) || duration < 0)
        duration = 0;
    platform::AnimationRecord record;
    record.kind = platform::AnimationRecord::Kind::LayerAnimation;
    record.name = key;
    record.duration = duration;
    record.startTime = platform::RunLoop::main().now();
    record.animationsEnabled = UIView::areAnimationsEnabled();
    if (auto* transition = dynamic_cast<CATransition*>(animation.get())) {
        record.transitionType = transition->type();
        record.transitionSubtype = transition->subtype();
    } else if (auto* basic = dynamic_cast<CABasicAnimation*>(animation.get())) {
        record.transitionType = basic->keyPath();
    }
    auto view = view_.lock();
    std::weak_ptr<platform::Object> target = std::static_pointer_cast<platform::Object>(weak_from_this().lock());
    record.changes.push_back(
        { target, view ? view->className() : className(), view ? view->tag() : 0, "layer." + animation->kindName() });
    auto recordId = platform::AnimationLog::append(std::move(record));

    RunningAnimation running { key, animation, 0 };
    std::weak_ptr<CALayer> weakSelf = weak_from_this();
    running.timer = platform::RunLoop::main().addTimer(duration, 0, [weakSelf, key, recordId, animation] {
        if (auto* logged = platform::AnimationLog::recordWithId(recordId))
            logged->finished = true;
        auto self = weakSelf.lock();
        if (self) {
            auto it = std::find_if(self->animations_.begin(), self->animations_.end(),
                [&](const RunningAnimation& r) { return r.key == key && r.animation == animation; });
            if (it != self->animations_.end() && animation->isRemovedOnCompletion())
                self->animations_.erase(it);
        }
        animation->notifyDidStop(true);
    });
    animations_.push_back(std::move(running));
}

std::shared_ptr<CAAnimation> CALayer::animationForKey(const std::string& key) const
{
    for (auto& running : animations_) {
        if (running.key == key)
            return running.animation;
    }
    return nullptr;
}

std::vector<std::string> CALayer::animationKeys() const
{
    std::vector<std::string> keys;
    for (auto& running : animations_)
        keys.push_back(running.key);
    return keys;
}

void CALayer::removeAnimationForKey(const std::string& key)
{
    auto it = std::find_if(animations_.begin(), animations_.end(), [&](auto& r) { return r.key == key; });
    if (it == animations_.end())
        return;
    auto running = *it;
    animations_.erase(it);
    auto& loop = platform::RunLoop::main();
    bool wasRunning = loop.hasTimer(running.timer);
    loop.cancelTimer(running.timer);
    if (wasRunning)
        running.animation->notifyDidStop(false);
}

void CALayer::removeAllAnimations()
{
    while (!animations_.empty())
        removeAnimationForKey(animations_.front().key);
    if (auto view = view_.lock())
        UIView::cancelAnimationsOf(view.get());
    UIView::cancelAnimationsOf(this);
}
