#pragma once

#include "core/model/GroupInfo.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIButton.h"

#include <memory>

class UIImageView;
class UILabel;
class UIView;

// One group's tab on the address book's strip: the group name, a background
// and an underline; as wide as the name plus the layout's margins.
class ContactsTabButton final : public UIButton, public platform::LayoutBindable {
public:
    ORB_CLASS_NAME(ContactsTabButton)

    ContactsTabButton() = default;
    // The last object of the layout, measured.
    static std::shared_ptr<ContactsTabButton> make();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

    const std::shared_ptr<core::GroupInfo>& group() const { return group_; }
    // Shows the name and takes its width plus the padding.
    void setGroup(std::shared_ptr<core::GroupInfo> group);
    bool select() const { return select_; }
    void setSelect(bool select);
    double padding() const { return padding_; }

    std::shared_ptr<UILabel> lblName() const { return lblName_; }
    std::shared_ptr<UIView> lineView() const { return lineView_; }

private:
    void refreshLook();

    std::shared_ptr<core::GroupInfo> group_;
    bool select_ = false;
    double padding_ = 0;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UIImageView> imgBg_;
    std::shared_ptr<UIView> lineView_;
};
