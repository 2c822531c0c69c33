#include "foundation/http/DataCompressor.h"
#include "foundation/http/DataDecompressor.h"
#include "foundation/http/HTTPRequestError.h"
#include "tests/foundation/http/TestUtil.h"

#include <gtest/gtest.h>

using foundation::CompressionError;
using foundation::DataCompressor;
using foundation::DataDecompressor;
using foundation::HTTPRequestErrorDomain;

using namespace http_test;
using platform::Bytes;
using platform::Error;

namespace {

Bytes gzipWithTool(const TempDir& dir, const Bytes& plain)
{
    writeFile(dir.file("plain"), plain);
    runCommand("gzip -c '" + dir.file("plain") + "' > '" + dir.file("plain.gz") + "'");
    return readFile(dir.file("plain.gz"));
}

Bytes inflateInPieces(const Bytes& compressed, std::size_t pieceSize, Error* error, bool* ended)
{
    DataDecompressor decompressor;
    EXPECT_FALSE(decompressor.setupStream());
    Bytes out;
    for (std::size_t at = 0; at < compressed.size(); at += pieceSize) {
        std::size_t n = std::min(pieceSize, compressed.size() - at);
        auto piece = decompressor.uncompressBytes(compressed.data() + at, n, error);
        if (!piece)
            return out;
        out.insert(out.end(), piece->begin(), piece->end());
    }
    *ended = decompressor.streamEnded();
    return out;
}

} // namespace

TEST(DataCompressor, OutputIsReadByGzipAndPythonZlib)
{
    TempDir dir;
    for (std::size_t size : { std::size_t(1), std::size_t(300), std::size_t(700000) }) {
        Bytes plain = sampleBytes(size, static_cast<unsigned>(size));
        Error error;
        auto gz = DataCompressor::compressData(plain, &error);
        ASSERT_TRUE(gz) << error.description();
        writeFile(dir.file("body.gz"), *gz);
        int status = 0;
        std::string inflated = runCommand("gzip -dc '" + dir.file("body.gz") + "'", &status);
        EXPECT_EQ(status, 0);
        EXPECT_EQ(inflated, toString(plain)) << "size " << size;
    }
    EXPECT_FALSE(DataCompressor::compressData({}, nullptr));
}

TEST(DataDecompressor, InflatesGzipAndZlibBodiesWhole)
{
    TempDir dir;
    Bytes plain = sampleBytes(123457);
    Error error;
    auto fromGzip = DataDecompressor::uncompressData(gzipWithTool(dir, plain), &error);
    ASSERT_TRUE(fromGzip) << error.description();
    EXPECT_EQ(*fromGzip, plain);

    // A zlib-wrapped body (the header some servers send for "deflate").
    writeFile(dir.file("plain"), plain);
    runCommand("python3 -c \"import sys,zlib;sys.stdout.buffer.write(zlib.compress(open('" + dir.file("plain")
        + "','rb').read()))\" > '" + dir.file("plain.z") + "'");
    auto fromZlib = DataDecompressor::uncompressData(readFile(dir.file("plain.z")), &error);
    ASSERT_TRUE(fromZlib) << error.description();
    EXPECT_EQ(*fromZlib, plain);

    Error untouched;
    EXPECT_FALSE(DataDecompressor::uncompressData({}, &untouched));
    EXPECT_EQ(untouched.code(), 0);
}

TEST(DataDecompressor, PiecesOfAnySizeGiveEveryByte)
{
    TempDir dir;
    // Highly compressible input makes each piece inflate to far more than the
    // output buffer's first size, so pending output must be drained.
    Bytes zeros(3 * 1024 * 1024, 0);
    Bytes text = sampleBytes(200000, 3);
    for (const Bytes* plain : { &zeros, &text }) {
        Bytes gz = gzipWithTool(dir, *plain);
        for (std::size_t pieceSize : { std::size_t(1), std::size_t(7), std::size_t(4096), gz.size() }) {
            Error error;
            bool ended = false;
            Bytes out = inflateInPieces(gz, pieceSize, &error, &ended);
            EXPECT_EQ(error.code(), 0);
            EXPECT_TRUE(ended) << "piece size " << pieceSize;
            EXPECT_EQ(out.size(), plain->size()) << "piece size " << pieceSize;
            EXPECT_TRUE(out == *plain) << "piece size " << pieceSize;
        }
    }
}

TEST(DataDecompressor, CorruptAndTruncatedBodiesAreErrors)
{
    TempDir dir;
    Bytes plain = sampleBytes(50000);
    Bytes gz = gzipWithTool(dir, plain);

    Bytes corrupt = gz;
    for (std::size_t i = 20; i < 60; ++i)
        corrupt[i] ^= 0x5a;
    Error error;
    EXPECT_FALSE(DataDecompressor::uncompressData(corrupt, &error));
    EXPECT_EQ(error.domain(), HTTPRequestErrorDomain);
    EXPECT_EQ(error.code(), CompressionError);
    EXPECT_EQ(error.localizedDescription(), "Decompression of data failed with code -3");

    // Cut before the trailer: every byte inflates, yet the body is incomplete.
    Bytes truncated(gz.begin(), gz.end() - 6);
    Error truncatedError;
    EXPECT_FALSE(DataDecompressor::uncompressData(truncated, &truncatedError));
    EXPECT_EQ(truncatedError.code(), CompressionError);
    EXPECT_EQ(truncatedError.localizedDescription(), "Decompression of data failed with code -5");

    bool ended = true;
    Error pieceError;
    inflateInPieces(truncated, 1000, &pieceError, &ended);
    EXPECT_FALSE(ended);
}

