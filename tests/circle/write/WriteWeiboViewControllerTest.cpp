// Writing a class-circle post from the feed's compose button against the
// in-process stand-in server: the scope list and picker, the length rule with
// wide characters, the checks in their order, photos uploaded to the post
// folder side by side and a failed one uploaded again alone, the post's body
// as sent, one announcement per post, the new post on top of the feed, and a
// reply that arrives after the screen has gone.
#include "circle/feed/CircleTargets.h"
#include "circle/feed/WeiboCell.h"
#include "circle/write/WriteWeiboViewController.h"
#include "app/main/ORBViewController.h"
#include "core/session/ORBEndpoints.h"
#include "messaging/send/MessageSendPhoto.h"
#include "platform/graphics/Image.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/circle/CircleTestSupport.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace circletest;
using circle::WriteWeiboViewController;
using server::ScriptedReply;

namespace {

constexpr const char* kPostWeibo = core::ORBEndpoints::Cmd::kPostWeibo;
constexpr const char* kScopesRoute = "webapp/base/tea/active_type";
constexpr const char* kUploadRoute = "upload/weibopic";

std::string repeat(const std::string& unit, int times)
{
    std::string text;
    for (int i = 0; i < times; ++i)
        text += unit;
    return text;
}

std::string writePicture(const std::string& name, const platform::Color& colour)
{
    std::string path = platform::FileUtil::joinPath(platform::AppPaths::temporaryDirectory(), name);
    EXPECT_TRUE(platform::Image(360, 270, 1.0, colour).writePNG(path));
    return path;
}

// Attaches the picture as the person does: the add button, "从相册中选取",
// the album's picker.
void attachPhoto(testsupport::AppHarness& harness, const std::string& path)
{
    ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnAddPhoto")));
    auto sheet = UIActionSheet::currentSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->title(), "选择一张图片");
    ASSERT_TRUE(harness.tapButton("从相册中选取"));
    testsupport::settle(harness);
    auto picker = std::dynamic_pointer_cast<UIImagePickerController>(harness.presentedScreen());
    ASSERT_TRUE(picker);
    EXPECT_EQ(picker->sourceType(), UIImagePickerControllerSourceTypeSavedPhotosAlbum);
    EXPECT_FALSE(picker->allowsEditing());
    ASSERT_TRUE(picker->pickImageAtPath(path));
    testsupport::settle(harness);
}

class WriteTest : public CircleScreenTest {
protected:
    void SetUp() override
    {
        CircleScreenTest::SetUp();
        UIImagePickerController::setCameraAvailable(false);
    }

    // The teacher's compose menu, "发个人动态": the writer with its scopes asked for.
    std::shared_ptr<WriteWeiboViewController> openWriter()
    {
        feed_ = openFeed();
        if (!feed_)
            return nullptr;
        harness().tap(harness().viewByOutlet("btnWrite"));
        testsupport::settle(harness());
        if (!harness().tapButton("发个人动态"))
            return nullptr;
        testsupport::settle(harness());
        auto screen = std::dynamic_pointer_cast<WriteWeiboViewController>(harness().topScreen());
        if (!screen || !waitForRoute(kScopesRoute, 1))
            return nullptr;
        // The keyboard comes up half a second after opening.
        harness().advance(WriteWeiboViewController::kKeyboardDelay);
        return screen;
    }

    void write(WriteWeiboViewController& screen, const std::string& text)
    {
        testsupport::findOutlet<UITextView>(screen.view(), "edText")->setText(text);
        screen.textViewDidChange(testsupport::findOutlet<UITextView>(screen.view(), "edText").get());
    }
    std::shared_ptr<UIView> outlet(const char* name) const { return harness().viewByOutlet(name); }
    void tapSend()
    {
        auto send = std::dynamic_pointer_cast<UIButton>(outlet("btnSend"));
        ASSERT_TRUE(send);
        send->sendActionsForControlEvents(UIControlEventTouchUpInside);
    }
    void expectAlert(const std::string& title, const std::string& message, const std::vector<std::string>& buttons)
    {
        auto alert = harness().currentAlert();
        ASSERT_TRUE(alert) << message;
        EXPECT_EQ(alert->title(), title);
        EXPECT_EQ(alert->message(), message);
        std::vector<std::string> titles;
        for (long i = 0; i < alert->numberOfButtons(); ++i)
            titles.push_back(alert->buttonTitleAtIndex(i));
        EXPECT_EQ(titles, buttons);
    }

