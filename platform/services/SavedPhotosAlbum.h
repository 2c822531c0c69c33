#pragma once

#include "platform/graphics/Image.h"
#include "platform/os/Error.h"

#include <functional>
#include <string>
#include <vector>

namespace platform {

// The phone's saved-photos album, kept as image files in the folder
// Documents/SavedPhotos of the application home, named IMG_0001.JPG,
// IMG_0002.PNG, ... in the order saved. Opaque images are kept as JPEG, as a
// camera roll keeps photos; images with transparency as PNG, so nothing of
// them is lost. Main thread only.
class SavedPhotosAlbum final {
public:
    SavedPhotosAlbum() = delete;

    // savedPath: the new file, empty on failure; error: set on failure only.
    using Completion = std::function<void(const std::string& savedPath, const Error* error)>;

    static std::string directory();
    // Writes the image as a new file of the album. The completion always runs,
    // on a later turn of the main loop, as the phone reports the save.
    static void writeImage(const Image& image, Completion completion);
    // The album's files, oldest first.
    static std::vector<std::string> photos();

    static constexpr double kJpegQuality = 0.9;
};

} // namespace platform
