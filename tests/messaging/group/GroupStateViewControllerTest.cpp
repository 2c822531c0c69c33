// A group send followed up as its teacher sees it, against the stand-in
// server: the detail screen's layout, its photos and clip, and the read
// states of both tabs with their counters stored, the resend row and its
// request, the answers the screen cannot use, and a tab change while the
// other tab's answer is still on its way.
#include "messaging/group/GroupMessageViewController.h"
#include "messaging/group/GroupStateViewController.h"

#include "core/session/ORBEndpoints.h"
#include "core/store/MessageFactory.h"
#include "messaging/group/GroupStateCell.h"
#include "messaging/group/GroupStateTopCell.h"
#include "messaging/group/GroupStateButtonCell.h"
#include "messaging/voice/MessageAudioPlayer.h"
#include "platform/os/DateFormat.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITableView.h"
#include "server/ReplyGate.h"
#include "server/StandinServer.h"
#include "tests/support/app/SignedInScreen.h"
#include "ui/overlay/ProgressOverlay.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <gtest/gtest.h>

using namespace testsupport;
using server::ScriptedReply;

namespace {

constexpr const char* kStates = core::ORBEndpoints::Cmd::kGroupSendState;
constexpr const char* kResend = core::ORBEndpoints::Cmd::kGroupResend;
// The demo teacher's group send to class 101: three parents have read it,
// one parent's SMS copy failed.
constexpr const char* kDemoGroupSend = "G2001";

// Photos from the stand-in server's pictures when a base is given.
std::shared_ptr<core::MessageInfo> record(
    const std::string& uid, const std::string& text, int photos, int seconds, const std::string& base = "http://127.0.0.1:9/")
{
    auto message = std::make_shared<core::MessageInfo>();
    message->uid = uid;
    message->group = true;
    message->to = true;
    message->content = text;
    std::string list;
    for (int k = 0; k < photos; ++k) {
        list += std::string(list.empty() ? "" : ",") + R"({"original":")" + base + "class" + std::to_string(k) + R"(.png","thumb":")" + base
            + "class" + std::to_string(k) + R"(-thumb.png"})";
    }
    message->photos = photos ? "[" + list + "]" : "";
    message->sounds = seconds ? R"([{"url":"http://127.0.0.1:9/v.amr","seconds":)" + std::to_string(seconds) + "}]" : "";
    message->msgUnReadCount = 5;
    message->msgReadCount = 3;
    message->smsUnSuccessCount = 1;
    message->smsSuccessCount = 7;
    message->state = core::MessageInfo::kStateRead;
    message->time = platform::Date::now().addingSeconds(-3600);
    message->updatePhotosInfo();
    message->updateSoundsInfo();
    return message;
}

std::shared_ptr<core::MessageInfo> storedRecord(const std::string& uid)
{
    for (const auto& message : core::MessageFactory().getMessageLast().value_or(core::MessageList {})) {
        if (message->uid == uid)
            return message;
    }
    return nullptr;
}

