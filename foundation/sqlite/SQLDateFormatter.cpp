#include "foundation/sqlite/SQLDateFormatter.h"

#include "platform/os/Log.h"

#include <cmath>
#include <cstdint>
#include <vector>

namespace foundation {

namespace {

const char* const kMonthNames[] = { "January", "February", "March", "April", "May", "June", "July", "August",
    "September", "October", "November", "December" };
const char* const kDayNames[] = { "Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday" };

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
std::int64_t daysFromCivil(std::int64_t y, int m, int d)
{
    y -= m <= 2;
    std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    std::int64_t yoe = y - era * 400;
    std::int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    std::int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(std::int64_t z, std::int64_t& y, int& m, int& d)
{
    z += 719468;
    std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    std::int64_t doe = z - era * 146097;
    std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = yoe + era * 400;
    std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    std::int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y += m <= 2;
}

struct Token {
    char letter = 0; // 0 for literal text
    int width = 0;
    std::string literal;
};

std::vector<Token> tokenize(const std::string& pattern)
{
    std::vector<Token> tokens;
    auto addLiteral = [&](char c) {
        if (tokens.empty() || tokens.back().letter != 0)
            tokens.push_back(Token {});
        tokens.back().literal += c;
    };
    for (std::size_t i = 0; i < pattern.size();) {
        char c = pattern[i];
        if (c == '\'') {
            if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                addLiteral('\'');
                i += 2;
                continue;
            }
            ++i;
            while (i < pattern.size()) {
                if (pattern[i] == '\'') {
                    if (i + 1 < pattern.size() && pattern[i + 1] == '\'') {
                        addLiteral('\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                addLiteral(pattern[i++]);
            }
            continue;
        }
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            std::size_t j = i;
            while (j < pattern.size() && pattern[j] == c)
                ++j;
            tokens.push_back(Token { c, static_cast<int>(j - i), {} });
            i = j;
            continue;
        }
        addLiteral(c);
        ++i;
    }
    return tokens;
}

std::string padded(std::int64_t value, int width)
{
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (static_cast<int>(digits.size()) < width)
        digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
    return value < 0 ? "-" + digits : digits;
}

bool readNumber(std::string_view text, std::size_t& pos, int minDigits, int maxDigits, std::int64_t& out)
{
    std::size_t start = pos;
    out = 0;
    while (pos < text.size() && static_cast<int>(pos - start) < maxDigits && text[pos] >= '0' && text[pos] <= '9')
        out = out * 10 + (text[pos++] - '0');
    return static_cast<int>(pos - start) >= minDigits;
}

bool readName(std::string_view text, std::size_t& pos, const char* const* names, int count, bool abbreviated, int& out)
{
    for (int i = 0; i < count; ++i) {
        std::string_view name(names[i]);
        if (abbreviated)
            name = name.substr(0, 3);
        if (text.substr(pos, name.size()) == name) {
            pos += name.size();
            out = i;
            return true;
        }
    }
    return false;
}

} // namespace

SQLDateFormatter::SQLDateFormatter(std::string dateFormat, int secondsFromGMT, std::string localeIdentifier)
    : dateFormat_(std::move(dateFormat))
    , secondsFromGMT_(secondsFromGMT)
    , localeIdentifier_(std::move(localeIdentifier))
{
}

std::string SQLDateFormatter::stringFromDate(platform::Date date) const
{
    double local = date.seconds + secondsFromGMT_;
    double whole = std::floor(local);
    double fraction = local - whole;
    std::int64_t total = static_cast<std::int64_t>(whole);
    std::int64_t days = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
    std::int64_t secondOfDay = total - days * 86400;
    std::int64_t year;
    int month, day;
    civilFromDays(days, year, month, day);
    int hour = static_cast<int>(secondOfDay / 3600);
    int minute = static_cast<int>(secondOfDay / 60 % 60);
    int second = static_cast<int>(secondOfDay % 60);
    int weekday = static_cast<int>(((days % 7) + 11) % 7); // 1970-01-01 was a Thursday

    std::string out;
    for (const Token& t : tokenize(dateFormat_)) {
        switch (t.letter) {
        case 0:
            out += t.literal;
            break;
        case 'y':
            out += t.width == 2 ? padded(year % 100, 2) : padded(year, t.width);
            break;
        case 'M':
            if (t.width >= 4)
                out += kMonthNames[month - 1];
            else if (t.width == 3)
                out += std::string(kMonthNames[month - 1], 3);
            else
                out += padded(month, t.width);
            break;
        case 'd':
            out += padded(day, t.width);
            break;
        case 'H':
            out += padded(hour, t.width);
            break;
        case 'h':
            out += padded(hour % 12 == 0 ? 12 : hour % 12, t.width);
            break;
        case 'a':
            out += hour < 12 ? "AM" : "PM";
            break;
        case 'm':
            out += padded(minute, t.width);
            break;
        case 's':
            out += padded(second, t.width);
            break;
        case 'S': {
            double scaled = std::floor(fraction * std::pow(10.0, t.width));
            out += padded(static_cast<std::int64_t>(scaled), t.width);
            break;
        }
        case 'E':
            out += t.width >= 4 ? std::string(kDayNames[weekday]) : std::string(kDayNames[weekday], 3);
            break;
        case 'Z': {
            int offset = secondsFromGMT_;
            out += offset < 0 ? '-' : '+';
            offset = offset < 0 ? -offset : offset;
            out += padded(offset / 3600, 2) + padded(offset / 60 % 60, 2);
            break;
        }
        default:
            out.append(static_cast<std::size_t>(t.width), t.letter);
            break;
        }
    }
    return out;
}

std::optional<platform::Date> SQLDateFormatter::dateFromString(std::string_view text) const
{
    std::int64_t year = 1970, value = 0;
    int month = 1, day = 1, hour = 0, minute = 0, second = 0, offset = secondsFromGMT_;
    double fraction = 0;
    bool pm = false, twelveHour = false;
    std::size_t pos = 0;
    for (const Token& t : tokenize(dateFormat_)) {
        switch (t.letter) {
        case 0:
            if (text.substr(pos, t.literal.size()) != t.literal)
                return std::nullopt;
            pos += t.literal.size();
            break;
        case 'y':
            if (!readNumber(text, pos, t.width == 2 ? 2 : 1, t.width == 2 ? 2 : 9, value))
                return std::nullopt;
            year = t.width == 2 ? 2000 + value : value;
            break;
        case 'M':
            if (t.width >= 3) {
                int index;
                if (!readName(text, pos, kMonthNames, 12, t.width == 3, index))
                    return std::nullopt;
                month = index + 1;
            } else {
                if (!readNumber(text, pos, t.width, 2, value))
                    return std::nullopt;
                month = static_cast<int>(value);
            }
            break;
        case 'd':
        case 'H':
        case 'h':
        case 'm':
        case 's':
            if (!readNumber(text, pos, t.width, 2, value))
                return std::nullopt;
            if (t.letter == 'd')
                day = static_cast<int>(value);
            else if (t.letter == 'H')
                hour = static_cast<int>(value);
            else if (t.letter == 'h') {
                hour = static_cast<int>(value);
                twelveHour = true;
            } else if (t.letter == 'm')
                minute = static_cast<int>(value);
            else
                second = static_cast<int>(value);
            break;
        case 'a':
            if (text.substr(pos, 2) == "AM")
                pm = false;
            else if (text.substr(pos, 2) == "PM")
                pm = true;
            else
                return std::nullopt;
            pos += 2;
            break;
        case 'S': {
            std::size_t start = pos;
            if (!readNumber(text, pos, t.width, t.width, value))
                return std::nullopt;
            fraction = static_cast<double>(value) / std::pow(10.0, static_cast<double>(pos - start));
            break;
        }
        case 'E': {
            int index;
            if (!readName(text, pos, kDayNames, 7, t.width < 4, index))
                return std::nullopt;
            break;
        }
        case 'Z': {
            if (pos >= text.size() || (text[pos] != '+' && text[pos] != '-'))
                return std::nullopt;
            int sign = text[pos++] == '-' ? -1 : 1;
            std::int64_t hh, mm;
            if (!readNumber(text, pos, 2, 2, hh) || !readNumber(text, pos, 2, 2, mm))
                return std::nullopt;
            offset = sign * static_cast<int>(hh * 3600 + mm * 60);
            break;
        }
        default:
            for (int i = 0; i < t.width; ++i) {
                if (pos >= text.size() || text[pos] != t.letter)
                    return std::nullopt;
                ++pos;
            }
            break;
        }
    }
    if (pos != text.size())
        return std::nullopt;
    if (twelveHour) {
        if (hour < 1 || hour > 12)
            return std::nullopt;
        hour = hour % 12 + (pm ? 12 : 0);
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60)
        return std::nullopt;
    std::int64_t days = daysFromCivil(year, month, day);
    double seconds = static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second) + fraction - offset;
    return platform::Date::fromSeconds(seconds);
}

} // namespace foundation
