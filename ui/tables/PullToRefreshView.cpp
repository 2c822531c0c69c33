#include "ui/tables/PullToRefreshView.h"

#include "platform/graphics/Context.h"
#include "platform/os/Bundle.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UILabel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace {

constexpr double kMargin = 10;
constexpr double kLabelWidth = 210;
constexpr double kLabelHeight = 20;
constexpr double kFloatEpsilon = std::numeric_limits<float>::epsilon();

bool isZero(double value) { return std::fabs(value) < kFloatEpsilon; }

// The rectangle rounded outward to whole points.
platform::Rect integral(const platform::Rect& r)
{
    double x = std::floor(r.origin.x);
    double y = std::floor(r.origin.y);
    return platform::Rect(x, y, std::ceil(r.origin.x + r.width()) - x, std::ceil(r.origin.y + r.height()) - y);
}

platform::Point centred(const UIView& inside, const UIView& view)
{
    return platform::Point(std::round((inside.bounds().width() - view.frame().width()) / 2),
        std::round((inside.bounds().height() - view.frame().height()) / 2));
}

} // namespace

// ---- PullToRefreshArrow -------------------------------------------------------------

void PullToRefreshArrow::setArrowColor(std::optional<platform::Color> color)
{
    arrowColor_ = color;
    setNeedsDisplay();
}

void PullToRefreshArrow::drawRect(platform::Context& context, const platform::Rect& rect)
{
    context.save();
    context.beginPath();
    for (double y : { 0, 6, 12, 18, 24, 30 })
        context.addRect(platform::Rect(5, y, 12, 4));
    context.moveTo(platform::Point(0, 34));
    context.lineTo(platform::Point(11, 48));
    context.lineTo(platform::Point(22, 34));
    context.closePath();
    context.clip();
    auto color = arrowColor();
    context.drawLinearGradient({ { 0, color.withAlpha(0) }, { 0.8, color.withAlpha(1) } },
        platform::Point(0, rect.origin.y), platform::Point(0, rect.origin.y + rect.height()));
    context.restore();
}

// ---- PullToRefreshView --------------------------------------------------------------

PullToRefreshView::PullToRefreshView()
    : PullToRefreshView(platform::Rect())
{
}

PullToRefreshView::PullToRefreshView(const platform::Rect& frame)
    : ScrollViewFollowingView(frame)
{
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    titles_ = { platform::localizedString("Pull to refresh..."), platform::localizedString("Release to refresh..."),
        platform::localizedString("Loading...") };
    subtitles_ = { "", "", "" };
    viewForState_ = { nullptr, nullptr, nullptr };

    arrow_ = std::make_shared<PullToRefreshArrow>(
        platform::Rect(0, frame.height() - 54, PullToRefreshArrow::kWidth, PullToRefreshArrow::kHeight));
    arrow_->setBackgroundColor(platform::Color::clearColor());
    addSubview(arrow_);

    activityIndicatorView_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhite);
    activityIndicatorView_->setHidesWhenStopped(true);
    addSubview(activityIndicatorView_);
    // The grey spinner suits the light list backgrounds.
    activityIndicatorView_->setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleGray);

    titleLabel_ = std::make_shared<UILabel>(platform::Rect(0, 0, kLabelWidth, kLabelHeight));
    titleLabel_->setText(titles_[Stopped]);
    titleLabel_->setFont(UIFont::boldSystemFont(14));
    titleLabel_->setBackgroundColor(platform::Color::clearColor());
    titleLabel_->setTextColor(textColor_);
    addSubview(titleLabel_);

    subtitleLabel_ = std::make_shared<UILabel>(platform::Rect(0, 0, kLabelWidth, kLabelHeight));
    subtitleLabel_->setFont(UIFont::systemFont(12));
    subtitleLabel_->setBackgroundColor(platform::Color::clearColor());
    subtitleLabel_->setTextColor(textColor_);
    addSubview(subtitleLabel_);
}

PullToRefreshView::~PullToRefreshView() { stopObserving(); }

template <class T> void PullToRefreshView::storeForState(std::vector<T>& list, T value, unsigned state)
{
    if (state == kAllStates)
        std::fill(list.begin(), list.end(), value);
    else if (state < list.size())
        list[state] = std::move(value);
    else
        return;
    setNeedsLayout();
}

void PullToRefreshView::setTitle(std::optional<std::string> title, unsigned state)
{
    storeForState(titles_, title.value_or(std::string()), state);
}

void PullToRefreshView::setSubtitle(std::optional<std::string> subtitle, unsigned state)
{
    storeForState(subtitles_, subtitle.value_or(std::string()), state);
}

void PullToRefreshView::setCustomView(std::shared_ptr<UIView> view, unsigned state)
{
    storeForState(viewForState_, std::move(view), state);
}