class GroupScreensTest : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        SignedInScreenTest::SetUp();
        signIn();
        // The message box's first poll stores the account's group sends as the
        // server has them: let it land before a test changes a stored record.
        ASSERT_TRUE(harness().waitForServerQuiet());
    }
    void TearDown() override
    {
        MessageAudioPlayer::cancelAll();
        SignedInScreenTest::TearDown();
    }

    std::shared_ptr<GroupStateViewController> openStates(const std::shared_ptr<core::MessageInfo>& message)
    {
        auto screen = std::make_shared<GroupStateViewController>();
        screen->setMessage(message);
        return open(screen, 0);
    }

    std::shared_ptr<UITableView> table() const
    {
        return std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("tableView"));
    }
    std::shared_ptr<UIButton> button(const char* outlet) const
    {
        return std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet(outlet));
    }
    // The texts of the rows as the person reads them, top to bottom.
    std::vector<std::string> rows()
    {
        std::vector<std::string> texts;
        auto list = table();
        for (long row = 0; row < list->numberOfRowsInSection(0); ++row) {
            auto cell = visibleCell<UITableViewCell>(*list, row);
            if (auto label = std::dynamic_pointer_cast<UILabel>(cell ? viewIn(cell, "lblTitle") : nullptr))
                texts.push_back("[" + label->text() + "]");
            else if (auto names = std::dynamic_pointer_cast<UILabel>(cell ? viewIn(cell, "lblTxt") : nullptr))
                texts.push_back(names->text());
            else if (auto resend = std::dynamic_pointer_cast<UIButton>(cell ? viewIn(cell, "btnResend") : nullptr))
                texts.push_back("<" + resend->titleForState(UIControlStateNormal).value_or("") + ">");
            else
                texts.push_back("");
        }
        return texts;
    }
    static std::shared_ptr<UIView> viewIn(const std::shared_ptr<UIView>& root, const std::string& outlet)
    {
        if (root->outletName() == outlet)
            return root;
        for (const auto& child : root->subviews()) {
            if (auto found = viewIn(child, outlet))
                return found;
        }
        return nullptr;
    }
    // Lets the list answer arrive and the screen take it.
    void answered(std::size_t count)
    {
        ASSERT_TRUE(waitForAnswer(kStates, count));
        ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() != "加载数据中"; }));
        // The overlay fades out before the tabs take touches again.
        harness().advance(ProgressOverlay::kAnimationDuration);
    }
};

TEST_F(GroupScreensTest, DetailShowsTextThenVoiceThenPhotosAndOpensPhotosAndStates)
{
    auto message = record(kDemoGroupSend, "本周五下午三点举行家长会，请各位家长准时参加。会后请到教室领取孩子的期中试卷。", 2,
        125, harness().serverBase() + "mobile2/pull/static/img/");
    auto screen = std::make_shared<GroupMessageViewController>();
    screen->setMessage(message);
    open(screen, 0);
    EXPECT_EQ(screen->title(), "查看群发消息");

    auto content = viewIn(screen->view(), "contentView");
    auto sound = viewIn(screen->view(), "soundView");
    auto photos = viewIn(screen->view(), "photoView");
    auto bottom = viewIn(screen->view(), "bottomView");
    ASSERT_TRUE(content && sound && photos && bottom);
    EXPECT_EQ(content->frame().minY(), 0);
    EXPECT_GT(content->frame().height(), 64) << "two lines of text grow the text area";
    EXPECT_FALSE(sound->isHidden());
    EXPECT_DOUBLE_EQ(sound->frame().minY(), content->frame().height() + GroupMessageViewController::kTextGap);
    EXPECT_DOUBLE_EQ(photos->frame().minY(), sound->frame().maxY()) << "voice before photos";
    EXPECT_DOUBLE_EQ(bottom->frame().minY(), photos->frame().maxY());
    auto seconds = std::dynamic_pointer_cast<UILabel>(viewIn(screen->view(), "lblSeconds"));
    EXPECT_EQ(seconds->text(), "2'5\"");
    EXPECT_EQ(std::dynamic_pointer_cast<UILabel>(viewIn(screen->view(), "lblSms"))->text(), "1/7");
    EXPECT_EQ(std::dynamic_pointer_cast<UILabel>(viewIn(screen->view(), "lblMsg"))->text(), "5/3");
    EXPECT_EQ(std::dynamic_pointer_cast<UILabel>(viewIn(screen->view(), "lblTime"))->text(),
        platform::DateFormatter("yy-MM-dd HH:mm").stringFromDate(*message->time));
    const auto& slots = photos->subviews();
    ASSERT_EQ(slots.size(), 4u);
    EXPECT_FALSE(slots[0]->isHidden());
    EXPECT_FALSE(slots[1]->isHidden());
    EXPECT_TRUE(slots[2]->isHidden());
    EXPECT_TRUE(slots[3]->isHidden());
    auto thumb = std::dynamic_pointer_cast<UIImageView>(slots[1]->subviews().front());
    ASSERT_TRUE(thumb);
    ASSERT_TRUE(harness().runUntil([&] { return thumb->image() != nullptr; })) << "the thumbnail loads";
    EXPECT_FALSE(harness().render("group-message-detail.png").empty());

    // The second photo's button opens the browser on the second of two pages.
    auto secondPhoto = std::dynamic_pointer_cast<UIButton>(slots[1]->subviews().back());
    ASSERT_TRUE(secondPhoto);
    ASSERT_TRUE(harness().tap(secondPhoto));
    harness().advance(0.5);
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(harness().topScreen()->navigationController());
    auto browser = std::dynamic_pointer_cast<PhotoBrowser>(harness().topScreen());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->numberOfPhotos(), 2u);
    EXPECT_EQ(browser->currentPageIndex(), 1u);
    browser->dismissViewControllerAnimated(false);
    harness().advance(0.5);

    // On to who read it, with the same message.
    ASSERT_TRUE(harness().tapButton("查看已读状态"));
    harness().advance(0.5);
    auto states = std::dynamic_pointer_cast<GroupStateViewController>(harness().topScreen());
    ASSERT_TRUE(states);
    answered(1);
    EXPECT_EQ(requests(kStates).back().bodyValue("msgId").stringValue(), kDemoGroupSend);
}

