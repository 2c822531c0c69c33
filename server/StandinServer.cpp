#include "server/StandinServer.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/StringUtil.h"
#include "platform/os/Url.h"
#include "server/Compression.h"
#include "server/ConnectionReset.h"
#include "server/Responder.h"
#include "server/SchoolData.h"

#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <iterator>
#include <thread>
#include <vector>

namespace server {

using platform::Dictionary;
using platform::Value;

namespace {

    constexpr const char* kPullPrefix = "/mobile2/pull/";
    constexpr const char* kRawLineFeedMarker = "@@RAW-LINE-FEED@@";

    struct FinalReply {
        int status = 200;
        std::string contentType = kJsonContentType;
        std::string body;
        std::vector<std::pair<std::string, std::string>> headers;
        bool reset = false;
    };

    // "/a//b/" → "a/b": the client joins some paths with a doubled slash.
    std::string collapseSlashes(std::string_view path)
    {
        std::string out;
        for (char c : path) {
            if (c == '/' && (out.empty() || out.back() == '/'))
                continue;
            out.push_back(c);
        }
        while (!out.empty() && out.back() == '/')
            out.pop_back();
        return out;
    }

    NameValuePairs parseQuery(std::string_view query)
    {
        NameValuePairs pairs;
        for (const auto& piece : platform::split(query, "&")) {
            if (piece.empty())
                continue;
            auto equals = piece.find('=');
            std::string name = piece.substr(0, equals);
            std::string value = equals == std::string::npos ? std::string() : piece.substr(equals + 1);
            // RFC 3986 decoding: "+" stays "+"; a space comes as "%20".
            pairs.emplace_back(
                platform::percentDecode(name).value_or(name), platform::percentDecode(value).value_or(value));
        }
        return pairs;
    }

    void replaceBase(Value& value, const std::string& base)
    {
        if (const auto* text = value.asString()) {
            if (text->find(SchoolData::kBaseMarker) != std::string::npos)
                value = Value(platform::replaceAll(*text, SchoolData::kBaseMarker, base));
        } else if (auto* array = value.asArray()) {
            for (auto& element : *array)
                replaceBase(element, base);
        } else if (auto* dict = value.asDictionary()) {
            for (auto& [key, element] : *dict)
                replaceBase(element, base);
        }
    }

    std::string writeJson(
        const Value& value, platform::PlatformJson::Style style = platform::PlatformJson::Style::Compact)
    {
        return platform::PlatformJson::write(value, style).value_or("{\"resultState\":0,\"resultMsg\":\"数据错误\"}");
    }

    std::string errorPage()
    {
        return "<!DOCTYPE html><html><head><title>500 Internal Server Error</title></head>"
               "<body><h1>Internal Server Error</h1><p>The server met an unexpected condition.</p></body></html>";
    }

