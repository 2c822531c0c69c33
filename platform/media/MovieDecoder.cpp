// The decoder module: the one file of the program that speaks to libmpv,
// built as orb_moviedecoder.so and opened by MoviePlayer on its first load.
#include "platform/media/MovieDecoderModule.h"

#include <mpv/client.h>
#include <mpv/render.h>

#include <clocale>
#include <cstdio>
#include <new>
#include <utility>

namespace platform {

struct MovieDecoderHandle {
    mpv_handle* mpv = nullptr;
    mpv_render_context* render = nullptr;
    void (*wake)(void*) = nullptr;
    void* wakeData = nullptr;
};

namespace {

    constexpr std::uint64_t kTimePos = 1;
    constexpr std::uint64_t kDuration = 2;
    constexpr std::uint64_t kPause = 3;

    void wakeUp(void* data)
    {
        auto* decoder = static_cast<MovieDecoderHandle*>(data);
        decoder->wake(decoder->wakeData);
    }

    void destroyDecoder(MovieDecoderHandle* decoder)
    {
        if (!decoder)
            return;
        // The render context goes first: the decoder may not be destroyed
        // while it exists, and afterwards neither callback runs again. Both
        // calls return once the decoder's threads have ended, its picture
        // output and its caches freed.
        if (decoder->render)
            mpv_render_context_free(decoder->render);
        if (decoder->mpv)
            mpv_terminate_destroy(decoder->mpv);
        delete decoder;
    }

    MovieDecoderHandle* createDecoder(
        const char* audioOutput, void (*wake)(void*), void* wakeData, int* code, std::string* error)
    {
        auto fail = [&](MovieDecoderHandle* decoder, std::string what, int status) -> MovieDecoderHandle* {
            *code = status;
            *error = std::move(what);
            destroyDecoder(decoder);
            return nullptr;
        };
        // The decoder reads numbers in the C locale's form and refuses to start otherwise.
        std::setlocale(LC_NUMERIC, "C");
        auto* decoder = new (std::nothrow) MovieDecoderHandle { nullptr, nullptr, wake, wakeData };
        if (!decoder)
            return fail(nullptr, "out of memory", MPV_ERROR_NOMEM);
        decoder->mpv = mpv_create();
        if (!decoder->mpv)
            return fail(decoder, "the movie decoder could not be created", MPV_ERROR_NOMEM);
        mpv_handle* mpv = decoder->mpv;
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
            { "ao", audioOutput },
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
                return fail(decoder, std::string("option ") + name + ": " + mpv_error_string(status), status);
        }
        if (int status = mpv_initialize(mpv); status < 0)
            return fail(decoder, std::string("the movie decoder did not start: ") + mpv_error_string(status), status);

        mpv_render_param params[] = {
            { MPV_RENDER_PARAM_API_TYPE, const_cast<char*>(MPV_RENDER_API_TYPE_SW) },
            { MPV_RENDER_PARAM_INVALID, nullptr },
        };
        if (int status = mpv_render_context_create(&decoder->render, mpv, params); status < 0)
            return fail(decoder, std::string("no picture output: ") + mpv_error_string(status), status);

        mpv_observe_property(mpv, kTimePos, "time-pos", MPV_FORMAT_DOUBLE);
        mpv_observe_property(mpv, kDuration, "duration", MPV_FORMAT_DOUBLE);
        mpv_observe_property(mpv, kPause, "pause", MPV_FORMAT_FLAG);

        // Both callbacks come from the decoder's threads.
        mpv_set_wakeup_callback(mpv, wakeUp, decoder);
        mpv_render_context_set_update_callback(decoder->render, wakeUp, decoder);
        return decoder;
    }

    void load(MovieDecoderHandle* decoder, const char* url)
    {
        const char* command[] = { "loadfile", url, nullptr };
        mpv_command_async(decoder->mpv, 0, command);
    }

