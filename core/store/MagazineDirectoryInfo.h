#pragma once

#include "platform/os/Value.h"

#include <string>

namespace core {

// One entry of an issue's table of contents (`tb_magazine_directories`).
struct MagazineDirectoryInfo final : platform::Object {
    int _id = 0; // local row id; the chapters refer to it
    int magazineId = 0; // the local row id
    int directoryId = 0; // the server's directory id
    std::string directoryName;
    std::string directoryLogo;

    std::string className() const override { return "MagazineDirectoryInfo"; }
    std::string description() const override;
};

} // namespace core
