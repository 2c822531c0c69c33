// The chat screen on the signed-in demo teacher's client, writing to the
// parent 王芳 (3002) against the in-process stand-in server.
#include "messaging/chat/MessageViewController.h"

#include "app/main/ORBViewController.h"
#include "core/session/ORBEndpoints.h"
#include "core/store/BaseFactory.h"
#include "core/store/MessageFactory.h"
#include "messaging/MessagingClasses.h"
#include "messaging/chat/MessageSoundLeftCell.h"
#include "messaging/send/MessageLoader.h"
#include "messaging/send/UnsavedMessages.h"
#include "messaging/send/UnsentMessages.h"
#include "messaging/voice/MessageAudioPlayer.h"
#include "platform/graphics/Image.h"
#include "platform/media/AVAudioSession.h"
#include "platform/media/ProximitySensor.h"
#include "platform/media/SampleSource.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/messaging/box/BoxTestSupport.h"
#include "tests/messaging/voice/VoiceHarness.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/overlay/ProgressOverlay.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <thread>

using namespace testsupport;

namespace {

constexpr int kParentUid = 3002;
constexpr const char* kSendToOne = core::ORBEndpoints::Cmd::kSendToOne;

// A view of the chat by the outlet name its layout gives it.
template <class View = UIView> std::shared_ptr<View> outlet(MessageViewController& chat, const char* name)
{
    return std::dynamic_pointer_cast<View>(findViewByOutlet(chat.view(), name));
}
std::shared_ptr<UITableView> table(MessageViewController& chat) { return outlet<UITableView>(chat, "tableView"); }
std::shared_ptr<UITextField> field(MessageViewController& chat) { return outlet<UITextField>(chat, "txtMessage"); }
std::shared_ptr<UIButton> modeButton(MessageViewController& chat) { return outlet<UIButton>(chat, "btnVoice"); }
std::shared_ptr<UIButton> recordButton(MessageViewController& chat) { return outlet<UIButton>(chat, "btnRecord"); }
// The record overlay on the window, once a press has put it there.
std::shared_ptr<MessageRecordView> recordOverlay()
{
    auto found = findViewsByClass(UIWindow::keyWindow(), std::string(MessageRecordView::kClassName));
    return found.empty() ? nullptr : std::dynamic_pointer_cast<MessageRecordView>(found.front());
}

class ChatScreenTest : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        platform::AVAudioSession::sharedInstance().resetForTesting();
        platform::ProximitySensor::shared().resetForTesting();
        SignedInScreenTest::SetUp();
        signIn();
    }
    void TearDown() override
    {
        MessageAudioPlayer::cancelAll();
        UIImagePickerController::setCameraAvailable(false);
        SignedInScreenTest::TearDown();
        platform::AudioInput::setSource(nullptr);
        platform::AVAudioSession::sharedInstance().resetForTesting();
        platform::ProximitySensor::shared().resetForTesting();
    }

    std::string staticFile(const std::string& path) const
    {
        return harness().serverBase() + "mobile2/pull/static/" + path;
    }

    static std::shared_ptr<core::ContactInfo> parent(int uid = kParentUid)
    {
        auto contact = std::make_shared<core::ContactInfo>();
        contact->uid = uid;
        contact->type = 2;
        contact->name = uid == kParentUid ? "王芳" : "张伟";
        return contact;
    }
    static std::shared_ptr<core::MessageInfo> stored(const std::string& uid, bool to, double minutesAgo)
    {
        auto message = std::make_shared<core::MessageInfo>();
        message->uid = uid;
        message->to = to;
        message->contact = parent();
        message->content = "消息 " + uid;
        message->state = to ? core::MessageInfo::kStateNew : core::MessageInfo::kStateUnread;
        message->time = platform::Date::now().addingSeconds(-60 * minutesAgo);
        message->createTime = message->time;
        return message;
    }
    static int storedBadge(int uid)
    {
        for (const auto& row : core::MessageFactory().getMessageLast().value_or(core::MessageList {}))
            if (!row->group && row->contact && row->contact->uid == uid)
                return row->contact->badge;
        return -1;
    }

    std::shared_ptr<MessageViewController> openChat(int uid = kParentUid)
    {
        auto chat = std::make_shared<MessageViewController>();
        chat->setContact(parent(uid));
        // Where the message box opens conversations.
        return open(chat, ORBViewController::kMessageTab);
    }
    std::shared_ptr<MessageBaseCell> visibleCell(MessageViewController& chat, long row) const
    {
        return SignedInScreenTest::visibleCell<MessageBaseCell>(*table(chat), row);
    }
    std::vector<std::string> rowClasses(MessageViewController& chat) const
    {
        std::vector<std::string> names;
        for (long row = 0; row < table(chat)->numberOfRowsInSection(0); ++row) {
            auto cell = visibleCell(chat, row);
            names.push_back(cell ? cell->className() : "");
        }
        return names;
    }
    std::vector<server::LoggedRequest> sends() const { return requests(kSendToOne); }
    bool waitForLastRow(MessageViewController& chat, const std::string& className)
    {
        return harness().runUntil([&] {
            auto names = rowClasses(chat);
            return !names.empty() && names.back() == className;
        });
    }
    // The uids of the rows, top to bottom.
    static std::vector<std::string> uids(const core::MessageList& list)
    {
        std::vector<std::string> names;
        for (const auto& message : list)
            names.push_back(message->uid);
        return names;
    }
    // The conversation as reopening it shows it: the stored history.
    static std::vector<std::string> reopenedUids()
    {
        return uids(core::MessageFactory().getMessageWithContact(*parent()).value_or(core::MessageList {}));
    }
    // The parent writes to the demo teacher; the server stamps the message
    // with its clock's second and hands it out with the teacher's next poll.
    std::string parentWrites(const std::string& text)
    {
        std::string id = harness().server()->deliverMessage(server::StandinServer::kDemoTeacherId, kParentUid, text);
        EXPECT_FALSE(id.empty());
        return id;
    }
    // Lets the wall clock pass into its next second: what is written from
    // now on is stored as later than what was written before.
    static void nextSecond()
    {
        double now = platform::Date::now().seconds;
        std::this_thread::sleep_for(std::chrono::duration<double>(std::floor(now) + 1.05 - now));
    }
    // The message box's next poll on its tick, answered and handled.
    bool nextPoll()
    {
        const std::size_t before = harness().answeredCount(core::ORBEndpoints::Cmd::kNewMessages);
        for (int tick = 0; tick < 25; ++tick) {
            harness().advance(1.0);
            // A poll the tick sent has reached the server and come back.
            if (!harness().roundTrip())
                return false;
            if (harness().answeredCount(core::ORBEndpoints::Cmd::kNewMessages) > before)
                return harness().roundTrip(); // and its reply has had its turn
        }
        return false;
    }
    static bool showsRow(UITableView& table, long row)
    {
        auto rect = table.rectForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0));
        auto visible = table.bounds();
        return rect.minY() >= visible.minY() - 0.5 && rect.maxY() <= visible.maxY() + 0.5;
    }
    static bool atBottom(UITableView& table)
    {
        double bottom = std::max(0.0, table.contentSize().height - table.bounds().height());
        return std::abs(table.contentOffset().y - bottom) < 0.5;
    }
    std::string writePicture(int width, int height)
    {
        std::string path = platform::FileUtil::joinPath(platform::AppPaths::temporaryDirectory(), "picked.png");
        EXPECT_TRUE(platform::Image(width, height, 1.0, platform::Color::fromRGB255(40, 120, 200)).writePNG(path));
        return path;
    }
};

} // namespace

// Three unread messages and one of one's own: opened, they show oldest first
// on their sides, the contact's badge is cleared and the store holds them read
// for the next state report.
TEST_F(ChatScreenTest, OpeningShowsTheHistoryAndMarksItRead)
{
    ASSERT_TRUE(core::MessageFactory().setMessage(
        { stored("h1", false, 30), stored("h2", false, 20), stored("h3", true, 15), stored("h4", false, 10) }));
    ASSERT_EQ(storedBadge(kParentUid), 3);
    // The message box reports read states on its tick; held at the gate, its
    // report leaves the store's changes in place to be looked at.
    auto report = holdNext(core::ORBEndpoints::Cmd::kReportStates);

    auto chat = openChat();
    EXPECT_EQ(chat->title(), "王芳");
    std::vector<std::string> uids;
    for (const auto& message : chat->listData())
        uids.push_back(message->uid);
    EXPECT_EQ(uids, (std::vector<std::string> { "h1", "h2", "h3", "h4" }));
    EXPECT_EQ(rowClasses(*chat),
        (std::vector<std::string> { "MessageLeftCell", "MessageLeftCell", "MessageRightCell", "MessageLeftCell" }));
    EXPECT_EQ(storedBadge(kParentUid), 0);
    std::vector<std::string> read;
    for (const auto& message : core::MessageFactory().getMessageStateChanged().value_or(core::MessageList {}))
        if (message->state == core::MessageInfo::kStateRead)
            read.push_back(message->uid);
    std::sort(read.begin(), read.end());
    EXPECT_EQ(read, (std::vector<std::string> { "h1", "h2", "h4" }));
}

