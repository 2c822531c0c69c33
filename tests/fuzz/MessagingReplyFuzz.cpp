// libFuzzer target: the messaging replies read outside the dispatcher, as
// the screens parse them: the template categories and the templates of the
// template screen, and the message items of a send or a poll, group sends
// with their read and SMS counts among them. The first byte picks the
// reader; the rest is the reply body. Each model must hold what its item
// said (a field of the wrong kind stays at its initial value); a group
// send's photos and voice clips are kept as JSON texts that must read back
// as lists of the same length. A difference aborts.
#include "core/model/MessageInfo.h"
#include "core/model/MessageTemplateInfo.h"
#include "core/model/MessageTemplateType.h"
#include "foundation/json/JsonParser.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

using platform::Array;
using platform::Value;

void check(bool ok, const char* what)
{
    if (!ok) {
        std::fprintf(stderr, "messaging_reply_fuzz: %s\n", what);
        std::abort();
    }
}

std::string textOr(const Value& value, const std::string& fallback = std::string())
{
    return value.isString() ? value.stringValue() : fallback;
}

// A count or flag of a message item: a finite number only.
int countOf(const Value& value)
{
    if (!value.isNumber() || !std::isfinite(value.doubleValue()))
        return 0;
    return value.intValue();
}

void templateTypes(const Value& items)
{
    for (const Value& item : *items.asArray()) {
        auto type = core::MessageTemplateType::typeWithObj(item);
        check((type != nullptr) == item.isDictionary(), "a category from a dictionary only");
        if (!type)
            continue;
        check(type->titleId == item["titleId"].intValue() && type->titleType == item["titleType"].intValue(),
            "category numbers");
        check(type->titleName == textOr(item["titleName"]) && type->dateTime == textOr(item["dateTime"]),
            "category texts");
    }
}

void templates(const Value& items)
{
    for (const Value& item : *items.asArray()) {
        auto info = core::MessageTemplateInfo::templateWithObj(item);
        check((info != nullptr) == item.isDictionary(), "a template from a dictionary only");
        if (!info)
            continue;
        check(info->msgId == item["msgId"].intValue() && info->msgType == item["msgType"].intValue(),
            "template numbers");
        check(info->msgInfo == textOr(item["msgInfo"]) && info->dateTime == textOr(item["dateTime"]),
            "template texts");
        check(info->useCount == 0, "template use count");
        (void)info->description();
    }
}

// A list kept as JSON text reads back as a list of the same length.
void keptList(const std::string& kept, const Value& source)
{
    const Array* list = source.asArray();
    if (!list) {
        check(kept.empty(), "a list kept from no list");
        return;
    }
    foundation::JsonParser parser;
    Value back = parser.objectWithString(std::string_view(kept));
    check(back.isArray() && back.count() == list->size(), "a kept list does not read back");
}

void messages(const Value& items)
{
    std::size_t withId = 0;
    for (const Value& item : *items.asArray()) {
        auto message = core::MessageInfo::messageWithObj(item);
        check((message != nullptr) == item.isDictionary(), "a message from a dictionary only");
        if (!message)
            continue;
        check(message->uid == textOr(item["msgId"]) && message->content == textOr(item["content"]), "message texts");
        const Value& group = item["isGroupSend"];
        check(message->group == (group.isNumber() && group.boolValue()), "group flag");
        check(message->msgUnReadCount == countOf(item["msgUnReadCount"])
                && message->msgReadCount == countOf(item["msgReadCount"])
                && message->smsUnSuccessCount == countOf(item["smsUnSuccessCount"])
                && message->smsSuccessCount == countOf(item["smsSuccessCount"])
                && message->templateId == countOf(item["templateId"]),
            "message counts");
        keptList(message->photos, item["images"]);
        keptList(message->sounds, item["audios"]);
        message->updatePhotosInfo();
        message->updateSoundsInfo();
        if (const Array* images = item["images"].asArray()) {
            std::size_t dictionaries = 0;
            for (const Value& image : *images)
                dictionaries += image.isDictionary() ? 1 : 0;
            check(message->photosInfo.size() <= dictionaries, "more photos than the item had");
        }
        if (!message->uid.empty())
            ++withId;
    }
    // The list a poll stores: the items with an id, none else.
    auto listed = core::MessageInfo::messagesWithItems(items);
    check(listed.size() == withId, "listed messages");
    for (const auto& message : listed)
        check(!message->uid.empty() && !message->to, "a listed message");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input input(data, size);
    const std::uint8_t reader = input.takeByte() % 3;
    const std::string body = input.rest();
    foundation::JsonParser parser;
    Value reply = parser.objectWithString(std::string_view(body));
    const Value& items = reply["items"];
    if (!reply.isDictionary() || !items.isArray())
        return 0;
    if (reader == 0)
        templateTypes(items);
    else if (reader == 1)
        templates(items);
    else
        messages(items);
    return 0;
}
