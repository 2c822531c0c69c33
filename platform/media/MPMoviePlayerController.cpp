#include "platform/media/MPMoviePlayerController.h"

#include "platform/os/NotificationCenter.h"

#include <algorithm>

namespace platform {

std::shared_ptr<MPMoviePlayerController> MPMoviePlayerController::create(std::string contentURL)
{
    std::shared_ptr<MPMoviePlayerController> player(new MPMoviePlayerController());
    player->contentURL_ = std::move(contentURL);
    return player;
}

MPMoviePlayerController::~MPMoviePlayerController() { cancelEnd(); }

void MPMoviePlayerController::setContentURL(std::string url)
{
    actions_.push_back("contentURL " + url);
    if (url == contentURL_)
        return;
    stop();
    contentURL_ = std::move(url);
    prepared_ = false;
    position_ = 0;
}

void MPMoviePlayerController::setControlStyle(MPMovieControlStyle style)
{
    controlStyle_ = style;
    actions_.push_back("controlStyle " + std::to_string(static_cast<int>(style)));
}

void MPMoviePlayerController::setFullscreen(bool fullscreen, bool)
{
    fullscreen_ = fullscreen;
    actions_.push_back(std::string("fullscreen ") + (fullscreen ? "1" : "0"));
}

void MPMoviePlayerController::prepareToPlay()
{
    actions_.push_back("prepare");
    if (!contentURL_.empty())
        prepared_ = true;
}

void MPMoviePlayerController::play()
{
    actions_.push_back("play " + contentURL_);
    if (contentURL_.empty() || state_ == MPMoviePlaybackState::Playing)
        return;
    prepared_ = true;
    if (duration_ > 0 && position_ >= duration_)
        position_ = 0;
    segmentStart_ = RunLoop::main().now();
    setState(MPMoviePlaybackState::Playing);
    scheduleEnd();
}

void MPMoviePlayerController::pause()
{
    actions_.push_back("pause");
    if (state_ != MPMoviePlaybackState::Playing)
        return;
    position_ = currentPlaybackTime();
    cancelEnd();
    setState(MPMoviePlaybackState::Paused);
}

void MPMoviePlayerController::stop()
{
    actions_.push_back("stop");
    cancelEnd();
    position_ = 0;
    setState(MPMoviePlaybackState::Stopped);
}

double MPMoviePlayerController::currentPlaybackTime() const
{
    double t = position_;
    if (state_ == MPMoviePlaybackState::Playing)
        t += RunLoop::main().now() - segmentStart_;
    return duration_ > 0 ? std::min(t, duration_) : t;
}

void MPMoviePlayerController::setSimulatedDuration(double seconds)
{
    duration_ = std::max(0.0, seconds);
    if (state_ == MPMoviePlaybackState::Playing)
        scheduleEnd();
}

void MPMoviePlayerController::finishPlayback(MPMovieFinishReason reason, std::optional<Error> error)
{
    cancelEnd();
    position_ = reason == MPMovieFinishReason::PlaybackEnded ? duration_ : currentPlaybackTime();
    setState(MPMoviePlaybackState::Stopped);
    Dictionary info { { MPMoviePlayerPlaybackDidFinishReasonUserInfoKey, static_cast<int>(reason) } };
    if (error)
        info.set(MPMoviePlayerPlaybackErrorUserInfoKey, std::make_shared<Error>(*error));
    // Observers compare the object with the player they hold.
    auto self = shared_from_this();
    NotificationCenter::defaultCenter().post(MPMoviePlayerPlaybackDidFinishNotification, Value(self), std::move(info));
}

void MPMoviePlayerController::setState(MPMoviePlaybackState state)
{
    if (state == state_)
        return;
    state_ = state;
    auto self = shared_from_this();
    NotificationCenter::defaultCenter().post(MPMoviePlayerPlaybackStateDidChangeNotification, Value(self));
}

void MPMoviePlayerController::scheduleEnd()
{
    cancelEnd();
    if (duration_ <= 0 || state_ != MPMoviePlaybackState::Playing)
        return;
    std::weak_ptr<MPMoviePlayerController> weak = weak_from_this();
    endTimer_ = RunLoop::main().addTimer(std::max(0.0, duration_ - currentPlaybackTime()), 0, [weak] {
        if (auto self = weak.lock()) {
            self->endTimer_ = 0;
            self->finishPlayback(MPMovieFinishReason::PlaybackEnded);
        }
    });
}

void MPMoviePlayerController::cancelEnd()
{
    if (endTimer_)
        RunLoop::main().cancelTimer(endTimer_);
    endTimer_ = 0;
}

} // namespace platform
