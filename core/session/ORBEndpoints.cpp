#include "core/session/ORBEndpoints.h"

#include <cstdlib>
#include <mutex>

#ifndef ORB_SERVER_BASE_DEFAULT
#define ORB_SERVER_BASE_DEFAULT "http://127.0.0.1:8090/"
#endif

namespace core {

namespace {
    std::mutex& baseMutex()
    {
        static std::mutex m;
        return m;
    }

    std::string& baseStorage()
    {
        static std::string base = [] {
            std::string b = ORB_SERVER_BASE_DEFAULT;
            if (const char* env = std::getenv("ORB_SERVER_BASE"); env && *env)
                b = env;
            if (b.empty() || b.back() != '/')
                b += '/';
            return b;
        }();
        return base;
    }
} // namespace

std::string ORBEndpoints::serverBase()
{
    std::lock_guard lock(baseMutex());
    return baseStorage();
}

void ORBEndpoints::setServerBase(std::string base)
{
    if (base.empty() || base.back() != '/')
        base += '/';
    std::lock_guard lock(baseMutex());
    baseStorage() = std::move(base);
}

const std::vector<std::string>& ORBEndpoints::paths()
{
    static const std::vector<std::string> list { kSys, kRivu, kAddress, kUpload, kUploadAudio, kVersion, kHtml5,
        kMagazine, kJxsp, kCtd };
    return list;
}

const std::vector<std::string>& ORBEndpoints::commandCodes()
{
    static const std::vector<std::string> codes = [] {
        std::vector<std::string> c;
        for (int i = 10001; i <= 10011; ++i)
            c.push_back(std::to_string(i));
        for (int i = 20101; i <= 20107; ++i)
            c.push_back(std::to_string(i));
        for (const char* s : { "30101", "30102", "30104", "30105", "30106", "30107", "40001", "40101", "40102", "40201",
                 "40202", "40301", "40302", "40401", "50001", "50002", "50003" })
            c.emplace_back(s);
        for (int i = 60001; i <= 60008; ++i)
            c.push_back(std::to_string(i));
        c.emplace_back("40401");
        c.emplace_back("40501");
        for (int i = 70001; i <= 70004; ++i)
            c.push_back(std::to_string(i));
        c.emplace_back("10022");
        c.emplace_back("40103");
        return c;
    }();
    return codes;
}

std::string ORBEndpoints::pullAddress(const std::string& path) { return serverBase() + kPullPrefix + path; }

} // namespace core
