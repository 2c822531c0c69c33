#include "platform/os/PlatformJson.h"

#include "platform/os/PropertyList.h"

#include <cmath>
#include <vector>

#include <nlohmann/json.hpp>

namespace platform {

namespace {

    // Deeper than any real reply or body; keeps hostile input off the stack limit
    // (values are destroyed recursively).
    constexpr std::size_t kMaxDepth = 512;

    Error readError(std::string message)
    {
        return Error::withDescription(
            kCocoaErrorDomain, kPropertyListReadCorruptError, "JSON text cannot be read: " + message);
    }

    Error writeError(std::string message)
    {
        return Error::withDescription(
            kCocoaErrorDomain, kPropertyListWriteInvalidError, "Value cannot be written as JSON: " + message);
    }

    // RFC 8259 number grammar, for decimals written as they are.
    bool isJsonNumber(std::string_view s)
    {
        std::size_t i = 0;
        auto digit = [&](std::size_t k) { return k < s.size() && s[k] >= '0' && s[k] <= '9'; };
        if (i < s.size() && s[i] == '-')
            ++i;
        if (!digit(i))
            return false;
        if (s[i] == '0')
            ++i;
        else
            while (digit(i))
                ++i;
        if (i < s.size() && s[i] == '.') {
            ++i;
            if (!digit(i))
                return false;
            while (digit(i))
                ++i;
        }
        if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
            ++i;
            if (i < s.size() && (s[i] == '+' || s[i] == '-'))
                ++i;
            if (!digit(i))
                return false;
            while (digit(i))
                ++i;
        }
        return i == s.size();
    }

    class Writer {
    public:
        explicit Writer(bool pretty)
            : pretty_(pretty)
        {
        }

        bool value(const Value& v, std::size_t depth)
        {
            if (depth > kMaxDepth)
                return fail("nesting too deep");
            switch (v.kind()) {
            case Value::Kind::Null:
                out += "null";
                return true;
            case Value::Kind::Bool:
                out += *v.asBool() ? "true" : "false";
                return true;
            case Value::Kind::Int:
            case Value::Kind::UInt:
                out += v.description();
                return true;
            case Value::Kind::Double: {
                double d = v.doubleValue();
                if (std::isnan(d))
                    return fail("NaN is not a JSON number");
                if (std::isinf(d))
                    return fail("infinity is not a JSON number");
                out += nlohmann::json(d).dump();
                return true;
            }
            case Value::Kind::Decimal: {
                std::string text = v.description();
                if (!isJsonNumber(text))
                    return fail("decimal \"" + text + "\" is not a JSON number");
                out += text;
                return true;
            }
            case Value::Kind::String:
                return string(*v.asString());
            case Value::Kind::Data:
                return fail("data has no JSON form");
            case Value::Kind::Date:
                return fail("a date has no JSON form");
            case Value::Kind::Object:
                return fail("a record of class " + v.asObject()->className() + " has no JSON form");
            case Value::Kind::Array: {
                const Array& a = *v.asArray();
                if (a.empty()) {
                    out += "[]";
                    return true;
                }
                out += '[';
                for (std::size_t i = 0; i < a.size(); ++i) {
                    if (i)
                        out += ',';
                    newline(depth);
                    if (!value(a[i], depth + 1))
                        return false;
                }
                newline(depth - 1);
                out += ']';
                return true;
            }
            case Value::Kind::Dictionary: {
                const Dictionary& d = *v.asDictionary();
                if (d.empty()) {
                    out += "{}";
                    return true;
                }
                out += '{';
                bool first = true;
                for (const auto& [key, item] : d) {
                    if (!first)
                        out += ',';
                    first = false;
                    newline(depth);
                    if (!string(key))
                        return false;
                    out += pretty_ ? " : " : ":";
                    if (!value(item, depth + 1))
                        return false;
                }
                newline(depth - 1);
                out += '}';
                return true;
            }
            }
            return fail("unknown value kind");
        }

        std::string out;
        Error error;

    private:
        void newline(std::size_t depth)
        {
            if (!pretty_)
                return;
            out += '\n';
            out.append(depth * 2, ' ');
        }

        bool string(const std::string& s)
        {
            try {
                // Strict: invalid UTF-8 is refused rather than replaced.
                out += nlohmann::json(s).dump(-1, ' ', false, nlohmann::json::error_handler_t::strict);
                return true;
            } catch (const std::exception&) {
                return fail("text is not valid UTF-8");
            }
        }

        bool fail(std::string message)
        {
            error = writeError(std::move(message));
            return false;
        }

