// Creating a class album: the class chooser and its texts, the checks in
// their order and at their limits, an album without photos, and an album
// with photos uploaded first, a failed upload sent again alone, the album
// command once, the announcement and the close.
#include "circle/album/CreateAlbumViewController.h"
#include "core/session/ORBEndpoints.h"
#include "messaging/send/MessageSendPhoto.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/photobrowser/PhotoBrowser.h"
#include "server/StandinServer.h"
#include "tests/circle/album/AlbumScreenTest.h"
#include "tests/support/app/ClientApp.h"

#include <gtest/gtest.h>

using namespace circletest;
using circle::AlbumPhotoStrip;
using circle::CreateAlbumViewController;
using Cmd = core::ORBEndpoints::Cmd;

namespace {

class CreateAlbumTest : public AlbumScreenTest {
protected:
    std::shared_ptr<CreateAlbumViewController> openCreate()
    {
        auto screen = openByName<CreateAlbumViewController>("CreateAlbumViewController");
        if (screen)
            waitForRoute(kClassListRoute, 1);
        return screen;
    }
    void fill(CreateAlbumViewController& screen, const std::string& name, const std::string& description)
    {
        testsupport::findOutlet<UITextField>(screen.view(), "txtEdAlbumName")->setText(name);
        testsupport::findOutlet<UITextField>(screen.view(), "txtEdAlbumDescibe")->setText(description);
    }
    void submit() { ASSERT_TRUE(harness().tap(outlet("btnSubmit"))); }
    // The alert shown, its message, closed again; "" when none shows.
    std::string alertMessage(const char* title = "警告")
    {
        auto alert = harness().currentAlert();
        if (!alert)
            return {};
        EXPECT_EQ(alert->title(), title);
        std::string message = alert->message();
        harness().tapAlertButton("确定");
        return message;
    }
    static std::string repeated(const char* unit, int times)
    {
        std::string text;
        for (int i = 0; i < times; ++i)
            text += unit;
        return text;
    }
};

TEST_F(CreateAlbumTest, TheChecksStopAtTheFirstFailureCountingUtf16Units)
{
    signIn();
    auto screen = openCreate();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "新建相册");
    // The first class chosen as soon as the list is in.
    ASSERT_TRUE(until([&] { return screen->classId() == 101; }));
    EXPECT_EQ(screen->pickerView()->text(), "三年级(1)班");
    EXPECT_TRUE(screen->pickerView()->isEnabled());
    EXPECT_EQ(routeQuery(kClassListRoute, 0, "teacherId"), "2001");

    const struct {
        std::string name;
        std::string description;
        std::string refusal;
    } rows[] = {
        { "", "", "相册名称不能为空!" },
        { repeated("春", 11), "", "相册名称不能超过10个字!" },
        // Eleven UTF-16 units: the emoji counts two.
        { repeated("春", 9) + "😀", "", "相册名称不能超过10个字!" },
        { repeated("春", 10), repeated("好", 31), "相册描述不能超过30个字!" },
        // The name is checked before the description.
        { "", repeated("好", 31), "相册名称不能为空!" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.refusal);
        fill(*screen, row.name, row.description);
        submit();
        EXPECT_EQ(alertMessage(), row.refusal);
    }
    EXPECT_TRUE(requests(Cmd::kCreateAlbum).empty());

    // At the limits both are accepted; no photo: the album goes at once with none.
    fill(*screen, repeated("春", 10), repeated("好", 30));
    submit();
    EXPECT_EQ(harness().currentAlert(), nullptr);
    ASSERT_TRUE(waitForAnswer(Cmd::kCreateAlbum));
    auto sent = requests(Cmd::kCreateAlbum).front();
    EXPECT_EQ(sent.route, "combine/html5");
    EXPECT_EQ(sent.bodyValue("album"), platform::Value(repeated("春", 10)));
    EXPECT_EQ(sent.bodyValue("description"), platform::Value(repeated("好", 30)));
    EXPECT_EQ(sent.bodyValue("belongto").intValue(), 101);
    EXPECT_EQ(sent.bodyValue("photos"), platform::Value(""));
    ASSERT_TRUE(until([&] { return harness().notifications().count(circle::kCreateAlbumSuccessed) == 1; }));
    EXPECT_EQ(albumsNamed(repeated("春", 10)).size(), 1u);
}

