#include "ui/overlay/ProgressOverlay.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/Text.h"
#include "platform/services/UIDevice.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIWindow.h"
#include "ui/overlay/RoundProgressView.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <thread>
#include <utility>

using platform::AffineTransform;
using platform::Color;
using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

double roundPoint(double v) { return platform::roundHalfAwayFromZero(v); }

// The status bar's orientation values (UIInterfaceOrientation).
constexpr long kPortraitUpsideDown = 2;
constexpr long kLandscapeRight = 3;
constexpr long kLandscapeLeft = 4;

} // namespace

ProgressOverlay::ProgressOverlay()
    : ProgressOverlay(Rect())
{
}

ProgressOverlay::ProgressOverlay(const Rect& frame)
    : UIView(frame)
{
    setAutoresizingMask(kAutoresizing);
    setOpaque(false);
    setBackgroundColor(Color::clearColor());
    setAlpha(0);
    setupLabels();
    updateIndicators();
}

void ProgressOverlay::didMoveToSuperview()
{
    UIView::didMoveToSuperview();
    // Turning matters only while the overlay is over a host; the observation
    // is the overlay's own and ends with it.
    if (superview() && !observingOrientation_) {
        observingOrientation_ = true;
        lifetime_.observe(weakSelf(), platform::UIDeviceOrientationDidChangeNotification,
            &ProgressOverlay::deviceOrientationDidChange);
    }
}

std::shared_ptr<ProgressOverlay> ProgressOverlay::self()
{
    return std::static_pointer_cast<ProgressOverlay>(sharedView());
}

std::weak_ptr<ProgressOverlay> ProgressOverlay::weakSelf() { return self(); }

std::shared_ptr<ProgressOverlay> ProgressOverlay::initWithView(const std::shared_ptr<UIView>& view)
{
    auto overlay = std::make_shared<ProgressOverlay>(view ? view->bounds() : Rect());
    if (std::dynamic_pointer_cast<UIWindow>(view))
        overlay->setTransformForCurrentOrientation(false);
    return overlay;
}

// ---- Class helpers

std::shared_ptr<ProgressOverlay> ProgressOverlay::showHUDAddedTo(const std::shared_ptr<UIView>& view, bool animated)
{
    auto overlay = initWithView(view);
    if (view)
        view->addSubview(overlay);
    overlay->show(animated);
    return overlay;
}

bool ProgressOverlay::hideHUDForView(const std::shared_ptr<UIView>& view, bool animated)
{
    auto overlay = HUDForView(view);
    if (!overlay)
        return false;
    overlay->setRemoveFromSuperViewOnHide(true);
    overlay->hide(animated);
    return true;
}

std::size_t ProgressOverlay::hideAllHUDsForView(const std::shared_ptr<UIView>& view, bool animated)
{
    auto overlays = allHUDsForView(view);
    for (auto& overlay : overlays) {
        overlay->setRemoveFromSuperViewOnHide(true);
        overlay->hide(animated);
    }
    return overlays.size();
}

std::shared_ptr<ProgressOverlay> ProgressOverlay::HUDForView(const std::shared_ptr<UIView>& view)
{
    auto overlays = allHUDsForView(view);
    return overlays.empty() ? nullptr : overlays.back();
}

std::vector<std::shared_ptr<ProgressOverlay>> ProgressOverlay::allHUDsForView(const std::shared_ptr<UIView>& view)
{
    std::vector<std::shared_ptr<ProgressOverlay>> overlays;
    if (!view)
        return overlays;
    for (const auto& subview : view->subviews()) {
        if (auto overlay = std::dynamic_pointer_cast<ProgressOverlay>(subview))
            overlays.push_back(std::move(overlay));
    }
    return overlays;
}

// ---- Showing

void ProgressOverlay::show(bool animated)
{
    useAnimation_ = animated;
    // A new round: what an earlier round still had pending would hide this one early.
    cancelPendingHides();
    if (graceTime_ > 0) {
        lifetime_.cancel(graceTimer_);
        graceTimer_ = lifetime_.after(graceTime_, weakSelf(), &ProgressOverlay::handleGraceTimer);
        return;
    }
    setNeedsDisplay();
    showUsingAnimation(useAnimation_);
}

void ProgressOverlay::cancelPendingHides()
{
    ++showRound_;
    for (auto& timer : delayedHides_)
        lifetime_.cancel(timer);
    delayedHides_.clear();
    lifetime_.cancel(std::exchange(minShowTimer_, nullptr));
}

void ProgressOverlay::handleGraceTimer()
{
    graceTimer_.reset();
    // Only a running task is worth showing once the grace time has passed.
    if (!taskInProgress_)
        return;
    setNeedsDisplay();
    showUsingAnimation(useAnimation_);
}

