#include "foundation/http/DownloadPlacement.h"

#include "foundation/http/DataDecompressor.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/Uuid.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace foundation {

namespace {

using platform::Error;

// Puts a finished file at the destination in one step: readers find the old
// file or the complete new one, never a part. Across file systems the copy is
// made beside the destination first.
std::optional<Error> replaceFile(const std::string& from, const std::string& to)
{
    if (::rename(from.c_str(), to.c_str()) == 0)
        return std::nullopt;
    if (errno != EXDEV)
        return platform::FileUtil::posixError(errno, "rename", to);
    std::string sibling = to + ".part-" + platform::globallyUniqueString();
    Error error;
    if (!platform::FileUtil::copy(from, sibling, &error)) {
        ::unlink(sibling.c_str());
        return error;
    }
    if (::rename(sibling.c_str(), to.c_str()) != 0) {
        int saved = errno;
        ::unlink(sibling.c_str());
        return platform::FileUtil::posixError(saved, "rename", to);
    }
    ::unlink(from.c_str());
    return std::nullopt;
}

} // namespace

std::optional<Error> DownloadPlacement::run() const
{
    std::optional<Error> result;
    switch (step) {
    case Step::Move:
        if (auto cause = replaceFile(from, destination)) {
            ::unlink(from.c_str());
            result = makeHTTPRequestError(FileManagementError,
                platform::format("Failed to move file from '%s' to '%s'", from.c_str(), destination.c_str()),
                &*cause);
        }
        break;
    case Step::Inflate: {
        Error error;
        if (!DataDecompressor::uncompressDataFromFile(from, destination, &error))
            result = error;
        break;
    }
    case Step::WriteEmpty: {
        // A compressed response without a single body byte inflates to an empty file.
        Error cause;
        if (!platform::FileUtil::write(
                destination, platform::Bytes(), platform::FileUtil::WriteMode::Atomic, &cause))
            result = cause;
        break;
    }
    }
    if (!discard.empty())
        HTTPRequest::removeFileAtPath(discard, nullptr);
    return result;
}

} // namespace foundation