TEST(DataCompressor, FileBodiesAlwaysEndTheirStream)
{
    TempDir dir;
    // Sizes on the piece boundary, and an empty file, still get a trailer.
    for (std::size_t size : { std::size_t(0), std::size_t(262144), std::size_t(2 * 262144), std::size_t(300001) }) {
        Bytes plain = sampleBytes(size, 11);
        writeFile(dir.file("source"), plain);
        Error error;
        ASSERT_TRUE(DataCompressor::compressDataFromFile(dir.file("source"), dir.file("dest.gz"), &error))
            << error.description();
        int status = 0;
        runCommand("gzip -t '" + dir.file("dest.gz") + "' 2>&1", &status);
        EXPECT_EQ(status, 0) << "size " << size;
        EXPECT_EQ(runCommand("gzip -dc '" + dir.file("dest.gz") + "'"), toString(plain)) << "size " << size;

        Error backError;
        ASSERT_TRUE(DataDecompressor::uncompressDataFromFile(dir.file("dest.gz"), dir.file("back"), &backError))
            << backError.description();
        EXPECT_TRUE(readFile(dir.file("back")) == plain);
    }
}

TEST(DataCodecs, FileFailuresLeaveTheDestinationAlone)
{
    TempDir dir;
    Error error;
    EXPECT_FALSE(DataCompressor::compressDataFromFile(dir.file("missing"), dir.file("out.gz"), &error));
    EXPECT_EQ(error.code(), CompressionError);
    EXPECT_EQ(
        error.localizedDescription(), "Compression of " + dir.file("missing") + " failed the file does not exist");
    EXPECT_FALSE(fileExists(dir.file("out.gz")));

    // A truncated download must not replace a good file already in place.
    Bytes plain = sampleBytes(400000);
    Bytes gz = gzipWithTool(dir, plain);
    writeFile(dir.file("partial.gz"), Bytes(gz.begin(), gz.begin() + static_cast<long>(gz.size() / 2)));
    writeFile(dir.file("voice.amr"), toBytes("previous complete file"));
    Error inflateError;
    EXPECT_FALSE(
        DataDecompressor::uncompressDataFromFile(dir.file("partial.gz"), dir.file("voice.amr"), &inflateError));
    EXPECT_EQ(inflateError.code(), CompressionError);
    EXPECT_EQ(toString(readFile(dir.file("voice.amr"))), "previous complete file");
    EXPECT_EQ(runCommand("ls '" + dir.path() + "' | grep -c 'amr.part'"), "0\n");

    Error readError;
    EXPECT_FALSE(DataDecompressor::uncompressDataFromFile(dir.path(), dir.file("x"), &readError));
    EXPECT_EQ(readError.localizedDescription(), "Decompression of " + dir.path() + " failed the file does not exist");
}

TEST(DataDecompressor, InflatesOntoTheEndOfABufferAtEveryPieceBoundary)
{
    TempDir dir;
    // A body that inflates to many times any room made for it ahead: a run
    // of zeros between two stretches of text.
    Bytes plain = sampleBytes(3000, 5);
    plain.resize(plain.size() + 100000, 0);
    Bytes tail = sampleBytes(800, 6);
    plain.insert(plain.end(), tail.begin(), tail.end());
    Bytes gz = gzipWithTool(dir, plain);
    // A second member after the first is not part of the body.
    Bytes stream = gz;
    Bytes second = gzipWithTool(dir, toBytes("another member"));
    stream.insert(stream.end(), second.begin(), second.end());

    const Bytes prefix = toBytes("kept ahead");
    for (std::size_t cut = 0; cut <= stream.size(); ++cut) {
        DataDecompressor decompressor;
        ASSERT_FALSE(decompressor.setupStream());
        Bytes out = prefix;
        out.reserve(64);
        Error error;
        ASSERT_TRUE(decompressor.uncompressBytesAppending(stream.data(), cut, out, &error)) << "cut " << cut;
        ASSERT_TRUE(decompressor.uncompressBytesAppending(stream.data() + cut, stream.size() - cut, out, &error))
            << "cut " << cut;
        EXPECT_EQ(error.code(), 0);
        ASSERT_TRUE(decompressor.streamEnded()) << "cut " << cut;
        ASSERT_EQ(out.size(), prefix.size() + plain.size()) << "cut " << cut;
        ASSERT_TRUE(std::equal(prefix.begin(), prefix.end(), out.begin())) << "cut " << cut;
        ASSERT_TRUE(std::equal(plain.begin(), plain.end(), out.begin() + static_cast<long>(prefix.size())))
            << "cut " << cut;
    }
}

