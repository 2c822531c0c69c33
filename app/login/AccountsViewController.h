#pragma once

#include "app/base/BaseViewController.h"
#include "platform/uikit/UITableView.h"

#include <memory>

class UIControl;

// The account chooser: the session's accounts in the order of the login
// reply; choosing one makes it current and announces the sign-in.
class AccountsViewController final : public BaseViewController,
                                     public UITableViewDataSource,
                                     public UITableViewDelegate {
public:
    ORB_CLASS_NAME(AccountsViewController)

    AccountsViewController();
    explicit AccountsViewController(std::string nibName);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void btnBackTouchUpInside(UIControl* sender);

    long numberOfRowsInSection(UITableView*, long section) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    void didSelectRowAtIndexPath(UITableView*, const NSIndexPath&) override;

private:
    std::shared_ptr<UITableView> tableView_;
};
