// The group-send composer on the demo teacher's client against the
// in-process stand-in server: every check and its text in order, receivers
// from the picker (whole groups, single people, each person once), a
// template, two photos and a voice clip uploaded side by side with one
// failed upload sent again alone, the group-send command, the stored
// record, the return to the message box and the leave questions.
#include "messaging/compose/MessageSendViewController.h"

#include "app/main/ORBViewController.h"
#include "core/session/ORBEndpoints.h"
#include "core/session/MyAccountInfo.h"
#include "core/store/MessageFactory.h"
#include "messaging/box/MessageBoxViewController.h"
#include "messaging/compose/ContactSelectViewController.h"
#include "messaging/compose/ContactsGroupCell.h"
#include "messaging/compose/ContactsSingleCell.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIImagePickerController.h"
#include "messaging/voice/MessageAudioPlayer.h"
#include "platform/graphics/Image.h"
#include "platform/media/AVAudioSession.h"
#include "platform/media/SampleSource.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIWindow.h"
#include "ui/photobrowser/PhotoBrowser.h"
#include "server/StandinServer.h"
#include "tests/messaging/compose/ComposeSupport.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

using namespace testsupport;
using server::ScriptedReply;

namespace {

constexpr const char* kGroupSend = core::ORBEndpoints::Cmd::kGroupSend;
// The class committee: 张伟 (also in class 1), 王芳 (also in class 1) and 刘建华.
constexpr const char* kCommittee = "LIST01";

class ComposeTest : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        platform::AVAudioSession::sharedInstance().resetForTesting();
        SignedInScreenTest::SetUp();
        signIn();
        auto committee = std::make_shared<core::GroupInfo>();
        committee->uid = kCommittee;
        committee->name = "家委会";
        committee->type = 2;
        std::vector<std::shared_ptr<core::ContactInfo>> members;
        for (auto [uid, name] : { std::pair { 3001, "张伟" }, std::pair { 3002, "王芳" }, std::pair { 6003, "刘建华" } }) {
            auto contact = std::make_shared<core::ContactInfo>();
            contact->uid = uid;
            contact->name = name;
            contact->type = 2;
            contact->isCustomer = true;
            members.push_back(contact);
        }
        ASSERT_TRUE(composetest::storeAddressBook(harness(), { { committee, members } }));
    }
    void TearDown() override
    {
        MessageAudioPlayer::cancelAll();
        SignedInScreenTest::TearDown();
        platform::AudioInput::setSource(nullptr);
        platform::AVAudioSession::sharedInstance().resetForTesting();
    }

    // From the message box's compose button, as the teacher opens it.
    std::shared_ptr<MessageSendViewController> openCompose()
    {
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        settle(harness());
        EXPECT_TRUE(harness().tap(harness().viewByOutlet("btnSend")));
        settle(harness());
        return std::dynamic_pointer_cast<MessageSendViewController>(harness().topScreen());
    }
    std::shared_ptr<UIView> outlet(const char* name) const { return harness().viewByOutlet(name); }
    std::shared_ptr<UITextView> content() const { return std::dynamic_pointer_cast<UITextView>(outlet("txtContent")); }
    void write(const std::string& text)
    {
        auto view = content();
        ASSERT_NE(view, nullptr);
        ASSERT_TRUE(harness().tap(view));
        ASSERT_TRUE(view->insertText(text));
    }
    // The bar with 发送 and the attachment buttons lies under the keys while
    // the text is typed: a person puts the keyboard away with its close
    // button first.
    void tapInBar(const char* name)
    {
        if (platform::Keyboard::isVisible()) {
            EXPECT_FALSE(harness().tap(outlet(name))) << name << " under the keyboard took a finger";
            ASSERT_TRUE(harness().tap(outlet("btnClose")));
        }
        ASSERT_TRUE(harness().tap(outlet(name)));
    }
    void tapSend() { tapInBar("btnSend"); }
    void pressBack()
    {
        auto back = std::dynamic_pointer_cast<UIButton>(outlet("btnBack"));
        ASSERT_NE(back, nullptr);
        back->sendActionsForControlEvents(UIControlEventTouchUpInside);
    }
    std::shared_ptr<UIAlertView> expectAlert(const std::string& title, const std::string& message,
        const std::vector<std::string>& buttons)
    {
        auto alert = harness().currentAlert();
        EXPECT_NE(alert, nullptr) << message;
        if (!alert)
            return nullptr;
        EXPECT_EQ(alert->title(), title);
        EXPECT_EQ(alert->message(), message);
        std::vector<std::string> titles;
        for (long i = 0; i < alert->numberOfButtons(); ++i)
            titles.push_back(alert->buttonTitleAtIndex(i));
        EXPECT_EQ(titles, buttons);
        return alert;
    }
    std::string receiverText() const { return textOf(outlet("lblReceiver")); }

    // In the picker: the group's checkbox, or the group opened and these rows ticked.
    void tickGroup(const std::string& uid)
    {
        auto table = std::dynamic_pointer_cast<UITableView>(outlet("groupTableView"));
        ASSERT_NE(table, nullptr);
        for (long row = 0; row < table->numberOfRowsInSection(0); ++row) {
            auto cell = visibleCell<ContactsGroupCell>(*table, row);
            if (cell->group()->uid == uid) {
                std::dynamic_pointer_cast<UIButton>(findViewsByClass(cell, "UIButton").front())
                    ->sendActionsForControlEvents(UIControlEventTouchUpInside);
                return;
            }
        }
        FAIL() << "no group " << uid;
    }
    void tickPeople(const std::string& uid, const std::vector<int>& people)
    {
        auto table = std::dynamic_pointer_cast<UITableView>(outlet("groupTableView"));
        ASSERT_NE(table, nullptr);
        long groupRow = -1;
        for (long row = 0; row < table->numberOfRowsInSection(0); ++row)
            if (visibleCell<ContactsGroupCell>(*table, row)->group()->uid == uid)
                groupRow = row;
        ASSERT_GE(groupRow, 0);
        ASSERT_TRUE(harness().selectRow(table, 0, groupRow));
        auto detail = std::dynamic_pointer_cast<UITableView>(outlet("detailTableView"));
        ASSERT_NE(detail, nullptr);
        for (long row = 0; row < detail->numberOfRowsInSection(0); ++row) {
            auto cell = visibleCell<ContactsSingleCell>(*detail, row);
            if (std::find(people.begin(), people.end(), cell->contact()->uid) != people.end()) {
                ASSERT_TRUE(harness().selectRow(detail, 0, row));
            }
        }
        ASSERT_TRUE(harness().tap(outlet("btnBack")));
    }
    void leavePicker()
    {
        ASSERT_TRUE(harness().tapButton("确定"));
        settle(harness());
        ASSERT_NE(std::dynamic_pointer_cast<MessageSendViewController>(harness().topScreen()), nullptr);
    }
    void openPickerFromRow()
    {
        ASSERT_TRUE(harness().tap(outlet("btnContacts")));
        settle(harness());
        ASSERT_NE(std::dynamic_pointer_cast<ContactSelectViewController>(harness().topScreen()), nullptr);
    }

    std::string writePicture(const std::string& name, const platform::Color& colour)
    {
        std::string path = platform::FileUtil::joinPath(platform::AppPaths::temporaryDirectory(), name);
        EXPECT_TRUE(platform::Image(900, 600, 1.0, colour).writePNG(path));
        return path;
    }
    void attachPhoto(const std::string& path)
    {
        tapInBar("btnPhoto");
        ASSERT_TRUE(harness().tapButton("从相册中选取"));
        settle(harness());
        auto picker = std::dynamic_pointer_cast<UIImagePickerController>(harness().presentedScreen());
        ASSERT_NE(picker, nullptr);
        EXPECT_EQ(picker->sourceType(), UIImagePickerControllerSourceTypePhotoLibrary);
        ASSERT_TRUE(picker->pickImageAtPath(path));
        settle(harness());
    }
    void recordClip(double seconds)
    {
        auto button = std::dynamic_pointer_cast<UIButton>(outlet("btnSound"));
        button->sendActionsForControlEvents(UIControlEventTouchDown);
        harness().advance(seconds);
        button->sendActionsForControlEvents(UIControlEventTouchUpInside);
        harness().loop().runUntilIdle();
    }
    std::size_t tiles() const
    {
        auto container = outlet("fileContainer");
        return container ? container->subviews().size() : 0;
    }
    std::vector<server::LoggedRequest> uploads(const std::string& route) const
    {
        std::vector<server::LoggedRequest> found;
        for (const auto& r : harness().serverRequests())
            if (r.route.starts_with(route))
                found.push_back(r);
        return found;
    }
    std::size_t answeredUploads(const std::string& route) const
    {
        std::size_t n = 0;
        for (const auto& r : uploads(route))
            n += r.answered ? 1 : 0;
        return n;
    }
};

