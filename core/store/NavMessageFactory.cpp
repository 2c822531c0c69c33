#include "core/store/NavMessageFactory.h"

#include "core/util/ORBHelper.h"
#include "platform/os/FileUtil.h"
#include "platform/os/PropertyList.h"

#include <algorithm>
#include <limits>

namespace core {

namespace {

    std::optional<platform::Array> readEntries()
    {
        auto value = platform::PropertyList::readFile(NavMessageFactory::navMessageFile());
        if (!value)
            return std::nullopt;
        const platform::Array* list = value->asArray();
        if (!list || list->empty())
            return std::nullopt;
        return *list;
    }

    // Both counts come from outside (the server, the file): their sum stays at
    // the end of the int range instead of wrapping round to a negative count.
    int addedCounts(int stored, int added)
    {
        long long sum = static_cast<long long>(stored) + added;
        return static_cast<int>(
            std::clamp<long long>(sum, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
    }

} // namespace

std::string NavMessageFactory::navMessageFile()
{
    return platform::FileUtil::joinPath(ORBHelper::documentPath(), kFileName);
}

std::optional<NavMessageList> NavMessageFactory::allNavMessages()
{
    auto entries = readEntries();
    if (!entries)
        return std::nullopt;
    NavMessageList list;
    for (const platform::Value& entry : *entries) {
        if (auto message = NavMessageInfo::navMessageWithFileEntry(entry))
            list.push_back(std::move(message));
    }
    return list;
}

bool NavMessageFactory::updateNavMessageState(const NavMessageInfo& message, int operateType)
{
    auto entries = readEntries();
    if (!entries)
        return false;
    if (operateType != kRewrite) {
        for (auto it = entries->begin(); it != entries->end(); ++it) {
            platform::Dictionary* entry = it->asDictionary();
            if (!entry || entry->get("eventType").intValue() != message.eventType)
                continue;
            if (operateType == kRemove)
                entries->erase(it);
            else if (operateType == kClearCount)
                entry->set("count", 0);
            else if (operateType == kAddCount)
                entry->set("count", addedCounts(entry->get("count").intValue(), message.count));
            break;
        }
    }
    return platform::PropertyList::writeFile(navMessageFile(), platform::Value(std::move(*entries)));
}

} // namespace core
