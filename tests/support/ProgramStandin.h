#pragma once

#include "server/StandinServer.h"

#include <gtest/gtest.h>

#include <string>

namespace testsupport {

// One stand-in server for a whole test program, on an ephemeral port, started
// before the program's first test and stopped after its last: seeding the
// demo school takes longer than most tests. Null when it could not start.
server::StandinServer* programStandinIfUp();

// The base of fixtures that talk to that server: each test gets an
// application home of its own pointed at the server, a silent log (the client
// logs every request and reply; a failing test shows what matters), and a
// server with no scripted replies and an empty request log.
class ProgramStandinTest : public ::testing::Test {
public:
    // The server; aborts when it is not up (SetUp has failed the test then).
    static server::StandinServer& standin();

protected:
    explicit ProgramStandinTest(std::string homePrefix)
        : homePrefix_(std::move(homePrefix))
    {
    }
    void SetUp() override;
    void TearDown() override;

    std::string home;

private:
    std::string homePrefix_;
};

} // namespace testsupport
