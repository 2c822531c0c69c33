#include "ui/photobrowser/CaptionView.h"

#include "platform/graphics/Text.h"

#include <algorithm>
#include <cmath>

CaptionView::CaptionView(std::shared_ptr<BrowserPhotoProtocol> photo)
    : UIView(platform::Rect(0, 0, 320, 44))
    , photo_(std::move(photo))
{
    setOpaque(false);
    setBackgroundColor(platform::Color::fromWhite(0.0, 0.6));
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin
        | UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin);
    setupCaption();
}

void CaptionView::setupCaption()
{
    auto b = bounds();
    label_ = std::make_shared<UILabel>(
        platform::Rect(kLabelPadding, 0, b.size.width - kLabelPadding * 2, b.size.height));
    label_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    label_->setOpaque(false);
    label_->setBackgroundColor(platform::Color::clearColor());
    label_->setTextAlignment(NSTextAlignmentCenter);
    label_->setLineBreakMode(NSLineBreakByWordWrapping);
    label_->setNumberOfLines(3);
    label_->setTextColor(platform::Color::whiteColor());
    label_->setShadowColor(platform::Color::blackColor());
    label_->setShadowOffset(platform::Size(1, 1));
    label_->setFont(UIFont::systemFont(17));
    std::optional<std::string> text = photo_ ? photo_->caption() : std::nullopt;
    // A single space keeps one line's height when the photo has no caption.
    label_->setText(text ? *text : " ");
    addSubview(label_);
}

platform::Size CaptionView::sizeThatFits(platform::Size size) const
{
    if (!label_ || label_->text().empty())
        return platform::Size(size.width, 20);
    int lines = label_->numberOfLines();
    double maxHeight = label_->font().leading() * (lines > 0 ? lines : 9999);
    auto measured = platform::measureText(label_->text(), label_->font(),
        platform::Size(size.width - kLabelPadding * 2, maxHeight), platform::LineBreakMode::WordWrap, lines);
    return platform::Size(size.width, measured.height + 20);
}
