// The main of a fuzz target in the ordinary build: the target's entry point
// run once on every seed of the folders (or files) named, in name order, each
// in a heap block of exactly its size as the fuzzer hands it over. A target
// that no longer links, or that fails on a seed (a crash, a sanitizer report,
// a broken promise), fails the test run instead of waiting for a fuzz run
// nobody starts; so does a target left with no seed, which would pass empty.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
// Defined by the targets that set something up once.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* argc, char*** argv);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);
    std::vector<fs::path> seeds;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (fs::is_directory(argv[i], error)) {
            for (const auto& entry : fs::directory_iterator(argv[i], error)) {
                if (entry.is_regular_file())
                    seeds.push_back(entry.path());
            }
        } else if (fs::is_regular_file(argv[i], error)) {
            seeds.emplace_back(argv[i]);
        }
        if (error) {
            std::fprintf(stderr, "%s: cannot read %s: %s\n", argv[0], argv[i], error.message().c_str());
            return 1;
        }
    }
    if (seeds.empty()) {
        std::fprintf(stderr, "%s: no seed to replay\n", argv[0]);
        return 1;
    }
    std::sort(seeds.begin(), seeds.end());
    for (const fs::path& seed : seeds) {
        std::ifstream in(seed, std::ios::binary | std::ios::ate);
        const std::streamoff size = in ? std::streamoff(in.tellg()) : -1;
        auto input = std::make_unique<std::uint8_t[]>(size > 0 ? std::size_t(size) : 0);
        if (size < 0 || !in.seekg(0) || !in.read(reinterpret_cast<char*>(input.get()), size)) {
            std::fprintf(stderr, "%s: cannot read %s\n", argv[0], seed.c_str());
            return 1;
        }
        const int status = LLVMFuzzerTestOneInput(input.get(), std::size_t(size));
        // 0, or -1 for an input kept out of the corpus; anything else is
        // reserved and so a fault of the target.
        if (status != 0 && status != -1) {
            std::fprintf(stderr, "%s: %s answered %d\n", argv[0], seed.c_str(), status);
            return 1;
        }
    }
    std::printf("%s: %zu seeds replayed\n", argv[0], seeds.size());
    return 0;
}
