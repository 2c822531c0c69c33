#include "content/lessons/GCModels.h"

#include "core/network/ORBReplyParser.h"
#include "foundation/codec/PinyinConverter.h"
#include "platform/os/DateFormat.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/StringUtil.h"

#include <cmath>
#include <limits>
#include <string_view>

namespace content {

using platform::Dictionary;
using platform::Value;

namespace {

    constexpr const char* kArchiveClassKey = "$class";
    constexpr const char* kUserArchiveClass = "GCUserInfo";

    // A number is taken without its fraction (2.9 reads 2); one past the
    // 32-bit range leaves the field as it was: a uid of 4294967297 must not
    // wrap to 1 and name another lesson.
    void readInt(const Dictionary& dict, const char* key, std::int32_t& field)
    {
        const Value& value = dict.get(key);
        if (!value.isNumber())
            return;
        if (value.kind() == Value::Kind::Bool) {
            field = value.boolValue() ? 1 : 0;
            return;
        }
        double number = value.kind() == Value::Kind::Int ? double(value.longLongValue()) : std::trunc(value.doubleValue());
        if (std::isfinite(number) && number >= double(std::numeric_limits<std::int32_t>::min())
            && number <= double(std::numeric_limits<std::int32_t>::max()))
            field = static_cast<std::int32_t>(number);
    }

    void readFlag(const Dictionary& dict, const char* key, bool& field)
    {
        const Value& value = dict.get(key);
        if (value.isNumber())
            field = value.boolValue();
    }

    void readText(const Dictionary& dict, const char* key, std::optional<std::string>& field)
    {
        if (const auto* text = dict.get(key).asString())
            field = *text;
    }

    template <class Element> std::vector<std::shared_ptr<Element>> readList(const platform::Array& array)
    {
        std::vector<std::shared_ptr<Element>> out;
        for (const Value& element : array) {
            if (auto made = Element::instanceWithObj(element))
                out.push_back(std::move(made));
        }
        return out;
    }

    void readUser(const Dictionary& dict, GCUserInfo& user)
    {
        readInt(dict, "sid", user.sid);
        readText(dict, "name", user.name);
        readText(dict, "intro", user.intro);
        readText(dict, "avatar", user.avatar);
        readFlag(dict, "allow_answer", user.allowAnswer);
        readInt(dict, "type", user.type);
        readText(dict, "account", user.account);
        readInt(dict, "verify_state", user.verifyState);
        readText(dict, "verify_message", user.verifyMessage);
        readText(dict, "access_token", user.accessToken);
    }

} // namespace

std::optional<std::int32_t> wholeInt32(const Value& value)
{
    constexpr auto low = static_cast<double>(std::numeric_limits<std::int32_t>::min());
    constexpr auto high = static_cast<double>(std::numeric_limits<std::int32_t>::max());
    switch (value.kind()) {
    case Value::Kind::Int: {
        long long whole = value.longLongValue();
        if (whole >= std::numeric_limits<std::int32_t>::min() && whole <= std::numeric_limits<std::int32_t>::max())
            return static_cast<std::int32_t>(whole);
        return std::nullopt;
    }
    case Value::Kind::Double: {
        double number = value.doubleValue();
        if (std::isfinite(number) && number == std::trunc(number) && number >= low && number <= high)
            return static_cast<std::int32_t>(number);
        return std::nullopt;
    }
    default:
        // Unsigned values past the signed 64-bit range and exact decimals
        // past 64 bits are all out of range; booleans are no numbers here.
        return std::nullopt;
    }
}

std::optional<platform::Date> parseServiceTime(const Value& value)
{
    const auto* text = value.asString();
    if (!text)
        return std::nullopt;
    static const platform::DateFormatter formatter("yyyy-MM-dd HH:mm:ss");
    return formatter.dateFromString(*text);
}

void GCBaseInfo::readBase(const Dictionary& dict) { readInt(dict, "uid", uid); }

std::shared_ptr<GCUserInfo> GCUserInfo::instanceWithObj(const Value& obj)
{
    const auto* dict = obj.asDictionary();
    if (!dict)
        return nullptr;
    auto user = std::make_shared<GCUserInfo>();
    user->readBase(*dict);
    readUser(*dict, *user);
    readInt(*dict, "message_unread_count", user->messageUnreadCount);
    return user;
}

platform::Bytes GCUserInfo::archive() const
{
    Dictionary dict;
    dict.set(kArchiveClassKey, kUserArchiveClass);
    dict.set("uid", uid);
    dict.set("sid", sid);
    auto text = [&](const char* key, const std::optional<std::string>& field) {
        if (field)
            dict.set(key, *field);
    };
    text("name", name);
    text("intro", intro);
    text("avatar", avatar);
    dict.set("allow_answer", allowAnswer);
    dict.set("type", static_cast<unsigned>(type));
    text("account", account);
    dict.set("verify_state", static_cast<unsigned>(verifyState));
    text("verify_message", verifyMessage);
    text("access_token", accessToken);
    return platform::PlatformJson::writeData(Value(std::move(dict))).value_or(platform::Bytes {});
}

std::shared_ptr<GCUserInfo> GCUserInfo::unarchive(const platform::Bytes& bytes)
{
    // Kept from a reply of the service, and read within the same limits.
    auto [parsed, tooLarge] = core::ORBReplyParser::readReplyText(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), core::kLargestScreenReply, false);
    if (!parsed)
        return nullptr;
    const auto* dict = parsed->asDictionary();
    if (!dict || dict->get(kArchiveClassKey) != Value(kUserArchiveClass))
        return nullptr;
    auto user = std::make_shared<GCUserInfo>();
    user->readBase(*dict);
    readUser(*dict, *user);
    // The unsigned archive numbers come back as they went in.
    user->type = static_cast<std::int32_t>(dict->get("type").unsignedLongLongValue());
    user->verifyState = static_cast<std::int32_t>(dict->get("verify_state").unsignedLongLongValue());
    return user;
}

