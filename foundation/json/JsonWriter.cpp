#include "foundation/json/JsonWriter.h"

#include "foundation/json/JsonProxyObject.h"
#include "foundation/json/JsonStreamWriterAccumulator.h"
#include "platform/os/Log.h"

#include <memory>

namespace foundation {

namespace {

    // A chain of records answering records longer than this is taken as a loop.
    constexpr unsigned kMaxProxyDepth = 32;

} // namespace

std::optional<std::string> JsonWriter::write(const platform::Value& object, unsigned proxyDepth)
{
    auto accumulator = std::make_shared<JsonStreamWriterAccumulator>();
    JsonStreamWriter writer;
    writer.setSortKeys(sortKeys_);
    writer.setMaxDepth(maxDepth_);
    writer.setSortKeysComparator(sortKeysComparator_);
    writer.setHumanReadable(humanReadable_);
    writer.setDelegate(accumulator);

    bool ok;
    if (auto dictionary = object.asDictionary()) {
        ok = writer.writeObject(*dictionary);
    } else if (auto array = object.asArray()) {
        ok = writer.writeArray(*array);
    } else if (auto proxy = std::dynamic_pointer_cast<JsonProxyObject>(object.asObject())) {
        if (proxyDepth >= kMaxProxyDepth) {
            error_ = "Nested too deep";
            return std::nullopt;
        }
        return write(proxy->proxyForJson(), proxyDepth + 1);
    } else {
        error_ = "Not valid type for JSON";
        return std::nullopt;
    }
    if (!ok) {
        error_ = writer.error();
        return std::nullopt;
    }
    return accumulator->takeData();
}

std::optional<std::string> JsonWriter::stringWithObject(const platform::Value& object)
{
    error_.clear();
    return write(object, 0);
}

std::optional<platform::Bytes> JsonWriter::dataWithObject(const platform::Value& object)
{
    auto text = stringWithObject(object);
    if (!text)
        return std::nullopt;
    return platform::Bytes(text->begin(), text->end());
}

std::optional<std::string> JsonWriter::stringWithObject(const platform::Value& object, platform::Error* error)
{
    auto text = stringWithObject(object);
    if (!text)
        platform::setError(error, platform::Error::withDescription(kJsonWriterErrorDomain, 0, error_));
    return text;
}

std::optional<std::string> JSONRepresentation(const platform::Value& value)
{
    JsonWriter writer;
    auto text = writer.stringWithObject(value);
    if (!text)
        platform::log("-JSONRepresentation failed. Error is: %s", writer.error().c_str());
    return text;
}

} // namespace foundation
