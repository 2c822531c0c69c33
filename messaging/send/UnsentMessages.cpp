#include "messaging/send/UnsentMessages.h"

#include "core/store/BaseFactory.h"
#include "core/store/DamagedStoreFile.h"
#include "platform/graphics/Image.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"

#include <algorithm>

using platform::Array;
using platform::Dictionary;
using platform::FileUtil;
using platform::Value;

namespace {

// The file: {"version": 1, "messages": [entry, ...]}, an entry being
// {"key", "account", "contact": {...}, "content", "photos": [...],
// "sounds": [...], "time", "createTime"}; the attachments by their local
// files (and their addresses, when an upload went through before the send failed).
constexpr int kVersion = 1;

// A file that does not read is moved aside whole, as it was found, for
// whoever can make something of it; a fresh one takes its place.
bool setAside(const std::string& file, const char* why)
{
    const std::string aside = core::DamagedStoreFile::asideName(file);
    platform::Error error;
    if (!FileUtil::move(file, aside, &error)) {
        platform::log("unsent messages: %s %s, and cannot be moved aside to %s (%s); it is left as it is\n",
            file.c_str(), why, aside.c_str(), error.description().c_str());
        return false;
    }
    platform::log("unsent messages: %s %s; moved aside to %s, a fresh one is started\n", file.c_str(), why,
        aside.c_str());
    return true;
}

// The file's entries: none when there is no file, or when it did not read
// and is set aside. Nothing when it is there and can neither be read nor set
// aside: it must not be written over then. A file larger than any the
// client writes is not read at all: reading it would cost more than it can
// hold of one's messages.
std::optional<Array> readEntries(const std::string& file)
{
    if (!FileUtil::exists(file))
        return Array {};
    platform::Error error;
    const auto size = FileUtil::fileSize(file, &error);
    if (size && *size > UnsentMessages::kLargestFile) {
        const std::string why = "is larger than " + std::to_string(UnsentMessages::kLargestFile) + " bytes";
        if (!setAside(file, why.c_str()))
            return std::nullopt;
        return Array {};
    }
    auto text = size ? FileUtil::readText(file, &error) : std::nullopt;
    if (!text) {
        platform::log("unsent messages: %s cannot be read (%s); it is left as it is\n", file.c_str(),
            error.description().c_str());
        return std::nullopt;
    }
    auto value = platform::PlatformJson::read(*text);
    if (const Array* list = value && value->isDictionary() ? (*value)["messages"].asArray() : nullptr)
        return *list;
    if (!setAside(file, "does not parse"))
        return std::nullopt;
    return Array {};
}

std::optional<std::string> fileText(const Array& entries)
{
    Dictionary root;
    root.set("version", Value(kVersion));
    root.set("messages", Value(entries));
    return platform::PlatformJson::write(Value(std::move(root)));
}

bool writeEntries(const std::string& file, const Array& entries, const std::optional<std::string>& text)
{
    if (entries.empty())
        return !FileUtil::exists(file) || FileUtil::remove(file);
    if (!text || !FileUtil::write(file, *text, FileUtil::WriteMode::Atomic)) {
        platform::log("unsent messages: %s could not be written\n", file.c_str());
        return false;
    }
    return true;
}

long keyOfEntry(const Value& entry) { return static_cast<long>(entry["key"].longLongValue()); }

// Keys run from 1 and stay within what a double holds exactly, as any JSON
// reader reads them; a run gives out keys far below the top. An entry whose
// key is outside is none of this client's writing: it is left in the file
// as it is, neither shown nor counted.
constexpr long kLargestKey = 1L << 53;
bool isKey(long key) { return key >= 1 && key <= kLargestKey; }

Value contactValue(const core::ContactInfo& contact)
{
    return Value(Dictionary {
        { "uid", Value(contact.uid) },
        { "name", Value(contact.name) },
        { "type", Value(contact.type) },
        { "groupUid", Value(contact.groupUid) },
        { "thumbAvatar", Value(contact.thumbAvatar) },
        { "avatar", Value(contact.avatar) },
        { "phone", Value(contact.phone) },
        { "isCustomer", Value(contact.isCustomer) },
    });
}

std::shared_ptr<core::ContactInfo> contactOf(const Value& value)
{
    if (!value.isDictionary())
        return nullptr;
    auto contact = std::make_shared<core::ContactInfo>();
    contact->uid = value["uid"].intValue();
    contact->name = value["name"].stringValue();
    contact->type = value["type"].intValue();
    contact->groupUid = value["groupUid"].stringValue();
    contact->thumbAvatar = value["thumbAvatar"].stringValue();
    contact->avatar = value["avatar"].stringValue();
    contact->phone = value["phone"].stringValue();
    contact->isCustomer = value["isCustomer"].boolValue();
    return contact;
}

Value entryOf(long key, int account, const core::MessageInfo& message)
{
    Array photos;
    for (const auto& photo : message.photosInfo) {
        if (photo)
            photos.push_back(Value(Dictionary {
                { "path", Value(photo->path) }, { "url", Value(photo->url) }, { "thumbUrl", Value(photo->thumbUrl) } }));
    }
    Array sounds;
    for (const auto& sound : message.soundsInfo) {
        if (sound)
            sounds.push_back(Value(Dictionary { { "amrPath", Value(sound->amrPath) }, { "wavPath", Value(sound->wavPath) },
                { "url", Value(sound->url) }, { "seconds", Value(sound->seconds) } }));
    }
    const auto time = message.time.value_or(platform::Date::now());
    return Value(Dictionary {
        { "key", Value(key) },
        { "account", Value(account) },
        { "contact", contactValue(*message.contact) },
        { "content", Value(message.content) },
        { "photos", Value(std::move(photos)) },
        { "sounds", Value(std::move(sounds)) },
        { "time", Value(time.seconds) },
        { "createTime", Value(message.createTime.value_or(time).seconds) },
    });
}

// A photo read back from its file; none when the file is gone or does not
// decode and the server has no copy either.
std::shared_ptr<core::PhotoInfo> photoOf(const Value& value)
{
    auto photo = std::make_shared<core::PhotoInfo>();
    photo->path = value["path"].stringValue();
    photo->url = value["url"].stringValue();
    photo->thumbUrl = value["thumbUrl"].stringValue();
    auto bytes = photo->path.empty() ? std::nullopt : FileUtil::read(photo->path);
    auto image = bytes ? platform::Image::decode(*bytes) : std::nullopt;
    if (image) {
        photo->data = std::move(*bytes);
        photo->size = static_cast<int>(photo->data.size());
        photo->image = *image;
        photo->thumbImage = core::PhotoInfo::uniformScalingSize(
            *image, platform::Size(core::PhotoInfo::kThumbSide, core::PhotoInfo::kThumbSide));
    } else if (photo->url.empty()) {
        return nullptr;
    }
    return photo;
}

std::shared_ptr<core::SoundInfo> soundOf(const Value& value)
{
    auto sound = std::make_shared<core::SoundInfo>();
    sound->amrPath = value["amrPath"].stringValue();
    sound->wavPath = value["wavPath"].stringValue();
    sound->url = value["url"].stringValue();
    sound->seconds = value["seconds"].intValue();
    bool here = !sound->amrPath.empty() && FileUtil::isRegularFile(sound->amrPath);
    if (!here && sound->url.empty())
        return nullptr;
    return sound;
}

// The message of an entry, marked as not sent; none when nothing of what was
// written is left (its only attachment's file gone).
std::shared_ptr<core::MessageInfo> messageOf(const Value& entry)
{
    auto message = std::make_shared<core::MessageInfo>();
    message->contact = contactOf(entry["contact"]);
    if (!message->contact)
        return nullptr;
    message->to = true;
    message->content = entry["content"].stringValue();
    if (const Array* photos = entry["photos"].asArray()) {
        for (const auto& value : *photos)
            if (auto photo = photoOf(value))
                message->photosInfo.push_back(std::move(photo));
    }
    if (const Array* sounds = entry["sounds"].asArray()) {
        for (const auto& value : *sounds)
            if (auto sound = soundOf(value))
                message->soundsInfo.push_back(std::move(sound));
    }
    if (message->content.empty() && message->photosInfo.empty() && message->soundsInfo.empty())
        return nullptr;
    message->time = platform::Date::fromSeconds(entry["time"].doubleValue());
    message->createTime = platform::Date::fromSeconds(entry["createTime"].doubleValue());
    message->sendFailed = true;
    return message;
}

} // namespace

