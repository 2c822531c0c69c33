#pragma once

#include "foundation/json/JsonStreamWriterState.h"
#include "platform/os/Value.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace foundation {

class JsonStreamWriter;

// Orders two keys: negative, zero or positive, like a three-way compare.
using JsonKeyComparator = std::function<int(std::string_view, std::string_view)>;

// Receives the writer's output bytes as they are made.
class JsonStreamWriterDelegate {
public:
    virtual ~JsonStreamWriterDelegate() = default;
    virtual void writerAppendBytes(JsonStreamWriter& writer, const char* bytes, std::size_t length) = 0;
};

// Writes values as JSON text through a table of state objects. Every write
// answers true, or false with error() set; a writer serves one document.
class JsonStreamWriter final {
public:
    JsonStreamWriter();

    bool writeObject(const platform::Dictionary& dictionary);
    bool writeArray(const platform::Array& array);
    bool writeObjectOpen();
    bool writeObjectClose();
    bool writeArrayOpen();
    bool writeArrayClose();
    bool writeNull();
    bool writeBool(bool value);
    bool writeValue(const platform::Value& value);
    bool writeString(std::string_view string);
    // Booleans as true/false; Int with "%lld", UInt with "%llu", a decimal as
    // its own text, a double with "%.17g". NaN and infinities fail.
    bool writeNumber(const platform::Value& number);

    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool value) { humanReadable_ = value; }
    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool value) { sortKeys_ = value; }
    const JsonKeyComparator& sortKeysComparator() const { return sortKeysComparator_; }
    void setSortKeysComparator(JsonKeyComparator comparator) { sortKeysComparator_ = std::move(comparator); }
    // 0 means no limit.
    unsigned maxDepth() const { return maxDepth_; }
    void setMaxDepth(unsigned depth) { maxDepth_ = depth; }

    const std::string& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

    const JsonStreamWriterState* state() const { return state_; }
    void setState(const JsonStreamWriterState& state) { state_ = &state; }
    const std::vector<const JsonStreamWriterState*>& stateStack() const { return stateStack_; }

    const std::shared_ptr<JsonStreamWriterDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<JsonStreamWriterDelegate> delegate) { delegate_ = std::move(delegate); }

    void appendBytes(const char* bytes, std::size_t length);
    void appendBytes(std::string_view bytes) { appendBytes(bytes.data(), bytes.size()); }

    // Keys ordered as the phone orders texts: by UTF-16 code units.
    static int compareKeys(std::string_view a, std::string_view b);
    // The quoted, escaped form of a text. Bytes that are not UTF-8 become
    // U+FFFD, so the output is always valid UTF-8.
    static void appendEscapedString(std::string& out, std::string_view string);

private:
    struct TextHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view s) const { return std::hash<std::string_view> {}(s); }
    };
    bool writeScalarFrame();
    // Opens an object or array: separator, whitespace, depth check, bracket.
    bool openContainer(const JsonStreamWriterState& inner, char bracket);
    bool fail(std::string message);

    std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> cache_;
    bool humanReadable_ = false;
    bool sortKeys_ = false;
    JsonKeyComparator sortKeysComparator_;
    unsigned maxDepth_ = 32;
    std::string error_;
    const JsonStreamWriterState* state_;
    std::vector<const JsonStreamWriterState*> stateStack_;
    std::shared_ptr<JsonStreamWriterDelegate> delegate_;
    // Proxies answering proxies count here, so a record that answers itself
    // fails instead of recursing without end.
    unsigned proxyDepth_ = 0;
};

} // namespace foundation
