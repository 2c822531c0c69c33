#include "foundation/json/JsonStreamWriter.h"

#include "foundation/json/JsonDecimal.h"
#include "foundation/json/JsonProxyObject.h"
#include "foundation/json/JsonUTF8Stream.h"
#include "platform/os/Log.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>

namespace foundation {

namespace {

    // A chain of records answering records longer than this is taken as a loop.
    constexpr unsigned kMaxProxyDepth = 32;

    // What each byte becomes inside a quoted text: 0 copies it, anything else
    // names its escape letter ('u' for the \u00xx form).
    struct EscapeTable {
        char escape[256] {};
        constexpr EscapeTable()
        {
            for (int i = 0; i < 0x20; ++i)
                escape[i] = 'u';
            escape[0x08] = 'b';
            escape[0x09] = 't';
            escape[0x0A] = 'n';
            escape[0x0C] = 'f';
            escape[0x0D] = 'r';
            escape[static_cast<unsigned char>('"')] = '"';
            escape[static_cast<unsigned char>('\\')] = '\\';
        }
    };
    constexpr EscapeTable kEscapes;

    // The UTF-16 code unit sequence order of a code point's first unit: code
    // points above U+FFFF sort as their high surrogate, below U+E000.
    std::uint32_t utf16SortKey(std::uint32_t cp)
    {
        if (cp >= 0x10000)
            return 0xD800 + ((cp - 0x10000) >> 10);
        return cp;
    }

    std::uint32_t decodeCodePoint(std::string_view s, std::size_t& i)
    {
        auto p = reinterpret_cast<const std::uint8_t*>(s.data());
        std::size_t n = JsonUTF8Stream::validSequenceLength(p + i, s.size() - i);
        std::uint32_t cp;
        switch (n) {
        case 1:
            cp = p[i];
            break;
        case 2:
            cp = ((p[i] & 0x1Fu) << 6) | (p[i + 1] & 0x3Fu);
            break;
        case 3:
            cp = ((p[i] & 0x0Fu) << 12) | ((p[i + 1] & 0x3Fu) << 6) | (p[i + 2] & 0x3Fu);
            break;
        case 4:
            cp = ((p[i] & 0x07u) << 18) | ((p[i + 1] & 0x3Fu) << 12) | ((p[i + 2] & 0x3Fu) << 6) | (p[i + 3] & 0x3Fu);
            break;
        default:
            cp = 0xFFFD;
            n = 1;
            break;
        }
        i += n;
        return cp;
    }

} // namespace

JsonStreamWriter::JsonStreamWriter()
    : state_(&JsonStreamWriterStateStart::sharedInstance())
{
    cache_.reserve(32);
    stateStack_.reserve(maxDepth_ + 1);
}

bool JsonStreamWriter::fail(std::string message)
{
    error_ = std::move(message);
    return false;
}

void JsonStreamWriter::appendBytes(const char* bytes, std::size_t length)
{
    if (delegate_)
        delegate_->writerAppendBytes(*this, bytes, length);
}

int JsonStreamWriter::compareKeys(std::string_view a, std::string_view b)
{
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        // Equal bytes are equal code units; decode only where they differ.
        if (a[i] == b[j] && static_cast<unsigned char>(a[i]) < 0x80) {
            ++i;
            ++j;
            continue;
        }
        std::size_t ii = i, jj = j;
        std::uint32_t ca = decodeCodePoint(a, ii);
        std::uint32_t cb = decodeCodePoint(b, jj);
        if (ca != cb) {
            std::uint32_t ka = utf16SortKey(ca), kb = utf16SortKey(cb);
            if (ka != kb)
                return ka < kb ? -1 : 1;
            // Same high surrogate: the low surrogates decide, in code point order.
            return ca < cb ? -1 : 1;
        }
        i = ii;
        j = jj;
    }
    if (i < a.size())
        return 1;
    if (j < b.size())
        return -1;
    return 0;
}

void JsonStreamWriter::appendEscapedString(std::string& out, std::string_view string)
{
    auto p = reinterpret_cast<const std::uint8_t*>(string.data());
    const std::size_t n = string.size();
    out.reserve(out.size() + n + 2);
    out.push_back('"');
    std::size_t run = 0;
    std::size_t i = 0;
    while (i < n) {
        std::uint8_t c = p[i];
        if (c < 0x80) {
            char e = kEscapes.escape[c];
            if (!e) {
                ++i;
                continue;
            }
            out.append(string.data() + run, i - run);
            out.push_back('\\');
            if (e == 'u') {
                static constexpr char kHex[] = "0123456789abcdef";
                char buf[5] = { 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF] };
                out.append(buf, 5);
            } else {
                out.push_back(e);
            }
            run = ++i;
            continue;
        }
        std::size_t len = JsonUTF8Stream::validSequenceLength(p + i, n - i);
        if (len) {
            i += len;
            continue;
        }
        out.append(string.data() + run, i - run);
        out.append("\xEF\xBF\xBD");
        run = ++i;
    }
    out.append(string.data() + run, n - run);
    out.push_back('"');
}

