#include "platform/net/HttpCookie.h"
#include "platform/net/HttpCookieStorage.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <thread>

using platform::Date;
using platform::HttpCookie;
using platform::HttpCookieStorage;
using platform::HttpHeaders;
using platform::Url;

namespace {

Url url(const char* text)
{
    auto parsed = Url::parse(text);
    EXPECT_TRUE(parsed) << text;
    return parsed.value_or(Url());
}

// An independent reckoning of a UTC date, to check the parser against.
double utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm {};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    return static_cast<double>(timegm(&tm));
}

HttpCookie parsed(const char* header, const char* requestUrl, Date now = Date::now())
{
    auto cookie = HttpCookie::parseSetCookie(header, url(requestUrl), now);
    EXPECT_TRUE(cookie) << header;
    return cookie.value_or(HttpCookie());
}

using testsupport::TempDir;

TEST(HttpCookieTest, DefaultsFollowTheRequest)
{
    auto cookie = parsed("sid = abc123 ", "http://WWW.Example.com/dir/page.html?q=1");
    EXPECT_EQ(cookie.name, "sid");
    EXPECT_EQ(cookie.value, "abc123");
    EXPECT_EQ(cookie.domain, "www.example.com");
    EXPECT_TRUE(cookie.isHostOnly());
    EXPECT_EQ(cookie.path, "/dir");
    EXPECT_TRUE(cookie.isSessionOnly());
    EXPECT_FALSE(cookie.secure);
    EXPECT_FALSE(cookie.httpOnly);

    EXPECT_EQ(parsed("a=b", "http://example.com").path, "/");
    EXPECT_EQ(parsed("a=b", "http://example.com/top").path, "/");
    EXPECT_EQ(parsed("a=b; Path=relative", "http://example.com/x/y").path, "/x");
    EXPECT_EQ(parsed("a=", "http://example.com/").value, "");
    EXPECT_EQ(parsed("a=\"quoted value\"", "http://example.com/").value, "\"quoted value\"");
    EXPECT_FALSE(HttpCookie::parseSetCookie("novalue", url("http://example.com/")));
    EXPECT_FALSE(HttpCookie::parseSetCookie("=nameless", url("http://example.com/")));
}

TEST(HttpCookieTest, AttributesAreReadWithoutRegardToCase)
{
    auto cookie = parsed("id=1; domain=.Example.COM; PATH=/x; secure; HTTPONLY; "
                         "expires=Wed, 21 Oct 2037 07:28:00 GMT; Unknown=thing",
        "https://www.example.com/x/y");
    EXPECT_EQ(cookie.domain, ".example.com");
    EXPECT_FALSE(cookie.isHostOnly());
    EXPECT_EQ(cookie.path, "/x");
    EXPECT_TRUE(cookie.secure);
    EXPECT_TRUE(cookie.httpOnly);
    ASSERT_TRUE(cookie.expiresDate);
    EXPECT_EQ(cookie.expiresDate->seconds, utc(2037, 10, 21, 7, 28, 0));
    EXPECT_FALSE(cookie.isSessionOnly());
}

TEST(HttpCookieTest, DatesInTheThreeHttpFormsAndTheLenientOnes)
{
    const double expected = utc(2037, 10, 21, 7, 28, 0);
    for (const char* text : { "Wed, 21 Oct 2037 07:28:00 GMT", "Wednesday, 21-Oct-37 07:28:00 GMT",
             "Wed Oct 21 07:28:00 2037", "21 October 2037 7:28:0", "Wed, 21-OCT-2037 07:28:00 UTC" }) {
        auto date = HttpCookie::parseCookieDate(text);
        ASSERT_TRUE(date) << text;
        EXPECT_EQ(date->seconds, expected) << text;
    }
    EXPECT_EQ(HttpCookie::parseCookieDate("Thu, 01-Jan-70 00:00:01 GMT")->seconds, utc(1970, 1, 1, 0, 0, 1));
    EXPECT_EQ(HttpCookie::parseCookieDate("Sat, 01-Jan-69 00:00:00 GMT")->seconds, utc(2069, 1, 1, 0, 0, 0));
    EXPECT_EQ(HttpCookie::parseCookieDate("Tue, 29 Feb 2028 12:00:00 GMT")->seconds, utc(2028, 2, 29, 12, 0, 0));
    for (const char* bad : { "", "tomorrow", "Wed, 30 Feb 2037 07:28:00 GMT", "31 Jun 2037 10:00:00",
             "Wed, 21 Oct 1600 07:28:00 GMT", "Wed, 21 Oct 2037 24:00:00 GMT", "Wed, 21 Oct 2037 07:60:00 GMT",
             "Wed, 21 Oct 2037", "21 2037 07:28:00", "Wed, 29 Feb 2037 07:28:00 GMT" })
        EXPECT_FALSE(HttpCookie::parseCookieDate(bad)) << bad;
}