// Nothing written: "内容不能为空". Text without receivers: "请选择接收者",
// whose "选择" opens the picker. A whole group chosen becomes the summary.
// 251 characters are refused, 250 go; while the reply is out the back button
// asks "信息发送中...", and after "发送成功" the screen closes onto the
// message box 1.5 s later, the record stored and listed.
TEST_F(ComposeTest, RefusesInTheOrderOfItsChecksThenSendsAndReturnsToTheBox)
{
    auto compose = openCompose();
    ASSERT_NE(compose, nullptr);
    EXPECT_EQ(compose->title(), "新建消息");
    EXPECT_EQ(receiverText(), "接收人");
    EXPECT_EQ(std::dynamic_pointer_cast<UILabel>(outlet("lblReceiver"))->textColor(), platform::Color::fromRGB255(190, 190, 190));

    tapSend();
    auto alert = expectAlert("提示", "内容不能为空", { "确定" });
    ASSERT_TRUE(harness().tapAlertButton("确定"));

    write("a");
    EXPECT_TRUE(outlet("lblContentEmpty")->isHidden());
    EXPECT_EQ(textOf(outlet("charCountLabel")), "249");
    tapSend();
    expectAlert("提示", "请选择接收者", { "取消", "选择" });
    ASSERT_TRUE(harness().tapAlertButton("选择"));
    settle(harness());
    ASSERT_NE(std::dynamic_pointer_cast<ContactSelectViewController>(harness().topScreen()), nullptr);
    tickGroup("COM001");
    leavePicker();
    EXPECT_EQ(receiverText(), "接收人: 学校同事;");
    EXPECT_EQ(std::dynamic_pointer_cast<UILabel>(outlet("lblReceiver"))->textColor(), platform::Color::fromRGB255(77, 77, 77));

    content()->setText("");
    write(std::string(251, 'x'));
    EXPECT_EQ(textOf(outlet("charCountLabel")), "-1");
    EXPECT_EQ(std::dynamic_pointer_cast<UILabel>(outlet("charCountLabel"))->textColor(), platform::Color::redColor());
    tapSend();
    expectAlert("温馨提示", "最多输入250个文字", { "确定" });
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    EXPECT_TRUE(requests(kGroupSend).empty());

    // Exactly 250 (counted in UTF-16 units: a character outside the basic plane counts two).
    content()->setText("");
    write(std::string(248, 'y') + "\U0001F600");
    EXPECT_EQ(textOf(outlet("charCountLabel")), "0");
    auto held = holdNext(kGroupSend);
    tapSend();
    EXPECT_EQ(harness().overlayText(), "提交请求中");
    ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1; }));
    // The overlay covers the window; the bar's button is pressed as the
    // keyboard's Escape presses it.
    pressBack();
    expectAlert("提示", "信息发送中,退出将中断所有操作,是否确定退出?", { "取消", "确定" });
    ASSERT_TRUE(harness().tapAlertButton("取消"));
    std::dynamic_pointer_cast<UIButton>(outlet("btnSend"))->sendActionsForControlEvents(UIControlEventTouchUpInside); // ignored while sending
    held->open();
    ASSERT_TRUE(waitForAnswer(kGroupSend));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "发送成功"; }));
    ASSERT_EQ(requests(kGroupSend).size(), 1u);
    const auto sent = requests(kGroupSend).at(0);
    EXPECT_EQ(sent.route, "combine/rivu");
    ASSERT_EQ(sent.bodyValue("groupIdsItem").count(), 1u);
    EXPECT_EQ(sent.bodyValue("groupIdsItem")[0]["groupId"].stringValue(), "COM001");
    EXPECT_EQ(sent.bodyValue("sendeeIdsItem").count(), 0u);
    EXPECT_EQ(sent.bodyValue("content").stringValue(), std::string(248, 'y') + "\U0001F600");
    EXPECT_EQ(sent.bodyValue("templateId").intValue(), 0);
    EXPECT_TRUE(sent.bodyValue("images").isNull());

    // Still on screen until the pause is over; a back tap now still asks.
    harness().advance(1.0);
    EXPECT_EQ(harness().topScreen(), compose);
    pressBack();
    expectAlert("提示", "信息发送中,退出将中断所有操作,是否确定退出?", { "取消", "确定" });
    ASSERT_TRUE(harness().tapAlertButton("取消"));
    harness().advance(0.6);
    settle(harness());
    EXPECT_EQ(mainScreen()->curIndex(), ORBViewController::kMessageTab);
    auto box = std::dynamic_pointer_cast<MessageBoxViewController>(harness().topScreen());
    ASSERT_NE(box, nullptr);
    auto records = core::MessageFactory().getMessageLast().value_or(core::MessageList {});
    auto record = std::find_if(records.begin(), records.end(), [](const auto& m) { return m->group && m->to && m->content.size() > 200; });
    ASSERT_NE(record, records.end());
    EXPECT_EQ((*record)->msgUnReadCount, 4);
    EXPECT_EQ(std::count(box->listData().begin(), box->listData().end(), nullptr), 0);
    EXPECT_TRUE(std::any_of(box->listData().begin(), box->listData().end(),
        [&](const auto& m) { return m->uid == (*record)->uid; }));
}