// The field's text, stripped of the pinyin keyboard's six-per-em spaces, is
// sent; what is empty once stripped, or nothing but blanks, is not. The bubble sends, the server gets
// the text, the stored message takes the final bubble; a refused send keeps
// its bubble, marked as failed, and stores nothing.
TEST_F(ChatScreenTest, SendsTextAndKeepsAFailedSend)
{
    auto chat = openChat();
    auto field = ::field(*chat);
    auto send = harness().viewByOutlet("btnSend");
    ASSERT_NE(send, nullptr);
    for (const char* nothing : { "", "\u2006\u2006", " ", "   ", " \u3000\t\u2006\n" }) {
        field->setText(nothing);
        ASSERT_TRUE(harness().tap(send));
        EXPECT_TRUE(chat->listData().empty()) << "\"" << nothing << "\"";
        EXPECT_EQ(field->text(), nothing) << "the field is left as it was";
    }
    EXPECT_TRUE(sends().empty());
    field->setText("");

    // The reply is held until the sending row has been seen.
    auto held = holdNext(kSendToOne);
    ASSERT_TRUE(harness().type(field, "a\u2006b"));
    ASSERT_TRUE(harness().tap(send));
    EXPECT_EQ(field->text(), "");
    ASSERT_EQ(rowClasses(*chat), std::vector<std::string> { "MessageSendingCell" });
    ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1; }));
    EXPECT_EQ(rowClasses(*chat), std::vector<std::string> { "MessageSendingCell" });
    held->open();
    ASSERT_TRUE(waitForLastRow(*chat, "MessageRightCell"));
    ASSERT_EQ(sends().size(), 1u);
    EXPECT_EQ(sends()[0].bodyValue("content").stringValue(), "ab");
    EXPECT_EQ(sends()[0].bodyValue("linkManId").intValue(), kParentUid);
    auto history = core::MessageFactory().getMessageWithContact(*parent()).value_or(core::MessageList {});
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0]->content, "ab");
    EXPECT_FALSE(history[0]->uid.empty());

    auto refused = holdNext(kSendToOne, server::ScriptedReply::errorEnvelope("发送失败"));
    ASSERT_TRUE(harness().type(field, "这条发不出去"));
    ASSERT_TRUE(harness().returnKey(field));
    EXPECT_EQ(chat->listData().size(), 2u);
    ASSERT_TRUE(harness().runUntil([&] { return refused->arrived() == 1; }));
    EXPECT_EQ(chat->listData().size(), 2u);
    refused->open();
    ASSERT_TRUE(harness().runUntil([&] { return chat->listData().back()->sendFailed; }));
    EXPECT_EQ(chat->listData().size(), 2u);
    EXPECT_EQ(chat->listData().back()->content, "这条发不出去");
    EXPECT_EQ(rowClasses(*chat), (std::vector<std::string> { "MessageRightCell", "MessageRightCell" }));
    EXPECT_TRUE(visibleCell(*chat, 0)->failedMark()->isHidden());
    EXPECT_FALSE(visibleCell(*chat, 1)->failedMark()->isHidden());
    EXPECT_EQ(core::MessageFactory().getMessageWithContact(*parent()).value_or(core::MessageList {}).size(), 1u);
}

// A message that cannot reach the server (the port closed, the server
// stalling and then dropping the connection, or dropping it as the request
// comes) stays in the conversation as written, its bubble marked as failed
// beside it; the field was cleared and nothing is stored. A tap on the mark
// sends it again as a new send, taken once the server answers again.
TEST_F(ChatScreenTest, AFailedSendStaysMarkedAndItsMarkSendsItAgain)
{
    platform::AudioInput::setSource(std::make_shared<platform::ToneSampleSource>(440, -12));
    enum class Kind { Text, Photo, Voice };
    enum class Fault { Refused, StalledThenDropped, Dropped };
    struct Case {
        const char* name;
        Kind kind;
        Fault fault;
    };
    const Case cases[] = {
        { "text, port closed", Kind::Text, Fault::Refused },
        { "photo, port closed", Kind::Photo, Fault::Refused },
        { "voice, port closed", Kind::Voice, Fault::Refused },
        { "text, server stalls, then drops the connection", Kind::Text, Fault::StalledThenDropped },
        { "photo, its upload stalls, then is dropped", Kind::Photo, Fault::StalledThenDropped },
        { "text, the connection dropped mid-request", Kind::Text, Fault::Dropped },
        { "voice uploaded, its send dropped mid-request", Kind::Voice, Fault::Dropped },
    };
    const auto closed = "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/";
    const auto base = harness().server()->baseUrl();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = reopenedUids();
        auto chat = openChat();
        std::shared_ptr<server::ReplyGate> stalled;
        if (c.fault == Fault::Refused) {
            core::ORBEndpoints::setServerBase(closed);
        } else if (c.fault == Fault::StalledThenDropped) {
            stalled = std::make_shared<server::ReplyGate>();
            auto reply = server::ScriptedReply::connectionReset().heldBy(stalled);
            if (c.kind == Kind::Photo)
                harness().server()->script().forRoute("upload/msgpic", reply);
            else
                harness().server()->script().forCommand(kSendToOne, reply);
        } else {
            harness().server()->script().forCommand(kSendToOne, server::ScriptedReply::connectionReset());
        }

        const char* finalCell = "MessageRightCell";
        if (c.kind == Kind::Text) {
            ASSERT_TRUE(harness().type(field(*chat), std::string("发不出去的话：") + c.name));
            ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnSend")));
            EXPECT_EQ(field(*chat)->text(), "");
        } else if (c.kind == Kind::Photo) {
            finalCell = "MessagePhotoRightCell";
            ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnPhoto")));
            ASSERT_TRUE(harness().tapButton("从相册中选取"));
            settle(harness());
            auto picker = std::dynamic_pointer_cast<UIImagePickerController>(harness().presentedScreen());
            ASSERT_NE(picker, nullptr);
            ASSERT_TRUE(picker->pickImageAtPath(writePicture(600, 400)));
            settle(harness());
        } else {
            finalCell = "MessageSoundRightCell";
            harness().advance(3.1); // the record view's lock after the last recording
            ASSERT_TRUE(harness().tap(modeButton(*chat)));
            recordButton(*chat)->sendActionsForControlEvents(UIControlEventTouchDown);
            harness().advance(2.4);
            recordButton(*chat)->sendActionsForControlEvents(UIControlEventTouchUpInside);
        }
        ASSERT_FALSE(chat->listData().empty());
        auto message = chat->listData().back();
        if (stalled) {
            ASSERT_TRUE(harness().runUntil([&] { return stalled->arrived() == 1; }));
            EXPECT_EQ(rowClasses(*chat).back(), "MessageSendingCell");
            stalled->open();
        }
        ASSERT_TRUE(harness().runUntil([&] { return message->sendFailed; }));
        EXPECT_FALSE(message->isSending);
        EXPECT_EQ(chat->listData().back(), message);
        const long row = static_cast<long>(chat->listData().size()) - 1;
        auto cell = visibleCell(*chat, row);
        ASSERT_NE(cell, nullptr);
        EXPECT_EQ(cell->className(), finalCell);
        auto mark = cell->failedMark();
        ASSERT_NE(mark, nullptr);
        EXPECT_FALSE(mark->isHidden());
        // Beside the bubble, on its line, inside the row.
        auto bubble = cell->wrapperView()->frame();
        EXPECT_LE(mark->frame().maxX(), bubble.minX());
        EXPECT_GE(mark->frame().minX(), 0);
        EXPECT_NEAR(mark->frame().midY(), bubble.midY(), 0.5);
        EXPECT_EQ(reopenedUids(), before) << "nothing stored";

        core::ORBEndpoints::setServerBase(base);
        const auto sent = sends().size();
        // Its answer held until the sending bubble has been seen.
        auto held = holdNext(kSendToOne);
        ASSERT_TRUE(harness().tap(mark));
        ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1; }));
        EXPECT_TRUE(message->isSending);
        EXPECT_EQ(rowClasses(*chat).back(), "MessageSendingCell");
        held->open();
        ASSERT_TRUE(harness().runUntil([&] { return !message->isSending; }));
        EXPECT_FALSE(message->sendFailed);
        EXPECT_FALSE(message->uid.empty());
        EXPECT_EQ(sends().size(), sent + 1);
        EXPECT_EQ(chat->listData().back(), message);
        EXPECT_TRUE(visibleCell(*chat, row)->failedMark()->isHidden());
        auto after = reopenedUids();
        ASSERT_EQ(after.size(), before.size() + 1);
        EXPECT_EQ(after.back(), message->uid);
        leave(chat);
    }
}

