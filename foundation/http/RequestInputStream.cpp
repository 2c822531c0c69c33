#include "foundation/http/RequestInputStream.h"

#include "foundation/http/HTTPRequest.h"
#include "platform/os/FileUtil.h"

#include <cerrno>
#include <fcntl.h>
#include <mutex>

namespace foundation {

std::shared_ptr<RequestInputStream> RequestInputStream::inputStreamWithFileAtPath(
    const std::string& path, const std::shared_ptr<HTTPRequest>& request, platform::Error* error)
{
    FileDescriptor fd = FileDescriptor::open(path, O_RDONLY);
    if (!fd) {
        platform::setError(error, platform::FileUtil::posixError(errno, "open", path));
        return nullptr;
    }
    std::shared_ptr<RequestInputStream> stream(new RequestInputStream);
    stream->fd_ = std::move(fd);
    stream->path_ = path;
    stream->request_ = request;
    return stream;
}

std::shared_ptr<RequestInputStream> RequestInputStream::inputStreamWithData(
    platform::Bytes data, const std::shared_ptr<HTTPRequest>& request)
{
    std::shared_ptr<RequestInputStream> stream(new RequestInputStream);
    stream->data_ = std::make_unique<platform::DataInputStream>(std::move(data));
    stream->request_ = request;
    return stream;
}

RequestInputStream::~RequestInputStream() { close(); }

std::mutex& RequestInputStream::throttleLock()
{
    static auto* lock = new std::mutex;
    return *lock;
}

void RequestInputStream::close() { fd_.close(); }

long RequestInputStream::read(std::uint8_t* buffer, std::size_t maxLength)
{
    // Under throttling a read takes no more than this second's allowance
    // (always at least a byte, so the upload never stalls on a zero read),
    // and the request may pause its stream until the allowance is back.
    bool throttled = false;
    {
        std::lock_guard<std::mutex> lock(throttleLock());
        throttled = HTTPRequest::isBandwidthThrottled();
        if (throttled) {
            std::size_t allowance = HTTPRequest::maxUploadReadLength();
            if (allowance <= maxLength)
                maxLength = allowance == 0 ? 1 : allowance;
        }
    }
    if (throttled) {
        // Not from inside the stream's own body callback: the pause is
        // handed to the request's loop.
        if (auto request = request_.lock()) {
            std::weak_ptr<HTTPRequest> weak = request;
            request->requestLoop().post(
                [weak] {
                    if (auto strong = weak.lock())
                        strong->performThrottling();
                },
                platform::kCommonRunLoopModes);
        }
    }

    long count = 0;
    if (data_) {
        count = data_->read(buffer, maxLength);
    } else if (fd_) {
        ssize_t n = fd_.read(buffer, maxLength);
        if (n < 0)
            streamError_ = platform::FileUtil::posixError(errno, "read", path_);
        count = static_cast<long>(n);
    } else {
        streamError_ = platform::FileUtil::posixError(EBADF, "read", path_);
        count = -1;
    }
    if (count > 0)
        HTTPRequest::incrementBandwidthUsedInLastSecond(static_cast<unsigned long>(count));
    return count;
}

} // namespace foundation
