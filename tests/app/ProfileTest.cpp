// The profile: the avatar shown without holding the screen, a teacher's
// nickname fixed, a new avatar picked (the newest pick wins), uploaded and
// saved, and every way a save can fail leaving the account as it was.
#include "app/account/ChangePasswordViewController.h"
#include "app/account/UserInfoViewController.h"
#include "app/main/ORBViewController.h"
#include "app/settings/SettingViewController.h"
#include "core/session/AccountInfo.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "messaging/send/MessageSendPhoto.h"
#include "platform/graphics/Image.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UITextField.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

using namespace testsupport;
using Cmd = core::ORBEndpoints::Cmd;

namespace {

constexpr const char* kDemoParent = "13800000002";

// Taps the avatar row of the profile's table and the album in the sheet;
// the picker shown, which must allow editing (nullptr otherwise).
std::shared_ptr<UIImagePickerController> openPicker(AppHarness& harness, const std::shared_ptr<UITableView>& table)
{
    if (!table || !harness.selectRow(table, 0, 0))
        return nullptr;
    auto sheet = UIActionSheet::currentSheet();
    if (!sheet || sheet->title() != "选择一张图片" || !harness.tapButton("从相册中选取"))
        return nullptr;
    settle(harness);
    auto picker = std::dynamic_pointer_cast<UIImagePickerController>(harness.presentedScreen());
    return picker && picker->allowsEditing() ? picker : nullptr;
}

// A tap on a button of the picker's crop screen, as a finger's.
bool tapCropButton(AppHarness& harness, UIImagePickerController& picker, const std::string& title)
{
    auto screen = picker.cropView();
    return screen && harness.tap(findViewByText(screen, title));
}

class Profile : public SignedInScreenTest {
protected:
    // The profile as the settings tab opens it, from its row.
    std::shared_ptr<UserInfoViewController> openProfile()
    {
        mainScreen()->switchToView(ORBViewController::kSettingsTab);
        settle(harness());
        auto settings = std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("tableview"));
        if (!settings || !harness().selectRow(settings, 1, 0))
            return nullptr;
        settle(harness());
        return std::dynamic_pointer_cast<UserInfoViewController>(harness().topScreen());
    }
    std::shared_ptr<UITableView> table()
    {
        return std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet("userTableView"));
    }
    std::shared_ptr<UITextField> nickname()
    {
        return std::dynamic_pointer_cast<UITextField>(harness().viewByTag(UserInfoViewController::kAvatarTag + 1));
    }
    std::shared_ptr<UIImageView> avatar()
    {
        return std::dynamic_pointer_cast<UIImageView>(harness().viewByTag(UserInfoViewController::kAvatarTag));
    }
    std::vector<std::shared_ptr<MessageSendPhoto>> photosInAvatar()
    {
        std::vector<std::shared_ptr<MessageSendPhoto>> photos;
        for (const auto& view : avatar()->subviews())
            if (auto photo = std::dynamic_pointer_cast<MessageSendPhoto>(view))
                photos.push_back(photo);
        return photos;
    }
    std::string writePicture(const std::string& name, int width, int height,
        platform::Color colour = platform::Color::fromRGB255(200, 120, 40))
    {
        std::string path = platform::FileUtil::joinPath(platform::AppPaths::temporaryDirectory(), name);
        EXPECT_TRUE(platform::Image(width, height, 1.0, colour).writePNG(path));
        return path;
    }
    // Taps the avatar row and picks the picture from the album, taking the
    // square the crop screen offers.
    bool pickAvatar(const std::string& path)
    {
        auto picker = openPicker(harness(), table());
        if (!picker || !picker->pickImageAtPath(path) || !tapCropButton(harness(), *picker, "选取"))
            return false;
        settle(harness());
        return harness().presentedScreen() == nullptr;
    }
    bool tapSave()
    {
        bool tapped = harness().tap(harness().viewByOutlet("btnSave"));
        harness().loop().runUntilIdle();
        return tapped;
    }
    std::vector<server::LoggedRequest> avatarUploads()
    {
        std::vector<server::LoggedRequest> uploads;
        for (const auto& request : harness().serverRequests())
            if (request.route.starts_with("upload/userpic/"))
                uploads.push_back(request);
        return uploads;
    }
};

} // namespace

