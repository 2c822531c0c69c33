#include "app/main/ORBViewController.h"

#include "app/about/IntrodutionViewController.h"
#include "app/login/AccountsViewController.h"
#include "app/login/LoginViewController.h"
#include "app/startup/ORBAppDelegate.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/session/MyAccountInfo.h"
#include "platform/os/Log.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/Lifetime.h"
#include "ui/ORBHelper.h"
#include "ui/controls/UINavigationBarBackgroundImage.h"
#include "ui/overlay/ProgressOverlay.h"

namespace {

constexpr int kMessageBoxPicture = 0;
constexpr int kCirclePicture = 5;
constexpr int kLogoutRequest = 1;
constexpr double kPromptCornerRadius = 5.0;
const platform::Color kStatusBarColor = platform::Color::fromRGB255(29, 164, 149);

bool signedIn()
{
    auto session = core::MyAccountInfo::instance();
    return session && session->sessionUid().has_value();
}

} // namespace

ORBViewController::ORBViewController()
    : ORBViewController(std::string(kClassName))
{
}

ORBViewController::ORBViewController(std::string nibName)
    : TabViewController(std::move(nibName))
{
    setIsShowSplashView(false);
    // The token goes with this screen, so the handler never outlives it.
    loginObserver_ = platform::NotificationCenter::defaultCenter().addObserver(
        kNotificationLoginSucceeded, platform::Value(), [this](const platform::Notification& n) { loginSucceeded(n); });
}

ORBViewController::~ORBViewController() = default;

std::shared_ptr<ORBViewController> ORBViewController::shared()
{
    return std::dynamic_pointer_cast<ORBViewController>(TabViewController::shareInstance());
}

const platform::Array& ORBViewController::tabTable()
{
    static const platform::Array table = [] {
        auto entry = [](int uid, const char* name, const char* vc, bool current) {
            platform::Dictionary d;
            d.set("uid", uid);
            d.set("name", name);
            d.set("vc", vc);
            if (current)
                d.set("current", true);
            return platform::Value(d);
        };
        return platform::Array { entry(0, "家校互动", "MessageBoxViewController", false),
            entry(5, "家校圈", "HomeSchoolCircleViewController", false),
            entry(4, "功能导航", "NavigationViewController", true),
            entry(1, "通讯录", "ContactsViewController", false), entry(2, "设置", "SettingViewController", false) };
    }();
    return table;
}

void ORBViewController::viewDidLoad()
{
    TabViewController::viewDidLoad();
    isLogined_ = false;
    setEdgesForExtendedLayout(UIRectEdgeNone);
}

void ORBViewController::loginSucceeded(const platform::Notification&)
{
    auto account = core::MyAccountInfo::currentAccount();
    showWithType(!account || account->type != 1);
    if (presentedViewController())
        dismissViewControllerAnimated(true);
}

void ORBViewController::showWithType(bool)
{
    btnInfos_.clear();
    for (const auto& entry : tabTable())
        btnInfos_.push_back(MainBtnInfo::btnWithObj(entry));
    auto bar = tabBarView();
    if (!bar)
        return;
    for (const auto& subview : std::vector<std::shared_ptr<UIView>>(bar->subviews()))
        subview->removeFromSuperview();
    setCurrentBtn(nullptr);
    badgeBtn_.reset();
    badgeBtnHomeSchool_.reset();
    double width = bar->bounds().width();
    double height = bar->bounds().height();
    std::size_t count = btnInfos_.size();
    double buttonWidth = double(long(width / double(count)));
    std::vector<std::shared_ptr<UIControl>> buttons;
    std::vector<std::string> classNames;
    double x = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const auto& info = btnInfos_[i];
        auto button = MainBtn::make();
        button->setTag(int(i));
        button->setInfo(info);
        double w = i + 1 == count ? width - x : buttonWidth;
        button->setFrame(platform::Rect(x, 0, w, height));
        bar->addSubview(button);
        if (info->current)
            setCurrentBtn(button);
        if (info->uid == kMessageBoxPicture)
            badgeBtn_ = button;
        else if (info->uid == kCirclePicture)
            badgeBtnHomeSchool_ = button;
        buttons.push_back(button);
        classNames.push_back(info->vc);
        x += buttonWidth;
    }
    setTabBtns(std::move(buttons));
    setViewControllers(classNames, UIImage::imageNamed(kTopBarImage));
    // Behind the status bar of each tab: the bar's own colour, also while a
    // pushed screen has moved the top bar away.
    // White bar buttons on the teal bar.
    for (const auto& navigation : viewControllers()) {
        navigation->view()->setBackgroundColor(kStatusBarColor);
        navigation->navigationBar()->setTintColor(platform::Color::whiteColor());
    }
}

