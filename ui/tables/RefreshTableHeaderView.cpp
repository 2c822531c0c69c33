#include "ui/tables/RefreshTableHeaderView.h"

#include "platform/os/Bundle.h"
#include "platform/os/DateFormat.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/CAAnimation.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"
#include "ui/tables/RefreshTableStatus.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kArrowTurnDuration = 0.18;
using refresh_table::makeStatusLabel;

} // namespace

platform::Color RefreshTableHeaderView::defaultTextColor() { return platform::Color::fromRGB255(87, 108, 137, 1.0); }

RefreshTableHeaderView::RefreshTableHeaderView()
    : RefreshTableHeaderView(platform::Rect())
{
}

RefreshTableHeaderView::RefreshTableHeaderView(const platform::Rect& frame)
    : RefreshTableHeaderView(frame, kDefaultArrowImageName, defaultTextColor())
{
}

RefreshTableHeaderView::RefreshTableHeaderView(
    const platform::Rect& frame, const std::string& arrowImageName, const platform::Color& textColor)
    : UIView(frame)
{
    setUp(arrowImageName, textColor);
}

void RefreshTableHeaderView::setUp(const std::string& arrowImageName, const platform::Color& textColor)
{
    double w = frame().width();
    double h = frame().height();
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    setBackgroundColor(platform::Color::clearColor());

    lastUpdatedLabel_ = makeStatusLabel(platform::Rect(0, h - 30, w, 20), UIFont::systemFont(12), textColor);
    addSubview(lastUpdatedLabel_);
    statusLabel_ = makeStatusLabel(platform::Rect(0, h - 48, w, 20), UIFont::boldSystemFont(13), textColor);
    addSubview(statusLabel_);

    arrowImage_ = std::make_shared<CALayer>();
    arrowImage_->setFrame(platform::Rect(25, h - 65, 30, 55));
    arrowImage_->setContentsGravity(kCAGravityResizeAspect);
    arrowImage_->setContents(UIImage::imageNamed(arrowImageName));
    if (auto screen = UIScreen::mainScreen())
        arrowImage_->setContentsScale(screen->scale());
    layer()->addSublayer(arrowImage_);

    activityView_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    activityView_->setFrame(platform::Rect(25, h - 38, 20, 20));
    addSubview(activityView_);

    // No delegate can have answered yet: this only sets the texts.
    setState(Normal);
}

std::string RefreshTableHeaderView::text(const std::string& key)
{
    if (auto d = delegate())
        if (auto text = d->refreshTableHeaderLocalizedString(this, key); text && !text->empty())
            return *text;
    // Otherwise the application's table, which gives the key itself when it has no entry.
    return platform::localizedString(key);
}

bool RefreshTableHeaderView::delegateIsLoading()
{
    auto d = delegate();
    return d && d->refreshTableHeaderDataSourceIsLoading(this);
}

void RefreshTableHeaderView::turnArrow(double radians)
{
    auto turn = std::make_shared<CABasicAnimation>("transform");
    turn->setDuration(kArrowTurnDuration);
    arrowImage_->addAnimation(turn, "turn");
    arrowImage_->setTransform(radians == 0 ? CATransform3D::identity() : CATransform3D::makeRotation(radians, 0, 0, 1));
}

void RefreshTableHeaderView::setState(int state)
{
    switch (state) {
    case Pulling:
        statusLabel_->setText(text("Release to refresh"));
        turnArrow(std::numbers::pi);
        break;
    case Normal:
        if (state_ == Pulling)
            turnArrow(0);
        statusLabel_->setText(text("Pull down to refresh"));
        activityView_->stopAnimating();
        arrowImage_->setHidden(false);
        arrowImage_->setTransform(CATransform3D::identity());
        refreshLastUpdatedDate();
        break;
    case Loading:
        statusLabel_->setText(text("Loading..."));
        activityView_->startAnimating();
        arrowImage_->setHidden(true);
        break;
    default:
        break;
    }
    state_ = state;
}

void RefreshTableHeaderView::refreshLastUpdatedDate()
{
    auto defaults = platform::UserDefaults::standard();
    auto d = delegate();
    auto date = d ? d->refreshTableHeaderDataSourceLastUpdated(this) : std::nullopt;
    if (!date) {
        lastUpdatedLabel_->setText({});
        return;
    }
    platform::DateFormatter formatter("yyyy-MM-dd HH:mm:ss");
    lastUpdatedLabel_->setText(text("Last Updated Time") + ":" + formatter.stringFromDate(*date));
    if (defaults) {
        defaults->setString(lastUpdatedLabel_->text(), kLastRefreshDefaultsKey);
        defaults->synchronize();
    }
}

void RefreshTableHeaderView::refreshScrollViewDidScroll(UIScrollView* scrollView)
{
    if (!scrollView)
        return;
    double y = scrollView->contentOffset().y;
    if (state_ == Loading) {
        // Keep the loading band open as far as it is pulled into view, never more than its height.
        double top = std::min(std::max(-y, 0.0), kLoadingInset);
        scrollView->setContentInset(platform::EdgeInsets(top, 0, 0, 0));
        return;
    }
    // Asking whether the list is dragged may itself end the drag (the table
    // treats every "no" as the end of one), so the question comes first.
    if (!scrollView->isDragging())
        return;
    bool loading = delegateIsLoading();
    if (state_ == Pulling && y > -kTriggerOffset && y < 0 && !loading)
        setState(Normal);
    else if (state_ == Normal && y < -kTriggerOffset && !loading)
        setState(Pulling);
    if (scrollView->contentInset().top != 0)
        scrollView->setContentInset(platform::EdgeInsets());
}

void RefreshTableHeaderView::refreshScrollViewDidEndDragging(UIScrollView* scrollView)
{
    if (!scrollView)
        return;
    bool loading = delegateIsLoading();
    if (scrollView->contentOffset().y > -kTriggerOffset || loading || state_ == Loading)
        return;
    setState(Loading);
    refresh_table::openLoadingBand(scrollView, platform::EdgeInsets(kLoadingInset, 0, 0, 0));
    if (auto d = delegate())
        d->refreshTableHeaderDidTriggerRefresh(this);
}

void RefreshTableHeaderView::refreshScrollViewDataSourceDidFinishedLoading(UIScrollView* scrollView)
{
    refresh_table::closeLoadingBand(scrollView);
    setState(Normal);
}
