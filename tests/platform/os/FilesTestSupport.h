#pragma once

// Shared helpers for the storage tests: a fresh temporary home per case,
// environment overrides, and running the real command-line tools.

#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Value.h"

#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace osfiles_test {

using testsupport::TempDir;

// Sets or unsets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, std::optional<std::string> value)
        : name_(name)
    {
        if (const char* old = std::getenv(name))
            old_ = old;
        if (value)
            ::setenv(name, value->c_str(), 1);
        else
            ::unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (old_)
            ::setenv(name_.c_str(), old_->c_str(), 1);
        else
            ::unsetenv(name_.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> old_;
};

// Each case gets its own application home (not yet created on disk).
class FreshHome : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(temp.path().empty());
        home = temp / "home";
        platform::AppPaths::setHome(home);
    }
    void TearDown() override { platform::AppPaths::resetHome(); }

    TempDir temp { "orb-osfiles" };
    std::string home;
};

using testsupport::CommandResult;
using testsupport::haveTool;
using testsupport::runCommand;
using testsupport::shellQuoted;

// Runs this test executable again with extra environment variables and waits
// (at most `timeout`) for its exit code; -1 when it did not exit normally.
inline int runSelf(const std::vector<std::pair<std::string, std::string>>& extraEnv,
    std::chrono::seconds timeout = std::chrono::seconds(60))
{
    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        bool replaced = false;
        for (const auto& [name, value] : extraEnv)
            replaced = replaced || entry.rfind(name + "=", 0) == 0;
        if (!replaced)
            env.push_back(entry);
    }
    for (const auto& [name, value] : extraEnv)
        env.push_back(name + "=" + value);
    std::vector<char*> envp;
    for (auto& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string self = "/proc/self/exe";
    char* argv[] = { self.data(), nullptr };
    pid_t pid = 0;
    if (::posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()) != 0)
        return -1;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    int status = 0;
    for (;;) {
        pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0)
            return -1;
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Values equal and of the same kinds all the way down (Value's own equality
// lets 3 and 3.0 match, which hides a kind that changed on the way).
inline ::testing::AssertionResult sameKinds(const platform::Value& a, const platform::Value& b, std::string at = "$")
{
    if (a.kind() != b.kind())
        return ::testing::AssertionFailure() << at << ": kind " << a.kindName() << " vs " << b.kindName() << " ("
                                             << a.description() << " / " << b.description() << ")";
    if (auto x = a.asArray()) {
        auto y = b.asArray();
        if (x->size() != y->size())
            return ::testing::AssertionFailure() << at << ": sizes " << x->size() << " vs " << y->size();
        for (std::size_t i = 0; i < x->size(); ++i) {
            auto r = sameKinds((*x)[i], (*y)[i], at + "[" + std::to_string(i) + "]");
            if (!r)
                return r;
        }
        return ::testing::AssertionSuccess();
    }
    if (auto x = a.asDictionary()) {
        auto y = b.asDictionary();
        if (x->keys() != y->keys())
            return ::testing::AssertionFailure() << at << ": keys differ";
        for (const auto& [key, value] : *x) {
            auto r = sameKinds(value, y->get(key), at + "." + key);
            if (!r)
                return r;
        }
        return ::testing::AssertionSuccess();
    }
    if (a.isDouble() && std::isnan(a.doubleValue()) && std::isnan(b.doubleValue()))
        return ::testing::AssertionSuccess();
    if (a.isDouble() && a.doubleValue() == 0 && std::signbit(a.doubleValue()) != std::signbit(b.doubleValue()))
        return ::testing::AssertionFailure() << at << ": sign of zero differs";
    if (!(a == b))
        return ::testing::AssertionFailure() << at << ": " << a.description() << " vs " << b.description();
    return ::testing::AssertionSuccess();
}

} // namespace osfiles_test
