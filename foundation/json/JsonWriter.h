#pragma once

#include "foundation/json/JsonStreamWriter.h"
#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <optional>
#include <string>

namespace foundation {

inline constexpr const char* kJsonWriterErrorDomain = "org.vantrell.JsonWriter.ErrorDomain";

// Writes a dictionary or an array (or a record that answers one through
// JsonProxyObject) as JSON text. Defaults: compact, keys in the dictionary's
// own order, at most 32 nested containers.
class JsonWriter final {
public:
    JsonWriter() = default;

    // UTF-8 JSON, or nothing with error() set.
    std::optional<platform::Bytes> dataWithObject(const platform::Value& object);
    std::optional<std::string> stringWithObject(const platform::Value& object);
    // As above; on failure also stores an error of kJsonWriterErrorDomain,
    // code 0, whose description is error(), when `error` is given.
    std::optional<std::string> stringWithObject(const platform::Value& object, platform::Error* error);

    // 0 means no limit.
    unsigned maxDepth() const { return maxDepth_; }
    void setMaxDepth(unsigned depth) { maxDepth_ = depth; }
    bool humanReadable() const { return humanReadable_; }
    void setHumanReadable(bool value) { humanReadable_ = value; }
    bool sortKeys() const { return sortKeys_; }
    void setSortKeys(bool value) { sortKeys_ = value; }
    const JsonKeyComparator& sortKeysComparator() const { return sortKeysComparator_; }
    void setSortKeysComparator(JsonKeyComparator comparator) { sortKeysComparator_ = std::move(comparator); }

    // The text of the last failure; cleared at the start of every write.
    const std::string& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

private:
    std::optional<std::string> write(const platform::Value& object, unsigned proxyDepth);

    unsigned maxDepth_ = 32;
    bool humanReadable_ = false;
    bool sortKeys_ = false;
    JsonKeyComparator sortKeysComparator_;
    std::string error_;
};

// Write a value with a new writer; on failure log
// "-JSONRepresentation failed. Error is: <reason>" and answer nothing.
std::optional<std::string> JSONRepresentation(const platform::Value& value);

} // namespace foundation
