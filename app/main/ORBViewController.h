#pragma once

#include "app/main/WarmPrompt.h"
#include "libModule/TabViewController/MainBtn.h"
#include "libModule/TabViewController/MainBtnInfo.h"
#include "libModule/TabViewController/TabViewController.h"
#include "platform/os/NotificationCenter.h"

#include <memory>
#include <vector>

class ProgressOverlay;

inline constexpr const char* kNotificationLoginSucceeded = "NOTIFICATION_LOGIN_SUCCEEDED";
inline constexpr const char* kNotFirstTimeKey = "not_first_time";
inline constexpr const char* kNotWarmPromptKey = "not_warm_prompt";

// The window's root: the five-tab main screen. Each time it comes into view
// it decides whether the introduction, the warm prompt or the sign-in comes
// first; it rebuilds its tabs at every sign-in, and offers the role switch,
// the logout and the two tab badges through the shared tab controller.
class ORBViewController final : public TabViewController, public WarmPromptDelegate {
public:
    ORB_CLASS_NAME(ORBViewController)

    static constexpr const char* kTopBarImage = "public_topbar_bg.png";
    // The modal screens' background: white 0.94.
    // Tab indices other screens switch to.
    static constexpr long kMessageTab = 0;
    static constexpr long kCircleTab = 1;
    static constexpr long kGridTab = 2;
    static constexpr long kContactsTab = 3;
    static constexpr long kSettingsTab = 4;

    ORBViewController();
    explicit ORBViewController(std::string nibName);
    ~ORBViewController() override;

    // The tab table: the same five tabs for every role.
    static const platform::Array& tabTable();

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    void loginSucceeded(const platform::Notification& notification);
    void showWithType(bool notTeacher);
    void showIntroduction();
    void showWarmPrompt();
    void closePromptWithNotNext(bool notNext) override;
    void roleToggle();
    void logout();
    void setBadgeNum(int badgeNum);
    void setHomeSchoolBadgeNum(int badgeNum);
    void btnTabStateChanged(UIControl* button, bool selected) override;

    std::shared_ptr<MainBtn> badgeBtn() const { return badgeBtn_; }
    std::shared_ptr<MainBtn> badgeBtnHomeSchool() const { return badgeBtnHomeSchool_; }
    bool isLogined() const { return isLogined_; }

    // The shared tab controller when it is the main screen.
    static std::shared_ptr<ORBViewController> shared();

private:
    std::shared_ptr<ORBViewController> self();
    // A screen shown modally in a navigation controller with the app's bar.
    void presentInNavigation(const std::shared_ptr<UIViewController>& screen, bool barHidden, bool animated);

    bool isLogined_ = false;
    std::vector<std::shared_ptr<MainBtnInfo>> btnInfos_;
    std::shared_ptr<MainBtn> badgeBtn_;
    std::shared_ptr<MainBtn> badgeBtnHomeSchool_;
    platform::ObserverToken loginObserver_;
};
