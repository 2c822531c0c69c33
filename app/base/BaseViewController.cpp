#include "app/base/BaseViewController.h"

#include "foundation/http/HTTPRequest.h"
#include "libModule/TabViewController/TabViewController.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/ModalStack.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UINavigationItem.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UISwipeGestureRecognizer.h"
#include "platform/uikit/UITapGestureRecognizer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

using foundation::HTTPRequest;

namespace {

const platform::Color kListColor = platform::Color::fromRGB255(120, 200, 28);
const platform::Color kListLineColor = platform::Color::fromRGB255(117, 179, 26);
constexpr double kArrowWidth = 10;
constexpr double kArrowHeight = 7;
constexpr double kArrowY = 9;
constexpr double kArrowGap = 2;
constexpr double kListCornerRadius = 4;
constexpr double kListTop = -2;
constexpr double kListLineInset = 5;

std::vector<std::shared_ptr<UIBarButtonItem>> itemsWithSpacer(const std::shared_ptr<UIView>& view)
{
    auto spacer = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFixedSpace);
    spacer->setWidth(BaseViewController::kFixedSpaceWidth);
    return { spacer, UIBarButtonItem::itemWithCustomView(view) };
}

} // namespace

BaseViewController::BaseViewController()
    : BaseViewController(std::string())
{
}

BaseViewController::BaseViewController(std::string nibName)
    : UIViewController(std::move(nibName))
{
    customTitleView_ = std::make_shared<UIView>(platform::Rect(0, 0, kTitleWidth, kTitleHeight));
    customTitleView_->setBackgroundColor(platform::Color::clearColor());
    customTitleView_->setOutletName("customTitleView");
    lblTitle_ = std::make_shared<UILabel>(platform::Rect(0, 0, kTitleWidth, kTitleHeight));
    lblTitle_->setBackgroundColor(platform::Color::clearColor());
    lblTitle_->setTextAlignment(NSTextAlignmentCenter);
    lblTitle_->setFont(UIFont::boldSystemFont(kTitleFontSize));
    lblTitle_->setTextColor(platform::Color::whiteColor());
    lblTitle_->setOutletName("lblTitle");
    customTitleView_->addSubview(lblTitle_);
}

BaseViewController::~BaseViewController() { cancelAllRequests(); }

void BaseViewController::setTitle(std::string title)
{
    UIViewController::setTitle(title);
    lblTitle_->setText(std::move(title));
}

void BaseViewController::setTitleView(std::shared_ptr<UIView> view)
{
    titleView_ = std::move(view);
    navigationItem()->setTitleView(titleView_);
}

void BaseViewController::setLeftItem(std::shared_ptr<UIView> view)
{
    leftItem_ = std::move(view);
    navigationItem()->setLeftBarButtonItems(leftItem_ ? itemsWithSpacer(leftItem_) : std::vector<std::shared_ptr<UIBarButtonItem>> {});
}

void BaseViewController::setRightItem(std::shared_ptr<UIView> view)
{
    rightItem_ = std::move(view);
    navigationItem()->setRightBarButtonItems(rightItem_ ? itemsWithSpacer(rightItem_) : std::vector<std::shared_ptr<UIBarButtonItem>> {});
}

void BaseViewController::popViewController()
{
    if (auto navigation = navigationController(); navigation && !navigation->viewControllers().empty())
        navigation->popViewControllerAnimated(true);
}

void BaseViewController::viewDidLoad()
{
    UIViewController::viewDidLoad();
    setUpTitle();
    setEdgesForExtendedLayout(UIRectEdgeNone);
    auto swipe = std::make_shared<UISwipeGestureRecognizer>();
    swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
    swipe->addTarget(self<BaseViewController>(),
        &BaseViewController::popViewController);
    view()->addGestureRecognizer(swipe);
}

