#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <functional>
#include <optional>
#include <vector>

namespace platform {

// The type mask of a registration.
enum RemoteNotificationType : int {
    RemoteNotificationTypeNone = 0,
    RemoteNotificationTypeBadge = 1,
    RemoteNotificationTypeSound = 2,
    RemoteNotificationTypeAlert = 4,
};

// Push registration and delivery. There is no push service here: the harness
// (or the demo) decides how a registration is answered — with a device token,
// with an error, or not until it says so — and injects payloads. Answers and
// payloads always arrive on the main loop, after the call that caused them,
// as they do on the phone. The application object installs the handlers.
class RemoteNotifications final {
public:
    using TokenHandler = std::function<void(const Bytes& deviceToken)>;
    using ErrorHandler = std::function<void(const Error& error)>;
    using PayloadHandler = std::function<void(const Dictionary& payload)>;

    static RemoteNotifications& shared();

    // The application's side.
    void registerForRemoteNotificationTypes(int types, TokenHandler onToken, ErrorHandler onError);
    void unregisterForRemoteNotifications();
    // The types of the last answered registration (0 when it failed or none was made).
    int enabledRemoteNotificationTypes() const { return enabledTypes_; }
    void setPayloadHandler(PayloadHandler handler) { payloadHandler_ = std::move(handler); }
    // The payload the application was launched with, if any.
    const std::optional<Dictionary>& launchNotification() const { return launchNotification_; }

    // The harness's side. The default answer is the error a machine without
    // a push service gives.
    void answerWithToken(Bytes token);
    void answerWithError(Error error);
    // While held, registrations wait until deliverPendingAnswer().
    void setHoldAnswers(bool hold) { hold_ = hold; }
    // Answers the oldest waiting registration with the configured answer;
    // false when none waits.
    bool deliverPendingAnswer();
    std::size_t pendingRegistrations() const { return pending_.size(); }
    // The type masks of every registration, in order.
    const std::vector<int>& registrations() const { return registrations_; }
    // Hands a payload to the application on the main loop; false when the
    // application installed no handler (the payload is dropped, as for an
    // application that does not take pushes).
    bool deliverRemoteNotification(Dictionary payload);
    void setLaunchNotification(std::optional<Dictionary> payload) { launchNotification_ = std::move(payload); }
    static Error noPushServiceError();
    void resetForTesting();

private:
    RemoteNotifications();
    struct Registration {
        int types;
        TokenHandler onToken;
        ErrorHandler onError;
    };
    void answer(Registration registration);

    std::optional<Bytes> token_;
    Error error_;
    bool hold_ = false;
    int enabledTypes_ = 0;
    std::vector<Registration> pending_;
    std::vector<int> registrations_;
    PayloadHandler payloadHandler_;
    std::optional<Dictionary> launchNotification_;
};

} // namespace platform
