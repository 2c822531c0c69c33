// The movie player on the run loop; the decoder it drives is in a module of
// its own (MovieDecoder.cpp), opened here on the first load. What the
// decoder's threads free goes back to the system through the allocator's
// bounds, which the program sets as it starts (platform/os/AllocatorBounds.h),
// and the trim after each decoder is let go.
#include "platform/media/MoviePlayer.h"

#include "platform/media/MovieDecoderModule.h"
#include "platform/os/FileUtil.h"
#include "platform/os/LoadedModule.h"
#include "platform/os/Log.h"

#include <malloc.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

namespace platform {

namespace {

    constexpr const char* kErrorDomain = "MoviePlayerErrorDomain";
    // The decoder module is missing, cannot be opened or is of another build.
    constexpr long kNoDecoder = -100;
    constexpr std::size_t kAlignment = 64;
    // Frames are drawn at this size until the view says otherwise, so that
    // the decoder never waits on a frame nobody draws.
    constexpr int kDefaultWidth = 640;
    constexpr int kDefaultHeight = 360;

    // Called on the decoder's threads: only wakes the player's loop.
    void wakeLoop(void* data)
    {
        std::uint64_t one = 1;
        int fd = static_cast<int>(reinterpret_cast<std::intptr_t>(data));
        [[maybe_unused]] auto written = ::write(fd, &one, sizeof one);
    }

    bool belongsToThisProgram(const MovieDecoderModuleTable& table)
    {
        return table.version == kMovieDecoderModuleVersion && table.create && table.destroy && table.load
            && table.setPaused && table.stop && table.seek && table.nextEvent && table.frameReady && table.draw;
    }

    // The module, where it may be: named by ORB_MOVIE_DECODER_MODULE, beside
    // the program (an installed client), or where this build put it.
    LoadedModule<MovieDecoderModuleTable>& decoderModule()
    {
        static LoadedModule<MovieDecoderModuleTable> module(
            "the movie decoder",
            [] {
                const char* built = movieDecoderBuildPath();
                return FileUtil::moduleCandidates(
                    "ORB_MOVIE_DECODER_MODULE", kMovieDecoderModuleFile, built ? built : "");
            },
            kMovieDecoderModuleEntry, belongsToThisProgram);
        return module;
    }

    // Decoders being let go on threads of their own. The process waits for
    // them as it exits (a decoder's threads must not outlive the libraries
    // they run in).
    class DecoderReleases {
    public:
        static DecoderReleases& shared()
        {
            static auto* releases = new DecoderReleases;
            return *releases;
        }
        void started()
        {
            std::lock_guard lock(mutex_);
            if (!exitHooked_) {
                exitHooked_ = true;
                std::atexit([] { shared().waitForNone(10); });
            }
            ++pending_;
        }
        void finished()
        {
            std::lock_guard lock(mutex_);
            --pending_;
            done_.notify_all();
        }
        void waitForNone(double seconds)
        {
            std::unique_lock lock(mutex_);
            done_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return pending_ == 0; });
        }

    private:
        std::mutex mutex_;
        std::condition_variable done_;
        int pending_ = 0;
        bool exitHooked_ = false;
    };

} // namespace

MoviePlayer::MoviePlayer(Options options)
    : options_(std::move(options))
{
}

std::shared_ptr<MoviePlayer> MoviePlayer::create(Options options, Error* error)
{
    std::shared_ptr<MoviePlayer> player(new MoviePlayer(std::move(options)));
    if (!player->start(error))
        return nullptr;
    return player;
}