void BaseViewController::setUpTitle()
{
    if (titleView_)
        return;
    lblTitle_->setText(title());
    if (hasOpenList_) {
        if (openListImageView_)
            openListImageView_->removeFromSuperview();
        double textWidth = platform::measureText(title(), lblTitle_->font(),
            platform::Size(std::numeric_limits<double>::max(), 30.0))
                               .width;
        openListImageView_ = std::make_shared<UIImageView>(UIImage::imageNamed("message_down_icon.png"));
        openListImageView_->setOutletName("openListImageView");
        openListImageView_->setFrame(
            platform::Rect((kTitleWidth + textWidth) * 0.5 + kArrowGap, kArrowY, kArrowWidth, kArrowHeight));
        customTitleView_->addSubview(openListImageView_);
        if (listView_)
            listView_->setAlpha(1.0);
        auto tap = std::make_shared<UITapGestureRecognizer>();
        tap->addTarget(self<BaseViewController>(),
            &BaseViewController::showOrHideListView);
        customTitleView_->addGestureRecognizer(tap);
    } else {
        if (openListImageView_)
            openListImageView_->setAlpha(0);
        if (listView_)
            listView_->setAlpha(0);
    }
    navigationItem()->setTitleView(customTitleView_);
}

void BaseViewController::viewWillAppear(bool)
{
    // The first screen of a tab shows the tab bar; anything pushed above it hides it.
    if (auto navigation = navigationController())
        TabViewController::setSharedTabbarHidden(navigation->viewControllers().size() > 1, true);
    applyVisibleBottoms();
}

void BaseViewController::viewDidAppear(bool animated)
{
    UIViewController::viewDidAppear(animated);
    applyVisibleBottoms();
}

// ---- The foot of the screen ---------------------------------------------------------

namespace {

const UIView* topmostAncestor(const UIView& view)
{
    const UIView* top = &view;
    std::shared_ptr<UIView> holder;
    while (auto up = top->superview()) {
        holder = std::move(up);
        top = holder.get();
    }
    return top;
}

bool isInside(const UIView& view, const UIView& ancestor)
{
    const UIView* current = &view;
    std::shared_ptr<UIView> holder;
    while (current) {
        if (current == &ancestor)
            return true;
        holder = current->superview();
        current = holder.get();
    }
    return false;
}

// The top of `other` in the coordinates of `container`, when both are in one
// view tree and `other` shows.
std::optional<double> topIn(const UIView& container, const UIView& other)
{
    if (other.isHidden() || other.alpha() < 0.01)
        return std::nullopt;
    auto superview = other.superview();
    if (!superview || topmostAncestor(container) != topmostAncestor(other))
        return std::nullopt;
    return superview->convertRectToView(other.frame(), &container).minY();
}

} // namespace

double BaseViewController::visibleBottom(const UIView& container, const UIView* bar)
{
    const auto bounds = container.bounds();
    double bottom = bounds.maxY();
    // Only what lies over the container's lower part raises its foot.
    auto raise = [&](const UIView& over) {
        if (auto top = topIn(container, over); top && *top > bounds.minY() && *top < bottom)
            bottom = *top;
    };
    // The tab bar lies over the screens of the tabs, not over what is shown above them.
    if (auto tabs = TabViewController::shareInstance(); tabs && tabs->isViewLoaded()) {
        if (auto tabBar = tabs->tabBarView(); tabBar && isInside(container, *tabs->view()))
            raise(*tabBar);
    }
    if (bar)
        raise(*bar);
    return bottom;
}

void BaseViewController::fitToVisibleBottom(UIView& view, const UIView* bar)
{
    auto superview = view.superview();
    if (!superview)
        return;
    // From here on it stretches with its superview.
    view.setAutoresizingMask((view.autoresizingMask() & ~(UIViewAutoresizingFlexibleTopMargin | UIViewAutoresizingFlexibleBottomMargin))
        | UIViewAutoresizingFlexibleHeight);
    auto frame = view.frame();
    double height = std::max(0.0, visibleBottom(*superview, bar) - frame.minY());
    if (std::abs(height - frame.height()) < 0.01)
        return;
    frame.size.height = height;
    view.setFrame(frame);
}

