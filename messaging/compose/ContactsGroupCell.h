#pragma once

#include "core/model/GroupInfo.h"
#include "ui/tables/BaseCell.h"

#include <memory>

#include "platform/uikit/UILabel.h"

class ContactsGroupCell;
class UIImageView;
class UIView;

// The group row's count: its text with the first run of the count's digits
// drawn larger and in a colour of their own.
class ContactsCountLabel final : public UILabel {
public:
    ORB_CLASS_NAME(ContactsCountLabel)

    // Highlights the first occurrence of `digits` in the text; empty: none.
    void setHighlight(std::string digits, const UIColor& colour, const UIFont& font);
    const std::string& highlightedDigits() const { return digits_; }
    const UIColor& highlightColour() const { return colour_; }

protected:
    void drawTextInRect(platform::Context& context, const platform::Rect& rect) override;

private:
    std::string digits_;
    UIColor colour_ = UIColor::blackColor();
    UIFont font_ = UIFont::systemFont(16);
};

// What a group row tells the receiver picker: its checkbox was tapped.
class ContactsGroupCellDelete {
public:
    virtual ~ContactsGroupCellDelete() = default;
    virtual void contactsGroupCellDidSelected(ContactsGroupCell& cell, const std::shared_ptr<core::GroupInfo>& group) = 0;
};

// One address-book group in the receiver picker: its name, how many of its
// people are chosen, and a checkbox that takes or clears the whole group.
class ContactsGroupCell final : public BaseCell {
public:
    ORB_CLASS_NAME(ContactsGroupCell)

    static constexpr const char* kEmptyText = "该分组为空";
    static constexpr const char* kEmptyImage = "contacts_checkbox_select_null.png";
    static constexpr const char* kAllImage = "contacts_checkbox_select_all.png";
    static constexpr const char* kSomeImage = "contacts_checkbox_select.png";
    static constexpr double kCountFontSize = 13;
    static constexpr double kDigitsFontSize = 16;
    static constexpr const char* kDigitsColour = "9000ff";

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

    void setDelegate(std::weak_ptr<ContactsGroupCellDelete> delegate) { delegate_ = std::move(delegate); }
    void setGroup(std::shared_ptr<core::GroupInfo> group);
    const std::shared_ptr<core::GroupInfo>& group() const { return group_; }
    void setLineHidden(bool hidden);
    void btnCheckBoxTouchUpInside(UIControl* sender);

private:
    void highlightCount();

    std::weak_ptr<ContactsGroupCellDelete> delegate_;
    std::shared_ptr<core::GroupInfo> group_;
    std::shared_ptr<UIView> lineView_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<ContactsCountLabel> lblCount_;
    std::shared_ptr<UIImageView> imgCheckBox_;
    std::shared_ptr<UIImageView> imgCheckBoxBg_;
    // The name's place in the layout, above the count.
    platform::Rect nameFrame_;
};
