#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One template category. Category 0 stands for all templates.
struct MessageTemplateType final : platform::Object {
    int titleId = 0; // "titleId"
    std::string titleName; // "titleName"
    int titleType = 0; // "titleType": the number templates carry in msgType
    std::string dateTime; // "dateTime"

    static constexpr const char* kAllTemplatesName = "全部模板";

    // One item of a category reply; null for anything but a dictionary.
    static std::shared_ptr<MessageTemplateType> typeWithObj(const platform::Value& obj);
    // The entry the category list starts with: id 0, "全部模板", type 0.
    static std::shared_ptr<MessageTemplateType> allTemplates();

    std::string className() const override { return "MessageTemplateType"; }
};

} // namespace core
