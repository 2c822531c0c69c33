#pragma once

#include "platform/host/FrameRenderer.h"
#include "platform/host/FrameScaler.h"
#include "platform/host/HostAudio.h"
#include "platform/host/KeyboardInput.h"
#include "platform/host/ScreenFit.h"
#include "platform/host/TouchTranslator.h"
#include "platform/os/RunLoop.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIApplicationDelegate;
struct SDL_Renderer;
struct SDL_Texture;
struct SDL_Window;
union SDL_Event;

namespace platform::host {

struct HostOptions {
    // The window's title; empty takes the application's display name (or its name).
    std::string title;
    // Shows the screen's pixels one to one instead of fitting the display's height.
    bool actualSize = false;
    // Pixels per point of the drawing (the phone's screen scale).
    double scale = 2;
    // Where the screenshot key writes; empty: the working directory.
    std::string screenshotDirectory;
    // Plays and records through the sound device when there is one.
    bool sound = true;
    // Shows frames through the desktop's accelerated (GL) renderer instead of
    // the window's own pixels. The frames are drawn by the CPU either way; the
    // GL stack only costs memory (tens of megabytes) where it is software.
    bool accelerated = false;
};

// The phone's screen in a desktop window (SDL2): the view layer's windows are
// drawn at phone size and shown scaled to the window, the mouse becomes a
// finger, the keyboard the phone's keyboard.
//
//   mouse button      touches (tap, double tap, long press, swipe, drag a scroll view)
//   wheel             scrolls the scroll view under the pointer
//   typing            text into the focused field (an input method's text too)
//   Backspace, Return, arrows, Home, End   edit the focused field
//   Escape            the back swipe
//   F12               writes a PNG of the screen (the phone's, upright)
//
// The window follows the interface's orientation (the application's
// status-bar orientation, which a presented landscape screen turns): in
// landscape the window's sides are swapped, as a phone held on its side, and
// the phone's portrait picture is shown turned a quarter so that the
// landscape screen drawn into it reads upright; the mouse and the wheel are
// turned back the same way. The view layer is not told: it keeps drawing the
// phone's portrait screen.
//
// Everything runs on the main run loop, on the real clock: the window's event
// stream is one of the loop's descriptor sources (taken in the default mode,
// so a nested run is never re-entered by input), so the loop sleeps until an
// event, a timer or a posted task. Just before the loop sleeps, after a turn
// in which anything ran, the screen is drawn again (in every mode) and, when
// its pixels changed, only the rectangle that changed is put into the window.
// Main thread only.
class DesktopHost final {
public:
    explicit DesktopHost(HostOptions options = {});
    ~DesktopHost();
    DesktopHost(const DesktopHost&) = delete;
    DesktopHost& operator=(const DesktopHost&) = delete;

    // Opens the window (and the sound device when asked and present) and puts
    // the main loop on the real clock. Web pages opened afterwards are drawn
    // on the window's own X display. False with the reason when there is no
    // display; the sound's absence is not a failure.
    bool open(std::string* reason = nullptr);
    // Closes the window and the sound; the view layer is left as it is.
    void close();
    bool isOpen() const { return window_ != nullptr; }

    // Runs the main loop until the window is closed (or requestClose).
    void run();
    void requestClose();
    bool closeRequested() const { return closeRequested_; }

    // Takes every event the window has waiting (the loop does this by itself).
    void pumpEvents();
    // Draws the screen again when anything ran since the last drawing; true
    // when a changed frame was shown.
    bool redrawIfNeeded(bool force = false);
    // Writes the screen as a PNG into the screenshot folder; the path, or "".
    std::string writeScreenshot();

    const HostOptions& options() const { return options_; }
    const FrameRenderer& renderer() const { return renderer_; }
    TouchTranslator& touches() { return touches_; }
    KeyboardInput& keyboard() { return keyboard_; }
    const HostAudio& audio() const { return audio_; }
    // The window's title as shown.
    std::string title() const;
    // The X11 window id (0 when not on X), for tools that look at the window.
    unsigned long nativeWindowId() const;
    // Where the phone's screen is drawn in the window, in window coordinates
    // (the turned picture's box while the window is sideways).
    Viewport viewport() const;
    // The window's top left on the display, as the video driver knows it.
    Point windowPosition() const;
    // How the window shows the phone's screen now.
    ScreenTurn turn() const { return turn_; }
    // Frames shown so far.
    std::uint64_t presentedFrames() const { return presented_; }
    // The window pixels the last frame shown put into the window.
    const PixelRect& lastShownRect() const { return lastShown_; }
    // Whether frames go through the accelerated renderer (else the window's pixels).
    bool usesRenderer() const { return sdlRenderer_ != nullptr; }

