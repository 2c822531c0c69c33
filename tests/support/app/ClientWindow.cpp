#include "tests/support/app/ClientWindow.h"

#include "app/login/LoginViewController.h"
#include "app/main/ORBViewController.h"
#include "app/navigation/NavigationViewController.h"
#include "content/library/EVHomeCells.h"
#include "content/library/EVVideoDetailViewController.h"
#include "content/library/EVViewController.h"
#include "content/player/ORBMoviePlayerController.h"
#include "messaging/box/MessageBoxViewController.h"
#include "messaging/chat/MessageViewController.h"
#include "platform/os/FileUtil.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/grid/GridView.h"

#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdlib>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifdef ORB_CLIENT_WINDOW_X11
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#endif

namespace testsupport {

namespace {

    bool near(std::array<std::uint8_t, 4> a, std::array<std::uint8_t, 4> b, int tolerance)
    {
        for (std::size_t i = 0; i < 3; ++i)
            if (std::abs(int(a[i]) - int(b[i])) > tolerance)
                return false;
        return true;
    }

    std::optional<platform::Image> rendered(AppHarness& harness, const std::string& name)
    {
        auto path = harness.render(name);
        if (path.empty())
            return std::nullopt;
        return platform::Image::fromFile(path);
    }

    std::shared_ptr<MessageBoxViewController> messageBox()
    {
        auto main = mainScreen();
        if (!main || main->viewControllers().size() <= std::size_t(ORBViewController::kMessageTab))
            return nullptr;
        auto navigation = main->viewControllers()[std::size_t(ORBViewController::kMessageTab)];
        return navigation ? std::dynamic_pointer_cast<MessageBoxViewController>(navigation->viewControllers().front())
                          : nullptr;
    }

    // The title of the function grid's tile that opens the video library.
    constexpr const char* kLibraryTile = "教学视频";

    std::shared_ptr<UIView> firstButtonIn(const std::shared_ptr<UIView>& root)
    {
        auto buttons = findViewsByClass(root, "UIButton");
        return buttons.empty() ? nullptr : buttons.front();
    }

    // From the chat back to the message tab, to the function grid, into the
    // video library and its first video, whose detail plays it; the player
    // shown and closed again.
    bool learnLessonVideo(
        AppHarness& harness, const std::shared_ptr<MessageViewController>& chat, LessonVideoScreens& video)
    {
        auto navigation = chat->navigationController();
        auto back = navigation ? navigation->navigationBar()->backButton() : nullptr;
        if (!back || !isShownOnScreen(back))
            return false;
        video.chatBack = screenCentreOf(back);
        if (!harness.tap(back))
            return false;
        settle(harness);
        auto main = mainScreen();
        video.gridTab = ORBViewController::kGridTab;
        if (!main || !harness.tap(main->tabBtns()[std::size_t(video.gridTab)]))
            return false;
        settle(harness);
        if (main->curIndex() != video.gridTab)
            return false;

        auto title = harness.viewByText(kLibraryTile);
        auto tile = title ? title->superview() : nullptr;
        if (!tile)
            return false;
        video.libraryTile = screenCentreOf(tile);
        if (!harness.tap(tile))
            return false;
        settle(harness);
        auto home = std::dynamic_pointer_cast<content::EVViewController>(harness.topScreen());
        if (!home || !harness.runUntil([&] { return home->grade() && harness.overlayText().empty(); })
            || !harness.waitForServerQuiet() || !waitForPictures(harness))
            return false;
        auto shot = rendered(harness, "library-home.png");
        if (!shot)
            return false;
        video.libraryHome = *shot;
        // The first row under the first subject's heading: its first video.
        auto table = findOutlet<UITableView>(home->view(), "tableView");
        auto row = table ? std::dynamic_pointer_cast<content::EVCell>(
                       table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0)))
                         : nullptr;
        auto item = row && !row->videos().empty() ? firstButtonIn(row->itemView(0)) : nullptr;
        if (!item)
            return false;
        video.firstVideo = screenCentreOf(item);
        if (!harness.tap(item))
            return false;
        settle(harness);
        auto detail = std::dynamic_pointer_cast<content::EVVideoDetailViewController>(harness.topScreen());
        if (!detail || !harness.waitForServerQuiet() || !harness.runUntilOverlayGone() || !waitForPictures(harness))
            return false;
        auto wrapper = findViewByOutlet(detail->view(), "wrapperView");
        auto play = wrapper ? firstButtonIn(wrapper) : nullptr;
        if (!play)
            return false;
        video.playButton = screenCentreOf(play);
        auto window = harness.window();
        video.videoDetailBandBottom = wrapper->convertRectToView(wrapper->bounds(), window.get()).maxY();
        shot = rendered(harness, "video-detail.png");
        if (!shot)
            return false;
        video.videoDetail = *shot;