    void attachPhoto(const std::string& path) { ::attachPhoto(harness(), path); }
    std::vector<std::shared_ptr<UIView>> tiles(WriteWeiboViewController& screen) const
    {
        return testsupport::findViewsByClass(testsupport::findOutlet<UIScrollView>(screen.view(), "photoContainer"), "MessageSendPhoto");
    }
    std::vector<server::LoggedRequest> uploads() const
    {
        std::vector<server::LoggedRequest> found;
        for (const auto& r : harness().serverRequests())
            if (r.route.starts_with(kUploadRoute))
                found.push_back(r);
        return found;
    }
    std::size_t answeredUploads() const
    {
        std::size_t n = 0;
        for (const auto& r : uploads())
            n += r.answered ? 1 : 0;
        return n;
    }
    std::size_t announced() const { return harness().notifications().count(circle::kSendWeiboSuccess); }

    std::shared_ptr<circle::HomeSchoolCircleViewController> feed_;
};

// The counter follows the length rule (ASCII half, everything else whole,
// an odd half rounded up; a character outside the basic plane is two
// units of UTF-16, so counts two): red below zero, and the send refuses.
// Then the checks stop at the first failing one, in this order: length,
// empty text, scope; with no scopes the field explains itself when tapped.
TEST_F(WriteTest, TheCounterAndEveryCheckInItsOrder)
{
    signIn();
    harness().server()->script().forRoute(kScopesRoute, ScriptedReply::errorEnvelope("无权限"));
    auto screen = openWriter();
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->title(), "写动态");
    EXPECT_EQ(testsupport::textOf(outlet("holdTextLbl")), "输入动态内容...");
    EXPECT_EQ(testsupport::findOutlet<UILabel>(screen->view(), "labRemainNum")->text(), "140");
    EXPECT_TRUE(testsupport::findOutlet<UITextView>(screen->view(), "edText")->isFirstResponder());
    EXPECT_EQ(testsupport::findOutlet<UITextField>(screen->view(), "edBrowseScope")->text(), "") << "no scopes came: the field stays empty";

    ASSERT_TRUE(testsupport::type(testsupport::findOutlet<UITextView>(screen->view(), "edText"), "春游"));
    EXPECT_EQ(testsupport::findOutlet<UILabel>(screen->view(), "labRemainNum")->text(), "138");
    EXPECT_TRUE(outlet("holdTextLbl")->isHidden());

    // The keyboard brings the close button; the photo row rides on the
    // keyboard and the text panel ends above it.
    auto photos = outlet("photoView");
    auto edit = outlet("editView");
    ASSERT_TRUE(platform::Keyboard::isVisible());
    EXPECT_EQ(outlet("btnClose")->alpha(), 1.0);
    EXPECT_EQ(photos->alpha(), 1.0);
    const auto liftedRow = photos->frame();
    const auto shortEdit = edit->frame();
    EXPECT_LE(shortEdit.maxY(), liftedRow.minY());
    EXPECT_LE(outlet("remainView")->frame().maxY(), shortEdit.height());
    harness().render("circle-write-keyboard.png");
    ASSERT_TRUE(harness().tap(outlet("btnClose")));
    EXPECT_FALSE(platform::Keyboard::isVisible());
    EXPECT_EQ(outlet("btnClose")->alpha(), 0.0);
    EXPECT_GT(photos->frame().minY(), liftedRow.minY());
    EXPECT_DOUBLE_EQ(outlet("bottomView")->frame().maxY(), screen->view()->bounds().height());
    EXPECT_GT(edit->frame().height(), shortEdit.height());
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UITextView>(screen->view(), "edText")));
    ASSERT_TRUE(platform::Keyboard::isVisible());

    struct Case {
        std::string text;
        std::string remaining;
    };
    const Case cases[] = {
        { std::string(280, 'a'), "0" },
        { std::string(281, 'a'), "-1" },
        { "a" + repeat("好", 139), "0" },
        { "abc" + repeat("好", 139), "-1" },
        { repeat("\U0001F600", 70), "0" },
        { repeat("\U0001F600", 71), "-2" },
        { repeat("好", 141), "-1" },
    };
    for (const auto& c : cases) {
        write(*screen, c.text);
        EXPECT_EQ(testsupport::findOutlet<UILabel>(screen->view(), "labRemainNum")->text(), c.remaining) << c.text;
        EXPECT_EQ(testsupport::findOutlet<UILabel>(screen->view(), "labRemainNum")->textColor() == platform::Color::redColor(), c.remaining != "0") << c.text;
    }

    // Too long (and no scope either): the length is what is said.
    tapSend();
    expectAlert("温馨提示", "最多输入140个文字", { "确定" });
    ASSERT_TRUE(harness().tapAlertButton("确定"));

    write(*screen, "");
    EXPECT_FALSE(outlet("holdTextLbl")->isHidden());
    tapSend();
    expectAlert("提示", "内容不能为空", { "确定" });
    ASSERT_TRUE(harness().tapAlertButton("确定"));

    // Spaces are text; the scope is what is missing now, and the keyboard went down.
    write(*screen, "   ");
    tapSend();
    EXPECT_EQ(harness().currentAlert(), nullptr);
    EXPECT_EQ(harness().overlayText(), "请选择公开范围");
    EXPECT_FALSE(platform::Keyboard::isVisible());
    harness().advance(WriteWeiboViewController::kHintPause + 0.5);
    EXPECT_EQ(harness().overlayText(), "");

    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UITextField>(screen->view(), "edBrowseScope")));
    EXPECT_FALSE(testsupport::findOutlet<UITextField>(screen->view(), "edBrowseScope")->isFirstResponder());
    EXPECT_EQ(harness().overlayText(), "正在加载班级列表，请稍等");
    EXPECT_FALSE(screen->isLoading());
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(requests(kPostWeibo).empty());
    EXPECT_TRUE(uploads().empty());
}

