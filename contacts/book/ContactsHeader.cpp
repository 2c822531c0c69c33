#include "contacts/book/ContactsHeader.h"

#include "platform/uikit/UILabel.h"

std::shared_ptr<ContactsHeader> ContactsHeader::make(const std::string& letter)
{
    auto header
        = std::dynamic_pointer_cast<ContactsHeader>(platform::LayoutLoader::lastTopLevelObject(kClassName, nullptr));
    if (header)
        header->lblName_->setText(letter);
    return header;
}

void ContactsHeader::declareLayoutBindings(platform::LayoutBindings& bindings) { bindings.outlet("lblName", lblName_); }
