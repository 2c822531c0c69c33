#include "messaging/chat/MessageSoundLeftCell.h"

#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

#include <cmath>

MessageSoundLeftCell::MessageSoundLeftCell()
{
    // The player holds its delegate weakly and locks it for each call, so the
    // cell is alive whenever these run.
    messageAudioPlayerPlayingSound = [this](MessageAudioPlayer&, const std::shared_ptr<core::SoundInfo>& sound) {
        soundEvent(sound, true);
    };
    messageAudioPlayerPlaySoundFinished
        = [this](MessageAudioPlayer&, const std::shared_ptr<core::SoundInfo>& sound) { soundEvent(sound, false); };
}

void MessageSoundLeftCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    MessageBaseCell::declareLayoutBindings(bindings);
    bindings.outlet("imgIcon", imgIcon_);
    bindings.outlet("lblSeconds", lblSeconds_);
}

void MessageSoundLeftCell::awakeFromNib()
{
    MessageBaseCell::awakeFromNib();
    const std::string prefix = iconImagePrefix();
    std::vector<std::shared_ptr<UIImage>> frames;
    for (const char* suffix : { "_01.png", "_02.png" }) {
        if (auto image = UIImage::imageNamed(prefix + suffix))
            frames.push_back(image);
    }
    imgIcon_->setAnimationImages(std::move(frames));
    imgIcon_->setAnimationRepeatCount(kAnimationRepeatCount);
    imgIcon_->setAnimationDuration(kAnimationDuration);
    wrapperMaxWidth_ = static_cast<float>(wrapperView()->frame().width());
    wrapperMinWidth_ = wrapperMaxWidth_ - static_cast<float>(kWidthRange);
}

double MessageSoundLeftCell::bubbleX(double) const { return wrapperView()->frame().minX(); }

std::string MessageSoundLeftCell::secondsText(int seconds)
{
    // A negative length is bad data; it shows as nothing recorded.
    if (seconds < 0)
        seconds = 0;
    std::string text;
    if (seconds >= 60)
        text = std::to_string(seconds / 60) + "'";
    return text + std::to_string(seconds % 60) + "\"";
}

double MessageSoundLeftCell::bubbleWidth(int seconds, double minWidth, double maxWidth)
{
    if (seconds <= 3)
        return minWidth;
    if (seconds >= 20)
        return maxWidth;
    return std::round(minWidth + (seconds - 4) * 100 * 0.0625);
}

void MessageSoundLeftCell::setMessage(std::shared_ptr<core::MessageInfo> message)
{
    if (!message)
        return;
    MessageBaseCell::setMessage(message);
    // Whatever the row showed before, it is not playing this message's clip.
    imgIcon_->stopAnimating();
    sound_ = message->soundsInfo.empty() ? nullptr : message->soundsInfo.front();
    const int seconds = sound_ ? sound_->seconds : 0;
    lblSeconds_->setText(sound_ ? secondsText(seconds) : std::string());
    const double width = bubbleWidth(seconds, wrapperMinWidth_, wrapperMaxWidth_);
    setWrapperWidth(width, bubbleX(width));
}

void MessageSoundLeftCell::playSound()
{
    if (!sound_)
        return;
    std::weak_ptr<MessageAudioPlayerDelegate> self = std::static_pointer_cast<MessageSoundLeftCell>(sharedView());
    MessageAudioPlayer::play(sound_, self);
}

void MessageSoundLeftCell::soundEvent(const std::shared_ptr<core::SoundInfo>& sound, bool playing)
{
    if (!playing) {
        imgIcon_->stopAnimating();
        return;
    }
    // A row reused for another message while its old clip still loads must
    // not animate for a clip it no longer shows.
    if (sound && sound == sound_)
        imgIcon_->startAnimating();
}
