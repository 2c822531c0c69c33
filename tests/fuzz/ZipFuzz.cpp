// libFuzzer target: a downloaded zip archive (the address-book package)
// unpacked into a folder. The first byte says whether a password is given;
// the rest is the archive. Nothing is ever written outside the destination
// folder, and nothing may crash.
#include "foundation/zip/ZipArchiver.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    namespace fs = std::filesystem;
    const std::string root = fuzzsupport::scratchFile("unzip");
    const std::string out = root + "/a/out";
    const std::string archive = root + "/in.zip";
    fuzzsupport::emptyFolder(root);
    fuzzsupport::writeFile(archive, data + 1, size - 1);
    {
        foundation::ZipArchiver archiver;
        const bool opened = (data[0] & 1) ? archiver.UnzipOpenFile(archive, "secret") : archiver.UnzipOpenFile(archive);
        if (opened)
            (void)archiver.UnzipFileTo(out, (data[0] & 2) != 0);
        archiver.UnzipCloseFile();
    }
    // Only the archive and the destination folder (with what is in it).
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(root, ec)) {
        if (entry.path() != fs::path(archive) && entry.path() != fs::path(root + "/a"))
            std::abort();
    }
    for (const auto& entry : fs::directory_iterator(root + "/a", ec)) {
        if (entry.path() != fs::path(out))
            std::abort();
    }
    return 0;
}