    // Turns the data's reply into what goes on the wire, bent as scripted.
    FinalReply shape(Reply reply, const std::optional<ScriptedReply>& script, Compression defaultCompression,
        const std::string& base)
    {
        if (reply.json)
            replaceBase(*reply.json, base);
        else if (platform::hasPrefix(reply.contentType, "text/"))
            reply.body = platform::replaceAll(reply.body, SchoolData::kBaseMarker, base);

        using Kind = ScriptedReply::Kind;
        Kind kind = script ? script->kind : Kind::Normal;
        Compression compression = script && script->compression ? *script->compression : defaultCompression;
        FinalReply out;
        out.status = reply.status;
        out.contentType = reply.contentType;
        out.headers = reply.headers;

        auto compressed = [&](const std::string& text) {
            out.contentType = "application/octet-stream";
            return compress(text, compression).value_or(std::string());
        };

        switch (kind) {
        case Kind::Normal:
            if (reply.json && reply.addressBook)
                out.body = compressed(writeJson(*reply.json)); // no Content-Encoding: the client inflates it itself
            else
                out.body = reply.json ? writeJson(*reply.json) : reply.body;
            break;
        case Kind::ErrorEnvelope:
            out = {};
            out.body = writeJson(Value(Dictionary { { "resultState", 0 }, { "resultMsg", script->message } }));
            break;
        case Kind::ResultStateAsText:
            if (reply.json && reply.json->isDictionary() && reply.json->asDictionary()->contains("resultState")) {
                auto* dict = reply.json->asDictionary();
                dict->set("resultState", std::to_string(dict->get("resultState").intValue()));
            }
            out.body = reply.json ? writeJson(*reply.json) : reply.body;
            if (reply.addressBook)
                out.body = compressed(out.body);
            break;
        case Kind::ListInsteadOfObject: {
            Value list = reply.json ? *reply.json : Value(platform::Array {});
            if (list.isDictionary())
                list = list["items"].isArray() ? list["items"] : Value(platform::Array { list });
            out.contentType = kJsonContentType;
            out.body = writeJson(list);
            break;
        }
        case Kind::PrettyPrinted:
            out.contentType = kJsonContentType;
            out.body = reply.json ? writeJson(*reply.json, platform::PlatformJson::Style::Pretty) : reply.body;
            break;
        case Kind::RawNewlineInString: {
            Value value = reply.json ? *reply.json : Value(Dictionary {});
            if (auto* dict = value.asDictionary()) {
                std::string first = dict->get("resultMsg").stringValue();
                dict->set("resultMsg", (first.empty() ? std::string("第一行") : first) + kRawLineFeedMarker + "第二行");
            }
            out.contentType = kJsonContentType;
            out.body = platform::replaceAll(writeJson(value), kRawLineFeedMarker, "\n");
            break;
        }
        case Kind::InvalidJson: {
            std::string text = reply.json ? writeJson(*reply.json) : reply.body;
            out.contentType = kJsonContentType;
            out.body = text.substr(0, std::max<std::size_t>(1, text.size() / 2));
            break;
        }
        case Kind::Http500Json:
            out = {};
            out.status = 500;
            out.body = writeJson(Value(Dictionary { { "resultState", 0 }, { "resultMsg", "服务器内部错误" } }));
            break;
        case Kind::Http500Html:
            out = {};
            out.status = 500;
            out.contentType = "text/html; charset=UTF-8";
            out.body = errorPage();
            break;
        case Kind::ConnectionReset:
            out = {};
            out.reset = true;
            break;
        case Kind::CorruptCompressed: {
            std::string packed = compressed(reply.json ? writeJson(*reply.json) : reply.body);
            // A first deflate block of type 3 does not exist: inflating fails at once.
            for (std::size_t i = compressedHeaderLength(compression);
                 i < packed.size() && i < compressedHeaderLength(compression) + 4; ++i)
                packed[i] = static_cast<char>(0xff);
            out.body = std::move(packed);
            break;
        }
        case Kind::TruncatedCompressed: {
            std::string packed = compressed(reply.json ? writeJson(*reply.json) : reply.body);
            out.body = packed.substr(0, packed.size() / 2);
            break;
        }
        case Kind::ContentEncoded:
            out.body = compressed(reply.json ? writeJson(*reply.json) : reply.body);
            out.headers.emplace_back("Content-Encoding", compression == Compression::Gzip ? "gzip" : "deflate");
            break;
        case Kind::Custom:
            out = {};
            out.status = script->status;
            out.contentType = script->contentType;
            out.body = script->body;
            out.headers = script->headers;
            break;
        }
        return out;
    }

    // Scripted replies that replace the data's answer: the data is not asked,
    // so a poll answered with an error does not swallow the messages it would have carried.
    bool replacesAnswer(const std::optional<ScriptedReply>& script)
    {
        if (!script)
            return false;
        using Kind = ScriptedReply::Kind;
        switch (script->kind) {
        case Kind::ErrorEnvelope:
        case Kind::Http500Json:
        case Kind::Http500Html:
        case Kind::ConnectionReset:
        case Kind::Custom:
            return true;
        default:
            return false;
        }
    }

} // namespace

struct StandinServer::Impl {
    explicit Impl(ServerOptions o)
        : options(std::move(o))
        , compression(options.addressBookCompression)
    {
    }

    void handle(const httplib::Request& req, httplib::Response& res);
    // Waits for the delay or for stop(), whichever comes first; answers the time waited.
    double pause(double seconds);