// Flow of a full message: 家长 of class 2 all chosen (sent as the group), 张伟
// and 王芳 of class 1 and 张伟 again in the committee (sent once each); a
// template applied then edited; two photos and a clip uploaded side by side,
// the first photo upload failing: after the third report one alert, and
// "重新提交" uploads that photo alone before the command goes.
TEST_F(ComposeTest, SendsPhotosAndAClipAndResubmitsOnlyTheFailedUpload)
{
    platform::AudioInput::setSource(std::make_shared<platform::ToneSampleSource>(440, -12));
    auto compose = openCompose();
    ASSERT_NE(compose, nullptr);
    openPickerFromRow();
    tickGroup("CLS102");
    tickPeople("CLS101", { 3001, 3002 });
    tickPeople(kCommittee, { 3001 });
    leavePicker();
    EXPECT_EQ(receiverText(), "接收人: 张伟;王芳;三年级(2)班家长;");

    platform::NotificationCenter::defaultCenter().post(MessageSendViewController::kTemplateNotification,
        platform::Value(platform::Dictionary { { "msgId", 7 }, { "msgInfo", "明天春游，请带好水和午餐。" }, { "useCount", 3 } }));
    EXPECT_EQ(content()->text(), "明天春游，请带好水和午餐。");
    write("谢谢");

    attachPhoto(writePicture("first.png", platform::Color::fromRGB255(200, 80, 60)));
    attachPhoto(writePicture("second.png", platform::Color::fromRGB255(60, 120, 200)));
    recordClip(2.4);
    ASSERT_EQ(tiles(), 3u);
    EXPECT_TRUE(outlet("lblFileEmpty")->isHidden());
    EXPECT_FALSE(harness().render("messaging-compose-attachments.png").empty());
    auto container = outlet("fileContainer");
    EXPECT_DOUBLE_EQ(container->subviews()[1]->frame().minX(), container->subviews()[0]->frame().width());
    EXPECT_DOUBLE_EQ(container->subviews()[2]->frame().minX(), 2 * container->subviews()[0]->frame().width());

    // The clip's upload is held: both photos are answered meanwhile, so the
    // three ran side by side. The first photo upload fails.
    harness().server()->script().forRoute("upload/msgpic", ScriptedReply::http500Json());
    auto clipGate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute("upload/audio", ScriptedReply::normal().heldBy(clipGate));
    tapSend();
    EXPECT_EQ(harness().overlayText(), "上传附件中");
    ASSERT_TRUE(harness().runUntil([&] { return answeredUploads("upload/msgpic") == 2 && clipGate->arrived() == 1; }));
    EXPECT_EQ(harness().currentAlert(), nullptr);
    clipGate->open();
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    expectAlert("提示", "1个附件上传失败", { "取消", "重新提交" });
    EXPECT_TRUE(requests(kGroupSend).empty());
    ASSERT_TRUE(harness().tapAlertButton("重新提交"));
    ASSERT_TRUE(waitForAnswer(kGroupSend));
    EXPECT_EQ(uploads("upload/msgpic").size(), 3u);
    EXPECT_EQ(uploads("upload/audio").size(), 1u);

    ASSERT_EQ(requests(kGroupSend).size(), 1u);
    const auto sent = requests(kGroupSend).at(0);
    EXPECT_EQ(sent.bodyValue("content").stringValue(), "明天春游，请带好水和午餐。谢谢");
    EXPECT_EQ(sent.bodyValue("templateId").intValue(), 7);
    ASSERT_EQ(sent.bodyValue("groupIdsItem").count(), 1u);
    EXPECT_EQ(sent.bodyValue("groupIdsItem")[0]["groupId"].stringValue(), "CLS102");
    std::vector<int> people;
    for (const auto& person : *sent.bodyValue("sendeeIdsItem").asArray())
        people.push_back(person["linkManId"].intValue());
    EXPECT_EQ(people, (std::vector<int> { 3001, 3002 })) << "张伟 is in two partly chosen groups: sent once";
    ASSERT_EQ(sent.bodyValue("images").count(), 2u);
    for (const auto& image : *sent.bodyValue("images").asArray()) {
        EXPECT_TRUE(image["original"].stringValue().starts_with(harness().serverBase())) << image["original"].stringValue();
        EXPECT_FALSE(image["thumb"].stringValue().empty());
    }
    ASSERT_EQ(sent.bodyValue("audios").count(), 1u);
    EXPECT_EQ(sent.bodyValue("audios")[0]["seconds"].intValue(), 2);

    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "发送成功"; }));
    std::shared_ptr<core::MessageInfo> record;
    for (const auto& m : core::MessageFactory().getMessageLast().value_or(core::MessageList {}))
        if (m->group && m->to && m->content == "明天春游，请带好水和午餐。谢谢")
            record = m;
    ASSERT_NE(record, nullptr);
    EXPECT_EQ(record->content, "明天春游，请带好水和午餐。谢谢");
    EXPECT_EQ(record->msgUnReadCount, 8 + 2);
    EXPECT_EQ(record->msgReadCount, 0);
    record->updatePhotosInfo();
    record->updateSoundsInfo();
    ASSERT_EQ(record->photosInfo.size(), 2u);
    EXPECT_EQ(record->photosInfo[0]->url, sent.bodyValue("images")[0]["original"].stringValue());
    ASSERT_EQ(record->soundsInfo.size(), 1u);
    EXPECT_EQ(record->soundsInfo[0]->seconds, 2);
    harness().advance(MessageSendViewController::kSuccessPause);
    settle(harness());
    EXPECT_NE(std::dynamic_pointer_cast<MessageBoxViewController>(harness().topScreen()), nullptr);
}

