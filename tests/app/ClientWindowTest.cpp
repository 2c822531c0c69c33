// The client program itself in a window on an X server the test starts
// (Xvfb), against a stand-in server the test starts, driven from outside by
// synthetic X input (xdotool) and looked at as a person sees it (ImageMagick's
// import). Where to click and what each screen looks like come from the same
// client run in-process in the harness, so the test follows the layouts
// instead of copying their numbers. Without Xvfb, xdotool or import the test
// reports itself skipped with the reason.
#include "tests/support/app/ClientWindow.h"
#include "app/about/IntrodutionViewController.h"
#include "app/login/LoginViewController.h"
#include "app/main/ORBViewController.h"
#include "contacts/book/ContactsViewController.h"
#include "core/session/ORBEndpoints.h"
#include "core/store/BaseFactory.h"
#include "messaging/send/UnsentMessages.h"
#include "platform/graphics/Image.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/support/BuildPaths.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/app/ClientApp.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace testsupport;

namespace {

using Spot = testsupport::ScreenSpot;

// A point in the view's own box, in screen points.
Spot pointIn(const std::shared_ptr<UIView>& view, double x, double y)
{
    auto window = view->window();
    auto p = view->convertPointToView(platform::Point(x, y), nullptr);
    auto f = window->frame();
    return { p.x + f.origin.x, p.y + f.origin.y };
}

std::string px(double points) { return std::to_string(long(std::lround(points * 2))); }

using Rgb = std::array<int, 3>;

Rgb colourAt(const platform::Image& image, Spot spot)
{
    auto p = image.pixelAt(int(std::lround(spot.x * 2)), int(std::lround(spot.y * 2)));
    return { int(p[0]), int(p[1]), int(p[2]) };
}

bool near(Rgb a, Rgb b, int tolerance = 3)
{
    for (std::size_t i = 0; i < 3; ++i)
        if (std::abs(a[i] - b[i]) > tolerance)
            return false;
    return true;
}

std::string describe(Rgb c) { return std::to_string(c[0]) + "," + std::to_string(c[1]) + "," + std::to_string(c[2]); }

// The share of a grid of points over the whole screen where two pictures agree.
double likeness(const platform::Image& seen, const platform::Image& expected)
{
    int same = 0;
    int total = 0;
    for (int row = 0; row < 14; ++row) {
        for (int column = 0; column < 8; ++column) {
            Spot spot { 10 + column * 40.0, 8 + row * 40.0 };
            same += near(colourAt(seen, spot), colourAt(expected, spot), 6);
            ++total;
        }
    }
    return double(same) / total;
}

// What the in-process client shows at each step, and where its controls are.
struct Stages {
    platform::Image introduction { 1, 1 };
    Spot introductionCentre;
    double pageWidth = 0;
    int pages = 0;
    std::vector<platform::Image> introductionPages; // the second page on
    platform::Image lastIntroductionPage { 1, 1 };
    Spot startButton;
    platform::Image login { 1, 1 };
    Spot accountField;
    Spot passwordField;
    Spot loginButton;
    platform::Image warmPrompt { 1, 1 };
    Spot promptButton;
    platform::Image mainScreen { 1, 1 };
    long shownTab = 0;
    Spot topBarSpot; // in the title bar, away from its text
    Spot tabBarSpot; // in the tab bar, away from the buttons' titles and icons
    long otherTab = 0;
    Spot otherTabButton;
    platform::Image otherTabScreen { 1, 1 };
};

class ClientWindow : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (auto why = testsupport::startWindowTestDisplay(xvfb_); !why.empty())
            ORB_SKIP_WITHOUT_TOOL(why);
        scratch_ = makeTempDir("orb-client-window");
        ASSERT_FALSE(scratch_.empty());
    }

    void TearDown() override
    {
        if (client_ > 0) {
            kill(client_, SIGKILL);
            waitpid(client_, nullptr, 0);
        }
        if (server_)
            server_->stop();
        xvfb_.stop();
        if (!scratch_.empty())
            platform::FileUtil::remove(scratch_);
    }

    // The stand-in server for the program, in this process.
    void startServer()
    {
        server::ServerOptions serverOptions;
        serverOptions.dataDirectory = scratch_ + "/server";
        server_ = std::make_unique<server::StandinServer>(serverOptions);
        platform::Error error;
        ASSERT_TRUE(server_->start(&error)) << error.localizedDescription();
    }

    std::optional<platform::Image> load(const std::string& path)
    {
        if (path.empty())
            return std::nullopt;
        return platform::Image::fromFile(path);
    }

    // Runs the client in the harness through the same steps the window test takes.
    bool learnStages(Stages& stages)
    {
        AppHarnessOptions options;
        options.renderDirectory = scratch_ + "/renders";
        AppHarness harness(options);
        if (!startClient(harness))
            return false;
        settle(harness);
        auto intro = std::dynamic_pointer_cast<IntrodutionViewController>(harness.presentedScreen());
        auto scroll = intro
            ? std::dynamic_pointer_cast<UIScrollView>(testsupport::findViewByOutlet(intro->view(), "scrollView"))
            : nullptr;
        if (!scroll)
            return false;
        auto shot = load(harness.render("introduction.png"));
        if (!shot)
            return false;
        stages.introduction = *shot;
        stages.introductionCentre = testsupport::screenCentreOf(scroll);
        stages.pageWidth = scroll->bounds().size.width;
        stages.pages = int(std::lround(intro->maxX() / stages.pageWidth)) + 1;
        for (int page = 1; page < stages.pages; ++page) {
            scroll->setContentOffset(platform::Point(std::min(page * stages.pageWidth, intro->maxX()), 0));
            harness.loop().runUntilIdle();
            shot = load(harness.render("introduction-" + std::to_string(page) + ".png"));
            if (!shot)
                return false;
            stages.introductionPages.push_back(*shot);
        }
        auto start = harness.viewByText("立即体验");
        if (!start || stages.introductionPages.empty())
            return false;
        stages.lastIntroductionPage = stages.introductionPages.back();
        stages.startButton = testsupport::screenCentreOf(start);
        if (!passIntroduction(harness))
            return false;
        auto login = loginScreen(harness);
        shot = load(harness.render("login.png"));
        if (!login || !shot || !login->txtAccount() || !harness.viewByOutlet("btnLogin"))
            return false;
        stages.login = *shot;
        stages.accountField = testsupport::screenCentreOf(login->txtAccount());
        stages.passwordField = testsupport::screenCentreOf(login->txtPassword());
        stages.loginButton = testsupport::screenCentreOf(harness.viewByOutlet("btnLogin"));
        if (!harness.signIn(kDemoTeacher, kDemoTeacherPassword))
            return false;
        settle(harness);
        // The address book's first download ends with its notice on the
        // window, over the prompt, for a moment: a school's book arrives in
        // its own (real) time, so its end is waited for, not assumed.
        if (!harness.runUntil(
                [&] { return harness.notifications().count(ContactsViewController::kCompletedRefreshContacts) > 0; }))
            return false;
        settle(harness, 2.0);
        auto prompt = harness.viewByText("我知道了");
        shot = load(harness.render("warm-prompt.png"));
        if (!prompt || !shot)
            return false;
        stages.promptButton = testsupport::screenCentreOf(prompt);
        stages.warmPrompt = *shot;
        if (!harness.tapButton("我知道了"))
            return false;
        settle(harness);
        auto main = mainScreen();
        shot = load(harness.render("main.png"));
        if (!main || !shot || !main->topBarView() || !main->tabBarView() || main->tabBtns().size() != 5)
            return false;
        stages.mainScreen = *shot;
        stages.shownTab = main->curIndex();
        auto top = main->topBarView();
        stages.topBarSpot = pointIn(top, 6, top->bounds().size.height / 2);
        auto bar = main->tabBarView();
        stages.tabBarSpot = pointIn(bar, bar->bounds().size.width / 2, 1.5);
        stages.otherTab = stages.shownTab == ORBViewController::kSettingsTab ? ORBViewController::kMessageTab
                                                                             : ORBViewController::kSettingsTab;
        stages.otherTabButton = testsupport::screenCentreOf(main->tabBtns()[std::size_t(stages.otherTab)]);
        if (!harness.tap(main->tabBtns()[std::size_t(stages.otherTab)]))
            return false;
        settle(harness);
        if (main->curIndex() != stages.otherTab)
            return false;
        shot = load(harness.render("other-tab.png"));
        if (!shot)
            return false;
        stages.otherTabScreen = *shot;
        return true;
    }

    int xdo(std::vector<std::string> args)
    {
        args.insert(args.begin(), "xdotool");
        return runWhileLooping(args);
    }
    int clickAt(Spot spot) { return xdo({ "mousemove", "--window", wid_, px(spot.x), px(spot.y), "click", "1" }); }

    std::optional<platform::Image> screenshot()
    {
        auto path = platform::FileUtil::joinPath(scratch_, "window-" + std::to_string(++shots_) + ".png");
        if (runWhileLooping({ "import", "-window", wid_, path }) != 0)
            return std::nullopt;
        auto image = platform::Image::fromFile(path);
        platform::FileUtil::remove(path);
        return image;
    }

    // Looks at the window until it shows what the harness drew (allowing for
    // a blinking caret and the like); the last look, or nullopt.
    std::optional<platform::Image> waitForScreen(const platform::Image& expected, double seconds = 60)
    {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
        std::optional<platform::Image> last;
        while (std::chrono::steady_clock::now() < deadline) {
            last = screenshot();
            if (last && last->pixelWidth() == expected.pixelWidth() && likeness(*last, expected) >= 0.9)
                return last;
            if (clientExited())
                return std::nullopt;
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        return std::nullopt;
    }

    bool clientExited()
    {
        int status = 0;
        if (client_ > 0 && waitpid(client_, &status, WNOHANG) == client_) {
            client_ = -1;
            clientStatus_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            return true;
        }
        return client_ <= 0;
    }

    XvfbDisplay xvfb_;
    std::string scratch_;
    std::unique_ptr<server::StandinServer> server_;
    pid_t client_ = -1;
    int clientStatus_ = -1;
    std::string wid_;
    int shots_ = 0;
};

} // namespace

