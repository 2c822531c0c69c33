#pragma once

// For the engine's own sources only. Inside a member of HTTPRequest: holds
// the request's own (recursive) lock until the end of the scope. Plain
// accessors use locked() and setLocked() instead.
#define HTTP_LOCKED std::lock_guard<std::recursive_mutex> lock(cancelledLock_)
