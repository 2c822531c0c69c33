#pragma once

#include "platform/uikit/UITableView.h"
#include "server/ReplyScript.h"
#include "server/RequestLog.h"
#include "tests/support/app/ClientApp.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

class UIViewController;

namespace testsupport {

// The fixture of screen tests: the real client started on a fresh home
// against the in-process stand-in server on the manual clock; signIn() takes
// a demo person through the screens to the main screen. Requests are named by
// their command code (core::ORBEndpoints::Cmd), never by number.
class SignedInScreenTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    AppHarness& harness() { return *harness_; }
    const AppHarness& harness() const { return *harness_; }

    // Signs in (default: the demo teacher); fails the test when it does not come to the main screen.
    void signIn(const char* account = kDemoTeacher, const char* password = kDemoTeacherPassword, long chooserRow = 0);

    // Shows the tab, pushes the screen on its navigation controller as the
    // tab's screens do, and lets the transition finish.
    template <class Screen> std::shared_ptr<Screen> open(std::shared_ptr<Screen> screen, int tab)
    {
        pushOnTab(screen, tab);
        return screen;
    }
    // Leaves the screen on top as its back button does, with the test's own
    // hold on it let go, and checks that nothing else keeps it (a request, a
    // timer or a block it handed out); returns the screen now on top.
    template <class Screen> std::shared_ptr<UIViewController> leave(std::shared_ptr<Screen>& screen)
    {
        std::weak_ptr<Screen> gone = screen;
        screen.reset();
        popTopScreen();
        EXPECT_TRUE(gone.expired()) << "the screen outlived its leaving";
        return topScreen();
    }
    // The cell of a row, scrolled into view and laid out, as the person would see it.
    template <class Cell> std::shared_ptr<Cell> visibleCell(UITableView& table, long row, long section = 0) const
    {
        return std::dynamic_pointer_cast<Cell>(visibleRow(table, row, section));
    }

    // The requests with this command the server has seen, oldest first.
    std::vector<server::LoggedRequest> requests(const char* command) const;
    // Waits until the server has answered `count` requests with this command in all.
    bool waitForAnswer(const char* command, std::size_t count = 1) const;
    // The next request with this command gets `reply`, held until the gate
    // returned is opened: what the screen shows meanwhile can be looked at.
    std::shared_ptr<server::ReplyGate> holdNext(const char* command, const server::ScriptedReply& reply = server::ScriptedReply::normal());

private:
    void popTopScreen();
    std::shared_ptr<UIViewController> topScreen() const;
    void pushOnTab(const std::shared_ptr<UIViewController>& screen, int tab);
    std::shared_ptr<UITableViewCell> visibleRow(UITableView& table, long row, long section) const;

    std::unique_ptr<AppHarness> harness_ = std::make_unique<AppHarness>();
};

} // namespace testsupport
