#pragma once

namespace messaging {

// Registers every class of the messaging library that is created by name
// (layout files, screens opened by class name). Idempotent.
void registerMessagingClasses();

} // namespace messaging
