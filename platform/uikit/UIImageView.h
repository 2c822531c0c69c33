#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <vector>

namespace platform {
class Timer;
}

// Shows an image by its content mode (scale to fill unless told otherwise);
// aspect fill spills over the bounds unless the view clips. While animating
// it shows its animation frames in turn on the main loop's clock, each for
// the duration over the number of frames, as often as the repeat count says
// (0: until stopped); then the still image again.
class UIImageView : public UIView {
public:
    UIImageView();
    explicit UIImageView(const platform::Rect& frame);
    // Sized to the image (zero size without one).
    explicit UIImageView(std::shared_ptr<UIImage> image, std::shared_ptr<UIImage> highlightedImage = nullptr);
    ~UIImageView() override;
    ORB_CLASS_NAME(UIImageView)

    const std::shared_ptr<UIImage>& image() const { return image_; }
    void setImage(std::shared_ptr<UIImage> image);
    const std::shared_ptr<UIImage>& highlightedImage() const { return highlightedImage_; }
    void setHighlightedImage(std::shared_ptr<UIImage> image);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    // The image drawn now: the current animation frame while animating, else
    // the highlighted one while highlighted (when set).
    std::shared_ptr<UIImage> displayedImage() const;

    const std::vector<std::shared_ptr<UIImage>>& animationImages() const { return animationImages_; }
    void setAnimationImages(std::vector<std::shared_ptr<UIImage>> images) { animationImages_ = std::move(images); }
    double animationDuration() const { return animationDuration_; }
    void setAnimationDuration(double seconds) { animationDuration_ = seconds; }
    long animationRepeatCount() const { return animationRepeatCount_; }
    void setAnimationRepeatCount(long count) { animationRepeatCount_ = count; }
    void startAnimating();
    void stopAnimating();
    bool isAnimating() const { return animating_; }
    // The frame shown while animating (0 when not).
    std::size_t animationFrame() const { return frame_; }

    // Darkens the picture (a pressed button's image).
    void setDrawsDarkened(bool darkened);

    platform::Size sizeThatFits(platform::Size size) const override;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

private:
    std::shared_ptr<UIImage> image_;
    std::shared_ptr<UIImage> highlightedImage_;
    std::vector<std::shared_ptr<UIImage>> animationImages_;
    double animationDuration_ = 0;
    long animationRepeatCount_ = 0;
    bool highlighted_ = false;
    bool animating_ = false;
    bool darkened_ = false;
    std::size_t frame_ = 0;
    long framesShown_ = 0;
    std::shared_ptr<platform::Timer> animationTimer_;

    void showNextFrame();
};
