#pragma once

#include <string>

// Whether the address is an http or https address that may be handed to the
// browser. Addresses from pushes and login replies are opened only then.
bool isWebAddress(const std::string& address);
