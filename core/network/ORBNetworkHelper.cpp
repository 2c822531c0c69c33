#include "core/network/ORBNetworkHelper.h"

#include "core/network/ORBReplyParser.h"
#include "core/network/ORBRequestBuilder.h"
#include "core/network/ORBRequestTable.h"
#include "core/session/MyAccountInfo.h"
#include "foundation/http/FormDataRequest.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/RunLoop.h"

#include <mutex>

using foundation::FormDataRequest;

namespace core {

namespace {

    // A failure found before anything is sent still reaches the caller after the
    // call has returned, as every other outcome does.
    void failLater(ORBNetworkHelper::FailBlock fail, std::string message)
    {
        if (!fail)
            return;
        platform::postToMain([fail = std::move(fail), message = std::move(message)] { fail(message); });
    }

} // namespace

ORBNetworkHelper& ORBNetworkHelper::sharedORBNetworkHelper()
{
    static std::once_flag once;
    static ORBNetworkHelper* helper = nullptr;
    std::call_once(once, [] { helper = new ORBNetworkHelper(); });
    return *helper;
}

void ORBNetworkHelper::postNetworkRequestWithType(
    int type, const platform::Value& params, StartBlock startBlock, SuccessBlock successBlock, FailBlock failBlock)
{
    auto command = ORBRequestBuilder::commandForType(type, params);
    platform::log("request url:%s\n", command.address.c_str());
    platform::log(
        "request params:%s\n", platform::Value(ORBRequestBuilder::maskedForLog(command.body)).description().c_str());

    auto url = platform::Url::parse(command.address);
    if (!url) {
        platform::log("error msg:bad server address %s\n", command.address.c_str());
        failLater(std::move(failBlock), kConnectionFailedText);
        return;
    }
    if (ORBRequestBuilder::hasUnsendablePassword(command.body)) {
        platform::log("error msg:a password field is not valid UTF-8\n");
        failLater(std::move(failBlock), kUnsendablePasswordText);
        return;
    }
    platform::Error error;
    auto json = platform::PlatformJson::writeData(command.body, platform::PlatformJson::Style::Pretty, &error);
    if (!json) {
        // A parameter that is not a JSON value: the screen must still hear
        // that nothing was sent, or its progress overlay would never end.
        platform::log("error msg:%s\n", error.description().c_str());
        failLater(std::move(failBlock), kBadRequestText);
        return;
    }
    networkRequestWithType(
        type, *url, "POST", std::move(*json), std::move(startBlock), std::move(successBlock), std::move(failBlock));
}

void ORBNetworkHelper::getNetworkRequestWithType(
    int type, const platform::Value& params, StartBlock startBlock, SuccessBlock successBlock, FailBlock failBlock)
{
    auto account = MyAccountInfo::currentAccount();
    if (!account) {
        if (failBlock)
            failBlock(kNotSignedInText);
        return;
    }
    auto address = ORBRequestBuilder::queryAddressForType(type, params, *account);
    if (!address) {
        platform::log("error msg:type %d is not a query\n", type);
        failLater(std::move(failBlock), kBadRequestText);
        return;
    }
    platform::log("request url:%s\n", address->c_str());
    auto url = platform::Url::parse(*address);
    if (!url) {
        platform::log("error msg:bad server address %s\n", address->c_str());
        failLater(std::move(failBlock), kConnectionFailedText);
        return;
    }
    networkRequestWithType(
        type, *url, "GET", std::nullopt, std::move(startBlock), std::move(successBlock), std::move(failBlock));
}

void ORBNetworkHelper::networkRequestWithType(int type, const platform::Url& requestUrl,
    const std::string& requestMethod, const std::optional<platform::Bytes>& requestData, StartBlock startBlock,
    SuccessBlock successBlock, FailBlock failBlock)
{
    auto request = FormDataRequest::requestWithURL(requestUrl);
    if (requestData)
        request->setPostBody(*requestData);
    request->setRequestMethod(requestMethod);
    request->setTimeOutSeconds(timeOutSeconds());
    request->setDefaultResponseEncoding(platform::kUTF8StringEncoding);
    const ORBRequestRow* row = ORBRequestTable::rowForType(type);
    if (row && row->compressedReply)
        request->setAllowCompressedResponse(true);

    // The blocks live inside the request, so they hold it weakly; the engine
    // keeps the request alive while it reports.
    std::weak_ptr<FormDataRequest> weak = request;
    request->setStartedBlock([startBlock] {
        if (startBlock)
            startBlock();
    });
    request->setCompletionBlock([weak, type, requestData, successBlock, failBlock] {
        auto finished = weak.lock();
        if (!finished)
            return;
        // The body as the transfer kept it: inflated once, off the main loop,
        // when it came compressed (a body it could not inflate failed the
        // request instead of coming here).
        // Read once: each read is a copy of the body, on the main loop. A
        // body past its kind's ceiling is refused as it came, not read as
        // text first.
        const ORBRequestRow* row = ORBRequestTable::rowForType(type);
        auto body = finished->responseBodyAndText(row ? row->largestReply : kLargestScreenReply);
        const platform::Bytes none;
        ORBReplyParser::requestCompleted(
            type, requestData, body.text, body.data ? *body.data : none, successBlock, failBlock);
    });
    request->setFailedBlock([weak, failBlock] {
        if (!failBlock)
            return;
        auto failed = weak.lock();
        std::optional<std::string> text = failed ? failed->responseString() : std::nullopt;
        if (failed && failed->error())
            platform::log("request failed:%s\n", failed->error()->localizedDescription().c_str());
        failBlock(text && !text->empty() ? *text : std::string(kConnectionFailedText));
    });
    request->startAsynchronous();
}

std::optional<std::string> ORBNetworkHelper::JSONString(const std::optional<std::string>& string) const
{
    return ORBReplyParser::JSONString(string);
}

std::optional<platform::Bytes> ORBNetworkHelper::uncompressZippedData(const platform::Bytes& data) const
{
    return ORBReplyParser::uncompressZippedData(data);
}

} // namespace core