void ORBViewController::viewDidAppear(bool animated)
{
    TabViewController::viewDidAppear(animated);
    auto defaults = platform::UserDefaults::standard();
    bool notFirstTime = defaults->boolForKey(kNotFirstTimeKey);
    if (!notFirstTime) {
        defaults->setBool(true, kNotFirstTimeKey);
        defaults->synchronize();
        showIntroduction();
    } else if (signedIn() && !defaults->boolForKey(kNotWarmPromptKey) && !isLogined_) {
        showWarmPrompt();
    }
    if (!signedIn()) {
        auto login = std::make_shared<LoginViewController>(std::string(LoginViewController::kClassName));
        // Refused (and logged) while the introduction is up: the sign-in
        // comes when this screen shows again.
        presentInNavigation(login, true, false);
    }
    if (auto delegate = std::dynamic_pointer_cast<ORBAppDelegate>(UIApplication::sharedApplication().delegate()))
        delegate->handleNotication(true);
}

void ORBViewController::presentInNavigation(
    const std::shared_ptr<UIViewController>& screen, bool barHidden, bool animated)
{
    if (presentedViewController())
        return;
    auto navigation = std::make_shared<UINavigationController>(screen);
    navigation->setNavigationBarHidden(barHidden);
    UINavigationBarBackgroundImage::setBgImage(*navigation->navigationBar(), UIImage::imageNamed(kTopBarImage));
    // Behind the status bar: the top bar's colour, as on the tabs, for the
    // screens that show the bar (the sign-in itself covers it).
    navigation->view()->setBackgroundColor(kStatusBarColor);
    UINavigationBar::appearance().shadowImage = std::make_shared<UIImage>(platform::Image(1, 1));
    navigation->navigationBar()->setShadowImage(UINavigationBar::appearance().shadowImage);
    presentViewController(navigation, animated);
}

void ORBViewController::showIntroduction()
{
    if (presentedViewController())
        return;
    auto introduction
        = std::make_shared<IntrodutionViewController>(std::string(IntrodutionViewController::kClassName));
    presentViewController(introduction, true);
}

void ORBViewController::showWarmPrompt()
{
    auto overlay = ProgressOverlay::showHUDAddedTo(view(), true);
    auto prompt = WarmPrompt::make();
    prompt->setText();
    prompt->setDelegate(std::weak_ptr<WarmPromptDelegate>(self()));
    prompt->layer()->setCornerRadius(kPromptCornerRadius);
    overlay->setMode(ProgressOverlayModeCustomView);
    overlay->setAnimationType(ProgressOverlayAnimationZoom);
    overlay->setDimBackground(true);
    overlay->setOpacity(0);
    overlay->setCustomView(prompt);
    // A notice given a moment before (the address book stored while the
    // login went away) lies under the prompt, as those given while it is up do.
    ORBHelper::lowerProgressHudBelow(overlay);
}

void ORBViewController::closePromptWithNotNext(bool notNext)
{
    auto defaults = platform::UserDefaults::standard();
    defaults->setBool(notNext, kNotWarmPromptKey);
    ProgressOverlay::hideHUDForView(view(), true);
    defaults->synchronize();
    isLogined_ = true;
}

void ORBViewController::roleToggle()
{
    auto session = core::MyAccountInfo::instance();
    if (!session || !session->accounts() || session->accounts()->empty())
        return;
    auto chooser = std::make_shared<AccountsViewController>(std::string(AccountsViewController::kClassName));
    presentInNavigation(chooser, false, true);
}

void ORBViewController::logout()
{
    ORBHelper::showProgressHud("正在退出登录，请稍后", true, false);
    std::weak_ptr<ORBViewController> weak = self();
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        kLogoutRequest, platform::Value(platform::Dictionary()), [] {},
        weakCall(weak, [](ORBViewController& screen, const platform::Value&) {
            ORBHelper::hideProgressHud();
            core::MyAccountInfo::setInstance(nullptr);
            auto defaults = platform::UserDefaults::standard();
            defaults->setBool(false, "auto_login");
            defaults->synchronize();
            auto login = std::make_shared<LoginViewController>(std::string(LoginViewController::kClassName));
            screen.presentInNavigation(login, false, true);
        }),
        weakCall(weak, [](ORBViewController&, const std::string&) {
            ORBHelper::showProgressHud("退出登录失败，请重试", false, true);
        }));
}

std::shared_ptr<ORBViewController> ORBViewController::self()
{
    return std::static_pointer_cast<ORBViewController>(shared_from_this());
}

void ORBViewController::setBadgeNum(int badgeNum)
{
    if (badgeBtn_)
        badgeBtn_->setBadgeNum(badgeNum);
}

void ORBViewController::setHomeSchoolBadgeNum(int badgeNum)
{
    if (badgeBtnHomeSchool_)
        badgeBtnHomeSchool_->setBadgeNum(badgeNum < 0 ? 1 : badgeNum);
}

void ORBViewController::btnTabStateChanged(UIControl* button, bool selected)
{
    if (auto* tab = dynamic_cast<MainBtn*>(button))
        tab->setSelect(selected);
}
