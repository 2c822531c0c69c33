#pragma once

#include "platform/media/AVAudioSession.h"
#include "platform/media/ProximitySensor.h"
#include "platform/media/SampleSource.h"
#include "platform/media/WavFile.h"
#include "platform/os/FileUtil.h"
#include "platform/os/RunLoop.h"

#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace media_test {

// Every case runs on the main loop with a manual clock and fresh shared
// media state, in its own temporary folder.
class MediaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        loop = &platform::RunLoop::main();
        ASSERT_TRUE(loop->isCurrent());
        loop->discardPendingWork();
        loop->setClock(clock);
        platform::AVAudioSession::sharedInstance().resetForTesting();
        platform::ProximitySensor::shared().resetForTesting();
        platform::AudioInput::setSource(nullptr);
        std::string pattern = "/tmp/orb-media-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir = pattern;
    }
    void TearDown() override
    {
        loop->discardPendingWork();
        loop->setClock(nullptr);
        platform::AudioInput::setSource(nullptr);
        if (!dir.empty())
            platform::FileUtil::remove(dir);
    }

    std::string path(const std::string& name) const { return platform::FileUtil::joinPath(dir, name); }

    // Writes a mono or stereo 16-bit file of the given samples.
    std::string writeWav(
        const std::string& name, const std::vector<std::int16_t>& samples, int channels = 1, std::uint32_t rate = 8000)
    {
        platform::WavWriter writer;
        platform::WavFormat format;
        format.channels = static_cast<std::uint16_t>(channels);
        format.sampleRate = rate;
        std::string file = path(name);
        EXPECT_TRUE(writer.open(file, format));
        EXPECT_TRUE(writer.write(samples.data(), samples.size() / channels));
        EXPECT_TRUE(writer.close());
        return file;
    }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(50);
    platform::RunLoop* loop = nullptr;
    std::string dir;
};

// Runs a shell command and answers what it printed on standard output and
// standard error; the exit status goes to *status.
inline std::string runCommand(const std::string& command, int* status = nullptr)
{
    std::string output;
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return output;
    char buffer[512];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
        output.append(buffer, n);
    int result = ::pclose(pipe);
    if (status)
        *status = result;
    return output;
}

// A number on the line of `sox -n stat` output that starts with the label.
inline double soxStat(const std::string& statOutput, const std::string& label)
{
    auto at = statOutput.find(label);
    if (at == std::string::npos)
        return -1;
    auto colon = statOutput.find(':', at);
    return colon == std::string::npos ? -1 : std::strtod(statOutput.c_str() + colon + 1, nullptr);
}

} // namespace media_test