TEST_F(ClientWindow, SignsInAsTheDemoTeacherAndSwitchesTabsThroughTheWindow)
{
    Stages stages;
    ASSERT_TRUE(learnStages(stages)) << "the client did not walk the same steps in the harness";
    ASSERT_GE(stages.pages, 2);
    // Each step's picture tells it from the next, so waiting for one cannot
    // be satisfied by another.
    EXPECT_LT(likeness(stages.login, stages.introduction), 0.9);
    EXPECT_LT(likeness(stages.login, stages.lastIntroductionPage), 0.9);
    EXPECT_LT(likeness(stages.introductionPages.front(), stages.introduction), 0.9);
    EXPECT_LT(likeness(stages.warmPrompt, stages.login), 0.9);
    EXPECT_LT(likeness(stages.mainScreen, stages.warmPrompt), 0.9);
    EXPECT_LT(likeness(stages.mainScreen, stages.login), 0.9);
    EXPECT_LT(likeness(stages.otherTabScreen, stages.mainScreen), 0.9);

    ASSERT_NO_FATAL_FAILURE(startServer());

    // The program, as a person starts it: its own home, the server's address.
    std::string home = scratch_ + "/home";
    ASSERT_TRUE(platform::FileUtil::createDirectory(home));
    setenv("ORB_HOME", home.c_str(), 1);
    setenv("ORB_SERVER_BASE", server_->baseUrl().c_str(), 1);
    setenv("ORB_RESOURCES", testsupport::sourcePath("resources").c_str(), 1);
    // SDL's software drawing: the same pixels as the harness's, and no GL
    // driver loaded and unloaded under the leak checker.
    setenv("SDL_RENDER_DRIVER", "software", 1);
    setenv("SDL_FRAMEBUFFER_ACCELERATION", "0", 1);
    std::string log = scratch_ + "/client.log";
    client_ = spawnProcess(
        { testsupport::buildPath(ORB_CLIENT), "--actual-size", "--silent", "--screenshots", scratch_ }, log);
    for (const char* name :
        { "ORB_HOME", "ORB_SERVER_BASE", "ORB_RESOURCES", "SDL_RENDER_DRIVER", "SDL_FRAMEBUFFER_ACCELERATION" })
        unsetenv(name);
    ASSERT_GT(client_, 0);

    // Its window, found by the process that owns it.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (wid_.empty() && std::chrono::steady_clock::now() < deadline && !clientExited()) {
        std::string found;
        if (runWhileLooping({ "xdotool", "search", "--onlyvisible", "--pid", std::to_string(client_) }, &found) == 0
            && !found.empty())
            wid_ = found.substr(0, found.find('\n'));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    ASSERT_FALSE(wid_.empty()) << readTextFile(log);
    std::string title;
    ASSERT_EQ(runWhileLooping({ "xdotool", "getwindowname", wid_ }, &title), 0);
    EXPECT_NE(title, "\n");

    // The introduction: paged through with the mouse, then its button.
    ASSERT_TRUE(waitForScreen(stages.introduction)) << readTextFile(log);
    for (int page = 1; page < stages.pages; ++page) {
        auto c = stages.introductionCentre;
        double step = stages.pageWidth * 0.6 / 4;
        std::vector<std::string> stroke { "mousemove", "--window", wid_, px(c.x + 100), px(c.y), "mousedown", "1" };
        for (int i = 1; i <= 4; ++i)
            for (auto arg :
                { std::string("mousemove"), std::string("--window"), wid_, px(c.x + 100 - step * i), px(c.y) })
                stroke.push_back(arg);
        stroke.push_back("mouseup");
        stroke.push_back("1");
        ASSERT_EQ(xdo(stroke), 0);
        ASSERT_TRUE(waitForScreen(stages.introductionPages[std::size_t(page - 1)]))
            << "the introduction did not page to page " << page + 1;
    }
    ASSERT_EQ(clickAt(stages.startButton), 0);

    // The login screen: the demo teacher typed in, then the button.
    ASSERT_TRUE(waitForScreen(stages.login)) << "no login screen";
    // Return moves on to the password, and from there puts the keyboard
    // away, which uncovers the button.
    ASSERT_EQ(clickAt(stages.accountField), 0);
    ASSERT_EQ(xdo({ "type", "--delay", "40", kDemoTeacher }), 0);
    ASSERT_EQ(xdo({ "key", "Return" }), 0);
    ASSERT_EQ(xdo({ "type", "--delay", "40", kDemoTeacherPassword }), 0);
    ASSERT_EQ(xdo({ "key", "Return" }), 0);
    ASSERT_TRUE(waitForScreen(stages.login)) << "the keyboard did not go away";
    ASSERT_EQ(clickAt(stages.loginButton), 0);

    // The server saw the login command with what was typed.
    std::optional<server::LoggedRequest> loginRequest;
    deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!loginRequest && std::chrono::steady_clock::now() < deadline && !clientExited()) {
        auto logins = server_->requests().withCommand(core::ORBEndpoints::Cmd::kLogin);
        if (!logins.empty() && logins.back().answered)
            loginRequest = logins.back();
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_TRUE(loginRequest) << "no login command reached the server";
    EXPECT_EQ(loginRequest->bodyValue("account").stringValue(), kDemoTeacher) << loginRequest->body;
    EXPECT_EQ(loginRequest->status, 200);

    // Signed in: the warm prompt, closed with its button, then the main screen.
    ASSERT_TRUE(waitForScreen(stages.warmPrompt)) << "no warm prompt after signing in";
    // The address book's download notice takes the touches of its moment
    // after signing in: the click is repeated until the prompt goes.
    std::optional<platform::Image> main;
    for (int attempt = 0; attempt < 10 && !main; ++attempt) {
        ASSERT_EQ(clickAt(stages.promptButton), 0);
        main = waitForScreen(stages.mainScreen, attempt < 9 ? 4 : 20);
    }
    ASSERT_TRUE(main) << "no main screen";
    // The title bar and the tab bar, away from text, are the main screen's
    // own colours, which the login screen does not have there.
    for (auto spot : { stages.topBarSpot, stages.tabBarSpot }) {
        auto seen = colourAt(*main, spot);
        EXPECT_TRUE(near(seen, colourAt(stages.mainScreen, spot)))
            << "at " << spot.x << "," << spot.y << ": saw " << describe(seen) << " drawn "
            << describe(colourAt(stages.mainScreen, spot));
        EXPECT_FALSE(near(seen, colourAt(stages.login, spot), 0)) << "at " << spot.x << "," << spot.y;
    }

    // A click on another tab changes what the content area shows. The main
    // screen takes touches only after its first second; the click is
    // repeated until the screen changes.
    std::optional<platform::Image> switched;
    for (int attempt = 0; attempt < 30 && !switched; ++attempt) {
        ASSERT_EQ(clickAt(stages.otherTabButton), 0);
        switched = waitForScreen(stages.otherTabScreen, 1.5);
    }
    ASSERT_TRUE(switched) << "the tab did not switch";
    EXPECT_GE(likeness(*switched, stages.otherTabScreen), 0.9);
    EXPECT_LT(likeness(*switched, stages.mainScreen), 0.9);
    // And the window's own pictures, before and after the click, differ.
    EXPECT_LT(likeness(*switched, *main), 0.9) << "the window looks as it did before the click";

    // A termination request ends the client as closing the window does: the
    // application terminates and what it keeps is saved before it exits.
    ASSERT_EQ(kill(client_, SIGTERM), 0);
    int status = waitForProcess(client_, 60);
    client_ = -1;
    EXPECT_EQ(status, 0) << readTextFile(log);
    std::string saved;
    for (const auto& name :
        platform::FileUtil::list(home + "/Library/Preferences").value_or(std::vector<std::string> {}))
        saved += readTextFile(home + "/Library/Preferences/" + name);
    EXPECT_NE(saved.find(kDemoTeacher), std::string::npos) << "the signed-in account was not saved";
}