// A fifth photo and a second clip are refused with their limits; a press
// released at once says "录音时间过短". Removing a tile frees its place.
TEST_F(ComposeTest, LimitsAttachmentsToFourPhotosAndOneClip)
{
    platform::AudioInput::setSource(std::make_shared<platform::ToneSampleSource>(440, -12));
    openCompose();
    for (int i = 0; i < 4; ++i)
        attachPhoto(writePicture("p" + std::to_string(i) + ".png", platform::Color::fromRGB255(40 * i, 100, 160)));
    ASSERT_EQ(tiles(), 4u);
    ASSERT_TRUE(harness().tap(outlet("btnPhoto")));
    EXPECT_EQ(harness().overlayText(), "最多只能添加4张图片");
    EXPECT_EQ(UIActionSheet::currentSheet(), nullptr);
    harness().advance(2.0);

    std::dynamic_pointer_cast<UIButton>(outlet("btnSound"))->sendActionsForControlEvents(UIControlEventTouchDown);
    std::dynamic_pointer_cast<UIButton>(outlet("btnSound"))->sendActionsForControlEvents(UIControlEventTouchUpInside);
    harness().loop().runUntilIdle();
    EXPECT_EQ(harness().overlayText(), "录音时间过短");
    harness().advance(3.1);
    recordClip(1.5);
    ASSERT_EQ(tiles(), 5u);
    std::dynamic_pointer_cast<UIButton>(outlet("btnSound"))->sendActionsForControlEvents(UIControlEventTouchDown);
    EXPECT_EQ(harness().overlayText(), "最多只能添加1个声音");
    std::dynamic_pointer_cast<UIButton>(outlet("btnSound"))->sendActionsForControlEvents(UIControlEventTouchUpInside);
    harness().advance(2.0);

    // The second photo's menu: remove it; the others close up.
    auto container = outlet("fileContainer");
    auto second = container->subviews()[1];
    ASSERT_TRUE(harness().tap(second));
    ASSERT_TRUE(harness().tapButton("删除该照片"));
    settle(harness());
    ASSERT_EQ(tiles(), 4u);
    EXPECT_DOUBLE_EQ(container->subviews()[1]->frame().minX(), container->subviews()[0]->frame().width());
    EXPECT_EQ(container->subviews()[2]->tag(), 2);
    attachPhoto(writePicture("again.png", platform::Color::fromRGB255(10, 200, 90)));
    EXPECT_EQ(tiles(), 5u);

    // "查看大图" on the third photo opens the browser on its page.
    ASSERT_TRUE(harness().tap(container->subviews()[2]));
    ASSERT_TRUE(harness().tapButton("查看大图"));
    settle(harness());
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(harness().presentedScreen());
    ASSERT_NE(navigation, nullptr);
    auto browser = std::dynamic_pointer_cast<PhotoBrowser>(navigation->viewControllers().front());
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->currentPageIndex(), 2u);
    navigation->dismissViewControllerAnimated(false);
    settle(harness());
}

