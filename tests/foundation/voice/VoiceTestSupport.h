#pragma once

#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace voicetest {

using Bytes = std::vector<unsigned char>;

inline Bytes readFile(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline std::uint32_t le32(const Bytes& bytes, std::size_t at)
{
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

inline std::uint16_t le16(const Bytes& bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline void append32(Bytes& out, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

inline void append16(Bytes& out, std::uint16_t value)
{
    out.push_back(static_cast<unsigned char>(value));
    out.push_back(static_cast<unsigned char>(value >> 8));
}

inline void appendText(Bytes& out, const char* text)
{
    out.insert(out.end(), text, text + std::char_traits<char>::length(text));
}

// A RIFF chunk with its pad byte when the body has an odd size.
inline void appendChunk(Bytes& out, const char* id, const Bytes& body)
{
    appendText(out, id);
    append32(out, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    if (body.size() & 1)
        out.push_back(0);
}

inline Bytes riffWave(const Bytes& chunks)
{
    Bytes out;
    appendText(out, "RIFF");
    append32(out, static_cast<std::uint32_t>(4 + chunks.size()));
    appendText(out, "WAVE");
    out.insert(out.end(), chunks.begin(), chunks.end());
    return out;
}

// A PCM format chunk body of the given size (16, 18, 20 or 40 bytes).
inline Bytes formatBody(std::size_t size, int channels, int bits)
{
    Bytes body;
    append16(body, 1);
    append16(body, static_cast<std::uint16_t>(channels));
    append32(body, 8000);
    append32(body, static_cast<std::uint32_t>(8000 * channels * bits / 8));
    append16(body, static_cast<std::uint16_t>(channels * bits / 8));
    append16(body, static_cast<std::uint16_t>(bits));
    body.resize(size, 0);
    return body;
}

// 16-bit mono samples of a sine, little-endian.
inline Bytes sineSamples(double hertz, double amplitude, int count)
{
    Bytes out;
    for (int i = 0; i < count; ++i) {
        const double value = amplitude * std::sin(2 * M_PI * hertz * i / 8000.0);
        append16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(value))));
    }
    return out;
}

// The 16-bit samples of a WAV file found by walking its chunks.
inline std::vector<std::int16_t> wavSamples(const Bytes& wav)
{
    std::vector<std::int16_t> samples;
    std::size_t at = 12;
    while (at + 8 <= wav.size()) {
        const std::uint32_t size = le32(wav, at + 4);
        if (!std::memcmp(&wav[at], "data", 4)) {
            const std::size_t end = std::min<std::size_t>(wav.size(), at + 8 + size);
            for (std::size_t i = at + 8; i + 1 < end; i += 2)
                samples.push_back(static_cast<std::int16_t>(le16(wav, i)));
            break;
        }
        at += 8 + size + (size & 1);
    }
    return samples;
}

struct ToneEstimate {
    double hertz = 0;
    double rms = 0;
};

// Frequency from upward zero crossings and the RMS level, after skipping the
// codec's first frames, in which it settles.
inline ToneEstimate estimateTone(const std::vector<std::int16_t>& samples, std::size_t skip = 800)
{
    ToneEstimate estimate;
    if (samples.size() <= skip + 1)
        return estimate;
    std::size_t crossings = 0;
    std::size_t first = 0;
    std::size_t last = 0;
    double sumSquares = 0;
    for (std::size_t i = skip; i < samples.size(); ++i) {
        sumSquares += static_cast<double>(samples[i]) * samples[i];
        if (i > skip && samples[i - 1] < 0 && samples[i] >= 0) {
            if (!crossings)
                first = i;
            last = i;
            ++crossings;
        }
    }
    if (crossings > 1)
        estimate.hertz = (crossings - 1) * 8000.0 / static_cast<double>(last - first);
    estimate.rms = std::sqrt(sumSquares / static_cast<double>(samples.size() - skip));
    return estimate;
}

inline int run(const std::string& command) { return std::system((command + " 2>/dev/null").c_str()); }

// A fresh folder per test, removed afterwards.
class TempFolderTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(dir_.path().empty()); }
    std::string path(const std::string& name) const { return (folder_ / name).string(); }

    testsupport::TempDir dir_ { "orb-voice" };
    const std::filesystem::path folder_ { dir_.path() };
};

} // namespace voicetest
