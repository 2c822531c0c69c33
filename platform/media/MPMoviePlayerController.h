#pragma once

#include "platform/os/Error.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Value.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {

inline constexpr const char* MPMoviePlayerPlaybackDidFinishNotification = "MPMoviePlayerPlaybackDidFinishNotification";
inline constexpr const char* MPMoviePlayerPlaybackStateDidChangeNotification
    = "MPMoviePlayerPlaybackStateDidChangeNotification";
inline constexpr const char* MPMoviePlayerPlaybackDidFinishReasonUserInfoKey
    = "MPMoviePlayerPlaybackDidFinishReasonUserInfoKey";
// The error of a playback that failed, in the finish notification's user info.
inline constexpr const char* MPMoviePlayerPlaybackErrorUserInfoKey = "error";

enum class MPMovieControlStyle { None = 0, Embedded = 1, Fullscreen = 2, Default = Embedded };
enum class MPMoviePlaybackState { Stopped = 0, Playing = 1, Paused = 2, Interrupted = 3 };
enum class MPMovieFinishReason { PlaybackEnded = 0, PlaybackError = 1, UserExited = 2 };

// A movie player that decodes nothing: it keeps what it was asked to play and
// how, runs its playback time on the main loop's clock, and announces the end
// (the object of its notifications is the player). A movie "lasts" as long as
// the test says; without a length it plays until finished by hand. The view
// controller that shows it full screen belongs to the view layer, which holds
// one of these and calls play() when it appears with shouldAutoplay set.
class MPMoviePlayerController final : public Object, public std::enable_shared_from_this<MPMoviePlayerController> {
public:
    static std::shared_ptr<MPMoviePlayerController> create(std::string contentURL = {});
    ~MPMoviePlayerController() override;

    const std::string& contentURL() const { return contentURL_; }
    // A new address stops what was playing.
    void setContentURL(std::string url);
    MPMovieControlStyle controlStyle() const { return controlStyle_; }
    void setControlStyle(MPMovieControlStyle style);
    bool isFullscreen() const { return fullscreen_; }
    void setFullscreen(bool fullscreen, bool animated = false);
    bool shouldAutoplay() const { return shouldAutoplay_; }
    void setShouldAutoplay(bool autoplay) { shouldAutoplay_ = autoplay; }

    void prepareToPlay();
    bool isPreparedToPlay() const { return prepared_; }
    // Without a content address nothing plays.
    void play();
    void pause();
    void stop();
    MPMoviePlaybackState playbackState() const { return state_; }
    double currentPlaybackTime() const;
    // The movie's length once known (0 before).
    double duration() const { return prepared_ ? duration_ : 0; }

    // Everything asked of the player, in order: "play <url>", "pause", "stop",
    // "fullscreen 1", "controlStyle 2", "contentURL <url>", "prepare".
    const std::vector<std::string>& actions() const { return actions_; }

    // Tests and harness: the length of the movie at the address (0: it never
    // ends by itself), and the end of playback as the user or the network makes it.
    void setSimulatedDuration(double seconds);
    void finishPlayback(MPMovieFinishReason reason, std::optional<Error> error = std::nullopt);

    std::string className() const override { return "MPMoviePlayerController"; }

private:
    MPMoviePlayerController() = default;
    void setState(MPMoviePlaybackState state);
    void scheduleEnd();
    void cancelEnd();

    std::string contentURL_;
    MPMovieControlStyle controlStyle_ = MPMovieControlStyle::Default;
    bool fullscreen_ = false;
    bool shouldAutoplay_ = true;
    bool prepared_ = false;
    MPMoviePlaybackState state_ = MPMoviePlaybackState::Stopped;
    double duration_ = 0;
    double position_ = 0;
    double segmentStart_ = 0;
    RunLoop::TimerId endTimer_ = 0;
    std::vector<std::string> actions_;
};

} // namespace platform
