#pragma once

#include "core/session/AccountInfo.h"
#include "ui/tables/BaseCell.h"

#include <memory>

class UIImageView;
class UILabel;
class UIView;

// One account in the chooser: avatar, name, role, school, and a check mark
// on the account in use.
class AccountCell final : public BaseCell {
public:
    ORB_CLASS_NAME(AccountCell)

    static constexpr double kAvatarCornerRadius = 4;
    static constexpr double kMaxNameBoxWidth = 180;

    AccountCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    const std::shared_ptr<core::AccountInfo>& account() const { return account_; }
    void setAccount(std::shared_ptr<core::AccountInfo> account);

    // "教师", "家长", or "学生" for any other type.
    static std::string roleText(int accountType);

    const std::shared_ptr<UIImageView>& imgAvatar() const { return imgAvatar_; }
    const std::shared_ptr<UILabel>& lblName() const { return lblName_; }
    const std::shared_ptr<UILabel>& lblSchool() const { return lblSchool_; }
    const std::shared_ptr<UIView>& subLabelView() const { return subLabelView_; }

private:
    std::shared_ptr<core::AccountInfo> account_;
    std::shared_ptr<UIImageView> imgAvatar_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblType_;
    std::shared_ptr<UILabel> lblSchool_;
    std::shared_ptr<UIView> subLabelView_;
    std::shared_ptr<UIImageView> imgChecked_;
};