std::shared_ptr<GCSubjectInfo> GCSubjectInfo::instanceWithObj(const Value& obj)
{
    const auto* dict = obj.asDictionary();
    if (!dict)
        return nullptr;
    const auto* sid = dict->get("sid").asString();
    if (!sid)
        return nullptr;
    auto subject = std::make_shared<GCSubjectInfo>();
    subject->readBase(*dict);
    subject->sid = *sid;
    readText(*dict, "name", subject->name);
    readText(*dict, "icon", subject->icon);
    readInt(*dict, "type", subject->type);
    return subject;
}

std::shared_ptr<GCVideoInfo> GCVideoInfo::instanceWithObj(const Value& obj)
{
    const auto* dict = obj.asDictionary();
    if (!dict)
        return nullptr;
    auto video = std::make_shared<GCVideoInfo>();
    video->readBase(*dict);
    readInt(*dict, "favorite_uid", video->favoriteUid);
    readInt(*dict, "favorite_type_uid", video->favoriteTypeUid);
    readText(*dict, "name", video->name);
    readInt(*dict, "views", video->views);
    readText(*dict, "difficulties", video->difficulties);
    readText(*dict, "key_point", video->keyPoint);
    readInt(*dict, "minutes", video->minutes);
    readText(*dict, "keyword", video->keyword);
    readText(*dict, "intro", video->intro);
    readText(*dict, "preview", video->preview);
    readText(*dict, "src", video->src);
    readFlag(*dict, "is_free", video->isFree);
    readFlag(*dict, "is_lock", video->isLock);
    video->lector = GCUserInfo::instanceWithObj(dict->get("lector"));
    return video;
}

void GCLessonInfo::setName(std::optional<std::string> name)
{
    name_ = std::move(name);
    if (!name_) {
        namePy_.reset();
        nameFc_ = "#";
        return;
    }
    namePy_ = foundation::PinyinConverter::quickConvert(*name_);
    if (!namePy_->empty()) {
        // The section letter is the pinyin's first whole character (the
        // converter keeps Latin-1 letters and signs as they are: "É", "×");
        // bytes that form no character give the "#" of a lesson without a name.
        nameFc_ = platform::firstCharacter(*namePy_);
        if (nameFc_.empty())
            nameFc_ = "#";
    }
}

void GCLessonInfo::setKeyword(std::optional<std::string> keyword)
{
    keyword_ = std::move(keyword);
    if (keyword_)
        keywordPy_ = foundation::PinyinConverter::quickConvert(*keyword_);
    else
        keywordPy_.reset();
}

std::shared_ptr<GCLessonInfo> GCLessonInfo::instanceWithObj(const Value& obj)
{
    const auto* dict = obj.asDictionary();
    if (!dict)
        return nullptr;
    auto lesson = std::make_shared<GCLessonInfo>();
    lesson->readBase(*dict);
    if (const auto* name = dict->get("name").asString())
        lesson->setName(*name);
    readInt(*dict, "video_count", lesson->videoCount);
    if (const auto* keyword = dict->get("keyword").asString())
        lesson->setKeyword(*keyword);
    readText(*dict, "intro", lesson->intro);
    if (const auto* videos = dict->get("videos").asArray())
        lesson->videos = readList<GCVideoInfo>(*videos);
    return lesson;
}

std::shared_ptr<GCLiveVideoItemInfo> GCLiveVideoItemInfo::instanceWithObj(const Value& obj)
{
    const auto* dict = obj.asDictionary();
    if (!dict)
        return nullptr;
    auto item = std::make_shared<GCLiveVideoItemInfo>();
    item->readBase(*dict);
    readInt(*dict, "order", item->order);
    readText(*dict, "name", item->name);
    readText(*dict, "intro", item->intro);
    readInt(*dict, "state", item->state);
    item->startTime = parseServiceTime(dict->get("start_time"));
    readText(*dict, "src", item->src);
    return item;
}

std::shared_ptr<GCLiveVideoInfo> GCLiveVideoInfo::instanceWithObj(const Value& obj)
{
    const auto* dict = obj.asDictionary();
    if (!dict)
        return nullptr;
    auto live = std::make_shared<GCLiveVideoInfo>();
    live->readBase(*dict);
    readText(*dict, "name", live->name);
    readText(*dict, "intro", live->intro);
    readText(*dict, "image", live->image);
    readText(*dict, "link", live->link);
    live->lector = GCUserInfo::instanceWithObj(dict->get("lector"));
    readInt(*dict, "favorite_uid", live->favoriteUid);
    readInt(*dict, "favorite_type_uid", live->favoriteTypeUid);
    live->top = GCLiveVideoItemInfo::instanceWithObj(dict->get("top"));
    if (const auto* items = dict->get("items").asArray()) {
        auto list = readList<GCLiveVideoItemInfo>(*items);
        if (!list.empty())
            live->items = std::move(list);
    }
    return live;
}

} // namespace content
