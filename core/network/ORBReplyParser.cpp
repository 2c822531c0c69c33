#include "core/network/ORBReplyParser.h"

#include "core/model/AlbumInfo.h"
#include "core/model/ClassInfo.h"
#include "core/model/CommentHistoryInfo.h"
#include "core/model/HotActivityInfo.h"
#include "core/model/ReplyReading.h"
#include "core/model/ScheduleInfo.h"
#include "core/model/StudentInfo.h"
#include "core/model/SubjectInfo.h"
#include "core/model/SuggestCommentInfo.h"
#include "core/model/WeiboData.h"
#include "core/model/WeiboReplyData.h"
#include "core/network/ORBRequestTable.h"
#include "core/store/MagazineAd.h"
#include "core/store/ORBDBHelper.h"
#include "core/util/ORBHelper.h"
#include "foundation/http/DataDecompressor.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/StringUtil.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <set>

using foundation::DataDecompressor;

namespace core {

using platform::Array;
using platform::Bytes;
using platform::Dictionary;
using platform::Value;
using reply::integerOf;
using reply::readInteger;
using reply::readText;

namespace {

    // Replies longer than this are logged by their length alone.
    constexpr std::size_t kLongestLoggedReply = std::size_t { 64 } << 10;

    std::atomic<bool> describesReplies { true };

    // A value's description laid out as Value::description lays it out, made
    // only up to `limit` bytes: a short reply nested deep is four spaces a
    // level on every line of it, and described whole would take a thousand
    // times its size before any of it could be dropped.
    class BoundedDescription {
    public:
        explicit BoundedDescription(std::size_t limit)
            : limit_(limit)
        {
        }

        void describe(const Value& value, int indent)
        {
            if (cut_)
                return;
            if (const Array* list = value.asArray()) {
                add("(\n");
                for (std::size_t i = 0; i < list->size() && !cut_; ++i) {
                    pad(indent + 1);
                    describe((*list)[i], indent + 1);
                    add(i + 1 < list->size() ? ",\n" : "\n");
                }
                pad(indent);
                add(")");
            } else if (const Dictionary* dictionary = value.asDictionary()) {
                add("{\n");
                for (const auto& [key, element] : *dictionary) {
                    if (cut_)
                        return;
                    pad(indent + 1);
                    addText(key);
                    add(" = ");
                    describe(element, indent + 1);
                    add(";\n");
                }
                pad(indent);
                add("}");
            } else if (const std::string* text = value.asString()) {
                addText(*text);
            } else {
                add(value.description());
            }
        }

        bool cut() const { return cut_; }
        std::string take() { return std::move(out_); }

    private:
        void add(std::string_view text)
        {
            if (cut_)
                return;
            if (text.size() <= limit_ - out_.size()) {
                out_.append(text);
                return;
            }
            out_.append(text.substr(0, limit_ - out_.size()));
            // Not in the middle of a character.
            while (!out_.empty() && (static_cast<unsigned char>(out_.back()) & 0xC0) == 0x80)
                out_.pop_back();
            if (!out_.empty() && static_cast<unsigned char>(out_.back()) >= 0xC0)
                out_.pop_back();
            cut_ = true;
        }
        void pad(int indent)
        {
            std::size_t spaces = static_cast<std::size_t>(indent) * 4;
            if (cut_)
                return;
            if (spaces > limit_ - out_.size()) {
                out_.append(limit_ - out_.size(), ' ');
                cut_ = true;
                return;
            }
            out_.append(spaces, ' ');
        }
        // A text quoted (and its quotes, backslashes and line feeds escaped)
        // unless it is one plain word.
        void addText(const std::string& text)
        {
            bool plain = !text.empty() && std::all_of(text.begin(), text.end(), [](char ch) {
                auto c = static_cast<unsigned char>(ch);
                return std::isalnum(c) || c == '_' || c == '.' || c == '/' || c >= 0x80;
            });
            if (plain) {
                add(text);
                return;
            }
            add("\"");
            std::size_t start = 0;
            for (std::size_t i = 0; i < text.size() && !cut_; ++i) {
                const char* escape = text[i] == '"' ? "\\\""
                    : text[i] == '\\'               ? "\\\\"
                    : text[i] == '\n'               ? "\\n"
                                                    : nullptr;
                if (!escape)
                    continue;
                add(std::string_view(text).substr(start, i - start));
                add(escape);
                start = i + 1;
            }
            add(std::string_view(text).substr(std::min(start, text.size())));
            add("\"");
        }

