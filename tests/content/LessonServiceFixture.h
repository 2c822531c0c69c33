#pragma once

#include "content/lessons/APIRequest.h"
#include "server/StandinServer.h"
#include "tests/support/ProgramStandin.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace lessontest {

// What one lesson-service request reported to its delegate.
struct ServiceOutcome {
    int started = 0;
    int finished = 0;
    int failed = 0;
    std::optional<content::GCResultInfo> result;
    std::optional<platform::Error> error;
};

// Every test runs against the stand-in (one per test program, on an ephemeral
// port) with a fresh application home and no stored portal user.
class LessonServiceTest : public testsupport::ProgramStandinTest {
protected:
    LessonServiceTest()
        : ProgramStandinTest("orb-lessons-home")
    {
    }
    void SetUp() override;
    void TearDown() override;

    // Starts the request with a delegate as the screens make it and runs the
    // main loop until it has finished or failed.
    ServiceOutcome run(const std::shared_ptr<content::APIRequest>& request, double waitSeconds = 15);
    // The bodies the service received, oldest first.
    std::vector<platform::Dictionary> bodiesTo(const std::string& api) const;
};

// One GET of a path of the stand-in, waited for on the main loop, with a
// Range header when one is given.
struct Fetched {
    int status = 0;
    std::string body;
    std::string contentType;
    std::string contentRange;
};
Fetched fetch(const std::string& path, const std::optional<std::string>& range = std::nullopt);
// A file's bytes.
std::string fileBytes(const std::string& path);

} // namespace lessontest