// The scopes arrive: the first is shown and is the one a post goes to until
// the person picks another (what the field shows is what is sent). A text
// with the characters a query would mangle and three photos, in a scope
// picked from the wheel: three uploads to the post folder, then one post
// with the exact text and the three addresses; one announcement, the feed
// reloaded once with the post on top in grid slots 3 to 5; the screen
// closes 1.5 s after "发送成功". A second tap while it sends sends nothing.
TEST_F(WriteTest, APostWithThreePhotosReachesTheServerAndTheTopOfTheFeed)
{
    signIn();
    auto screen = openWriter();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(until([&] { return !screen->classList().empty(); }));
    const auto& scopes = screen->classList();
    ASSERT_EQ(scopes.size(), 3u);
    EXPECT_EQ(scopes[0]->className, "全校");
    EXPECT_EQ(testsupport::findOutlet<UITextField>(screen->view(), "edBrowseScope")->text(), "全校");
    EXPECT_EQ(screen->classInfo()->classId, scopes[0]->classId);
    auto query = harness().server()->requests().withRoute(kScopesRoute).front();
    EXPECT_EQ(query.queryValue("teacherId"), "2001");
    EXPECT_EQ(query.queryValue("schoolId"), "1001");

    const std::string text = "周五春游 a&b=c #集合# 1+1=2 100% <b>";
    ASSERT_TRUE(testsupport::type(testsupport::findOutlet<UITextView>(screen->view(), "edText"), text));
    EXPECT_EQ(testsupport::findOutlet<UILabel>(screen->view(), "labRemainNum")->text(), "122");
    ASSERT_TRUE(harness().tap(outlet("btnClose")));
    EXPECT_FALSE(platform::Keyboard::isVisible());
    attachPhoto(writePicture("w1.png", platform::Color::fromRGB255(220, 120, 60)));
    attachPhoto(writePicture("w2.png", platform::Color::fromRGB255(80, 160, 220)));
    attachPhoto(writePicture("w3.png", platform::Color::fromRGB255(120, 190, 90)));
    ASSERT_EQ(tiles(*screen).size(), 3u);
    EXPECT_EQ(screen->photoCount(), 3);
    EXPECT_TRUE(outlet("lblPhotoEmpty")->isHidden());
    EXPECT_GT(tiles(*screen)[1]->frame().minX(), tiles(*screen)[0]->frame().maxX() - 0.5);
    harness().render("circle-write-photos.png");

    // The scope from the wheel: shown while turning, taken when the picker closes.
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<UITextField>(screen->view(), "edBrowseScope")));
    ASSERT_TRUE(testsupport::findOutlet<UITextField>(screen->view(), "edBrowseScope")->isFirstResponder());
    ASSERT_TRUE(screen->receiverPickerview()->superview());
    EXPECT_EQ(screen->receiverPickerview()->frame().height(), 216);
    EXPECT_EQ(screen->receiverPickerview()->titleForRow(2, 0), scopes[2]->className);
    ASSERT_TRUE(testsupport::spinPicker(screen->receiverPickerview(), 2));
    EXPECT_EQ(testsupport::findOutlet<UITextField>(screen->view(), "edBrowseScope")->text(), scopes[2]->className);
    EXPECT_EQ(screen->classInfo(), scopes[0]) << "taken when the picker closes";
    EXPECT_EQ(outlet("btnClose")->alpha(), 1.0);
    harness().render("circle-write-scope-picker.png");
    ASSERT_TRUE(harness().tap(outlet("btnClose")));
    EXPECT_EQ(screen->classInfo(), scopes[2]);
    EXPECT_FALSE(screen->receiverPickerview()->superview());
    EXPECT_EQ(outlet("btnClose")->alpha(), 0.0);

    const std::size_t feedLoads = routeCount(kFeedRoute);
    auto held = holdNext(kPostWeibo);
    tapSend();
    EXPECT_EQ(harness().overlayText(), "上传附件中");
    tapSend();
    ASSERT_TRUE(until([&] { return held->arrived() == 1 && harness().overlayText() == "正在发送话题..."; }));
    tapSend();
    EXPECT_EQ(uploads().size(), 3u);
    for (const auto& upload : uploads()) {
        EXPECT_EQ(upload.method, "POST");
        EXPECT_EQ(upload.route, "upload/weibopic/2001/1");
        ASSERT_TRUE(upload.part("file"));
        EXPECT_GT(upload.part("file")->size, 0u);
    }
    held->open();
    ASSERT_TRUE(waitForAnswer(kPostWeibo));
    ASSERT_TRUE(until([&] { return harness().overlayText() == "发送成功"; }));
    ASSERT_EQ(requests(kPostWeibo).size(), 1u);
    const auto sent = requests(kPostWeibo).front();
    EXPECT_EQ(sent.route, "combine/html5");
    EXPECT_EQ(sent.bodyValue("content").stringValue(), text);
    EXPECT_EQ(sent.bodyValue("pubType").intValue(), scopes[2]->classId);
    ASSERT_EQ(sent.bodyValue("images").count(), 3u);
    std::set<std::string> originals;
    for (const auto& image : *sent.bodyValue("images").asArray()) {
        EXPECT_TRUE(image["original"].stringValue().starts_with(harness().serverBase() + "mobile2/pull/files/weibopic/"))
            << image["original"].stringValue();
        EXPECT_TRUE(image["thumb"].stringValue().starts_with(harness().serverBase() + "mobile2/pull/files/weibopic/thumb/"));
        originals.insert(image["original"].stringValue());
    }
    EXPECT_EQ(originals.size(), 3u) << "each photo its own address";

    // Announced once: the feed reloads once, also after the screen has closed.
    EXPECT_EQ(announced(), 1u);
    harness().advance(1.0);
    EXPECT_EQ(harness().topScreen(), screen);
    harness().advance(0.6);
    testsupport::settle(harness());
    EXPECT_EQ(harness().topScreen(), feed_);
    harness().advance(3.0);
    ASSERT_TRUE(waitForRoute(kFeedRoute, feedLoads + 1));
    ASSERT_TRUE(harness().waitForServerQuiet());
    EXPECT_EQ(announced(), 1u);
    EXPECT_EQ(routeCount(kFeedRoute), feedLoads + 1);
    EXPECT_EQ(routeQuery(kFeedRoute, feedLoads, "page"), "1");

    ASSERT_TRUE(until([&] {
        auto cell = visibleCell<circle::WeiboCell>(*feed_->tableView(), 0);
        return cell && cell->data()->content == text;
    }));
    auto cell = visibleCell<circle::WeiboCell>(*feed_->tableView(), 0);
    ASSERT_EQ(cell->data()->images.size(), 3u);
    EXPECT_EQ(cell->data()->images[0]->original, sent.bodyValue("images")[0]["original"].stringValue());
    EXPECT_TRUE(testsupport::findOutlet<UIImageView>(cell, "imvBigContentImage")->isHidden());
    EXPECT_FALSE(testsupport::findOutlet<UIView>(cell, "smallContentImageContainer")->isHidden());
    const auto& slots = cell->imvSmallContentImages();
    ASSERT_EQ(slots.size(), 6u);
    for (std::size_t i = 0; i < slots.size(); ++i)
        EXPECT_EQ(slots[i]->isHidden(), i < 3) << "slot " << i;
    // The thumbnails come from the server too: drawn once they have arrived.
    ASSERT_TRUE(harness().waitForServerQuiet());
    testsupport::settle(harness());
    harness().render("circle-feed-after-post.png");
}

