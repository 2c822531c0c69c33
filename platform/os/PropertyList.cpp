#include "platform/os/PropertyList.h"

#include "platform/os/FileUtil.h"

#include <charconv>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>

#include <libxml/parser.h>
#include <libxml/tree.h>
#include <libxml/xmlerror.h>
#include <libxml/xmlwriter.h>

namespace platform {

namespace {

    // Deeper nesting than any real list; stops hostile files before the stack does.
    constexpr int kMaxDepth = 512;

    void initializeLibxml()
    {
        // Must run once before threads use the parser.
        static std::once_flag once;
        std::call_once(once, [] { xmlInitParser(); });
    }

    Error readError(std::string message)
    {
        return Error::withDescription(
            kCocoaErrorDomain, kPropertyListReadCorruptError, "Property list cannot be read: " + message);
    }

    Error writeError(std::string message)
    {
        return Error::withDescription(
            kCocoaErrorDomain, kPropertyListWriteInvalidError, "Property list cannot be written: " + message);
    }

    std::string_view trim(std::string_view s)
    {
        auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
        while (!s.empty() && isSpace(s.front()))
            s.remove_prefix(1);
        while (!s.empty() && isSpace(s.back()))
            s.remove_suffix(1);
        return s;
    }

    bool isBlank(std::string_view s) { return trim(s).empty(); }

