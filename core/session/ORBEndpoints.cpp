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

std::string ORBEndpoints::pullAddress(const std::string& path) { return serverBase() + kPullPrefix + path; }

} // namespace core
