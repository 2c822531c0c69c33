#include "foundation/json/JsonStreamParserAccumulator.h"

namespace foundation {

void JsonStreamParserAccumulator::parserFoundArray(JsonStreamParser&, platform::Value array)
{
    value_ = std::move(array);
}

void JsonStreamParserAccumulator::parserFoundObject(JsonStreamParser&, platform::Value object)
{
    value_ = std::move(object);
}

} // namespace foundation
