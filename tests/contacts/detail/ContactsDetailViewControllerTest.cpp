// The contact detail as the address book and the chat open it: what it
// shows per contact, the sheets per role and opener, each prompt's key
// silencing that prompt only when it was confirmed, the SMS composer's
// results, and a device that cannot place calls.
#include "contacts/book/ContactsOneCell.h"
#include "contacts/book/ContactsTwoCell.h"
#include "contacts/detail/ContactsDetailViewController.h"
#include "contacts/detail/SmsComposeViewController.h"
#include "contacts/warn/WarnView.h"
#include "core/session/ORBEndpoints.h"
#include "libModule/TabViewController/TabViewController.h"
#include "platform/os/UserDefaults.h"
#include "platform/services/UrlOpener.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "server/StandinServer.h"
#include "tests/contacts/ContactsTestSupport.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"

#include "app/main/ORBViewController.h"

#include <gtest/gtest.h>

using core::ORBEndpoints;
using server::ScriptedReply;
using namespace testsupport;
using namespace contactstest;

namespace {

constexpr const char* kDemoParent = "13800000002";
constexpr const char* kCtdCheck = ORBEndpoints::Cmd::kCtdCheck;
using Detail = ContactsDetailViewController;

class ContactDetail : public SignedInScreenTest {
protected:
    void TearDown() override
    {
        platform::UrlOpener::shared().resetForTesting();
        platform::SmsComposer::setCanSendText(true);
        SignedInScreenTest::TearDown();
    }

    // Signs in and opens the named contact's detail from the address book.
    std::shared_ptr<Detail> openFromBook(const std::string& name, const char* account = kDemoTeacher,
        const char* password = kDemoTeacherPassword, int tab = 0)
    {
        signIn(account, password);
        EXPECT_TRUE(harness().runUntil(bookIdle));
        mainScreen()->switchToView(ORBViewController::kContactsTab);
        settle(harness(), 2.0);
        auto screen = book();
        if (tab > 0) {
            auto strip = harness().viewByOutlet("tabView");
            harness().tap(strip->subviews()[static_cast<std::size_t>(tab)]);
        }
        for (const auto& view : harness().viewsByClass("ContactsOneCell")) {
            auto cell = std::dynamic_pointer_cast<ContactsOneCell>(view);
            if (cell && cell->lblName()->text() == name) {
                harness().tap(testsupport::findOutlet<UIButton>(cell, "btnAvatar"));
                settle(harness());
                return std::dynamic_pointer_cast<Detail>(harness().topScreen());
            }
        }
        for (const auto& view : harness().viewsByClass("ContactsTwoCell")) {
            auto cell = std::dynamic_pointer_cast<ContactsTwoCell>(view);
            if (cell && cell->lblName()->text() == name) {
                screen->contactsCellDidClickAvatar(cell->contact());
                settle(harness());
                return std::dynamic_pointer_cast<Detail>(harness().topScreen());
            }
        }
        return nullptr;
    }

    std::string label(const char* outlet)
    {
        auto view = std::dynamic_pointer_cast<UILabel>(harness().viewByOutlet(outlet));
        return view ? view->text() : std::string("<none>");
    }
    std::shared_ptr<UIButton> button(const char* outlet)
    {
        return std::dynamic_pointer_cast<UIButton>(harness().viewByOutlet(outlet));
    }