// Two photos, the first upload failing: one alert after both reported and
// nothing posted. "取消" keeps everything; a new send uploads only the one
// that failed. When it fails again, "重新提交" sends once more, again with
// that photo alone, and the post carries both addresses.
TEST_F(WriteTest, AFailedUploadIsSentAgainAlone)
{
    signIn();
    auto screen = openWriter();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(until([&] { return !screen->classList().empty(); }));
    write(*screen, "运动会照片");
    attachPhoto(writePicture("u1.png", platform::Color::fromRGB255(200, 60, 90)));
    attachPhoto(writePicture("u2.png", platform::Color::fromRGB255(60, 90, 200)));

    harness().server()->script().forRoute(kUploadRoute, ScriptedReply::http500Json());
    tapSend();
    ASSERT_TRUE(until([&] { return harness().currentAlert() != nullptr; }));
    EXPECT_EQ(answeredUploads(), 2u);
    expectAlert("提示", "1个附件上传失败", { "取消", "重新提交" });
    harness().advance(0.5);
    EXPECT_EQ(harness().overlayText(), "") << "the upload overlay is gone with the alert";
    ASSERT_TRUE(harness().tapAlertButton("取消"));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(requests(kPostWeibo).empty());
    EXPECT_EQ(tiles(*screen).size(), 2u);
    EXPECT_EQ(testsupport::findOutlet<UITextView>(screen->view(), "edText")->text(), "运动会照片");
    EXPECT_FALSE(screen->isLoading());

    harness().server()->script().forRoute(kUploadRoute, ScriptedReply::connectionReset());
    tapSend();
    ASSERT_TRUE(until([&] { return harness().currentAlert() != nullptr; }));
    EXPECT_EQ(uploads().size(), 3u) << "only the failed photo went up again";
    expectAlert("提示", "1个附件上传失败", { "取消", "重新提交" });
    ASSERT_TRUE(harness().tapAlertButton("重新提交"));
    ASSERT_TRUE(waitForAnswer(kPostWeibo));
    EXPECT_EQ(uploads().size(), 4u);
    const auto sent = requests(kPostWeibo).front();
    ASSERT_EQ(sent.bodyValue("images").count(), 2u);
    EXPECT_NE(sent.bodyValue("images")[0]["original"], sent.bodyValue("images")[1]["original"]);
    ASSERT_TRUE(until([&] { return harness().overlayText() == "发送成功"; }));
    EXPECT_EQ(announced(), 1u);
}

