#include "platform/os/UserDefaults.h"

#include "platform/os/AppPaths.h"
#include "platform/os/Bundle.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/PropertyList.h"
#include "tests/platform/os/FilesTestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <sys/stat.h>

using platform::Array;
using platform::Bytes;
using platform::Dictionary;
using platform::Error;
using platform::FileUtil;
using platform::UserDefaults;
using platform::Value;

namespace {

constexpr const char* kRoleVariable = "ORB_OSFILES_DEFAULTS_ROLE";

// What the parent process stores before it starts the child.
void storeSample(UserDefaults& defaults)
{
    defaults.setString("13800000000", "account");
    defaults.setString("密码", "pwd");
    defaults.setBool(true, "auto_login");
    defaults.setInteger(-1, "user_default_7_4");
    defaults.setDouble(2.5, "ratio");
    defaults.setData(Bytes { 0, 1, 2, 0xFF }, "user_default_7_6");
    defaults.setObject(Value(Array { Value("a"), Value(2) }), "list");
    defaults.setObject(
        Value(Dictionary { { "has_load", Value(true) }, { "refresh_time", Value("2024-01-02") } }), "contacts_7");
    defaults.setObject(Value(platform::Date { 1704164645 }), "updateData");
}

// The checks both processes make on what they read.
bool holdsSample(const UserDefaults& defaults)
{
    return defaults.stringForKey("account") == "13800000000" && defaults.stringForKey("pwd") == "密码"
        && defaults.boolForKey("auto_login") && defaults.integerForKey("user_default_7_4") == -1
        && defaults.doubleForKey("ratio") == 2.5 && defaults.dataForKey("user_default_7_6") == Bytes { 0, 1, 2, 0xFF }
    && defaults.arrayForKey("list") == Array { Value("a"), Value(2) }
    && defaults.dictionaryForKey("contacts_7").value_or(Dictionary {}).get("has_load") == Value(true)
        && defaults.objectForKey("updateData") == Value(platform::Date { 1704164645 });
}

// When this executable is started as the second process of the restart test,
// it does its part before the test framework starts, and exits.
int runChildRole()
{
    const char* role = std::getenv(kRoleVariable);
    if (!role)
        return 0;
    int code = 10;
    if (std::string(role) == "verify-then-write") {
        // ORB_HOME names the parent's home.
        auto defaults = UserDefaults::standard();
        code = holdsSample(*defaults) ? 0 : 3;
        // Not synchronized on purpose: the exit must save it.
        defaults->setString("written by the second process", "fromChild");
    }
    std::exit(code);
}

[[maybe_unused]] const int childRole = runChildRole();

class UserDefaultsTest : public osfiles_test::FreshHome {
protected:
    std::string path() { return home + "/defaults.plist"; }
};

TEST_F(UserDefaultsTest, TypedReadsAndWrites)
{
    ASSERT_TRUE(FileUtil::createDirectory(home));
    UserDefaults defaults(path());
    storeSample(defaults);
    EXPECT_TRUE(holdsSample(defaults));

    // Lenient readers, as the stored kinds allow.
    defaults.setString("42abc", "numericText");
    EXPECT_EQ(defaults.integerForKey("numericText"), 42);
    defaults.setString("YES", "flagText");
    EXPECT_TRUE(defaults.boolForKey("flagText"));
    EXPECT_EQ(defaults.stringForKey("user_default_7_4"), "-1");
    EXPECT_FALSE(defaults.stringForKey("list"));
    EXPECT_FALSE(defaults.dataForKey("account"));
    EXPECT_FALSE(defaults.arrayForKey("account"));
    EXPECT_FALSE(defaults.dictionaryForKey("list"));
    EXPECT_EQ(defaults.integerForKey("missing"), 0);
    EXPECT_FALSE(defaults.boolForKey("list"));
    EXPECT_TRUE(defaults.objectForKey("missing").isNull());

    // Null removes; a record has no stored form and leaves the old value.
    EXPECT_TRUE(defaults.setObject(Value(), "ratio"));
    EXPECT_FALSE(defaults.dictionaryRepresentation().contains("ratio"));
    struct Record final : platform::Object { };
    platform::LogCapture capture;
    EXPECT_FALSE(defaults.setObject(Value(std::make_shared<Record>()), "account"));
    EXPECT_FALSE(defaults.setObject(Value(Array { Value() }), "account"));
    EXPECT_TRUE(capture.contains("refused"));
    EXPECT_EQ(defaults.stringForKey("account"), "13800000000");
    defaults.removeObjectForKey("account");
    EXPECT_FALSE(defaults.stringForKey("account"));
}

TEST_F(UserDefaultsTest, PersistsAsAPrivateXmlPropertyList)
{
    ASSERT_TRUE(FileUtil::createDirectory(home));
    {
        UserDefaults first(path());
        storeSample(first);
        Error error;
        ASSERT_TRUE(first.synchronize(&error)) << error.description();
        first.setString("saved when the object goes away", "late");
    }
    UserDefaults second(path());
    EXPECT_TRUE(holdsSample(second));
    EXPECT_EQ(second.stringForKey("late"), "saved when the object goes away");

    struct stat st { };
    ASSERT_EQ(::stat(path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    auto asRead = platform::PropertyList::readFile(path());
    ASSERT_TRUE(asRead);
    EXPECT_EQ(asRead->asDictionary()->get("account"), Value("13800000000"));
    if (osfiles_test::haveTool("xmllint"))
        EXPECT_EQ(osfiles_test::runCommand("xmllint --noout " + path() + " 2>&1").status, 0);
    else
        EXPECT_FALSE(testsupport::toolsRequired()) << "xmllint is not installed";
    // Nothing but the file and its last good copy.
    EXPECT_EQ(FileUtil::list(home), (std::vector<std::string> { "defaults.plist", "defaults.plist.bak" }));
}

TEST_F(UserDefaultsTest, SecondProcessReadsWhatTheFirstWrote)
{
    auto defaults = UserDefaults::standard();
    EXPECT_EQ(defaults->path(), home + "/Library/Preferences/" + *platform::Bundle::main()->identifier() + ".plist");
    storeSample(*defaults);
    ASSERT_TRUE(defaults->synchronize());

    int code = osfiles_test::runSelf({ { kRoleVariable, "verify-then-write" }, { "ORB_HOME", home } });
    ASSERT_EQ(code, 0) << "the second process did not read the values (3) or failed (-1)";

    // What the second process saved at its exit reaches this one.
    EXPECT_FALSE(defaults->stringForKey("fromChild"));
    ASSERT_TRUE(defaults->synchronize());
    EXPECT_EQ(defaults->stringForKey("fromChild"), "written by the second process");
    EXPECT_TRUE(holdsSample(*defaults));
}

TEST_F(UserDefaultsTest, HalfAFileIsReportedAndTheLastGoodCopyRestored)
{
    ASSERT_TRUE(FileUtil::createDirectory(home));
    {
        UserDefaults first(path());
        storeSample(first);
        ASSERT_TRUE(first.synchronize());
    }
    auto whole = FileUtil::readText(path());
    ASSERT_TRUE(whole);
    std::string half = whole->substr(0, whole->size() / 2);
    ASSERT_TRUE(FileUtil::write(path(), half));

    platform::LogCapture capture;
    UserDefaults second(path());
    EXPECT_TRUE(capture.contains("could not read " + path()));
    EXPECT_TRUE(capture.contains("restored"));
    EXPECT_TRUE(holdsSample(second));

    // The next save repairs the file and keeps the damaged one aside.
    Error error;
    ASSERT_TRUE(second.synchronize(&error)) << error.description();
    UserDefaults third(path());
    EXPECT_TRUE(holdsSample(third));
    EXPECT_EQ(FileUtil::readText(path() + ".corrupt"), half);
}

TEST_F(UserDefaultsTest, LiveObjectKeepsItsValuesWhenTheFileIsCut)
{
    ASSERT_TRUE(FileUtil::createDirectory(home));
    UserDefaults defaults(path());
    storeSample(defaults);
    ASSERT_TRUE(defaults.synchronize());
    auto whole = FileUtil::readText(path());
    ASSERT_TRUE(FileUtil::write(path(), whole->substr(0, whole->size() / 2)));

    platform::LogCapture capture;
    Error error;
    EXPECT_FALSE(defaults.synchronize(&error));
    EXPECT_EQ(error.code(), platform::kPropertyListReadCorruptError);
    EXPECT_TRUE(capture.contains("could not read"));
    EXPECT_TRUE(holdsSample(defaults));
    // The values went straight back to disk.
    UserDefaults other(path());
    EXPECT_TRUE(holdsSample(other));
}

TEST_F(UserDefaultsTest, BrokenFileAndCopyStartEmptyWithoutDestroyingEither)
{
    ASSERT_TRUE(FileUtil::createDirectory(home));
    std::string garbage = "<?xml version=\"1.0\"?><plist><dict><key>account</key><string>1380";
    ASSERT_TRUE(FileUtil::write(path(), garbage));
    ASSERT_TRUE(FileUtil::write(path() + ".bak", std::string_view("not even xml")));

    platform::LogCapture capture;
    UserDefaults defaults(path());
    EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
    EXPECT_TRUE(capture.contains("no usable last good copy"));
    // Nothing changed: nothing written, the damaged file stays as it was.
    EXPECT_TRUE(defaults.synchronize());
    EXPECT_EQ(FileUtil::readText(path()), garbage);

    defaults.setString("new", "account");
    ASSERT_TRUE(defaults.synchronize());
    EXPECT_EQ(FileUtil::readText(path() + ".corrupt"), garbage);
    EXPECT_EQ(UserDefaults(path()).stringForKey("account"), "new");
}

TEST_F(UserDefaultsTest, PicksUpWhatAnotherWriterSaved)
{
    ASSERT_TRUE(FileUtil::createDirectory(home));
    UserDefaults reader(path());
    UserDefaults writer(path());
    writer.setString("from the writer", "updateTime");
    ASSERT_TRUE(writer.synchronize());
    EXPECT_FALSE(reader.stringForKey("updateTime"));
    ASSERT_TRUE(reader.synchronize());
    EXPECT_EQ(reader.stringForKey("updateTime"), "from the writer");

    // A file removed behind our back is written again rather than lost.
    ASSERT_TRUE(FileUtil::remove(path()));
    ASSERT_TRUE(reader.synchronize());
    EXPECT_EQ(UserDefaults(path()).stringForKey("updateTime"), "from the writer");
}

TEST_F(UserDefaultsTest, StandardFollowsTheHomeAndSavesTheOldOne)
{
    auto first = UserDefaults::standard();
    EXPECT_EQ(first, UserDefaults::standard());
    first->setString("first home", "where");

    osfiles_test::TempDir other;
    platform::AppPaths::setHome(other.path());
    auto second = UserDefaults::standard();
    EXPECT_NE(first, second);
    EXPECT_EQ(second->path().rfind(other.path(), 0), 0u);
    EXPECT_FALSE(second->stringForKey("where"));
    // Switching homes wrote out the first home's pending value.
    EXPECT_EQ(UserDefaults(first->path()).stringForKey("where"), "first home");
    platform::AppPaths::setHome(home);
    UserDefaults::standard();
}

} // namespace
