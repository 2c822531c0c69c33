#include "platform/uikit/UINavigationBar.h"

#include "platform/graphics/Context.h"
#include "platform/os/Bundle.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIScreen.h"

#include <algorithm>

namespace {
constexpr double kSideMargin = 8;
constexpr double kItemGap = 6;
constexpr double kTitleFontSize = 17;
// The back button's chevron: its width, with the gap before the title.
constexpr double kChevronWidth = 10;
constexpr double kChevronGap = 5;

// The "<" before the back button's title, in the title's colour, so that a
// back button reads as one whatever its title.
class BackChevron final : public UIView {
public:
    explicit BackChevron(const std::shared_ptr<UIButton>& button)
        : UIView(platform::Rect(0, 0, kChevronWidth, 44))
        , button_(button)
    {
        setUserInteractionEnabled(false);
        setBackgroundColor(platform::Color::clearColor());
    }

    void drawRect(platform::Context& context, const platform::Rect&) override
    {
        auto button = button_.lock();
        if (!button)
            return;
        auto b = bounds();
        double half = 8;
        context.save();
        context.setStrokeColor(button->currentTitleColor());
        context.setLineWidth(2.5);
        context.setLineCap(platform::LineCap::Round);
        context.setLineJoin(platform::LineJoin::Round);
        context.beginPath();
        context.moveTo(platform::Point(b.maxX() - 2, b.midY() - half));
        context.lineTo(platform::Point(b.minX() + 2, b.midY()));
        context.lineTo(platform::Point(b.maxX() - 2, b.midY() + half));
        context.strokePath();
        context.restore();
    }

private:
    std::weak_ptr<UIButton> button_;
};
} // namespace

UINavigationBar::Appearance& UINavigationBar::appearance()
{
    static Appearance defaults;
    return defaults;
}

void UINavigationBar::resetAppearance() { appearance() = Appearance {}; }

UINavigationBar::UINavigationBar()
    : UIView(platform::Rect(0, 20, UIScreen::mainScreen()->bounds().size.width, kHeight))
{
    setUp();
}

UINavigationBar::UINavigationBar(const platform::Rect& frame)
    : UIView(frame)
{
    setUp();
}

UINavigationBar::~UINavigationBar()
{
    for (auto& item : items_)
        item->setChangeHandler({});
}

void UINavigationBar::setUp()
{
    const auto& defaults = appearance();
    backgroundImages_ = defaults.backgroundImages;
    shadowImage_ = defaults.shadowImage;
    barTintColor_ = defaults.barTintColor;
    if (defaults.tintColor)
        setTintColor(defaults.tintColor);
    titleAttributes_ = defaults.titleTextAttributes;
    setAutoresizingMask(UIViewAutoresizingFlexibleWidth);
    setBackgroundColor(barTintColor_.value_or(platform::Color::fromWhite(0.97)));

    backgroundView_ = std::make_shared<UIImageView>();
    backgroundView_->setUserInteractionEnabled(false);
    shadowView_ = std::make_shared<UIImageView>();
    shadowView_->setUserInteractionEnabled(false);
    titleLabel_ = std::make_shared<UILabel>();
    titleLabel_->setTextAlignment(NSTextAlignmentCenter);
    backButton_ = UIButton::buttonWithType(UIButtonTypeSystem);
    backButton_->setContentEdgeInsets(platform::EdgeInsets(0, kChevronWidth + kChevronGap, 0, 0));
    backButton_->addSubview(std::make_shared<BackChevron>(backButton_));
    backButton_->addAction(
        [this](UIControl*) {
            if (backAction_)
                backAction_();
        },
        UIControlEventTouchUpInside);
    rebuild();
}

void UINavigationBar::watch(const std::shared_ptr<UINavigationItem>& item)
{
    item->setChangeHandler([this] { rebuild(); });
}

void UINavigationBar::setItems(std::vector<std::shared_ptr<UINavigationItem>> items, bool)
{
    for (auto& item : items_)
        item->setChangeHandler({});
    std::erase(items, nullptr);
    items_ = std::move(items);
    for (auto& item : items_)
        watch(item);
    rebuild();
}

void UINavigationBar::pushNavigationItem(std::shared_ptr<UINavigationItem> item, bool)
{
    if (!item || std::find(items_.begin(), items_.end(), item) != items_.end())
        return;
    watch(item);
    items_.push_back(std::move(item));
    rebuild();
}

std::shared_ptr<UINavigationItem> UINavigationBar::popNavigationItem(bool)
{
    if (items_.empty())
        return nullptr;
    auto item = items_.back();
    item->setChangeHandler({});
    items_.pop_back();
    rebuild();
    return item;
}

std::shared_ptr<UINavigationItem> UINavigationBar::topItem() const { return items_.empty() ? nullptr : items_.back(); }

std::shared_ptr<UINavigationItem> UINavigationBar::backItem() const
{
    return items_.size() < 2 ? nullptr : items_[items_.size() - 2];
}

std::shared_ptr<UIImage> UINavigationBar::backgroundImageForBarMetrics(UIBarMetrics metrics) const
{
    auto found = backgroundImages_.find(metrics);
    return found == backgroundImages_.end() ? nullptr : found->second;
}

