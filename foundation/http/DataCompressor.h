#pragma once

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace foundation {

// Deflates request bodies into gzip form, in one piece, piece by piece, or
// from file to file. One instance serves one gzip stream on one thread.
class DataCompressor final {
public:
    // A new compressor with its stream set up; null when zlib refuses.
    static std::unique_ptr<DataCompressor> compressor(platform::Error* error = nullptr);

    DataCompressor();
    ~DataCompressor();
    DataCompressor(const DataCompressor&) = delete;
    DataCompressor& operator=(const DataCompressor&) = delete;

    std::optional<platform::Error> setupStream();
    std::optional<platform::Error> closeStream();
    bool streamReady() const { return streamReady_; }

    // Compresses one piece; with shouldFinish the gzip trailer follows. An
    // empty piece answers nothing, without an error.
    std::optional<platform::Bytes> compressBytes(
        const std::uint8_t* bytes, std::size_t length, platform::Error* error, bool shouldFinish);
    // Ends the stream (trailer included) without further input.
    std::optional<platform::Bytes> finishStream(platform::Error* error);

    static std::optional<platform::Bytes> compressData(const platform::Bytes& data, platform::Error* error);
    // Writes the gzip form of a file. The destination is replaced only by a
    // complete result; on failure it is left as it was.
    static bool compressDataFromFile(
        const std::string& sourcePath, const std::string& destinationPath, platform::Error* error);
    static platform::Error deflateErrorWithCode(int code);

private:
    std::optional<platform::Bytes> run(
        const std::uint8_t* bytes, std::size_t length, platform::Error* error, int flush);

    struct ZStream;
    std::unique_ptr<ZStream> zStream_;
    bool streamReady_ = false;
};

} // namespace foundation
