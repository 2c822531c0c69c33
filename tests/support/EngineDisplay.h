#pragma once
// The X server a test program's web pages draw on: one for the whole
// program, since the engine keeps its display open until the process ends.
// A test file of the program registers it once:
//   [[maybe_unused]] auto* const kDisplay = testsupport::addEngineDisplay();
#include <gtest/gtest.h>

namespace testsupport {

::testing::Environment* addEngineDisplay();

} // namespace testsupport