// A refused post says so, keeps the text and the photo and lets the person
// send again; a post without photos sends no "images" and goes to the scope
// shown. Six photos at most; removing one makes room; "查看大图" opens the
// browser at that photo.
TEST_F(WriteTest, ARefusedPostKeepsEverythingAndSixPhotosAtMost)
{
    signIn();
    auto screen = openWriter();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(until([&] { return !screen->classList().empty(); }));
    for (int i = 0; i < 6; ++i)
        attachPhoto(writePicture("s" + std::to_string(i) + ".png", platform::Color::fromRGB255(30 * i, 140, 200 - 20 * i)));
    ASSERT_EQ(tiles(*screen).size(), 6u);
    ASSERT_TRUE(harness().tap(outlet("btnAddPhoto")));
    EXPECT_EQ(UIActionSheet::currentSheet(), nullptr);
    EXPECT_EQ(harness().overlayText(), "最多只能添加6张图片");
    harness().advance(2.0);
    auto third = tiles(*screen)[2];
    ASSERT_TRUE(harness().tap(third));
    ASSERT_TRUE(harness().tapButton("查看大图"));
    testsupport::settle(harness());
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(harness().presentedScreen());
    ASSERT_TRUE(navigation);
    auto browser = std::dynamic_pointer_cast<PhotoBrowser>(navigation->viewControllers().front());
    ASSERT_TRUE(browser);
    EXPECT_EQ(browser->currentPageIndex(), 2u);
    EXPECT_EQ(browser->numberOfPhotos(), 6u);
    navigation->dismissViewControllerAnimated(false);
    testsupport::settle(harness());
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(harness().tap(tiles(*screen).front()));
        ASSERT_TRUE(harness().tapButton("删除该照片"));
        testsupport::settle(harness());
    }
    ASSERT_EQ(tiles(*screen).size(), 1u);
    EXPECT_EQ(screen->photoCount(), 1);
    attachPhoto(writePicture("again.png", platform::Color::fromRGB255(10, 200, 90)));
    ASSERT_EQ(tiles(*screen).size(), 2u);
    EXPECT_EQ(tiles(*screen)[1]->tag(), 1);
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(harness().tap(tiles(*screen).front()));
        ASSERT_TRUE(harness().tapButton("删除该照片"));
        testsupport::settle(harness());
    }
    EXPECT_FALSE(outlet("lblPhotoEmpty")->isHidden());

    write(*screen, "今天的作业是背诵课文");
    harness().server()->script().forCommand(kPostWeibo, ScriptedReply::errorEnvelope("系统维护"));
    tapSend();
    ASSERT_TRUE(until([&] { return harness().overlayText() == "发送话题失败,请重试..."; }));
    EXPECT_EQ(announced(), 0u);
    EXPECT_FALSE(screen->isLoading());
    EXPECT_EQ(testsupport::findOutlet<UITextView>(screen->view(), "edText")->text(), "今天的作业是背诵课文");
    harness().advance(2.0);
    EXPECT_EQ(harness().topScreen(), screen);

    tapSend();
    ASSERT_TRUE(waitForAnswer(kPostWeibo, 2));
    ASSERT_TRUE(until([&] { return harness().overlayText() == "发送成功"; }));
    const auto sent = requests(kPostWeibo).back();
    EXPECT_TRUE(sent.bodyValue("images").isNull()) << "no photos, no key";
    EXPECT_EQ(sent.bodyValue("pubType").intValue(), screen->classList().front()->classId)
        << "the scope the field showed, not a hidden default";
    EXPECT_EQ(screen->weiboInfo()->content, "今天的作业是背诵课文");
    // Sent and closing: a tap in the pause posts nothing more.
    tapSend();
    harness().advance(WriteWeiboViewController::kClosePause);
    testsupport::settle(harness());
    EXPECT_EQ(requests(kPostWeibo).size(), 2u);
    EXPECT_EQ(harness().topScreen(), feed_);
}

