#include "app/about/AboutViewController.h"

#include "platform/graphics/Text.h"
#include "platform/os/Bundle.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"

AboutViewController::AboutViewController()
    : AboutViewController(std::string(kClassName))
{
}

AboutViewController::AboutViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
{
    setTitle("关于瑞鸥");
}

void AboutViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("lblVersion", lblVersion_);
    bindings.outlet("lblRight", lblRight_);
    bindings.outlet("imgViewIcon", imgViewIcon_);
    // A back button of the page itself; this layout has none (the bar goes back).
    bindings.optionalAction("btnBackTouchUpInside:", &AboutViewController::btnBackTouchUpInside);
}

void AboutViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    std::string version = platform::Bundle::main()->buildVersion().value_or("");
    lblVersion_->setText(std::string(kApplicationTitle) + " v" + version);
    auto frame = lblRight_->frame();
    double needed = platform::measureText(lblRight_->text(), lblRight_->font(),
        platform::Size(frame.width(), platform::kUnlimitedTextExtent))
                        .height;
    // Grows upwards: the footer's bottom edge stays where the layout put it.
    double growth = needed - frame.height();
    frame.size.height = needed;
    frame.origin.y -= growth;
    lblRight_->setFrame(frame);
    // And it stays that far above the foot of the screen on either screen.
    keepAboveVisibleBottom(lblRight_);
}

void AboutViewController::btnBackTouchUpInside(UIControl*)
{
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}
