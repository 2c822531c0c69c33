#pragma once

namespace content {

// Registers every class of the learning-content library created by name
// (the function grid's screens, layout files, cells) and reads the stored
// portal user. Idempotent.
void registerContentClasses();

} // namespace content
