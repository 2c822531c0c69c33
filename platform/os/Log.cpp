#include "platform/os/Log.h"

#include <cstdarg>
#include <cstdio>
#include <unistd.h>

namespace platform {

namespace {
std::mutex& sinkMutex()
{
    static std::mutex m;
    return m;
}

LogSink& currentSink()
{
    static LogSink sink;
    return sink;
}

std::string vformat(const char* fmt, va_list args)
{
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    if (n <= 0)
        return {};
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    std::vsnprintf(out.data(), out.size(), fmt, args);
    out.resize(static_cast<std::size_t>(n));
    return out;
}
} // namespace

void logText(std::string_view text)
{
    LogSink sink;
    {
        std::lock_guard lock(sinkMutex());
        sink = currentSink();
    }
    if (sink) {
        sink(text);
        return;
    }
    std::string line(text);
    if (line.empty() || line.back() != '\n')
        line += '\n';
    ssize_t ignored = ::write(2, line.data(), line.size());
    (void)ignored;
}

void log(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string text = vformat(fmt, args);
    va_end(args);
    logText(text);
}

std::string format(const char* fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    std::string text = vformat(fmt, args);
    va_end(args);
    return text;
}

LogSink setLogSink(LogSink sink)
{
    std::lock_guard lock(sinkMutex());
    LogSink previous = std::move(currentSink());
    currentSink() = std::move(sink);
    return previous;
}

bool logWritesToStandardError()
{
    std::lock_guard lock(sinkMutex());
    return !currentSink();
}

LogCapture::LogCapture()
{
    previous_ = setLogSink([this](std::string_view line) {
        std::lock_guard lock(mutex_);
        lines_.emplace_back(line);
    });
}

LogCapture::~LogCapture() { setLogSink(std::move(previous_)); }

std::vector<std::string> LogCapture::lines() const
{
    std::lock_guard lock(mutex_);
    return lines_;
}

bool LogCapture::contains(std::string_view fragment) const
{
    std::lock_guard lock(mutex_);
    for (const auto& l : lines_) {
        if (l.find(fragment) != std::string::npos)
            return true;
    }
    return false;
}

void LogCapture::clear()
{
    std::lock_guard lock(mutex_);
    lines_.clear();
}

} // namespace platform
