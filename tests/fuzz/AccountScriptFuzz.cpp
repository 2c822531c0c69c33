// libFuzzer target: the account script the app writes into its local pages
// in place of "<ios_initUserInfo/>", built from an account with random
// fields (name, area, ids, type) and a random server address. The script
// must stay one script element of the page (nothing in it that the HTML
// parser would take for its end or change on reading), and run in
// JavaScriptCore, the engine of the app's web views, it must declare
// `global` with exactly its eight fields, each equal to the account's, and
// nothing else.
//
// Input: the server address, the name and the area, separated by 0xFF bytes
// (never part of UTF-8; bytes that do not make a UTF-8 character stand for
// the character of that value), then the school id, user id and account type
// as the next fields, read as integers.
#include "app/web/LocalPageBridge.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "platform/os/StringUtil.h"
#include "platform/os/Value.h"
#include "tests/fuzz/FuzzSupport.h"

#include <JavaScriptCore/JavaScript.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr std::string_view kOpen = "<script type='text/javascript'>";
constexpr std::string_view kClose = "</script>";

// Valid UTF-8 as the UTF-16 units a script sees.
std::u16string utf16(std::string_view text)
{
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        std::uint32_t c = b;
        std::size_t length = 1;
        if (b >= 0xF0) {
            c = b & 0x07;
            length = 4;
        } else if (b >= 0xE0) {
            c = b & 0x0F;
            length = 3;
        } else if (b >= 0xC0) {
            c = b & 0x1F;
            length = 2;
        }
        for (std::size_t k = 1; k < length; ++k)
            c = (c << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        i += length;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
    }
    return out;
}

std::u16string unitsOf(JSStringRef ref)
{
    std::size_t length = JSStringGetLength(ref);
    if (!length)
        return {};
    return std::u16string(reinterpret_cast<const char16_t*>(JSStringGetCharactersPtr(ref)), length);
}

struct StringRef {
    explicit StringRef(JSStringRef ref)
        : ref(ref)
    {
    }
    explicit StringRef(const char* text)
        : ref(JSStringCreateWithUTF8CString(text))
    {
    }
    ~StringRef() { JSStringRelease(ref); }
    StringRef(const StringRef&) = delete;
    StringRef& operator=(const StringRef&) = delete;
    std::u16string units() const { return unitsOf(ref); }
    JSStringRef ref;
};

std::set<std::u16string> propertyNames(JSContextRef context, JSObjectRef object)
{
    std::set<std::u16string> names;
    JSPropertyNameArrayRef array = JSObjectCopyPropertyNames(context, object);
    for (std::size_t i = 0; i < JSPropertyNameArrayGetCount(array); ++i) {
        names.insert(unitsOf(JSPropertyNameArrayGetNameAtIndex(array, i)));
    }
    JSPropertyNameArrayRelease(array);
    return names;
}

std::vector<std::u16string> orderedNames(JSContextRef context, JSObjectRef object)
{
    std::vector<std::u16string> names;
    JSPropertyNameArrayRef array = JSObjectCopyPropertyNames(context, object);
    for (std::size_t i = 0; i < JSPropertyNameArrayGetCount(array); ++i) {
        names.push_back(unitsOf(JSPropertyNameArrayGetNameAtIndex(array, i)));
    }
    JSPropertyNameArrayRelease(array);
    return names;
}

// One context for the whole run, and the names its global object starts with.
struct Engine {
    Engine()
        : context(JSGlobalContextCreate(nullptr))
        , baseline(propertyNames(context, JSContextGetGlobalObject(context)))
    {
        baseline.insert(u"global");
    }
    JSGlobalContextRef context;
    std::set<std::u16string> baseline;
};

Engine& engine()
{
    static Engine* shared = new Engine();
    return *shared;
}

JSValueRef field(JSContextRef context, JSObjectRef object, const char* name)
{
    StringRef key(name);
    return JSObjectGetProperty(context, object, key.ref, nullptr);
}

void expectText(JSContextRef context, JSObjectRef object, const char* name, const std::string& wanted)
{
    JSValueRef value = field(context, object, name);
    if (!JSValueIsString(context, value))
        std::abort();
    StringRef text(JSValueToStringCopy(context, value, nullptr));
    if (text.units() != utf16(wanted))
        std::abort();
}

void expectNumber(JSContextRef context, JSObjectRef object, const char* name, int wanted)
{
    JSValueRef value = field(context, object, name);
    if (!JSValueIsNumber(context, value) || JSValueToNumber(context, value, nullptr) != static_cast<double>(wanted))
        std::abort();
}

} // namespace

// The engine keeps some of what it allocates for scripts it has run (its
// string and code caches) beyond their use: not ours to report.
extern "C" const char* __lsan_default_suppressions() { return "leak:libjavascriptcoregtk\n"; }

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    engine();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto fields = fuzzsupport::textFields(data, size, 6);

    core::ORBEndpoints::setServerBase(fields[0]);
    auto account = std::make_shared<core::AccountInfo>();
    account->name = fields[1];
    account->region = fields[2];
    account->schoolUid = static_cast<int>(platform::leadingIntegerOf(fields[3]));
    account->uid = static_cast<int>(platform::leadingIntegerOf(fields[4]));
    account->type = static_cast<int>(platform::leadingIntegerOf(fields[5]));
    auto session = std::make_shared<core::MyAccountInfo>();
    session->setCurrent(account);
    core::MyAccountInfo::setInstance(session);

    const std::string script = core::ORBHtml5Helper::getUserInfo();
    const std::string page = "<html><head><ios_initUserInfo/></head></html>";
    const std::string written = localpage::withScript(page, script);
    core::MyAccountInfo::setInstance(nullptr);
    if (written != "<html><head>" + script + "</head></html>")
        std::abort();

    // One script element whose text the HTML parser hands over unchanged: no
    // "<" (no end tag, no comment opening), no NUL and no carriage return
    // (both replaced on reading), only UTF-8.
    if (!platform::hasPrefix(script, kOpen) || !platform::hasSuffix(script, kClose) || script.size() < kOpen.size() + kClose.size())
        std::abort();
    const std::string body = script.substr(kOpen.size(), script.size() - kOpen.size() - kClose.size());
    if (body.find_first_of(std::string_view("<\r\0", 3)) != std::string::npos || !platform::isValidUtf8(body))
        std::abort();

    Engine& js = engine();
    StringRef source(body.c_str());
    JSValueRef exception = nullptr;
    JSEvaluateScript(js.context, source.ref, nullptr, nullptr, 1, &exception);
    if (exception)
        std::abort();
    JSObjectRef window = JSContextGetGlobalObject(js.context);
    if (propertyNames(js.context, window) != js.baseline)
        std::abort();
    JSValueRef value = field(js.context, window, "global");
    if (!JSValueIsObject(js.context, value))
        std::abort();
    JSObjectRef global = JSValueToObject(js.context, value, nullptr);
    const std::vector<std::u16string> keys = { u"ctx", u"schoolId", u"userId", u"areaAbb", u"userType", u"accountType",
        u"userName", u"device" };
    if (orderedNames(js.context, global) != keys)
        std::abort();
    expectText(js.context, global, "ctx", core::ORBEndpoints::serverBase() + "mobile2/");
    expectNumber(js.context, global, "schoolId", account->schoolUid);
    expectNumber(js.context, global, "userId", account->uid);
    expectText(js.context, global, "areaAbb", account->region);
    expectNumber(js.context, global, "userType", account->type);
    expectNumber(js.context, global, "accountType", account->type);
    expectText(js.context, global, "userName", account->name);
    expectText(js.context, global, "device", "ios");
    return 0;
}
