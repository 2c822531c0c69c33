#include "platform/os/AppPaths.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/UserDefaults.h"
#include "tests/platform/os/FilesTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

using osfiles_test::ScopedEnv;
using osfiles_test::TempDir;
using platform::AppPaths;
using platform::Error;
using platform::FileUtil;

namespace {

TEST(AppPaths, HomeComesFromOverrideThenEnvironmentThenUserHome)
{
    AppPaths::resetHome();
    {
        ScopedEnv orbHome("ORB_HOME", "/srv/orb-home");
        EXPECT_EQ(AppPaths::home(), "/srv/orb-home");
        AppPaths::setHome("/tmp/override");
        EXPECT_EQ(AppPaths::home(), "/tmp/override");
        AppPaths::resetHome();
        EXPECT_EQ(AppPaths::home(), "/srv/orb-home");
    }
    ScopedEnv noOrbHome("ORB_HOME", std::nullopt);
    {
        ScopedEnv dataHome("XDG_DATA_HOME", "/data/share");
        EXPECT_EQ(AppPaths::home(), "/data/share/orb-client");
    }
    ScopedEnv noDataHome("XDG_DATA_HOME", std::nullopt);
    ScopedEnv userHome("HOME", "/home/someone");
    EXPECT_EQ(AppPaths::home(), "/home/someone/.local/share/orb-client");
}

class AppPathsHome : public osfiles_test::FreshHome { };

TEST_F(AppPathsHome, FoldersAreCreatedOnDemandAndPrivate)
{
    EXPECT_FALSE(FileUtil::exists(home));
    Error error;
    std::string documents = AppPaths::documentsDirectory(&error);
    EXPECT_EQ(documents, home + "/Documents");
    EXPECT_TRUE(FileUtil::isDirectory(documents));
    EXPECT_TRUE(error.domain().empty());

    EXPECT_EQ(AppPaths::cachesDirectory(), home + "/Library/Caches");
    EXPECT_EQ(AppPaths::preferencesDirectory(), home + "/Library/Preferences");
    EXPECT_EQ(AppPaths::temporaryDirectory(), home + "/tmp");
    EXPECT_EQ(AppPaths::libraryDirectory(), home + "/Library");
    for (const char* sub : { "Library/Caches", "Library/Preferences", "tmp" })
        EXPECT_TRUE(FileUtil::isDirectory(home + "/" + sub)) << sub;

    // The home may hold a remembered password: only the owner gets in.
    struct stat st { };
    ASSERT_EQ(::stat(home.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);

    // A folder removed while running comes back on the next request.
    ASSERT_TRUE(FileUtil::remove(home + "/tmp"));
    EXPECT_TRUE(AppPaths::createAll(&error));
    EXPECT_TRUE(FileUtil::isDirectory(home + "/tmp"));
}

TEST_F(AppPathsHome, HomeThatCannotBeCreatedGivesErrorsNotCrashes)
{
    ASSERT_TRUE(FileUtil::write(temp / "plain-file", std::string_view("x")));
    struct Case {
        std::string home;
        std::vector<int> codes;
    };
    // Under a regular file, and inside /proc where nothing can be created.
    for (const Case& c : { Case { temp / "plain-file/home", { ENOTDIR } },
             Case { "/proc/orb-osfiles-no-home", { ENOENT, EACCES, EPERM } } }) {
        SCOPED_TRACE(c.home);
        AppPaths::setHome(c.home);
        platform::LogCapture capture;
        Error error;
        std::string documents = AppPaths::documentsDirectory(&error);
        EXPECT_EQ(documents, c.home + "/Documents");
        EXPECT_EQ(error.domain(), platform::kPosixErrorDomain);
        EXPECT_NE(std::find(c.codes.begin(), c.codes.end(), error.code()), c.codes.end()) << error.description();
        EXPECT_TRUE(capture.contains("cannot create folder"));
        EXPECT_FALSE(AppPaths::createAll());

        // Files under it fail cleanly too, and settings report the failure.
        EXPECT_FALSE(FileUtil::write(documents + "/_cache.db", std::string_view("x"), FileUtil::WriteMode::Atomic));
        auto defaults = platform::UserDefaults::standard();
        defaults->setString("kept in memory", "account");
        Error saveError;
        EXPECT_FALSE(defaults->synchronize(&saveError));
        EXPECT_FALSE(saveError.domain().empty());
        EXPECT_EQ(defaults->stringForKey("account"), "kept in memory");
        EXPECT_TRUE(capture.contains("cannot save"));
    }
    AppPaths::setHome(home);
    // Leave the standard settings pointing at a writable home.
    platform::UserDefaults::standard();
}

TEST(AppPaths, ResourcesAreFoundInOrder)
{
    TempDir temp;
    ASSERT_TRUE(FileUtil::createDirectory(temp / "src/resources"));
    ASSERT_TRUE(FileUtil::createDirectory(temp / "named"));
    AppPaths::resetResourcesDirectory();
    {
        ScopedEnv named("ORB_RESOURCES", temp / "named");
        EXPECT_EQ(AppPaths::resourcesDirectory(), temp / "named");
        AppPaths::setResourcesDirectory(temp / "override");
        EXPECT_EQ(AppPaths::resourcesDirectory(), temp / "override");
        AppPaths::resetResourcesDirectory();
    }
    ScopedEnv noNamed("ORB_RESOURCES", std::nullopt);
    std::string beside = AppPaths::executableDirectory() + "/resources";
    if (FileUtil::isDirectory(beside)) {
        EXPECT_EQ(AppPaths::resourcesDirectory(), beside);
        return;
    }
    {
        ScopedEnv source("ORB_SOURCE_DIR", temp / "src");
        EXPECT_EQ(AppPaths::resourcesDirectory(), temp / "src/resources");
    }
    // Nothing found: the executable's folder, so lookups miss instead of reading elsewhere.
    ScopedEnv noSource("ORB_SOURCE_DIR", std::nullopt);
    EXPECT_EQ(AppPaths::resourcesDirectory(), beside);
}

TEST(AppPaths, ExecutableDirectoryHoldsThisTest)
{
    std::string dir = AppPaths::executableDirectory();
    EXPECT_TRUE(FileUtil::isDirectory(dir));
    EXPECT_TRUE(FileUtil::exists(dir + "/platform_os_tests"));
}

} // namespace
