#include "tests/messaging/chat/ChatTable.h"

#include "messaging/chat/MessageGroupCenterCell.h"
#include "messaging/chat/MessagePhotoRightCell.h"
#include "messaging/chat/MessageRightCell.h"
#include "messaging/chat/MessageSendingCell.h"
#include "messaging/chat/MessageSoundRightCell.h"
#include "platform/os/DateFormat.h"
#include "platform/uikit/CALayer.h"
#include "server/StandinServer.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/tables/BaseCell.h"

#include <gtest/gtest.h>

#include <cstdlib>

using chattest::ChatBubbleTest;
using chattest::ChatTable;
using core::MessageInfo;

namespace {

platform::Rect wrapperFrame(const std::shared_ptr<MessageBaseCell>& cell) { return cell->wrapperView()->frame(); }

std::string repeated(const std::string& piece, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += piece;
    return text;
}

template <class T> std::shared_ptr<T> freshCell()
{
    auto cell = BaseCell::cell<T>();
    EXPECT_NE(cell, nullptr);
    return cell;
}

} // namespace

// Rows of a conversation in both directions: the class each message gets,
// the row height and where its bubble lies, all from the layouts' numbers
// (text bubbles 64 × 38 in a 70-point row with the text 36 × 20 inside, text
// 15 points wrapping at 220; photo box 120 × 120 in a 164-point row).
TEST_F(ChatBubbleTest, RowsTakeTheirClassHeightAndBubbleFromTheMessage)
{
    auto chat = ChatTable::inWindow(platform::Rect(0, 0, 320, 3000));
    struct Row {
        std::shared_ptr<MessageInfo> message;
        std::string_view cellClass;
        double height;
        double bubbleX;
        double bubbleWidth;
    };
    std::vector<Row> rows = {
        // One character still gets the layout's bubble.
        { textMessage("好", false), MessageLeftCell::kClassName, 70, 52, 64 },
        { textMessage("好", true), MessageRightCell::kClassName, 70, 204, 64 },
        // Ten characters on one line: 150 points of text and the 28 of margins.
        { textMessage(repeated("家", 10), false), MessageLeftCell::kClassName, 70, 52, 178 },
        { textMessage(repeated("家", 10), true), MessageRightCell::kClassName, 70, 90, 178 },
        // Thirty wrap 14 to a line: three lines of 18 points and the 50 around them.
        { textMessage(repeated("校", 30), false), MessageLeftCell::kClassName, 104, 52, 238 },
        { textMessage(repeated("校", 30), true), MessageRightCell::kClassName, 104, 30, 238 },
        // Emoji are as wide as a Chinese character: twenty make two lines.
        { textMessage(repeated("😀", 3), false), MessageLeftCell::kClassName, 70, 52, 73 },
        { textMessage(repeated("😀", 20), true), MessageRightCell::kClassName, 86, 30, 238 },
        // A photo of unknown size has the layout's row; a known one its own height.
        { photoMessage("photo-400x100.png", false), MessagePhotoLeftCell::kClassName, 164, 52, 138 },
        { photoMessage("photo-400x100.png", true, 120, 30), MessagePhotoRightCell::kClassName, 74, 130, 138 },
        { photoMessage("photo-100x400.png", true, 30, 120), MessagePhotoRightCell::kClassName, 164, 220, 48 },
        // Voice rows have the layout's height; the bubble follows the length.
        { soundMessage(12, false), MessageSoundLeftCell::kClassName, 70, 52, 130 },
        { soundMessage(75, true), MessageSoundRightCell::kClassName, 70, 88, 180 },
        // A group send without attachments: one line of text in its 40-point area and the 38 around.
        { groupMessage("明天春游，请带好水杯。", 0, 0), MessageGroupCenterCell::kClassName, 78, 40, 240 },
        { groupMessage("明天春游，请带好水杯。", 2, 8), MessageGroupCenterCell::kClassName, 188, 40, 240 },
    };
    auto sending = textMessage("路上", true);
    sending->isSending = true;
    rows.push_back({ sending, MessageSendingCell::kClassName, 70, 204, 64 });

    for (const auto& row : rows)
        chat->messages.push_back(row.message);
    chat->reload();
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE("row " + std::to_string(i) + " " + std::string(rows[i].cellClass));
        auto cell = chat->cellAt(static_cast<long>(i));
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->className(), rows[i].cellClass);
        EXPECT_EQ(chat->heightAt(static_cast<long>(i)), rows[i].height);
        EXPECT_EQ(cell->frame().height(), rows[i].height);
        EXPECT_EQ(wrapperFrame(cell).minX(), rows[i].bubbleX);
        EXPECT_EQ(wrapperFrame(cell).width(), rows[i].bubbleWidth);
        // The bubble fills the row below the time, whatever the row's height.
        EXPECT_EQ(wrapperFrame(cell).minY(), 30);
        EXPECT_EQ(cell->frame().height() - wrapperFrame(cell).maxY(), rows[i].cellClass == "MessageGroupCenterCell" ? 4 : 2);
    }
    // The three-line text's label is exactly the measured text.
    auto wrapped = std::dynamic_pointer_cast<MessageLeftCell>(chat->cellAt(4));
    ASSERT_NE(wrapped, nullptr);
    EXPECT_EQ(wrapped->lblContent()->frame().size, platform::Size(210, 54));
    EXPECT_EQ(wrapped->lblContent()->currentLayout().lines.size(), 3u);
}

