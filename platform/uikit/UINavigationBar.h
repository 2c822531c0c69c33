#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/UIView.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIButton;
class UIImage;
class UIImageView;
class UILabel;
class UINavigationItem;

enum UIBarMetrics {
    UIBarMetricsDefault = 0,
    UIBarMetricsLandscapePhone = 1,
};

enum UIBarStyle {
    UIBarStyleDefault = 0,
    UIBarStyleBlack = 1,
};

// The title's look ("text attributes" on the phone).
struct UITitleTextAttributes {
    std::optional<platform::Color> textColor;
    std::optional<platform::Font> font;
    std::optional<platform::Color> shadowColor;
};

// The bar at the top of a navigation controller: the top item's title (or
// title view), its left and right items, and a back button naming the item
// below unless the top item hides it or has left items of its own.
class UINavigationBar : public UIView {
public:
    UINavigationBar();
    explicit UINavigationBar(const platform::Rect& frame);
    ~UINavigationBar() override;
    ORB_CLASS_NAME(UINavigationBar)

    static constexpr double kHeight = 44;

    // The defaults every bar made afterwards starts with (the appearance proxy).
    struct Appearance {
        std::map<UIBarMetrics, std::shared_ptr<UIImage>> backgroundImages;
        std::shared_ptr<UIImage> shadowImage;
        std::optional<platform::Color> tintColor;
        std::optional<platform::Color> barTintColor;
        UITitleTextAttributes titleTextAttributes;
    };
    static Appearance& appearance();
    static void resetAppearance();

    // ---- Items -------------------------------------------------------------
    const std::vector<std::shared_ptr<UINavigationItem>>& items() const { return items_; }
    void setItems(std::vector<std::shared_ptr<UINavigationItem>> items, bool animated = false);
    void pushNavigationItem(std::shared_ptr<UINavigationItem> item, bool animated = false);
    std::shared_ptr<UINavigationItem> popNavigationItem(bool animated = false);
    std::shared_ptr<UINavigationItem> topItem() const;
    std::shared_ptr<UINavigationItem> backItem() const;
    // What the back button does (the navigation controller pops).
    void setBackAction(std::function<void()> action) { backAction_ = std::move(action); }

    // ---- Look ----------------------------------------------------------------
    std::shared_ptr<UIImage> backgroundImageForBarMetrics(UIBarMetrics metrics) const;
    void setBackgroundImage(std::shared_ptr<UIImage> image, UIBarMetrics metrics);
    const std::shared_ptr<UIImage>& shadowImage() const { return shadowImage_; }
    void setShadowImage(std::shared_ptr<UIImage> image);
    std::optional<platform::Color> barTintColor() const { return barTintColor_; }
    void setBarTintColor(std::optional<platform::Color> color);
    UIBarStyle barStyle() const { return barStyle_; }
    void setBarStyle(UIBarStyle style) { barStyle_ = style; }
    bool isTranslucent() const { return translucent_; }
    void setTranslucent(bool translucent) { translucent_ = translucent; }
    const UITitleTextAttributes& titleTextAttributes() const { return titleAttributes_; }
    void setTitleTextAttributes(UITitleTextAttributes attributes);

    // What the bar shows now (tests read them).
    std::shared_ptr<UILabel> titleLabel() const { return titleLabel_; }
    std::shared_ptr<UIButton> backButton() const { return backButton_; }
    std::string backButtonTitle() const;

    void layoutSubviews() override;

private:
    void setUp();
    void rebuild();
    void watch(const std::shared_ptr<UINavigationItem>& item);

    std::vector<std::shared_ptr<UINavigationItem>> items_;
    std::map<UIBarMetrics, std::shared_ptr<UIImage>> backgroundImages_;
    std::shared_ptr<UIImage> shadowImage_;
    std::optional<platform::Color> barTintColor_;
    UIBarStyle barStyle_ = UIBarStyleDefault;
    bool translucent_ = true;
    UITitleTextAttributes titleAttributes_;
    std::function<void()> backAction_;

    std::shared_ptr<UIImageView> backgroundView_;
    std::shared_ptr<UIImageView> shadowView_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UIButton> backButton_;
    std::vector<std::shared_ptr<UIView>> itemViews_;
};
