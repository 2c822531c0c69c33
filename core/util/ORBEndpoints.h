#pragma once

// The endpoint table lives with the session, which needs the server base for
// the page script; code that thinks of it as a utility can include it here.
#include "core/session/ORBEndpoints.h"
