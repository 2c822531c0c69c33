#pragma once

#include "platform/os/Value.h"

#include <functional>
#include <memory>
#include <string>

namespace platform {

struct Notification {
    std::string name;
    Value object; // the sender or subject; compared by equality (records by identity)
    Dictionary userInfo;
};

// Unsubscribes when destroyed or reset. Move-only.
class ObserverToken final {
public:
    ObserverToken() = default;
    ObserverToken(ObserverToken&&) noexcept;
    ObserverToken& operator=(ObserverToken&&) noexcept;
    ObserverToken(const ObserverToken&) = delete;
    ObserverToken& operator=(const ObserverToken&) = delete;
    ~ObserverToken();
    void reset();
    explicit operator bool() const { return static_cast<bool>(remove_); }

private:
    friend class NotificationCenter;
    explicit ObserverToken(std::function<void()> remove);
    std::function<void()> remove_;
};

// Name → observers. A post on the main thread delivers at once, in the order
// observers were added; a post from another thread is delivered on the main
// loop. Observers added or removed during a post take effect at once: a
// removed observer is not called afterwards, an added one waits for the next post.
class NotificationCenter final {
public:
    using Handler = std::function<void(const Notification&)>;

    static NotificationCenter& defaultCenter();
    NotificationCenter();
    ~NotificationCenter();

    // An empty name observes every name; a null object observes every sender.
    [[nodiscard]] ObserverToken addObserver(std::string name, Value object, Handler handler);
    void post(std::string name, Value object = {}, Dictionary userInfo = {});
    void post(const Notification& notification);

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

} // namespace platform
