#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace foundation {

// Whether the network is in use, as a status bar would show it. There is no
// status bar here: the state is kept, and each change is handed to an
// observer on the main thread. It goes on when a stream is scheduled and off
// half a second after the last one ended, so that back-to-back requests do
// not make it flicker.
class NetworkActivityIndicator {
public:
    // Made once and never destroyed: the network thread may still report a
    // stream while the process exits.
    static NetworkActivityIndicator& shared();

    bool shouldUpdate() const;
    void setShouldUpdate(bool update);
    bool isVisible() const;
    void setObserver(std::function<void(bool visible)> observer);
    void setVisible(bool visible);
    // A stream ended; hides the indicator after the delay unless the network
    // is in use by then (inUse is asked on the main thread).
    void hideAfterDelay(std::function<bool()> inUse);

private:
    struct PendingCheck;
    void armCheck(std::shared_ptr<PendingCheck> check, std::function<bool()> inUse);

    // A leaf: nothing else is taken while it is held.
    mutable std::mutex lock_;
    bool visible_ = false;
    bool shouldUpdate_ = true;
    std::function<void(bool)> observer_;
    // Streams ended so far, and the count a pending hide check was armed at
    // (0: none pending). One check serves a run of requests, so a request's
    // end costs no trip to the main thread while one is pending.
    std::uint64_t ended_ = 0;
    std::uint64_t checkArmedAt_ = 0;
};

} // namespace foundation
