#include "platform/net/ProxySettings.h"
#include "platform/net/PacScript.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <unistd.h>

using namespace platform;

namespace {

SystemProxySettings::Environment environment(std::map<std::string, std::string> values)
{
    return [values](const char* name) -> std::optional<std::string> {
        auto found = values.find(name);
        if (found == values.end())
            return std::nullopt;
        return found->second;
    };
}

Url url(const std::string& text) { return *Url::parse(text); }

ProxyEntry entry(ProxyEntry::Type type, std::string host, int port)
{
    ProxyEntry e;
    e.type = type;
    e.host = std::move(host);
    e.port = port;
    return e;
}

std::string evaluate(const std::string& expression)
{
    Error error;
    auto value = PacScript::evaluate("var unused = 0;", expression, &error, 5);
    return value.value_or("error: " + error.description());
}

} // namespace

TEST(SystemProxySettings, EnvironmentVariablesChooseByScheme)
{
    auto settings = SystemProxySettings::fromSources(
        environment({ { "http_proxy", "http://user:pw@127.0.0.1:3128/" }, { "HTTPS_PROXY", "127.0.0.1:3129" },
            { "no_proxy", "localhost, .internal.example, 10.0.0.0/8" } }),
        "");
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->proxiesForURL(url("http://example.org/a"))->front(),
        entry(ProxyEntry::Type::HTTP, "127.0.0.1", 3128));
    // An https URL goes through a CONNECT tunnel of the https proxy.
    EXPECT_EQ(settings->proxiesForURL(url("https://example.org/a"))->front(),
        entry(ProxyEntry::Type::HTTPS, "127.0.0.1", 3129));
    // no_proxy: names as domain suffixes, CIDR blocks.
    EXPECT_EQ(settings->proxiesForURL(url("http://localhost/"))->front().type, ProxyEntry::Type::None);
    EXPECT_EQ(settings->proxiesForURL(url("http://a.internal.example/"))->front().type, ProxyEntry::Type::None);
    EXPECT_EQ(settings->proxiesForURL(url("http://internal.example/"))->front().type, ProxyEntry::Type::None);
    EXPECT_EQ(settings->proxiesForURL(url("http://notinternal.example/"))->front().type, ProxyEntry::Type::HTTP);
    EXPECT_EQ(settings->proxiesForURL(url("http://10.2.3.4/"))->front().type, ProxyEntry::Type::None);
    EXPECT_EQ(settings->proxiesForURL(url("http://11.2.3.4/"))->front().type, ProxyEntry::Type::HTTP);

    // all_proxy as fallback, SOCKS by its scheme; nothing set means direct.
    auto socks = SystemProxySettings::fromSources(environment({ { "all_proxy", "socks5h://127.0.0.1:1081" } }), "");
    EXPECT_EQ(
        socks->proxiesForURL(url("https://example.org/"))->front(), entry(ProxyEntry::Type::SOCKS, "127.0.0.1", 1081));
    auto none = SystemProxySettings::fromSources(environment({}), "");
    EXPECT_EQ(none->proxiesForURL(url("http://example.org/"))->front().type, ProxyEntry::Type::None);
    // A setting that cannot be understood gives no list at all.
    auto broken = SystemProxySettings::fromSources(environment({ { "http_proxy", "ftp://127.0.0.1:21" } }), "");
    EXPECT_FALSE(broken->proxiesForURL(url("http://example.org/")));
    EXPECT_FALSE(SystemProxySettings::fromSources(environment({ { "http_proxy", "127.0.0.1:99999" } }), "")
                     ->proxiesForURL(url("http://example.org/")));
}

TEST(SystemProxySettings, SettingsFileOverridesAndNamesAPacUrl)
{
    testsupport::TempDir folder("orb-proxy-settings");
    const std::string name = folder / "ProxySettings.conf";
    ASSERT_TRUE(testsupport::writeTextFile(
        name, "# the school's network\nhttp_proxy = 127.0.0.1:8000\npac_url=http://127.0.0.1:9/proxy.pac\n"));
    auto settings = SystemProxySettings::fromSources(environment({ { "http_proxy", "127.0.0.1:1" } }), name);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->httpProxy.value_or(""), "127.0.0.1:8000");
    auto list = settings->proxiesForURL(url("http://example.org/"));
    ASSERT_TRUE(list);
    ASSERT_EQ(list->front().type, ProxyEntry::Type::AutoConfigurationURL);
    EXPECT_EQ(list->front().autoConfigurationURL->absoluteString(), "http://127.0.0.1:9/proxy.pac");

    ASSERT_TRUE(testsupport::writeTextFile(name, "this line is not a setting\n"));
    EXPECT_FALSE(SystemProxySettings::fromSources(environment({}), name));
}

