#pragma once

namespace teaching {

// Registers every class of the teaching tools that is created by name
// (layout files, screens opened by class name). Idempotent.
void registerTeachingClasses();

} // namespace teaching