    std::vector<std::string> sheetButtons()
    {
        std::vector<std::string> titles;
        if (auto sheet = UIActionSheet::currentSheet()) {
            for (long i = 0; i < sheet->numberOfButtons(); ++i)
                titles.push_back(sheet->buttonTitleAtIndex(i));
        }
        return titles;
    }
    void choose(long index)
    {
        ASSERT_TRUE(UIActionSheet::currentSheet());
        UIActionSheet::currentSheet()->clickButtonAtIndex(index);
        harness().loop().runUntilIdle();
        settle(harness(), 0.5);
    }
    std::shared_ptr<WarnView> warning()
    {
        auto views = harness().viewsByClass("WarnView");
        return views.empty() ? nullptr : std::dynamic_pointer_cast<WarnView>(views.back());
    }
    void confirm(bool tick)
    {
        ASSERT_TRUE(warning());
        if (tick) {
            ASSERT_TRUE(harness().tap(warning()->promptBtn()));
        }
        ASSERT_TRUE(harness().tapButton("确定"));
        settle(harness());
    }
    bool key(const char* name) { return platform::UserDefaults::standard()->boolForKey(name); }
    bool keySet(const char* name) { return !platform::UserDefaults::standard()->objectForKey(name).isNull(); }
    std::string topClass() { return harness().topScreen() ? harness().topScreen()->className() : std::string(); }
};

} // namespace

TEST_F(ContactDetail, ShowsRoleAndPhoneOrNothingToCall)
{
    auto detail = openFromBook("陈静");
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->lblTitle()->text(), "详细资料");
    EXPECT_EQ(label("lblName"), "陈静");
    EXPECT_EQ(label("lblType"), "教师");
    EXPECT_EQ(label("lblPhone"), "13900000002");
    EXPECT_EQ(button("btnCall")->titleForState(UIControlStateNormal), "打电话");
    EXPECT_EQ(button("btnSms")->titleForState(UIControlStateNormal), "发消息");
    EXPECT_FALSE(button("btnCall")->isHidden());
    EXPECT_FALSE(harness().render("contacts-detail.png").empty());
    harness().visibleNavigationController()->popViewControllerAnimated(false);
    settle(harness());
    // A colleague without a number: nothing to call.
    for (const auto& view : harness().viewsByClass("ContactsTwoCell")) {
        auto cell = std::dynamic_pointer_cast<ContactsTwoCell>(view);
        if (cell && cell->lblName()->text() == "孙丽")
            book()->contactsCellDidClickAvatar(cell->contact());
    }
    settle(harness());
    EXPECT_EQ(label("lblName"), "孙丽");
    EXPECT_EQ(label("lblPhone"), "暂无");
    EXPECT_TRUE(button("btnCall")->isHidden());
    EXPECT_TRUE(button("btnSms")->isHidden());
}

TEST_F(ContactDetail, ATeachersCallOffersTheServiceAndTheOwnPhoneEachWithItsKey)
{
    auto detail = openFromBook("陈静");
    ASSERT_TRUE(detail);
    ASSERT_TRUE(harness().tap(button("btnCall")));
    EXPECT_EQ(sheetButtons(), (std::vector<std::string> { "使用点击拨号拨打", "使用本机电话拨打", "取消" }));
    choose(1);
    ASSERT_TRUE(warning());
    EXPECT_EQ(warning()->prompContent()->text(), "是否拨打13900000002,使用本机电话拨打,收取正常电话通讯费");
    confirm(true);
    EXPECT_EQ(harness().openedURLs(), (std::vector<std::string> { "tel:13900000002" }));
    EXPECT_TRUE(key(Detail::kTeacherLocalKey));
    EXPECT_FALSE(keySet(Detail::kCallScreenKey));
    // Silenced: the own phone at once.
    ASSERT_TRUE(harness().tap(button("btnCall")));
    choose(1);
    EXPECT_FALSE(warning());
    EXPECT_EQ(harness().openedURLs().size(), 2u);

    // The service refuses: its notice, and closing it opens and stores nothing.
    harness().server()->script().forCommand(kCtdCheck,
        ScriptedReply::custom(200, R"({"resultState":1,"resultMsg":"提示","status":0,"dealResult":"您尚未开通"})"));
    ASSERT_TRUE(harness().tap(button("btnCall")));
    choose(0);
    ASSERT_TRUE(harness().runUntil([&] { return warning() != nullptr; }));
    EXPECT_EQ(warning()->variant(), WarnView::kNoticeVariant);
    ASSERT_TRUE(harness().tapButton("我知道了"));
    settle(harness());
    EXPECT_EQ(topClass(), "ContactsDetailViewController");
    EXPECT_FALSE(keySet(Detail::kCallScreenKey));

    // Allowed: confirmed without the tick opens the call screen and asks again next time.
    ASSERT_TRUE(harness().tap(button("btnCall")));
    choose(0);
    ASSERT_TRUE(harness().runUntil([&] { return warning() != nullptr; }));
    EXPECT_EQ(warning()->variant(), WarnView::kConfirmVariant);
    confirm(false);
    EXPECT_EQ(topClass(), "CallNumberViewController");
    EXPECT_TRUE(keySet(Detail::kCallScreenKey));
    EXPECT_FALSE(key(Detail::kCallScreenKey));
}