TEST_F(Profile, TeachersNicknameIsFixedAndASaveWithoutAvatarSendsTheNameAndLeaves)
{
    signIn();
    auto profile = openProfile();
    ASSERT_NE(profile, nullptr);
    EXPECT_EQ(profile->title(), "我的资料");
    auto account = core::MyAccountInfo::currentAccount();
    ASSERT_NE(account, nullptr);
    ASSERT_EQ(account->type, 1);
    EXPECT_EQ(nickname()->text(), account->name);
    EXPECT_FALSE(nickname()->isEnabled());
    EXPECT_EQ(table()->numberOfSections(), 2);
    EXPECT_DOUBLE_EQ(table()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)).height(), 80);
    EXPECT_DOUBLE_EQ(table()->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 1)).height(), 44);
    EXPECT_NE(harness().viewByText("设置头像"), nullptr);
    EXPECT_NE(harness().viewByText("昵称"), nullptr);
    ASSERT_TRUE(harness().runUntil([&] { return avatar()->image() && avatar()->image()->name().find("default") == std::string::npos; }));
    EXPECT_FALSE(harness().render("app-profile.png").empty());

    // The change-password row leads one screen further.
    ASSERT_TRUE(harness().selectRow(table(), 1, 1));
    settle(harness());
    EXPECT_NE(std::dynamic_pointer_cast<ChangePasswordViewController>(harness().topScreen()), nullptr);
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
    settle(harness());
    ASSERT_EQ(harness().topScreen(), profile);

    ASSERT_TRUE(tapSave());
    ASSERT_TRUE(waitForAnswer(Cmd::kUpdateProfile));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "个人资料修改成功"; }));
    auto sent = requests(Cmd::kUpdateProfile);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].bodyValue("userName").stringValue(), account->name);
    EXPECT_EQ(sent[0].bodyValue("file").stringValue(), "");
    EXPECT_TRUE(avatarUploads().empty());
    // It leaves 1.5 s after the confirmation, and only itself.
    harness().advance(1.0);
    EXPECT_EQ(harness().topScreen(), profile);
    harness().advance(0.6);
    settle(harness());
    EXPECT_NE(std::dynamic_pointer_cast<SettingViewController>(harness().topScreen()), nullptr);
    EXPECT_EQ(harness().navigationStack().size(), 1u);
}

TEST_F(Profile, AvatarLoadsWithoutHoldingTheScreen)
{
    signIn();
    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute("static/avatar", server::ScriptedReply::normal().heldBy(gate), 4);
    auto profile = openProfile();
    ASSERT_NE(profile, nullptr);
    // The screen is up and answers while the picture is still on its way.
    ASSERT_TRUE(harness().runUntil([&] { return gate->arrived() >= 1; }));
    ASSERT_NE(avatar(), nullptr);
    ASSERT_NE(avatar()->image(), nullptr);
    EXPECT_NE(avatar()->image()->name().find("account_default_avatar"), std::string::npos);
    ASSERT_TRUE(harness().selectRow(table(), 1, 1));
    settle(harness());
    EXPECT_NE(std::dynamic_pointer_cast<ChangePasswordViewController>(harness().topScreen()), nullptr);
    harness().tap(harness().viewByOutlet("btnBack"));
    settle(harness());
    gate->open();
    ASSERT_TRUE(harness().runUntil([&] { return avatar()->image()->name().find("account_default_avatar") == std::string::npos; }));
}

