#pragma once

#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <string>
#include <sys/types.h>
#include <vector>

namespace hosttest {

// A screen with a table longer than the phone's screen: rows "Row 0" … that
// record their selection, and every scroll callback in order.
class LongListController final : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
public:
    static constexpr long kRows = 30;

    std::string className() const override { return "LongListController"; }
    void loadView() override;
    void viewDidLoad() override;
    std::shared_ptr<UITableView> tableView() const { return table_; }

    long numberOfRowsInSection(UITableView*, long) override { return kRows; }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    void didSelectRowAtIndexPath(UITableView*, const NSIndexPath& path) override;
    void scrollViewWillBeginDragging(UIScrollView*) override { events.push_back("willBeginDragging"); }
    void scrollViewDidEndDragging(UIScrollView*, bool decelerate) override;
    void scrollViewWillBeginDecelerating(UIScrollView*) override { events.push_back("willBeginDecelerating"); }
    void scrollViewDidEndDecelerating(UIScrollView*) override { events.push_back("didEndDecelerating"); }

    std::vector<long> selectedRows;
    std::vector<std::string> events;

private:
    std::shared_ptr<UITableView> table_;
};

// The view's centre in screen points.
struct ScreenPoint {
    double x = 0;
    double y = 0;
};
ScreenPoint centreOnScreen(const std::shared_ptr<UIView>& view);

// An X server of our own on a free display, for the tests that need a window.
// DISPLAY points at it while it runs.
class XvfbDisplay final {
public:
    XvfbDisplay() = default;
    ~XvfbDisplay();
    // False with the reason when Xvfb is missing or does not come up.
    bool start(std::string* reason);
    void stop();
    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
    std::string previousDisplay_;
    bool hadDisplay_ = false;
    std::string directory_;
};

// Runs a tool (xdotool, import) to its end while the main loop keeps
// running, since the window must keep answering the X server meanwhile.
// Its exit status, or -1 when it could not start or took more than 20 s.
int runWhileLooping(const std::vector<std::string>& args, std::string* output = nullptr);

} // namespace hosttest
