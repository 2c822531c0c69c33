#pragma once

#include "platform/media/AVAudioSession.h"
#include "platform/media/ProximitySensor.h"
#include "platform/media/SampleSource.h"
#include "platform/media/WavFile.h"
#include "platform/os/FileUtil.h"
#include "platform/os/RunLoop.h"
#include "tests/support/ProcessUtil.h"

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
        ASSERT_FALSE(dir.empty());
    }
    void TearDown() override
    {
        loop->discardPendingWork();
        loop->setClock(nullptr);
        platform::AudioInput::setSource(nullptr);
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
    testsupport::TempDir temp { "orb-media" };
    const std::string dir = temp.path();
};

// Runs a shell command and answers what it printed on standard output and
// standard error.
inline std::string runCommand(const std::string& command) { return testsupport::runCommand(command + " 2>&1").output; }

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