// A parent's compose button opens the writer at once; the scopes are asked
// for with the parent's own ids, and a text of spaces is text: it is sent
// as it is, to the first scope the field shows.
TEST_F(WriteTest, AParentWritesStraightFromTheComposeButton)
{
    signIn("13800000002", testsupport::kDemoParentPassword);
    feed_ = openFeed();
    ASSERT_TRUE(feed_);
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnWrite")));
    testsupport::settle(harness());
    EXPECT_EQ(testsupport::findOutlet<UIView>(feed_->view(), "dropDownView"), nullptr) << "no menu for a parent";
    auto screen = std::dynamic_pointer_cast<WriteWeiboViewController>(harness().topScreen());
    ASSERT_TRUE(screen);
    ASSERT_TRUE(waitForRoute(kScopesRoute, 1));
    EXPECT_EQ(routeQuery(kScopesRoute, 0, "teacherId"), "3001");
    ASSERT_TRUE(until([&] { return !screen->classList().empty(); }));
    EXPECT_EQ(testsupport::findOutlet<UITextField>(screen->view(), "edBrowseScope")->text(), screen->classList().front()->className);

    write(*screen, "   ");
    tapSend();
    ASSERT_TRUE(waitForAnswer(kPostWeibo));
    ASSERT_TRUE(until([&] { return harness().overlayText() == "发送成功"; }));
    const auto sent = requests(kPostWeibo).front();
    EXPECT_EQ(sent.bodyValue("content").stringValue(), "   ");
    EXPECT_EQ(sent.bodyValue("pubType").intValue(), screen->classList().front()->classId);
    EXPECT_EQ(sent.bodyValue("userId").intValue(), 3001);
    EXPECT_EQ(announced(), 1u);
}

// The person leaves while the post is out: the screen goes at once and is
// never called back, yet the post, once accepted, is announced (the feed
// reloads) and the window's overlay is taken down.
TEST_F(WriteTest, ALateReplyReachesTheFeedButNotTheScreenThatLeft)
{
    signIn();
    auto screen = openWriter();
    ASSERT_TRUE(screen);
    ASSERT_TRUE(until([&] { return !screen->classList().empty(); }));
    write(*screen, "晚到的回复");
    auto held = holdNext(kPostWeibo);
    tapSend();
    ASSERT_TRUE(until([&] { return held->arrived() == 1 && harness().overlayText() == "正在发送话题..."; }));

    auto back = std::dynamic_pointer_cast<UIButton>(outlet("btnBack"));
    ASSERT_TRUE(back);
    back->sendActionsForControlEvents(UIControlEventTouchUpInside);
    testsupport::settle(harness());
    EXPECT_EQ(harness().topScreen(), feed_);
    std::weak_ptr<WriteWeiboViewController> gone = screen;
    screen.reset();
    EXPECT_TRUE(gone.expired()) << "nothing the screen handed out holds it";

    const std::size_t feedLoads = routeCount(kFeedRoute);
    held->open();
    ASSERT_TRUE(waitForAnswer(kPostWeibo));
    ASSERT_TRUE(until([&] { return harness().overlayText() == "发送成功"; }));
    EXPECT_EQ(announced(), 1u);
    ASSERT_TRUE(waitForRoute(kFeedRoute, feedLoads + 1));
    // The feed's reload has its own overlay; once it is answered and the
    // pause is over, nothing covers the window.
    ASSERT_TRUE(harness().waitForServerQuiet());
    harness().advance(2.0);
    EXPECT_TRUE(until([&] { return harness().overlayText().empty(); })) << harness().overlayText();
    EXPECT_EQ(harness().navigationStack().size(), 1u);
    EXPECT_EQ(harness().topScreen(), feed_);
}

} // namespace

