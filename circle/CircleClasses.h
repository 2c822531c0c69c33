#pragma once

namespace circle {

// Registers every class of the class-circle library that is created by name
// (the second tab's screen, layout cells, screens opened by class name). Idempotent.
void registerCircleClasses();

} // namespace circle