        if (!harness.tap(play))
            return false;
        settle(harness);
        auto player = std::dynamic_pointer_cast<content::ORBMoviePlayerController>(harness.presentedScreen());
        auto done = harness.viewByText(content::MoviePlayerViewController::kDoneTitle);
        if (!player || !done)
            return false;
        video.done.spot = screenCentreOf(done);
        video.done.turn = platform::host::screenTurnFor(UIApplication::sharedApplication().statusBarOrientation());
        video.done.screen = UIScreen::mainScreen()->bounds().size;
        if (!platform::host::isSideways(video.done.turn) || !harness.tap(done))
            return false;
        settle(harness);
        return !harness.presentedScreen() && harness.topScreen() == detail;
    }

} // namespace

double screenLikeness(const platform::Image& seen, const platform::Image& expected)
{
    int same = 0;
    int total = 0;
    for (int row = 0; row < 14; ++row) {
        for (int column = 0; column < 8; ++column) {
            int x = int(std::lround((10 + column * 40.0) * 2));
            int y = int(std::lround((8 + row * 40.0) * 2));
            same += near(seen.pixelAt(x, y), expected.pixelAt(x, y), 6);
            ++total;
        }
    }
    return double(same) / total;
}

double bandLikeness(const platform::Image& seen, const platform::Image& expected, double top, double bottom)
{
    int same = 0;
    int total = 0;
    for (double y = top + 2; y < bottom; y += 6) {
        for (double x = 6; x < 320; x += 12) {
            int px = int(std::lround(x * 2));
            int py = int(std::lround(y * 2));
            same += near(seen.pixelAt(px, py), expected.pixelAt(px, py), 6);
            ++total;
        }
    }
    return total ? double(same) / total : 0;
}

bool learnSignedInScreens(const std::string& scratch, SignedInScreens& screens, LessonVideoScreens* video)
{
    AppHarnessOptions options;
    options.renderDirectory = scratch + "/learnt";
    AppHarness harness(options);
    if (!startClient(harness) || !harness.server())
        return false;
    // A message from the demo parent waits for the teacher's first poll.
    if (harness.server()->deliverMessage(2001, 3001, "明天带水彩笔").empty())
        return false;
    if (!signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword))
        return false;
    settle(harness);
    auto main = mainScreen();
    if (!main || main->tabBtns().size() != 5)
        return false;
    screens.firstTab = main->curIndex();
    screens.tabScreens.assign(5, platform::Image(1, 1));
    for (long tab = 0; tab < 5; ++tab) {
        screens.tabButtons[std::size_t(tab)] = screenCentreOf(main->tabBtns()[std::size_t(tab)]);
        if (!harness.tap(main->tabBtns()[std::size_t(tab)]))
            return false;
        settle(harness);
        auto shot = rendered(harness, "tab-" + std::to_string(tab) + ".png");
        if (main->curIndex() != tab || !shot)
            return false;
        screens.tabScreens[std::size_t(tab)] = *shot;
    }
    if (!harness.tap(main->tabBtns()[std::size_t(ORBViewController::kMessageTab)]))
        return false;
    settle(harness);
    auto box = messageBox();
    // The box polls on its own tick.
    for (int i = 0; i < 30 && box && box->listData().empty(); ++i)
        settle(harness);
    if (!box || box->listData().empty())
        return false;
    auto table = std::dynamic_pointer_cast<UITableView>(findViewByOutlet(box->view(), "tableView"));
    if (!table)
        return false;
    auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, MessageBoxViewController::kListSection));
    if (!cell)
        return false;
    screens.firstConversation = screenCentreOf(cell);
    auto shot = rendered(harness, "message-tab.png");
    if (!shot)
        return false;
    screens.messageTabWithConversation = *shot;
    if (!harness.selectRow(table, MessageBoxViewController::kListSection, 0))
        return false;
    settle(harness);
    auto chat = std::dynamic_pointer_cast<MessageViewController>(box->navigationController()->topViewController());
    auto field = chat ? findViewByOutlet(chat->view(), "txtMessage") : nullptr;
    if (!field)
        return false;
    screens.chatField = screenCentreOf(field);
    shot = rendered(harness, "chat.png");
    if (!shot)
        return false;
    screens.chat = *shot;
    return !video || learnLessonVideo(harness, chat, *video);
}

