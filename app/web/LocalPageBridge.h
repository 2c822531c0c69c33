#pragma once

#include "platform/os/StringUtil.h"
#include "platform/os/Url.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// How native code reads a local page's call. A page calls by navigating its
// document to a fixed path, "/browseBigPhoto/url:<address>" for one; what the
// call carries follows the fixed part and is written by the page escaped as
// one address component (encodeURIComponent), so that no "/", "?", "#", "%"
// or ".." inside it is taken for part of the page's own address. The engine
// hands the address over with those escapes as they were; native code decodes
// them exactly once.
namespace localpage {

// Every occurrence in a page stands for the account script.
inline constexpr const char* kAccountScriptPlaceholder = "<ios_initUserInfo/>";

// The page's text with every placeholder replaced by the script.
inline std::string withScript(std::string text, std::string_view script)
{
    if (text.find(kAccountScriptPlaceholder) == std::string::npos)
        return text;
    return platform::replaceAll(text, kAccountScriptPlaceholder, script);
}

// Where the decoded form of `raw` has gone past `prefix`: the index in `raw`
// just after it (a "%3A" standing for the prefix's ":" counts as the colon);
// npos when the decoded text does not start with the prefix.
inline std::size_t afterDecodedPrefix(std::string_view raw, std::string_view prefix)
{
    std::size_t at = 0;
    for (char wanted : prefix) {
        if (at >= raw.size())
            return std::string_view::npos;
        char c = raw[at];
        std::size_t width = 1;
        if (c == '%' && at + 2 < raw.size() && platform::hexDigitValue(raw[at + 1]) >= 0
            && platform::hexDigitValue(raw[at + 2]) >= 0) {
            c = static_cast<char>(platform::hexDigitValue(raw[at + 1]) * 16 + platform::hexDigitValue(raw[at + 2]));
            width = 3;
        }
        if (c != wanted)
            return std::string_view::npos;
        at += width;
    }
    return at;
}

// What a call carries: the text after `prefix` in the address's path, with
// the address's query when it has one (a page that writes an address without
// escaping it leaves that address's query there), percent escapes decoded
// once; nullopt when the decoded path does not start with the prefix.
inline std::optional<std::string> callArgument(const platform::Url& address, std::string_view prefix)
{
    const std::string& raw = address.rawPath();
    std::size_t start = afterDecodedPrefix(raw, prefix);
    if (start == std::string_view::npos)
        return std::nullopt;
    std::string argument = raw.substr(start);
    if (auto query = address.query())
        argument += "?" + *query;
    return platform::percentDecode(argument).value_or(argument);
}

// The photo an address names, as both photo screens load it: the address as
// it stands when it is one, else with what an address may not hold escaped
// (the server writes a teacher's "春游 1.jpg" as it is); nullopt unless it is
// an http or https address with a host.
inline std::optional<platform::Url> photoAddress(std::string_view text)
{
    auto url = platform::Url::parse(text);
    if (!url)
        url = platform::Url::parse(platform::escapeUrlIllegalCharacters(text));
    if (!url)
        return std::nullopt;
    std::string scheme = platform::asciiToLower(url->scheme());
    if ((scheme != "http" && scheme != "https") || url->host().empty())
        return std::nullopt;
    return url;
}

} // namespace localpage
