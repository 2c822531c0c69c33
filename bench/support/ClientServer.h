#pragma once

// The stand-in server and the home folder a client program started by a
// benchmark runs with, both inside the benchmark's scratch folder.

#include "platform/os/FileUtil.h"
#include "server/StandinServer.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

namespace benchsupport {

struct ClientServer {
    std::unique_ptr<server::StandinServer> server;
    // Made empty: the caller fills it (a signed-in home, or one at the login).
    std::string home;
};

// Starts the server on scratch/server and makes scratch/home; false when
// either fails.
inline bool startClientServer(const std::string& scratch, ClientServer& setting)
{
    server::ServerOptions options;
    options.dataDirectory = scratch + "/server";
    setting.server = std::make_unique<server::StandinServer>(options);
    setting.home = scratch + "/home";
    platform::Error error;
    return setting.server->start(&error) && platform::FileUtil::createDirectory(setting.home);
}

// Puts a fresh copy of `home` at `copy` (what a run before left there goes
// first), so that a start finds nothing an earlier one saved.
inline bool freshCopyOfHome(const std::string& home, const std::string& copy)
{
    std::error_code error;
    std::filesystem::remove_all(copy, error);
    error.clear();
    std::filesystem::copy(home, copy, std::filesystem::copy_options::recursive, error);
    return !error;
}

// The client program to measure: ORB_BENCH_CLIENT when it names one (an
// earlier build, to compare), otherwise `built`.
inline std::string clientProgram(const std::string& built)
{
    const char* other = std::getenv("ORB_BENCH_CLIENT");
    return other && *other ? std::string(other) : built;
}

} // namespace benchsupport
