#include "platform/os/AppPaths.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"

#include <cstdlib>
#include <mutex>
#include <pwd.h>
#include <unistd.h>
#include <vector>

namespace platform {

namespace {

    struct Overrides {
        std::mutex mutex;
        std::string home;
        std::string resources;
    };

    Overrides& overrides()
    {
        static Overrides o;
        return o;
    }

    std::string environment(const char* name)
    {
        const char* value = std::getenv(name);
        return value ? std::string(value) : std::string();
    }

    std::string userHome()
    {
        std::string home = environment("HOME");
        if (!home.empty())
            return home;
        // Services started without HOME still have a password entry.
        std::vector<char> buffer(16384);
        struct passwd entry;
        struct passwd* result = nullptr;
        if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &result) == 0 && result && result->pw_dir)
            return result->pw_dir;
        return "/tmp";
    }

    // Creates the folder (and its parents) and reports a failure once per call.
    std::string ensure(std::string path, Error* error)
    {
        Error failure;
        if (!FileUtil::createDirectory(path, &failure, 0700)) {
            log("AppPaths: cannot create folder %s: %s", path.c_str(), failure.localizedDescription().c_str());
            setError(error, std::move(failure));
        }
        return path;
    }

} // namespace

std::string AppPaths::home()
{
    {
        std::lock_guard lock(overrides().mutex);
        if (!overrides().home.empty())
            return overrides().home;
    }
    std::string fromEnvironment = environment("ORB_HOME");
    if (!fromEnvironment.empty())
        return fromEnvironment;
    std::string dataHome = environment("XDG_DATA_HOME");
    if (!dataHome.empty() && dataHome.front() == '/')
        return FileUtil::joinPath(dataHome, "orb-client");
    return FileUtil::joinPath(userHome(), ".local/share/orb-client");
}

std::string AppPaths::documentsDirectory(Error* error)
{
    return ensure(FileUtil::joinPath(home(), "Documents"), error);
}

std::string AppPaths::libraryDirectory(Error* error) { return ensure(FileUtil::joinPath(home(), "Library"), error); }

std::string AppPaths::cachesDirectory(Error* error)
{
    return ensure(FileUtil::joinPath(home(), "Library/Caches"), error);
}

std::string AppPaths::preferencesDirectory(Error* error)
{
    return ensure(FileUtil::joinPath(home(), "Library/Preferences"), error);
}

std::string AppPaths::temporaryDirectory(Error* error) { return ensure(FileUtil::joinPath(home(), "tmp"), error); }

bool AppPaths::createAll(Error* error)
{
    using Getter = std::string (*)(Error*);
    for (Getter getter : { &documentsDirectory, &cachesDirectory, &preferencesDirectory, &temporaryDirectory }) {
        Error failure;
        getter(&failure);
        if (!failure.domain().empty()) {
            setError(error, std::move(failure));
            return false;
        }
    }
    return true;
}

void AppPaths::setHome(std::string path)
{
    std::lock_guard lock(overrides().mutex);
    overrides().home = std::move(path);
}

std::string AppPaths::executableDirectory()
{
    std::string buffer(4096, '\0');
    ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (n <= 0)
        return ".";
    buffer.resize(static_cast<std::size_t>(n));
    auto slash = buffer.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : buffer.substr(0, slash);
}

std::string AppPaths::resourcesDirectory()
{
    {
        std::lock_guard lock(overrides().mutex);
        if (!overrides().resources.empty())
            return overrides().resources;
    }
    std::string fromEnvironment = environment("ORB_RESOURCES");
    if (!fromEnvironment.empty())
        return fromEnvironment;
    std::string besideExecutable = FileUtil::joinPath(executableDirectory(), "resources");
    if (FileUtil::isDirectory(besideExecutable))
        return besideExecutable;
    std::string sourceDir = environment("ORB_SOURCE_DIR");
    if (!sourceDir.empty()) {
        std::string inSources = FileUtil::joinPath(sourceDir, "resources");
        if (FileUtil::isDirectory(inSources))
            return inSources;
    }
    return besideExecutable;
}

void AppPaths::setResourcesDirectory(std::string path)
{
    std::lock_guard lock(overrides().mutex);
    overrides().resources = std::move(path);
}

} // namespace platform