TEST_F(GroupScreensTest, TheReadStatesButtonOpensOnTheTabOfWhoReadIt)
{
    // "查看已读状态" on the detail: the screen opens on the message tab, whose
    // lists are who read the message and who has not; the SMS tab is one tap away.
    auto screen = std::make_shared<GroupMessageViewController>();
    screen->setMessage(record(kDemoGroupSend, "本周五下午三点举行家长会。", 0, 0));
    open(screen, 0);
    ASSERT_TRUE(harness().tapButton("查看已读状态"));
    harness().advance(0.5);
    auto states = std::dynamic_pointer_cast<GroupStateViewController>(harness().topScreen());
    ASSERT_TRUE(states);
    EXPECT_EQ(states->title(), "已读状态");
    answered(1);
    EXPECT_EQ(requests(kStates).back().bodyValue("type").intValue(), GroupStateViewController::kMessageType);
    EXPECT_FALSE(button("btnMsgState")->isEnabled()) << "the message tab is the selected one";
    EXPECT_TRUE(button("btnSmsState")->isEnabled());
    auto shown = rows();
    ASSERT_EQ(shown.size(), 6u) << "no resend row on the message tab";
    EXPECT_EQ(shown[0].substr(0, std::string("[未读").size()), "[未读");
    EXPECT_EQ(shown[3], "[已读3人]");
    // The selection artwork on top lights the left (message) half.
    auto header = harness().viewByOutlet("headerView");
    ASSERT_TRUE(header);
    auto artwork = std::dynamic_pointer_cast<UIImageView>(header->subviews().at(2));
    ASSERT_TRUE(artwork && artwork->image());
    EXPECT_EQ(artwork->image(), UIImage::imageNamed("message_group_state_tab_sel_left"));
    EXPECT_FALSE(harness().render("group-states-opened.png").empty());

    ASSERT_TRUE(harness().tap(button("btnSmsState")));
    answered(2);
    EXPECT_EQ(requests(kStates).back().bodyValue("type").intValue(), GroupStateViewController::kSmsType);
    EXPECT_EQ(rows().at(0), "[发送失败1人]");
    artwork = std::dynamic_pointer_cast<UIImageView>(header->subviews().at(2));
    ASSERT_TRUE(artwork);
    EXPECT_EQ(artwork->image(), UIImage::imageNamed("message_group_state_tab_sel_right"));
}

