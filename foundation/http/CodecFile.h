#pragma once

// File-to-file driver shared by the two gzip codecs. Private to foundation/http.

#include "platform/os/Error.h"
#include "platform/os/Value.h"

#include <functional>
#include <optional>
#include <string>

namespace foundation {

namespace http_detail {

struct CodecFileSteps {
    // "Compression" or "Decompression": the first word of every message.
    const char* verb;
    // Runs one piece and answers the bytes to write (empty when none). The end
    // of the source is one last call with an empty piece and isLast set.
    // Answers false with the error filled on failure.
    std::function<bool(const platform::Bytes& piece, bool isLast, platform::Bytes& out, platform::Error* error)> piece;
};

// Reads the source in pieces of 262,144 bytes, runs them through the codec and
// writes a temporary file beside the destination that replaces it on success.
bool runCodecFromFileToFile(const std::string& sourcePath, const std::string& destinationPath,
    const CodecFileSteps& steps, platform::Error* error);

} // namespace http_detail

} // namespace foundation
