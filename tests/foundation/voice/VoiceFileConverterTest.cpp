#include "foundation/voice/VoiceFileConverter.h"

#include "tests/foundation/voice/VoiceTestSupport.h"

#include <gtest/gtest.h>

using namespace foundation;

namespace {

using voicetest::readFile;
using voicetest::run;

class VoiceFileConverterTest : public voicetest::TempFolderTest { };

std::string quoted(const std::string& path) { return testsupport::shellQuoted(path); }

std::string soxiField(const std::string& flag, const std::string& file)
{
    std::string out = testsupport::runCommand("soxi " + flag + " " + quoted(file) + " 2>/dev/null").output;
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

TEST_F(VoiceFileConverterTest, RecordedStereoWavBecomesMode7FramesOf32Bytes)
{
    // The recorder's own format: 8000 Hz, 2 channels, 16 bits.
    const std::string wav = path("00001.wav");
    const std::string amr = path("00001.amr");
    ASSERT_EQ(run("sox -n -r 8000 -c 2 -b 16 -e signed-integer " + quoted(wav) + " synth 1 sine 440"), 0);
    EXPECT_EQ(VoiceFileConverter::wavToAmr(wav, amr, 2, 16), 0);
    const auto bytes = readFile(amr);
    ASSERT_EQ(bytes.size(), 6u + 32u * 50u);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "#!AMR\n");
    for (std::size_t frame = 0; frame < 50; ++frame)
        EXPECT_EQ(bytes[6 + frame * 32], 0x3C) << frame;
}

TEST_F(VoiceFileConverterTest, PartialLastFrameIsDropped)
{
    const std::string wav = path("short.wav");
    const std::string amr = path("short.amr");
    // 7,990 samples per channel: 49 whole frames and 150 samples left over.
    ASSERT_EQ(run("sox -n -r 8000 -c 2 -b 16 -e signed-integer " + quoted(wav) + " synth 0.99875 sine 300"), 0);
    EXPECT_EQ(VoiceFileConverter::wavToAmr(wav, amr, 2, 16), 0);
    EXPECT_EQ(readFile(amr).size(), 6u + 32u * 49u);
}

TEST_F(VoiceFileConverterTest, DecodedWavHasTheExactHeaderAndSoxiAcceptsIt)
{
    const std::string wav = path("in.wav");
    const std::string amr = path("in.amr");
    const std::string out = path("out.wav");
    ASSERT_EQ(run("sox -n -r 8000 -c 2 -b 16 -e signed-integer " + quoted(wav) + " synth 0.5 sine 440"), 0);
    ASSERT_EQ(VoiceFileConverter::wavToAmr(wav, amr, 2, 16), 0);
    ASSERT_TRUE(VoiceFileConverter::amrToWav(amr, out));

    const auto bytes = readFile(out);
    const std::uint32_t frames = 25;
    ASSERT_EQ(bytes.size(), 48u + 320u * frames);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(voicetest::le32(bytes, 4), 40u + 320u * frames);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(voicetest::le32(bytes, 16), 20u);
    EXPECT_EQ(voicetest::le16(bytes, 20), 1u);
    EXPECT_EQ(voicetest::le16(bytes, 22), 1u);
    EXPECT_EQ(voicetest::le32(bytes, 24), 8000u);
    EXPECT_EQ(voicetest::le32(bytes, 28), 16000u);
    EXPECT_EQ(voicetest::le16(bytes, 32), 2u);
    EXPECT_EQ(voicetest::le16(bytes, 34), 16u);
    EXPECT_EQ(voicetest::le32(bytes, 36), 0u);
    EXPECT_EQ(std::string(bytes.begin() + 40, bytes.begin() + 44), "data");
    EXPECT_EQ(voicetest::le32(bytes, 44), 320u * frames);

    EXPECT_EQ(soxiField("-t", out), "wav");
    EXPECT_EQ(soxiField("-r", out), "8000");
    EXPECT_EQ(soxiField("-c", out), "1");
    EXPECT_EQ(soxiField("-b", out), "16");
    EXPECT_EQ(soxiField("-s", out), std::to_string(160 * frames));
}

TEST_F(VoiceFileConverterTest, SoxDecodesOurAmrFiles)
{
    const std::string wav = path("in.wav");
    const std::string amr = path("ours.amr");
    const std::string decoded = path("by-sox.wav");
    ASSERT_EQ(run("sox -n -r 8000 -c 1 -b 16 " + quoted(wav) + " synth 1 sine 440"), 0);
    ASSERT_EQ(VoiceFileConverter::wavToAmr(wav, amr, 1, 16), 0);
    ASSERT_EQ(run("sox -t amr-nb " + quoted(amr) + " -b 16 " + quoted(decoded)), 0);
    EXPECT_EQ(soxiField("-s", decoded), "8000");
    const auto tone = voicetest::estimateTone(voicetest::wavSamples(readFile(decoded)));
    EXPECT_NEAR(tone.hertz, 440, 10);
}

TEST_F(VoiceFileConverterTest, WeDecodeSoxAmrFilesInModes0And7)
{
    const std::string wav = path("tone.wav");
    ASSERT_EQ(run("sox -n -r 8000 -b 16 -c 1 " + quoted(wav) + " synth 1 sine 440"), 0);
    const auto original = voicetest::estimateTone(voicetest::wavSamples(readFile(wav)));
    struct Mode {
        int mode;
        std::size_t frameBytes;
        unsigned char header;
    };
    for (const Mode& m : { Mode { 0, 13, 0x04 }, Mode { 7, 32, 0x3C } }) {
        const std::string amr = path("sox-" + std::to_string(m.mode) + ".amr");
        const std::string out = path("ours-" + std::to_string(m.mode) + ".wav");
        ASSERT_EQ(run("sox " + quoted(wav) + " -t amr-nb -C " + std::to_string(m.mode) + " " + quoted(amr)), 0);
        const auto amrBytes = readFile(amr);
        ASSERT_GT(amrBytes.size(), 6u);
        ASSERT_EQ((amrBytes.size() - 6) % m.frameBytes, 0u) << m.mode;
        ASSERT_EQ(amrBytes[6], m.header) << m.mode;
        const std::size_t frames = (amrBytes.size() - 6) / m.frameBytes;

        ASSERT_TRUE(VoiceFileConverter::amrToWav(amr, out)) << m.mode;
        const auto wavBytes = readFile(out);
        EXPECT_EQ(wavBytes.size(), 48u + 320u * frames) << m.mode;
        const auto tone = voicetest::estimateTone(voicetest::wavSamples(wavBytes));
        EXPECT_NEAR(tone.hertz, 440, 10) << m.mode;
        EXPECT_NEAR(tone.rms, original.rms, original.rms * 0.35) << m.mode;
    }
}

TEST_F(VoiceFileConverterTest, MonoToneSurvivesTheRoundTrip)
{
    const std::string wav = path("tone.wav");
    const std::string amr = path("tone.amr");
    const std::string out = path("back.wav");
    ASSERT_EQ(run("sox -n -r 8000 -b 16 -c 1 " + quoted(wav) + " synth 1 sine 440"), 0);
    ASSERT_EQ(VoiceFileConverter::wavToAmr(wav, amr, 1, 16), 0);
    ASSERT_TRUE(VoiceFileConverter::amrToWav(amr, out));
    const auto before = voicetest::estimateTone(voicetest::wavSamples(readFile(wav)));
    const auto after = voicetest::estimateTone(voicetest::wavSamples(readFile(out)));
    ASSERT_GT(before.rms, 1000);
    EXPECT_NEAR(after.hertz, 440, 8);
    EXPECT_NEAR(after.rms, before.rms, before.rms * 0.25);
}

TEST_F(VoiceFileConverterTest, EightBitSamplesAreCenteredOn128)
{
    // An 8-bit WAV is unsigned; taking the bytes as they are would add a loud
    // offset and clip the tone.
    const std::string wav = path("tone8.wav");
    const std::string amr = path("tone8.amr");
    const std::string out = path("back8.wav");
    const std::string reference = path("tone16.wav");
    ASSERT_EQ(run("sox -n -r 8000 -b 8 -e unsigned-integer -c 1 " + quoted(wav) + " synth 1 sine 440 gain -6"), 0);
    ASSERT_EQ(run("sox -n -r 8000 -b 16 -c 1 " + quoted(reference) + " synth 1 sine 440 gain -6"), 0);
    ASSERT_EQ(VoiceFileConverter::wavToAmr(wav, amr, 1, 8), 0);
    EXPECT_EQ(readFile(amr).size(), 6u + 32u * 50u);
    ASSERT_TRUE(VoiceFileConverter::amrToWav(amr, out));
    const auto expected = voicetest::estimateTone(voicetest::wavSamples(readFile(reference)));
    const auto after = voicetest::estimateTone(voicetest::wavSamples(readFile(out)));
    EXPECT_NEAR(after.hertz, 440, 8);
    EXPECT_NEAR(after.rms, expected.rms, expected.rms * 0.3);
}

TEST_F(VoiceFileConverterTest, StatusCodesForMissingAndMalformedFiles)
{
    EXPECT_EQ(VoiceFileConverter::wavToAmr(path("missing.wav"), path("x.amr"), 2, 16), 1);
    EXPECT_FALSE(VoiceFileConverter::amrToWav(path("missing.amr"), path("x.wav")));

    // Not the AMR magic.
    voicetest::writeFile(path("bad.amr"), { '#', '!', 'A', 'M', 'R', '-', 0x3C });
    EXPECT_FALSE(VoiceFileConverter::amrToWav(path("bad.amr"), path("bad.wav")));

    // Only the magic, or a first frame cut short: no whole frame, no success.
    voicetest::writeFile(path("magic.amr"), { '#', '!', 'A', 'M', 'R', '\n' });
    EXPECT_FALSE(VoiceFileConverter::amrToWav(path("magic.amr"), path("magic.wav")));
    voicetest::writeFile(path("cut.amr"), { '#', '!', 'A', 'M', 'R', '\n', 0x3C, 1, 2, 3 });
    EXPECT_FALSE(VoiceFileConverter::amrToWav(path("cut.amr"), path("cut.wav")));

    // A WAV destination that cannot be created.
    ASSERT_EQ(run("sox -n -r 8000 -b 16 -c 1 " + quoted(path("t.wav")) + " synth 0.1 sine 440"), 0);
    ASSERT_EQ(VoiceFileConverter::wavToAmr(path("t.wav"), path("t.amr"), 1, 16), 0);
    EXPECT_FALSE(VoiceFileConverter::amrToWav(path("t.amr"), path("no-such-folder/t.wav")));
    EXPECT_EQ(VoiceFileConverter::wavToAmr(path("t.wav"), path("no-such-folder/t.amr"), 1, 16), 1);

    // Sample formats the converter does not read.
    EXPECT_EQ(VoiceFileConverter::wavToAmr(path("t.wav"), path("t24.amr"), 1, 24), 1);
    EXPECT_EQ(VoiceFileConverter::wavToAmr(path("t.wav"), path("t6.amr"), 6, 16), 1);

    // A file whose header says another rate, channel count or sample type.
    ASSERT_EQ(run("sox -n -r 44100 -b 16 -c 1 " + quoted(path("cd.wav")) + " synth 0.1 sine 440"), 0);
    EXPECT_EQ(VoiceFileConverter::wavToAmr(path("cd.wav"), path("cd.amr"), 1, 16), 1);
    EXPECT_EQ(VoiceFileConverter::wavToAmr(path("t.wav"), path("t2.amr"), 2, 16), 1);
    ASSERT_EQ(run("sox -n -r 8000 -e floating-point -b 32 -c 1 " + quoted(path("f.wav")) + " synth 0.1 sine 440"), 0);
    EXPECT_EQ(VoiceFileConverter::wavToAmr(path("f.wav"), path("f.amr"), 1, 16), 1);
}

} // namespace
