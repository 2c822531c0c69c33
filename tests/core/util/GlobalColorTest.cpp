#include "core/util/GlobalColor.h"
#include "tests/core/util/CoreTestSupport.h"

#include "platform/os/AppPaths.h"
#include "tests/support/BuildPaths.h"

#include <gtest/gtest.h>

#include <fstream>

using core::GlobalColor;
using platform::Color;

namespace {

class ThemeColours : public ::testing::Test {
protected:
    void SetUp() override { platform::AppPaths::setResourcesDirectory(home.path()); }
    void TearDown() override { platform::AppPaths::resetResourcesDirectory(); }

    void writeList(const std::string& name, const std::string& entries)
    {
        std::ofstream(home.path() + "/" + name + ".plist")
            << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
            << entries << "</dict>\n</plist>\n";
    }
    static std::string entry(const std::string& name, const std::string& color)
    {
        return "<key>" + name + "</key><dict><key>color</key><string>" + color + "</string></dict>\n";
    }

    coretest::TempHome home;
};

TEST_F(ThemeColours, NothingBeforeAListIsLoaded)
{
    GlobalColor fresh;
    EXPECT_FALSE(fresh.colorNamed("main"));
    EXPECT_TRUE(fresh.colors().empty());
    EXPECT_EQ(fresh.plist(), "");
}

TEST_F(ThemeColours, EntriesOfTheWrongShapeAreSkipped)
{
    writeList("theme",
        entry("main", "1A9E8F")
            + "<key>as_text</key><string>1A9E8F</string>\n"
              "<key>no_color</key><dict><key>colour</key><string>1A9E8F</string></dict>\n"
              "<key>number</key><dict><key>color</key><integer>123456</integer></dict>\n"
            + entry("short", "12345") + entry("with_hash", "#12345") + entry("not_hex", "GG0000")
            + entry("main_dark", "0e665c"));
    GlobalColor::setPlist("theme");
    auto shared = GlobalColor::instance();
    EXPECT_EQ(shared->plist(), "theme");
    EXPECT_EQ(shared->colors().size(), 2u);
    auto main = GlobalColor::getColor("main");
    ASSERT_TRUE(main);
    EXPECT_EQ(*main, (Color { 0x1A / 255.0, 0x9E / 255.0, 0x8F / 255.0, 1.0 }));
    auto dark = GlobalColor::getColor("main_dark");
    ASSERT_TRUE(dark);
    EXPECT_EQ(*dark, (Color { 0x0E / 255.0, 0x66 / 255.0, 0x5C / 255.0, 1.0 }));
    for (const char* skipped : { "as_text", "no_color", "number", "short", "with_hash", "not_hex", "unknown" })
        EXPECT_FALSE(GlobalColor::getColor(skipped)) << skipped;
}

TEST_F(ThemeColours, ASecondListReplacesAllColours)
{
    writeList("first", entry("main", "FF0000") + entry("extra", "00FF00"));
    writeList("second", entry("main", "0000FF") + entry("main_light", "EEEEEE"));
    GlobalColor::setPlist("first");
    ASSERT_TRUE(GlobalColor::getColor("extra"));
    GlobalColor::setPlist("second");
    EXPECT_FALSE(GlobalColor::getColor("extra"));
    EXPECT_EQ(GlobalColor::getColor("main"), (Color { 0, 0, 1, 1 }));
    EXPECT_TRUE(GlobalColor::getColor("main_light"));

    // A missing list drops the colours too.
    GlobalColor::setPlist("missing");
    EXPECT_EQ(GlobalColor::instance()->plist(), "missing");
    EXPECT_TRUE(GlobalColor::instance()->colors().empty());
    EXPECT_FALSE(GlobalColor::getColor("main"));

    // So does a file that is not a property list.
    std::ofstream(home.path() + "/broken.plist") << "<plist><dict><key>main</key>";
    GlobalColor::setPlist("first");
    GlobalColor::setPlist("broken");
    EXPECT_FALSE(GlobalColor::getColor("main"));
}

TEST_F(ThemeColours, TheShippedListHasTheThreeThemeColours)
{
    platform::AppPaths::setResourcesDirectory(testsupport::sourcePath("resources"));
    GlobalColor::setPlist("colors");
    for (const char* name : { "main", "main_light", "main_dark" }) {
        auto color = GlobalColor::getColor(name);
        ASSERT_TRUE(color) << name;
        EXPECT_EQ(color->alpha, 1.0);
    }
    // The light shade is lighter than the main colour, the dark one darker.
    auto sum = [](const Color& c) { return c.red + c.green + c.blue; };
    EXPECT_GT(sum(*GlobalColor::getColor("main_light")), sum(*GlobalColor::getColor("main")));
    EXPECT_LT(sum(*GlobalColor::getColor("main_dark")), sum(*GlobalColor::getColor("main")));
}

} // namespace
