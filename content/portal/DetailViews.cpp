#include "content/portal/DetailViews.h"

#include "content/portal/PortalStyle.h"
#include "platform/graphics/Context.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"
#include "ui/images/WebCacheViews.h"

#include <cmath>

namespace content {

// ---- DetailHeader ---------------------------------------------------------------------

std::shared_ptr<DetailHeader> DetailHeader::header()
{
    auto objects = platform::LayoutLoader::loadNamedFor<DetailHeader>(nullptr);
    return objects.empty() ? nullptr : std::dynamic_pointer_cast<DetailHeader>(objects.back());
}

void DetailHeader::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("lblTitle", lblTitle_);
    bindings.outlet("lblSubtitle", lblSubtitle_);
    bindings.outlet("lineView", lineView_);
}

void DetailHeader::awakeFromNib()
{
    UIView::awakeFromNib();
    setBackgroundColor(hexColor("ffffff"));
    lblTitle_->setText("");
    lblSubtitle_->setText("");
    lblTitle_->setTextColor(hexColor("7fc410"));
    lineView_->setBackgroundColor(hexColor("7fc410"));
}

void DetailHeader::setTitle(std::string title)
{
    title_ = std::move(title);
    lblTitle_->setText(title_);
}

void DetailHeader::setSubtitle(std::string subtitle)
{
    subtitle_ = std::move(subtitle);
    lblSubtitle_->setText(subtitle_);
}

// ---- DetailCell ------------------------------------------------------------------------

void DetailCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    bindings.outlet("lblDetail", lblDetail_);
    bindings.outlet("bottomLine", bottomLine_);
}

void DetailCell::awakeFromNib()
{
    UIView::awakeFromNib();
    marginY_ = std::ceil(bounds().height() - lblDetail_->frame().height());
    // The fading mask: one point wide, as tall as the cell above its line,
    // white turning from clear to half opaque over its top 30 %.
    double maskHeight = std::max(1.0, bottomLine_->frame().minY());
    double scale = UIScreen::mainScreen()->scale();
    auto context = platform::Context::createBitmap({ 1, maskHeight }, scale);
    context->drawLinearGradient({ { 0.0, platform::Color(1, 1, 1, 0.0) }, { 0.3, platform::Color(1, 1, 1, 0.5) } },
        { 0, 0 }, { 0, maskHeight }, platform::GradientDrawsAfterEnd);
    maskImageView_ = std::make_shared<UIImageView>(
        platform::Rect(bottomLine_->frame().minX(), 0, bottomLine_->frame().width(), maskHeight));
    maskImageView_->setImage(std::make_shared<UIImage>(context->makeImage()));
    maskImageView_->setAutoresizingMask(UIViewAutoresizingFlexibleHeight);
    maskImageView_->setHidden(true);
    contentView()->addSubview(maskImageView_);
}

void DetailCell::layoutSubviews()
{
    BaseCell::layoutSubviews();
    auto frame = lblDetail_->frame();
    frame.size.height = std::max(0.0, bounds().height() - marginY_);
    lblDetail_->setFrame(frame);
    auto mask = maskImageView_->frame();
    mask.size.height = bottomLine_->frame().minY();
    maskImageView_->setFrame(mask);
}

void DetailCell::setDetail(const std::string& text, bool snapshot)
{
    lblDetail_->setText(text);
    double height = textHeight(text, lblDetail_->font(), lblDetail_->frame().width());
    maskImageView_->setHidden(!(snapshot && height > kCutHeight));
    setNeedsLayout();
}

bool DetailCell::isMasked() const { return maskImageView_ && !maskImageView_->isHidden(); }

double DetailCell::height(const std::optional<std::string>& text, bool snapshot)
{
    auto demo = BaseCell::demo<DetailCell>();
    if (!demo)
        return 0;
    double height = textHeight(text.value_or(""), demo->lblDetail_->font(), demo->lblDetail_->frame().width());
    if (snapshot && height > kCutHeight)
        height = kCutHeight;
    return height + demo->marginY_;
}