TEST_F(Profile, NewAvatarIsUploadedAndSavedAndEveryFailureLeavesTheAccountAsItWas)
{
    signIn(kDemoParent, kDemoParentPassword);
    auto profile = openProfile();
    ASSERT_NE(profile, nullptr);
    auto account = core::MyAccountInfo::currentAccount();
    ASSERT_EQ(account->type, 2);
    const std::string oldName = account->name;
    const std::string oldThumb = account->thumbAvatar;
    EXPECT_TRUE(nickname()->isEnabled());

    // An empty nickname is not sent.
    nickname()->setText("");
    ASSERT_TRUE(tapSave());
    EXPECT_EQ(harness().overlayText(), "昵称不能为空");
    harness().advance(2.5);
    EXPECT_TRUE(requests(Cmd::kUpdateProfile).empty());

    // A refused save: the name the server did not take is not the account's.
    ASSERT_TRUE(harness().type(nickname(), "张伟伟"));
    auto refused = holdNext(Cmd::kUpdateProfile, server::ScriptedReply::errorEnvelope("保存失败"));
    ASSERT_TRUE(tapSave());
    // The overlay comes with the request's start on the main loop, which may
    // follow the request's arrival at the server.
    ASSERT_TRUE(harness().runUntil(
        [&] { return refused->arrived() == 1 && harness().overlayText() == "正在保存用户信息..."; }));
    refused->open();
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "修改个人资料失败"; }));
    EXPECT_EQ(account->name, oldName);
    harness().advance(2.5);
    EXPECT_EQ(harness().topScreen(), profile);

    // Two picks: the newest one alone is shown, uploaded and sent, as the
    // square cut from it.
    ASSERT_TRUE(pickAvatar(writePicture("wide.png", 400, 200)));
    ASSERT_EQ(photosInAvatar().size(), 1u);
    ASSERT_TRUE(pickAvatar(writePicture("tall.png", 200, 400, platform::Color::fromRGB255(40, 120, 200))));
    auto photos = photosInAvatar();
    ASSERT_EQ(photos.size(), 1u);
    ASSERT_NE(photos[0]->imgView(), nullptr);
    ASSERT_NE(photos[0]->imgView()->image(), nullptr);
    const auto& shown = photos[0]->imgView()->image()->CGImage();
    EXPECT_EQ(shown.pixelWidth(), shown.pixelHeight());
    EXPECT_GT(shown.pixelAt(shown.pixelWidth() / 2, shown.pixelHeight() / 2)[2], 150) << "the newest pick is shown";
    EXPECT_FALSE(harness().render("app-profile-new-avatar.png").empty());

    // The upload fails: reported as a failure, and nothing is saved as if it had worked.
    auto failingGate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute("upload/userpic", server::ScriptedReply::http500Json().heldBy(failingGate));
    ASSERT_TRUE(tapSave());
    ASSERT_TRUE(harness().runUntil([&] { return failingGate->arrived() == 1; }));
    EXPECT_EQ(harness().overlayText(), "正在上传头像...");
    failingGate->open();
    ASSERT_TRUE(harness().runUntil([&] { return avatarUploads().size() == 1 && harness().overlayText() == "修改个人资料失败"; }));
    harness().advance(2.5);
    EXPECT_EQ(requests(Cmd::kUpdateProfile).size(), 1u);
    EXPECT_EQ(account->name, oldName);
    EXPECT_EQ(account->thumbAvatar, oldThumb);
    EXPECT_EQ(harness().topScreen(), profile);

    // Saved again: uploaded, then the profile with the upload's address.
    auto uploadGate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute("upload/userpic", server::ScriptedReply::normal().heldBy(uploadGate));
    ASSERT_TRUE(tapSave());
    ASSERT_TRUE(harness().runUntil([&] { return uploadGate->arrived() == 1; }));
    EXPECT_EQ(harness().overlayText(), "正在上传头像...");
    EXPECT_EQ(requests(Cmd::kUpdateProfile).size(), 1u);
    uploadGate->open();
    ASSERT_TRUE(waitForAnswer(Cmd::kUpdateProfile, 2));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "个人资料修改成功"; }));
    auto uploads = avatarUploads();
    ASSERT_EQ(uploads.size(), 2u);
    ASSERT_NE(uploads[1].part("file"), nullptr);
    const std::string& bytes = uploads[1].part("file")->content;
    auto uploaded = platform::Image::decode(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ASSERT_TRUE(uploaded.has_value());
    EXPECT_EQ(uploaded->pixelWidth(), uploaded->pixelHeight()) << "the square was uploaded";
    auto middle = uploaded->pixelAt(uploaded->pixelWidth() / 2, uploaded->pixelHeight() / 2);
    EXPECT_GT(middle[2], middle[0]) << "the newest pick was uploaded";
    auto saved = requests(Cmd::kUpdateProfile).back();
    EXPECT_EQ(saved.bodyValue("userName").stringValue(), "张伟伟");
    std::string file = saved.bodyValue("file").stringValue();
    EXPECT_NE(file.find("/files/userpic/"), std::string::npos) << file;
    EXPECT_EQ(account->name, "张伟伟");
    EXPECT_EQ(account->avatar, file);
    EXPECT_NE(account->thumbAvatar, oldThumb);
    harness().advance(1.6);
    settle(harness());
    EXPECT_NE(std::dynamic_pointer_cast<SettingViewController>(harness().topScreen()), nullptr);
}

TEST_F(Profile, AReplyWithoutBothAddressesKeepsTheAvatar)
{
    signIn(kDemoParent, kDemoParentPassword);
    auto profile = openProfile();
    ASSERT_NE(profile, nullptr);
    auto account = core::MyAccountInfo::currentAccount();
    const std::string oldThumb = account->thumbAvatar;
    const std::string oldAvatar = account->avatar;
    harness().server()->script().forCommand(Cmd::kUpdateProfile,
        server::ScriptedReply::custom(200, R"({"resultState":1,"resultMsg":"修改成功","original":"http://127.0.0.1/x.jpg"})"));
    ASSERT_TRUE(tapSave());
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "个人资料修改成功"; }));
    EXPECT_EQ(account->thumbAvatar, oldThumb);
    EXPECT_EQ(account->avatar, oldAvatar);
}