        std::size_t limit_;
        std::string out_;
        bool cut_ = false;
    };

    std::vector<std::shared_ptr<MagazineInfo>> storedMagazines()
    {
        std::vector<std::shared_ptr<MagazineInfo>> list;
        for (const Value& row : ORBDBHelper::sharedORBDBHelper()->allDBDatas(ORBDBHelper::kMagazines)) {
            if (auto magazine = row.objectAs<MagazineInfo>())
                list.push_back(std::move(magazine));
        }
        return list;
    }

    Value textOrNull(const Value& value) { return value.isString() ? value : Value(); }

    // The value a "sort" key stands for: numbers compare as numbers (1.2
    // before 1.7) and so do texts that hold one number; anything else counts
    // as 0, so a stray value never makes the order undefined.
    double sortValueOf(const Value& value)
    {
        if (value.isNumber())
            return value.doubleValue();
        if (const std::string* text = value.asString()) {
            std::string trimmed = platform::trimWhitespaceAndNewlines(*text);
            if (trimmed.empty())
                return 0;
            char* end = nullptr;
            double number = std::strtod(trimmed.c_str(), &end);
            bool whole = end && *end == '\0';
            return whole && std::isfinite(number) ? number : 0;
        }
        return 0;
    }

} // namespace

// The text with raw control characters inside its string literals written as
// JSON escapes (JSONString).
static std::string repairedText(std::string_view text);

// On the phone true and false are the numbers 1 and 0, and the screens and
// models read them so ("resultState": true is a success, an id given as true
// is 1). The reply is brought to that model once, right after parsing, so
// every reader sees numbers.
void ORBReplyParser::booleansAsNumbers(Value& value)
{
    if (const bool* flag = value.asBool()) {
        value = Value(*flag ? 1 : 0);
    } else if (Array* list = value.asArray()) {
        for (Value& element : *list)
            booleansAsNumbers(element);
    } else if (Dictionary* dictionary = value.asDictionary()) {
        for (auto& entry : *dictionary)
            booleansAsNumbers(entry.second);
    }
}

std::optional<std::string> ORBReplyParser::JSONString(const std::optional<std::string>& string)
{
    if (!string)
        return std::nullopt;
    return repairedText(*string);
}

static std::string repairedText(std::string_view text)
{
    static const char* const hex = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    bool inString = false;
    bool escaped = false;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (!inString) {
            if (c == '"')
                inString = true;
            out += ch;
            continue;
        }
        if (escaped) {
            escaped = false;
            // A backslash before a raw control character still needs the
            // character itself escaped; the pair then reads as an escaped
            // backslash followed by the character's escape.
            if (c >= 0x20) {
                out += ch;
                continue;
            }
            out += '\\';
        } else if (c == '\\') {
            escaped = true;
            out += ch;
            continue;
        } else if (c == '"') {
            inString = false;
            out += ch;
            continue;
        }
        if (c >= 0x20) {
            out += ch;
            continue;
        }
        switch (c) {
        case '\n':
            out += "\\n";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            out += "\\u00";
            out += hex[c >> 4];
            out += hex[c & 15];
            break;
        }
    }
    return out;
}

std::optional<Bytes> ORBReplyParser::uncompressZippedData(const Bytes& data)
{
    if (data.empty())
        return data;
    platform::Error error;
    // Under the ceiling every body kept in memory has: a small reply that
    // inflates without end fails instead of taking the process's memory.
    auto inflated = DataDecompressor::uncompressData(data, &error, foundation::HTTPRequest::kLargestInflatedBody);
    if (!inflated)
        platform::log("uncompress failed:%s\n", error.localizedDescription().c_str());
    return inflated;
}

platform::PlatformJson::ReadLimits ORBReplyParser::readLimitsFor(std::size_t textBytes)
{
    platform::PlatformJson::ReadLimits limits;
    limits.largestValue = std::max(kLeastValueBytes,
        textBytes > SIZE_MAX / kValueBytesPerTextByte ? SIZE_MAX : textBytes * kValueBytesPerTextByte);
    return limits;
}

std::optional<Value> ORBReplyParser::parseReply(std::string_view text, bool* tooLarge)
{
    platform::Error error;
    auto parsed = platform::PlatformJson::read(text, readLimitsFor(text.size()), &error);
    if (tooLarge)
        *tooLarge = !parsed && error.code() == platform::PlatformJson::kValueTooLargeCode;
    return parsed;
}

