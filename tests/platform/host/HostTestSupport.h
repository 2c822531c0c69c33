#pragma once

#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/uikit/UIKitDriver.h"

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
using ScreenPoint = testsupport::ScreenSpot;
using testsupport::screenCentreOf;

// The X server and the tools beside the loop are shared with the
// application's window test (tests/support).
using testsupport::runWhileLooping;
using testsupport::XvfbDisplay;

} // namespace hosttest
