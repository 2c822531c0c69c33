#pragma once

#include "platform/os/Error.h"

#include <optional>
#include <string>

namespace foundation {

// Putting a finished download at its destination: plain file work on paths of
// its own, so that it can run on any thread (the file queue, away from the
// network thread, for an asynchronous request).
struct DownloadPlacement {
    enum class Step { Move, Inflate, WriteEmpty };
    Step step = Step::Move;
    // The finished file: moved (Move) or inflated (Inflate) to the destination.
    std::string from;
    std::string destination;
    // A file of the download removed once the step is done, whatever its outcome.
    std::string discard;

    std::optional<platform::Error> run() const;
};

} // namespace foundation