TEST_F(ChatBubbleTest, TimeLabelsCountCalendarDaysInTheDevicesZone)
{
    platform::DateFormatter full("yyyy-MM-dd HH:mm:ss");
    auto at = [&](const char* text) { return *full.dateFromString(text); };
    const auto now = at("2024-05-12 21:30:00");
    EXPECT_EQ(MessageBaseCell::timeText(at("2024-05-12 08:05:09"), now), "今天 08:05:09");
    EXPECT_EQ(MessageBaseCell::timeText(at("2024-05-11 23:59:59"), now), "昨天 23:59:59");
    EXPECT_EQ(MessageBaseCell::timeText(at("2024-05-10 00:00:00"), now), "前天 00:00:00");
    EXPECT_EQ(MessageBaseCell::timeText(at("2024-05-09 23:59:59"), now), "24-05-09 23:59:59");
    EXPECT_EQ(MessageBaseCell::timeText(at("2023-12-31 07:00:00"), now), "23-12-31 07:00:00");
    // A message dated in the future shows its date.
    EXPECT_EQ(MessageBaseCell::timeText(at("2024-05-13 06:00:00"), now), "24-05-13 06:00:00");

    // Under summer time, just after midnight is still today (86400-second
    // periods from a winter-time reference would call it yesterday).
    setenv("TZ", "Europe/Berlin", 1);
    platform::DateFormatter berlin("yyyy-MM-dd HH:mm:ss");
    EXPECT_EQ(MessageBaseCell::timeText(*berlin.dateFromString("2024-06-10 00:30:00"),
                  *berlin.dateFromString("2024-06-10 12:00:00")),
        "今天 00:30:00");
    setenv("TZ", "Asia/Shanghai", 1);

    // The cell shows it; a message without a time leaves the label empty.
    auto cell = freshCell<MessageLeftCell>();
    auto message = textMessage("早上好", false);
    message->time = platform::Date::now().addingSeconds(-3 * 86400);
    cell->setMessage(message);
    EXPECT_EQ(cell->lblTime()->text(), MessageBaseCell::timeText(*message->time, platform::Date::now()));
    EXPECT_EQ(cell->lblTime()->text().size(), std::string("24-05-09 23:59:59").size());
    message->time.reset();
    cell->setMessage(message);
    EXPECT_EQ(cell->lblTime()->text(), "");
}

TEST_F(ChatBubbleTest, VoiceBubblesWidenWithTheClipAndShowItsLength)
{
    auto left = freshCell<MessageSoundLeftCell>();
    auto right = freshCell<MessageSoundRightCell>();
    ASSERT_TRUE(left && right);
    EXPECT_EQ(left->wrapperMaxWidth(), 180);
    EXPECT_EQ(left->wrapperMinWidth(), 80);
    EXPECT_EQ(right->wrapperX(), 268);
    struct Row {
        int seconds;
        double width;
        const char* label;
    };
    for (const Row& row : std::vector<Row> { { 0, 80, "0\"" }, { 3, 80, "3\"" }, { 4, 80, "4\"" }, { 5, 86, "5\"" },
             { 8, 105, "8\"" }, { 12, 130, "12\"" }, { 19, 174, "19\"" }, { 20, 180, "20\"" }, { 60, 180, "1'0\"" },
             { 75, 180, "1'15\"" }, { -4, 80, "0\"" } }) {
        SCOPED_TRACE(row.seconds);
        left->setMessage(soundMessage(row.seconds, false));
        right->setMessage(soundMessage(row.seconds, true));
        EXPECT_EQ(wrapperFrame(left).width(), row.width);
        EXPECT_EQ(wrapperFrame(left).minX(), 52);
        EXPECT_EQ(wrapperFrame(right).width(), row.width);
        EXPECT_EQ(wrapperFrame(right).maxX(), 268);
        EXPECT_EQ(left->lblSeconds()->text(), row.label);
        EXPECT_EQ(right->lblSeconds()->text(), row.label);
        // The length stays beside the bubble, away from the avatar.
        EXPECT_EQ(left->lblSeconds()->frame().minX(), row.width + 6);
        EXPECT_EQ(right->lblSeconds()->frame().maxX(), -6);
    }
    // The loudspeaker's two frames, looping.
    auto icon = left->imgIcon();
    ASSERT_EQ(icon->animationImages().size(), 2u);
    EXPECT_EQ(icon->animationImages()[0]->name(), "message_sound_cell_left_icon_01.png");
    EXPECT_EQ(right->imgIcon()->animationImages()[1]->name(), "message_sound_cell_right_icon_02.png");
    EXPECT_EQ(icon->animationDuration(), 0.5);
    EXPECT_EQ(icon->animationRepeatCount(), 2147483647);
}

