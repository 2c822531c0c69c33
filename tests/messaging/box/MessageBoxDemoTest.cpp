// The message box of the demo school as a person meets it in the first
// minutes: a pull-down that ends puts the list back at rest, and every
// conversation's line in the box says what its last bubble shows.
#include "app/main/ORBViewController.h"
#include "core/session/MyAccountInfo.h"
#include "messaging/box/MessageBoxViewController.h"
#include "tests/messaging/box/BoxTestSupport.h"
#include "messaging/box/MessageSingleCell.h"
#include "messaging/chat/MessageGroupCenterCell.h"
#include "messaging/chat/MessageLeftCell.h"
#include "messaging/chat/MessagePhotoLeftCell.h"
#include "messaging/chat/MessageRightCell.h"
#include "messaging/chat/MessageSoundLeftCell.h"
#include "messaging/chat/MessageViewController.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/tables/RefreshTableView.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

class MessageBoxDemoTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(startClient(harness)); }
    void TearDown() override { core::MyAccountInfo::setInstance(nullptr); }

    void signIn(const char* account, const char* password)
    {
        ASSERT_TRUE(signInThroughScreens(harness, account, password));
        ASSERT_TRUE(box());
        waitIdle();
        // The first tab the person opens.
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        harness.loop().runUntilIdle();
        // The tab's first appearance asks for the navigation rows: a request
        // still out when a test pulls the list down would close its band.
        waitIdle();
    }

    static std::shared_ptr<MessageBoxViewController> box() { return boxtest::box(); }

    void waitIdle()
    {
        ASSERT_TRUE(harness.runUntil(boxtest::boxIdle, 20));
    }

    // What the chat shows as its last bubble, in the box's words: a text
    // bubble's text, "[声音]" for a voice clip, "[图片]" for a photo.
    static std::string lastBubbleInBoxWords(MessageViewController& chat)
    {
        auto table = std::dynamic_pointer_cast<UITableView>(findViewByOutlet(chat.view(), "tableView"));
        long rows = table->numberOfRowsInSection(0);
        if (rows == 0)
            return "(no bubble)";
        table->layoutIfNeeded();
        auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(rows - 1, 0));
        if (auto text = std::dynamic_pointer_cast<MessageLeftCell>(cell))
            return text->lblContent() ? text->lblContent()->text() : "";
        if (auto text = std::dynamic_pointer_cast<MessageRightCell>(cell))
            return text->lblContent() ? text->lblContent()->text() : "";
        if (auto group = std::dynamic_pointer_cast<MessageGroupCenterCell>(cell))
            return group->lblContent() ? group->lblContent()->text() : "";
        if (std::dynamic_pointer_cast<MessageSoundLeftCell>(cell))
            return "[声音]";
        if (std::dynamic_pointer_cast<MessagePhotoLeftCell>(cell))
            return "[图片]";
        return "(a bubble of another kind)";
    }

    // For every conversation of the box: its line in the box, then what the
    // chat opened from that row shows last.
    void expectEveryPreviewTruthful()
    {
        const std::size_t rows = box()->listData().size();
        ASSERT_GT(rows, 0u);
        for (std::size_t i = 0; i < rows; ++i) {
            auto message = box()->listData()[i];
            if (message->group)
                continue;
            auto table = boxtest::table(box());
            table->layoutIfNeeded();
            auto cell = std::dynamic_pointer_cast<MessageSingleCell>(table->cellForRowAtIndexPath(
                NSIndexPath::indexPathForRow(long(i), MessageBoxViewController::kListSection)));
            ASSERT_NE(cell, nullptr);
            const std::string preview = boxtest::text(cell, "lblContent");
            const std::string name = message->contact->name;

            ASSERT_TRUE(harness.selectRow(table, MessageBoxViewController::kListSection, long(i))) << name << " row " << i;
            settle(harness, 0.6);
            auto chat = std::dynamic_pointer_cast<MessageViewController>(harness.topScreen());
            ASSERT_NE(chat, nullptr) << name;
            EXPECT_EQ(preview, lastBubbleInBoxWords(*chat)) << name;
            chat->btnBackTouchUpInisde(nullptr);
            settle(harness, 0.6);
            ASSERT_EQ(harness.topScreen(), box());
        }
    }

    AppHarness harness;
};

// The demo teacher's box holds a conversation whose only message is a voice
// clip: the box must not show a text the conversation does not hold.
TEST_F(MessageBoxDemoTest, EachLineSaysWhatItsConversationEndsWith)
{
    signIn(kDemoTeacher, kDemoTeacherPassword);
    bool voiceOnly = false;
    for (const auto& message : box()->listData()) {
        if (message->contact && message->contact->name == "陈静") {
            voiceOnly = true;
            EXPECT_EQ(MessageSingleCell::contentText(*message), "[声音]");
        }
    }
    EXPECT_TRUE(voiceOnly) << "the demo teacher hears from 陈静";
    expectEveryPreviewTruthful();
}

TEST_F(MessageBoxDemoTest, EachLineOfTheParentOfTwoToo)
{
    signIn(kDemoParentOfTwo, kDemoParentPassword);
    expectEveryPreviewTruthful();
}

// A pull-down opens the loading band; when the poll it asked for has ended,
// the band closes and the list is back at its top edge with the header out
// of sight, without anyone touching it again.
TEST_F(MessageBoxDemoTest, APullDownThatEndsLeavesTheListAtRest)
{
    signIn(kDemoTeacher, kDemoTeacherPassword);
    auto table = boxtest::table(box());
    auto header = table->headerView();
    ASSERT_EQ(table->contentOffset().y, 0);
    const std::size_t pollsBefore = harness.server()->requests().withCommand("20101").size();

    harness.drag(table, 90);
    ASSERT_TRUE(table->isReloading());
    EXPECT_EQ(header->state(), RefreshTableHeaderView::Loading);
    EXPECT_EQ(table->contentInset().top, RefreshTableHeaderView::kLoadingInset);

    harness.advance(1); // the next tick polls
    waitIdle();
    EXPECT_EQ(harness.server()->requests().withCommand("20101").size(), pollsBefore + 1);
    EXPECT_FALSE(table->isReloading());

    // Checked as the band finishes closing, then 5 s and 10 s on.
    double elapsed = 0;
    for (double checkAt : { 0.5, 5.0, 10.0 }) {
        harness.advance(checkAt - elapsed);
        elapsed = checkAt;
        EXPECT_EQ(header->state(), RefreshTableHeaderView::Normal) << checkAt;
        EXPECT_EQ(header->statusLabel()->text(), "下拉刷新") << checkAt;
        EXPECT_EQ(table->contentInset().top, 0) << checkAt;
        EXPECT_EQ(table->contentOffset().y, 0) << checkAt << " s after the poll ended";
        EXPECT_LE(header->frame().maxY(), table->bounds().minY()) << "the header is out of sight at " << checkAt;
    }
    EXPECT_FALSE(harness.render("message-box-after-refresh.png").empty());
}

} // namespace
