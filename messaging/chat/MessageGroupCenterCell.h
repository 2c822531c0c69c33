#pragma once

#include "messaging/chat/MessageBaseCell.h"
#include "messaging/voice/MessageAudioPlayer.h"

#include <memory>
#include <vector>

class UIButton;

// A group send in the chat: one bubble stacking the text, a strip of photo
// slots and a voice strip. The strips show only when the message has photos
// or a clip, and the separator above them only when one of them shows.
class MessageGroupCenterCell final : public MessageBaseCell, public MessageAudioPlayerDelegate {
public:
    ORB_CLASS_NAME(MessageGroupCenterCell)

    MessageGroupCenterCell();
    ~MessageGroupCenterCell() override;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setMessage(std::shared_ptr<core::MessageInfo> message) override;

    // The row size (the prototype's width, the stacked height), measured on
    // the class's prototype cell; zero when the layout cannot be loaded.
    static platform::Size computeSize(const core::MessageInfo& message);
    platform::Size sizeForMessage(const core::MessageInfo& message) const;

    // A photo slot's button: the button's tag is the photo's index.
    void btnPhotoTouchUpInside(UIControl* sender);
    // The voice strip: plays (or stops) the first clip through the shared player.
    void btnSoundTouchUpInside();

    float soundViewMaxWidth() const { return soundViewMaxWidth_; }
    float soundViewMinWidth() const { return soundViewMinWidth_; }
    float yMargin() const { return yMargin_; }
    float contentMargin() const { return contentMargin_; }
    float contentMinHeight() const { return contentMinHeight_; }
    const std::shared_ptr<UIView>& textView() const { return textView_; }
    const std::shared_ptr<UIView>& photoView() const { return photoView_; }
    const std::shared_ptr<UIView>& soundView() const { return soundView_; }
    const std::shared_ptr<UILabel>& lblContent() const { return lblContent_; }
    const std::shared_ptr<UIView>& lineView() const { return lineView_; }
    const std::shared_ptr<UIImageView>& imgIcon() const { return imgIcon_; }
    const std::shared_ptr<UILabel>& lblSeconds() const { return lblSeconds_; }

private:
    double textHeight(const core::MessageInfo& message) const;
    std::shared_ptr<UIImageView> slotImageView(const std::shared_ptr<UIView>& slot) const;

    float soundViewMaxWidth_ = 0;
    float soundViewMinWidth_ = 0;
    float yMargin_ = 0;
    float contentMargin_ = 0;
    float contentMinHeight_ = 0;
    std::shared_ptr<UIView> textView_;
    std::shared_ptr<UIView> photoView_;
    std::shared_ptr<UIView> soundView_;
    std::shared_ptr<UILabel> lblContent_;
    std::shared_ptr<UIView> lineView_;
    std::shared_ptr<UIImageView> imgIcon_;
    std::shared_ptr<UILabel> lblSeconds_;
    // The clip this bubble last started, so that destroying the bubble stops
    // that clip and no other bubble's.
    std::weak_ptr<core::SoundInfo> startedSound_;
};
