#include "platform/os/NotificationCenter.h"

#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"

#include <atomic>
#include <exception>
#include <mutex>
#include <utility>
#include <vector>

namespace platform {

ObserverToken::ObserverToken(std::function<void()> remove)
    : remove_(std::move(remove))
{
}

ObserverToken::ObserverToken(ObserverToken&& other) noexcept
    : remove_(std::exchange(other.remove_, nullptr))
{
}

ObserverToken& ObserverToken::operator=(ObserverToken&& other) noexcept
{
    if (this != &other) {
        reset();
        remove_ = std::exchange(other.remove_, nullptr);
    }
    return *this;
}

ObserverToken::~ObserverToken() { reset(); }

void ObserverToken::reset()
{
    if (auto remove = std::exchange(remove_, nullptr))
        remove();
}

struct NotificationCenter::Impl {
    struct Observer {
        std::uint64_t id;
        std::string name;
        Value object;
        Handler handler;
        std::atomic<bool> removed { false };
    };

    std::mutex mutex;
    std::vector<std::shared_ptr<Observer>> observers; // in the order they were added
    std::uint64_t nextId = 1;

    void remove(std::uint64_t id)
    {
        std::shared_ptr<Observer> gone;
        {
            std::lock_guard lock(mutex);
            for (auto it = observers.begin(); it != observers.end(); ++it) {
                if ((*it)->id == id) {
                    gone = std::move(*it);
                    observers.erase(it);
                    break;
                }
            }
            if (gone)
                gone->removed.store(true);
        }
        // `gone` dies here, outside the lock: the handler's captures may own
        // further tokens whose removal takes the lock again.
    }

    // Main thread. Works on a snapshot so observers may come and go meanwhile:
    // one removed before its turn is skipped, one added waits for the next post.
    void deliver(const Notification& notification)
    {
        std::vector<std::shared_ptr<Observer>> snapshot;
        {
            std::lock_guard lock(mutex);
            snapshot = observers;
        }
        for (const auto& observer : snapshot) {
            if (observer->removed.load())
                continue;
            if (!observer->name.empty() && observer->name != notification.name)
                continue;
            if (!observer->object.isNull() && !(observer->object == notification.object))
                continue;
            try {
                observer->handler(notification);
            } catch (const std::exception& e) {
                log("NotificationCenter: an observer of \"%s\" threw: %s\n", notification.name.c_str(), e.what());
            } catch (...) {
                log("NotificationCenter: an observer of \"%s\" threw\n", notification.name.c_str());
            }
        }
    }
};

NotificationCenter& NotificationCenter::defaultCenter()
{
    // Never destroyed: tokens held by other objects with static lifetime may
    // unsubscribe while the process exits.
    static NotificationCenter* center = new NotificationCenter();
    return *center;
}

NotificationCenter::NotificationCenter()
    : impl_(std::make_shared<Impl>())
{
}

NotificationCenter::~NotificationCenter() = default;

ObserverToken NotificationCenter::addObserver(std::string name, Value object, Handler handler)
{
    if (!handler)
        return {};
    auto observer = std::make_shared<Impl::Observer>();
    observer->name = std::move(name);
    observer->object = std::move(object);
    observer->handler = std::move(handler);
    std::uint64_t id;
    {
        std::lock_guard lock(impl_->mutex);
        id = impl_->nextId++;
        observer->id = id;
        impl_->observers.push_back(std::move(observer));
    }
    return ObserverToken([weak = std::weak_ptr<Impl>(impl_), id] {
        if (auto impl = weak.lock())
            impl->remove(id);
    });
}

void NotificationCenter::post(std::string name, Value object, Dictionary userInfo)
{
    post(Notification { std::move(name), std::move(object), std::move(userInfo) });
}

void NotificationCenter::post(const Notification& notification)
{
    RunLoop& main = RunLoop::main();
    if (main.isCurrent()) {
        // Keep the centre's state alive even if an observer destroys the centre.
        auto impl = impl_;
        impl->deliver(notification);
        return;
    }
    main.post([weak = std::weak_ptr<Impl>(impl_), notification] {
        if (auto impl = weak.lock())
            impl->deliver(notification);
    });
}

} // namespace platform