TEST(PacScript, ChoosesProxySocksOrDirectAndParsesLists)
{
    const std::string script = R"(
        function FindProxyForURL(url, host) {
            if (isPlainHostName(host)) return "DIRECT";
            if (dnsDomainIs(host, ".socks.test")) return "SOCKS 127.0.0.1:1080";
            if (shExpMatch(url, "*/via-proxy/*")) return "PROXY 127.0.0.1:3128; DIRECT";
            return "DIRECT";
        })";
    EXPECT_EQ(PacScript::proxiesForURL(script, url("http://intranet/x"))->front().type, ProxyEntry::Type::None);
    EXPECT_EQ(PacScript::proxiesForURL(script, url("http://a.socks.test/"))->front(),
        entry(ProxyEntry::Type::SOCKS, "127.0.0.1", 1080));
    auto list = PacScript::proxiesForURL(script, url("http://example.org/via-proxy/page"));
    ASSERT_TRUE(list);
    ASSERT_EQ(list->size(), 2u);
    EXPECT_EQ((*list)[0], entry(ProxyEntry::Type::HTTP, "127.0.0.1", 3128));
    EXPECT_EQ((*list)[1].type, ProxyEntry::Type::None);
    // The path of an https URL is not shown to the script.
    EXPECT_EQ(PacScript::proxiesForURL(script, url("https://example.org/via-proxy/page"))->front().type,
        ProxyEntry::Type::None);

    EXPECT_FALSE(PacScript::parseResult(""));
    EXPECT_FALSE(PacScript::parseResult("HTTPS 127.0.0.1:443; PROXY :80; PROXY host:port"));
    EXPECT_EQ(PacScript::parseResult(" proxy  h:81 ;SOCKS5 s")->size(), 2u);
}

TEST(PacScript, BrokenEmptyThrowingAndEndlessScriptsGiveErrors)
{
    Error error;
    EXPECT_FALSE(PacScript::proxiesForURL("", url("http://example.org/"), &error));
    EXPECT_FALSE(PacScript::proxiesForURL("   \n", url("http://example.org/"), &error));
    EXPECT_FALSE(
        PacScript::proxiesForURL("function FindProxyForURL(url, host) { return \"DIRECT\"", url("http://e/"), &error));
    EXPECT_NE(error.description().find("script"), std::string::npos);
    EXPECT_FALSE(PacScript::proxiesForURL("var x = 1;", url("http://e/"), &error));
    EXPECT_FALSE(PacScript::proxiesForURL("function FindProxyForURL() { throw new Error('no'); }", url("http://e/")));
    EXPECT_FALSE(PacScript::proxiesForURL("function FindProxyForURL() { return 42; }", url("http://e/")));
    EXPECT_FALSE(PacScript::proxiesForURL("function FindProxyForURL() { return 'NOTHING useful'; }", url("http://e/")));

    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(PacScript::proxiesForURL("function FindProxyForURL() { for (;;) {} }", url("http://e/"), &error, 0.5));
    double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    EXPECT_LT(took, 20.0);
    EXPECT_NE(error.description().find("time"), std::string::npos);
}

