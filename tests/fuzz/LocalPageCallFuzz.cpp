// libFuzzer target: the local pages' calls into native code. From random
// fields (a photo address, an album's name, a student's name, picture, id
// and type) the paths are written as the album, homework and student-comment
// pages write them (encodeURIComponent of the address, of "|" and the album's
// name, of each student field with its "|" made a space, joined by "%7C"),
// resolved against the resources folder as the engine resolves a location,
// and read back as the screens read them: the photo address after
// "/browseBigPhoto/url:", the album title after the first "|" of the decoded
// path, the student's four fields split at "|". Each must be what the page
// meant, and the photo address must load as the server wrote it.
//
// Input: the fields separated by 0xFF bytes (never part of UTF-8); bytes
// that do not make a UTF-8 character stand for the character of that value,
// so every field is text a page can hold. The last two fields are read as
// integers.
#include "app/web/LocalPageBridge.h"
#include "platform/os/StringUtil.h"
#include "platform/os/Url.h"
#include "platform/os/Value.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr const char* kPhotoPrefix = "/browseBigPhoto/url:";
constexpr const char* kSecondViewPath = "/photoAlbum/gotoSecondView";
constexpr const char* kStudentPrefix = "/studentComment/";

// What the pages' encodeURIComponent writes for UTF-8 text.
std::string encodeURIComponent(std::string_view text)
{
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        bool kept = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
            || std::string_view("-_.!~*'()").find(static_cast<char>(c)) != std::string_view::npos;
        if (kept) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 0xF];
        }
    }
    return out;
}

// The main document's address after the page set its location to the path.
platform::Url navigate(const std::string& path)
{
    static const platform::Url base = platform::Url::fileUrl("/opt/orb/resources/");
    auto url = platform::Url::parse(path, base);
    if (!url)
        std::abort(); // the page's own path is no address
    return *url;
}

void checkPhoto(const std::string& address)
{
    auto url = navigate(kPhotoPrefix + encodeURIComponent(address));
    auto argument = localpage::callArgument(url, kPhotoPrefix);
    if (!argument || *argument != address)
        std::abort();
    // The photo screens load the address as the server wrote it when it is
    // one, and never anything that is not a web address with a host.
    auto written = platform::Url::parse(address);
    auto loaded = localpage::photoAddress(*argument);
    if (written && written->host().size()
        && (platform::asciiToLower(written->scheme()) == "http" || platform::asciiToLower(written->scheme()) == "https")) {
        if (!loaded || loaded->absoluteString() != address || loaded->host() != written->host()
            || loaded->port() != written->port() || loaded->rawPath() != written->rawPath())
            std::abort();
    }
    if (loaded) {
        std::string scheme = platform::asciiToLower(loaded->scheme());
        if ((scheme != "http" && scheme != "https") || loaded->host().empty())
            std::abort();
        auto again = localpage::photoAddress(loaded->absoluteString());
        if (!again || !(*again == *loaded))
            std::abort();
    }
}

void checkAlbum(const std::string& name)
{
    // As the album screen reads it: the decoded path, after its first "|".
    std::string path = navigate(std::string(kSecondViewPath) + encodeURIComponent("|" + name)).path();
    if (!platform::hasPrefix(path, kSecondViewPath))
        std::abort();
    auto bar = path.find('|');
    if (bar == std::string::npos || path.substr(bar + 1) != name)
        std::abort();
}

void checkStudent(const std::vector<std::string>& fields, long long id, long long type)
{
    // As the student-comment page writes it: no "|" inside a field.
    std::vector<std::string> meant = fields;
    for (auto& field : meant)
        field = platform::replaceAll(field, "|", " ");
    std::string path = kStudentPrefix;
    const std::string written[] = { meant[0], meant[1], std::to_string(id), std::to_string(type) };
    for (std::size_t i = 0; i < 4; ++i)
        path += (i ? "%7C" : "") + encodeURIComponent(written[i]);
    auto argument = localpage::callArgument(navigate(path), kStudentPrefix);
    if (!argument)
        std::abort();
    // As the comment screen splits it.
    auto parts = platform::split(*argument, "|");
    if (parts.size() != 4 || parts[0] != meant[0] || parts[1] != meant[1]
        || platform::leadingIntegerOf(parts[2]) != id || platform::leadingIntegerOf(parts[3]) != type)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto fields = fuzzsupport::textFields(data, size, 6);

    checkPhoto(fields[0]);
    checkAlbum(fields[1]);
    // Ids as the platform gives them: whole numbers of an int.
    auto number = [](const std::string& text) { return static_cast<long long>(static_cast<int>(platform::leadingIntegerOf(text))); };
    checkStudent({ fields[2], fields[3] }, number(fields[4]), number(fields[5]));
    return 0;
}
