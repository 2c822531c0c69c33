#include "content/library/EVCommentCells.h"

#include "content/library/LibraryKit.h"
#include "content/portal/PortalStyle.h"
#include "platform/uikit/UILabel.h"
#include "ui/controls/SStarView.h"

#include <cmath>

namespace content {

void EVCommentCell::styleStars(SStarView& stars)
{
    stars.setMaxStar(kMostStars);
    stars.setUnSelectColor(UIColor::fromWhite(0.95));
    stars.setSelectColor(UIColor::fromRGB255(248, 132, 32));
    stars.setBorderColor(UIColor::fromRGB255(248, 132, 32));
}

void EVCommentCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblContent", lblContent_);
    bindings.outlet("starView", starView_);
    bindings.outlet("bgView", bgView_);
}

void EVCommentCell::awakeFromNib()
{
    UIView::awakeFromNib();
    marginY_ = bounds().height() - lblContent_->frame().height();
    library::frameBox(*bgView_, 0);
    styleStars(*starView_);
    starView_->setUserInteractionEnabled(false);
}

std::string EVCommentCell::nameLine(const EVCommentInfo& comment)
{
    return comment.userName.value_or("") + " " + comment.roleText() + "  "
        + formatLibraryTime(comment.commentTime, "yy-MM-dd HH:mm");
}

void EVCommentCell::setComment(std::shared_ptr<EVCommentInfo> comment)
{
    comment_ = std::move(comment);
    if (!comment_)
        return;
    lblName_->setText(nameLine(*comment_));
    lblContent_->setText(comment_->content.value_or(""));
    starView_->setStarCount(unsigned(std::max(0, comment_->score)));
}

double EVCommentCell::height(const std::shared_ptr<EVCommentInfo>& comment)
{
    auto demo = BaseCell::demo<EVCommentCell>();
    if (!demo)
        return 0;
    auto& label = *demo->lblContent_;
    double text = textHeight(comment ? comment->content.value_or("") : "", label.font(), label.frame().width());
    return std::ceil(demo->marginY_ + text);
}

void EVCommentEmptyCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    bindings.outlet("bgView", bgView_);
}

void EVCommentEmptyCell::awakeFromNib()
{
    UIView::awakeFromNib();
    library::frameBox(*bgView_);
}

void EVCommentMoreCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    bindings.outlet("bgView", bgView_);
}

void EVCommentMoreCell::awakeFromNib()
{
    UIView::awakeFromNib();
    library::frameBox(*bgView_);
}

} // namespace content