bool MoviePlayer::start(Error* error)
{
    eventFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (eventFd_ >= 0) {
        int fd = eventFd_;
        eventFdKeeper_ = std::shared_ptr<void>(nullptr, [fd](void*) { ::close(fd); });
    }
    if (eventFd_ < 0) {
        setError(error, Error::withDescription(kErrorDomain, -1, "no event descriptor"));
        return false;
    }
    loop_ = &RunLoop::current();
    std::weak_ptr<MoviePlayer> weak = weak_from_this();
    source_ = loop_->addSource(eventFd_, EPOLLIN, [weak](std::uint32_t) {
        if (auto self = weak.lock())
            self->wake();
    });
    setFrameSize(kDefaultWidth, kDefaultHeight);
    return true;
}

bool MoviePlayer::startDecoder()
{
    if (decoder_)
        return true;
    std::string reason;
    long code = kNoDecoder;
    if (!module_)
        module_ = decoderModule().open(&reason);
    if (module_) {
        int status = 0;
        decoder_ = module_->create(options_.audioOutput.c_str(), wakeLoop,
            reinterpret_cast<void*>(static_cast<std::intptr_t>(eventFd_)), &status, &reason);
        code = status;
    }
    if (!decoder_) {
        log("MoviePlayer: %s\n", reason.c_str());
        error_ = Error::withDescription(kErrorDomain, code, reason);
        return false;
    }
    // A player paused before its movie was loaded starts paused.
    if (paused_)
        module_->setPaused(decoder_, true);
    return true;
}

void MoviePlayer::releaseDecoder()
{
    if (!decoder_)
        return;
    auto* decoder = std::exchange(decoder_, nullptr);
    const auto* module = module_;
    // Letting a decoder go waits until its threads have ended (its audio
    // output closed, a fifth of a second and more): on a thread of its own,
    // so that the screen the person goes back to is not held meanwhile. The
    // player draws and asks nothing of it from here on; it may still wake
    // the descriptor, which stays open until it is gone.
    auto task = [decoder, module, keeper = eventFdKeeper_] {
        module->destroy(decoder);
        // What its threads freed goes back to the system, not kept for a next movie.
        malloc_trim(0);
        DecoderReleases::shared().finished();
    };
    DecoderReleases::shared().started();
    try {
        std::thread(std::move(task)).detach();
    } catch (const std::system_error&) {
        module->destroy(decoder);
        malloc_trim(0);
        DecoderReleases::shared().finished();
    }
}

void MoviePlayer::waitForReleasedDecoders(double seconds) { DecoderReleases::shared().waitForNone(seconds); }

MoviePlayer::~MoviePlayer()
{
    releaseDecoder();
    if (loop_ && source_)
        loop_->removeSource(source_);
    // The descriptor closes with its last keeper: here, or once a decoder
    // being let go has ended.
    eventFdKeeper_.reset();
}

void MoviePlayer::wake()
{
    std::uint64_t count = 0;
    [[maybe_unused]] auto got = ::read(eventFd_, &count, sizeof count);
    // Keep ourselves alive through callbacks that may drop the last owner.
    auto keep = shared_from_this();
    handleEvents();
    const bool restarted = std::exchange(restarted_, false);
    if (decoder_ && (module_->frameReady(decoder_) || restarted))
        drawFrame();
}

void MoviePlayer::handleEvents()
{
    using Kind = MovieDecoderEvent::Kind;
    MovieDecoderEvent event;
    // A callback may stop the player, which lets the decoder go.
    while (decoder_) {
        module_->nextEvent(decoder_, &event);
        switch (event.kind) {
        case Kind::None:
            return;
        case Kind::FileLoaded:
            setState(paused_ ? State::Paused : State::Playing);
            break;
        case Kind::Ended:
            setState(State::Ended);
            break;
        case Kind::Failed:
            error_ = Error::withDescription(kErrorDomain, event.code, event.text);
            setState(State::Failed);
            break;
        case Kind::Position:
        case Kind::Duration:
        case Kind::Paused:
            if (event.kind == Kind::Position)
                position_ = event.value;
            else if (event.kind == Kind::Duration)
                duration_ = event.value;
            else {
                paused_ = event.flag;
                if (state_ == State::Playing || state_ == State::Paused)
                    setState(paused_ ? State::Paused : State::Playing);
            }
            if (onChange)
                onChange();
            break;
        case Kind::Restarted:
            restarted_ = true;
            break;
        case Kind::Other:
            break;
        }
    }
}

