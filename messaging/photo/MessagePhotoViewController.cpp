#include "messaging/photo/MessagePhotoViewController.h"

#include "messaging/photo/MessagePhotoScrollView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"

MessagePhotoViewController::MessagePhotoViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle(kTitle);
}

void MessagePhotoViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("scrollView", scrollView_);
}

void MessagePhotoViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &MessagePhotoViewController::btnBackTouchUpInside));
    scrollView_->setPagingEnabled(true);
    scrollView_->setShowsHorizontalScrollIndicator(false);
    refreshView();
}

void MessagePhotoViewController::setPhotos(std::vector<std::shared_ptr<core::PhotoInfo>> photos)
{
    photos_ = std::move(photos);
    refreshView();
}

void MessagePhotoViewController::refreshView()
{
    if (photos_.empty() || !isViewLoaded())
        return;
    for (const auto& page : std::vector(scrollView_->subviews()))
        page->removeFromSuperview();
    const double width = scrollView_->bounds().width();
    const double height = scrollView_->bounds().height();
    auto self = BaseViewController::self<MessagePhotoViewController>();
    for (std::size_t k = 0; k < photos_.size(); ++k) {
        auto page = std::make_shared<MessagePhotoScrollView>(platform::Rect(double(k) * width, 0, width, height));
        // The delegate first: the first scale is set through it.
        page->setDelegate(std::weak_ptr<UIScrollViewDelegate>(self));
        page->setPhoto(photos_[k]);
        page->setAutoresizingMask(UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleHeight
            | UIViewAutoresizingFlexibleBottomMargin);
        scrollView_->addSubview(page);
    }
    scrollView_->setContentSize(platform::Size(double(photos_.size()) * width, height));
}

void MessagePhotoViewController::btnBackTouchUpInside(UIControl*) { dismissViewControllerAnimated(true); }

std::shared_ptr<UIView> MessagePhotoViewController::viewForZoomingInScrollView(UIScrollView* scrollView)
{
    auto page = dynamic_cast<MessagePhotoScrollView*>(scrollView);
    return page ? page->imageView() : nullptr;
}
