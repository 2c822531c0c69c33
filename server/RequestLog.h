#pragma once

#include "platform/os/Value.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace server {

using NameValuePairs = std::vector<std::pair<std::string, std::string>>;

// One part of a multipart body as it arrived.
struct MultipartPart {
    std::string name;
    std::string fileName;
    std::string contentType;
    std::size_t size = 0;
    std::string content;
};

// One request as the server received it, with what it answered.
struct LoggedRequest {
    std::uint64_t sequence = 0; // 1, 2, ... in arrival order
    std::string method;
    std::string path; // as received, percent escapes decoded, without the query
    std::string target; // as received: raw path plus "?query"
    std::string route; // path below "/mobile2/pull/", slashes collapsed ("" outside it)
    std::string queryString; // raw, without "?"
    NameValuePairs query; // decoded name/value pairs in the order sent
    NameValuePairs headers; // names as sent; grouped by name, repeats kept in order
    std::string body; // raw body (empty for multipart bodies: see parts)
    std::optional<platform::Value> json; // the body parsed as JSON, when it parses
    std::string command; // the body's "cmd", as text; empty when absent
    std::vector<MultipartPart> parts;

    // What the server did.
    int status = 0; // HTTP status sent; 0 while pending or when the connection was reset
    bool reset = false; // the connection was dropped without a reply
    double delaySeconds = 0; // time spent in a scripted delay before the reply
    std::string scripted; // description of the scripted reply used, empty for the normal one
    bool answered = false; // the handler has finished with the request

    // First value of a query parameter, nullopt when absent.
    std::optional<std::string> queryValue(std::string_view name) const;
    // First value of a header (case-insensitive), nullopt when absent.
    std::optional<std::string> header(std::string_view name) const;
    // The parsed JSON body's value for a key, or the null value.
    const platform::Value& bodyValue(std::string_view key) const;
    const MultipartPart* part(std::string_view name) const;

    // The record as one JSON-ready value. maskPasswords replaces password
    // fields of the body ("psw", "oldPsw", "newPsw") with "***" in both the
    // parsed and the raw body, for files that outlive the test.
    platform::Value toValue(bool maskPasswords) const;
};

// Every request in arrival order, shared between the server's worker threads
// and the test thread. Readers get copies.
class RequestLog final {
public:
    RequestLog() = default;
    RequestLog(const RequestLog&) = delete;
    RequestLog& operator=(const RequestLog&) = delete;

    // Appends and returns the sequence number given to the request.
    std::uint64_t append(LoggedRequest request);
    // Applies a change to the logged request with that sequence number.
    void update(std::uint64_t sequence, const std::function<void(LoggedRequest&)>& change);

    std::vector<LoggedRequest> all() const;
    std::size_t size() const;
    std::optional<LoggedRequest> last() const;
    std::optional<LoggedRequest> bySequence(std::uint64_t sequence) const;
    std::vector<LoggedRequest> withCommand(std::string_view command) const;
    std::vector<LoggedRequest> withRoute(std::string_view route) const;
    void clear();

    // Waits until at least count requests have arrived (and, when answered is
    // set, until the handler finished each of them), at most timeout.
    bool waitForCount(std::size_t count, std::chrono::milliseconds timeout, bool answered = false) const;

    // Also writes each finished request as one JSON line to this file
    // (appending). Passwords are masked there. Empty path: no file.
    bool setFile(const std::string& path);

private:
    void writeLineLocked(const LoggedRequest& request);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<LoggedRequest> entries_;
    std::uint64_t nextSequence_ = 1;
    std::string filePath_;
};

} // namespace server