void ProgressOverlay::showUsingAnimation(bool animated)
{
    setAlpha(0);
    if (!animated) {
        showStarted_ = platform::RunLoop::main().now();
        setAlpha(1);
        return;
    }
    if (animationType_ == ProgressOverlayAnimationZoom)
        setTransform(rotationTransform_.concat(AffineTransform::makeScale(kZoomInScale, kZoomInScale)));
    showStarted_ = platform::RunLoop::main().now();
    UIView::animateWithDuration(kAnimationDuration, weakCall(weakSelf(), [](ProgressOverlay& overlay) {
        overlay.setAlpha(1.0);
        if (overlay.animationType_ == ProgressOverlayAnimationZoom)
            overlay.setTransform(overlay.rotationTransform_);
    }));
}

// ---- Hiding

void ProgressOverlay::hide(bool animated)
{
    useAnimation_ = animated;
    if (minShowTime_ > 0 && showStarted_) {
        double elapsed = platform::RunLoop::main().now() - *showStarted_;
        if (elapsed < minShowTime_) {
            lifetime_.cancel(minShowTimer_);
            minShowTimer_ = lifetime_.after(minShowTime_ - elapsed, weakSelf(), &ProgressOverlay::handleMinShowTimer);
            return;
        }
    }
    hideUsingAnimation(useAnimation_);
}

void ProgressOverlay::hide(bool animated, double afterDelay)
{
    if (!self()) {
        hide(animated);
        return;
    }
    // The host keeps a shown overlay; one that has gone has nothing to hide.
    delayedHides_.push_back(lifetime_.afterCall<ProgressOverlay>(
        afterDelay, weakSelf(), [animated](ProgressOverlay& overlay) { overlay.hideDelayed(animated); }));
}

void ProgressOverlay::hideDelayed(bool animated)
{
    std::erase_if(delayedHides_, [](const auto& timer) { return !timer->isValid(); });
    hide(animated);
}

void ProgressOverlay::handleMinShowTimer()
{
    minShowTimer_.reset();
    hideUsingAnimation(useAnimation_);
}

void ProgressOverlay::hideUsingAnimation(bool animated)
{
    if (animated && showStarted_ && self()) {
        unsigned long round = showRound_;
        UIView::animateWithDuration(
            kAnimationDuration,
            weakCall(weakSelf(),
                [](ProgressOverlay& overlay) {
                    if (overlay.animationType_ == ProgressOverlayAnimationZoom)
                        overlay.setTransform(overlay.rotationTransform_.concat(
                            AffineTransform::makeScale(kZoomOutScale, kZoomOutScale)));
                    overlay.setAlpha(kHiddenAlpha);
                }),
            weakCall(weakSelf(), [round](ProgressOverlay& overlay, bool) {
                // Shown again while fading out: that later round owns the overlay now.
                if (overlay.showRound_ == round)
                    overlay.done();
            }));
        showStarted_.reset();
        return;
    }
    setAlpha(0);
    done();
    showStarted_.reset();
}

void ProgressOverlay::done()
{
    // Removing the overlay from its host may drop the last reference to it.
    auto keepAlive = self();
    isFinished_ = true;
    setAlpha(0);
    if (auto delegate = delegate_.lock())
        delegate->hudWasHidden(this);
    if (removeFromSuperViewOnHide_)
        removeFromSuperview();
}

// ---- Running a task

void ProgressOverlay::showWhileExecuting(std::function<void()> task, bool animated)
{
    if (!self() || !task) {
        show(animated);
        return;
    }
    taskInProgress_ = true;
    // The thread holds the task, not the overlay: its host keeps a shown
    // overlay, and one that has gone by the end is not cleaned up. What the
    // task captured is let go on the main thread, never on this one.
    std::thread([weak = weakSelf(), task = std::move(task)]() mutable {
        task();
        platform::postToMain([weak = std::move(weak), task = std::move(task)]() mutable {
            task = nullptr;
            weakCall(weak, &ProgressOverlay::cleanUp)();
        });
    }).detach();
    show(animated);
}

void ProgressOverlay::cleanUp()
{
    taskInProgress_ = false;
    // The overlay lets its indicator go but leaves it in the box, so the box
    // fades out as it was shown; it leaves the view when another takes its
    // place.
    retiredIndicator_ = indicator_;
    indicator_.reset();
    hide(useAnimation_);
}

// ---- Subviews

void ProgressOverlay::setupLabels()
{
    auto makeLabel = [this](const UIFont& font, const std::string& text, int lines) {
        auto label = std::make_shared<UILabel>(bounds());
        label->setAdjustsFontSizeToFitWidth(false);
        label->setTextAlignment(NSTextAlignmentCenter);
        label->setOpaque(false);
        label->setBackgroundColor(Color::clearColor());
        label->setTextColor(Color::whiteColor());
        label->setFont(font);
        label->setText(text);
        label->setNumberOfLines(lines);
        addSubview(label);
        return label;
    };
    label_ = makeLabel(labelFont_, labelText_, 1);
    detailsLabel_ = makeLabel(detailsLabelFont_, detailsLabelText_, 0);
}