TEST_F(GroupScreensTest, TheClipPlaysWithItsLoudspeakerAndStopsWhenTheScreenGoes)
{
    auto message = record(kDemoGroupSend, "请听语音通知。", 0, 5);
    message->soundsInfo.front()->url = harness().serverBase() + "mobile2/pull/static/audio/group-notice.amr";
    std::weak_ptr<GroupMessageViewController> weak;
    {
        auto screen = std::make_shared<GroupMessageViewController>();
        weak = screen;
        screen->setMessage(message);
        open(screen, 0);
        auto strip = viewIn(screen->view(), "soundView");
        auto icon = std::dynamic_pointer_cast<UIImageView>(viewIn(screen->view(), "imgIcon"));
        ASSERT_TRUE(strip && icon);
        auto play = std::dynamic_pointer_cast<UIButton>(strip->subviews().front());
        ASSERT_TRUE(play);
        ASSERT_TRUE(harness().tap(play));
        ASSERT_TRUE(harness().runUntil([] { return MessageAudioPlayer::isPlaying(); }));
        EXPECT_EQ(MessageAudioPlayer::shareInstance()->sound(), message->soundsInfo.front());
        EXPECT_TRUE(icon->isAnimating()) << "the loudspeaker moves while the clip sounds";
        // A second tap stops it.
        ASSERT_TRUE(harness().tap(play));
        EXPECT_FALSE(MessageAudioPlayer::isPlaying());
        EXPECT_FALSE(icon->isAnimating());
        ASSERT_TRUE(harness().tap(play));
        ASSERT_TRUE(harness().runUntil([] { return MessageAudioPlayer::isPlaying(); }));
        screen->navigationController()->popViewControllerAnimated(false);
        settle(harness());
    }
    EXPECT_TRUE(weak.expired());
    EXPECT_FALSE(MessageAudioPlayer::isPlaying()) << "leaving the screen ends its clip";
}

TEST_F(GroupScreensTest, ATextOnlyMessageHidesBothStrips)
{
    auto screen = std::make_shared<GroupMessageViewController>();
    screen->setMessage(record("G1", "明天放假。", 0, 0));
    open(screen, 0);
    auto content = viewIn(screen->view(), "contentView");
    EXPECT_TRUE(viewIn(screen->view(), "soundView") == nullptr || viewIn(screen->view(), "soundView")->isHidden());
    auto bottom = viewIn(screen->view(), "bottomView");
    ASSERT_TRUE(bottom && content);
    EXPECT_DOUBLE_EQ(content->frame().height(), 64) << "one line keeps the layout's height";
    EXPECT_DOUBLE_EQ(bottom->frame().minY(), 64 + GroupMessageViewController::kTextGap);
}

