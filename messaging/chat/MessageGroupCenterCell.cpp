#include "messaging/chat/MessageGroupCenterCell.h"

#include "messaging/chat/MessageSoundLeftCell.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/Lifetime.h"
#include "ui/images/WebCacheViews.h"

#include <algorithm>
#include <cmath>

namespace {

void setY(const std::shared_ptr<UIView>& view, double y)
{
    auto frame = view->frame();
    frame.origin.y = y;
    view->setFrame(frame);
}

std::shared_ptr<UIButton> buttonIn(const std::shared_ptr<UIView>& root)
{
    for (const auto& subview : root->subviews()) {
        if (auto button = std::dynamic_pointer_cast<UIButton>(subview))
            return button;
        if (auto found = buttonIn(subview))
            return found;
    }
    return nullptr;
}

} // namespace

MessageGroupCenterCell::MessageGroupCenterCell()
{
    // The icon is there once the layout is loaded; the player calls only a
    // bubble that started a clip, which its layout made.
    messageAudioPlayerPlayingSound = [this](MessageAudioPlayer&, const std::shared_ptr<core::SoundInfo>& sound) {
        auto shown = message() && !message()->soundsInfo.empty() ? message()->soundsInfo.front() : nullptr;
        if (sound && sound == shown)
            imgIcon_->startAnimating();
    };
    messageAudioPlayerPlaySoundFinished
        = [this](MessageAudioPlayer&, const std::shared_ptr<core::SoundInfo>&) { imgIcon_->stopAnimating(); };
}

MessageGroupCenterCell::~MessageGroupCenterCell()
{
    // Leaving the bubble ends the clip it started; a clip another bubble
    // started since keeps playing.
    auto started = startedSound_.lock();
    if (started && MessageAudioPlayer::shareInstance()->sound() == started)
        MessageAudioPlayer::cancelAll();
}

void MessageGroupCenterCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    MessageBaseCell::declareLayoutBindings(bindings);
    bindings.outlet("textView", textView_);
    bindings.outlet("photoView", photoView_);
    bindings.outlet("soundView", soundView_);
    bindings.outlet("lblContent", lblContent_);
    bindings.outlet("lineView", lineView_);
    bindings.outlet("imgIcon", imgIcon_);
    bindings.outlet("lblSeconds", lblSeconds_);
}

void MessageGroupCenterCell::awakeFromNib()
{
    MessageBaseCell::awakeFromNib();
    lblContent_->setNumberOfLines(0);
    lblContent_->setLineBreakMode(NSLineBreakByWordWrapping);
    // One's own sends: the loudspeaker of the right-hand bubbles.
    std::vector<std::shared_ptr<UIImage>> frames;
    for (const char* name : { "message_sound_cell_right_icon_01.png", "message_sound_cell_right_icon_02.png" }) {
        if (auto image = UIImage::imageNamed(name))
            frames.push_back(image);
    }
    imgIcon_->setAnimationImages(std::move(frames));
    imgIcon_->setAnimationRepeatCount(MessageSoundLeftCell::kAnimationRepeatCount);
    imgIcon_->setAnimationDuration(MessageSoundLeftCell::kAnimationDuration);
    yMargin_ = static_cast<float>(
        bounds().height() - textView_->frame().height() - photoView_->frame().height() - soundView_->frame().height());
    contentMinHeight_ = static_cast<float>(textView_->frame().height());
    contentMargin_ = static_cast<float>(textView_->frame().height() - lblContent_->frame().height());
    soundViewMaxWidth_ = static_cast<float>(soundView_->frame().width());
    soundViewMinWidth_ = soundViewMaxWidth_ - static_cast<float>(MessageSoundLeftCell::kWidthRange);
    std::weak_ptr<MessageGroupCenterCell> self = std::static_pointer_cast<MessageGroupCenterCell>(sharedView());
    // The buttons are inside the layout's views, named by no outlet.
    if (auto button = buttonIn(soundView_))
        button->addAction(weakCall(self, [](MessageGroupCenterCell& cell, UIControl*) { cell.btnSoundTouchUpInside(); }),
            UIControlEventTouchUpInside);
    for (const auto& slot : photoView_->subviews()) {
        if (auto button = buttonIn(slot))
            button->addAction(weakCall(self, &MessageGroupCenterCell::btnPhotoTouchUpInside), UIControlEventTouchUpInside);
    }
}