// A recording that cannot be converted is lost, and the person hears so:
// "录音失败", nothing attached. While a clip of the screen plays the record
// button rests, greyed, and a press on it starts nothing; when the clip ends
// it takes presses again.
TEST_F(ComposeTest, ALostRecordingIsToldAndTheRecordButtonRestsWhileAClipPlays)
{
    platform::AudioInput::setSource(std::make_shared<platform::ToneSampleSource>(440, -12));
    openCompose();
    std::shared_ptr<MessageRecordView> overlay;
    for (const auto& view : harness().window()->subviews())
        if (auto record = std::dynamic_pointer_cast<MessageRecordView>(view))
            overlay = record;
    ASSERT_NE(overlay, nullptr);
    auto button = std::dynamic_pointer_cast<UIButton>(outlet("btnSound"));
    button->sendActionsForControlEvents(UIControlEventTouchDown);
    const std::string wav = overlay->wavPath();
    // Something already holds the clip's name and cannot be written over.
    const std::string amr = wav.substr(0, wav.size() - 4) + ".amr";
    ASSERT_TRUE(platform::FileUtil::createDirectory(amr));
    ASSERT_TRUE(platform::FileUtil::write(platform::FileUtil::joinPath(amr, "keep"), std::string_view("x")));
    harness().advance(1.5);
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    harness().loop().runUntilIdle();
    EXPECT_EQ(harness().overlayText(), MessageSendViewController::kRecordFailedText);
    EXPECT_EQ(tiles(), 0u);
    platform::FileUtil::remove(amr);
    harness().advance(3.1);

    recordClip(1.5);
    ASSERT_EQ(tiles(), 1u);
    ASSERT_TRUE(button->isEnabled());
    const auto liveColour = button->currentTitleColor();
    harness().advance(3.1);
    ASSERT_TRUE(harness().tap(outlet("fileContainer")->subviews().front()));
    ASSERT_TRUE(harness().tapButton("播放声音"));
    ASSERT_TRUE(harness().runUntil([] { return MessageAudioPlayer::isPlaying(); }));
    EXPECT_FALSE(button->isEnabled());
    EXPECT_NE(button->currentTitleColor(), liveColour) << "a resting button looks it";
    EXPECT_FALSE(harness().render("messaging-compose-record-resting.png").empty());
    button->sendActionsForControlEvents(UIControlEventTouchDown);
    EXPECT_TRUE(overlay->isHidden()) << "no recording over the clip";
    button->sendActionsForControlEvents(UIControlEventTouchUpInside);
    harness().advance(2.0);
    ASSERT_FALSE(MessageAudioPlayer::isPlaying());
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->currentTitleColor(), liveColour);
    EXPECT_EQ(tiles(), 1u);
}

