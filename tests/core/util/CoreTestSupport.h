#pragma once

// Shared helpers of the core tests: a fresh application home per case, a
// signed-in account, the device's time zone, and the real command-line tools.

#include "core/session/MyAccountInfo.h"
#include "platform/os/AppPaths.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace coretest {

// A temporary folder that becomes the application home for the life of the object.
class TempHome {
public:
    TempHome() { platform::AppPaths::setHome(dir_.path()); }
    ~TempHome() { platform::AppPaths::resetHome(); }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;

    const std::string& path() const { return dir_.path(); }
    std::string documents() const { return dir_.path() + "/Documents"; }

private:
    testsupport::TempDir dir_ { "orb-core" };
};

// Sets the device's time zone (TZ) for the life of the object.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const char* zone)
    {
        if (const char* old = std::getenv("TZ"))
            previous_ = old;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~ScopedTimeZone()
    {
        if (previous_)
            ::setenv("TZ", previous_->c_str(), 1);
        else
            ::unsetenv("TZ");
        ::tzset();
    }
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> previous_;
};

// Installs a session whose current account has this uid and type; the other
// accounts of the same login are listed beside it.
inline void signIn(int uid, int type = 1, const std::vector<int>& otherUids = {})
{
    auto session = std::make_shared<core::MyAccountInfo>();
    std::vector<std::shared_ptr<core::AccountInfo>> accounts;
    auto current = std::make_shared<core::AccountInfo>();
    current->uid = uid;
    current->type = type;
    accounts.push_back(current);
    for (int other : otherUids) {
        auto account = std::make_shared<core::AccountInfo>();
        account->uid = other;
        account->type = type;
        accounts.push_back(account);
    }
    session->setAccounts(accounts);
    session->setCurrent(current);
    core::MyAccountInfo::setInstance(session);
}

inline void signOut() { core::MyAccountInfo::setInstance(nullptr); }

using testsupport::shellQuoted;

// Runs a shell command and answers what it wrote to standard output.
inline std::string runCommand(const std::string& command) { return testsupport::runCommand(command).output; }

// The sqlite3 tool on a database file (list mode, "|" between columns),
// waiting for a writer of the file as the stores do.
inline std::string sqliteTool(const std::string& dbPath, const std::string& sql)
{
    return runCommand("sqlite3 -batch -cmd '.timeout 60000' " + shellQuoted(dbPath) + " " + shellQuoted(sql) + " 2>&1");
}

// A figure the sqlite3 tool reads from a database file, waiting for a
// writer of the file as the stores do. A tool that fails, or answers
// anything but one integer, fails the test rather than read as a figure.
inline int toolInt(const std::string& dbPath, const std::string& sql)
{
    const auto run = testsupport::runCommand(
        "sqlite3 -batch -bail -cmd '.timeout 60000' " + shellQuoted(dbPath) + " " + shellQuoted(sql) + " 2>&1");
    const long figure = std::strtol(run.output.c_str(), nullptr, 10);
    if (run.status != 0 || run.output != std::to_string(figure) + "\n") {
        ADD_FAILURE() << "sqlite3 " << sql << ": status " << run.status << ", " << run.output;
        return -1000000;
    }
    return static_cast<int>(figure);
}

} // namespace coretest
