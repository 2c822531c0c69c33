#pragma once

#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <string>

class UILabel;

// A section's letter above its rows in the address book.
class ContactsHeader final : public UIView, public platform::LayoutBindable {
public:
    ORB_CLASS_NAME(ContactsHeader)

    static constexpr double kHeight = 9.0;

    ContactsHeader() = default;
    // The last object of the layout, showing the letter.
    static std::shared_ptr<ContactsHeader> make(const std::string& letter);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    std::shared_ptr<UILabel> lblName() const { return lblName_; }

private:
    std::shared_ptr<UILabel> lblName_;
};