// ---- GCVideoCell -------------------------------------------------------------------------

void GCVideoCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    bindings.outlet("imgAvatar", imgAvatar_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblLectorName", lblLectorName_);
    bindings.outlet("lblMinutes", lblMinutes_);
    bindings.outlet("lblViews", lblViews_);
    bindings.outlet("imgIcon", imgIcon_);
}

void GCVideoCell::awakeFromNib()
{
    UIView::awakeFromNib();
    minHeight_ = bounds().height();
    lblNameMarginY_ = minHeight_ - lblName_->frame().height();
    roundCorners(*imgAvatar_, imgAvatar_->frame().width() / 2);
    lblLectorName_->setTextColor(hexColor("7fc410"));
}

void GCVideoCell::setVideo(std::shared_ptr<GCVideoInfo> video)
{
    video_ = std::move(video);
    lblName_->setText(video_ ? video_->name.value_or("") : "");
    lblMinutes_->setText("时长 " + std::to_string(video_ ? video_->minutes : 0) + "分钟");
    lblViews_->setText(std::to_string(video_ ? video_->views : 0) + "人看过");
    auto lector = video_ ? video_->lector : nullptr;
    lblLectorName_->setText("讲师 " + (lector ? lector->name.value_or("") : std::string()));
    setImageWithURL(imgAvatar_, lector ? addressOf(lector->avatar) : std::nullopt,
        UIImage::imageNamed("gc_avatar_placeholder.png"));
    std::string icon;
    if (video_ && video_->isLock)
        icon = "gc_video_lock.png";
    else if (video_ && video_->isFree)
        icon = "gc_video_free.png";
    imgIcon_->setImage(icon.empty() ? nullptr : UIImage::imageNamed(icon));
}

double GCVideoCell::height(const std::shared_ptr<GCVideoInfo>& video)
{
    auto demo = BaseCell::demo<GCVideoCell>();
    if (!demo)
        return 0;
    auto& label = *demo->lblName_;
    double name = textHeight(video ? video->name.value_or("") : "", label.font(), label.frame().width());
    return std::ceil(std::max(name + demo->lblNameMarginY_, demo->minHeight_));
}

// ---- GCLiveVideoItemCell -------------------------------------------------------------------

void GCLiveVideoItemCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblState", lblState_);
    bindings.outlet("lblTime", lblTime_);
}

void GCLiveVideoItemCell::awakeFromNib()
{
    UIView::awakeFromNib();
    lblNameMinHeight_ = lblName_->frame().height();
    lblNameMarginY_ = bounds().height() - lblNameMinHeight_;
    roundCorners(*lblState_, 3.0, 0.5);
}

void GCLiveVideoItemCell::setItem(std::shared_ptr<GCLiveVideoItemInfo> item)
{
    item_ = std::move(item);
    lblName_->setText(item_ ? std::to_string(item_->order) + "." + item_->name.value_or("") : "");
    auto frame = lblName_->frame();
    frame.size.height = std::max(lblNameMinHeight_, textHeight(lblName_->text(), lblName_->font(), frame.width()));
    lblName_->setFrame(frame);
    applyLiveStateStyle(liveStateStyle(item_, LiveListKind::Detail), *lblState_, *lblTime_);
}

double GCLiveVideoItemCell::height(const std::shared_ptr<GCLiveVideoItemInfo>& item)
{
    auto demo = BaseCell::demo<GCLiveVideoItemCell>();
    if (!demo)
        return 0;
    auto& label = *demo->lblName_;
    std::string text = item ? std::to_string(item->order) + "." + item->name.value_or("") : "";
    double name = std::max(textHeight(text, label.font(), label.frame().width()), demo->lblNameMinHeight_);
    return std::ceil(name + demo->lblNameMarginY_);
}

} // namespace content
