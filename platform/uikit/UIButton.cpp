#include "platform/uikit/UIButton.h"

#include "platform/uikit/ViewRenderer.h"

#include <algorithm>

using platform::Color;
using platform::EdgeInsets;
using platform::Rect;
using platform::Size;

namespace {

// Unlike Rect::inset, negative results are allowed here: edge insets are often
// used to move a part sideways (a negative inset on one side, positive on the other).
Rect insetRect(const Rect& r, const EdgeInsets& insets)
{
    return Rect(r.origin.x + insets.left, r.origin.y + insets.top, r.size.width - insets.left - insets.right,
        r.size.height - insets.top - insets.bottom);
}

} // namespace

std::shared_ptr<UIButton> UIButton::buttonWithType(UIButtonType type)
{
    auto button = std::make_shared<UIButton>();
    button->type_ = type;
    if (type == UIButtonTypeContactAdd || type == UIButtonTypeInfoDark || type == UIButtonTypeInfoLight
        || type == UIButtonTypeDetailDisclosure)
        button->setFrame(Rect(0, 0, 22, 22));
    return button;
}

template <class V> const V* UIButton::lookup(const std::map<unsigned, V>& values, unsigned state)
{
    if (auto it = values.find(state); it != values.end())
        return &it->second;
    if (auto it = values.find(UIControlStateNormal); it != values.end())
        return &it->second;
    return nullptr;
}

void UIButton::setTitle(std::optional<std::string> title, unsigned state)
{
    if (title)
        titles_[state] = std::move(*title);
    else
        titles_.erase(state);
    setNeedsLayout();
}

std::optional<std::string> UIButton::titleForState(unsigned state) const
{
    if (auto* title = lookup(titles_, state))
        return *title;
    return std::nullopt;
}

void UIButton::setTitleColor(std::optional<Color> color, unsigned state)
{
    if (color)
        titleColors_[state] = *color;
    else
        titleColors_.erase(state);
    setNeedsLayout();
}

Color UIButton::titleColorForState(unsigned state) const
{
    if (auto* color = lookup(titleColors_, state))
        return *color;
    if (type_ == UIButtonTypeCustom)
        return Color::whiteColor();
    if (state & UIControlStateDisabled)
        return Color::fromWhite(0.56, 1.0);
    auto tint = tintColor();
    return (state & UIControlStateHighlighted) ? tint.withAlpha(0.2) : tint;
}

void UIButton::setTitleShadowColor(std::optional<Color> color, unsigned state)
{
    if (color)
        titleShadowColors_[state] = *color;
    else
        titleShadowColors_.erase(state);
    setNeedsLayout();
}

void UIButton::setImage(std::shared_ptr<UIImage> image, unsigned state)
{
    if (image)
        images_[state] = std::move(image);
    else
        images_.erase(state);
    setNeedsLayout();
}

std::shared_ptr<UIImage> UIButton::imageForState(unsigned state) const
{
    auto* image = lookup(images_, state);
    return image ? *image : nullptr;
}

void UIButton::setBackgroundImage(std::shared_ptr<UIImage> image, unsigned state)
{
    if (image)
        backgroundImages_[state] = std::move(image);
    else
        backgroundImages_.erase(state);
    setNeedsDisplay();
}

std::shared_ptr<UIImage> UIButton::backgroundImageForState(unsigned state) const
{
    auto* image = lookup(backgroundImages_, state);
    return image ? *image : nullptr;
}

std::string UIButton::currentTitle() const { return titleForState(state()).value_or(std::string()); }
Color UIButton::currentTitleColor() const { return titleColorForState(state()); }
std::shared_ptr<UIImage> UIButton::currentImage() const { return imageForState(state()); }
std::shared_ptr<UIImage> UIButton::currentBackgroundImage() const { return backgroundImageForState(state()); }

std::shared_ptr<UILabel> UIButton::titleLabel()
{
    if (!titleLabel_) {
        titleLabel_ = std::make_shared<UILabel>();
        titleLabel_->setFont(UIFont::systemFont(15));
        titleLabel_->setHidden(true);
        addSubview(titleLabel_);
        setNeedsLayout();
    }
    return titleLabel_;
}

std::shared_ptr<UIImageView> UIButton::imageView()
{
    if (!imageView_) {
        imageView_ = std::make_shared<UIImageView>();
        imageView_->setContentMode(UIViewContentModeCenter);
        imageView_->setHidden(true);
        // The image sits below the title.
        insertSubview(imageView_, 0);
        setNeedsLayout();
    }
    return imageView_;
}