UnsentMessages& UnsentMessages::shared()
{
    // Never destroyed: a late reply may still report a send at exit.
    static auto* instance = new UnsentMessages();
    return *instance;
}

std::string UnsentMessages::filePath() { return FileUtil::joinPath(platform::AppPaths::documentsDirectory(), kFileName); }

void UnsentMessages::resetForTesting() { *this = UnsentMessages(); }

void UnsentMessages::forgetDead()
{
    kept_.erase(
        std::remove_if(kept_.begin(), kept_.end(), [](const Kept& k) { return !k.held && k.message.expired(); }),
        kept_.end());
}

UnsentMessages::Kept* UnsentMessages::find(const core::MessageInfo* message, const std::string& file)
{
    for (auto& k : kept_) {
        if (k.file == file && k.message.lock().get() == message)
            return &k;
    }
    return nullptr;
}

long UnsentMessages::takeKey(const std::string& file, const Array& entries)
{
    auto used = [&](long key) {
        return std::any_of(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.file == file && k.key == key; })
            || std::any_of(
                dropped_.begin(), dropped_.end(), [&](const Dropped& d) { return d.file == file && d.key == key; })
            || std::any_of(entries.begin(), entries.end(), [&](const Value& e) { return keyOfEntry(e) == key; });
    };
    while (nextKey_ <= kLargestKey) {
        const long key = nextKey_++;
        if (!used(key))
            return key;
    }
    long key = 1;
    while (used(key))
        ++key;
    return key;
}

