#include "platform/os/Bundle.h"

#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"

#include <mutex>

namespace platform {

namespace {

    std::mutex& mainMutex()
    {
        static std::mutex m;
        return m;
    }

    std::shared_ptr<const Bundle>& mainSlot()
    {
        static std::shared_ptr<const Bundle> slot;
        return slot;
    }

    // A relative path that stays inside the folder it is joined to.
    bool staysInside(std::string_view path)
    {
        if (!path.empty() && path.front() == '/')
            return false;
        std::size_t start = 0;
        while (start <= path.size()) {
            std::size_t end = path.find('/', start);
            if (end == std::string_view::npos)
                end = path.size();
            if (path.substr(start, end - start) == "..")
                return false;
            start = end + 1;
        }
        return true;
    }

} // namespace

Bundle::Info Bundle::defaultInfo()
{
    Info info;
    info.displayName = "SchoolTalk";
    info.name = "OrbClient";
    info.shortVersion = "1.0";
    info.buildVersion = "1.0";
    info.identifier = "com.orb.client";
    return info;
}

Bundle::Bundle(Info info, std::string resourcePath)
    : info_(std::move(info))
    , resourcePath_(std::move(resourcePath))
{
}

std::shared_ptr<const Bundle> Bundle::main()
{
    std::lock_guard lock(mainMutex());
    if (!mainSlot())
        mainSlot() = std::make_shared<const Bundle>(defaultInfo());
    return mainSlot();
}

void Bundle::setMain(std::shared_ptr<const Bundle> bundle)
{
    std::lock_guard lock(mainMutex());
    mainSlot() = std::move(bundle);
}

Dictionary Bundle::infoDictionary() const
{
    Dictionary out;
    auto put = [&](const char* key, const std::optional<std::string>& v) {
        if (v)
            out.set(key, Value(*v));
    };
    put(kBundleDisplayNameKey, info_.displayName);
    put(kBundleNameKey, info_.name);
    put(kBundleShortVersionKey, info_.shortVersion);
    put(kBundleVersionKey, info_.buildVersion);
    put(kBundleIdentifierKey, info_.identifier);
    return out;
}

Value Bundle::objectForInfoDictionaryKey(std::string_view key) const { return infoDictionary().get(key); }

std::string Bundle::resourcePath() const
{
    return resourcePath_.empty() ? AppPaths::resourcesDirectory() : resourcePath_;
}

std::optional<std::string> Bundle::pathForResource(
    std::string_view name, std::string_view type, std::string_view subdirectory) const
{
    if (name.empty())
        return std::nullopt;
    std::string file(name);
    if (!type.empty()) {
        if (type.front() != '.')
            file += '.';
        file += type;
    }
    if (!staysInside(file) || !staysInside(subdirectory) || file.find('\0') != std::string::npos)
        return std::nullopt;
    std::string path = FileUtil::joinPath(FileUtil::joinPath(resourcePath(), subdirectory), file);
    if (!FileUtil::exists(path))
        return std::nullopt;
    return path;
}

} // namespace platform