void PullToRefreshView::setArrowColor(std::optional<platform::Color> color) { arrow_->setArrowColor(color); }

platform::Color PullToRefreshView::textColor() const { return titleLabel_->textColor(); }

void PullToRefreshView::setTextColor(const platform::Color& color)
{
    textColor_ = color;
    titleLabel_->setTextColor(color);
    subtitleLabel_->setTextColor(color);
}

UIActivityIndicatorViewStyle PullToRefreshView::activityIndicatorViewStyle() const
{
    return activityIndicatorView_->activityIndicatorViewStyle();
}

void PullToRefreshView::setActivityIndicatorViewStyle(UIActivityIndicatorViewStyle style)
{
    activityIndicatorView_->setActivityIndicatorViewStyle(style);
}

const platform::DateFormatter& PullToRefreshView::dateFormatter()
{
    if (!dateFormatter_)
        dateFormatter_ = std::make_shared<platform::DateFormatter>("yy/M/d HH:mm");
    return *dateFormatter_;
}

void PullToRefreshView::showDateText()
{
    std::string text = platform::localizedString("Last Updated: %@");
    std::string when = lastUpdatedDate_ ? dateFormatter().stringFromDate(*lastUpdatedDate_)
                                        : platform::localizedString("Never");
    if (auto slot = text.find("%@"); slot != std::string::npos)
        text.replace(slot, 2, when);
    subtitleLabel_->setText(text);
}

void PullToRefreshView::setLastUpdatedDate(std::optional<platform::Date> date)
{
    lastUpdatedDate_ = date;
    showsDateLabel_ = true;
    showDateText();
}

void PullToRefreshView::setDateFormatter(std::shared_ptr<platform::DateFormatter> formatter)
{
    dateFormatter_ = std::move(formatter);
    showDateText();
}

std::shared_ptr<UILabel> PullToRefreshView::dateLabel() const { return showsDateLabel_ ? subtitleLabel_ : nullptr; }

// ---- Scroll view ---------------------------------------------------------------------

double PullToRefreshView::restingY() const
{
    auto scroll = scrollView();
    if (!scroll)
        return frame().origin.y;
    if (position_ == Bottom)
        return std::max(scroll->contentSize().height, scroll->bounds().height());
    if (position_ == Top)
        return -kHeight;
    return 0;
}

void PullToRefreshView::startObserving()
{
    auto scroll = scrollView();
    if (!scroll || isObserving_)
        return;
    std::weak_ptr<PullToRefreshView> weakSelf = std::static_pointer_cast<PullToRefreshView>(sharedView());
    observers_.push_back(scroll->addContentOffsetObserver([weakSelf](UIScrollView* s) {
        if (auto self = weakSelf.lock())
            self->scrollViewDidScroll(s->contentOffset());
    }));
    // The release, which on the phone the bounce's first offset changes
    // report: the first starts the load, the next ones (here a second look at
    // the same offset) open the inset that the list then settles against.
    observers_.push_back(scroll->addDragEndObserver([weakSelf](UIScrollView* s) {
        auto self = weakSelf.lock();
        if (!self)
            return;
        self->scrollViewDidScroll(s->contentOffset());
        if (self->state() == Loading)
            self->scrollViewDidScroll(s->contentOffset());
    }));
    observers_.push_back(scroll->addContentSizeObserver([weakSelf](UIScrollView*) {
        if (auto self = weakSelf.lock())
            self->observedContentSize();
    }));
    observers_.push_back(scroll->addFrameObserver([weakSelf](UIScrollView*) {
        if (auto self = weakSelf.lock())
            self->layoutSubviews();
    }));
    isObserving_ = true;
}

void PullToRefreshView::observedContentSize()
{
    layoutSubviews();
    setFrame(platform::Rect(0, restingY(), bounds().width(), kHeight));
}

