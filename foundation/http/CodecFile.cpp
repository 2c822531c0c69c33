#include "foundation/http/CodecFile.h"

#include "foundation/http/FileDescriptor.h"
#include "foundation/http/HTTPRequestError.h"
#include "platform/os/Log.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace foundation {

namespace http_detail {

namespace {

    constexpr std::size_t kPieceSize = 262144;

} // namespace

bool runCodecFromFileToFile(const std::string& sourcePath, const std::string& destinationPath,
    const CodecFileSteps& steps, platform::Error* error)
{
    struct stat st { };
    if (::stat(sourcePath.c_str(), &st) != 0 || S_ISDIR(st.st_mode)) {
        platform::setError(error,
            makeHTTPRequestError(CompressionError,
                platform::format("%s of %s failed the file does not exist", steps.verb, sourcePath.c_str())));
        return false;
    }

    // The result is built beside the destination and renamed over it only when
    // complete, so a reader never finds a half-written file there.
    std::string temporaryPath = destinationPath + ".partXXXXXX";
    FileDescriptor out(::mkostemp(temporaryPath.data(), O_CLOEXEC));
    if (!out) {
        platform::Error cause = posixError(errno);
        platform::setError(error,
            makeHTTPRequestError(CompressionError,
                platform::format("%s of %s failed because we were to create a file at %s", steps.verb,
                    sourcePath.c_str(), destinationPath.c_str()),
                &cause));
        return false;
    }
    ::fchmod(out.get(), 0644);

    auto fail = [&](platform::Error err) {
        out.close();
        ::unlink(temporaryPath.c_str());
        platform::setError(error, std::move(err));
        return false;
    };
    auto writeFailure = [&](int errnoValue) {
        platform::Error cause = posixError(errnoValue);
        return makeHTTPRequestError(CompressionError,
            platform::format("%s of %s failed because we were unable to write to the destination data file at %s",
                steps.verb, sourcePath.c_str(), destinationPath.c_str()),
            &cause);
    };

    FileDescriptor in = FileDescriptor::open(sourcePath, O_RDONLY);
    if (!in) {
        platform::Error cause = posixError(errno);
        return fail(makeHTTPRequestError(CompressionError,
            platform::format("%s of %s failed because we were unable to read from the source data file", steps.verb,
                sourcePath.c_str()),
            &cause));
    }

    platform::Bytes buffer(kPieceSize);
    platform::Bytes produced;
    for (;;) {
        ssize_t n = in.read(buffer.data(), buffer.size());
        if (n < 0) {
            platform::Error cause = posixError(errno);
            return fail(makeHTTPRequestError(CompressionError,
                platform::format("%s of %s failed because we were unable to read from the source data file", steps.verb,
                    sourcePath.c_str()),
                &cause));
        }
        bool isLast = n == 0;
        platform::Bytes piece(buffer.begin(), buffer.begin() + n);
        produced.clear();
        platform::Error codecError;
        if (!steps.piece(piece, isLast, produced, &codecError))
            return fail(std::move(codecError));
        if (!out.writeAll(produced.data(), produced.size()))
            return fail(writeFailure(errno));
        if (isLast)
            break;
    }
    in.close();
    if (!out.close()) {
        int saved = errno;
        ::unlink(temporaryPath.c_str());
        platform::setError(error, writeFailure(saved));
        return false;
    }
    if (::rename(temporaryPath.c_str(), destinationPath.c_str()) != 0) {
        int saved = errno;
        ::unlink(temporaryPath.c_str());
        platform::setError(error, writeFailure(saved));
        return false;
    }
    return true;
}

} // namespace http_detail

} // namespace foundation
