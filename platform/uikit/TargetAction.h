#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace platform {

// The target-action registrations of controls, gesture recognisers and bar
// button items. Targets are held weakly: a target that has gone away is
// skipped and dropped, never called. An action registered without a target
// (a plain function) is always called.
template <class Sender> class TargetActionList {
public:
    using Action = std::function<void(Sender*)>;

    struct Entry {
        std::weak_ptr<const void> target;
        const void* targetKey = nullptr;
        Action action;
        std::string selector;
        unsigned events = 0;
    };

    void add(std::weak_ptr<const void> target, const void* key, Action action, std::string selector, unsigned events)
    {
        if (!action || !events)
            return;
        // The same target and selector for the same events is registered once, as on the phone.
        for (auto& entry : entries_) {
            if (entry.targetKey == key && key && !selector.empty() && entry.selector == selector) {
                entry.events |= events;
                return;
            }
        }
        entries_.push_back({ std::move(target), key, std::move(action), std::move(selector), events });
    }

    // Removes the events from the target's entries; a null key means every target.
    // An empty selector matches every selector.
    void remove(const void* key, const std::string& selector, unsigned events)
    {
        for (auto& entry : entries_) {
            if ((!key || entry.targetKey == key) && (selector.empty() || entry.selector == selector))
                entry.events &= ~events;
        }
        std::erase_if(entries_, [](const Entry& entry) { return entry.events == 0; });
    }

    // Calls every live action registered for any of the events, in registration
    // order. Works on a copy, so an action may add or remove registrations.
    // Returns how many actions ran.
    std::size_t send(Sender* sender, unsigned events)
    {
        pruneDeadTargets();
        auto snapshot = entries_;
        std::size_t ran = 0;
        for (auto& entry : snapshot) {
            if (!(entry.events & events))
                continue;
            if (entry.targetKey) {
                auto alive = entry.target.lock();
                if (!alive)
                    continue;
                entry.action(sender);
            } else
                entry.action(sender);
            ++ran;
        }
        return ran;
    }

    std::size_t count(unsigned events) const
    {
        std::size_t n = 0;
        for (auto& entry : entries_) {
            if ((entry.events & events) && (!entry.targetKey || !entry.target.expired()))
                ++n;
        }
        return n;
    }

    // Selector names registered for the events (the layout loader and tests read them).
    std::vector<std::string> selectors(unsigned events) const
    {
        std::vector<std::string> names;
        for (auto& entry : entries_) {
            if ((entry.events & events) && (!entry.targetKey || !entry.target.expired()))
                names.push_back(entry.selector);
        }
        return names;
    }

    bool empty() const { return entries_.empty(); }

private:
    void pruneDeadTargets()
    {
        std::erase_if(entries_, [](const Entry& entry) { return entry.targetKey && entry.target.expired(); });
    }

    std::vector<Entry> entries_;
};

// Binding a member function of a target to an action without keeping the
// target alive. The sender parameter may be any class of the sender's
// hierarchy; it receives nullptr when the sender is not of that class.
template <class Sender, class Owner, class T>
std::function<void(Sender*)> bindAction(const std::shared_ptr<Owner>& target, void (T::*method)())
{
    std::weak_ptr<T> weak = target;
    return [weak, method](Sender*) {
        if (auto strong = weak.lock())
            ((*strong).*method)();
    };
}

template <class Sender, class Owner, class T, class Arg>
std::function<void(Sender*)> bindAction(const std::shared_ptr<Owner>& target, void (T::*method)(Arg*))
{
    std::weak_ptr<T> weak = target;
    return [weak, method](Sender* sender) {
        if (auto strong = weak.lock())
            ((*strong).*method)(dynamic_cast<Arg*>(sender));
    };
}

} // namespace platform
