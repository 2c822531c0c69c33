#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/PhotoInfo.h"
#include "platform/uikit/UIScrollView.h"

#include <memory>
#include <vector>

class UIControl;

// "查看图片": a message's photos side by side, one zoomable page each,
// presented modally and closed with its back button.
class MessagePhotoViewController final : public BaseViewController, public UIScrollViewDelegate {
public:
    ORB_CLASS_NAME(MessagePhotoViewController)

    static constexpr const char* kTitle = "查看图片";

    MessagePhotoViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;

    void setPhotos(std::vector<std::shared_ptr<core::PhotoInfo>> photos);
    // One page per photo, in order, once the pager is loaded.
    void refreshView();
    void btnBackTouchUpInside(UIControl* sender);

    std::shared_ptr<UIView> viewForZoomingInScrollView(UIScrollView* scrollView) override;

private:
    std::vector<std::shared_ptr<core::PhotoInfo>> photos_;
    std::shared_ptr<UIScrollView> scrollView_;
};
