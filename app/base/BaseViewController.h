#pragma once

#include "platform/os/Value.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIViewController.h"
#include "ui/Lifetime.h"

#include <memory>
#include <string>
#include <vector>

namespace foundation {
class HTTPRequest;
}
class UIButton;
class UIControl;
class UIImageView;
class UILabel;
class UIView;

// The base of nearly every screen: a white bold title (optionally opening a
// drop-down list of choices under it), bar items with a fixed negative
// spacer, a swipe to the right that goes back, the main tab bar hidden while
// the screen is deeper than its tab's first screen, and the screen's own
// requests, cancelled when it goes away.
class BaseViewController : public UIViewController {
public:
    ORB_CLASS_NAME(BaseViewController)

    static constexpr double kTitleWidth = 190;
    static constexpr double kTitleHeight = 22;
    static constexpr double kTitleFontSize = 18;
    static constexpr double kListWidth = 160;
    static constexpr double kListRowHeight = 40;
    static constexpr double kListAnimationDuration = 0.1;
    static constexpr int kListButtonTagBase = 200;
    static constexpr double kFixedSpaceWidth = -12;
    // The layouts are drawn for the 4-inch screen; the 3.5-inch one is this
    // much shorter. A view is brought to the foot of either screen by
    // fitToVisibleBottom rather than cut by this much.
    static constexpr double kShortScreenCut = 88;
    static constexpr double kBarButtonSize = 44;

    // Whether the screen is the 4-inch one the layouts are drawn for.
    static bool isFourInchScreen();

    // ---- The foot of the screen on either screen size -------------------------
    // The layouts are drawn for the 4-inch screen. A view drawn to reach the
    // foot of its screen ends, on either screen, where the visible area of
    // its container ends: the container's own foot, raised to the top of the
    // main tab bar where that shows over it, and to the top of `bar` (a
    // toolbar of the screen, in the same window) when one is given. It is a
    // place, not a cut: a view the platform has already brought there (by
    // autoresizing into the navigation or tab container, or the layout's own
    // masks) is left as it is, however often the rule is applied.
    //
    // The visible foot, in the coordinates of `container`.
    static double visibleBottom(const UIView& container, const UIView* bar = nullptr);
    // The view keeps its top and ends at the visible foot of its superview;
    // from then on it stretches with the superview.
    static void fitToVisibleBottom(UIView& view, const UIView* bar = nullptr);
    // The view keeps its size and stands `gap` points above the visible foot
    // of its superview; from then on it moves with the superview's foot.
    static void pinToVisibleBottom(UIView& view, double gap, const UIView* bar = nullptr);

    BaseViewController();
    explicit BaseViewController(std::string nibName);
    ~BaseViewController() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewDidAppear(bool animated) override;

    // Also shown in the title label.
    void setTitle(std::string title);
    std::shared_ptr<UIView> titleView() const { return titleView_; }
    void setTitleView(std::shared_ptr<UIView> view);
    std::shared_ptr<UIView> leftItem() const { return leftItem_; }
    void setLeftItem(std::shared_ptr<UIView> view);
    std::shared_ptr<UIView> rightItem() const { return rightItem_; }
    void setRightItem(std::shared_ptr<UIView> view);
    void popViewController();

    bool hasOpenList() const { return hasOpenList_; }
    void setHasOpenList(bool has) { hasOpenList_ = has; }
    const platform::Array& baseListData() const { return baseListData_; }
    void setBaseListData(platform::Array data) { baseListData_ = std::move(data); }
    bool isShowingList() const { return isShowingList_; }
    void showOrHideListView();
    void hideListView();
    void linkTo(UIControl* button);

    // Hooks for the screens.
    virtual void openListIndex(const platform::Value& /*entry*/) { }
    virtual void hideOtherListView() { }
    virtual void setListData(const platform::Array& /*data*/) { }

    std::shared_ptr<UIViewController> parent() const { return parent_; }
    void setParent(std::shared_ptr<UIViewController> parent) { parent_ = std::move(parent); }

    // A request of the older builders, registered before it starts.
    void addRequest(const std::shared_ptr<foundation::HTTPRequest>& request);
    // Clears each request's delegates, then cancels it: nothing reaches the screen afterwards.
    void cancelAllRequests();
    std::size_t requestCount() const { return requests_.size(); }
    std::size_t timerCount() const { return lifetime_.timerCount(); }
    std::size_t observationCount() const { return lifetime_.observationCount(); }

    std::shared_ptr<UILabel> lblTitle() const { return lblTitle_; }

protected:
    // The rules above, kept for the screen's views: applied at once and again
    // each time the screen appears (as it begins to, when its container has
    // sized its view and the tab bar shows or not, and once it is in its
    // place: a tab puts its screens in only then). The views are held weakly.
    // Without a `bar`, a bar the layout draws right below the view, down to
    // the foot of its superview (a button row, a toolbar), stays below it.
    void keepAtVisibleBottom(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& bar = nullptr);
    // `gap` is the view's distance from the foot of its superview as the
    // layout draws it, read when this is called: in viewDidLoad, before the
    // container sizes the screen's view.
    void keepAboveVisibleBottom(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& bar = nullptr);
    void applyVisibleBottoms();

