#pragma once

#include "core/model/PhotoInfo.h"
#include "platform/uikit/UIScrollView.h"

#include <memory>

class UIImageView;

// One page of the message photo viewer: the photo zoomable from the scale at
// which it first shows (the whole photo, or the page filled when the two
// have nearly the same proportions) up to 3, centred while smaller than the
// page. Nothing bounces.
class MessagePhotoScrollView final : public UIScrollView {
public:
    ORB_CLASS_NAME(MessagePhotoScrollView)

    static constexpr double kMaximumZoom = 3.0;
    // Scales closer than this fill the page instead of fitting the photo.
    static constexpr double kFillTolerance = 0.1;
    static constexpr double kToggleZoom = 1.5;

    explicit MessagePhotoScrollView(const platform::Rect& frame);

    void setPhoto(std::shared_ptr<core::PhotoInfo> photo);
    const std::shared_ptr<core::PhotoInfo>& photo() const { return photo_; }
    double initialZoom() const { return initialZoom_; }
    const std::shared_ptr<UIImageView>& imageView() const { return imageView_; }
    void layoutSubviews() override;
    // Back to the first scale when zoomed in, else in to 1.5 at the point.
    void toggleZoomIntoLocation(platform::Point point);

private:
    double initialZoom_ = 1.0;
    std::shared_ptr<core::PhotoInfo> photo_;
    std::shared_ptr<UIImageView> imageView_;
};
