#include "platform/net/HttpMessage.h"

#include <gtest/gtest.h>

#include <string>

using platform::HttpHeaders;
using platform::HttpMessage;
using platform::HttpVersion;
using platform::Url;

namespace {

Url url(const char* text)
{
    auto parsed = Url::parse(text);
    EXPECT_TRUE(parsed) << text;
    return parsed.value_or(Url());
}

TEST(HttpMessageTest, RequestCarriesMethodTargetAndVersion)
{
    auto get = HttpMessage::createRequest("GET", url("http://example.com:8080/a/b?x=1&y=2#frag"));
    ASSERT_TRUE(get);
    EXPECT_TRUE(get->isRequest());
    EXPECT_EQ(get->requestMethod(), "GET");
    EXPECT_EQ(get->version(), "HTTP/1.1");
    EXPECT_EQ(get->requestLine(), "GET /a/b?x=1&y=2 HTTP/1.1");
    EXPECT_EQ(get->requestUrl().host(), "example.com");

    auto old = HttpMessage::createRequest("PROPFIND", url("https://example.com"), HttpVersion::Http10);
    ASSERT_TRUE(old);
    EXPECT_EQ(old->requestLine(), "PROPFIND / HTTP/1.0");
}

TEST(HttpMessageTest, RequestRefusesUnusableUrlsAndMethods)
{
    EXPECT_FALSE(HttpMessage::createRequest("GET", url("ftp://example.com/file")));
    EXPECT_FALSE(HttpMessage::createRequest("GET", url("/relative/path")));
    EXPECT_FALSE(HttpMessage::createRequest("GET", url("mailto:someone@example.com")));
    EXPECT_FALSE(HttpMessage::createRequest("", url("http://example.com/")));
    EXPECT_FALSE(HttpMessage::createRequest("GE T", url("http://example.com/")));
    EXPECT_FALSE(HttpMessage::createRequest("GET\r\nX-Evil: 1", url("http://example.com/")));
    EXPECT_TRUE(HttpMessage::createRequest("HTTP", url("HTTP://EXAMPLE.com/")));
}

TEST(HttpMessageTest, HeadersKeepTheirOrderAndSetReplacesInPlace)
{
    HttpHeaders headers;
    ASSERT_TRUE(headers.set("Content-Length", "10"));
    ASSERT_TRUE(headers.set("User-Agent", "Orb 1.0"));
    ASSERT_TRUE(headers.set("Accept-Encoding", "gzip"));
    // A later Range (a time-out retry) replaces nothing and goes last; a
    // changed length keeps its place.
    ASSERT_TRUE(headers.set("Range", "bytes=100-"));
    ASSERT_TRUE(headers.set("content-length", "12"));

    std::vector<HttpHeaders::Field> expected {
        { "content-length", "12" },
        { "User-Agent", "Orb 1.0" },
        { "Accept-Encoding", "gzip" },
        { "Range", "bytes=100-" },
    };
    EXPECT_EQ(headers.fields(), expected);
    EXPECT_EQ(headers.get("CONTENT-LENGTH"), "12");
    EXPECT_FALSE(headers.get("Cookie"));
}

TEST(HttpMessageTest, HeaderInjectionIsRefused)
{
    HttpHeaders headers;
    ASSERT_TRUE(headers.set("X-Ok", "fine"));
    const std::string nul("a\0b", 3);
    for (const std::string& value :
        { std::string("a\r\nX-Evil: 1"), std::string("line\nbreak"), std::string("cr\r"), nul })
        EXPECT_FALSE(headers.set("X-Ok", value)) << value;
    for (const std::string& name : { std::string("X-Bad\r\nX-Evil"), std::string("Two Words"), std::string("Colon:"),
             std::string(""), std::string("X\0", 2) })
        EXPECT_FALSE(headers.add(name, "value")) << name;
    EXPECT_FALSE(headers.add("X-Ok", "a\nb"));
    // Nothing refused got in, and the good value is untouched.
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers.get("X-Ok"), "fine");

    auto request = HttpMessage::createRequest("GET", url("http://example.com/"));
    ASSERT_TRUE(request);
    EXPECT_FALSE(request->setHeaderFieldValue("Cookie", "a=b\r\nAuthorization: Basic Zm9v"));
    EXPECT_TRUE(request->headers().empty());
    // Empty values and tabs inside values are legal.
    EXPECT_TRUE(request->setHeaderFieldValue("X-Empty", ""));
    EXPECT_TRUE(request->setHeaderFieldValue("X-Tab", "a\tb"));
}

