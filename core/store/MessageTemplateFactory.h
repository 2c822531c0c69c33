#pragma once

#include "core/model/MessageTemplateInfo.h"
#include "core/model/MessageTemplateType.h"
#include "core/store/BaseFactory.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace core {

using TemplateTypeList = std::vector<std::shared_ptr<MessageTemplateType>>;
using TemplateList = std::vector<std::shared_ptr<MessageTemplateInfo>>;

// The message template categories and texts the server provides, kept in the
// local database file for every account on the phone alike. Writes are all
// or nothing.
class MessageTemplateFactory final : public BaseFactory {
public:
    static constexpr const char* kVersionKey = "message_template_version";
    static constexpr const char* kVersion = "1.2.0";
    static StoreSchema schema();

    // Rewrites the file and brings the template tables to the current version.
    MessageTemplateFactory();

    // Merges a reply into what is stored: an id already stored is replaced
    // whole (a re-sent template starts again at use count 0), others stay.
    bool setMessageTemplateTypes(const TemplateTypeList& types);
    bool setMessageTemplateContents(const TemplateList& templates);

    // Nothing when the file cannot be opened; empty when the query fails.
    std::optional<TemplateTypeList> getMessageTemplateTypes();
    // Most used first.
    std::optional<TemplateList> getMessageTemplateContents();
    // The greatest stored change time, sent with the next template request;
    // nothing when there is none.
    std::optional<std::string> getLastMessageTemplateTypeDateTime();
    std::optional<std::string> getLastMessageTemplateContentDateTime();

    bool removeALLMessageTemplateType();
    bool removeALLMessageTemplateContent();
    bool updateMessageTemplateContentUseCount(int useCount, int msgId);

    // The category list a template screen shows: "全部模板" first, then the types.
    static TemplateTypeList typesWithAll(const TemplateTypeList& types);
    // The templates listed under a category: those whose msgType is its
    // titleType; category 0 lists all.
    static TemplateList templatesOfType(const TemplateList& templates, int titleType);

private:
    std::optional<std::string> lastDateTime(const char* sql, int line);
    bool removeAll(const char* sql, int line);
};

} // namespace core