// Asked for the 3.5-inch phone, the client runs on it: the window holds
// 320 × 480 points at two pixels a point, and the signed-in screen's tab bar
// lies at its foot.
TEST_F(ClientWindow, RunsTheSmallPhoneWhenAsked)
{
    ASSERT_NO_FATAL_FAILURE(startServer());
    std::string home = scratch_ + "/home";
    ASSERT_TRUE(platform::FileUtil::createDirectory(home));
    ASSERT_TRUE(prepareSignedInHome(home));
    ClientWindowProcess client;
    std::string why;
    setenv("ORB_RESOURCES", testsupport::sourcePath("resources").c_str(), 1);
    bool started = client.start(
        testsupport::buildPath(ORB_CLIENT), home, server_->baseUrl(), scratch_, &why, { "--small-screen" });
    unsetenv("ORB_RESOURCES");
    ASSERT_TRUE(started) << why;
    std::optional<platform::Image> shot;
    // Signed in by itself: the tab bar's colour runs across the foot.
    auto tabBarAtFoot = [](const platform::Image& image) {
        if (image.pixelHeight() < 960)
            return false;
        auto left = colourAt(image, { 2, 476 });
        return near(colourAt(image, { 318, 476 }), left) && !near(left, colourAt(image, { 2, 380 }));
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (std::chrono::steady_clock::now() < deadline && !(shot && tabBarAtFoot(*shot))) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        shot = client.grab();
    }
    ASSERT_TRUE(shot) << client.log();
    EXPECT_EQ(shot->pixelWidth(), 640);
    EXPECT_EQ(shot->pixelHeight(), 960);
    EXPECT_TRUE(tabBarAtFoot(*shot)) << client.log();
    EXPECT_EQ(client.signalAndWait(SIGTERM), 0) << client.log();
}

