#include "app/base/MissingScreenViewController.h"

#include "platform/os/Log.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"

#include <map>
#include <set>

namespace {

std::map<std::string, std::string>& titles()
{
    static std::map<std::string, std::string> map;
    return map;
}

} // namespace

MissingScreenViewController::MissingScreenViewController(std::string missingClassName)
    : BaseViewController(std::string())
    , missingClassName_(std::move(missingClassName))
{
    if (auto found = titles().find(missingClassName_); found != titles().end())
        setTitle(found->second);
}

void MissingScreenViewController::registerMissing(
    const std::vector<std::pair<std::string, std::string>>& namesAndTitles)
{
    static std::set<std::string> logged;
    auto& registry = platform::ClassRegistry::shared();
    for (const auto& [name, title] : namesAndTitles) {
        titles()[name] = title;
        if (registry.contains(name))
            continue;
        if (logged.insert(name).second)
            platform::log("screen class \"%s\" is not in this build; a stand-in shows its name\n", name.c_str());
        registry.registerClass(name, [name = name] {
            return std::static_pointer_cast<platform::Object>(std::make_shared<MissingScreenViewController>(name));
        });
    }
}

void MissingScreenViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto root = view();
    root->setBackgroundColor(platform::Color::fromRGB255(240, 242, 245));
    double width = root->bounds().width();
    auto logo = std::make_shared<UIImageView>(UIImage::imageNamed("orb_gray_logo.png"));
    logo->setFrame(platform::Rect((width - 72) / 2, 120, 72, 60));
    root->addSubview(logo);
    auto name = std::make_shared<UILabel>(platform::Rect(20, 196, width - 40, 22));
    name->setText(title().empty() ? missingClassName_ : title());
    name->setFont(UIFont::boldSystemFont(17));
    name->setTextAlignment(NSTextAlignmentCenter);
    name->setTextColor(platform::Color::fromRGB255(90, 96, 104));
    name->setOutletName("lblScreenTitle");
    root->addSubview(name);
    auto detail = std::make_shared<UILabel>(platform::Rect(20, 224, width - 40, 18));
    detail->setText(missingClassName_);
    detail->setFont(UIFont::systemFont(13));
    detail->setTextAlignment(NSTextAlignmentCenter);
    detail->setTextColor(platform::Color::fromRGB255(150, 156, 164));
    detail->setOutletName("lblClassName");
    root->addSubview(detail);
}

void MissingScreenViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
}
