#pragma once

#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Every view test runs on the main loop with a manual clock, against a fresh
// view layer, with a key window of the screen's size.
class UIKitTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RunLoop::setMainThread();
        loop = &platform::RunLoop::main();
        ASSERT_TRUE(loop->isCurrent());
        loop->discardPendingWork();
        loop->setClock(clock);
        testsupport::resetUIKitState();
        window = std::make_shared<UIWindow>();
        window->makeKeyAndVisible();
    }

    void TearDown() override
    {
        testsupport::resetUIKitState();
        window.reset();
        loop->discardPendingWork();
        loop->setClock(nullptr);
        temporaryFolder.reset();
    }

    // A folder of this test's own, removed afterwards.
    std::string tempDir()
    {
        if (!temporaryFolder)
            temporaryFolder.emplace("orb-uikit");
        return temporaryFolder->path();
    }

    // Records the names of the notifications posted on the default centre.
    struct NotificationRecorder {
        std::vector<platform::Notification> posted;
        platform::ObserverToken token;
        NotificationRecorder()
        {
            token = platform::NotificationCenter::defaultCenter().addObserver(
                "", platform::Value(), [this](const platform::Notification& n) { posted.push_back(n); });
        }
        std::vector<std::string> names() const
        {
            std::vector<std::string> result;
            for (auto& n : posted)
                result.push_back(n.name);
            return result;
        }
    };

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(0);
    platform::RunLoop* loop = nullptr;
    std::shared_ptr<UIWindow> window;
    std::optional<testsupport::TempDir> temporaryFolder;
};
