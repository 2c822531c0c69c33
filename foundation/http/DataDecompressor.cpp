#include "foundation/http/DataDecompressor.h"

#include "foundation/http/CodecFile.h"
#include "foundation/http/HTTPRequestError.h"
#include "platform/os/Log.h"

#include <algorithm>
#include <zlib.h>

namespace foundation {

namespace {

// A 32 KB window; zlib and gzip headers are both recognised.
constexpr int kAutoDetectWindowBits = 47;
// The least opened up for a piece: a small reply (a command's JSON answer)
// inflates without a larger buffer made and cleared for it.
constexpr std::size_t kMinimumGrowth = 1024;
// The most opened up for inflate at a time: it stays in the cache between
// its zero-fill and inflate's writes.
constexpr std::size_t kLargestStretch = 256 * 1024;
// Past this much, a body inflated under a limit of at most kLargestWholeRoom
// takes room for all of it.
constexpr std::size_t kWholeRoomAfter = 1024 * 1024;
constexpr std::size_t kLargestWholeRoom = std::size_t { 256 } * 1024 * 1024;

} // namespace

struct DataDecompressor::ZStream {
    z_stream z {};
};

DataDecompressor::DataDecompressor()
    : zStream_(std::make_unique<ZStream>())
{
}

DataDecompressor::~DataDecompressor()
{
    if (streamReady_)
        closeStream();
}

std::unique_ptr<DataDecompressor> DataDecompressor::decompressor(platform::Error* error)
{
    auto result = std::make_unique<DataDecompressor>();
    if (auto err = result->setupStream()) {
        platform::setError(error, *err);
        return nullptr;
    }
    return result;
}

std::optional<platform::Error> DataDecompressor::setupStream()
{
    if (streamReady_)
        return std::nullopt;
    zStream_->z = z_stream {};
    int status = inflateInit2(&zStream_->z, kAutoDetectWindowBits);
    if (status != Z_OK)
        return inflateErrorWithCode(status);
    streamReady_ = true;
    streamEnded_ = false;
    return std::nullopt;
}

std::optional<platform::Error> DataDecompressor::closeStream()
{
    streamReady_ = false;
    int status = inflateEnd(&zStream_->z);
    if (status != Z_OK)
        return inflateErrorWithCode(status);
    return std::nullopt;
}

std::optional<platform::Bytes> DataDecompressor::uncompressBytes(
    const std::uint8_t* bytes, std::size_t length, platform::Error* error)
{
    if (length == 0)
        return std::nullopt;
    platform::Bytes output;
    if (!uncompressBytesAppending(bytes, length, output, error))
        return std::nullopt;
    return output;
}

bool DataDecompressor::uncompressBytesAppending(const std::uint8_t* bytes, std::size_t length,
    platform::Bytes& destination, platform::Error* error, std::size_t limit)
{
    std::size_t used = 0;
    return uncompressStep(bytes, length, &used, destination, error, limit, SIZE_MAX);
}

bool DataDecompressor::uncompressStep(const std::uint8_t* bytes, std::size_t length, std::size_t* used,
    platform::Bytes& destination, platform::Error* error, std::size_t limit, std::size_t step)
{
    *used = length;
    if (length == 0)
        return true;
    if (!streamReady_) {
        platform::setError(error, inflateErrorWithCode(Z_STREAM_ERROR));
        return false;
    }
    // Bytes after the end of the gzip member are not part of the body.
    if (streamEnded_)
        return true;

    z_stream& z = zStream_->z;
    z.next_in = const_cast<Bytef*>(bytes);
    z.avail_in = static_cast<uInt>(length);
    const std::size_t start = destination.size();
    // The stretch opened up for inflate at a time: about what a piece of
    // this size inflates to. Opening it zero-fills it (the bytes are
    // overwritten at once, while still in the cache), so it is kept near
    // what the piece gives rather than the whole room reserved.
    const std::size_t stretch = std::clamp(length * 4, kMinimumGrowth, kLargestStretch);
    std::size_t produced = start;
    // Go on while input remains and also while the last call filled the
    // buffer: zlib may still hold output for input it has already taken.
    for (;;) {
        const std::size_t taken = produced - start;
        if (limit != SIZE_MAX && taken == limit) {
            // At the limit: a byte more, into a probe of its own, tells
            // whether the body goes past it, without room made for it.
            std::uint8_t probe = 0;
            z.next_out = &probe;
            z.avail_out = 1;
            const int status = inflate(&z, Z_NO_FLUSH);
            if (z.avail_out == 0) {
                destination.resize(start);
                platform::setError(error, makeTooLargeError());
                return false;
            }
            if (status == Z_STREAM_END) {
                streamEnded_ = true;
                break;
            }
            if (status == Z_BUF_ERROR || (status == Z_OK && z.avail_in == 0))
                break;
            if (status != Z_OK) {
                destination.resize(start);
                platform::setError(error, inflateErrorWithCode(status));
                return false;
            }
            continue;
        }
        if (produced == destination.size()) {
            // Never more room than the limit leaves: the body kept under a
            // ceiling never grows past it.
            const std::size_t want = limit == SIZE_MAX ? stretch : std::min(stretch, limit - taken);
            if (destination.capacity() - produced < want) {
                std::size_t grown = std::max(destination.capacity() * 2, produced + want);
                // Under a limit, a body past its first stretch is given room
                // up to the limit at once: address space, paid for only as
                // it is written, instead of moves of ever larger copies.
                const std::size_t left = limit - taken;
                if (limit != SIZE_MAX
                    && (grown - produced > left || (produced >= kWholeRoomAfter && left <= kLargestWholeRoom)))
                    grown = produced + left;
                platform::reserveBytes(destination, grown);
            }
            destination.resize(produced + want);
        }
        const std::size_t room = destination.size() - produced;
        z.next_out = destination.data() + produced;
        z.avail_out = static_cast<uInt>(room);
        int status = inflate(&z, Z_NO_FLUSH);
        produced += room - z.avail_out;
        if (status == Z_STREAM_END) {
            streamEnded_ = true;
            break;
        }
        if (status == Z_BUF_ERROR) {
            // No progress was possible: everything given has been used.
            if (z.avail_in == 0)
                break;
            continue;
        }
        if (status != Z_OK) {
            destination.resize(start);
            platform::setError(error, inflateErrorWithCode(status));
            return false;
        }
        if (z.avail_in == 0 && z.avail_out != 0)
            break;
        // zlib keeps its place: the rest of the piece waits for the next step.
        if (produced - start >= step && z.avail_in != 0)
            break;
    }
    // Bytes after the end of the stream are taken (and dropped) with it.
    *used = streamEnded_ ? length : length - z.avail_in;
    destination.resize(produced);
    return true;
}

std::optional<platform::Bytes> DataDecompressor::uncompressData(
    const platform::Bytes& data, platform::Error* error, std::size_t limit)
{
    if (data.empty())
        return std::nullopt;
    auto decompressor = DataDecompressor::decompressor(error);
    if (!decompressor)
        return std::nullopt;
    std::optional<platform::Bytes> result = platform::Bytes();
    if (!decompressor->uncompressBytesAppending(data.data(), data.size(), *result, error, limit))
        result.reset();
    if (result && !decompressor->streamEnded()) {
        platform::setError(error, truncatedStreamError());
        return std::nullopt;
    }
    decompressor->closeStream();
    return result;
}

bool DataDecompressor::uncompressDataFromFile(
    const std::string& sourcePath, const std::string& destinationPath, platform::Error* error)
{
    auto decompressor = std::make_unique<DataDecompressor>();
    http_detail::CodecFileSteps steps;
    steps.verb = "Decompression";
    steps.piece = [&](const platform::Bytes& piece, bool isLast, platform::Bytes& out, platform::Error* err) {
        if (!decompressor->streamReady() && !decompressor->streamEnded()) {
            if (auto setupError = decompressor->setupStream()) {
                platform::setError(err, *setupError);
                return false;
            }
        }
        if (isLast) {
            // A file that stops before the gzip trailer is a broken download.
            if (!decompressor->streamEnded()) {
                platform::setError(err, truncatedStreamError());
                return false;
            }
            if (decompressor->streamReady()) {
                if (auto closeError = decompressor->closeStream()) {
                    platform::setError(err, *closeError);
                    return false;
                }
            }
            return true;
        }
        auto result = decompressor->uncompressBytes(piece.data(), piece.size(), err);
        if (!result)
            return false;
        out = std::move(*result);
        return true;
    };
    return http_detail::runCodecFromFileToFile(sourcePath, destinationPath, steps, error);
}

platform::Error DataDecompressor::inflateErrorWithCode(int code)
{
    return makeHTTPRequestError(CompressionError, platform::format("Decompression of data failed with code %i", code));
}

platform::Error DataDecompressor::truncatedStreamError() { return inflateErrorWithCode(Z_BUF_ERROR); }

} // namespace foundation