    ServerOptions options;
    std::unique_ptr<SchoolData> data;
    std::unique_ptr<Responder> responder;
    httplib::Server http;
    std::thread thread;
    RequestLog log;
    ReplyScript script;
    std::atomic<int> port { 0 };
    std::atomic<Compression> compression;
    std::atomic<bool> running { false };
    bool started = false;
    std::mutex stopMutex;
    std::condition_variable stopSignal;
    bool stopping = false;
    // The gates of replies being held, woken when the server stops.
    std::atomic<bool> releaseGates { false };
    std::mutex gatesMutex;
    std::vector<std::shared_ptr<ReplyGate>> heldGates;
    std::thread deliveryTimer;
    std::atomic<int> timedDeliveries { 0 };
};

double StandinServer::Impl::pause(double seconds)
{
    auto begun = std::chrono::steady_clock::now();
    std::unique_lock lock(stopMutex);
    stopSignal.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return stopping; });
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
}

void StandinServer::Impl::handle(const httplib::Request& req, httplib::Response& res)
{
    LoggedRequest logged;
    logged.method = req.method;
    logged.path = req.path;
    logged.target = req.target;
    if (auto mark = req.target.find('?'); mark != std::string::npos) {
        logged.queryString = req.target.substr(mark + 1);
        if (auto hash = logged.queryString.find('#'); hash != std::string::npos)
            logged.queryString.resize(hash);
    }
    logged.query = parseQuery(logged.queryString);
    for (const auto& [name, value] : req.headers) {
        // The library adds the connection's addresses as pseudo headers.
        if (name == "REMOTE_ADDR" || name == "REMOTE_PORT" || name == "LOCAL_ADDR" || name == "LOCAL_PORT")
            continue;
        logged.headers.emplace_back(name, value);
    }
    logged.body = req.body;
    for (const auto& [name, file] : req.files)
        logged.parts.push_back({ file.name, file.filename, file.content_type, file.content.size(), file.content });

    IncomingRequest incoming;
    incoming.method = req.method;
    bool underPull = platform::hasPrefix(req.path, kPullPrefix);
    incoming.underPull = underPull;
    incoming.route = collapseSlashes(
        underPull ? std::string_view(req.path).substr(std::strlen(kPullPrefix)) : std::string_view(req.path));
    logged.route = underPull ? incoming.route : std::string();
    incoming.query = logged.query;
    if (!req.body.empty() && !req.is_multipart_form_data()) {
        if (auto parsed = platform::PlatformJson::read(req.body)) {
            logged.json = *parsed;
            incoming.body = *parsed;
            const Value& cmd = (*parsed)["cmd"];
            if (cmd.isString() || cmd.isNumber())
                logged.command = cmd.stringValue();
        } else {
            incoming.bodyUnreadable = true;
        }
    }
    incoming.command = logged.command;
    incoming.parts = logged.parts;
    incoming.headers = logged.headers;

    std::uint64_t sequence = log.append(logged);
    auto scripted = script.take(logged.command, incoming.route);

    Reply reply;
    if (!replacesAnswer(scripted)) {
        try {
            reply = responder->answer(incoming);
        } catch (const std::exception& e) {
            platform::log("standin: answering %s failed: %s\n", req.path.c_str(), e.what());
            reply = Reply {};
            reply.status = 500;
            reply.json = Value(Dictionary { { "resultState", 0 }, { "resultMsg", "服务器内部错误" } });
        }
    }
    std::string host = req.get_header_value("Host");
    if (host.empty())
        host = options.host + ":" + std::to_string(port.load());
    FinalReply final = shape(std::move(reply), scripted, compression.load(), "http://" + host + kPullPrefix);

    double delay = scripted && scripted->delaySeconds > 0 ? pause(scripted->delaySeconds) : 0;
    if (scripted && scripted->gate) {
        {
            std::lock_guard guard(gatesMutex);
            heldGates.push_back(scripted->gate);
        }
        scripted->gate->pass(releaseGates);
        std::lock_guard guard(gatesMutex);
        heldGates.erase(std::find(heldGates.begin(), heldGates.end(), scripted->gate));
    }

    // Recorded before the reply leaves (or the connection drops), so a test
    // that has seen the outcome also sees it in the log.
    log.update(sequence, [&](LoggedRequest& entry) {
        entry.status = final.reset ? 0 : final.status;
        entry.reset = final.reset;
        entry.delaySeconds = delay;
        entry.scripted = scripted ? scripted->description() : std::string();
        entry.answered = true;
    });
    if (final.reset) {
        if (!resetConnection(req.remote_addr, req.remote_port, req.local_port))
            platform::log("standin: no connection to reset for %s:%d\n", req.remote_addr.c_str(), req.remote_port);
        // Whatever the library writes now goes to /dev/null.
        res.status = 500;
        res.set_header("Connection", "close");
        return;
    }
    res.status = final.status;
    for (const auto& [name, value] : final.headers)
        res.set_header(name, value);
    if (!scripted || scripted->pieces <= 1 || final.body.size() < 2) {
        res.set_content(final.body, final.contentType);
        return;
    }
    // One piece per call; the library calls again from where the last ended.
    const std::size_t size = final.body.size();
    const std::size_t piece = (size + std::size_t(scripted->pieces) - 1) / std::size_t(scripted->pieces);
    res.set_content_provider(size, final.contentType,
        [this, body = std::move(final.body), piece, pauseSeconds = scripted->piecePauseSeconds](
            std::size_t offset, std::size_t, httplib::DataSink& sink) {
            if (offset > 0 && pauseSeconds > 0)
                pause(pauseSeconds);
            return sink.write(body.data() + offset, std::min(piece, body.size() - offset));
        });
}

