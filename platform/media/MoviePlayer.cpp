// The one file of the program that speaks to libmpv.
#include "platform/media/MoviePlayer.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace platform {

namespace {

    constexpr const char* kErrorDomain = "MoviePlayerErrorDomain";
    constexpr std::uint64_t kTimePos = 1;
    constexpr std::uint64_t kDuration = 2;
    constexpr std::uint64_t kPause = 3;
    constexpr std::size_t kAlignment = 64;
    // Frames are drawn at this size until the view says otherwise, so that
    // the decoder never waits on a frame nobody draws.
    constexpr int kDefaultWidth = 640;
    constexpr int kDefaultHeight = 360;

    void signal(int fd)
    {
        std::uint64_t one = 1;
        [[maybe_unused]] auto written = ::write(fd, &one, sizeof one);
    }

} // namespace

struct MoviePlayer::Decoder {
    mpv_handle* mpv = nullptr;
    mpv_render_context* render = nullptr;
    // The eventfd the decoder's threads write to; owned by the player.
    int fd = -1;

    ~Decoder()
    {
        // The render context goes first: the decoder may not be destroyed
        // while it exists, and afterwards neither callback runs again.
        if (render)
            mpv_render_context_free(render);
        if (mpv)
            mpv_terminate_destroy(mpv);
    }
};

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
    auto fail = [&](const std::string& what, int code) {
        setError(error, Error::withDescription(kErrorDomain, code, what));
        return false;
    };
    // The decoder reads numbers in the C locale's form and refuses to start otherwise.
    std::setlocale(LC_NUMERIC, "C");
    eventFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (eventFd_ < 0)
        return fail("no event descriptor", -1);
    decoder_ = std::make_unique<Decoder>();
    decoder_->fd = eventFd_;
    decoder_->mpv = mpv_create();
    if (!decoder_->mpv)
        return fail("the movie decoder could not be created", MPV_ERROR_NOMEM);
    mpv_handle* mpv = decoder_->mpv;
    // Embedded: nothing of the stand-alone player's files, scripts, key
    // bindings, terminal or downloader; decoding on the CPU.
    const std::pair<const char*, const char*> settings[] = {
        { "config", "no" },
        { "load-scripts", "no" },
        { "ytdl", "no" },
        { "input-default-bindings", "no" },
        { "input-vo-keyboard", "no" },
        { "terminal", "no" },
        { "osc", "no" },
        { "hwdec", "no" },
        { "vo", "libmpv" },
        { "ao", options_.audioOutput.c_str() },
        { "audio-client-name", "orb-client" },
        { "idle", "yes" },
        { "keep-open", "no" },
        { "hr-seek", "yes" },
        { "network-timeout", "10" },
        { "sub-auto", "no" },
        { "audio-file-auto", "no" },
    };
    for (const auto& [name, value] : settings) {
        int status = mpv_set_option_string(mpv, name, value);
        if (status < 0)
            return fail(std::string("option ") + name + ": " + mpv_error_string(status), status);
    }
    if (int status = mpv_initialize(mpv); status < 0)
        return fail(std::string("the movie decoder did not start: ") + mpv_error_string(status), status);

    mpv_render_param params[] = {
        { MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW) },
        { MPV_RENDER_PARAM_INVALID, nullptr },
    };
    if (int status = mpv_render_context_create(&decoder_->render, mpv, params); status < 0)
        return fail(std::string("no picture output: ") + mpv_error_string(status), status);

    mpv_observe_property(mpv, kTimePos, "time-pos", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, kDuration, "duration", MPV_FORMAT_DOUBLE);
    mpv_observe_property(mpv, kPause, "pause", MPV_FORMAT_FLAG);

    // Both callbacks come from the decoder's threads: they only wake our loop.
    auto wakeUp = [](void* data) { signal(static_cast<Decoder*>(data)->fd); };
    mpv_set_wakeup_callback(mpv, wakeUp, decoder_.get());
    mpv_render_context_set_update_callback(decoder_->render, wakeUp, decoder_.get());

    loop_ = &RunLoop::current();
    std::weak_ptr<MoviePlayer> weak = weak_from_this();
    source_ = loop_->addSource(eventFd_, EPOLLIN, [weak](std::uint32_t) {
        if (auto self = weak.lock())
            self->wake();
    });
    setFrameSize(kDefaultWidth, kDefaultHeight);
    return true;
}