bool UnsentMessages::merge(const std::string& file, std::optional<Array> found, Array& entries)
{
    entries = found ? std::move(*found) : Array {};
    bool changed = false;
    // The file's own entries that this run brings up to date, as the file
    // holds them.
    std::vector<std::pair<long, Value>> asHeld;
    for (const auto& d : dropped_) {
        if (d.file != file)
            continue;
        auto gone
            = std::remove_if(entries.begin(), entries.end(), [&](const Value& e) { return keyOfEntry(e) == d.key; });
        changed = changed || gone != entries.end();
        entries.erase(gone, entries.end());
    }
    for (auto& k : kept_) {
        if (k.file != file || !k.held)
            continue;
        auto at = std::find_if(entries.begin(), entries.end(), [&](const Value& e) { return keyOfEntry(e) == k.key; });
        if (found && at != entries.end() && !k.placed) {
            // The key was given out while the file could not be read, and
            // the file's own message has it: this one takes another.
            const long key = takeKey(file, entries);
            platform::log("unsent messages: key %ld is held in the file already; the message takes %ld\n", k.key, key);
            k.key = key;
            k.entry = entryOf(key, k.entry["account"].intValue(), *k.held);
            at = entries.end();
        }
        if (at == entries.end()) {
            entries.push_back(k.entry);
        } else if (!k.written) {
            asHeld.emplace_back(k.key, *at);
            *at = k.entry;
        } else {
            continue;
        }
        changed = true;
    }
    if (!found) {
        // Nothing is known of what the file holds: what was sent may still
        // be in it, to be taken out once it reads.
        return !changed
            && std::none_of(dropped_.begin(), dropped_.end(), [&](const Dropped& d) { return d.file == file; });
    }
    // What the file takes: all of it, unless that is more than is read
    // back; then, newest first, this run's entries not in the file yet stay
    // out of it, and those it holds stay in it as it holds them (the run
    // holds, and shows, them as they are now) until it fits.
    std::vector<long> leftOut;
    if (changed) {
        Array toWrite = entries;
        auto text = fileText(toWrite);
        for (auto k = kept_.rbegin(); text && text->size() > kLargestFile && k != kept_.rend(); ++k) {
            if (k->file != file || !k->held || k->written)
                continue;
            // Each of them is in it, put there above.
            auto at = std::find_if(
                toWrite.begin(), toWrite.end(), [&](const Value& e) { return keyOfEntry(e) == k->key; });
            if (at == toWrite.end())
                continue;
            auto held
                = std::find_if(asHeld.begin(), asHeld.end(), [&](const auto& h) { return h.first == k->key; });
            if (held != asHeld.end())
                *at = held->second;
            else
                toWrite.erase(at);
            leftOut.push_back(k->key);
            text = fileText(toWrite);
        }
        if (text && text->size() > kLargestFile) {
            platform::log("unsent messages: %s would be larger than %zu bytes; not written\n", file.c_str(),
                kLargestFile);
            return false;
        }
        if (!leftOut.empty())
            platform::log("unsent messages: %zu message(s) kept for this run only: %s would be larger than %zu bytes\n",
                leftOut.size(), file.c_str(), kLargestFile);
        if (!writeEntries(file, toWrite, text))
            return false;
    }
    for (auto& k : kept_) {
        if (k.file == file && k.held && std::find(leftOut.begin(), leftOut.end(), k.key) == leftOut.end()) {
            k.written = true;
            k.placed = true;
        }
    }
    dropped_.erase(std::remove_if(dropped_.begin(), dropped_.end(), [&](const Dropped& d) { return d.file == file; }),
        dropped_.end());
    return leftOut.empty();
}