namespace {

// How the home takes the file of unsent messages, and how the sends fail.
struct RestartHome {
    // The case's name in the test's name.
    const char* id;
    const char* name;
    // Documents takes no writes while the message fails and its chat is
    // left and opened again.
    bool readOnly = false;
    // The file as an earlier run left it ("" for none), and whether it
    // reads: one that does not is set aside as found, for a fresh one.
    std::string before = "";
    bool unreadable = false;
    // How many messages fail; the first is the one sent after the
    // restart. And whether the file loses its last bytes once the second
    // is kept (then it does not read at the third).
    int failing = 1;
    bool cutAfterSecond = false;
    // The file cannot be read while the first is sent after the restart:
    // a folder stands in its place.
    bool unreadableWhileSent = false;
    // The file cannot be read from the start of the run until the first
    // message has failed: a folder stands in its place.
    bool unreadableWhileKept = false;
    // A message to another parent in the file of an earlier run: left in
    // the file whatever else happens to it, and shown in its chat when its
    // key is one (1), or not (0); -1 when there is none.
    int otherShown = -1;
    // The message's entry is larger than the file may be.
    bool oversizedMessage = false;
    // The first message is an earlier run's, in the file (`before`) with
    // little room left; the others, kept this run, would take the file
    // past its size (their contact carries `padding` bytes more): they are
    // shown for the run only. Once the chat is left and opened again the
    // first's mark sends it again, and it fails again.
    bool resentFromFile = false;
    std::size_t padding = 0;
    // Before the others, a message fails and its mark sends it while the
    // file cannot be read (with unreadableWhileKept).
    bool sentWhileUnreadable = false;
    // The person leaves the chat while the send is on its way: it fails
    // with no chat open to hear it.
    bool leftFirst = false;
    // The chat is rendered to PNG.
    bool render = false;
};

void PrintTo(const RestartHome& home, std::ostream* out) { *out << home.name; }

// An entry of a file of an earlier run, its contact carrying `padding`
// bytes more in a field the chat does not lay out.
std::string entryOfEarlierRun(
    const std::string& key, int uid, const char* name, const char* content, std::size_t padding = 0)
{
    return R"({"key": )" + key + R"(, "account": 2001, "contact": {"uid": )" + std::to_string(uid)
        + R"(, "name": ")" + name + R"(", "type": 2, "groupUid": ")" + std::string(padding, '9') + R"("},)"
        + R"( "content": ")" + content + R"(", "photos": [], "sounds": [], "time": 1700000000,)"
        + R"( "createTime": 1700000000})";
}

// A file of an earlier run holding a message to another parent (张伟) under the key.
std::string otherParentWithKey(const std::string& key)
{
    return R"({"version": 1, "messages": [)" + entryOfEarlierRun(key, 3003, "张伟", "给别的家长") + "]}";
}

std::vector<RestartHome> restartHomes()
{
    // A file of an earlier run past the size the client reads: set aside
    // unread, whatever it holds (here a message to the parent, then blanks).
    const std::string oversized = std::string(R"({"version": 1, "messages": [{"key": 1, "account": 2001,)")
        + R"( "contact": {"uid": 3002, "name": "王芳", "type": 2}, "content": "大得读不得的文件里的话",)"
        + R"( "photos": [], "sounds": [], "time": 1700000000, "createTime": 1700000000})"
        + std::string(UnsentMessages::kLargestFile, ' ') + "]}";
    return {
        { .id = "Writable", .name = "a home that takes writes", .render = true },
        { .id = "ReadOnly", .name = "Documents read-only", .readOnly = true },
        { .id = "LeftFirst", .name = "the chat left before the send fails", .leftFirst = true },
        { .id = "LeftFirstReadOnly", .name = "the chat left before the send fails, Documents read-only",
            .readOnly = true, .leftFirst = true },
        { .id = "DoesNotParse", .name = "a file of an earlier run that does not parse",
            .before = R"({"version": 1, "messages": [{"key": 1, "account": 20)",
            .unreadable = true },
        { .id = "CutShort", .name = "the file cut short between two sends", .failing = 3, .cutAfterSecond = true },
        { .id = "TopKey", .name = "a file of an earlier run with a key at the top of its type",
            .before = otherParentWithKey("9223372036854775807"), .otherShown = 0 },
        { .id = "LargestKey", .name = "a file of an earlier run with the largest key",
            .before = otherParentWithKey("9007199254740992"), .otherShown = 1 },
        { .id = "UnreadableWhileKept", .name = "a file that cannot be read while a message fails",
            .before = otherParentWithKey("1"), .unreadableWhileKept = true, .otherShown = 1 },
        { .id = "OversizedMessage", .name = "a message larger than the file may be", .oversizedMessage = true },
        { .id = "ResentNearTheBound", .name = "a file of an earlier run near its size, its message failing again",
            .before = R"({"version": 1, "messages": [)"
                + entryOfEarlierRun("1", kParentUid, "王芳", "断网时写下的话", 200'000) + ", "
                + entryOfEarlierRun("2", 3003, "张伟", "给别的家长", 3'900'000) + "]}",
            .failing = 2, .otherShown = 1, .resentFromFile = true, .padding = 250'000 },
        { .id = "SentWhileUnreadable", .name = "a file that cannot be read while a message fails and is sent",
            .before = otherParentWithKey("1"), .unreadableWhileKept = true, .otherShown = 1,
            .sentWhileUnreadable = true },
        { .id = "Oversized", .name = "an oversized file of an earlier run", .before = oversized, .unreadable = true },
        { .id = "UnreadableWhileSent", .name = "a file that cannot be read while a message is sent",
            .unreadableWhileSent = true },
    };
}

class ChatScreenRestart : public ::testing::TestWithParam<std::tuple<RestartHome, UIScreen::Kind>> { };

} // namespace

// A message that could not be sent stays the person's until it is sent: in
// its conversation, marked, after the chat is left and opened again and after
// the client is closed and started again on the same home, where its mark
// sends it; sent, it is stored once and shown once, its mark gone for good.
// A home that takes no writes while it fails keeps it for the run, and the
// file takes it at the next look once the home takes writes again. A file
// that does not read (damaged, cut short, oversized) is set aside as found,
// and no message takes the key of another, whatever became of the file.
TEST_P(ChatScreenRestart, AFailedSendOutlivesLeavingTheChatAndARestartUntilItsMarkSendsIt)
{
    const auto& [home, kind] = GetParam();
    const std::string text = "断网时写下的话";
    auto parent = [&] {
        auto contact = std::make_shared<core::ContactInfo>();
        contact->uid = kParentUid;
        contact->type = 2;
        contact->name = "王芳";
        // An entry larger than the file may be, by a field the chat does
        // not lay out (a text that long would take it seconds at each
        // opening).
        if (home.oversizedMessage)
            contact->groupUid = std::string(UnsentMessages::kLargestFile, '9');
        if (home.padding)
            contact->groupUid = std::string(home.padding, '9');
        return contact;
    };
    auto openChat = [&](AppHarness& harness) {
        auto chat = std::make_shared<MessageViewController>();
        chat->setContact(parent());
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        harness.visibleNavigationController()->pushViewController(chat, true);
        settle(harness);
        return chat;
    };
    // The client started over the home and signed in, with the chat open.
    auto startSignedIn = [&](AppHarness& harness) -> std::shared_ptr<MessageViewController> {
        if (!startClient(harness))
            return nullptr;
        messaging::registerMessagingClasses();
        if (!signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword))
            return nullptr;
        return openChat(harness);
    };
    auto leaveChat = [&](AppHarness& harness, std::shared_ptr<MessageViewController>& chat) {
        std::weak_ptr<MessageViewController> gone = chat;
        chat.reset();
        harness.visibleNavigationController()->popViewControllerAnimated(true);
        settle(harness);
        EXPECT_TRUE(gone.expired()) << "the chat outlived its leaving";
    };
    // The rows holding the text, top to bottom.
    auto rowsOfText = [&](MessageViewController& chat, const std::string& text) {
        std::vector<long> rows;
        for (std::size_t i = 0; i < chat.listData().size(); ++i)
            if (chat.listData()[i]->content == text)
                rows.push_back(static_cast<long>(i));
        return rows;
    };
    auto cellAt = [](MessageViewController& chat, long row) {
        auto list = table(chat);
        auto path = NSIndexPath::indexPathForRow(row, 0);
        list->scrollRectToVisible(list->rectForRowAtIndexPath(path), false);
        list->layoutIfNeeded();
        return std::dynamic_pointer_cast<MessageBaseCell>(list->cellForRowAtIndexPath(path));
    };
    // The text's one row, marked as not sent and offering its mark.
    auto showsMarked = [&](MessageViewController& chat, const std::string& text) -> std::shared_ptr<UIView> {
        auto rows = rowsOfText(chat, text);
        EXPECT_EQ(rows.size(), 1u) << text;
        if (rows.size() != 1)
            return nullptr;
        const auto& message = chat.listData()[static_cast<std::size_t>(rows[0])];
        EXPECT_TRUE(message->sendFailed);
        EXPECT_FALSE(message->isSending);
        auto cell = cellAt(chat, rows[0]);
        EXPECT_NE(cell, nullptr);
        if (!cell || !cell->failedMark() || cell->failedMark()->isHidden())
            return nullptr;
        return cell->failedMark();
    };
    // Sent: its one row carries the id the server gave it, and no mark.
    auto showsSentOnce = [&](MessageViewController& chat) {
        auto rows = rowsOfText(chat, text);
        if (rows.size() != 1)
            return false;
        const auto& message = chat.listData()[static_cast<std::size_t>(rows[0])];
        return !message->isSending && !message->sendFailed && !message->uid.empty();
    };
    auto storedWithText = [&] {
        std::size_t count = 0;
        for (const auto& message : core::MessageFactory().getMessageWithContact(*parent()).value_or(core::MessageList {}))
            count += message->content == text ? 1 : 0;
        return count;
    };
    // What a new run of the client finds kept for the conversation: the
    // file's alone.
    auto inFile = [] {
        std::vector<std::string> texts;
        for (const auto& message : UnsentMessages().withContact(kParentUid))
            texts.push_back(message->content);
        return texts;
    };

    // The files set aside beside the file, by their bytes.
    auto setAside = [](const std::string& documents) {
        std::vector<std::string> found;
        for (const auto& name : platform::FileUtil::list(documents).value_or(std::vector<std::string> {}))
            if (name.rfind(std::string(UnsentMessages::kFileName) + ".corrupt-", 0) == 0)
                found.push_back(readTextFile(platform::FileUtil::joinPath(documents, name)));
        return found;
    };
    const std::string size = kind == UIScreen::Kind::FourInch ? "4-inch" : "3.5-inch";
    SCOPED_TRACE(std::string(home.name) + ", " + size);
    TempDir folder("chat-unsent");
    ASSERT_FALSE(folder.path().empty());
    AppHarnessOptions options;
    options.screen = kind;
    options.home = folder.path();
    const std::string documents = platform::FileUtil::joinPath(folder.path(), "Documents");
    if (!home.before.empty()) {
        ASSERT_TRUE(platform::FileUtil::createDirectory(documents));
        const std::string file = platform::FileUtil::joinPath(documents, UnsentMessages::kFileName);
        ASSERT_TRUE(writeTextFile(file, home.before));
        if (home.unreadableWhileKept) {
            // From the start of the run until the message has failed.
            ASSERT_TRUE(platform::FileUtil::move(file, file + ".away"));
            ASSERT_TRUE(platform::FileUtil::createDirectory(file));
        }
    }
    auto asideAsFound
        = home.unreadable ? std::vector<std::string> { home.before } : std::vector<std::string> {};
    std::vector<std::string> kept { text };
    for (int i = 2; i <= home.failing; ++i)
        kept.push_back(text + " " + std::to_string(i));
    // What the file keeps past the run.
    const auto lasting = home.resentFromFile ? std::vector<std::string> { text } : kept;
    auto showsOthersMarked = [&](MessageViewController& chat, const std::vector<std::string>& texts) {
        for (std::size_t i = 1; i < texts.size(); ++i)
            EXPECT_NE(showsMarked(chat, texts[i]), nullptr) << texts[i];
    };
    // Written with the server out of reach: marked, and still there
    // when the chat is opened again.
    {
        AppHarness harness(options);
        auto chat = startSignedIn(harness);
        ASSERT_TRUE(chat);
        const std::string file = UnsentMessages::filePath();
        std::unique_ptr<WriteProtection> protection;
        if (home.readOnly) {
            protection = std::make_unique<WriteProtection>(
                std::vector<std::string> { platform::AppPaths::documentsDirectory() });
            ASSERT_TRUE(protection->holds());
        }
        // The send is held at the server until the person has left, then
        // dropped; otherwise the server is out of reach.
        auto stalled = std::make_shared<server::ReplyGate>();
        const std::string reachable = core::ORBEndpoints::serverBase();
        if (home.leftFirst)
            harness.server()->script().forCommand(kSendToOne, server::ScriptedReply::connectionReset().heldBy(stalled));
        else
            core::ORBEndpoints::setServerBase("http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/");
        if (home.sentWhileUnreadable) {
            // Kept, then sent from its mark, before the file reads again:
            // the key it was kept under is the earlier run's message's there.
            const std::string another = "断网时写下、随即发出的话";
            ASSERT_TRUE(harness.type(field(*chat), another));
            ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnSend")));
            ASSERT_TRUE(harness.runUntil([&] {
                return !chat->listData().empty() && chat->listData().back()->content == another
                    && chat->listData().back()->sendFailed;
            }));
            auto message = chat->listData().back();
            auto mark = showsMarked(*chat, another);
            ASSERT_NE(mark, nullptr);
            const std::string unreachable = core::ORBEndpoints::serverBase();
            core::ORBEndpoints::setServerBase(reachable);
            ASSERT_TRUE(harness.tap(mark));
            ASSERT_TRUE(harness.runUntil(
                [&] { return !message->isSending && !message->sendFailed && !message->uid.empty(); }));
            core::ORBEndpoints::setServerBase(unreachable);
        }
        for (const auto& written : kept) {
            // The earlier run's is in the file already.
            if (home.resentFromFile && &written == &kept.front())
                continue;
            ASSERT_TRUE(harness.type(field(*chat), written));
            ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnSend")));
            if (home.leftFirst) {
                ASSERT_TRUE(harness.runUntil([&] { return stalled->arrived() == 1; }));
                EXPECT_TRUE(chat->listData().back()->isSending);
                leaveChat(harness, chat);
                stalled->open();
                ASSERT_TRUE(harness.runUntil([] { return MessageLoader::shareLoader()->pendingCount() == 0; }));
                continue;
            }
            ASSERT_TRUE(harness.runUntil([&] {
                return !chat->listData().empty() && chat->listData().back()->content == written
                    && chat->listData().back()->sendFailed;
            }));
            if (home.cutAfterSecond && &written == &kept[1]) {
                const std::string whole = readTextFile(file);
                ASSERT_GT(whole.size(), 3u);
                asideAsFound.push_back(whole.substr(0, whole.size() - 3));
                ASSERT_TRUE(writeTextFile(file, asideAsFound.back()));
            }
        }
        if (home.unreadableWhileKept) {
            ASSERT_TRUE(platform::FileUtil::remove(file));
            ASSERT_TRUE(platform::FileUtil::move(file + ".away", file));
        }
        if (chat)
            leaveChat(harness, chat);
        chat = openChat(harness);
        if (home.resentFromFile) {
            // Sent again from its mark, the server still out of reach.
            auto mark = showsMarked(*chat, text);
            ASSERT_NE(mark, nullptr);
            auto message = chat->listData()[static_cast<std::size_t>(rowsOfText(*chat, text).front())];
            // Written in the earlier run; sent again as if written now.
            const auto written = message->time;
            ASSERT_TRUE(harness.tap(mark));
            ASSERT_TRUE(harness.runUntil(
                [&] { return message->time > written && !message->isSending && message->sendFailed; }));
            leaveChat(harness, chat);
            chat = openChat(harness);
        }
        EXPECT_NE(showsMarked(*chat, text), nullptr) << "left and opened again";
        if (home.leftFirst && !home.readOnly) {
            EXPECT_TRUE(waitForPictures(harness));
            EXPECT_FALSE(harness.render("chat-unsent-left-first-" + size + ".png").empty());
        }
        showsOthersMarked(*chat, kept);
        EXPECT_EQ(field(*chat)->text(), "");
        EXPECT_EQ(storedWithText(), 0u);
        if (protection) {
            EXPECT_FALSE(platform::FileUtil::exists(file)) << "the home took a write";
            EXPECT_TRUE(waitForPictures(harness));
            EXPECT_FALSE(harness.render("chat-unsent-read-only-" + size + ".png").empty());
            // The home takes writes again: the next look at the file
            // writes what it missed.
            leaveChat(harness, chat);
            protection.reset();
            chat = openChat(harness);
            EXPECT_NE(showsMarked(*chat, text), nullptr) << "opened again once the home takes writes";
        }
        EXPECT_EQ(std::count_if(chat->listData().begin(), chat->listData().end(),
                      [](const auto& message) { return message->sendFailed; }),
            static_cast<long>(kept.size()));
        if (home.otherShown >= 0) {
            EXPECT_NE(readTextFile(file).find("给别的家长"), std::string::npos) << "the earlier run's message is kept";
            EXPECT_EQ(UnsentMessages().withContact(3003).size(), static_cast<std::size_t>(home.otherShown));
        }
        if (home.oversizedMessage) {
            // Never written, so never set aside: shown for the run, at
            // every opening.
            for (int opened = 0; opened < 3; ++opened) {
                EXPECT_TRUE(inFile().empty());
                EXPECT_LE(platform::FileUtil::fileSize(file).value_or(0), UnsentMessages::kLargestFile);
                EXPECT_TRUE(setAside(documents).empty());
                leaveChat(harness, chat);
                chat = openChat(harness);
                EXPECT_NE(showsMarked(*chat, text), nullptr) << "opened again";
            }
            leaveChat(harness, chat);
            return;
        }
        EXPECT_EQ(inFile(), lasting);
        if (home.resentFromFile) {
            // As the earlier run wrote it: the time it failed again is the run's.
            auto inTheFile = UnsentMessages().withContact(kParentUid);
            ASSERT_EQ(inTheFile.size(), 1u);
            EXPECT_EQ(inTheFile.front()->time.value_or(platform::Date {}).seconds, 1700000000.0);
        }
        EXPECT_TRUE(setAside(documents) == asideAsFound) << setAside(documents).size() << " set aside";
        leaveChat(harness, chat);
    }
    // The client started again on the same home: still there, and its
    // mark sends it now that the server answers.
    {
        AppHarness harness(options);
        auto chat = startSignedIn(harness);
        ASSERT_TRUE(chat);
        auto mark = showsMarked(*chat, text);
        ASSERT_NE(mark, nullptr) << "after a restart";
        showsOthersMarked(*chat, lasting);
        EXPECT_EQ(inFile(), lasting);
        if (home.render) {
            EXPECT_TRUE(waitForPictures(harness));
            EXPECT_FALSE(harness.render("chat-unsent-after-restart-" + size + ".png").empty());
        }
        const std::string file = UnsentMessages::filePath();
        if (home.unreadableWhileSent) {
            ASSERT_TRUE(platform::FileUtil::move(file, file + ".away"));
            ASSERT_TRUE(platform::FileUtil::createDirectory(file));
        }
        const auto sent = harness.server()->requests().withCommand(kSendToOne).size();
        ASSERT_TRUE(harness.tap(mark));
        ASSERT_TRUE(harness.runUntil([&] { return showsSentOnce(*chat); }));
        if (home.unreadableWhileSent) {
            ASSERT_TRUE(platform::FileUtil::remove(file));
            ASSERT_TRUE(platform::FileUtil::move(file + ".away", file));
        }
        EXPECT_EQ(harness.server()->requests().withCommand(kSendToOne).size(), sent + 1);
        EXPECT_EQ(storedWithText(), 1u);
        // The next look at the file takes it out, if it is still there.
        leaveChat(harness, chat);
        chat = openChat(harness);
        EXPECT_TRUE(showsSentOnce(*chat));
        showsOthersMarked(*chat, lasting);
        EXPECT_EQ(inFile(), std::vector<std::string>(lasting.begin() + 1, lasting.end()));
        leaveChat(harness, chat);
    }
    // Nor is it offered again at the next start.
    {
        AppHarness harness(options);
        auto chat = startSignedIn(harness);
        ASSERT_TRUE(chat);
        EXPECT_TRUE(showsSentOnce(*chat));
        showsOthersMarked(*chat, lasting);
        EXPECT_EQ(storedWithText(), 1u);
        if (home.otherShown >= 0) {
            EXPECT_NE(readTextFile(UnsentMessages::filePath()).find("给别的家长"), std::string::npos);
            EXPECT_EQ(UnsentMessages().withContact(3003).size(), static_cast<std::size_t>(home.otherShown));
        }
        leaveChat(harness, chat);
    }
    EXPECT_TRUE(setAside(documents) == asideAsFound) << setAside(documents).size() << " set aside";
}

INSTANTIATE_TEST_SUITE_P(Homes, ChatScreenRestart,
    ::testing::Combine(::testing::ValuesIn(restartHomes()),
        ::testing::Values(UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch)),
    [](const auto& info) {
        return std::string(std::get<0>(info.param).id)
            + (std::get<1>(info.param) == UIScreen::Kind::FourInch ? "FourInch" : "ThreePointFiveInch");
    });

namespace {

// How a store stops taking messages.
struct StoreFault {
    const char* name;
    // Damages the store file (or its folder); what it returns undoes it.
    std::function<std::shared_ptr<void>(const std::string& store)> apply;
    // Whether the store can no longer take a message at all, whatever the
    // client makes of the damage.
    bool refusesAll;
    // Undone after the first message is kept: the next poll brings nothing,
    // or fails (the server is down).
    bool undoneBeforeAQuietPoll = false;
    bool quietPollFails = false;
    // The write that meets the damage is refused: the message is kept, and
    // written into the fresh store that takes the damaged one's place.
    bool refusesTheFirst = false;
};

void PrintTo(const StoreFault& fault, std::ostream* out) { *out << fault.name; }

// The home folder and the store file made read-only.
std::shared_ptr<void> readOnlyHome(const std::string& store)
{
    auto protection = std::make_shared<WriteProtection>(
        std::vector<std::string> { std::filesystem::path(store).parent_path().string(), store });
    return protection->holds() ? protection : nullptr;
}

class UnstorableChatTest : public ChatScreenTest, public ::testing::WithParamInterface<StoreFault> { };

// What the box finds for the contact: its row's text and badge.
std::shared_ptr<core::MessageInfo> boxRow(int uid)
{
    auto box = boxtest::box();
    if (!box)
        return nullptr;
    for (const auto& row : box->listData())
        if (row && !row->group && row->contact && row->contact->uid == uid)
            return row;
    return nullptr;
}

std::vector<std::string> contents(const core::MessageList& list)
{
    std::vector<std::string> texts;
    for (const auto& message : list)
        texts.push_back(message->content);
    return texts;
}

// Messages the store cannot take are not lost for the run: polled ones show
// in the box (with their unread count) and in the chat, one's own sent one
// stays in its conversation when it is opened again, and the person is told
// once, not at every poll, that messages could not be saved.
TEST_P(UnstorableChatTest, MessagesTheStoreCannotTakeStayForTheRun)
{
    // What the server held for the account before is taken and stored first.
    ASSERT_TRUE(nextPoll());
    const std::string store = core::BaseFactory::dataFilePath();
    ASSERT_TRUE(platform::FileUtil::exists(store));
    auto undo = GetParam().apply(store);
    ASSERT_NE(undo, nullptr);
    auto storedNewest = [] {
        for (const auto& row : core::MessageFactory().getMessageLast().value_or(core::MessageList {}))
            if (!row->group && row->contact && row->contact->uid == kParentUid)
                return row->content;
        return std::string();
    };

    parentWrites("第一条：明天几点到校？");
    ASSERT_TRUE(nextPoll());
    const bool kept = storedNewest() != "第一条：明天几点到校？";
    if (GetParam().refusesAll || GetParam().refusesTheFirst) {
        EXPECT_TRUE(kept);
    }
    EXPECT_EQ(harness().overlayText() == UnsavedMessages::kNotSavedText, kept) << harness().overlayText();
    auto row = boxRow(kParentUid);
    ASSERT_NE(row, nullptr) << "the box shows the conversation";
    EXPECT_EQ(row->content, "第一条：明天几点到校？");
    EXPECT_EQ(row->contact->badge, 1);
    if (GetParam().undoneBeforeAQuietPoll) {
        // The home takes writes again: the next poll, with no news, writes
        // what was kept, which would otherwise wait for a message to arrive.
        undo.reset();
        if (GetParam().quietPollFails)
            harness().server()->script().forCommand(
                core::ORBEndpoints::Cmd::kNewMessages, server::ScriptedReply::connectionReset());
        ASSERT_TRUE(nextPoll());
        EXPECT_EQ(storedNewest(), "第一条：明天几点到校？");
        EXPECT_TRUE(UnsavedMessages::shared().withContact(kParentUid).empty());
    }

    harness().advance(2.0);
    nextSecond();
    parentWrites("第二条：带不带午饭？");
    ASSERT_TRUE(nextPoll());
    EXPECT_EQ(harness().overlayText(), "") << "told once";
    if (!GetParam().refusesAll || GetParam().undoneBeforeAQuietPoll) {
        // The damaged file was set aside for a fresh one (or the home takes
        // writes again): what was kept is written there with the newer
        // message, and no longer only in memory.
        EXPECT_EQ(storedNewest(), "第二条：带不带午饭？");
        EXPECT_TRUE(UnsavedMessages::shared().withContact(kParentUid).empty());
        // The message refused was written by the client's keeping of it.
        const auto stored
            = contents(core::MessageFactory().getMessageWithContact(*parent()).value_or(core::MessageList {}));
        EXPECT_EQ(std::count(stored.begin(), stored.end(), "第一条：明天几点到校？"), 1);
    }
    row = boxRow(kParentUid);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->content, "第二条：带不带午饭？");
    EXPECT_EQ(row->contact->badge, 2);

