#include "content/player/ORBMoviePlayerController.h"

#include "platform/media/SoundOutput.h"
#include "platform/os/Log.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "ui/Lifetime.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace content {

using platform::Color;
using platform::Rect;

namespace {

    // Sound goes to the desktop's device when the client has one open;
    // otherwise the picture plays alone.
    platform::MoviePlayer::Options playerOptions()
    {
        platform::MoviePlayer::Options options;
        options.audioOutput = platform::SoundOutput::current() ? "sdl" : "null";
        return options;
    }

    std::shared_ptr<UILabel> timeLabel(const Rect& frame, NSTextAlignment alignment)
    {
        auto label = std::make_shared<UILabel>(frame);
        label->setFont(UIFont::systemFont(13));
        label->setTextColor(Color::whiteColor());
        label->setBackgroundColor(Color::clearColor());
        label->setTextAlignment(alignment);
        label->setText("00:00");
        return label;
    }

} // namespace

MoviePlayerViewController::MoviePlayerViewController(std::string contentURL)
    : contentURL_(std::move(contentURL))
{
}

MoviePlayerViewController::~MoviePlayerViewController()
{
    if (player_) {
        player_->onFrame = nullptr;
        player_->onChange = nullptr;
    }
}

unsigned MoviePlayerViewController::supportedInterfaceOrientations() const { return kAllButUpsideDown; }

platform::Size MoviePlayerViewController::landscapeSize()
{
    const Rect screen = UIScreen::mainScreen()->bounds();
    return platform::Size(screen.height(), screen.width());
}

unsigned ORBMoviePlayerController::supportedInterfaceOrientations() const { return kAllButUpsideDown; }

std::string MoviePlayerViewController::timeText(double seconds)
{
    if (!std::isfinite(seconds) || seconds < 0)
        seconds = 0;
    long whole = static_cast<long>(seconds);
    char text[32];
    if (whole >= 3600)
        std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    else
        std::snprintf(text, sizeof text, "%02ld:%02ld", whole / 60, whole % 60);
    return text;
}

void MoviePlayerViewController::loadView()
{
    const auto [width, height] = landscapeSize();
    auto root = std::make_shared<UIView>(Rect(0, 0, height, width));
    root->setBackgroundColor(Color::blackColor());
    setView(root);

    // The phone lies on its side: the landscape screen is drawn turned a
    // quarter clockwise into the upright window.
    landscape_ = std::make_shared<UIView>(Rect(0, 0, width, height));
    landscape_->setBackgroundColor(Color::blackColor());
    landscape_->setCenter({ height / 2, width / 2 });
    if (preferredInterfaceOrientationForPresentation() == UIInterfaceOrientationLandscapeRight)
        landscape_->setTransform(platform::AffineTransform::makeRotation(std::numbers::pi / 2));
    else if (preferredInterfaceOrientationForPresentation() == UIInterfaceOrientationLandscapeLeft)
        landscape_->setTransform(platform::AffineTransform::makeRotation(-std::numbers::pi / 2));
    root->addSubview(landscape_);

    movieView_ = std::make_shared<MoviePlayerView>(Rect(0, 0, width, height));
    landscape_->addSubview(movieView_);
    auto tap = std::make_shared<UITapGestureRecognizer>();
    tap->addTarget(self(), &MoviePlayerViewController::movieTapped);
    movieView_->addGestureRecognizer(tap);

    lblMessage_ = std::make_shared<UILabel>(Rect(0, height / 2 - 15, width, 30));
    lblMessage_->setFont(UIFont::systemFont(15));
    lblMessage_->setTextColor(Color::whiteColor());
    lblMessage_->setBackgroundColor(Color::clearColor());
    lblMessage_->setTextAlignment(NSTextAlignmentCenter);
    lblMessage_->setHidden(true);
    landscape_->addSubview(lblMessage_);

    auto bar = Color(0.1, 0.1, 0.1, 0.75);
    topBar_ = std::make_shared<UIView>(Rect(0, 0, width, kBarHeight));
    topBar_->setBackgroundColor(bar);
    landscape_->addSubview(topBar_);
    btnDone_ = UIButton::buttonWithType(UIButtonTypeCustom);
    btnDone_->setFrame(Rect(8, 7, 60, 30));
    btnDone_->setTitle(std::string(kDoneTitle), UIControlStateNormal);
    btnDone_->setTitleColor(Color::whiteColor(), UIControlStateNormal);
    btnDone_->titleLabel()->setFont(UIFont::boldSystemFont(15));
    btnDone_->setBackgroundColor(Color(1, 1, 1, 0.18));
    btnDone_->layer()->setCornerRadius(5);
    btnDone_->addTarget(self(), &MoviePlayerViewController::btnDoneTouchUpInside, UIControlEventTouchUpInside);
    topBar_->addSubview(btnDone_);

    bottomBar_ = std::make_shared<UIView>(Rect(0, height - kBarHeight, width, kBarHeight));
    bottomBar_->setBackgroundColor(bar);
    landscape_->addSubview(bottomBar_);
    btnPlay_ = std::make_shared<MoviePlayButton>(Rect(4, 0, 44, 44));
    btnPlay_->addTarget(self(), &MoviePlayerViewController::btnPlayTouchUpInside, UIControlEventTouchUpInside);
    bottomBar_->addSubview(btnPlay_);
    lblPosition_ = timeLabel(Rect(50, 12, 52, 20), NSTextAlignmentRight);
    bottomBar_->addSubview(lblPosition_);
    progress_ = std::make_shared<MovieProgressView>(Rect(106, 0, width - 106 - 60, kBarHeight));
    progress_->setBackgroundColor(Color::clearColor());
    auto seekTap = std::make_shared<UITapGestureRecognizer>();
    seekTap->addTarget(self(), &MoviePlayerViewController::progressTapped);
    progress_->addGestureRecognizer(seekTap);
    bottomBar_->addSubview(progress_);
    lblDuration_ = timeLabel(Rect(width - 58, 12, 52, 20), NSTextAlignmentLeft);
    bottomBar_->addSubview(lblDuration_);

    platform::Error error;
    player_ = platform::MoviePlayer::create(playerOptions(), &error);
    if (!player_) {
        platform::log("movie player: %s\n", error.localizedDescription().c_str());
        lblMessage_->setText(kFailedText);
        lblMessage_->setHidden(false);
        return;
    }
    std::weak_ptr<MoviePlayerViewController> weak = self();
    player_->onFrame = weakCall(weak, &MoviePlayerViewController::playerDrewFrame);
    player_->onChange = weakCall(weak, &MoviePlayerViewController::playerChanged);
    movieView_->setPlayer(player_);
}

