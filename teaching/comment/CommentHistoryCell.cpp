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
    if (auto icon = iconImageView_.lock())
        icon->setImage(UIImage::imageNamed("comment_icon_" + history.rankIco + ".png"));
    if (auto date = dateLbl_.lock())
        date->setText(history.dateTime);
    if (auto time = timeLbl_.lock())
        time->setText(history.time);
    if (auto content = contentLbl_.lock()) {
        // The two closing line breaks are room, not text to cut with an ellipsis.
        content->setLineBreakMode(NSLineBreakByWordWrapping);
        content->setText(history.content + "\n\n");
    }
}
