#include "platform/os/LoadedModule.h"

#include "tests/support/BuildPaths.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

using platform::ModuleOpener;

namespace {

struct LoadedModuleTestTable {
    int version;
    int (*answer)();
};

std::string testModule() { return testsupport::buildPath(ORB_LOADED_MODULE_TEST_MODULE); }

// An opener of the test module through `entry`, counting the tables it was shown.
ModuleOpener opener(std::function<std::vector<std::string>()> candidates, const char* entry, std::atomic<int>* shown)
{
    return ModuleOpener({ "the test module", std::move(candidates), entry, [shown](void* found) -> const void* {
                             ++*shown;
                             auto* table = reinterpret_cast<const LoadedModuleTestTable* (*)()>(found)();
                             return table && table->version == 1 && table->answer ? table : nullptr;
                         } });
}

// The candidates are tried until one holds the entry and its table is of
// this build: a file that opens but is not the module does not end the search.
TEST(LoadedModule, OpensTheFirstCandidateThatIsTheModule)
{
    const std::string module = testModule();
    struct Case {
        const char* what;
        std::vector<std::string> candidates;
        const char* entry;
        std::string refused; // empty when it opens
    } cases[] = {
        { "the module alone", { module }, "orbLoadedModuleTest", "" },
        { "a library without the entry first", { "libz.so.1", module }, "orbLoadedModuleTest", "" },
        { "a missing file first", { "/nonexistent/orb_module.so", module }, "orbLoadedModuleTest", "" },
        { "a library without the entry alone", { "libz.so.1" }, "orbLoadedModuleTest",
            "the test module could not be loaded: libz.so.1 does not belong to this program" },
        { "a module of another build", { module }, "orbLoadedModuleTestOfAnotherBuild",
            "the test module could not be loaded: " + module + " does not belong to this program" },
        { "a missing file", { "/nonexistent/orb_module.so" }, "orbLoadedModuleTest",
            "the test module could not be loaded: /nonexistent/orb_module.so: cannot open shared object file" },
        { "no candidate", {}, "orbLoadedModuleTest", "the test module could not be loaded: no module" },
    };
    for (const auto& c : cases) {
        std::atomic<int> shown = 0;
        auto candidates = c.candidates;
        auto module = opener([candidates] { return candidates; }, c.entry, &shown);
        std::string reason;
        auto* table = static_cast<const LoadedModuleTestTable*>(module.open(&reason));
        if (c.refused.empty()) {
            ASSERT_NE(table, nullptr) << c.what << ": " << reason;
            EXPECT_EQ(table->answer(), 42) << c.what;
            EXPECT_EQ(module.opened(), table) << c.what;
        } else {
            EXPECT_EQ(table, nullptr) << c.what;
            EXPECT_EQ(reason.substr(0, c.refused.size()), c.refused) << c.what;
            EXPECT_EQ(module.opened(), nullptr) << c.what;
        }
    }
}

// Opened once, whoever asks first and however many ask at once; a failure
// is not remembered, so the module found later still opens.
TEST(LoadedModule, OpensOnceForEveryThreadAndRetriesAFailure)
{
    std::atomic<int> shown = 0;
    std::mutex candidatesLock;
    std::vector<std::string> candidates = { "/nonexistent/orb_module.so" };
    auto module = opener(
        [&] {
            std::lock_guard guard(candidatesLock);
            return candidates;
        },
        "orbLoadedModuleTest", &shown);
    std::string reason;
    EXPECT_EQ(module.open(&reason), nullptr);
    {
        std::lock_guard guard(candidatesLock);
        candidates.push_back(testModule());
    }
    std::atomic<bool> go = false;
    std::vector<const void*> tables(8, nullptr);
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < tables.size(); ++i)
        threads.emplace_back([&, i] {
            while (!go)
                std::this_thread::yield();
            tables[i] = module.open(nullptr);
        });
    go = true;
    for (auto& thread : threads)
        thread.join();
    ASSERT_NE(tables[0], nullptr);
    for (const auto* table : tables)
        EXPECT_EQ(table, tables[0]);
    EXPECT_EQ(shown, 1) << "the module's table was taken more than once";
    EXPECT_EQ(module.open(nullptr), tables[0]);
    EXPECT_EQ(shown, 1);
}

} // namespace
