#pragma once

#include "app/base/BaseViewController.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <string>

class UIControl;
class UIPageControl;

// The feature introduction: full-screen pictures by role in a paged row,
// closed by "立即体验" on the last page or by dragging past it.
class IntrodutionViewController final : public UIViewController, public UIScrollViewDelegate {
public:
    ORB_CLASS_NAME(IntrodutionViewController)

    static constexpr int kTeacherPageCount = 3;
    static constexpr int kOtherPageCount = 2;
    // How far past the last page a drag closes the introduction.
    static constexpr double kCloseOverscroll = 60;
    // The page dots' distance from the foot of the screen: below the close
    // button's outline, which ends 22 points above the foot.
    static constexpr double kDotsFromBottom = 6;

    IntrodutionViewController();
    explicit IntrodutionViewController(std::string nibName);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void btnCloseTouchUpInside(UIControl* sender);
    void scrollViewDidScroll(UIScrollView* scrollView) override;

    // "introduction_teacher_%02i" or "introduction_parent_%02i" by the
    // signed-in role (parent when nobody is signed in).
    static std::string pictureFormat();
    static int pageCount();

    double maxX() const { return maxX_; }

private:
    std::shared_ptr<IntrodutionViewController> self()
    {
        return std::static_pointer_cast<IntrodutionViewController>(shared_from_this());
    }
    [[maybe_unused]] double maxWidth_ = 0;
    double maxX_ = 0;
    std::shared_ptr<UIPageControl> pageControl_;
    platform::Rect viewRect_;
    std::shared_ptr<UIScrollView> scrollView_;
    bool closing_ = false;
};
