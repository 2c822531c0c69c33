#include "messaging/chat/MessageBaseCell.h"

#include "core/session/MyAccountInfo.h"
#include "core/util/DateHelper.h"
#include "platform/os/DateFormat.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/images/RemoteImageLoader.h"
#include "ui/images/RemoteImageView.h"
#include "ui/Lifetime.h"

namespace {

constexpr const char* kDefaultAvatar = "account_default_avatar";

} // namespace

void MessageBaseCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("wrapperView", wrapperView_);
    bindings.outlet("lblTime", lblTime_);
    // The group send's centred record has neither picture.
    bindings.optionalOutlet("imgBubble", imgBubble_);
    bindings.optionalOutlet("imgAvatar", imgAvatar_);
}

void MessageBaseCell::awakeFromNib()
{
    UIView::awakeFromNib();
    // The bubble picture keeps its tail and corners at any size.
    if (imgBubble_ && imgBubble_->image())
        imgBubble_->setImage(imgBubble_->image()->resizableImageWithCapInsets(kBubbleCapInsets));
    wrapperView_->addAction(
        weakCall(std::weak_ptr<MessageBaseCell>(std::static_pointer_cast<MessageBaseCell>(sharedView())),
            [](MessageBaseCell& cell, UIControl*) { cell.wrapperViewTouchUpInside(); }),
        UIControlEventTouchUpInside);
    if (imgAvatar_) {
        imgAvatar_->layer()->setCornerRadius(kCornerRadius);
        imgAvatar_->setClipsToBounds(true);
    }
    lblTime_->layer()->setCornerRadius(kCornerRadius);
    lblTime_->setClipsToBounds(true);

    failedMark_ = UIButton::buttonWithType(UIButtonTypeCustom);
    failedMark_->setOutletName(kFailedMarkOutlet);
    failedMark_->setImage(UIImage::imageNamed(kFailedMarkImage), UIControlStateNormal);
    failedMark_->setFrame(platform::Rect(0, 0, kFailedMarkSize, kFailedMarkSize));
    failedMark_->setHidden(true);
    failedMark_->addAction(
        weakCall(std::weak_ptr<MessageBaseCell>(std::static_pointer_cast<MessageBaseCell>(sharedView())),
            [](MessageBaseCell& cell, UIControl*) {
                if (auto delegate = cell.delegate_.lock())
                    delegate->messageBaseCellDidTapFailedMark(cell);
            }),
        UIControlEventTouchUpInside);
    if (auto holder = wrapperView_->superview())
        holder->addSubview(failedMark_);
}

void MessageBaseCell::layoutSubviews()
{
    BaseCell::layoutSubviews();
    if (!failedMark_ || !wrapperView_)
        return;
    // Left of the bubble (one's own stand on the right), on its middle line,
    // wherever this bubble kind has put it for the message.
    auto bubble = wrapperView_->frame();
    failedMark_->setFrame(platform::Rect(bubble.minX() - kFailedMarkGap - kFailedMarkSize,
        bubble.midY() - kFailedMarkSize / 2, kFailedMarkSize, kFailedMarkSize));
}

void MessageBaseCell::setWrapperWidth(double width, double x)
{
    auto frame = wrapperView_->frame();
    frame.origin.x = x;
    frame.size.width = width;
    wrapperView_->setFrame(frame);
}

void MessageBaseCell::wrapperViewTouchUpInside()
{
    if (auto delegate = delegate_.lock())
        delegate->messageBaseCellDidClick(*this);
}

void MessageBaseCell::setMessage(std::shared_ptr<core::MessageInfo> message)
{
    if (!message)
        return;
    message_ = std::move(message);
    if (failedMark_) {
        failedMark_->setHidden(!(message_->to && message_->sendFailed));
        setNeedsLayout();
    }

    if (imgAvatar_) {
        std::string address;
        if (message_->to) {
            if (auto account = core::MyAccountInfo::currentAccount())
                address = account->thumbAvatar;
        } else if (message_->contact) {
            address = message_->contact->thumbAvatar;
        }
        // A reused row must not show, or later receive, the previous sender's face.
        showImageURL(imgAvatar_, address.empty() ? std::nullopt : platform::Url::parse(address),
            UIImage::imageNamed(kDefaultAvatar));
    }
    lblTime_->setText(message_->time ? timeText(*message_->time, platform::Date::now()) : std::string());
}

std::string MessageBaseCell::timeText(platform::Date time, platform::Date now)
{
    const long long days = core::DateHelper::calendarDaysBetween(time, now);
    std::string_view pattern;
    switch (days) {
    case 0:
        pattern = "'今天' HH:mm:ss";
        break;
    case 1:
        pattern = "'昨天' HH:mm:ss";
        break;
    case 2:
        pattern = "'前天' HH:mm:ss";
        break;
    default:
        pattern = "yy-MM-dd HH:mm:ss";
        break;
    }
    return platform::DateFormatter(pattern).stringFromDate(time);
}
