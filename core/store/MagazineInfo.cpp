#include "core/store/MagazineInfo.h"

#include "platform/os/Log.h"

namespace core {

std::string MagazineInfo::description() const
{
    return platform::format("<MagazineInfo _id=%d postId=%d name=%s status=%d readNumber=%d>", _id, postId,
        name.c_str(), status, readNumber);
}

} // namespace core