void PullToRefreshView::scrollViewDidScroll(platform::Point contentOffset)
{
    auto scroll = scrollView();
    if (!scroll)
        return;
    double y = contentOffset.y;
    double viewHeight = scroll->bounds().height();
    double contentHeight = scroll->contentSize().height;
    if (state_ != Loading) {
        double threshold = 0;
        if (position_ == Bottom)
            threshold = std::max(contentHeight - viewHeight, 0.0) + bounds().height() + originalBottomInset_;
        else if (position_ == Top)
            threshold = frame().origin.y - originalTopInset_;
        bool dragging = scroll->isDragging();
        if (!dragging && state_ == Triggered) {
            setState(Loading);
        } else if (position_ == Top) {
            if (dragging && state_ == Stopped && y < threshold)
                setState(Triggered);
            else if (y >= threshold && state_ != Stopped)
                setState(Stopped);
        } else if (position_ == Bottom) {
            if (dragging && state_ == Stopped && y > threshold)
                setState(Triggered);
            else if (y <= threshold && state_ != Stopped)
                setState(Stopped);
        }
        return;
    }
    // Loading: keep the header in view as the person scrolls, set at once.
    auto inset = scroll->contentInset();
    if (position_ == Top) {
        inset.top = std::min(std::max(-scroll->contentOffset().y, 0.0), originalTopInset_ + bounds().height());
        scroll->setContentInset(inset);
    } else if (position_ == Bottom) {
        if (contentHeight >= viewHeight) {
            inset.bottom = std::min(std::max(contentHeight - viewHeight + bounds().height(), 0.0),
                originalBottomInset_ + bounds().height());
            scroll->setContentInset(inset);
        } else if (wasTriggeredByUser_) {
            inset.top = -std::min(bounds().height(), originalBottomInset_ + bounds().height());
            scroll->setContentInset(inset);
        }
    }
}

void PullToRefreshView::setScrollViewContentInsetForLoading()
{
    auto scroll = scrollView();
    if (!scroll)
        return;
    double offset = std::max(-scroll->contentOffset().y, 0.0);
    auto inset = scroll->contentInset();
    if (position_ == Top)
        inset.top = std::min(offset, originalTopInset_ + bounds().height());
    else if (position_ == Bottom)
        inset.bottom = std::min(offset, originalBottomInset_ + bounds().height());
    setScrollViewContentInset(inset);
}

void PullToRefreshView::resetScrollViewContentInset()
{
    auto scroll = scrollView();
    if (!scroll)
        return;
    auto inset = scroll->contentInset();
    if (position_ == Top) {
        inset.top = originalTopInset_;
    } else if (position_ == Bottom) {
        inset.bottom = originalBottomInset_;
        inset.top = originalTopInset_;
    } else {
        return;
    }
    setScrollViewContentInset(inset);
}

void PullToRefreshView::setState(unsigned state)
{
    if (state == state_)
        return;
    unsigned previous = state_;
    state_ = state;
    setNeedsLayout();
    if (state == Loading) {
        setScrollViewContentInsetForLoading();
        if (previous == Triggered && actionHandler_) {
            // A copy: the action may replace the handler while it runs.
            auto action = actionHandler_;
            action();
        }
    } else if (state == Stopped) {
        resetScrollViewContentInset();
        wasTriggeredByUser_ = true;
    }
}

void PullToRefreshView::startAnimating()
{
    if (auto scroll = scrollView()) {
        auto offset = scroll->contentOffset();
        double viewHeight = scroll->bounds().height();
        double contentHeight = scroll->contentSize().height;
        if (position_ == Top) {
            if (isZero(offset.y)) {
                scroll->setContentOffset(platform::Point(offset.x, -bounds().height()), true);
                wasTriggeredByUser_ = false;
            } else {
                wasTriggeredByUser_ = true;
            }
        } else if (position_ == Bottom) {
            if ((isZero(offset.y) && contentHeight < viewHeight) || isZero(offset.y - (contentHeight - viewHeight))) {
                scroll->setContentOffset(
                    platform::Point(0, std::max(contentHeight - viewHeight, 0.0) + bounds().height()), true);
                wasTriggeredByUser_ = false;
            } else {
                wasTriggeredByUser_ = true;
            }
        }
    }
    setState(Loading);
}

void PullToRefreshView::stopAnimating() { setState(Stopped); }

void PullToRefreshView::triggerRefresh()
{
    if (auto scroll = scrollView())
        triggerPullToRefresh(*scroll);
}

// ---- Layout --------------------------------------------------------------------------

void PullToRefreshView::rotateArrow(double radians, bool hide)
{
    auto arrowLayer = arrow_->layer();
    UIView::animateWithDuration(kArrowAnimationDuration, 0, UIViewAnimationOptionAllowUserInteraction, [&] {
        arrowLayer->setTransform(CATransform3D::makeRotation(radians, 0, 0, 1));
        arrowLayer->setOpacity(hide ? 0 : 1);
    });
}

