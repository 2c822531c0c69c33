#include "platform/services/SavedPhotosAlbum.h"

#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/RunLoop.h"

#include <algorithm>
#include <cstdio>
#include <optional>

namespace platform {

namespace {

    constexpr const char* kErrorDomain = "SavedPhotosAlbumErrorDomain";

    // The number in "IMG_0042.JPG", or none for a file that is not one of ours.
    std::optional<long> photoNumber(const std::string& name)
    {
        if (name.size() != 12 || name.compare(0, 4, "IMG_") != 0 || name[8] != '.')
            return std::nullopt;
        auto extension = name.substr(9);
        if (extension != "JPG" && extension != "PNG")
            return std::nullopt;
        long number = 0;
        for (std::size_t i = 4; i < 8; ++i) {
            if (name[i] < '0' || name[i] > '9')
                return std::nullopt;
            number = number * 10 + (name[i] - '0');
        }
        return number;
    }

    std::vector<std::string> photoNames(const std::string& folder)
    {
        std::vector<std::string> names;
        if (auto entries = FileUtil::list(folder)) {
            for (auto& name : *entries) {
                if (photoNumber(name))
                    names.push_back(name);
            }
        }
        // Same-width numbers: the names sort in the order saved.
        std::sort(names.begin(), names.end());
        return names;
    }

    std::optional<std::string> save(const Image& image, Error& error)
    {
        if (image.isNull()) {
            error = Error::withDescription(kErrorDomain, 1, "there is no image to save");
            return std::nullopt;
        }
        auto folder = SavedPhotosAlbum::directory();
        if (!FileUtil::createDirectory(folder, &error))
            return std::nullopt;
        long next = 1;
        auto names = photoNames(folder);
        if (!names.empty())
            next = *photoNumber(names.back()) + 1;
        if (next > 9999) {
            error = Error::withDescription(kErrorDomain, 2, "the album is full");
            return std::nullopt;
        }
        bool opaque = image.isOpaque();
        auto bytes = opaque ? image.encodeJPEG(SavedPhotosAlbum::kJpegQuality) : image.encodePNG();
        if (!bytes) {
            error = Error::withDescription(kErrorDomain, 3, "the image could not be encoded");
            return std::nullopt;
        }
        char name[32];
        std::snprintf(name, sizeof name, "IMG_%04ld.%s", next, opaque ? "JPG" : "PNG");
        auto path = FileUtil::joinPath(folder, name);
        // Atomic: the album never holds half a photo, even when the disk fills up.
        if (!FileUtil::write(path, Bytes(bytes->begin(), bytes->end()), FileUtil::WriteMode::Atomic, &error))
            return std::nullopt;
        return path;
    }

} // namespace

std::string SavedPhotosAlbum::directory() { return FileUtil::joinPath(AppPaths::documentsDirectory(), "SavedPhotos"); }

void SavedPhotosAlbum::writeImage(const Image& image, Completion completion)
{
    Error error;
    auto path = save(image, error);
    if (!completion)
        return;
    postToMain([completion = std::move(completion), path = path.value_or(std::string()), error, ok = path.has_value()] {
        completion(path, ok ? nullptr : &error);
    });
}

std::vector<std::string> SavedPhotosAlbum::photos()
{
    auto folder = directory();
    std::vector<std::string> paths;
    for (auto& name : photoNames(folder))
        paths.push_back(FileUtil::joinPath(folder, name));
    return paths;
}

} // namespace platform
