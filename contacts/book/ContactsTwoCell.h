#pragma once

#include "contacts/book/ContactsCellDelegate.h"
#include "ui/tables/BaseCell.h"

#include <memory>
#include <string>

class UIButton;
class UIControl;
class UIImageView;
class UILabel;
class UIView;

// A contact the platform cannot reach: avatar, name, remarks and why
// ("未认证手机号码" for a teacher without a verified number, "该用户没有订购业务"
// for anyone else who does not subscribe).
class ContactsTwoCell final : public BaseCell {
public:
    ORB_CLASS_NAME(ContactsTwoCell)

    static constexpr double kAvatarCornerRadius = 4.0;
    static constexpr const char* kUnverifiedText = "未认证手机号码";
    static constexpr const char* kNotSubscribedText = "该用户没有订购业务";

    ContactsTwoCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

    void setContact(std::shared_ptr<core::ContactInfo> contact);
    const std::shared_ptr<core::ContactInfo>& contact() const { return contact_; }
    void setDelegate(std::weak_ptr<ContactsCellDelegate> delegate) { delegate_ = std::move(delegate); }
    void btnAvatarTouchUpInside(UIControl* sender);

    std::shared_ptr<UIView> lineView() const { return lineView_; }
    std::shared_ptr<UILabel> lblName() const { return lblName_; }
    // The not-subscribed text for the contact, empty when the label hides.
    static std::string notCustomerText(const core::ContactInfo& contact);

private:
    std::shared_ptr<core::ContactInfo> contact_;
    std::weak_ptr<ContactsCellDelegate> delegate_;
    std::shared_ptr<UIImageView> imgAvatar_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblRemarks_;
    std::shared_ptr<UILabel> lblNotCustomer_;
    std::shared_ptr<UIView> lineView_;
    std::shared_ptr<UIButton> btnAvatar_;
};