TEST_F(GroupScreensTest, BothTabsCountTheirListsAndTheFailedCanBeSentAgain)
{
    core::MessageFactory store;
    auto message = record(kDemoGroupSend, "本周五下午三点举行家长会，请各位家长准时参加。", 0, 0);
    ASSERT_TRUE(store.setMessage({ message }));
    auto held = holdNext(kStates);
    openStates(message);
    EXPECT_EQ(harness().overlayText(), "加载数据中");
    held->open();
    answered(1);
    auto asked = requests(kStates).back();
    EXPECT_EQ(asked.bodyValue("msgId").stringValue(), kDemoGroupSend);
    EXPECT_EQ(asked.bodyValue("type").intValue(), GroupStateViewController::kMessageType) << "the message tab first";
    EXPECT_FALSE(button("btnMsgState")->isEnabled()) << "the selected tab is the disabled one";
    EXPECT_TRUE(button("btnSmsState")->isEnabled());

    // The message tab: who read it; never a resend row there.
    auto shown = rows();
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(shown[3], "[已读3人]");
    auto read = storedRecord(kDemoGroupSend);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->msgReadCount, 3);
    EXPECT_GT(read->msgUnReadCount, 0);
    EXPECT_EQ(read->smsUnSuccessCount, 1) << "the SMS counters stay as they were";
    EXPECT_EQ(read->smsSuccessCount, 7);
    EXPECT_EQ(shown[0], "[未读" + std::to_string(read->msgUnReadCount) + "人]");

    // SMS: one parent's copy failed; the resend row stands under that name.
    ASSERT_TRUE(harness().tap(button("btnSmsState")));
    answered(2);
    EXPECT_EQ(requests(kStates).back().bodyValue("type").intValue(), GroupStateViewController::kSmsType);
    EXPECT_FALSE(button("btnSmsState")->isEnabled());
    EXPECT_TRUE(button("btnMsgState")->isEnabled());
    shown = rows();
    ASSERT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown[0], "[发送失败1人]");
    EXPECT_FALSE(shown[1].empty());
    EXPECT_EQ(shown[2], "<重发以上家长>");
    EXPECT_EQ(shown[4].substr(0, std::string("[发送成功").size()), "[发送成功");
    auto sms = storedRecord(kDemoGroupSend);
    ASSERT_TRUE(sms);
    EXPECT_EQ(sms->smsUnSuccessCount, 1);
    EXPECT_GT(sms->smsSuccessCount, 1);
    EXPECT_EQ(sms->msgReadCount, 3) << "the message counters stay as the message tab left them";
    EXPECT_FALSE(harness().render("group-states-sms-resend.png").empty());

    // Sending again: the spinner while the server works, then its verdict.
    auto resend = holdNext(kResend);
    auto row = visibleCell<GroupStateButtonCell>(*table(), 2);
    ASSERT_TRUE(row);
    ASSERT_TRUE(harness().tap(row->btnResend()));
    EXPECT_EQ(harness().overlayText(), "请求处理中");
    resend->open();
    ASSERT_TRUE(waitForAnswer(kResend));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "操作成功"; }));
    EXPECT_EQ(requests(kResend).back().bodyValue("type").intValue(), GroupStateViewController::kSmsType);
    EXPECT_EQ(requests(kResend).back().bodyValue("msgId").stringValue(), kDemoGroupSend);
    harness().advance(GroupStateViewController::kOverlayHideDelay + 0.5);
    EXPECT_EQ(harness().overlayText(), "");
}

TEST_F(GroupScreensTest, SendingAgainReachesTheFailedWhoCanReceive)
{
    // The demo teacher's send to class 102: three SMS copies failed.
    core::MessageFactory store;
    auto message = record("G2002", "下周三上午举行秋季运动会。", 0, 0);
    ASSERT_TRUE(store.setMessage({ message }));
    openStates(message);
    answered(1);
    ASSERT_TRUE(harness().tap(button("btnSmsState")));
    answered(2);
    auto shown = rows();
    ASSERT_EQ(shown.size(), 7u);
    EXPECT_EQ(shown[0], "[发送失败3人]");
    EXPECT_EQ(shown[1], "孙娜,  胡斌,  郭婷");
    auto row = visibleCell<GroupStateButtonCell>(*table(), 2);
    ASSERT_TRUE(row);
    ASSERT_TRUE(harness().tap(row->btnResend()));
    ASSERT_TRUE(waitForAnswer(kResend));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "操作成功"; }));
    harness().advance(GroupStateViewController::kOverlayHideDelay + 0.5);

    // Looked at again, nobody is left without the SMS.
    ASSERT_TRUE(harness().tap(button("btnMsgState")));
    answered(3);
    ASSERT_TRUE(harness().tap(button("btnSmsState")));
    answered(4);
    shown = rows();
    ASSERT_EQ(shown.size(), 6u) << "no resend row with nobody failed";
    EXPECT_EQ(shown[0], "[发送失败0人]");
    EXPECT_EQ(shown[3], "[发送成功8人]");
    EXPECT_EQ(storedRecord("G2002")->smsUnSuccessCount, 0);
    EXPECT_EQ(storedRecord("G2002")->smsSuccessCount, 8);
}

