#include "core/store/MessageTemplateFactory.h"

#include "platform/os/Log.h"

#include <sqlite3.h>

namespace core {

namespace {

    // Numbers that tell which step failed in "line %i,%i#%s\n".
    enum StepLine : int {
        kLineTypePrepare = 401,
        kLineTypeStep = 402,
        kLineContentPrepare = 403,
        kLineContentStep = 404,
        kLineTypesSelect = 405,
        kLineContentsSelect = 406,
        kLineLastType = 407,
        kLineLastContent = 408,
        kLineRemoveTypes = 409,
        kLineRemoveContents = 410,
        kLineUseCount = 411,
    };

    constexpr const char* kCreateTypes
        = "CREATE TABLE IF NOT EXISTS `tb_message_template_type` (                `title_id` integer NOT NULL,       "
          "         `title_type` integer NOT NULL DEFAULT 1,                `title_name` text(10,0) NOT NULL,        "
          "        `date_time` text(20,0),                PRIMARY KEY(`title_id`)                );";

    constexpr const char* kCreateContents
        = "CREATE TABLE IF NOT EXISTS `tb_message_template_content` (                `msg_id` integer NOT NULL,     "
          "           `msg_type` integer NOT NULL DEFAULT 1,                `msg_info` text(200,0) NOT NULL,        "
          "        `date_time` text(20,0),                `use_count` integer DEFAULT 0,                "
          "PRIMARY KEY(`msg_id`)                );";

