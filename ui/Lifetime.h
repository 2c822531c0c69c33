#pragma once

#include "platform/os/NotificationCenter.h"
#include "platform/os/Timer.h"

#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// A callable that runs fn(target, args...) (fn may be a member function)
// while the target lives and does
// nothing afterwards: the one way a block handed to a timer, the dispatcher,
// an animation or a notification centre refers back to its owner.
template <class T, class F> auto weakCall(std::weak_ptr<T> target, F fn)
{
    return [target = std::move(target), fn = std::move(fn)](auto&&... args) {
        if (auto strong = target.lock())
            std::invoke(fn, *strong, std::forward<decltype(args)>(args)...);
    };
}

// Calls fn with the arguments when it takes them, else with none.
template <class F, class... Args> void callWithOrWithout(const F& fn, const Args&... args)
{
    if constexpr (std::is_invocable_v<const F&, const Args&...>)
        fn(args...);
    else
        fn();
}

// For an answer that changes something outside its screen (the window's
// overlay, news for other screens): `always` runs for every call, whether or
// not the screen that asked is still there, and `next` (the screen's weak
// step, usually a weakCall) after it with the same arguments. `always` may
// take those arguments or none. Without this, an overlay shown for a request
// and ended only in the screen's weak step stays on the window for good once
// the person leaves before the answer.
template <class Always, class Next> auto alwaysThen(Always always, Next next)
{
    return [always = std::move(always), next = std::move(next)](const auto&... args) {
        callWithOrWithout(always, args...);
        next(args...);
    };
}

// What an object has started that must end with it: notification
// observations and timers, each holding the object weakly. The object keeps
// one as a member; destroying it (or end()) stops everything, so no timer or
// observation outlives its target and none needs a hand-written destructor.
// Main thread only, like the screens and views that use it.
class Lifetime final {
public:
    Lifetime() = default;
    ~Lifetime() { end(); }
    Lifetime(const Lifetime&) = delete;
    Lifetime& operator=(const Lifetime&) = delete;

    // Calls target->method(notification) for each notification of that name
    // on the default centre.
    template <class T>
    void observe(std::type_identity_t<std::weak_ptr<T>> target, const std::string& name, void (T::*method)(const platform::Notification&))
    {
        addObservation(name, weakCall(std::move(target), [method](T& object, const platform::Notification& n) {
            (object.*method)(n);
        }));
    }
    // Ends the observations of that name.
    void stopObserving(const std::string& name);

    // Calls target->method() every `seconds` on the current loop.
    template <class T> std::shared_ptr<platform::Timer> every(double seconds, std::type_identity_t<std::weak_ptr<T>> target, void (T::*method)())
    {
        return schedule(seconds, true, std::move(target), method);
    }
    // Calls target->method() once, `seconds` from now.
    template <class T> std::shared_ptr<platform::Timer> after(double seconds, std::type_identity_t<std::weak_ptr<T>> target, void (T::*method)())
    {
        return schedule(seconds, false, std::move(target), method);
    }
    // Calls fn(*target) once, `seconds` from now, while the target lives
    // (for calls that carry arguments; T is named: afterCall<T>(…)).
    template <class T, class F>
    std::shared_ptr<platform::Timer> afterCall(double seconds, std::type_identity_t<std::weak_ptr<T>> target, F fn)
    {
        return addTimer(seconds, false, weakCall(std::move(target), [fn = std::move(fn)](T& object, platform::Timer&) {
            fn(object);
        }));
    }
    // Stops one timer this lifetime started (nullptr: nothing).
    void cancel(const std::shared_ptr<platform::Timer>& timer);

    // Stops every timer and observation.
    void end();
    std::size_t timerCount() const;
    std::size_t observationCount() const { return observations_.size(); }

private:
    template <class T>
    std::shared_ptr<platform::Timer> schedule(double seconds, bool repeats, std::weak_ptr<T> target, void (T::*method)())
    {
        return addTimer(seconds, repeats, weakCall(std::move(target), [method](T& object, platform::Timer&) {
            (object.*method)();
        }));
    }
    void addObservation(const std::string& name, platform::NotificationCenter::Handler handler);
    std::shared_ptr<platform::Timer> addTimer(double seconds, bool repeats, platform::Timer::Callback callback);

    std::vector<std::pair<std::string, platform::ObserverToken>> observations_;
    std::vector<std::shared_ptr<platform::Timer>> timers_;
};
