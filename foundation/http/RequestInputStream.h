#pragma once

#include "foundation/http/FileDescriptor.h"
#include "platform/net/InputStream.h"
#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace foundation {

class HTTPRequest;

// The stream every request body is read from: over the body in memory or
// over the body file. Each read counts toward the engine's bandwidth use; a
// read failure of the file is kept so the request fails with it rather than
// sending a shortened body.
class RequestInputStream final : public platform::InputStream {
public:
    // nullptr when the file cannot be opened (the error says why).
    static std::shared_ptr<RequestInputStream> inputStreamWithFileAtPath(
        const std::string& path, const std::shared_ptr<HTTPRequest>& request, platform::Error* error = nullptr);
    static std::shared_ptr<RequestInputStream> inputStreamWithData(
        platform::Bytes data, const std::shared_ptr<HTTPRequest>& request);

    ~RequestInputStream() override;
    RequestInputStream(const RequestInputStream&) = delete;
    RequestInputStream& operator=(const RequestInputStream&) = delete;

    long read(std::uint8_t* buffer, std::size_t maxLength) override;
    std::optional<platform::Error> streamError() const override { return streamError_; }
    void close();

private:
    RequestInputStream() = default;
    // Shared by every body stream: one throttle decision at a time.
    static std::mutex& throttleLock();

    std::weak_ptr<HTTPRequest> request_;
    FileDescriptor fd_;
    std::string path_;
    std::unique_ptr<platform::DataInputStream> data_;
    std::optional<platform::Error> streamError_;
};

} // namespace foundation