    auto chat = openChat();
    EXPECT_EQ(
        contents(chat->listData()), (std::vector<std::string> { "第一条：明天几点到校？", "第二条：带不带午饭？" }));
    nextSecond();
    ASSERT_TRUE(harness().type(field(*chat), "八点前到，要带午饭。"));
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnSend")));
    auto own = chat->listData().back();
    ASSERT_TRUE(harness().runUntil([&] { return !own->isSending; }));
    EXPECT_FALSE(own->sendFailed) << "the server took it";
    EXPECT_EQ(sends().size(), 1u);
    EXPECT_EQ(harness().overlayText(), "") << "told once";
    leave(chat);
    row = boxRow(kParentUid);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->content, "八点前到，要带午饭。");
    EXPECT_EQ(row->contact->badge, 0) << "read in the chat";

    chat = openChat();
    EXPECT_EQ(contents(chat->listData()),
        (std::vector<std::string> { "第一条：明天几点到校？", "第二条：带不带午饭？", "八点前到，要带午饭。" }));
    EXPECT_EQ(
        rowClasses(*chat), (std::vector<std::string> { "MessageLeftCell", "MessageLeftCell", "MessageRightCell" }));
}

INSTANTIATE_TEST_SUITE_P(Stores, UnstorableChatTest,
    ::testing::Values(
        StoreFault {
            "ReadOnlyHome",
            readOnlyHome,
            true,
        },
        StoreFault {
            "ReadOnlyHomeWritableAgain",
            readOnlyHome,
            true,
            true,
        },
        StoreFault {
            "ReadOnlyHomeWritableAgainServerDown",
            readOnlyHome,
            true,
            true,
            true,
        },
        StoreFault {
            "DamagedFile",
            [](const std::string& store) -> std::shared_ptr<void> {
                // The header and the first page written over: SQLite no
                // longer knows the file as a database.
                auto bytes = platform::FileUtil::read(store);
                if (!bytes || bytes->size() < 4096)
                    return nullptr;
                std::fill(bytes->begin(), bytes->begin() + 4096, std::uint8_t('x'));
                if (!platform::FileUtil::write(store, *bytes))
                    return nullptr;
                return std::make_shared<int>(0);
            },
            false,
            false,
            false,
            true,
        }),
    [](const ::testing::TestParamInfo<StoreFault>& info) { return std::string(info.param.name); });

} // namespace

