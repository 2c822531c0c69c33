#pragma once

#include "platform/os/Value.h"

#include <string>

namespace core {

// One chapter of a directory (`tb_magazine_chapters`).
struct MagazineChapterInfo final : platform::Object {
    int _id = 0; // local row id
    int directoryId = 0; // the directory's local row id
    int chapterId = 0; // the server's chapter id
    std::string chapterCategory;
    std::string chapterTitle;
    std::string chapterDefaultImage;
    int isHeadShow = 0; // 1 for a head chapter

    std::string className() const override { return "MagazineChapterInfo"; }
    std::string description() const override;
};

} // namespace core
