#pragma once

#include "platform/graphics/Image.h"
#include "platform/os/Error.h"
#include "platform/os/RunLoop.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// A movie player that decodes and plays: MP4 (H.264/AAC) and HLS over http,
// the picture drawn at the size asked into a frame buffer of ours, the sound
// through the desktop's sound device (SDL, as the rest of the client's sound;
// without a device the picture plays alone). Made, driven and answered on the
// thread whose run loop it is created on: the decoder's threads only wake that
// loop, and every call into the decoder from here is asynchronous, so nothing
// here waits on playback.
//
// The decoder (libmpv, in the module orb_moviedecoder.so) is opened on the
// first load of any player, not before: a program that never plays a movie
// never maps it. Each player starts its own decoder on load and lets it go on
// stop and when it is destroyed, its threads ended and its memory freed; the
// module stays open once opened. Without the module or libmpv, a load fails
// as a movie that cannot be opened does (State::Failed and the error).
struct MovieDecoderHandle;
struct MovieDecoderModuleTable;

class MoviePlayer final : public std::enable_shared_from_this<MoviePlayer> {
public:
    enum class State { Idle, Loading, Playing, Paused, Ended, Failed };

    struct Options {
        // The sound output: "sdl" the desktop's device, "null" none (tests).
        std::string audioOutput = "sdl";
    };

    // Nothing (and the error) when the player cannot wait on its loop.
    static std::shared_ptr<MoviePlayer> create(Options options, Error* error = nullptr);
    static std::shared_ptr<MoviePlayer> create(Error* error = nullptr) { return create(Options {}, error); }
    ~MoviePlayer();
    // Waits, at most `seconds`, until every decoder a player let go (stopped,
    // or gone) has ended on its own thread.
    static void waitForReleasedDecoders(double seconds);
    MoviePlayer(const MoviePlayer&) = delete;
    MoviePlayer& operator=(const MoviePlayer&) = delete;

    // Starts loading the address; it plays as soon as it can unless paused.
    void load(const std::string& url);
    void play();
    void pause();
    // Stops and forgets the movie, and lets the decoder go (its threads and
    // memory); the last frame stays until another is drawn.
    void stop();
    // To the exact position in seconds (not the keyframe before it).
    void seek(double seconds);

    State state() const { return state_; }
    bool isPaused() const { return paused_; }
    // Seconds, as last reported by the decoder (0 before).
    double position() const { return position_; }
    // Seconds once known (0 before).
    double duration() const { return duration_; }
    // Why the movie failed, when it did.
    const std::optional<Error>& error() const { return error_; }

    // The size in pixels frames are drawn at (the view's size); 0 × 0 draws nothing.
    void setFrameSize(int pixelWidth, int pixelHeight);
    int frameWidth() const { return width_; }
    int frameHeight() const { return height_; }
    // The last frame drawn: 32-bit pixels, blue, green, red, then alpha (always
    // 255), rows `frameStride()` bytes apart, 64-byte aligned; nullptr before
    // the first frame.
    const std::uint8_t* frameData() const { return framesDrawn_ > 0 ? buffer_.get() : nullptr; }
    std::size_t frameStride() const { return stride_; }
    // Frames drawn since the player was made.
    std::uint64_t framesDrawn() const { return framesDrawn_; }
    // A copy of the last frame (a null image before the first).
    Image frameImage() const;

    // Called on the player's loop: a new frame is in the buffer; the state,
    // position or duration changed.
    std::function<void()> onFrame;
    std::function<void()> onChange;

private:
    explicit MoviePlayer(Options options);
    bool start(Error* error);
    bool startDecoder();
    void releaseDecoder();
    void wake();
    void handleEvents();
    void drawFrame();
    void setState(State state);

    Options options_;
    const MovieDecoderModuleTable* module_ = nullptr;
    MovieDecoderHandle* decoder_ = nullptr;
    RunLoop* loop_ = nullptr;
    RunLoop::SourceId source_ = 0;
    int eventFd_ = -1;
    // Holds the descriptor open for as long as a decoder may still wake it
    // (one being let go on a thread of its own outlives the player).
    std::shared_ptr<void> eventFdKeeper_;
    State state_ = State::Idle;
    bool paused_ = false;
    bool restarted_ = false;
    double position_ = 0;
    double duration_ = 0;
    std::optional<Error> error_;
    int width_ = 0;
    int height_ = 0;
    std::size_t stride_ = 0;
    std::unique_ptr<std::uint8_t, void (*)(void*)> buffer_ { nullptr, nullptr };
    std::uint64_t framesDrawn_ = 0;
};

} // namespace platform