// Without a camera the sheet offers the album only; the picked picture is
// uploaded, then sent with its addresses, and shows as one's own photo. With
// a camera the first button opens it; cancelling sends nothing.
TEST_F(ChatScreenTest, SendsAPickedPhoto)
{
    auto chat = openChat();
    auto photoButton = harness().viewByOutlet("btnPhoto");
    ASSERT_TRUE(harness().tap(photoButton));
    auto sheet = UIActionSheet::currentSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_EQ(sheet->title(), "选择一张图片");
    ASSERT_EQ(sheet->numberOfButtons(), 2);
    EXPECT_EQ(sheet->buttonTitleAtIndex(0), "从相册中选取");
    EXPECT_EQ(sheet->buttonTitleAtIndex(1), "取消");
    ASSERT_TRUE(harness().tapButton("从相册中选取"));
    settle(harness());
    auto picker = std::dynamic_pointer_cast<UIImagePickerController>(harness().presentedScreen());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->sourceType(), UIImagePickerControllerSourceTypeSavedPhotosAlbum);
    EXPECT_FALSE(picker->allowsEditing());
    ASSERT_TRUE(picker->pickImageAtPath(writePicture(1000, 500)));
    settle(harness());
    EXPECT_EQ(harness().presentedScreen(), nullptr);
    ASSERT_TRUE(waitForLastRow(*chat, "MessagePhotoRightCell"));
    auto log = harness().serverRequests();
    auto upload
        = std::find_if(log.begin(), log.end(), [](const auto& r) { return r.route.starts_with("upload/msgpic"); });
    auto sent = std::find_if(log.begin(), log.end(), [](const auto& r) { return r.command == kSendToOne; });
    ASSERT_NE(upload, log.end());
    ASSERT_NE(sent, log.end());
    EXPECT_LT(upload->sequence, sent->sequence);
    ASSERT_NE(upload->part("file"), nullptr);
    EXPECT_EQ(sent->bodyValue("images")[0]["original"].stringValue(), chat->listData().back()->photosInfo[0]->url);

    UIImagePickerController::setCameraAvailable(true);
    ASSERT_TRUE(harness().tap(photoButton));
    ASSERT_EQ(UIActionSheet::currentSheet()->numberOfButtons(), 3);
    ASSERT_TRUE(harness().tapButton("立即拍照"));
    settle(harness());
    picker = std::dynamic_pointer_cast<UIImagePickerController>(harness().presentedScreen());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->sourceType(), UIImagePickerControllerSourceTypeCamera);
    picker->cancel();
    settle(harness());
    EXPECT_EQ(harness().presentedScreen(), nullptr);
    EXPECT_EQ(chat->listData().size(), 1u);
}

