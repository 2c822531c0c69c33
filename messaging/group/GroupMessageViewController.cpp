#include "messaging/group/GroupMessageViewController.h"

#include "core/util/GlobalColor.h"
#include "messaging/chat/MessageSoundLeftCell.h"
#include "platform/graphics/Text.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/DateFormat.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWindow.h"
#include "ui/images/WebCacheViews.h"
#include "ui/photobrowser/BrowserPhoto.h"

#include <algorithm>

namespace {

void moveTo(UIView& view, double y)
{
    auto frame = view.frame();
    frame.origin.y = y;
    view.setFrame(frame);
}

std::string counts(int first, int second) { return std::to_string(first) + "/" + std::to_string(second); }

} // namespace

GroupMessageViewController::GroupMessageViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle(kTitle);
    messageAudioPlayerPlayingSound = [this](MessageAudioPlayer&, const std::shared_ptr<core::SoundInfo>&) {
        if (isViewLoaded())
            imgIcon_->startAnimating();
    };
    messageAudioPlayerPlaySoundFinished = [this](MessageAudioPlayer&, const std::shared_ptr<core::SoundInfo>&) {
        if (isViewLoaded())
            imgIcon_->stopAnimating();
    };
}

GroupMessageViewController::~GroupMessageViewController()
{
    auto started = startedSound_.lock();
    if (started && MessageAudioPlayer::exists() && MessageAudioPlayer::shareInstance()->sound() == started)
        MessageAudioPlayer::cancelAll();
}

void GroupMessageViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("contentView", contentView_);
    bindings.outlet("lblContent", lblContent_);
    bindings.outlet("soundView", soundView_);
    bindings.outlet("photoView", photoView_);
    bindings.outlet("bottomView", bottomView_);
    bindings.outlet("imgIcon", imgIcon_);
    bindings.outlet("lineView", lineView_);
    bindings.outlet("lblTime", lblTime_);
    bindings.outlet("lblSms", lblSms_);
    bindings.outlet("lblMsg", lblMsg_);
    bindings.outlet("lblSeconds", lblSeconds_);
    bindings.action("btnShowStateTouchUpInside:", &GroupMessageViewController::btnShowStateTouchUpInside);
    bindings.action("btnPhotoTouchUpInside:", &GroupMessageViewController::btnPhotoTouchUpInside);
    bindings.action("btnSoundTouchUpInside:", &GroupMessageViewController::btnSoundTouchUpInside);
    bindings.optionalAction("btnBackTouchUpInside:", &GroupMessageViewController::btnBackTouchUpInside);
}

void GroupMessageViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    std::vector<std::shared_ptr<UIImage>> frames;
    for (const char* name : { "message_sound_cell_right_icon_01.png", "message_sound_cell_right_icon_02.png" }) {
        if (auto image = UIImage::imageNamed(name))
            frames.push_back(image);
    }
    imgIcon_->setAnimationImages(std::move(frames));
    imgIcon_->setAnimationRepeatCount(MessageSoundLeftCell::kAnimationRepeatCount);
    imgIcon_->setAnimationDuration(MessageSoundLeftCell::kAnimationDuration);
    if (auto dark = core::GlobalColor::getColor("main_dark")) {
        lineView_->setBackgroundColor(*dark);
        lblMsg_->setTextColor(*dark);
        lblSms_->setTextColor(*dark);
    }
    lblContent_->setNumberOfLines(0);
    lblContent_->setLineBreakMode(NSLineBreakByWordWrapping);
    contentMinHeight_ = static_cast<float>(contentView_->frame().height());
    contentMargin_ = static_cast<float>(contentView_->frame().height() - lblContent_->frame().height());
    refreshView();
}

void GroupMessageViewController::setMessage(std::shared_ptr<core::MessageInfo> message)
{
    message_ = std::move(message);
    refreshView();
}

std::shared_ptr<core::SoundInfo> GroupMessageViewController::firstSound() const
{
    return message_ && !message_->soundsInfo.empty() ? message_->soundsInfo.front() : nullptr;
}

