#include "platform/os/MimeTypes.h"

#include "platform/os/StringUtil.h"

#include <fstream>
#include <sys/stat.h>
#include <unordered_map>
#include <vector>

namespace platform {

namespace {

    struct FixedType {
        const char* extension;
        const char* type;
    };

    // Types the program depends on; Debian's table differs for some of them
    // ("audio/AMR", "audio/x-wav").
    constexpr FixedType kFixedTypes[] = {
        { "jpg", "image/jpeg" },
        { "jpeg", "image/jpeg" },
        { "png", "image/png" },
        { "gif", "image/gif" },
        { "bmp", "image/bmp" },
        { "amr", "audio/amr" },
        { "wav", "audio/wav" },
        { "mp3", "audio/mpeg" },
        { "m4a", "audio/mp4" },
        { "aac", "audio/aac" },
        { "mp4", "video/mp4" },
        { "mov", "video/quicktime" },
        { "json", "application/json" },
        { "txt", "text/plain" },
        { "html", "text/html" },
        { "htm", "text/html" },
        { "css", "text/css" },
        { "js", "text/javascript" },
        { "xml", "application/xml" },
        { "plist", "application/x-plist" },
        { "zip", "application/zip" },
        { "pdf", "application/pdf" },
    };

    using TypeTable = std::unordered_map<std::string, std::string>;

    // /etc/mime.types: "type ext ext ..." per line, "#" starts a comment. The
    // first type that names an extension wins.
    TypeTable loadSystemTable()
    {
        TypeTable table;
        std::ifstream file("/etc/mime.types");
        std::string line;
        while (std::getline(file, line)) {
            std::size_t hash = line.find('#');
            if (hash != std::string::npos)
                line.erase(hash);
            std::vector<std::string> words;
            std::size_t pos = 0;
            while (pos < line.size()) {
                std::size_t start = line.find_first_not_of(" \t\r", pos);
                if (start == std::string::npos)
                    break;
                std::size_t end = line.find_first_of(" \t\r", start);
                if (end == std::string::npos)
                    end = line.size();
                words.push_back(line.substr(start, end - start));
                pos = end;
            }
            if (words.size() < 2 || words[0].find('/') == std::string::npos)
                continue;
            for (std::size_t i = 1; i < words.size(); ++i)
                table.emplace(asciiToLower(words[i]), words[0]);
        }
        return table;
    }

    const TypeTable& systemTable()
    {
        static const TypeTable table = loadSystemTable();
        return table;
    }

} // namespace

std::string mimeTypeForExtension(std::string_view extension)
{
    std::string key = asciiToLower(extension);
    if (key.empty())
        return kDefaultMimeType;
    for (const FixedType& fixed : kFixedTypes) {
        if (key == fixed.extension)
            return fixed.type;
    }
    const TypeTable& table = systemTable();
    auto it = table.find(key);
    if (it != table.end())
        return it->second;
    return kDefaultMimeType;
}

std::optional<std::string> mimeTypeForFileAtPath(const std::string& path)
{
    struct stat info;
    if (path.empty() || stat(path.c_str(), &info) != 0)
        return std::nullopt;
    return mimeTypeForExtension(pathExtension(path));
}

std::string pathExtension(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    std::size_t slash = path.rfind('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.rfind('.');
    if (dot == std::string_view::npos || dot == 0 || dot + 1 == name.size())
        return {};
    return std::string(name.substr(dot + 1));
}

} // namespace platform
