#include "foundation/json/JsonTokeniser.h"

#include "foundation/json/JsonDecimal.h"
#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"

#include <cstdint>
#include <limits>
#include <string_view>

namespace foundation {

namespace {

    bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

    // Four hexadecimal digits into one UTF-16 unit; -1 when any is not a digit.
    long hexQuad(const std::uint8_t* p)
    {
        long unit = 0;
        for (int i = 0; i < 4; ++i) {
            int h = platform::hexDigitValue(p[i]);
            if (h < 0)
                return -1;
            unit = unit * 16 + h;
        }
        return unit;
    }

    bool isHighSurrogate(long unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
    bool isLowSurrogate(long unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

    // An exponent beyond this is out of range whatever the fraction; stopping
    // here keeps the running value from overflowing on absurdly long exponents.
    constexpr long long kExponentCeiling = 1000000;

} // namespace

const char* jsonTokenName(JsonTokenType type)
{
    switch (type) {
    case JsonTokenType::ArrayStart:
        return "start of array";
    case JsonTokenType::ArrayEnd:
        return "end of array";
    case JsonTokenType::ObjectStart:
        return "start of object";
    case JsonTokenType::ObjectEnd:
        return "end of object";
    case JsonTokenType::ValueSeparator:
        return "value separator";
    case JsonTokenType::KeyValueSeparator:
        return "key-value separator";
    case JsonTokenType::Number:
        return "number";
    case JsonTokenType::String:
        return "string";
    case JsonTokenType::True:
    case JsonTokenType::False:
        return "boolean";
    case JsonTokenType::Null:
        return "null";
    case JsonTokenType::Error:
        return "error";
    case JsonTokenType::EndOfInput:
        return "end of input";
    }
    return "unknown";
}

JsonTokenType JsonTokeniser::fail(std::string message)
{
    error_ = std::move(message);
    return JsonTokenType::Error;
}

JsonTokenType JsonTokeniser::getToken(std::string& string, platform::Value& number)
{
    stream_.skipWhitespace();
    std::uint8_t ch;
    if (!stream_.getUnichar(&ch))
        return JsonTokenType::EndOfInput;

    std::size_t start = stream_.index();
    JsonTokenType type;
    switch (ch) {
    case '[':
        stream_.skip();
        return JsonTokenType::ArrayStart;
    case ']':
        stream_.skip();
        return JsonTokenType::ArrayEnd;
    case '{':
        stream_.skip();
        return JsonTokenType::ObjectStart;
    case '}':
        stream_.skip();
        return JsonTokenType::ObjectEnd;
    case ',':
        stream_.skip();
        return JsonTokenType::ValueSeparator;
    case ':':
        stream_.skip();
        return JsonTokenType::KeyValueSeparator;
    case '"':
        type = getStringToken(string);
        break;
    case 't':
        type = matchLiteral("true", 4, JsonTokenType::True);
        break;
    case 'f':
        type = matchLiteral("false", 5, JsonTokenType::False);
        break;
    case 'n':
        type = matchLiteral("null", 4, JsonTokenType::Null);
        break;
    case '+':
        return fail("Leading + is illegal in number");
    default:
        if (ch == '-' || isDigit(ch)) {
            type = getNumberToken(number);
            break;
        }
        {
            // The byte is shown as the character it stands for on its own
            // (Latin-1), kept valid UTF-8 so the message can be logged.
            std::string shown;
            JsonUTF8Stream::appendCodePoint(shown, ch);
            return fail("Illegal start of token [" + shown + "]");
        }
    }
    if (type == JsonTokenType::EndOfInput)
        stream_.setIndex(start);
    return type;
}

JsonTokenType JsonTokeniser::matchLiteral(const char* literal, std::size_t length, JsonTokenType type)
{
    if (!stream_.haveRemainingCharacters(length))
        return JsonTokenType::EndOfInput;
    if (stream_.skipCharacters(literal, length))
        return type;
    return fail(platform::format("Expected '%s' after initial '%.1s'", literal, literal));
}

JsonTokenType JsonTokeniser::getStringToken(std::string& string)
{
    const std::uint8_t* p = stream_.bytes();
    const std::size_t end = stream_.length();
    bool accumulating = false;
    string.clear();
    stream_.skip(); // the opening quote

    for (;;) {
        std::string_view fragment;
        if (!stream_.getStringFragment(&fragment))
            return JsonTokenType::EndOfInput;
        if (!JsonUTF8Stream::isValidUTF8(reinterpret_cast<const std::uint8_t*>(fragment.data()), fragment.size()))
            return fail("Broken Unicode encoding");
        std::size_t i = stream_.index();
        std::uint8_t stop = p[i];
        if (stop == '"') {
            if (accumulating)
                string.append(fragment);
            else
                string.assign(fragment);
            stream_.setIndex(i + 1);
            return JsonTokenType::String;
        }
        string.append(fragment);
        accumulating = true;
        if (stop < 0x20)
            return fail(platform::format("Unescaped control character [0x%02X]", static_cast<unsigned>(stop)));

        // A backslash: one escape.
        ++i;
        if (i >= end)
            return JsonTokenType::EndOfInput;
        switch (p[i]) {
        case '"':
        case '/':
        case '\\':
            string.push_back(static_cast<char>(p[i]));
            ++i;
            break;
        case 'b':
            string.push_back('\b');
            ++i;
            break;
        case 'f':
            string.push_back('\f');
            ++i;
            break;
        case 'n':
            string.push_back('\n');
            ++i;
            break;
        case 'r':
            string.push_back('\r');
            ++i;
            break;
        case 't':
            string.push_back('\t');
            ++i;
            break;
        case 'u': {
            if (end - i < 5)
                return JsonTokenType::EndOfInput;
            long unit = hexQuad(p + i + 1);
            if (unit < 0)
                return fail("Invalid hex quad");
            i += 5;
            if (isHighSurrogate(unit)) {
                if (end - i < 6)
                    return JsonTokenType::EndOfInput;
                if (p[i] != '\\' || p[i + 1] != 'u')
                    return fail("Missing low character in surrogate pair");
                long low = hexQuad(p + i + 2);
                if (low < 0)
                    return fail("Missing low character in surrogate pair");
                if (!isLowSurrogate(low))
                    return fail("Invalid low character in surrogate pair");
                i += 6;
                char32_t cp
                    = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (static_cast<char32_t>(low) - 0xDC00);
                JsonUTF8Stream::appendCodePoint(string, cp);
            } else if (isLowSurrogate(unit)) {
                return fail("Invalid high character in surrogate pair");
            } else {
                JsonUTF8Stream::appendCodePoint(string, static_cast<char32_t>(unit));
            }
            break;
        }
        default:
            return fail("Illegal escape character");
        }
        stream_.setIndex(i);
    }
}

JsonTokenType JsonTokeniser::getNumberToken(platform::Value& number)
{
    const std::uint8_t* p = stream_.bytes();
    const std::size_t end = stream_.length();
    std::size_t i = stream_.index();

    bool negative = false;
    if (p[i] == '-') {
        negative = true;
        if (++i >= end)
            return JsonTokenType::EndOfInput;
    }

    std::size_t digits = 0;
    std::uint64_t mantissa = 0;
    bool overflow = false;
    const std::size_t intStart = i;
    if (p[i] == '0') {
        ++digits;
        if (++i >= end)
            return JsonTokenType::EndOfInput;
        if (isDigit(p[i]))
            return fail("Leading zero is illegal in number");
    } else {
        while (isDigit(p[i])) {
            unsigned d = p[i] - '0';
            if (mantissa > (std::numeric_limits<std::uint64_t>::max() - d) / 10)
                overflow = true;
            else
                mantissa = mantissa * 10 + d;
            ++digits;
            if (++i >= end)
                return JsonTokenType::EndOfInput;
        }
    }
    const std::size_t intEnd = i;

    bool hasFraction = false;
    std::size_t fracStart = i, fracEnd = i;
    if (p[i] == '.') {
        hasFraction = true;
        if (++i >= end)
            return JsonTokenType::EndOfInput;
        if (!isDigit(p[i]))
            return fail("No digits after decimal point");
        fracStart = i;
        while (isDigit(p[i])) {
            ++digits;
            if (++i >= end)
                return JsonTokenType::EndOfInput;
        }
        fracEnd = i;
    }

    bool hasExponent = false;
    long long exponent = 0;
    if (p[i] == 'e' || p[i] == 'E') {
        hasExponent = true;
        if (++i >= end)
            return JsonTokenType::EndOfInput;
        bool expNegative = false;
        if (p[i] == '+' || p[i] == '-') {
            expNegative = p[i] == '-';
            if (++i >= end)
                return JsonTokenType::EndOfInput;
        }
        if (!isDigit(p[i]))
            return fail("No digits in exponent");
        while (isDigit(p[i])) {
            // Saturates rather than wraps: 1e65537 must not read as 1e1.
            if (exponent < kExponentCeiling)
                exponent = exponent * 10 + (p[i] - '0');
            if (++i >= end)
                return JsonTokenType::EndOfInput;
        }
        if (expNegative)
            exponent = -exponent;
    }

    if (digits == 0)
        return fail("No digits after initial minus");
    if (digits > kJsonMaxDigits)
        return fail("Precision is too high");
    exponent -= static_cast<long long>(fracEnd - fracStart);
    if (exponent < kJsonMinExponent || exponent > kJsonMaxExponent)
        return fail("Exponent out of range");

    stream_.setIndex(i);
    if (!hasFraction && !hasExponent && !overflow) {
        constexpr std::uint64_t maxSigned = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
        if (!negative) {
            if (mantissa <= maxSigned)
                number = platform::Value(static_cast<long long>(mantissa));
            else
                number = platform::Value(static_cast<unsigned long long>(mantissa));
            return JsonTokenType::Number;
        }
        if (mantissa <= maxSigned + 1) {
            // Negating in unsigned arithmetic keeps -2^63 exact.
            number = platform::Value(static_cast<long long>(0 - mantissa));
            return JsonTokenType::Number;
        }
    }

    // Fractions, exponents and integers beyond 64 bits stay exact as decimal text.
    std::string all;
    all.reserve(digits);
    all.append(reinterpret_cast<const char*>(p + intStart), intEnd - intStart);
    all.append(reinterpret_cast<const char*>(p + fracStart), fracEnd - fracStart);
    number = platform::Value::decimal(jsonDecimalText(negative, all, exponent));
    return JsonTokenType::Number;
}

} // namespace foundation