TEST(PacScript, StandardHelpers)
{
    EXPECT_EQ(evaluate("isPlainHostName('www') + ',' + isPlainHostName('www.example.org')"), "true,false");
    EXPECT_EQ(evaluate("dnsDomainIs('www.Example.org', '.example.org') + ',' + dnsDomainIs('www', '.example.org')"),
        "true,false");
    EXPECT_EQ(evaluate("localHostOrDomainIs('www', 'www.example.org') + ',' + "
                       "localHostOrDomainIs('www.example.org', 'www.example.org') + ',' + "
                       "localHostOrDomainIs('home.example.org', 'www.example.org')"),
        "true,true,false");
    EXPECT_EQ(evaluate("dnsDomainLevels('www') + ',' + dnsDomainLevels('a.b.c')"), "0,2");
    EXPECT_EQ(evaluate("shExpMatch('http://a.org/x/y.html', '*/x/*') + ',' + shExpMatch('a.org', '?.org') + ',' + "
                       "shExpMatch('ab.org', '?.org') + ',' + shExpMatch('a+b', 'a+b')"),
        "true,true,false,true");
    EXPECT_EQ(evaluate("dnsResolve('127.0.0.1') + ',' + dnsResolve('localhost') + ',' + "
                       "isResolvable('no-such-host.invalid')"),
        "127.0.0.1,127.0.0.1,false");
    EXPECT_EQ(evaluate("isInNet('127.0.0.1', '127.0.0.0', '255.0.0.0') + ',' + "
                       "isInNet('localhost', '127.0.0.0', '255.255.255.0') + ',' + "
                       "isInNet('10.1.2.3', '10.1.3.0', '255.255.255.0')"),
        "true,true,false");
    EXPECT_EQ(evaluate("/^\\d+\\.\\d+\\.\\d+\\.\\d+$/.test(myIpAddress())"), "true");

    // Calendar helpers against today's date in UTC.
    static const char* days[] = { "SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT" };
    static const char* months[]
        = { "JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC" };
    std::time_t now = std::time(nullptr);
    std::tm utc {};
    gmtime_r(&now, &utc);
    if (utc.tm_hour == 23 && utc.tm_min == 59)
        GTEST_SKIP() << "too close to midnight to compare dates";
    std::string today = days[utc.tm_wday], tomorrow = days[(utc.tm_wday + 1) % 7];
    std::string yesterday = days[(utc.tm_wday + 6) % 7];
    EXPECT_EQ(evaluate("weekdayRange('" + today + "', 'GMT') + ',' + weekdayRange('" + tomorrow
                  + "', 'GMT') + ',' + "
                    "weekdayRange('"
                  + yesterday + "', '" + tomorrow + "', 'GMT') + ',' + weekdayRange('" + tomorrow + "', '" + yesterday
                  + "', 'GMT')"),
        "true,false,true,false");
    std::string month = months[utc.tm_mon], year = std::to_string(utc.tm_year + 1900);
    EXPECT_EQ(evaluate("dateRange('" + month + "', 'GMT') + ',' + dateRange(" + year + ", 'GMT') + ',' + dateRange("
                  + std::to_string(utc.tm_mday) + ", 'GMT') + ',' + dateRange(" + std::to_string(utc.tm_year + 1901)
                  + ", " + std::to_string(utc.tm_year + 1902) + ", 'GMT') + ',' + dateRange(1, '" + month + "', 31, '"
                  + month + "', 'GMT')"),
        "true,true,true,false,true");
    EXPECT_EQ(
        evaluate("timeRange(0, 24, 'GMT') + ',' + timeRange(" + std::to_string(utc.tm_hour)
            + ", 'GMT') + ',' + "
              "timeRange("
            + std::to_string((utc.tm_hour + 2) % 24) + ", " + std::to_string((utc.tm_hour + 3) % 24) + ", 'GMT')"),
        "true,true,false");
}

TEST(SystemProxySettings, SettingsFileIsReadAgainOnlyWhenItChanged)
{
    testsupport::TempDir directory("orb-proxy-file");
    ASSERT_FALSE(directory.path().empty());
    std::string path = directory / "ProxySettings.conf";

    forgetCachedSettingsFile();
    auto missing = cachedSettingsFile(path);
    EXPECT_TRUE(missing.readable);
    EXPECT_FALSE(missing.text);

    std::ofstream(path) << "http_proxy=127.0.0.1:3128\n";
    forgetCachedSettingsFile();
    auto first = cachedSettingsFile(path);
    ASSERT_TRUE(first.text);
    EXPECT_EQ(*first.text, "http_proxy=127.0.0.1:3128\n");
    // Looked at again at once: the same text, without another read.
    auto again = cachedSettingsFile(path);
    ASSERT_TRUE(again.text);
    EXPECT_EQ(*again.text, *first.text);

    // A rewrite (another size, so it tells even on coarse timestamps) is seen
    // once the cache looks at the file again.
    std::ofstream(path) << "https_proxy=127.0.0.1:3129\nno_proxy=localhost\n";
    forgetCachedSettingsFile();
    auto rewritten = cachedSettingsFile(path);
    ASSERT_TRUE(rewritten.text);
    EXPECT_EQ(*rewritten.text, "https_proxy=127.0.0.1:3129\nno_proxy=localhost\n");
    auto settings = SystemProxySettings::fromEnvironmentAndText(environment({}), rewritten.text);
    ASSERT_TRUE(settings);
    EXPECT_EQ(settings->httpsProxy, "127.0.0.1:3129");
    EXPECT_FALSE(settings->httpProxy);

    // A different path is never answered from the cache of another.
    auto other = cachedSettingsFile(directory / "Other.conf");
    EXPECT_FALSE(other.text);

    ::unlink(path.c_str());
    forgetCachedSettingsFile();
    EXPECT_FALSE(cachedSettingsFile(path).text);
}
