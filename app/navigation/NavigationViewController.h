#pragma once

#include "app/base/BaseViewController.h"
#include "app/navigation/NavigationInfo.h"
#include "ui/grid/GridView.h"

#include <memory>
#include <vector>

// The function grid: the first screen of the third tab, the feature entries
// of the signed-in account's role as tiles over a background picture, each
// pushing its feature's screen.
class NavigationViewController : public BaseViewController, public GridViewDelegate {
public:
    ORB_CLASS_NAME(NavigationViewController)

    // What the tab bar covers on a 4-inch screen, and on any other.
    static constexpr double kTallBottomMargin = 49.0;
    static constexpr double kBottomMargin = 80.0;
    static constexpr double kStatusBarHeight = 20.0;

    NavigationViewController();
    explicit NavigationViewController(std::string nibName);

    void loadView() override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    unsigned long gridViewNumberOfItems(GridView*) override;
    GridViewItem gridViewItemForIndex(GridView*, unsigned long index) override;
    void gridViewDidSelectItemAtIndex(GridView*, unsigned long index) override;

    const std::vector<std::shared_ptr<NavigationInfo>>& gridItems() const { return gridItems_; }

private:
    std::shared_ptr<GridView> gridView_;
    bool gridKeptAtTabBar_ = false;
    std::vector<std::shared_ptr<NavigationInfo>> gridItems_;
};
