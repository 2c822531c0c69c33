#pragma once

#include "tests/support/ProcessUtil.h"

#include <string>

namespace codectest {

// Runs a shell command with the given bytes as its standard input and returns
// what it printed; the input goes through a file so that no pipe can block.
inline std::string runTool(const std::string& command, const std::string& input, int* status = nullptr)
{
    testsupport::TempDir dir("orb-codec");
    const std::string file = dir.file("input");
    testsupport::writeTextFile(file, input);
    auto result = testsupport::runCommand(command + " < " + testsupport::shellQuoted(file));
    if (status)
        *status = result.status;
    return result.output;
}

inline std::string trimNewline(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
        text.pop_back();
    return text;
}

} // namespace codectest
