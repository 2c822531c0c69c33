#include "app/about/IntrodutionViewController.h"

#include "core/session/MyAccountInfo.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIPageControl.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIWindow.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr double kTallScreenHeight = 568;
constexpr double kCloseButtonX = 46;
constexpr double kCloseButtonFromBottom = 80;
constexpr double kCloseButtonWidth = 227;
constexpr double kCloseButtonHeight = 72;
constexpr double kPageControlHeight = 10;

bool isTeacher()
{
    auto account = core::MyAccountInfo::currentAccount();
    return account && account->type == 1;
}

bool tallWindow()
{
    auto window = UIWindow::keyWindow();
    double height = window ? window->bounds().height() : UIScreen::mainScreen()->bounds().height();
    return height == kTallScreenHeight;
}

} // namespace

IntrodutionViewController::IntrodutionViewController()
    : IntrodutionViewController(std::string(kClassName))
{
}

IntrodutionViewController::IntrodutionViewController(std::string nibName)
    : UIViewController(std::move(nibName))
{
}

void IntrodutionViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    UIViewController::declareLayoutBindings(bindings);
    bindings.outlet("scrollView", scrollView_);
}

std::string IntrodutionViewController::pictureFormat()
{
    return std::string("introduction_") + (isTeacher() ? "teacher" : "parent") + "_%02i";
}

int IntrodutionViewController::pageCount() { return isTeacher() ? kTeacherPageCount : kOtherPageCount; }

void IntrodutionViewController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    scrollView_->setPagingEnabled(true);
    scrollView_->setShowsHorizontalScrollIndicator(false);
    std::string format = pictureFormat();
    viewRect_ = view()->frame();
    bool tall = tallWindow();
    std::string suffix = tall ? "-568h.png" : ".png";
    int n = pageCount();
    maxX_ = double(n - 1) * scrollView_->frame().width();
    scrollView_->setDelegate(self());
    double pictureWidth = 0;
    double pictureHeight = 0;
    double lastX = 0;
    for (int i = 0; i < n; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, format.c_str(), i);
        auto image = UIImage::imageNamed(std::string(name) + suffix);
        auto page = std::make_shared<UIImageView>(image);
        auto frame = page->frame();
        pictureWidth = frame.width();
        pictureHeight = frame.height();
        frame.origin.x = double(i) * frame.width();
        lastX = frame.origin.x;
        page->setFrame(frame);
        page->setTag(100 + i);
        scrollView_->addSubview(page);
    }
    // The pictures are as tall as the screen: the row scrolls sideways only.
    scrollView_->setContentSize(platform::Size(double(n) * pictureWidth, pictureHeight));

    auto close = UIButton::buttonWithType(UIButtonTypeCustom);
    close->setFrame(platform::Rect(
        lastX + kCloseButtonX, pictureHeight - kCloseButtonFromBottom, kCloseButtonWidth, kCloseButtonHeight));
    close->setBackgroundImage(UIImage::imageNamed("introduction_btn_close.png"), UIControlStateNormal);
    close->setTitle(std::string("立即体验"), UIControlStateNormal);
    close->setTitleColor(platform::Color::whiteColor(), UIControlStateNormal);
    close->titleLabel()->setFont(UIFont::boldSystemFont(20));
    close->addTarget(self(), &IntrodutionViewController::btnCloseTouchUpInside, UIControlEventTouchUpInside);
    scrollView_->addSubview(close);
    // No bar shows it (the introduction is presented on its own), but a
    // presented screen's Done is how the desktop's Escape closes it: the same
    // as "立即体验", from whichever page.
    auto done = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemDone);
    done->setTarget(self(), &IntrodutionViewController::btnCloseTouchUpInside);
    navigationItem()->setRightBarButtonItem(done);

    pageControl_ = std::make_shared<UIPageControl>(platform::Rect(0, 0, viewRect_.width(), kPageControlHeight));
    pageControl_->setNumberOfPages(n);
    pageControl_->setCurrentPage(0);
    pageControl_->setOutletName("pageControl");
    // The dots only show where the person is; they overlap the close button
    // on the last page, so they never take its touches.
    pageControl_->setUserInteractionEnabled(false);
    view()->addSubview(pageControl_);
    // Below "立即体验" on either screen, clear of its title, wherever the
    // presentation sizes the screen.
    BaseViewController::pinToVisibleBottom(*pageControl_, kDotsFromBottom);
}

void IntrodutionViewController::btnCloseTouchUpInside(UIControl*)
{
    if (closing_)
        return;
    closing_ = true;
    dismissViewControllerAnimated(true);
}

void IntrodutionViewController::scrollViewDidScroll(UIScrollView* scrollView)
{
    double x = scrollView->contentOffset().x;
    // Every scroll event past the edge would dismiss again: once is enough.
    if (x > maxX_ + kCloseOverscroll && !closing_) {
        closing_ = true;
        setModalTransitionStyle(UIModalTransitionStyleCrossDissolve);
        dismissViewControllerAnimated(true);
    }
    if (pageControl_ && viewRect_.width() > 0)
        pageControl_->setCurrentPage(long(std::floor(x / viewRect_.width())));
}
