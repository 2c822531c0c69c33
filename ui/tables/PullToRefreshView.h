#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/DateFormat.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIScrollView.h"
#include "ui/tables/ScrollViewFollowingView.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UILabel;

// The arrow beside the pull-to-refresh texts: six bars over a head, filled
// with the arrow colour fading in from the top.
class PullToRefreshArrow : public UIView {
public:
    ORB_CLASS_NAME(PullToRefreshArrow)
    static constexpr double kWidth = 22;
    static constexpr double kHeight = 48;

    PullToRefreshArrow() = default;
    explicit PullToRefreshArrow(const platform::Rect& frame)
        : UIView(frame)
    {
    }
    // Grey while none is set.
    platform::Color arrowColor() const { return arrowColor_.value_or(platform::Color::grayColor()); }
    void setArrowColor(std::optional<platform::Color> color);
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

private:
    std::optional<platform::Color> arrowColor_;
};

// The 60-point header a scroll view shows above its content (or below it)
// while the list is pulled: "Pull to refresh...", past the line "Release to
// refresh...", and after the release "Loading..." with a spinner, kept in view
// by widening the content inset, while the screen's action loads. The screen
// ends it with stopAnimating. Added through addPullToRefreshWithActionHandler.
class PullToRefreshView : public ScrollViewFollowingView {
public:
    ORB_CLASS_NAME(PullToRefreshView)

    enum State : unsigned { Stopped = 0, Triggered = 1, Loading = 2 };
    // Stands for all three states in the per-state setters.
    static constexpr unsigned kAllStates = 10;
    enum Position : unsigned { Top = 0, Bottom = 1 };

    static constexpr double kHeight = 60;
    static constexpr double kArrowAnimationDuration = 0.2;

    PullToRefreshView();
    explicit PullToRefreshView(const platform::Rect& frame);
    ~PullToRefreshView() override;

    // ---- Loading -----------------------------------------------------------------
    // From stopped this shows the spinner without running the action; the
    // list scrolls to show the header when it rests at its top.
    void startAnimating();
    void stopAnimating();
    // The scroll view's triggerPullToRefresh: through triggered, so the action runs.
    void triggerRefresh();

    unsigned state() const { return state_; }
    void setState(unsigned state);
    unsigned position() const { return position_; }
    void setPosition(unsigned position) { position_ = position; }
    const std::function<void()>& pullToRefreshActionHandler() const { return actionHandler_; }
    void setPullToRefreshActionHandler(std::function<void()> handler) { actionHandler_ = std::move(handler); }

    // ---- Texts and views per state (0 to 2, or kAllStates) ------------------------
    // nullopt stores the empty text (an empty subtitle shows none).
    void setTitle(std::optional<std::string> title, unsigned state);
    void setSubtitle(std::optional<std::string> subtitle, unsigned state);
    // A view shown centred in place of texts and arrow; nullptr for none.
    void setCustomView(std::shared_ptr<UIView> view, unsigned state);
    const std::vector<std::string>& titles() const { return titles_; }
    const std::vector<std::string>& subtitles() const { return subtitles_; }
    const std::vector<std::shared_ptr<UIView>>& viewForState() const { return viewForState_; }

    // ---- Look ------------------------------------------------------------------------
    platform::Color arrowColor() const { return arrow_->arrowColor(); }
    void setArrowColor(std::optional<platform::Color> color);
    platform::Color textColor() const;
    void setTextColor(const platform::Color& color);
    UIActivityIndicatorViewStyle activityIndicatorViewStyle() const;
    void setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style);

    // ---- Date label ----------------------------------------------------------------------
    // Makes the subtitle label the date label: "上次更新: <date>", or the table's word
    // for "Never" when there is no date.
    const std::optional<platform::Date>& lastUpdatedDate() const { return lastUpdatedDate_; }
    void setLastUpdatedDate(std::optional<platform::Date> date);
    // Short date and time, made on first use.
    const platform::DateFormatter& dateFormatter();
    void setDateFormatter(std::shared_ptr<platform::DateFormatter> formatter);
    bool showsDateLabel() const { return showsDateLabel_; }
    void setShowsDateLabel(bool shows) { showsDateLabel_ = shows; }
    // The subtitle label while it serves as date label, else nullptr.
    std::shared_ptr<UILabel> dateLabel() const;

    double originalTopInset() const { return originalTopInset_; }
    void setOriginalTopInset(double inset) { originalTopInset_ = inset; }
    double originalBottomInset() const { return originalBottomInset_; }
    void setOriginalBottomInset(double inset) { originalBottomInset_ = inset; }
    bool wasTriggeredByUser() const { return wasTriggeredByUser_; }
    bool showsPullToRefresh() const { return showsPullToRefresh_; }
    void setShowsPullToRefresh(bool shows) { showsPullToRefresh_ = shows; }

    const std::shared_ptr<PullToRefreshArrow>& arrow() const { return arrow_; }
    const std::shared_ptr<UIActivityIndicatorView>& activityIndicatorView() const { return activityIndicatorView_; }
    const std::shared_ptr<UILabel>& titleLabel() const { return titleLabel_; }
    const std::shared_ptr<UILabel>& subtitleLabel() const { return subtitleLabel_; }

    // ---- Following the scroll view ---------------------------------------------------------
    void startObserving();
    void scrollViewDidScroll(platform::Point contentOffset);
    void resetScrollViewContentInset();
    // Where the header moves when the content's size changes: below the
    // content or the visible area, whichever is lower, for the bottom position.
    double restingY() const;

    void layoutSubviews() override;

private:
    void setScrollViewContentInsetForLoading();
    void rotateArrow(double radians, bool hide);
    void observedContentSize();
    void showDateText();
    template <class T> void storeForState(std::vector<T>& list, T value, unsigned state);

    bool showsPullToRefresh_ = false;
    bool wasTriggeredByUser_ = true;
    bool showsDateLabel_ = false;
    std::function<void()> actionHandler_;
    platform::Color textColor_ = platform::Color::darkGrayColor();
    std::optional<platform::Date> lastUpdatedDate_;
    std::shared_ptr<platform::DateFormatter> dateFormatter_;
    unsigned state_ = Stopped;
    std::shared_ptr<PullToRefreshArrow> arrow_;
    std::shared_ptr<UIActivityIndicatorView> activityIndicatorView_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UILabel> subtitleLabel_;
    unsigned position_ = Top;
    std::vector<std::string> titles_;
    std::vector<std::string> subtitles_;
    std::vector<std::shared_ptr<UIView>> viewForState_;
    double originalTopInset_ = 0;
    double originalBottomInset_ = 0;
};

// ---- The scroll view's pull-to-refresh ------------------------------------------------------
// Adds the header when the scroll view has none yet (a second call changes
// nothing, not even the action): 60 points above the content (Top) or at its
// end (Bottom); any other position adds nothing. The scroll view's subviews
// keep the header alive; the header holds its scroll view weakly.
void addPullToRefreshWithActionHandler(
    UIScrollView& scrollView, std::function<void()> actionHandler, unsigned position = PullToRefreshView::Top);
// Through triggered to loading: the action runs.
void triggerPullToRefresh(UIScrollView& scrollView);
std::shared_ptr<PullToRefreshView> pullToRefreshView(const UIScrollView& scrollView);
bool showsPullToRefresh(const UIScrollView& scrollView);
// Shown: the header follows the scroll view. Hidden: it stops following and
// gives the content inset back.
void setShowsPullToRefresh(UIScrollView& scrollView, bool shows);
