#include "platform/os/StringUtil.h"

#include <locale.h>
#include <wctype.h>

namespace platform {

namespace {

    constexpr char32_t kReplacement = 0xFFFD;

    struct Decoded {
        char32_t codePoint;
        std::size_t length; // bytes consumed, at least 1
        bool valid;
    };

    // Strict UTF-8 (RFC 3629): no overlong forms, no surrogates, nothing past
    // U+10FFFF. A bad sequence consumes exactly one byte.
    Decoded decodeAt(std::string_view text, std::size_t pos)
    {
        auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
        unsigned char b0 = byte(pos);
        if (b0 < 0x80)
            return { b0, 1, true };
        std::size_t need;
        char32_t cp;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b0 >= 0xC2 && b0 <= 0xDF) {
            need = 1;
            cp = b0 & 0x1F;
        } else if (b0 >= 0xE0 && b0 <= 0xEF) {
            need = 2;
            cp = b0 & 0x0F;
            if (b0 == 0xE0)
                lo = 0xA0;
            else if (b0 == 0xED)
                hi = 0x9F;
        } else if (b0 >= 0xF0 && b0 <= 0xF4) {
            need = 3;
            cp = b0 & 0x07;
            if (b0 == 0xF0)
                lo = 0x90;
            else if (b0 == 0xF4)
                hi = 0x8F;
        } else {
            return { kReplacement, 1, false };
        }
        // A sequence cut off by the end of the text is invalid too.
        if (need >= text.size() - pos)
            return { kReplacement, 1, false };
        for (std::size_t i = 1; i <= need; ++i) {
            unsigned char b = byte(pos + i);
            unsigned char min = i == 1 ? lo : 0x80;
            unsigned char max = i == 1 ? hi : 0xBF;
            if (b < min || b > max)
                return { kReplacement, 1, false };
            cp = (cp << 6) | (b & 0x3F);
        }
        return { cp, need + 1, true };
    }

    std::size_t unitsOf(char32_t cp) { return cp >= 0x10000 ? 2 : 1; }

    void appendUtf8(std::string& out, char32_t cp)
    {
        if (cp < 0x80) {
            out += static_cast<char>(cp);
        } else if (cp < 0x800) {
            out += static_cast<char>(0xC0 | (cp >> 6));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp < 0x10000) {
            if (cp >= 0xD800 && cp <= 0xDFFF)
                return;
            out += static_cast<char>(0xE0 | (cp >> 12));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        } else if (cp <= 0x10FFFF) {
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
        }
    }

    // Calls fn(codePoint, byteOffset, byteLength) for each character.
    template <typename Fn> void forEachCodePoint(std::string_view text, Fn&& fn)
    {
        std::size_t pos = 0;
        while (pos < text.size()) {
            Decoded d = decodeAt(text, pos);
            if (!fn(d.codePoint, pos, d.length))
                return;
            pos += d.length;
        }
    }

    // The C.UTF-8 locale of glibc carries the full Unicode case and character
    // class tables, independent of the user's locale settings.
    locale_t unicodeLocale()
    {
        static locale_t locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
        return locale;
    }

    // Without the C.UTF-8 locale (a stripped-down libc), fall back to ASCII and Latin-1.
    char32_t upperOf(char32_t cp)
    {
        if (locale_t loc = unicodeLocale())
            return static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), loc));
        if ((cp >= 'a' && cp <= 'z') || (cp >= 0xE0 && cp <= 0xFE && cp != 0xF7))
            return cp - 0x20;
        if (cp == 0xFF)
            return 0x178;
        if (cp == 0xB5)
            return 0x39C;
        return cp;
    }

    char32_t lowerOf(char32_t cp)
    {
        if (locale_t loc = unicodeLocale())
            return static_cast<char32_t>(towlower_l(static_cast<wint_t>(cp), loc));
        if ((cp >= 'A' && cp <= 'Z') || (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7))
            return cp + 0x20;
        if (cp == 0x178)
            return 0xFF;
        return cp;
    }

    bool isCombiningMark(char32_t cp)
    {
        if (locale_t loc = unicodeLocale()) {
            static wctype_t combining = wctype_l("combining", loc);
            if (combining)
                return iswctype_l(static_cast<wint_t>(cp), combining, loc);
        }
        return (cp >= 0x300 && cp <= 0x36F) || (cp >= 0x1AB0 && cp <= 0x1AFF) || (cp >= 0x1DC0 && cp <= 0x1DFF)
            || (cp >= 0x20D0 && cp <= 0x20FF) || (cp >= 0xFE20 && cp <= 0xFE2F);
    }

    bool isVariationSelector(char32_t cp) { return (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xE0100 && cp <= 0xE01EF); }
    bool isEmojiModifier(char32_t cp) { return cp >= 0x1F3FB && cp <= 0x1F3FF; }
    bool isTagCharacter(char32_t cp) { return cp >= 0xE0020 && cp <= 0xE007F; }
    bool isRegionalIndicator(char32_t cp) { return cp >= 0x1F1E6 && cp <= 0x1F1FF; }
    bool isHangulVowelOrTrailingJamo(char32_t cp)
    {
        return (cp >= 0x1160 && cp <= 0x11FF) || (cp >= 0xD7B0 && cp <= 0xD7FB);
    }
    bool isHangul(char32_t cp)
    {
        return (cp >= 0x1100 && cp <= 0x11FF) || (cp >= 0xA960 && cp <= 0xA97F) || (cp >= 0xAC00 && cp <= 0xD7A3)
            || (cp >= 0xD7B0 && cp <= 0xD7FB);
    }

    constexpr char32_t kZeroWidthJoiner = 0x200D;

} // namespace

