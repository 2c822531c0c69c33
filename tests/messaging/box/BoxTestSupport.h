#pragma once

#include "app/main/ORBViewController.h"
#include "messaging/box/MessageBoxViewController.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/tables/RefreshTableView.h"

#include <memory>

namespace boxtest {

// The message box at the root of the first tab, once the main screen is up.
inline std::shared_ptr<MessageBoxViewController> box()
{
    auto main = testsupport::mainScreen();
    if (!main || main->viewControllers().empty())
        return nullptr;
    const auto& stack = main->viewControllers().front()->viewControllers();
    return stack.empty() ? nullptr : std::dynamic_pointer_cast<MessageBoxViewController>(stack.front());
}

// A view of the box or of one of its rows, by its outlet name.
template <class T = UIView> std::shared_ptr<T> outlet(const std::shared_ptr<UIView>& root, const std::string& name)
{
    return root ? std::dynamic_pointer_cast<T>(testsupport::findViewByOutlet(root, name)) : nullptr;
}

// The box's list.
inline std::shared_ptr<RefreshTableView> table(const std::shared_ptr<MessageBoxViewController>& screen)
{
    return screen ? outlet<RefreshTableView>(screen->view(), "tableView") : nullptr;
}

// The text of a row's label, "<none>" when the row has no such label.
inline std::string text(const std::shared_ptr<UIView>& cell, const std::string& name)
{
    auto label = outlet<UILabel>(cell, name);
    return label ? label->text() : std::string("<none>");
}

// Nothing the box has sent is still waiting for its reply.
inline bool boxIdle()
{
    auto current = box();
    return !current || (!current->isPolling() && !current->isReportingState() && !current->isLoadingNavigation());
}

} // namespace boxtest
