// libFuzzer target: whatever the parser accepts, the writer must write and
// the parser must read back to the same text; nothing may crash.
#include "foundation/json/JsonParser.h"
#include "foundation/json/JsonStreamParser.h"
#include "foundation/json/JsonStreamParserAccumulator.h"
#include "foundation/json/JsonStreamParserAdapter.h"
#include "foundation/json/JsonWriter.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    foundation::JsonParser parser;
    platform::Value value = parser.objectWithString(text);
    if (value.isNull()) {
        if (parser.error().empty())
            std::abort();
        return 0;
    }

    // The same bytes in pieces of three give the same value.
    auto accumulator = std::make_shared<foundation::JsonStreamParserAccumulator>();
    auto adapter = std::make_shared<foundation::JsonStreamParserAdapter>();
    adapter->setDelegate(accumulator);
    foundation::JsonStreamParser stream;
    stream.setDelegate(adapter);
    foundation::JsonStreamParserStatus status = foundation::JsonStreamParserStatus::WaitingForData;
    for (std::size_t at = 0; at < size; at += 3) {
        std::string piece = text.substr(at, 3);
        status = stream.parse(piece);
    }
    if (status != foundation::JsonStreamParserStatus::Complete
        && status != foundation::JsonStreamParserStatus::WaitingForData)
        std::abort();
    if (status == foundation::JsonStreamParserStatus::Complete && !(accumulator->value() == value))
        std::abort();

    // Written and read again, it writes the same text. (Texts, not values:
    // the decimal 1.0 is written "1" and reads back as the integer 1.)
    foundation::JsonWriter writer;
    auto written = writer.stringWithObject(value);
    if (!written)
        std::abort();
    for (bool human : { false, true }) {
        foundation::JsonWriter formWriter;
        formWriter.setHumanReadable(human);
        auto form = formWriter.stringWithObject(value);
        foundation::JsonParser again;
        platform::Value back = form ? again.objectWithString(*form) : platform::Value();
        auto rewritten = writer.stringWithObject(back);
        if (!rewritten || *rewritten != *written)
            std::abort();
    }
    return 0;
}
