#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

#include <map>
#include <memory>
#include <optional>
#include <string>

enum UIButtonType {
    UIButtonTypeCustom = 0,
    UIButtonTypeSystem = 1,
    UIButtonTypeRoundedRect = UIButtonTypeSystem,
    UIButtonTypeDetailDisclosure = 2,
    UIButtonTypeInfoLight = 3,
    UIButtonTypeInfoDark = 4,
    UIButtonTypeContactAdd = 5,
};

// A control with a title, an image and a background image per state. A value
// not set for the current state falls back to the normal state's (then to the
// type's default colours). The title label and image view are subviews laid
// out in the content rectangle (bounds less contentEdgeInsets): image then
// title side by side, aligned as a group by the content alignments, each moved
// by its own edge insets.
class UIButton : public UIControl {
public:
    UIButton() = default;
    explicit UIButton(const platform::Rect& frame)
        : UIControl(frame)
    {
    }
    static std::shared_ptr<UIButton> buttonWithType(UIButtonType type);
    ORB_CLASS_NAME(UIButton)

    UIButtonType buttonType() const { return type_; }

    void setTitle(std::optional<std::string> title, unsigned state);
    std::optional<std::string> titleForState(unsigned state) const;
    void setTitleColor(std::optional<platform::Color> color, unsigned state);
    platform::Color titleColorForState(unsigned state) const;
    void setTitleShadowColor(std::optional<platform::Color> color, unsigned state);
    void setImage(std::shared_ptr<UIImage> image, unsigned state);
    std::shared_ptr<UIImage> imageForState(unsigned state) const;
    void setBackgroundImage(std::shared_ptr<UIImage> image, unsigned state);
    std::shared_ptr<UIImage> backgroundImageForState(unsigned state) const;

    std::string currentTitle() const;
    platform::Color currentTitleColor() const;
    std::shared_ptr<UIImage> currentImage() const;
    std::shared_ptr<UIImage> currentBackgroundImage() const;

    std::shared_ptr<UILabel> titleLabel();
    std::shared_ptr<UIImageView> imageView();

    platform::EdgeInsets contentEdgeInsets() const { return contentInsets_; }
    void setContentEdgeInsets(const platform::EdgeInsets& insets);
    platform::EdgeInsets titleEdgeInsets() const { return titleInsets_; }
    void setTitleEdgeInsets(const platform::EdgeInsets& insets);
    platform::EdgeInsets imageEdgeInsets() const { return imageInsets_; }
    void setImageEdgeInsets(const platform::EdgeInsets& insets);
    bool adjustsImageWhenHighlighted() const { return adjustsWhenHighlighted_; }
    void setAdjustsImageWhenHighlighted(bool adjusts) { adjustsWhenHighlighted_ = adjusts; }
    bool adjustsImageWhenDisabled() const { return adjustsWhenDisabled_; }
    void setAdjustsImageWhenDisabled(bool adjusts) { adjustsWhenDisabled_ = adjusts; }
    bool showsTouchWhenHighlighted() const { return showsTouch_; }
    void setShowsTouchWhenHighlighted(bool shows) { showsTouch_ = shows; }

    // Whether the image is shown darkened now (pressed, with no image of its own
    // for the highlighted state).
    bool isImageAdjusted() const;

    platform::Rect contentRectForBounds(const platform::Rect& bounds) const;
    platform::Size sizeThatFits(platform::Size size) const override;
    void layoutSubviews() override;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

protected:
    void stateDidChange() override;

private:
    template <class V> static const V* lookup(const std::map<unsigned, V>& values, unsigned state);
    platform::Size titleSize() const;

    UIButtonType type_ = UIButtonTypeCustom;
    std::map<unsigned, std::string> titles_;
    std::map<unsigned, platform::Color> titleColors_;
    std::map<unsigned, platform::Color> titleShadowColors_;
    std::map<unsigned, std::shared_ptr<UIImage>> images_;
    std::map<unsigned, std::shared_ptr<UIImage>> backgroundImages_;
    std::shared_ptr<UILabel> titleLabel_;
    std::shared_ptr<UIImageView> imageView_;
    platform::EdgeInsets contentInsets_;
    platform::EdgeInsets titleInsets_;
    platform::EdgeInsets imageInsets_;
    bool adjustsWhenHighlighted_ = true;
    bool adjustsWhenDisabled_ = true;
    bool showsTouch_ = false;
};
