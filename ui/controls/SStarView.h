#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImage.h"

#include <memory>
#include <optional>

// A row of five-pointed stars, the first starCount drawn in the selected
// colour; touching or dragging along the row sets the count and reports it as
// a value-changed event. The stars are drawn here (any size and colour), one
// square cell per star.
class SStarView : public UIControl {
public:
    // Touch and layout arithmetic is done in whole stars; a frame far wider
    // than it is high would otherwise ask for an absurd number of them.
    static constexpr unsigned kMostStars = 1000;

    SStarView();
    explicit SStarView(const platform::Rect& frame);
    ORB_CLASS_NAME(SStarView)

    unsigned maxStar() const { return maxStar_; }
    void setMaxStar(unsigned maxStar);
    unsigned minStar() const { return minStar_; }
    void setMinStar(unsigned minStar);
    unsigned starCount() const { return starCount_; }
    // Raised to minStar; sends value-changed when the count changes. Not capped
    // at maxStar (all stars are then drawn selected).
    void setStarCount(unsigned count);
    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width);
    UIColor borderColor() const { return borderColor_; }
    UIColor selectColor() const { return selectColor_; }
    UIColor unSelectColor() const { return unSelectColor_; }
    // No colour keeps the current one.
    void setBorderColor(std::optional<UIColor> color);
    void setSelectColor(std::optional<UIColor> color);
    void setUnSelectColor(std::optional<UIColor> color);

    // The cached star pictures, drawn on first use at the control's height.
    std::shared_ptr<UIImage> imgSelected();
    std::shared_ptr<UIImage> imgUnSelected();
    // A star exactly h tall from its top point to its lower points.
    std::shared_ptr<UIImage> createImgWithHeight(double height, const UIColor& color) const;

    void setFrame(const platform::Rect& frame) override;
    void didMoveToSuperview() override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;

private:
    void secondPart();
    void refresh();
    void dropPictures();
    void rateAt(const UITouchSet& touches);

    unsigned maxStar_ = 0;
    unsigned minStar_ = 0;
    unsigned starCount_ = 0;
    double lineWidth_ = 0;
    std::shared_ptr<UIImage> imgSelected_;
    std::shared_ptr<UIImage> imgUnSelected_;
    UIColor borderColor_ = UIColor::grayColor();
    UIColor selectColor_ = UIColor(251 / 255.0, 219 / 255.0, 0, 1.0);
    UIColor unSelectColor_ = UIColor::fromWhite(0.8, 1.0);
    // Made without a frame (a layout file sets it afterwards): the first real
    // frame decides the star count and outline, as decoding a layout would.
    bool awaitingFrame_ = false;
};
