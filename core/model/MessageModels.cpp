#include "core/model/MessageInfo.h"
#include "core/model/PhotoInfo.h"
#include "core/model/ReplyReading.h"
#include "core/model/SoundInfo.h"

#include "foundation/json/JsonParser.h"
#include "foundation/json/JsonWriter.h"
#include "platform/os/AppPaths.h"
#include "platform/os/DateFormat.h"
#include "platform/os/FileUtil.h"
#include "platform/os/StringUtil.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>

namespace core {

using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

    constexpr const char* kMessageTimePattern = "yyyy-MM-dd HH:mm:ss";
    constexpr long kPhotoNameCount = 100000;

    // Message items say "a number" for their counts and flags: a text that
    // merely looks like one does not count.
    bool readNumber(const Value& value, int& out)
    {
        if (!value.isNumber())
            return false;
        double d = value.doubleValue();
        if (!std::isfinite(d))
            return false;
        out = value.intValue();
        return true;
    }

    std::string writeJson(const Array& list)
    {
        if (list.empty())
            return {};
        foundation::JsonWriter writer;
        return writer.stringWithObject(Value(list)).value_or(std::string());
    }

    // The list a JSON text holds, or nothing when the text is empty, does not
    // parse or holds something else.
    std::optional<Array> parseList(const std::string& text)
    {
        if (text.empty())
            return std::nullopt;
        foundation::JsonParser parser;
        Value parsed = parser.objectWithString(std::string_view(text));
        if (const Array* list = parsed.asArray())
            return *list;
        return std::nullopt;
    }

    // The starting number of a new photo name. The clock stands in when the
    // system offers no random source, which must not make attaching fail.
    long randomPhotoNumber()
    {
        unsigned long long seed;
        try {
            std::random_device device;
            seed = (static_cast<unsigned long long>(device()) << 32) ^ device();
        } catch (...) {
            seed = static_cast<unsigned long long>(std::chrono::steady_clock::now().time_since_epoch().count());
        }
        std::mt19937_64 engine(seed);
        return static_cast<long>(std::uniform_int_distribution<long>(0, kPhotoNameCount - 1)(engine));
    }

} // namespace

// MessageInfo

std::shared_ptr<MessageInfo> MessageInfo::messageWithObj(const Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto message = std::make_shared<MessageInfo>();
    message->contact = ContactInfo::contactWithObj(obj);
    reply::readText(obj["msgId"], message->uid);
    reply::readText(obj["content"], message->content);
    if (const Value& groupSend = obj["isGroupSend"]; groupSend.isNumber())
        message->group = groupSend.boolValue();
    if (const Value& images = obj["images"]; images.isArray()) {
        foundation::JsonWriter writer;
        message->photos = writer.stringWithObject(images).value_or(std::string());
    }
    if (const Value& audios = obj["audios"]; audios.isArray()) {
        foundation::JsonWriter writer;
        message->sounds = writer.stringWithObject(audios).value_or(std::string());
    }
    readNumber(obj["msgUnReadCount"], message->msgUnReadCount);
    readNumber(obj["msgReadCount"], message->msgReadCount);
    readNumber(obj["smsUnSuccessCount"], message->smsUnSuccessCount);
    readNumber(obj["smsSuccessCount"], message->smsSuccessCount);
    if (const std::string* text = obj["dateTime"].asString()) {
        if (auto date = platform::DateFormatter(kMessageTimePattern).dateFromString(*text))
            message->time = *date;
    }
    readNumber(obj["templateId"], message->templateId);
    return message;
}

std::vector<std::shared_ptr<MessageInfo>> MessageInfo::messagesWithItems(const Value& items)
{
    std::vector<std::shared_ptr<MessageInfo>> messages;
    const platform::Date now = platform::Date::now();
    reply::forEachObject(items, [&](const Value& item) {
        auto message = messageWithObj(item);
        if (message->uid.empty())
            return;
        message->to = false;
        message->createTime = now;
        messages.push_back(std::move(message));
    });
    return messages;
}

void MessageInfo::updatePhotosInfo()
{
    auto list = parseList(photos);
    if (!list)
        return;
    std::vector<std::shared_ptr<PhotoInfo>> objects;
    for (const Value& element : *list) {
        if (auto photo = PhotoInfo::photoWithObj(element))
            objects.push_back(std::move(photo));
    }
    photosInfo = std::move(objects);
}

