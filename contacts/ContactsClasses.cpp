#include "contacts/ContactsClasses.h"

#include "contacts/book/ContactsHeader.h"
#include "contacts/book/ContactsOneCell.h"
#include "contacts/book/ContactsTabButton.h"
#include "contacts/book/ContactsTwoCell.h"
#include "contacts/book/ContactsViewController.h"
#include "contacts/calls/CNumberViewController.h"
#include "contacts/calls/CTDCallViewController.h"
#include "contacts/calls/CTDViewCell.h"
#include "contacts/calls/CallNumberViewController.h"
#include "contacts/calls/HistoryNumberCell.h"
#include "contacts/calls/VelaDialView.h"
#include "contacts/detail/ContactsDetailViewController.h"
#include "contacts/warn/WarnView.h"
#include "platform/os/ClassRegistry.h"

namespace contacts {

void registerContactsClasses()
{
    auto& registry = platform::ClassRegistry::shared();
    // The fourth tab's screen comes with its book read and, for an account
    // that never loaded one, its download under way.
    registry.registerClass(std::string(ContactsViewController::kClassName),
        [] { return std::static_pointer_cast<platform::Object>(ContactsViewController::create()); });
    registry.registerClass<ContactsTabButton>();
    registry.registerClass<ContactsHeader>();
    registry.registerClass<WarnView>();
    registry.registerClass<ContactsDetailViewController>();
    registry.registerClass<CallNumberViewController>();
    registry.registerClass<CNumberViewController>();
    BaseCell::registerCellClass<HistoryNumberCell>();
    registry.registerClass<CTDCallViewController>();
    BaseCell::registerCellClass<CTDViewCell>();
    BaseCell::registerCellClass<ContactsOneCell>();
    BaseCell::registerCellClass<ContactsTwoCell>();
}

} // namespace contacts