    // The length of the character at s[i] when it is valid UTF-8 and one XML
    // 1.0 allows; 0 otherwise.
    std::size_t xmlCharacterAt(std::string_view s, std::size_t i)
    {
        auto c = static_cast<unsigned char>(s[i]);
        std::uint32_t cp;
        std::size_t len;
        if (c < 0x80) {
            cp = c;
            len = 1;
        } else if (c >= 0xC2 && c <= 0xDF) {
            cp = c & 0x1F;
            len = 2;
        } else if (c >= 0xE0 && c <= 0xEF) {
            cp = c & 0x0F;
            len = 3;
        } else if (c >= 0xF0 && c <= 0xF4) {
            cp = c & 0x07;
            len = 4;
        } else {
            return 0;
        }
        if (i + len > s.size())
            return 0;
        for (std::size_t k = 1; k < len; ++k) {
            auto cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return 0;
            cp = (cp << 6) | (cc & 0x3F);
        }
        if ((len == 3 && cp < 0x800) || (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
            return 0;
        bool allowed = cp == 0x9 || cp == 0xA || cp == 0xD || (cp >= 0x20 && cp <= 0xD7FF)
            || (cp >= 0xE000 && cp <= 0xFFFD) || cp >= 0x10000;
        return allowed ? len : 0;
    }

    // Valid UTF-8 made only of characters XML 1.0 allows.
    bool isXmlText(std::string_view s)
    {
        for (std::size_t i = 0; i < s.size();) {
            std::size_t len = xmlCharacterAt(s, i);
            if (len == 0)
                return false;
            i += len;
        }
        return true;
    }

    // ---- Base64 (RFC 4648, standard alphabet)

    constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

    std::string encodeBase64(const Bytes& data)
    {
        std::string out;
        out.reserve((data.size() + 2) / 3 * 4);
        std::size_t i = 0;
        for (; i + 3 <= data.size(); i += 3) {
            std::uint32_t n = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
            out += kBase64Alphabet[(n >> 18) & 63];
            out += kBase64Alphabet[(n >> 12) & 63];
            out += kBase64Alphabet[(n >> 6) & 63];
            out += kBase64Alphabet[n & 63];
        }
        std::size_t rest = data.size() - i;
        if (rest == 1) {
            std::uint32_t n = data[i] << 16;
            out += kBase64Alphabet[(n >> 18) & 63];
            out += kBase64Alphabet[(n >> 12) & 63];
            out += "==";
        } else if (rest == 2) {
            std::uint32_t n = (data[i] << 16) | (data[i + 1] << 8);
            out += kBase64Alphabet[(n >> 18) & 63];
            out += kBase64Alphabet[(n >> 12) & 63];
            out += kBase64Alphabet[(n >> 6) & 63];
            out += '=';
        }
        return out;
    }

    std::optional<Bytes> decodeBase64(std::string_view text)
    {
        auto valueOf = [](char c) -> int {
            if (c >= 'A' && c <= 'Z')
                return c - 'A';
            if (c >= 'a' && c <= 'z')
                return c - 'a' + 26;
            if (c >= '0' && c <= '9')
                return c - '0' + 52;
            if (c == '+')
                return 62;
            if (c == '/')
                return 63;
            return -1;
        };
        Bytes out;
        std::uint32_t acc = 0;
        int bits = 0;
        int symbols = 0;
        int padding = 0;
        for (char c : text) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r')
                continue;
            if (c == '=') {
                ++padding;
                continue;
            }
            int v = valueOf(c);
            if (v < 0 || padding > 0)
                return std::nullopt;
            acc = (acc << 6) | static_cast<std::uint32_t>(v);
            bits += 6;
            ++symbols;
            if (bits >= 8) {
                bits -= 8;
                out.push_back(static_cast<std::uint8_t>((acc >> bits) & 0xFF));
            }
        }
        // A lone trailing symbol carries fewer than 8 bits: not Base64. Padding, when
        // present, must complete the last group.
        if (symbols % 4 == 1 || padding > 2 || (padding > 0 && (symbols + padding) % 4 != 0))
            return std::nullopt;
        return out;
    }

    // ---- Dates: days from 1970-01-01 in the proleptic Gregorian calendar

    long long daysFromCivil(long long y, unsigned m, unsigned d)
    {
        y -= m <= 2;
        const long long era = (y >= 0 ? y : y - 399) / 400;
        const unsigned yoe = static_cast<unsigned>(y - era * 400);
        const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
        const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
        return era * 146097 + static_cast<long long>(doe) - 719468;
    }

    void civilFromDays(long long z, long long& y, unsigned& m, unsigned& d)
    {
        z += 719468;
        const long long era = (z >= 0 ? z : z - 146096) / 146097;
        const unsigned doe = static_cast<unsigned>(z - era * 146097);
        const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
        y = static_cast<long long>(yoe) + era * 400;
        const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
        const unsigned mp = (5 * doy + 2) / 153;
        d = doy - (153 * mp + 2) / 5 + 1;
        m = mp < 10 ? mp + 3 : mp - 9;
        y += m <= 2;
    }

    bool isLeap(long long y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

    unsigned daysInMonth(long long y, unsigned m)
    {
        static const unsigned days[] = { 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31 };
        return m == 2 && isLeap(y) ? 29 : days[m - 1];
    }

    // ---- Reading

    std::string nodeName(const xmlNode* node) { return node->name ? reinterpret_cast<const char*>(node->name) : ""; }

    // The text of a leaf element; fails on child elements or entity references.
    bool leafText(const xmlNode* node, std::string& out, Error& error)
    {
        for (const xmlNode* c = node->children; c; c = c->next) {
            switch (c->type) {
            case XML_TEXT_NODE:
            case XML_CDATA_SECTION_NODE:
                if (c->content)
                    out += reinterpret_cast<const char*>(c->content);
                break;
            case XML_COMMENT_NODE:
            case XML_PI_NODE:
                break;
            default:
                error = readError("unexpected content in <" + nodeName(node) + "> at line " + std::to_string(c->line));
                return false;
            }
        }
        return true;
    }

    std::optional<Value> parseInteger(std::string_view text)
    {
        text = trim(text);
        bool negative = false;
        if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
            negative = text.front() == '-';
            text.remove_prefix(1);
        }
        if (text.empty() || text.front() == '-' || text.front() == '+')
            return std::nullopt;
        std::uint64_t magnitude = 0;
        auto res = std::from_chars(text.data(), text.data() + text.size(), magnitude);
        if (res.ec != std::errc() || res.ptr != text.data() + text.size())
            return std::nullopt;
        if (negative) {
            constexpr std::uint64_t limit = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()) + 1;
            if (magnitude > limit)
                return std::nullopt;
            if (magnitude == limit)
                return Value(std::numeric_limits<std::int64_t>::min());
            return Value(-static_cast<std::int64_t>(magnitude));
        }
        if (magnitude <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return Value(static_cast<std::int64_t>(magnitude));
        return Value(magnitude);
    }

    std::optional<double> parseReal(std::string_view text)
    {
        text = trim(text);
        std::string lower;
        for (char c : text)
            lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        if (lower == "nan")
            return std::numeric_limits<double>::quiet_NaN();
        if (lower == "+infinity" || lower == "infinity" || lower == "inf" || lower == "+inf")
            return std::numeric_limits<double>::infinity();
        if (lower == "-infinity" || lower == "-inf")
            return -std::numeric_limits<double>::infinity();
        if (!text.empty() && text.front() == '+')
            text.remove_prefix(1);
        if (text.empty() || text.front() == '+')
            return std::nullopt;
        double out = 0;
        auto res = std::from_chars(text.data(), text.data() + text.size(), out);
        if (res.ec == std::errc::result_out_of_range)
            return std::nullopt;
        if (res.ec != std::errc() || res.ptr != text.data() + text.size() || std::isnan(out) || std::isinf(out))
            return std::nullopt;
        return out;
    }

    class Reader {
    public:
        std::optional<Value> value(const xmlNode* node, int depth)
        {
            if (depth > kMaxDepth) {
                error = readError("nesting too deep");
                return std::nullopt;
            }
            std::string name = nodeName(node);
            if (name == "dict")
                return dictionary(node, depth);
            if (name == "array")
                return array(node, depth);
            if (name == "true" || name == "false") {
                std::string text;
                if (!leafText(node, text, error))
                    return std::nullopt;
                if (!isBlank(text))
                    return fail(node, "<" + name + "/> must be empty");
                return Value(name == "true");
            }
            std::string text;
            if (!leafText(node, text, error))
                return std::nullopt;
            if (name == "string")
                return Value(std::move(text));
            if (name == "integer") {
                if (auto v = parseInteger(text))
                    return v;
                return fail(node, "bad integer \"" + text + "\"");
            }
            if (name == "real") {
                if (auto d = parseReal(text))
                    return Value(*d);
                return fail(node, "bad real \"" + text + "\"");
            }
            if (name == "data") {
                if (auto bytes = decodeBase64(text))
                    return Value(std::move(*bytes));
                return fail(node, "bad Base64 data");
            }
            if (name == "date") {
                if (auto date = PropertyList::parseDate(trim(text)))
                    return Value(*date);
                return fail(node, "bad date \"" + text + "\"");
            }
            return fail(node, "unknown element <" + name + ">");
        }

        Error error;

    private:
        std::nullopt_t fail(const xmlNode* node, std::string message)
        {
            error = readError(message + " at line " + std::to_string(node->line));
            return std::nullopt;
        }

        // Element children in order; false (with the error set) on stray text.
        bool elements(const xmlNode* node, std::vector<const xmlNode*>& out)
        {
            for (const xmlNode* c = node->children; c; c = c->next) {
                switch (c->type) {
                case XML_ELEMENT_NODE:
                    out.push_back(c);
                    break;
                case XML_TEXT_NODE:
                case XML_CDATA_SECTION_NODE:
                    if (c->content && !isBlank(reinterpret_cast<const char*>(c->content))) {
                        fail(c, "text outside a value in <" + nodeName(node) + ">");
                        return false;
                    }
                    break;
                case XML_COMMENT_NODE:
                case XML_PI_NODE:
                    break;
                default:
                    fail(c, "unexpected content in <" + nodeName(node) + ">");
                    return false;
                }
            }
            return true;
        }

        std::optional<Value> array(const xmlNode* node, int depth)
        {
            std::vector<const xmlNode*> children;
            if (!elements(node, children))
                return std::nullopt;
            Array out;
            out.reserve(children.size());
            for (const xmlNode* c : children) {
                auto v = value(c, depth + 1);
                if (!v)
                    return std::nullopt;
                out.push_back(std::move(*v));
            }
            return Value(std::move(out));
        }

        std::optional<Value> dictionary(const xmlNode* node, int depth)
        {
            std::vector<const xmlNode*> children;
            if (!elements(node, children))
                return std::nullopt;
            if (children.size() % 2 != 0)
                return fail(node, "a key without a value in <dict>");
            Dictionary out;
            for (std::size_t i = 0; i < children.size(); i += 2) {
                if (nodeName(children[i]) != "key")
                    return fail(children[i], "expected <key>, found <" + nodeName(children[i]) + ">");
                std::string key;
                if (!leafText(children[i], key, error))
                    return std::nullopt;
                if (nodeName(children[i + 1]) == "key")
                    return fail(children[i + 1], "a key without a value in <dict>");
                auto v = value(children[i + 1], depth + 1);
                if (!v)
                    return std::nullopt;
                out.set(std::move(key), std::move(*v));
            }
            return Value(std::move(out));
        }
    };

    // ---- Writing

    class Writer {
    public:
        explicit Writer(xmlTextWriterPtr w)
            : w_(w)
        {
        }

        bool value(const Value& v, int depth)
        {
            if (depth > kMaxDepth)
                return fail("nesting too deep");
            switch (v.kind()) {
            case Value::Kind::Null:
                return fail("a null value has no property-list form");
            case Value::Kind::Object:
                return fail("a record of class " + v.asObject()->className() + " has no property-list form");
            case Value::Kind::Bool:
                return check(xmlTextWriterStartElement(w_, BAD_CAST(*v.asBool() ? "true" : "false")))
                    && check(xmlTextWriterEndElement(w_));
            case Value::Kind::Int:
            case Value::Kind::UInt:
                return element("integer", v.description());
            case Value::Kind::Double: {
                double d = v.doubleValue();
                if (std::isnan(d))
                    return element("real", "nan");
                if (std::isinf(d))
                    return element("real", d > 0 ? "+infinity" : "-infinity");
                return element("real", formatDouble(d));
            }
            case Value::Kind::Decimal: {
                std::string text = v.description();
                if (!parseReal(text))
                    return fail("decimal \"" + text + "\" is not a number");
                return element("real", text);
            }
            case Value::Kind::String:
                if (!isXmlText(*v.asString()))
                    return fail("text with invalid UTF-8 or characters XML cannot carry");
                return element("string", *v.asString());
            case Value::Kind::Data:
                return element("data", encodeBase64(*v.asData()));
            case Value::Kind::Date: {
                auto text = PropertyList::formatDate(*v.asDate());
                if (!text)
                    return fail("date outside the years 0 to 9999");
                return element("date", *text);
            }
            case Value::Kind::Array:
                if (!check(xmlTextWriterStartElement(w_, BAD_CAST "array")))
                    return false;
                for (const auto& item : *v.asArray()) {
                    if (!value(item, depth + 1))
                        return false;
                }
                return check(xmlTextWriterFullEndElement(w_));
            case Value::Kind::Dictionary:
                if (!check(xmlTextWriterStartElement(w_, BAD_CAST "dict")))
                    return false;
                for (const auto& [key, item] : *v.asDictionary()) {
                    if (!isXmlText(key))
                        return fail("key with invalid UTF-8 or characters XML cannot carry");
                    if (!element("key", key) || !value(item, depth + 1))
                        return false;
                }
                return check(xmlTextWriterFullEndElement(w_));
            }
            return fail("unknown value kind");
        }

        bool check(int rc)
        {
            if (rc < 0 && error.domain().empty())
                error = writeError("XML writer failure");
            return rc >= 0;
        }

        Error error;

    private:
        bool element(const char* name, const std::string& text)
        {
            return check(xmlTextWriterStartElement(w_, BAD_CAST name))
                && check(xmlTextWriterWriteString(w_, BAD_CAST text.c_str())) && check(xmlTextWriterFullEndElement(w_));
        }

        bool fail(std::string message)
        {
            error = writeError(std::move(message));
            return false;
        }

        xmlTextWriterPtr w_;
    };

} // namespace

std::optional<std::string> PropertyList::formatDate(Date date)
{
    if (!std::isfinite(date.seconds))
        return std::nullopt;
    double whole = std::floor(date.seconds);
    if (whole < -62167219200.0 || whole > 253402300799.0)
        return std::nullopt; // outside 0000-01-01 .. 9999-12-31
    auto total = static_cast<long long>(whole);
    long long days = total >= 0 ? total / 86400 : -((-total + 86399) / 86400);
    long long secondsOfDay = total - days * 86400;
    long long y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04lld-%02u-%02uT%02lld:%02lld:%02lldZ", y, m, d, secondsOfDay / 3600,
        (secondsOfDay / 60) % 60, secondsOfDay % 60);
    return std::string(buffer);
}

std::optional<Date> PropertyList::parseDate(std::string_view text)
{
    // Exactly YYYY-MM-DDTHH:MM:SSZ.
    if (text.size() != 20 || text[4] != '-' || text[7] != '-' || text[10] != 'T' || text[13] != ':' || text[16] != ':'
        || text[19] != 'Z')
        return std::nullopt;
    auto number = [&](std::size_t at, std::size_t len, unsigned& out) {
        out = 0;
        for (std::size_t i = at; i < at + len; ++i) {
            if (text[i] < '0' || text[i] > '9')
                return false;
            out = out * 10 + static_cast<unsigned>(text[i] - '0');
        }
        return true;
    };
    unsigned year, month, day, hour, minute, second;
    if (!number(0, 4, year) || !number(5, 2, month) || !number(8, 2, day) || !number(11, 2, hour)
        || !number(14, 2, minute) || !number(17, 2, second))
        return std::nullopt;
    if (month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 23 || minute > 59 || second > 59)
        return std::nullopt;
    long long days = daysFromCivil(year, month, day);
    return Date { static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second) };
}

