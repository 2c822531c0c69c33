#include "core/store/ORBDBHelper.h"
#include "tests/core/store/MagazineStoreSupport.h"
#include "tests/core/store/ProbeStore.h"
#include "tests/core/util/CoreTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

using core::ORBDBHelper;

namespace {

// The reader reads an issue's chapters on a worker thread while the main
// thread keeps rewriting the file: the issue's contents, the issue list and
// the base stores (whose creation rewrites the whole file). Every read must
// see one whole version of the contents: never an error, an empty or partial
// table of contents, or a duplicated one.
TEST(MagazineReaderThread, ReadsWholeContentsWhileTheMainThreadWrites)
{
    coretest::TempHome home;
    coretest::signIn(1001);
    auto store = ORBDBHelper::sharedORBDBHelper();
    int row
        = store->insertOrUpdateWithType(ORBDBHelper::kMagazines, ORBDBHelper::kInsert, coretest::issue(501, "第一期"));
    ASSERT_EQ(row, 1);
    ASSERT_TRUE(store->replaceDirectoriesWithMagazineId(row, coretest::contents(3, 4, 1)));

    std::atomic<bool> writing { true };
    std::atomic<int> reads { 0 };
    std::vector<std::string> problems;
    std::thread reader([&] {
        // Bounded: stops when the writer is done, or after this many rounds.
        for (int round = 0; round < 20000 && writing.load(); ++round) {
            auto groups = store->allChaptersWithMagazineId(row);
            auto index = store->allChaptersIndex(row);
            auto heads = store->allHeadChapters(row);
            bool whole = groups.size() == 3 && index.size() == 12 && heads.size() == 3;
            for (const auto& group : groups)
                whole = whole && group["chapters"].count() == 4;
            if (!whole && problems.size() < 5) {
                problems.push_back("groups " + std::to_string(groups.size()) + ", chapters "
                    + std::to_string(index.size()) + ", heads " + std::to_string(heads.size()));
            }
            reads.fetch_add(1);
        }
    });

    // The writes start once the reader is under way, so the two overlap.
    for (int i = 0; i < 1000 && reads.load() < 1; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    int readsBeforeWrites = reads.load();
    int failedWrites = 0;
    for (int i = 0; i < 60; ++i) {
        // The contents alternate between two versions of the same shape.
        if (!store->replaceDirectoriesWithMagazineId(row, coretest::contents(3, 4, i % 2 ? 10 : 1)))
            ++failedWrites;
        if (store->insertOrUpdateWithType(
                ORBDBHelper::kMagazines, ORBDBHelper::kInsert, coretest::issue(600 + i % 5, "期刊" + std::to_string(i)))
            < 1)
            ++failedWrites;
        if (i % 20 == 0) {
            coretest::ProbeStore probe;
            if (!probe.addNames({ "x", "y" }))
                ++failedWrites;
        }
    }
    int readsDuringWrites = reads.load() - readsBeforeWrites;
    writing.store(false);
    reader.join();
    coretest::signOut();

    EXPECT_EQ(failedWrites, 0);
    EXPECT_GE(readsBeforeWrites, 1);
    EXPECT_GE(readsDuringWrites, 1);
    EXPECT_TRUE(problems.empty()) << problems.front();
    EXPECT_EQ(coretest::toolInt(home.documents() + "/_cache.db", "SELECT count(*) FROM tb_magazines;"), 6);
}

} // namespace
