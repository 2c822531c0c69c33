#pragma once

#include "foundation/json/JsonTokeniser.h"

namespace foundation {

class JsonStreamParser;
enum class JsonStreamParserStatus;

// One state of the stream parser's table. States hold no data; each is a
// single shared instance, so the parser keeps plain pointers to them.
class JsonStreamParserState {
public:
    virtual ~JsonStreamParserState() = default;

    virtual bool shouldAcceptToken(JsonStreamParser& parser, JsonTokenType token) const;
    // What `parse` answers when the input runs out in this state.
    virtual JsonStreamParserStatus parserShouldReturn(JsonStreamParser& parser) const;
    virtual void shouldTransitionTo(JsonStreamParser& parser, JsonTokenType token) const;
    virtual bool needKey() const { return false; }
    // How error messages describe the place ("as array value", ...).
    virtual const char* name() const = 0;
    virtual bool isError() const { return false; }
};

class JsonStreamParserStateStart final : public JsonStreamParserState {
public:
    static const JsonStreamParserStateStart& sharedInstance();
    bool shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const override;
    void shouldTransitionTo(JsonStreamParser& parser, JsonTokenType token) const override;
    const char* name() const override { return "before outer-most array or object"; }
};

class JsonStreamParserStateComplete final : public JsonStreamParserState {
public:
    static const JsonStreamParserStateComplete& sharedInstance();
    JsonStreamParserStatus parserShouldReturn(JsonStreamParser& parser) const override;
    const char* name() const override { return "after outer-most array or object"; }
};

class JsonStreamParserStateError final : public JsonStreamParserState {
public:
    static const JsonStreamParserStateError& sharedInstance();
    JsonStreamParserStatus parserShouldReturn(JsonStreamParser& parser) const override;
    const char* name() const override { return "in error"; }
    bool isError() const override { return true; }
};

class JsonStreamParserStateObjectStart final : public JsonStreamParserState {
public:
    static const JsonStreamParserStateObjectStart& sharedInstance();
    bool shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const override;
    void shouldTransitionTo(JsonStreamParser& parser, JsonTokenType token) const override;
    bool needKey() const override { return true; }
    const char* name() const override { return "at beginning of object"; }
};

class JsonStreamParserStateObjectGotKey final : public JsonStreamParserState {
public:
    static const JsonStreamParserStateObjectGotKey& sharedInstance();
    bool shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const override;
    void shouldTransitionTo(JsonStreamParser& parser, JsonTokenType token) const override;
    const char* name() const override { return "after object key"; }
};

class JsonStreamParserStateObjectSeparator final : public JsonStreamParserState {
public:
    static const JsonStreamParserStateObjectSeparator& sharedInstance();
    bool shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const override;
    void shouldTransitionTo(JsonStreamParser& parser, JsonTokenType token) const override;
    const char* name() const override { return "as object value"; }
};

class JsonStreamParserStateObjectGotValue final : public JsonStreamParserState {
public:
    static const JsonStreamParserStateObjectGotValue& sharedInstance();
    bool shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const override;
    void shouldTransitionTo(JsonStreamParser& parser, JsonTokenType token) const override;
    const char* name() const override { return "after object value"; }
};

class JsonStreamParserStateObjectNeedKey final : public JsonStreamParserState {
public:
    static const JsonStreamParserStateObjectNeedKey& sharedInstance();
    bool shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const override;
    void shouldTransitionTo(JsonStreamParser& parser, JsonTokenType token) const override;
    bool needKey() const override { return true; }
    const char* name() const override { return "in place of object key"; }
};

class JsonStreamParserStateArrayStart final : public JsonStreamParserState {
public:
    static const JsonStreamParserStateArrayStart& sharedInstance();
    bool shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const override;
    void shouldTransitionTo(JsonStreamParser& parser, JsonTokenType token) const override;
    const char* name() const override { return "at array start"; }
};

class JsonStreamParserStateArrayGotValue final : public JsonStreamParserState {
public:
    static const JsonStreamParserStateArrayGotValue& sharedInstance();
    bool shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const override;
    void shouldTransitionTo(JsonStreamParser& parser, JsonTokenType token) const override;
    const char* name() const override { return "after array value"; }
};

class JsonStreamParserStateArrayNeedValue final : public JsonStreamParserState {
public:
    static const JsonStreamParserStateArrayNeedValue& sharedInstance();
    bool shouldAcceptToken(JsonStreamParser&, JsonTokenType token) const override;
    void shouldTransitionTo(JsonStreamParser& parser, JsonTokenType token) const override;
    const char* name() const override { return "as array value"; }
};

} // namespace foundation
