#pragma once

// Helpers shared by the text tests: running the system's own tools on the
// same input, scratch files, and a time zone switch that is undone.

#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace textsupport {

// Runs a shell command; its standard output, or nullopt when it fails.
inline std::optional<std::string> runCommand(const std::string& command)
{
    auto result = testsupport::runCommand(command);
    if (result.status != 0)
        return std::nullopt;
    return result.output;
}

inline std::string withoutTrailingNewline(std::string text)
{
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

// A private folder under the system temporary folder, removed with the object.
class ScratchFolder final : public testsupport::TempDir {
public:
    ScratchFolder()
        : TempDir("orb-text")
    {
    }
    std::string write(const std::string& name, const std::string& bytes) const
    {
        testsupport::writeTextFile(file(name), bytes);
        return file(name);
    }
};

// Sets TZ for the life of the object and restores the previous value.
class ScopedTimeZone final {
public:
    explicit ScopedTimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            previous_ = old;
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ScopedTimeZone()
    {
        if (previous_)
            setenv("TZ", previous_->c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> previous_;
};

} // namespace textsupport