bool learnWebTileScreens(const std::string& scratch, const std::string& tileTitle,
    const std::string& pageReadyScript, WebTileScreens& screens)
{
    AppHarnessOptions options;
    options.renderDirectory = scratch + "/learnt-web";
    // The web engine of this process keeps writing under the home's caches
    // after the harness has gone: the home lies in the caller's scratch
    // folder, which goes with the rest.
    options.home = scratch + "/learnt-web-home";
    if (!platform::FileUtil::createDirectory(options.home))
        return false;
    // The first frame after the tap is drawn as the window draws it.
    options.drawFrames = true;
    AppHarness harness(options);
    if (!startClient(harness) || !harness.server()
        || !signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword))
        return false;
    settle(harness);
    auto main = mainScreen();
    if (!main || main->tabBtns().size() != 5)
        return false;
    auto gridButton = main->tabBtns()[std::size_t(ORBViewController::kGridTab)];
    screens.gridTab = screenCentreOf(gridButton);
    if (!harness.tap(gridButton))
        return false;
    settle(harness);
    auto navigation = main->viewControllers()[std::size_t(ORBViewController::kGridTab)];
    auto grid = navigation && !navigation->viewControllers().empty()
        ? std::dynamic_pointer_cast<NavigationViewController>(navigation->viewControllers().front())
        : nullptr;
    auto tiles = grid ? std::dynamic_pointer_cast<GridView>(findViewByOutlet(grid->view(), "gridView")) : nullptr;
    if (!tiles)
        return false;
    std::shared_ptr<UIView> tile;
    for (std::size_t i = 0; i < grid->gridItems().size() && i < tiles->itemViews().size(); ++i)
        if (grid->gridItems()[i]->title().value_or("") == tileTitle)
            tile = tiles->itemViews()[i];
    auto shot = rendered(harness, "grid.png");
    if (!tile || !shot)
        return false;
    screens.tile = screenCentreOf(tile);
    screens.grid = *shot;

    // The first frame that shows the screen the tile pushed.
    std::optional<platform::Image> first;
    harness.setFrameWatcher([&](const platform::Image& frame) {
        if (!first && navigation->topViewController() != grid)
            first = frame;
    });
    bool tapped = harness.tap(tile) && harness.runUntil([&] { return first.has_value(); });
    harness.setFrameWatcher({});
    auto page = navigation->topViewController();
    if (!tapped || page == grid)
        return false;
    screens.loading = *first;
    // For a person to look at, beside the harness's renders.
    screens.loading.writePNG(platform::FileUtil::joinPath(options.renderDirectory, "loading.png"));
    auto spinners = findViewsByClass(page->view(), "UIActivityIndicatorView");
    auto webViews = findViewsByClass(page->view(), "UIWebView");
    if (spinners.empty() || webViews.empty())
        return false;
    auto spinner = spinners.front();
    auto origin = spinner->convertPointToView(platform::Point(0, 0), nullptr);
    screens.spinner = platform::Rect(origin.x, origin.y, spinner->bounds().width(), spinner->bounds().height());
    auto web = std::dynamic_pointer_cast<UIWebView>(webViews.front());
    if (!web
        || !harness.runUntil(
            [&] {
                return web->engineStarted() && web->request() && !web->isLoading()
                    && web->stringByEvaluatingJavaScriptFromString(pageReadyScript) == "1";
            },
            60))
        return false;
    settle(harness);
    web->updateDrawing();
    shot = rendered(harness, "page.png");
    if (!shot)
        return false;
    screens.page = *shot;
    return true;
}

