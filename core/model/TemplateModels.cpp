#include "core/model/MessageTemplateInfo.h"
#include "core/model/MessageTemplateType.h"
#include "core/model/NavMessageInfo.h"
#include "core/model/ReplyReading.h"

namespace core {

using platform::Value;

std::shared_ptr<MessageTemplateInfo> MessageTemplateInfo::templateWithObj(const Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<MessageTemplateInfo>();
    info->msgId = obj["msgId"].intValue();
    reply::readText(obj["msgInfo"], info->msgInfo);
    info->msgType = obj["msgType"].intValue();
    reply::readText(obj["dateTime"], info->dateTime);
    return info;
}

std::string MessageTemplateInfo::description() const
{
    return "msgInfo = " + msgInfo + " ,msgId = " + std::to_string(msgId) + ",useCount = " + std::to_string(useCount)
        + " dateTime = " + dateTime;
}

std::shared_ptr<MessageTemplateType> MessageTemplateType::typeWithObj(const Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto type = std::make_shared<MessageTemplateType>();
    type->titleId = obj["titleId"].intValue();
    reply::readText(obj["titleName"], type->titleName);
    type->titleType = obj["titleType"].intValue();
    reply::readText(obj["dateTime"], type->dateTime);
    return type;
}

std::shared_ptr<MessageTemplateType> MessageTemplateType::allTemplates()
{
    auto type = std::make_shared<MessageTemplateType>();
    type->titleName = kAllTemplatesName;
    return type;
}

std::shared_ptr<NavMessageInfo> NavMessageInfo::navMessageWithObj(const Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<NavMessageInfo>();
    info->eventType = obj["eventType"].intValue();
    reply::readText(obj["content"], info->content);
    info->count = obj["count"].intValue();
    reply::readText(obj["dateTime"], info->dateTimeStr);
    return info;
}

std::shared_ptr<NavMessageInfo> NavMessageInfo::navMessageWithFileEntry(const Value& entry)
{
    if (!entry.isDictionary())
        return nullptr;
    auto info = std::make_shared<NavMessageInfo>();
    info->eventType = entry["eventType"].intValue();
    reply::readText(entry["content"], info->content);
    info->count = entry["count"].intValue();
    reply::readText(entry["dateTimeStr"], info->dateTimeStr);
    reply::readText(entry["title"], info->title);
    reply::readText(entry["viewController"], info->viewController);
    return info;
}

platform::Dictionary NavMessageInfo::fileEntry() const
{
    return platform::Dictionary {
        { "eventType", eventType },
        { "content", content },
        { "count", count },
        { "dateTimeStr", dateTimeStr },
        { "title", title },
        { "viewController", viewController },
    };
}

} // namespace core
