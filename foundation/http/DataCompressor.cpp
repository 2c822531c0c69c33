#include "foundation/http/DataCompressor.h"

#include "foundation/http/CodecFile.h"
#include "foundation/http/HTTPRequestError.h"
#include "platform/os/Log.h"

#include <algorithm>
#include <zlib.h>

namespace foundation {

namespace {

// A 32 KB window with a gzip header and trailer.
constexpr int kGzipWindowBits = 31;
constexpr int kMemoryLevel = 8;
constexpr std::size_t kMinimumGrowth = 16384;

} // namespace

struct DataCompressor::ZStream {
    z_stream z {};
};

DataCompressor::DataCompressor()
    : zStream_(std::make_unique<ZStream>())
{
}

DataCompressor::~DataCompressor()
{
    if (streamReady_)
        closeStream();
}

std::unique_ptr<DataCompressor> DataCompressor::compressor(platform::Error* error)
{
    auto result = std::make_unique<DataCompressor>();
    if (auto err = result->setupStream()) {
        platform::setError(error, *err);
        return nullptr;
    }
    return result;
}

std::optional<platform::Error> DataCompressor::setupStream()
{
    if (streamReady_)
        return std::nullopt;
    zStream_->z = z_stream {};
    int status = deflateInit2(
        &zStream_->z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, kGzipWindowBits, kMemoryLevel, Z_DEFAULT_STRATEGY);
    if (status != Z_OK)
        return deflateErrorWithCode(status);
    streamReady_ = true;
    return std::nullopt;
}

std::optional<platform::Error> DataCompressor::closeStream()
{
    streamReady_ = false;
    int status = deflateEnd(&zStream_->z);
    // Ending a stream that was never finished answers Z_DATA_ERROR; that is a
    // caller abandoning it, not a failure to report.
    if (status != Z_OK && status != Z_DATA_ERROR)
        return deflateErrorWithCode(status);
    return std::nullopt;
}

std::optional<platform::Bytes> DataCompressor::compressBytes(
    const std::uint8_t* bytes, std::size_t length, platform::Error* error, bool shouldFinish)
{
    if (length == 0)
        return std::nullopt;
    return run(bytes, length, error, shouldFinish ? Z_FINISH : Z_NO_FLUSH);
}

std::optional<platform::Bytes> DataCompressor::finishStream(platform::Error* error)
{
    return run(nullptr, 0, error, Z_FINISH);
}

std::optional<platform::Bytes> DataCompressor::run(
    const std::uint8_t* bytes, std::size_t length, platform::Error* error, int flush)
{
    if (!streamReady_) {
        platform::setError(error, deflateErrorWithCode(Z_STREAM_ERROR));
        return std::nullopt;
    }
    z_stream& z = zStream_->z;
    z.next_in = const_cast<Bytef*>(bytes);
    z.avail_in = static_cast<uInt>(length);

    // Grow by half the input, but never by less than a useful step, so that
    // tiny pieces (and the bare trailer) always find room.
    std::size_t growth = std::max(length / 2, kMinimumGrowth);
    platform::Bytes output(std::max(length / 2, kMinimumGrowth));
    std::size_t produced = 0;
    for (;;) {
        if (produced == output.size())
            output.resize(output.size() + growth);
        z.next_out = output.data() + produced;
        z.avail_out = static_cast<uInt>(output.size() - produced);
        int status = deflate(&z, flush);
        produced = output.size() - z.avail_out;
        if (status == Z_STREAM_END)
            break;
        if (status != Z_OK && status != Z_BUF_ERROR) {
            platform::setError(error, deflateErrorWithCode(status));
            return std::nullopt;
        }
        // Without finishing, deflate is done once it leaves output room free
        // and has taken all input; when finishing, only Z_STREAM_END ends it.
        if (flush != Z_FINISH && z.avail_out != 0 && z.avail_in == 0)
            break;
    }
    output.resize(produced);
    return output;
}

std::optional<platform::Bytes> DataCompressor::compressData(const platform::Bytes& data, platform::Error* error)
{
    auto compressor = DataCompressor::compressor(error);
    if (!compressor)
        return std::nullopt;
    auto result = compressor->compressBytes(data.data(), data.size(), error, true);
    if (auto err = compressor->closeStream(); err && result) {
        platform::setError(error, *err);
        return std::nullopt;
    }
    return result;
}

bool DataCompressor::compressDataFromFile(
    const std::string& sourcePath, const std::string& destinationPath, platform::Error* error)
{
    auto compressor = std::make_unique<DataCompressor>();
    http_detail::CodecFileSteps steps;
    steps.verb = "Compression";
    steps.piece = [&](const platform::Bytes& piece, bool isLast, platform::Bytes& out, platform::Error* err) {
        if (!compressor->streamReady()) {
            if (auto setupError = compressor->setupStream()) {
                platform::setError(err, *setupError);
                return false;
            }
        }
        // The stream is always finished at the end of the file, whatever its
        // size, so the receiver finds a complete gzip member.
        std::optional<platform::Bytes> result = isLast
            ? compressor->finishStream(err)
            : compressor->compressBytes(piece.data(), piece.size(), err, false);
        if (!result)
            return false;
        out = std::move(*result);
        if (isLast) {
            if (auto closeError = compressor->closeStream()) {
                platform::setError(err, *closeError);
                return false;
            }
        }
        return true;
    };
    return http_detail::runCodecFromFileToFile(sourcePath, destinationPath, steps, error);
}

platform::Error DataCompressor::deflateErrorWithCode(int code)
{
    return makeHTTPRequestError(CompressionError, platform::format("Compression of data failed with code %i", code));
}

} // namespace foundation
