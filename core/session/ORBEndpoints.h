#pragma once

#include <string>
#include <vector>

namespace core {

// The one table of server addresses and command codes shared by the request
// dispatcher, the older request builders, the uploads and the page script.
// The base address is compiled in and can be overridden at start-up with the
// environment variable ORB_SERVER_BASE (tests point it at ephemeral ports).
struct ORBEndpoints {
    // An absolute "http" address of a host with an explicit port, ending in "/".
    static std::string serverBase();
    // Replaces the base for the rest of the process (tests, the command-line tool).
    static void setServerBase(std::string base);

    static constexpr const char* kPullPrefix = "mobile2/pull/";

    static constexpr const char* kSys = "combine/sys";
    static constexpr const char* kRivu = "combine/rivu";
    static constexpr const char* kAddress = "combine/address";
    static constexpr const char* kUpload = "upload/";
    static constexpr const char* kUploadAudio = "upload/audio";
    static constexpr const char* kVersion = "f/version";
    static constexpr const char* kHtml5 = "combine/html5";
    static constexpr const char* kMagazine = "combine/magazine";
    static constexpr const char* kJxsp = "combine/jxsp";
    static constexpr const char* kCtd = "combine/ctd";

    // The path list in table order, and the command codes in table order.
    static const std::vector<std::string>& paths();
    static const std::vector<std::string>& commandCodes();

    // base + "mobile2/pull/" + path
    static std::string pullAddress(const std::string& path);
};

} // namespace core
