#include "messaging/group/GroupStateTopCell.h"

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

void GroupStateTopCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("imgIcon", imgIcon_);
    bindings.outlet("lblTitle", lblTitle_);
}

void GroupStateTopCell::secondPart()
{
    yesOrNo_ = false;
    setSelectionStyle(UITableViewCellSelectionStyleNone);
}

void GroupStateTopCell::setTitle(const std::string& title, bool yes)
{
    yesOrNo_ = yes;
    lblTitle_->setText(title);
    imgIcon_->setImage(UIImage::imageNamed(yes ? kYesImage : kNoImage));
    lblTitle_->setTextColor(yes ? platform::Color::fromRGB255(126, 195, 16) : platform::Color::fromRGB255(247, 110, 16));
}
