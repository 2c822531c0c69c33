#pragma once

namespace app {

// Registers every class of the application shell that is made by name (the
// tab screens, the grid's screens, layouts' own classes), and stands in for
// the feature screens other libraries have not registered. Calls the
// toolkit's registration first. Calling it again is harmless.
void registerAppClasses();

} // namespace app
