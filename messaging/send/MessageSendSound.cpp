#include "messaging/send/MessageSendSound.h"

#include "core/network/builders/ORBUploadControl.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/Log.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "ui/Lifetime.h"

using foundation::HTTPRequestDelegate;
using foundation::HTTPRequestPtr;
using foundation::ProgressDelegate;
using foundation::RequestSelector;

std::shared_ptr<MessageSendSound> MessageSendSound::soundWithDelegate(std::weak_ptr<MessageSendSoundDelegate> delegate)
{
    auto tile = std::make_shared<MessageSendSound>();
    tile->loadLayout(kClassName);
    tile->setDelegate(std::move(delegate));
    return tile;
}

void MessageSendSound::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    MessageSendTile::declareLayoutBindings(bindings);
    bindings.outlet("imgIcon", imgIcon_);
}

void MessageSendSound::awakeFromNib()
{
    MessageSendTile::awakeFromNib();
    std::vector<std::shared_ptr<UIImage>> frames;
    for (const char* name : { "message_send_sound_icon_01.png", "message_send_sound_icon_02.png" }) {
        if (auto image = UIImage::imageNamed(name))
            frames.push_back(image);
    }
    imgIcon_->setAnimationImages(std::move(frames));
    imgIcon_->setAnimationDuration(kIconCycleSeconds);
    imgIcon_->setAnimationRepeatCount(kIconRepeatCount);
    // The player's calls reach the icon only while the tile lives.
    std::weak_ptr<MessageSendSound> weak = std::static_pointer_cast<MessageSendSound>(sharedView());
    messageAudioPlayerPlayingSound = weakCall(
        weak, [](MessageSendSound& tile, MessageAudioPlayer&, const std::shared_ptr<core::SoundInfo>&) { tile.imgIcon_->startAnimating(); });
    messageAudioPlayerPlaySoundFinished = weakCall(
        weak, [](MessageSendSound& tile, MessageAudioPlayer&, const std::shared_ptr<core::SoundInfo>&) { tile.imgIcon_->stopAnimating(); });
}

std::string MessageSendSound::lengthText(int seconds)
{
    if (seconds >= 60)
        return std::to_string(seconds / 60) + "'" + std::to_string(seconds % 60) + "\"";
    return std::to_string(seconds) + "\"";
}

void MessageSendSound::setInfo(std::shared_ptr<core::SoundInfo> info)
{
    info_ = std::move(info);
    if (info_)
        setTitle(lengthText(info_->seconds));
}

void MessageSendSound::tell(const MessageSendSoundDelegate::Callback MessageSendSoundDelegate::*method)
{
    auto delegate = delegate_.lock();
    if (!delegate)
        return;
    auto callback = (*delegate).*method;
    if (callback)
        callback(*this);
}

void MessageSendSound::upload()
{
    if (info_ && !info_->url.empty()) {
        tell(&MessageSendSoundDelegate::messageSendSoundDidUpload);
        return;
    }
    // A tile without a clip has no file: the request reports the failure.
    core::SoundInfo none;
    auto self = std::static_pointer_cast<MessageSendSound>(sharedView());
    startUpload(core::ORBUploadControl::uploadSound(info_ ? *info_ : none, std::weak_ptr<ProgressDelegate>(self),
        std::weak_ptr<HTTPRequestDelegate>(self), RequestSelector::method(&MessageSendSound::requestUploadSucceeded),
        RequestSelector::method(&MessageSendSound::requestUploadFailed)));
}

void MessageSendSound::requestUploadSucceeded(const HTTPRequestPtr& request)
{
    uploadAnswered(*request, info_ && core::ORBUploadControl::storeSoundReply(*request, *info_));
    tell(&MessageSendSoundDelegate::messageSendSoundDidUpload);
}

void MessageSendSound::requestUploadFailed(const HTTPRequestPtr& request)
{
    uploadFailed(*request);
    tell(&MessageSendSoundDelegate::messageSendSoundDidUpload);
}

void MessageSendSound::actionSheetClickedButton(UIActionSheet*, long buttonIndex)
{
    if (buttonIndex == 0)
        tell(&MessageSendSoundDelegate::messageSendSoundDidRemove);
    else if (buttonIndex == 1)
        tell(&MessageSendSoundDelegate::messageSendSoundDidPlay);
}
