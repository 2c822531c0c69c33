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
    auto label = lblContent_.lock();
    auto wrapper = wrapperView();
    if (!label || !wrapper)
        return;
    // The text wraps inside the bubble as it was measured.
    label->setNumberOfLines(0);
    label->setLineBreakMode(NSLineBreakByWordWrapping);
    xMargin_ = static_cast<float>(wrapper->frame().width() - label->frame().width());
    yMargin_ = static_cast<float>(bounds().height() - label->frame().height());
    minWidth_ = static_cast<float>(label->frame().width()) + xMargin_;
    minHeight_ = static_cast<float>(label->frame().height()) + yMargin_;
}

platform::Size MessageLeftCell::sizeForMessage(const core::MessageInfo& message) const
{
    auto label = lblContent_.lock();
    if (!label)
        return { minWidth_, minHeight_ };
    auto measured = platform::measureText(message.content, label->font(),
        { kMaxTextWidth, platform::kUnlimitedTextExtent }, platform::LineBreakMode::WordWrap);
    return { std::max<double>(std::ceil(measured.width) + xMargin_, minWidth_),
        std::max<double>(std::ceil(measured.height) + yMargin_, minHeight_) };
}

platform::Size MessageLeftCell::computeSize(const core::MessageInfo& message)
{
    auto prototype = BaseCell::demo<MessageLeftCell>();
    return prototype ? prototype->sizeForMessage(message) : platform::Size {};
}

double MessageLeftCell::bubbleX(double) const
{
    auto wrapper = wrapperView();
    return wrapper ? wrapper->frame().minX() : 0;
}

void MessageLeftCell::setMessage(std::shared_ptr<core::MessageInfo> message)
{
    if (!message)
        return;
    MessageBaseCell::setMessage(message);
    auto label = lblContent_.lock();
    if (label)
        label->setText(message->content);
    double width = sizeForMessage(*message).width;
    setWrapperWidth(width, bubbleX(width));
}