    // ---- What the screen starts ends with it ------------------------------------
    // The rule: nothing the screen hands out holds it strongly. Members are
    // reached through these, never through a captured `this` or a hand-made
    // weak pointer.

    // The screen as its own class.
    template <class T> std::shared_ptr<T> self() { return std::static_pointer_cast<T>(shared_from_this()); }
    template <class T> std::weak_ptr<T> weakSelf() { return self<T>(); }
    // A block for the dispatcher, an animation or a delegate of a view: it
    // runs fn(screen, args...) while the screen lives, and nothing after.
    template <class T, class F> auto weakCallback(F fn) { return weakCall(weakSelf<T>(), std::move(fn)); }
    // A request's callback with a window-side step (hiding or changing the
    // window's overlay, posting news): `always` runs for every answer, even
    // after the screen has gone, then fn(screen, args...) while it lives.
    template <class T, class A, class F> auto weakCallbackAfter(A always, F fn)
    {
        return alwaysThen(std::move(always), weakCallback<T>(std::move(fn)));
    }

    // Calls the member function for each notification of that name, for as
    // long as the screen lives (or until stopObserving).
    template <class T> void observe(const std::string& name, void (T::*method)(const platform::Notification&))
    {
        lifetime_.observe(weakSelf<T>(), name, method);
    }
    void stopObserving(const std::string& name) { lifetime_.stopObserving(name); }
    // Timers calling a member function, holding the screen weakly and
    // stopped when it goes; cancelTimer stops one earlier.
    template <class T> std::shared_ptr<platform::Timer> repeatEvery(double seconds, void (T::*method)())
    {
        return lifetime_.every(seconds, weakSelf<T>(), method);
    }
    template <class T> std::shared_ptr<platform::Timer> runAfter(double seconds, void (T::*method)())
    {
        return lifetime_.after(seconds, weakSelf<T>(), method);
    }
    void cancelTimer(const std::shared_ptr<platform::Timer>& timer) { lifetime_.cancel(timer); }

    // A bar button showing an image, named by `outlet` (tests find it so),
    // calling the member function on a tap.
    template <class T>
    std::shared_ptr<UIButton> imageBarButton(const std::string& image, const std::string& outlet, void (T::*action)(UIControl*))
    {
        auto button = makeImageBarButton(image, outlet);
        button->addTarget(self<T>(), action, UIControlEventTouchUpInside);
        return button;
    }

    // Registers the request as the screen's (cancelled when the screen goes)
    // and starts it. Nothing happens for nullptr.
    void startRequest(const std::shared_ptr<foundation::HTTPRequest>& request);
    // For a request's callback: true when the request is one this screen
    // started and has not finished or cancelled, so a late answer of an
    // earlier request is told from the current one. The request stays.
    bool isCurrentRequest(const foundation::HTTPRequest* request) const;
    // The request has answered: the screen forgets it.
    void finishRequest(const foundation::HTTPRequest* request);
    // For the callback of a request the screen keeps in `current`: true, and
    // the screen forgets the request, when it is that one and still the
    // screen's; false for a late answer of an earlier or dropped one. The
    // caller empties `current` when its work with the answer is done.
    bool takeAnswer(const std::shared_ptr<foundation::HTTPRequest>& request,
        const std::shared_ptr<foundation::HTTPRequest>& current);
    // The same for a request the screen does not keep: true, and the screen
    // forgets it, when it is still the screen's.
    bool takeAnswer(const std::shared_ptr<foundation::HTTPRequest>& request);

private:
    static std::shared_ptr<UIButton> makeImageBarButton(const std::string& image, const std::string& outlet);
    static std::shared_ptr<UIView> barBelow(const UIView& view);
    void setUpTitle();
    void clearList();

    std::shared_ptr<UILabel> lblTitle_;
    std::vector<std::shared_ptr<foundation::HTTPRequest>> requests_;
    Lifetime lifetime_;
    std::shared_ptr<UIView> customTitleView_;
    std::shared_ptr<UIView> listView_;
    bool isShowingList_ = false;
    std::shared_ptr<UIImageView> openListImageView_;
    bool hasOpenList_ = false;
    std::shared_ptr<UIView> leftItem_;
    std::shared_ptr<UIView> rightItem_;
    std::shared_ptr<UIView> titleView_;
    std::shared_ptr<UIViewController> parent_;
    platform::Array baseListData_;
    struct FootFit {
        std::weak_ptr<UIView> view;
        std::weak_ptr<UIView> bar;
        bool pinned = false;
        double gap = 0;
    };
    std::vector<FootFit> footFits_;
};