std::optional<Value> PropertyList::parse(std::string_view xml, Error* error)
{
    if (xml.size() > static_cast<std::size_t>(INT_MAX)) {
        setError(error, readError("file too large"));
        return std::nullopt;
    }
    if (trim(xml).empty()) {
        setError(error, readError("empty input"));
        return std::nullopt;
    }
    initializeLibxml();
    // The last error is per thread and survives until replaced: clear it so a
    // failure never reports an older message.
    xmlResetLastError();
    // No network, no DTD loading, no entity expansion: a list is data only.
    xmlDocPtr doc = xmlReadMemory(xml.data(), static_cast<int>(xml.size()), nullptr, nullptr,
        XML_PARSE_NONET | XML_PARSE_NOERROR | XML_PARSE_NOWARNING | XML_PARSE_NOCDATA);
    if (!doc) {
        const xmlError* last = xmlGetLastError();
        std::string message = last && last->message ? last->message : "malformed XML";
        while (!message.empty() && message.back() == '\n')
            message.pop_back();
        if (last)
            message = "line " + std::to_string(last->line) + ": " + message;
        setError(error, readError(message));
        return std::nullopt;
    }
    Reader reader;
    std::optional<Value> result;
    const xmlNode* root = xmlDocGetRootElement(doc);
    if (!root) {
        reader.error = readError("no root element");
    } else if (nodeName(root) == "plist") {
        std::vector<const xmlNode*> children;
        for (const xmlNode* c = root->children; c; c = c->next) {
            if (c->type == XML_ELEMENT_NODE)
                children.push_back(c);
            else if ((c->type == XML_TEXT_NODE || c->type == XML_CDATA_SECTION_NODE) && c->content
                && !isBlank(reinterpret_cast<const char*>(c->content)))
                children.push_back(nullptr);
            else if (c->type == XML_ENTITY_REF_NODE)
                children.push_back(nullptr);
        }
        if (children.size() != 1 || !children.front())
            reader.error = readError("<plist> must hold exactly one value");
        else
            result = reader.value(children.front(), 1);
    } else {
        result = reader.value(root, 1);
    }
    xmlFreeDoc(doc);
    if (!result)
        setError(error, reader.error);
    return result;
}

