#include "server/ReplyScript.h"

#include "platform/os/Value.h"

#include <algorithm>

namespace server {

namespace {

    ScriptedReply make(ScriptedReply::Kind kind)
    {
        ScriptedReply reply;
        reply.kind = kind;
        return reply;
    }

} // namespace

ScriptedReply ScriptedReply::normal() { return make(Kind::Normal); }

ScriptedReply ScriptedReply::errorEnvelope(std::string message)
{
    auto reply = make(Kind::ErrorEnvelope);
    reply.message = std::move(message);
    return reply;
}

ScriptedReply ScriptedReply::resultStateAsText() { return make(Kind::ResultStateAsText); }
ScriptedReply ScriptedReply::listInsteadOfObject() { return make(Kind::ListInsteadOfObject); }
ScriptedReply ScriptedReply::prettyPrinted() { return make(Kind::PrettyPrinted); }
ScriptedReply ScriptedReply::rawNewlineInString() { return make(Kind::RawNewlineInString); }
ScriptedReply ScriptedReply::invalidJson() { return make(Kind::InvalidJson); }

ScriptedReply ScriptedReply::http500Json()
{
    auto reply = make(Kind::Http500Json);
    reply.status = 500;
    return reply;
}

ScriptedReply ScriptedReply::http500Html()
{
    auto reply = make(Kind::Http500Html);
    reply.status = 500;
    return reply;
}

ScriptedReply ScriptedReply::connectionReset() { return make(Kind::ConnectionReset); }
ScriptedReply ScriptedReply::corruptCompressed() { return make(Kind::CorruptCompressed); }
ScriptedReply ScriptedReply::truncatedCompressed() { return make(Kind::TruncatedCompressed); }
ScriptedReply ScriptedReply::contentEncoded() { return make(Kind::ContentEncoded); }

ScriptedReply ScriptedReply::custom(
    int status, std::string body, std::string contentType, std::vector<std::pair<std::string, std::string>> headers)
{
    auto reply = make(Kind::Custom);
    reply.status = status;
    reply.body = std::move(body);
    reply.contentType = std::move(contentType);
    reply.headers = std::move(headers);
    return reply;
}

ScriptedReply ScriptedReply::delayed(double seconds) const
{
    ScriptedReply copy = *this;
    copy.delaySeconds = seconds > 0 ? seconds : 0;
    return copy;
}

ScriptedReply ScriptedReply::compressedAs(Compression format) const
{
    ScriptedReply copy = *this;
    copy.compression = format;
    return copy;
}

ScriptedReply ScriptedReply::heldBy(std::shared_ptr<ReplyGate> held) const
{
    ScriptedReply copy = *this;
    copy.gate = std::move(held);
    return copy;
}

ScriptedReply ScriptedReply::inPieces(int count, double pauseSeconds) const
{
    ScriptedReply copy = *this;
    copy.pieces = std::max(1, count);
    copy.piecePauseSeconds = pauseSeconds > 0 ? pauseSeconds : 0;
    return copy;
}

std::string ScriptedReply::description() const
{
    static const char* const names[] = { "normal", "errorEnvelope", "resultStateAsText", "listInsteadOfObject",
        "prettyPrinted", "rawNewlineInString", "invalidJson", "http500Json", "http500Html", "connectionReset",
        "corruptCompressed", "truncatedCompressed", "contentEncoded", "custom" };
    std::string text = names[static_cast<int>(kind)];
    if (compression)
        text += *compression == Compression::Gzip ? " gzip" : " zlib";
    if (delaySeconds > 0)
        text += " after " + platform::formatDouble(delaySeconds) + "s";
    if (gate)
        text += " held";
    if (pieces > 1)
        text += " in " + std::to_string(pieces) + " pieces";
    return text;
}

void ReplyScript::enqueue(const ReplyTarget& target, const ScriptedReply& reply, std::size_t times)
{
    std::lock_guard guard(mutex_);
    auto& queue = queues_[target];
    for (std::size_t i = 0; i < times; ++i)
        queue.push_back(reply);
}

std::optional<ScriptedReply> ReplyScript::take(const std::string& command, const std::string& route)
{
    std::lock_guard guard(mutex_);
    auto pop = [&](const ReplyTarget& target) -> std::optional<ScriptedReply> {
        auto found = queues_.find(target);
        if (found == queues_.end() || found->second.empty())
            return std::nullopt;
        ScriptedReply reply = found->second.front();
        found->second.pop_front();
        return reply;
    };
    if (!command.empty()) {
        if (auto reply = pop(ReplyTarget::command(command)))
            return reply;
    }
    // The longest route that is the request's route or one of its parents.
    std::string prefix = route;
    while (!prefix.empty()) {
        if (auto reply = pop(ReplyTarget::route(prefix)))
            return reply;
        auto slash = prefix.rfind('/');
        prefix = slash == std::string::npos ? std::string() : prefix.substr(0, slash);
    }
    return pop(ReplyTarget::any());
}

std::size_t ReplyScript::pending(const ReplyTarget& target) const
{
    std::lock_guard guard(mutex_);
    auto found = queues_.find(target);
    return found == queues_.end() ? 0 : found->second.size();
}

std::size_t ReplyScript::pendingTotal() const
{
    std::lock_guard guard(mutex_);
    std::size_t total = 0;
    for (const auto& [target, queue] : queues_)
        total += queue.size();
    return total;
}

void ReplyScript::clear()
{
    std::lock_guard guard(mutex_);
    queues_.clear();
}

} // namespace server