// A reply without a text "msgId" shows the server's words (or "提交失败"),
// stores nothing and lets the person send again; a transport failure says
// "提交失败". Leaving with something written asks; with nothing, it leaves.
TEST_F(ComposeTest, AFailedSendKeepsEverythingAndLeavingAsks)
{
    platform::AudioInput::setSource(std::make_shared<platform::ToneSampleSource>(440, -12));
    auto compose = openCompose();
    std::weak_ptr<MessageSendViewController> gone = compose;
    std::weak_ptr<MessageRecordView> overlay;
    for (const auto& view : harness().window()->subviews())
        if (auto record = std::dynamic_pointer_cast<MessageRecordView>(view))
            overlay = record;
    ASSERT_FALSE(overlay.expired()) << "the record overlay lies on the window";
    attachPhoto(writePicture("kept.png", platform::Color::fromRGB255(90, 90, 200)));
    recordClip(1.5);
    ASSERT_EQ(tiles(), 2u);
    openPickerFromRow();
    tickGroup("COM001");
    leavePicker();
    write("家长会改到周五。");
    // Each failure is told, in the server's words when it gave some.
    std::string tooLong = R"({"resultState":0,"resultMsg":")";
    tooLong += std::string((300 << 10) - tooLong.size(), 'x') + "\"}";
    struct Failure {
        const char* name;
        ScriptedReply reply;
        const char* told;
    };
    const Failure failures[] = {
        { "refused with the server's words", ScriptedReply::errorEnvelope("接收人不存在"), "接收人不存在" },
        { "an id that is no text", ScriptedReply::custom(200, R"({"resultState":1,"msgId":42})"), "提交失败" },
        { "accepted with neither an id nor words", ScriptedReply::custom(200, R"({"resultState":1,"resultMsg":""})"),
            "提交失败" },
        { "an answer longer than a send's can be", ScriptedReply::custom(200, tooLong), "数据过大，无法加载" },
        { "the connection dropped", ScriptedReply::connectionReset(), "提交失败" },
    };
    std::size_t sent = 0;
    for (const Failure& failure : failures) {
        SCOPED_TRACE(failure.name);
        harness().server()->script().forCommand(kGroupSend, failure.reply);
        if (sent)
            harness().advance(2.0);
        tapSend();
        ++sent;
        ASSERT_TRUE(waitForAnswer(kGroupSend, sent) || requests(kGroupSend).size() == sent);
        ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == failure.told; }))
            << "shown: \"" << harness().overlayText() << "\"";
    }
    EXPECT_EQ(requests(kGroupSend).size(), sent);
    for (const auto& m : core::MessageFactory().getMessageLast().value_or(core::MessageList {}))
        EXPECT_FALSE(m->group && m->to && m->content == "家长会改到周五。") << "nothing stored";
    harness().advance(2.0);

    ASSERT_TRUE(harness().tap(outlet("btnBack")));
    expectAlert("提示", "信息已被编写,退出将不保存现有数据,是否确定退出?", { "取消", "确定" });
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    settle(harness());
    EXPECT_NE(std::dynamic_pointer_cast<MessageBoxViewController>(harness().topScreen()), nullptr);
    compose.reset();
    EXPECT_TRUE(gone.expired()) << "the tiles and the record overlay hold the screen weakly";
    EXPECT_TRUE(overlay.expired() || !overlay.lock()->superview());

    // A new screen starts with nobody chosen and nothing written: back leaves at once.
    auto empty = openCompose();
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(receiverText(), "接收人");
    ASSERT_TRUE(harness().tap(outlet("btnBack")));
    EXPECT_EQ(harness().currentAlert(), nullptr);
    settle(harness());
    EXPECT_NE(std::dynamic_pointer_cast<MessageBoxViewController>(harness().topScreen()), nullptr);
}

