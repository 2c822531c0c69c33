#include "platform/host/DesktopHost.h"

#include "platform/host/X11Connection.h"
#include "platform/os/Bundle.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/uikit/ScreenFrames.h"
#include "platform/uikit/TextInputSupport.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIResponder.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"
#include "platform/uikit/WebEngine.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <ctime>
#include <unistd.h>

namespace platform::host {

namespace {

    Size screenPixels(double scale)
    {
        auto size = UIScreen::mainScreen()->bounds().size;
        return Size(std::ceil(size.width * scale), std::ceil(size.height * scale));
    }

} // namespace

DesktopHost::DesktopHost(HostOptions options)
    : options_(std::move(options))
    , renderer_(options_.scale)
{
}

DesktopHost::~DesktopHost() { close(); }

std::string DesktopHost::title() const
{
    if (!options_.title.empty())
        return options_.title;
    auto bundle = Bundle::main();
    if (bundle && bundle->displayName() && !bundle->displayName()->empty())
        return *bundle->displayName();
    if (bundle && bundle->name() && !bundle->name()->empty())
        return *bundle->name();
    return "Orb";
}

bool DesktopHost::open(std::string* reason)
{
    if (window_)
        return true;
    RunLoop::setMainThread();
    auto& loop = RunLoop::main();
    if (!loop.isCurrent()) {
        if (reason)
            *reason = "the window can only be opened on the main thread";
        return false;
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        if (reason)
            *reason = std::string("no display: ") + SDL_GetError();
        return false;
    }
    videoUp_ = true;
    // Every frame is drawn by the CPU: the window's own pixels take it as it
    // is. Left to itself SDL would put them through a GL texture, and the
    // software GL stack that comes with it (LLVM and a DRI driver) costs more
    // memory than the whole client. The accelerated path stays on request.
    SDL_SetHintWithPriority(
        SDL_HINT_FRAMEBUFFER_ACCELERATION, options_.accelerated ? "1" : "0", SDL_HINT_OVERRIDE);
    // A click on a window that is not focused still counts: a tap is a tap.
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
    // The input method draws its own candidate list: the phone's keys are not drawn here.
    SDL_SetHint(SDL_HINT_IME_SHOW_UI, "1");

    auto pixels = screenPixels(renderer_.scale());
    SDL_Rect usable {};
    // Room for the window's title bar below the usable height.
    bool knownDisplay = SDL_GetDisplayUsableBounds(0, &usable) == 0;
    double displayHeight = knownDisplay ? usable.h - 40 : 0;
    // The size for the portrait screen; an interface already in landscape
    // swaps it, at the same scale.
    auto size = initialWindowSize(pixels.width, pixels.height, displayHeight, options_.actualSize);
    turn_ = screenTurnFor(UIApplication::sharedApplication().statusBarOrientation());
    if (isSideways(turn_))
        size = swappedWindowSize(size, knownDisplay ? usable.w : 0, displayHeight);
    window_ = SDL_CreateWindow(title().c_str(), SDL_WINDOWPOS_UNDEFINED, SDL_WINDOWPOS_UNDEFINED, int(size.width),
        int(size.height), SDL_WINDOW_RESIZABLE);
    if (!window_) {
        if (reason)
            *reason = std::string("no window: ") + SDL_GetError();
        close();
        return false;
    }
    if (options_.accelerated) {
        sdlRenderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (!sdlRenderer_)
            sdlRenderer_ = SDL_CreateRenderer(window_, -1, SDL_RENDERER_SOFTWARE);
        if (!sdlRenderer_) {
            if (reason)
                *reason = std::string("no renderer: ") + SDL_GetError();
            close();
            return false;
        }
    } else if (!SDL_GetWindowSurface(window_)) {
        // A video driver without window pixels of its own (Wayland's) can
        // only show frames through its renderer.
        log("DesktopHost: the video driver %s gives no window pixels (%s); using its renderer\n",
            SDL_GetCurrentVideoDriver(), SDL_GetError());
        SDL_SetHintWithPriority(SDL_HINT_FRAMEBUFFER_ACCELERATION, "1", SDL_HINT_OVERRIDE);
        sdlRenderer_ = SDL_CreateRenderer(window_, -1, 0);
        if (!sdlRenderer_) {
            if (reason)
                *reason = std::string("no window pixels and no renderer: ") + SDL_GetError();
            close();
            return false;
        }
    }

    // Web pages are drawn on the window's own display: no second X server
    // beside the window.
    if (auto display = x11DisplayName(window_); !display.empty())
        setWebEngineDisplay(display);

    // The window is driven by a person: time is real time.
    loop.setClock(nullptr);
    alive_ = std::make_shared<Alive>();
    alive_->host = this;
    alive_->self = alive_;
    SDL_AddEventWatch(&DesktopHost::eventWatch, alive_.get());
    int fd = x11ConnectionFd(window_);
    if (fd >= 0) {
        // Input is taken in the default mode only, as the phone delivers
        // touches: a nested run (a synchronous request) is not re-entered by a tap.
        source_ = loop.addSource(
            fd, RunLoop::kReadable,
            [this](std::uint32_t) {
                ++ownCallouts_;
                pumpEvents();
            },
            kDefaultRunLoopMode);
    }
    if (!source_) {
        // Another video driver gives no descriptor to sleep on: look at its
        // events a hundred times a second instead.
        log("DesktopHost: the video driver %s gives no event descriptor; polling it\n", SDL_GetCurrentVideoDriver());
        fallbackTimer_ = loop.addTimer(
            0.01, 0.01,
            [this] {
                ++ownCallouts_;
                pumpEvents();
            },
            kDefaultRunLoopMode);
    }
    observer_ = loop.addBeforeWaitingObserver([this] { beforeWaiting(); });
    turns_.reset(loop.calloutCount() - ownCallouts_ - loop.quietCalloutCount(), textinput::CaretBlink::blinkCount());
    turnNeed_ = RedrawNeed::Whole;
    if (options_.sound) {
        std::string why;
        if (!audio_.start(&why))
            log("DesktopHost: %s; sound stays silent and timed\n", why.c_str());
    }
    SDL_StartTextInput();
    closeRequested_ = false;
    dirty_ = true;
    // Slow work that asks to see the screen first (a web page's engine
    // starting) waits for this window's frames from now on.
    ScreenFrames::setPresenting(true);
    presenting_ = true;
    return true;
}

void DesktopHost::close()
{
    touches_.cancel();
    if (presenting_) {
        // What still waits for a frame runs without one.
        ScreenFrames::setPresenting(false);
        presenting_ = false;
    }
    auto& loop = RunLoop::main();
    if (loop.isCurrent()) {
        if (observer_)
            loop.removeBeforeWaitingObserver(observer_);
        if (source_)
            loop.removeSource(source_);
        if (fallbackTimer_)
            loop.cancelTimer(fallbackTimer_);
        if (lookAgainTimer_)
            loop.cancelTimer(lookAgainTimer_);
    }
    observer_ = 0;
    lookAgainTimer_ = 0;
    source_ = 0;
    fallbackTimer_ = 0;
    if (alive_) {
        SDL_DelEventWatch(&DesktopHost::eventWatch, alive_.get());
        alive_.reset();
    }
    audio_.stop();
    if (texture_)
        SDL_DestroyTexture(texture_);
    texture_ = nullptr;
    textureWidth_ = textureHeight_ = 0;
    if (sdlRenderer_)
        SDL_DestroyRenderer(sdlRenderer_);
    sdlRenderer_ = nullptr;
    if (window_) {
        SDL_StopTextInput();
        SDL_DestroyWindow(window_);
    }
    window_ = nullptr;
    turn_ = ScreenTurn::Upright;
    windowSizeBeforeTurn_.reset();
    turnedWindowSize_.reset();
    if (videoUp_) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        videoUp_ = false;
    }
}

