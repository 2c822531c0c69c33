// Shared by the libFuzzer targets of this folder: a scratch folder of the
// process's own, files written into it, and the program's log kept quiet
// (every input would otherwise print a line or more).
#pragma once

#include "platform/os/Log.h"
#include "platform/os/StringUtil.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace fuzzsupport {

// The bytes as text: each well-formed UTF-8 character as it is, any other
// byte as the character of its value (0x80 … 0xFF as U+0080 … U+00FF).
inline std::string asText(std::string_view bytes)
{
    std::string out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto b = static_cast<unsigned char>(bytes[i]);
        std::size_t length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        if (length > 1 && i + length <= bytes.size() && platform::isValidUtf8(bytes.substr(i, length))) {
            out.append(bytes.substr(i, length));
            i += length;
            continue;
        }
        out += platform::utf8FromCodePoint(b);
        ++i;
    }
    return out;
}

// A folder under $TMPDIR (or /tmp) for this process, removed at exit.
// The input split at 0xFF bytes (never part of UTF-8) into `count` fields
// (missing ones empty, extra ones dropped), each made text by asText.
inline std::vector<std::string> textFields(const std::uint8_t* data, std::size_t size, std::size_t count)
{
    std::vector<std::string> fields(1);
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF)
            fields.emplace_back();
        else
            fields.back() += static_cast<char>(data[i]);
    }
    fields.resize(count);
    for (auto& field : fields)
        field = asText(field);
    return fields;
}

inline const std::string& scratch()
{
    static const std::string path = [] {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/orb-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data()))
            std::abort();
        static const std::string removeAtExit = pattern;
        std::atexit([] {
            std::error_code ignored;
            std::filesystem::remove_all(removeAtExit, ignored);
        });
        return pattern;
    }();
    return path;
}

inline std::string scratchFile(std::string_view name) { return scratch() + "/" + std::string(name); }

inline void writeFile(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
}

// Empties a folder (and makes it when missing).
inline void emptyFolder(const std::string& path)
{
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
    std::filesystem::create_directories(path, ignored);
}

// Drops every log line; ORB_FUZZ_LOG=1 in the environment keeps them.
inline void quietLog()
{
    static const bool done = [] {
        const char* keep = std::getenv("ORB_FUZZ_LOG");
        if (!keep || std::string_view(keep) != "1")
            platform::setLogSink([](std::string_view) { });
        return true;
    }();
    (void)done;
}

// For a target whose own checking takes more than the program's work: the
// processor seconds of the program's own work on the input, written to the
// file ORB_FUZZ_CLIENT_SECONDS names (run-all replays a slow unit so, to
// tell whether the program or the check was slow).
inline void noteClientSeconds(double seconds)
{
    const char* path = std::getenv("ORB_FUZZ_CLIENT_SECONDS");
    if (!path || !*path)
        return;
    if (std::FILE* file = std::fopen(path, "w")) {
        std::fprintf(file, "%.3f\n", seconds);
        std::fclose(file);
    }
}

// Reads the input as pieces: takeByte and takeText consume from the front.
class Input {
public:
    Input(const std::uint8_t* data, std::size_t size)
        : data_(data)
        , size_(size)
    {
    }
    std::uint8_t takeByte()
    {
        if (!size_)
            return 0;
        --size_;
        return *data_++;
    }
    // Up to the next NUL byte (dropped) or the end.
    std::string takeText()
    {
        std::size_t n = 0;
        while (n < size_ && data_[n] != 0)
            ++n;
        std::string text(reinterpret_cast<const char*>(data_), n);
        std::size_t used = n < size_ ? n + 1 : n;
        data_ += used;
        size_ -= used;
        return text;
    }
    std::string rest()
    {
        std::string text(reinterpret_cast<const char*>(data_), size_);
        data_ += size_;
        size_ = 0;
        return text;
    }
    std::size_t size() const { return size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
};

} // namespace fuzzsupport
