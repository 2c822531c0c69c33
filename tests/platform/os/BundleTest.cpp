#include "platform/os/Bundle.h"

#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/SystemInfo.h"
#include "tests/platform/os/FilesTestSupport.h"

#include <gtest/gtest.h>

using osfiles_test::ScopedEnv;
using osfiles_test::TempDir;
using platform::Bundle;
using platform::FileUtil;
using platform::SystemInfo;

namespace {

std::string trimmed(std::string s)
{
    while (!s.empty() && (s.back() == '\n' || s.back() == ' '))
        s.pop_back();
    return s;
}

TEST(Bundle, MainBundleAnswersItsFactsUnderTheirKeys)
{
    Bundle::setMain(nullptr);
    auto main = Bundle::main();
    ASSERT_TRUE(main->identifier());
    EXPECT_FALSE(main->identifier()->empty());
    EXPECT_EQ(main->shortVersion(), "1.0");
    EXPECT_EQ(main->buildVersion(), "1.0");
    auto info = main->infoDictionary();
    EXPECT_EQ(info.get(platform::kBundleIdentifierKey).stringValue(), *main->identifier());
    EXPECT_EQ(info.get(platform::kBundleNameKey).stringValue(), *main->name());
    EXPECT_EQ(info.get(platform::kBundleDisplayNameKey).stringValue(), *main->displayName());
    EXPECT_EQ(main->objectForInfoDictionaryKey(platform::kBundleVersionKey).stringValue(), "1.0");
    EXPECT_TRUE(main->objectForInfoDictionaryKey("NoSuchKey").isNull());
}

TEST(Bundle, ReplacedMainBundleLeavesOutMissingFacts)
{
    Bundle::Info info;
    info.name = "Other";
    info.shortVersion = "2.1";
    info.buildVersion = "2.1.7";
    Bundle::setMain(std::make_shared<Bundle>(info));
    auto main = Bundle::main();
    EXPECT_FALSE(main->displayName());
    EXPECT_FALSE(main->infoDictionary().contains(platform::kBundleDisplayNameKey));
    EXPECT_TRUE(main->objectForInfoDictionaryKey(platform::kBundleIdentifierKey).isNull());
    EXPECT_EQ(main->objectForInfoDictionaryKey(platform::kBundleVersionKey).stringValue(), "2.1.7");
    Bundle::setMain(nullptr);
    EXPECT_EQ(Bundle::main()->buildVersion(), Bundle::defaultInfo().buildVersion);
}

TEST(Bundle, FindsResourcesAndNothingOutsideThem)
{
    TempDir temp;
    std::string resources = temp / "resources";
    ASSERT_TRUE(FileUtil::createDirectory(resources + "/images"));
    ASSERT_TRUE(FileUtil::write(resources + "/colors.plist", std::string_view("<plist/>")));
    ASSERT_TRUE(FileUtil::write(resources + "/images/orb_gray_logo.png", std::string_view("png")));
    ASSERT_TRUE(FileUtil::write(temp / "secret.txt", std::string_view("outside")));

    Bundle bundle(Bundle::defaultInfo(), resources);
    EXPECT_EQ(bundle.pathForResource("colors", "plist"), resources + "/colors.plist");
    EXPECT_EQ(bundle.pathForResource("colors.plist", ""), resources + "/colors.plist");
    EXPECT_EQ(bundle.pathForResource("orb_gray_logo", "png", "images"), resources + "/images/orb_gray_logo.png");
    EXPECT_FALSE(bundle.pathForResource("orb_gray_logo", "png"));
    EXPECT_FALSE(bundle.pathForResource("colours", "plist"));
    EXPECT_FALSE(bundle.pathForResource("", "plist"));
    EXPECT_FALSE(bundle.pathForResource("../secret", "txt"));
    EXPECT_FALSE(bundle.pathForResource("secret", "txt", ".."));
    EXPECT_FALSE(bundle.pathForResource(temp / "secret", "txt"));

    // The main bundle follows the resources folder named by the environment.
    ScopedEnv named("ORB_RESOURCES", resources);
    platform::AppPaths::resetResourcesDirectory();
    Bundle::setMain(nullptr);
    EXPECT_EQ(Bundle::main()->resourcePath(), resources);
    EXPECT_EQ(Bundle::main()->pathForResource("colors", "plist"), resources + "/colors.plist");
}

TEST(SystemInfo, FactsMatchUname)
{
    auto name = osfiles_test::runCommand("uname -s");
    auto release = osfiles_test::runCommand("uname -r");
    ASSERT_EQ(name.status, 0);
    ASSERT_EQ(release.status, 0);
    EXPECT_EQ(SystemInfo::systemName(), trimmed(name.output));
    EXPECT_EQ(SystemInfo::systemVersion(), trimmed(release.output));
    EXPECT_EQ(SystemInfo::model(), "pc");
}

TEST(SystemInfo, LocaleIdentifierComesFromTheEnvironment)
{
    ScopedEnv noAll("LC_ALL", std::nullopt);
    {
        ScopedEnv lang("LANG", "zh_CN.UTF-8");
        EXPECT_EQ(SystemInfo::localeIdentifier(), "zh_CN");
        ScopedEnv all("LC_ALL", "de_DE@euro");
        EXPECT_EQ(SystemInfo::localeIdentifier(), "de_DE");
    }
    for (const char* neutral : { "C", "POSIX", "C.UTF-8", "" }) {
        ScopedEnv lang("LANG", std::string(neutral));
        EXPECT_EQ(SystemInfo::localeIdentifier(), "en_US") << neutral;
    }
    ScopedEnv noLang("LANG", std::nullopt);
    EXPECT_EQ(SystemInfo::localeIdentifier(), "en_US");
}

} // namespace
