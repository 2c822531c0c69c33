#include "platform/services/RemoteNotifications.h"

#include "platform/os/RunLoop.h"

namespace platform {

RemoteNotifications& RemoteNotifications::shared()
{
    static RemoteNotifications service;
    return service;
}

RemoteNotifications::RemoteNotifications() { resetForTesting(); }

Error RemoteNotifications::noPushServiceError()
{
    return Error::withDescription(kCocoaErrorDomain, 3010, "remote notifications are not supported on this machine");
}

void RemoteNotifications::resetForTesting()
{
    token_.reset();
    error_ = noPushServiceError();
    hold_ = false;
    enabledTypes_ = 0;
    pending_.clear();
    registrations_.clear();
    payloadHandler_ = nullptr;
    launchNotification_.reset();
}

void RemoteNotifications::registerForRemoteNotificationTypes(int types, TokenHandler onToken, ErrorHandler onError)
{
    registrations_.push_back(types);
    Registration registration { types, std::move(onToken), std::move(onError) };
    if (hold_)
        pending_.push_back(std::move(registration));
    else
        answer(std::move(registration));
}

void RemoteNotifications::unregisterForRemoteNotifications()
{
    enabledTypes_ = 0;
    pending_.clear();
}

void RemoteNotifications::answerWithToken(Bytes token) { token_ = std::move(token); }

void RemoteNotifications::answerWithError(Error error)
{
    token_.reset();
    error_ = std::move(error);
}

bool RemoteNotifications::deliverPendingAnswer()
{
    if (pending_.empty())
        return false;
    Registration registration = std::move(pending_.front());
    pending_.erase(pending_.begin());
    answer(std::move(registration));
    return true;
}

void RemoteNotifications::answer(Registration registration)
{
    // The answer is fixed when it is given, not when it arrives.
    std::optional<Bytes> token = token_;
    Error error = error_;
    postToMain([this, registration = std::move(registration), token = std::move(token), error = std::move(error)] {
        if (token) {
            enabledTypes_ = registration.types;
            if (registration.onToken)
                registration.onToken(*token);
        } else {
            enabledTypes_ = 0;
            if (registration.onError)
                registration.onError(error);
        }
    });
}

bool RemoteNotifications::deliverRemoteNotification(Dictionary payload)
{
    if (!payloadHandler_)
        return false;
    PayloadHandler handler = payloadHandler_;
    postToMain([handler = std::move(handler), payload = std::move(payload)] { handler(payload); });
    return true;
}

} // namespace platform
