#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Error codes of property-list and JSON reading and writing (Cocoa domain).
inline constexpr long kPropertyListReadCorruptError = 3840;
inline constexpr long kPropertyListWriteInvalidError = 3851;

// XML property lists: <plist version="1.0"> holding one of dict, array,
// string, integer, real, true, false, data (Base64) and date (ISO 8601 UTC,
// whole seconds, "2024-01-02T03:04:05Z").
//
// Reading maps integers to Int (UInt above the signed range), reals to
// Double, and never fetches a DTD or expands entities. Malformed input gives
// an Error, never a crash.
class PropertyList final {
public:
    PropertyList() = delete;

    static std::optional<Value> parse(std::string_view xml, Error* error = nullptr);
    static std::optional<Value> readFile(const std::string& path, Error* error = nullptr);

    // Null, records and texts XML 1.0 cannot carry (control characters,
    // invalid UTF-8) have no property-list form: they give an Error. Decimals
    // are written as reals.
    static std::optional<std::string> serialize(const Value& value, Error* error = nullptr);
    // Written to a temporary file and renamed over the target.
    static bool writeFile(
        const std::string& path, const Value& value, Error* error = nullptr, unsigned permissions = 0644);

    // True when serialize would accept the value.
    static bool isValid(const Value& value);
    // The text without what a property list cannot hold: the characters XML
    // 1.0 does not allow and the bytes that are not UTF-8 are left out.
    static std::string holdableText(std::string_view text);

    // Helpers shared with the tests and the JSON serialisation.
    // Nothing for dates outside the years 0 to 9999 or not finite.
    static std::optional<std::string> formatDate(Date date);
    static std::optional<Date> parseDate(std::string_view text);
};

} // namespace platform
