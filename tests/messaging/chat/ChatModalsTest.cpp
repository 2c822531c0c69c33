// The chat with the keyboard up: the photo button's sheet shows above
// everything with working choices, and Escape closes whatever is on top (the
// sheet, an alert, the photo browser) before it ever goes back.
#include "messaging/chat/MessageViewController.h"
#include "app/main/ORBViewController.h"
#include "core/store/MessageFactory.h"
#include "messaging/MessagingClasses.h"
#include "messaging/voice/MessageAudioPlayer.h"
#include "platform/host/KeyboardInput.h"
#include "platform/media/AVAudioSession.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/ModalStack.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <gtest/gtest.h>

using namespace testsupport;

namespace {

constexpr int kParentUid = 3002;

class ChatModalsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::AVAudioSession::sharedInstance().resetForTesting();
        harness_ = std::make_unique<AppHarness>();
        ASSERT_TRUE(startClient(*harness_));
        messaging::registerMessagingClasses();
        ASSERT_TRUE(signInThroughScreens(*harness_, kDemoTeacher, kDemoTeacherPassword));
    }
    void TearDown() override
    {
        MessageAudioPlayer::cancelAll();
        UIImagePickerController::setCameraAvailable(false);
        harness_.reset();
        platform::AVAudioSession::sharedInstance().resetForTesting();
    }
    AppHarness& harness() { return *harness_; }

    static std::shared_ptr<core::ContactInfo> parent()
    {
        auto contact = std::make_shared<core::ContactInfo>();
        contact->uid = kParentUid;
        contact->type = 2;
        contact->name = "王芳";
        return contact;
    }

    std::shared_ptr<MessageViewController> openChat()
    {
        auto chat = std::make_shared<MessageViewController>();
        chat->setContact(parent());
        mainScreen()->switchToView(ORBViewController::kMessageTab);
        harness_->visibleNavigationController()->pushViewController(chat, true);
        settle(*harness_);
        return chat;
    }

    // Types into the message field, so the keyboard is up.
    // The chat's message field, by its outlet name.
    static std::shared_ptr<UITextField> messageField(MessageViewController& chat)
    {
        return std::dynamic_pointer_cast<UITextField>(findViewByOutlet(chat.view(), "txtMessage"));
    }
    void raiseKeyboard(MessageViewController& chat)
    {
        ASSERT_TRUE(harness_->tap(messageField(chat)));
        settle(*harness_);
        ASSERT_TRUE(platform::Keyboard::isVisible());
        ASSERT_TRUE(harness_->type(messageField(chat), "一条很长很长的消息"));
    }

private:
    std::unique_ptr<AppHarness> harness_;
};

struct AlertChoices : UIAlertViewDelegate {
    void alertViewClickedButton(UIAlertView*, long index) override { clicked.push_back(index); }
    std::vector<long> clicked;
};

} // namespace

TEST_F(ChatModalsTest, ThePhotoSheetOverTheKeyboardShowsAboveItAndItsChoiceWorks)
{
    auto chat = openChat();
    raiseKeyboard(*chat);
    auto photoButton = harness().viewByOutlet("btnPhoto");
    ASSERT_TRUE(harness().tap(photoButton));
    auto sheet = UIActionSheet::currentSheet();
    ASSERT_NE(sheet, nullptr);
    EXPECT_FALSE(platform::Keyboard::isVisible()) << "the keyboard goes away before the sheet shows";
    EXPECT_FALSE(messageField(*chat)->isFirstResponder());
    EXPECT_EQ(messageField(*chat)->text(), "一条很长很长的消息") << "what was typed stays";
    auto windows = UIWindow::visibleWindows();
    ASSERT_FALSE(windows.empty());
    EXPECT_EQ(windows.back(), platform::ModalStack::windowOf(sheet.get())) << "the sheet is the topmost window";
    settle(harness(), 0.5);
    EXPECT_FALSE(harness().render("chat-photo-sheet.png").empty());

    // The choice, pressed on the screen, opens the album.
    ASSERT_TRUE(harness().tapButton("从相册中选取"));
    settle(harness());
    auto picker = std::dynamic_pointer_cast<UIImagePickerController>(harness().presentedScreen());
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->sourceType(), UIImagePickerControllerSourceTypeSavedPhotosAlbum);
    picker->cancel();
    settle(harness());
    EXPECT_EQ(harness().navigationStack().back(), chat);
}

TEST_F(ChatModalsTest, EscapeClosesTheTopmostModalAndLeavesTheChatInPlace)
{
    auto chat = openChat();
    auto depth = harness().navigationStack().size();
    ASSERT_EQ(harness().navigationStack().back(), chat);

    // The photo sheet: its cancel choice.
    raiseKeyboard(*chat);
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnPhoto")));
    ASSERT_NE(UIActionSheet::currentSheet(), nullptr);
    EXPECT_TRUE(platform::host::performBackSwipe());
    settle(harness());
    EXPECT_EQ(UIActionSheet::currentSheet(), nullptr);
    EXPECT_EQ(harness().presentedScreen(), nullptr) << "cancel opens no picker";
    EXPECT_EQ(harness().navigationStack().size(), depth);
    EXPECT_EQ(harness().navigationStack().back(), chat);

    // An alert: its cancel button. An alert with no cancel button stays, and
    // the chat beneath still does not move.
    auto choices = std::make_shared<AlertChoices>();
    auto alert = std::make_shared<UIAlertView>("提示", "确定删除吗？", choices, std::string("取消"),
        std::vector<std::string> { "确定" });
    alert->show();
    EXPECT_TRUE(platform::host::performBackSwipe());
    EXPECT_EQ(choices->clicked, std::vector<long> { 0 });
    EXPECT_FALSE(alert->isVisible());
    auto notice = std::make_shared<UIAlertView>("提示", "发送失败", choices, std::nullopt,
        std::vector<std::string> { "知道了" });
    notice->show();
    EXPECT_FALSE(platform::host::performBackSwipe());
    EXPECT_TRUE(notice->isVisible());
    EXPECT_EQ(choices->clicked, std::vector<long> { 0 });
    EXPECT_EQ(harness().navigationStack().back(), chat);
    ASSERT_TRUE(notice->clickButtonAtIndex(0));

    // The photo browser, presented over the chat: its Done.
    auto browser = PhotoBrowser::initWithPhotos({ BrowserPhoto::photoWithURL(*platform::Url::parse("http://127.0.0.1:9/p.jpg")) });
    ASSERT_NE(browser, nullptr);
    auto navigation = std::make_shared<UINavigationController>(browser);
    chat->presentViewController(navigation, false);
    settle(harness());
    ASSERT_EQ(harness().presentedScreen(), navigation);
    EXPECT_TRUE(platform::host::performBackSwipe());
    settle(harness(), 1);
    EXPECT_EQ(harness().presentedScreen(), nullptr);
    EXPECT_EQ(harness().navigationStack().size(), depth);
    EXPECT_EQ(harness().navigationStack().back(), chat);

    // With nothing on top, Escape goes back as before.
    EXPECT_TRUE(platform::host::performBackSwipe());
    settle(harness(), 1);
    EXPECT_EQ(harness().navigationStack().size(), depth - 1);
}
