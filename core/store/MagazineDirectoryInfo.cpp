#include "core/store/MagazineDirectoryInfo.h"

#include "platform/os/Log.h"

namespace core {

std::string MagazineDirectoryInfo::description() const
{
    return platform::format("<MagazineDirectoryInfo _id=%d magazineId=%d directoryId=%d directoryName=%s>", _id,
        magazineId, directoryId, directoryName.c_str());
}

} // namespace core
