#include "messaging/group/GroupStateCell.h"

#include "platform/graphics/Text.h"
#include "platform/uikit/UILabel.h"

#include <algorithm>

void GroupStateCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("lblTxt", lblTxt_);
}

void GroupStateCell::awakeFromNib()
{
    UIView::awakeFromNib();
    setSelectionStyle(UITableViewCellSelectionStyleNone);
    lblTxt_->setNumberOfLines(0);
    lblTxt_->setLineBreakMode(NSLineBreakByWordWrapping);
    minHeight_ = bounds().height();
    marginY_ = bounds().height() - lblTxt_->frame().height();
}

void GroupStateCell::setTxt(const std::string& text) { lblTxt_->setText(text); }

double GroupStateCell::heightFor(const std::string& text) const
{
    auto measured = platform::measureText(text, lblTxt_->font(), { lblTxt_->frame().width(), platform::kUnlimitedTextExtent },
        toLineBreakMode(lblTxt_->lineBreakMode()));
    return std::max(measured.height + marginY_, minHeight_);
}

double GroupStateCell::height(const std::string& text)
{
    auto prototype = demo<GroupStateCell>();
    return prototype ? prototype->heightFor(text) : heightNamed(kClassName);
}
