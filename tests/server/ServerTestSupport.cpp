#include "tests/server/ServerTestSupport.h"

#include "platform/os/FileUtil.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/Url.h"

#include <cstdlib>
#include <zlib.h>

namespace servertest {

using platform::Dictionary;
using platform::Value;

namespace {

    std::unique_ptr<httplib::Client> client(int port, double timeoutSeconds)
    {
        auto c = std::make_unique<httplib::Client>("127.0.0.1", port);
        auto seconds = static_cast<time_t>(timeoutSeconds);
        auto micros = static_cast<time_t>((timeoutSeconds - static_cast<double>(seconds)) * 1e6);
        c->set_connection_timeout(1, 0);
        c->set_read_timeout(seconds, micros);
        c->set_write_timeout(2, 0);
        c->set_url_encode(false);
        c->set_keep_alive(false);
        return c;
    }

    Exchange exchange(httplib::Result result)
    {
        Exchange out;
        out.error = result.error();
        if (result) {
            out.status = result->status;
            out.body = result->body;
            out.headers = result->headers;
        }
        return out;
    }

} // namespace

std::optional<Value> Exchange::json() const { return platform::PlatformJson::read(body); }

Value Exchange::reply() const
{
    auto parsed = json();
    EXPECT_TRUE(parsed.has_value()) << "not JSON: " << body.substr(0, 200);
    return parsed.value_or(Value());
}

std::string Exchange::header(const std::string& name) const
{
    for (const auto& [key, value] : headers) {
        if (strcasecmp(key.c_str(), name.c_str()) == 0)
            return value;
    }
    return {};
}

void StandinTest::SetUp()
{
    dataDir = testsupport::makeTempDir("standin-test");
    ASSERT_FALSE(dataDir.empty());
    startServer();
}

void StandinTest::TearDown()
{
    stopServer();
    platform::FileUtil::remove(dataDir);
}

void StandinTest::startServer(server::ServerOptions options)
{
    options.dataDirectory = dataDir;
    standin = std::make_unique<server::StandinServer>(options);
    platform::Error error;
    ASSERT_TRUE(standin->start(&error)) << error.localizedDescription();
    ASSERT_GT(standin->port(), 0);
}

void StandinTest::stopServer()
{
    if (standin)
        standin->stop();
    standin.reset();
}

Exchange StandinTest::post(const std::string& route, const Value& body, double timeoutSeconds)
{
    auto text = platform::PlatformJson::write(body, platform::PlatformJson::Style::Pretty).value_or("");
    return exchange(
        client(standin->port(), timeoutSeconds)->Post(("/mobile2/pull/" + route).c_str(), text, "application/json"));
}

Dictionary StandinTest::commonFields(long long userId)
{
    Dictionary fields { { "appVersion", "1.0" }, { "sysVersion", "12.0" }, { "platform", "iPhone OS" },
        { "model", "iPhone" } };
    if (userId != 0) {
        fields.set("userId", userId);
        fields.set("userName", "测试");
        fields.set("schoolId", 1001);
        fields.set("accountType", userId < 3000 ? 1 : 2);
        fields.set("areaAbb", "gz");
    }
    return fields;
}

Exchange StandinTest::command(
    const std::string& module, const std::string& cmd, Dictionary fields, long long userId, double timeoutSeconds)
{
    Dictionary body = commonFields(userId);
    if (!cmd.empty())
        body.set("cmd", cmd);
    for (auto& [key, value] : fields)
        body.set(key, value);
    return post("combine/" + module, Value(std::move(body)), timeoutSeconds);
}

Exchange StandinTest::get(const std::string& routeAndQuery, double timeoutSeconds)
{
    return exchange(client(standin->port(), timeoutSeconds)->Get(("/mobile2/pull/" + routeAndQuery).c_str()));
}

Exchange StandinTest::upload(const std::string& route, const std::string& fileName, const std::string& contentType,
    const std::string& content, const std::string& field)
{
    httplib::MultipartFormDataItems items { { field, content, fileName, contentType } };
    return exchange(client(standin->port(), 2.0)->Post(("/mobile2/pull/" + route).c_str(), items));
}

std::string StandinTest::encodeQuery(const std::vector<std::pair<std::string, std::string>>& pairs)
{
    std::string out;
    for (const auto& [name, value] : pairs)
        out += (out.empty() ? "" : "&") + platform::encodeQueryComponent(name) + "="
            + platform::encodeQueryComponent(value);
    return out;
}

std::optional<std::string> StandinTest::inflate(std::string_view data, int windowBits)
{
    z_stream stream {};
    if (inflateInit2(&stream, windowBits) != Z_OK)
        return std::nullopt;
    std::string out;
    char buffer[16384];
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    int result = Z_OK;
    while (result == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        result = ::inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
        if (result == Z_BUF_ERROR && stream.avail_in == 0)
            break; // input ended before the stream did
    }
    inflateEnd(&stream);
    if (result != Z_STREAM_END)
        return std::nullopt;
    return out;
}

} // namespace servertest