// A group send that cannot reach the server (the port closed, the server
// stalling and then dropping the connection, or dropping it as the command
// comes) stores nothing and keeps everything: the text, the receivers, the
// attachment and the template. Sent again once the server answers, the
// command carries all of it.
TEST_F(ComposeTest, ASendThatCannotReachTheServerKeepsEverything)
{
    enum class Fault { Refused, StalledThenDropped, Dropped };
    const std::pair<const char*, Fault> cases[] = {
        { "port closed", Fault::Refused },
        { "server stalls, then drops the connection", Fault::StalledThenDropped },
        { "connection dropped mid-request", Fault::Dropped },
    };
    const std::string text = "周五下午三点开家长会，请准时参加。";
    auto records = [&] {
        auto list = core::MessageFactory().getMessageLast().value_or(core::MessageList {});
        return std::count_if(
            list.begin(), list.end(), [&](const auto& m) { return m->group && m->to && m->content == text; });
    };
    const auto closed = "http://127.0.0.1:" + std::to_string(freeLoopbackPort()) + "/";
    const auto base = harness().server()->baseUrl();
    for (const auto& [name, fault] : cases) {
        SCOPED_TRACE(name);
        auto compose = openCompose();
        ASSERT_NE(compose, nullptr);
        attachPhoto(writePicture("kept.png", platform::Color::fromRGB255(200, 90, 90)));
        openPickerFromRow();
        tickGroup("COM001");
        leavePicker();
        platform::NotificationCenter::defaultCenter().post(MessageSendViewController::kTemplateNotification,
            platform::Value(platform::Dictionary { { "msgId", 7 }, { "msgInfo", text }, { "useCount", 1 } }));
        const auto stored = records();
        const auto commands = requests(kGroupSend).size();

        std::shared_ptr<server::ReplyGate> stalled;
        if (fault == Fault::Refused) {
            core::ORBEndpoints::setServerBase(closed);
        } else if (fault == Fault::StalledThenDropped) {
            stalled = std::make_shared<server::ReplyGate>();
            harness().server()->script().forCommand(kGroupSend, ScriptedReply::connectionReset().heldBy(stalled));
        } else {
            harness().server()->script().forCommand(kGroupSend, ScriptedReply::connectionReset());
        }
        tapSend();
        if (stalled) {
            ASSERT_TRUE(harness().runUntil([&] { return stalled->arrived() == 1; }));
            EXPECT_EQ(harness().overlayText(), "提交请求中");
            stalled->open();
        }
        if (fault == Fault::Refused) {
            // The photo cannot go up: the upload question, answered "取消".
            ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
            expectAlert("提示", "1个附件上传失败", { "取消", "重新提交" });
            ASSERT_TRUE(harness().tapAlertButton("取消"));
        } else {
            ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "提交失败"; }));
        }
        EXPECT_EQ(content()->text(), text);
        EXPECT_EQ(receiverText(), "接收人: 学校同事;");
        EXPECT_EQ(tiles(), 1u);
        EXPECT_EQ(records(), stored) << "nothing stored";
        EXPECT_EQ(harness().topScreen(), compose);

        core::ORBEndpoints::setServerBase(base);
        harness().advance(2.0);
        tapSend();
        ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "发送成功"; }));
        ASSERT_EQ(requests(kGroupSend).size(), commands + (fault == Fault::Refused ? 1 : 2));
        const auto sent = requests(kGroupSend).back();
        EXPECT_EQ(sent.bodyValue("content").stringValue(), text);
        EXPECT_EQ(sent.bodyValue("templateId").intValue(), 7);
        ASSERT_EQ(sent.bodyValue("groupIdsItem").count(), 1u);
        EXPECT_EQ(sent.bodyValue("groupIdsItem")[0]["groupId"].stringValue(), "COM001");
        EXPECT_EQ(sent.bodyValue("images").count(), 1u);
        EXPECT_EQ(records(), stored + 1);
        harness().advance(2.0);
        settle(harness());
        EXPECT_NE(std::dynamic_pointer_cast<MessageBoxViewController>(harness().topScreen()), nullptr);
    }
}

// Left while the message is on its way ("确定" to the question): the send
// ends with the screen, and so does its overlay on the window; the late
// answer reaches nothing.
TEST_F(ComposeTest, LeavingDuringTheSendTakesItsOverlayAlong)
{
    auto compose = openCompose();
    ASSERT_NE(compose, nullptr);
    openPickerFromRow();
    tickGroup("COM001");
    leavePicker();
    write("明天停课一天。");
    auto held = holdNext(kGroupSend);
    tapSend();
    ASSERT_TRUE(harness().runUntil([&] { return held->arrived() == 1; }));
    EXPECT_EQ(harness().overlayText(), "提交请求中");

    std::weak_ptr<MessageSendViewController> gone = compose;
    compose.reset();
    pressBack();
    expectAlert("提示", "信息发送中,退出将中断所有操作,是否确定退出?", { "取消", "确定" });
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    settle(harness());
    EXPECT_TRUE(gone.expired());
    EXPECT_EQ(harness().overlayText(), "");
    auto box = std::dynamic_pointer_cast<MessageBoxViewController>(harness().topScreen());
    ASSERT_NE(box, nullptr);

    held->open();
    ASSERT_TRUE(harness().waitForServerQuiet());
    ASSERT_TRUE(harness().roundTrip());
    harness().advance(2.0);
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().topScreen(), box);
}

} // namespace

