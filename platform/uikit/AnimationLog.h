#pragma once

#include "platform/os/Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

// Every animation the views are asked for, in the order asked. Headless, an
// animation applies its final values at once and only its timing remains to
// be seen: tests read this log to check that a screen animated what it should,
// for as long as it should.
struct AnimationChange {
    std::weak_ptr<Object> target; // the view or layer whose property changed
    std::string targetClass;
    int targetTag = 0; // the view's tag (layers: their view's, 0 without one)
    std::string property; // "frame", "alpha", "transform", "layer.opacity", ...
    // Where the animation starts from: the value before the block's first
    // change of the property, for the views' alpha ({alpha}) and transform
    // ({a, b, c, d, tx, ty}); empty for the other properties. Headless, the
    // final value is all the view keeps, so this is what shows a zoom's start.
    std::vector<double> from = {};
};

struct AnimationRecord {
    enum class Kind {
        Block, // animateWithDuration
        BeginCommit, // beginAnimations / commitAnimations
        Transition, // transitionWithView / transitionFromView
        LayerAnimation, // an animation object added to a layer (CATransition, ...)
    };
    std::uint64_t id = 0; // unique for the process; survives clear()
    Kind kind = Kind::Block;
    std::string name; // animation id, or the layer animation's key
    double duration = 0;
    double delay = 0;
    unsigned options = 0; // UIViewAnimationOptions, or the curve for begin/commit
    std::string transitionType; // layer transitions: "fade", "pageCurl", ...; view transitions: "flipFromLeft", ...
    std::string transitionSubtype; // "fromLeft", ...
    double startTime = 0; // the main loop's clock when asked
    bool animationsEnabled = true; // false when asked while animations were switched off
    bool finished = false; // the completion has run (with finished = true)
    bool cancelled = false; // stopped early by removeAllAnimations
    std::vector<AnimationChange> changes;

    // Whether a property of an object of that class changed ("" matches any class).
    bool changed(const std::string& property, const std::string& targetClass = {}) const;
    bool changedObject(const Object* target, const std::string& property = {}) const;
};

class AnimationLog final {
public:
    AnimationLog() = delete;

    // At most this many records are kept; the oldest half goes when it is reached.
    static constexpr std::size_t kCapacity = 4096;

    static const std::vector<AnimationRecord>& records();
    static std::size_t count();
    // The latest record, or nullptr.
    static const AnimationRecord* last();
    static void clear();

    // While an animation block runs, the animatable setters of views and layers
    // report here what they changed. Outside a block this does nothing.
    static void noteChange(std::weak_ptr<Object> target, const std::string& targetClass, int targetTag,
        const char* property, std::vector<double> from = {});
    static bool isRecordingChanges();

    // For the animation machinery itself.
    // append gives the record its id and returns it; recordWithId is nullptr
    // once the record has been cleared away.
    static std::uint64_t append(AnimationRecord record);
    static AnimationRecord* recordWithId(std::uint64_t id);
    static void pushOpenRecord(std::uint64_t id);
    static void popOpenRecord();
};

} // namespace platform