TEST(HttpCookieTest, MaxAgeWinsOverExpires)
{
    Date now = Date::fromSeconds(utc(2030, 1, 1, 0, 0, 0));
    auto first = parsed("a=1; Max-Age=60; Expires=Wed, 21 Oct 2037 07:28:00 GMT", "http://example.com/", now);
    EXPECT_EQ(first.expiresDate->seconds, now.seconds + 60);
    auto second = parsed("a=1; Expires=Wed, 21 Oct 2037 07:28:00 GMT; Max-Age=60", "http://example.com/", now);
    EXPECT_EQ(second.expiresDate->seconds, now.seconds + 60);
    EXPECT_TRUE(parsed("a=1; Max-Age=0", "http://example.com/", now).isExpired(now));
    EXPECT_TRUE(parsed("a=1; Max-Age=-5", "http://example.com/", now).isExpired(now));
    auto ignored = parsed("a=1; Max-Age=soon; Max-Age=1x", "http://example.com/", now);
    EXPECT_TRUE(ignored.isSessionOnly());
    auto huge = parsed("a=1; Max-Age=99999999999999999999999", "http://example.com/", now);
    EXPECT_FALSE(huge.isExpired(now.addingSeconds(86400.0 * 365 * 100)));
}

TEST(HttpCookieTest, ForeignDomainsAreRefused)
{
    const Url request = url("http://www.example.com/");
    EXPECT_FALSE(HttpCookie::parseSetCookie("a=1; Domain=other.com", request));
    EXPECT_FALSE(HttpCookie::parseSetCookie("a=1; Domain=com", request));
    EXPECT_FALSE(HttpCookie::parseSetCookie("a=1; Domain=ample.com", request));
    EXPECT_FALSE(HttpCookie::parseSetCookie("a=1; Domain=sub.www.example.com", request));
    EXPECT_FALSE(HttpCookie::parseSetCookie("a=1; Domain=0.0.1", url("http://10.0.0.1/")));
    EXPECT_EQ(parsed("a=1; Domain=example.com", "http://example.com/").domain, ".example.com");
    EXPECT_EQ(parsed("a=1; Domain=localhost", "http://localhost/").domain, ".localhost");
    EXPECT_EQ(parsed("a=1; Domain=", "http://example.com/").domain, "example.com");
}

TEST(HttpCookieTest, EachSetCookieFieldIsOneCookie)
{
    HttpHeaders headers;
    headers.add("Set-Cookie", "a=1; Expires=Wed, 21 Oct 2037 07:28:00 GMT; Path=/");
    headers.add("Content-Type", "text/plain");
    headers.add("set-cookie", "broken");
    headers.add("SET-COOKIE", "b=2, c=3");
    auto cookies = HttpCookie::cookiesWithResponseHeaderFields(headers, url("http://example.com/app/x"));
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0].name, "a");
    EXPECT_EQ(cookies[0].expiresDate->seconds, utc(2037, 10, 21, 7, 28, 0));
    EXPECT_EQ(cookies[1].name, "b");
    EXPECT_EQ(cookies[1].value, "2, c=3");
    EXPECT_EQ(cookies[1].path, "/app");
}

