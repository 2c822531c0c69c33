#pragma once

// The lesson service's demo content, internal to the server library.

#include "platform/os/Value.h"

#include <optional>

namespace server::lessons {

// Addresses inside are written with the base marker of the pull path. Built
// once and never changed.
const platform::Value& users();
const platform::Value& subjects();
// Every lesson with its videos; lists leave the videos out.
const platform::Value& lessons();
const platform::Value& liveVideos();

} // namespace server::lessons
