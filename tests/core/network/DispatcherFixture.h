#pragma once

#include "core/session/MyAccountInfo.h"
#include "platform/os/Value.h"
#include "server/StandinServer.h"
#include "tests/support/ProgramStandin.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace dispatchertest {

// The demo school's sign-ins.
inline constexpr const char* kTeacherLogin = "13800000001";
inline constexpr const char* kTeacherPassword = "teacher123";
inline constexpr const char* kParentLogin = "13800000002"; // one account
inline constexpr const char* kTwoChildrenLogin = "13800000003"; // two accounts
inline constexpr const char* kParentPassword = "parent123";

// What one dispatched request reported.
struct Outcome {
    int starts = 0;
    int successes = 0;
    int failures = 0;
    std::optional<platform::Value> success;
    std::optional<std::string> failure;

    bool done() const { return successes + failures > 0; }
};

// Every test runs against the stand-in server on an ephemeral port (one per
// test program) with a fresh application home and nobody signed in.
class DispatcherTest : public testsupport::ProgramStandinTest {
protected:
    DispatcherTest()
        : ProgramStandinTest("orb-dispatcher-home")
    {
    }
    void SetUp() override;
    void TearDown() override;

    // Dispatches and runs the main loop until a block reports (at most
    // waitSeconds), then a little longer so that a second report would be seen.
    Outcome post(int type, const platform::Value& params = {}, double waitSeconds = 10);
    Outcome get(int type, const platform::Value& params = {}, double waitSeconds = 10);

    // Signs in through the dispatcher and installs the session as the login
    // screen does, with account `index` current.
    std::shared_ptr<core::MyAccountInfo> signIn(
        const char* login = kTeacherLogin, const char* password = kTeacherPassword, std::size_t index = 0);

    // The requests the server received during this test.
    std::vector<server::LoggedRequest> requests() const;
    server::LoggedRequest lastRequest() const;

    // Runs SQL on the test's database file with the sqlite3 program; the
    // output with its final line break removed.
    std::string sqlite(const std::string& sql) const;
    std::string databasePath() const;
};

// Waits for the outcome of a request started by the caller.
void runUntilDone(const std::shared_ptr<Outcome>& outcome, double waitSeconds);

} // namespace dispatchertest
