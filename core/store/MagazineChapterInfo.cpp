#include "core/store/MagazineChapterInfo.h"

#include "platform/os/Log.h"

namespace core {

std::string MagazineChapterInfo::description() const
{
    return platform::format("<MagazineChapterInfo _id=%d directoryId=%d chapterId=%d chapterTitle=%s isHeadShow=%d>",
        _id, directoryId, chapterId, chapterTitle.c_str(), isHeadShow);
}

} // namespace core