        bool pretty_;
    };

    // Builds Values straight from the parser's events: keys stay in text order and
    // integers, unsigned integers and doubles stay apart. Counts what the value
    // holds as it grows, so that a read past its limit stops at once.
    class Builder {
    public:
        using number_integer_t = nlohmann::json::number_integer_t;
        using number_unsigned_t = nlohmann::json::number_unsigned_t;
        using number_float_t = nlohmann::json::number_float_t;
        using string_t = nlohmann::json::string_t;
        using binary_t = nlohmann::json::binary_t;

        explicit Builder(const PlatformJson::ReadLimits* limits = nullptr)
            : limits_(limits)
        {
        }

        bool null() { return add(Value()); }
        bool boolean(bool b) { return add(Value(b)); }
        bool number_integer(number_integer_t i) { return add(Value(static_cast<std::int64_t>(i))); }
        bool number_unsigned(number_unsigned_t u)
        {
            if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
                return add(Value(static_cast<std::int64_t>(u)));
            return add(Value(static_cast<std::uint64_t>(u)));
        }
        bool number_float(number_float_t d, const string_t& text)
        {
            // An integer beyond 64 bits keeps its exact text instead of turning
            // into a rounded double. (Numbers beyond the double range never get
            // here: the parser refuses them.)
            if (text.find_first_of(".eE") == std::string::npos)
                return add(Value::decimal(text), textCost(text));
            return add(Value(static_cast<double>(d)));
        }
        bool string(string_t& s)
        {
            std::size_t cost = textCost(s);
            return add(Value(std::move(s)), cost);
        }
        bool binary(binary_t&) { return fail("binary values are not JSON"); }
        bool start_object(std::size_t) { return open(Value(Dictionary {})); }
        bool key(string_t& k)
        {
            frames_.back().key = std::move(k);
            return true;
        }
        bool end_object() { return close(); }
        bool start_array(std::size_t)
        {
            if (limits_ && limits_->partsBegin && frames_.size() + 1 == limits_->partDepth) {
                const bool keyed = !frames_.empty() && frames_.back().container.isDictionary();
                limits_->partsBegin(topElements_, keyed ? std::string_view(frames_.back().key) : std::string_view());
            }
            return open(Value(Array {}));
        }
        bool end_array() { return close(); }
        bool parse_error(std::size_t position, const std::string&, const nlohmann::detail::exception& ex)
        {
            std::string message = ex.what();
            // nlohmann's texts start with "[json.exception.parse_error.101] "; the rest is the reason.
            if (auto bracket = message.find("] "); bracket != std::string::npos)
                message = message.substr(bracket + 2);
            return fail(message + " (byte " + std::to_string(position) + ")");
        }

        std::optional<Value> result;
        Error error;

    private:
        // What the allocator adds to each block it hands out.
        static constexpr std::size_t kBlockOverhead = 16;
        // A dictionary's lookup index, per entry, once it has one.
        static constexpr std::size_t kIndexEntryBytes = 64 + kBlockOverhead;
        static constexpr std::size_t kIndexThreshold = 12;

        struct Frame {
            Value container;
            std::string key;
            // What the value being read had taken when this container opened.
            std::size_t heldAtOpen = 0;
        };

        // The heap bytes of a text beyond the room a std::string keeps inside.
        static std::size_t textCost(const std::string& text)
        {
            return text.size() < 16 ? 0 : text.size() + 1 + kBlockOverhead;
        }

        bool fail(std::string message, int code = kPropertyListReadCorruptError)
        {
            if (error.domain().empty())
                error = code == kPropertyListReadCorruptError
                    ? readError(std::move(message))
                    : Error::withDescription(kCocoaErrorDomain, code, "JSON text cannot be read: " + message);
            return false;
        }

        bool take(std::size_t bytes)
        {
            held_ += bytes;
            if (!limits_ || held_ <= limits_->largestValue)
                return true;
            return fail("the value would take more than " + std::to_string(limits_->largestValue) + " bytes",
                PlatformJson::kValueTooLargeCode);
        }

        template <class List> static std::size_t bufferBytes(const List& list)
        {
            return list.capacity() ? list.capacity() * sizeof(typename List::value_type) + kBlockOverhead : 0;
        }