TEST_F(GroupScreensTest, NamelessReceiversAnswersWithoutListsAndNobodyToResend)
{
    core::MessageFactory store;
    auto message = record(kDemoGroupSend, "通知", 0, 0);
    ASSERT_TRUE(store.setMessage({ message }));
    harness().server()->script().forCommand(
        kStates, ScriptedReply::custom(200, R"({"resultState":1,"readItems":["李",""],"unReadItems":[]})"));
    openStates(message);
    answered(1);
    EXPECT_EQ(rows(), (std::vector<std::string> { "[未读0人]", "", "", "[已读2人]", "李,  未知联系人", "" }));
    EXPECT_EQ(storedRecord(kDemoGroupSend)->msgReadCount, 2);
    EXPECT_EQ(storedRecord(kDemoGroupSend)->msgUnReadCount, 0);

    // The same answer on the SMS tab: nobody failed, so no resend row.
    harness().server()->script().forCommand(
        kStates, ScriptedReply::custom(200, R"({"resultState":1,"readItems":["李",""],"unReadItems":[]})"));
    ASSERT_TRUE(harness().tap(button("btnSmsState")));
    answered(2);
    EXPECT_EQ(rows(), (std::vector<std::string> { "[发送失败0人]", "", "", "[发送成功2人]", "李,  未知联系人", "" }));
    EXPECT_EQ(storedRecord(kDemoGroupSend)->smsSuccessCount, 2);
    EXPECT_EQ(storedRecord(kDemoGroupSend)->smsUnSuccessCount, 0);

    // The server's own words when it sends no lists; the counters stay.
    harness().server()->script().forCommand(kStates, ScriptedReply::errorEnvelope("消息不存在"));
    ASSERT_TRUE(harness().tap(button("btnMsgState")));
    answered(3);
    EXPECT_EQ(harness().overlayText(), "消息不存在");
    EXPECT_EQ(rows(), (std::vector<std::string> { "[未读0人]", "", "", "[已读0人]", "", "" }));
    EXPECT_EQ(storedRecord(kDemoGroupSend)->msgReadCount, 2);
    EXPECT_EQ(storedRecord(kDemoGroupSend)->msgUnReadCount, 0);
    harness().advance(GroupStateViewController::kOverlayHideDelay + 0.5);

    // Two failed copies bring the resend row; then the message tab's answer
    // is no object at all: the lists empty, the row stays, and a tap on it
    // finds nobody to send to, says so and asks nothing.
    harness().server()->script().forCommand(
        kStates, ScriptedReply::custom(200, R"({"resultState":1,"readItems":[],"unReadItems":["甲","乙"]})"));
    ASSERT_TRUE(harness().tap(button("btnSmsState")));
    answered(4);
    EXPECT_EQ(rows(), (std::vector<std::string> { "[发送失败2人]", "甲,  乙", "<重发以上家长>", "", "[发送成功0人]", "", "" }));
    harness().server()->script().forCommand(kStates, ScriptedReply::listInsteadOfObject());
    ASSERT_TRUE(harness().tap(button("btnMsgState")));
    answered(5);
    EXPECT_EQ(harness().overlayText(), "请求失败");
    harness().advance(GroupStateViewController::kOverlayHideDelay + 0.5);
    auto row = visibleCell<GroupStateButtonCell>(*table(), 2);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->btnResend()->titleForState(UIControlStateNormal).value_or(""), "提醒以上家长");
    ASSERT_TRUE(harness().tap(row->btnResend()));
    EXPECT_EQ(harness().overlayText(), "无未读或未接收用户");
    EXPECT_TRUE(requests(kResend).empty());
}