TEST(HttpCookieTest, MatchingByDomainPathSecureAndExpiry)
{
    EXPECT_TRUE(HttpCookie::pathMatches("/docs", "/docs"));
    EXPECT_TRUE(HttpCookie::pathMatches("/docs/", "/docs"));
    EXPECT_TRUE(HttpCookie::pathMatches("/docs/web", "/docs"));
    EXPECT_TRUE(HttpCookie::pathMatches("/docs/web", "/docs/"));
    EXPECT_FALSE(HttpCookie::pathMatches("/docsets", "/docs"));
    EXPECT_FALSE(HttpCookie::pathMatches("/", "/docs"));
    EXPECT_TRUE(HttpCookie::domainMatches("a.b.example.com", "example.com"));
    EXPECT_FALSE(HttpCookie::domainMatches("badexample.com", "example.com"));
    EXPECT_FALSE(HttpCookie::domainMatches("1.2.3.4", "2.3.4"));

    Date now = Date::now();
    auto hostOnly = parsed("a=1", "http://example.com/");
    EXPECT_TRUE(hostOnly.matchesUrl(url("http://EXAMPLE.com/anything"), now));
    EXPECT_FALSE(hostOnly.matchesUrl(url("http://www.example.com/"), now));

    auto domain = parsed("a=1; Domain=example.com", "http://example.com/");
    EXPECT_TRUE(domain.matchesUrl(url("http://www.example.com/"), now));
    EXPECT_TRUE(domain.matchesUrl(url("http://example.com/"), now));
    EXPECT_FALSE(domain.matchesUrl(url("http://example.org/"), now));

    auto secure = parsed("a=1; Secure", "https://example.com/");
    EXPECT_TRUE(secure.matchesUrl(url("https://example.com/"), now));
    EXPECT_FALSE(secure.matchesUrl(url("http://example.com/"), now));

    auto scoped = parsed("a=1; Path=/api", "http://example.com/");
    EXPECT_TRUE(scoped.matchesUrl(url("http://example.com/api/list?x=1"), now));
    EXPECT_FALSE(scoped.matchesUrl(url("http://example.com/apiary"), now));
    EXPECT_FALSE(scoped.matchesUrl(url("http://example.com/"), now));

    auto shortLived = parsed("a=1; Max-Age=10", "http://example.com/", now);
    EXPECT_TRUE(shortLived.matchesUrl(url("http://example.com/"), now.addingSeconds(9)));
    EXPECT_FALSE(shortLived.matchesUrl(url("http://example.com/"), now.addingSeconds(10)));
}

TEST(HttpCookieTest, StorageAcceptsOnlyCookiesForTheHostAndOrdersThem)
{
    HttpCookieStorage storage("");
    const Url site = url("http://www.example.com/app/page");
    HttpCookie foreign = parsed("x=1", "http://evil.example.org/");
    HttpCookie sibling = parsed("y=1", "http://api.example.com/");
    HttpCookie root = parsed("root=1; Path=/", "http://www.example.com/");
    HttpCookie deep = parsed("deep=1; Path=/app/page", "http://www.example.com/");
    HttpCookie shared = parsed("shared=1; Domain=example.com; Path=/", "http://www.example.com/");
    HttpCookie later = parsed("later=1; Path=/", "http://www.example.com/");
    storage.setCookies({ foreign, sibling, root, deep, shared, later }, site);

    auto names = [](const std::vector<HttpCookie>& cookies) {
        std::vector<std::string> out;
        for (const auto& c : cookies)
            out.push_back(c.name);
        return out;
    };
    EXPECT_EQ(names(storage.cookies()), (std::vector<std::string> { "root", "deep", "shared", "later" }));
    // Longer paths first, then the order of creation.
    EXPECT_EQ(names(storage.cookiesForURL(url("http://www.example.com/app/page/x"))),
        (std::vector<std::string> { "deep", "root", "shared", "later" }));
    EXPECT_EQ(names(storage.cookiesForURL(url("http://m.example.com/"))), (std::vector<std::string> { "shared" }));

    // The same identity replaces the value but keeps its place.
    storage.setCookies({ parsed("root=2; Path=/", "http://www.example.com/") }, site);
    auto all = storage.cookies();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].name, "root");
    EXPECT_EQ(all[0].value, "2");

    // A cookie already expired deletes its namesake.
    storage.setCookies({ parsed("later=1; Path=/; Max-Age=0", "http://www.example.com/") }, site);
    storage.deleteCookie(deep);
    EXPECT_EQ(names(storage.cookies()), (std::vector<std::string> { "root", "shared" }));

    // Third-party cookies are refused when a main document is named.
    storage.setCookies(
        { parsed("ad=1", "http://ads.tracker.net/") }, url("http://ads.tracker.net/"), url("http://www.example.com/"));
    EXPECT_TRUE(storage.cookiesForURL(url("http://ads.tracker.net/")).empty());
    storage.deleteAllCookies();
    EXPECT_TRUE(storage.cookies().empty());
}

