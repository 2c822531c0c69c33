#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"
#include "ui/photobrowser/BrowserPhoto.h"

#include <memory>

// The translucent strip the browser puts under a photo that has a caption:
// up to three centred white lines on black at 60 %.
class CaptionView : public UIView {
public:
    static constexpr double kLabelPadding = 10;
    explicit CaptionView(std::shared_ptr<BrowserPhotoProtocol> photo = nullptr);
    ORB_CLASS_NAME(CaptionView)

    // The given width, and the text's height in that width less the padding
    // (at most three lines) plus 20; 20 alone without text.
    platform::Size sizeThatFits(platform::Size size) const override;
    const std::shared_ptr<UILabel>& label() const { return label_; }
    const std::shared_ptr<BrowserPhotoProtocol>& photo() const { return photo_; }

protected:
    virtual void setupCaption();

private:
    std::shared_ptr<BrowserPhotoProtocol> photo_;
    std::shared_ptr<UILabel> label_;
};