ORBReplyParser::ReplyRead ORBReplyParser::readReplyText(std::string_view text, std::size_t largestReply, bool repair)
{
    ReplyRead read;
    if (text.size() > largestReply) {
        read.tooLarge = true;
        return read;
    }
    if (repair)
        read.value = parseReply(repairedText(text), &read.tooLarge);
    else
        read.value = parseReply(text, &read.tooLarge);
    return read;
}

void ORBReplyParser::setDescribesRepliesInLog(bool describes) { describesReplies = describes; }

bool ORBReplyParser::describesRepliesInLog() { return describesReplies; }

ORBReplyParser::ReplyRead ORBReplyParser::readReply(const std::optional<std::string>& responseText,
    const Bytes& responseData, std::size_t largestReply, std::string_view label)
{
    const std::string_view text = responseText
        ? std::string_view(*responseText)
        : std::string_view(reinterpret_cast<const char*>(responseData.data()), responseData.size());
    ReplyRead read = readReplyText(text, largestReply, responseText.has_value());
    if (read.tooLarge) {
        if (text.size() > largestReply)
            platform::log(
                "%.*s:(%zu bytes, more than its kind can be)\n", int(label.size()), label.data(), text.size());
        else
            platform::log(
                "%.*s:(%zu bytes that would take too much to read)\n", int(label.size()), label.data(), text.size());
        return read;
    }
    if (read.value)
        booleansAsNumbers(*read.value);
    // A long reply is not described at all, nor any reply whose log goes
    // nowhere; a short one is described up to kLongestDescription.
    if (text.size() > kLongestLoggedReply || !describesRepliesInLog()) {
        platform::log("%.*s:(%zu bytes)\n", int(label.size()), label.data(), text.size());
        return read;
    }
    std::string description = "(null)";
    bool cut = false;
    if (read.value) {
        BoundedDescription bounded(kLongestDescription);
        bounded.describe(*read.value, 0);
        cut = bounded.cut();
        description = bounded.take();
    }
    if (cut)
        platform::log("%.*s:%s\n...(cut: a reply of %zu bytes)\n", int(label.size()), label.data(), description.c_str(),
            text.size());
    else
        platform::log("%.*s:%s\n", int(label.size()), label.data(), description.c_str());
    return read;
}

ORBReplyParser::ReplyRead ORBReplyParser::readReply(
    const foundation::HTTPRequest& request, std::size_t largestReply, std::string_view label)
{
    // One read of the body: its bytes and its text each cost a copy, the
    // text only for a body within the ceiling (one past it is refused as it
    // came, before it is read as text).
    auto body = request.responseBodyAndText(largestReply);
    const Bytes none;
    return readReply(body.text, body.data ? *body.data : none, largestReply, label);
}

ORBReplyParser::ReplyRead ORBReplyParser::readReply(
    const foundation::HTTPRequest& request, ORBRequestType type, std::string_view label)
{
    const ORBRequestRow* row = ORBRequestTable::rowForType(type);
    return readReply(request, row ? row->largestReply : kLargestScreenReply, label);
}

void ORBReplyParser::requestCompleted(int type, const std::optional<Bytes>& sentBody,
    const std::optional<std::string>& responseText, const Bytes& responseData, const SuccessBlock& success,
    const FailBlock& fail)
{
    auto failWith = [&fail](const std::string& message) {
        if (fail)
            fail(message);
    };

    const ORBRequestRow* row = ORBRequestTable::rowForType(type);
    ReplyRead read
        = readReply(responseText, responseData, row ? row->largestReply : kLargestScreenReply, "response data");
    if (read.tooLarge) {
        failWith(kReplyTooLargeText);
        return;
    }
    std::optional<Value>& parsed = read.value;
    if (!parsed || !parsed->isDictionary()) {
        if (!row || !row->compressedReply) {
            failWith(kReplyNotAnObjectText);
            return;
        }
        // A body the transfer already inflated (sent with a content
        // encoding) is the address book itself.
        if (parsed && parsed->isArray()) {
            if (success)
                success(*parsed);
            return;
        }
        // The whole address book comes as compressed bytes without an envelope.
        auto inflated = uncompressZippedData(responseData);
        if (!inflated) {
            failWith(kAddressBookInflateFailedText);
            return;
        }
        bool bookTooLarge = false;
        auto book = inflated->size() > row->largestReply
            ? std::nullopt
            : parseReply(std::string_view(reinterpret_cast<const char*>(inflated->data()), inflated->size()),
                &bookTooLarge);
        if (!book) {
            failWith(bookTooLarge || inflated->size() > row->largestReply ? kReplyTooLargeText
                                                                           : kAddressBookParseFailedText);
            return;
        }
        booleansAsNumbers(*book);
        if (success)
            success(*book);
        return;
    }

    const Value& reply = *parsed;
    if (integerOf(reply["resultState"]) != 1) {
        // The call screen reads the refusal from the reply itself.
        if (row && row->refusalIsResult && success) {
            success(reply);
            return;
        }
        const Value& message = reply["resultMsg"];
        bool readable = message.isString() && !message.asString()->empty();
        failWith(readable ? *message.asString() : std::string(kNoServerMessageText));
        return;
    }

    Value result = resultForType(type, reply, sentBody);
    if (success)
        success(result);
}