int DesktopHost::eventWatch(void* userdata, SDL_Event*)
{
    // Events pushed from another thread (SDL's own, or anyone's) wake the
    // main loop; on the main thread the loop is taking them already.
    if (RunLoop::isMainThread())
        return 0;
    auto* alive = static_cast<Alive*>(userdata);
    alive->foreignAnnounced = true;
    if (alive->pumpPosted.exchange(true))
        return 0;
    postPump(alive->self);
    return 0;
}

void DesktopHost::postPump(const std::weak_ptr<Alive>& weak)
{
    RunLoop::main().post([weak] {
        if (auto state = weak.lock()) {
            state->pumpPosted = false;
            ++state->host->ownCallouts_;
            state->host->pumpEvents();
            if (state->foreignAnnounced.exchange(false))
                state->host->lookAgainForForeignEvent(0);
        }
    });
}

void DesktopHost::lookAgainForForeignEvent(int step)
{
    // SDL tells its watchers of an event before it queues it, so the pump
    // posted by the announcement may find nothing yet, and the event, once
    // queued, wakes nobody. Look again after 1, 2, 4 … 256 ms (half a second
    // in all, for a pushing thread the system set aside meanwhile).
    auto& loop = RunLoop::main();
    if (lookAgainTimer_)
        loop.cancelTimer(lookAgainTimer_);
    lookAgainTimer_ = 0;
    constexpr int kSteps = 9;
    if (step >= kSteps || !window_)
        return;
    lookAgainTimer_ = loop.addTimer(
        double(1 << step) / 1000.0, 0,
        [weak = std::weak_ptr<Alive>(alive_), step] {
            if (auto state = weak.lock()) {
                state->host->lookAgainTimer_ = 0;
                ++state->host->ownCallouts_;
                state->host->pumpEvents();
                state->host->lookAgainForForeignEvent(step + 1);
            }
        },
        kDefaultRunLoopMode);
}