bool isValidUtf8(std::string_view text)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        Decoded d = decodeAt(text, pos);
        if (!d.valid)
            return false;
        pos += d.length;
    }
    return true;
}

std::size_t utf16Length(std::string_view text)
{
    std::size_t units = 0;
    forEachCodePoint(text, [&](char32_t cp, std::size_t, std::size_t) {
        units += unitsOf(cp);
        return true;
    });
    return units;
}

std::string utf16Substring(std::string_view text, std::size_t offset, std::size_t length)
{
    std::string out;
    std::size_t end = length > SIZE_MAX - offset ? SIZE_MAX : offset + length;
    std::size_t unit = 0;
    forEachCodePoint(text, [&](char32_t cp, std::size_t, std::size_t) {
        std::size_t n = unitsOf(cp);
        if (unit >= end)
            return false;
        if (unit >= offset && unit + n <= end)
            appendUtf8(out, cp);
        unit += n;
        return true;
    });
    return out;
}

std::string utf16Prefix(std::string_view text, std::size_t maxUnits) { return utf16Substring(text, 0, maxUnits); }

std::optional<char16_t> utf16UnitAt(std::string_view text, std::size_t index)
{
    std::optional<char16_t> result;
    std::size_t unit = 0;
    forEachCodePoint(text, [&](char32_t cp, std::size_t, std::size_t) {
        if (cp < 0x10000) {
            if (unit == index) {
                result = static_cast<char16_t>(cp);
                return false;
            }
            unit += 1;
            return true;
        }
        char32_t v = cp - 0x10000;
        if (unit == index)
            result = static_cast<char16_t>(0xD800 + (v >> 10));
        else if (unit + 1 == index)
            result = static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        unit += 2;
        return !result;
    });
    return result;
}

std::optional<std::u16string> toUtf16(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        Decoded d = decodeAt(text, pos);
        if (!d.valid)
            return std::nullopt;
        if (d.codePoint < 0x10000) {
            out += static_cast<char16_t>(d.codePoint);
        } else {
            char32_t v = d.codePoint - 0x10000;
            out += static_cast<char16_t>(0xD800 + (v >> 10));
            out += static_cast<char16_t>(0xDC00 + (v & 0x3FF));
        }
        pos += d.length;
    }
    return out;
}

std::optional<std::string> fromUtf16(std::u16string_view units)
{
    std::string out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        char32_t u = units[i];
        if (u >= 0xD800 && u <= 0xDBFF) {
            if (i + 1 >= units.size() || units[i + 1] < 0xDC00 || units[i + 1] > 0xDFFF)
                return std::nullopt;
            char32_t low = units[++i];
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00));
        } else if (u >= 0xDC00 && u <= 0xDFFF) {
            return std::nullopt;
        } else {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::string utf8FromCodePoint(char32_t codePoint)
{
    std::string out;
    appendUtf8(out, codePoint);
    return out;
}

std::u32string codePoints(std::string_view text)
{
    std::u32string out;
    forEachCodePoint(text, [&](char32_t cp, std::size_t, std::size_t) {
        out += cp;
        return true;
    });
    return out;
}

std::string toUpper(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](char32_t cp, std::size_t, std::size_t) {
        if (cp < 0x80)
            out += static_cast<char>(cp >= 'a' && cp <= 'z' ? cp - 0x20 : cp);
        else if (cp == 0xDF) // ß has no single upper-case letter in common use
            out += "SS";
        else
            appendUtf8(out, upperOf(cp));
        return true;
    });
    return out;
}

std::string toLower(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    forEachCodePoint(text, [&](char32_t cp, std::size_t, std::size_t) {
        if (cp < 0x80)
            out += static_cast<char>(cp >= 'A' && cp <= 'Z' ? cp + 0x20 : cp);
        else
            appendUtf8(out, lowerOf(cp));
        return true;
    });
    return out;
}

std::string asciiToLower(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c + 0x20);
    }
    return out;
}

std::string asciiToUpper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 0x20);
    }
    return out;
}

bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x + 0x20);
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y + 0x20);
        if (x != y)
            return false;
    }
    return true;
}

bool isWhitespaceOrNewline(char32_t cp)
{
    return (cp >= 0x09 && cp <= 0x0D) || cp == 0x20 || cp == 0x85 || cp == 0xA0 || cp == 0x1680
        || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 || cp == 0x202F || cp == 0x205F
        || cp == 0x3000;
}

std::string trimWhitespaceAndNewlines(std::string_view text)
{
    std::size_t first = text.size(), last = 0;
    forEachCodePoint(text, [&](char32_t cp, std::size_t pos, std::size_t len) {
        if (!isWhitespaceOrNewline(cp)) {
            if (first == text.size())
                first = pos;
            last = pos + len;
        }
        return true;
    });
    if (first == text.size())
        return {};
    return std::string(text.substr(first, last - first));
}

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to)
{
    if (from.empty())
        return std::string(text);
    std::string out;
    std::size_t pos = 0;
    while (true) {
        std::size_t hit = text.find(from, pos);
        if (hit == std::string_view::npos)
            break;
        out.append(text.substr(pos, hit - pos));
        out.append(to);
        pos = hit + from.size();
    }
    out.append(text.substr(pos));
    return out;
}

std::vector<std::string> split(std::string_view text, std::string_view separator)
{
    std::vector<std::string> parts;
    if (separator.empty()) {
        parts.emplace_back(text);
        return parts;
    }
    std::size_t pos = 0;
    while (true) {
        std::size_t hit = text.find(separator, pos);
        if (hit == std::string_view::npos)
            break;
        parts.emplace_back(text.substr(pos, hit - pos));
        pos = hit + separator.size();
    }
    parts.emplace_back(text.substr(pos));
    return parts;
}

bool hasPrefix(std::string_view text, std::string_view prefix) { return text.starts_with(prefix); }
bool hasSuffix(std::string_view text, std::string_view suffix) { return text.ends_with(suffix); }

std::vector<ComposedCharacter> composedCharacters(std::string_view text)
{
    std::vector<ComposedCharacter> out;
    std::size_t units = 0;
    char32_t previous = 0;
    bool joinNext = false; // the previous character was a ZERO WIDTH JOINER
    bool openRegionalPair = false; // the current cluster is a single regional indicator so far
    forEachCodePoint(text, [&](char32_t cp, std::size_t pos, std::size_t len) {
        bool attach = false;
        if (!out.empty()) {
            if (joinNext)
                attach = true;
            else if (cp == kZeroWidthJoiner || isCombiningMark(cp) || isVariationSelector(cp) || isEmojiModifier(cp)
                || isTagCharacter(cp))
                attach = true;
            else if (previous == '\r' && cp == '\n')
                attach = true;
            else if (openRegionalPair && isRegionalIndicator(cp))
                attach = true;
            else if (isHangul(previous) && isHangulVowelOrTrailingJamo(cp))
                attach = true;
        }
        if (attach) {
            ComposedCharacter& c = out.back();
            c.byteLength += len;
            c.utf16Length += unitsOf(cp);
            openRegionalPair = false;
        } else {
            out.push_back({ pos, len, units, unitsOf(cp) });
            openRegionalPair = isRegionalIndicator(cp);
        }
        joinNext = cp == kZeroWidthJoiner;
        units += unitsOf(cp);
        previous = cp;
        return true;
    });
    return out;
}

std::string scriptStringLiteral(std::string_view text)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out = "'";
    out.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        switch (c) {
        case '\\':
            out += "\\\\";
            continue;
        case '\'':
            out += "\\'";
            continue;
        case '"':
            out += "\\\"";
            continue;
        case '\n':
            out += "\\n";
            continue;
        case '\r':
            out += "\\r";
            continue;
        case '<':
        case '>':
        case '&':
            break;
        default:
            // U+2028 and U+2029 end a line inside script source.
            if (c == 0xE2 && i + 2 < text.size() && static_cast<unsigned char>(text[i + 1]) == 0x80
                && (static_cast<unsigned char>(text[i + 2]) == 0xA8 || static_cast<unsigned char>(text[i + 2]) == 0xA9)) {
                out += static_cast<unsigned char>(text[i + 2]) == 0xA8 ? "\\u2028" : "\\u2029";
                i += 2;
                continue;
            }
            if (c >= 0x20 && c != 0x7F) {
                out += static_cast<char>(c);
                continue;
            }
        }
        out += "\\x";
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out + "'";
}

std::string htmlEscaped(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        switch (c) {
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '&':
            out += "&amp;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out.push_back(c);
        }
    }
    return out;
}

std::string firstCharacter(std::string_view text)
{
    if (text.empty())
        return {};
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF8 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || length > text.size() || !isValidUtf8(text.substr(0, length)))
        return {};
    return std::string(text.substr(0, length));
}

} // namespace platform