TEST(HttpCookieTest, StorageForgetsCookiesAsTheyExpire)
{
    HttpCookieStorage storage("");
    double clock = utc(2030, 6, 1, 12, 0, 0);
    storage.setClockForTesting([&] { return Date::fromSeconds(clock); });
    const Url site = url("http://example.com/");
    storage.setCookies({ parsed("short=1; Max-Age=10", "http://example.com/", Date::fromSeconds(clock)),
                           parsed("session=1", "http://example.com/") },
        site);
    EXPECT_EQ(storage.cookiesForURL(site).size(), 2u);
    clock += 11;
    auto left = storage.cookiesForURL(site);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_EQ(left[0].name, "session");
    EXPECT_EQ(storage.cookies().size(), 1u);
}

TEST(HttpCookieTest, PersistentCookiesSurviveInTheFileAndSessionOnesDoNot)
{
    TempDir dir;
    const std::string file = dir.file("Library/Preferences/Cookies.txt");
    const Url site = url("https://www.example.com/account");
    {
        HttpCookieStorage storage(file);
        HttpCookie odd = parsed("odd=tab\there%41%; Max-Age=3600; Secure; HttpOnly; Domain=example.com; Path=/a",
            "https://www.example.com/");
        storage.setCookies({ odd, parsed("keep=1; Expires=Wed, 21 Oct 2037 07:28:00 GMT", "https://www.example.com/"),
                               parsed("gone=1", "https://www.example.com/") },
            site);
    }
    struct stat info { };
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    HttpCookieStorage reopened(file);
    auto cookies = reopened.cookies();
    ASSERT_EQ(cookies.size(), 2u);
    EXPECT_EQ(cookies[0].name, "odd");
    EXPECT_EQ(cookies[0].value, "tab\there%41%");
    EXPECT_EQ(cookies[0].domain, ".example.com");
    EXPECT_EQ(cookies[0].path, "/a");
    EXPECT_TRUE(cookies[0].secure);
    EXPECT_TRUE(cookies[0].httpOnly);
    EXPECT_EQ(cookies[1].name, "keep");
    EXPECT_EQ(cookies[1].domain, "www.example.com");
    EXPECT_EQ(cookies[1].expiresDate->seconds, utc(2037, 10, 21, 7, 28, 0));

    // Deleting through a second jar is seen by a third.
    reopened.setCookies({ parsed("keep=1; Max-Age=0", "https://www.example.com/") }, site);
    EXPECT_EQ(HttpCookieStorage(file).cookies().size(), 1u);
}

TEST(HttpCookieTest, AHostWithALeadingDotSetsNoCookieForTheWholeDomain)
{
    // ".example.com" is no host: the URL parser refuses it, and were one to
    // reach the cookie code its host-only cookie would have read as a domain
    // cookie (the leading dot) and gone to every subdomain.
    EXPECT_FALSE(Url::parse("http://.example.com/"));
    Url dotted;
    if (auto u = Url::parse("http://.example.com/"))
        dotted = *u;
    EXPECT_FALSE(HttpCookie::parseSetCookie("sid=1", dotted).has_value());
    HttpCookieStorage storage("");
    HttpCookie forged;
    forged.name = "sid";
    forged.value = "1";
    forged.domain = ".example.com"; // host-only (the default) for a host that cannot exist
    storage.setCookie(forged);
    EXPECT_TRUE(storage.cookiesForURL(url("http://www.example.com/")).empty());
    EXPECT_TRUE(storage.cookies().empty());

    // Host-only is a flag of its own: a host-only cookie goes to its host
    // only, whatever its domain's first character; a domain cookie made by
    // hand without the dot still reaches the subdomains.
    Date now = Date::now();
    HttpCookie hostOnly = parsed("a=1", "http://example.com/");
    EXPECT_TRUE(hostOnly.hostOnly);
    EXPECT_FALSE(parsed("a=1; Domain=example.com", "http://example.com/").hostOnly);
    forged.hostOnly = true;
    EXPECT_FALSE(forged.matchesUrl(url("http://www.example.com/"), now));
    HttpCookie wide;
    wide.name = "w";
    wide.domain = "example.com";
    wide.hostOnly = false;
    EXPECT_TRUE(wide.matchesUrl(url("http://www.example.com/"), now));
    EXPECT_TRUE(wide.matchesUrl(url("http://example.com/"), now));
    HttpCookie narrow = wide;
    narrow.hostOnly = true;
    EXPECT_FALSE(narrow.matchesUrl(url("http://www.example.com/"), now));
    EXPECT_TRUE(narrow.matchesUrl(url("http://example.com/"), now));
}