std::optional<Array> UnsentMessages::read(const std::string& file)
{
    auto found = readEntries(file);
    for (const auto& entry : found.value_or(Array {}))
        if (const long key = keyOfEntry(entry); isKey(key))
            nextKey_ = std::max(nextKey_, key + 1);
    return found;
}

void UnsentMessages::keep(const std::shared_ptr<core::MessageInfo>& message, int accountUid)
{
    if (!message || !message->to || message->group || !message->contact)
        return;
    forgetDead();
    const std::string file = filePath();
    auto found = read(file);
    Kept* kept = find(message.get(), file);
    if (!kept) {
        const long key = takeKey(file, found.value_or(Array {}));
        kept_.push_back(Kept { file, key, {}, false, false, nullptr, message });
        kept = &kept_.back();
    }
    kept->held = message;
    kept->entry = entryOf(kept->key, accountUid, *message);
    kept->written = false;
    Array entries;
    merge(file, std::move(found), entries);
}

void UnsentMessages::forget(const std::shared_ptr<core::MessageInfo>& message)
{
    if (!message)
        return;
    const std::string file = filePath();
    const Kept* kept = find(message.get(), file);
    if (!kept)
        return;
    // A key the file never held for it may be another message's there.
    if (kept->placed)
        dropped_.push_back(Dropped { file, kept->key });
    kept_.erase(kept_.begin() + (kept - kept_.data()));
    Array entries;
    merge(file, read(file), entries);
}

bool UnsentMessages::writeKept()
{
    const std::string file = filePath();
    Array entries;
    return merge(file, read(file), entries);
}

core::MessageList UnsentMessages::withContact(int contactUid)
{
    forgetDead();
    const std::string file = filePath();
    const int account = core::BaseFactory::currentAccountUid();
    // What the file holds, with what it missed of this run.
    Array entries;
    merge(file, read(file), entries);
    core::MessageList found;
    std::vector<long> seen;
    for (const auto& entry : entries) {
        if (entry["account"].intValue() != account || entry["contact"]["uid"].intValue() != contactUid)
            continue;
        const long key = keyOfEntry(entry);
        if (!isKey(key)) {
            platform::log("unsent messages: an entry with the key %ld is not shown\n", key);
            continue;
        }
        if (std::find(seen.begin(), seen.end(), key) != seen.end())
            continue;
        seen.push_back(key);
        auto kept
            = std::find_if(kept_.begin(), kept_.end(), [&](const Kept& k) { return k.file == file && k.key == key; });
        std::shared_ptr<core::MessageInfo> message = kept != kept_.end() ? kept->message.lock() : nullptr;
        if (!message) {
            message = messageOf(entry);
            if (!message) {
                platform::log("unsent message %ld: nothing of it is left to show\n", key);
                continue;
            }
            if (kept != kept_.end())
                kept->message = message;
            else
                kept_.push_back(Kept { file, key, entry, true, true, nullptr, message });
        }
        found.push_back(std::move(message));
    }
    std::stable_sort(found.begin(), found.end(), [](const auto& a, const auto& b) { return a->time < b->time; });
    return found;
}
