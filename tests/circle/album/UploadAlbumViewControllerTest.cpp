// Adding photos to an album: the album chooser and its texts, the album that
// must be chosen, the submit without photos that leaves nothing behind, the
// photos added with the placeholder sent as no description, the two
// announcements, a new album made from here listed once, and the class
// circle's compose menu that opens this screen.
#include "circle/album/CreateAlbumViewController.h"
#include "circle/album/UploadAlbumViewController.h"
#include "circle/feed/CircleTargets.h"
#include "core/model/AlbumInfo.h"
#include "core/session/ORBEndpoints.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIPickerView.h"
#include "server/StandinServer.h"
#include "tests/circle/album/AlbumScreenTest.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

using namespace circletest;
using circle::UploadAlbumViewController;
using Cmd = core::ORBEndpoints::Cmd;

namespace {

class UploadAlbumTest : public AlbumScreenTest {
protected:
    std::shared_ptr<UploadAlbumViewController> openUpload()
    {
        auto screen = openByName<UploadAlbumViewController>("UploadAlbumViewController");
        if (screen && !until([&] { return !screen->allAlbumInfo().empty(); }))
            return nullptr;
        return screen;
    }
    // Chooses the album with that name in the chooser, as a person confirms a row.
    void choose(UploadAlbumViewController& screen, const std::string& name)
    {
        const auto& albums = screen.allAlbumInfo();
        long row = -1;
        for (std::size_t i = 0; i < albums.size(); ++i)
            if (albums[i]->albumName == name)
                row = long(i);
        ASSERT_GE(row, 0) << name;
        // By finger: the chooser's wheel comes up in the keys' place, turns
        // to the album and 完成 confirms it.
        auto chooser = screen.pickerView();
        ASSERT_TRUE(harness().tap(chooser));
        ASSERT_TRUE(chooser->isFirstResponder());
        ASSERT_TRUE(testsupport::spinPicker(chooser->currentPickerView(), row));
        ASSERT_TRUE(harness().tapButton("完成"));
        EXPECT_FALSE(chooser->isFirstResponder());
        EXPECT_EQ(chooser->text(), name);
    }
    void submit() { ASSERT_TRUE(harness().tap(outlet("btnSubmit"))); }
    std::size_t albumLists() const { return routeCount(kAlbumListRoute); }
};

TEST_F(UploadAlbumTest, AnAlbumMustBeChosenAndPhotosGivenBeforeAnythingIsSent)
{
    signIn();
    auto screen = openUpload();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "传照片");
    auto list = harness().server()->requests().withRoute(kAlbumListRoute).front();
    EXPECT_EQ(list.queryValue("page"), "1");
    EXPECT_EQ(list.queryValue("pageSize"), "1000");
    EXPECT_EQ(list.queryValue("userId"), "2001");
    EXPECT_EQ(screen->pickerView()->text(), UploadAlbumViewController::kChooseAlbumText);
    EXPECT_EQ(screen->albumId(), -1);
    EXPECT_EQ(testsupport::findOutlet<UITextView>(screen->view(), "descTextView")->text(), UploadAlbumViewController::kPlaceholder);

    // Photos chosen but no album: refused before any upload.
    attachPhoto(platform::Color::orangeColor());
    submit();
    EXPECT_EQ(harness().overlayText(), UploadAlbumViewController::kWrongAlbumText);
    letOverlayGo();
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(uploads().empty());

    // An album chosen but the photo removed: a short hint, and no overlay
    // left covering the window.
    choose(*screen, "运动会");
    EXPECT_EQ(screen->albumId(), 2);
    auto tile = screen->strip()->tiles().front();
    ASSERT_TRUE(harness().tap(tile));
    ASSERT_TRUE(harness().tapButton(MessageSendPhoto::kRemoveTitle));
    testsupport::settle(harness());
    submit();
    EXPECT_EQ(harness().overlayText(), UploadAlbumViewController::kNoPhotoText);
    letOverlayGo();
    EXPECT_EQ(harness().overlayText(), "");
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(uploads().empty());
    EXPECT_TRUE(requests(Cmd::kAddPhotos).empty());
}

TEST_F(UploadAlbumTest, PhotosAreAddedToTheChosenAlbumAndBothPagesHearOfIt)
{
    signIn();
    auto screen = openUpload();
    ASSERT_TRUE(screen);
    choose(*screen, "春游活动");
    const auto before = photosOf(1);
    attachPhoto(platform::Color::orangeColor());
    attachPhoto(platform::Color::greenColor());
    harness().render("circle-album-upload.png");

    // The placeholder is no description.
    submit();
    EXPECT_EQ(harness().overlayText(), circle::AlbumPhotoStrip::kSubmittingText);
    ASSERT_TRUE(waitForAnswer(Cmd::kAddPhotos));
    EXPECT_EQ(uploads().size(), 2u);
    auto sent = requests(Cmd::kAddPhotos).front();
    EXPECT_EQ(sent.route, "combine/html5");
    EXPECT_EQ(sent.bodyValue("albumId").intValue(), 1);
    EXPECT_EQ(sent.bodyValue("description"), platform::Value(""));
    auto tiles = screen->strip()->tiles();
    EXPECT_EQ(sent.bodyValue("photos").stringValue(), tiles[0]->info()->url + "," + tiles[1]->info()->url);
    auto after = photosOf(1);
    ASSERT_EQ(after.size(), before.size() + 2);
    EXPECT_EQ(after[before.size()], tiles[0]->info()->url);

    ASSERT_TRUE(until([&] { return harness().overlayText() == "相册更新成功"; }));
    std::vector<std::string> told;
    for (const auto& name : harness().notifications().names())
        if (name == circle::kUploadAlbumSuccessed || name == circle::kSendWeiboSuccess)
            told.push_back(name);
    EXPECT_EQ(told, (std::vector<std::string> { circle::kUploadAlbumSuccessed, circle::kSendWeiboSuccess }));
    harness().advance(UploadAlbumViewController::kCloseDelay);
    testsupport::settle(harness());
    EXPECT_NE(harness().topScreen(), screen);
}

