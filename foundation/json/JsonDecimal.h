#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace foundation {

// The parser's limits on numbers: significant digits and decimal exponent.
inline constexpr std::size_t kJsonMaxDigits = 38;
inline constexpr long long kJsonMinExponent = -128;
inline constexpr long long kJsonMaxExponent = 127;

// Exact decimal numbers travel as text. Every decimal the codec makes is in
// one form, so that equal numbers compare equal as values (1.50, 15e-1 and
// 1.5 all read as "1.5"): no leading or trailing zeros, no "-0", plain
// digits while they fit the parser's limits, else digits and an exponent
// ("1e100", "25e-121").
std::string jsonDecimalText(bool negative, std::string_view digits, long long exponent);

enum class JsonDecimalCheck {
    Valid, // already a JSON number
    Rewritten, // a number in a looser form; written in the plain form
    NotANumber,
    PlusInfinity,
    MinusInfinity,
};

// Checks the text of a decimal value before it is written, so that the
// output is always a JSON number or the write fails.
JsonDecimalCheck checkJsonDecimal(std::string_view text, std::string* rewritten);

// True when the text is a number by RFC 8259's grammar.
bool isJsonNumberText(std::string_view text);

} // namespace foundation
