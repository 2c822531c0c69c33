#include "contacts/book/AddressBookReply.h"

#include "core/model/ReplyReading.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBReplyParser.h"
#include "core/network/ORBRequestBuilder.h"
#include "core/network/ORBRequestTable.h"
#include "foundation/http/DataDecompressor.h"
#include "foundation/http/FormDataRequest.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/RunLoop.h"

#include <algorithm>
#include <memory>

namespace contacts {

namespace {

    using core::ORBReplyParser;

    AddressBookReply failure(std::string message)
    {
        AddressBookReply reply;
        reply.outcome = AddressBookReply::Outcome::Failed;
        reply.message = std::move(message);
        return reply;
    }

    // The body as the dispatcher reads a JSON reply: text in its encoding
    // (a UTF-8 byte-order mark is no text), raw control characters inside
    // strings escaped; the bytes themselves when they are no such text.
    std::string jsonText(const platform::Bytes& body, platform::StringEncoding encoding)
    {
        static constexpr std::uint8_t kUtf8Mark[] = { 0xEF, 0xBB, 0xBF };
        std::string_view bytes(reinterpret_cast<const char*>(body.data()), body.size());
        if (encoding == platform::kUTF8StringEncoding && bytes.size() >= sizeof kUtf8Mark
            && std::equal(std::begin(kUtf8Mark), std::end(kUtf8Mark), body.begin()))
            bytes.remove_prefix(sizeof kUtf8Mark);
        if (auto repaired = ORBReplyParser::JSONString(platform::decodeText(bytes, encoding)))
            return std::move(*repaired);
        return std::string(reinterpret_cast<const char*>(body.data()), body.size());
    }

    // The first character of a JSON text, past white space and a byte-order mark.
    char firstCharacter(const platform::Bytes& body)
    {
        std::size_t at = body.size() >= 3 && body[0] == 0xEF && body[1] == 0xBB && body[2] == 0xBF ? 3 : 0;
        while (at < body.size() && (body[at] == ' ' || body[at] == '\t' || body[at] == '\n' || body[at] == '\r'))
            ++at;
        return at < body.size() ? static_cast<char>(body[at]) : '\0';
    }