void GroupMessageViewController::refreshView()
{
    if (!isViewLoaded() || !message_)
        return;
    lblContent_->setText(message_->content);
    lblTime_->setText(
        message_->time ? platform::DateFormatter(kTimeFormat).stringFromDate(*message_->time) : std::string());
    lblSms_->setText(counts(message_->smsUnSuccessCount, message_->smsSuccessCount));
    lblMsg_->setText(counts(message_->msgUnReadCount, message_->msgReadCount));

    auto measured = platform::measureText(message_->content, lblContent_->font(),
        { lblContent_->frame().width(), platform::kUnlimitedTextExtent }, toLineBreakMode(lblContent_->lineBreakMode()));
    const double textHeight = std::max<double>(measured.height + contentMargin_, contentMinHeight_);
    auto textFrame = contentView_->frame();
    textFrame.origin.y = 0;
    textFrame.size.height = textHeight;
    contentView_->setFrame(textFrame);
    double y = textHeight + kTextGap;

    // Voice first, then the photos.
    auto sound = firstSound();
    soundView_->setHidden(!sound);
    if (sound) {
        moveTo(*soundView_, y);
        y += soundView_->frame().height();
        lblSeconds_->setText(MessageSoundLeftCell::secondsText(sound->seconds));
    }

    photos_.clear();
    const auto& photoInfos = message_->photosInfo;
    photoView_->setHidden(photoInfos.empty());
    if (!photoInfos.empty()) {
        moveTo(*photoView_, y);
        std::size_t k = 0;
        for (const auto& slot : photoView_->subviews()) {
            const bool shown = k < photoInfos.size() && photoInfos[k];
            slot->setHidden(!shown);
            if (shown && !slot->subviews().empty()) {
                if (auto image = std::dynamic_pointer_cast<UIImageView>(slot->subviews().front()))
                    setImageWithURL(image, platform::Url::parse(photoInfos[k]->thumbUrl));
            }
            ++k;
        }
        for (const auto& photo : photoInfos) {
            if (!photo)
                continue;
            if (auto url = platform::Url::parse(photo->url))
                photos_.push_back(BrowserPhoto::photoWithURL(*url));
        }
        y += photoView_->frame().height();
    }

    moveTo(*bottomView_, y);
    if (auto scroll = std::dynamic_pointer_cast<UIScrollView>(view())) {
        auto size = scroll->contentSize();
        size.height = y + bottomView_->frame().height();
        scroll->setContentSize(size);
    }
}

void GroupMessageViewController::btnShowStateTouchUpInside(UIControl*)
{
    auto screen = platform::ClassRegistry::shared().createAs<UIViewController>(kStateScreen);
    if (auto target = std::dynamic_pointer_cast<MessageRecordTarget>(screen))
        target->setMessage(message_);
    if (auto navigation = navigationController(); navigation && screen)
        navigation->pushViewController(screen, true);
}

void GroupMessageViewController::btnPhotoTouchUpInside(UIControl* sender)
{
    auto window = UIWindow::keyWindow();
    auto root = window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
    if (!root || photos_.empty())
        return;
    auto browser = PhotoBrowser::initWithDelegate(self<GroupMessageViewController>());
    const int tag = sender ? std::max(0, sender->tag()) : 0;
    browser->setInitialPageIndex(std::min<unsigned>(static_cast<unsigned>(tag), static_cast<unsigned>(photos_.size() - 1)));
    root->presentViewController(std::make_shared<UINavigationController>(browser), true);
}

void GroupMessageViewController::btnSoundTouchUpInside(UIControl*)
{
    auto sound = firstSound();
    if (!sound)
        return;
    startedSound_ = sound;
    // A second tap on the playing clip stops it (the player's rule).
    MessageAudioPlayer::play(sound, weakSelf<GroupMessageViewController>());
}

void GroupMessageViewController::btnBackTouchUpInside(UIControl*) { popViewController(); }

unsigned GroupMessageViewController::numberOfPhotosInPhotoBrowser(PhotoBrowser*)
{
    return static_cast<unsigned>(photos_.size());
}

std::shared_ptr<BrowserPhotoProtocol> GroupMessageViewController::photoBrowserPhotoAtIndex(
    PhotoBrowser*, unsigned index)
{
    return index < photos_.size() ? photos_[index] : nullptr;
}
