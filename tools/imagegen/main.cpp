// imagegen: draws the app's resource pictures into resources/images.
//
//   imagegen <output folder> [name ...]
//
// With names, only those pictures are drawn; otherwise all of them. The
// output is deterministic, so regenerating leaves unchanged files equal.
#include "tools/imagegen/ImageCatalog.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <set>

namespace imagegen {

std::vector<ImageEntry>& catalog()
{
    static std::vector<ImageEntry> entries;
    return entries;
}

ImageGroup::ImageGroup(std::vector<ImageEntry> entries)
{
    auto& all = catalog();
    all.insert(all.end(), std::make_move_iterator(entries.begin()), std::make_move_iterator(entries.end()));
}

} // namespace imagegen

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s <output folder> [name ...]\n", argv[0]);
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(out, ec);
    if (ec) {
        std::fprintf(stderr, "cannot create %s: %s\n", out.c_str(), ec.message().c_str());
        return 1;
    }
    std::set<std::string> wanted(argv + 2, argv + argc);

    std::set<std::string> seen;
    int written = 0;
    for (const auto& entry : imagegen::catalog()) {
        if (!seen.insert(entry.name).second) {
            std::fprintf(stderr, "picture %s is defined twice\n", entry.name.c_str());
            return 1;
        }
        if (!wanted.empty() && !wanted.count(entry.name))
            continue;
        for (int scale : { 1, 2 }) {
            auto context = platform::Context::createBitmap(entry.size, scale);
            if (!context) {
                std::fprintf(stderr, "picture %s has an unusable size\n", entry.name.c_str());
                return 1;
            }
            entry.draw(*context, entry.size);
            const auto file = out / (entry.name + (scale == 2 ? "@2x.png" : ".png"));
            // Names may hold folders ("PhotoBrowser.bundle/images/...").
            std::filesystem::create_directories(file.parent_path(), ec);
            if (!context->writePNG(file.string())) {
                std::fprintf(stderr, "cannot write %s\n", file.c_str());
                return 1;
            }
            ++written;
        }
    }
    std::printf("%d files written to %s\n", written, out.c_str());
    return 0;
}
