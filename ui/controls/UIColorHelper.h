#pragma once

#include "platform/uikit/UIColor.h"

#include <optional>
#include <string_view>

// Colours from the six hexadecimal digits the grid and the learning screens
// keep in their tables ("A54AD1", "7fc410").
namespace UIColorHelper {

// Exactly six characters, read as three pairs RR GG BB (either case), alpha
// 1; anything else (a "#" in front, three digits) is no colour. Each pair is
// read up to its first character that is not a hexadecimal digit, so "2z"
// reads 2 and "z2" reads 0.
std::optional<UIColor> colorWithString(std::string_view string);

} // namespace UIColorHelper
