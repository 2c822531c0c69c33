#pragma once

#include "app/base/BaseViewController.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITextField.h"

#include <array>
#include <memory>

class UIControl;

// "修改密码": the old password and the new one twice; a changed password
// signs the user out, and the login screen shows the account again. Return
// goes from one field to the next and, on the confirmation, puts the
// keyboard away.
class ChangePasswordViewController final : public BaseViewController,
                                           public UITableViewDataSource,
                                           public UITableViewDelegate,
                                           public UITextFieldDelegate {
public:
    ORB_CLASS_NAME(ChangePasswordViewController)

    static constexpr const char* kCellIdentifier = "password_cell";
    static constexpr int kChangePasswordRequest = 7;
    static constexpr double kRowFontSize = 17;
    static constexpr const char* kHint = "温馨提示：新密码不少于8位，为数字与字母的组合，如qe5R8n4tv";

    ChangePasswordViewController();

    void viewDidLoad() override;
    void viewDidAppear(bool animated) override;

    long numberOfSectionsInTableView(UITableView*) override { return 1; }
    long numberOfRowsInSection(UITableView*, long) override { return long(fields_.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;

    bool textFieldShouldReturn(UITextField* field) override;

    void submitPwdChange(UIControl* sender);
    void backToLoginPage();
    void backUserInfo(UIControl* sender);

private:
    std::shared_ptr<UITableView> pwdTableView_;
    // Old password, new password, confirmation: kept here rather than read
    // back out of the cells, which a table may rebuild.
    std::array<std::shared_ptr<UITextField>, 3> fields_;
};
