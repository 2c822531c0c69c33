#pragma once

// The stand-in server and the home folder a client program started by a
// benchmark runs with, both inside the benchmark's scratch folder.

#include "platform/os/FileUtil.h"
#include "server/StandinServer.h"

#include <memory>
#include <string>

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

} // namespace benchsupport
