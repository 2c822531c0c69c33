#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// A class album as the album list gives it.
struct AlbumInfo final : platform::Object {
    int albumId = 0;
    std::string albumName;
    int photosNum = 0;
    std::string belongs; // the class it belongs to
    std::string cover; // the cover picture's address

    // From one row of the album list; null for anything but a dictionary.
    static std::shared_ptr<AlbumInfo> albumWithObj(const platform::Value& obj);

    std::string className() const override { return "AlbumInfo"; }
};

} // namespace core
