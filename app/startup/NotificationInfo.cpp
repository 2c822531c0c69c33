#include "app/startup/NotificationInfo.h"

std::shared_ptr<NotificationInfo> NotificationInfo::noticationWithObj(const platform::Value& obj)
{
    auto info = std::make_shared<NotificationInfo>();
    info->initWithObj(obj);
    return info;
}

void NotificationInfo::initWithObj(const platform::Value& obj)
{
    const platform::Dictionary* payload = obj.asDictionary();
    if (!payload)
        return;
    auto text = [payload](const char* key) -> std::optional<std::string> {
        if (const std::string* s = payload->get(key).asString())
            return *s;
        return std::nullopt;
    };
    version = text("version");
    desc = text("desc");
    url = text("url");
}
