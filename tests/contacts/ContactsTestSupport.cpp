#include "tests/contacts/ContactsTestSupport.h"

#include "app/main/ORBViewController.h"
#include "platform/os/RunLoop.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITableView.h"
#include "server/Compression.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/ClientApp.h"

namespace contactstest {

std::shared_ptr<ContactsViewController> book()
{
    auto main = testsupport::mainScreen();
    if (!main || main->viewControllers().size() <= static_cast<std::size_t>(ORBViewController::kContactsTab))
        return nullptr;
    const auto& stack = main->viewControllers()[ORBViewController::kContactsTab]->viewControllers();
    return stack.empty() ? nullptr : std::dynamic_pointer_cast<ContactsViewController>(stack.front());
}

bool bookIdle()
{
    auto screen = book();
    return screen && !screen->isRefresh();
}

server::ScriptedReply compressedBook(const std::string& json)
{
    auto bytes = server::compress(json, server::Compression::Gzip);
    return server::ScriptedReply::custom(200, bytes.value_or(std::string()), "application/octet-stream");
}

platform::Dictionary bookRecord(testsupport::AppHarness& harness, int accountUid)
{
    return harness.userDefaults()->dictionaryForKey(std::to_string(accountUid)).value_or(platform::Dictionary {});
}

void jumpClock(double seconds)
{
    auto clock = std::dynamic_pointer_cast<platform::ManualClock>(platform::RunLoop::main().clock());
    if (clock)
        clock->set(clock->now() + seconds);
}

std::string rowName(UITableView& table, long section, long row)
{
    auto path = NSIndexPath::indexPathForRow(row, section);
    table.scrollRectToVisible(table.rectForRowAtIndexPath(path), false);
    table.layoutIfNeeded();
    auto cell = table.cellForRowAtIndexPath(path);
    if (!cell)
        return {};
    for (const auto& view : cell->contentView()->subviews()) {
        if (auto label = std::dynamic_pointer_cast<UILabel>(view))
            return label->text();
    }
    return {};
}

} // namespace contactstest
