#include "foundation/http/HTTPRequest.h"
#include "foundation/http/HTTPResponseRules.h"
#include "tests/foundation/http/TestUtil.h"

#include <gtest/gtest.h>

using foundation::HTTPRequest;
namespace http_rules = foundation::http_rules;

using namespace http_test;
using http_rules::keepAliveLifetime;
using http_rules::parseContentLength;

TEST(ResponseRules, ContentLengthIsPlainDecimal)
{
    EXPECT_EQ(parseContentLength("1234"), 1234u);
    EXPECT_EQ(parseContentLength(" 010 "), 10u);
    EXPECT_EQ(parseContentLength("18446744073709551615"), 18446744073709551615ull);
    for (const char* bad : { "0x10", "", "12a", "-1", "+5", "18446744073709551616", "1 2" })
        EXPECT_FALSE(parseContentLength(bad)) << bad;
}

TEST(ResponseRules, KeepAliveDecisionTable)
{
    using std::nullopt;
    using std::string;
    EXPECT_EQ(keepAliveLifetime("HTTP/1.1", nullopt, nullopt, 60), 60.0);
    EXPECT_EQ(keepAliveLifetime("HTTP/1.1", string("Keep-Alive"), string("timeout=15, max=100"), 60), 15.0);
    EXPECT_FALSE(keepAliveLifetime("HTTP/1.1", nullopt, string("timeout=15, max=5"), 60));
    EXPECT_FALSE(keepAliveLifetime("HTTP/1.1", nullopt, string("timeout=15"), 60));
    EXPECT_EQ(keepAliveLifetime("HTTP/1.1", nullopt, string("  timeout=3, max=6"), 60), 3.0);
    EXPECT_FALSE(keepAliveLifetime("HTTP/1.1", string("close"), nullopt, 60));
    EXPECT_FALSE(keepAliveLifetime("HTTP/1.1", string("Close"), string("timeout=5, max=100"), 60));
    EXPECT_FALSE(keepAliveLifetime("HTTP/1.0", nullopt, nullopt, 60));
    EXPECT_EQ(keepAliveLifetime("HTTP/1.0", string("keep-alive"), nullopt, 60), 60.0);
}

TEST(ResponseRules, ContentTypeCharsets)
{
    struct Case {
        const char* text;
        const char* mime;
        platform::StringEncoding encoding;
    };
    const Case cases[] = {
        { "text/html; charset=utf-8", "text/html", platform::kUTF8StringEncoding },
        { " application/json ;charset=\"UTF-8\" ", "application/json", platform::kUTF8StringEncoding },
        { "text/plain; format=flowed; Charset = gbk ", "text/plain", platform::kGBKStringEncoding },
        { "text/plain; charset=no-such-thing", "text/plain", 0 },
        { " text/xml ", "text/xml", 0 },
    };
    for (const auto& c : cases) {
        std::string mime;
        platform::StringEncoding encoding = 0;
        HTTPRequest::parseMimeType(&mime, &encoding, std::string(c.text));
        EXPECT_EQ(mime, c.mime) << c.text;
        EXPECT_EQ(encoding, c.encoding) << c.text;
    }
}

TEST(ResponseRules, Base64MatchesTheTool)
{
    TempDir dir;
    for (std::size_t size : { 0u, 1u, 2u, 3u, 4u, 5u, 1000u }) {
        platform::Bytes data = sampleBytes(size, static_cast<unsigned>(size));
        writeFile(dir.file("in"), data);
        std::string tool = runCommand("base64 -w0 '" + dir.file("in") + "'");
        EXPECT_EQ(HTTPRequest::base64forData(data), tool) << size;
    }
}

TEST(ResponseRules, HttpDates)
{
    auto full = HTTPRequest::dateFromRFC1123String("Sun, 06 Nov 1994 08:49:37 GMT");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->seconds, 784111777.0);
    auto bare = HTTPRequest::dateFromRFC1123String("06 Nov 1994 08:49 GMT");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->seconds, 784111740.0);
    EXPECT_FALSE(HTTPRequest::dateFromRFC1123String("yesterday"));
}
