#pragma once

#include "core/network/ORBRequestTable.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/Value.h"

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace foundation {
class HTTPRequest;
}

namespace core {

// Reads the platform server's reply to a dispatched request: repairs raw
// control characters inside texts, parses the JSON, checks the envelope
// ("resultState" 1 is success, "resultMsg" is the user's message) and hands
// the success block what the request type's screen expects (the reply, its
// message, one field or a list of models). The magazine replies also bring
// the local magazine store and the per-account magazine settings up to date,
// and the whole address book arrives compressed and is inflated here. What
// each request type's success block receives is a column of the request
// table (ORBRequestTable). The reply's true and false are read as the
// numbers 1 and 0, as the phone's value model has them.
//
// Runs on the main thread. Every reply, whatever its shape, ends in at most
// one call of one block; nothing the server sends can end the program.
class ORBReplyParser final {
public:
    ORBReplyParser() = delete;

    using SuccessBlock = std::function<void(const platform::Value& result)>;
    using FailBlock = std::function<void(const std::string& message)>;

    static constexpr const char* kReplyNotAnObjectText = "数据解析错误";
    static constexpr const char* kAddressBookInflateFailedText = "通讯录解压失败";
    static constexpr const char* kAddressBookParseFailedText = "通讯录数据解析失败";
    // A refused command whose reply gave the user no message of its own.
    static constexpr const char* kNoServerMessageText = "操作失败，请稍后重试";
    // A reply longer than its kind can be, or one that would take more to
    // read than a reply of its length may.
    static constexpr const char* kReplyTooLargeText = "数据过大，无法加载";

    // A parsed reply may take this many bytes for each byte of its text (and
    // a small reply at least kLeastValueBytes): real replies take a third of
    // that, while a short text of tiny values ("[0,0,0,...]") would take
    // twenty or more, and is refused as it is read instead.
    static constexpr std::size_t kValueBytesPerTextByte = 16;
    static constexpr std::size_t kLeastValueBytes = std::size_t { 1 } << 20;
    static platform::PlatformJson::ReadLimits readLimitsFor(std::size_t textBytes);
    // Parses a reply's text within those limits; *tooLarge tells a refusal
    // for its cost from one for its syntax.
    static std::optional<platform::Value> parseReply(std::string_view text, bool* tooLarge = nullptr);

    // What reading one reply came to.
    struct ReplyRead {
        // The reply, its true and false as 1 and 0; nothing when it was
        // refused or is not JSON.
        std::optional<platform::Value> value;
        // Refused for its length or for what it would take to read: the
        // person is told kReplyTooLargeText where they are told anything.
        bool tooLarge = false;
    };
    // The one check of a reply's text, for every reader of a reply: a text
    // longer than largestReply is refused before anything is made of it; the
    // rest has its raw control characters repaired when `repair` asks
    // (JSONString) and is parsed within readLimitsFor. Nothing is logged and
    // the value is left as the text has it, for a reader whose replies are
    // not the platform's (booleansAsNumbers is readReply's).
    static ReplyRead readReplyText(std::string_view text, std::size_t largestReply, bool repair);
    // The one reading of a reply body, the dispatcher's and that of every
    // screen that reads the reply of a request it built itself: readReplyText
    // (repaired when the body is text), its booleans made numbers, logged
    // under `label`. The log has the reply's description only while replies
    // are described (setDescribesRepliesInLog), cut at kLongestDescription;
    // otherwise, and for a long reply, its length alone. responseText is the
    // body as text in its charset (nothing when it is not valid text there),
    // responseData its bytes.
    static ReplyRead readReply(const std::optional<std::string>& responseText, const platform::Bytes& responseData,
        std::size_t largestReply, std::string_view label);
    // The same for a finished request, its body and text taken in one read.
    // The kinds of request in the table take their row's ceiling.
    static ReplyRead readReply(
        const foundation::HTTPRequest& request, std::size_t largestReply, std::string_view label);
    static ReplyRead readReply(const foundation::HTTPRequest& request, ORBRequestType type, std::string_view label);

    // Whether readReply writes a reply's description into the log (on until
    // told otherwise). A description is many times the reply's size: a
    // program whose log goes nowhere turns it off so that none is made.
    static void setDescribesRepliesInLog(bool describes);
    static bool describesRepliesInLog();
    // The longest description of a reply the log is given: past it the
    // description stops, as it is being made, with a mark of the cut.
    static constexpr std::size_t kLongestDescription = std::size_t { 4 } << 10;

    // The completion of one request. sentBody is the JSON body that was
    // posted (nothing for a query); responseText the body as text in its
    // charset (nothing when it is not valid text there); responseData the
    // body's bytes.
    static void requestCompleted(int type, const std::optional<platform::Bytes>& sentBody,
        const std::optional<std::string>& responseText, const platform::Bytes& responseData,
        const SuccessBlock& success, const FailBlock& fail);

    // The text with raw line feeds, backspaces, form feeds, carriage returns
    // and tabs (and any other raw control character) written as JSON escapes,
    // but only inside string literals: line breaks between tokens of a
    // pretty-printed reply are left alone. Nothing for nothing.
    static std::optional<std::string> JSONString(const std::optional<std::string>& string);

    // True and false as the numbers 1 and 0, all through the value, as the
    // phone's value model reads them.
    static void booleansAsNumbers(platform::Value& value);

    // Inflates a zlib or gzip stream (the header is recognised). Empty input
    // comes back empty; a stream that is corrupt or ends early gives nothing.
    static std::optional<platform::Bytes> uncompressZippedData(const platform::Bytes& data);

    // What the success block receives for a reply whose "resultState" is 1.
    // Updates the magazine store for the magazine list and the issue contents.
    static platform::Value resultForType(
        int type, const platform::Value& reply, const std::optional<platform::Bytes>& sentBody);

private:
    static platform::Value updateMagazines(const platform::Value& reply);
    static void updateIssue(const platform::Value& reply, const std::optional<platform::Bytes>& sentBody);
};

} // namespace core
