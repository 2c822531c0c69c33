#include "ui/tables/BaseCell.h"

#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UITableView.h"

#include <map>

namespace {

// Keyed by class name. Main thread only, like the layout loading that fills them.
struct Caches {
    std::map<std::string, double, std::less<>> heights;
    std::map<std::string, std::shared_ptr<UITableViewCell>, std::less<>> demos;
    std::map<std::string, std::string, std::less<>> identifiers;
};

Caches& caches()
{
    static Caches shared;
    return shared;
}

} // namespace

std::shared_ptr<UITableViewCell> BaseCell::cellNamed(std::string_view className)
{
    auto object = platform::LayoutLoader::firstTopLevelObject(className, nullptr);
    return std::dynamic_pointer_cast<UITableViewCell>(object);
}

double BaseCell::heightNamed(std::string_view className)
{
    auto& heights = caches().heights;
    if (auto found = heights.find(className); found != heights.end())
        return found->second;
    auto loaded = cellNamed(className);
    double height = loaded ? loaded->bounds().size.height : 0;
    heights.emplace(std::string(className), height);
    return height;
}

std::shared_ptr<UITableViewCell> BaseCell::demoNamed(std::string_view className)
{
    auto& demos = caches().demos;
    if (auto found = demos.find(className); found != demos.end())
        return found->second;
    auto loaded = cellNamed(className);
    demos.emplace(std::string(className), loaded);
    return loaded;
}

std::string BaseCell::identifierNamed(std::string_view className)
{
    auto& identifiers = caches().identifiers;
    if (auto found = identifiers.find(className); found != identifiers.end())
        return found->second;
    // A layout without a cell has no identifier: an empty one is kept, so the
    // file is not read again on every row.
    auto loaded = cellNamed(className);
    std::string identifier = loaded ? loaded->reuseIdentifier() : std::string();
    identifiers.emplace(std::string(className), identifier);
    return identifier;
}

std::shared_ptr<UITableViewCell> BaseCell::dequeueNamed(UITableView& table, std::string_view className)
{
    if (auto reused = table.dequeueReusableCellWithIdentifier(identifierNamed(className)))
        return reused;
    return cellNamed(className);
}

void BaseCell::resetCachesForTesting()
{
    caches().heights.clear();
    caches().demos.clear();
    caches().identifiers.clear();
}

