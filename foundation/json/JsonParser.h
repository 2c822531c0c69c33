#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <string>
#include <string_view>

namespace foundation {

inline constexpr const char* kJsonParserErrorDomain = "org.vantrell.JsonParser.ErrorDomain";

// Parses one whole JSON text into values: objects become dictionaries (a
// repeated key keeps its last value), arrays arrays, strings texts, true and
// false booleans, null the null value, numbers 64-bit integers or exact
// decimals. The outer-most value must be an array or an object, so a null
// result always means failure, with the reason in error().
class JsonParser final {
public:
    JsonParser() = default;

    // A null pointer stands for missing input.
    platform::Value objectWithData(const platform::Bytes* data);
    platform::Value objectWithData(const platform::Bytes& data) { return objectWithData(&data); }
    platform::Value objectWithString(const std::string* text);
    platform::Value objectWithString(std::string_view text);
    // As above; on failure also stores an error of kJsonParserErrorDomain,
    // code 0, whose description is error(), when `error` is given.
    platform::Value objectWithString(std::string_view text, platform::Error* error);

    unsigned maxDepth() const { return maxDepth_; }
    void setMaxDepth(unsigned depth) { maxDepth_ = depth; }

    // The text of the last failure; empty while nothing has failed. A later
    // success leaves it as it was.
    const std::string& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

private:
    platform::Value parseBytes(const std::uint8_t* bytes, std::size_t length);

    unsigned maxDepth_ = 32;
    std::string error_;
};

// Parse a text or data with a new parser; on failure log
// "-JSONValue failed. Error is: <reason>" and answer null.
platform::Value JSONValue(std::string_view text);
platform::Value JSONValue(const platform::Bytes& data);

} // namespace foundation
