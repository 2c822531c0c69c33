#include "foundation/http/HTTPResponseRules.h"

#include "platform/os/StringUtil.h"

#include <cctype>
#include <limits>

namespace foundation {

namespace http_rules {

namespace {

    std::string_view trimBlanks(std::string_view text)
    {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        return text;
    }

    std::optional<unsigned long long> parseDigits(std::string_view digits)
    {
        if (digits.empty())
            return std::nullopt;
        unsigned long long value = 0;
        for (char c : digits) {
            if (c < '0' || c > '9')
                return std::nullopt;
            unsigned digit = static_cast<unsigned>(c - '0');
            if (value > (std::numeric_limits<unsigned long long>::max() - digit) / 10)
                return std::nullopt;
            value = value * 10 + digit;
        }
        return value;
    }

    // The integer after "name=" where the text at pos starts with it; 0 when the
    // number is missing, as a server leaving it out means.
    long long integerAfter(std::string_view text, std::size_t pos)
    {
        long long value = 0;
        while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
            if (value < 100000000)
                value = value * 10 + (text[pos] - '0');
            ++pos;
        }
        return value;
    }

} // namespace

std::optional<unsigned long long> parseContentLength(std::string_view text) { return parseDigits(trimBlanks(text)); }

std::optional<double> keepAliveLifetime(std::string_view version, const std::optional<std::string>& connection,
    const std::optional<std::string>& keepAlive, double defaultSeconds)
{
    std::string connectionValue = connection ? platform::asciiToLower(trimBlanks(*connection)) : std::string();
    if (version == "HTTP/1.0" && connectionValue != "keep-alive")
        return std::nullopt;
    if (connectionValue == "close")
        return std::nullopt;
    if (!keepAlive)
        return defaultSeconds;

    // "timeout=N" at the start of the value, then "max=M" anywhere after it.
    std::string_view value = *keepAlive;
    std::size_t pos = 0;
    while (pos < value.size() && std::isspace(static_cast<unsigned char>(value[pos])))
        ++pos;
    long long timeout = 0;
    if (value.substr(pos, 8) == "timeout=") {
        pos += 8;
        timeout = integerAfter(value, pos);
    }
    long long max = 0;
    std::size_t maxAt = value.find("max=", pos);
    if (maxAt != std::string_view::npos)
        max = integerAfter(value, maxAt + 4);
    // Servers about to close after a few more requests are not worth keeping.
    if (max <= 5)
        return std::nullopt;
    return static_cast<double>(timeout);
}

std::optional<unsigned long long> contentRangeStart(std::string_view text)
{
    text = trimBlanks(text);
    if (text.substr(0, 6) != "bytes " && text.substr(0, 6) != "Bytes ")
        return std::nullopt;
    text.remove_prefix(6);
    text = trimBlanks(text);
    std::size_t dash = text.find('-');
    if (dash == std::string_view::npos)
        return std::nullopt;
    return parseDigits(text.substr(0, dash));
}

} // namespace http_rules

} // namespace foundation
