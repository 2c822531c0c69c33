// Every layout file the client ships, loaded with the class registered under
// its name, connects every outlet and action the class requires and nothing
// the class lacks.
#include "platform/os/AppPaths.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/PlatformJson.h"
#include "platform/uikit/LayoutLoader.h"
#include "tests/support/app/SignedInScreen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

using namespace testsupport;

namespace {

class LayoutFiles : public SignedInScreenTest { };

std::string firstClassIn(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    auto parsed = platform::PlatformJson::read(text.str());
    if (!parsed)
        return {};
    const platform::Array* entries = parsed->asArray();
    if (!entries)
        entries = (*parsed)["objects"].asArray();
    if (!entries || entries->empty())
        return {};
    return (*entries)[0]["class"].stringValue();
}

} // namespace

// A file whose first object is its class (cells, headers) binds to that
// object; any other file (screens, views that hold their layout) binds to a
// fresh object of the class, as the class loads it.
TEST_F(LayoutFiles, EveryLayoutConnectsWithItsClassWithoutAReport)
{
    signIn();
    platform::LayoutLoader::takeReports();
    std::vector<std::string> names;
    for (const auto& entry :
        std::filesystem::directory_iterator(platform::AppPaths::resourcesDirectory() + "/layouts")) {
        if (entry.path().extension() == ".json")
            names.push_back(entry.path().stem().string());
    }
    std::sort(names.begin(), names.end());
    ASSERT_GE(names.size(), 25u);
    for (const auto& name : names) {
        SCOPED_TRACE(name);
        auto object = platform::ClassRegistry::shared().create(name);
        ASSERT_NE(object, nullptr) << "no class is registered under the layout's name";
        const bool selfContained = firstClassIn(platform::LayoutLoader::pathFor(name)) == name;
        auto loaded = platform::LayoutLoader::loadNamed(name, selfContained ? nullptr : object);
        EXPECT_FALSE(loaded.empty());
        std::string reports;
        for (const auto& line : platform::LayoutLoader::takeReports())
            reports += "\n  " + line;
        EXPECT_TRUE(reports.empty()) << reports;
    }
}