TEST_F(CreateAlbumTest, WithoutAClassListNothingIsSent)
{
    signIn();
    harness().server()->script().forRoute(kClassListRoute, server::ScriptedReply::errorEnvelope("服务器忙"));
    auto screen = openCreate();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(until([&] { return screen->pickerView()->text() == CreateAlbumViewController::kClassesFailedText; }));
    EXPECT_FALSE(screen->pickerView()->isEnabled());
    EXPECT_EQ(screen->classId(), -1);
    fill(*screen, "秋游", "");
    submit();
    // An album of class -1 would belong to no one's list.
    EXPECT_EQ(alertMessage(), CreateAlbumViewController::kNoClassText);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(requests(Cmd::kCreateAlbum).empty());
    EXPECT_EQ(harness().overlayText(), "");
}

TEST_F(CreateAlbumTest, FourPhotosAtMostLaidOutInARowAndRemovedOneByOne)
{
    signIn();
    auto screen = openCreate();
    ASSERT_TRUE(screen);
    auto strip = screen->strip();
    auto add = std::dynamic_pointer_cast<UIButton>(outlet("addImageBtn"));
    const double quarter = strip->container()->bounds().width() / 4;
    EXPECT_EQ(add->frame().origin.x, quarter - 10);
    const platform::Color colours[] = { platform::Color::orangeColor(), platform::Color::blueColor(),
        platform::Color::greenColor(), platform::Color::purpleColor() };
    for (int i = 0; i < 3; ++i)
        attachPhoto(colours[i]);
    auto tiles = strip->tiles();
    ASSERT_EQ(tiles.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(tiles[std::size_t(i)]->tag(), i);
        EXPECT_EQ(tiles[std::size_t(i)]->frame().origin.x, 20 + i * (tiles[0]->frame().width() + 10));
    }
    EXPECT_EQ(add->frame().origin.x, quarter + tiles[2]->frame().origin.x - 10);
    EXPECT_FALSE(add->isHidden());
    fill(*screen, "春游", "植物园");
    harness().render("circle-album-create.png");

    attachPhoto(colours[3]);
    EXPECT_EQ(strip->photoCount(), 4);
    EXPECT_TRUE(add->isHidden());
    screen->btnAddAlbumAction(add.get());
    EXPECT_EQ(harness().overlayText(), "最多只能添加4张图片");
    EXPECT_EQ(UIActionSheet::currentSheet(), nullptr);
    letOverlayGo();

    // The second photo removed through its own menu: the others close up and
    // are numbered again, so the browser opens on the photo tapped.
    auto second = strip->tiles()[1];
    ASSERT_TRUE(harness().tap(second));
    ASSERT_TRUE(harness().tapButton(MessageSendPhoto::kRemoveTitle));
    testsupport::settle(harness());
    tiles = strip->tiles();
    ASSERT_EQ(tiles.size(), 3u);
    EXPECT_EQ(std::find(tiles.begin(), tiles.end(), second), tiles.end());
    EXPECT_EQ(tiles[1]->tag(), 1);
    EXPECT_EQ(tiles[1]->frame().origin.x, 20 + tiles[0]->frame().width() + 10);
    EXPECT_FALSE(add->isHidden());
    ASSERT_EQ(strip->photos().size(), 3u);
    ASSERT_TRUE(harness().tap(tiles[2]));
    ASSERT_TRUE(harness().tapButton(MessageSendPhoto::kShowTitle));
    testsupport::settle(harness());
    auto presented = harness().presentedScreen();
    ASSERT_NE(presented, nullptr);
    auto browser = std::dynamic_pointer_cast<PhotoBrowser>(
        std::dynamic_pointer_cast<UINavigationController>(presented)->viewControllers().front());
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->currentPageIndex(), 2u);
}

