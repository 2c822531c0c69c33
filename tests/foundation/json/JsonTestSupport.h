#pragma once

#include "foundation/json/JsonParser.h"
#include "platform/os/Value.h"

#include <ostream>
#include <string>
#include <string_view>

namespace platform {
// Readable values in test failure messages.
inline void PrintTo(const Value& value, std::ostream* os) { *os << value.kindName() << " " << value.description(); }
} // namespace platform

namespace jsontest {

struct ParseResult {
    platform::Value value;
    std::string error;
};

inline ParseResult parse(std::string_view text)
{
    foundation::JsonParser parser;
    ParseResult r;
    r.value = parser.objectWithString(text);
    r.error = parser.error();
    return r;
}

inline platform::Value decimal(const char* text) { return platform::Value::decimal(text); }

// The one value inside a one-element array document.
inline platform::Value single(std::string_view text)
{
    auto r = parse(text);
    if (auto a = r.value.asArray(); a && a->size() == 1)
        return (*a)[0];
    return platform::Value(std::string("<not one element: ") + r.error + ">");
}

} // namespace jsontest
