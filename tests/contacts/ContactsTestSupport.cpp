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

#include <algorithm>
#include <zlib.h>

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

std::string compressedWithRepeats(
    const std::string& head, const std::string& unit, std::size_t bytes, const std::string& tail, bool gzip)
{
    z_stream z {};
    if (unit.empty() || deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, gzip ? 31 : 15, 9, Z_DEFAULT_STRATEGY) != Z_OK)
        return {};
    std::string out;
    unsigned char buffer[1 << 16];
    auto feed = [&](const char* data, std::size_t size, int flush) {
        z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
        z.avail_in = static_cast<uInt>(size);
        do {
            z.next_out = buffer;
            z.avail_out = sizeof buffer;
            deflate(&z, flush);
            out.append(reinterpret_cast<char*>(buffer), sizeof buffer - z.avail_out);
        } while (z.avail_out == 0 || (flush == Z_FINISH && z.avail_in != 0));
    };
    feed(head.data(), head.size(), Z_NO_FLUSH);
    std::string repeats;
    while (repeats.size() < (std::size_t { 1 } << 20))
        repeats += unit;
    for (std::size_t left = bytes; left > 0;) {
        std::size_t piece = std::min(left, repeats.size());
        feed(repeats.data(), piece, Z_NO_FLUSH);
        left -= piece;
    }
    feed(tail.data(), tail.size(), Z_FINISH);
    deflateEnd(&z);
    return out;
}

std::string compressedWithPadding(const std::string& head, std::size_t padding, const std::string& tail, bool gzip)
{
    return compressedWithRepeats(head, " ", padding, tail, gzip);
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
