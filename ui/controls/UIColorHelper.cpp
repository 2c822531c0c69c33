#include "ui/controls/UIColorHelper.h"

namespace {

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

double readPair(std::string_view pair)
{
    int value = 0;
    for (char c : pair) {
        int digit = hexValue(c);
        if (digit < 0)
            break;
        value = value * 16 + digit;
    }
    return value / 255.0;
}

} // namespace

namespace UIColorHelper {

std::optional<UIColor> colorWithString(std::string_view string)
{
    if (string.size() != 6)
        return std::nullopt;
    return UIColor(readPair(string.substr(0, 2)), readPair(string.substr(2, 2)), readPair(string.substr(4, 2)), 1.0);
}

} // namespace UIColorHelper
