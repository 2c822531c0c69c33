#pragma once

#include "messaging/chat/MessageBaseCell.h"
#include "messaging/voice/MessageAudioPlayer.h"

#include <string>

// A voice bubble from the other party: a loudspeaker that animates while the
// clip plays and the clip's length beside the bubble; the bubble widens with
// the clip's length between its layout width minus 100 and its layout width.
// The bubble hears the shared player while it plays its own clip.
class MessageSoundLeftCell : public MessageBaseCell, public MessageAudioPlayerDelegate {
public:
    ORB_CLASS_NAME(MessageSoundLeftCell)

    // The loudspeaker's animation.
    static constexpr double kAnimationDuration = 0.5;
    static constexpr long kAnimationRepeatCount = 2147483647;
    // How much narrower the shortest clip's bubble is than the longest's.
    static constexpr double kWidthRange = 100;

    MessageSoundLeftCell();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setMessage(std::shared_ptr<core::MessageInfo> message) override;
    // Plays (or, a second time, stops) the message's clip through the shared
    // player, with this bubble hearing how it goes. What the chat does on a tap.
    void playSound();

    // The length label: "%i'" for the minutes from 60 s on, then the seconds
    // and a double-quote character (75 s: 1'15").
    static std::string secondsText(int seconds);
    // The bubble width for a clip: the minimum up to 3 s, 6.25 points more
    // per second from 4 s (rounded), the maximum from 20 s.
    static double bubbleWidth(int seconds, double minWidth, double maxWidth);

    float wrapperMaxWidth() const { return wrapperMaxWidth_; }
    float wrapperMinWidth() const { return wrapperMinWidth_; }
    const std::shared_ptr<UILabel>& lblSeconds() const { return lblSeconds_; }
    const std::shared_ptr<UIImageView>& imgIcon() const { return imgIcon_; }
    // The clip shown: the message's first.
    const std::shared_ptr<core::SoundInfo>& sound() const { return sound_; }

protected:
    virtual double bubbleX(double width) const;
    virtual const char* iconImagePrefix() const { return "message_sound_cell_left_icon"; }

private:
    void soundEvent(const std::shared_ptr<core::SoundInfo>& sound, bool playing);

    float wrapperMaxWidth_ = 0;
    float wrapperMinWidth_ = 0;
    std::shared_ptr<UILabel> lblSeconds_;
    std::shared_ptr<UIImageView> imgIcon_;
    std::shared_ptr<core::SoundInfo> sound_;
};