// In voice mode a held record button records a tone; released after 3.4 s
// the clip is uploaded and sent with its 3 seconds. While the overlay shows,
// the photo button and the mode switch do nothing. A press released at once
// says "录音时间过短" for 0.8 s and sends nothing.
TEST_F(ChatScreenTest, SendsAVoiceRecording)
{
    platform::AudioInput::setSource(std::make_shared<platform::ToneSampleSource>(440, -12));
    auto chat = openChat();
    auto record = recordButton(*chat);
    ASSERT_TRUE(harness().tap(modeButton(*chat)));
    EXPECT_EQ(modeButton(*chat)->tag(), MessageViewController::kModeVoice);
    EXPECT_TRUE(field(*chat)->isHidden());
    ASSERT_FALSE(record->isHidden());

    record->sendActionsForControlEvents(UIControlEventTouchDown);
    EXPECT_EQ(record->titleForState(UIControlStateNormal).value_or(""), "释放发送");
    ASSERT_NE(recordOverlay(), nullptr);
    ASSERT_FALSE(recordOverlay()->isHidden());
    chat->btnPhotoTouchUpInside(nullptr);
    chat->btnSoundTouchUpInside(nullptr);
    EXPECT_EQ(UIActionSheet::currentSheet(), nullptr);
    EXPECT_EQ(modeButton(*chat)->tag(), MessageViewController::kModeVoice);
    harness().advance(3.4);
    record->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(record->titleForState(UIControlStateNormal).value_or(""), "按住录音");
    ASSERT_TRUE(waitForLastRow(*chat, "MessageSoundRightCell"));
    auto log = harness().serverRequests();
    auto upload
        = std::find_if(log.begin(), log.end(), [](const auto& r) { return r.route.starts_with("upload/audio"); });
    ASSERT_NE(upload, log.end());
    ASSERT_EQ(sends().size(), 1u);
    EXPECT_EQ(sends()[0].bodyValue("audios")[0]["seconds"].intValue(), 3);

    harness().advance(3.1); // the record view's lock
    ASSERT_TRUE(harness().longPress(record, 0.2));
    EXPECT_EQ(harness().overlayText(), "录音时间过短");
    harness().advance(1.5);
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(chat->listData().size(), 1u);
    EXPECT_EQ(sends().size(), 1u);
}

// A recording that cannot be made into a clip says so as briefly as a short
// one, and sends nothing.
TEST_F(ChatScreenTest, AFailedConversionSaysSoAndSendsNothing)
{
    platform::AudioInput::setSource(std::make_shared<platform::ToneSampleSource>(440, -12));
    auto chat = openChat();
    auto record = recordButton(*chat);
    ASSERT_TRUE(harness().tap(modeButton(*chat)));
    record->sendActionsForControlEvents(UIControlEventTouchDown);
    auto overlay = recordOverlay();
    ASSERT_NE(overlay, nullptr);
    harness().advance(2.4);
    // Something already holds the clip's AMR name and cannot be written over.
    std::string wav = overlay->wavPath();
    std::string amr = wav.substr(0, wav.size() - 4) + ".amr";
    ASSERT_TRUE(platform::FileUtil::createDirectory(amr));
    ASSERT_TRUE(platform::FileUtil::write(platform::FileUtil::joinPath(amr, "keep"), std::string_view("x")));
    record->sendActionsForControlEvents(UIControlEventTouchUpInside);
    EXPECT_EQ(harness().overlayText(), MessageViewController::kRecordFailedText);
    EXPECT_TRUE(chat->listData().empty());
    harness().advance(1.5);
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_TRUE(chat->listData().empty());
    EXPECT_TRUE(sends().empty());
    auto log = harness().serverRequests();
    EXPECT_EQ(
        std::count_if(log.begin(), log.end(), [](const auto& r) { return r.route.starts_with("upload/audio"); }), 0);
}

// The contact's new message is stored read and appended once; another
// contact's, and another screen's send, are not this conversation's.
TEST_F(ChatScreenTest, TakesOnlyItsContactsNewMessages)
{
    auto chat = openChat();
    auto& center = platform::NotificationCenter::defaultCenter();
    auto incoming = stored("n1", false, 0);
    auto other = stored("n2", false, 0);
    other->contact = parent(3001);
    auto elsewhere = stored("", true, 0);
    elsewhere->isSending = true;
    center.post("new_message_3002", {}, platform::Dictionary { { "message", platform::Value(incoming) } });
    center.post("new_message_3002", {}, platform::Dictionary { { "message", platform::Value(incoming) } });
    center.post("new_message_3001", {}, platform::Dictionary { { "message", platform::Value(other) } });
    center.post(MessageLoaderDidSendSucceededNotification, {},
        platform::Dictionary { { "message", platform::Value(elsewhere) } });
    center.post(
        MessageLoaderDidSendFailedNotification, {}, platform::Dictionary { { "message", platform::Value(elsewhere) } });
    ASSERT_EQ(chat->listData().size(), 1u);
    EXPECT_EQ(chat->listData()[0], incoming);
    auto history = core::MessageFactory().getMessageWithContact(*parent()).value_or(core::MessageList {});
    ASSERT_EQ(history.size(), 1u);
    EXPECT_EQ(history[0]->state, core::MessageInfo::kStateRead);
}

