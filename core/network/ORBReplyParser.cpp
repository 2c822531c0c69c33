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
#include "core/store/MagazineAd.h"
#include "core/store/ORBDBHelper.h"
#include "core/util/ORBHelper.h"
#include "foundation/http/DataDecompressor.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"

#include <algorithm>
#include <set>

namespace core {

using platform::Array;
using platform::Bytes;
using platform::Dictionary;
using platform::Value;
using reply::integerOf;
using reply::readInteger;
using reply::readText;

namespace {

    std::string describe(const std::optional<Value>& value) { return value ? value->description() : "(null)"; }

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

} // namespace

std::optional<std::string> ORBReplyParser::JSONString(const std::optional<std::string>& string)
{
    if (!string)
        return std::nullopt;
    static const char* const hex = "0123456789abcdef";
    std::string out;
    out.reserve(string->size());
    bool inString = false;
    bool escaped = false;
    for (char ch : *string) {
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
    auto inflated = DataDecompressor::uncompressData(data, &error);
    if (!inflated)
        platform::log("uncompress failed:%s\n", error.localizedDescription().c_str());
    return inflated;
}

void ORBReplyParser::requestCompleted(int type, const std::optional<Bytes>& sentBody,
    const std::optional<std::string>& responseText, const Bytes& responseData, const SuccessBlock& success,
    const FailBlock& fail)
{
    auto failWith = [&fail](const std::string& message) {
        if (fail)
            fail(message);
    };

    std::optional<Value> parsed;
    if (auto repaired = JSONString(responseText))
        parsed = platform::PlatformJson::read(std::string_view(*repaired));
    else
        parsed = platform::PlatformJson::read(responseData);
    platform::log("response data:%s\n", describe(parsed).c_str());

    if (!parsed || !parsed->isDictionary()) {
        if (type != 54) {
            failWith(kReplyNotAnObjectText);
            return;
        }
        // The whole address book comes as compressed bytes without an envelope.
        auto inflated = uncompressZippedData(responseData);
        if (!inflated) {
            failWith(kAddressBookInflateFailedText);
            return;
        }
        platform::Error error;
        auto book = platform::PlatformJson::read(*inflated, &error);
        if (!book) {
            failWith(kAddressBookParseFailedText);
            return;
        }
        if (success)
            success(*book);
        return;
    }

    const Value& reply = *parsed;
    if (integerOf(reply["resultState"]) != 1) {
        // The call screen reads the refusal from the reply itself.
        if ((type == 47 || type == 48) && success) {
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
    const Value& items = reply["items"];
    switch (type) {
    case 0:
    case 1:
    case 4:
    case 6:
    case 10:
    case 35:
    case 36:
    case 37:
    case 38:
    case 39:
    case 40:
    case 41:
    case 42:
    case 43:
    case 45:
    case 46:
    case 47:
    case 48:
    case 53:
        return reply;
    case 5:
    case 15:
    case 16:
    case 18:
    case 19:
    case 20:
    case 28:
    case 32:
        return textOrNull(reply["resultMsg"]);
    case 11:
        return textOrNull(reply["downUrl"]);
    case 17:
        return reply::modelsOf(items, SubjectInfo::subjectWithObj);
    case 24:
        return reply::modelsOf(items, ClassInfo::activeTypeWithObj);
    case 25:
        return reply::modelsOf(items, ClassInfo::classWithObj);
    case 26: {
        // Sorted by the integer value of "sort", whatever kind the server
        // wrote it in; rows of equal value keep the server's order.
        std::vector<std::pair<int, Value>> rows;
        reply::forEachObject(items, [&](const Value& row) { rows.emplace_back(integerOf(row["sort"]), row); });
        std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
        Array models;
        for (const auto& row : rows) {
            if (auto model = SuggestCommentInfo::suggestCommentWithObj(row.second))
                models.emplace_back(model);
        }
        return models;
    }
    case 27: {
        Dictionary result;
        result.set("total", integerOf(reply["total"]));
        result.set("historyInfos", reply::modelsOf(items, CommentHistoryInfo::commentHistoryWithObj));
        return result;
    }
    case 29:
    case 30:
        return reply::modelsOf(items, StudentInfo::studentWithObj);
    case 31:
        return reply::modelsOf(items, AlbumInfo::albumWithObj);
    case 34:
        return reply::modelsOf(items, ScheduleInfo::scheduleWithObj);
    case 49:
        return reply::modelsOf(items, HotActivityInfo::hotActivityWithObj);
    case 50:
        return reply::modelsOf(items, WeiboData::initWithDictionary);
    case 52:
        return reply::modelsOf(items, WeiboReplyData::initWithDictionary);
    case 21:
        return updateMagazines(reply);
    case 22:
        updateIssue(reply, sentBody);
        return Value();
    default:
        return Value();
    }
}

Value ORBReplyParser::updateMagazines(const Value& reply)
{
    auto store = ORBDBHelper::sharedORBDBHelper();
    const auto snapshot = storedMagazines();

    bool anyItem = false;
    reply::forEachObject(reply["items"], [&](const Value& item) {
        anyItem = true;
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
    if (anyItem) {
        if (auto updateTime = reply::textOf(reply["updateTime"]))
            ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineUpdateTime, *updateTime);
    }

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
