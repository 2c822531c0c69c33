#pragma once

#include "platform/media/AVAudioSession.h"
#include "platform/media/WavFile.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Value.h"

#include <memory>
#include <string>
#include <vector>

namespace platform {

class AVAudioPlayer;

class AVAudioPlayerDelegate {
public:
    virtual ~AVAudioPlayerDelegate() = default;
    virtual void audioPlayerDidFinishPlaying(AVAudioPlayer&, bool /*successfully*/) { }
    virtual void audioPlayerDecodeErrorDidOccur(AVAudioPlayer&, const Error&) { }
    virtual void audioPlayerBeginInterruption(AVAudioPlayer&) { }
    virtual void audioPlayerEndInterruption(AVAudioPlayer&, unsigned /*options*/) { }
};

// Plays a PCM WAV file as a timed model: playback runs on the main loop's
// clock, so a clip of 2.5 s finishes after 2.5 s of (manual) time. The sound
// is heard only when a SoundOutput (a sound device) is installed, which plays
// it alongside the model. A file whose data chunk breaks off before its
// declared end plays up to the break and then reports a decode error. Main
// thread only; a player that goes away stops.
class AVAudioPlayer final : public Object, public std::enable_shared_from_this<AVAudioPlayer> {
public:
    // url: a path or a "file://" URL. nullptr with the error for a missing
    // file, a file that is not WAV, or a format other than integer PCM.
    static std::shared_ptr<AVAudioPlayer> create(const std::string& url, Error* error = nullptr);
    ~AVAudioPlayer() override;

    const std::string& url() const { return path_; }
    const WavFormat& format() const { return info_.format; }
    int numberOfChannels() const { return info_.format.channels; }
    // From the header: the declared sound's length.
    double duration() const { return info_.duration(); }

    void setDelegate(std::weak_ptr<AVAudioPlayerDelegate> delegate) { delegate_ = std::move(delegate); }

    bool prepareToPlay() { return true; }
    // Starts or resumes from currentTime. False while the session is interrupted.
    bool play();
    void pause();
    // Stops without telling the delegate; the position stays where it was.
    void stop();
    bool isPlaying() const { return playing_; }

    double currentTime() const;
    // Clamped to [0, duration]; a playing clip continues from there.
    void setCurrentTime(double seconds);
    float volume() const { return volume_; }
    void setVolume(float volume);
    // Extra passes after the first; negative repeats until stopped.
    int numberOfLoops() const { return numberOfLoops_; }
    void setNumberOfLoops(int loops) { numberOfLoops_ = loops; }

    // Where the sound goes now: the session's route.
    AudioOutputRoute outputRoute() const { return AVAudioSession::sharedInstance().currentRoute(); }
    // Every player that is sounding now, oldest first (tests ask what is heard).
    static std::vector<std::shared_ptr<AVAudioPlayer>> playingPlayers();

    std::string className() const override { return "AVAudioPlayer"; }

private:
    AVAudioPlayer() = default;
    // The end of what can be played of one pass: the declared end, or where the data breaks off.
    double passEnd() const;
    void schedule();
    void cancelTimer();
    void reachedPassEnd();
    // The sound device, when one is installed, plays what the model times.
    void startSound();
    void stopSound();
    void interruption(const Notification& note);

    std::string path_;
    WavInfo info_;
    std::weak_ptr<AVAudioPlayerDelegate> delegate_;
    bool playing_ = false;
    bool interrupted_ = false;
    double position_ = 0; // within the pass, as of segmentStart_
    double segmentStart_ = 0;
    int loopsDone_ = 0;
    float volume_ = 1.0f;
    int numberOfLoops_ = 0;
    RunLoop::TimerId timer_ = 0;
    ObserverToken interruptionObserver_;
};

} // namespace platform
