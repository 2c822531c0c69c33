// The scratch folders of a benchmark program under the system's temporary
// folder (/tmp/orb-bench-<name>-<pid>), removed when the program ends: on a
// normal return from main, on exit() from a failure path, and on SIGINT,
// SIGTERM or SIGHUP. Set ORB_BENCH_KEEP=1 to keep them (to look at the
// frames a benchmark wrote), in which case their paths are printed.
#pragma once

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace benchsupport {

class BenchFolders {
public:
    static BenchFolders& shared()
    {
        static BenchFolders folders;
        return folders;
    }

    // The folder /tmp/<name>-<pid>, created on first use and removed at the end.
    std::string folder(const std::string& name)
    {
        auto path = std::filesystem::temp_directory_path() / (name + "-" + std::to_string(::getpid()));
        std::lock_guard lock(mutex_);
        std::error_code error;
        std::filesystem::create_directories(path, error);
        bool known = false;
        for (const auto& existing : paths_)
            known = known || existing == path;
        if (!known)
            paths_.push_back(path);
        return path.string();
    }

    void removeAll()
    {
        std::lock_guard lock(mutex_);
        const char* keep = std::getenv("ORB_BENCH_KEEP");
        for (const auto& path : paths_) {
            if (keep && *keep && std::string(keep) != "0") {
                std::fprintf(stderr, "kept %s\n", path.c_str());
                continue;
            }
            std::error_code error;
            std::filesystem::remove_all(path, error);
        }
        paths_.clear();
    }

    BenchFolders(const BenchFolders&) = delete;
    BenchFolders& operator=(const BenchFolders&) = delete;

private:
    BenchFolders()
    {
        for (int signal : {SIGINT, SIGTERM, SIGHUP})
            std::signal(signal, &BenchFolders::onSignal);
    }
    ~BenchFolders() { removeAll(); }

    // Not async-signal-safe in the strict sense, but the program is ending
    // either way; the default action follows so the exit status is the signal's.
    static void onSignal(int signal)
    {
        shared().removeAllFromSignal();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
    void removeAllFromSignal()
    {
        // The mutex may be held by the interrupted thread: remove without it.
        for (const auto& path : paths_) {
            std::error_code error;
            std::filesystem::remove_all(path, error);
        }
    }

    std::mutex mutex_;
    std::vector<std::filesystem::path> paths_;
};

inline std::string benchFolder(const std::string& name)
{
    return BenchFolders::shared().folder(name);
}

} // namespace benchsupport
