#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// The platform's own JSON serialisation, used where the phone's system
// serialiser is called (the request dispatcher's bodies and replies). It is
// independent of the project's JSON codec so that each can check the other.
//
// Writing: null, bools, integers (signed and unsigned 64-bit), finite doubles,
// decimals, texts (valid UTF-8), arrays and dictionaries (keys in insertion
// order). NaN, infinity, data, dates and records give an Error. Any value may
// stand at the top.
//
// Reading: any JSON value at the top (fragments such as "3" or "\"x\"").
// Integers become Int (UInt above the signed range, Decimal beyond 64 bits),
// numbers with a fraction or exponent Double (beyond the double range they are
// refused), true/false Bool. Keys keep their
// order in the text; a repeated key keeps the last value. Invalid input gives
// nothing and an Error.
class PlatformJson final {
public:
    PlatformJson() = delete;

    enum class Style { Compact, Pretty };

    static std::optional<std::string> write(const Value& value, Style style = Style::Compact, Error* error = nullptr);
    static std::optional<Bytes> writeData(const Value& value, Style style = Style::Compact, Error* error = nullptr);

    static std::optional<Value> read(std::string_view text, Error* error = nullptr);
    static std::optional<Value> read(const Bytes& data, Error* error = nullptr);

    // True when write would accept the value.
    static bool isValidJsonValue(const Value& value);
};

} // namespace platform
