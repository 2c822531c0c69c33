#pragma once

#include "platform/os/Url.h"
#include "platform/os/Value.h"

#include <atomic>
#include <functional>
#include <optional>
#include <string>

namespace core {

// The one road by which screens send commands to the platform server. A
// screen names a request type, hands over its parameters and three blocks,
// and learns the outcome through them: the start block when the transfer
// starts, then either the success block with what the reply parser made of
// the reply, or the failure block with a text to show the user. Blocks run on
// the main thread, after the calling method has returned (except the failure
// of a query sent with nobody signed in, which is called at once).
//
// Called on the main thread. A dispatched request cannot be cancelled.
class ORBNetworkHelper final {
public:
    using StartBlock = std::function<void()>;
    using SuccessBlock = std::function<void(const platform::Value& result)>;
    using FailBlock = std::function<void(const std::string& message)>;

    static constexpr double kDefaultTimeOutSeconds = 30.0;

    static constexpr const char* kNotSignedInText = "用户信息出错，请重新登录";
    static constexpr const char* kConnectionFailedText = "服务连接出错，请重试";
    // Parameters that cannot be written as JSON, or a type the operation
    // cannot send.
    static constexpr const char* kBadRequestText = "数据错误";
    // A password whose bytes are not valid UTF-8 cannot be written as JSON
    // text; the user must hear that it is the password, not "数据错误".
    static constexpr const char* kUnsendablePasswordText = "密码中含有无法发送的字符，请重新输入";

    static ORBNetworkHelper& sharedORBNetworkHelper();

    // Sends a command: the body holds the client fields, the account fields
    // when someone is signed in, "cmd" and the type's own keys.
    void postNetworkRequestWithType(
        int type, const platform::Value& params, StartBlock startBlock, SuccessBlock successBlock, FailBlock failBlock);
    // Sends a query of the signed-in account.
    void getNetworkRequestWithType(
        int type, const platform::Value& params, StartBlock startBlock, SuccessBlock successBlock, FailBlock failBlock);
    // The one sender under both: "POST" with the body, or "GET" without.
    void networkRequestWithType(int type, const platform::Url& requestUrl, const std::string& requestMethod,
        const std::optional<platform::Bytes>& requestData, StartBlock startBlock, SuccessBlock successBlock,
        FailBlock failBlock);

    // See ORBReplyParser.
    std::optional<std::string> JSONString(const std::optional<std::string>& string) const;
    std::optional<platform::Bytes> uncompressZippedData(const platform::Bytes& data) const;

    // How long a request may go without progress before it fails. Tests and
    // tools shorten it; screens keep the default.
    double timeOutSeconds() const { return timeOutSeconds_.load(); }
    void setTimeOutSeconds(double seconds) { timeOutSeconds_.store(seconds); }

private:
    ORBNetworkHelper() = default;

    std::atomic<double> timeOutSeconds_ { kDefaultTimeOutSeconds };
};

} // namespace core
