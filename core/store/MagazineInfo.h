#pragma once

#include "platform/os/Value.h"

#include <string>

namespace core {

// One issue of the e-magazine as the list reply gives it and as
// `tb_magazines` keeps it for one account.
struct MagazineInfo final : platform::Object {
    int _id = 0; // local row id
    std::string name;
    int postId = 0; // the server's issue id
    std::string category;
    std::string coverOriginal;
    std::string coverThumb;
    int postNumber = 0;
    std::string postDate;
    int status = 0; // 2 new, 1 read; the server sends 3 for an issue it changed
    int readNumber = 0;

    std::string className() const override { return "MagazineInfo"; }
    std::string description() const override;
};

} // namespace core