// The person leaves while the profile is on its way: the overlay still ends
// with the answer, and the name the server took is the account's though the
// screen that asked has gone (and is never called).
TEST_F(Profile, LeavingBeforeTheSaveIsAnsweredLeavesNoOverlayAndKeepsTheSavedName)
{
    signIn(kDemoParent, kDemoParentPassword);
    auto profile = openProfile();
    ASSERT_NE(profile, nullptr);
    auto account = core::MyAccountInfo::currentAccount();
    nickname()->setText("");
    ASSERT_TRUE(harness().type(nickname(), "张伟伟"));
    auto held = holdNext(Cmd::kUpdateProfile);
    ASSERT_TRUE(tapSave());
    ASSERT_TRUE(harness().runUntil(
        [&] { return held->arrived() == 1 && harness().overlayText() == "正在保存用户信息..."; }));

    auto settings = leave(profile);
    ASSERT_NE(std::dynamic_pointer_cast<SettingViewController>(settings), nullptr);

    held->open();
    ASSERT_TRUE(waitForAnswer(Cmd::kUpdateProfile));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "个人资料修改成功"; }));
    EXPECT_EQ(account->name, "张伟伟");
    harness().advance(2.5);
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().topScreen(), settings);
}

// Left while the new avatar uploads: the upload ends with the screen, so its
// overlay goes with it; the upload's late answer saves nothing.
TEST_F(Profile, LeavingDuringTheAvatarUploadTakesItsOverlayAlong)
{
    signIn(kDemoParent, kDemoParentPassword);
    auto profile = openProfile();
    ASSERT_NE(profile, nullptr);
    auto account = core::MyAccountInfo::currentAccount();
    const std::string oldThumb = account->thumbAvatar;
    ASSERT_TRUE(pickAvatar(writePicture("leaving.png", 300, 300)));
    auto uploadGate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute("upload/userpic", server::ScriptedReply::normal().heldBy(uploadGate));
    ASSERT_TRUE(tapSave());
    ASSERT_TRUE(harness().runUntil([&] { return uploadGate->arrived() == 1; }));
    EXPECT_EQ(harness().overlayText(), "正在上传头像...");

    leave(profile);
    EXPECT_EQ(harness().overlayText(), "");

    uploadGate->open();
    ASSERT_TRUE(harness().runUntil([&] { return avatarUploads().size() == 1; }));
    ASSERT_TRUE(harness().waitForServerQuiet());
    ASSERT_TRUE(harness().roundTrip());
    harness().advance(2.5);
    EXPECT_TRUE(requests(Cmd::kUpdateProfile).empty());
    EXPECT_EQ(account->thumbAvatar, oldThumb);
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_NE(std::dynamic_pointer_cast<SettingViewController>(harness().topScreen()), nullptr);
}

