#include "foundation/http/ConnectionPool.h"

#include <gtest/gtest.h>

using foundation::ConnectionPool;

// Which record a request gets decides which connection its bytes go out on:
// never one another request is using, never one past its time, and of the
// idle ones the latest.
TEST(ConnectionPool, ChoosesTheLastIdleMatchAndNeverOneInUse)
{
    ConnectionPool pool;
    auto first = pool.attach(nullptr, "school.example", "http", 80, 1, 0);
    auto second = pool.attach(nullptr, "school.example", "http", 80, 2, 0);
    EXPECT_EQ(first->id, 1);
    EXPECT_EQ(second->id, 2) << "a record in use is never shared";
    pool.release(first, 100.0);
    pool.release(second, 100.0);

    struct Row {
        const char* name;
        const char* host;
        const char* scheme;
        int port;
        std::int64_t expected; // 0: a new record
    };
    const Row rows[] = {
        { "same place", "school.example", "http", 80, 2 },
        { "other port", "school.example", "http", 8080, 0 },
        { "other scheme", "school.example", "https", 80, 0 },
        { "other host", "class.example", "http", 80, 0 },
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::size_t before = pool.count();
        auto taken = pool.attach(nullptr, row.host, row.scheme, row.port, 9, 10);
        if (row.expected) {
            EXPECT_EQ(taken->id, row.expected);
            EXPECT_EQ(pool.count(), before);
        } else {
            EXPECT_GT(taken->id, 2);
            EXPECT_EQ(pool.count(), before + 1);
        }
        EXPECT_EQ(taken->request, std::optional<unsigned>(9));
        EXPECT_FALSE(taken->expires);
        pool.release(taken, 100.0);
    }

    // A request's own record from its last attempt comes back while it is
    // idle and current; once expired it leaves the pool for a new one.
    auto again = pool.attach(first, "school.example", "http", 80, 3, 50);
    EXPECT_EQ(again, first);
    pool.release(again, 60.0);
    std::size_t before = pool.count();
    auto fresh = pool.attach(first, "school.example", "http", 80, 3, 70);
    EXPECT_NE(fresh, first);
    EXPECT_EQ(fresh, second) << "the other idle record still serves";
    EXPECT_EQ(pool.count(), before - 1);
}

TEST(ConnectionPool, IdleRecordsExpireAndReleasedFailuresLeave)
{
    ConnectionPool pool;
    auto kept = pool.attach(nullptr, "a", "http", 0, 1, 0);
    auto busy = pool.attach(nullptr, "a", "http", 0, 2, 0);
    auto failed = pool.attach(nullptr, "a", "http", 0, 3, 0);
    pool.release(kept, 5.0);
    pool.release(failed, std::nullopt);
    EXPECT_EQ(pool.count(), 2u);
    EXPECT_TRUE(pool.expireIdle(4.0).empty());
    EXPECT_EQ(pool.count(), 2u);
    pool.expireIdle(5.0);
    EXPECT_EQ(pool.count(), 1u) << "the busy record stays whatever the time";
    pool.release(busy, std::nullopt);
    EXPECT_EQ(pool.count(), 0u);

    EXPECT_EQ(pool.nextRequestNumber(), 1u);
    EXPECT_EQ(pool.nextRequestNumber(), 2u);
    EXPECT_FALSE(pool.hasScheduledStreams());
    EXPECT_EQ(pool.streamScheduled(), 1);
    EXPECT_TRUE(pool.hasScheduledStreams());
    EXPECT_EQ(pool.streamUnscheduled(), 0);
    EXPECT_FALSE(pool.hasScheduledStreams());
}