bool showsSpinner(const platform::Image& seen, const WebTileScreens& screens)
{
    // The spokes are the pixels of the spinner's square that are well below
    // the white page in the learnt frame; text or a blank page at that place
    // matches few of them.
    int spokes = 0;
    int same = 0;
    const auto& square = screens.spinner;
    for (int y = int(square.minY() * 2); y < int(square.maxY() * 2); ++y) {
        for (int x = int(square.minX() * 2); x < int(square.maxX() * 2); ++x) {
            auto p = screens.loading.pixelAt(x, y);
            if (int(p[0]) + int(p[1]) + int(p[2]) >= 3 * 200)
                continue;
            ++spokes;
            same += near(seen.pixelAt(x, y), p, 16);
        }
    }
    return spokes >= 20 && same >= spokes * 8 / 10;
}

bool prepareSignedInHome(const std::string& home)
{
    AppHarnessOptions options;
    options.home = home;
    options.startServer = false;
    AppHarness harness(options);
    if (!startClient(harness))
        return false;
    auto defaults = platform::UserDefaults::standard();
    defaults->setString(kDemoTeacher, LoginViewController::kAccountKey);
    defaults->setString(kDemoTeacherPassword, LoginViewController::kPwdKey);
    defaults->setBool(true, LoginViewController::kAutoLoginKey);
    defaults->setBool(true, kNotFirstTimeKey);
    defaults->setBool(true, kNotWarmPromptKey);
    // The harness writes the settings out when it stops.
    return true;
}

ClientWindowProcess::~ClientWindowProcess()
{
#ifdef ORB_CLIENT_WINDOW_X11
    if (display_)
        XCloseDisplay(static_cast<Display*>(display_));
#endif
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

bool ClientWindowProcess::start(const std::string& program, const std::string& home, const std::string& serverBase,
    const std::string& scratch, std::string* why, const std::vector<std::string>& extraArguments)
{
    // Under the load of a full parallel run, a client just started now and
    // then receives a termination signal from outside the test before its
    // window shows (its log then says "ends on signal 15", and it ends
    // cleanly, as it should). Where it comes from is not known yet; the start
    // is tried again, and every other way of not showing a window fails at once.
    std::string failure;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (startOnce(program, home, serverBase, scratch, &failure, extraArguments))
            return true;
        if (failure.find("orb-client: ends on signal") == std::string::npos)
            break;
    }
    if (why)
        *why = failure;
    return false;
}