    std::optional<std::string> textOrNull(const std::string& text)
    {
        if (text.empty())
            return std::nullopt;
        return text;
    }

} // namespace

MessageTemplateFactory::MessageTemplateFactory()
{
    std::optional<std::string> stored;
    if (open()) {
        stored = getInfo(kVersionKey);
        close();
    }
    platform::log(" version = %s", stored ? stored->c_str() : "(null)");
    if (stored != kVersion)
        platform::log("drop");
    checkVersion(schema(),
        { "DROP TABLE IF EXISTS `tb_message_template_type`;", "DROP TABLE IF EXISTS `tb_message_template_content`;" });
}

StoreSchema MessageTemplateFactory::schema()
{
    return { kVersionKey, kVersion,
        { { "tb_message_template_type", kCreateTypes }, { "tb_message_template_content", kCreateContents } }, {} };
}

bool MessageTemplateFactory::setMessageTemplateTypes(const TemplateTypeList& types)
{
    return writeInTransaction([&] {
        StoreStatement insert = prepare("insert or replace into 'tb_message_template_type' "
                                        "('title_id','title_type','title_name','date_time') values(?,?,?,?);",
            kLineTypePrepare);
        if (!insert)
            return false;
        for (const auto& type : types) {
            if (!type)
                continue;
            insert.bindInt(1, type->titleId);
            insert.bindInt(2, type->titleType);
            insert.bindText(3, type->titleName);
            insert.bindText(4, textOrNull(type->dateTime));
            if (!insert.run()) {
                printError(kLineTypeStep);
                return false;
            }
            insert.reset();
        }
        return true;
    });
}

bool MessageTemplateFactory::setMessageTemplateContents(const TemplateList& templates)
{
    return writeInTransaction([&] {
        StoreStatement insert = prepare("insert or replace into 'tb_message_template_content' "
                                        "('msg_id','msg_type','msg_info','date_time') values(?,?,?,?);",
            kLineContentPrepare);
        if (!insert)
            return false;
        for (const auto& entry : templates) {
            if (!entry)
                continue;
            insert.bindInt(1, entry->msgId);
            insert.bindInt(2, entry->msgType);
            insert.bindText(3, entry->msgInfo);
            insert.bindText(4, textOrNull(entry->dateTime));
            if (!insert.run()) {
                printError(kLineContentStep);
                return false;
            }
            insert.reset();
        }
        return true;
    });
}

std::optional<TemplateTypeList> MessageTemplateFactory::getMessageTemplateTypes()
{
    if (!open())
        return std::nullopt;
    TemplateTypeList list;
    {
        StoreStatement select
            = prepare("SELECT title_id,title_type,title_name,date_time FROM tb_message_template_type WHERE 1=1 ;",
                kLineTypesSelect);
        while (select && select.next()) {
            auto type = std::make_shared<MessageTemplateType>();
            type->titleId = select.columnInt(0);
            type->titleType = select.columnInt(1);
            type->titleName = select.columnText(2).value_or(std::string());
            type->dateTime = select.columnText(3).value_or(std::string());
            list.push_back(std::move(type));
        }
    }
    close();
    return list;
}

std::optional<TemplateList> MessageTemplateFactory::getMessageTemplateContents()
{
    if (!open())
        return std::nullopt;
    TemplateList list;
    {
        StoreStatement select = prepare("SELECT msg_id,msg_type,msg_info,date_time,use_count FROM "
                                        "tb_message_template_content WHERE 1=1 ORDER BY use_count desc;",
            kLineContentsSelect);
        while (select && select.next()) {
            auto entry = std::make_shared<MessageTemplateInfo>();
            entry->msgId = select.columnInt(0);
            entry->msgType = select.columnInt(1);
            entry->msgInfo = select.columnText(2).value_or(std::string());
            entry->dateTime = select.columnText(3).value_or(std::string());
            entry->useCount = select.columnInt(4);
            list.push_back(std::move(entry));
        }
    }
    close();
    return list;
}

std::optional<std::string> MessageTemplateFactory::lastDateTime(const char* sql, int line)
{
    if (!open())
        return std::nullopt;
    std::optional<std::string> last;
    {
        StoreStatement select = prepare(sql, line);
        if (select && select.next())
            last = select.columnText(0);
    }
    close();
    return last;
}

std::optional<std::string> MessageTemplateFactory::getLastMessageTemplateTypeDateTime()
{
    return lastDateTime(
        "SELECT date_time FROM tb_message_template_type ORDER BY date_time DESC LIMIT 0,1;", kLineLastType);
}

std::optional<std::string> MessageTemplateFactory::getLastMessageTemplateContentDateTime()
{
    return lastDateTime(
        "SELECT date_time FROM tb_message_template_content ORDER BY date_time DESC LIMIT 0,1;", kLineLastContent);
}

bool MessageTemplateFactory::removeAll(const char* sql, int line)
{
    if (!open())
        return false;
    bool ok = false;
    {
        StoreStatement remove = prepare(sql, line);
        // A delete that did not run is a failure, not a success.
        ok = remove && remove.run();
        if (remove && !ok)
            printError(line);
    }
    close();
    return ok;
}

bool MessageTemplateFactory::removeALLMessageTemplateType()
{
    return removeAll("delete from tb_message_template_type", kLineRemoveTypes);
}

bool MessageTemplateFactory::removeALLMessageTemplateContent()
{
    return removeAll("delete from tb_message_template_content", kLineRemoveContents);
}

bool MessageTemplateFactory::updateMessageTemplateContentUseCount(int useCount, int msgId)
{
    return writeInTransaction([&] {
        StoreStatement update
            = prepare("UPDATE `tb_message_template_content` SET `use_count`=? WHERE `msg_id`=?;", kLineUseCount);
        if (!update || !update.bindInt(1, useCount) || !update.bindInt(2, msgId) || !update.run()) {
            printError(kLineUseCount);
            return false;
        }
        return true;
    });
}

TemplateTypeList MessageTemplateFactory::typesWithAll(const TemplateTypeList& types)
{
    TemplateTypeList list { MessageTemplateType::allTemplates() };
    for (const auto& type : types) {
        if (type)
            list.push_back(type);
    }
    return list;
}

TemplateList MessageTemplateFactory::templatesOfType(const TemplateList& templates, int titleType)
{
    TemplateList list;
    for (const auto& entry : templates) {
        if (entry && (titleType == 0 || entry->msgType == titleType))
            list.push_back(entry);
    }
    return list;
}

} // namespace core
