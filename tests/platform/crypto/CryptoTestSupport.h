#pragma once

#include "platform/os/Value.h"

#include <filesystem>
#include <string>

namespace cryptotest {

// A fresh folder for the files handed to the reference tools; removed afterwards.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    std::filesystem::path file(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Runs a shell command; its standard output, and the exit status in *status.
std::string run(const std::string& command, int* status);
void writeFile(const std::filesystem::path& path, const platform::Bytes& bytes);
platform::Bytes readFile(const std::filesystem::path& path);
std::string hexOf(const platform::Bytes& bytes);
std::string quoted(const std::filesystem::path& path);
// Deterministic pseudo-random bytes, so a failure can be reproduced.
platform::Bytes randomBytes(std::size_t size, unsigned seed);

} // namespace cryptotest