void DesktopHost::run()
{
    // Bounded by the person: each turn ends only when the loop is stopped.
    while (window_ && !closeRequested_)
        RunLoop::main().run();
}

void DesktopHost::requestClose()
{
    closeRequested_ = true;
    touches_.cancel();
    RunLoop::main().stop();
}

void DesktopHost::pumpEvents()
{
    if (!window_)
        return;
    SDL_Event event;
    // Bounded: a burst of events is taken whole, and new ones wake the loop again.
    for (int i = 0; i < 10000 && window_ && SDL_PollEvent(&event); ++i)
        handleEvent(event);
}

void DesktopHost::beforeWaiting()
{
    if (!window_)
        return;
    auto& loop = RunLoop::main();
    // The host's own callouts and those that changed nothing visible aside.
    std::uint64_t foreign = loop.calloutCount() - ownCallouts_ - loop.quietCalloutCount();
    auto need = turns_.look(foreign, textinput::CaretBlink::blinkCount());
    if (need != RedrawNeed::None) {
        // A turn in which only carets blinked draws only their rectangles;
        // anything else, or an event of the window's, draws it whole.
        turnNeed_ = dirty_ ? RedrawNeed::Whole : need;
        dirty_ = true;
    }
    redrawIfNeeded();
    // The glass shows the view tree as it is now: what waited for that goes
    // on, on the next turn (it is posted, so the loop does not sleep first).
    ScreenFrames::frameShown();
    placeInputMethod();
    // The application's work and the drawing both talk to the X server, and
    // Xlib may have read events meanwhile that the descriptor will not
    // announce again: take them on the next turn.
    if (window_ && alive_) {
        SDL_PumpEvents();
        if (SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) > 0
            && !alive_->pumpPosted.exchange(true))
            postPump(alive_);
    }
}

void DesktopHost::placeInputMethod()
{
    // An input method (Chinese, say) shows its candidates beside the field being typed in.
    auto view = std::dynamic_pointer_cast<UIView>(UIResponder::currentFirstResponder());
    if (!view || !view->window()) {
        inputRect_ = {};
        return;
    }
    auto window = view->window();
    auto b = view->bounds();
    auto topLeft = view->convertPointToView(Point(b.origin.x, b.origin.y), nullptr);
    auto f = window->frame();
    auto screen = UIScreen::mainScreen()->bounds().size;
    auto v = viewport();
    if (screen.width <= 0 || screen.height <= 0)
        return;
    // The field's corners where the window shows them (turned with the picture).
    auto a = screenToWindow(v, screen, Point(topLeft.x + f.origin.x, topLeft.y + f.origin.y), turn_);
    auto c = screenToWindow(
        v, screen, Point(topLeft.x + f.origin.x + b.size.width, topLeft.y + f.origin.y + b.size.height), turn_);
    Viewport rect { std::min(a.x, c.x), std::min(a.y, c.y), std::fabs(c.x - a.x), std::fabs(c.y - a.y) };
    if (rect == inputRect_)
        return;
    inputRect_ = rect;
    SDL_Rect area { int(std::lround(rect.x)), int(std::lround(rect.y)), int(std::lround(rect.width)),
        int(std::lround(rect.height)) };
    SDL_SetTextInputRect(&area);
}

