#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Value.h"

#include <functional>
#include <memory>
#include <string>

// An animation object added to a layer. Headless, it only has a duration:
// the layer keeps it under its key until the duration has passed on the main
// loop's clock, then calls the did-stop callback. Adding one is recorded in
// the animation log.
class CAAnimation : public platform::Object {
public:
    ORB_CLASS_NAME(CAAnimation)

    double duration() const { return duration_; }
    void setDuration(double duration) { duration_ = duration; }
    double beginTime() const { return beginTime_; }
    void setBeginTime(double seconds) { beginTime_ = seconds; }
    bool isRemovedOnCompletion() const { return removedOnCompletion_; }
    void setRemovedOnCompletion(bool removed) { removedOnCompletion_ = removed; }
    const std::string& timingFunction() const { return timingFunction_; }
    void setTimingFunction(std::string name) { timingFunction_ = std::move(name); }

    // animationDidStop:finished:, held with the owner's lifetime: a callback
    // whose owner is gone is not called.
    using DidStop = std::function<void(bool finished)>;
    void setDidStop(std::weak_ptr<const void> owner, DidStop callback)
    {
        didStopOwner_ = std::move(owner);
        hasOwner_ = !didStopOwner_.expired();
        didStop_ = std::move(callback);
    }
    void setDidStop(DidStop callback)
    {
        didStopOwner_.reset();
        hasOwner_ = false;
        didStop_ = std::move(callback);
    }
    void notifyDidStop(bool finished) const
    {
        if (!didStop_)
            return;
        if (hasOwner_ && didStopOwner_.expired())
            return;
        didStop_(finished);
    }

    // What the log shows as the animation's type.
    virtual std::string kindName() const { return "animation"; }

private:
    double duration_ = 0.25;
    double beginTime_ = 0;
    bool removedOnCompletion_ = true;
    std::string timingFunction_;
    std::weak_ptr<const void> didStopOwner_;
    bool hasOwner_ = false;
    DidStop didStop_;
};

// A property animation, recorded with its key path and end points.
class CABasicAnimation : public CAAnimation {
public:
    explicit CABasicAnimation(std::string keyPath = {})
        : keyPath_(std::move(keyPath))
    {
    }
    ORB_CLASS_NAME(CABasicAnimation)
    std::string kindName() const override { return "basic"; }

    const std::string& keyPath() const { return keyPath_; }
    void setKeyPath(std::string keyPath) { keyPath_ = std::move(keyPath); }
    const platform::Value& fromValue() const { return from_; }
    void setFromValue(platform::Value value) { from_ = std::move(value); }
    const platform::Value& toValue() const { return to_; }
    void setToValue(platform::Value value) { to_ = std::move(value); }

private:
    std::string keyPath_;
    platform::Value from_;
    platform::Value to_;
};