std::optional<Value> PropertyList::readFile(const std::string& path, Error* error)
{
    auto text = FileUtil::readText(path, error);
    if (!text)
        return std::nullopt;
    Error failure;
    auto value = parse(*text, &failure);
    if (!value) {
        failure.userInfo().set(kFilePathErrorKey, Value(path));
        setError(error, std::move(failure));
    }
    return value;
}

std::optional<std::string> PropertyList::serialize(const Value& value, Error* error)
{
    initializeLibxml();
    xmlBufferPtr buffer = xmlBufferCreate();
    if (!buffer) {
        setError(error, writeError("out of memory"));
        return std::nullopt;
    }
    xmlTextWriterPtr w = xmlNewTextWriterMemory(buffer, 0);
    if (!w) {
        xmlBufferFree(buffer);
        setError(error, writeError("out of memory"));
        return std::nullopt;
    }
    Writer writer(w);
    bool ok = writer.check(xmlTextWriterSetIndent(w, 1)) && writer.check(xmlTextWriterSetIndentString(w, BAD_CAST "\t"))
        && writer.check(xmlTextWriterStartDocument(w, "1.0", "UTF-8", nullptr))
        && writer.check(xmlTextWriterStartElement(w, BAD_CAST "plist"))
        && writer.check(xmlTextWriterWriteAttribute(w, BAD_CAST "version", BAD_CAST "1.0")) && writer.value(value, 1)
        && writer.check(xmlTextWriterEndElement(w)) && writer.check(xmlTextWriterEndDocument(w));
    // Freeing the writer flushes what it still holds into the buffer.
    xmlFreeTextWriter(w);
    std::optional<std::string> out;
    if (ok)
        out.emplace(
            reinterpret_cast<const char*>(xmlBufferContent(buffer)), static_cast<std::size_t>(xmlBufferLength(buffer)));
    else
        setError(error, writer.error);
    xmlBufferFree(buffer);
    return out;
}

bool PropertyList::writeFile(const std::string& path, const Value& value, Error* error, unsigned permissions)
{
    auto text = serialize(value, error);
    if (!text)
        return false;
    return FileUtil::write(path, *text, FileUtil::WriteMode::Atomic, error, permissions);
}

bool PropertyList::isValid(const Value& value) { return serialize(value, nullptr).has_value(); }

std::string PropertyList::holdableText(std::string_view text)
{
    std::string kept;
    kept.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        std::size_t len = xmlCharacterAt(text, i);
        if (len == 0) {
            ++i;
            continue;
        }
        kept.append(text.substr(i, len));
        i += len;
    }
    return kept;
}

} // namespace platform
