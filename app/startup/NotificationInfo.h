#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>

// A new-version announcement carried by a push: the top-level texts
// "version", "desc" and "url" of the payload; any other kind counts as absent.
class NotificationInfo final : public platform::Object {
public:
    ORB_CLASS_NAME(NotificationInfo)

    std::optional<std::string> version;
    std::optional<std::string> desc;
    std::optional<std::string> url;

    static std::shared_ptr<NotificationInfo> noticationWithObj(const platform::Value& obj);
    void initWithObj(const platform::Value& obj);
};