void MessageInfo::updateSoundsInfo()
{
    auto list = parseList(sounds);
    if (!list)
        return;
    std::vector<std::shared_ptr<SoundInfo>> objects;
    for (const Value& element : *list) {
        if (auto sound = SoundInfo::soundWithObj(element))
            objects.push_back(std::move(sound));
    }
    soundsInfo = std::move(objects);
}

Array MessageInfo::photosValue() const
{
    Array list;
    for (const auto& photo : photosInfo) {
        if (!photo)
            continue;
        // Each address present is written, so a photo whose full-size address
        // is missing still keeps its thumbnail.
        Dictionary object;
        if (!photo->url.empty())
            object.set("original", photo->url);
        if (!photo->thumbUrl.empty())
            object.set("thumb", photo->thumbUrl);
        list.emplace_back(std::move(object));
    }
    return list;
}

Array MessageInfo::soundsValue() const
{
    Array list;
    for (const auto& sound : soundsInfo) {
        if (!sound)
            continue;
        Dictionary object;
        if (!sound->url.empty()) {
            object.set("url", sound->url);
            object.set("seconds", sound->seconds);
        }
        list.emplace_back(std::move(object));
    }
    return list;
}

void MessageInfo::updatePhotos() { photos = writeJson(photosValue()); }

void MessageInfo::updateSounds() { sounds = writeJson(soundsValue()); }

// PhotoInfo

std::shared_ptr<PhotoInfo> PhotoInfo::photoWithObj(const Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto photo = std::make_shared<PhotoInfo>();
    reply::readText(obj["original"], photo->url);
    reply::readText(obj["thumb"], photo->thumbUrl);
    return photo;
}

platform::Image PhotoInfo::uniformScalingSize(const platform::Image& image, platform::Size box)
{
    return image.covering(box);
}

platform::Image PhotoInfo::uniformScalingMaxSize(const platform::Image& image, platform::Size box)
{
    return image.fittingInside(box);
}

std::string PhotoInfo::freePhotoPath(const std::string& folder, long n)
{
    n = ((n % kPhotoNameCount) + kPhotoNameCount) % kPhotoNameCount;
    for (long tried = 0; tried < kPhotoNameCount; ++tried) {
        char name[16];
        std::snprintf(name, sizeof name, "%05li.jpg", n);
        std::string path = platform::FileUtil::joinPath(folder, name);
        if (!platform::FileUtil::exists(path))
            return path;
        n = (n + 1) % kPhotoNameCount;
    }
    return {};
}

bool PhotoInfo::setImage(const platform::Image& picked)
{
    if (picked.isNull())
        return false;
    platform::Image large = uniformScalingMaxSize(picked, platform::Size(kStoredMaxSide, kStoredMaxSide));
    platform::Image thumbnail = uniformScalingSize(picked, platform::Size(kThumbSide, kThumbSide));
    if (large.isNull() || thumbnail.isNull())
        return false;
    auto encoded = large.encodeJPEG(kJpegQuality);
    if (!encoded || encoded->empty())
        return false;
    auto stored = platform::Image::decode(*encoded);
    if (!stored)
        return false;

    std::string target = path;
    if (target.empty()) {
        target = freePhotoPath(platform::AppPaths::temporaryDirectory(), randomPhotoNumber());
        if (target.empty())
            return false;
    }
    if (!platform::FileUtil::write(target, *encoded, platform::FileUtil::WriteMode::Atomic))
        return false;

    path = std::move(target);
    size = static_cast<int>(encoded->size());
    data = std::move(*encoded);
    image = std::move(*stored);
    thumbImage = std::move(thumbnail);
    return true;
}

bool PhotoInfo::setImageData(const platform::Bytes& encoded)
{
    auto decoded = platform::Image::decode(encoded);
    if (!decoded)
        return false;
    return setImage(*decoded);
}

// SoundInfo

std::shared_ptr<SoundInfo> SoundInfo::soundWithObj(const Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto sound = std::make_shared<SoundInfo>();
    if (const std::string* url = obj["url"].asString())
        sound->url = platform::trimWhitespaceAndNewlines(*url);
    readNumber(obj["seconds"], sound->seconds);
    return sound;
}

} // namespace core
