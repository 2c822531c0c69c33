#include "foundation/json/JsonStreamWriterAccumulator.h"

namespace foundation {

void JsonStreamWriterAccumulator::writerAppendBytes(JsonStreamWriter&, const char* bytes, std::size_t length)
{
    data_.append(bytes, length);
}

} // namespace foundation
