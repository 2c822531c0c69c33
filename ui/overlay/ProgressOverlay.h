#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/os/Timer.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"
#include "ui/Lifetime.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class ProgressOverlay;

// What an overlay shows above its text.
enum ProgressOverlayMode {
    ProgressOverlayModeSpinner = 0,
    ProgressOverlayModePie = 1,
    ProgressOverlayModeRing = 2,
    ProgressOverlayModeCustomView = 3,
    ProgressOverlayModeText = 4,
};

enum ProgressOverlayAnimation {
    ProgressOverlayAnimationFade = 0,
    ProgressOverlayAnimationZoom = 1,
};

class ProgressOverlayDelegate {
public:
    virtual ~ProgressOverlayDelegate() = default;
    // The overlay has been hidden (and removed, when it was asked to be).
    virtual void hudWasHidden(ProgressOverlay*) { }
};

// A translucent dark rounded box centred on a host view (a screen's view or the
// window): a spinner, a pie or ring, a custom view or nothing, and up to two
// lines of text. It shows that work is going on, shows a short result that
// hides by itself, or, with a custom view over a dimmed host, a modal prompt.
//
// Times run on the main loop's clock: the grace time delays showing (and only
// a running task is ever shown after it), the minimum show time keeps a shown
// overlay up, hide(animated, afterDelay) hides later. Showing again cancels
// the hides still pending from an earlier round, so an overlay reused by a
// screen is not hidden early by its previous message. The delegate is held
// weakly and is not called once it has gone. Main thread only; the observed
// properties may be set from another thread, and then take effect on the main
// thread.
class ProgressOverlay : public UIView {
public:
    static constexpr double kPadding = 4.0;
    static constexpr double kCornerRadius = 10.0;
    static constexpr double kAnimationDuration = 0.30;
    static constexpr double kZoomInScale = 1.5;
    static constexpr double kZoomOutScale = 0.5;
    static constexpr double kHiddenAlpha = 0.02;
    static constexpr unsigned kAutoresizing = UIViewAutoresizingFlexibleLeftMargin
        | UIViewAutoresizingFlexibleRightMargin | UIViewAutoresizingFlexibleTopMargin
        | UIViewAutoresizingFlexibleBottomMargin;

    ProgressOverlay();
    explicit ProgressOverlay(const platform::Rect& frame);
    ORB_CLASS_NAME(ProgressOverlay)

    // An overlay covering the view (a zero frame without one); on a window it
    // also takes the interface orientation.
    static std::shared_ptr<ProgressOverlay> initWithView(const std::shared_ptr<UIView>& view);
    static std::shared_ptr<ProgressOverlay> initWithWindow(const std::shared_ptr<UIView>& window)
    {
        return initWithView(window);
    }

    // ---- Class helpers ------------------------------------------------------------
    // A new overlay added on top of the view and shown; the view owns it.
    static std::shared_ptr<ProgressOverlay> showHUDAddedTo(const std::shared_ptr<UIView>& view, bool animated);
    // Hides and removes the topmost overlay of the view; false when it has none.
    static bool hideHUDForView(const std::shared_ptr<UIView>& view, bool animated);
    // Hides and removes every overlay of the view; returns how many there were.
    static std::size_t hideAllHUDsForView(const std::shared_ptr<UIView>& view, bool animated);
    // The topmost overlay among the view's direct subviews.
    static std::shared_ptr<ProgressOverlay> HUDForView(const std::shared_ptr<UIView>& view);
    static std::vector<std::shared_ptr<ProgressOverlay>> allHUDsForView(const std::shared_ptr<UIView>& view);

    // ---- Showing and hiding --------------------------------------------------------
    void show(bool animated);
    void hide(bool animated);
    void hide(bool animated, double afterDelay);
    // Runs the task on a thread of its own while the overlay shows; the overlay
    // hides on the main thread when the task has returned.
    void showWhileExecuting(std::function<void()> task, bool animated);