        // `contents`: what the value's own texts and elements already took.
        bool add(Value v, std::size_t contents = 0)
        {
            if (frames_.empty()) {
                result = std::move(v);
                return take(sizeof(Value) + contents);
            }
            // The place in the top container of the element being read.
            const std::size_t outer = frames_.size() == 1 ? topElements_++ : topElements_;
            Frame& top = frames_.back();
            if (auto a = top.container.asArray()) {
                if (limits_ && limits_->takePart && frames_.size() == limits_->partDepth) {
                    // Handed over: what it took is no longer held here.
                    held_ -= std::min(held_, contents);
                    std::string_view arrayKey
                        = frames_.size() >= 2 && frames_[frames_.size() - 2].container.isDictionary()
                        ? std::string_view(frames_[frames_.size() - 2].key)
                        : std::string_view();
                    if (!limits_->takePart(outer, arrayKey, std::move(v)))
                        return fail("a part was refused");
                    return true;
                }
                // A full list moves to room twice its size, the old room held
                // until the move is done: counted before it is asked for, so
                // that a list past the limit never takes it.
                if (a->size() == a->capacity()) {
                    std::size_t room = 2 * std::max<std::size_t>(1, a->capacity()) * sizeof(Value) + kBlockOverhead;
                    if (!take(room))
                        return false;
                    held_ -= room;
                }
                std::size_t before = bufferBytes(*a);
                a->push_back(std::move(v));
                return take(bufferBytes(*a) - before + contents);
            }
            Dictionary& d = *top.container.asDictionary();
            std::size_t before = d.size();
            std::size_t keyBytes = textCost(top.key);
            d.set(std::move(top.key), std::move(v));
            if (d.size() == before)
                return take(contents);
            // Entries live in a list of their own inside the dictionary.
            std::size_t grew = d.size() & (d.size() - 1) ? 0 : d.size() * sizeof(Dictionary::Entry) / 2;
            if (d.size() == 1)
                grew = sizeof(Dictionary::Entry) + kBlockOverhead;
            std::size_t index = d.size() > kIndexThreshold ? kIndexEntryBytes + keyBytes : 0;
            if (d.size() == kIndexThreshold + 1)
                index *= d.size();
            return take(grew + keyBytes + index + contents);
        }

        bool open(Value container)
        {
            if (frames_.size() >= kMaxDepth)
                return fail("nesting deeper than " + std::to_string(kMaxDepth));
            frames_.push_back(Frame { std::move(container), {}, held_ });
            return true;
        }

        bool close()
        {
            Value done = std::move(frames_.back().container);
            std::size_t contents = held_ - std::min(held_, frames_.back().heldAtOpen);
            frames_.pop_back();
            // Counted again by add, with the room its parent gives it.
            held_ -= contents;
            return add(std::move(done), contents);
        }

        const PlatformJson::ReadLimits* limits_;
        std::vector<Frame> frames_;
        std::size_t held_ = 0;
        std::size_t topElements_ = 0;
    };

} // namespace

std::optional<std::string> PlatformJson::write(const Value& value, Style style, Error* error)
{
    Writer writer(style == Style::Pretty);
    try {
        if (writer.value(value, 1))
            return std::move(writer.out);
    } catch (const std::exception& e) {
        writer.error = writeError(e.what());
    }
    setError(error, writer.error);
    return std::nullopt;
}

std::optional<Bytes> PlatformJson::writeData(const Value& value, Style style, Error* error)
{
    auto text = write(value, style, error);
    if (!text)
        return std::nullopt;
    return Bytes(text->begin(), text->end());
}

std::optional<Value> PlatformJson::read(std::string_view text, Error* error)
{
    return read(text, ReadLimits {}, error);
}

std::optional<Value> PlatformJson::read(std::string_view text, const ReadLimits& limits, Error* error)
{
    Builder builder(&limits);
    // The parser takes a NUL byte for the end of the text, so "1\0garbage"
    // would read as 1. JSON holds no raw NUL anywhere (inside a string it must
    // be escaped), so one is an error wherever it stands.
    if (auto nul = text.find('\0'); nul != std::string_view::npos) {
        setError(error, readError("a NUL byte is not JSON (byte " + std::to_string(nul) + ")"));
        return std::nullopt;
    }
    bool ok = false;
    try {
        ok = nlohmann::json::sax_parse(text.data(), text.data() + text.size(), &builder);
    } catch (const std::exception& e) {
        builder.error = readError(e.what());
        ok = false;
    }
    if (!ok || !builder.result) {
        if (builder.error.domain().empty())
            builder.error = readError("no value");
        setError(error, builder.error);
        return std::nullopt;
    }
    return std::move(builder.result);
}

std::optional<Value> PlatformJson::read(const Bytes& data, Error* error)
{
    return read(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()), error);
}

bool PlatformJson::isValidJsonValue(const Value& value) { return write(value).has_value(); }

} // namespace platform
