// libFuzzer target: XML property lists (settings files, bundle information).
// Whatever is read is written, and that text reads back and writes the same;
// nothing may crash.
#include "platform/os/PropertyList.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    platform::Error error;
    auto value = platform::PropertyList::parse(text, &error);
    if (!value)
        return 0;
    auto written = platform::PropertyList::serialize(*value);
    if (!written)
        return 0; // a text XML carries but a property list may not (checked by the writer)
    auto back = platform::PropertyList::parse(*written);
    if (!back)
        std::abort();
    auto again = platform::PropertyList::serialize(*back);
    if (!again || *again != *written)
        std::abort();
    return 0;
}