// Replies of every wrong shape, on both tabs: lists that are no lists, names
// of other kinds, empty and huge lists, nulls, numbers past any range. Each
// ends in lists the screen can show and counts that are counts; the server's
// words are shown only when they are words.
TEST_F(GroupScreensTest, HostileStateRepliesEndInListsTheScreenCanShow)
{
    core::MessageFactory store;
    auto message = record(kDemoGroupSend, "通知", 0, 0);
    ASSERT_TRUE(store.setMessage({ message }));
    std::string many = R"({"resultState":1,"unReadItems":[],"readItems":["甲")";
    for (int i = 1; i < 100000; ++i)
        many += R"(,"乙")";
    many += "]}";
    struct Case {
        const char* name;
        std::string body;
        int unread;
        int read;
        const char* overlay; // null: the lists were taken
    };
    const Case cases[] = {
        { "empty lists", R"({"resultState":1,"readItems":[],"unReadItems":[]})", 0, 0, nullptr },
        { "lists that are texts", R"({"resultState":1,"readItems":"李","unReadItems":"王"})", 0, 0, "请求失败" },
        { "lists and words that are null",
            R"({"resultState":null,"readItems":null,"unReadItems":null,"resultMsg":null})", 0, 0, "请求失败" },
        { "one list missing, with the server's words",
            R"({"resultState":0,"readItems":["李"],"resultMsg":"消息不存在"})", 0, 0, "消息不存在" },
        { "words that are a number", R"({"resultState":0,"resultMsg":12})", 0, 0, "请求失败" },
        { "names of every other kind",
            R"({"resultState":1,"readItems":[1,null,true,{"name":"李"},["王"],""],"unReadItems":[-0.5]})", 1, 6,
            nullptr },
        { "large numbers as names",
            R"({"resultState":1,"readItems":[1e100,-1e100,9223372036854775807],"unReadItems":[]})", 0, 3, nullptr },
        { "a body that is no JSON", "<html>502 Bad Gateway</html>", 0, 0, "请求失败" },
        { "an empty body", "", 0, 0, "请求失败" },
        { "a list at the top", R"([{"readItems":[],"unReadItems":[]}])", 0, 0, "请求失败" },
        // Longer than a screen's list can be: refused before it is read.
        { "five megabytes",
            R"({"resultState":1,"unReadItems":[],"readItems":["李"],"note":")"
                + std::string(std::size_t { 5 } << 20, 'x') + R"("})",
            0, 0, "数据过大，无法加载" },
        // Last: the list of its names is a long way down.
        { "a hundred thousand names", many, 0, 100000, nullptr },
    };
    openStates(message);
    answered(1);
    std::size_t answers = 1;
    bool smsTab = false;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        harness().server()->script().forCommand(kStates, ScriptedReply::custom(200, c.body));
        smsTab = !smsTab;
        ASSERT_TRUE(harness().tap(button(smsTab ? "btnSmsState" : "btnMsgState")));
        answered(++answers);
        std::vector<std::string> heads;
        for (const auto& row : rows()) {
            if (!row.empty() && row.front() == '[')
                heads.push_back(row);
        }
        const std::string unread = smsTab ? "发送失败" : "未读";
        const std::string read = smsTab ? "发送成功" : "已读";
        EXPECT_EQ(heads, (std::vector<std::string> { "[" + unread + std::to_string(c.unread) + "人]",
                             "[" + read + std::to_string(c.read) + "人]" }));
        if (c.overlay) {
            EXPECT_EQ(harness().overlayText(), c.overlay);
        } else {
            auto stored = storedRecord(kDemoGroupSend);
            ASSERT_TRUE(stored);
            EXPECT_EQ(smsTab ? stored->smsSuccessCount : stored->msgReadCount, c.read);
            EXPECT_EQ(smsTab ? stored->smsUnSuccessCount : stored->msgUnReadCount, c.unread);
        }
        harness().advance(GroupStateViewController::kOverlayHideDelay + 0.5);
    }
}

