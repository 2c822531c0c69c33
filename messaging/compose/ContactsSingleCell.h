#pragma once

#include "core/model/ContactInfo.h"
#include "platform/graphics/Geometry.h"
#include "ui/tables/BaseCell.h"

#include <memory>

class UIImageView;
class UILabel;
class UIView;

// One person of an opened group in the receiver picker: name and remarks, a
// tick when chosen, and for someone who cannot receive, why not.
class ContactsSingleCell final : public BaseCell {
public:
    ORB_CLASS_NAME(ContactsSingleCell)

    static constexpr const char* kSelectedImage = "contacts_checkbox_select.png";
    static constexpr const char* kNotCustomerImage = "contacts_checkbox_select_null.png";
    static constexpr const char* kNoVerifiedPhone = "未认证手机号码";
    static constexpr const char* kNoService = "该用户没有订购业务";
    // A name without remarks sits this much lower, in the middle of the row.
    static constexpr double kNameDropWithoutRemarks = 7;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

    void setContact(std::shared_ptr<core::ContactInfo> contact);
    const std::shared_ptr<core::ContactInfo>& contact() const { return contact_; }
    void setLineHidden(bool hidden);

private:
    platform::Rect orgFrame_;
    std::shared_ptr<core::ContactInfo> contact_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblRemarks_;
    std::shared_ptr<UIImageView> imgCheckBoxBg_;
    std::shared_ptr<UIImageView> imgCheckBox_;
    std::shared_ptr<UILabel> lblNotCustomer_;
    std::shared_ptr<UIView> lineView_;
};
