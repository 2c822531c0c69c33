#include "foundation/json/JsonStreamWriterState.h"

#include "foundation/json/JsonStreamWriter.h"

namespace foundation {

bool JsonStreamWriterState::isInvalidState(JsonStreamWriter&) const { return false; }

void JsonStreamWriterState::appendSeparator(JsonStreamWriter&) const { }

bool JsonStreamWriterState::expectingKey(JsonStreamWriter&) const { return false; }

void JsonStreamWriterState::transitionState(JsonStreamWriter&) const { }

void JsonStreamWriterState::appendWhitespace(JsonStreamWriter& writer) const
{
    // Depth never exceeds maxDepth + 1 when a limit is set; without one,
    // write the indent in pieces rather than building one huge text.
    static constexpr char kIndent[] = "\n                                                                ";
    std::size_t spaces = writer.stateStack().size() * 2;
    writer.appendBytes(kIndent, 1);
    while (spaces > 0) {
        std::size_t n = spaces < sizeof kIndent - 2 ? spaces : sizeof kIndent - 2;
        writer.appendBytes(kIndent + 1, n);
        spaces -= n;
    }
}

#define ORB_JSON_WRITER_SHARED_INSTANCE(Class)                                                                         \
    const Class& Class::sharedInstance()                                                                               \
    {                                                                                                                  \
        static const Class instance;                                                                                   \
        return instance;                                                                                               \
    }

ORB_JSON_WRITER_SHARED_INSTANCE(JsonStreamWriterStateStart)
ORB_JSON_WRITER_SHARED_INSTANCE(JsonStreamWriterStateComplete)
ORB_JSON_WRITER_SHARED_INSTANCE(JsonStreamWriterStateObjectStart)
ORB_JSON_WRITER_SHARED_INSTANCE(JsonStreamWriterStateObjectKey)
ORB_JSON_WRITER_SHARED_INSTANCE(JsonStreamWriterStateObjectValue)
ORB_JSON_WRITER_SHARED_INSTANCE(JsonStreamWriterStateArrayStart)
ORB_JSON_WRITER_SHARED_INSTANCE(JsonStreamWriterStateArrayValue)
ORB_JSON_WRITER_SHARED_INSTANCE(JsonStreamWriterStateError)

#undef ORB_JSON_WRITER_SHARED_INSTANCE

void JsonStreamWriterStateStart::transitionState(JsonStreamWriter& writer) const
{
    writer.setState(JsonStreamWriterStateComplete::sharedInstance());
}

bool JsonStreamWriterStateComplete::isInvalidState(JsonStreamWriter& writer) const
{
    writer.setError("Stream is closed");
    return true;
}

bool JsonStreamWriterStateObjectStart::expectingKey(JsonStreamWriter& writer) const
{
    writer.setError("JSON object key must be string");
    return true;
}

void JsonStreamWriterStateObjectStart::transitionState(JsonStreamWriter& writer) const
{
    writer.setState(JsonStreamWriterStateObjectValue::sharedInstance());
}

void JsonStreamWriterStateObjectKey::appendSeparator(JsonStreamWriter& writer) const { writer.appendBytes(",", 1); }

void JsonStreamWriterStateObjectValue::appendSeparator(JsonStreamWriter& writer) const { writer.appendBytes(":", 1); }

void JsonStreamWriterStateObjectValue::transitionState(JsonStreamWriter& writer) const
{
    writer.setState(JsonStreamWriterStateObjectKey::sharedInstance());
}

void JsonStreamWriterStateObjectValue::appendWhitespace(JsonStreamWriter& writer) const { writer.appendBytes(" ", 1); }

void JsonStreamWriterStateArrayStart::transitionState(JsonStreamWriter& writer) const
{
    writer.setState(JsonStreamWriterStateArrayValue::sharedInstance());
}

void JsonStreamWriterStateArrayValue::appendSeparator(JsonStreamWriter& writer) const { writer.appendBytes(",", 1); }

} // namespace foundation