// A message on its way shows the sending bubble with its walking dot, and the
// row becomes the ordinary bubble once it has gone; the dropped sending cell
// stops ticking. A message whose send failed leaves the conversation (the
// chat removes it), so no row stays "sending".
TEST_F(ChatBubbleTest, SendingRowWalksItsDotsUntilTheMessageIsSent)
{
    auto chat = ChatTable::inWindow(platform::Rect(0, 0, 320, 500));
    auto message = textMessage("周五下午家长会", true);
    message->isSending = true;
    chat->messages = { message };
    chat->reload();
    auto sending = std::dynamic_pointer_cast<MessageSendingCell>(chat->cellAt(0));
    ASSERT_NE(sending, nullptr);
    ASSERT_EQ(sending->points().size(), 3u);
    for (const auto& point : sending->points()) {
        EXPECT_EQ(point->alpha(), 0);
        EXPECT_EQ(point->layer()->cornerRadius(), 4);
    }
    auto alphas = [&] {
        std::vector<double> values;
        for (const auto& point : sending->points())
            values.push_back(point->alpha());
        return values;
    };
    harness().advance(0.25);
    EXPECT_EQ(alphas(), (std::vector<double> { 1, 1 - 1.0 / 3, 1 - 2.0 / 3 }));
    harness().advance(0.25);
    EXPECT_EQ(alphas(), (std::vector<double> { 1 - 1.0 / 3, 1 - 2.0 / 3, 1 }));
    harness().advance(0.25);
    EXPECT_EQ(alphas(), (std::vector<double> { 1 - 2.0 / 3, 1, 1 - 1.0 / 3 }));
    harness().advance(0.25);
    EXPECT_EQ(alphas(), (std::vector<double> { 1, 1 - 1.0 / 3, 1 - 2.0 / 3 }));

    std::weak_ptr<platform::Timer> timer = sending->timer();
    ASSERT_TRUE(timer.lock() && timer.lock()->isValid());
    message->isSending = false;
    message->uid = "m-1";
    chat->reload();
    EXPECT_EQ(chat->cellAt(0)->className(), MessageRightCell::kClassName);
    sending.reset();
    chat->table->removeFromSuperview();
    chat.reset();
    harness().advance(0.25);
    auto left = timer.lock();
    EXPECT_TRUE(!left || !left->isValid());

    // A sending layout without dots ticks without harm.
    auto bare = std::make_shared<MessageSendingCell>();
    bare->handleTimer();
    EXPECT_EQ(bare->i(), 0);
}

