// libFuzzer target: the platform JSON serialisation's reader (replies of the
// platform server, request bodies). Whatever it reads, the writer writes and
// the reader reads back to the same text; text holding a NUL byte is never
// read; nothing may crash.
#include "platform/os/PlatformJson.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    platform::Error error;
    auto value = platform::PlatformJson::read(text, &error);
    if (!value) {
        if (error.localizedDescription().empty())
            std::abort();
        return 0;
    }
    if (text.find('\0') != std::string_view::npos)
        std::abort(); // a NUL ends nothing: such text is not JSON
    for (auto style : { platform::PlatformJson::Style::Compact, platform::PlatformJson::Style::Pretty }) {
        auto written = platform::PlatformJson::write(*value, style);
        if (!written)
            std::abort();
        auto back = platform::PlatformJson::read(*written);
        if (!back)
            std::abort();
        auto again = platform::PlatformJson::write(*back, style);
        if (!again || *again != *written)
            std::abort();
    }
    return 0;
}
