#pragma once

#include "core/store/ORBDBHelper.h"

#include <memory>
#include <string>
#include <vector>

namespace coretest {

inline std::shared_ptr<core::MagazineInfo> issue(int postId, const std::string& name, int status = 2)
{
    auto m = std::make_shared<core::MagazineInfo>();
    m->postId = postId;
    m->name = name;
    m->category = "成长";
    m->coverOriginal = "http://img/" + std::to_string(postId) + ".jpg";
    m->coverThumb = "http://img/" + std::to_string(postId) + "_s.jpg";
    m->postNumber = postId % 100;
    m->postDate = "2024-05-0" + std::to_string(postId % 9 + 1);
    m->status = status;
    m->readNumber = postId * 10;
    return m;
}

// A table of contents: `directories` directories of `chapters` chapters
// each; the first chapter of each directory is a head chapter. Ids are
// numbered from `firstId` so that two versions can be told apart.
inline std::vector<core::ORBDBHelper::DirectoryContents> contents(int directories, int chapters, int firstId = 1)
{
    std::vector<core::ORBDBHelper::DirectoryContents> list;
    for (int d = 0; d < directories; ++d) {
        core::ORBDBHelper::DirectoryContents entry;
        entry.directory.directoryId = firstId + d;
        entry.directory.directoryName = "目录" + std::to_string(firstId + d);
        entry.directory.directoryLogo = "logo" + std::to_string(firstId + d) + ".png";
        for (int c = 0; c < chapters; ++c) {
            core::MagazineChapterInfo chapter;
            chapter.chapterId = (firstId + d) * 100 + c;
            chapter.chapterCategory = "cat";
            chapter.chapterTitle = "第" + std::to_string(c + 1) + "章";
            chapter.chapterDefaultImage = "head" + std::to_string(c) + ".jpg";
            chapter.isHeadShow = c == 0 ? 1 : 0;
            entry.chapters.push_back(chapter);
        }
        list.push_back(std::move(entry));
    }
    return list;
}

} // namespace coretest
