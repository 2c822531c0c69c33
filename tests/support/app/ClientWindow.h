#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/host/ScreenFit.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <array>
#include <optional>
#include <string>
#include <sys/types.h>
#include <vector>

// The client program (orb-client) in a window of an X server the caller
// started (XvfbDisplay), against a stand-in server the caller runs, driven
// from outside by synthetic X input (xdotool) and looked at as a person sees
// it (ImageMagick's import). Where to click and what the screens look like
// come from the same client run in the harness, so the callers follow the
// layouts instead of copying their numbers.
namespace testsupport {

// The signed-in demo teacher's main screen, as the harness draws it.
struct SignedInScreens {
    std::array<ScreenSpot, 5> tabButtons {};
    std::vector<platform::Image> tabScreens; // one per tab
    long firstTab = 0; // the tab shown after signing in
    // The first conversation in the message tab (one from the demo parent 张伟
    // whom the caller has the server deliver), the chat it opens, and its text field.
    ScreenSpot firstConversation;
    platform::Image messageTabWithConversation { 1, 1 };
    platform::Image chat { 1, 1 };
    ScreenSpot chatField;
};

// A spot of the phone's screen as the window shows it under a turn: on its
// side while a landscape screen is up (the window's sides swapped, and the
// picture scaled down where the display is too narrow for it).
struct TurnedSpot {
    ScreenSpot spot;
    platform::host::ScreenTurn turn = platform::host::ScreenTurn::Upright;
    platform::Size screen; // the phone's screen, in points
};

// A video of the library played from the chat with the demo parent, as the
// harness draws it: back to the message tab, the function grid's tab, its
// tile "教学视频", the first video of the library's home, the play button
// of the video's detail, and "完成" on the player, which shows in landscape.
struct LessonVideoScreens {
    ScreenSpot chatBack;
    long gridTab = 0;
    ScreenSpot libraryTile;
    platform::Image libraryHome { 1, 1 };
    ScreenSpot firstVideo;
    platform::Image videoDetail { 1, 1 };
    // The detail down to the bottom of its picture, which is the same on
    // every run (the rest lists comments with the times they were made).
    double videoDetailBandBottom = 0;
    ScreenSpot playButton;
    TurnedSpot done;
};

// Runs the client in the harness (its own stand-in server) through signing
// in, every tab, and the chat with the demo parent; with `video`, on from
// the chat to a library video, played and closed. False when a step fails.
bool learnSignedInScreens(const std::string& scratch, SignedInScreens& screens, LessonVideoScreens* video = nullptr);

// A tile of the function grid that opens a web page, and what a person sees
// after tapping it, as the harness draws it (drawing frames as the window
// does, the web engine on a display of its own).
struct WebTileScreens {
    ScreenSpot gridTab; // the tab button of the function grid
    platform::Image grid { 1, 1 }; // the grid, the tile on it
    ScreenSpot tile;
    // The first frame after the tap: the pushed screen with its loading
    // view, before the page; and where its spinner turns (points).
    platform::Image loading { 1, 1 };
    platform::Rect spinner;
    // The page drawn, its data in it (pageReadyScript answered "1").
    platform::Image page { 1, 1 };
};

// Signs the demo teacher in through the screens, opens the grid and taps the
// tile with this title. pageReadyScript runs in the page and answers "1"
// once the page shows what it loads. The harness's home and its pictures
// are left in scratch (the engine this starts writes there until the
// process ends), for the caller to remove. False when a step fails.
bool learnWebTileScreens(const std::string& scratch, const std::string& tileTitle,
    const std::string& pageReadyScript, WebTileScreens& screens);
// Whether the picture shows the loading view's spinner where the learnt
// first frame has it: the pixels of its spokes there, nearly as drawn.
bool showsSpinner(const platform::Image& seen, const WebTileScreens& screens);

// Makes `home` a home in which the client starts past the introduction and
// the warm prompt and signs in by itself as the demo teacher.
bool prepareSignedInHome(const std::string& home);

// The share of a grid of points over the whole screen where two pictures agree.
double screenLikeness(const platform::Image& seen, const platform::Image& expected);
// The same over a band of the screen (top to bottom, in points) only, finer.
double bandLikeness(const platform::Image& seen, const platform::Image& expected, double top, double bottom);

class ClientWindowProcess final {
public:
    ClientWindowProcess() = default;
    ~ClientWindowProcess();
    ClientWindowProcess(const ClientWindowProcess&) = delete;
    ClientWindowProcess& operator=(const ClientWindowProcess&) = delete;

    // Starts the program (actual size, silent) with this home against this
    // server and waits for its window. False with the log's text in *why.
    bool start(const std::string& program, const std::string& home, const std::string& serverBase,
        const std::string& scratch, std::string* why, const std::vector<std::string>& extraArguments = {});
    pid_t pid() const { return pid_; }
    const std::string& windowId() const { return windowId_; }
    std::string log() const;

    bool clickAt(ScreenSpot spot);
    // A click where the window shows the spot under its turn (the window's
    // size asked from the X server).
    bool clickAt(const TurnedSpot& spot);
    // The same click sent straight to the X server (XTest), without starting
    // a tool: it has reached the server when this returns. clickAt where the
    // X libraries are not there.
    bool clickNow(ScreenSpot spot);
    std::optional<platform::Image> screenshot();
    // The window's pixels read straight from the X server (milliseconds
    // where a screenshot through import takes a large part of a second);
    // a screenshot where the X library is not there.
    std::optional<platform::Image> grab();
    // Looks at the window until it shows (nearly) what the harness drew.
    std::optional<platform::Image> waitForScreen(const platform::Image& expected, double seconds = 60);
    // Until a band of the screen shows what the harness drew there (the rest
    // may hold what differs between runs, such as the times of messages).
    std::optional<platform::Image> waitForBand(
        const platform::Image& expected, double top, double bottom, double seconds = 60);
    // Looks at the window until it lies on its side and its middle has
    // changed between `changes` screenshots in a row (a movie playing there).
    bool waitForMovingPicture(int changes = 3, double seconds = 60);
    bool exited();
    // Sends the signal and waits for the end; the exit status (128 + signal
    // for a death by signal), or -1 when it did not end in time.
    int signalAndWait(int signal, double seconds = 60);
    // Waits for the end without a signal; the same status.
    int waitForEnd(double seconds = 60);

private:
    bool startOnce(const std::string& program, const std::string& home, const std::string& serverBase,
        const std::string& scratch, std::string* why, const std::vector<std::string>& extraArguments);
    pid_t pid_ = -1;
    int status_ = -1;
    std::string windowId_;
    std::string scratch_;
    std::string logPath_;
    int shots_ = 0;
    void* display_ = nullptr; // the X connection grab() reads through
};

} // namespace testsupport