TEST_F(ContactDetail, AParentsCallIsTheOwnPhoneOnly)
{
    auto detail = openFromBook("李建国", kDemoParent, kDemoParentPassword);
    ASSERT_TRUE(detail);
    ASSERT_TRUE(harness().tap(button("btnCall")));
    EXPECT_EQ(sheetButtons(), (std::vector<std::string> { "使用本机电话拨打", "取消" }));
    choose(0);
    confirm(true);
    EXPECT_EQ(harness().openedURLs(), (std::vector<std::string> { "tel:13900000001" }));
    EXPECT_TRUE(key(Detail::kOtherLocalKey));
    EXPECT_FALSE(keySet(Detail::kTeacherLocalKey));
    EXPECT_TRUE(requests(kCtdCheck).empty());

    // A phone that cannot place calls says so.
    platform::UrlOpener::shared().setCanOpenScheme("tel", false);
    ASSERT_TRUE(harness().tap(button("btnCall")));
    auto alert = harness().currentAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->message(), "无法拨打电话号码");
    EXPECT_FALSE(UIActionSheet::currentSheet());
}

TEST_F(ContactDetail, MessagesGoToTheChatOrTheComposerWithItsResults)
{
    auto detail = openFromBook("陈静");
    ASSERT_TRUE(detail);
    ASSERT_TRUE(harness().tap(button("btnSms")));
    EXPECT_EQ(sheetButtons(), (std::vector<std::string> { "发瑞鸥消息", "发手机短信", "取消" }));
    choose(1);
    ASSERT_TRUE(warning());
    EXPECT_EQ(warning()->prompContent()->text(), "是否发短信到13900000002,本次发送将直接调用本机短信功能,收取正常短信通信费");
    confirm(true);
    EXPECT_TRUE(key(Detail::kSmsKey));
    auto composer = std::dynamic_pointer_cast<SmsComposeViewController>(
        TabViewController::shareInstance()->presentedViewController());
    ASSERT_TRUE(composer);
    EXPECT_EQ(composer->composer()->recipients(), (std::vector<std::string> { "13900000002" }));
    EXPECT_FALSE(harness().render("contacts-sms-composer.png").empty());
    ASSERT_TRUE(composer->composer()->finish(platform::MessageComposeResult::Sent));
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    EXPECT_EQ(harness().currentAlert()->message(), "短信已发送");
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    settle(harness());
    EXPECT_FALSE(TabViewController::shareInstance()->presentedViewController());

    // Silenced now: the composer at once; a failure is said, a cancel is not.
    ASSERT_TRUE(harness().tap(button("btnSms")));
    choose(1);
    EXPECT_FALSE(warning());
    composer = std::dynamic_pointer_cast<SmsComposeViewController>(
        TabViewController::shareInstance()->presentedViewController());
    ASSERT_TRUE(composer);
    composer->composer()->finish(platform::MessageComposeResult::Failed);
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    EXPECT_EQ(harness().currentAlert()->message(), "发送短信失败");
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    settle(harness());
    ASSERT_TRUE(harness().tap(button("btnSms")));
    choose(1);
    composer = std::dynamic_pointer_cast<SmsComposeViewController>(
        TabViewController::shareInstance()->presentedViewController());
    ASSERT_TRUE(composer);
    composer->composer()->finish(platform::MessageComposeResult::Cancelled);
    harness().runUntil([] { return false; }, 0.2);
    settle(harness());
    EXPECT_FALSE(harness().currentAlert());
    EXPECT_FALSE(TabViewController::shareInstance()->presentedViewController());

    // The in-app message.
    ASSERT_TRUE(harness().tap(button("btnSms")));
    choose(0);
    EXPECT_EQ(topClass(), "MessageViewController");
}