bool JsonStreamWriter::writeScalarFrame()
{
    if (state_->isInvalidState(*this) || state_->expectingKey(*this))
        return false;
    state_->appendSeparator(*this);
    if (humanReadable_)
        state_->appendWhitespace(*this);
    return true;
}

bool JsonStreamWriter::openContainer(const JsonStreamWriterState& inner, char bracket)
{
    if (state_->isInvalidState(*this) || state_->expectingKey(*this))
        return false;
    state_->appendSeparator(*this);
    if (humanReadable_ && !stateStack_.empty())
        state_->appendWhitespace(*this);
    stateStack_.push_back(state_);
    state_ = &inner;
    if (maxDepth_ != 0 && stateStack_.size() > maxDepth_)
        return fail("Nested too deep");
    appendBytes(&bracket, 1);
    return true;
}

bool JsonStreamWriter::writeObjectOpen()
{
    return openContainer(JsonStreamWriterStateObjectStart::sharedInstance(), '{');
}

bool JsonStreamWriter::writeObjectClose()
{
    if (state_->isInvalidState(*this))
        return false;
    // Only a complete member list may be closed; anything else would turn
    // into text that is not JSON.
    if (state_ == &JsonStreamWriterStateObjectValue::sharedInstance())
        return fail("JSON object key has no value");
    if (state_ != &JsonStreamWriterStateObjectStart::sharedInstance()
        && state_ != &JsonStreamWriterStateObjectKey::sharedInstance())
        return fail("No open object to close");
    const JsonStreamWriterState* inner = state_;
    state_ = stateStack_.back();
    stateStack_.pop_back();
    if (humanReadable_)
        inner->appendWhitespace(*this);
    appendBytes("}", 1);
    state_->transitionState(*this);
    return true;
}

bool JsonStreamWriter::writeArrayOpen()
{
    return openContainer(JsonStreamWriterStateArrayStart::sharedInstance(), '[');
}

bool JsonStreamWriter::writeArrayClose()
{
    if (state_->isInvalidState(*this) || state_->expectingKey(*this))
        return false;
    if (state_ != &JsonStreamWriterStateArrayStart::sharedInstance()
        && state_ != &JsonStreamWriterStateArrayValue::sharedInstance())
        return fail("No open array to close");
    const JsonStreamWriterState* inner = state_;
    state_ = stateStack_.back();
    stateStack_.pop_back();
    if (humanReadable_)
        inner->appendWhitespace(*this);
    appendBytes("]", 1);
    state_->transitionState(*this);
    return true;
}

bool JsonStreamWriter::writeObject(const platform::Dictionary& dictionary)
{
    if (!writeObjectOpen())
        return false;
    if (!sortKeys_) {
        for (const auto& [key, value] : dictionary) {
            if (!writeString(key) || !writeValue(value))
                return false;
        }
    } else {
        std::vector<const platform::Dictionary::Entry*> entries;
        entries.reserve(dictionary.size());
        for (const auto& entry : dictionary)
            entries.push_back(&entry);
        if (sortKeysComparator_) {
            std::stable_sort(entries.begin(), entries.end(),
                [this](auto* a, auto* b) { return sortKeysComparator_(a->first, b->first) < 0; });
        } else {
            std::sort(
                entries.begin(), entries.end(), [](auto* a, auto* b) { return compareKeys(a->first, b->first) < 0; });
        }
        for (auto* entry : entries) {
            if (!writeString(entry->first) || !writeValue(entry->second))
                return false;
        }
    }
    return writeObjectClose();
}

bool JsonStreamWriter::writeArray(const platform::Array& array)
{
    if (!writeArrayOpen())
        return false;
    for (const auto& value : array) {
        if (!writeValue(value))
            return false;
    }
    return writeArrayClose();
}