StandinServer::StandinServer(ServerOptions options)
    : impl_(std::make_unique<Impl>(std::move(options)))
{
}

StandinServer::~StandinServer() { stop(); }

bool StandinServer::seed(const std::string& dataDirectory, platform::Error* error)
{
    return SchoolData::open(platform::FileUtil::joinPath(dataDirectory, kDataFileName), error) != nullptr;
}

bool StandinServer::start(platform::Error* error)
{
    Impl& d = *impl_;
    if (d.started) {
        platform::setError(
            error, platform::Error::withDescription("StandinServerErrorDomain", 2, "the server was started before"));
        return false;
    }
    d.started = true;
    if (d.options.dataDirectory.empty()) {
        platform::setError(
            error, platform::Error::withDescription("StandinServerErrorDomain", 3, "no data folder given"));
        return false;
    }
    d.data = SchoolData::open(dataFilePath(), error);
    if (!d.data)
        return false;
    if (!platform::FileUtil::createDirectory(uploadDirectory(), error))
        return false;
    d.responder = std::make_unique<Responder>(*d.data, uploadDirectory());
    if (!d.log.setFile(d.options.logFile)) {
        platform::setError(error,
            platform::Error::withDescription(
                "StandinServerErrorDomain", 4, "cannot write the log file " + d.options.logFile));
        return false;
    }

    std::signal(SIGPIPE, SIG_IGN);
    int threads = std::max(2, d.options.workerThreads);
    d.http.new_task_queue = [threads] { return new httplib::ThreadPool(static_cast<size_t>(threads)); };
    d.http.set_keep_alive_timeout(std::max(1, d.options.keepAliveSeconds));
    d.http.set_read_timeout(5, 0);
    d.http.set_write_timeout(5, 0);
    d.http.set_payload_max_length(64 * 1024 * 1024);
    // Address reuse only: with port sharing a second server could bind the
    // same port and take half the requests instead of reporting it busy.
    d.http.set_socket_options([](int sock) {
        int yes = 1;
        setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    });
    auto handler = [&d](const httplib::Request& req, httplib::Response& res) { d.handle(req, res); };
    d.http.Get(".*", handler);
    d.http.Post(".*", handler);
    d.http.Put(".*", handler);
    d.http.Patch(".*", handler);
    d.http.Delete(".*", handler);
    d.http.Options(".*", handler);
    d.http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr) {
        res.status = 500;
        res.set_content("{\"resultState\":0,\"resultMsg\":\"服务器内部错误\"}", kJsonContentType);
    });

    int bound = -1;
    if (d.options.port == 0)
        bound = d.http.bind_to_any_port(d.options.host);
    else if (d.http.bind_to_port(d.options.host, d.options.port))
        bound = d.options.port;
    if (bound <= 0) {
        platform::setError(error,
            platform::Error::withDescription("StandinServerErrorDomain", 5,
                "cannot listen on " + d.options.host + ":" + std::to_string(d.options.port)));
        return false;
    }
    d.port = bound;
    d.thread = std::thread([&d] { d.http.listen_after_bind(); });
    // stop() only takes effect once the accept loop runs, so wait for it.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (!d.http.is_running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (!d.http.is_running()) {
        platform::setError(
            error, platform::Error::withDescription("StandinServerErrorDomain", 6, "the server did not start"));
        d.http.stop();
        if (d.thread.joinable())
            d.thread.join();
        return false;
    }
    d.running = true;
    if (d.options.deliverEverySeconds > 0) {
        d.deliveryTimer = std::thread([this, &d] {
            static const char* const lines[] = {
                "李老师您好，孩子今天的作业已经完成了。",
                "李老师，明天的家长会几点开始？",
                "谢谢老师的关心，孩子最近进步很大。",
                "老师好，孩子今天有点感冒，麻烦多照看一下。",
            };
            for (int n = 0;; ++n) {
                d.pause(d.options.deliverEverySeconds);
                {
                    std::lock_guard guard(d.stopMutex);
                    if (d.stopping)
                        return;
                }
                platform::Error failure;
                if (deliverMessage(kDemoTeacherId, kDemoParentId, lines[n % std::size(lines)], &failure).empty())
                    platform::log("standin: timed delivery failed: %s\n", failure.localizedDescription().c_str());
                else
                    ++d.timedDeliveries;
            }
        });
    }
    return true;
}

