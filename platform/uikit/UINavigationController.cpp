#include "platform/uikit/UINavigationController.h"

#include "platform/os/Log.h"
#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIView.h"

#include <algorithm>

UINavigationController::UINavigationController() = default;

UINavigationController::UINavigationController(std::shared_ptr<UIViewController> rootViewController)
{
    if (rootViewController)
        stack_.push_back(std::move(rootViewController));
    // Children are attached once the controller lives in a shared_ptr (see below).
}

UINavigationController::~UINavigationController() = default;

void UINavigationController::adoptChildren()
{
    if (weak_from_this().expired())
        return;
    auto self = sharedController();
    for (auto& controller : stack_) {
        if (controller->parentViewController() != self) {
            addChildViewController(controller);
            controller->didMoveToParentViewController(this);
        }
    }
}

const std::shared_ptr<UINavigationBar>& UINavigationController::navigationBar()
{
    adoptChildren();
    if (!bar_) {
        bar_ = std::make_shared<UINavigationBar>();
        std::weak_ptr<UIResponder> weakSelf = weak_from_this();
        bar_->setBackAction([weakSelf] {
            if (auto self = std::static_pointer_cast<UINavigationController>(weakSelf.lock()))
                self->popViewControllerAnimated(true);
        });
        std::vector<std::shared_ptr<UINavigationItem>> items;
        for (auto& controller : stack_)
            items.push_back(controller->navigationItem());
        bar_->setItems(std::move(items));
    }
    return bar_;
}

std::shared_ptr<UIViewController> UINavigationController::topViewController() const
{
    return stack_.empty() ? nullptr : stack_.back();
}

std::shared_ptr<UIViewController> UINavigationController::visibleViewController() const
{
    if (auto presented = presentedViewController())
        return presented;
    return topViewController();
}

bool UINavigationController::onScreen() const
{
    return appearanceState() == AppearanceState::Appeared || appearanceState() == AppearanceState::Appearing;
}

std::vector<std::shared_ptr<UIViewController>> UINavigationController::childrenForAppearanceForwarding() const
{
    if (auto top = topViewController())
        return { top };
    return {};
}

void UINavigationController::loadView()
{
    auto container = std::make_shared<UIView>(UIScreen::mainScreen()->bounds());
    container->setBackgroundColor(platform::Color::whiteColor());
    setView(container);
    adoptChildren();
    container->addSubview(navigationBar());
    bar_->setHidden(barHidden_);
    if (auto top = topViewController())
        installView(top);
}

platform::Rect UINavigationController::contentFrameFor(const UIViewController* controller)
{
    auto bounds = view()->bounds();
    bool underBar = barHidden_
        || (navigationBar()->isTranslucent() && controller && (controller->edgesForExtendedLayout() & UIRectEdgeTop));
    if (underBar)
        return bounds;
    double top = bar_->frame().maxY();
    return platform::Rect(0, top, bounds.size.width, std::max(0.0, bounds.size.height - top));
}

void UINavigationController::installView(const std::shared_ptr<UIViewController>& controller)
{
    auto& container = view();
    auto& content = controller->view();
    content->setFrame(contentFrameFor(controller.get()));
    content->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    // The bar stays above the screens.
    container->insertSubviewBelow(content, navigationBar());
}

void UINavigationController::layoutContent()
{
    if (!isViewLoaded())
        return;
    if (auto top = topViewController())
        top->view()->setFrame(contentFrameFor(top.get()));
}

void UINavigationController::transition(const std::shared_ptr<UIViewController>& from,
    const std::shared_ptr<UIViewController>& to, bool animated, const char* name)
{
    std::vector<std::shared_ptr<UINavigationItem>> items;
    for (auto& controller : stack_)
        items.push_back(controller->navigationItem());
    navigationBar()->setItems(std::move(items), animated);
    if (!isViewLoaded() || from == to)
        return;

    bool visible = onScreen();
    if (to)
        installView(to);
    if (visible) {
        if (from)
            from->beginAppearanceTransition(false, animated);
        if (to)
            to->beginAppearanceTransition(true, animated);
    }
    if (auto d = delegate(); d && to)
        d->willShowViewController(this, to.get(), animated);

    std::uint64_t recordId = 0;
    if (animated && visible) {
        platform::AnimationRecord record;
        record.kind = platform::AnimationRecord::Kind::Transition;
        record.name = name;
        record.duration = kTransitionDuration;
        record.transitionType = name;
        record.startTime = platform::RunLoop::main().now();
        recordId = platform::AnimationLog::append(std::move(record));
    }
    std::weak_ptr<UIResponder> weakSelf = weak_from_this();
    auto finish = [weakSelf, from, to, visible, animated, recordId] {
        auto self = std::static_pointer_cast<UINavigationController>(weakSelf.lock());
        // The screen leaving is taken off unless it came back on top meanwhile.
        if (from && from != (self ? self->topViewController() : nullptr) && from->isViewLoaded())
            from->view()->removeFromSuperview();
        if (visible) {
            if (from)
                from->endAppearanceTransition();
            if (to)
                to->endAppearanceTransition();
        }
        if (auto* record = platform::AnimationLog::recordWithId(recordId))
            record->finished = true;
        if (self && to) {
            if (auto d = self->delegate())
                d->didShowViewController(self.get(), to.get(), animated);
        }
    };
    if (recordId) {
        auto call = platform::dispatchAfter(kTransitionDuration, [weakSelf] {
            if (auto self = std::static_pointer_cast<UIViewController>(weakSelf.lock()))
                self->finishPendingTransition();
        });
        setPendingTransition(std::move(call), std::move(finish));
    } else
        finish();
}

