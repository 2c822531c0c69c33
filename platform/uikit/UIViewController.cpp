#include "platform/uikit/UIViewController.h"

#include "platform/os/Log.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWindow.h"

#include <algorithm>

namespace {

// Windows whose root slot this layer filled, so that tests can empty them all.
std::vector<std::weak_ptr<UIWindow>>& windowsWithRoots()
{
    static std::vector<std::weak_ptr<UIWindow>> windows;
    std::erase_if(windows, [](const std::weak_ptr<UIWindow>& window) { return window.expired(); });
    return windows;
}

// Set while the roots are emptied without telling their controllers.
bool& silentRootChange()
{
    static bool silent = false;
    return silent;
}

const char* transitionName(UIModalTransitionStyle style)
{
    switch (style) {
    case UIModalTransitionStyleFlipHorizontal:
        return "flipHorizontal";
    case UIModalTransitionStyleCrossDissolve:
        return "crossDissolve";
    case UIModalTransitionStylePartialCurl:
        return "partialCurl";
    case UIModalTransitionStyleCoverVertical:
        break;
    }
    return "coverVertical";
}

std::uint64_t recordTransition(const char* name, UIModalTransitionStyle style, double duration)
{
    platform::AnimationRecord record;
    record.kind = platform::AnimationRecord::Kind::Transition;
    record.name = name;
    record.duration = duration;
    record.transitionType = transitionName(style);
    record.startTime = platform::RunLoop::main().now();
    return platform::AnimationLog::append(std::move(record));
}

void markFinished(std::uint64_t id)
{
    if (auto* record = platform::AnimationLog::recordWithId(id))
        record->finished = true;
}

} // namespace

// Every controller made puts the window's root slot in the controller layer's
// hands, so that window->setRootViewController(controller) shows it.
UIViewController::UIViewController() { installWindowRootHook(); }

UIViewController::UIViewController(std::string nibName)
    : nibName_(std::move(nibName))
    , explicitNib_(true)
{
    installWindowRootHook();
}

UIViewController::~UIViewController()
{
    pendingCall_.cancel();
    if (view_)
        view_->setViewController({});
}

const std::shared_ptr<UIView>& UIViewController::view()
{
    if (!view_ && !loadingView_) {
        loadingView_ = true;
        loadView();
        if (!view_) {
            // A loadView that made nothing still leaves the screen a view to show.
            setView(std::make_shared<UIView>(UIScreen::mainScreen()->bounds()));
        }
        loadingView_ = false;
        viewDidLoad();
    }
    return view_;
}

void UIViewController::setView(std::shared_ptr<UIView> view)
{
    if (view_ == view)
        return;
    if (view_)
        view_->setViewController({});
    view_ = std::move(view);
    if (view_)
        view_->setViewController(weak_from_this());
}

void UIViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("view", [this](const std::shared_ptr<platform::Object>& object) {
        auto view = std::dynamic_pointer_cast<UIView>(object);
        if (!view)
            return false;
        setView(std::move(view));
        return true;
    });
}

void UIViewController::loadView()
{
    std::string name = explicitNib_ ? nibName_ : className();
    if (!name.empty() && platform::LayoutLoader::exists(name)) {
        auto objects = platform::LayoutLoader::loadNamed(name, sharedController());
        if (!view_) {
            for (const auto& object : objects) {
                if (auto view = std::dynamic_pointer_cast<UIView>(object)) {
                    setView(std::move(view));
                    break;
                }
            }
        }
        if (!view_)
            platform::log("Layout %s has no view for %s; using an empty view\n", name.c_str(), className().c_str());
    } else if (explicitNib_ && !nibName_.empty()) {
        platform::log("Layout %s not found; %s gets an empty view\n", nibName_.c_str(), className().c_str());
    }
    if (!view_)
        setView(std::make_shared<UIView>(UIScreen::mainScreen()->bounds()));
}