// The thumbnail of a photo of unknown size is fetched from the server, fitted
// into the 120 × 120 box and kept in the message's photo; the row is measured
// again. A tap on the bubble reaches the chat, as does a group send's photo slot.
TEST_F(ChatBubbleTest, PhotoBubblesLearnTheirSizeAndReportTaps)
{
    auto chat = ChatTable::inWindow(platform::Rect(0, 0, 320, 1200));
    auto wide = photoMessage("photo-400x100.png", false);
    auto tall = photoMessage("photo-100x400.png", true);
    auto group = groupMessage("春游照片", 2, 0);
    chat->messages = { wide, tall, group };
    chat->reload();
    EXPECT_EQ(chat->heightAt(0), 164);
    ASSERT_TRUE(harness().runUntil([&] { return chat->sizeUpdates >= 2; }));
    EXPECT_EQ(wide->photosInfo[0]->width, 120);
    EXPECT_EQ(wide->photosInfo[0]->height, 30);
    EXPECT_EQ(tall->photosInfo[0]->width, 30);
    EXPECT_EQ(tall->photosInfo[0]->height, 120);
    EXPECT_EQ(wide->photosInfo[0]->thumbImage.size(), platform::Size(400, 100));
    EXPECT_EQ(chat->heightAt(0), 74);
    EXPECT_EQ(chat->heightAt(1), 164);
    EXPECT_EQ(wrapperFrame(chat->cellAt(0)).width(), 138);
    EXPECT_EQ(wrapperFrame(chat->cellAt(1)), platform::Rect(320 - 48 - 52, 30, 48, 132));
    auto photoCell = std::dynamic_pointer_cast<MessagePhotoLeftCell>(chat->cellAt(0));
    ASSERT_NE(photoCell, nullptr);
    EXPECT_EQ(photoCell->photoView()->frame().size, platform::Size(120, 30));

    // Tapping the bubble tells the chat which row it was.
    ASSERT_TRUE(harness().tap(photoCell->wrapperView()));
    ASSERT_EQ(chat->clicked.size(), 1u);
    EXPECT_EQ(chat->clicked[0].lock(), photoCell);
    EXPECT_EQ(chat->clicked[0].lock()->message(), wide);

    // A group send shows its two photos in the first two of four slots.
    auto groupCell = std::dynamic_pointer_cast<MessageGroupCenterCell>(chat->cellAt(2));
    ASSERT_NE(groupCell, nullptr);
    const auto& slots = groupCell->photoView()->subviews();
    ASSERT_EQ(slots.size(), 4u);
    EXPECT_FALSE(slots[0]->isHidden());
    EXPECT_FALSE(slots[1]->isHidden());
    EXPECT_TRUE(slots[2]->isHidden());
    EXPECT_TRUE(slots[3]->isHidden());
    EXPECT_TRUE(groupCell->soundView()->isHidden());
    EXPECT_FALSE(groupCell->lineView()->isHidden());
    ASSERT_TRUE(harness().tap(slots[1]));
    EXPECT_EQ(chat->shownPhotos, std::vector<int>({ 1 }));
    // A photo that never arrives leaves the row as it was.
    auto missing = photoMessage("missing.jpg", false);
    chat->messages = { missing };
    int updates = chat->sizeUpdates;
    chat->reload();
    ASSERT_TRUE(harness().runUntil([&] { return !harness().server()->requests().withRoute("static/photos/missing.jpg").empty(); }));
    ASSERT_TRUE(harness().waitForServerQuiet());
    EXPECT_EQ(chat->sizeUpdates, updates);
    EXPECT_EQ(missing->photosInfo[0]->width, 0);
    EXPECT_EQ(chat->heightAt(0), 164);
}

// A voice bubble tapped in the chat plays its clip through the shared player
// (downloaded from the server) and animates its loudspeaker only while the
// clip sounds; the group send's voice strip plays by itself.
TEST_F(ChatBubbleTest, VoiceTapPlaysThroughTheSharedPlayer)
{
    auto chat = ChatTable::inWindow(platform::Rect(0, 0, 320, 600));
    chat->onClick = [](MessageBaseCell& cell) {
        if (auto voice = dynamic_cast<MessageSoundLeftCell*>(&cell))
            voice->playSound();
    };
    auto voice = soundMessage(2, false);
    auto group = groupMessage("听写录音", 0, 2);
    chat->messages = { voice, group };
    chat->reload();
    auto cell = std::dynamic_pointer_cast<MessageSoundLeftCell>(chat->cellAt(0));
    ASSERT_NE(cell, nullptr);
    EXPECT_FALSE(cell->imgIcon()->isAnimating());
    ASSERT_TRUE(harness().tap(cell->wrapperView()));
    ASSERT_TRUE(harness().runUntil([] { return MessageAudioPlayer::isPlaying(); }));
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->sound(), voice->soundsInfo[0]);
    EXPECT_EQ(harness().server()->requests().withRoute("static/audio/clip-2.amr").size(), 1u);
    EXPECT_TRUE(cell->imgIcon()->isAnimating());
    harness().advance(2.1);
    EXPECT_FALSE(MessageAudioPlayer::isPlaying());
    EXPECT_FALSE(cell->imgIcon()->isAnimating());

    auto groupCell = std::dynamic_pointer_cast<MessageGroupCenterCell>(chat->cellAt(1));
    ASSERT_NE(groupCell, nullptr);
    EXPECT_FALSE(groupCell->soundView()->isHidden());
    EXPECT_EQ(groupCell->lblSeconds()->text(), "2\"");
    ASSERT_TRUE(harness().tap(groupCell->soundView()));
    ASSERT_TRUE(harness().runUntil([] { return MessageAudioPlayer::isPlaying(); }));
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->sound(), group->soundsInfo[0]);
    EXPECT_TRUE(groupCell->imgIcon()->isAnimating());
    // The bubble that started the clip going away ends it.
    chat->messages.clear();
    chat->reload();
    groupCell.reset();
    chat->table->removeFromSuperview();
    chat.reset();
    EXPECT_FALSE(MessageAudioPlayer::isPlaying());
}