bool DesktopHost::followInterfaceOrientation()
{
    auto wanted = screenTurnFor(UIApplication::sharedApplication().statusBarOrientation());
    if (wanted == turn_)
        return false;
    bool resize = isSideways(wanted) != isSideways(turn_);
    turn_ = wanted;
    // A finger down as the picture turns would be somewhere else under the
    // pointer: it leaves the glass.
    if (touches_.isPressed())
        touches_.cancel();
    inputRect_ = {};
    if (resize) {
        int width = 0;
        int height = 0;
        SDL_GetWindowSize(window_, &width, &height);
        Size now(width, height);
        const Point at = windowPosition();
        SDL_Rect usable {};
        int display = SDL_GetWindowDisplayIndex(window_);
        bool known = display >= 0 && SDL_GetDisplayUsableBounds(display, &usable) == 0;
        Size size;
        std::optional<Point> place;
        if (turnedWindowSize_ && now == *turnedWindowSize_ && windowSizeBeforeTurn_) {
            // Turning back a window nobody resized meanwhile: the size it had,
            // even where the display made the turned one smaller, and where
            // nobody moved it either, the place it had, even where the turned
            // one had to be moved onto the display.
            size = *windowSizeBeforeTurn_;
            if (turnedWindowPlace_ && at == *turnedWindowPlace_ && windowPlaceBeforeTurn_)
                place = windowPlaceBeforeTurn_;
        } else {
            size = swappedWindowSize(now, known ? usable.w : 0, known ? usable.h - 40 : 0);
        }
        windowSizeBeforeTurn_.reset();
        turnedWindowSize_.reset();
        windowPlaceBeforeTurn_.reset();
        turnedWindowPlace_.reset();
        if (size.width > 0 && size.height > 0) {
            if (!place) {
                // Turned about its centre, as a phone turns in the hand; and
                // wider than before, kept on the display.
                double x = at.x + (now.width - size.width) / 2;
                double y = at.y + (now.height - size.height) / 2;
                if (known) {
                    x = std::max(double(usable.x), std::min(x, double(usable.x + usable.w) - size.width));
                    y = std::max(double(usable.y), std::min(y, double(usable.y + usable.h) - size.height));
                }
                place = Point(std::round(x), std::round(y));
            }
            SDL_SetWindowSize(window_, int(size.width), int(size.height));
            if (*place != at)
                SDL_SetWindowPosition(window_, int(place->x), int(place->y));
            windowSizeBeforeTurn_ = now;
            turnedWindowSize_ = size;
            windowPlaceBeforeTurn_ = at;
            turnedWindowPlace_ = windowPosition();
        }
    }
    // The whole window again, the surround included.
    presentNeeded_ = true;
    return true;
}

Size DesktopHost::shownPixels() const { return turnedSize(screenPixels(renderer_.scale()), turn_); }

bool DesktopHost::redrawIfNeeded(bool force)
{
    if (!window_)
        return false;
    followInterfaceOrientation();
    if (!dirty_ && !force) {
        if (presentNeeded_)
            present();
        return false;
    }
    dirty_ = false;
    bool onlyRequested = turnNeed_ == RedrawNeed::Requested && !force && !presentNeeded_ && presented_ > 0;
    turnNeed_ = RedrawNeed::Whole;
    bool changed = onlyRequested ? renderer_.redrawRequested() : renderer_.redraw();
    if (presentNeeded_ || presented_ == 0) {
        uploadFrame();
        present();
    } else if (changed) {
        auto rect = renderer_.changedRect();
        uploadFrame(&rect);
        present(&rect);
    }
    return changed;
}