TEST_F(GroupScreensTest, ALateAnswerForTheTabLeftNeverLandsInTheTabShown)
{
    core::MessageFactory store;
    auto message = record(kDemoGroupSend, "通知", 0, 0);
    ASSERT_TRUE(store.setMessage({ message }));
    // The message tab's answer is slow, and says four parents read it and two did not.
    auto slow = holdNext(kStates,
        ScriptedReply::custom(200, R"({"resultState":1,"readItems":["甲","乙","丙","丁"],"unReadItems":["戊","己"]})"));
    openStates(message);
    ASSERT_TRUE(harness().runUntil([&] { return slow->arrived() == 1; }));
    // Meanwhile the SMS tab: its answer (no lists) is held too.
    auto second = holdNext(kStates, ScriptedReply::errorEnvelope("消息不存在"));
    // The loading overlay covers the tabs; the tab's own action stands in
    // for a touch that gets through (or any other way the tab changes).
    button("btnSmsState")->sendActionsForControlEvents(UIControlEventTouchUpInside);
    ASSERT_TRUE(harness().runUntil([&] { return second->arrived() == 1; }));
    // The message tab's answer leaves the server first, then the SMS tab's.
    slow->open();
    ASSERT_TRUE(waitForAnswer(kStates, 1));
    second->open();
    ASSERT_TRUE(waitForAnswer(kStates, 2));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "消息不存在"; }));
    harness().advance(GroupStateViewController::kOverlayHideDelay + 0.5);

    EXPECT_EQ(rows(), (std::vector<std::string> { "[发送失败0人]", "", "", "[发送成功0人]", "", "" }))
        << "nothing of the message tab's answer shows on the SMS tab";
    auto kept = storedRecord(kDemoGroupSend);
    EXPECT_EQ(kept->msgReadCount, 3) << "the answer left behind counted nothing";
    EXPECT_EQ(kept->msgUnReadCount, 5);
    EXPECT_EQ(kept->smsUnSuccessCount, 1);
    EXPECT_EQ(kept->smsSuccessCount, 7);
}

TEST_F(GroupScreensTest, PullingDownGreysTheGapAndScrollingFlattensTheTabs)
{
    auto message = record(kDemoGroupSend, "通知", 0, 0);
    openStates(message);
    answered(1);
    auto list = table();
    auto header = harness().viewByOutlet("headerView");
    ASSERT_TRUE(header);
    const auto restFrame = button("btnMsgState")->frame();
    list->setContentOffset({ 0, -list->frame().height() / 2 });
    EXPECT_EQ(header->backgroundColor(), platform::Color::fromWhite(0.86, 1.0)) << "0.7 x 2 capped at 0.86";
    list->setContentOffset({ 0, -list->frame().height() / 10 });
    EXPECT_EQ(header->backgroundColor(), platform::Color::fromWhite(0.7 * 1.2, 1.0));
    EXPECT_EQ(button("btnMsgState")->frame(), restFrame);

    // Scrolled into the list: the tabs share the header's width, no shadow.
    list->setContentOffset({ 0, 20 });
    harness().advance(0.5);
    const double width = header->bounds().width();
    const double strip = harness().viewByOutlet("bottomBg")->frame().height();
    EXPECT_EQ(button("btnMsgState")->frame(), platform::Rect(0, 0, width / 2, header->bounds().height() - strip));
    EXPECT_EQ(button("btnSmsState")->frame(), platform::Rect(width / 2, 0, width / 2, header->bounds().height() - strip));
    EXPECT_TRUE(harness().viewByOutlet("imgShadow")->isHidden());
    EXPECT_FALSE(harness().render("group-states-scrolled.png").empty());
    list->setContentOffset({ 0, 0 });
    harness().advance(0.5);
    EXPECT_EQ(button("btnMsgState")->frame(), restFrame);
    EXPECT_EQ(header->backgroundColor(), platform::Color::fromWhite(0.7, 1.0));
}

} // namespace