// Rows are reused: whatever the cell showed before, the new message alone
// is shown, and a late answer for the old one changes nothing.
TEST_F(ChatBubbleTest, AReusedCellNeverShowsTheOldMessage)
{
    // Text: a long message, then a short one.
    auto text = freshCell<MessageRightCell>();
    text->setMessage(textMessage(repeated("长", 30), true));
    EXPECT_EQ(wrapperFrame(text), platform::Rect(30, 30, 238, 38));
    text->setMessage(textMessage("嗯", true));
    EXPECT_EQ(wrapperFrame(text), platform::Rect(204, 30, 64, 38));
    EXPECT_EQ(text->lblContent()->text(), "嗯");
    text->setMessage(nullptr);
    EXPECT_EQ(text->lblContent()->text(), "嗯");

    // Photo: a photo still loading, then one whose size and picture are known.
    auto photo = freshCell<MessagePhotoLeftCell>();
    auto chat = std::make_shared<ChatTable>();
    photo->setDelegate(chat);
    auto loading = photoMessage("photo-400x100.png", false);
    photo->setMessage(loading);
    auto known = photoMessage("photo-100x400.png", false, 30, 120);
    known->photosInfo[0]->thumbImage = platform::Image(30, 120, 1.0, platform::Color::redColor());
    photo->setMessage(known);
    EXPECT_EQ(photo->photoView()->image()->size(), platform::Size(30, 120));
    EXPECT_EQ(wrapperFrame(photo).width(), 48);
    ASSERT_TRUE(harness().waitForServerQuiet());
    EXPECT_EQ(loading->photosInfo[0]->width, 0);
    EXPECT_TRUE(loading->photosInfo[0]->thumbImage.isNull());
    EXPECT_EQ(known->photosInfo[0]->width, 30);
    EXPECT_EQ(photo->photoView()->image()->size(), platform::Size(30, 120));
    EXPECT_EQ(chat->sizeUpdates, 0);
    // Then a photo of unknown size: the layout's bubble, not the last one's.
    photo->setMessage(photoMessage("missing.jpg", false));
    EXPECT_EQ(wrapperFrame(photo).width(), 138);
    EXPECT_EQ(photo->photoView()->image(), nullptr);

    // Voice: the row playing one clip shown for another stops animating, and
    // the old clip's progress does not start it again.
    auto voice = freshCell<MessageSoundLeftCell>();
    auto first = soundMessage(2, false);
    voice->setMessage(first);
    voice->playSound();
    auto second = soundMessage(45, false);
    voice->setMessage(second);
    ASSERT_TRUE(harness().runUntil([] { return MessageAudioPlayer::isPlaying(); }));
    EXPECT_FALSE(voice->imgIcon()->isAnimating());
    EXPECT_EQ(voice->lblSeconds()->text(), "45\"");
    EXPECT_EQ(wrapperFrame(voice).width(), 180);

    // Group: photos and a clip, then text only.
    auto group = freshCell<MessageGroupCenterCell>();
    group->setMessage(groupMessage("带齐作业", 4, 30));
    group->setMessage(groupMessage("放学时间改为四点", 0, 0));
    EXPECT_TRUE(group->photoView()->isHidden());
    EXPECT_TRUE(group->soundView()->isHidden());
    EXPECT_TRUE(group->lineView()->isHidden());
    EXPECT_EQ(group->lblSeconds()->text(), "");
    for (const auto& slot : group->photoView()->subviews())
        EXPECT_EQ(std::dynamic_pointer_cast<UIImageView>(slot->subviews().front())->image(), nullptr);
    EXPECT_EQ(MessageGroupCenterCell::computeSize(*group->message()), platform::Size(320, 40 + 38));

    // Avatar: the other party's face, then a message without one shows the default.
    auto avatarCell = freshCell<MessageLeftCell>();
    avatarCell->setMessage(textMessage("你好", false));
    ASSERT_TRUE(harness().runUntil([&] { return avatarCell->imgAvatar()->image()->name() != "account_default_avatar"; }));
    auto faceless = textMessage("你好", false);
    faceless->contact->thumbAvatar.clear();
    avatarCell->setMessage(faceless);
    EXPECT_EQ(avatarCell->imgAvatar()->image()->name(), UIImage::imageNamed("account_default_avatar")->name());
}
