#include "tests/platform/media/MediaTestSupport.h"

#include "platform/media/MediaErrors.h"
#include "platform/os/NotificationCenter.h"

using namespace platform;
using media_test::MediaTest;

namespace {

class Session : public MediaTest {
protected:
    AVAudioSession& session = AVAudioSession::sharedInstance();
};

struct NotificationLog {
    explicit NotificationLog(const char* name)
        : token(NotificationCenter::defaultCenter().addObserver(
            name, {}, [this](const Notification& note) { received.push_back(note); }))
    {
    }
    std::vector<Notification> received;
    ObserverToken token;
};

} // namespace

TEST_F(Session, CategoriesAreCheckedAndRefusalsCarryTheirReason)
{
    EXPECT_EQ(session.category(), AVAudioSessionCategorySoloAmbient);
    Error error;
    EXPECT_FALSE(session.setCategory("AVAudioSessionCategoryKaraoke", &error));
    EXPECT_EQ(error.domain(), kOSStatusErrorDomain);
    EXPECT_EQ(error.code(), kMediaErrorParameter);
    EXPECT_EQ(session.category(), AVAudioSessionCategorySoloAmbient);

    session.setInputAvailable(false);
    EXPECT_FALSE(session.setCategory(AVAudioSessionCategoryRecord, &error));
    EXPECT_EQ(error.code(), kMediaErrorCannotStartRecording);
    EXPECT_TRUE(session.setCategory(AVAudioSessionCategoryPlayback, &error));

    // The property interface sets the same category by its code.
    EXPECT_TRUE(session.setCategoryCode(static_cast<std::uint32_t>(AudioSessionCategoryCode::SoloAmbient)));
    EXPECT_EQ(session.category(), AVAudioSessionCategorySoloAmbient);
    EXPECT_TRUE(session.setCategoryCode(static_cast<std::uint32_t>(AudioSessionCategoryCode::MediaPlayback)));
    EXPECT_EQ(session.category(), AVAudioSessionCategoryPlayback);
    EXPECT_FALSE(session.setCategoryCode(0x12345678, &error));
    EXPECT_EQ(error.code(), kMediaErrorParameter);
    EXPECT_FALSE(session.setRouteOverrideCode(7, &error));

    EXPECT_TRUE(session.setActive(true));
    EXPECT_TRUE(session.isActive());
    session.beginInterruption();
    EXPECT_FALSE(session.isActive());
    EXPECT_FALSE(session.setActive(true, &error));
    EXPECT_EQ(error.code(), kMediaErrorInsufficientPriority);
    session.endInterruption(true);
    EXPECT_TRUE(session.setActive(true));
}

TEST_F(Session, EarpieceOnlyForPlayAndRecordUntilOverriddenAndTheOverrideEndsWithTheCategory)
{
    NotificationLog routeChanges(AVAudioSessionRouteChangeNotification);
    // What the voice player does at start: media playback, speaker override, playback, active.
    ASSERT_TRUE(session.setCategoryCode(static_cast<std::uint32_t>(AudioSessionCategoryCode::MediaPlayback)));
    ASSERT_TRUE(session.setRouteOverrideCode(static_cast<std::uint32_t>(AVAudioSessionPortOverride::Speaker)));
    ASSERT_TRUE(session.setCategory(AVAudioSessionCategoryPlayback));
    EXPECT_EQ(session.outputOverride(), AVAudioSessionPortOverride::Speaker) << "same category: nothing changed";
    EXPECT_EQ(session.currentRoute(), AudioOutputRoute::Speaker);

    ASSERT_TRUE(session.setCategory(AVAudioSessionCategoryPlayAndRecord));
    EXPECT_EQ(session.outputOverride(), AVAudioSessionPortOverride::None);
    EXPECT_EQ(session.currentRoute(), AudioOutputRoute::Receiver);
    ASSERT_TRUE(session.overrideOutputAudioPort(AVAudioSessionPortOverride::Speaker));
    EXPECT_EQ(session.currentRoute(), AudioOutputRoute::Speaker);
    ASSERT_TRUE(session.setCategory(AVAudioSessionCategoryPlayback));
    ASSERT_TRUE(session.setCategory(AVAudioSessionCategoryPlayAndRecord));
    EXPECT_EQ(session.currentRoute(), AudioOutputRoute::Receiver);

    EXPECT_EQ(session.routeHistory(),
        (std::vector<AudioOutputRoute> { AudioOutputRoute::Speaker, AudioOutputRoute::Receiver,
            AudioOutputRoute::Speaker, AudioOutputRoute::Receiver }));
    ASSERT_EQ(routeChanges.received.size(), 3u);
    EXPECT_EQ(routeChanges.received[0].userInfo.get(AVAudioSessionRouteChangeReasonKey).intValue(),
        static_cast<int>(AVAudioSessionRouteChangeReason::CategoryChange));
    EXPECT_EQ(routeChanges.received[1].userInfo.get(AVAudioSessionRouteChangeReasonKey).intValue(),
        static_cast<int>(AVAudioSessionRouteChangeReason::Override));
}

