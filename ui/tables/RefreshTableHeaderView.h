#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <optional>
#include <string>

class CALayer;
class UIActivityIndicatorView;
class UILabel;
class UIScrollView;
class RefreshTableHeaderView;

// What the header asks of the list it sits on. Every method is optional: the
// defaults answer as a delegate without the method does.
class RefreshTableHeaderDelegate {
public:
    virtual ~RefreshTableHeaderDelegate() = default;
    // The pull was released far enough: load the first page again.
    virtual void refreshTableHeaderDidTriggerRefresh(RefreshTableHeaderView*) { }
    // Whether a load is outstanding (pulls do nothing meanwhile).
    virtual bool refreshTableHeaderDataSourceIsLoading(RefreshTableHeaderView*) { return false; }
    // nullopt: the last-updated label is cleared.
    virtual std::optional<platform::Date> refreshTableHeaderDataSourceLastUpdated(RefreshTableHeaderView*)
    {
        return std::nullopt;
    }
    // The text to show for a key, nullopt for the key's own text.
    virtual std::optional<std::string> refreshTableHeaderLocalizedString(RefreshTableHeaderView*, const std::string&)
    {
        return std::nullopt;
    }
};

// The view above a paged list's first row that follows a pull-down: "Pull down
// to refresh", past 65 points "Release to refresh" with the arrow turned, and
// after the release "Loading..." with a spinner while the list keeps a 60-point
// band open above the rows.
class RefreshTableHeaderView : public UIView {
public:
    ORB_CLASS_NAME(RefreshTableHeaderView)

    enum State { Pulling = 0, Normal = 1, Loading = 2 };

    // How far the list must be pulled down to load, and the band kept open while it loads.
    static constexpr double kTriggerOffset = 65;
    static constexpr double kLoadingInset = 60;
    static constexpr const char* kDefaultArrowImageName = "blueArrow.png";
    static platform::Color defaultTextColor();
    // Where the last-updated text is written (nothing reads it back).
    static constexpr const char* kLastRefreshDefaultsKey = "RefreshTableView_LastRefresh";

    RefreshTableHeaderView();
    explicit RefreshTableHeaderView(const platform::Rect& frame);
    RefreshTableHeaderView(
        const platform::Rect& frame, const std::string& arrowImageName, const platform::Color& textColor);

    std::shared_ptr<RefreshTableHeaderDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<RefreshTableHeaderDelegate> delegate) { delegate_ = std::move(delegate); }
    int state() const { return state_; }
    void setState(int state);

    void refreshLastUpdatedDate();
    void refreshScrollViewDidScroll(UIScrollView* scrollView);
    void refreshScrollViewDidEndDragging(UIScrollView* scrollView);
    void refreshScrollViewDataSourceDidFinishedLoading(UIScrollView* scrollView);

    const std::shared_ptr<UILabel>& statusLabel() const { return statusLabel_; }
    const std::shared_ptr<UILabel>& lastUpdatedLabel() const { return lastUpdatedLabel_; }
    const std::shared_ptr<CALayer>& arrowLayer() const { return arrowImage_; }
    const std::shared_ptr<UIActivityIndicatorView>& activityView() const { return activityView_; }

private:
    void setUp(const std::string& arrowImageName, const platform::Color& textColor);
    std::string text(const std::string& key);
    bool delegateIsLoading();
    void turnArrow(double radians);

    std::weak_ptr<RefreshTableHeaderDelegate> delegate_;
    int state_ = Normal;
    std::shared_ptr<UILabel> lastUpdatedLabel_;
    std::shared_ptr<UILabel> statusLabel_;
    std::shared_ptr<CALayer> arrowImage_;
    std::shared_ptr<UIActivityIndicatorView> activityView_;
};