void BaseViewController::pinToVisibleBottom(UIView& view, double gap, const UIView* bar)
{
    auto superview = view.superview();
    if (!superview)
        return;
    // From here on it moves with its superview's foot.
    view.setAutoresizingMask((view.autoresizingMask() & ~(UIViewAutoresizingFlexibleHeight | UIViewAutoresizingFlexibleBottomMargin))
        | UIViewAutoresizingFlexibleTopMargin);
    auto frame = view.frame();
    double y = visibleBottom(*superview, bar) - gap - frame.height();
    if (std::abs(y - frame.minY()) < 0.01)
        return;
    frame.origin.y = y;
    view.setFrame(frame);
}

void BaseViewController::keepAtVisibleBottom(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& bar)
{
    if (!view)
        return;
    auto below = bar ? bar : barBelow(*view);
    footFits_.push_back({ view, below, false, 0 });
    fitToVisibleBottom(*view, below.get());
}

std::shared_ptr<UIView> BaseViewController::barBelow(const UIView& view)
{
    auto superview = view.superview();
    if (!superview)
        return nullptr;
    const auto frame = view.frame();
    const double foot = superview->bounds().maxY();
    for (const auto& sibling : superview->subviews()) {
        if (sibling.get() == &view || sibling->isHidden())
            continue;
        const auto other = sibling->frame();
        bool touches = std::abs(other.minY() - frame.maxY()) < 0.5;
        bool reachesFoot = other.maxY() > foot - 0.5;
        bool overlaps = other.minX() < frame.maxX() && other.maxX() > frame.minX();
        if (touches && reachesFoot && overlaps)
            return sibling;
    }
    return nullptr;
}

void BaseViewController::keepAboveVisibleBottom(const std::shared_ptr<UIView>& view, const std::shared_ptr<UIView>& bar)
{
    auto superview = view ? view->superview() : nullptr;
    if (!superview)
        return;
    double foot = bar ? visibleBottom(*superview, bar.get()) : superview->bounds().maxY();
    footFits_.push_back({ view, bar, true, std::max(0.0, foot - view->frame().maxY()) });
}

void BaseViewController::applyVisibleBottoms()
{
    std::erase_if(footFits_, [](const FootFit& fit) { return fit.view.expired(); });
    for (const auto& fit : footFits_) {
        auto view = fit.view.lock();
        auto bar = fit.bar.lock();
        if (fit.pinned)
            pinToVisibleBottom(*view, fit.gap, bar.get());
        else
            fitToVisibleBottom(*view, bar.get());
    }
}

void BaseViewController::clearList()
{
    if (!listView_)
        return;
    for (const auto& subview : std::vector<std::shared_ptr<UIView>>(listView_->subviews()))
        subview->removeFromSuperview();
}