TEST_F(CreateAlbumTest, AFailedUploadIsSentAgainAloneAndTheAlbumOnce)
{
    signIn();
    auto screen = openCreate();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(until([&] { return screen->classId() == 101; }));
    attachPhoto(platform::Color::orangeColor());
    attachPhoto(platform::Color::blueColor());
    attachPhoto(platform::Color::greenColor());
    fill(*screen, "校园开放日", "");
    // The first upload fails; the album command waits for all three reports.
    harness().server()->script().forRoute(kUploadRoute, server::ScriptedReply::http500Json());
    submit();
    EXPECT_EQ(harness().overlayText(), AlbumPhotoStrip::kSubmittingText);
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    EXPECT_EQ(answeredUploads(), 3u);
    auto alert = harness().currentAlert();
    EXPECT_EQ(alert->title(), "提示");
    EXPECT_EQ(alert->message(), "1个附件上传失败");
    EXPECT_EQ(harness().overlayText(), "");
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(requests(Cmd::kCreateAlbum).empty());
    for (const auto& upload : uploads())
        EXPECT_EQ(upload.route, "upload/weibopic/2001/1");

    // "重新提交": only the failed photo goes again, then the album, once.
    ASSERT_TRUE(harness().tapAlertButton(AlbumPhotoStrip::kRetryTitle));
    ASSERT_TRUE(waitForAnswer(Cmd::kCreateAlbum));
    EXPECT_EQ(uploads().size(), 4u);
    ASSERT_TRUE(harness().waitForServerQuiet());
    EXPECT_EQ(requests(Cmd::kCreateAlbum).size(), 1u);
    std::vector<std::string> addresses;
    for (const auto& tile : screen->strip()->tiles())
        addresses.push_back(tile->info()->url);
    auto sent = requests(Cmd::kCreateAlbum).front();
    EXPECT_EQ(sent.bodyValue("photos").stringValue(), addresses[0] + "," + addresses[1] + "," + addresses[2]);
    auto ids = albumsNamed("校园开放日");
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_EQ(photosOf(ids[0]), addresses);

    ASSERT_TRUE(until([&] { return harness().overlayText() == "相册创建成功"; }));
    ASSERT_EQ(harness().notifications().count(circle::kCreateAlbumSuccessed), 1u);
    for (const auto& posted : harness().notifications().posted()) {
        if (posted.name == circle::kCreateAlbumSuccessed) {
            EXPECT_EQ(posted.object.objectAs<CreateAlbumViewController>(), screen);
        }
    }
    EXPECT_EQ(harness().topScreen(), screen);
    harness().advance(CreateAlbumViewController::kCloseDelay);
    testsupport::settle(harness());
    EXPECT_NE(harness().topScreen(), screen);
}

TEST_F(CreateAlbumTest, AFailedCommandKeepsWhatWasEnteredAndCanBeSentAgain)
{
    signIn();
    auto screen = openCreate();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(until([&] { return screen->classId() == 101; }));
    attachPhoto(platform::Color::orangeColor());
    fill(*screen, "毕业照", "2024届");
    harness().server()->script().forCommand(Cmd::kCreateAlbum, server::ScriptedReply::errorEnvelope("相册已存在"));
    submit();
    ASSERT_TRUE(until([&] { return harness().overlayText() == "相册已存在"; }));
    letOverlayGo();
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_EQ(screen->strip()->photoCount(), 1);
    EXPECT_EQ(testsupport::findOutlet<UITextField>(screen->view(), "txtEdAlbumName")->text(), "毕业照");
    // The photo has its address: sending again uploads nothing more.
    submit();
    ASSERT_TRUE(waitForAnswer(Cmd::kCreateAlbum, 2));
    EXPECT_EQ(uploads().size(), 1u);
    ASSERT_TRUE(until([&] { return harness().notifications().count(circle::kCreateAlbumSuccessed) == 1; }));
    EXPECT_EQ(albumsNamed("毕业照").size(), 1u);
}

// Left before the photos are up: the uploads end with the screen and take
// their overlay along, and no album is made. Left before the album command
// is answered: its reason still replaces the overlay, which then goes.
TEST_F(CreateAlbumTest, LeavingBeforeAnAnswerLeavesNoOverlayOnTheWindow)
{
    signIn();
    auto screen = openCreate();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(until([&] { return screen->classId() == 101; }));
    attachPhoto(platform::Color::orangeColor());
    fill(*screen, "运动会", "");
    auto uploadGate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kUploadRoute, server::ScriptedReply::normal().heldBy(uploadGate));
    submit();
    ASSERT_TRUE(until([&] { return uploadGate->arrived() == 1; }));
    EXPECT_EQ(harness().overlayText(), AlbumPhotoStrip::kSubmittingText);
    leave(screen);
    EXPECT_EQ(harness().overlayText(), "");
    uploadGate->open();
    ASSERT_TRUE(until([&] { return answeredUploads() == 1; }));
    ASSERT_TRUE(harness().waitForServerQuiet());
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(requests(Cmd::kCreateAlbum).empty());
    EXPECT_EQ(harness().overlayText(), "");

    harness().server()->script().forRoute(kUploadRoute, server::ScriptedReply::normal());
    screen = openCreate();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(until([&] { return screen->classId() == 101; }));
    fill(*screen, "毕业照", "");
    auto refused = holdNext(Cmd::kCreateAlbum, server::ScriptedReply::errorEnvelope("相册已存在"));
    submit();
    ASSERT_TRUE(until([&] { return refused->arrived() == 1; }));
    leave(screen);
    refused->open();
    ASSERT_TRUE(waitForAnswer(Cmd::kCreateAlbum));
    ASSERT_TRUE(until([&] { return harness().overlayText() == "相册已存在"; }));
    letOverlayGo();
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(harness().notifications().count(circle::kCreateAlbumSuccessed), 0u);
}

} // namespace