void UIViewController::beginAppearanceTransition(bool isAppearing, bool animated)
{
    if (isAppearing) {
        if (appearance_ == AppearanceState::Appearing || appearance_ == AppearanceState::Appeared)
            return;
        view();
        appearance_ = AppearanceState::Appearing;
        appearanceAnimated_ = animated;
        viewWillAppear(animated);
    } else {
        if (appearance_ == AppearanceState::Disappearing || appearance_ == AppearanceState::Disappeared)
            return;
        appearance_ = AppearanceState::Disappearing;
        appearanceAnimated_ = animated;
        viewWillDisappear(animated);
    }
    appearanceChildren_ = childrenForAppearanceForwarding();
    for (const auto& child : appearanceChildren_)
        child->beginAppearanceTransition(isAppearing, animated);
}

void UIViewController::endAppearanceTransition()
{
    auto children = std::move(appearanceChildren_);
    appearanceChildren_.clear();
    if (appearance_ == AppearanceState::Appearing) {
        appearance_ = AppearanceState::Appeared;
        viewDidAppear(appearanceAnimated_);
    } else if (appearance_ == AppearanceState::Disappearing) {
        appearance_ = AppearanceState::Disappeared;
        viewDidDisappear(appearanceAnimated_);
    } else
        return;
    for (const auto& child : children)
        child->endAppearanceTransition();
}

void UIViewController::setTitle(std::string title)
{
    title_ = std::move(title);
    navigationItem()->setTitle(title_);
    tabBarItem()->title = title_;
}

const std::shared_ptr<UINavigationItem>& UIViewController::navigationItem()
{
    if (!navigationItem_)
        navigationItem_ = std::make_shared<UINavigationItem>(title_);
    return navigationItem_;
}

const std::shared_ptr<UITabBarItem>& UIViewController::tabBarItem()
{
    if (!tabBarItem_) {
        tabBarItem_ = std::make_shared<UITabBarItem>();
        tabBarItem_->title = title_;
    }
    return tabBarItem_;
}

void UIViewController::addChildViewController(const std::shared_ptr<UIViewController>& child)
{
    if (!child || child.get() == this)
        return;
    if (child->parentViewController().get() == this)
        return;
    // A parent cannot become its own descendant's child.
    for (auto ancestor = parentViewController(); ancestor; ancestor = ancestor->parentViewController()) {
        if (ancestor == child)
            return;
    }
    if (child->parentViewController())
        child->removeFromParentViewController();
    child->willMoveToParentViewController(this);
    children_.push_back(child);
    child->setParent(sharedController());
}

void UIViewController::removeFromParentViewController()
{
    auto parent = parentViewController();
    if (!parent)
        return;
    auto self = sharedController();
    std::erase(parent->children_, self);
    parent_.reset();
    didMoveToParentViewController(nullptr);
}

std::shared_ptr<UINavigationController> UIViewController::navigationController() const
{
    for (auto controller = parentViewController(); controller; controller = controller->parentViewController()) {
        if (auto navigation = std::dynamic_pointer_cast<UINavigationController>(controller))
            return navigation;
    }
    return nullptr;
}

std::shared_ptr<UIViewController> UIViewController::presentingViewController() const
{
    if (auto presenting = presenting_.lock())
        return presenting;
    // A child of a presented controller counts as presented by the same one.
    for (auto controller = parentViewController(); controller; controller = controller->parentViewController()) {
        if (auto presenting = controller->presenting_.lock())
            return presenting;
    }
    return nullptr;
}

std::shared_ptr<UIViewController> UIViewController::presentationContext()
{
    auto context = sharedController();
    while (auto parent = context->parentViewController())
        context = parent;
    return context;
}

std::shared_ptr<UIWindow> UIViewController::windowForPresentation()
{
    if (view_) {
        if (auto window = view_->window())
            return window;
    }
    return nullptr;
}

void UIViewController::installFullScreen(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIWindow>& window)
{
    view->setFrame(window->bounds());
    view->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    window->addSubview(view);
}

void UIViewController::setPendingTransition(platform::DelayedCall call, std::function<void()> finish)
{
    pendingCall_ = std::move(call);
    pendingFinish_ = std::move(finish);
}