bool ClientWindowProcess::startOnce(const std::string& program, const std::string& home,
    const std::string& serverBase, const std::string& scratch, std::string* why,
    const std::vector<std::string>& extraArguments)
{
    scratch_ = scratch;
    logPath_ = scratch + "/client-" + std::to_string(::getpid()) + "-" + std::to_string(++shots_) + ".log";
    setenv("ORB_HOME", home.c_str(), 1);
    setenv("ORB_SERVER_BASE", serverBase.c_str(), 1);
    std::vector<std::string> args { program, "--actual-size", "--silent", "--screenshots", scratch };
    args.insert(args.end(), extraArguments.begin(), extraArguments.end());
    pid_ = spawnProcess(args, logPath_);
    unsetenv("ORB_HOME");
    unsetenv("ORB_SERVER_BASE");
    if (pid_ <= 0) {
        if (why)
            *why = "the program did not start";
        return false;
    }
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (windowId_.empty() && std::chrono::steady_clock::now() < deadline && !exited()) {
        std::string found;
        if (runWhileLooping({ "xdotool", "search", "--onlyvisible", "--pid", std::to_string(pid_) }, &found) == 0
            && !found.empty())
            windowId_ = found.substr(0, found.find('\n'));
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    if (windowId_.empty() && why)
        *why = (exited() ? "no window, the program ended with status " + std::to_string(status_) + ": "
                         : std::string("no window: "))
            + log();
    return !windowId_.empty();
}

std::string ClientWindowProcess::log() const { return readTextFile(logPath_); }

bool ClientWindowProcess::clickAt(ScreenSpot spot)
{
    // The window at its actual size: two pixels a point, upright.
    return clickInWindow(windowId_, spot.x * 2, spot.y * 2) == 0;
}

bool ClientWindowProcess::clickAt(const TurnedSpot& spot)
{
    std::string geometry;
    if (runWhileLooping({ "xdotool", "getwindowgeometry", "--shell", windowId_ }, &geometry) != 0)
        return false;
    double width = 0;
    double height = 0;
    std::istringstream lines(geometry);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("WIDTH=", 0) == 0)
            width = std::stod(line.substr(6));
        else if (line.rfind("HEIGHT=", 0) == 0)
            height = std::stod(line.substr(7));
    }
    // The picture is the phone's screen at two pixels a point, turned.
    auto shown = platform::host::turnedSize(platform::Size(spot.screen.width * 2, spot.screen.height * 2), spot.turn);
    auto viewport = platform::host::fitViewport(shown.width, shown.height, width, height);
    if (viewport.width <= 0)
        return false;
    auto at
        = platform::host::screenToWindow(viewport, spot.screen, platform::Point(spot.spot.x, spot.spot.y), spot.turn);
    return clickInWindow(windowId_, at.x, at.y) == 0;
}

std::optional<platform::Image> ClientWindowProcess::screenshot()
{
    auto path = platform::FileUtil::joinPath(scratch_, "window-" + std::to_string(++shots_) + ".png");
    if (runWhileLooping({ "import", "-window", windowId_, path }) != 0)
        return std::nullopt;
    auto image = platform::Image::fromFile(path);
    platform::FileUtil::remove(path);
    return image;
}

#ifdef ORB_CLIENT_WINDOW_X11
namespace {
    // A window that went away between two looks is no reason to end the
    // process, which is what the X library does by default on an error.
    int ignoreXError(Display*, XErrorEvent*) { return 0; }
} // namespace
#endif

bool ClientWindowProcess::clickNow(ScreenSpot spot)
{
#ifdef ORB_CLIENT_WINDOW_X11
    if (!display_) {
        XSetErrorHandler(ignoreXError);
        display_ = XOpenDisplay(nullptr);
    }
    auto* display = static_cast<Display*>(display_);
    if (!display || windowId_.empty())
        return clickAt(spot);
    Window window = std::stoul(windowId_);
    int x = 0;
    int y = 0;
    Window child = 0;
    if (!XTranslateCoordinates(display, window, DefaultRootWindow(display), int(std::lround(spot.x * 2)),
            int(std::lround(spot.y * 2)), &x, &y, &child))
        return false;
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XSync(display, False);
    return true;
#else
    return clickAt(spot);
#endif
}

