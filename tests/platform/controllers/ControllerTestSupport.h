#pragma once

#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/AnimationLog.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Controller, table, scroll and web view tests: the main loop on a manual
// clock, a visible key window, and nothing left over from the case before.
class UIKitFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RunLoop::setMainThread();
        loop = &platform::RunLoop::main();
        loop->discardPendingWork();
        loop->setClock(clock);
        resetState();
        window = std::make_shared<UIWindow>();
        window->makeKeyAndVisible();
    }

    void TearDown() override
    {
        resetState();
        window.reset();
        loop->discardPendingWork();
        loop->setClock(nullptr);
        folder.reset();
    }

    static void resetState()
    {
        UIViewController::resetWindowRoots();
        UIWindow::resetAllWindows();
        UIResponder::forceResignCurrentFirstResponder();
        UINavigationBar::resetAppearance();
        UIApplication::sharedApplication().reset();
        platform::LayoutLoader::clearOverrideDirectories();
        platform::AnimationLog::clear();
    }

    std::string tempDir()
    {
        if (!folder)
            folder.emplace("orb-controllers");
        return folder->path();
    }

    void writeFile(const std::string& path, const std::string& text) { testsupport::writeTextFile(path, text); }

    void advance(double seconds) { loop->advance(seconds); }

    // A tap at the view's centre through the window's touch input.
    void tapView(const std::shared_ptr<UIView>& view)
    {
        auto w = view->window();
        ASSERT_TRUE(w);
        w->layoutIfNeeded();
        auto b = view->bounds();
        auto point = view->convertPointToView(platform::Point(b.origin.x + b.size.width / 2, b.origin.y + b.size.height / 2), nullptr);
        w->beginTouches({ point });
        w->endTouches();
    }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(0);
    platform::RunLoop* loop = nullptr;
    std::shared_ptr<UIWindow> window;
    std::optional<testsupport::TempDir> folder;
};