MoviePlayer::~MoviePlayer()
{
    decoder_.reset();
    if (loop_ && source_)
        loop_->removeSource(source_);
    if (eventFd_ >= 0)
        ::close(eventFd_);
}

void MoviePlayer::wake()
{
    std::uint64_t count = 0;
    [[maybe_unused]] auto got = ::read(eventFd_, &count, sizeof count);
    // Keep ourselves alive through callbacks that may drop the last owner.
    auto keep = shared_from_this();
    handleEvents();
    if (decoder_ && decoder_->render && (mpv_render_context_update(decoder_->render) & MPV_RENDER_UPDATE_FRAME))
        drawFrame();
}

void MoviePlayer::handleEvents()
{
    while (decoder_) {
        mpv_event* event = mpv_wait_event(decoder_->mpv, 0);
        if (event->event_id == MPV_EVENT_NONE)
            break;
        switch (event->event_id) {
        case MPV_EVENT_FILE_LOADED:
            setState(paused_ ? State::Paused : State::Playing);
            break;
        case MPV_EVENT_END_FILE: {
            auto* end = static_cast<mpv_event_end_file*>(event->data);
            if (end->reason == MPV_END_FILE_REASON_EOF) {
                setState(State::Ended);
            } else if (end->reason == MPV_END_FILE_REASON_ERROR) {
                error_ = Error::withDescription(kErrorDomain, end->error, mpv_error_string(end->error));
                setState(State::Failed);
            }
            break;
        }
        case MPV_EVENT_PROPERTY_CHANGE: {
            auto* property = static_cast<mpv_event_property*>(event->data);
            if (event->reply_userdata == kTimePos && property->format == MPV_FORMAT_DOUBLE)
                position_ = *static_cast<double*>(property->data);
            else if (event->reply_userdata == kDuration && property->format == MPV_FORMAT_DOUBLE)
                duration_ = *static_cast<double*>(property->data);
            else if (event->reply_userdata == kPause && property->format == MPV_FORMAT_FLAG) {
                paused_ = *static_cast<int*>(property->data) != 0;
                if (state_ == State::Playing || state_ == State::Paused)
                    setState(paused_ ? State::Paused : State::Playing);
            }
            if (onChange)
                onChange();
            break;
        }
        default:
            break;
        }
    }
}

void MoviePlayer::drawFrame()
{
    if (!buffer_ || width_ <= 0 || height_ <= 0)
        return;
    int size[2] = { width_, height_ };
    char format[] = "bgr0";
    std::size_t stride = stride_;
    mpv_render_param params[] = {
        { MPV_RENDER_PARAM_SW_SIZE, size },
        { MPV_RENDER_PARAM_SW_FORMAT, format },
        { MPV_RENDER_PARAM_SW_STRIDE, &stride },
        { MPV_RENDER_PARAM_SW_POINTER, buffer_.get() },
        { MPV_RENDER_PARAM_INVALID, nullptr },
    };
    if (mpv_render_context_render(decoder_->render, params) < 0)
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
    if (decoder_ && decoder_->render && state_ != State::Idle)
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
    setState(State::Loading);
    const char* command[] = { "loadfile", url.c_str(), nullptr };
    mpv_command_async(decoder_->mpv, 0, command);
}

void MoviePlayer::play()
{
    paused_ = false;
    int flag = 0;
    mpv_set_property_async(decoder_->mpv, 0, "pause", MPV_FORMAT_FLAG, &flag);
    if (state_ == State::Paused)
        setState(State::Playing);
}

void MoviePlayer::pause()
{
    paused_ = true;
    int flag = 1;
    mpv_set_property_async(decoder_->mpv, 0, "pause", MPV_FORMAT_FLAG, &flag);
    if (state_ == State::Playing)
        setState(State::Paused);
}

void MoviePlayer::stop()
{
    const char* command[] = { "stop", nullptr };
    mpv_command_async(decoder_->mpv, 0, command);
    setState(State::Idle);
}

void MoviePlayer::seek(double seconds)
{
    char target[32];
    std::snprintf(target, sizeof target, "%.3f", seconds);
    const char* command[] = { "seek", target, "absolute+exact", nullptr };
    mpv_command_async(decoder_->mpv, 0, command);
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
