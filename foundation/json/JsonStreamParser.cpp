#include "foundation/json/JsonStreamParser.h"

#include "platform/os/Log.h"

namespace foundation {

JsonStreamParser::JsonStreamParser()
    : state_(&JsonStreamParserStateStart::sharedInstance())
{
    stateStack_.reserve(maxDepth_);
}

JsonStreamParserStatus JsonStreamParser::parse(const std::uint8_t* bytes, std::size_t length)
{
    tokeniser_.stream().appendData(bytes, length);
    JsonStreamParserStatus status = consumeTokens();
    // The caller's bytes are read in place; keep only an unfinished token.
    tokeniser_.stream().retainRemaining();
    return status;
}

JsonStreamParserStatus JsonStreamParser::consumeTokens()
{
    const JsonStreamParserState* const errorState = &JsonStreamParserStateError::sharedInstance();
    if (state_ == errorState)
        return JsonStreamParserStatus::Error;

    for (;;) {
        JsonTokenType token = tokeniser_.getToken(tokenString_, tokenNumber_);
        if (token == JsonTokenType::Error) {
            state_ = &JsonStreamParserStateError::sharedInstance();
            error_ = tokeniser_.error();
            return JsonStreamParserStatus::Error;
        }
        if (token == JsonTokenType::EndOfInput)
            return state_->parserShouldReturn(*this);
        if (!state_->shouldAcceptToken(*this, token)) {
            error_ = platform::format("Token '%s' not expected %s", jsonTokenName(token), state_->name());
            state_ = &JsonStreamParserStateError::sharedInstance();
            return JsonStreamParserStatus::Error;
        }

        switch (token) {
        case JsonTokenType::ObjectStart:
        case JsonTokenType::ArrayStart:
            openContainer(token);
            break;
        case JsonTokenType::ObjectEnd:
        case JsonTokenType::ArrayEnd:
            closeContainer(token);
            break;
        case JsonTokenType::ValueSeparator:
        case JsonTokenType::KeyValueSeparator:
            state_->shouldTransitionTo(*this, token);
            break;
        case JsonTokenType::Number:
            if (delegate_)
                delegate_->parserFoundNumber(*this, std::move(tokenNumber_));
            state_->shouldTransitionTo(*this, token);
            break;
        case JsonTokenType::True:
        case JsonTokenType::False:
            if (delegate_)
                delegate_->parserFoundBoolean(*this, token == JsonTokenType::True);
            state_->shouldTransitionTo(*this, token);
            break;
        case JsonTokenType::Null:
            if (delegate_)
                delegate_->parserFoundNull(*this);
            state_->shouldTransitionTo(*this, token);
            break;
        case JsonTokenType::String:
            if (delegate_) {
                if (state_->needKey())
                    delegate_->parserFoundObjectKey(*this, std::move(tokenString_));
                else
                    delegate_->parserFoundString(*this, std::move(tokenString_));
            }
            state_->shouldTransitionTo(*this, token);
            break;
        case JsonTokenType::Error:
        case JsonTokenType::EndOfInput:
            break;
        }
        if (state_ == errorState)
            return JsonStreamParserStatus::Error;
    }
}

void JsonStreamParser::openContainer(JsonTokenType token)
{
    if (stateStack_.size() >= maxDepth_) {
        error_ = platform::format("Input depth exceeds max depth of %u", maxDepth_);
        state_ = &JsonStreamParserStateError::sharedInstance();
        return;
    }
    if (delegate_) {
        if (token == JsonTokenType::ObjectStart)
            delegate_->parserFoundObjectStart(*this);
        else
            delegate_->parserFoundArrayStart(*this);
    }
    stateStack_.push_back(state_);
    if (token == JsonTokenType::ObjectStart)
        state_ = &JsonStreamParserStateObjectStart::sharedInstance();
    else
        state_ = &JsonStreamParserStateArrayStart::sharedInstance();
}

void JsonStreamParser::closeContainer(JsonTokenType token)
{
    // The states only accept a closing token inside a container, so the
    // stack is never empty here; stay safe all the same.
    if (stateStack_.empty()) {
        error_ = platform::format("Token '%s' not expected %s", jsonTokenName(token), state_->name());
        state_ = &JsonStreamParserStateError::sharedInstance();
        return;
    }
    state_ = stateStack_.back();
    stateStack_.pop_back();
    state_->shouldTransitionTo(*this, token);
    if (delegate_) {
        if (token == JsonTokenType::ObjectEnd)
            delegate_->parserFoundObjectEnd(*this);
        else
            delegate_->parserFoundArrayEnd(*this);
    }
}

} // namespace foundation
