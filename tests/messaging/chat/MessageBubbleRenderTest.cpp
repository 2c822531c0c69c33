#include "tests/messaging/chat/ChatTable.h"

#include "messaging/chat/MessageGroupCenterCell.h"
#include "messaging/chat/MessagePhotoLeftCell.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"

#include <gtest/gtest.h>

#include <filesystem>

using chattest::ChatBubbleTest;
using chattest::ChatTable;

namespace {

// A point inside the bubble of a row, in the table's coordinates.
platform::Point insideBubble(const ChatTable& chat, long row)
{
    auto cell = chat.cellAt(row);
    auto bubble = cell->wrapperView()->frame();
    auto rowRect = chat.table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0));
    return platform::Point(bubble.midX(), rowRect.minY() + bubble.minY() + 5);
}

} // namespace

// Every bubble kind in both directions, one conversation, drawn to
// renders/messaging-chat-bubbles.png: the other party's bubbles light on the
// left, one's own teal on the right, photos fitted, voice lengths beside.
TEST_F(ChatBubbleTest, RendersAConversationOfEveryBubbleKind)
{
    auto chat = ChatTable::inWindow(platform::Rect(0, 0, 320, 1460));
    auto sending = textMessage("好的，我这就发过去", true);
    sending->isSending = true;
    chat->messages = {
        textMessage("王老师您好，孩子今天有点发烧，想请半天假。", false),
        textMessage("收到，请注意休息，明天见😀", true),
        textMessage("好", false),
        photoMessage("photo-400x300.jpg", false),
        photoMessage("photo-200x300.jpg", true),
        soundMessage(8, false),
        soundMessage(75, true),
        textMessage("Thanks! See you tomorrow at the school gate.", false),
        groupMessage("各位家长：本周五下午三点开家长会，请准时参加。", 3, 14),
        sending,
    };
    chat->reload();
    // The photos arrive, are measured and their rows laid out again; the avatars fade in.
    ASSERT_TRUE(harness().runUntil([&] { return chat->sizeUpdates >= 2; }));
    ASSERT_TRUE(harness().waitForServerQuiet());
    harness().advance(1.0);
    chat->reload();
    harness().advance(0.5);

    std::filesystem::path folder = std::filesystem::current_path() / "renders";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "messaging-chat-bubbles.png").string();
    ASSERT_TRUE(chat->table->renderToPNG(path));
    auto image = chat->table->renderToImage(2);
    ASSERT_TRUE(image.has_value());

    auto colourAt = [&](platform::Point p) { return image->colorAt(int(p.x * 2), int(p.y * 2)); };
    // Left bubbles are light, right bubbles the app's teal.
    auto left = colourAt(insideBubble(*chat, 0));
    EXPECT_GT(left.red, 0.95);
    EXPECT_GT(left.blue, 0.95);
    auto right = colourAt(insideBubble(*chat, 1));
    EXPECT_LT(right.red, 0.3);
    EXPECT_GT(right.green, 0.55);
    // A fitted photo fills its bubble but for the margins: 120 wide, 90 high.
    auto photoCell = std::dynamic_pointer_cast<MessagePhotoLeftCell>(chat->cellAt(3));
    ASSERT_NE(photoCell, nullptr);
    EXPECT_EQ(photoCell->photoView()->frame().size, platform::Size(120, 90));
    EXPECT_EQ(photoCell->photoView()->image()->size(), platform::Size(400, 300));
}
