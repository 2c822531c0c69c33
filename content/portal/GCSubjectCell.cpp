#include "content/portal/GCSubjectCell.h"

#include "content/portal/PortalStyle.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/images/RemoteImageView.h"

#include <cmath>

namespace content {

void GCSubjectCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    bindings.outlet("iconImgView", iconImgView_);
    bindings.outlet("lblName", lblName_);
}

void GCSubjectCell::setSubject(std::shared_ptr<GCSubjectInfo> subject)
{
    subject_ = std::move(subject);
    setImageURL(iconImgView_, subject_ ? addressOf(subject_->icon) : std::nullopt);
    lblName_->setText(subject_ ? subject_->name.value_or("") : "");
}

void GCLiveVideoCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    bindings.outlet("wrapperView", wrapperView_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("imgView", imgView_);
    bindings.outlet("lblTopState", lblTopState_);
    bindings.outlet("lblTopTime", lblTopTime_);
}

void GCLiveVideoCell::awakeFromNib()
{
    UIView::awakeFromNib();
    nameHeight_ = lblName_->frame().height();
    marginY_ = bounds().height() - nameHeight_;
    roundCorners(*wrapperView_, 4.0, 1.0, platform::Color::fromWhite(180.0 / 255.0));
    roundCorners(*lblTopState_, 3.0, 0.5);
}

void GCLiveVideoCell::setLiveVideo(std::shared_ptr<GCLiveVideoInfo> liveVideo)
{
    liveVideo_ = std::move(liveVideo);
    setImageURL(imgView_, liveVideo_ ? addressOf(liveVideo_->image) : std::nullopt);
    lblName_->setText(liveVideo_ ? liveVideo_->name.value_or("") : "");
    // The name grows downwards; the rest keeps its place under it.
    auto frame = lblName_->frame();
    frame.size.height = std::max(nameHeight_, textHeight(lblName_->text(), lblName_->font(), frame.width()));
    lblName_->setFrame(frame);
    applyLiveStateStyle(
        liveStateStyle(liveVideo_ ? liveVideo_->top : nullptr, LiveListKind::Home), *lblTopState_, *lblTopTime_);
}

double GCLiveVideoCell::height(const std::shared_ptr<GCLiveVideoInfo>& liveVideo)
{
    auto demo = BaseCell::demo<GCLiveVideoCell>();
    if (!demo || !liveVideo)
        return 0;
    auto& label = *demo->lblName_;
    return std::ceil(textHeight(liveVideo->name.value_or(""), label.font(), label.frame().width()) + demo->marginY_);
}

} // namespace content
