#include "messaging/chat/MessageLeftCell.h"

#include "platform/graphics/Text.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UILabel.h"

#include <algorithm>
#include <cmath>

void MessageLeftCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    MessageBaseCell::declareLayoutBindings(bindings);
    bindings.outlet("lblContent", lblContent_);
}

void MessageLeftCell::awakeFromNib()
{
    MessageBaseCell::awakeFromNib();
    // The text wraps inside the bubble as it was measured.
    lblContent_->setNumberOfLines(0);
    lblContent_->setLineBreakMode(NSLineBreakByWordWrapping);
    xMargin_ = static_cast<float>(wrapperView()->frame().width() - lblContent_->frame().width());
    yMargin_ = static_cast<float>(bounds().height() - lblContent_->frame().height());
    minWidth_ = static_cast<float>(lblContent_->frame().width()) + xMargin_;
    minHeight_ = static_cast<float>(lblContent_->frame().height()) + yMargin_;
}

platform::Size MessageLeftCell::sizeForMessage(const core::MessageInfo& message) const
{
    auto measured = platform::measureText(message.content, lblContent_->font(),
        { kMaxTextWidth, platform::kUnlimitedTextExtent }, platform::LineBreakMode::WordWrap);
    return { std::max<double>(std::ceil(measured.width) + xMargin_, minWidth_),
        std::max<double>(std::ceil(measured.height) + yMargin_, minHeight_) };
}

platform::Size MessageLeftCell::computeSize(const core::MessageInfo& message)
{
    auto prototype = BaseCell::demo<MessageLeftCell>();
    return prototype ? prototype->sizeForMessage(message) : platform::Size {};
}

double MessageLeftCell::bubbleX(double) const { return wrapperView()->frame().minX(); }

void MessageLeftCell::setMessage(std::shared_ptr<core::MessageInfo> message)
{
    if (!message)
        return;
    MessageBaseCell::setMessage(message);
    lblContent_->setText(message->content);
    double width = sizeForMessage(*message).width;
    setWrapperWidth(width, bubbleX(width));
}