    // What ended the run, when the window's events did ("" otherwise).
    const std::string& closeReason() const { return closeReason_; }

    // Handles one event as if it came from the window (tests feed their own).
    void handleEvent(const SDL_Event& event);

private:
    // What posted tasks and SDL's event watch reach the host through, so
    // that neither outlives it.
    struct Alive {
        DesktopHost* host = nullptr;
        std::weak_ptr<Alive> self;
        std::atomic<bool> pumpPosted { false };
        // Events announced by another thread and not yet looked for.
        std::atomic<bool> foreignAnnounced { false };
    };
    static int eventWatch(void* userdata, SDL_Event* event);
    // Takes the window's events on a turn of the default mode soon (from any thread).
    static void postPump(const std::weak_ptr<Alive>& weak);
    // Looks again for an event another thread announced, shortly after and
    // then later and later, since SDL queues it only after the announcement.
    void lookAgainForForeignEvent(int step);
    void beforeWaiting();
    void placeInputMethod();
    // Shows the frame: whole, or only what changed in `changed` (frame pixels).
    void present(const PixelRect* changed = nullptr);
    void presentToSurface(const PixelRect* changed);
    void presentWithRenderer(const PixelRect* changed);
    bool uploadFrame(const PixelRect* changed = nullptr);
    std::optional<Point> screenPoint(double x, double y, bool clamp) const;
    // Turns the window when the interface's orientation changed; true when it did.
    bool followInterfaceOrientation();
    // The phone's screen in pixels as the window shows it (turned).
    Size shownPixels() const;

    HostOptions options_;
    FrameRenderer renderer_;
    TouchTranslator touches_;
    KeyboardInput keyboard_;
    HostAudio audio_;
    SDL_Window* window_ = nullptr;
    SDL_Renderer* sdlRenderer_ = nullptr;
    SDL_Texture* texture_ = nullptr;
    int textureWidth_ = 0;
    int textureHeight_ = 0;
    bool videoUp_ = false;
    bool closeRequested_ = false;
    // Told the view layer that this window draws its frames (ScreenFrames).
    bool presenting_ = false;
    bool dirty_ = true;
    // What the loop's turns since the last drawing need drawn again (the
    // window's own events aside, which set dirty_ and draw it whole).
    RedrawNeed turnNeed_ = RedrawNeed::Whole;
    TurnWatch turns_;
    bool presentNeeded_ = false;
    std::uint64_t ownCallouts_ = 0;
    std::uint64_t presented_ = 0;
    int screenshotCounter_ = 0;
    FrameScaler scaler_;
    ScreenTurn turn_ = ScreenTurn::Upright;
    // The window's size and place before the last turn and what the turn gave it.
    std::optional<Size> windowSizeBeforeTurn_;
    std::optional<Size> turnedWindowSize_;
    std::optional<Point> windowPlaceBeforeTurn_;
    std::optional<Point> turnedWindowPlace_;
    // The turned frame for windows whose pixels SDL converts (kept between frames).
    std::vector<std::uint32_t> turnedFrame_;
    PixelRect lastShown_;
    Viewport inputRect_;
    RunLoop::SourceId source_ = 0;
    RunLoop::ObserverId observer_ = 0;
    RunLoop::TimerId fallbackTimer_ = 0;
    RunLoop::TimerId lookAgainTimer_ = 0;
    std::string closeReason_;
    std::shared_ptr<Alive> alive_;
};

// Runs an application in the window: opens it, launches the delegate, runs
// until the window closes, then terminates the application (it saves what it
// saves on termination). Returns 0, or 2 with the reason logged when there is
// no display (nothing is launched then).
int runApplication(std::shared_ptr<UIApplicationDelegate> delegate, const HostOptions& options = {});

} // namespace platform::host
