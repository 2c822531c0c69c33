#pragma once

#include "platform/graphics/Image.h"
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

// Runs the client in the harness (its own stand-in server) through signing
// in, every tab, and the chat with the demo parent. False when a step fails.
bool learnSignedInScreens(const std::string& scratch, SignedInScreens& screens);

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
    std::optional<platform::Image> screenshot();
    // Looks at the window until it shows (nearly) what the harness drew.
    std::optional<platform::Image> waitForScreen(const platform::Image& expected, double seconds = 60);
    // Until a band of the screen shows what the harness drew there (the rest
    // may hold what differs between runs, such as the times of messages).
    std::optional<platform::Image> waitForBand(
        const platform::Image& expected, double top, double bottom, double seconds = 60);
    bool exited();
    // Sends the signal and waits for the end; the exit status (128 + signal
    // for a death by signal), or -1 when it did not end in time.
    int signalAndWait(int signal, double seconds = 60);

private:
    bool startOnce(const std::string& program, const std::string& home, const std::string& serverBase,
        const std::string& scratch, std::string* why, const std::vector<std::string>& extraArguments);
    pid_t pid_ = -1;
    int status_ = -1;
    std::string windowId_;
    std::string scratch_;
    std::string logPath_;
    int shots_ = 0;
};

} // namespace testsupport
