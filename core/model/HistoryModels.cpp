#include "core/model/HistoryInfo.h"

#include "core/model/ReplyReading.h"

namespace core {

std::shared_ptr<HistoryInfo> HistoryInfo::historyWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<HistoryInfo>();
    reply::readText(obj["starttime"], info->startTime);
    reply::readText(obj["state"], info->state);
    reply::readText(obj["callee"], info->caller);
    reply::readText(obj["calleephone"], info->callerPhone);
    reply::readInteger(obj["callertype"], info->callerType);
    reply::readInteger(obj["useminute"], info->useMinute);
    long long linkId = 0;
    if (reply::readInteger(obj["linkId"], linkId))
        info->linkId = linkId;
    return info;
}

std::vector<std::shared_ptr<HistoryInfo>> HistoryInfo::historiesWithItems(const platform::Value& items)
{
    std::vector<std::shared_ptr<HistoryInfo>> list;
    reply::forEachObject(items, [&](const platform::Value& item) {
        if (auto info = historyWithObj(item))
            list.push_back(std::move(info));
    });
    return list;
}

} // namespace core
