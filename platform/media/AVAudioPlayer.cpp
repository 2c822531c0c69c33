#include "platform/media/AVAudioPlayer.h"

#include "platform/media/MediaErrors.h"
#include "platform/media/SoundOutput.h"
#include "platform/os/Url.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

    std::string pathFromUrl(const std::string& url)
    {
        if (url.rfind("file:", 0) == 0) {
            if (auto parsed = Url::parse(url); parsed && parsed->isFileUrl())
                return parsed->path();
        }
        return url;
    }

    std::vector<std::weak_ptr<AVAudioPlayer>>& livePlayers()
    {
        static std::vector<std::weak_ptr<AVAudioPlayer>> players;
        return players;
    }

} // namespace

std::shared_ptr<AVAudioPlayer> AVAudioPlayer::create(const std::string& url, Error* error)
{
    std::string path = pathFromUrl(url);
    auto info = readWavInfo(path, error);
    if (!info)
        return nullptr;
    std::shared_ptr<AVAudioPlayer> player(new AVAudioPlayer());
    player->path_ = std::move(path);
    player->info_ = *info;
    std::weak_ptr<AVAudioPlayer> weak = player;
    player->interruptionObserver_ = NotificationCenter::defaultCenter().addObserver(
        AVAudioSessionInterruptionNotification, {}, [weak](const Notification& note) {
            if (auto self = weak.lock())
                self->interruption(note);
        });
    auto& live = livePlayers();
    std::erase_if(live, [](const std::weak_ptr<AVAudioPlayer>& p) { return p.expired(); });
    live.push_back(player);
    return player;
}

AVAudioPlayer::~AVAudioPlayer()
{
    cancelTimer();
    // A player that goes away while playing stops; one that finished leaves the device its tail.
    if (playing_)
        stopSound();
}

void AVAudioPlayer::startSound()
{
    // The device plays alongside the timed model, which still decides when the
    // clip ends. It starts where the model's segment starts (not at the few
    // microseconds the clock has moved since).
    if (auto output = SoundOutput::current()) {
        auto frame = static_cast<std::uint64_t>(std::llround(position_ * info_.format.sampleRate));
        output->play(this, path_, info_.format, frame, volume_);
    }
}

void AVAudioPlayer::stopSound()
{
    if (auto output = SoundOutput::current())
        output->stop(this);
}

std::vector<std::shared_ptr<AVAudioPlayer>> AVAudioPlayer::playingPlayers()
{
    std::vector<std::shared_ptr<AVAudioPlayer>> playing;
    for (const auto& weak : livePlayers()) {
        if (auto player = weak.lock(); player && player->isPlaying())
            playing.push_back(player);
    }
    return playing;
}

double AVAudioPlayer::passEnd() const { return info_.truncated() ? info_.availableDuration() : info_.duration(); }

double AVAudioPlayer::currentTime() const
{
    double t = position_;
    if (playing_)
        t += RunLoop::main().now() - segmentStart_;
    return std::clamp(t, 0.0, passEnd());
}

bool AVAudioPlayer::play()
{
    if (playing_)
        return true;
    if (AVAudioSession::sharedInstance().isInterrupted())
        return false;
    // A clip played to its end starts again from the beginning.
    if (position_ >= passEnd() && !info_.truncated())
        position_ = 0;
    playing_ = true;
    interrupted_ = false;
    segmentStart_ = RunLoop::main().now();
    schedule();
    startSound();
    return true;
}

void AVAudioPlayer::pause()
{
    if (!playing_)
        return;
    position_ = currentTime();
    playing_ = false;
    cancelTimer();
    stopSound();
}

void AVAudioPlayer::stop()
{
    pause();
    loopsDone_ = 0;
}

void AVAudioPlayer::setCurrentTime(double seconds)
{
    position_ = std::clamp(seconds, 0.0, passEnd());
    if (playing_) {
        segmentStart_ = RunLoop::main().now();
        schedule();
        startSound();
    }
}

void AVAudioPlayer::setVolume(float volume)
{
    volume_ = std::clamp(volume, 0.0f, 1.0f);
    if (playing_)
        if (auto output = SoundOutput::current())
            output->setVolume(this, volume_);
}

void AVAudioPlayer::schedule()
{
    cancelTimer();
    std::weak_ptr<AVAudioPlayer> weak = weak_from_this();
    double remaining = std::max(0.0, passEnd() - currentTime());
    timer_ = RunLoop::main().addTimer(remaining, 0, [weak] {
        if (auto self = weak.lock()) {
            self->timer_ = 0;
            self->reachedPassEnd();
        }
    });
}

void AVAudioPlayer::cancelTimer()
{
    if (timer_)
        RunLoop::main().cancelTimer(timer_);
    timer_ = 0;
}

void AVAudioPlayer::reachedPassEnd()
{
    auto self = shared_from_this();
    // The device plays out what it was given (it may run a little behind the
    // clock): the end of the timed pass does not cut the sound's tail.
    if (info_.truncated()) {
        position_ = passEnd();
        playing_ = false;
        loopsDone_ = 0;
        if (auto delegate = delegate_.lock())
            delegate->audioPlayerDecodeErrorDidOccur(
                *this, mediaError(kMediaErrorInvalidFile, "the sound data ends before its declared length"));
        return;
    }
    if (numberOfLoops_ < 0 || loopsDone_ < numberOfLoops_) {
        ++loopsDone_;
        position_ = 0;
        segmentStart_ = RunLoop::main().now();
        // An empty clip has nothing to repeat; looping it would never yield.
        if (passEnd() > 0) {
            schedule();
            startSound();
            return;
        }
    }
    position_ = 0;
    playing_ = false;
    loopsDone_ = 0;
    if (auto delegate = delegate_.lock())
        delegate->audioPlayerDidFinishPlaying(*this, true);
}

void AVAudioPlayer::interruption(const Notification& note)
{
    auto type
        = static_cast<AVAudioSessionInterruptionType>(note.userInfo.get(AVAudioSessionInterruptionTypeKey).intValue());
    auto self = shared_from_this();
    if (type == AVAudioSessionInterruptionType::Began) {
        if (!playing_)
            return;
        pause();
        interrupted_ = true;
        if (auto delegate = delegate_.lock())
            delegate->audioPlayerBeginInterruption(*this);
    } else if (interrupted_) {
        interrupted_ = false;
        unsigned options = static_cast<unsigned>(note.userInfo.get(AVAudioSessionInterruptionOptionKey).intValue());
        if (auto delegate = delegate_.lock())
            delegate->audioPlayerEndInterruption(*this, options);
    }
}

} // namespace platform
