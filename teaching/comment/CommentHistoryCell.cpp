#include "teaching/comment/CommentHistoryCell.h"

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

void CommentHistoryCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("iconImageView", iconImageView_);
    bindings.outlet("dateLbl", dateLbl_);
    bindings.outlet("timeLbl", timeLbl_);
    bindings.outlet("contentLbl", contentLbl_);
}

void CommentHistoryCell::setHistory(const core::CommentHistoryInfo& history)
{
    iconImageView_->setImage(UIImage::imageNamed("comment_icon_" + history.rankIco + ".png"));
    dateLbl_->setText(history.dateTime);
    timeLbl_->setText(history.time);
    // The two closing line breaks are room, not text to cut with an ellipsis.
    contentLbl_->setLineBreakMode(NSLineBreakByWordWrapping);
    contentLbl_->setText(history.content + "\n\n");
}