void BaseViewController::showOrHideListView()
{
    hideOtherListView();
    if (!listView_) {
        double width = view()->bounds().width();
        listView_ = std::make_shared<UIView>(platform::Rect((width - kListWidth) * 0.5, kListTop, kListWidth, 0));
        listView_->setBackgroundColor(kListColor);
        listView_->layer()->setCornerRadius(kListCornerRadius);
        listView_->setClipsToBounds(true);
        listView_->setOutletName("listView");
        view()->addSubview(listView_);
    }
    if (baseListData_.empty())
        return;
    auto self = BaseViewController::self<BaseViewController>();
    double listWidth = listView_->frame().width();
    for (std::size_t i = 0; i < baseListData_.size(); ++i) {
        auto button = UIButton::buttonWithType(UIButtonTypeCustom);
        button->setTag(kListButtonTagBase + int(i));
        button->setFrame(platform::Rect(0, kListRowHeight * double(i), listWidth, kListRowHeight));
        button->addTarget(self, &BaseViewController::linkTo, UIControlEventTouchUpInside);
        const platform::Dictionary* entry = baseListData_[i].asDictionary();
        const std::string* title = entry ? entry->get("title").asString() : nullptr;
        button->setTitle(title ? *title : std::string(), UIControlStateNormal);
        button->titleLabel()->setFont(UIFont::boldSystemFont(17.0));
        button->setTitleColor(platform::Color::whiteColor(), UIControlStateNormal);
        listView_->addSubview(button);
        if (i + 1 < baseListData_.size()) {
            auto line = std::make_shared<UIView>(
                platform::Rect(kListLineInset, kListRowHeight * double(i) + kListRowHeight, listWidth - 2 * kListLineInset, 1.0));
            line->setBackgroundColor(kListLineColor);
            listView_->addSubview(line);
        }
    }
    // The list shows above the screen's own views.
    view()->bringSubviewToFront(listView_);
    auto list = listView_;
    bool opening = !isShowingList_;
    double height = kListRowHeight * double(baseListData_.size());
    UIView::animateWithDuration(kListAnimationDuration, [this, list, opening, height] {
        auto frame = list->frame();
        if (opening) {
            frame.size.height = height;
            list->setFrame(frame);
        } else {
            clearList();
            frame.size.height = 0;
            list->setFrame(frame);
        }
    });
    isShowingList_ = opening;
    // Back closes the open list before it takes the screen away.
    if (opening) {
        platform::ModalStack::showMenu(
            list, weakCallback<BaseViewController>([](BaseViewController& screen) { screen.hideListView(); }));
    } else {
        platform::ModalStack::menuClosed(list.get());
    }
}

void BaseViewController::hideListView()
{
    if (!isShowingList_ || !listView_)
        return;
    auto list = listView_;
    UIView::animateWithDuration(kListAnimationDuration, [this, list] {
        clearList();
        auto frame = list->frame();
        frame.size.height = 0;
        list->setFrame(frame);
    });
    isShowingList_ = false;
    platform::ModalStack::menuClosed(list.get());
}

void BaseViewController::linkTo(UIControl* button)
{
    if (!button)
        return;
    long index = long(button->tag()) - kListButtonTagBase;
    if (index >= 0 && index < long(baseListData_.size()))
        openListIndex(baseListData_[std::size_t(index)]);
    showOrHideListView();
}

void BaseViewController::addRequest(const std::shared_ptr<HTTPRequest>& request)
{
    if (request)
        requests_.push_back(request);
}

bool BaseViewController::isFourInchScreen()
{
    auto mode = UIScreen::mainScreen()->currentMode();
    return mode && mode->size == platform::Size(640, 1136);
}

std::shared_ptr<UIButton> BaseViewController::makeImageBarButton(const std::string& image, const std::string& outlet)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(platform::Rect(0, 0, kBarButtonSize, kBarButtonSize));
    button->setImage(UIImage::imageNamed(image), UIControlStateNormal);
    button->setOutletName(outlet);
    return button;
}

void BaseViewController::startRequest(const std::shared_ptr<HTTPRequest>& request)
{
    if (!request)
        return;
    addRequest(request);
    request->startAsynchronous();
}

bool BaseViewController::isCurrentRequest(const HTTPRequest* request) const
{
    return request
        && std::any_of(requests_.begin(), requests_.end(), [&](const auto& owned) { return owned.get() == request; });
}

void BaseViewController::finishRequest(const HTTPRequest* request)
{
    std::erase_if(requests_, [&](const auto& owned) { return owned.get() == request; });
}

bool BaseViewController::takeAnswer(const std::shared_ptr<HTTPRequest>& request, const std::shared_ptr<HTTPRequest>& current)
{
    if (!request || request != current || !isCurrentRequest(request.get()))
        return false;
    finishRequest(request.get());
    return true;
}

bool BaseViewController::takeAnswer(const std::shared_ptr<HTTPRequest>& request)
{
    return takeAnswer(request, request);
}

void BaseViewController::cancelAllRequests()
{
    auto requests = std::move(requests_);
    requests_.clear();
    for (const auto& request : requests)
        request->clearDelegatesAndCancel();
}
