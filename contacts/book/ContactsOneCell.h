#pragma once

#include "contacts/book/ContactsCellDelegate.h"
#include "ui/tables/BaseCell.h"

#include <memory>

class UIButton;
class UIControl;
class UIImageView;
class UILabel;
class UIView;

namespace contacts {
// The row's avatar: the cached picture of the address when there is one,
// else the placeholder and a load of the address.
void showAvatar(const std::shared_ptr<UIImageView>& avatar, const std::string& address);
} // namespace contacts

// A contact who can be reached through the platform: avatar, name, remarks,
// and the call and message buttons (hidden without a phone).
class ContactsOneCell final : public BaseCell {
public:
    ORB_CLASS_NAME(ContactsOneCell)

    static constexpr double kAvatarCornerRadius = 4.0;
    static constexpr double kRemarksDrop = 6;

    ContactsOneCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

    // The call button's picture depends on who is signed in.
    void setIsTeacher(bool isTeacher);
    void setContact(std::shared_ptr<core::ContactInfo> contact);
    const std::shared_ptr<core::ContactInfo>& contact() const { return contact_; }
    void setDelegate(std::weak_ptr<ContactsCellDelegate> delegate) { delegate_ = std::move(delegate); }

    void btnCallTouchUpInside(UIControl* sender);
    void btnSmsTouchUpInside(UIControl* sender);
    void btnAvatarTouchUpInside(UIControl* sender);

    std::shared_ptr<UIView> lineView() const { return lineView_; }
    std::shared_ptr<UILabel> lblName() const { return lblName_; }

private:
    std::shared_ptr<core::ContactInfo> contact_;
    std::weak_ptr<ContactsCellDelegate> delegate_;
    std::shared_ptr<UIImageView> imgAvatar_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblRemarks_;
    std::shared_ptr<UILabel> lblPhone_;
    std::shared_ptr<UIView> lineView_;
    std::shared_ptr<UIButton> btnCall_;
    std::shared_ptr<UIButton> btnSms_;
    std::shared_ptr<UIButton> btnAvatar_;
};
