#include "tests/core/network/DispatcherFixture.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/util/ORBEndpoints.h"
#include "platform/os/AppPaths.h"
#include "platform/os/Log.h"
#include "platform/os/RunLoop.h"
#include "tests/support/ProcessUtil.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

namespace dispatchertest {

namespace {

    void pump(const std::shared_ptr<Outcome>& outcome, double waitSeconds)
    {
        auto& loop = platform::RunLoop::main();
        loop.runUntil([outcome] { return outcome->done(); }, waitSeconds);
        // A second report, if there were one, would come right behind the first.
        loop.runUntil([] { return false; }, 0.05);
    }

} // namespace

void runUntilDone(const std::shared_ptr<Outcome>& outcome, double waitSeconds) { pump(outcome, waitSeconds); }

void DispatcherTest::SetUp()
{
    ProgramStandinTest::SetUp();
    if (HasFatalFailure())
        return;
    core::MyAccountInfo::setInstance(nullptr);
    core::MyAccountInfo::setDeviceToken(std::nullopt);
    core::ORBNetworkHelper::sharedORBNetworkHelper().setTimeOutSeconds(5);
}

void DispatcherTest::TearDown()
{
    core::MyAccountInfo::setInstance(nullptr);
    core::MyAccountInfo::setDeviceToken(std::nullopt);
    core::ORBNetworkHelper::sharedORBNetworkHelper().setTimeOutSeconds(core::ORBNetworkHelper::kDefaultTimeOutSeconds);
    ProgramStandinTest::TearDown();
}

Outcome DispatcherTest::post(int type, const platform::Value& params, double waitSeconds)
{
    auto outcome = std::make_shared<Outcome>();
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        type, params, [outcome] { ++outcome->starts; },
        [outcome](const platform::Value& result) {
            ++outcome->successes;
            outcome->success = result;
        },
        [outcome](const std::string& message) {
            ++outcome->failures;
            outcome->failure = message;
        });
    pump(outcome, waitSeconds);
    return *outcome;
}

Outcome DispatcherTest::get(int type, const platform::Value& params, double waitSeconds)
{
    auto outcome = std::make_shared<Outcome>();
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        type, params, [outcome] { ++outcome->starts; },
        [outcome](const platform::Value& result) {
            ++outcome->successes;
            outcome->success = result;
        },
        [outcome](const std::string& message) {
            ++outcome->failures;
            outcome->failure = message;
        });
    pump(outcome, waitSeconds);
    return *outcome;
}

std::shared_ptr<core::MyAccountInfo> DispatcherTest::signIn(const char* login, const char* password, std::size_t index)
{
    Outcome outcome = post(0, platform::Dictionary { { "account", login }, { "psw", password } });
    EXPECT_TRUE(outcome.success) << outcome.failure.value_or("no answer");
    if (!outcome.success)
        return nullptr;
    auto session = core::MyAccountInfo::myAccountWithObj(*outcome.success);
    core::MyAccountInfo::setInstance(session);
    EXPECT_TRUE(session && session->accounts() && session->accounts()->size() > index);
    if (!session || !session->accounts() || session->accounts()->size() <= index)
        return nullptr;
    session->setCurrent((*session->accounts())[index]);
    return session;
}

std::vector<server::LoggedRequest> DispatcherTest::requests() const { return standin().requests().all(); }

server::LoggedRequest DispatcherTest::lastRequest() const
{
    auto last = standin().requests().last();
    EXPECT_TRUE(last) << "the server received nothing";
    return last.value_or(server::LoggedRequest {});
}

std::string DispatcherTest::databasePath() const { return home + "/Documents/_cache.db"; }

std::string DispatcherTest::sqlite(const std::string& sql) const
{
    std::string script = home + "/query.sql";
    testsupport::writeTextFile(script, sql + '\n');
    std::string output = testsupport::runCommand("sqlite3 -batch " + testsupport::shellQuoted(databasePath()) + " < "
        + testsupport::shellQuoted(script) + " 2>&1")
                             .output;
    if (!output.empty() && output.back() == '\n')
        output.pop_back();
    return output;
}

} // namespace dispatchertest
