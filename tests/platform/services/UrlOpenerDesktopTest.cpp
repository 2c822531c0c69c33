// Calls and texts on the desktop: with a default application registered for
// "tel:" (through the XDG folders that GLib's gio tool reads), the address
// can be opened and reaches that application as one argument; without one
// it cannot be opened.
#include "platform/services/UrlOpener.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>

using testsupport::TempDir;

namespace {

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Points the XDG folders at the temporary ones while it lives.
class XdgFolders {
public:
    explicit XdgFolders(const TempDir& dir)
    {
        for (const char* name : { "XDG_DATA_HOME", "XDG_CONFIG_HOME", "XDG_DATA_DIRS", "XDG_CONFIG_DIRS" }) {
            const char* old = std::getenv(name);
            saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        }
        setenv("XDG_DATA_HOME", dir.file("data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
        setenv("XDG_DATA_DIRS", dir.file("none").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", dir.file("none").c_str(), 1);
    }
    ~XdgFolders()
    {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

} // namespace

TEST(UrlOpenerDesktop, TelGoesToTheDesktopsDialerOrCannotBeOpened)
{
    if (std::system("command -v gio > /dev/null 2>&1") != 0)
        ORB_SKIP_WITHOUT_TOOL("gio (libglib2.0-bin) is not installed");
    TempDir dir("url-opener");
    ASSERT_FALSE(dir.path().empty());
    auto& opener = platform::UrlOpener::shared();
    {
        // No application for "tel:".
        XdgFolders folders(dir);
        EXPECT_EQ(platform::UrlOpener::desktopHandlerFor("tel"), "");
        opener.useDesktopHandlers();
        EXPECT_FALSE(opener.canOpenURL("tel:13900000002"));
        EXPECT_FALSE(opener.openURL("tel:13900000002"));
        EXPECT_FALSE(opener.canOpenURL("sms:13900000002"));
        EXPECT_TRUE(opener.canOpenURL("https://example.org/"));
    }
    // A dialer that writes down what it was given.
    ASSERT_EQ(mkdir(dir.file("data").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(dir.file("data/applications").c_str(), 0700), 0);
    ASSERT_EQ(mkdir(dir.file("config").c_str(), 0700), 0);
    const std::string record = dir.file("dialled.txt");
    const std::string script = dir.file("dialer.sh");
    std::ofstream(script) << "#!/bin/sh\nprintf '%s' \"$1\" > '" << record << "'\n";
    ASSERT_EQ(chmod(script.c_str(), 0700), 0);
    std::ofstream(dir.file("data/applications/dialer.desktop"))
        << "[Desktop Entry]\nType=Application\nName=Dialer\nExec=" << script << " %u\nMimeType=x-scheme-handler/tel;\n";
    std::ofstream(dir.file("config/mimeapps.list")) << "[Default Applications]\nx-scheme-handler/tel=dialer.desktop\n";
    {
        XdgFolders folders(dir);
        EXPECT_EQ(platform::UrlOpener::desktopHandlerFor("tel"), "dialer.desktop");
        EXPECT_EQ(platform::UrlOpener::desktopHandlerFor("tel;rm -rf"), "") << "not a scheme";
        opener.useDesktopHandlers();
        ASSERT_TRUE(opener.canOpenURL("tel:13900000002"));
        ASSERT_TRUE(opener.openURL("tel:13900000002;$(id)"));
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (readFile(record).empty() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(readFile(record), "tel:13900000002;$(id)") << "one argument, no shell";
        EXPECT_FALSE(opener.canOpenURL("sms:13900000002"));
    }
    opener.resetForTesting();
}