TEST(ClientWithoutDisplay, SaysSoAndExitsWithTwo)
{
    auto dir = makeTempDir("orb-client-nodisplay");
    const char* previous = std::getenv("DISPLAY");
    std::string saved = previous ? previous : "";
    const char* previousWayland = std::getenv("WAYLAND_DISPLAY");
    std::string savedWayland = previousWayland ? previousWayland : "";
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    setenv("ORB_HOME", dir.c_str(), 1);
    pid_t client = spawnProcess({ testsupport::buildPath(ORB_CLIENT), "--silent" }, dir + "/client.log");
    unsetenv("ORB_HOME");
    if (previous)
        setenv("DISPLAY", saved.c_str(), 1);
    if (previousWayland)
        setenv("WAYLAND_DISPLAY", savedWayland.c_str(), 1);
    ASSERT_GT(client, 0);
    EXPECT_EQ(waitForProcess(client, 60), 2);
    auto output = readTextFile(dir + "/client.log");
    EXPECT_NE(output.find("cannot open the window"), std::string::npos) << output;
    EXPECT_NE(output.find("--tour"), std::string::npos) << output;
    platform::FileUtil::remove(dir);
}

// An interrupt, a termination request or a hang-up (a closed terminal) ends
// the client as closing its window does, on whichever main screen it comes:
// every tab (0 to 4), a chat open with the keyboard up (5), and that chat
// while a message just sent waits for the server's answer (6); SIGTERM,
// SIGINT and SIGHUP in turn. The process ends with status 0 and nothing from
// the sanitizers, and the settings are saved; the message on its way is
// answered during the client's grace at exit and kept in the sender's
// history. A message the store refused (7: the test held the store's write
// lock when it was polled) is written at exit once the store takes writes,
// though no poll is answered after. The address book's write, held on its
// worker by the test's write lock when the client is told to end (8), is
// waited for at exit and in the store after it. A poll on its way when the
// client is told to end (9) is answered during the grace, and its message
// stored. A send whose answer does not come within the grace (10) is kept
// as not sent in the file of unsent messages. A poll whose answer does not
// come within the grace (11) is cancelled as the grace ends, and nothing in
// the background is left for the exit to wait on. Right after every poll is
// answered, with nothing on its way (12), the exit does not wait. One client
// run per case, so that each case is short enough for a loaded machine.
namespace {

// The thread of the client, other than its main one, that sleeps while the
// client holds the store file open: a write on a worker waiting in SQLite's
// busy handler for a lock held elsewhere. 0 when there is none.
long storeWaiter(pid_t pid, const std::string& store)
{
    const std::string proc = "/proc/" + std::to_string(pid);
    char* resolved = realpath(store.c_str(), nullptr);
    const std::string file = resolved ? resolved : store;
    std::free(resolved);
    bool open = false;
    for (const auto& fd : platform::FileUtil::list(proc + "/fd").value_or(std::vector<std::string> {})) {
        char target[4096];
        const auto length = readlink((proc + "/fd/" + fd).c_str(), target, sizeof target - 1);
        open = open || (length > 0 && std::string(target, std::size_t(length)) == file);
    }
    if (!open)
        return 0;
    for (const auto& task : platform::FileUtil::list(proc + "/task").value_or(std::vector<std::string> {})) {
        // The number of the system call the thread is in: clock_nanosleep.
        if (task != std::to_string(pid)
            && readTextFile(proc + "/task/" + task + "/syscall").rfind(std::to_string(SYS_clock_nanosleep) + " ", 0)
                == 0)
            return std::stol(task);
    }
    return 0;
}

} // namespace