namespace {

// "收起键盘" reads whole beside the lifted character count, on either screen.
void expectWholeCloseButton(MessageSendViewController& compose)
{
    auto close = findOutlet<UIButton>(compose.view(), "btnClose");
    auto count = findViewByOutlet(compose.view(), "charCountView");
    ASSERT_TRUE(close && count && close->titleLabel());
    close->layoutIfNeeded();
    const auto title = close->titleLabel();
    EXPECT_EQ(title->text(), "收起键盘");
    EXPECT_LE(title->sizeThatFits(platform::Size(1000, 1000)).width, title->frame().width() + 0.5)
        << "the title is cut to fit its button";
    EXPECT_TRUE(close->frame().intersection(count->frame()).isNull()) << "over the character count";
}

// The keyboard shortens the text area by its height less the bottom bar's,
// lifts the character count as much (and 45 points to the left) and shows
// the close button; closing it puts everything back.
TEST_F(ComposeTest, TheTextAreaMakesRoomForTheKeyboard)
{
    auto compose = openCompose();
    ASSERT_NE(compose, nullptr);
    auto area = findViewByOutlet(compose->view(), "contentView");
    auto count = findViewByOutlet(compose->view(), "charCountView");
    auto close = findViewByOutlet(compose->view(), "btnClose");
    const auto restArea = area->frame();
    const auto restCount = count->frame();
    const double barHeight = outlet("bottomView")->frame().height();
    EXPECT_DOUBLE_EQ(close->alpha(), 0.0);
    ASSERT_TRUE(harness().tap(content()));
    settle(harness());
    ASSERT_TRUE(platform::Keyboard::isVisible());
    const double lift = platform::Keyboard::kHeight - barHeight;
    EXPECT_DOUBLE_EQ(area->frame().height(), restArea.height() - lift);
    EXPECT_EQ(area->frame().origin, restArea.origin);
    EXPECT_DOUBLE_EQ(count->frame().minX(), restCount.minX() - MessageSendViewController::kCountShift);
    EXPECT_DOUBLE_EQ(count->frame().minY(), restCount.minY() - lift);
    EXPECT_DOUBLE_EQ(close->alpha(), 1.0);
    expectWholeCloseButton(*compose);
    EXPECT_FALSE(harness().render("messaging-compose-keyboard.png").empty());
    ASSERT_TRUE(harness().tap(close));
    settle(harness());
    EXPECT_FALSE(platform::Keyboard::isVisible());
    EXPECT_EQ(area->frame(), restArea);
    EXPECT_EQ(count->frame(), restCount);
    EXPECT_DOUBLE_EQ(close->alpha(), 0.0);
}

} // namespace

namespace {

// On the 3.5-inch screen the composer's text area is 88 points shorter and
// its bottom bar 88 points higher; so are the picker's lists and its bar.
TEST(ComposeShortScreen, TextAreaAndBarsMoveUp)
{
    AppHarnessOptions options;
    options.screen = UIScreen::Kind::ThreePointFiveInch;
    AppHarness harness(options);
    ASSERT_TRUE(startClient(harness));
    ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
    mainScreen()->switchToView(ORBViewController::kMessageTab);
    auto compose = std::make_shared<MessageSendViewController>();
    harness.visibleNavigationController()->pushViewController(compose, true);
    settle(harness);
    auto window = UIWindow::keyWindow();
    auto bar = findViewByOutlet(compose->view(), "bottomView");
    auto area = findViewByOutlet(compose->view(), "contentView");
    ASSERT_NE(bar, nullptr);
    EXPECT_DOUBLE_EQ(bar->superview()->convertRectToView(bar->frame(), window.get()).maxY(), window->frame().height());
    EXPECT_DOUBLE_EQ(area->frame().maxY(), bar->frame().minY());
    auto text = findOutlet<UITextView>(compose->view(), "txtContent");
    ASSERT_TRUE(harness.tap(text));
    settle(harness);
    ASSERT_TRUE(platform::Keyboard::isVisible());
    expectWholeCloseButton(*compose);
    EXPECT_FALSE(harness.render("messaging-compose-keyboard-3.5inch.png").empty());
    text->resignFirstResponder();
    settle(harness);

    auto picker = std::make_shared<ContactSelectViewController>();
    harness.visibleNavigationController()->pushViewController(picker, true);
    settle(harness);
    auto operate = findViewByOutlet(picker->view(), "operateView");
    auto lists = findViewByOutlet(picker->view(), "contentView");
    ASSERT_NE(operate, nullptr);
    EXPECT_DOUBLE_EQ(operate->superview()->convertRectToView(operate->frame(), window.get()).maxY(), window->frame().height());
    EXPECT_DOUBLE_EQ(lists->frame().maxY(), operate->frame().minY());
    harness.stop();
    core::MyAccountInfo::setInstance(nullptr);
}

} // namespace
