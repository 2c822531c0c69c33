#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What the decoder module (orb_moviedecoder.so) gives the movie player: one
// table of plain functions, found by name once the module is open. The module
// is the only code that speaks to libmpv; the player opens it on the first
// movie it loads, so that a program that never plays one never maps libmpv
// and the libraries it brings. The module needs nothing of the program.
namespace platform {

// One decoder: a libmpv player with its picture output, made for one
// MoviePlayer and destroyed with it or when it stops.
struct MovieDecoderHandle;

struct MovieDecoderEvent {
    enum class Kind {
        None, // nothing more for now
        FileLoaded,
        Ended, // the movie played to its end
        Failed, // it could not be opened or played: `code`, `text`
        Position, // `value` seconds
        Duration, // `value` seconds
        Paused, // `flag`
        Restarted, // a seek (or the start) is done: the picture is the one it went to
        Other,
    };
    Kind kind = Kind::None;
    double value = 0;
    bool flag = false;
    int code = 0;
    std::string text;
};

struct MovieDecoderModuleTable {
    // Bumped whenever the table or the event changes, so that a module of
    // another build is refused rather than called wrongly.
    int version;
    // A started decoder, or nothing with `*code` and `*error` saying why.
    // `wake` is called on the decoder's threads whenever an event or a frame
    // is ready, and never again once `destroy` has returned.
    MovieDecoderHandle* (*create)(
        const char* audioOutput, void (*wake)(void*), void* wakeData, int* code, std::string* error);
    // Stops the decoder's threads and frees everything it holds.
    void (*destroy)(MovieDecoderHandle*);
    // Asynchronous: their effects come back as events.
    void (*load)(MovieDecoderHandle*, const char* url);
    void (*setPaused)(MovieDecoderHandle*, bool paused);
    void (*stop)(MovieDecoderHandle*);
    void (*seek)(MovieDecoderHandle*, double seconds);
    // The next waiting event (Kind::None when there is none); never blocks.
    void (*nextEvent)(MovieDecoderHandle*, MovieDecoderEvent* event);
    // Whether a new frame is ready to be drawn.
    bool (*frameReady)(MovieDecoderHandle*);
    // Draws the current frame into 32-bit pixels, blue, green, red, then an
    // undefined byte; false when nothing was drawn.
    bool (*draw)(MovieDecoderHandle*, int width, int height, std::size_t stride, std::uint8_t* pixels);
};

inline constexpr int kMovieDecoderModuleVersion = 2;
inline constexpr const char* kMovieDecoderModuleEntry = "orbMovieDecoderModule";
inline constexpr const char* kMovieDecoderModuleFile = "orb_moviedecoder.so";

// Where this build put the module: defined by a source the build writes (the
// program's side only; the module has no use for it).
const char* movieDecoderBuildPath();

} // namespace platform

extern "C" const platform::MovieDecoderModuleTable* orbMovieDecoderModule();
