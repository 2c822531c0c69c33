#pragma once

#include <functional>
#include <optional>
#include <string>
#include <sys/resource.h>

// Faults of the file system for tests that must see how code copes with a
// disk that is full or a folder it may not write, on real files.
namespace testsupport {

// Runs `body` in a child process whose files cannot grow past `limit` bytes,
// as on a full disk: a write past it fails (EFBIG) and does not end the
// process. Answers what the body returned, passed back through a pipe (which
// the limit does not touch); nothing when the child did not end normally.
std::optional<std::string> runWithFileSizeLimit(rlim_t limit, const std::function<std::string()>& body);

// For the life of the object the calling thread is held to files' permission
// bits even when it runs as root, which otherwise writes into any folder: a
// folder without write permission is then read-only for it too. Nothing
// changes for other threads, or for a user who is not root.
class PermissionsEnforced final {
public:
    PermissionsEnforced();
    ~PermissionsEnforced();
    PermissionsEnforced(const PermissionsEnforced&) = delete;
    PermissionsEnforced& operator=(const PermissionsEnforced&) = delete;

private:
    bool dropped_ = false;
};

} // namespace testsupport