void MoviePlayer::drawFrame()
{
    if (!decoder_ || !buffer_ || width_ <= 0 || height_ <= 0)
        return;
    if (!module_->draw(decoder_, width_, height_, stride_, buffer_.get()))
        return;
    // "bgr0" leaves the fourth byte undefined; the picture is opaque.
    for (int y = 0; y < height_; ++y) {
        std::uint8_t* row = buffer_.get() + static_cast<std::size_t>(y) * stride_;
        for (int x = 0; x < width_; ++x)
            row[x * 4 + 3] = 0xff;
    }
    ++framesDrawn_;
    if (onFrame)
        onFrame();
}

void MoviePlayer::setFrameSize(int pixelWidth, int pixelHeight)
{
    if (pixelWidth == width_ && pixelHeight == height_)
        return;
    if (pixelWidth <= 0 || pixelHeight <= 0 || pixelWidth > Image::kMaxDimension
        || pixelHeight > Image::kMaxDimension) {
        width_ = height_ = 0;
        buffer_.reset();
        framesDrawn_ = 0;
        return;
    }
    std::size_t stride = (static_cast<std::size_t>(pixelWidth) * 4 + kAlignment - 1) / kAlignment * kAlignment;
    void* memory = std::aligned_alloc(kAlignment, stride * static_cast<std::size_t>(pixelHeight));
    if (!memory)
        return;
    std::memset(memory, 0, stride * static_cast<std::size_t>(pixelHeight));
    buffer_ = std::unique_ptr<std::uint8_t, void (*)(void*)>(static_cast<std::uint8_t*>(memory), std::free);
    width_ = pixelWidth;
    height_ = pixelHeight;
    stride_ = stride;
    // What was drawn at the old size is gone; the next frame comes at the new one.
    framesDrawn_ = 0;
    if (decoder_ && state_ != State::Idle)
        drawFrame();
}

Image MoviePlayer::frameImage() const
{
    const std::uint8_t* data = frameData();
    if (!data)
        return {};
    Image image(width_, height_);
    auto& pixels = image.mutablePixels();
    for (int y = 0; y < height_; ++y) {
        const std::uint8_t* row = data + static_cast<std::size_t>(y) * stride_;
        std::uint8_t* out = pixels.data() + static_cast<std::size_t>(y) * width_ * 4;
        for (int x = 0; x < width_; ++x) {
            out[x * 4 + 0] = row[x * 4 + 2];
            out[x * 4 + 1] = row[x * 4 + 1];
            out[x * 4 + 2] = row[x * 4 + 0];
            out[x * 4 + 3] = 0xff;
        }
    }
    return image;
}

void MoviePlayer::load(const std::string& url)
{
    position_ = 0;
    duration_ = 0;
    error_.reset();
    if (!startDecoder()) {
        setState(State::Failed);
        return;
    }
    setState(State::Loading);
    module_->load(decoder_, url.c_str());
}

void MoviePlayer::play()
{
    paused_ = false;
    if (decoder_)
        module_->setPaused(decoder_, false);
    if (state_ == State::Paused)
        setState(State::Playing);
}

void MoviePlayer::pause()
{
    paused_ = true;
    if (decoder_)
        module_->setPaused(decoder_, true);
    if (state_ == State::Playing)
        setState(State::Paused);
}

void MoviePlayer::stop()
{
    releaseDecoder();
    setState(State::Idle);
}

void MoviePlayer::seek(double seconds)
{
    if (decoder_)
        module_->seek(decoder_, seconds);
}

void MoviePlayer::setState(State state)
{
    if (state_ == state)
        return;
    state_ = state;
    if (onChange)
        onChange();
}

} // namespace platform
