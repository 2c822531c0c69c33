// Every layout file the client ships, loaded with the class registered under
// its name, connects every outlet and action the class requires and nothing
// the class lacks; and a placeholder over a text view starts clear of the
// caret the empty view shows.
#include "platform/os/AppPaths.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/PlatformJson.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITextView.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"

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

// The placeholder of an empty text view is read while its caret blinks at
// the start of the first line: the caret stands before the placeholder's
// first character, not on it.
TEST_F(LayoutFiles, EveryPlaceholderStartsRightOfTheEmptyTextViewsCaret)
{
    signIn();
    std::size_t placeholders = 0;
    for (const auto& entry :
        std::filesystem::directory_iterator(platform::AppPaths::resourcesDirectory() + "/layouts")) {
        const std::string name = entry.path().stem().string();
        if (entry.path().extension() != ".json")
            continue;
        auto object = platform::ClassRegistry::shared().create(name);
        if (!object)
            continue;
        const bool selfContained = firstClassIn(platform::LayoutLoader::pathFor(name)) == name;
        for (const auto& loaded : platform::LayoutLoader::loadNamed(name, selfContained ? nullptr : object)) {
            auto root = std::dynamic_pointer_cast<UIView>(loaded);
            if (!root)
                continue;
            for (const auto& view : findViewsByClass(root, "UITextView")) {
                auto text = std::static_pointer_cast<UITextView>(view);
                auto parent = text->superview();
                if (!parent || !text->text().empty())
                    continue;
                const auto area = text->frame();
                const auto caret = text->caretRect();
                const double caretRight = area.minX() + caret.maxX();
                const double firstLineBottom = area.minY() + caret.maxY();
                for (const auto& sibling : parent->subviews()) {
                    auto label = std::dynamic_pointer_cast<UILabel>(sibling);
                    if (!label || label->textAlignment() != NSTextAlignmentLeft)
                        continue;
                    const auto f = label->frame();
                    // A label on the text view's first line, where the caret stands.
                    if (f.minX() < area.minX() || f.minX() >= area.maxX() || f.minY() >= firstLineBottom
                        || f.maxY() <= area.minY() + caret.minY())
                        continue;
                    ++placeholders;
                    EXPECT_GE(f.minX(), caretRight) << name << ": '" << label->outletName() << "' starts under the caret of '"
                                                    << text->outletName() << "'";
                }
            }
        }
    }
    EXPECT_GE(placeholders, 7u) << "the compose, post, comment, feedback, notice, homework and service placeholders";
}
