#include "platform/net/HttpMessage.h"

#include <algorithm>
#include <cctype>

namespace platform {

namespace {

    bool equalsIgnoringCase(std::string_view a, std::string_view b)
    {
        if (a.size() != b.size())
            return false;
        for (std::size_t i = 0; i < a.size(); ++i) {
            unsigned char x = static_cast<unsigned char>(a[i]);
            unsigned char y = static_cast<unsigned char>(b[i]);
            if (x >= 'A' && x <= 'Z')
                x = static_cast<unsigned char>(x - 'A' + 'a');
            if (y >= 'A' && y <= 'Z')
                y = static_cast<unsigned char>(y - 'A' + 'a');
            if (x != y)
                return false;
        }
        return true;
    }

    bool isTokenChar(unsigned char c)
    {
        if (c >= '0' && c <= '9')
            return true;
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'))
            return true;
        switch (c) {
        case '!':
        case '#':
        case '$':
        case '%':
        case '&':
        case '\'':
        case '*':
        case '+':
        case '-':
        case '.':
        case '^':
        case '_':
        case '`':
        case '|':
        case '~':
            return true;
        default:
            return false;
        }
    }

    bool isToken(std::string_view text)
    {
        return !text.empty()
            && std::all_of(text.begin(), text.end(), [](char c) { return isTokenChar(static_cast<unsigned char>(c)); });
    }

    std::string_view trimWhitespace(std::string_view text)
    {
        while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
            text.remove_prefix(1);
        while (!text.empty() && (text.back() == ' ' || text.back() == '\t'))
            text.remove_suffix(1);
        return text;
    }

    std::string_view stripLineEnd(std::string_view line)
    {
        if (!line.empty() && line.back() == '\n')
            line.remove_suffix(1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return line;
    }

} // namespace

bool HttpHeaders::isValidName(std::string_view name) { return isToken(name); }

bool HttpHeaders::isValidValue(std::string_view value)
{
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

bool HttpHeaders::set(std::string_view name, std::string_view value)
{
    if (!isValidName(name) || !isValidValue(value))
        return false;
    auto first = std::find_if(
        fields_.begin(), fields_.end(), [&](const Field& f) { return equalsIgnoringCase(f.name, name); });
    if (first == fields_.end()) {
        fields_.push_back({ std::string(name), std::string(value) });
        return true;
    }
    first->name = std::string(name);
    first->value = std::string(value);
    auto index = first - fields_.begin();
    fields_.erase(std::remove_if(fields_.begin() + index + 1, fields_.end(),
                      [&](const Field& f) { return equalsIgnoringCase(f.name, name); }),
        fields_.end());
    return true;
}

bool HttpHeaders::add(std::string_view name, std::string_view value)
{
    if (!isValidName(name) || !isValidValue(value))
        return false;
    fields_.push_back({ std::string(name), std::string(value) });
    return true;
}

bool HttpHeaders::remove(std::string_view name)
{
    auto before = fields_.size();
    fields_.erase(std::remove_if(
                      fields_.begin(), fields_.end(), [&](const Field& f) { return equalsIgnoringCase(f.name, name); }),
        fields_.end());
    return fields_.size() != before;
}

bool HttpHeaders::extendLastValue(std::string_view more)
{
    if (fields_.empty() || !isValidValue(more))
        return false;
    std::string& value = fields_.back().value;
    if (!value.empty() && !more.empty())
        value += ' ';
    value.append(more);
    return true;
}

bool HttpHeaders::contains(std::string_view name) const
{
    return std::any_of(
        fields_.begin(), fields_.end(), [&](const Field& f) { return equalsIgnoringCase(f.name, name); });
}

std::optional<std::string> HttpHeaders::get(std::string_view name) const
{
    std::optional<std::string> joined;
    for (const auto& field : fields_) {
        if (!equalsIgnoringCase(field.name, name))
            continue;
        if (joined)
            joined->append(", ").append(field.value);
        else
            joined = field.value;
    }
    return joined;
}

std::vector<std::string> HttpHeaders::values(std::string_view name) const
{
    std::vector<std::string> result;
    for (const auto& field : fields_) {
        if (equalsIgnoringCase(field.name, name))
            result.push_back(field.value);
    }
    return result;
}

std::vector<HttpHeaders::Field> HttpHeaders::joinedFields() const
{
    std::vector<Field> result;
    for (const auto& field : fields_) {
        auto existing = std::find_if(
            result.begin(), result.end(), [&](const Field& f) { return equalsIgnoringCase(f.name, field.name); });
        if (existing == result.end())
            result.push_back(field);
        else
            existing->value.append(", ").append(field.value);
    }
    return result;
}

std::optional<HttpMessage> HttpMessage::createRequest(std::string_view method, const Url& url, HttpVersion version)
{
    if (!isToken(method))
        return std::nullopt;
    std::string scheme = url.scheme();
    std::transform(scheme.begin(), scheme.end(), scheme.begin(),
        [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (scheme != "http" && scheme != "https")
        return std::nullopt;
    if (!url.hasAuthority() || url.host().empty())
        return std::nullopt;
    HttpMessage message;
    message.isRequest_ = true;
    message.method_ = std::string(method);
    message.url_ = url;
    message.version_ = version == HttpVersion::Http10 ? kHttpVersion1_0 : kHttpVersion1_1;
    message.headerComplete_ = true;
    return message;
}

HttpMessage HttpMessage::createResponse(int statusCode, std::string_view reasonPhrase, std::string_view version)
{
    HttpMessage message;
    message.statusCode_ = statusCode;
    message.version_ = std::string(version);
    message.reason_ = std::string(reasonPhrase);
    message.statusLine_ = message.version_ + " " + std::to_string(statusCode);
    if (!reasonPhrase.empty())
        message.statusLine_ += " " + message.reason_;
    return message;
}

std::optional<HttpMessage> HttpMessage::parseStatusLine(std::string_view line)
{
    line = stripLineEnd(line);
    if (line.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        return std::nullopt;
    if (line.substr(0, 5) != "HTTP/")
        return std::nullopt;
    auto space = line.find(' ');
    if (space == std::string_view::npos)
        return std::nullopt;
    std::string_view version = line.substr(0, space);
    std::string_view rest = line.substr(space + 1);
    if (rest.size() < 3)
        return std::nullopt;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (rest[i] < '0' || rest[i] > '9')
            return std::nullopt;
        code = code * 10 + (rest[i] - '0');
    }
    if (code < 100 || (rest.size() > 3 && rest[3] != ' '))
        return std::nullopt;
    std::string_view reason = rest.size() > 4 ? rest.substr(4) : std::string_view();
    HttpMessage message;
    message.statusCode_ = code;
    message.version_ = std::string(version);
    message.reason_ = std::string(reason);
    message.statusLine_ = std::string(line);
    return message;
}

std::string HttpMessage::requestLine() const
{
    if (!isRequest_)
        return {};
    return method_ + " " + url_.requestTarget() + " " + version_;
}

bool HttpMessage::appendHeaderLine(std::string_view line)
{
    line = stripLineEnd(line);
    if (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        return headers_.extendLastValue(trimWhitespace(line));
    auto colon = line.find(':');
    if (colon == std::string_view::npos)
        return false;
    std::string_view name = line.substr(0, colon);
    std::string_view value = trimWhitespace(line.substr(colon + 1));
    return headers_.add(name, value);
}

} // namespace platform