TEST(HttpCookieTest, TheFileKeepsTheHostOnlyFlagAndReadsFilesWrittenBeforeIt)
{
    TempDir dir;
    const std::string file = dir.file("Cookies.txt");
    // As written before the flag had a column of its own: seven fields, the
    // leading dot telling a domain cookie.
    {
        std::ofstream out(file);
        out << "# cookies v1\n"
            << "host\tv\twww.example.com\t/\t4102444800.000\t0\t1\n"
            << "wide\tv\t.example.com\t/\t4102444800.000\t1\t0\n";
    }
    {
        HttpCookieStorage old(file);
        auto cookies = old.cookies();
        ASSERT_EQ(cookies.size(), 2u);
        EXPECT_TRUE(cookies[0].hostOnly);
        EXPECT_TRUE(cookies[0].httpOnly);
        EXPECT_FALSE(cookies[1].hostOnly);
        EXPECT_TRUE(cookies[1].secure);
        EXPECT_EQ(old.cookiesForURL(url("https://m.example.com/")).size(), 1u);
        EXPECT_EQ(old.cookiesForURL(url("https://www.example.com/")).size(), 2u);
        // A change writes the file again, the flag now in a column of its own.
        HttpCookie wideByHand;
        wideByHand.name = "hand";
        wideByHand.domain = "example.com";
        wideByHand.hostOnly = false;
        wideByHand.expiresDate = Date::fromSeconds(4102444800.0);
        old.setCookie(wideByHand);
    }
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("www.example.com\t/\t4102444800.000\t0\t1\t1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\texample.com\t/\t4102444800.000\t0\t0\t0\n"), std::string::npos) << text;
    HttpCookieStorage reopened(file);
    auto cookies = reopened.cookies();
    ASSERT_EQ(cookies.size(), 3u);
    EXPECT_TRUE(cookies[0].hostOnly);
    EXPECT_FALSE(cookies[1].hostOnly);
    EXPECT_EQ(cookies[2].name, "hand");
    EXPECT_FALSE(cookies[2].hostOnly);
    EXPECT_EQ(reopened.cookiesForURL(url("http://m.example.com/")).size(), 1u);
}

TEST(HttpCookieTest, DamagedFilesAreIgnoredLineByLine)
{
    TempDir dir;
    const std::string file = dir.file("Cookies.txt");
    {
        std::ofstream out(file);
        out << "# cookies v1\n"
            << "good\tv\texample.com\t/\t4102444800.000\t0\t0\n"
            << "short line\n"
            << "bad%zz\tv\texample.com\t/\t4102444800.000\t0\t0\n"
            << "old\tv\texample.com\t/\t1.000\t0\t0\n"
            << "nodate\tv\texample.com\t/\tsoon\t0\t0\n";
    }
    auto cookies = HttpCookieStorage(file).cookies();
    ASSERT_EQ(cookies.size(), 1u);
    EXPECT_EQ(cookies[0].name, "good");

    {
        std::ofstream out(file);
        out << "something else entirely\n";
    }
    EXPECT_TRUE(HttpCookieStorage(file).cookies().empty());
}

TEST(HttpCookieTest, StorageIsSafeAcrossThreads)
{
    TempDir dir;
    HttpCookieStorage storage(dir.file("Cookies.txt"));
    const Url site = url("http://example.com/");
    std::atomic<int> seen { 0 };
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) {
                std::string header = "c" + std::to_string(t) + "_" + std::to_string(i % 10) + "=" + std::to_string(i)
                    + "; Max-Age=3600";
                storage.setCookies({ parsed(header.c_str(), "http://example.com/") }, site);
                seen += static_cast<int>(storage.cookiesForURL(site).size() > 0);
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(seen.load(), 200);
    EXPECT_EQ(storage.cookies().size(), 40u);
    EXPECT_EQ(HttpCookieStorage(dir.file("Cookies.txt")).cookies().size(), 40u);
}

} // namespace
