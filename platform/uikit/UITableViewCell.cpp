#include "platform/uikit/UITableViewCell.h"

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

namespace {
constexpr double kMargin = 15;
constexpr double kAccessoryWidth = 33;
} // namespace

UITableViewCell::UITableViewCell()
    : UITableViewCell(UITableViewCellStyleDefault, {})
{
}

UITableViewCell::UITableViewCell(UITableViewCellStyle style, std::string reuseIdentifier)
    : UIView(platform::Rect(0, 0, 320, 44))
    , style_(style)
    , reuseIdentifier_(std::move(reuseIdentifier))
{
    setBackgroundColor(platform::Color::whiteColor());
    contentView_ = std::make_shared<UIView>(bounds());
    contentView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

std::shared_ptr<UILabel> UITableViewCell::textLabel()
{
    if (!textLabel_) {
        textLabel_ = std::make_shared<UILabel>();
        textLabel_->setFont(platform::Font::systemFont(style_ == UITableViewCellStyleSubtitle ? 18 : 17));
        contentView_->addSubview(textLabel_);
        setNeedsLayout();
    }
    return textLabel_;
}

std::shared_ptr<UILabel> UITableViewCell::detailTextLabel()
{
    if (style_ == UITableViewCellStyleDefault)
        return nullptr;
    if (!detailTextLabel_) {
        detailTextLabel_ = std::make_shared<UILabel>();
        detailTextLabel_->setFont(platform::Font::systemFont(style_ == UITableViewCellStyleSubtitle ? 12 : 17));
        detailTextLabel_->setTextColor(
            style_ == UITableViewCellStyleValue1 ? platform::Color::grayColor() : platform::Color::blackColor());
        if (style_ == UITableViewCellStyleValue1)
            detailTextLabel_->setTextAlignment(NSTextAlignmentRight);
        contentView_->addSubview(detailTextLabel_);
        setNeedsLayout();
    }
    return detailTextLabel_;
}

std::shared_ptr<UIImageView> UITableViewCell::imageView()
{
    if (!imageView_) {
        imageView_ = std::make_shared<UIImageView>();
        contentView_->addSubview(imageView_);
        setNeedsLayout();
    }
    return imageView_;
}

void UITableViewCell::setAccessoryType(UITableViewCellAccessoryType type)
{
    accessoryType_ = type;
    if (accessoryMark_) {
        accessoryMark_->removeFromSuperview();
        accessoryMark_.reset();
    }
    // Drawn as a glyph: there are no platform artwork files.
    const char* glyph = type == UITableViewCellAccessoryCheckmark ? "\u2713"
        : type == UITableViewCellAccessoryNone                    ? nullptr
                                                                  : "\u203A";
    if (glyph) {
        accessoryMark_ = std::make_shared<UILabel>();
        accessoryMark_->setText(glyph);
        accessoryMark_->setTextAlignment(NSTextAlignmentCenter);
        accessoryMark_->setTextColor(platform::Color::grayColor());
        addSubview(accessoryMark_);
    }
    setNeedsLayout();
}

void UITableViewCell::setAccessoryView(std::shared_ptr<UIView> view)
{
    if (accessoryView_)
        accessoryView_->removeFromSuperview();
    accessoryView_ = std::move(view);
    if (accessoryView_)
        addSubview(accessoryView_);
    setNeedsLayout();
}

void UITableViewCell::setBackgroundView(std::shared_ptr<UIView> view)
{
    if (backgroundView_)
        backgroundView_->removeFromSuperview();
    backgroundView_ = std::move(view);
    if (backgroundView_)
        insertSubview(backgroundView_, 0);
    setNeedsLayout();
}

void UITableViewCell::setSelectedBackgroundView(std::shared_ptr<UIView> view)
{
    if (selectedBackgroundView_)
        selectedBackgroundView_->removeFromSuperview();
    selectedBackgroundView_ = std::move(view);
    updateSelectionLook();
}

void UITableViewCell::setSelected(bool selected, bool)
{
    selected_ = selected;
    updateSelectionLook();
}

void UITableViewCell::setHighlighted(bool highlighted, bool)
{
    highlighted_ = highlighted;
    updateSelectionLook();
}

void UITableViewCell::updateSelectionLook()
{
    bool show = (selected_ || highlighted_) && selectionStyle_ != UITableViewCellSelectionStyleNone;
    std::shared_ptr<UIView> look = selectedBackgroundView_;
    if (!look) {
        if (!defaultSelectionView_) {
            defaultSelectionView_ = std::make_shared<UIView>();
            defaultSelectionView_->setBackgroundColor(platform::Color::fromWhite(0.85));
        }
        look = defaultSelectionView_;
    }
    if (defaultSelectionView_ && defaultSelectionView_ != look)
        defaultSelectionView_->removeFromSuperview();
    if (show) {
        look->setFrame(bounds());
        insertSubviewBelow(look, contentView_);
    } else
        look->removeFromSuperview();
}

void UITableViewCell::layoutSubviews()
{
    UIView::layoutSubviews();
    auto b = bounds();
    double right = b.size.width;
    std::shared_ptr<UIView> accessory
        = accessoryView_ ? accessoryView_ : std::static_pointer_cast<UIView>(accessoryMark_);
    if (accessory) {
        auto size = accessoryView_ ? accessoryView_->frame().size : platform::Size(kAccessoryWidth - 10, b.size.height);
        accessory->setFrame(
            platform::Rect(b.size.width - 10 - size.width, (b.size.height - size.height) / 2, size.width, size.height));
        right = accessory->frame().origin.x;
    }
    contentView_->setFrame(platform::Rect(0, 0, right, b.size.height));
    if (backgroundView_)
        backgroundView_->setFrame(b);

    double x = kMargin;
    if (imageView_ && imageView_->image()) {
        auto size = imageView_->image()->size();
        double side = std::min(size.height, b.size.height);
        double width = size.height > 0 ? size.width * side / size.height : 0;
        imageView_->setFrame(platform::Rect(x, (b.size.height - side) / 2, width, side));
        x += width + kMargin;
    }
    double width = std::max(0.0, right - x - kMargin);
    if (style_ == UITableViewCellStyleSubtitle && detailTextLabel_) {
        if (textLabel_)
            textLabel_->setFrame(platform::Rect(x, b.size.height / 2 - 22, width, 22));
        detailTextLabel_->setFrame(platform::Rect(x, b.size.height / 2, width, 16));
    } else if (style_ == UITableViewCellStyleValue1 && detailTextLabel_) {
        if (textLabel_)
            textLabel_->setFrame(platform::Rect(x, 0, width / 2, b.size.height));
        detailTextLabel_->setFrame(platform::Rect(x + width / 2, 0, width / 2, b.size.height));
    } else if (style_ == UITableViewCellStyleValue2 && detailTextLabel_) {
        if (textLabel_)
            textLabel_->setFrame(platform::Rect(x, 0, 67, b.size.height));
        detailTextLabel_->setFrame(platform::Rect(x + 73, 0, std::max(0.0, width - 73), b.size.height));
    } else if (textLabel_)
        textLabel_->setFrame(platform::Rect(x, 0, width, b.size.height));
}
