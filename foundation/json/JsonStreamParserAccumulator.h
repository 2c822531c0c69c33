#pragma once

#include "foundation/json/JsonStreamParserAdapter.h"
#include "platform/os/Value.h"

namespace foundation {

// Keeps the last top-level value the adapter delivered.
class JsonStreamParserAccumulator final : public JsonStreamParserAdapterDelegate {
public:
    void parserFoundArray(JsonStreamParser& parser, platform::Value array) override;
    void parserFoundObject(JsonStreamParser& parser, platform::Value object) override;

    const platform::Value& value() const { return value_; }
    platform::Value takeValue() { return std::move(value_); }

private:
    platform::Value value_;
};

} // namespace foundation
