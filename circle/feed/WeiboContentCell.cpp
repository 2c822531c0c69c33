#include "circle/feed/WeiboContentCell.h"

#include "circle/feed/PraiseBook.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "ui/ORBHelper.h"
#include "ui/controls/MyTapGestureRecognizer.h"
#include "ui/images/RemoteImageView.h"
#include "ui/photobrowser/BrowserPhoto.h"

#include <algorithm>

namespace circle {

namespace {

const platform::Color kTextColor = platform::Color::darkGrayColor();
// The heart's own red: the praise button's title once the person praised.
const platform::Color kPraisedColor = platform::Color::fromRGB255(240, 98, 90);

std::optional<platform::Url> urlOf(const std::string& text)
{
    return text.empty() ? std::nullopt : platform::Url::parse(text);
}

void showPlaceholder(UIImageView& view) { setImageOfView(view, UIImage::imageNamed(WeiboContentCell::kImagePlaceholder)); }

} // namespace

std::shared_ptr<UIView> WeiboContentCell::textView(const core::WeiboData& data, int lines)
{
    return ORBHelper::assembleMessage(data.rowText(), kTextColor, kTextWidth, lines);
}

double WeiboContentCell::heightForWeiboData(const core::WeiboData& data, int lines)
{
    double text = textView(data, lines)->frame().height();
    std::size_t images = data.images.size();
    if (images == 0)
        return text + kNoImageExtra;
    if (images == 1)
        return text + kOneImageExtra;
    if (images <= 3)
        return text + kFewImagesExtra;
    return text + kManyImagesExtra;
}

std::string WeiboContentCell::praiseTitle(int count, bool praised)
{
    std::string title = praised ? kPraisedWord : kPraiseWord;
    if (count > 0)
        title += " " + std::to_string(count);
    return title;
}

int WeiboContentCell::slotForImage(std::size_t imageCount, std::size_t index)
{
    if (imageCount == 2 || imageCount == 3)
        return int((index + 3) % kGridSlots);
    return int(index);
}

void WeiboContentCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("imvPhoto", imvPhoto_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblTime", lblTime_);
    bindings.outlet("imvBigContentImage", imvBigContentImage_);
    bindings.outlet("smallContentImageContainer", smallContentImageContainer_);
    bindings.outletCollection("imvSmallContentImages", imvSmallContentImages_);
    bindings.outlet("btnComment", btnComment_);
    bindings.outlet("btnPraise", btnPraise_);
    bindings.action("btnDoComment:", &WeiboContentCell::btnDoComment);
    bindings.action("btnDoPraise:", &WeiboContentCell::btnDoPraise);
}

void WeiboContentCell::awakeFromNib()
{
    UIView::awakeFromNib();
    btnComment_->layer()->setBorderWidth(1);
    btnComment_->layer()->setBorderColor(platform::Color::lightGrayColor());
    btnComment_->layer()->setCornerRadius(5);
    btnComment_->setClipsToBounds(true);
    btnPraise_->setTitleColor(kPraisedColor, UIControlStateSelected);
    btnPraise_->setTitleColor(kPraisedColor, UIControlStateSelected | UIControlStateHighlighted);
    imvPhoto_->layer()->setCornerRadius(4);
    imvPhoto_->setClipsToBounds(true);
    imvBigContentImage_->setClipsToBounds(true);
    for (const auto& slot : imvSmallContentImages_)
        slot->setClipsToBounds(true);
}

void WeiboContentCell::prepareForReuse()
{
    BaseCell::prepareForReuse();
    showPlaceholder(*imvBigContentImage_);
    for (const auto& slot : imvSmallContentImages_)
        showPlaceholder(*slot);
}

void WeiboContentCell::configWithWeiboData(std::shared_ptr<core::WeiboData> data)
{
    if (viewContent_)
        viewContent_->removeFromSuperview();
    viewContent_.reset();
    for (const auto& tap : taps_) {
        if (auto view = tap->view())
            view->removeGestureRecognizer(tap);
    }
    taps_.clear();
    data_ = std::move(data);
    if (!data_)
        return;

    showImageURL(imvPhoto_, urlOf(data_->thumbAvatar), UIImage::imageNamed(kDefaultAvatar));
    lblName_->setText(data_->senderName);
    lblTime_->setText(data_->dataTime);

    viewContent_ = textView(*data_, textLines());
    auto frame = viewContent_->frame();
    viewContent_->setFrame(platform::Rect(kTextX, kTextY, frame.width(), frame.height()));
    viewContent_->setClipsToBounds(true);
    contentView()->addSubview(viewContent_);

    btnComment_->setTitle(std::to_string(data_->commentNum), UIControlStateNormal);
    layoutCommentButton();
    bool praised = PraiseBook::shared().isPraised(data_->weiboId);
    btnPraise_->setTitle(praiseTitle(data_->praise, praised), UIControlStateNormal);
    btnPraise_->setSelected(praised);
    layoutPraiseButton();

    auto addTap = [this](const std::shared_ptr<UIImageView>& view, std::size_t index) {
        auto tap = std::make_shared<MyTapGestureRecognizer>();
        // The picture's own index: the slot it sits in says nothing about it
        // for two or three pictures.
        tap->setData(platform::Value(static_cast<long long>(index)));
        tap->addTarget(std::static_pointer_cast<WeiboContentCell>(shared_from_this()), &WeiboContentCell::onTapImage);
        view->setUserInteractionEnabled(true);
        view->addGestureRecognizer(tap);
        taps_.push_back(tap);
    };

    const auto& images = data_->images;
    if (images.empty()) {
        imvBigContentImage_->setHidden(true);
        smallContentImageContainer_->setHidden(true);
    } else if (images.size() == 1) {
        imvBigContentImage_->setHidden(false);
        smallContentImageContainer_->setHidden(true);
        setImageURL(imvBigContentImage_, urlOf(images[0]->thumb));
        addTap(imvBigContentImage_, 0);
    } else {
        imvBigContentImage_->setHidden(true);
        smallContentImageContainer_->setHidden(false);
        for (std::size_t i = 0; i < std::size_t(kGridSlots) && i < imvSmallContentImages_.size(); ++i) {
            auto slot = imvSmallContentImages_[std::size_t(slotForImage(images.size(), i))];
            if (i < images.size()) {
                slot->setHidden(false);
                setImageURL(slot, urlOf(images[i]->thumb));
                addTap(slot, i);
            } else {
                slot->setHidden(true);
            }
        }
    }
    lblName_->sizeToFit();
}

void WeiboContentCell::layoutCommentButton()
{
    auto fitting = btnComment_->sizeThatFits(platform::Size(1000, btnComment_->frame().height()));
    double width = std::max(kCommentButtonMinWidth, fitting.width + kCommentButtonPadding);
    auto frame = btnComment_->frame();
    btnComment_->setFrame(platform::Rect(kCommentButtonRight - width, frame.origin.y, width, frame.height()));
}

void WeiboContentCell::layoutPraiseButton()
{
    auto fitting = btnPraise_->sizeThatFits(platform::Size(1000, btnPraise_->frame().height()));
    double width = std::max(kCommentButtonMinWidth, fitting.width + kCommentButtonPadding);
    auto frame = btnPraise_->frame();
    double right = btnComment_->frame().minX() - kPraiseButtonGap;
    btnPraise_->setFrame(platform::Rect(right - width, frame.origin.y, width, frame.height()));
}

void WeiboContentCell::onTapImage(UIGestureRecognizer* recognizer)
{
    auto* tap = dynamic_cast<MyTapGestureRecognizer*>(recognizer);
    unsigned index = 0;
    if (tap && tap->data().isNumber())
        index = static_cast<unsigned>(std::max<long long>(0, tap->data().longLongValue()));
    openBrowserAt(index);
}

void WeiboContentCell::openBrowserAt(unsigned index)
{
    if (!data_ || data_->images.empty())
        return;
    auto window = UIWindow::keyWindow();
    auto root = window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
    if (!root)
        return;
    auto browser = PhotoBrowser::initWithDelegate(std::static_pointer_cast<WeiboContentCell>(shared_from_this()));
    browser->setInitialPageIndex(index);
    root->presentViewController(std::make_shared<UINavigationController>(browser), true);
}

unsigned WeiboContentCell::numberOfPhotosInPhotoBrowser(PhotoBrowser*)
{
    return data_ ? static_cast<unsigned>(data_->images.size()) : 0;
}

std::shared_ptr<BrowserPhotoProtocol> WeiboContentCell::photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index)
{
    if (!data_ || index >= data_->images.size())
        return nullptr;
    if (auto url = urlOf(data_->images[index]->original))
        return BrowserPhoto::photoWithURL(*url);
    return BrowserPhoto::photoWithImage(UIImage::imageNamed(kImagePlaceholder));
}

void WeiboContentCell::btnDoComment(UIControl* sender)
{
    if (auto delegate = delegate_.lock())
        delegate->btnDoComment(sender);
}

void WeiboContentCell::btnDoPraise(UIControl* sender)
{
    if (auto delegate = delegate_.lock())
        delegate->btnDoPraise(sender);
}

} // namespace circle