class ClientWindowSignal : public ClientWindow, public ::testing::WithParamInterface<long> { };

TEST_P(ClientWindowSignal, EndsTheClientCleanly)
{
    SignedInScreens learnt;
    ASSERT_TRUE(learnSignedInScreens(scratch_, learnt)) << "the client did not walk the same steps in the harness";

    ASSERT_NO_FATAL_FAILURE(startServer());

    const long screen = GetParam();
    std::string home = scratch_ + "/home-" + std::to_string(screen);
    ASSERT_TRUE(platform::FileUtil::createDirectory(home));
    ASSERT_TRUE(prepareSignedInHome(home));
    const bool pollOnItsWay = screen == 9;
    const bool sendPastTheGrace = screen == 10;
    const bool pollPastTheGrace = screen == 11;
    const bool pollAnswered = screen == 12;
    const bool inChat = screen == 5 || screen == 6 || pollOnItsWay || sendPastTheGrace;
    const bool refusedMessage = screen == 7;
    const bool bookOnItsWay = screen == 8;
    // Case 8: the address book and the polls are held, so that nothing but
    // the book's worker writes to the store while the test holds its lock.
    auto bookGate = std::make_shared<server::ReplyGate>();
    auto pollGate = std::make_shared<server::ReplyGate>();
    if (bookOnItsWay) {
        server_->script().forCommand(
            core::ORBEndpoints::Cmd::kAddressBook, server::ScriptedReply::normal().heldBy(bookGate));
        server_->script().forCommand(
            core::ORBEndpoints::Cmd::kNewMessages, server::ScriptedReply::normal().heldBy(pollGate), 1000);
    }
    // Case 7: the first poll, which brings the message, is answered once the
    // test holds the store's write lock; none after it is.
    auto firstPoll = std::make_shared<server::ReplyGate>();
    const std::string refusedText = "see you at nine";
    if (refusedMessage) {
        ASSERT_FALSE(server_->deliverMessage(2001, 3001, refusedText).empty());
        server_->script().forCommand(
            core::ORBEndpoints::Cmd::kNewMessages, server::ScriptedReply::normal().heldBy(firstPoll));
        server_->script().forCommand(
            core::ORBEndpoints::Cmd::kNewMessages, server::ScriptedReply::normal().heldBy(pollGate), 1000);
    }
    if (inChat) {
        ASSERT_FALSE(server_->deliverMessage(2001, 3001, "明天带水彩笔").empty());
    }
    // Case 9: the first poll brings the conversation; the second is held
    // until the message waits at the server (its answer, made as it came,
    // does not hold it), and every later one until the client is told to end.
    const std::string polledText = "bring the paints";
    auto pollBeforeTheMessage = std::make_shared<server::ReplyGate>();
    if (pollOnItsWay) {
        server_->script().forCommand(core::ORBEndpoints::Cmd::kNewMessages, server::ScriptedReply::normal());
        server_->script().forCommand(
            core::ORBEndpoints::Cmd::kNewMessages, server::ScriptedReply::normal().heldBy(pollBeforeTheMessage));
    }
    // Case 11: every poll is held, the first included, past the client's end.
    if (pollOnItsWay || pollPastTheGrace) {
        server_->script().forCommand(
            core::ORBEndpoints::Cmd::kNewMessages, server::ScriptedReply::normal().heldBy(pollGate), 1000);
    }
    ClientWindowProcess client;
    std::string why;
    setenv("ORB_RESOURCES", testsupport::sourcePath("resources").c_str(), 1);
    // Verbose: the log says when a message is kept in memory.
    bool started = client.start(testsupport::buildPath(ORB_CLIENT), home, server_->baseUrl(), scratch_, &why,
        refusedMessage || bookOnItsWay || pollAnswered ? std::vector<std::string> { "--verbose" }
                                                       : std::vector<std::string> {});
    unsetenv("ORB_RESOURCES");
    ASSERT_TRUE(started) << why;
    // A tab is told by its title bar and its tab bar (the lists between
    // may differ from the harness's, in what has arrived and when).
    auto showing = [&](const platform::Image& expected, double seconds) {
        return client.waitForBand(expected, 0, 64, seconds) && client.waitForBand(expected, 519, 568, 2);
    };
    // It signs in by itself and shows its first tab.
    ASSERT_TRUE(showing(learnt.tabScreens[std::size_t(learnt.firstTab)], 60)) << client.log();
    long tab = inChat ? ORBViewController::kMessageTab : screen < 5 ? screen : learnt.firstTab;
    if (tab != learnt.firstTab) {
        // The main screen takes touches only after its first second.
        bool switched = false;
        // A click on the tab already shown changes nothing, so a slow
        // switch clicked again does no harm.
        for (int attempt = 0; attempt < 30 && !switched; ++attempt) {
            ASSERT_TRUE(client.clickAt(learnt.tabButtons[std::size_t(tab)]));
            switched = showing(learnt.tabScreens[std::size_t(tab)], 1.5);
        }
        ASSERT_TRUE(switched) << "the tab did not switch";
    }
    if (inChat) {
        ASSERT_TRUE(client.waitForScreen(learnt.messageTabWithConversation)) << "no conversation";
        ASSERT_TRUE(client.clickAt(learnt.firstConversation));
        // Its title bar and its writing bar (the messages above may differ in time).
        ASSERT_TRUE(client.waitForBand(learnt.chat, 0, 60) && client.waitForBand(learnt.chat, 520, 568))
            << "the chat did not open";
        ASSERT_TRUE(client.clickAt(learnt.chatField));
        // The keyboard panel comes up over the lower part of the screen.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        bool keyboard = false;
        while (!keyboard && std::chrono::steady_clock::now() < deadline) {
            auto shot = client.screenshot();
            keyboard = shot && near(colourAt(*shot, { 10, 550 }), { 206, 210, 217 });
            if (!keyboard)
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
        }
        ASSERT_TRUE(keyboard) << "no keyboard panel";
    }
    const std::string store = home + "/Documents/" + core::kDatabaseFileName;
    // Once the client asks through `gate`, the test takes the store's write
    // lock and only then lets the answer through.
    auto lockStoreOnceAsked
        = [&](server::ReplyGate& gate, const char* what, std::unique_ptr<sqlite3, int (*)(sqlite3*)>& lock) {
              auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
              while (gate.arrived() == 0 && std::chrono::steady_clock::now() < deadline && !client.exited())
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              ASSERT_EQ(gate.arrived(), 1u) << "the client did not " << what << "\n" << client.log();
              sqlite3* handle = nullptr;
              ASSERT_EQ(sqlite3_open_v2(store.c_str(), &handle, SQLITE_OPEN_READWRITE, nullptr), SQLITE_OK);
              lock.reset(handle);
              sqlite3_busy_timeout(handle, 30000);
              ASSERT_EQ(sqlite3_exec(handle, "BEGIN IMMEDIATE;", nullptr, nullptr, nullptr), SQLITE_OK);
              gate.open();
          };
    // Until the client's poll reaches `gate`.
    auto awaitPoll = [&](const server::ReplyGate& gate) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (gate.arrived() == 0 && std::chrono::steady_clock::now() < deadline && !client.exited())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(gate.arrived(), 1u) << "the client did not poll\n" << client.log();
    };
    const int endingSignals[] = { SIGTERM, SIGINT, SIGHUP };
    const int signal = endingSignals[screen % 3];
    int status = -1;
    const std::string text = "see you at eight";
    // `text` sent from the chat, its answer held at `gate`, once the server has it.
    auto sendHeldAt = [&](const std::shared_ptr<server::ReplyGate>& gate) {
        server_->script().forCommand(core::ORBEndpoints::Cmd::kSendToOne, server::ScriptedReply::normal().heldBy(gate));
        ASSERT_EQ(runWhileLooping({ "xdotool", "type", "--delay", "40", text }), 0);
        ASSERT_EQ(runWhileLooping({ "xdotool", "key", "Return" }), 0);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (gate->arrived() == 0 && std::chrono::steady_clock::now() < deadline && !client.exited())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(gate->arrived(), 1u) << "the message did not reach the server\n" << client.log();
    };
    // The client told to end, and saying so.
    auto endAndSeeItEnding = [&] {
        ASSERT_EQ(kill(client.pid(), signal), 0);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (client.log().find("orb-client: ends on signal") == std::string::npos
            && std::chrono::steady_clock::now() < deadline && !client.exited())
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    };
    if (bookOnItsWay) {
        // The address book's store is held on its worker by the test's write
        // lock when the client is told to end; the lock goes once the client
        // says it ends. Its exit waits for the worker, whose write then goes
        // through: the book is in the store after the exit.
        std::unique_ptr<sqlite3, int (*)(sqlite3*)> lock(nullptr, sqlite3_close);
        ASSERT_NO_FATAL_FAILURE(lockStoreOnceAsked(*bookGate, "ask for its address book", lock));
        sqlite3* handle = lock.get();
        // The same worker seen waiting for a while: not a moment's sleep of
        // some other thread. It sleeps a millisecond at a time, so on a busy
        // machine a sample may find it between two sleeps: it is counted
        // over the time it is seen, not in an unbroken run of samples.
        struct Sightings {
            std::chrono::steady_clock::time_point first;
            int count = 0;
        };
        std::map<long, Sightings> sightings;
        bool waited = false;
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!waited && std::chrono::steady_clock::now() < deadline && !client.exited()) {
            if (const long seen = storeWaiter(client.pid(), store)) {
                const auto now = std::chrono::steady_clock::now();
                auto& seenAt = sightings.try_emplace(seen, Sightings { now }).first->second;
                ++seenAt.count;
                waited = seenAt.count >= 10 && now - seenAt.first >= std::chrono::milliseconds(300);
            }
            if (!waited)
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        ASSERT_TRUE(waited) << "the book's store did not wait for the lock";
        ASSERT_EQ(kill(client.pid(), signal), 0);
        // The lock goes once the client waits for its work in the background.
        deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (client.log().find("orb-client: waiting for work in the background") == std::string::npos
            && std::chrono::steady_clock::now() < deadline && !client.exited())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        EXPECT_NE(client.log().find("orb-client: waiting for work in the background"), std::string::npos);
        ASSERT_EQ(sqlite3_exec(handle, "ROLLBACK;", nullptr, nullptr, nullptr), SQLITE_OK);
        lock.reset();
        status = client.waitForEnd();
    } else if (refusedMessage) {
        // While the test holds the store's write lock, the polled message is
        // refused by the store and kept in memory.
        std::unique_ptr<sqlite3, int (*)(sqlite3*)> lock(nullptr, sqlite3_close);
        ASSERT_NO_FATAL_FAILURE(lockStoreOnceAsked(*firstPoll, "poll", lock));
        sqlite3* handle = lock.get();
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (client.log().find("kept for this run") == std::string::npos
            && std::chrono::steady_clock::now() < deadline && !client.exited())
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_NE(client.log().find("kept for this run"), std::string::npos) << client.log();
        // No poll is answered from here on: the exit is the last chance to
        // write the kept message, once the store takes writes again.
        ASSERT_EQ(sqlite3_exec(handle, "ROLLBACK;", nullptr, nullptr, nullptr), SQLITE_OK);
        lock.reset();
        status = client.signalAndWait(signal);
    } else if (pollOnItsWay) {
        // A message for the teacher waits at the server while a poll is held
        // there: the next poll, sent once that one is answered, brings it,
        // and is held until the client is told to end.
        ASSERT_NO_FATAL_FAILURE(awaitPoll(*pollBeforeTheMessage));
        ASSERT_FALSE(server_->deliverMessage(2001, 3001, polledText).empty());
        pollBeforeTheMessage->open();
        ASSERT_NO_FATAL_FAILURE(awaitPoll(*pollGate));
        ASSERT_NO_FATAL_FAILURE(endAndSeeItEnding());
        pollGate->open();
        status = client.waitForEnd();
    } else if (pollPastTheGrace) {
        ASSERT_NO_FATAL_FAILURE(awaitPoll(*pollGate));
        // Everything else the client asked for answered: the poll is all
        // that is on its way.
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        auto othersAnswered = [&] {
            for (const auto& request : server_->requests().all())
                if (!request.answered && request.command != core::ORBEndpoints::Cmd::kNewMessages)
                    return false;
            return true;
        };
        while (!othersAnswered() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ASSERT_TRUE(othersAnswered()) << client.log();
        status = client.signalAndWait(signal);
    } else if (pollAnswered) {
        // Told to end as soon as it has read the answer of every poll the
        // server has had: the next is twenty seconds of its ticks away.
        auto answersRead = [&] {
            const std::string log = client.log();
            std::size_t count = 0;
            for (auto at = log.find("\nmessage:"); at != std::string::npos; at = log.find("\nmessage:", at + 1))
                ++count;
            return count;
        };
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        std::size_t polls = 0;
        while ((polls = server_->requests().withCommand(core::ORBEndpoints::Cmd::kNewMessages).size()) == 0
            || answersRead() != polls) {
            ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "no poll answered\n" << client.log();
            ASSERT_FALSE(client.exited()) << client.log();
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        status = client.signalAndWait(signal);
    } else if (sendPastTheGrace) {
        // The answer to the send is held until the client has ended.
        auto sendGate = std::make_shared<server::ReplyGate>();
        ASSERT_NO_FATAL_FAILURE(sendHeldAt(sendGate));
        status = client.signalAndWait(signal);
        sendGate->open();
    } else if (screen == 6) {
        // The answer to the send is held until the client has been told to
        // end: it arrives while the client winds down.
        auto gate = std::make_shared<server::ReplyGate>();
        ASSERT_NO_FATAL_FAILURE(sendHeldAt(gate));
        ASSERT_NO_FATAL_FAILURE(endAndSeeItEnding());
        gate->open();
        status = client.waitForEnd();
    } else {
        status = client.signalAndWait(signal);
    }
    pollGate->open();
    pollBeforeTheMessage->open();
    firstPoll->open();
    auto output = client.log();
    EXPECT_EQ(status, 0) << output;
    EXPECT_EQ(output.find("Sanitizer"), std::string::npos) << output;
    EXPECT_EQ(output.find("double free"), std::string::npos) << output;
    std::string saved;
    for (const auto& name :
        platform::FileUtil::list(home + "/Library/Preferences").value_or(std::vector<std::string> {}))
        saved += readTextFile(home + "/Library/Preferences/" + name);
    EXPECT_NE(saved.find(kDemoTeacher), std::string::npos) << "the settings were not kept";
    if (refusedMessage || bookOnItsWay) {
        // The allocator's bounds were set first thing, where the C library's
        // allocator is the one in use (the sanitizers bring their own).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
        EXPECT_NE(output.find("the allocator's bounds are not set: another allocator is in use\n"), std::string::npos)
            << output;
#else
        EXPECT_NE(output.find("the allocator's bounds are set\n"), std::string::npos) << output;
#endif
    }
    if (bookOnItsWay) {
        auto book = runCommand("sqlite3 -batch " + shellQuoted(home + "/Documents/" + core::kDatabaseFileName)
            + " \"SELECT count(*) > 0 FROM tb_contact\"");
        EXPECT_EQ(book.output, "1\n") << "the address book stored while the client ended is not in the store\n"
                                      << output;
    }
    if (pollOnItsWay) {
        auto polled = runCommand("sqlite3 -batch " + shellQuoted(home + "/Documents/" + core::kDatabaseFileName)
            + " \"SELECT count(*) FROM tb_message WHERE content = '" + polledText + "' AND uid <> ''\"");
        EXPECT_EQ(polled.output, "1\n") << "the message of the poll on its way is not in the store\n" << output;
    }
    if (pollPastTheGrace) {
        EXPECT_NE(output.find("orb-client: 1 poll(s) not answered in time are cancelled\n"), std::string::npos)
            << output;
        EXPECT_EQ(output.find("work in the background is left unfinished"), std::string::npos) << output;
    }
    if (pollAnswered) {
        EXPECT_EQ(output.find("poll(s) on their way"), std::string::npos) << "the exit waited\n" << output;
    }
    if (sendPastTheGrace) {
        const std::string unsent = readTextFile(home + "/Documents/" + UnsentMessages::kFileName);
        EXPECT_NE(unsent.find(text), std::string::npos) << "the message on its way is not kept as not sent\n"
                                                        << unsent << "\n" << output;
    }
    if (screen == 6 || refusedMessage) {
        auto stored = runCommand("sqlite3 -batch " + shellQuoted(home + "/Documents/" + core::kDatabaseFileName)
            + " \"SELECT count(*) FROM tb_message WHERE content = '" + (refusedMessage ? refusedText : text)
            + "' AND uid <> ''\"");
        EXPECT_EQ(stored.output, "1\n") << "the message is not in the store after the exit\n" << output;
    }
}

INSTANTIATE_TEST_SUITE_P(
    OnEveryMainScreen, ClientWindowSignal, ::testing::Range(0L, 13L), [](const ::testing::TestParamInfo<long>& info) {
        return info.param == 5 ? std::string("InAChat")
            : info.param == 6  ? std::string("WhileAMessageIsOnItsWay")
            : info.param == 7  ? std::string("AfterTheStoreRefusedAMessage")
            : info.param == 8  ? std::string("WhileTheAddressBookIsStored")
            : info.param == 9  ? std::string("WhileAPollIsOnItsWay")
            : info.param == 10 ? std::string("WhileASendIsOnItsWayPastTheGrace")
            : info.param == 11 ? std::string("WhileAPollIsOnItsWayPastTheGrace")
            : info.param == 12 ? std::string("RightAfterAPollIsAnswered")
                               : "OnTab" + std::to_string(info.param);
    });