double MessageGroupCenterCell::textHeight(const core::MessageInfo& message) const
{
    auto measured = platform::measureText(message.content, lblContent_->font(),
        { lblContent_->frame().width(), platform::kUnlimitedTextExtent }, toLineBreakMode(lblContent_->lineBreakMode()));
    return std::max<double>(measured.height + contentMargin_, contentMinHeight_);
}

platform::Size MessageGroupCenterCell::sizeForMessage(const core::MessageInfo& message) const
{
    double height = textHeight(message) + yMargin_;
    if (!message.soundsInfo.empty())
        height += soundView_->frame().height();
    if (!message.photosInfo.empty())
        height += photoView_->frame().height();
    return { bounds().width(), height };
}

platform::Size MessageGroupCenterCell::computeSize(const core::MessageInfo& message)
{
    auto prototype = BaseCell::demo<MessageGroupCenterCell>();
    return prototype ? prototype->sizeForMessage(message) : platform::Size {};
}

std::shared_ptr<UIImageView> MessageGroupCenterCell::slotImageView(const std::shared_ptr<UIView>& slot) const
{
    return slot->subviews().empty() ? nullptr : std::dynamic_pointer_cast<UIImageView>(slot->subviews().front());
}

void MessageGroupCenterCell::setMessage(std::shared_ptr<core::MessageInfo> message)
{
    if (!message)
        return;
    MessageBaseCell::setMessage(message);
    imgIcon_->stopAnimating();

    lblContent_->setText(message->content);
    const double height = textHeight(*message);
    auto textFrame = textView_->frame();
    textFrame.size.height = height;
    textView_->setFrame(textFrame);
    double y = textFrame.minY() + height;

    const bool hasPhotos = !message->photosInfo.empty();
    {
        photoView_->setHidden(!hasPhotos);
        if (hasPhotos)
            setY(photoView_, y);
        std::size_t k = 0;
        for (const auto& slot : photoView_->subviews()) {
            auto image = slotImageView(slot);
            const bool shown = hasPhotos && k < message->photosInfo.size() && message->photosInfo[k];
            slot->setHidden(!shown);
            if (image) {
                // A reused row never shows, nor later receives, another message's photo.
                cancelCurrentImageLoad(image);
                image->setImage(nullptr);
                if (shown && !message->photosInfo[k]->thumbUrl.empty())
                    setImageWithURL(image, platform::Url::parse(message->photosInfo[k]->thumbUrl));
            }
            ++k;
        }
        if (hasPhotos)
            y += photoView_->frame().height();
    }

    auto sound = message->soundsInfo.empty() ? nullptr : message->soundsInfo.front();
    soundView_->setHidden(!sound);
    if (sound) {
        setY(soundView_, y);
        auto frame = soundView_->frame();
        frame.size.width = MessageSoundLeftCell::bubbleWidth(sound->seconds, soundViewMinWidth_, soundViewMaxWidth_);
        soundView_->setFrame(frame);
    }
    lblSeconds_->setText(sound ? MessageSoundLeftCell::secondsText(sound->seconds) : std::string());

    lineView_->setHidden(!hasPhotos && !sound);
}

void MessageGroupCenterCell::btnPhotoTouchUpInside(UIControl* sender)
{
    if (!sender)
        return;
    if (auto delegate = this->delegate())
        delegate->messageBaseCellDidShowPhoto(*this, sender->tag());
}

void MessageGroupCenterCell::btnSoundTouchUpInside()
{
    auto shown = message() && !message()->soundsInfo.empty() ? message()->soundsInfo.front() : nullptr;
    if (!shown)
        return;
    startedSound_ = shown;
    std::weak_ptr<MessageAudioPlayerDelegate> self = std::static_pointer_cast<MessageGroupCenterCell>(sharedView());
    MessageAudioPlayer::play(shown, self);
}