// On either screen the crop screen shows the picked picture under a square
// frame with its buttons in reach; the square the person drags the picture
// to becomes the avatar, and cancelling goes back to the album.
TEST(ProfileAvatarCrop, TheAvatarIsTheSquareTheCropScreenShows)
{
    onBothScreens([](AppHarness& harness, bool tall) {
        ASSERT_TRUE(signInThroughScreens(harness, kDemoParent, kDemoParentPassword));
        mainScreen()->switchToView(ORBViewController::kSettingsTab);
        settle(harness);
        auto settings = std::dynamic_pointer_cast<UITableView>(harness.viewByOutlet("tableview"));
        ASSERT_TRUE(settings && harness.selectRow(settings, 1, 0));
        settle(harness);
        auto profile = std::dynamic_pointer_cast<UserInfoViewController>(harness.topScreen());
        ASSERT_NE(profile, nullptr);
        auto table = std::dynamic_pointer_cast<UITableView>(harness.viewByOutlet("userTableView"));
        auto picker = openPicker(harness, table);
        ASSERT_NE(picker, nullptr);

        // Red, green and blue bands, the green one the middle half.
        platform::Image bands(400, 200, 1.0, platform::Color::fromRGB255(230, 30, 30));
        for (int y = 0; y < 200; ++y)
            for (int x = 100; x < 400; ++x)
                bands.setPixel(x, y, x < 300 ? std::array<std::uint8_t, 4> { 30, 200, 60, 255 }
                                             : std::array<std::uint8_t, 4> { 30, 60, 220, 255 });
        std::string path = platform::FileUtil::joinPath(platform::AppPaths::temporaryDirectory(), "bands.png");
        ASSERT_TRUE(bands.writePNG(path));

        // Back to the album, then the picture again.
        ASSERT_TRUE(picker->pickImageAtPath(path));
        ASSERT_TRUE(tapCropButton(harness, *picker, "取消"));
        EXPECT_EQ(picker->cropView(), nullptr);
        EXPECT_EQ(harness.presentedScreen(), picker);
        ASSERT_TRUE(picker->pickImageAtPath(path));
        auto screen = picker->cropView();
        ASSERT_NE(screen, nullptr);
        settle(harness, 0.5);
        auto frame = picker->cropFrame();
        EXPECT_EQ(frame.width(), 320);
        EXPECT_EQ(frame.height(), 320);
        for (const char* title : { "取消", "选取", "+", "−" }) {
            auto button = findViewByText(screen, title);
            ASSERT_NE(button, nullptr) << title;
            EXPECT_TRUE(isShownOnScreen(button)) << title;
            auto box = button->convertRectToView(button->bounds(), screen.get());
            EXPECT_GE(box.minY(), frame.maxY()) << title << ": below the frame";
            EXPECT_LE(box.maxY(), screen->bounds().height()) << title;
        }
        EXPECT_EQ(screen->bounds().height(), tall ? 568 : 480);
        EXPECT_FALSE(harness.render(tall ? "h16-crop-568.png" : "h16-crop-480.png").empty());

        // The picture dragged left as far as it goes: the right-hand square.
        auto centre = screenCentreOf(screen);
        ASSERT_TRUE(dragOut(screen, platform::Point(centre.x - 320, centre.y)));
        EXPECT_EQ(picker->cropRect(), platform::Rect(200, 0, 200, 200));
        ASSERT_TRUE(tapCropButton(harness, *picker, "+"));
        EXPECT_FALSE(harness.render(tall ? "h16-crop-568-zoomed.png" : "h16-crop-480-zoomed.png").empty());
        ASSERT_TRUE(tapCropButton(harness, *picker, "−"));
        ASSERT_TRUE(tapCropButton(harness, *picker, "选取"));
        settle(harness);
        EXPECT_EQ(harness.presentedScreen(), nullptr);

        auto avatar = std::dynamic_pointer_cast<UIImageView>(harness.viewByTag(UserInfoViewController::kAvatarTag));
        ASSERT_NE(avatar, nullptr);
        ASSERT_FALSE(avatar->subviews().empty());
        auto photo = std::dynamic_pointer_cast<MessageSendPhoto>(avatar->subviews().back());
        ASSERT_TRUE(photo && photo->imgView() && photo->imgView()->image());
        const auto& shown = photo->imgView()->image()->CGImage();
        EXPECT_EQ(shown.pixelWidth(), shown.pixelHeight());
        auto left = shown.pixelAt(shown.pixelWidth() / 4, shown.pixelHeight() / 2);
        auto right = shown.pixelAt(shown.pixelWidth() * 3 / 4, shown.pixelHeight() / 2);
        EXPECT_GT(left[1], left[2]) << "green on the left";
        EXPECT_GT(right[2], right[1]) << "blue on the right";
        EXPECT_LT(left[0], 100) << "no red: the left band is outside the square";
    });
}

// A picker that hands over no edited image (one without editing): the
// profile takes the whole picture.
TEST_F(Profile, WithoutAnEditedImageTheWholePictureIsTheAvatar)
{
    signIn(kDemoParent, kDemoParentPassword);
    auto profile = openProfile();
    ASSERT_NE(profile, nullptr);
    auto picker = openPicker(harness(), table());
    ASSERT_NE(picker, nullptr);
    platform::Dictionary info;
    info.set(UIImagePickerControllerOriginalImage,
        platform::Value(UIImage::imageWithCGImage(platform::Image(300, 100, 1.0, platform::Color::fromRGB255(40, 120, 200)))));
    profile->imagePickerControllerDidFinishPickingMediaWithInfo(picker.get(), info);
    settle(harness());
    EXPECT_EQ(harness().presentedScreen(), nullptr);
    auto photos = photosInAvatar();
    ASSERT_EQ(photos.size(), 1u);
    ASSERT_TRUE(photos[0]->imgView() && photos[0]->imgView()->image());
    const auto& shown = photos[0]->imgView()->image()->CGImage();
    EXPECT_GT(shown.pixelWidth(), shown.pixelHeight());
}
