#pragma once

#include "foundation/json/JsonStreamParser.h"
#include "platform/os/Value.h"

#include <memory>
#include <string>
#include <vector>

namespace foundation {

// Receives each finished top-level value from the adapter.
class JsonStreamParserAdapterDelegate {
public:
    virtual ~JsonStreamParserAdapterDelegate() = default;
    virtual void parserFoundArray(JsonStreamParser& parser, platform::Value array) = 0;
    // Any other finished top-level value (an object, or a value at a skipped level).
    virtual void parserFoundObject(JsonStreamParser& parser, platform::Value object) = 0;
};

// Turns the stream parser's events into nested arrays and dictionaries.
class JsonStreamParserAdapter final : public JsonStreamParserDelegate {
public:
    enum class ContainerType { None = 0, Array = 1, Dictionary = 2 };

    JsonStreamParserAdapter();

    const std::shared_ptr<JsonStreamParserAdapterDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<JsonStreamParserAdapterDelegate> delegate) { delegate_ = std::move(delegate); }

    // The number of outer container levels that are not built; the values
    // inside them go to the delegate one by one.
    unsigned levelsToSkip() const { return levelsToSkip_; }
    void setLevelsToSkip(unsigned levels) { levelsToSkip_ = levels; }

    unsigned depth() const { return depth_; }
    ContainerType currentType() const { return currentType_; }

    void parserFoundObjectStart(JsonStreamParser& parser) override;
    void parserFoundObjectKey(JsonStreamParser& parser, std::string key) override;
    void parserFoundObjectEnd(JsonStreamParser& parser) override;
    void parserFoundArrayStart(JsonStreamParser& parser) override;
    void parserFoundArrayEnd(JsonStreamParser& parser) override;
    void parserFoundBoolean(JsonStreamParser& parser, bool value) override;
    void parserFoundNull(JsonStreamParser& parser) override;
    void parserFoundNumber(JsonStreamParser& parser, platform::Value number) override;
    void parserFoundString(JsonStreamParser& parser, std::string string) override;

private:
    void startContainer(ContainerType type);
    void endContainer(JsonStreamParser& parser);
    void deliver(JsonStreamParser& parser, platform::Value value);
    void updateCurrentType();

    std::shared_ptr<JsonStreamParserAdapterDelegate> delegate_;
    unsigned levelsToSkip_ = 0;
    unsigned depth_ = 0;
    ContainerType currentType_ = ContainerType::None;
    // Open containers, outer-most first, and the keys waiting for their values.
    std::vector<platform::Value> stack_;
    std::vector<std::string> keyStack_;
};

} // namespace foundation
