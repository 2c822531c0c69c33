#pragma once

#include "foundation/json/JsonUTF8Stream.h"
#include "platform/os/Value.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace foundation {

enum class JsonTokenType {
    Error,
    EndOfInput, // no complete token in the buffered bytes
    ArrayStart,
    ArrayEnd,
    ObjectStart,
    ObjectEnd,
    ValueSeparator,
    KeyValueSeparator,
    Number,
    String,
    True,
    False,
    Null,
};

// The token's name as error messages give it ("start of array", "number", ...).
const char* jsonTokenName(JsonTokenType type);

// Cuts buffered bytes into JSON tokens. A token that is not complete yet
// answers end of input and is read again from its first byte once more
// bytes are appended.
class JsonTokeniser final {
public:
    JsonTokeniser() = default;

    // Copies the bytes; the caller may drop them at once.
    void appendData(const std::uint8_t* bytes, std::size_t length)
    {
        stream_.appendData(bytes, length);
        stream_.retainRemaining();
    }

    // The next token. For a string token `string` holds its text; for a
    // number token `number` holds a 64-bit integer or an exact decimal.
    JsonTokenType getToken(std::string& string, platform::Value& number);

    const std::string& error() const { return error_; }
    JsonUTF8Stream& stream() { return stream_; }

private:
    JsonTokenType fail(std::string message);
    JsonTokenType getStringToken(std::string& string);
    JsonTokenType getNumberToken(platform::Value& number);
    JsonTokenType matchLiteral(const char* literal, std::size_t length, JsonTokenType type);

    JsonUTF8Stream stream_;
    std::string error_;
};

} // namespace foundation
