// The photo and voice attachment tiles: their titles, their menus, one
// upload report per upload against the stand-in server, uploads not repeated,
// and tiles or delegates that went away.
#include "foundation/http/HTTPRequest.h"
#include "foundation/voice/VoiceFileConverter.h"
#include "messaging/send/MessageSendPhoto.h"
#include "messaging/send/MessageSendSound.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/messaging/send/SendHarness.h"
#include "tests/support/uikit/UIKitDriver.h"

using foundation::HTTPRequest;
using foundation::ProgressDelegate;

using namespace sendtest;
using server::ScriptedReply;

namespace {

// Counts what a photo tile told its screen.
class PhotoScreen final : public MessageSendPhotoDelegate {
public:
    PhotoScreen()
    {
        messageSendPhotoDidRemove = [this](MessageSendPhoto&) { events.push_back("remove"); };
        messageSendPhotoDidShow = [this](MessageSendPhoto&) { events.push_back("show"); };
        messageSendPhotoDidUpload = [this](MessageSendPhoto& tile) {
            events.push_back("upload");
            uploadedWithAddress.push_back(!tile.info()->url.empty() && !tile.info()->thumbUrl.empty());
        };
    }
    std::size_t count(const std::string& event) const { return std::count(events.begin(), events.end(), event); }
    std::vector<std::string> events;
    std::vector<bool> uploadedWithAddress;
};

class SoundScreen final : public MessageSendSoundDelegate {
public:
    SoundScreen()
    {
        messageSendSoundDidRemove = [this](MessageSendSound&) { events.push_back("remove"); };
        messageSendSoundDidPlay = [this](MessageSendSound&) { events.push_back("play"); };
        messageSendSoundDidUpload = [this](MessageSendSound&) { events.push_back("upload"); };
    }
    std::size_t count(const std::string& event) const { return std::count(events.begin(), events.end(), event); }
    std::vector<std::string> events;
};

class SendTiles : public SendTest {
protected:
    std::shared_ptr<core::SoundInfo> clip(int seconds)
    {
        auto sound = std::make_shared<core::SoundInfo>();
        sound->amrPath = writeAmr(seconds);
        sound->seconds = seconds;
        return sound;
    }
    std::string title(const MessageSendTile& tile) const { return tile.lblTitle() ? tile.lblTitle()->text() : "?"; }
    std::size_t uploads(const std::string& route) const { return requestsUnder(route); }
    // The tile on screen, as the writing screens put it.
    template <class T> void show(const std::shared_ptr<T>& tile) { UIWindow::keyWindow()->addSubview(tile); }
};

TEST_F(SendTiles, TitlesShowTheSizeTheLengthAndTheProgress)
{
    auto screen = std::make_shared<PhotoScreen>();
    auto photo = MessageSendPhoto::photoWithDelegate(screen);
    ASSERT_TRUE(photo->lblTitle() && photo->imgView() && photo->bgView()) << "the layout's outlets";
    EXPECT_DOUBLE_EQ(photo->bgView()->layer()->cornerRadius(), MessageSendTile::kCornerRadius);
    EXPECT_EQ(photo->imgView()->layer()->minificationFilter(), kCAFilterTrilinear);
    ASSERT_TRUE(photo->setImage(pickedImage()));
    const auto& info = *photo->info();
    ASSERT_TRUE(platform::FileUtil::isRegularFile(info.path));
    EXPECT_EQ(static_cast<int>(fileBytes(info.path).size()), info.size);
    EXPECT_EQ(title(*photo), std::to_string(info.size / 1024) + "K") << "whole kilobytes, rounded down";
    EXPECT_TRUE(photo->imgView()->image()) << "the thumbnail shows";

    // The upload reports its progress through the tile.
    photo->setProgress(0.5f);
    EXPECT_EQ(title(*photo), "50%");
    photo->setProgress(1.0f);
    EXPECT_EQ(title(*photo), "100%");

    auto sound = MessageSendSound::soundWithDelegate(std::make_shared<SoundScreen>());
    struct Length {
        int seconds;
        const char* shown;
    };
    for (Length length :
        { Length { 75, "1'15\"" }, Length { 59, "59\"" }, Length { 60, "1'0\"" }, Length { 0, "0\"" } }) {
        auto info = std::make_shared<core::SoundInfo>();
        info->seconds = length.seconds;
        sound->setInfo(info);
        EXPECT_EQ(title(*sound), length.shown) << length.seconds;
    }
    sound->setInfo(nullptr);
    EXPECT_EQ(title(*sound), "0\"") << "no clip leaves the title alone";
    ASSERT_TRUE(sound->imgIcon());
    EXPECT_EQ(sound->imgIcon()->animationImages().size(), 2u);
    EXPECT_DOUBLE_EQ(sound->imgIcon()->animationDuration(), 0.5);
    EXPECT_EQ(sound->imgIcon()->animationRepeatCount(), 2147483647L);
}

TEST_F(SendTiles, APhotoUploadsOnceIntoItsFolderAndReportsEachCall)
{
    auto screen = std::make_shared<PhotoScreen>();
    auto photo = MessageSendPhoto::photoWithDelegate(screen);
    ASSERT_TRUE(photo->setImage(pickedImage()));
    photo->upload(1);
    ASSERT_TRUE(photo->request());
    EXPECT_EQ(photo->request()->uploadProgressDelegate().lock().get(), static_cast<ProgressDelegate*>(photo.get()));
    ASSERT_TRUE(harness().runUntil([&] { return screen->count("upload") == 1; }, 30));
    EXPECT_EQ(uploads("upload/userpic/2001/1"), 1u) << "photo type 1 is the avatar folder";
    EXPECT_TRUE(photo->info()->url.starts_with(filesAddress("userpic"))) << photo->info()->url;
    EXPECT_FALSE(photo->info()->thumbUrl.empty());
    EXPECT_EQ(title(*photo), "已上传");
    EXPECT_EQ(screen->uploadedWithAddress, std::vector<bool> { true });

    // Sent again after another tile failed: reported at once, not uploaded again.
    photo->upload(1);
    photo->upload(0);
    EXPECT_EQ(screen->count("upload"), 3u);
    ASSERT_TRUE(harness().waitForServerQuiet());
    auto all = requests();
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const auto& r) { return r.route != "round-trip"; }), 1);
}

