#pragma once

#include "app/main/ORBViewController.h"
#include "messaging/box/MessageBoxViewController.h"
#include "platform/uikit/UINavigationController.h"
#include "tests/support/app/ClientApp.h"

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

// Nothing the box has sent is still waiting for its reply.
inline bool boxIdle()
{
    auto current = box();
    return !current || (!current->isPolling() && !current->isReportingState());
}

} // namespace boxtest
