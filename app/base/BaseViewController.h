#pragma once

#include "platform/os/Value.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <string>
#include <vector>

class HTTPRequest;
class UIImageView;
class UILabel;
class UIView;

// The base of nearly every screen: a white bold title (optionally opening a
// drop-down list of choices under it), bar items with a fixed negative
// spacer, a swipe to the right that goes back, the main tab bar hidden while
// the screen is deeper than its tab's first screen, and the screen's own
// requests, cancelled when it goes away.
class BaseViewController : public UIViewController {
public:
    ORB_CLASS_NAME(BaseViewController)

    static constexpr double kTitleWidth = 190;
    static constexpr double kTitleHeight = 22;
    static constexpr double kTitleFontSize = 18;
    static constexpr double kListWidth = 160;
    static constexpr double kListRowHeight = 40;
    static constexpr double kListAnimationDuration = 0.1;
    static constexpr int kListButtonTagBase = 200;
    static constexpr double kFixedSpaceWidth = -12;

    BaseViewController();
    explicit BaseViewController(std::string nibName);
    ~BaseViewController() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Also shown in the title label.
    void setTitle(std::string title);
    std::shared_ptr<UIView> titleView() const { return titleView_; }
    void setTitleView(std::shared_ptr<UIView> view);
    std::shared_ptr<UIView> leftItem() const { return leftItem_; }
    void setLeftItem(std::shared_ptr<UIView> view);
    std::shared_ptr<UIView> rightItem() const { return rightItem_; }
    void setRightItem(std::shared_ptr<UIView> view);
    void popViewController();

    bool hasOpenList() const { return hasOpenList_; }
    void setHasOpenList(bool has) { hasOpenList_ = has; }
    const platform::Array& baseListData() const { return baseListData_; }
    void setBaseListData(platform::Array data) { baseListData_ = std::move(data); }
    bool isShowingList() const { return isShowingList_; }
    void showOrHideListView();
    void hideListView();
    void linkTo(UIControl* button);

    // Hooks for the screens.
    virtual void openListIndex(const platform::Value& /*entry*/) { }
    virtual void hideOtherListView() { }
    virtual void setListData(const platform::Array& /*data*/) { }

    std::shared_ptr<UIViewController> parent() const { return parent_; }
    void setParent(std::shared_ptr<UIViewController> parent) { parent_ = std::move(parent); }

    // A request of the older builders, registered before it starts.
    void addRequest(const std::shared_ptr<HTTPRequest>& request);
    // Clears each request's delegates, then cancels it: nothing reaches the screen afterwards.
    void cancelAllRequests();
    std::size_t requestCount() const { return requests_.size(); }

    std::shared_ptr<UILabel> lblTitle() const { return lblTitle_; }
    std::shared_ptr<UIView> customTitleView() const { return customTitleView_; }
    std::shared_ptr<UIView> listView() const { return listView_; }
    std::shared_ptr<UIImageView> openListImageView() const { return openListImageView_; }

protected:
    // A weak reference to this screen for blocks handed to the dispatcher or
    // timers: a screen that has gone is never called back.
    template <class T> std::weak_ptr<T> weakSelf()
    {
        return std::static_pointer_cast<T>(shared_from_this());
    }

private:
    void setUpTitle();
    void clearList();

    std::shared_ptr<UILabel> lblTitle_;
    std::vector<std::shared_ptr<HTTPRequest>> requests_;
    std::shared_ptr<UIView> customTitleView_;
    std::shared_ptr<UIView> listView_;
    bool isShowingList_ = false;
    std::shared_ptr<UIImageView> openListImageView_;
    bool hasOpenList_ = false;
    std::shared_ptr<UIView> leftItem_;
    std::shared_ptr<UIView> rightItem_;
    std::shared_ptr<UIView> titleView_;
    std::shared_ptr<UIViewController> parent_;
    platform::Array baseListData_;
};
