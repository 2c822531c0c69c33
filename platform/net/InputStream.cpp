#include "platform/net/InputStream.h"

#include <algorithm>
#include <cstring>

namespace platform {

DataInputStream::DataInputStream(Bytes data)
    : data_(std::move(data))
{
}

long DataInputStream::read(std::uint8_t* buffer, std::size_t maxLength)
{
    std::size_t count = std::min(maxLength, data_.size() - offset_);
    if (count == 0)
        return 0;
    std::memcpy(buffer, data_.data() + offset_, count);
    offset_ += count;
    return static_cast<long>(count);
}

} // namespace platform