void UIViewController::finishPendingTransition()
{
    if (!pendingFinish_)
        return;
    pendingCall_.cancel();
    auto finish = std::move(pendingFinish_);
    pendingFinish_ = nullptr;
    finish();
}

UIInterfaceOrientation UIViewController::preferredInterfaceOrientationForPresentation() const
{
    long current = UIApplication::sharedApplication().statusBarOrientation();
    return UIApplication::isValidInterfaceOrientation(current) ? static_cast<UIInterfaceOrientation>(current)
                                                               : UIInterfaceOrientationPortrait;
}

void UIViewController::presentViewController(
    const std::shared_ptr<UIViewController>& controller, bool animated, std::function<void()> completion)
{
    if (!controller)
        return;
    auto presenter = presentationContext();
    if (presenter->presented_) {
        platform::log("Attempt to present %s on %s which is already presenting %s\n", controller->className().c_str(),
            presenter->className().c_str(), presenter->presented_->className().c_str());
        return;
    }
    if (controller->presenting_.lock() || controller->parentViewController() || controller == presenter) {
        platform::log("Attempt to present %s, which is already shown elsewhere\n", controller->className().c_str());
        return;
    }
    presenter->finishPendingTransition();
    presenter->presented_ = controller;
    controller->presenting_ = presenter;

    auto window = presenter->windowForPresentation();
    if (!window)
        window = UIWindow::keyWindow();
    bool onScreen = window && presenter->appearance_ != AppearanceState::Disappeared;
    auto& view = controller->view();
    if (window)
        installFullScreen(view, window);

    std::uint64_t recordId = animated ? recordTransition("presentViewController", controller->modalTransitionStyle(),
                                            kModalTransitionDuration)
                                      : 0;
    if (onScreen)
        presenter->beginAppearanceTransition(false, animated);
    // The interface turns once the screen below has heard that it goes, so
    // that the presented screen appears in its own orientation.
    controller->orientationBeforePresentation_ = 0;
    if (window) {
        auto& application = UIApplication::sharedApplication();
        long before = application.statusBarOrientation();
        long wanted = controller->preferredInterfaceOrientationForPresentation();
        if (UIApplication::isValidInterfaceOrientation(wanted) && wanted != before) {
            controller->orientationBeforePresentation_ = before;
            application.setStatusBarOrientation(wanted);
        }
    }
    if (window)
        controller->beginAppearanceTransition(true, animated);

    if (!animated) {
        // The appearance completes now; the completion waits for the loop, as the phone's does.
        if (onScreen)
            presenter->endAppearanceTransition();
        if (window)
            controller->endAppearanceTransition();
        if (completion)
            platform::postToMain(std::move(completion));
        return;
    }
    // Weak: the finishing step is kept by the controller itself until it runs.
    auto finish = [weakPresenter = std::weak_ptr<UIViewController>(presenter),
                      weakController = std::weak_ptr<UIViewController>(controller), onScreen,
                      hasWindow = static_cast<bool>(window), recordId, completion = std::move(completion)]() {
        auto presenter = weakPresenter.lock();
        auto controller = weakController.lock();
        if (onScreen && presenter)
            presenter->endAppearanceTransition();
        if (hasWindow && controller)
            controller->endAppearanceTransition();
        markFinished(recordId);
        if (completion)
            completion();
    };
    auto call = platform::dispatchAfter(kModalTransitionDuration, [controller] { controller->finishPendingTransition(); });
    controller->setPendingTransition(std::move(call), std::move(finish));
}

