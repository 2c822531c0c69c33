#pragma once

namespace app {

// Registers the profile screen, which sits above both the application shell
// and messaging (its avatar is messaging's photo tile). Call after
// registerAppClasses, whose stand-in it replaces. Idempotent.
void registerProfileClasses();

} // namespace app
