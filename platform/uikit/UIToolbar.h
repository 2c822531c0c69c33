#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <vector>

enum UIBarStyle {
    UIBarStyleDefault = 0,
    UIBarStyleBlack = 1,
    UIBarStyleBlackTranslucent = 2,
};

// A bar of items, 44 points high. Items are laid out left to right with
// 12-point margins and 10 points between items; fixed spaces take their width,
// flexible spaces share what is left equally.
class UIToolbar : public UIView {
public:
    UIToolbar();
    explicit UIToolbar(const platform::Rect& frame);
    ORB_CLASS_NAME(UIToolbar)

    const std::vector<std::shared_ptr<UIBarButtonItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<UIBarButtonItem>> items, bool animated = false);
    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style);
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent) { translucent_ = translucent; }
    std::optional<platform::Color> barTintColor() const { return barTint_; }
    void setBarTintColor(std::optional<platform::Color> color);
    std::shared_ptr<UIImage> backgroundImage() const { return backgroundImage_; }
    void setBackgroundImage(std::shared_ptr<UIImage> image);

    platform::Size sizeThatFits(platform::Size size) const override;
    void layoutSubviews() override;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

private:
    std::vector<std::shared_ptr<UIBarButtonItem>> items_;
    std::vector<std::shared_ptr<UIView>> itemViews_;
    UIBarStyle barStyle_ = UIBarStyleDefault;
    bool translucent_ = true;
    std::optional<platform::Color> barTint_;
    std::shared_ptr<UIImage> backgroundImage_;
};
