#pragma once

#include "platform/os/Value.h"
#include "server/RequestLog.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace server {

class SchoolData;

inline constexpr const char* kJsonContentType = "application/json; charset=UTF-8";

// What a handler needs of a request.
struct IncomingRequest {
    std::string method;
    std::string route; // below "/mobile2/pull/", slashes collapsed
    bool underPull = true; // false: route is the whole path without its first "/"
    NameValuePairs query;
    platform::Value body; // the parsed JSON body, or null
    bool bodyUnreadable = false; // a body came that is not JSON
    std::string command; // the body's "cmd"
    std::vector<MultipartPart> parts;
    NameValuePairs headers; // as sent, names as written
};

// The reply the data gives, before any scripting bends it.
struct Reply {
    int status = 200;
    std::string contentType = kJsonContentType;
    std::optional<platform::Value> json; // a JSON reply, written later
    std::string body; // any other reply, as bytes
    std::vector<std::pair<std::string, std::string>> headers;
    bool addressBook = false; // json is the whole address book, sent compressed
};

// Answers the client's commands, queries, uploads and file fetches from the
// demo school, through one route table (Responder.cpp) and handlers grouped
// one file per module. Every answer is built under the data lock; nothing here
// throws or aborts on a bad request, which gets an error envelope instead.
class Responder final {
public:
    Responder(SchoolData& data, std::string uploadDirectory);

    Reply answer(const IncomingRequest& request);

    // The "cmd" codes the server answers, with their module paths.
    static const std::vector<std::pair<std::string, std::string>>& commands();
    // The query paths below "webapp/" and the other GET routes the client uses.
    static const std::vector<std::string>& queryRoutes();

private:
    SchoolData& data_;
    std::string uploadDirectory_;
};

} // namespace server