TEST(HttpMessageTest, RepeatedFieldsStayApartAndJoinOnlyForLookup)
{
    HttpHeaders headers;
    ASSERT_TRUE(headers.add("Set-Cookie", "a=1; Expires=Wed, 21 Oct 2037 07:28:00 GMT"));
    ASSERT_TRUE(headers.add("Content-Type", "text/plain"));
    ASSERT_TRUE(headers.add("set-cookie", "b=2"));

    EXPECT_EQ(headers.values("SET-COOKIE"),
        (std::vector<std::string> { "a=1; Expires=Wed, 21 Oct 2037 07:28:00 GMT", "b=2" }));
    EXPECT_EQ(headers.get("Set-Cookie"), "a=1; Expires=Wed, 21 Oct 2037 07:28:00 GMT, b=2");
    auto joined = headers.joinedFields();
    ASSERT_EQ(joined.size(), 2u);
    EXPECT_EQ(joined[0].name, "Set-Cookie");
    EXPECT_EQ(joined[1].name, "Content-Type");

    // set() collapses repeats into the first one's place.
    ASSERT_TRUE(headers.set("Set-Cookie", "c=3"));
    EXPECT_EQ(headers.values("set-cookie"), std::vector<std::string> { "c=3" });
    EXPECT_EQ(headers.fields().front().value, "c=3");
    EXPECT_TRUE(headers.remove("SET-COOKIE"));
    EXPECT_FALSE(headers.remove("Set-Cookie"));
    EXPECT_FALSE(headers.contains("set-cookie"));
}

TEST(HttpMessageTest, StatusLinesParseStrictly)
{
    auto notFound = HttpMessage::parseStatusLine("HTTP/1.0 404 Not Found\r\n");
    ASSERT_TRUE(notFound);
    EXPECT_FALSE(notFound->isRequest());
    EXPECT_EQ(notFound->statusCode(), 404);
    EXPECT_EQ(notFound->reasonPhrase(), "Not Found");
    EXPECT_EQ(notFound->statusLine(), "HTTP/1.0 404 Not Found");
    EXPECT_EQ(notFound->version(), "HTTP/1.0");
    EXPECT_FALSE(notFound->isHeaderComplete());

    auto bare = HttpMessage::parseStatusLine("HTTP/1.1 204");
    ASSERT_TRUE(bare);
    EXPECT_EQ(bare->statusCode(), 204);
    EXPECT_EQ(bare->reasonPhrase(), "");

    for (const char* bad : { "HTTP/1.1 20 OK", "HTP/1.1 200 OK", "HTTP/1.1 abc OK", "HTTP/1.1 2000 OK",
             "HTTP/1.1 099 Low", "ICY 200 OK", "" })
        EXPECT_FALSE(HttpMessage::parseStatusLine(bad)) << bad;
}

TEST(HttpMessageTest, ResponseHeadFromReceivedLines)
{
    auto response = HttpMessage::createResponse(200, "OK");
    EXPECT_EQ(response.statusLine(), "HTTP/1.1 200 OK");
    EXPECT_TRUE(response.appendHeaderLine("Content-Type:   text/html; charset=utf-8  \r\n"));
    EXPECT_TRUE(response.appendHeaderLine("X-Empty:"));
    EXPECT_FALSE(response.appendHeaderLine("no colon here"));
    EXPECT_FALSE(response.appendHeaderLine("Bad Name: value"));
    EXPECT_EQ(response.headerFieldValue("content-type"), "text/html; charset=utf-8");
    EXPECT_EQ(response.headerFieldValue("X-Empty"), "");
    EXPECT_TRUE(response.appendHeaderLine("X-Folded: first"));
    EXPECT_TRUE(response.appendHeaderLine("   second part\r\n"));
    EXPECT_TRUE(response.appendHeaderLine("\tthird"));
    EXPECT_EQ(response.headerFieldValue("X-Folded"), "first second part third");
    EXPECT_EQ(response.headers().size(), 3u);
    auto empty = HttpMessage::createResponse(200, "OK");
    EXPECT_FALSE(empty.appendHeaderLine(" continuation of nothing"));
    response.setHeaderComplete(true);
    EXPECT_TRUE(response.isHeaderComplete());
}

} // namespace
