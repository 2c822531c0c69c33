#pragma once

#include "core/model/SoundInfo.h"
#include "messaging/send/MessageSendTile.h"
#include "messaging/voice/MessageAudioPlayer.h"

#include <functional>
#include <memory>

class MessageSendSound;
class UIImageView;

// What a voice tile tells its screen. Every member is optional.
class MessageSendSoundDelegate {
public:
    virtual ~MessageSendSoundDelegate() = default;
    using Callback = std::function<void(MessageSendSound& tile)>;
    Callback messageSendSoundDidRemove;
    Callback messageSendSoundDidPlay;
    // The upload ended: the clip has its address in `info` when it worked.
    Callback messageSendSoundDidUpload;
};

// The voice-clip attachment tile of the compose screen: the clip's length,
// then its upload progress and outcome; its speaker icon moves while the
// clip plays (the tile is the voice player's delegate for its clip). The tile
// does not own its delegate: the screen owns the tile.
class MessageSendSound final : public MessageSendTile, public MessageAudioPlayerDelegate {
public:
    ORB_CLASS_NAME(MessageSendSound)
    static constexpr const char* kRemoveTitle = "删除该声音";
    static constexpr const char* kPlayTitle = "播放声音";
    static constexpr double kIconCycleSeconds = 0.5;
    static constexpr long kIconRepeatCount = 2147483647;

    // The tile from the layout "MessageSendSound", reporting to the delegate.
    static std::shared_ptr<MessageSendSound> soundWithDelegate(std::weak_ptr<MessageSendSoundDelegate> delegate);

    std::shared_ptr<MessageSendSoundDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<MessageSendSoundDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::shared_ptr<core::SoundInfo>& info() const { return info_; }
    // Keeps the clip and shows its length: 75 s as 1'15", 59 s as 59".
    void setInfo(std::shared_ptr<core::SoundInfo> info);
    const std::shared_ptr<UIImageView>& imgIcon() const { return imgIcon_; }

    // Uploads the clip, or reports at once when it has its address already.
    // Exactly one upload report per call.
    void upload();

    void requestUploadSucceeded(const foundation::HTTPRequestPtr& request);
    void requestUploadFailed(const foundation::HTTPRequestPtr& request);

    // The length as the tile shows it.
    static std::string lengthText(int seconds);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex) override;

    MessageSendSound() = default;

protected:
    std::string removeTitle() const override { return kRemoveTitle; }
    std::string otherTitle() const override { return kPlayTitle; }

private:
    void tell(const MessageSendSoundDelegate::Callback MessageSendSoundDelegate::*method);

    std::shared_ptr<core::SoundInfo> info_;
    std::weak_ptr<MessageSendSoundDelegate> delegate_;
    std::shared_ptr<UIImageView> imgIcon_;
};
