#include "foundation/json/JsonDecimal.h"

#include <cctype>
#include <cstddef>

namespace foundation {

namespace {

    bool isDigit(char c) { return c >= '0' && c <= '9'; }

    bool equalsIgnoringCase(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
                return false;
        }
        return true;
    }

} // namespace

std::string jsonDecimalText(bool negative, std::string_view digits, long long exponent)
{
    std::size_t first = 0;
    while (first < digits.size() && digits[first] == '0')
        ++first;
    std::size_t last = digits.size();
    while (last > first && digits[last - 1] == '0') {
        --last;
        ++exponent;
    }
    if (first == last)
        return "0";
    std::string out;
    if (negative)
        out.push_back('-');
    std::string significant(digits.substr(first, last - first));
    const std::size_t n = significant.size();

    // The plain form when it stays within what the parser reads back (38
    // digits, counting a leading "0." zero); past that, digits and an
    // exponent, so that every decimal we make can be written and read again.
    if (exponent >= 0) {
        std::size_t e = static_cast<std::size_t>(exponent);
        if (n + e <= kJsonMaxDigits) {
            out += significant;
            out.append(e, '0');
            return out;
        }
        if (exponent > kJsonMaxExponent) {
            // Keep the exponent in range by moving zeros back into the digits.
            significant.append(static_cast<std::size_t>(exponent - kJsonMaxExponent), '0');
            exponent = kJsonMaxExponent;
        }
        out += significant;
        out += 'e';
        out += std::to_string(exponent);
        return out;
    }
    std::size_t fraction = static_cast<std::size_t>(-exponent);
    std::size_t plainDigits = fraction < n ? n : fraction + 1;
    if (plainDigits > kJsonMaxDigits) {
        out += significant;
        out += 'e';
        out += std::to_string(exponent);
        return out;
    }
    if (fraction < n) {
        out.append(significant, 0, n - fraction);
        out.push_back('.');
        out.append(significant, n - fraction, std::string::npos);
    } else {
        out.append("0.");
        out.append(fraction - n, '0');
        out += significant;
    }
    return out;
}

bool isJsonNumberText(std::string_view s)
{
    std::size_t i = 0, n = s.size();
    if (i < n && s[i] == '-')
        ++i;
    if (i >= n)
        return false;
    if (s[i] == '0') {
        ++i;
    } else if (isDigit(s[i])) {
        while (i < n && isDigit(s[i]))
            ++i;
    } else {
        return false;
    }
    if (i < n && s[i] == '.') {
        ++i;
        if (i >= n || !isDigit(s[i]))
            return false;
        while (i < n && isDigit(s[i]))
            ++i;
    }
    if (i < n && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < n && (s[i] == '+' || s[i] == '-'))
            ++i;
        if (i >= n || !isDigit(s[i]))
            return false;
        while (i < n && isDigit(s[i]))
            ++i;
    }
    return i == n;
}

JsonDecimalCheck checkJsonDecimal(std::string_view text, std::string* rewritten)
{
    if (isJsonNumberText(text))
        return JsonDecimalCheck::Valid;
    std::string_view s = text;
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front())))
        s.remove_prefix(1);
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back())))
        s.remove_suffix(1);
    bool negative = false;
    std::string_view body = s;
    if (!body.empty() && (body.front() == '+' || body.front() == '-')) {
        negative = body.front() == '-';
        body.remove_prefix(1);
    }
    if (equalsIgnoringCase(body, "nan"))
        return JsonDecimalCheck::NotANumber;
    if (equalsIgnoringCase(body, "inf") || equalsIgnoringCase(body, "infinity"))
        return negative ? JsonDecimalCheck::MinusInfinity : JsonDecimalCheck::PlusInfinity;

    // A looser form: digits with an optional point anywhere and an optional
    // exponent ("+1", ".5", "1.", "007").
    std::string digits;
    long long exponent = 0;
    std::size_t i = 0;
    bool sawDigit = false;
    while (i < body.size() && isDigit(body[i])) {
        digits.push_back(body[i++]);
        sawDigit = true;
    }
    if (i < body.size() && body[i] == '.') {
        ++i;
        while (i < body.size() && isDigit(body[i])) {
            digits.push_back(body[i++]);
            --exponent;
            sawDigit = true;
        }
    }
    if (!sawDigit || digits.size() > 1000)
        return JsonDecimalCheck::NotANumber;
    if (i < body.size() && (body[i] == 'e' || body[i] == 'E')) {
        ++i;
        bool expNegative = false;
        if (i < body.size() && (body[i] == '+' || body[i] == '-'))
            expNegative = body[i++] == '-';
        if (i >= body.size() || !isDigit(body[i]))
            return JsonDecimalCheck::NotANumber;
        long long e = 0;
        while (i < body.size() && isDigit(body[i])) {
            e = e * 10 + (body[i++] - '0');
            // Beyond this the plain form would be absurdly long; no decimal
            // of ours comes near it.
            if (e > 1000)
                return JsonDecimalCheck::NotANumber;
        }
        exponent += expNegative ? -e : e;
    }
    if (i != body.size())
        return JsonDecimalCheck::NotANumber;
    if (rewritten)
        *rewritten = jsonDecimalText(negative, digits, exponent);
    return JsonDecimalCheck::Rewritten;
}

} // namespace foundation
