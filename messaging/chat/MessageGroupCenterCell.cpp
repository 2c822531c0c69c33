#include "messaging/chat/MessageGroupCenterCell.h"

#include "messaging/chat/MessageSoundLeftCell.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
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
    messageAudioPlayerPlayingSound = [this](MessageAudioPlayer&, const std::shared_ptr<core::SoundInfo>& sound) {
        auto icon = imgIcon_.lock();
        auto shown = message() && !message()->soundsInfo.empty() ? message()->soundsInfo.front() : nullptr;
        if (icon && sound && sound == shown)
            icon->startAnimating();
    };
    messageAudioPlayerPlaySoundFinished = [this](MessageAudioPlayer&, const std::shared_ptr<core::SoundInfo>&) {
        if (auto icon = imgIcon_.lock())
            icon->stopAnimating();
    };
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
    auto text = textView_.lock();
    auto photos = photoView_.lock();
    auto sounds = soundView_.lock();
    auto label = lblContent_.lock();
    auto icon = imgIcon_.lock();
    if (label) {
        label->setNumberOfLines(0);
        label->setLineBreakMode(NSLineBreakByWordWrapping);
    }
    if (icon) {
        // One's own sends: the loudspeaker of the right-hand bubbles.
        std::vector<std::shared_ptr<UIImage>> frames;
        for (const char* name : { "message_sound_cell_right_icon_01.png", "message_sound_cell_right_icon_02.png" }) {
            if (auto image = UIImage::imageNamed(name))
                frames.push_back(image);
        }
        icon->setAnimationImages(std::move(frames));
        icon->setAnimationRepeatCount(MessageSoundLeftCell::kAnimationRepeatCount);
        icon->setAnimationDuration(MessageSoundLeftCell::kAnimationDuration);
    }
    if (text && photos && sounds)
        yMargin_ = static_cast<float>(
            bounds().height() - text->frame().height() - photos->frame().height() - sounds->frame().height());
    if (text) {
        contentMinHeight_ = static_cast<float>(text->frame().height());
        if (label)
            contentMargin_ = static_cast<float>(text->frame().height() - label->frame().height());
    }
    if (sounds) {
        soundViewMaxWidth_ = static_cast<float>(sounds->frame().width());
        soundViewMinWidth_ = soundViewMaxWidth_ - static_cast<float>(MessageSoundLeftCell::kWidthRange);
        if (auto button = buttonIn(sounds)) {
            std::weak_ptr<MessageGroupCenterCell> weakSelf
                = std::static_pointer_cast<MessageGroupCenterCell>(sharedView());
            button->addAction(
                [weakSelf](UIControl*) {
                    if (auto self = weakSelf.lock())
                        self->btnSoundTouchUpInside();
                },
                UIControlEventTouchUpInside);
        }
    }
    if (photos) {
        std::weak_ptr<MessageGroupCenterCell> weakSelf = std::static_pointer_cast<MessageGroupCenterCell>(sharedView());
        for (const auto& slot : photos->subviews()) {
            if (auto button = buttonIn(slot))
                button->addAction(
                    [weakSelf](UIControl* sender) {
                        if (auto self = weakSelf.lock())
                            self->btnPhotoTouchUpInside(sender);
                    },
                    UIControlEventTouchUpInside);
        }
    }
}

double MessageGroupCenterCell::textHeight(const core::MessageInfo& message) const
{
    auto label = lblContent_.lock();
    if (!label)
        return contentMinHeight_;
    auto measured = platform::measureText(message.content, label->font(),
        { label->frame().width(), platform::kUnlimitedTextExtent }, toLineBreakMode(label->lineBreakMode()));
    return std::max<double>(measured.height + contentMargin_, contentMinHeight_);
}

platform::Size MessageGroupCenterCell::sizeForMessage(const core::MessageInfo& message) const
{
    double height = textHeight(message) + yMargin_;
    if (auto sounds = soundView_.lock(); sounds && !message.soundsInfo.empty())
        height += sounds->frame().height();
    if (auto photos = photoView_.lock(); photos && !message.photosInfo.empty())
        height += photos->frame().height();
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
    if (auto icon = imgIcon_.lock())
        icon->stopAnimating();

    auto text = textView_.lock();
    if (auto label = lblContent_.lock())
        label->setText(message->content);
    const double height = textHeight(*message);
    double y = 0;
    if (text) {
        auto frame = text->frame();
        frame.size.height = height;
        text->setFrame(frame);
        y = frame.minY() + height;
    }

    const bool hasPhotos = !message->photosInfo.empty();
    if (auto photos = photoView_.lock()) {
        photos->setHidden(!hasPhotos);
        if (hasPhotos)
            setY(photos, y);
        std::size_t k = 0;
        for (const auto& slot : photos->subviews()) {
            auto image = slotImageView(slot);
            const bool shown = hasPhotos && k < message->photosInfo.size() && message->photosInfo[k];
            slot->setHidden(!shown);
            if (image) {
                // A reused row never shows, nor later receives, another message's photo.
                ui::cancelCurrentImageLoad(image);
                image->setImage(nullptr);
                if (shown && !message->photosInfo[k]->thumbUrl.empty())
                    ui::setImageWithURL(image, platform::Url::parse(message->photosInfo[k]->thumbUrl));
            }
            ++k;
        }
        if (hasPhotos)
            y += photos->frame().height();
    }

    auto sound = message->soundsInfo.empty() ? nullptr : message->soundsInfo.front();
    if (auto sounds = soundView_.lock()) {
        sounds->setHidden(!sound);
        if (sound) {
            setY(sounds, y);
            auto frame = sounds->frame();
            frame.size.width = MessageSoundLeftCell::bubbleWidth(sound->seconds, soundViewMinWidth_, soundViewMaxWidth_);
            sounds->setFrame(frame);
        }
    }
    if (auto label = lblSeconds_.lock())
        label->setText(sound ? MessageSoundLeftCell::secondsText(sound->seconds) : std::string());

    if (auto line = lineView_.lock())
        line->setHidden(!hasPhotos && !sound);
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