bool JsonStreamWriter::writeValue(const platform::Value& value)
{
    using Kind = platform::Value::Kind;
    switch (value.kind()) {
    case Kind::Dictionary:
        return writeObject(*value.asDictionary());
    case Kind::Array:
        return writeArray(*value.asArray());
    case Kind::String:
        return writeString(*value.asString());
    case Kind::Null:
        return writeNull();
    case Kind::Bool:
    case Kind::Int:
    case Kind::UInt:
    case Kind::Double:
    case Kind::Decimal:
        return writeNumber(value);
    case Kind::Object: {
        auto object = value.asObject();
        if (auto proxy = std::dynamic_pointer_cast<JsonProxyObject>(object)) {
            if (proxyDepth_ >= kMaxProxyDepth)
                return fail("Nested too deep");
            ++proxyDepth_;
            bool ok = writeValue(proxy->proxyForJson());
            --proxyDepth_;
            return ok;
        }
        return fail(platform::format(
            "JSON serialisation not supported for %s", object ? object->className().c_str() : "Object"));
    }
    case Kind::Data:
        return fail("JSON serialisation not supported for Data");
    case Kind::Date:
        return fail("JSON serialisation not supported for Date");
    }
    return fail("JSON serialisation not supported for Object");
}

bool JsonStreamWriter::writeString(std::string_view string)
{
    if (state_->isInvalidState(*this))
        return false;
    state_->appendSeparator(*this);
    if (humanReadable_)
        state_->appendWhitespace(*this);
    auto cached = cache_.find(string);
    if (cached == cache_.end()) {
        std::string encoded;
        appendEscapedString(encoded, string);
        cached = cache_.emplace(std::string(string), std::move(encoded)).first;
    }
    appendBytes(cached->second);
    state_->transitionState(*this);
    return true;
}

bool JsonStreamWriter::writeNull()
{
    if (!writeScalarFrame())
        return false;
    appendBytes("null", 4);
    state_->transitionState(*this);
    return true;
}

bool JsonStreamWriter::writeBool(bool value)
{
    if (!writeScalarFrame())
        return false;
    if (value)
        appendBytes("true", 4);
    else
        appendBytes("false", 5);
    state_->transitionState(*this);
    return true;
}

bool JsonStreamWriter::writeNumber(const platform::Value& number)
{
    using Kind = platform::Value::Kind;
    if (const bool* b = number.asBool())
        return writeBool(*b);
    if (state_->isInvalidState(*this) || state_->expectingKey(*this))
        return false;

    char buffer[128];
    std::string_view text;
    std::string rewritten;
    switch (number.kind()) {
    case Kind::Int: {
        auto r = std::to_chars(buffer, buffer + sizeof buffer, number.longLongValue());
        text = std::string_view(buffer, static_cast<std::size_t>(r.ptr - buffer));
        break;
    }
    case Kind::UInt: {
        auto r = std::to_chars(buffer, buffer + sizeof buffer, number.unsignedLongLongValue());
        text = std::string_view(buffer, static_cast<std::size_t>(r.ptr - buffer));
        break;
    }
    case Kind::Double: {
        // Every floating value is checked: "%.17g" would print nan or inf,
        // which no JSON reader accepts.
        double d = number.doubleValue();
        if (std::isnan(d))
            return fail("NaN is not a valid number in JSON");
        if (std::isinf(d))
            return fail(d > 0 ? "+Infinity is not a valid number in JSON" : "-Infinity is not a valid number in JSON");
        int n = std::snprintf(buffer, sizeof buffer, "%.17g", d);
        text = std::string_view(buffer, static_cast<std::size_t>(n));
        break;
    }
    case Kind::Decimal: {
        // A decimal is written as its own text, once that text is known to
        // be a JSON number; a looser form is rewritten, a non-number refused.
        rewritten = number.description();
        std::string fixed;
        switch (checkJsonDecimal(rewritten, &fixed)) {
        case JsonDecimalCheck::NotANumber:
            return fail("NaN is not a valid number in JSON");
        case JsonDecimalCheck::PlusInfinity:
            return fail("+Infinity is not a valid number in JSON");
        case JsonDecimalCheck::MinusInfinity:
            return fail("-Infinity is not a valid number in JSON");
        case JsonDecimalCheck::Rewritten:
            rewritten = std::move(fixed);
            break;
        case JsonDecimalCheck::Valid:
            break;
        }
        text = rewritten;
        break;
    }
    default:
        return fail(platform::format("JSON serialisation not supported for %s", number.kindName()));
    }

    state_->appendSeparator(*this);
    if (humanReadable_)
        state_->appendWhitespace(*this);
    appendBytes(text);
    state_->transitionState(*this);
    return true;
}

} // namespace foundation