void MoviePlayerViewController::viewDidAppear(bool animated)
{
    UIViewController::viewDidAppear(animated);
    if (player_ && !started_) {
        started_ = true;
        player_->load(contentURL_);
        player_->play();
    }
}

void MoviePlayerViewController::viewDidDisappear(bool animated)
{
    UIViewController::viewDidDisappear(animated);
    if (player_)
        player_->stop();
}

void MoviePlayerViewController::btnDoneTouchUpInside(UIControl*)
{
    if (player_)
        player_->pause();
    dismissViewControllerAnimated(true);
}

void MoviePlayerViewController::btnPlayTouchUpInside(UIControl*)
{
    if (!player_)
        return;
    using State = platform::MoviePlayer::State;
    if (player_->state() == State::Ended) {
        // From the start again.
        player_->load(contentURL_);
        player_->play();
    } else if (player_->isPaused()) {
        player_->play();
    } else {
        player_->pause();
    }
    playerChanged();
}

void MoviePlayerViewController::progressTapped(UITapGestureRecognizer* recognizer)
{
    if (!player_ || player_->duration() <= 0)
        return;
    double fraction = progress_->fractionAt(recognizer->locationInView(progress_.get()));
    progress_->setFraction(fraction);
    player_->seek(fraction * player_->duration());
}

void MoviePlayerViewController::movieTapped(UITapGestureRecognizer*)
{
    bool hide = !topBar_->isHidden();
    topBar_->setHidden(hide);
    bottomBar_->setHidden(hide);
}

void MoviePlayerViewController::playerDrewFrame() { movieView_->setNeedsDisplay(); }

void MoviePlayerViewController::playerChanged()
{
    using State = platform::MoviePlayer::State;
    State state = player_->state();
    btnPlay_->setShowsPause(!player_->isPaused() && (state == State::Playing || state == State::Loading));
    lblPosition_->setText(timeText(player_->position()));
    lblDuration_->setText(timeText(player_->duration()));
    progress_->setFraction(player_->duration() > 0 ? player_->position() / player_->duration() : 0);
    if (state == State::Ended)
        btnPlay_->setShowsPause(false);
    bool failed = state == State::Failed;
    lblMessage_->setText(failed ? kFailedText : "");
    lblMessage_->setHidden(!failed);
}

} // namespace content
