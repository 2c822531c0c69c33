// libFuzzer target: the user-defaults file as found on disk (written by an
// older version, damaged, or replaced). Every typed reader answers for every
// key, a change is written back, and nothing may crash.
#include "platform/os/UserDefaults.h"
#include "tests/fuzz/FuzzSupport.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    fuzzsupport::quietLog();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string folder = fuzzsupport::scratchFile("prefs");
    fuzzsupport::emptyFolder(folder);
    const std::string path = folder + "/orb-client.plist";
    // The input is the file; when it holds a NUL byte, what follows is the last-good copy.
    std::size_t split = 0;
    while (split < size && data[split] != 0)
        ++split;
    fuzzsupport::writeFile(path, data, split);
    if (split < size)
        fuzzsupport::writeFile(path + ".bak", data + split + 1, size - split - 1);
    {
        platform::UserDefaults defaults(path);
        for (const auto& [key, value] : defaults.dictionaryRepresentation()) {
            (void)value;
            (void)defaults.objectForKey(key);
            (void)defaults.stringForKey(key);
            (void)defaults.integerForKey(key);
            (void)defaults.boolForKey(key);
            (void)defaults.doubleForKey(key);
            (void)defaults.dataForKey(key);
            (void)defaults.arrayForKey(key);
            (void)defaults.dictionaryForKey(key);
        }
        defaults.setString("written", "fuzz");
        if (!defaults.synchronize())
            std::abort();
    }
    // What was written reads back with the change.
    platform::UserDefaults reread(path);
    if (reread.stringForKey("fuzz") != std::optional<std::string>("written"))
        std::abort();
    return 0;
}
