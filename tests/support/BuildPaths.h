#pragma once

#include <string>

// Where the tests and benchmarks find the repository and what the build made.
// The folders are compiled into one small generated file only, so every other
// object of a test program is the same whichever folder the repository was
// cloned into (and the compiler cache serves a fresh clone).
namespace testsupport {

// The repository's folder: $ORB_SOURCE_DIR when set (ctest sets it), else
// the folder the build was configured from.
std::string sourceDir();
// A file or folder of the repository, given relative to its top.
std::string sourcePath(const std::string& relative);
// A file or folder of the build, given relative to the build folder's top
// (the programs the tests start, the pictures they write).
std::string buildPath(const std::string& relative);

} // namespace testsupport