TEST_F(UploadAlbumTest, ATypedDescriptionIsSentAndAnEmptyOneShowsThePlaceholderAgain)
{
    signIn();
    auto screen = openUpload();
    ASSERT_TRUE(screen);
    auto text = testsupport::findOutlet<UITextView>(screen->view(), "descTextView");
    screen->textViewDidBeginEditing(text.get());
    EXPECT_EQ(text->text(), "");
    EXPECT_EQ(text->textColor(), platform::Color::blackColor());
    screen->done();
    EXPECT_EQ(text->text(), UploadAlbumViewController::kPlaceholder);
    // A person who types the placeholder's words means them.
    screen->textViewDidBeginEditing(text.get());
    text->setText(UploadAlbumViewController::kPlaceholder);
    screen->done();
    choose(*screen, "六一儿童节");
    attachPhoto(platform::Color::blueColor());
    submit();
    ASSERT_TRUE(waitForAnswer(Cmd::kAddPhotos));
    EXPECT_EQ(requests(Cmd::kAddPhotos).front().bodyValue("description"),
        platform::Value(UploadAlbumViewController::kPlaceholder));
}

TEST_F(UploadAlbumTest, AnAlbumMadeFromHereIsListedAfterOneReload)
{
    signIn();
    auto screen = openUpload();
    ASSERT_TRUE(screen);
    choose(*screen, "运动会");
    for (const char* name : { "科技节", "读书月" }) {
        SCOPED_TRACE(name);
        const std::size_t lists = albumLists();
        ASSERT_TRUE(harness().tap(outlet("btnNewAlbum")));
        testsupport::settle(harness());
        auto create = std::dynamic_pointer_cast<circle::CreateAlbumViewController>(harness().topScreen());
        ASSERT_TRUE(create);
        ASSERT_TRUE(until([&] { return create->classId() == 101; }));
        testsupport::findOutlet<UITextField>(create->view(), "txtEdAlbumName")->setText(name);
        ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnSubmit")));
        ASSERT_TRUE(waitForRoute(kAlbumListRoute, lists + 1));
        harness().advance(circle::CreateAlbumViewController::kCloseDelay);
        testsupport::settle(harness());
        ASSERT_EQ(harness().topScreen(), screen);
        ASSERT_TRUE(harness().waitForServerQuiet());
        // One reload for one album, however often the create screen was opened.
        EXPECT_EQ(albumLists(), lists + 1);
        EXPECT_EQ(screen->albumId(), -1);
        EXPECT_EQ(screen->pickerView()->text(), UploadAlbumViewController::kChooseAlbumText);
        const auto& albums = screen->allAlbumInfo();
        EXPECT_TRUE(std::any_of(albums.begin(), albums.end(), [&](const auto& a) { return a->albumName == name; }));
    }
}

TEST_F(UploadAlbumTest, TheChooserSaysWhenThereIsNoAlbumOrTheListFailed)
{
    signIn();
    harness().server()->script().forRoute(kAlbumListRoute, server::ScriptedReply::custom(200, R"({"resultState":1,"items":[]})"));
    auto screen = openByName<UploadAlbumViewController>("UploadAlbumViewController");
    ASSERT_TRUE(screen);
    ASSERT_TRUE(until([&] { return screen->pickerView()->text() == UploadAlbumViewController::kNoAlbumsText; }));
    harness().server()->script().forRoute(kAlbumListRoute, server::ScriptedReply::errorEnvelope("服务器忙"));
    screen->loadAlbumList();
    ASSERT_TRUE(until([&] { return screen->pickerView()->text() == UploadAlbumViewController::kAlbumsFailedText; }));
    attachPhoto(platform::Color::orangeColor());
    submit();
    EXPECT_EQ(harness().overlayText(), UploadAlbumViewController::kWrongAlbumText);
}

TEST_F(UploadAlbumTest, TheCirclesComposeMenuOpensThisScreen)
{
    signIn();
    auto feed = openFeed();
    ASSERT_TRUE(feed);
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnWrite")));
    testsupport::settle(harness());
    ASSERT_TRUE(harness().tapButton("发班级相册"));
    testsupport::settle(harness());
    auto screen = std::dynamic_pointer_cast<UploadAlbumViewController>(harness().topScreen());
    ASSERT_TRUE(screen);
    ASSERT_TRUE(until([&] { return !screen->allAlbumInfo().empty(); }));
}

} // namespace
