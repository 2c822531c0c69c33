#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <optional>
#include <string>

class UIActivityIndicatorView;
class UILabel;
class UIScrollView;
class RefreshTableFooterView;

// What the footer asks of its list; every method optional, as for the header.
class RefreshTableFooterDelegate {
public:
    virtual ~RefreshTableFooterDelegate() = default;
    // The pull past the end was released far enough: load the next page.
    virtual void refreshTableFooterDidTriggerRefresh(RefreshTableFooterView*) { }
    virtual bool refreshTableFooterDataSourceIsLoading(RefreshTableFooterView*) { return false; }
    virtual std::optional<platform::Date> refreshTableFooterDataSourceLastUpdated(RefreshTableFooterView*)
    {
        return std::nullopt;
    }
    virtual std::optional<std::string> refreshTableFooterLocalizedString(RefreshTableFooterView*, const std::string&)
    {
        return std::nullopt;
    }
};

// The view below a paged list's last row: "Pull up to load more", past 62
// points beyond the end "Release to load more", after the release
// "Loading..." with a spinner while a 62-point band stays open below the rows.
// It is the table's footer view, 0 points high: its label and spinner hang
// below it, in the band.
class RefreshTableFooterView : public UIView {
public:
    ORB_CLASS_NAME(RefreshTableFooterView)

    // 2 is left unused, so the loading value differs from the header's.
    enum State { Pulling = 0, Normal = 1, Loading = 3 };

    static constexpr double kTriggerDistance = 62;

    RefreshTableFooterView();
    explicit RefreshTableFooterView(const platform::Rect& frame);
    // The arrow image name is accepted for symmetry with the header; the footer has no arrow.
    RefreshTableFooterView(
        const platform::Rect& frame, const std::string& arrowImageName, const platform::Color& textColor);

    std::shared_ptr<RefreshTableFooterDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<RefreshTableFooterDelegate> delegate) { delegate_ = std::move(delegate); }
    int state() const { return state_; }
    void setState(int state);

    void refreshLastUpdatedDate();
    void refreshScrollViewDidScroll(UIScrollView* scrollView);
    void refreshScrollViewDidEndDragging(UIScrollView* scrollView);
    void refreshScrollViewDataSourceDidFinishedLoading(UIScrollView* scrollView);

    const std::shared_ptr<UILabel>& statusLabel() const { return statusLabel_; }
    const std::shared_ptr<UIActivityIndicatorView>& activityView() const { return activityView_; }

private:
    void setUp(const platform::Color& textColor);
    std::string text(const std::string& key);
    bool delegateIsLoading();
    // Past the trigger line: the visible bottom more than 62 points beyond the content.
    static bool isPastTrigger(UIScrollView* scrollView);

    std::weak_ptr<RefreshTableFooterDelegate> delegate_;
    int state_ = Normal;
    std::shared_ptr<UILabel> statusLabel_;
    std::shared_ptr<UIActivityIndicatorView> activityView_;
};
