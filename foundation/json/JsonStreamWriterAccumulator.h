#pragma once

#include "foundation/json/JsonStreamWriter.h"

#include <string>

namespace foundation {

// Collects the writer's output in one growing buffer.
class JsonStreamWriterAccumulator final : public JsonStreamWriterDelegate {
public:
    JsonStreamWriterAccumulator() { data_.reserve(8096); }

    void writerAppendBytes(JsonStreamWriter& writer, const char* bytes, std::size_t length) override;

    const std::string& data() const { return data_; }
    std::string takeData() { return std::move(data_); }

private:
    std::string data_;
};

} // namespace foundation
