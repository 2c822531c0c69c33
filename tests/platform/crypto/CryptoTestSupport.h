#pragma once

#include "platform/os/Value.h"
#include "tests/support/ProcessUtil.h"

#include <filesystem>
#include <string>

namespace cryptotest {

using testsupport::TempDir;

void writeFile(const std::string& path, const platform::Bytes& bytes);
platform::Bytes readFile(const std::string& path);
std::string hexOf(const platform::Bytes& bytes);
// Deterministic pseudo-random bytes, so a failure can be reproduced.
platform::Bytes randomBytes(std::size_t size, unsigned seed);

} // namespace cryptotest