bool DesktopHost::uploadFrame(const PixelRect* changed)
{
    const auto& frame = renderer_.frame();
    if (!sdlRenderer_ || frame.isNull())
        return false;
    bool sameTexture = texture_ && textureWidth_ == frame.pixelWidth() && textureHeight_ == frame.pixelHeight();
    if (sameTexture && changed) {
        if (changed->isEmpty())
            return true;
        SDL_Rect area { changed->x, changed->y, changed->width, changed->height };
        const auto* first = frame.pixels().data()
            + (std::size_t(changed->y) * std::size_t(frame.pixelWidth()) + std::size_t(changed->x)) * 4;
        return SDL_UpdateTexture(texture_, &area, first, frame.pixelWidth() * 4) == 0;
    }
    if (!texture_ || textureWidth_ != frame.pixelWidth() || textureHeight_ != frame.pixelHeight()) {
        if (texture_)
            SDL_DestroyTexture(texture_);
        texture_ = SDL_CreateTexture(
            sdlRenderer_, SDL_PIXELFORMAT_RGBA32, SDL_TEXTUREACCESS_STREAMING, frame.pixelWidth(), frame.pixelHeight());
        if (!texture_) {
            log("DesktopHost: no texture: %s\n", SDL_GetError());
            textureWidth_ = textureHeight_ = 0;
            return false;
        }
        SDL_SetTextureBlendMode(texture_, SDL_BLENDMODE_NONE);
        textureWidth_ = frame.pixelWidth();
        textureHeight_ = frame.pixelHeight();
    }
    return SDL_UpdateTexture(texture_, nullptr, frame.pixels().data(), frame.pixelWidth() * 4) == 0;
}

void DesktopHost::present(const PixelRect* changed)
{
    presentNeeded_ = false;
    if (!window_)
        return;
    if (sdlRenderer_)
        presentWithRenderer(changed);
    else
        presentToSurface(changed);
}

void DesktopHost::presentToSurface(const PixelRect* changed)
{
    // The surface is the window's: SDL makes a new one when the window's size changes.
    SDL_Surface* surface = SDL_GetWindowSurface(window_);
    if (!surface) {
        log("DesktopHost: no window pixels: %s\n", SDL_GetError());
        return;
    }
    const auto& frame = renderer_.frame();
    const auto& words = renderer_.frameWords();
    int frameWidth = frame.pixelWidth();
    int frameHeight = frame.pixelHeight();
    bool hasFrame = !frame.isNull() && words.size() == std::size_t(frameWidth) * std::size_t(frameHeight);
    if (changed && (changed->isEmpty() || !hasFrame))
        return;
    auto picture = turnedSize(Size(frameWidth, frameHeight), turn_);
    auto v = fitViewport(picture.width, picture.height, surface->w, surface->h);
    PixelRect target { int(std::lround(v.x)), int(std::lround(v.y)), int(std::lround(v.width)),
        int(std::lround(v.height)) };
    const SDL_PixelFormat* format = surface->format;
    bool wordPixels = format->BytesPerPixel == 4;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
        return;
    PixelRect shown;
    if (!changed) {
        // The whole window: the letterbox is the phone's black surround.
        SDL_FillRect(surface, nullptr, SDL_MapRGB(format, 0, 0, 0));
        shown = { 0, 0, surface->w, surface->h };
    }
    if (hasFrame && wordPixels) {
        PixelLayout layout;
        layout.redShift = format->Rshift;
        layout.greenShift = format->Gshift;
        layout.blueShift = format->Bshift;
        layout.opaqueBits = format->Amask;
        PixelRect whole { 0, 0, frameWidth, frameHeight };
        auto written = scaler_.put(words.data(), frameWidth, frameHeight, changed ? *changed : whole,
            static_cast<std::uint8_t*>(surface->pixels), surface->pitch, surface->w, surface->h, target, layout, turn_);
        if (changed)
            shown = written;
    }
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
    if (hasFrame && !wordPixels) {
        // A window of another depth: SDL converts (and scales) the whole
        // frame, turned first into a buffer kept for the next one.
        const void* pixels = frame.pixels().data();
        int width = frameWidth;
        int height = frameHeight;
        if (isSideways(turn_)) {
            turnedFrame_.resize(std::size_t(frameWidth) * std::size_t(frameHeight));
            turnPixels(reinterpret_cast<const std::uint32_t*>(frame.pixels().data()), frameWidth, frameHeight, turn_,
                turnedFrame_.data());
            pixels = turnedFrame_.data();
            std::swap(width, height);
        }
        SDL_Surface* source = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<void*>(pixels), width, height, 32, width * 4, SDL_PIXELFORMAT_RGBA32);
        if (source) {
            SDL_Rect area { target.x, target.y, target.width, target.height };
            SDL_BlitScaled(source, nullptr, surface, &area);
            SDL_FreeSurface(source);
        }
        shown = { 0, 0, surface->w, surface->h };
    }
    if (shown.isEmpty())
        return;
    SDL_Rect area { shown.x, shown.y, shown.width, shown.height };
    if (SDL_UpdateWindowSurfaceRects(window_, &area, 1) != 0) {
        log("DesktopHost: the window did not take the frame: %s\n", SDL_GetError());
        return;
    }
    lastShown_ = shown;
    ++presented_;
}

