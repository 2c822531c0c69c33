#include "foundation/voice/WavAmrFile.h"

#include "tests/foundation/voice/VoiceTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

using namespace foundation;

namespace {

using voicetest::Bytes;
using voicetest::readFile;
using voicetest::run;
using voicetest::writeFile;

class WavAmrFileTest : public voicetest::TempFolderTest {
protected:
    // Encodes and decodes a hand-made WAV file and measures the tone that comes back.
    voicetest::ToneEstimate roundTrip(const Bytes& wav, int channels, int bits, std::size_t* frames)
    {
        writeFile(path("made.wav"), wav);
        *frames = wavToAmrFile(path("made.wav").c_str(), path("made.amr").c_str(), channels, bits);
        if (!*frames)
            return {};
        if (amrToWavFile(path("made.amr").c_str(), path("back.wav").c_str()) != *frames)
            return {};
        return voicetest::estimateTone(voicetest::wavSamples(readFile(path("back.wav"))));
    }
};

Bytes amrFrames(const Bytes& amrFile) { return Bytes(amrFile.begin() + 6, amrFile.end()); }

TEST_F(WavAmrFileTest, FormatChunksOfOtherSizesAndExtraChunksAreWalkedBySize)
{
    const Bytes samples = voicetest::sineSamples(440, 8000, 8000);
    for (std::size_t formatSize : { 16u, 18u, 40u }) {
        Bytes chunks;
        voicetest::appendChunk(chunks, "fmt ", voicetest::formatBody(formatSize, 1, 16));
        // An odd-sized chunk with its pad byte, then a fact chunk, before the samples.
        voicetest::appendChunk(chunks, "LIST", Bytes(27, 'i'));
        voicetest::appendChunk(chunks, "fact", Bytes { 0x40, 0x1F, 0, 0 });
        voicetest::appendChunk(chunks, "data", samples);
        std::size_t frames = 0;
        const auto tone = roundTrip(voicetest::riffWave(chunks), 1, 16, &frames);
        EXPECT_EQ(frames, 50u) << formatSize;
        EXPECT_NEAR(tone.hertz, 440, 8) << formatSize;
        EXPECT_NEAR(tone.rms, 8000 / std::sqrt(2.0), 1500) << formatSize;
    }
}

TEST_F(WavAmrFileTest, ChunksAfterTheSamplesAreNotEncodedAsSound)
{
    Bytes chunks;
    voicetest::appendChunk(chunks, "fmt ", voicetest::formatBody(16, 1, 16));
    voicetest::appendChunk(chunks, "data", voicetest::sineSamples(440, 8000, 160 * 5));
    voicetest::appendChunk(chunks, "LIST", Bytes(1000, 'x'));
    writeFile(path("tail.wav"), voicetest::riffWave(chunks));
    EXPECT_EQ(wavToAmrFile(path("tail.wav").c_str(), path("tail.amr").c_str(), 1, 16), 5u);
    EXPECT_EQ(readFile(path("tail.amr")).size(), 6u + 5u * 32u);
}

TEST_F(WavAmrFileTest, WavWithoutDataChunkGivesNoFrames)
{
    Bytes chunks;
    voicetest::appendChunk(chunks, "fmt ", voicetest::formatBody(16, 1, 16));
    voicetest::appendChunk(chunks, "LIST", Bytes(64, 'x'));
    writeFile(path("nodata.wav"), voicetest::riffWave(chunks));
    EXPECT_EQ(wavToAmrFile(path("nodata.wav").c_str(), path("nodata.amr").c_str(), 1, 16), 0u);
    EXPECT_FALSE(std::filesystem::exists(path("nodata.amr"))) << "nothing converted, nothing written";

    // A chunk whose size points far past the end of the file ends the walk too.
    Bytes huge;
    voicetest::appendChunk(huge, "fmt ", voicetest::formatBody(16, 1, 16));
    voicetest::appendText(huge, "junk");
    voicetest::append32(huge, 0xFFFFFFF0u);
    writeFile(path("huge.wav"), voicetest::riffWave(huge));
    EXPECT_EQ(wavToAmrFile(path("huge.wav").c_str(), path("huge.amr").c_str(), 1, 16), 0u);

    // Not a RIFF/WAVE file at all.
    writeFile(path("text.wav"), Bytes(2000, 'a'));
    EXPECT_EQ(wavToAmrFile(path("text.wav").c_str(), path("text.amr").c_str(), 1, 16), 0u);
}

// A format chunk body as written, whatever it says.
Bytes formatChunk(int tag, int channels, std::uint32_t rate, int bits, int subTag = 0)
{
    Bytes body;
    voicetest::append16(body, static_cast<std::uint16_t>(tag));
    voicetest::append16(body, static_cast<std::uint16_t>(channels));
    voicetest::append32(body, rate);
    voicetest::append32(body, rate * static_cast<std::uint32_t>(channels * bits / 8));
    voicetest::append16(body, static_cast<std::uint16_t>(channels * bits / 8));
    voicetest::append16(body, static_cast<std::uint16_t>(bits));
    if (tag == 0xFFFE) {
        voicetest::append16(body, 22);
        voicetest::append16(body, static_cast<std::uint16_t>(bits));
        voicetest::append32(body, channels == 1 ? 4 : 3); // speaker mask
        voicetest::append16(body, static_cast<std::uint16_t>(subTag));
        const unsigned char guidTail[14] = { 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71 };
        body.insert(body.end(), guidTail, guidTail + 14);
    }
    Bytes chunks;
    voicetest::appendChunk(chunks, "fmt ", body);
    return chunks;
}

TEST_F(WavAmrFileTest, AWavNotInTheFormatAskedForIsRefused)
{
    // A second of samples, enough for 50 mono 16-bit frames at 8000 Hz.
    const Bytes samples = voicetest::sineSamples(440, 8000, 8000);
    struct Case {
        const char* what;
        Bytes format;
        int channels;
        int bits;
    };
    const std::vector<Case> refused = {
        { "44.1 kHz", formatChunk(1, 1, 44100, 16), 1, 16 },
        { "16 kHz", formatChunk(1, 1, 16000, 16), 1, 16 },
        { "stereo read as mono", formatChunk(1, 2, 8000, 16), 1, 16 },
        { "mono read as stereo", formatChunk(1, 1, 8000, 16), 2, 16 },
        { "32-bit float", formatChunk(3, 1, 8000, 32), 1, 16 },
        { "float said to be 16-bit", formatChunk(3, 1, 8000, 16), 1, 16 },
        { "8-bit read as 16-bit", formatChunk(1, 1, 8000, 8), 1, 16 },
        { "16-bit read as 8-bit", formatChunk(1, 1, 8000, 16), 1, 8 },
        { "24-bit", formatChunk(1, 1, 8000, 24), 1, 16 },
        { "A-law", formatChunk(6, 1, 8000, 8), 1, 8 },
        { "extensible float", formatChunk(0xFFFE, 1, 8000, 32, 3), 1, 16 },
        { "no format chunk", Bytes {}, 1, 16 },
    };
    const Bytes earlier { '#', '!', 'A', 'M', 'R', '\n', 0x3C, 1, 2, 3 };
    writeFile(path("odd.amr"), earlier);
    for (const auto& c : refused) {
        Bytes chunks = c.format;
        voicetest::appendChunk(chunks, "data", samples);
        writeFile(path("odd.wav"), voicetest::riffWave(chunks));
        EXPECT_EQ(wavToAmrFile(path("odd.wav").c_str(), path("odd.amr").c_str(), c.channels, c.bits), 0u) << c.what;
        EXPECT_EQ(readFile(path("odd.amr")), earlier) << c.what << ": the file already there is left alone";
    }

    // What the reader does handle still converts, the extensible form of it too.
    const std::vector<Case> accepted = {
        { "mono 16-bit", formatChunk(1, 1, 8000, 16), 1, 16 },
        { "extensible mono 16-bit", formatChunk(0xFFFE, 1, 8000, 16, 1), 1, 16 },
        { "stereo 16-bit", formatChunk(1, 2, 8000, 16), 2, 16 },
        { "mono 8-bit", formatChunk(1, 1, 8000, 8), 1, 8 },
    };
    for (const auto& c : accepted) {
        Bytes chunks = c.format;
        voicetest::appendChunk(chunks, "data", samples);
        writeFile(path("ok.wav"), voicetest::riffWave(chunks));
        const std::size_t expected = 16000u / static_cast<std::size_t>(c.channels * c.bits / 8) / 160u;
        EXPECT_EQ(wavToAmrFile(path("ok.wav").c_str(), path("ok.amr").c_str(), c.channels, c.bits), expected)
            << c.what;
    }
}

TEST_F(WavAmrFileTest, TruncatedWavKeepsOnlyWholeFrames)
{
    Bytes chunks;
    voicetest::appendChunk(chunks, "fmt ", voicetest::formatBody(16, 2, 16));
    // The data chunk promises ten stereo frames; the file ends three and a
    // half frames into them.
    voicetest::appendText(chunks, "data");
    voicetest::append32(chunks, 640 * 10);
    chunks.insert(chunks.end(), 640 * 3 + 320, 0);
    writeFile(path("cut.wav"), voicetest::riffWave(chunks));
    EXPECT_EQ(wavToAmrFile(path("cut.wav").c_str(), path("cut.amr").c_str(), 2, 16), 3u);
    EXPECT_EQ(readFile(path("cut.amr")).size(), 6u + 3u * 32u);
}

TEST_F(WavAmrFileTest, OurOwnHeaderReadsBack)
{
    std::FILE* file = std::fopen(path("own.wav").c_str(), "w+b");
    ASSERT_NE(file, nullptr);
    ASSERT_TRUE(wavWriteHeader(file, 7));
    const Bytes samples = voicetest::sineSamples(300, 5000, 160 * 7);
    ASSERT_EQ(std::fwrite(samples.data(), 1, samples.size(), file), samples.size());
    std::rewind(file);
    std::uint32_t dataSize = 0;
    ASSERT_TRUE(wavReadHeader(file, &dataSize));
    EXPECT_EQ(dataSize, 320u * 7);
    EXPECT_EQ(std::ftell(file), 48);
    std::int16_t frame[kPcmFrameSamples];
    int frames = 0;
    for (int i = 0; i < 10 && wavReadFrame(frame, file, 1, 16, &dataSize); ++i)
        ++frames;
    EXPECT_EQ(frames, 7);
    EXPECT_EQ(dataSize, 0u);
    std::fclose(file);
}

TEST_F(WavAmrFileTest, FrameReaderMixesChannelsAndCentersEightBitSamples)
{
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    Bytes stereo16;
    for (int i = 0; i < kPcmFrameSamples; ++i) {
        voicetest::append16(stereo16, static_cast<std::uint16_t>(-3)); // left
        voicetest::append16(stereo16, static_cast<std::uint16_t>(i)); // right
    }
    Bytes stereo8;
    for (int i = 0; i < kPcmFrameSamples; ++i) {
        stereo8.push_back(static_cast<unsigned char>(i)); // left, unsigned
        stereo8.push_back(255); // right, dropped
    }
    Bytes all = stereo16;
    all.insert(all.end(), stereo8.begin(), stereo8.end());
    all.insert(all.end(), { 1, 2, 3 }); // not a whole frame
    ASSERT_EQ(std::fwrite(all.data(), 1, all.size(), file), all.size());
    std::rewind(file);

    std::int16_t frame[kPcmFrameSamples];
    ASSERT_EQ(wavReadFrame(frame, file, 2, 16), 320);
    EXPECT_EQ(frame[0], -2); // (-3 + 0) / 2 rounded toward minus infinity
    EXPECT_EQ(frame[3], 0);
    EXPECT_EQ(frame[100], 48);
    ASSERT_EQ(wavReadFrame(frame, file, 2, 8), 320);
    EXPECT_EQ(frame[0], -128 * 256);
    EXPECT_EQ(frame[128], 0);
    EXPECT_EQ(frame[159], 31 * 256);
    EXPECT_EQ(wavReadFrame(frame, file, 1, 8), 0);
    EXPECT_EQ(wavReadFrame(frame, file, 3, 16), 0);
    std::fclose(file);
}

TEST_F(WavAmrFileTest, MixedModeFileWithComfortNoiseAndNoDataFramesDecodesFrameByFrame)
{
    const std::string wav = path("tone.wav");
    ASSERT_EQ(run("sox -n -r 8000 -b 16 -c 1 '" + wav + "' synth 1 sine 440"), 0);
    ASSERT_EQ(run("sox '" + wav + "' -t amr-nb -C 0 '" + path("m0.amr") + "'"), 0);
    ASSERT_EQ(run("sox '" + wav + "' -t amr-nb -C 7 '" + path("m7.amr") + "'"), 0);
    const Bytes mode0 = amrFrames(readFile(path("m0.amr")));
    const Bytes mode7 = amrFrames(readFile(path("m7.amr")));
    ASSERT_EQ(mode0.size() % 13, 0u);
    ASSERT_EQ(mode7.size() % 32, 0u);
    const std::size_t frames0 = mode0.size() / 13;
    const std::size_t frames7 = mode7.size() / 32;

    // The first half of the mode-0 frames, a no-data frame, the second half
    // of the mode-7 frames: the tone must run through the whole file.
    Bytes mixed = { '#', '!', 'A', 'M', 'R', '\n' };
    mixed.insert(mixed.end(), mode0.begin(), mode0.begin() + 13 * (frames0 / 2));
    mixed.push_back(0x7C); // frame type 15: no data, one byte
    mixed.insert(mixed.end(), mode7.begin() + 32 * (frames7 / 2), mode7.end());
    writeFile(path("mixed.amr"), mixed);
    const std::size_t expected = frames0 / 2 + 1 + (frames7 - frames7 / 2);
    ASSERT_EQ(amrToWavFile(path("mixed.amr").c_str(), path("mixed.wav").c_str()), expected);
    const auto samples = voicetest::wavSamples(readFile(path("mixed.wav")));
    ASSERT_EQ(samples.size(), expected * 160);
    const std::vector<std::int16_t> secondHalf(samples.begin() + samples.size() / 2 + 800, samples.end());
    EXPECT_NEAR(voicetest::estimateTone(secondHalf, 0).hertz, 440, 10);
    const std::vector<std::int16_t> firstHalf(samples.begin(), samples.begin() + samples.size() / 2 - 400);
    EXPECT_NEAR(voicetest::estimateTone(firstHalf).hertz, 440, 10);

    // A comfort-noise frame (type 8, six bytes) between speech frames.
    Bytes withSid = { '#', '!', 'A', 'M', 'R', '\n' };
    withSid.insert(withSid.end(), mode7.begin(), mode7.begin() + 32 * 3);
    withSid.insert(withSid.end(), { 0x44, 0x12, 0x34, 0x56, 0x78, 0x90 });
    withSid.insert(withSid.end(), mode7.begin(), mode7.begin() + 32 * 2);
    writeFile(path("sid.amr"), withSid);
    EXPECT_EQ(amrToWavFile(path("sid.amr").c_str(), path("sid.wav").c_str()), 6u);
}

TEST_F(WavAmrFileTest, InvalidFrameTypeOrTruncatedFrameEndsTheFile)
{
    ASSERT_EQ(run("sox -n -r 8000 -b 16 -c 1 '" + path("t.wav") + "' synth 0.2 sine 440"), 0);
    ASSERT_EQ(wavToAmrFile(path("t.wav").c_str(), path("t.amr").c_str(), 1, 16), 10u);
    const Bytes good = readFile(path("t.amr"));

    // Frame type 9 cannot occur in an AMR-NB file: decoding stops there.
    Bytes invalid(good.begin(), good.begin() + 6 + 32 * 4);
    invalid.push_back(9 << 3);
    invalid.insert(invalid.end(), good.begin() + 6, good.end());
    writeFile(path("invalid.amr"), invalid);
    EXPECT_EQ(amrToWavFile(path("invalid.amr").c_str(), path("invalid.wav").c_str()), 4u);
    EXPECT_EQ(readFile(path("invalid.wav")).size(), 48u + 4u * 320u);

    // A first header byte of type 14 gives nothing at all.
    writeFile(path("first.amr"), { '#', '!', 'A', 'M', 'R', '\n', 14 << 3, 0, 0, 0 });
    EXPECT_EQ(amrToWavFile(path("first.amr").c_str(), path("first.wav").c_str()), 0u);

    // The last frame cut short is dropped.
    Bytes cut(good.begin(), good.end() - 5);
    writeFile(path("cut.amr"), cut);
    EXPECT_EQ(amrToWavFile(path("cut.amr").c_str(), path("cut.wav").c_str()), 9u);

    // A clip longer than a voice message ends a second past the longest
    // one, whatever its frames: a megabyte of one-byte frames ("no data")
    // would be hours of samples. Files of a longer clip are read as asked.
    Bytes endless = { '#', '!', 'A', 'M', 'R', '\n' };
    endless.resize(endless.size() + (std::size_t { 1 } << 20), 15 << 3 | 4);
    writeFile(path("endless.amr"), endless);
    EXPECT_EQ(amrToWavFile(path("endless.amr").c_str(), path("endless.wav").c_str()), kLongestClipFrames);
    EXPECT_EQ(std::filesystem::file_size(path("endless.wav")), 48u + kLongestClipFrames * 320u);
    EXPECT_EQ(amrToWavFile(path("endless.amr").c_str(), path("endless.wav").c_str(), 60000), 60000u);

    unsigned char frame[kAmrMaxFrameBytes];
    int size = 0;
    unsigned char header = 0;
    std::FILE* file = std::fopen(path("t.amr").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    ASSERT_EQ(std::fseek(file, 6, SEEK_SET), 0);
    ASSERT_NE(amrReadFirstFrame(file, frame, &size, &header), 0);
    EXPECT_EQ(size, 32);
    EXPECT_EQ(header, 0x3C);
    int more = 0;
    for (int i = 0; i < 20 && amrReadFrame(file, frame, &size, &header); ++i)
        ++more;
    EXPECT_EQ(more, 9);
    std::fclose(file);
}

// A conversion replaces its destination only when it succeeds: a refused
// input, one without samples or a failed one leaves an existing file as it
// was, and no half-written file of its own behind.
TEST_F(WavAmrFileTest, AConversionThatFailsLeavesTheDestinationAsItWas)
{
    const Bytes keptAmr { '#', '!', 'A', 'M', 'R', '\n', 0x3C, 9, 8, 7 };
    const Bytes keptWav { 'R', 'I', 'F', 'F', 1, 2, 3, 4 };
    auto filesThere = [this] {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    };

    // A WAV of another rate, a WAV without a data chunk, one whose data holds
    // less than a frame, and a text file: the clip already there stays.
    Bytes cd = formatChunk(1, 1, 44100, 16);
    voicetest::appendChunk(cd, "data", voicetest::sineSamples(440, 8000, 8000));
    Bytes noData = formatChunk(1, 1, 8000, 16);
    Bytes short_ = formatChunk(1, 1, 8000, 16);
    voicetest::appendChunk(short_, "data", voicetest::sineSamples(440, 8000, 100));
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, Bytes>> { { "cd.wav", voicetest::riffWave(cd) },
             { "nodata.wav", voicetest::riffWave(noData) }, { "short.wav", voicetest::riffWave(short_) },
             { "text.wav", Bytes(300, 'a') } }) {
        writeFile(path("clip.amr"), keptAmr);
        writeFile(path(name), bytes);
        EXPECT_EQ(wavToAmrFile(path(name).c_str(), path("clip.amr").c_str(), 1, 16), 0u) << name;
        EXPECT_EQ(readFile(path("clip.amr")), keptAmr) << name;
    }

    // A sound one replaces it.
    Bytes good = formatChunk(1, 1, 8000, 16);
    voicetest::appendChunk(good, "data", voicetest::sineSamples(440, 8000, 160 * 4));
    writeFile(path("good.wav"), voicetest::riffWave(good));
    ASSERT_EQ(wavToAmrFile(path("good.wav").c_str(), path("clip.amr").c_str(), 1, 16), 4u);
    EXPECT_EQ(readFile(path("clip.amr")).size(), 6u + 4u * 32u);

    // The same the other way: an AMR file with its magic and no whole frame
    // leaves the WAV already there; a sound one replaces it.
    writeFile(path("clip.wav"), keptWav);
    writeFile(path("magic.amr"), { '#', '!', 'A', 'M', 'R', '\n', 0x3C, 1 });
    EXPECT_EQ(amrToWavFile(path("magic.amr").c_str(), path("clip.wav").c_str()), 0u);
    EXPECT_EQ(readFile(path("clip.wav")), keptWav);
    ASSERT_EQ(amrToWavFile(path("clip.amr").c_str(), path("clip.wav").c_str()), 4u);
    Bytes decoded = readFile(path("clip.wav"));
    ASSERT_EQ(decoded.size(), 48u + 4u * 320u);
    std::FILE* file = std::fopen(path("clip.wav").c_str(), "rb");
    ASSERT_NE(file, nullptr);
    std::uint32_t dataSize = 0;
    EXPECT_TRUE(wavReadHeader(file, &dataSize));
    std::fclose(file);
    EXPECT_EQ(dataSize, 4u * 320u) << "the header tells the length written";

    EXPECT_EQ(filesThere(),
        (std::vector<std::string> {
            "cd.wav", "clip.amr", "clip.wav", "good.wav", "magic.amr", "nodata.wav", "short.wav", "text.wav" }));
}

} // namespace