TEST_F(Session, InterruptionsAreAnnouncedOnceEach)
{
    NotificationLog interruptions(AVAudioSessionInterruptionNotification);
    session.beginInterruption();
    session.beginInterruption();
    session.endInterruption(true);
    session.endInterruption(true);
    ASSERT_EQ(interruptions.received.size(), 2u);
    EXPECT_EQ(interruptions.received[0].userInfo.get(AVAudioSessionInterruptionTypeKey).intValue(), 1);
    EXPECT_EQ(interruptions.received[1].userInfo.get(AVAudioSessionInterruptionTypeKey).intValue(), 0);
    EXPECT_EQ(interruptions.received[1].userInfo.get(AVAudioSessionInterruptionOptionKey).intValue(), 1);
}

TEST_F(Session, ProximityIsReadAndAnnouncedOnlyWhileMonitored)
{
    ProximitySensor& sensor = ProximitySensor::shared();
    NotificationLog changes(UIDeviceProximityStateDidChangeNotification);
    // The voice player's rule: near → earpiece (play and record), far → speaker (playback).
    auto token = NotificationCenter::defaultCenter().addObserver(
        UIDeviceProximityStateDidChangeNotification, {}, [&](const Notification&) {
            session.setCategory(sensor.state() ? AVAudioSessionCategoryPlayAndRecord : AVAudioSessionCategoryPlayback);
        });

    sensor.setObjectNear(true);
    EXPECT_FALSE(sensor.state());
    EXPECT_TRUE(changes.received.empty());

    sensor.setMonitoringEnabled(true);
    EXPECT_TRUE(sensor.state()) << "the phone already at the ear when monitoring starts";
    EXPECT_EQ(session.currentRoute(), AudioOutputRoute::Receiver);
    sensor.setObjectNear(false);
    EXPECT_EQ(session.currentRoute(), AudioOutputRoute::Speaker);
    sensor.setObjectNear(false);
    EXPECT_EQ(changes.received.size(), 2u);

    sensor.setObjectNear(true);
    sensor.setMonitoringEnabled(false);
    EXPECT_FALSE(sensor.state());
    EXPECT_EQ(changes.received.size(), 3u) << "switching monitoring off is silent";

    sensor.setSensorAvailable(false);
    sensor.setMonitoringEnabled(true);
    EXPECT_FALSE(sensor.isMonitoringEnabled());
    EXPECT_FALSE(sensor.state());
}

TEST_F(Session, WriterMakesEightBitFilesThatToolsRead)
{
    WavFormat format;
    format.bitsPerSample = 8;
    format.channels = 2;
    WavWriter writer;
    ASSERT_TRUE(writer.open(path("eight.wav"), format));
    std::vector<std::int16_t> samples = { -32768, 32767, 0, 256, -256, 12800 };
    ASSERT_TRUE(writer.write(samples.data(), 3));
    ASSERT_TRUE(writer.close());
    EXPECT_EQ(media_test::runCommand("soxi -b '" + path("eight.wav") + "'"), "8\n");
    EXPECT_EQ(media_test::runCommand("soxi -s '" + path("eight.wav") + "'"), "3\n");
    WavInfo info;
    auto read = readWavSamples(path("eight.wav"), &info);
    ASSERT_TRUE(read);
    EXPECT_EQ(*read, (std::vector<std::int16_t> { -32768, 32512, 0, 256, -256, 12800 }));
    EXPECT_EQ(info.format, format);

    format.bitsPerSample = 24;
    EXPECT_FALSE(writer.open(path("deep.wav"), format));
}