void ProgressOverlay::updateIndicators()
{
    auto replaceIndicator = [this](std::shared_ptr<UIView> view) {
        if (auto retired = retiredIndicator_.lock(); retired && retired != view)
            retired->removeFromSuperview();
        retiredIndicator_.reset();
        if (indicator_)
            indicator_->removeFromSuperview();
        indicator_ = std::move(view);
        if (indicator_)
            addSubview(indicator_);
    };
    switch (mode_) {
    case ProgressOverlayModeSpinner:
        if (!std::dynamic_pointer_cast<UIActivityIndicatorView>(indicator_)) {
            auto spinner = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleWhiteLarge);
            spinner->startAnimating();
            replaceIndicator(spinner);
        }
        break;
    case ProgressOverlayModePie:
    case ProgressOverlayModeRing:
        if (!std::dynamic_pointer_cast<RoundProgressView>(indicator_))
            replaceIndicator(std::make_shared<RoundProgressView>());
        if (mode_ == ProgressOverlayModeRing)
            std::static_pointer_cast<RoundProgressView>(indicator_)->setAnnular(true);
        break;
    case ProgressOverlayModeCustomView:
        if (customView_ != indicator_)
            replaceIndicator(customView_);
        break;
    case ProgressOverlayModeText:
        replaceIndicator(nullptr);
        break;
    }
}

// ---- Properties and their visible update

void ProgressOverlay::changeProperty(const char* keyPath, std::function<void(ProgressOverlay&)> change)
{
    if (platform::RunLoop::isMainThread()) {
        change(*this);
        updateUIForKeypath(keyPath);
        return;
    }
    // Set from a task's thread: the views belong to the main thread, and so
    // does the stored value, which layout and drawing read there.
    std::string path = keyPath;
    platform::postToMain(weakCall(weakSelf(), [path, change = std::move(change)](ProgressOverlay& overlay) {
        change(overlay);
        overlay.updateUIForKeypath(path);
    }));
}

void ProgressOverlay::setMode(ProgressOverlayMode mode)
{
    changeProperty("mode", [mode](ProgressOverlay& o) { o.mode_ = mode; });
}

void ProgressOverlay::setCustomView(std::shared_ptr<UIView> view)
{
    changeProperty("customView", [view = std::move(view)](ProgressOverlay& o) { o.customView_ = view; });
}

void ProgressOverlay::setLabelText(std::string text)
{
    changeProperty("labelText", [text = std::move(text)](ProgressOverlay& o) { o.labelText_ = text; });
}

void ProgressOverlay::setDetailsLabelText(std::string text)
{
    changeProperty("detailsLabelText", [text = std::move(text)](ProgressOverlay& o) { o.detailsLabelText_ = text; });
}

void ProgressOverlay::setLabelFont(const UIFont& font)
{
    changeProperty("labelFont", [font](ProgressOverlay& o) { o.labelFont_ = font; });
}

void ProgressOverlay::setDetailsLabelFont(const UIFont& font)
{
    changeProperty("detailsLabelFont", [font](ProgressOverlay& o) { o.detailsLabelFont_ = font; });
}

void ProgressOverlay::setProgress(double progress)
{
    changeProperty("progress", [progress](ProgressOverlay& o) { o.progress_ = progress; });
}

void ProgressOverlay::updateUIForKeypath(const std::string& keyPath)
{
    if (keyPath == "mode" || keyPath == "customView")
        updateIndicators();
    else if (keyPath == "labelText")
        label_->setText(labelText_);
    else if (keyPath == "labelFont")
        label_->setFont(labelFont_);
    else if (keyPath == "detailsLabelText")
        detailsLabel_->setText(detailsLabelText_);
    else if (keyPath == "detailsLabelFont")
        detailsLabel_->setFont(detailsLabelFont_);
    else if (keyPath == "progress") {
        if (auto round = std::dynamic_pointer_cast<RoundProgressView>(indicator_))
            round->setProgress(progress_);
        return;
    }
    setNeedsLayout();
    setNeedsDisplay();
}

// ---- Layout and drawing

