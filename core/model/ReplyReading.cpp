#include "core/model/ReplyReading.h"

#include <algorithm>
#include <cctype>
#include <climits>

namespace core::reply {

namespace {
    // Only a whole text of digits counts: "12abc" or "" are not numbers.
    std::optional<long long> integerText(const std::string& text)
    {
        std::size_t i = 0;
        std::size_t end = text.size();
        while (i < end && std::isspace(static_cast<unsigned char>(text[i])))
            ++i;
        while (end > i && std::isspace(static_cast<unsigned char>(text[end - 1])))
            --end;
        std::size_t digits = i;
        if (digits < end && (text[digits] == '+' || text[digits] == '-'))
            ++digits;
        if (digits == end)
            return std::nullopt;
        for (std::size_t k = digits; k < end; ++k) {
            if (!std::isdigit(static_cast<unsigned char>(text[k])))
                return std::nullopt;
        }
        return platform::leadingIntegerOf(std::string_view(text).substr(i, end - i));
    }

    std::optional<long long> integerValue(const platform::Value& value)
    {
        if (value.isBool())
            return std::nullopt;
        if (value.isNumber())
            return value.longLongValue();
        if (auto text = value.asString())
            return integerText(*text);
        return std::nullopt;
    }
} // namespace

bool readInteger(const platform::Value& value, long long& out)
{
    auto v = integerValue(value);
    if (!v)
        return false;
    out = *v;
    return true;
}

bool readInteger(const platform::Value& value, int& out)
{
    auto v = integerValue(value);
    if (!v)
        return false;
    out = static_cast<int>(std::clamp<long long>(*v, INT_MIN, INT_MAX));
    return true;
}

bool readText(const platform::Value& value, std::string& out)
{
    auto text = value.asString();
    if (!text)
        return false;
    out = *text;
    return true;
}

int integerOf(const platform::Value& value)
{
    int out = 0;
    readInteger(value, out);
    return out;
}

std::optional<std::string> textOf(const platform::Value& value)
{
    if (auto text = value.asString())
        return *text;
    return std::nullopt;
}

void forEachObject(const platform::Value& list, const std::function<void(const platform::Value& object)>& function)
{
    const platform::Array* array = list.asArray();
    if (!array)
        return;
    for (const platform::Value& element : *array) {
        if (element.isDictionary())
            function(element);
    }
}

} // namespace core::reply
