#include "app/web/PageLoadingIndicator.h"

#include "platform/uikit/UIActivityIndicatorView.h"

void PageLoadingIndicator::show(const std::shared_ptr<UIView>& webView)
{
    if (spinner_ || !webView || !webView->superview())
        return;
    spinner_ = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    double side = UIActivityIndicatorView::sideForStyle(UIActivityIndicatorViewStyleGray);
    auto page = webView->frame();
    spinner_->setFrame(platform::Rect(page.midX() - side / 2, page.midY() - side / 2, side, side));
    // It stays at the page's middle however the screen's height is fitted.
    spinner_->setAutoresizingMask(UIViewAutoresizingFlexibleLeftMargin | UIViewAutoresizingFlexibleRightMargin
        | UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin);
    spinner_->startAnimating();
    webView->superview()->insertSubviewAbove(spinner_, webView);
}

void PageLoadingIndicator::hide()
{
    if (!spinner_)
        return;
    spinner_->stopAnimating();
    spinner_->removeFromSuperview();
    spinner_.reset();
}
