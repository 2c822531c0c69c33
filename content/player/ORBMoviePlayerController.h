#pragma once

#include "content/player/MoviePlayerView.h"
#include "platform/media/MoviePlayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <string>

class UIControl;
class UITapGestureRecognizer;

namespace content {

// The full-screen movie screen: the picture across the landscape screen,
// a bar with "完成" on top and, at the bottom, play and pause, the position,
// the time line (a tap there seeks) and the length. A tap on the picture
// shows or hides the bars. It plays as soon as it has appeared and closes
// itself with "完成"; what it plays stops when it goes.
class MoviePlayerViewController : public UIViewController {
public:
    ORB_CLASS_NAME(MoviePlayerViewController)

    static constexpr double kBarHeight = 44;
    static constexpr const char* kDoneTitle = "完成";
    static constexpr const char* kFailedText = "无法播放该视频";

    explicit MoviePlayerViewController(std::string contentURL);
    ~MoviePlayerViewController() override;

    const std::string& contentURL() const { return contentURL_; }
    // Nothing when the decoder could not start (the screen then says it cannot play).
    const std::shared_ptr<platform::MoviePlayer>& moviePlayer() const { return player_; }

    // The phone's screen on its side: as wide as the screen is long (568
    // points on the 4-inch phone, 480 on the 3.5-inch one) and as high as
    // it is wide.
    static platform::Size landscapeSize();

    void loadView() override;
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    // Orientation: the screen is drawn turned to this one into the portrait
    // screen, whatever the device reports; presenting it turns the
    // application's interface orientation to it (a desktop window turns with it).
    bool shouldAutorotate() const override { return true; }
    unsigned supportedInterfaceOrientations() const override;
    UIInterfaceOrientation preferredInterfaceOrientationForPresentation() const override
    {
        return UIInterfaceOrientationLandscapeRight;
    }

    void btnDoneTouchUpInside(UIControl* sender);
    void btnPlayTouchUpInside(UIControl* sender);
    void progressTapped(UITapGestureRecognizer* recognizer);
    void movieTapped(UITapGestureRecognizer* recognizer);

private:
    std::shared_ptr<MoviePlayerViewController> self()
    {
        return std::static_pointer_cast<MoviePlayerViewController>(shared_from_this());
    }
    void playerChanged();
    void playerDrewFrame();
    static std::string timeText(double seconds);

    std::string contentURL_;
    std::shared_ptr<platform::MoviePlayer> player_;
    std::shared_ptr<UIView> landscape_;
    std::shared_ptr<MoviePlayerView> movieView_;
    std::shared_ptr<UIView> topBar_;
    std::shared_ptr<UIView> bottomBar_;
    std::shared_ptr<UIButton> btnDone_;
    std::shared_ptr<MoviePlayButton> btnPlay_;
    std::shared_ptr<UILabel> lblPosition_;
    std::shared_ptr<UILabel> lblDuration_;
    std::shared_ptr<UILabel> lblMessage_;
    std::shared_ptr<MovieProgressView> progress_;
    bool started_ = false;
};

// The lesson and library videos' player: not rotating by itself, any
// orientation but upside down, presented in landscape right.
class ORBMoviePlayerController final : public MoviePlayerViewController {
public:
    ORB_CLASS_NAME(ORBMoviePlayerController)
    using MoviePlayerViewController::MoviePlayerViewController;

    bool shouldAutorotate() const override { return false; }
    unsigned supportedInterfaceOrientations() const override;
    UIInterfaceOrientation preferredInterfaceOrientationForPresentation() const override
    {
        return UIInterfaceOrientationLandscapeRight;
    }
};

// Orientation masks, one bit per orientation value (as UIInterfaceOrientationMask).
inline constexpr unsigned orientationMask(UIInterfaceOrientation orientation) { return 1u << orientation; }
inline constexpr unsigned kAllButUpsideDown = UIInterfaceOrientationMaskAllButUpsideDown;
static_assert(kAllButUpsideDown
    == (orientationMask(UIInterfaceOrientationPortrait) | orientationMask(UIInterfaceOrientationLandscapeLeft)
        | orientationMask(UIInterfaceOrientationLandscapeRight)));

} // namespace content