TEST_F(ContactDetail, FromTheChatBothChoicesOfTheOwnPhoneSheetAct)
{
    signIn();
    ASSERT_TRUE(harness().runUntil(bookIdle));
    auto contact = std::make_shared<core::ContactInfo>();
    contact->uid = 3001;
    contact->type = 2;
    auto detail = std::make_shared<Detail>();
    detail->setContact(contact);
    open(detail, ORBViewController::kMessageTab);
    EXPECT_EQ(button("btnCall")->titleForState(UIControlStateNormal), "本机拨打");
    EXPECT_EQ(button("btnSms")->titleForState(UIControlStateNormal), "点击拨打");
    EXPECT_EQ(label("lblType"), "家长");
    ASSERT_TRUE(harness().tap(button("btnCall")));
    auto sheet = UIActionSheet::currentSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "是否拨打13800000002\n使用本机电话拨打,收取正常电话通讯费\n使用CTD方式拨打,可直接免费通话\n("
                              "每月免费享受星河网内通话500分钟)");
    EXPECT_EQ(sheetButtons(), (std::vector<std::string> { "使用本机电话拨打", "使用CTD方式拨打", "取消" }));
    choose(0);
    confirm(false);
    EXPECT_EQ(harness().openedURLs(), (std::vector<std::string> { "tel:13800000002" }));
    EXPECT_TRUE(keySet(Detail::kTeacherLocalKey));
    ASSERT_TRUE(harness().tap(button("btnCall")));
    choose(1);
    ASSERT_TRUE(waitForAnswer(kCtdCheck, 1));
    ASSERT_TRUE(harness().runUntil([&] { return warning() != nullptr; }));
    EXPECT_EQ(detail->chooseTag(), Detail::kChooseCallScreen);
    // "点击拨打" asks the service too.
    ASSERT_TRUE(harness().tapButton("取消"));
    settle(harness());
    ASSERT_TRUE(harness().tap(button("btnSms")));
    ASSERT_TRUE(waitForAnswer(kCtdCheck, 2));
}

TEST_F(ContactDetail, AMessageThatCannotBeComposedIsSaid)
{
    // A desktop without an application for "sms:": the message button says
    // so, as the call button does for "tel:".
    platform::UrlOpener::shared().setCanOpenScheme("sms", false);
    auto detail = openFromBook("陈静");
    ASSERT_TRUE(detail);
    ASSERT_TRUE(harness().tap(button("btnSms")));
    auto alert = harness().currentAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "提示");
    EXPECT_EQ(alert->message(), "无法发送短信");
    EXPECT_FALSE(UIActionSheet::currentSheet());
    EXPECT_FALSE(harness().render("contacts-detail-no-sms.png").empty());
    ASSERT_TRUE(harness().tapAlertButton("确定"));
    settle(harness());
    EXPECT_FALSE(harness().currentAlert());

    // "sms:" opens but the device gives no composer: the confirmed prompt
    // ends in the same notice rather than in nothing.
    platform::UrlOpener::shared().setCanOpenScheme("sms", true);
    platform::SmsComposer::setCanSendText(false);
    ASSERT_TRUE(harness().tap(button("btnSms")));
    choose(1);
    confirm(false);
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    EXPECT_EQ(harness().currentAlert()->message(), "无法发送短信");
    EXPECT_FALSE(TabViewController::shareInstance()->presentedViewController());
}
