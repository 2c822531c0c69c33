#include "foundation/json/JsonStreamParserAdapter.h"

namespace foundation {

JsonStreamParserAdapter::JsonStreamParserAdapter()
{
    stack_.reserve(32);
    keyStack_.reserve(32);
}

void JsonStreamParserAdapter::updateCurrentType()
{
    if (stack_.empty())
        currentType_ = ContainerType::None;
    else if (stack_.back().isArray())
        currentType_ = ContainerType::Array;
    else
        currentType_ = ContainerType::Dictionary;
}

void JsonStreamParserAdapter::startContainer(ContainerType type)
{
    ++depth_;
    if (depth_ <= levelsToSkip_)
        return;
    if (type == ContainerType::Array)
        stack_.emplace_back(platform::Array {});
    else
        stack_.emplace_back(platform::Dictionary {});
    currentType_ = type;
}

void JsonStreamParserAdapter::endContainer(JsonStreamParser& parser)
{
    if (depth_ == 0)
        return;
    unsigned was = depth_--;
    if (was <= levelsToSkip_ || stack_.empty())
        return;
    platform::Value finished = std::move(stack_.back());
    stack_.pop_back();
    updateCurrentType();
    deliver(parser, std::move(finished));
}

void JsonStreamParserAdapter::deliver(JsonStreamParser& parser, platform::Value value)
{
    switch (currentType_) {
    case ContainerType::Dictionary:
        if (!keyStack_.empty()) {
            stack_.back().asDictionary()->set(std::move(keyStack_.back()), std::move(value));
            keyStack_.pop_back();
        }
        break;
    case ContainerType::Array:
        stack_.back().asArray()->push_back(std::move(value));
        break;
    case ContainerType::None:
        if (!delegate_)
            break;
        if (value.isArray())
            delegate_->parserFoundArray(parser, std::move(value));
        else
            delegate_->parserFoundObject(parser, std::move(value));
        break;
    }
}

void JsonStreamParserAdapter::parserFoundObjectStart(JsonStreamParser&) { startContainer(ContainerType::Dictionary); }

void JsonStreamParserAdapter::parserFoundObjectKey(JsonStreamParser&, std::string key)
{
    // Keys of skipped levels have no dictionary to go into; keeping them
    // would only grow the stack for the rest of the document.
    if (currentType_ == ContainerType::Dictionary)
        keyStack_.push_back(std::move(key));
}

void JsonStreamParserAdapter::parserFoundObjectEnd(JsonStreamParser& parser) { endContainer(parser); }

void JsonStreamParserAdapter::parserFoundArrayStart(JsonStreamParser&) { startContainer(ContainerType::Array); }

void JsonStreamParserAdapter::parserFoundArrayEnd(JsonStreamParser& parser) { endContainer(parser); }

void JsonStreamParserAdapter::parserFoundBoolean(JsonStreamParser& parser, bool value)
{
    deliver(parser, platform::Value(value));
}

void JsonStreamParserAdapter::parserFoundNull(JsonStreamParser& parser) { deliver(parser, platform::Value()); }

void JsonStreamParserAdapter::parserFoundNumber(JsonStreamParser& parser, platform::Value number)
{
    deliver(parser, std::move(number));
}

void JsonStreamParserAdapter::parserFoundString(JsonStreamParser& parser, std::string string)
{
    deliver(parser, platform::Value(std::move(string)));
}

} // namespace foundation