    // ---- Properties -----------------------------------------------------------------
    ProgressOverlayMode mode() const { return mode_; }
    void setMode(ProgressOverlayMode mode);
    ProgressOverlayAnimation animationType() const { return animationType_; }
    void setAnimationType(ProgressOverlayAnimation type) { animationType_ = type; }
    const std::shared_ptr<UIView>& customView() const { return customView_; }
    void setCustomView(std::shared_ptr<UIView> view);
    std::shared_ptr<ProgressOverlayDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<ProgressOverlayDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::string& labelText() const { return labelText_; }
    void setLabelText(std::string text);
    const std::string& detailsLabelText() const { return detailsLabelText_; }
    void setDetailsLabelText(std::string text);
    const UIFont& labelFont() const { return labelFont_; }
    void setLabelFont(const UIFont& font);
    const UIFont& detailsLabelFont() const { return detailsLabelFont_; }
    void setDetailsLabelFont(const UIFont& font);
    double opacity() const { return opacity_; }
    void setOpacity(double opacity) { opacity_ = opacity; }
    double xOffset() const { return xOffset_; }
    void setXOffset(double offset) { xOffset_ = offset; }
    double yOffset() const { return yOffset_; }
    void setYOffset(double offset) { yOffset_ = offset; }
    double margin() const { return margin_; }
    void setMargin(double margin) { margin_ = margin; }
    bool dimBackground() const { return dimBackground_; }
    void setDimBackground(bool dim) { dimBackground_ = dim; }
    double graceTime() const { return graceTime_; }
    void setGraceTime(double seconds) { graceTime_ = seconds; }
    double minShowTime() const { return minShowTime_; }
    void setMinShowTime(double seconds) { minShowTime_ = seconds; }
    bool taskInProgress() const { return taskInProgress_; }
    void setTaskInProgress(bool inProgress) { taskInProgress_ = inProgress; }
    bool removeFromSuperViewOnHide() const { return removeFromSuperViewOnHide_; }
    void setRemoveFromSuperViewOnHide(bool remove) { removeFromSuperViewOnHide_ = remove; }
    double progress() const { return progress_; }
    void setProgress(double progress);
    platform::Size minSize() const { return minSize_; }
    void setMinSize(platform::Size size) { minSize_ = size; }
    bool isSquare() const { return square_; }
    void setSquare(bool square) { square_ = square; }

    // ---- State ---------------------------------------------------------------------
    const std::shared_ptr<UIView>& indicator() const { return indicator_; }
    const std::shared_ptr<UILabel>& label() const { return label_; }
    const std::shared_ptr<UILabel>& detailsLabel() const { return detailsLabel_; }
    // The box computed by the last layout.
    platform::Size size() const { return size_; }
    bool isFinished() const { return isFinished_; }
    // When the overlay became visible (the main loop's clock); none while hidden.
    std::optional<double> showStarted() const { return showStarted_; }
    const platform::AffineTransform& rotationTransform() const { return rotationTransform_; }

    void layoutSubviews() override;
    void didMoveToSuperview() override;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

protected:
    void setTransformForCurrentOrientation(bool animated);

private:
    std::shared_ptr<ProgressOverlay> self();
    std::weak_ptr<ProgressOverlay> weakSelf();
    void hideDelayed(bool animated);
    void handleGraceTimer();
    void handleMinShowTimer();
    void showUsingAnimation(bool animated);
    void hideUsingAnimation(bool animated);
    void done();
    void cleanUp();
    void setupLabels();
    void updateIndicators();
    void updateUIForKeypath(const std::string& keyPath);
    // Applies a property change now on the main thread, else later on it.
    void changeProperty(const char* keyPath, std::function<void(ProgressOverlay&)> change);
    void deviceOrientationDidChange(const platform::Notification&);
    void cancelPendingHides();

    bool useAnimation_ = false;
    std::shared_ptr<UILabel> label_;
    std::shared_ptr<UILabel> detailsLabel_;
    bool isFinished_ = false;
    platform::AffineTransform rotationTransform_;
    bool square_ = false;
    bool dimBackground_ = false;
    bool taskInProgress_ = false;
    bool removeFromSuperViewOnHide_ = false;
    ProgressOverlayAnimation animationType_ = ProgressOverlayAnimationFade;
    std::weak_ptr<ProgressOverlayDelegate> delegate_;
    double opacity_ = 0.8;
    UIFont labelFont_ = UIFont::boldSystemFont(16);
    UIFont detailsLabelFont_ = UIFont::boldSystemFont(12);
    std::shared_ptr<UIView> indicator_;
    // The indicator a finished task let go of, still in the box while it fades.
    std::weak_ptr<UIView> retiredIndicator_;
    double xOffset_ = 0;
    double yOffset_ = 0;
    double margin_ = 20.0;
    double graceTime_ = 0;
    double minShowTime_ = 0;
    std::shared_ptr<platform::Timer> graceTimer_;
    std::shared_ptr<platform::Timer> minShowTimer_;
    std::shared_ptr<UIView> customView_;
    std::optional<double> showStarted_;
    ProgressOverlayMode mode_ = ProgressOverlayModeSpinner;
    std::string labelText_;
    std::string detailsLabelText_;
    double progress_ = 0;
    platform::Size minSize_;
    platform::Size size_;
    // Delayed hides not yet run, and the round of showing they belong to: a
    // hide finishing after the overlay was shown again is stale and skipped.
    std::vector<std::shared_ptr<platform::Timer>> delayedHides_;
    unsigned long showRound_ = 0;
    bool observingOrientation_ = false;
    // Timers and the observation hold the overlay weakly and end with it.
    Lifetime lifetime_;
};