void UINavigationBar::setBackgroundImage(std::shared_ptr<UIImage> image, UIBarMetrics metrics)
{
    if (image)
        backgroundImages_[metrics] = std::move(image);
    else
        backgroundImages_.erase(metrics);
    rebuild();
}

void UINavigationBar::setShadowImage(std::shared_ptr<UIImage> image)
{
    shadowImage_ = std::move(image);
    rebuild();
}

void UINavigationBar::setBarTintColor(std::optional<platform::Color> color)
{
    barTintColor_ = color;
    setBackgroundColor(barTintColor_.value_or(platform::Color::fromWhite(0.97)));
}

void UINavigationBar::setTitleTextAttributes(UITitleTextAttributes attributes)
{
    titleAttributes_ = std::move(attributes);
    rebuild();
}

std::string UINavigationBar::backButtonTitle() const
{
    auto back = backItem();
    if (!back)
        return {};
    if (auto item = back->backBarButtonItem(); item && !item->title().empty())
        return item->title();
    return back->title().empty() ? platform::localizedString("Back") : back->title();
}

void UINavigationBar::rebuild()
{
    for (auto& view : itemViews_)
        view->removeFromSuperview();
    itemViews_.clear();
    backgroundView_->removeFromSuperview();
    shadowView_->removeFromSuperview();
    titleLabel_->removeFromSuperview();
    backButton_->removeFromSuperview();

    // The background image sits beneath everything the bar shows.
    if (auto image = backgroundImageForBarMetrics(UIBarMetricsDefault)) {
        backgroundView_->setImage(image);
        insertSubview(backgroundView_, 0);
    }
    if (shadowImage_) {
        shadowView_->setImage(shadowImage_);
        addSubview(shadowView_);
    }

    auto top = topItem();
    if (top) {
        if (top->titleView()) {
            itemViews_.push_back(top->titleView());
            addSubview(top->titleView());
        } else {
            titleLabel_->setText(top->title());
            titleLabel_->setFont(titleAttributes_.font.value_or(platform::Font::boldSystemFont(kTitleFontSize)));
            titleLabel_->setTextColor(titleAttributes_.textColor.value_or(platform::Color::blackColor()));
            addSubview(titleLabel_);
        }
        for (auto& item : top->leftBarButtonItems()) {
            if (auto view = item->itemView()) {
                itemViews_.push_back(view);
                addSubview(view);
            }
        }
        for (auto& item : top->rightBarButtonItems()) {
            if (auto view = item->itemView()) {
                itemViews_.push_back(view);
                addSubview(view);
            }
        }
        if (backItem() && !top->hidesBackButton() && top->leftBarButtonItems().empty()) {
            backButton_->setTitle(backButtonTitle(), UIControlStateNormal);
            addSubview(backButton_);
        }
    }
    setNeedsLayout();
}

void UINavigationBar::layoutSubviews()
{
    UIView::layoutSubviews();
    auto b = bounds();
    backgroundView_->setFrame(b);
    if (shadowImage_)
        shadowView_->setFrame(platform::Rect(0, b.size.height, b.size.width, std::max(1.0, shadowImage_->size().height)));

    auto top = topItem();
    double left = kSideMargin;
    double right = b.size.width - kSideMargin;
    if (backButton_->superview()) {
        auto size = backButton_->sizeThatFits(platform::Size(b.size.width / 3, b.size.height));
        double width = std::min(b.size.width / 3, std::max(44.0, size.width));
        backButton_->setFrame(platform::Rect(left, 0, width, b.size.height));
        for (auto& view : backButton_->subviews()) {
            if (dynamic_cast<BackChevron*>(view.get()))
                view->setFrame(platform::Rect(0, 0, kChevronWidth, b.size.height));
        }
        left += width + kItemGap;
    }
    if (top) {
        for (auto& item : top->leftBarButtonItems()) {
            auto view = item->itemView();
            if (!view || !view->superview())
                continue;
            auto f = view->frame();
            double width = f.size.width > 0 ? f.size.width : 44;
            double height = f.size.height > 0 ? std::min(f.size.height, b.size.height) : b.size.height;
            view->setFrame(platform::Rect(left, (b.size.height - height) / 2, width, height));
            left += width + kItemGap;
        }
        for (auto& item : top->rightBarButtonItems()) {
            auto view = item->itemView();
            if (!view || !view->superview())
                continue;
            auto f = view->frame();
            double width = f.size.width > 0 ? f.size.width : 44;
            double height = f.size.height > 0 ? std::min(f.size.height, b.size.height) : b.size.height;
            right -= width;
            view->setFrame(platform::Rect(right, (b.size.height - height) / 2, width, height));
            right -= kItemGap;
        }
        // The title stays centred on the bar while it fits between the items.
        double half = std::max(0.0, std::min(b.size.width / 2 - left, right - b.size.width / 2));
        if (auto titleView = top->titleView()) {
            auto f = titleView->frame();
            double width = std::min(f.size.width, 2 * half);
            double height = std::min(f.size.height, b.size.height);
            titleView->setFrame(platform::Rect(b.size.width / 2 - width / 2, (b.size.height - height) / 2, width, height));
        } else
            titleLabel_->setFrame(platform::Rect(b.size.width / 2 - half, 0, 2 * half, b.size.height));
    }
}