std::optional<platform::Image> ClientWindowProcess::grab()
{
#ifdef ORB_CLIENT_WINDOW_X11
    if (!display_) {
        XSetErrorHandler(ignoreXError);
        display_ = XOpenDisplay(nullptr);
    }
    auto* display = static_cast<Display*>(display_);
    if (!display || windowId_.empty())
        return screenshot();
    Window window = std::stoul(windowId_);
    XWindowAttributes attributes {};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.width <= 0 || attributes.height <= 0)
        return std::nullopt;
    XImage* image = XGetImage(display, window, 0, 0, unsigned(attributes.width), unsigned(attributes.height), AllPlanes,
        ZPixmap);
    if (!image)
        return std::nullopt;
    platform::Image out(attributes.width, attributes.height);
    auto& pixels = out.mutablePixels();
    bool plain = image->bits_per_pixel == 32 && image->red_mask == 0xff0000 && image->green_mask == 0xff00
        && image->blue_mask == 0xff && image->byte_order == LSBFirst;
    for (int y = 0; y < attributes.height; ++y) {
        const auto* row
            = reinterpret_cast<const std::uint32_t*>(image->data + std::ptrdiff_t(y) * image->bytes_per_line);
        for (int x = 0; x < attributes.width; ++x) {
            unsigned long p = plain ? row[x] : XGetPixel(image, x, y);
            auto* o = pixels.data() + (std::size_t(y) * std::size_t(attributes.width) + std::size_t(x)) * 4;
            if (plain) {
                o[0] = std::uint8_t(p >> 16);
                o[1] = std::uint8_t(p >> 8);
                o[2] = std::uint8_t(p);
            } else {
                auto channel = [&](unsigned long mask) {
                    if (!mask)
                        return std::uint8_t(0);
                    int shift = __builtin_ctzl(mask);
                    unsigned long top = mask >> shift;
                    return std::uint8_t(((p & mask) >> shift) * 255 / top);
                };
                o[0] = channel(image->red_mask);
                o[1] = channel(image->green_mask);
                o[2] = channel(image->blue_mask);
            }
            o[3] = 255;
        }
    }
    XDestroyImage(image);
    return out;
#else
    return screenshot();
#endif
}

std::optional<platform::Image> ClientWindowProcess::waitForScreen(const platform::Image& expected, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        auto last = screenshot();
        if (last && last->pixelWidth() == expected.pixelWidth() && screenLikeness(*last, expected) >= 0.9)
            return last;
        if (exited())
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return std::nullopt;
}

std::optional<platform::Image> ClientWindowProcess::waitForBand(
    const platform::Image& expected, double top, double bottom, double seconds)
{
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < deadline) {
        auto last = screenshot();
        if (last && last->pixelWidth() == expected.pixelWidth() && bandLikeness(*last, expected, top, bottom) >= 0.95)
            return last;
        if (exited())
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    return std::nullopt;
}

bool ClientWindowProcess::waitForMovingPicture(int changes, double seconds)
{
    // The share of a grid over the middle of the picture (clear of the
    // player's bars) that differs between two screenshots of one size.
    auto changed = [](const platform::Image& a, const platform::Image& b) {
        int differ = 0;
        int total = 0;
        for (int row = 0; row < 12; ++row) {
            for (int column = 0; column < 16; ++column) {
                int x = a.pixelWidth() * (20 + column * 60 / 15) / 100;
                int y = a.pixelHeight() * (25 + row * 50 / 11) / 100;
                differ += !near(a.pixelAt(x, y), b.pixelAt(x, y), 24);
                ++total;
            }
        }
        return double(differ) / total >= 0.02;
    };
    auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    std::optional<platform::Image> previous;
    int inARow = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        auto shot = screenshot();
        if (exited())
            return false;
        if (!shot || shot->pixelWidth() <= shot->pixelHeight()) {
            previous.reset();
            inARow = 0;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            continue;
        }
        bool sameSize = previous && previous->pixelWidth() == shot->pixelWidth()
            && previous->pixelHeight() == shot->pixelHeight();
        inARow = sameSize && changed(*previous, *shot) ? inARow + 1 : 0;
        if (inARow >= changes)
            return true;
        previous = std::move(shot);
    }
    return false;
}

bool ClientWindowProcess::exited()
{
    int status = 0;
    if (pid_ > 0 && waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
    }
    return pid_ <= 0;
}

int ClientWindowProcess::signalAndWait(int signal, double seconds)
{
    if (pid_ <= 0)
        return status_;
    if (kill(pid_, signal) != 0)
        return -1;
    return waitForEnd(seconds);
}

int ClientWindowProcess::waitForEnd(double seconds)
{
    if (pid_ <= 0)
        return status_;
    int status = waitForProcess(pid_, seconds);
    pid_ = -1;
    status_ = status;
    return status;
}

} // namespace testsupport