    // The book read from its text as it is parsed; nothing (and *unread set)
    // when the text is no JSON at all.
    std::optional<AddressBookReply> imported(std::string_view text, bool* unread = nullptr)
    {
        platform::Error error;
        auto book = importAddressBook(text, &error);
        if (!book && error.code() == platform::PlatformJson::kValueTooLargeCode)
            return failure(kAddressBookTooLargeText);
        if (!book && !error.domain().empty() && unread) {
            *unread = true;
            return std::nullopt;
        }
        if (!book)
            return failure(ORBReplyParser::kAddressBookParseFailedText);
        AddressBookReply reply;
        reply.outcome = AddressBookReply::Outcome::Book;
        reply.book = std::move(book);
        return reply;
    }

} // namespace

std::optional<platform::Bytes> inflateAddressBook(const platform::Bytes& body, std::size_t limit, bool* tooLarge)
{
    if (tooLarge)
        *tooLarge = false;
    if (body.empty())
        return body;
    platform::Error error;
    auto inflated = foundation::DataDecompressor::uncompressData(body, &error, limit);
    if (!inflated && tooLarge)
        *tooLarge = foundation::isTooLargeError(error);
    return inflated;
}

AddressBookReply readAddressBookReply(
    const platform::Bytes& body, platform::StringEncoding encoding, std::size_t limit)
{
    // A book sent as plain JSON is held to the same limit as an inflated one.
    if (body.size() > limit)
        return failure(kAddressBookTooLargeText);
    // Its first character tells an envelope and a book the transfer already
    // inflated from compressed bytes, so that none is parsed twice.
    const char first = firstCharacter(body);
    if (first == '{') {
        bool tooLarge = false;
        auto parsed = ORBReplyParser::parseReply(jsonText(body, encoding), &tooLarge);
        if (tooLarge)
            return failure(kAddressBookTooLargeText);
        if (const platform::Dictionary* envelope = parsed ? parsed->asDictionary() : nullptr) {
            if (core::reply::integerOf(envelope->get("resultState")) == 1) {
                AddressBookReply reply;
                reply.outcome = AddressBookReply::Outcome::NoBook;
                return reply;
            }
            const platform::Value message = envelope->get("resultMsg");
            const bool readable = message.isString() && !message.asString()->empty();
            return failure(readable ? *message.asString() : std::string(ORBReplyParser::kNoServerMessageText));
        }
    } else if (first == '[') {
        // Text that is no JSON may still be a compressed stream.
        bool unread = false;
        if (auto reply = imported(jsonText(body, encoding), &unread))
            return std::move(*reply);
    }
    bool tooLarge = false;
    auto inflated = inflateAddressBook(body, limit, &tooLarge);
    if (!inflated) {
        platform::log("uncompress failed:%s\n", tooLarge ? "past the address book's limit" : "corrupt stream");
        return failure(tooLarge ? kAddressBookTooLargeText : ORBReplyParser::kAddressBookInflateFailedText);
    }
    auto reply = imported(std::string_view(reinterpret_cast<const char*>(inflated->data()), inflated->size()));
    return std::move(*reply);
}

void downloadAddressBook(AddressBookDownload download)
{
    using core::ORBNetworkHelper;
    const int type = static_cast<int>(core::ORBRequestType::AddressBook);
    auto command = core::ORBRequestBuilder::commandForType(type, platform::Value());
    platform::log("request url:%s\n", command.address.c_str());
    auto finish = download.finished;
    auto failLater = [finish](std::string message) {
        platform::postToMain([finish, message = std::move(message)] {
            if (finish)
                finish(failure(message));
        });
    };
    auto url = platform::Url::parse(command.address);
    auto json = platform::PlatformJson::writeData(command.body, platform::PlatformJson::Style::Pretty);
    if (!url || !json) {
        platform::log("error msg:the address book request cannot be sent\n");
        failLater(url ? ORBNetworkHelper::kBadRequestText : ORBNetworkHelper::kConnectionFailedText);
        return;
    }
    auto request = foundation::FormDataRequest::requestWithURL(*url);
    request->setPostBody(std::move(*json));
    request->setRequestMethod("POST");
    request->setTimeOutSeconds(ORBNetworkHelper::sharedORBNetworkHelper().timeOutSeconds());
    request->setDefaultResponseEncoding(platform::kUTF8StringEncoding);
    // The book may come with a content encoding too, over its own
    // compression or instead of it: the transfer inflates that within its
    // ceiling, and the book's own stream is inflated here.
    request->setAllowCompressedResponse(true);

    // The blocks live inside the request, so they hold it weakly; the engine
    // keeps the request alive while it reports.
    std::weak_ptr<foundation::FormDataRequest> weak = request;
    request->setStartedBlock([started = download.started] {
        if (started)
            started();
    });
    request->setCompletionBlock([weak, finish, arrived = download.arrived, limit = download.limit] {
        auto done = weak.lock();
        if (!done)
            return;
        auto inflated = done->responseData();
        if (!inflated) {
            if (finish)
                finish(failure(ORBReplyParser::kAddressBookInflateFailedText));
            return;
        }
        platform::Bytes body = std::move(*inflated);
        const platform::StringEncoding encoding = done->responseEncoding();
        if (arrived)
            arrived();
        platform::dispatchAsync([finish, limit, encoding, body = std::move(body)]() mutable {
            auto reply = readAddressBookReply(body, encoding, limit);
            platform::Bytes().swap(body);
            auto shared = std::make_shared<AddressBookReply>(std::move(reply));
            platform::postToMain([finish, shared] {
                if (finish)
                    finish(std::move(*shared));
            });
        });
    });
    request->setFailedBlock([weak, finish] {
        auto failed = weak.lock();
        std::optional<std::string> text;
        if (failed && !failed->isResponseCompressed())
            text = failed->responseString();
        if (failed && failed->error())
            platform::log("request failed:%s\n", failed->error()->localizedDescription().c_str());
        // A book the transfer refused at its ceiling as it arrived.
        if (failed && failed->error() && foundation::isTooLargeError(*failed->error()))
            text = kAddressBookTooLargeText;
        if (finish)
            finish(failure(text && !text->empty() ? *text : std::string(ORBNetworkHelper::kConnectionFailedText)));
    });
    request->startAsynchronous();
}

} // namespace contacts
