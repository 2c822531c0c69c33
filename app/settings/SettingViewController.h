#pragma once

#include "app/base/BaseViewController.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UITableView.h"

#include <memory>
#include <string>

// The rows of the settings tab: sections of rows, each row {"uid": number,
// "name": text}. The identifier picks what a tap does.
platform::Array settingsMenuList();

// "设置", the fifth tab: the application's and the account's entries, each
// dispatched by its row's identifier.
class SettingViewController final : public BaseViewController,
                                    public UITableViewDataSource,
                                    public UITableViewDelegate,
                                    public UIAlertViewDelegate {
public:
    ORB_CLASS_NAME(SettingViewController)

    static constexpr const char* kCellIdentifier = "setting_cell";
    static constexpr double kCellFontSize = 17;

    // The identifiers a row may carry.
    enum Row : int {
        kAbout = 0,
        kRoleToggle = 1,
        kIntroduction = 2,
        kVersionHistoryFromNib = 3,
        kProfile = 4,
        kChangePassword = 5,
        kLogout = 6,
        kCheckUpdate = 7,
        kVersionHistory = 8,
        kNothing = 9,
        kFeedback = 10,
    };

    SettingViewController();
    explicit SettingViewController(std::string nibName);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    long numberOfSectionsInTableView(UITableView*) override;
    long numberOfRowsInSection(UITableView*, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    void didSelectRowAtIndexPath(UITableView*, const NSIndexPath&) override;

    // The settings form of the version check: what the last login announced.
    void checkUpdate();
    void alertViewClickedButton(UIAlertView*, long buttonIndex) override;

private:
    void actOnRow(long long uid);
    void push(const std::string& className);

    platform::Array listData_;
    std::string versionCode_;
    std::string versionUrl_;
    std::shared_ptr<UITableView> tableview_;
};