void UINavigationController::pushViewController(const std::shared_ptr<UIViewController>& controller, bool animated)
{
    adoptChildren();
    if (!controller)
        return;
    if (std::find(stack_.begin(), stack_.end(), controller) != stack_.end() || controller->parentViewController()
        || controller->presentingViewController()) {
        platform::log("Pushing %s, which is already shown elsewhere, is not supported\n", controller->className().c_str());
        return;
    }
    finishPendingTransition();
    auto from = topViewController();
    addChildViewController(controller);
    stack_.push_back(controller);
    controller->didMoveToParentViewController(this);
    transition(from, controller, animated, "push");
}

std::shared_ptr<UIViewController> UINavigationController::popViewControllerAnimated(bool animated)
{
    if (stack_.size() < 2)
        return nullptr;
    auto popped = popToViewController(stack_[stack_.size() - 2], animated);
    return popped.empty() ? nullptr : popped.back();
}

std::vector<std::shared_ptr<UIViewController>> UINavigationController::popToViewController(
    const std::shared_ptr<UIViewController>& controller, bool animated)
{
    adoptChildren();
    auto found = std::find(stack_.begin(), stack_.end(), controller);
    if (found == stack_.end()) {
        if (controller)
            platform::log("Popping to %s, which is not in the stack, is ignored\n", controller->className().c_str());
        return {};
    }
    if (found + 1 == stack_.end())
        return {};
    finishPendingTransition();
    auto from = topViewController();
    std::vector<std::shared_ptr<UIViewController>> popped(found + 1, stack_.end());
    stack_.erase(found + 1, stack_.end());
    for (auto& c : popped) {
        c->willMoveToParentViewController(nullptr);
        c->removeFromParentViewController();
        // Screens below the top were not on screen; their views leave now.
        if (c != from && c->isViewLoaded())
            c->view()->removeFromSuperview();
    }
    transition(from, controller, animated, "pop");
    return popped;
}

std::vector<std::shared_ptr<UIViewController>> UINavigationController::popToRootViewControllerAnimated(bool animated)
{
    if (stack_.empty())
        return {};
    return popToViewController(stack_.front(), animated);
}

void UINavigationController::setViewControllers(std::vector<std::shared_ptr<UIViewController>> controllers, bool animated)
{
    adoptChildren();
    std::erase(controllers, nullptr);
    finishPendingTransition();
    auto from = topViewController();
    auto self = sharedController();
    for (auto& c : stack_) {
        if (std::find(controllers.begin(), controllers.end(), c) == controllers.end()) {
            c->willMoveToParentViewController(nullptr);
            c->removeFromParentViewController();
            if (c != from && c->isViewLoaded())
                c->view()->removeFromSuperview();
        }
    }
    for (auto& c : controllers) {
        if (c->parentViewController() != self) {
            addChildViewController(c);
            c->didMoveToParentViewController(this);
        }
        if (c != controllers.back() && c != from && c->isViewLoaded() && isViewLoaded()
            && c->view()->superview() == view())
            c->view()->removeFromSuperview();
    }
    stack_ = std::move(controllers);
    transition(from, topViewController(), animated, "setViewControllers");
}

void UINavigationController::setNavigationBarHidden(bool hidden, bool animated)
{
    if (hidden == barHidden_)
        return;
    barHidden_ = hidden;
    auto apply = [this, hidden] {
        auto& bar = navigationBar();
        bar->setHidden(hidden);
        layoutContent();
    };
    if (animated && isViewLoaded())
        UIView::animateWithDuration(kHideShowBarDuration, apply);
    else
        apply();
}