TEST(DataDecompressor, AFailedPieceLeavesTheBufferAsItWas)
{
    TempDir dir;
    Bytes plain = sampleBytes(60000, 9);
    Bytes gz = gzipWithTool(dir, plain);
    Bytes corrupt = gz;
    for (std::size_t i = gz.size() / 2; i < gz.size() / 2 + 40; ++i)
        corrupt[i] ^= 0x5a;

    DataDecompressor decompressor;
    ASSERT_FALSE(decompressor.setupStream());
    Bytes out;
    Error error;
    const std::size_t half = gz.size() / 2;
    ASSERT_TRUE(decompressor.uncompressBytesAppending(corrupt.data(), half, out, &error));
    const Bytes before = out;
    ASSERT_GT(before.size(), 0u);
    EXPECT_TRUE(std::equal(before.begin(), before.end(), plain.begin()));
    EXPECT_FALSE(decompressor.uncompressBytesAppending(corrupt.data() + half, corrupt.size() - half, out, &error));
    EXPECT_EQ(error.code(), CompressionError);
    EXPECT_TRUE(out == before);

    // A stream that was never set up is refused, and the buffer is untouched.
    DataDecompressor unready;
    Bytes untouched = toBytes("as it was");
    Error unreadyError;
    EXPECT_FALSE(unready.uncompressBytesAppending(gz.data(), gz.size(), untouched, &unreadyError));
    EXPECT_EQ(unreadyError.code(), CompressionError);
    EXPECT_EQ(toString(untouched), "as it was");
}

TEST(DataDecompressor, InflatesAPieceInBoundedStepsThatTogetherGiveTheWholeBody)
{
    TempDir dir;
    // Zeros between two stretches of text: each step ends inside the zeros,
    // and a second member follows that is not part of the body.
    Bytes plain = sampleBytes(3000, 15);
    plain.resize(plain.size() + 3 * 1024 * 1024, 0);
    Bytes tail = sampleBytes(900, 16);
    plain.insert(plain.end(), tail.begin(), tail.end());
    Bytes stream = gzipWithTool(dir, plain);
    Bytes second = gzipWithTool(dir, toBytes("another member"));
    stream.insert(stream.end(), second.begin(), second.end());

    struct Case {
        std::size_t step;
        std::size_t limit;
        bool tooLarge;
    };
    const Case cases[] = {
        { 4096, SIZE_MAX, false },
        { 65536, SIZE_MAX, false },
        { 1024 * 1024, SIZE_MAX, false },
        { SIZE_MAX, SIZE_MAX, false },
        { 65536, plain.size(), false },
        { 65536, SIZE_MAX / 2, false },
        { 65536, plain.size() - 1, true },
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("step " + std::to_string(c.step) + " limit " + std::to_string(c.limit));
        DataDecompressor decompressor;
        ASSERT_FALSE(decompressor.setupStream());
        Bytes out;
        Error error;
        std::size_t offset = 0;
        int steps = 0;
        bool failed = false;
        while (offset < stream.size()) {
            const std::size_t before = out.size();
            std::size_t used = 0;
            const std::size_t left = c.limit == SIZE_MAX ? SIZE_MAX : c.limit - std::min(c.limit, out.size());
            if (!decompressor.uncompressStep(
                    stream.data() + offset, stream.size() - offset, &used, out, &error, left, c.step)) {
                failed = true;
                EXPECT_EQ(out.size(), before);
                break;
            }
            ++steps;
            // A step stops soon after its bound, and always moves on.
            if (c.step != SIZE_MAX) {
                EXPECT_LE(out.size() - before, c.step + 256 * 1024);
            }
            ASSERT_TRUE(used > 0 || out.size() > before);
            offset += used;
        }
        if (c.tooLarge) {
            EXPECT_TRUE(failed);
            EXPECT_TRUE(foundation::isTooLargeError(error)) << error.description();
            continue;
        }
        ASSERT_FALSE(failed) << error.description();
        EXPECT_TRUE(decompressor.streamEnded());
        EXPECT_TRUE(out == plain);
        if (c.step <= 1024 * 1024)
            EXPECT_GE(steps, int(plain.size() / (c.step + 256 * 1024)));
        else
            EXPECT_EQ(steps, 1);
    }
    // Inflated whole, the body says "too large" by its error, and a broken
    // one does not.
    Error tooLarge;
    EXPECT_FALSE(DataDecompressor::uncompressData(stream, &tooLarge, plain.size() - 1));
    EXPECT_TRUE(foundation::isTooLargeError(tooLarge));
    Bytes broken(stream.begin(), stream.begin() + static_cast<long>(stream.size() / 3));
    Error cut;
    EXPECT_FALSE(DataDecompressor::uncompressData(broken, &cut, plain.size()));
    EXPECT_EQ(cut.code(), CompressionError);
    EXPECT_FALSE(foundation::isTooLargeError(cut));
}
