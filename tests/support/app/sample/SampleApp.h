#pragma once

#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <string>
#include <vector>

class UIButton;
class UILabel;
class UINavigationController;

// A small application for exercising the harness the way the real screens
// will be: a root with two tabs switched by buttons along the bottom (the
// program's own kind of tab controller, built from plain views), a navigation
// stack under the first tab, a table of lessons, and alerts.
namespace sample {

inline constexpr const char* kQuestionsSentKey = "sample.questionsSent";
inline constexpr double kTabBarHeight = 49;

// The lessons table: a row per lesson; a tap pushes the lesson's screen.
class LessonListController final : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
public:
    std::string className() const override { return "LessonListController"; }
    static const std::vector<std::string>& lessons();

    void loadView() override;
    void viewDidLoad() override;
    std::shared_ptr<UITableView> tableView() const { return table_; }

    long numberOfRowsInSection(UITableView*, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    void didSelectRowAtIndexPath(UITableView*, const NSIndexPath&) override;

private:
    std::shared_ptr<UITableView> table_;
};

// One lesson: its name, and a button that asks before sending a question.
class LessonController final : public UIViewController, public UIAlertViewDelegate {
public:
    explicit LessonController(std::string lesson);
    std::string className() const override { return "LessonController"; }
    const std::string& lesson() const { return lesson_; }

    void viewDidLoad() override;
    void askClicked();
    void alertViewClickedButton(UIAlertView*, long buttonIndex) override;
    std::shared_ptr<UILabel> statusLabel() const { return status_; }

private:
    std::string lesson_;
    std::shared_ptr<UILabel> status_;
};

class SettingsController final : public UIViewController, public UIAlertViewDelegate {
public:
    std::string className() const override { return "SettingsController"; }
    void viewDidLoad() override;
    void signOutClicked();
    void alertViewClickedButton(UIAlertView*, long buttonIndex) override;
    bool signedOut() const { return signedOut_; }

private:
    bool signedOut_ = false;
};

// Two children, one shown at a time above a bar of two buttons. The child
// shown hears its appearance calls, the one put away its disappearance.
class TabRootController final : public UIViewController {
public:
    TabRootController();
    std::string className() const override { return "TabRootController"; }

    void viewDidLoad() override;

    long selectedIndex() const { return selected_; }
    void selectTab(long index);
    const std::vector<std::shared_ptr<UIViewController>>& tabs() const { return tabs_; }
    std::shared_ptr<UINavigationController> lessonsNavigation() const;
    std::shared_ptr<UIButton> tabButton(long index) const;

protected:
    std::vector<std::shared_ptr<UIViewController>> childrenForAppearanceForwarding() const override;

private:
    void firstTabClicked() { selectTab(0); }
    void secondTabClicked() { selectTab(1); }

    std::vector<std::shared_ptr<UIViewController>> tabs_;
    std::vector<std::shared_ptr<UIButton>> buttons_;
    long selected_ = -1;
};

class SampleAppDelegate final : public UIApplicationDelegate {
public:
    bool didFinishLaunchingWithOptions(UIApplication*, const platform::Dictionary& options) override;
    void applicationWillTerminate(UIApplication*) override { terminated_ = true; }
    std::shared_ptr<UIWindow> window() const override { return window_; }
    std::shared_ptr<TabRootController> root() const { return root_; }
    bool terminated() const { return terminated_; }

private:
    std::shared_ptr<UIWindow> window_;
    std::shared_ptr<TabRootController> root_;
    bool terminated_ = false;
};

} // namespace sample