// The box's poll brings the contact's messages up to 20 seconds after they
// were written: one written before one's own voice clip or text, which the
// server stamps earlier, takes its place above them at once, whether one's
// own is sent or still sending, as reopening the conversation shows them.
// The newest one is appended at the bottom; the table shows the bottom, with
// the new message in sight.
TEST_F(ChatScreenTest, ArrivalsTakeTheirPlaceByTime)
{
    core::MessageList history;
    for (int n = 0; n < 12; ++n)
        history.push_back(stored("h" + std::to_string(n), n % 3 == 1, 60 - n));
    ASSERT_TRUE(core::MessageFactory().setMessage(history));
    platform::AudioInput::setSource(std::make_shared<platform::ToneSampleSource>(440, -12));
    auto chat = openChat();
    ASSERT_EQ(chat->listData().size(), 12u);

    // The parent writes while the teacher records; the clip is sent before
    // the next poll brings the parent's message.
    auto record = recordButton(*chat);
    ASSERT_TRUE(harness().tap(modeButton(*chat)));
    record->sendActionsForControlEvents(UIControlEventTouchDown);
    harness().advance(2.4);
    const std::string first = parentWrites("王老师，孩子今天有点发烧，请假一天。");
    nextSecond();
    record->sendActionsForControlEvents(UIControlEventTouchUpInside);
    ASSERT_TRUE(waitForLastRow(*chat, "MessageSoundRightCell"));
    ASSERT_TRUE(harness().runUntil([&] { return !chat->listData().back()->uid.empty(); }));
    const std::string clip = chat->listData().back()->uid;
    ASSERT_TRUE(nextPoll());
    ASSERT_EQ(chat->listData().size(), 14u);
    harness().advance(0.5);
    harness().render("messaging-chat-arrival-order.png");
    EXPECT_EQ(uids(chat->listData()), reopenedUids());
    EXPECT_EQ(chat->listData()[12]->uid, first);
    EXPECT_EQ(chat->listData()[13]->uid, clip);
    auto rows = rowClasses(*chat);
    EXPECT_EQ(std::vector<std::string>(rows.end() - 2, rows.end()),
        (std::vector<std::string> { "MessageLeftCell", "MessageSoundRightCell" }));
    EXPECT_TRUE(atBottom(*table(*chat)));
    EXPECT_TRUE(showsRow(*table(*chat), 12));

    // Written before a text of one's own that is still on its way.
    const std::string second = parentWrites("好的，谢谢！");
    nextSecond();
    ASSERT_TRUE(harness().tap(modeButton(*chat)));
    auto held = holdNext(kSendToOne);
    ASSERT_TRUE(harness().type(field(*chat), "祝孩子早日康复"));
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnSend")));
    ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1; }));
    auto text = chat->listData().back();
    ASSERT_TRUE(nextPoll());
    ASSERT_EQ(chat->listData().size(), 16u);
    EXPECT_EQ(chat->listData()[14]->uid, second);
    EXPECT_TRUE(chat->listData()[15]->isSending);
    rows = rowClasses(*chat);
    EXPECT_EQ(std::vector<std::string>(rows.end() - 2, rows.end()),
        (std::vector<std::string> { "MessageLeftCell", "MessageSendingCell" }));
    held->open();
    ASSERT_TRUE(harness().runUntil([&] { return !text->uid.empty(); }));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(rowClasses(*chat).back(), "MessageRightCell");
    EXPECT_EQ(uids(chat->listData()), reopenedUids());

    // The newest of all goes to the bottom.
    nextSecond();
    const std::string third = parentWrites("明天见");
    ASSERT_TRUE(nextPoll());
    harness().advance(0.5);
    ASSERT_EQ(chat->listData().size(), 17u);
    EXPECT_EQ(chat->listData().back()->uid, third);
    EXPECT_EQ(uids(chat->listData()), reopenedUids());
    EXPECT_TRUE(atBottom(*table(*chat)));
    EXPECT_TRUE(showsRow(*table(*chat), 16));
}

// Within one second the store lists messages in the order it took them: a
// contact's message of the same second as a text still sending stays above
// it once the text is stored; one that comes after the text was stored goes
// below it.
TEST_F(ChatScreenTest, MessagesOfOneSecondStandAsStored)
{
    auto chat = openChat();
    auto& center = platform::NotificationCenter::defaultCenter();
    auto arrive = [&](const std::string& uid, platform::Date time) {
        auto message = stored(uid, false, 0);
        message->time = time;
        ASSERT_TRUE(core::MessageFactory().setMessage({ message }));
        center.post("new_message_3002", {}, platform::Dictionary { { "message", platform::Value(message) } });
    };
    auto held = holdNext(kSendToOne);
    ASSERT_TRUE(harness().type(field(*chat), "第一条"));
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnSend")));
    ASSERT_EQ(chat->listData().size(), 1u);
    auto own = chat->listData()[0];
    arrive("s1", *own->time);
    EXPECT_EQ(rowClasses(*chat), (std::vector<std::string> { "MessageSendingCell", "MessageLeftCell" }));
    held->open();
    ASSERT_TRUE(harness().runUntil([&] { return !own->uid.empty(); }));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(rowClasses(*chat), (std::vector<std::string> { "MessageLeftCell", "MessageRightCell" }));
    EXPECT_EQ(uids(chat->listData()), (std::vector<std::string> { "s1", own->uid }));
    EXPECT_EQ(uids(chat->listData()), reopenedUids());

    arrive("s2", *own->time);
    EXPECT_EQ(uids(chat->listData()), (std::vector<std::string> { "s1", own->uid, "s2" }));
    EXPECT_EQ(uids(chat->listData()), reopenedUids());
}

// A message written long before the newest ones (the phone was out of reach
// while the contact wrote) takes its place up the conversation; counted read,
// it is scrolled into sight rather than left above the screen.
TEST_F(ChatScreenTest, AnOldArrivalIsBroughtIntoSight)
{
    core::MessageList history;
    for (int n = 0; n < 12; ++n)
        history.push_back(stored("h" + std::to_string(n), n % 2 == 1, 60 - n));
    ASSERT_TRUE(core::MessageFactory().setMessage(history));
    auto chat = openChat();
    harness().advance(0.5);
    ASSERT_TRUE(atBottom(*table(*chat)));
    ASSERT_FALSE(showsRow(*table(*chat), 3));

    auto late = stored("late", false, 56.5);
    ASSERT_TRUE(core::MessageFactory().setMessage({ late }));
    platform::NotificationCenter::defaultCenter().post(
        "new_message_3002", {}, platform::Dictionary { { "message", platform::Value(late) } });
    harness().advance(0.5);
    ASSERT_EQ(chat->listData().size(), 13u);
    EXPECT_EQ(chat->listData()[4], late);
    EXPECT_EQ(uids(chat->listData()), reopenedUids());
    EXPECT_TRUE(showsRow(*table(*chat), 4));
}

// A voice bubble plays its clip, a photo bubble stops it and opens the
// browser on the photo; leaving the screen stops the clip, takes the record
// overlay off the window, and nothing reaches the screen afterwards.
TEST_F(ChatScreenTest, PlaysVoiceOpensPhotosAndLetsGoWhenLeft)
{
    auto voice = stored("v1", false, 5);
    auto sound = std::make_shared<core::SoundInfo>();
    sound->url = staticFile("audio/chat-v1.amr");
    sound->seconds = 2;
    voice->soundsInfo = { sound };
    voice->updateSounds();
    auto photo = stored("p1", false, 4);
    auto picture = std::make_shared<core::PhotoInfo>();
    picture->url = staticFile("photos/photo-400x300.jpg");
    picture->thumbUrl = picture->url;
    photo->photosInfo = { picture };
    photo->updatePhotos();
    ASSERT_TRUE(core::MessageFactory().setMessage({ voice, photo }));

    std::weak_ptr<MessageViewController> weak;
    {
        auto chat = openChat();
        weak = chat;
        ASSERT_EQ(rowClasses(*chat), (std::vector<std::string> { "MessageSoundLeftCell", "MessagePhotoLeftCell" }));
        ASSERT_TRUE(harness().tap(visibleCell(*chat, 0)->wrapperView()));
        ASSERT_TRUE(harness().runUntil([] { return MessageAudioPlayer::isPlaying(); }));
        EXPECT_EQ(MessageAudioPlayer::shareInstance()->sound()->url, sound->url);

        ASSERT_TRUE(harness().tap(visibleCell(*chat, 1)->wrapperView()));
        settle(harness());
        EXPECT_FALSE(MessageAudioPlayer::isPlaying());
        auto navigation = std::dynamic_pointer_cast<UINavigationController>(harness().presentedScreen());
        ASSERT_NE(navigation, nullptr);
        ASSERT_NE(std::dynamic_pointer_cast<PhotoBrowser>(navigation->viewControllers().front()), nullptr);
        ASSERT_EQ(std::dynamic_pointer_cast<PhotoBrowser>(navigation->viewControllers().front())->numberOfPhotos(), 1u);
        navigation->dismissViewControllerAnimated(false);
        settle(harness());

        ASSERT_TRUE(harness().tap(visibleCell(*chat, 0)->wrapperView()));
        ASSERT_TRUE(harness().runUntil([] { return MessageAudioPlayer::isPlaying(); }));
        chat->btnBackTouchUpInisde(nullptr);
        settle(harness());
    }
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(recordOverlay(), nullptr);
    EXPECT_FALSE(MessageAudioPlayer::isPlaying());
    auto& center = platform::NotificationCenter::defaultCenter();
    center.post(
        "new_message_3002", {}, platform::Dictionary { { "message", platform::Value(stored("n9", false, 0)) } });
    center.post(UIKeyboardWillShowNotification);
    harness().advance(1.0);
}

// The keyboard lifts the input bar to sit on it and shortens the table by
// its height; closing it puts both back.
TEST_F(ChatScreenTest, InputBarRidesTheKeyboard)
{
    auto chat = openChat();
    auto bar = outlet(*chat, "bottomView");
    auto restBar = bar->frame();
    auto restTable = table(*chat)->frame();
    ASSERT_TRUE(harness().tap(field(*chat)));
    settle(harness());
    ASSERT_TRUE(platform::Keyboard::isVisible());
    auto window = UIWindow::keyWindow();
    auto barInWindow = bar->superview()->convertRectToView(bar->frame(), window.get());
    EXPECT_DOUBLE_EQ(barInWindow.maxY(), platform::Keyboard::frame().minY());
    EXPECT_DOUBLE_EQ(table(*chat)->frame().height(), restTable.height() - platform::Keyboard::kHeight);

    ASSERT_TRUE(harness().swipe(field(*chat), SwipeDirection::Down));
    settle(harness());
    EXPECT_FALSE(platform::Keyboard::isVisible());
    EXPECT_EQ(bar->frame(), restBar);
    EXPECT_EQ(table(*chat)->frame(), restTable);
}