void ProgressOverlay::layoutSubviews()
{
    UIView::layoutSubviews();
    Rect frame = bounds();
    double maxWidth = frame.size.width - 4 * margin_;
    Size totalSize;

    Rect indicatorFrame = indicator_ ? indicator_->bounds() : Rect();
    indicatorFrame.size.width = std::min(indicatorFrame.size.width, maxWidth);
    totalSize.width = std::max(totalSize.width, indicatorFrame.size.width);
    totalSize.height += indicatorFrame.size.height;

    // The main line is one line, cut to the usable width.
    Size labelSize = platform::measureText(label_->text(), label_->font(),
        { platform::kUnlimitedTextExtent, platform::kUnlimitedTextExtent }, platform::LineBreakMode::Clip, 1);
    labelSize.width = std::min(labelSize.width, maxWidth);
    totalSize.width = std::max(totalSize.width, labelSize.width);
    totalSize.height += labelSize.height;
    if (labelSize.height > 0 && indicatorFrame.size.height > 0)
        totalSize.height += kPadding;

    double remainingHeight = frame.size.height - totalSize.height - kPadding - 4 * margin_;
    Size detailsSize = platform::measureText(detailsLabel_->text(), detailsLabel_->font(),
        { std::max(maxWidth, 0.0), std::max(remainingHeight, 0.0) }, toLineBreakMode(detailsLabel_->lineBreakMode()));
    totalSize.width = std::max(totalSize.width, detailsSize.width);
    totalSize.height += detailsSize.height;
    if (detailsSize.height > 0 && (indicatorFrame.size.height > 0 || labelSize.height > 0))
        totalSize.height += kPadding;

    totalSize.width += 2 * margin_;
    totalSize.height += 2 * margin_;

    double yPos = roundPoint((frame.size.height - totalSize.height) / 2) + margin_ + yOffset_;
    auto xFor = [&](double width) { return roundPoint((frame.size.width - width) / 2) + xOffset_; };
    if (indicator_) {
        indicatorFrame.origin = Point(xFor(indicatorFrame.size.width), yPos);
        indicator_->setFrame(indicatorFrame);
    }
    yPos += indicatorFrame.size.height;
    if (labelSize.height > 0 && indicatorFrame.size.height > 0)
        yPos += kPadding;
    label_->setFrame(Rect(xFor(labelSize.width), yPos, labelSize.width, labelSize.height));
    yPos += labelSize.height;
    if (detailsSize.height > 0 && (indicatorFrame.size.height > 0 || labelSize.height > 0))
        yPos += kPadding;
    detailsLabel_->setFrame(Rect(xFor(detailsSize.width), yPos, detailsSize.width, detailsSize.height));

    if (square_) {
        double side = std::max(totalSize.width, totalSize.height);
        if (side <= frame.size.width - 2 * margin_)
            totalSize.width = side;
        if (side <= frame.size.height - 2 * margin_)
            totalSize.height = side;
    }
    totalSize.width = std::max(totalSize.width, minSize_.width);
    totalSize.height = std::max(totalSize.height, minSize_.height);
    size_ = totalSize;
}

void ProgressOverlay::drawRect(platform::Context& context, const Rect&)
{
    Rect all = bounds();
    if (dimBackground_) {
        Point centre(all.size.width / 2, all.size.height / 2);
        double radius = std::min(all.size.width, all.size.height);
        context.drawRadialGradient({ { 0.0, Color(0, 0, 0, 0) }, { 1.0, Color(0, 0, 0, 0.75) } }, centre, 0, centre,
            radius, platform::GradientDrawsAfterEnd);
    }
    Rect box(roundPoint((all.size.width - size_.width) / 2) + xOffset_,
        roundPoint((all.size.height - size_.height) / 2) + yOffset_, size_.width, size_.height);
    context.save();
    context.beginPath();
    context.addRoundedRect(box, kCornerRadius);
    context.setFillColor(Color(0, 0, 0, opacity_));
    context.fillPath();
    context.restore();
}

// ---- Orientation

void ProgressOverlay::deviceOrientationDidChange(const platform::Notification&)
{
    auto host = superview();
    if (!host)
        return;
    if (std::dynamic_pointer_cast<UIWindow>(host))
        setTransformForCurrentOrientation(true);
    else
        setNeedsDisplay();
}

void ProgressOverlay::setTransformForCurrentOrientation(bool animated)
{
    if (superview())
        setNeedsDisplay();
    long orientation = UIApplication::sharedApplication().statusBarOrientation();
    double degrees = 0;
    if (orientation == kLandscapeLeft || orientation == kLandscapeRight) {
        degrees = orientation == kLandscapeLeft ? -90 : 90;
        Rect b = bounds();
        setBounds(Rect(0, 0, b.size.height, b.size.width));
    } else if (orientation == kPortraitUpsideDown)
        degrees = 180;
    rotationTransform_ = AffineTransform::makeRotation(platform::degreesToRadians(degrees));
    if (!animated) {
        setTransform(rotationTransform_);
        return;
    }
    UIView::beginAnimations();
    setTransform(rotationTransform_);
    UIView::commitAnimations();
}