void DesktopHost::presentWithRenderer(const PixelRect*)
{
    int width = 0;
    int height = 0;
    SDL_GetRendererOutputSize(sdlRenderer_, &width, &height);
    SDL_SetRenderDrawColor(sdlRenderer_, 0, 0, 0, 255);
    SDL_RenderClear(sdlRenderer_);
    if (texture_) {
        auto shown = turnedSize(Size(textureWidth_, textureHeight_), turn_);
        auto v = fitViewport(shown.width, shown.height, width, height);
        if (!isSideways(turn_)) {
            SDL_Rect target { int(std::lround(v.x)), int(std::lround(v.y)), int(std::lround(v.width)),
                int(std::lround(v.height)) };
            SDL_RenderCopy(sdlRenderer_, texture_, nullptr, &target);
        } else {
            // The upright texture in a box of its own shape about the
            // viewport's centre, turned about that centre onto the viewport.
            double cx = v.x + v.width / 2;
            double cy = v.y + v.height / 2;
            SDL_Rect target { int(std::lround(cx - v.height / 2)), int(std::lround(cy - v.width / 2)),
                int(std::lround(v.height)), int(std::lround(v.width)) };
            double angle = turn_ == ScreenTurn::Clockwise ? 90 : -90;
            SDL_RenderCopyEx(sdlRenderer_, texture_, nullptr, &target, angle, nullptr, SDL_FLIP_NONE);
        }
    }
    SDL_RenderPresent(sdlRenderer_);
    lastShown_ = { 0, 0, width, height };
    ++presented_;
}

Viewport DesktopHost::viewport() const
{
    if (!window_)
        return {};
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window_, &width, &height);
    auto pixels = shownPixels();
    return fitViewport(pixels.width, pixels.height, width, height);
}

std::optional<Point> DesktopHost::screenPoint(double x, double y, bool clamp) const
{
    return windowToScreen(viewport(), UIScreen::mainScreen()->bounds().size, Point(x, y), clamp, turn_);
}

unsigned long DesktopHost::nativeWindowId() const { return x11WindowId(window_); }

Point DesktopHost::windowPosition() const
{
    int x = 0;
    int y = 0;
    if (window_)
        SDL_GetWindowPosition(window_, &x, &y);
    return Point(x, y);
}

std::string DesktopHost::writeScreenshot()
{
    std::string directory = options_.screenshotDirectory;
    if (directory.empty()) {
        char cwd[4096];
        directory = getcwd(cwd, sizeof cwd) ? cwd : ".";
    }
    auto image = renderer_.renderScreen();
    if (!image)
        return "";
    char stamp[32];
    std::time_t now = std::time(nullptr);
    std::tm local {};
    localtime_r(&now, &local);
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    auto path = FileUtil::joinPath(
        directory, "screen-" + std::string(stamp) + "-" + std::to_string(++screenshotCounter_) + ".png");
    if (!image->writePNG(path)) {
        log("DesktopHost: cannot write %s\n", path.c_str());
        return "";
    }
    log("DesktopHost: screen written to %s\n", path.c_str());
    return path;
}

