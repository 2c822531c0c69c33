#include "messaging/box/MessageEmptyCell.h"

#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

#include <algorithm>
#include <cmath>

void MessageEmptyCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    EmptyCell::declareLayoutBindings(bindings);
    bindings.outlet("imgPicture", imgPicture_);
    bindings.outlet("lblMessage", lblMessage_);
    bindings.outlet("lblHint", lblHint_);
}

void MessageEmptyCell::awakeFromNib()
{
    EmptyCell::awakeFromNib();
    setSelectionStyle(UITableViewCellSelectionStyleNone);
    if (wrapperView())
        wrapperAbove_ = wrapperView()->frame();
    if (imgPicture_)
        pictureAbove_ = imgPicture_->frame();
    if (lblMessage_)
        messageAbove_ = lblMessage_->frame();
    if (lblHint_)
        hintAbove_ = lblHint_->frame();
}

double MessageEmptyCell::shortestHeight()
{
    auto prototype = BaseCell::demo<MessageEmptyCell>();
    return prototype ? prototype->pictureAbove_.height() + 2 * kBesideMargin : 0;
}

void MessageEmptyCell::layoutSubviews()
{
    if (wrapperView() && imgPicture_ && lblMessage_ && lblHint_) {
        // Above while the row holds the whole group as the layout draws it.
        if (bounds().height() < wrapperAbove_.height())
            placeBeside();
        else
            placeAbove();
    }
    // Centres the group in the row.
    EmptyCell::layoutSubviews();
}

void MessageEmptyCell::placeBeside()
{
    const auto unbounded = platform::Size(bounds().width(), pictureAbove_.height());
    const double textWidth
        = std::ceil(std::max(lblMessage_->sizeThatFits(unbounded).width, lblHint_->sizeThatFits(unbounded).width));
    const double linesHeight = messageAbove_.height() + hintAbove_.height();
    const double width = wrapperView()->bounds().width();
    const double left = std::max(0.0, std::floor((width - pictureAbove_.width() - kBesideGap - textWidth) / 2));
    const double height = pictureAbove_.height();
    auto wrapper = wrapperView()->frame();
    wrapper.size.height = height;
    wrapperView()->setFrame(wrapper);
    imgPicture_->setFrame(platform::Rect(left, 0, pictureAbove_.width(), height));
    const double textLeft = left + pictureAbove_.width() + kBesideGap;
    const double top = std::floor((height - linesHeight) / 2);
    lblMessage_->setFrame(platform::Rect(textLeft, top, textWidth, messageAbove_.height()));
    lblHint_->setFrame(platform::Rect(textLeft, top + messageAbove_.height(), textWidth, hintAbove_.height()));
    lblMessage_->setTextAlignment(NSTextAlignmentLeft);
    lblHint_->setTextAlignment(NSTextAlignmentLeft);
    beside_ = true;
}

void MessageEmptyCell::placeAbove()
{
    if (!beside_)
        return;
    auto wrapper = wrapperView()->frame();
    wrapper.size.height = wrapperAbove_.height();
    wrapperView()->setFrame(wrapper);
    imgPicture_->setFrame(pictureAbove_);
    lblMessage_->setFrame(messageAbove_);
    lblHint_->setFrame(hintAbove_);
    lblMessage_->setTextAlignment(NSTextAlignmentCenter);
    lblHint_->setTextAlignment(NSTextAlignmentCenter);
    beside_ = false;
}
