#pragma once

// Shared between the JPEG code of this library only (ImageCodecs.cpp and
// ProgressiveJpeg.cpp); not part of its interface. Includes libjpeg, so only
// .cpp files of this library include it.
//
// libjpeg reports fatal errors through error_exit, which by default ends the
// process; ours longjmps back to the caller's setjmp(err.jump) instead. The
// functions that call setjmp create every C++ object they own before setjmp,
// so a longjmp never skips a destructor.

#include "platform/graphics/Image.h"

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <vector>

#include <jpeglib.h>

namespace platform::graphics_internal {

// What the codec's warnings (message level -1) do.
enum class JpegWarnings {
    Ignore, // all ignored
    RefuseCorrupt, // a warning about corrupt data longjmps at once; a JFIF or
                   // Adobe version note is let through
    NoteCorrupt, // every warning sets JpegError::corrupt and the codec goes on
};

struct JpegError {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    JpegWarnings warnings;
    bool corrupt;
};

// Sets up err with the given warning rule and returns it for info.err.
jpeg_error_mgr* prepareJpegErrors(JpegError& err, JpegWarnings warnings);

// Encodes the image composed over black as 3-channel JPEG at quality 1...100,
// progressive (a simple progression) when asked. Nullopt when the codec fails.
std::optional<std::vector<std::uint8_t>> encodeJpegRgb(const Image& source, int quality, bool progressive);

} // namespace platform::graphics_internal
