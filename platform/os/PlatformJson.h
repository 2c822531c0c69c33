#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <cstdint>
#include <functional>
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

    // Bounds on what reading a text may cost, for texts from elsewhere.
    struct ReadLimits {
        // The most the value being built may hold in memory, counted as it
        // grows (each value, the room its lists and texts have taken, the
        // allocator's own share). Past it the read stops at once and fails
        // with kValueTooLargeCode, whatever the text's size: a short text can
        // describe a value many times its size.
        std::size_t largestValue = SIZE_MAX;
        // Elements of arrays nested this deep (1: the top array's elements,
        // 3: those of an array inside an object inside the top array; 0:
        // none) are handed to `takePart` as each is complete and are not kept
        // in their array, so that a long list is read without being held
        // whole. `outerIndex` is the place, in the top array, of the element
        // that holds the part; `arrayKey` the key the part's array stands
        // under ("" when it stands in an array). Answering false stops the
        // read, which then fails.
        std::size_t partDepth = 0;
        std::function<bool(std::size_t outerIndex, std::string_view arrayKey, Value&& part)> takePart;
        // Told when an array whose elements are parts opens, with the place
        // and key its parts will have: a key given twice keeps its last
        // value, so parts taken before under the same key of the same object
        // are no longer part of the value.
        std::function<void(std::size_t outerIndex, std::string_view arrayKey)> partsBegin;
    };
    // The code of the error of a read past ReadLimits::largestValue.
    // Ours, in the range of the property list read errors.
    static constexpr int kValueTooLargeCode = 3849;
    static std::optional<Value> read(std::string_view text, const ReadLimits& limits, Error* error = nullptr);

    // True when write would accept the value.
    static bool isValidJsonValue(const Value& value);
};

} // namespace platform
