#include "app/account/AccountScreenKit.h"

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"

#include <algorithm>

namespace account {

void popScreen(UIViewController& screen, bool animated)
{
    auto navigation = screen.navigationController();
    if (!navigation)
        return;
    auto stack = navigation->viewControllers();
    auto it = std::find_if(stack.begin(), stack.end(), [&](const auto& c) { return c.get() == &screen; });
    if (it == stack.end() || it == stack.begin())
        return;
    navigation->popToViewController(*(it - 1), animated);
}

std::shared_ptr<UIButton> textBarButton(const std::string& title, const std::string& outlet)
{
    auto button = UIButton::buttonWithType(UIButtonTypeCustom);
    button->setFrame(platform::Rect(0, 0, 50, 44));
    button->setTitle(title, UIControlStateNormal);
    button->setTitleColor(platform::Color::whiteColor(), UIControlStateNormal);
    button->setTitleColor(platform::Color::fromWhite(1, 0.5), UIControlStateHighlighted);
    button->titleLabel()->setFont(UIFont::systemFont(16));
    button->setOutletName(outlet);
    return button;
}

} // namespace account
