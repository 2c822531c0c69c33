#include "foundation/json/JsonParser.h"

#include "foundation/json/JsonStreamParser.h"
#include "foundation/json/JsonStreamParserAccumulator.h"
#include "foundation/json/JsonStreamParserAdapter.h"
#include "platform/os/Log.h"

#include <memory>

namespace foundation {

platform::Value JsonParser::parseBytes(const std::uint8_t* bytes, std::size_t length)
{
    auto accumulator = std::make_shared<JsonStreamParserAccumulator>();
    auto adapter = std::make_shared<JsonStreamParserAdapter>();
    adapter->setDelegate(accumulator);
    JsonStreamParser parser;
    parser.setMaxDepth(maxDepth_);
    parser.setDelegate(adapter);

    switch (parser.parse(bytes, length)) {
    case JsonStreamParserStatus::Complete:
        return accumulator->takeValue();
    case JsonStreamParserStatus::Error:
        error_ = parser.error();
        return {};
    case JsonStreamParserStatus::WaitingForData:
        break;
    }
    // The value ended but an unfinished token follows it. All input is here,
    // so end that token with a space to name what is wrong with it.
    if (parser.state() == &JsonStreamParserStateComplete::sharedInstance()
        && parser.parse(std::string_view(" ")) == JsonStreamParserStatus::Error) {
        error_ = parser.error();
        return {};
    }
    error_ = "Unexpected end of input";
    return {};
}

platform::Value JsonParser::objectWithData(const platform::Bytes* data)
{
    if (!data) {
        error_ = "Input was 'nil'";
        return {};
    }
    return parseBytes(data->data(), data->size());
}

platform::Value JsonParser::objectWithString(const std::string* text)
{
    if (!text) {
        error_ = "Input was 'nil'";
        return {};
    }
    return objectWithString(std::string_view(*text));
}

platform::Value JsonParser::objectWithString(std::string_view text)
{
    return parseBytes(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

platform::Value JsonParser::objectWithString(std::string_view text, platform::Error* error)
{
    platform::Value result = objectWithString(text);
    if (result.isNull())
        platform::setError(error, platform::Error::withDescription(kJsonParserErrorDomain, 0, error_));
    return result;
}

platform::Value JSONValue(std::string_view text)
{
    JsonParser parser;
    platform::Value result = parser.objectWithString(text);
    if (result.isNull())
        platform::log("-JSONValue failed. Error is: %s", parser.error().c_str());
    return result;
}

platform::Value JSONValue(const platform::Bytes& data)
{
    JsonParser parser;
    platform::Value result = parser.objectWithData(data);
    if (result.isNull())
        platform::log("-JSONValue failed. Error is: %s", parser.error().c_str());
    return result;
}

} // namespace foundation