Value ORBReplyParser::resultForType(int type, const Value& reply, const std::optional<Bytes>& sentBody)
{
    const ORBRequestRow* row = ORBRequestTable::rowForType(type);
    if (!row)
        return Value();
    const Value& items = reply["items"];
    switch (row->reply) {
    case ORBReplyShape::Nothing:
        return Value();
    case ORBReplyShape::WholeReply:
        return reply;
    case ORBReplyShape::Message:
        return textOrNull(reply["resultMsg"]);
    case ORBReplyShape::DownUrl:
        return textOrNull(reply["downUrl"]);
    case ORBReplyShape::Subjects:
        return reply::modelsOf(items, SubjectInfo::subjectWithObj);
    case ORBReplyShape::ActiveTypes:
        return reply::modelsOf(items, ClassInfo::activeTypeWithObj);
    case ORBReplyShape::Classes:
        return reply::modelsOf(items, ClassInfo::classWithObj);
    case ORBReplyShape::SuggestedComments: {
        // Sorted by the numeric value of "sort", whatever kind the server
        // wrote it in; rows of equal value keep the server's order.
        std::vector<std::pair<double, Value>> rows;
        reply::forEachObject(items, [&](const Value& item) { rows.emplace_back(sortValueOf(item["sort"]), item); });
        std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        Array models;
        for (const auto& sorted : rows) {
            if (auto model = SuggestCommentInfo::suggestCommentWithObj(sorted.second))
                models.emplace_back(model);
        }
        return models;
    }
    case ORBReplyShape::CommentHistory: {
        Dictionary result;
        result.set("total", integerOf(reply["total"]));
        result.set("historyInfos", reply::modelsOf(items, CommentHistoryInfo::commentHistoryWithObj));
        return result;
    }
    case ORBReplyShape::Students:
        return reply::modelsOf(items, StudentInfo::studentWithObj);
    case ORBReplyShape::Albums:
        return reply::modelsOf(items, AlbumInfo::albumWithObj);
    case ORBReplyShape::Schedule:
        return reply::modelsOf(items, ScheduleInfo::scheduleWithObj);
    case ORBReplyShape::HotActivities:
        return reply::modelsOf(items, HotActivityInfo::hotActivityWithObj);
    case ORBReplyShape::WeiboFeed:
        return reply::modelsOf(items, WeiboData::initWithDictionary);
    case ORBReplyShape::WeiboComments:
        return reply::modelsOf(items, WeiboReplyData::initWithDictionary);
    case ORBReplyShape::Magazines:
        return updateMagazines(reply);
    case ORBReplyShape::MagazineIssue:
        updateIssue(reply, sentBody);
        return Value();
    }
    return Value();
}

