#pragma once

#include "foundation/json/JsonStreamParserState.h"
#include "foundation/json/JsonTokeniser.h"
#include "platform/os/Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace foundation {

class JsonStreamParser;

enum class JsonStreamParserStatus {
    Complete, // the outer-most value has ended and the input is used up
    WaitingForData,
    Error,
};

// Receives the parser's events in document order.
class JsonStreamParserDelegate {
public:
    virtual ~JsonStreamParserDelegate() = default;
    virtual void parserFoundObjectStart(JsonStreamParser& parser) = 0;
    virtual void parserFoundObjectKey(JsonStreamParser& parser, std::string key) = 0;
    virtual void parserFoundObjectEnd(JsonStreamParser& parser) = 0;
    virtual void parserFoundArrayStart(JsonStreamParser& parser) = 0;
    virtual void parserFoundArrayEnd(JsonStreamParser& parser) = 0;
    virtual void parserFoundBoolean(JsonStreamParser& parser, bool value) = 0;
    virtual void parserFoundNull(JsonStreamParser& parser) = 0;
    // A 64-bit integer (Int, or UInt above the signed range) or an exact decimal.
    virtual void parserFoundNumber(JsonStreamParser& parser, platform::Value number) = 0;
    virtual void parserFoundString(JsonStreamParser& parser, std::string string) = 0;
};

// A push parser: each `parse` call appends bytes and consumes every complete
// token, reporting events to the delegate. A table of state objects decides
// which token may come next.
class JsonStreamParser final {
public:
    JsonStreamParser();

    JsonStreamParserStatus parse(const std::uint8_t* bytes, std::size_t length);
    JsonStreamParserStatus parse(const platform::Bytes& data) { return parse(data.data(), data.size()); }
    JsonStreamParserStatus parse(std::string_view text)
    {
        return parse(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }

    JsonTokeniser& tokeniser() { return tokeniser_; }

    bool supportMultipleDocuments() const { return supportMultipleDocuments_; }
    void setSupportMultipleDocuments(bool value) { supportMultipleDocuments_ = value; }

    const std::string& error() const { return error_; }
    void setError(std::string error) { error_ = std::move(error); }

    const std::shared_ptr<JsonStreamParserDelegate>& delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<JsonStreamParserDelegate> delegate) { delegate_ = std::move(delegate); }

    unsigned maxDepth() const { return maxDepth_; }
    void setMaxDepth(unsigned depth) { maxDepth_ = depth; }

    const JsonStreamParserState* state() const { return state_; }
    void setState(const JsonStreamParserState& state) { state_ = &state; }
    const std::vector<const JsonStreamParserState*>& stateStack() const { return stateStack_; }

private:
    JsonStreamParserStatus consumeTokens();
    void openContainer(JsonTokenType token);
    void closeContainer(JsonTokenType token);

    JsonTokeniser tokeniser_;
    bool supportMultipleDocuments_ = false;
    std::string error_;
    std::shared_ptr<JsonStreamParserDelegate> delegate_;
    unsigned maxDepth_ = 32;
    const JsonStreamParserState* state_;
    std::vector<const JsonStreamParserState*> stateStack_;
    // Reused between tokens so that string and number tokens do not allocate
    // a fresh buffer each time.
    std::string tokenString_;
    platform::Value tokenNumber_;
};

} // namespace foundation
