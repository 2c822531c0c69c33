#include "server/RequestLog.h"

#include "platform/os/PlatformJson.h"
#include "platform/os/StringUtil.h"

#include <fstream>

namespace server {

using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

    const char* const kPasswordKeys[] = { "psw", "oldPsw", "newPsw" };

    Value pairsValue(const NameValuePairs& pairs)
    {
        Array out;
        for (const auto& [name, value] : pairs)
            out.push_back(Value(Array { Value(name), Value(value) }));
        return Value(std::move(out));
    }

} // namespace

std::optional<std::string> LoggedRequest::queryValue(std::string_view name) const
{
    for (const auto& [key, value] : query) {
        if (key == name)
            return value;
    }
    return std::nullopt;
}

std::optional<std::string> LoggedRequest::header(std::string_view name) const
{
    for (const auto& [key, value] : headers) {
        if (platform::equalsIgnoringAsciiCase(key, name))
            return value;
    }
    return std::nullopt;
}

const Value& LoggedRequest::bodyValue(std::string_view key) const { return json ? (*json)[key] : Value::null(); }

const MultipartPart* LoggedRequest::part(std::string_view name) const
{
    for (const auto& p : parts) {
        if (p.name == name)
            return &p;
    }
    return nullptr;
}

Value LoggedRequest::toValue(bool maskPasswords) const
{
    std::optional<Value> shownJson = json;
    std::string shownBody = body;
    if (maskPasswords && shownJson && shownJson->isDictionary()) {
        bool masked = false;
        for (const char* key : kPasswordKeys) {
            if (auto* value = shownJson->asDictionary()->find(key); value && !value->isNull()) {
                *value = Value("***");
                masked = true;
            }
        }
        // The raw text holds the same secrets; show the masked body instead.
        if (masked)
            shownBody = platform::PlatformJson::write(*shownJson).value_or("");
    }
    Array partValues;
    for (const auto& p : parts) {
        partValues.push_back(Value(Dictionary {
            { "name", p.name },
            { "fileName", p.fileName },
            { "contentType", p.contentType },
            { "size", static_cast<unsigned long long>(p.size) },
        }));
    }
    Dictionary out {
        { "seq", static_cast<unsigned long long>(sequence) },
        { "method", method },
        { "path", path },
        { "target", target },
        { "route", route },
        { "query", queryString },
        { "queryPairs", pairsValue(query) },
        { "headers", pairsValue(headers) },
        { "body",
            platform::isValidUtf8(shownBody) ? Value(shownBody)
                                             : Value("<" + std::to_string(shownBody.size()) + " bytes>") },
        { "json", shownJson ? *shownJson : Value() },
        { "cmd", command },
        { "parts", Value(std::move(partValues)) },
        { "status", status },
        { "reset", reset },
        { "delay", delaySeconds },
        { "scripted", scripted },
    };
    return Value(std::move(out));
}

std::uint64_t RequestLog::append(LoggedRequest request)
{
    std::lock_guard guard(mutex_);
    request.sequence = nextSequence_++;
    entries_.push_back(std::move(request));
    changed_.notify_all();
    return entries_.back().sequence;
}

void RequestLog::update(std::uint64_t sequence, const std::function<void(LoggedRequest&)>& change)
{
    std::lock_guard guard(mutex_);
    for (auto& entry : entries_) {
        if (entry.sequence == sequence) {
            bool wasAnswered = entry.answered;
            change(entry);
            if (entry.answered && !wasAnswered)
                writeLineLocked(entry);
            break;
        }
    }
    changed_.notify_all();
}

std::vector<LoggedRequest> RequestLog::all() const
{
    std::lock_guard guard(mutex_);
    return entries_;
}

std::size_t RequestLog::size() const
{
    std::lock_guard guard(mutex_);
    return entries_.size();
}

std::optional<LoggedRequest> RequestLog::last() const
{
    std::lock_guard guard(mutex_);
    if (entries_.empty())
        return std::nullopt;
    return entries_.back();
}

std::optional<LoggedRequest> RequestLog::bySequence(std::uint64_t sequence) const
{
    std::lock_guard guard(mutex_);
    for (const auto& entry : entries_) {
        if (entry.sequence == sequence)
            return entry;
    }
    return std::nullopt;
}

std::vector<LoggedRequest> RequestLog::withCommand(std::string_view command) const
{
    std::lock_guard guard(mutex_);
    std::vector<LoggedRequest> out;
    for (const auto& entry : entries_) {
        if (entry.command == command)
            out.push_back(entry);
    }
    return out;
}

std::vector<LoggedRequest> RequestLog::withRoute(std::string_view route) const
{
    std::lock_guard guard(mutex_);
    std::vector<LoggedRequest> out;
    for (const auto& entry : entries_) {
        if (entry.route == route)
            out.push_back(entry);
    }
    return out;
}

void RequestLog::clear()
{
    std::lock_guard guard(mutex_);
    entries_.clear();
}

bool RequestLog::waitForCount(std::size_t count, std::chrono::milliseconds timeout, bool answered) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] {
        if (entries_.size() < count)
            return false;
        if (!answered)
            return true;
        std::size_t done = 0;
        for (const auto& entry : entries_)
            done += entry.answered ? 1 : 0;
        return done >= count;
    });
}

bool RequestLog::setFile(const std::string& path)
{
    std::lock_guard guard(mutex_);
    if (!path.empty()) {
        std::ofstream probe(path, std::ios::app);
        if (!probe)
            return false;
    }
    filePath_ = path;
    return true;
}

void RequestLog::writeLineLocked(const LoggedRequest& request)
{
    if (filePath_.empty())
        return;
    auto line = platform::PlatformJson::write(request.toValue(true));
    if (!line)
        return;
    std::ofstream out(filePath_, std::ios::app);
    out << *line << '\n';
}

} // namespace server
