#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr const char* kDefaultMimeType = "application/octet-stream";

// The MIME type for a file name extension (without the dot, any case).
// A fixed table comes first, for the types our uploads and downloads must
// name exactly (jpg/jpeg "image/jpeg", png "image/png", amr "audio/amr",
// wav "audio/wav", ...); then the system's /etc/mime.types; then
// "application/octet-stream".
std::string mimeTypeForExtension(std::string_view extension);

// The MIME type of the file at a path, by its extension; nullopt when no file
// exists there.
std::optional<std::string> mimeTypeForFileAtPath(const std::string& path);

// The extension of the last path component ("" when it has none; a leading
// dot as in ".profile" does not start an extension).
std::string pathExtension(std::string_view path);

} // namespace platform
