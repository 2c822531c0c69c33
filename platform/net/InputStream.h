#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <cstddef>
#include <cstdint>
#include <optional>

namespace platform {

// A source of request body bytes that the HTTP stream pulls from, on the
// thread the stream is scheduled on. The engine supplies its own (throttled,
// counting) implementation; DataInputStream covers bodies held in memory.
class InputStream {
public:
    virtual ~InputStream() = default;
    // Copies up to maxLength bytes: > 0 bytes copied, 0 at the end, < 0 on error.
    // Must not block for long: it runs on the network thread.
    virtual long read(std::uint8_t* buffer, std::size_t maxLength) = 0;
    // Why the last read failed, when the stream knows. The HTTP stream reports
    // this error as its own when present (else POSIX EIO).
    virtual std::optional<Error> streamError() const { return std::nullopt; }
};

// Reads from a copy of the given bytes.
class DataInputStream final : public InputStream {
public:
    explicit DataInputStream(Bytes data);
    long read(std::uint8_t* buffer, std::size_t maxLength) override;
    std::size_t remaining() const { return data_.size() - offset_; }

private:
    Bytes data_;
    std::size_t offset_ = 0;
};

} // namespace platform
