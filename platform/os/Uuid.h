#pragma once

#include <string>

namespace platform {

// A new random (version 4) UUID in its standard text form: 36 characters,
// upper-case hexadecimal in groups of 8-4-4-4-12.
std::string makeUuidString();

// A text unique to this call, this process and this moment: a fresh UUID
// followed by the process id and a per-process counter in hexadecimal.
std::string globallyUniqueString();

} // namespace platform
