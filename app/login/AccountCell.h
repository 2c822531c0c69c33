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

    std::shared_ptr<UIImageView> imgAvatar() const { return imgAvatar_.lock(); }
    std::shared_ptr<UILabel> lblName() const { return lblName_.lock(); }
    std::shared_ptr<UILabel> lblType() const { return lblType_.lock(); }
    std::shared_ptr<UILabel> lblSchool() const { return lblSchool_.lock(); }
    std::shared_ptr<UIView> subLabelView() const { return subLabelView_.lock(); }
    std::shared_ptr<UIImageView> imgChecked() const { return imgChecked_.lock(); }

private:
    std::shared_ptr<core::AccountInfo> account_;
    std::weak_ptr<UIImageView> imgAvatar_;
    std::weak_ptr<UILabel> lblName_;
    std::weak_ptr<UILabel> lblType_;
    std::weak_ptr<UILabel> lblSchool_;
    std::weak_ptr<UIView> subLabelView_;
    std::weak_ptr<UIImageView> imgChecked_;
};