namespace {

// A view's frame in the window's (the screen's) coordinates.
platform::Rect onScreen(const std::shared_ptr<UIView>& view) { return view->convertRectToView(view->bounds(), nullptr); }

bool isWithin(const std::shared_ptr<UIView>& hit, const std::shared_ptr<UIView>& view)
{
    for (auto at = hit; at; at = at->superview())
        if (at == view)
            return true;
    return false;
}

// What the person must see and reach with the keyboard up: inside the
// screen, below the navigation bar, above the keyboard, and the finger on
// its centre lands on it.
void expectInSightAndReachable(testsupport::AppHarness& harness, const std::shared_ptr<UIView>& view, double barBottom, const std::string& what)
{
    SCOPED_TRACE(what);
    const auto frame = onScreen(view);
    const auto screen = UIScreen::mainScreen()->bounds();
    const auto keyboard = platform::Keyboard::frame();
    EXPECT_GT(view->alpha(), 0.5);
    EXPECT_GE(frame.minX(), screen.minX());
    EXPECT_LE(frame.maxX(), screen.maxX());
    EXPECT_GE(frame.minY(), barBottom);
    EXPECT_LE(frame.maxY(), keyboard.minY());
    auto hit = harness.window()->hitTest(platform::Point(frame.midX(), frame.midY()), nullptr);
    EXPECT_TRUE(isWithin(hit, view)) << (hit ? hit->className() : std::string("nothing"));
}

// On the 3.5-inch screen the rest layout is 88 points shorter in the text
// panel and the strip and bar move up as much, so the bar ends at the
// screen's bottom. With the keyboard up in the text and two photos
// attached, on both screens, the photos and the add button ride on the
// keyboard, inside the screen and reachable; the text panel ends above them
// with at least two lines of text, and the caret of a long text is in
// sight. When the keyboard goes, every view is back where it was.
TEST(WriteWeiboScreen, PhotosAndTheAddButtonStayAboveTheKeyboardOnBothScreens)
{
    std::map<bool, double> panels;
    testsupport::onBothScreens([&](testsupport::AppHarness& harness, bool tall) {
        UIImagePickerController::setCameraAvailable(false);
        ASSERT_TRUE(testsupport::signInThroughScreens(harness, testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword));
        auto main = testsupport::mainScreen();
        main->switchToView(ORBViewController::kCircleTab);
        testsupport::settle(harness);
        auto screen = std::make_shared<WriteWeiboViewController>();
        main->viewControllers().at(ORBViewController::kCircleTab)->pushViewController(screen, false);
        // Short of the half second after which the keyboard comes up.
        testsupport::settle(harness, 0.2);
        ASSERT_EQ(harness.topScreen(), screen);
        ASSERT_FALSE(platform::Keyboard::isVisible());
        attachPhoto(harness, writePicture("k1.png", platform::Color::fromRGB255(220, 120, 60)));
        attachPhoto(harness, writePicture("k2.png", platform::Color::fromRGB255(80, 160, 220)));
        auto container = std::dynamic_pointer_cast<UIScrollView>(harness.viewByOutlet("photoContainer"));
        ASSERT_TRUE(container);
        const auto photos = testsupport::findViewsByClass(container, "MessageSendPhoto");
        ASSERT_EQ(photos.size(), 2u);
        ASSERT_EQ(harness.topScreen(), screen);
        ASSERT_FALSE(platform::Keyboard::isVisible());

        auto bar = harness.viewByOutlet("bottomView");
        auto edit = harness.viewByOutlet("editView");
        auto add = harness.viewByOutlet("btnAddPhoto");
        auto text = std::dynamic_pointer_cast<UITextView>(harness.viewByOutlet("edText"));
        ASSERT_TRUE(bar && edit && add && text);
        EXPECT_DOUBLE_EQ(bar->frame().maxY(), screen->view()->bounds().height());
        EXPECT_LE(harness.viewByOutlet("photoView")->frame().maxY(), bar->frame().minY());
        panels[tall] = edit->frame().height();
        const char* outlets[] = { "editView", "edText", "remainView", "btnClose", "photoView", "photoContainer", "lblPhotoEmpty",
            "bottomView", "btnAddPhoto", "btnAddPhotoTitle" };
        std::map<std::string, std::pair<platform::Rect, double>> resting;
        for (const char* name : outlets) {
            auto view = harness.viewByOutlet(name);
            ASSERT_TRUE(view) << name;
            resting[name] = { onScreen(view), view->alpha() };
        }
        std::vector<platform::Rect> restingPhotos;
        for (const auto& photo : photos)
            restingPhotos.push_back(onScreen(photo));

        // Empty, the caret blinks before the placeholder, for a look.
        ASSERT_TRUE(harness.tap(text));
        testsupport::settle(harness, 0.3);
        harness.render(tall ? "circle-write-keyboard-empty-4inch.png" : "circle-write-keyboard-empty-3.5inch.png");

        // Six lines written before, the caret at the end of the last; the
        // person taps the text to go on.
        text->setText("第一行\n第二行\n第三行\n第四行\n第五行\n第六行");
        screen->textViewDidChange(text.get());
        ASSERT_TRUE(harness.tap(text));
        testsupport::settle(harness, 0.3);
        ASSERT_TRUE(platform::Keyboard::isVisible());
        ASSERT_TRUE(text->isFirstResponder());
        const auto keyboard = platform::Keyboard::frame();
        const double barBottom = onScreen(screen->view()).minY();
        EXPECT_LE(barBottom + screen->view()->bounds().height(), UIScreen::mainScreen()->bounds().maxY());
        for (std::size_t i = 0; i < photos.size(); ++i)
            expectInSightAndReachable(harness, photos[i], barBottom, "photo " + std::to_string(i));
        expectInSightAndReachable(harness, add, barBottom, "the add-photo button");
        expectInSightAndReachable(harness, harness.viewByOutlet("btnClose"), barBottom, "the close button");
        expectInSightAndReachable(harness, harness.viewByOutlet("edBrowseScope"), barBottom, "the scope field");

        // The text: above the photo row, two lines at least, the caret inside it.
        EXPECT_LE(onScreen(edit).maxY(), onScreen(harness.viewByOutlet("photoView")).minY());
        EXPECT_LE(onScreen(harness.viewByOutlet("remainView")).maxY(), onScreen(edit).maxY());
        EXPECT_GE(text->frame().height(), 2 * text->font().lineHeight() + 2 * UITextView::kVerticalInset - 0.5);
        const auto caret = text->caretRect();
        EXPECT_TRUE(text->bounds().contains(caret)) << "the caret is scrolled into the text view";
        const auto caretOnScreen = text->convertRectToView(caret, nullptr);
        EXPECT_GE(caretOnScreen.minY(), barBottom);
        EXPECT_LE(caretOnScreen.maxY(), keyboard.minY());
        EXPECT_LE(caretOnScreen.maxY(), onScreen(edit).maxY());
        harness.render(tall ? "circle-write-keyboard-photos-4inch.png" : "circle-write-keyboard-photos-3.5inch.png");

        const auto packedPhoto = onScreen(photos[1]);
        ASSERT_TRUE(harness.tap(harness.viewByOutlet("btnClose")));
        testsupport::settle(harness, 0.3);
        ASSERT_FALSE(platform::Keyboard::isVisible());
        for (const char* name : outlets) {
            auto view = harness.viewByOutlet(name);
            EXPECT_EQ(onScreen(view), resting[name].first) << name;
            EXPECT_EQ(view->alpha(), resting[name].second) << name;
        }
        for (std::size_t i = 0; i < photos.size(); ++i)
            EXPECT_EQ(onScreen(photos[i]), restingPhotos[i]) << "photo " << i;

        // Up again, the same way; a finger on a photo there gets its menu.
        ASSERT_TRUE(harness.tap(text));
        testsupport::settle(harness, 0.3);
        ASSERT_TRUE(platform::Keyboard::isVisible());
        EXPECT_EQ(onScreen(photos[1]), packedPhoto);
        ASSERT_TRUE(harness.tap(photos[1]));
        EXPECT_TRUE(UIActionSheet::currentSheet());
        EXPECT_TRUE(harness.tapButton(MessageSendPhoto::kRemoveTitle));
        testsupport::settle(harness);
        EXPECT_EQ(testsupport::findViewsByClass(container, "MessageSendPhoto").size(), 1u);
    });
    EXPECT_DOUBLE_EQ(panels[false], panels[true] - BaseViewController::kShortScreenCut);
}

} // namespace
