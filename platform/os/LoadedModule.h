#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

// A module of this program opened at run time (the movie decoder, the web
// engine), so that a program that never uses it never maps the libraries it
// brings. The first open that succeeds is kept for the life of the process
// and every later one answers it at once; a failure is not remembered, so a
// later open tries again. Opens from several threads at once open the module
// once.
//
// The candidates are tried in their order until one holds the entry and its
// table belongs to this program: a file that opens but is not the module
// asked for (another library of that name, a module of another build) does
// not end the search.
class ModuleOpener {
public:
    struct Kind {
        // What the module is, for the reasons ("the movie decoder").
        std::string name;
        // The files to try, in order (FileUtil::moduleCandidates).
        std::function<std::vector<std::string>()> candidates;
        // The exported function that returns the module's table.
        const char* entryName = nullptr;
        // The table the entry answers, when it belongs to this program (its
        // version and every function it must have); nullptr otherwise.
        std::function<const void*(void* entry)> tableOf;
    };

    explicit ModuleOpener(Kind kind);
    ModuleOpener(const ModuleOpener&) = delete;
    ModuleOpener& operator=(const ModuleOpener&) = delete;

    // The module's table, opening it on the first call; nullptr with
    // `reason` saying, candidate by candidate, why none would do.
    const void* open(std::string* reason);
    // The table once the module is open, without opening it; nullptr before.
    const void* opened() const { return table_.load(std::memory_order_acquire); }

private:
    Kind kind_;
    std::mutex mutex_;
    std::atomic<const void*> table_ { nullptr };
};

// The same, for a module whose entry is `const Table* entry()`.
template <typename Table> class LoadedModule {
public:
    LoadedModule(std::string name, std::function<std::vector<std::string>()> candidates, const char* entryName,
        bool (*belongs)(const Table&))
        : opener_({ std::move(name), std::move(candidates), entryName, [belongs](void* entry) -> const void* {
                       const Table* table = reinterpret_cast<const Table* (*)()>(entry)();
                       return table && belongs(*table) ? table : nullptr;
                   } })
    {
    }

    const Table* open(std::string* reason) { return static_cast<const Table*>(opener_.open(reason)); }
    const Table* opened() const { return static_cast<const Table*>(opener_.opened()); }

private:
    ModuleOpener opener_;
};

} // namespace platform
