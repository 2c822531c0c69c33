#pragma once

#include <cstddef>

// A range of text in UTF-16 code units, as the phone counts text.
struct NSRange {
    std::size_t location = 0;
    std::size_t length = 0;
    bool operator==(const NSRange&) const = default;
};
