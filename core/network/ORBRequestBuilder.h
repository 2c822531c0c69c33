#pragma once

#include "core/network/ORBRequestTable.h"
#include "core/session/AccountInfo.h"
#include "platform/os/Value.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace core {

// Turns a request type and a screen's parameters into what the platform
// server expects, from the request table (ORBRequestTable): for a command,
// the module address and the JSON body with the client and account fields,
// "cmd" and the type's own keys; for a query, the "webapp/" address with its
// parameters in the server's order.
class ORBRequestBuilder final {
public:
    ORBRequestBuilder() = delete;

    struct Command {
        std::string address;
        platform::Dictionary body;
    };
    // Any number that names no command (the query types, 13, anything out of
    // range) posts the common fields alone to "combine/sys" without "cmd".
    static Command commandForType(int type, const platform::Value& params);

    // The query path below the pull prefix ("webapp/..."), or nothing for a
    // type that is not a query.
    static std::optional<std::string> queryPathForType(int type);
    // The query parameters of a query type, in the order the server reads
    // them, as texts not yet encoded.
    static ORBQueryPairs queryParametersForType(int type, const platform::Value& params, const AccountInfo& account);
    // name=value pairs joined by "&", each name and value percent-encoded as
    // a query component (only RFC 3986 unreserved characters stay as they
    // are), so "&", "=", "+", "#" or spaces in a value never change the query.
    static std::string joinQuery(const ORBQueryPairs& pairs);
    // base + "mobile2/pull/" + path + "?" + name=value pairs joined by "&".
    // Each name and value is percent-encoded on its own, so a value holding
    // "&", "=", "+", "#" or spaces reaches the server as it was written.
    // Nothing for a type that is not a query.
    static std::optional<std::string> queryAddressForType(
        int type, const platform::Value& params, const AccountInfo& account);

    // A copy of a body fit for the console: password fields ("psw", "oldPsw",
    // "newPsw") are masked.
    static platform::Dictionary maskedForLog(const platform::Dictionary& body);
    // Whether a password field holds bytes that are not valid UTF-8, which no
    // JSON text can carry.
    static bool hasUnsendablePassword(const platform::Dictionary& body);
    static const std::vector<std::string>& passwordKeys();
};

} // namespace core