// On the 3.5-inch screen the table is 88 points shorter and the input bar
// still sits on the screen's bottom edge.
TEST(ChatScreenShortScreen, InputBarStaysAtTheBottom)
{
    AppHarnessOptions options;
    options.screen = UIScreen::Kind::ThreePointFiveInch;
    AppHarness harness(options);
    ASSERT_TRUE(startClient(harness));
    messaging::registerMessagingClasses();
    ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
    auto chat = std::make_shared<MessageViewController>();
    mainScreen()->switchToView(ORBViewController::kMessageTab);
    harness.visibleNavigationController()->pushViewController(chat, true);
    settle(harness);
    auto window = UIWindow::keyWindow();
    auto bar = outlet(*chat, "bottomView");
    EXPECT_DOUBLE_EQ(bar->superview()->convertRectToView(bar->frame(), window.get()).maxY(), window->frame().height());
    EXPECT_DOUBLE_EQ(table(*chat)->frame().maxY(), bar->frame().minY());
}

// One bit of the store flipped at rest between two runs, in a file the
// library reads without complaint: the next start keeps the person's whole
// history, which the box and the chat show, and the file as it was found is
// set aside beside the store.
TEST(ChatStoreDamagedAtRest, TheNextStartKeepsTheHistory)
{
    const struct {
        const char* name;
        const char* near; // the first bytes of the file that hold the bit
        std::size_t offset;
        char bit;
    } damages[] = {
        // The messages' version read as one the store never kept.
        { "the message version's value", "message_version1.0.3", 19, char(0x80) },
        // `tb_info` typed `Table`: the start's rewrite would leave it out.
        { "tb_info's entry's type", "tabletb_infotb_info", 0, 0x20 },
    };
    for (const auto& damage : damages) {
        SCOPED_TRACE(damage.name);
        TempDir folder("store-at-rest");
        ASSERT_FALSE(folder.path().empty());
        AppHarnessOptions options;
        options.home = folder.path();
        auto signedIn = [&](AppHarness& harness) {
            if (!startClient(harness))
                return false;
            messaging::registerMessagingClasses();
            return signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword);
        };
        auto parent = std::make_shared<core::ContactInfo>();
        parent->uid = kParentUid;
        parent->type = 2;
        parent->name = "王芳";
        std::vector<std::string> history;
        {
            AppHarness harness(options);
            ASSERT_TRUE(signedIn(harness));
            core::MessageList list;
            for (int i = 0; i < 40; ++i) {
                auto message = std::make_shared<core::MessageInfo>();
                message->uid = "h" + std::to_string(i);
                message->contact = parent;
                message->content = "第" + std::to_string(i) + "条消息";
                message->state = core::MessageInfo::kStateRead;
                message->time = platform::Date::now().addingSeconds(-3600 + 60 * i);
                message->createTime = message->time;
                list.push_back(message);
                history.push_back(message->content);
            }
            ASSERT_TRUE(core::MessageFactory().setMessage(list));
        }
        const std::string store = platform::FileUtil::joinPath(folder.path(), "Documents/_cache.db");
        auto bytes = platform::FileUtil::read(store);
        ASSERT_TRUE(bytes);
        std::string file(bytes->begin(), bytes->end());
        const std::size_t at = file.find(damage.near);
        ASSERT_NE(at, std::string::npos);
        file[at + damage.offset] = char(file[at + damage.offset] ^ damage.bit);
        ASSERT_TRUE(writeTextFile(store, file));

        AppHarness harness(options);
        ASSERT_TRUE(signedIn(harness));
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        settle(harness);
        auto box = boxtest::box();
        ASSERT_NE(box, nullptr);
        const auto rows = box->listData();
        EXPECT_TRUE(std::any_of(rows.begin(), rows.end(), [](const auto& row) {
            return row && !row->group && row->contact && row->contact->uid == kParentUid && row->content == "第39条消息";
        })) << "the box shows the conversation";
        auto chat = std::make_shared<MessageViewController>();
        chat->setContact(parent);
        harness.visibleNavigationController()->pushViewController(chat, true);
        settle(harness);
        std::vector<std::string> shown;
        for (const auto& message : chat->listData())
            shown.push_back(message->content);
        EXPECT_EQ(shown, history);
        std::size_t aside = 0;
        for (const auto& name : platform::FileUtil::list(platform::AppPaths::documentsDirectory()).value_or(
                 std::vector<std::string> {}))
            aside += name.rfind("_cache.db.corrupt-", 0) == 0 && name.find("-journal") == std::string::npos;
        EXPECT_EQ(aside, 1u);
    }
}

// A voice bubble's loudspeaker walks through its two frames while its clip
// plays, a quarter second each, and shows its still picture again once the
// clip ends: for a received clip and for one's own.
TEST_F(ChatScreenTest, SpeakerIconAnimatesWhileItsClipPlays)
{
    auto received = stored("v1", false, 6);
    auto own = stored("v2", true, 5);
    for (const auto& message : { received, own }) {
        auto sound = std::make_shared<core::SoundInfo>();
        sound->url = staticFile("audio/chat-" + message->uid + ".amr");
        sound->seconds = 2;
        message->soundsInfo = { sound };
        message->updateSounds();
    }
    ASSERT_TRUE(core::MessageFactory().setMessage({ received, own }));
    auto chat = openChat();
    ASSERT_EQ(rowClasses(*chat), (std::vector<std::string> { "MessageSoundLeftCell", "MessageSoundRightCell" }));
    for (long row : { 0L, 1L }) {
        SCOPED_TRACE(row);
        auto cell = std::dynamic_pointer_cast<MessageSoundLeftCell>(visibleCell(*chat, row));
        ASSERT_NE(cell, nullptr);
        auto icon = cell->imgIcon();
        auto shown = [&] {
            auto image = icon->displayedImage();
            return image ? image->name() : std::string();
        };
        const std::string still = shown();
        const std::string prefix = row == 0 ? "message_sound_cell_left_icon" : "message_sound_cell_right_icon";
        EXPECT_TRUE(still.starts_with(prefix)) << still;
        ASSERT_TRUE(harness().tap(cell->wrapperView()));
        ASSERT_TRUE(harness().runUntil([] { return MessageAudioPlayer::isPlaying(); }));
        std::vector<std::string> frames { shown() };
        for (int step = 0; step < 3; ++step) {
            harness().advance(0.25);
            frames.push_back(shown());
        }
        EXPECT_EQ(frames,
            (std::vector<std::string> {
                prefix + "_01.png", prefix + "_02.png", prefix + "_01.png", prefix + "_02.png" }));
        harness().advance(2);
        EXPECT_FALSE(MessageAudioPlayer::isPlaying());
        EXPECT_EQ(shown(), still);
    }
}

// The record overlay lies on the window only from the first press until the
// chat leaves the screen; a clip another screen started plays on when a chat
// goes, while the chat's own clip stops with it.
TEST_F(ChatScreenTest, OverlayAndClipsBelongToWhoStartedThem)
{
    platform::AudioInput::setSource(std::make_shared<platform::ToneSampleSource>(440, -12));
    std::weak_ptr<MessageViewController> gone;
    std::shared_ptr<MessageRecordView> overlay;
    {
        auto chat = openChat();
        gone = chat;
        EXPECT_EQ(recordOverlay(), nullptr);
        ASSERT_TRUE(harness().tap(modeButton(*chat)));
        recordButton(*chat)->sendActionsForControlEvents(UIControlEventTouchDown);
        overlay = recordOverlay();
        ASSERT_NE(overlay, nullptr);
        EXPECT_EQ(overlay->superview(), harness().window());
        harness().advance(1.5);
        recordButton(*chat)->sendActionsForControlEvents(UIControlEventTouchUpInside);
        ASSERT_TRUE(waitForLastRow(*chat, "MessageSoundRightCell"));
        harness().visibleNavigationController()->popViewControllerAnimated(false);
        settle(harness());
        EXPECT_EQ(overlay->superview(), nullptr);
    }
    EXPECT_TRUE(gone.expired());

    auto elsewhere = std::make_shared<voicetest::BubbleRecorder>();
    auto sound = std::make_shared<core::SoundInfo>();
    sound->url = staticFile("audio/elsewhere.amr");
    sound->seconds = 2;
    MessageAudioPlayer::play(sound, elsewhere);
    ASSERT_TRUE(harness().runUntil([] { return MessageAudioPlayer::isPlaying(); }));
    {
        auto chat = openChat();
        gone = chat;
        harness().visibleNavigationController()->popViewControllerAnimated(false);
        settle(harness(), 0.5);
    }
    EXPECT_TRUE(gone.expired());
    EXPECT_TRUE(MessageAudioPlayer::isPlaying());
    EXPECT_EQ(MessageAudioPlayer::shareInstance()->sound(), sound);
}