void StandinServer::stop()
{
    Impl& d = *impl_;
    {
        std::lock_guard guard(d.stopMutex);
        d.stopping = true;
    }
    d.stopSignal.notify_all();
    d.releaseGates = true;
    {
        std::lock_guard guard(d.gatesMutex);
        for (const auto& gate : d.heldGates)
            gate->wake();
    }
    if (d.deliveryTimer.joinable())
        d.deliveryTimer.join();
    if (d.thread.joinable()) {
        // start() waited for the accept loop to run, so this stop is not lost.
        d.http.stop();
        d.thread.join();
    }
    d.running = false;
}

bool StandinServer::isRunning() const { return impl_->running && impl_->http.is_running(); }

int StandinServer::port() const { return impl_->port.load(); }

std::string StandinServer::baseUrl() const
{
    return "http://" + impl_->options.host + ":" + std::to_string(port()) + "/";
}

std::string StandinServer::dataFilePath() const
{
    return platform::FileUtil::joinPath(impl_->options.dataDirectory, kDataFileName);
}

std::string StandinServer::uploadDirectory() const
{
    return platform::FileUtil::joinPath(impl_->options.dataDirectory, kUploadFolderName);
}

RequestLog& StandinServer::requests() { return impl_->log; }

ReplyScript& StandinServer::script() { return impl_->script; }

void StandinServer::setAddressBookCompression(Compression compression) { impl_->compression = compression; }

std::string StandinServer::deliverMessage(
    long long toUserId, long long fromUserId, const std::string& text, platform::Error* error)
{
    Impl& d = *impl_;
    auto fail = [&](int code, const std::string& why) {
        platform::setError(error, platform::Error::withDescription("StandinServerErrorDomain", code, why));
        return std::string();
    };
    if (!d.data)
        return fail(7, "the server has not opened its data");
    SchoolData& data = *d.data;
    auto held = data.lock();
    if (data.scalar("SELECT COUNT(*) FROM account WHERE user_id = ?", { toUserId }).intValue() == 0)
        return fail(8, "no account " + std::to_string(toUserId) + " to deliver to");
    // The poll joins each message with its sender's person row.
    if (data.scalar("SELECT COUNT(*) FROM person WHERE person_id = ?", { fromUserId }).intValue() == 0)
        return fail(9, "no sender " + std::to_string(fromUserId));
    std::string msgId;
    bool stored = data.transaction([&] {
        // The same counter the handlers draw message ids from.
        auto next = data.scalar("SELECT value FROM meta WHERE key = 'next_M'");
        long long n = next.isNull() ? 2001 : platform::leadingIntegerOf(next.stringValue());
        if (!data.exec("INSERT OR REPLACE INTO meta VALUES ('next_M', ?)", { std::to_string(n + 1) }))
            return false;
        msgId = "M" + std::to_string(n);
        return data.exec("INSERT INTO message VALUES (?, ?, ?, ?, '[]', '[]', ?, 0, NULL, 0, 0, 0)",
            { msgId, fromUserId, toUserId, text, SchoolData::timeText() });
    });
    if (!stored)
        return fail(10, "the message could not be stored");
    return msgId;
}

int StandinServer::timedDeliveries() const { return impl_->timedDeliveries.load(); }

} // namespace server
