#pragma once

#include "platform/os/Value.h"
#include "server/ReplyGate.h"

#include <cstddef>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace server {

// How the whole address book and the corrupt-body knobs are compressed.
enum class Compression { Gzip, Zlib };

// One scripted answer, replacing or bending the reply the server would give.
// Build with the factories, then chain delayed() or compressedAs() as needed.
struct ScriptedReply {
    enum class Kind {
        Normal, // the reply the data gives (useful with a delay)
        ErrorEnvelope, // {"resultState":0,"resultMsg":message}
        ResultStateAsText, // the normal reply with "resultState" as the text "1"
        ListInsteadOfObject, // the normal reply's "items" (or [reply]) at the top level
        PrettyPrinted, // the normal reply indented, with line breaks between tokens
        RawNewlineInString, // the normal reply with a raw line feed inside "resultMsg"
        InvalidJson, // the first half of the normal reply's text
        Http500Json, // status 500 with a JSON error envelope
        Http500Html, // status 500 with an HTML page
        ConnectionReset, // no reply: the connection is reset
        CorruptCompressed, // the compressed reply with its first deflate block broken
        TruncatedCompressed, // the first half of the compressed reply
        ContentEncoded, // the compressed reply labelled with Content-Encoding (HTTP inflates it)
        Custom, // status, body, content type and headers as given
    };

    Kind kind = Kind::Normal;
    std::string message;
    int status = 200;
    std::string body;
    std::string contentType;
    std::vector<std::pair<std::string, std::string>> headers;
    double delaySeconds = 0;
    std::optional<Compression> compression; // for the address book and the compressed kinds
    std::shared_ptr<ReplyGate> gate; // held until the gate opens (after any delay)
    int pieces = 1; // the body goes out in this many writes ...
    double piecePauseSeconds = 0; // ... this far apart

    static ScriptedReply normal();
    static ScriptedReply errorEnvelope(std::string message);
    static ScriptedReply resultStateAsText();
    static ScriptedReply listInsteadOfObject();
    static ScriptedReply prettyPrinted();
    static ScriptedReply rawNewlineInString();
    static ScriptedReply invalidJson();
    static ScriptedReply http500Json();
    static ScriptedReply http500Html();
    static ScriptedReply connectionReset();
    static ScriptedReply corruptCompressed();
    static ScriptedReply truncatedCompressed();
    static ScriptedReply contentEncoded();
    static ScriptedReply custom(int status, std::string body,
        std::string contentType = "application/json; charset=UTF-8",
        std::vector<std::pair<std::string, std::string>> headers = {});

    // Waits this long before answering (or resetting). A stopping server cuts the wait short.
    ScriptedReply delayed(double seconds) const;
    ScriptedReply compressedAs(Compression compression) const;
    // Answers only once the gate is open. A stopping server lets it through.
    ScriptedReply heldBy(std::shared_ptr<ReplyGate> gate) const;
    // Sends the body in this many pieces with a pause between them, as a
    // slow network would hand it over. A stopping server cuts the pauses short.
    ScriptedReply inPieces(int count, double pauseSeconds) const;

    // A short text for the request log ("errorEnvelope", "delay 2.5s", ...).
    std::string description() const;
};

// Which requests a scripted reply waits for.
struct ReplyTarget {
    enum class Kind { Command, Route, Any };
    Kind kind = Kind::Any;
    std::string value;

    // A POST whose body carries this "cmd".
    static ReplyTarget command(std::string cmd) { return { Kind::Command, std::move(cmd) }; }
    // A request whose route (the path below "/mobile2/pull/", e.g. "webapp/jxq/weibo",
    // "combine/sys", "upload/msgpic") is this one or lies below it.
    static ReplyTarget route(std::string route) { return { Kind::Route, std::move(route) }; }
    static ReplyTarget any() { return { Kind::Any, {} }; }

    bool operator<(const ReplyTarget& other) const
    {
        return std::pair(kind, value) < std::pair(other.kind, other.value);
    }
};

// Queues of scripted replies, each used once, in the order queued. A request
// takes from its command's queue first, then from the longest matching route
// queue, then from the queue for any request.
class ReplyScript final {
public:
    ReplyScript() = default;
    ReplyScript(const ReplyScript&) = delete;
    ReplyScript& operator=(const ReplyScript&) = delete;

    void enqueue(const ReplyTarget& target, const ScriptedReply& reply, std::size_t times = 1);
    // Convenience forms.
    void forCommand(const std::string& cmd, const ScriptedReply& reply, std::size_t times = 1)
    {
        enqueue(ReplyTarget::command(cmd), reply, times);
    }
    void forRoute(const std::string& route, const ScriptedReply& reply, std::size_t times = 1)
    {
        enqueue(ReplyTarget::route(route), reply, times);
    }

    // Removes and returns the reply for a request, if one waits.
    std::optional<ScriptedReply> take(const std::string& command, const std::string& route);

    std::size_t pending(const ReplyTarget& target) const;
    std::size_t pendingTotal() const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::map<ReplyTarget, std::deque<ScriptedReply>> queues_;
};

} // namespace server
