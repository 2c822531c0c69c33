#include "foundation/http/NetworkReachability.h"
#include "platform/os/Log.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"

#include <gtest/gtest.h>

using foundation::NetworkReachability;
using foundation::kNetworkReachabilityChangedNotification;

using namespace platform;

namespace {

class NetworkReachabilityTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        provider = std::make_shared<FixedReachabilityProvider>();
        Reachability::setProvider(provider);
    }
    void TearDown() override { Reachability::setProvider(nullptr); }
    std::shared_ptr<FixedReachabilityProvider> provider;
};

} // namespace

TEST_F(NetworkReachabilityTest, StatusRules)
{
    auto internet = NetworkReachability::reachabilityForInternetConnection();
    ASSERT_TRUE(internet);
    EXPECT_EQ(internet->currentReachabilityStatus(), NetworkReachability::NotReachable);

    const std::uint32_t R = kReachabilityFlagReachable, C = kReachabilityFlagConnectionRequired,
                        D = kReachabilityFlagConnectionOnDemand, I = kReachabilityFlagInterventionRequired,
                        W = kReachabilityFlagIsWWAN, T = kReachabilityFlagConnectionOnTraffic,
                        d = kReachabilityFlagIsDirect;
    struct Case {
        std::uint32_t flags;
        int status;
    };
    for (auto c : { Case { R, 1 }, Case { R | C, 0 }, Case { R | C | D, 1 }, Case { R | C | D | I, 0 },
             Case { R | C | T, 1 }, Case { R | W, 2 }, Case { R | W | C | I, 2 }, Case { W, 0 }, Case { 0, 0 } }) {
        provider->setFlags(c.flags);
        EXPECT_EQ(internet->currentReachabilityStatus(), c.status) << c.flags;
    }
    provider->setFlags(R | C);
    EXPECT_TRUE(internet->connectionRequired());

    auto wifi = NetworkReachability::reachabilityForLocalWiFi();
    ASSERT_TRUE(wifi);
    provider->setFlags(R);
    EXPECT_EQ(wifi->currentReachabilityStatus(), NetworkReachability::NotReachable);
    provider->setFlags(R | d);
    EXPECT_EQ(wifi->currentReachabilityStatus(), NetworkReachability::ReachableViaWiFi);

    EXPECT_FALSE(NetworkReachability::reachabilityWithHostName(""));
}

TEST_F(NetworkReachabilityTest, EveryEvaluationLogsTheFlags)
{
    auto internet = NetworkReachability::reachabilityForInternetConnection();
    LogCapture capture;
    internet->networkStatusForFlags(kReachabilityFlagReachable | kReachabilityFlagIsWWAN | kReachabilityFlagIsDirect);
    internet->localWiFiStatusForFlags(kReachabilityFlagTransientConnection | kReachabilityFlagConnectionRequired);
    auto lines = capture.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "Reachability Flag Status: WR ------d networkStatusForFlags\n");
    EXPECT_EQ(lines[1], "Reachability Flag Status: -- tc----- localWiFiStatusForFlags\n");
}

TEST_F(NetworkReachabilityTest, NotifierPostsOnChange)
{
    auto clock = std::make_shared<ManualClock>(1000);
    RunLoop::main().setClock(clock);
    auto internet = NetworkReachability::reachabilityForInternetConnection();
    provider->setFlags(kReachabilityFlagReachable);
    int posted = 0;
    auto token = NotificationCenter::defaultCenter().addObserver(
        kNetworkReachabilityChangedNotification, Value(), [&](const Notification& n) {
            EXPECT_EQ(n.object.objectAs<NetworkReachability>(), internet);
            ++posted;
        });
    ASSERT_TRUE(internet->startNotifier());
    RunLoop::main().advance(2.5);
    int afterStart = posted;
    provider->setFlags(kReachabilityFlagReachable | kReachabilityFlagIsWWAN);
    RunLoop::main().advance(2.5);
    EXPECT_EQ(posted, afterStart + 1);
    EXPECT_EQ(internet->currentReachabilityStatus(), NetworkReachability::ReachableViaWWAN);
    internet->stopNotifier();
    provider->setFlags(0);
    RunLoop::main().advance(2.5);
    EXPECT_EQ(posted, afterStart + 1);
    RunLoop::main().setClock(Clock::steady());
}