void DesktopHost::handleEvent(const SDL_Event& event)
{
    switch (event.type) {
    case SDL_QUIT:
        closeReason_ = "the system asked it to quit";
        requestClose();
        break;
    case SDL_WINDOWEVENT:
        switch (event.window.event) {
        case SDL_WINDOWEVENT_CLOSE:
            closeReason_ = "its window was closed";
            requestClose();
            break;
        case SDL_WINDOWEVENT_EXPOSED:
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_RESIZED:
        case SDL_WINDOWEVENT_SHOWN:
            presentNeeded_ = true;
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            if (touches_.isPressed()) {
                touches_.cancel();
                dirty_ = true;
            }
            break;
        default:
            break;
        }
        break;
    case SDL_RENDER_TARGETS_RESET:
    case SDL_RENDER_DEVICE_RESET:
        // The texture's pixels are gone: upload the frame again.
        if (texture_ && event.type == SDL_RENDER_DEVICE_RESET) {
            SDL_DestroyTexture(texture_);
            texture_ = nullptr;
        }
        textureWidth_ = textureHeight_ = 0;
        uploadFrame();
        presentNeeded_ = true;
        break;
    case SDL_MOUSEBUTTONDOWN:
        if (event.button.button == SDL_BUTTON_LEFT) {
            if (auto p = screenPoint(event.button.x, event.button.y, false)) {
                touches_.press(*p);
                dirty_ = true;
            }
        }
        break;
    case SDL_MOUSEMOTION:
        if (touches_.isPressed() && (event.motion.state & SDL_BUTTON_LMASK)) {
            if (auto p = screenPoint(event.motion.x, event.motion.y, true)) {
                touches_.move(*p);
                dirty_ = true;
            }
        }
        break;
    case SDL_MOUSEBUTTONUP:
        if (event.button.button == SDL_BUTTON_LEFT && touches_.isPressed()) {
            if (auto p = screenPoint(event.button.x, event.button.y, true))
                touches_.release(*p);
            else
                touches_.cancel();
            dirty_ = true;
        }
        break;
    case SDL_MOUSEWHEEL: {
        double dx = event.wheel.preciseX;
        double dy = event.wheel.preciseY;
        if (event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) {
            dx = -dx;
            dy = -dy;
        }
        // The wheel drags the content as a finger would along the window's
        // axes, turned back onto the phone's screen.
        auto drag = windowDirectionToScreen(Point(-dx, dy), turn_);
        if (auto p = screenPoint(event.wheel.mouseX, event.wheel.mouseY, false))
            dirty_ = touches_.wheel(*p, drag.x, drag.y) || dirty_;
        break;
    }
    case SDL_TEXTINPUT:
        dirty_ = keyboard_.typeText(event.text.text) || dirty_;
        break;
    case SDL_KEYDOWN:
        switch (event.key.keysym.sym) {
        case SDLK_BACKSPACE:
            keyboard_.backspace();
            break;
        case SDLK_RETURN:
        case SDLK_KP_ENTER:
            keyboard_.returnKey();
            break;
        case SDLK_LEFT:
            keyboard_.arrow(KeyboardInput::Arrow::Left);
            break;
        case SDLK_RIGHT:
            keyboard_.arrow(KeyboardInput::Arrow::Right);
            break;
        case SDLK_UP:
            keyboard_.arrow(KeyboardInput::Arrow::Up);
            break;
        case SDLK_DOWN:
            keyboard_.arrow(KeyboardInput::Arrow::Down);
            break;
        case SDLK_HOME:
            keyboard_.arrow(KeyboardInput::Arrow::Home);
            break;
        case SDLK_END:
            keyboard_.arrow(KeyboardInput::Arrow::End);
            break;
        case SDLK_ESCAPE:
            if (!event.key.repeat)
                performBackSwipe();
            break;
        case SDLK_F12:
            if (!event.key.repeat)
                writeScreenshot();
            break;
        default:
            return;
        }
        dirty_ = true;
        break;
    default:
        break;
    }
}

int runApplication(std::shared_ptr<UIApplicationDelegate> delegate, const HostOptions& options)
{
    DesktopHost host(options);
    std::string reason;
    if (!host.open(&reason)) {
        log("The window cannot open (%s)\n", reason.c_str());
        return 2;
    }
    auto& application = UIApplication::sharedApplication();
    application.setDelegate(std::move(delegate));
    application.launch();
    host.run();
    // Closing the window ends the application the way the phone ends it.
    application.terminate();
    host.close();
    return 0;
}

} // namespace platform::host
