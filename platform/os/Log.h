#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

// One line of program output. The default sink writes to standard error;
// tests install a capture to check exact texts.
using LogSink = std::function<void(std::string_view line)>;

// printf-style logging. The formatted text is passed to the sink as it is
// (a trailing newline in the format stays part of the text).
void log(const char* format, ...) __attribute__((format(printf, 1, 2)));
void logText(std::string_view text);
// printf-style formatting into a string.
std::string format(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Replaces the sink; returns the previous one. An empty sink restores standard error.
LogSink setLogSink(LogSink sink);
// True while no sink is set, so that logged text goes to standard error.
bool logWritesToStandardError();

// Collects every logged text while it lives, then restores the previous sink.
class LogCapture final {
public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<std::string> lines() const;
    // True when any captured text contains the fragment.
    bool contains(std::string_view fragment) const;
    void clear();

private:
    mutable std::mutex mutex_;
    std::vector<std::string> lines_;
    LogSink previous_;
};

} // namespace platform
