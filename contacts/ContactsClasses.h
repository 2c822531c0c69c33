#pragma once

namespace contacts {

// Registers every class of the contacts library that is created by name
// (layout files, the tab bar, the function grid). Idempotent.
void registerContactsClasses();

} // namespace contacts
