#include "foundation/codec/StringMd5.h"

#include "platform/crypto/Md5.h"

namespace foundation {

std::string md5(std::string_view text)
{
    const std::size_t zero = text.find('\0');
    if (zero != std::string_view::npos)
        text = text.substr(0, zero);
    return platform::Md5::hex(text, platform::HexCase::Lower);
}

} // namespace foundation
