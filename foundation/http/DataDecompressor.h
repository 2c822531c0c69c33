#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace foundation {

// Inflates gzip (or zlib) bodies: whole, piece by piece as they arrive, or
// from file to file. The header kind is detected from the data.
class DataDecompressor final {
public:
    static std::unique_ptr<DataDecompressor> decompressor(platform::Error* error = nullptr);

    DataDecompressor();
    ~DataDecompressor();
    DataDecompressor(const DataDecompressor&) = delete;
    DataDecompressor& operator=(const DataDecompressor&) = delete;

    std::optional<platform::Error> setupStream();
    std::optional<platform::Error> closeStream();
    bool streamReady() const { return streamReady_; }
    // True once the compressed stream's own end (with its checksum) was read.
    bool streamEnded() const { return streamEnded_; }

    // Inflates the next piece of one stream; every byte zlib can produce from
    // it is returned. An empty piece answers nothing, without an error.
    std::optional<platform::Bytes> uncompressBytes(
        const std::uint8_t* bytes, std::size_t length, platform::Error* error);
    // As uncompressBytes, but what the piece inflates to goes straight onto
    // the end of destination, which grows as the output needs (doubling, so
    // a body of unknown length is moved a bounded number of times). Room
    // already reserved is used as it is. Only the stretch about to be
    // written is opened up ahead of inflate, never the whole reserve. On an
    // error destination is as it was before the call, and false comes back.
    // More than `limit` bytes from this piece is an error too (the error
    // makeTooLargeError gives): a small body that inflates without end stops
    // there.
    bool uncompressBytesAppending(const std::uint8_t* bytes, std::size_t length, platform::Bytes& destination,
        platform::Error* error, std::size_t limit = SIZE_MAX);
    // One bounded step of uncompressBytesAppending: it stops once `step`
    // bytes have come out while some of the piece is still unread, and
    // *used tells how much of the piece it took; the rest is given again to
    // the next step. A piece of a few hundred kilobytes may inflate to
    // gigabytes: a thread serving other work inflates it a step at a time.
    bool uncompressStep(const std::uint8_t* bytes, std::size_t length, std::size_t* used, platform::Bytes& destination,
        platform::Error* error, std::size_t limit, std::size_t step);

    // The whole body inflated. A stream that stops before its end is an
    // error, and so is one that inflates to more than `limit` bytes (then
    // the error is makeTooLargeError's: isTooLargeError tells it apart).
    // The one inflation of a whole body under a limit, whoever inflates it.
    static std::optional<platform::Bytes> uncompressData(
        const platform::Bytes& data, platform::Error* error, std::size_t limit = SIZE_MAX);
    // As uncompressData, file to file; the destination is replaced only by a
    // complete result and is left as it was on failure.
    static bool uncompressDataFromFile(
        const std::string& sourcePath, const std::string& destinationPath, platform::Error* error);
    static platform::Error inflateErrorWithCode(int code);
    // The error for a stream that ended before its trailer.
    static platform::Error truncatedStreamError();

private:
    struct ZStream;
    std::unique_ptr<ZStream> zStream_;
    bool streamReady_ = false;
    bool streamEnded_ = false;
};

} // namespace foundation