void PullToRefreshView::layoutSubviews()
{
    UIView::layoutSubviews();
    for (const auto& view : viewForState_)
        if (view)
            view->removeFromSuperview();
    unsigned index = std::min<unsigned>(state_, static_cast<unsigned>(viewForState_.size() - 1));
    if (const auto& custom = viewForState_[index]) {
        titleLabel_->setHidden(true);
        subtitleLabel_->setHidden(true);
        arrow_->setHidden(true);
        addSubview(custom);
        auto size = custom->frame().size;
        custom->setFrame(platform::Rect(centred(*this, *custom), size));
        return;
    }
    titleLabel_->setHidden(false);
    subtitleLabel_->setHidden(false);
    arrow_->setHidden(false);

    bool bottom = position_ == Bottom;
    switch (state_) {
    case Stopped:
        arrow_->setAlpha(1);
        activityIndicatorView_->stopAnimating();
        rotateArrow(bottom ? std::numbers::pi : 0, false);
        break;
    case Triggered:
        rotateArrow(bottom ? 0 : std::numbers::pi, false);
        break;
    case Loading:
        activityIndicatorView_->startAnimating();
        rotateArrow(bottom ? std::numbers::pi : 0, true);
        break;
    default:
        break;
    }

    double w = bounds().width();
    double h = bounds().height();
    double leftWidth = std::max(arrow_->bounds().width(), activityIndicatorView_->bounds().width());
    double limit = w - kMargin - leftWidth;

    titleLabel_->setText(titles_[index]);
    const std::string& subtitle = subtitles_[index];
    subtitleLabel_->setText(subtitle);

    auto measure = [limit](const UILabel& label) {
        if (label.text().empty())
            return platform::Size();
        return platform::measureText(label.text(), label.font(), platform::Size(limit, label.font().lineHeight()),
            toLineBreakMode(label.lineBreakMode()));
    };
    auto titleSize = measure(*titleLabel_);
    auto subtitleSize = measure(*subtitleLabel_);
    double totalWidth = leftWidth + kMargin + std::max(titleSize.width, subtitleSize.width);
    double labelX = w / 2 - totalWidth / 2 + leftWidth + kMargin;
    double blockHeight = subtitleSize.height > 0 ? titleSize.height + subtitleSize.height : titleSize.height;
    double titleY = h / 2 - blockHeight / 2;
    titleLabel_->setFrame(integral(platform::Rect(labelX, titleY, titleSize.width, titleSize.height)));
    subtitleLabel_->setFrame(
        integral(platform::Rect(labelX, titleY + titleSize.height, subtitleSize.width, subtitleSize.height)));

    auto arrowSize = arrow_->bounds().size;
    arrow_->setFrame(platform::Rect(w / 2 - totalWidth / 2 + (leftWidth - arrowSize.width) / 2,
        h / 2 - arrowSize.height / 2, arrowSize.width, arrowSize.height));
    activityIndicatorView_->setCenter(arrow_->center());
}

// ---- The scroll view's side ----------------------------------------------------------

std::shared_ptr<PullToRefreshView> pullToRefreshView(const UIScrollView& scrollView)
{
    return followingViewOf<PullToRefreshView>(scrollView);
}

void addPullToRefreshWithActionHandler(UIScrollView& scrollView, std::function<void()> actionHandler, unsigned position)
{
    if (pullToRefreshView(scrollView))
        return;
    double y = 0;
    if (position == PullToRefreshView::Top)
        y = -PullToRefreshView::kHeight;
    else if (position == PullToRefreshView::Bottom)
        y = scrollView.contentSize().height;
    else
        return;
    auto header = std::make_shared<PullToRefreshView>(
        platform::Rect(0, y, scrollView.bounds().width(), PullToRefreshView::kHeight));
    header->setPullToRefreshActionHandler(std::move(actionHandler));
    header->setScrollView(std::static_pointer_cast<UIScrollView>(scrollView.sharedView()));
    scrollView.addSubview(header);
    header->setOriginalTopInset(scrollView.contentInset().top);
    header->setOriginalBottomInset(scrollView.contentInset().bottom);
    header->setPosition(position);
    setShowsPullToRefresh(scrollView, true);
}

void triggerPullToRefresh(UIScrollView& scrollView)
{
    auto header = pullToRefreshView(scrollView);
    if (!header)
        return;
    header->setState(PullToRefreshView::Triggered);
    header->startAnimating();
}

bool showsPullToRefresh(const UIScrollView& scrollView)
{
    auto header = pullToRefreshView(scrollView);
    return header && !header->isHidden();
}

void setShowsPullToRefresh(UIScrollView& scrollView, bool shows)
{
    auto header = pullToRefreshView(scrollView);
    if (!header)
        return;
    header->setHidden(!shows);
    header->setShowsPullToRefresh(shows);
    if (shows) {
        if (!header->isObserving()) {
            header->startObserving();
            double y = 0;
            if (header->position() == PullToRefreshView::Bottom)
                y = scrollView.contentSize().height;
            else if (header->position() == PullToRefreshView::Top)
                y = -PullToRefreshView::kHeight;
            header->setFrame(platform::Rect(0, y, scrollView.bounds().width(), PullToRefreshView::kHeight));
        }
    } else if (header->isObserving()) {
        header->stopObserving();
        header->resetScrollViewContentInset();
    }
}
