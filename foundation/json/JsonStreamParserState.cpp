#include "foundation/json/JsonStreamParserState.h"

#include "foundation/json/JsonStreamParser.h"

namespace foundation {

namespace {

    bool isValueToken(JsonTokenType token)
    {
        switch (token) {
        case JsonTokenType::ArrayStart:
        case JsonTokenType::ObjectStart:
        case JsonTokenType::Number:
        case JsonTokenType::String:
        case JsonTokenType::True:
        case JsonTokenType::False:
        case JsonTokenType::Null:
            return true;
        default:
            return false;
        }
    }

} // namespace

bool JsonStreamParserState::shouldAcceptToken(JsonStreamParser&, JsonTokenType) const { return false; }

JsonStreamParserStatus JsonStreamParserState::parserShouldReturn(JsonStreamParser&) const
{
    return JsonStreamParserStatus::WaitingForData;
}

void JsonStreamParserState::shouldTransitionTo(JsonStreamParser&, JsonTokenType) const { }

#define ORB_JSON_PARSER_SHARED_INSTANCE(Class)                                                                         \
    const Class& Class::sharedInstance()                                                                               \
    {                                                                                                                  \
        static const Class instance;                                                                                   \
        return instance;                                                                                               \
    }

ORB_JSON_PARSER_SHARED_INSTANCE(JsonStreamParserStateStart)
ORB_JSON_PARSER_SHARED_INSTANCE(JsonStreamParserStateComplete)
ORB_JSON_PARSER_SHARED_INSTANCE(JsonStreamParserStateError)
ORB_JSON_PARSER_SHARED_INSTANCE(JsonStreamParserStateObjectStart)
ORB_JSON_PARSER_SHARED_INSTANCE(JsonStreamParserStateObjectGotKey)
ORB_JSON_PARSER_SHARED_INSTANCE(JsonStreamParserStateObjectSeparator)
ORB_JSON_PARSER_SHARED_INSTANCE(JsonStreamParserStateObjectGotValue)
ORB_JSON_PARSER_SHARED_INSTANCE(JsonStreamParserStateObjectNeedKey)
ORB_JSON_PARSER_SHARED_INSTANCE(JsonStreamParserStateArrayStart)
ORB_JSON_PARSER_SHARED_INSTANCE(JsonStreamParserStateArrayGotValue)
ORB_JSON_PARSER_SHARED_INSTANCE(JsonStreamParserStateArrayNeedValue)

#undef ORB_JSON_PARSER_SHARED_INSTANCE

bool JsonStreamParserStateStart::shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const
{
    return token == JsonTokenType::ArrayStart || token == JsonTokenType::ObjectStart;
}

void JsonStreamParserStateStart::shouldTransitionTo(JsonStreamParser& parser, JsonTokenType) const
{
    // Runs when this state is restored by the close of the outer-most container.
    if (parser.supportMultipleDocuments())
        parser.setState(JsonStreamParserStateStart::sharedInstance());
    else
        parser.setState(JsonStreamParserStateComplete::sharedInstance());
}

JsonStreamParserStatus JsonStreamParserStateComplete::parserShouldReturn(JsonStreamParser& parser) const
{
    // Complete means the input is used up too. Bytes of an unfinished token
    // after the value ("[1]12", "{} tru") are not ignored: the parser waits
    // for the token to end, and then refuses it.
    if (parser.tokeniser().stream().haveRemainingCharacters(1))
        return JsonStreamParserStatus::WaitingForData;
    return JsonStreamParserStatus::Complete;
}

JsonStreamParserStatus JsonStreamParserStateError::parserShouldReturn(JsonStreamParser&) const
{
    return JsonStreamParserStatus::Error;
}

bool JsonStreamParserStateObjectStart::shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const
{
    return token == JsonTokenType::ObjectEnd || token == JsonTokenType::String;
}

void JsonStreamParserStateObjectStart::shouldTransitionTo(JsonStreamParser& parser, JsonTokenType) const
{
    parser.setState(JsonStreamParserStateObjectGotKey::sharedInstance());
}

bool JsonStreamParserStateObjectGotKey::shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const
{
    return token == JsonTokenType::KeyValueSeparator;
}

void JsonStreamParserStateObjectGotKey::shouldTransitionTo(JsonStreamParser& parser, JsonTokenType) const
{
    parser.setState(JsonStreamParserStateObjectSeparator::sharedInstance());
}

bool JsonStreamParserStateObjectSeparator::shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const
{
    return isValueToken(token);
}

void JsonStreamParserStateObjectSeparator::shouldTransitionTo(JsonStreamParser& parser, JsonTokenType) const
{
    parser.setState(JsonStreamParserStateObjectGotValue::sharedInstance());
}

bool JsonStreamParserStateObjectGotValue::shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const
{
    return token == JsonTokenType::ObjectEnd || token == JsonTokenType::ValueSeparator;
}

void JsonStreamParserStateObjectGotValue::shouldTransitionTo(JsonStreamParser& parser, JsonTokenType) const
{
    parser.setState(JsonStreamParserStateObjectNeedKey::sharedInstance());
}

bool JsonStreamParserStateObjectNeedKey::shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const
{
    return token == JsonTokenType::String;
}

void JsonStreamParserStateObjectNeedKey::shouldTransitionTo(JsonStreamParser& parser, JsonTokenType) const
{
    parser.setState(JsonStreamParserStateObjectGotKey::sharedInstance());
}

bool JsonStreamParserStateArrayStart::shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const
{
    return token == JsonTokenType::ArrayEnd || isValueToken(token);
}

void JsonStreamParserStateArrayStart::shouldTransitionTo(JsonStreamParser& parser, JsonTokenType) const
{
    parser.setState(JsonStreamParserStateArrayGotValue::sharedInstance());
}

bool JsonStreamParserStateArrayGotValue::shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const
{
    return token == JsonTokenType::ArrayEnd || token == JsonTokenType::ValueSeparator;
}

void JsonStreamParserStateArrayGotValue::shouldTransitionTo(JsonStreamParser& parser, JsonTokenType) const
{
    parser.setState(JsonStreamParserStateArrayNeedValue::sharedInstance());
}

bool JsonStreamParserStateArrayNeedValue::shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const
{
    return isValueToken(token);
}

void JsonStreamParserStateArrayNeedValue::shouldTransitionTo(JsonStreamParser& parser, JsonTokenType) const
{
    parser.setState(JsonStreamParserStateArrayGotValue::sharedInstance());
}

} // namespace foundation