    void setPaused(MovieDecoderHandle* decoder, bool paused)
    {
        int flag = paused ? 1 : 0;
        mpv_set_property_async(decoder->mpv, 0, "pause", MPV_FORMAT_FLAG, &flag);
    }

    void stop(MovieDecoderHandle* decoder)
    {
        const char* command[] = { "stop", nullptr };
        mpv_command_async(decoder->mpv, 0, command);
    }

    void seek(MovieDecoderHandle* decoder, double seconds)
    {
        char target[32];
        std::snprintf(target, sizeof target, "%.3f", seconds);
        const char* command[] = { "seek", target, "absolute+exact", nullptr };
        mpv_command_async(decoder->mpv, 0, command);
    }

    void nextEvent(MovieDecoderHandle* decoder, MovieDecoderEvent* out)
    {
        using Kind = MovieDecoderEvent::Kind;
        *out = MovieDecoderEvent {};
        mpv_event* event = mpv_wait_event(decoder->mpv, 0);
        switch (event->event_id) {
        case MPV_EVENT_NONE:
            return;
        case MPV_EVENT_PLAYBACK_RESTART:
            out->kind = Kind::Restarted;
            return;
        case MPV_EVENT_FILE_LOADED:
            out->kind = Kind::FileLoaded;
            return;
        case MPV_EVENT_END_FILE: {
            auto* end = static_cast<mpv_event_end_file*>(event->data);
            if (end->reason == MPV_END_FILE_REASON_EOF) {
                out->kind = Kind::Ended;
            } else if (end->reason == MPV_END_FILE_REASON_ERROR) {
                out->kind = Kind::Failed;
                out->code = end->error;
                out->text = mpv_error_string(end->error);
            } else {
                out->kind = Kind::Other;
            }
            return;
        }
        case MPV_EVENT_PROPERTY_CHANGE: {
            auto* property = static_cast<mpv_event_property*>(event->data);
            out->kind = Kind::Other;
            if (event->reply_userdata == kTimePos && property->format == MPV_FORMAT_DOUBLE) {
                out->kind = Kind::Position;
                out->value = *static_cast<double*>(property->data);
            } else if (event->reply_userdata == kDuration && property->format == MPV_FORMAT_DOUBLE) {
                out->kind = Kind::Duration;
                out->value = *static_cast<double*>(property->data);
            } else if (event->reply_userdata == kPause && property->format == MPV_FORMAT_FLAG) {
                out->kind = Kind::Paused;
                out->flag = *static_cast<int*>(property->data) != 0;
            }
            return;
        }
        default:
            out->kind = Kind::Other;
            return;
        }
    }

    bool frameReady(MovieDecoderHandle* decoder)
    {
        return (mpv_render_context_update(decoder->render) & MPV_RENDER_UPDATE_FRAME) != 0;
    }

    bool draw(MovieDecoderHandle* decoder, int width, int height, std::size_t stride, std::uint8_t* pixels)
    {
        int size[2] = { width, height };
        char format[] = "bgr0";
        mpv_render_param params[] = {
            { MPV_RENDER_PARAM_SW_SIZE, size },
            { MPV_RENDER_PARAM_SW_FORMAT, format },
            { MPV_RENDER_PARAM_SW_STRIDE, &stride },
            { MPV_RENDER_PARAM_SW_POINTER, pixels },
            { MPV_RENDER_PARAM_INVALID, nullptr },
        };
        return mpv_render_context_render(decoder->render, params) >= 0;
    }

    const MovieDecoderModuleTable kTable {
        kMovieDecoderModuleVersion,
        createDecoder,
        destroyDecoder,
        load,
        setPaused,
        stop,
        seek,
        nextEvent,
        frameReady,
        draw,
    };

} // namespace

} // namespace platform

extern "C" __attribute__((visibility("default"))) const platform::MovieDecoderModuleTable* orbMovieDecoderModule()
{
    return &platform::kTable;
}
