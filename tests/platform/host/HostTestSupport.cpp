#include "tests/platform/host/HostTestSupport.h"

#include "platform/os/FileUtil.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/ProcessUtil.h"

#include <csignal>
#include <cstdlib>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace hosttest {

void LongListController::loadView()
{
    table_ = std::make_shared<UITableView>(UIScreen::mainScreen()->bounds(), UITableViewStylePlain);
    table_->setBackgroundColor(platform::Color::whiteColor());
    setView(table_);
}

void LongListController::viewDidLoad()
{
    setTitle("Rows");
    setEdgesForExtendedLayout(UIRectEdgeNone);
    auto self = std::static_pointer_cast<LongListController>(shared_from_this());
    table_->setDataSource(self);
    table_->setDelegate(self);
}

std::shared_ptr<UITableViewCell> LongListController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    auto cell = table->dequeueReusableCellWithIdentifier("row");
    if (!cell)
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "row");
    cell->textLabel()->setText("Row " + std::to_string(path.row));
    return cell;
}

void LongListController::didSelectRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    selectedRows.push_back(path.row);
}

void LongListController::scrollViewDidEndDragging(UIScrollView*, bool decelerate)
{
    events.push_back(decelerate ? "didEndDragging(decelerate)" : "didEndDragging");
}

ScreenPoint centreOnScreen(const std::shared_ptr<UIView>& view)
{
    if (!view || !view->window())
        return {};
    auto window = view->window();
    window->layoutIfNeeded();
    auto b = view->bounds();
    auto p = view->convertPointToView(platform::Point(b.midX(), b.midY()), nullptr);
    auto f = window->frame();
    return { p.x + f.origin.x, p.y + f.origin.y };
}

XvfbDisplay::~XvfbDisplay() { stop(); }

bool XvfbDisplay::start(std::string* reason)
{
    std::string found;
    for (const char* dir : { "/usr/bin", "/usr/local/bin", "/bin" }) {
        std::string candidate = std::string(dir) + "/Xvfb";
        if (access(candidate.c_str(), X_OK) == 0)
            found = candidate;
    }
    if (found.empty()) {
        *reason = "Xvfb is not installed (scripts/setup installs the xvfb package)";
        return false;
    }
    directory_ = testsupport::makeTempDir("orb-xvfb");
    // A display number nobody holds: neither a lock file nor a socket.
    for (int number = 70 + int(getpid() % 200); number < 70 + 200 + 200; ++number) {
        std::string lock = "/tmp/.X" + std::to_string(number) + "-lock";
        std::string socket = "/tmp/.X11-unix/X" + std::to_string(number);
        struct stat st { };
        if (stat(lock.c_str(), &st) == 0 || stat(socket.c_str(), &st) == 0)
            continue;
        std::string display = ":" + std::to_string(number);
        pid_ = testsupport::spawnProcess(
            { found, display, "-screen", "0", "800x1200x24", "-nolisten", "tcp" }, directory_ + "/xvfb.log");
        if (pid_ < 0) {
            *reason = "Xvfb could not be started";
            return false;
        }
        // Bounded: 100 looks, 50 ms apart.
        for (int i = 0; i < 100; ++i) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            if (stat(socket.c_str(), &st) == 0) {
                if (const char* previous = std::getenv("DISPLAY")) {
                    hadDisplay_ = true;
                    previousDisplay_ = previous;
                }
                setenv("DISPLAY", display.c_str(), 1);
                name_ = display;
                return true;
            }
            usleep(50 * 1000);
        }
        if (pid_ > 0) {
            testsupport::stopProcess(pid_);
            pid_ = -1;
        }
        *reason = "Xvfb did not come up on " + display + ": " + testsupport::readTextFile(directory_ + "/xvfb.log");
        return false;
    }
    *reason = "no free X display number";
    return false;
}

void XvfbDisplay::stop()
{
    if (pid_ > 0) {
        testsupport::stopProcess(pid_);
        pid_ = -1;
    }
    if (!directory_.empty()) {
        platform::FileUtil::remove(directory_);
        directory_.clear();
    }
    if (!name_.empty()) {
        if (hadDisplay_)
            setenv("DISPLAY", previousDisplay_.c_str(), 1);
        else
            unsetenv("DISPLAY");
        name_.clear();
    }
}

int runWhileLooping(const std::vector<std::string>& args, std::string* output)
{
    std::string directory = testsupport::makeTempDir("orb-tool");
    std::string log = directory + "/out.log";
    pid_t pid = testsupport::spawnProcess(args, log);
    if (pid < 0)
        return -1;
    int exitStatus = -1;
    bool done = platform::RunLoop::main().runUntil(
        [&] {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) != pid)
                return false;
            exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
            return true;
        },
        20);
    if (!done) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
    if (output)
        *output = testsupport::readTextFile(log);
    platform::FileUtil::remove(directory);
    return exitStatus;
}

} // namespace hosttest