TEST_F(SendTiles, AnUnusableReplyOrAFailedUploadLeavesTheAttachmentWithoutAddress)
{
    standin().script().forRoute(
        "upload/msgpic", ScriptedReply::custom(200, R"({"resultState":1,"original":"http://127.0.0.1/o.jpg"})"));
    auto screen = std::make_shared<PhotoScreen>();
    auto photo = MessageSendPhoto::photoWithDelegate(screen);
    ASSERT_TRUE(photo->setImage(pickedImage()));
    photo->upload(0);
    ASSERT_TRUE(harness().runUntil([&] { return screen->count("upload") == 1; }, 30));
    EXPECT_EQ(title(*photo), "上传失败");
    EXPECT_TRUE(photo->info()->url.empty()) << "one address without the other is none";
    EXPECT_EQ(screen->uploadedWithAddress, std::vector<bool> { false });

    // The retry uploads again, and this time succeeds.
    photo->upload(0);
    ASSERT_TRUE(harness().runUntil([&] { return screen->count("upload") == 2; }, 30));
    EXPECT_EQ(title(*photo), "已上传");
    EXPECT_EQ(uploads("upload/msgpic"), 2u);

    auto soundScreen = std::make_shared<SoundScreen>();
    auto sound = MessageSendSound::soundWithDelegate(soundScreen);
    sound->setInfo(clip(2));
    standin().script().forRoute("upload/audio", ScriptedReply::connectionReset());
    sound->upload();
    ASSERT_TRUE(harness().runUntil([&] { return soundScreen->count("upload") == 1; }, 30));
    EXPECT_EQ(title(*sound), "上传失败");
    EXPECT_TRUE(sound->info()->url.empty());

    // A tile without a clip has no file to send: it fails without a request.
    auto empty = MessageSendSound::soundWithDelegate(soundScreen);
    std::size_t before = requests().size();
    empty->upload();
    ASSERT_TRUE(harness().runUntil([&] { return soundScreen->count("upload") == 2; }, 30));
    EXPECT_EQ(title(*empty), "上传失败");
    EXPECT_EQ(requests().size(), before);
}

TEST_F(SendTiles, AClipUploadsOnceAndTheTileIsThePlayersDelegate)
{
    auto screen = std::make_shared<SoundScreen>();
    auto sound = MessageSendSound::soundWithDelegate(screen);
    sound->setInfo(clip(2));
    platform::Bytes amr = fileBytes(sound->info()->amrPath);
    sound->upload();
    ASSERT_TRUE(harness().runUntil([&] { return screen->count("upload") == 1; }, 30));
    auto log = standin().requests().withRoute("upload/audio/2001/1");
    ASSERT_EQ(log.size(), 1u);
    ASSERT_TRUE(log[0].part("file"));
    EXPECT_EQ(log[0].part("file")->content, std::string(amr.begin(), amr.end()));
    EXPECT_TRUE(sound->info()->url.starts_with(filesAddress("audio"))) << sound->info()->url;
    EXPECT_EQ(title(*sound), "已上传");
    sound->upload();
    EXPECT_EQ(screen->count("upload"), 2u);
    EXPECT_EQ(uploads("upload/audio"), 1u);

    // Playing its clip animates the speaker until the clip ends.
    auto info = sound->info();
    info->wavPath = info->amrPath + ".wav";
    ASSERT_TRUE(foundation::VoiceFileConverter::amrToWav(info->amrPath, info->wavPath));
    MessageAudioPlayer::play(info, std::weak_ptr<MessageAudioPlayerDelegate>(sound));
    ASSERT_TRUE(MessageAudioPlayer::isPlaying());
    EXPECT_TRUE(sound->imgIcon()->isAnimating());
    harness().advance(3);
    EXPECT_FALSE(MessageAudioPlayer::isPlaying());
    EXPECT_FALSE(sound->imgIcon()->isAnimating());
}

TEST_F(SendTiles, TheMenusRemoveShowAndPlay)
{
    auto photoScreen = std::make_shared<PhotoScreen>();
    auto photo = MessageSendPhoto::photoWithDelegate(photoScreen);
    show(photo);
    ASSERT_TRUE(harness().tap(photo));
    auto sheet = UIActionSheet::currentSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "");
    EXPECT_EQ(sheet->buttonTitleAtIndex(0), "删除该照片");
    EXPECT_EQ(sheet->buttonTitleAtIndex(1), "查看大图");
    EXPECT_EQ(sheet->buttonTitleAtIndex(sheet->cancelButtonIndex()), "取消");
    ASSERT_TRUE(testsupport::tapSheetButton("查看大图"));
    ASSERT_TRUE(harness().tap(photo));
    ASSERT_TRUE(testsupport::tapSheetButton("删除该照片"));
    ASSERT_TRUE(harness().tap(photo));
    ASSERT_TRUE(testsupport::tapSheetButton("取消"));
    EXPECT_EQ(photoScreen->events, (std::vector<std::string> { "show", "remove" }));

    auto soundScreen = std::make_shared<SoundScreen>();
    auto sound = MessageSendSound::soundWithDelegate(soundScreen);
    sound->setInfo(clip(75));
    sound->setFrame(platform::Rect(100, 100, sound->frame().width(), sound->frame().height()));
    show(sound);
    ASSERT_TRUE(photo->setImage(pickedImage()));
    photo->setFrame(platform::Rect(20, 100, photo->frame().width(), photo->frame().height()));
    EXPECT_FALSE(harness().render("message_send_tiles.png").empty());
    ASSERT_TRUE(harness().tap(sound));
    ASSERT_TRUE(UIActionSheet::currentSheet());
    EXPECT_EQ(UIActionSheet::currentSheet()->buttonTitleAtIndex(0), "删除该声音");
    ASSERT_TRUE(testsupport::tapSheetButton("播放声音"));
    ASSERT_TRUE(harness().tap(sound));
    ASSERT_TRUE(testsupport::tapSheetButton("删除该声音"));
    EXPECT_EQ(soundScreen->events, (std::vector<std::string> { "play", "remove" }));
}

TEST_F(SendTiles, AGoneTileOrDelegateHearsNothing)
{
    // The tile removed while its upload runs: the upload is cancelled unheard.
    standin().script().forRoute("upload/msgpic", ScriptedReply::normal().delayed(0.5));
    auto screen = std::make_shared<PhotoScreen>();
    auto photo = MessageSendPhoto::photoWithDelegate(screen);
    ASSERT_TRUE(photo->setImage(pickedImage()));
    photo->upload(0);
    std::weak_ptr<HTTPRequest> request = photo->request();
    ASSERT_TRUE(harness().runUntil([&] { return uploads("upload/msgpic") == 1; }, 30));
    photo.reset();
    ASSERT_TRUE(standin().requests().waitForCount(1, std::chrono::seconds(30), true));
    ASSERT_TRUE(harness().waitForServerQuiet());
    EXPECT_TRUE(screen->events.empty());
    auto cancelled = request.lock();
    EXPECT_TRUE(!cancelled || cancelled->isCancelled());

    // A new upload replaces the running one, which then says nothing.
    standin().script().forRoute("upload/audio", ScriptedReply::normal().delayed(0.5));
    auto soundScreen = std::make_shared<SoundScreen>();
    auto sound = MessageSendSound::soundWithDelegate(soundScreen);
    sound->setInfo(clip(2));
    sound->upload();
    auto first = sound->request();
    sound->upload();
    EXPECT_NE(sound->request(), first);
    ASSERT_TRUE(harness().runUntil([&] { return soundScreen->count("upload") >= 1; }, 30));
    ASSERT_TRUE(harness().waitForServerQuiet());
    EXPECT_EQ(soundScreen->count("upload"), 1u);
    EXPECT_TRUE(first->isCancelled());

    // The screen gone first: the tile does not keep it, and tells nobody.
    std::weak_ptr<SoundScreen> gone = soundScreen;
    soundScreen.reset();
    EXPECT_TRUE(gone.expired()) << "the tile does not own its screen";
    standin().script().forRoute("upload/audio", ScriptedReply::connectionReset());
    sound->info()->url.clear();
    sound->upload();
    ASSERT_TRUE(harness().runUntil([&] { return sound->lblTitle()->text() == "上传失败"; }, 30))
        << sound->lblTitle()->text();
}

} // namespace
