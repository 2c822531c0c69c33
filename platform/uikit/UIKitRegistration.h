#pragma once

namespace platform {

// Registers every view class of the toolkit (and the bar button item and the
// gesture recognisers) in ClassRegistry::shared() under its class name, for
// the layout loader and the screens created by name. Safe to call again.
void registerUIKitClasses();

} // namespace platform
