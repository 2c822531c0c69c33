#pragma once

#include <compare>

// A row of a table: section and row, ordered section first.
struct NSIndexPath {
    long section = 0;
    long row = 0;

    static NSIndexPath indexPathForRow(long row, long inSection) { return { inSection, row }; }
    auto operator<=>(const NSIndexPath&) const = default;
};
