#include "libModule/TabViewController/MainBtnInfo.h"

std::shared_ptr<MainBtnInfo> MainBtnInfo::btnWithObj(const platform::Value& obj)
{
    auto info = std::make_shared<MainBtnInfo>();
    info->initWithObj(obj);
    return info;
}

void MainBtnInfo::initWithObj(const platform::Value& obj)
{
    const platform::Dictionary* entry = obj.asDictionary();
    if (!entry)
        return;
    if (const auto& v = entry->get("uid"); v.isNumber())
        uid = v.intValue();
    if (const auto* s = entry->get("name").asString())
        name = *s;
    if (const auto* s = entry->get("vc").asString())
        vc = *s;
    if (const auto& v = entry->get("current"); v.isNumber() || v.isBool())
        current = v.intValue() != 0;
}
