#pragma once

#include "platform/os/Value.h"
#include "server/StandinServer.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace servertest {

// One exchange as the test client saw it.
struct Exchange {
    httplib::Error error = httplib::Error::Unknown;
    int status = 0;
    std::string body;
    httplib::Headers headers;

    bool answered() const { return error == httplib::Error::Success; }
    std::optional<platform::Value> json() const;
    // The JSON body, or a failed expectation and the null value.
    platform::Value reply() const;
    std::string header(const std::string& name) const;
};

// A fresh data folder and a server on an ephemeral port for each test.
class StandinTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts a server on the test's data folder (again, after stopServer, to restart).
    void startServer(server::ServerOptions options = {});
    void stopServer();

    // POST of a JSON body to "mobile2/pull/" + route.
    Exchange post(const std::string& route, const platform::Value& body, double timeoutSeconds = 2.0);
    // A command with the client's common fields for the account (none for 0).
    Exchange command(const std::string& module, const std::string& cmd, platform::Dictionary fields = {},
        long long userId = 2001, double timeoutSeconds = 2.0);
    // GET of "mobile2/pull/" + route, the query sent exactly as given. The
    // server draws its pictures when first asked, which takes seconds under
    // the thread sanitizer on a loaded machine.
    Exchange get(const std::string& routeAndQuery, double timeoutSeconds = 10.0);
    Exchange upload(const std::string& route, const std::string& fileName, const std::string& contentType,
        const std::string& content, const std::string& field = "file");

    // name=value pairs with each part percent-encoded as a query component.
    static std::string encodeQuery(const std::vector<std::pair<std::string, std::string>>& pairs);
    // zlib's inflate with the given window bits (47 accepts gzip and zlib); nothing unless the stream ends cleanly.
    static std::optional<std::string> inflate(std::string_view data, int windowBits = 47);
    static platform::Dictionary commonFields(long long userId);

    std::string dataDir;
    std::unique_ptr<server::StandinServer> standin;
};

} // namespace servertest
