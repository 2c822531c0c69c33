#pragma once

namespace ui {

// Registers every class of the toolkit that layouts or screens create by
// name. The application calls it once at start-up; calling it again is harmless.
void registerUIClasses();

} // namespace ui