void UIViewController::dismissViewControllerAnimated(bool animated, std::function<void()> completion)
{
    std::shared_ptr<UIViewController> base;
    if (presented_)
        base = sharedController();
    else if (auto context = presentationContext(); context->presented_)
        base = context;
    else
        base = presentingViewController();
    if (!base || !base->presented_)
        return;

    // Everything above the base goes; only the topmost and the base hear about it.
    std::vector<std::shared_ptr<UIViewController>> chain;
    for (auto c = base->presented_; c; c = c->presented_)
        chain.push_back(c);
    for (auto& c : chain)
        c->finishPendingTransition();
    base->finishPendingTransition();
    auto top = chain.back();

    std::uint64_t recordId
        = animated ? recordTransition("dismissViewController", top->modalTransitionStyle(), kModalTransitionDuration) : 0;
    bool baseOnScreen = static_cast<bool>(base->windowForPresentation()) || top->windowForPresentation();
    top->beginAppearanceTransition(false, animated);
    // The interface turns back to what it was before the lowest of the
    // dismissed presentations turned it, before the screen below reappears.
    for (auto& c : chain) {
        if (c->orientationBeforePresentation_ != 0) {
            UIApplication::sharedApplication().setStatusBarOrientation(c->orientationBeforePresentation_);
            break;
        }
    }
    for (auto& c : chain)
        c->orientationBeforePresentation_ = 0;
    if (baseOnScreen)
        base->beginAppearanceTransition(true, animated);

    // The links break at once so that a new presentation can start right away.
    base->presented_.reset();
    for (auto& c : chain) {
        c->presented_.reset();
        c->presenting_.reset();
    }
    if (!animated) {
        for (auto& c : chain) {
            if (c->isViewLoaded())
                c->view()->removeFromSuperview();
        }
        top->endAppearanceTransition();
        if (baseOnScreen)
            base->endAppearanceTransition();
        if (completion)
            platform::postToMain(std::move(completion));
        return;
    }
    auto finish = [weakBase = std::weak_ptr<UIViewController>(base), chain, top, baseOnScreen, recordId,
                      completion = std::move(completion)]() {
        auto base = weakBase.lock();
        for (auto& c : chain) {
            if (c->isViewLoaded())
                c->view()->removeFromSuperview();
        }
        top->endAppearanceTransition();
        if (baseOnScreen && base)
            base->endAppearanceTransition();
        markFinished(recordId);
        if (completion)
            completion();
    };
    auto call = platform::dispatchAfter(kModalTransitionDuration, [base] { base->finishPendingTransition(); });
    base->setPendingTransition(std::move(call), std::move(finish));
}

void UIViewController::installWindowRootHook()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    UIWindow::setRootViewControllerHook([](UIWindow& window, const std::shared_ptr<UIResponder>& oldRoot,
                                            const std::shared_ptr<UIResponder>& newRoot) {
        if (silentRootChange())
            return;
        auto shared = std::static_pointer_cast<UIWindow>(window.sharedView());
        if (shared) {
            auto& windows = windowsWithRoots();
            if (std::none_of(windows.begin(), windows.end(), [&](auto& w) { return w.lock() == shared; }))
                windows.push_back(shared);
        }
        if (auto old = std::dynamic_pointer_cast<UIViewController>(oldRoot)) {
            // What the old root presented goes down with it, without animation.
            if (old->presented_)
                old->dismissViewControllerAnimated(false);
            old->finishPendingTransition();
            old->beginAppearanceTransition(false, false);
            if (old->isViewLoaded())
                old->view()->removeFromSuperview();
            old->endAppearanceTransition();
        }
        auto controller = std::dynamic_pointer_cast<UIViewController>(newRoot);
        if (!controller || !shared)
            return;
        installFullScreen(controller->view(), shared);
        controller->beginAppearanceTransition(true, false);
        controller->endAppearanceTransition();
    });
}

void UIViewController::setRootViewControllerOf(
    const std::shared_ptr<UIWindow>& window, std::shared_ptr<UIViewController> controller)
{
    if (!window)
        return;
    installWindowRootHook();
    window->setRootViewController(std::move(controller));
}

std::shared_ptr<UIViewController> UIViewController::rootViewControllerOf(const UIWindow* window)
{
    return window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
}

void UIViewController::resetWindowRoots()
{
    silentRootChange() = true;
    for (auto& weak : windowsWithRoots()) {
        if (auto window = weak.lock())
            window->setRootViewController(nullptr);
    }
    windowsWithRoots().clear();
    silentRootChange() = false;
}

std::shared_ptr<UIResponder> UIViewController::nextResponder() const
{
    if (view_) {
        if (auto superview = view_->superview())
            return superview;
    }
    return parentViewController();
}
