#pragma once

#include "messaging/chat/MessageBaseCell.h"
#include "platform/graphics/Geometry.h"

// A photo bubble from the other party. The bubble takes the photo's display
// size once it is known (kept in the photo's PhotoInfo); until then it has its
// layout size while the thumbnail loads, and the loaded picture is fitted into
// the layout's photo box, keeping its aspect.
class MessagePhotoLeftCell : public MessageBaseCell {
public:
    ORB_CLASS_NAME(MessagePhotoLeftCell)

    MessagePhotoLeftCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setMessage(std::shared_ptr<core::MessageInfo> message) override;
    // The thumbnail has arrived: keep it and, the first time, the size it is shown at.
    void updatePhotoSize();

    // The row height for a message: the photo's height plus the margins once
    // it is known, the layout's height before.
    static double computeHeight(const core::MessageInfo& message);

    float xMargin() const { return xMargin_; }
    float yMargin() const { return yMargin_; }
    platform::Size maxSize() const { return maxSize_; }
    float maxRatio() const { return maxRatio_; }
    const std::shared_ptr<UIImageView>& photoView() const { return photoView_; }
    // The photo shown: the message's first.
    const std::shared_ptr<core::PhotoInfo>& photo() const { return photo_; }

protected:
    virtual double bubbleX(double width) const;
    template <class T> static double computeHeightOn(const core::MessageInfo& message);

private:
    float xMargin_ = 0;
    float yMargin_ = 0;
    platform::Size maxSize_;
    float maxRatio_ = 0;
    std::shared_ptr<UIImageView> photoView_;
    std::shared_ptr<core::PhotoInfo> photo_;
};

template <class T> double MessagePhotoLeftCell::computeHeightOn(const core::MessageInfo& message)
{
    if (!message.photosInfo.empty() && message.photosInfo.front() && message.photosInfo.front()->height > 0) {
        auto prototype = BaseCell::demo<T>();
        return message.photosInfo.front()->height + (prototype ? prototype->yMargin() : 0);
    }
    return BaseCell::height<T>();
}