void UIButton::setContentEdgeInsets(const EdgeInsets& insets)
{
    contentInsets_ = insets;
    setNeedsLayout();
}

void UIButton::setTitleEdgeInsets(const EdgeInsets& insets)
{
    titleInsets_ = insets;
    setNeedsLayout();
}

void UIButton::setImageEdgeInsets(const EdgeInsets& insets)
{
    imageInsets_ = insets;
    setNeedsLayout();
}

bool UIButton::isImageAdjusted() const
{
    unsigned s = state();
    if ((s & UIControlStateHighlighted) && adjustsWhenHighlighted_ && !images_.count(s))
        return currentImage() != nullptr;
    if ((s & UIControlStateDisabled) && adjustsWhenDisabled_ && !images_.count(s))
        return currentImage() != nullptr;
    return false;
}

void UIButton::stateDidChange()
{
    setNeedsLayout();
    setNeedsDisplay();
    // Titles and images follow the state at once, as reading them back expects.
    if (titleLabel_ || imageView_ || !titles_.empty() || !images_.empty())
        layoutIfNeeded();
}

Rect UIButton::contentRectForBounds(const Rect& bounds) const { return insetRect(bounds, contentInsets_); }

Size UIButton::titleSize() const
{
    auto title = currentTitle();
    if (title.empty())
        return Size();
    auto font = titleLabel_ ? titleLabel_->font() : UIFont::systemFont(15);
    return platform::measureText(title, font, Size(platform::kUnlimitedTextExtent, platform::kUnlimitedTextExtent),
        platform::LineBreakMode::Clip, 1);
}

Size UIButton::sizeThatFits(Size) const
{
    auto image = currentImage();
    Size imageSize = image ? image->size() : Size();
    Size text = titleSize();
    double width = imageSize.width + text.width + contentInsets_.left + contentInsets_.right;
    double height = std::max(imageSize.height, text.height) + contentInsets_.top + contentInsets_.bottom;
    if (auto background = currentBackgroundImage()) {
        width = std::max(width, background->size().width);
        height = std::max(height, background->size().height);
    }
    return Size(width, height);
}

void UIButton::layoutSubviews()
{
    Rect content = contentRectForBounds(bounds());
    auto image = currentImage();
    auto title = currentTitle();
    if (image || imageView_) {
        auto view = imageView();
        view->setImage(image);
        view->setHidden(!image);
        view->setDrawsDarkened(isImageAdjusted());
    }
    if (!title.empty() || titleLabel_) {
        auto label = titleLabel();
        label->setText(title);
        label->setTextColor(currentTitleColor());
        if (auto* shadow = lookup(titleShadowColors_, state()))
            label->setShadowColor(*shadow);
        label->setHidden(title.empty());
    }
    Size imageSize = image ? image->size() : Size();
    imageSize.width = std::min(imageSize.width, std::max(content.size.width, 0.0));
    imageSize.height = std::min(imageSize.height, std::max(content.size.height, 0.0));
    Size text = titleSize();
    text.width = std::min(text.width, std::max(content.size.width - imageSize.width, 0.0));
    double total = imageSize.width + text.width;

    auto place = [&](const Rect& area, double offset, Size size) {
        double x = area.origin.x;
        switch (contentHorizontalAlignment()) {
        case UIControlContentHorizontalAlignmentCenter:
            x = area.origin.x + (area.size.width - total) / 2;
            break;
        case UIControlContentHorizontalAlignmentRight:
            x = area.origin.x + area.size.width - total;
            break;
        default:
            break;
        }
        double y = area.origin.y + (area.size.height - size.height) / 2;
        if (contentVerticalAlignment() == UIControlContentVerticalAlignmentTop)
            y = area.origin.y;
        else if (contentVerticalAlignment() == UIControlContentVerticalAlignmentBottom)
            y = area.origin.y + area.size.height - size.height;
        return Rect(x + offset, y, size.width, size.height);
    };
    if (imageView_)
        imageView_->setFrame(image ? place(insetRect(content, imageInsets_), 0, imageSize) : Rect());
    if (titleLabel_)
        titleLabel_->setFrame(title.empty() ? Rect() : place(insetRect(content, titleInsets_), imageSize.width, text));
}

void UIButton::drawRect(platform::Context& context, const Rect&)
{
    if (auto background = currentBackgroundImage())
        platform::drawUIImage(context, *background, bounds());
}