Value ORBReplyParser::updateMagazines(const Value& reply)
{
    auto store = ORBDBHelper::sharedORBDBHelper();
    const auto snapshot = storedMagazines();

    reply::forEachObject(reply["items"], [&](const Value& item) {
        auto magazine = std::make_shared<MagazineInfo>();
        readText(item["name"], magazine->name);
        readInteger(item["postId"], magazine->postId);
        readText(item["category"], magazine->category);
        readText(item["coverOriginal"], magazine->coverOriginal);
        readText(item["coverThumb"], magazine->coverThumb);
        readInteger(item["postNumber"], magazine->postNumber);
        readText(item["postDate"], magazine->postDate);
        readInteger(item["status"], magazine->status);
        readInteger(item["readNumber"], magazine->readNumber);

        if (magazine->status == 1 || magazine->status == 2) {
            // The store keeps one row per issue and account: a re-listed
            // issue is updated in place.
            store->insertOrUpdateWithType(ORBDBHelper::kMagazines, ORBDBHelper::kInsert, magazine);
            return;
        }
        // Any other status withdraws the stored copies; 3 (changed) replaces
        // them, keeping the new-issue mark of a copy not yet read.
        bool matched = false;
        bool keepsNewMark = false;
        for (const auto& stored : snapshot) {
            if (stored->postId != magazine->postId)
                continue;
            matched = true;
            keepsNewMark = keepsNewMark || stored->status == 2;
            store->deleteObjectWithType(ORBDBHelper::kMagazines, stored->_id);
        }
        if (magazine->status != 3)
            return;
        if (matched)
            magazine->status = keepsNewMark ? 2 : 1;
        store->insertOrUpdateWithType(ORBDBHelper::kMagazines, ORBDBHelper::kInsert, magazine);
    });
    // After a non-empty list the list screen sends this time back with its
    // next request, so it is kept as the server gave it (text or number) and
    // cleared when the reply has none: a stale time would hide new issues.
    if (reply["items"].isArray() && reply["items"].count() > 0)
        ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineUpdateTime, reply["updateTime"]);

    // Read counts go to the rows as they stand now, so a count never lands
    // on a copy the items above have just replaced.
    const Value& readItems = reply["readItems"];
    if (readItems.isArray() && !readItems.asArray()->empty()) {
        auto current = storedMagazines();
        reply::forEachObject(readItems, [&](const Value& read) {
            int postId = integerOf(read["postId"]);
            auto found
                = std::find_if(current.begin(), current.end(), [postId](const auto& m) { return m->postId == postId; });
            if (found == current.end())
                return;
            (*found)->readNumber = integerOf(read["readNumber"]);
            store->insertOrUpdateWithType(ORBDBHelper::kMagazines, ORBDBHelper::kUpdate, *found);
        });
    }

    std::vector<std::shared_ptr<MagazineAd>> ads;
    reply::forEachObject(reply["adItems"], [&](const Value& item) {
        auto ad = std::make_shared<MagazineAd>();
        readText(item["adName"], ad->adName);
        readText(item["adImage"], ad->adImage);
        readText(item["adUrl"], ad->adUrl);
        ads.push_back(std::move(ad));
    });
    if (!ads.empty()) {
        ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineHasAds, true);
        ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineAds, MagazineAd::archiveList(ads));
    } else {
        ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineHasAds, false);
        ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineAds, Value());
    }

    Array result;
    for (auto& magazine : storedMagazines())
        result.emplace_back(std::move(magazine));
    return result;
}

void ORBReplyParser::updateIssue(const Value& reply, const std::optional<Bytes>& sentBody)
{
    Value body;
    if (sentBody) {
        if (auto parsed = platform::PlatformJson::read(*sentBody))
            body = std::move(*parsed);
    }
    int magazineId = integerOf(body["magazineId"]);
    platform::log("request params:%d\n", magazineId);

    std::set<int> headIds;
    if (auto text = reply::textOf(reply["headChapterIds"])) {
        std::size_t start = 0;
        while (start <= text->size()) {
            std::size_t comma = text->find(',', start);
            if (comma == std::string::npos)
                comma = text->size();
            int id = 0;
            if (readInteger(Value(text->substr(start, comma - start)), id))
                headIds.insert(id);
            start = comma + 1;
        }
    }

    std::vector<ORBDBHelper::DirectoryContents> contents;
    reply::forEachObject(reply["items"], [&](const Value& item) {
        ORBDBHelper::DirectoryContents entry;
        entry.directory.magazineId = magazineId;
        readInteger(item["directoryId"], entry.directory.directoryId);
        readText(item["directoryName"], entry.directory.directoryName);
        readText(item["directoryLogo"], entry.directory.directoryLogo);
        reply::forEachObject(item["chapters"], [&](const Value& chapterItem) {
            MagazineChapterInfo chapter;
            readInteger(chapterItem["chapterId"], chapter.chapterId);
            readText(chapterItem["category"], chapter.chapterCategory);
            readText(chapterItem["title"], chapter.chapterTitle);
            readText(chapterItem["headImage"], chapter.chapterDefaultImage);
            chapter.isHeadShow = headIds.count(chapter.chapterId) ? 1 : 0;
            entry.chapters.push_back(std::move(chapter));
        });
        contents.push_back(std::move(entry));
    });
    // Opening an issue again replaces its table of contents as a whole.
    if (!ORBDBHelper::sharedORBDBHelper()->replaceDirectoriesWithMagazineId(magazineId, contents))
        platform::log("issue %d: table of contents not stored\n", magazineId);
}

} // namespace core
