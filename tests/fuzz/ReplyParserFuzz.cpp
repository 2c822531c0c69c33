// libFuzzer target: the reply parser of the request dispatcher, as a reply
// body of any request type reaches it. The first byte picks the request type
// and whether the body also comes as text; the rest is the body. Every reply
// ends in at most one call of one block, and nothing ends the program.
#include "core/network/ORBReplyParser.h"
#include "platform/os/AppPaths.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    // The magazine replies update the store in the app home.
    platform::AppPaths::setHome(fuzzsupport::scratch());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    fuzzsupport::Input input(data, size);
    const std::uint8_t choice = input.takeByte();
    const int type = choice & 0x7F;
    const bool asText = (choice & 0x80) != 0;
    const std::string body = input.rest();
    const platform::Bytes bytes(body.begin(), body.end());
    std::optional<std::string> text;
    if (asText)
        text = body;
    int calls = 0;
    core::ORBReplyParser::requestCompleted(
        type, std::nullopt, text, bytes, [&](const platform::Value&) { ++calls; }, [&](const std::string&) { ++calls; });
    if (calls > 1)
        std::abort();
    (void)core::ORBReplyParser::JSONString(text);
    (void)core::ORBReplyParser::uncompressZippedData(bytes);
    return 0;
}
