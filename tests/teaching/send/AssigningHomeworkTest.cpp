// Homework with a photo against the stand-in server on the manual clock: the
// two lists' states, the wheels, the completion day compared by calendar day,
// every check in order, the photo limit, a failed upload whose "重新提交"
// uploads it again, a refused send that does not upload again, one send at a
// time, the notification with the screen, and the homework stored.
#include "teaching/send/SendFormLook.h"
#include "teaching/send/AssigningHomeworkViewController.h"

#include "core/session/ORBEndpoints.h"
#include "messaging/send/MessageSendPhoto.h"
#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UIWindow.h"
#include "server/ReplyGate.h"
#include "server/TeachingSends.h"
#include "tests/app/ScreenWithKeyboard.h"
#include "tests/teaching/send/SendScreenTest.h"

using server::ScriptedReply;
using namespace testsupport;

namespace {

constexpr const char* kHomework = core::ORBEndpoints::Cmd::kHomework;
constexpr const char* kSubjects = core::ORBEndpoints::Cmd::kSubjects;
constexpr const char* kUploadRoute = "upload/homeworkpic/2001/1";

class AssigningHomeworkTest : public SendScreenTest {
protected:
    std::shared_ptr<AssigningHomeworkViewController> openHomework()
    {
        auto screen = open(std::make_shared<AssigningHomeworkViewController>(clock()), 0);
        // Both lists arrived: the fields may be enabled before their requests start.
        EXPECT_TRUE(harness().runUntil([&] {
            return screen->numberOfRowsInComponent(wheelOf("edKeCheng").get(), 0) > 0
                && screen->numberOfRowsInComponent(wheelOf("edClass").get(), 0) > 0
                && field("edKeCheng")->isEnabled() && field("edClass")->isEnabled();
        }));
        return screen;
    }
    std::shared_ptr<UIView> fileContainer() const { return harness().viewByOutlet("fileContainer"); }
    // The camera button beside the attachment area.
    std::shared_ptr<UIView> cameraButton() const { return fileContainer()->superview()->subviews().front(); }
    void attachPhoto(const platform::Color& colour)
    {
        std::string path = platform::FileUtil::joinPath(platform::AppPaths::temporaryDirectory(), "homework.png");
        ASSERT_TRUE(platform::Image(900, 600, 1.0, colour).writePNG(path));
        tapOn(cameraButton());
        ASSERT_TRUE(harness().tapButton(AssigningHomeworkViewController::kFromAlbum));
        settle(harness());
        auto picker = std::dynamic_pointer_cast<UIImagePickerController>(harness().presentedScreen());
        ASSERT_NE(picker, nullptr);
        EXPECT_EQ(picker->sourceType(), UIImagePickerControllerSourceTypeSavedPhotosAlbum);
        ASSERT_TRUE(picker->pickImageAtPath(path));
        settle(harness());
    }
    std::shared_ptr<MessageSendPhoto> tile() const
    {
        auto tiles = fileContainer()->subviews();
        return tiles.empty() ? nullptr : std::dynamic_pointer_cast<MessageSendPhoto>(tiles.front());
    }
    // The wheel a list field opens in the keyboard's place.
    std::shared_ptr<UIPickerView> wheelOf(const char* outlet) const
    {
        return std::dynamic_pointer_cast<UIPickerView>(field(outlet)->inputView());
    }
    // Chooses a row of a list field's wheel and closes it with Done.
    void choose(AssigningHomeworkViewController& screen, const char* outlet, long row)
    {
        tapOn(field(outlet));
        ASSERT_TRUE(field(outlet)->isFirstResponder());
        auto wheel = wheelOf(outlet);
        ASSERT_NE(wheel, nullptr) << outlet;
        if (row > 0) {
            ASSERT_TRUE(spinPicker(wheel, row));
        }
        screen.selectedReceiver();
        harness().loop().runUntilIdle();
    }
    void pickDay(AssigningHomeworkViewController& screen, platform::Date day)
    {
        tapOn(field("edFinishDate"));
        ASSERT_TRUE(field("edFinishDate")->isFirstResponder());
        screen.datePicker()->spinToDate(day);
        screen.selectedReceiver();
        harness().loop().runUntilIdle();
    }
};

TEST_F(AssigningHomeworkTest, ListsChecksAndTheCompletionDay)
{
    signIn();
    auto subjectsGate = holdNext(kSubjects);
    auto screen = open(std::make_shared<AssigningHomeworkViewController>(clock()), 0);
    // The loading text comes with the request's start on the main loop, which
    // may follow the request's arrival at the server.
    ASSERT_TRUE(harness().runUntil([&] {
        return subjectsGate->arrived() == 1 && field("edClass")->isEnabled()
            && field("edKeCheng")->text() == AssigningHomeworkViewController::kLoadingSubjects;
    }));
    EXPECT_EQ(screen->title(), "新建作业");
    EXPECT_FALSE(field("edKeCheng")->isEnabled());
    // The class list came: the field is empty until a class is chosen.
    EXPECT_EQ(field("edClass")->text(), "");
    EXPECT_EQ(field("edFinishDate")->text(), "2026-12-07");
    subjectsGate->open();
    ASSERT_TRUE(harness().runUntil([&] { return field("edKeCheng")->isEnabled(); }));
    EXPECT_EQ(field("edKeCheng")->text(), "");

    // Every check in order; each one stops the send with its words.
    EXPECT_EQ(overlayAfterTapping("发布"), AssigningHomeworkViewController::kNeedSubject);
    letOverlayGo();
    // Each list field has a wheel of its own.
    EXPECT_NE(wheelOf("edKeCheng"), wheelOf("edClass"));
    choose(*screen, "edKeCheng", 1);
    EXPECT_EQ(field("edKeCheng")->text(), "数学");
    EXPECT_EQ(overlayAfterTapping("发布"), AssigningHomeworkViewController::kNeedClass);
    letOverlayGo();
    // Done without turning the wheel takes the row it shows: the first class.
    choose(*screen, "edClass", 0);
    EXPECT_EQ(field("edClass")->text(), "三年级(1)班");
    EXPECT_EQ(overlayAfterTapping("发布"), AssigningHomeworkViewController::kNeedContent);
    letOverlayGo();

    // A day before today is refused and the field keeps its day; today is
    // taken although its midnight is long past, and so is a later day.
    pickDay(*screen, localTime(6, 23, 58));
    EXPECT_EQ(harness().overlayText(), AssigningHomeworkViewController::kDayRefused);
    EXPECT_EQ(field("edFinishDate")->text(), "2026-12-07");
    letOverlayGo();
    pickDay(*screen, localTime(10, 8, 0));
    EXPECT_EQ(field("edFinishDate")->text(), "2026-12-10");
    // The day wheels show where the keyboard is, the chosen day in their middle band.
    tapOn(field("edFinishDate"));
    ASSERT_TRUE(field("edFinishDate")->isFirstResponder());
    auto shot = UIWindow::renderScreen(1);
    ASSERT_TRUE(shot);
    EXPECT_NEAR(shot->colorAt(4, int(platform::Keyboard::frame().minY() + 44 + 108)).red, 0.9, 0.006);
    harness().render("teaching-homework-date.png");
    screen->selectedReceiver();
    pickDay(*screen, localTime(7, 0, 0));
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_EQ(field("edFinishDate")->text(), "2026-12-07");
    // Two minutes on, the 7th is yesterday.
    harness().advance(120);
    pickDay(*screen, localTime(7, 12, 0));
    EXPECT_EQ(harness().overlayText(), AssigningHomeworkViewController::kDayRefused);
    letOverlayGo();
    pickDay(*screen, localTime(8, 0, 0));
    EXPECT_EQ(field("edFinishDate")->text(), "2026-12-08");
    letOverlayGo();

    ASSERT_TRUE(testsupport::type(textArea("tvContent"), "背诵课文第三段"));
    screen->selectedReceiver();
    field("edFinishDate")->setText("");
    EXPECT_EQ(overlayAfterTapping("发布"), AssigningHomeworkViewController::kNeedDay);
    EXPECT_TRUE(requests(kHomework).empty());
}

TEST_F(AssigningHomeworkTest, AListThatFailedIsNoChoice)
{
    signIn();
    harness().server()->script().forCommand(kSubjects, ScriptedReply::errorEnvelope("课程服务不可用"));
    harness().server()->script().forRoute("webapp/base/tea/class_list",
        ScriptedReply::custom(200, R"({"resultState":1,"resultMsg":"","items":[]})"));
    auto screen = open(std::make_shared<AssigningHomeworkViewController>(clock()), 0);
    ASSERT_TRUE(harness().runUntil([&] {
        return field("edKeCheng")->text() == AssigningHomeworkViewController::kSubjectsFailed
            && field("edClass")->text() == AssigningHomeworkViewController::kNoClasses;
    }));
    EXPECT_FALSE(field("edKeCheng")->isEnabled());
    EXPECT_FALSE(field("edClass")->isEnabled());
    ASSERT_TRUE(testsupport::type(textArea("tvContent"), "练习册第5页"));
    screen->selectedReceiver();
    // The status texts are not a subject and a class.
    EXPECT_EQ(overlayAfterTapping("发布"), AssigningHomeworkViewController::kNeedSubject);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(requests(kHomework).empty());
}

TEST_F(AssigningHomeworkTest, APhotoOnlyHomeworkIsUploadedAgainOnlyWhenItsUploadFailed)
{
    signIn();
    auto screen = openHomework();
    choose(*screen, "edKeCheng", 2);
    choose(*screen, "edClass", 1);
    attachPhoto(platform::Color::fromRGB255(80, 150, 220));
    ASSERT_NE(tile(), nullptr);
    EXPECT_EQ(screen->photoCount(), 1);
    // One photo at most.
    tapOn(cameraButton());
    EXPECT_EQ(harness().overlayText(), "最多只能添加1张图片");
    EXPECT_EQ(testsupport::currentSheet(), nullptr);
    letOverlayGo();
    harness().render("teaching-homework-photo.png");

    // The upload fails: the alert counts it and nothing is sent.
    auto uploadGate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kUploadRoute, ScriptedReply::http500Json().heldBy(uploadGate));
    ASSERT_TRUE(harness().tapButton("发布"));
    ASSERT_TRUE(harness().runUntil(
        [&] { return uploadGate->arrived() == 1 && harness().overlayText() == AssigningHomeworkViewController::kUploading; }));
    uploadGate->open();
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    EXPECT_EQ(alertText(), "提示|1个附件上传失败|取消|重新提交");
    EXPECT_EQ(harness().overlayText(), "");
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(requests(kHomework).empty());
    EXPECT_EQ(routed(kUploadRoute).size(), 1u);
    EXPECT_TRUE(tile()->info()->url.empty());

    // "重新提交" uploads the photo again; the server then refuses the homework.
    harness().server()->script().forCommand(kHomework, ScriptedReply::errorEnvelope("作业服务繁忙"));
    ASSERT_TRUE(harness().tapAlertButton(AssigningHomeworkViewController::kUploadAgain));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "作业服务繁忙"; }));
    EXPECT_EQ(routed(kUploadRoute).size(), 2u);
    ASSERT_EQ(requests(kHomework).size(), 1u);
    const std::string original = tile()->info()->url;
    EXPECT_FALSE(original.empty());
    EXPECT_EQ(requests(kHomework).front().bodyValue("original").stringValue(), original);
    letOverlayGo();

    // Sent again: the photo kept its addresses and is not uploaded a third
    // time. The answer is held, and a second press meanwhile sends nothing.
    auto gate = holdNext(kHomework);
    ASSERT_TRUE(harness().tapButton("发布"));
    ASSERT_TRUE(harness().runUntil([&] { return gate->arrived() == 1; }));
    EXPECT_TRUE(harness().runUntil([&] { return harness().overlayText() == AssigningHomeworkViewController::kStartedText; }));
    EXPECT_TRUE(screen->isLoading());
    EXPECT_FALSE(harness().tapButton("发布"));
    screen->btnSendAction(nullptr);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(requests(kHomework).size(), 2u);
    EXPECT_EQ(routed(kUploadRoute, false).size(), 2u);
    gate->open();
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "作业布置成功"; }));

    auto sent = requests(kHomework).back();
    EXPECT_EQ(sent.bodyValue("original").stringValue(), original);
    EXPECT_EQ(sent.bodyValue("thumb").stringValue(), tile()->info()->thumbUrl);
    EXPECT_EQ(sent.bodyValue("content").stringValue(), "");
    EXPECT_EQ(sent.bodyValue("subject").stringValue(), "英语");
    EXPECT_EQ(sent.bodyValue("subjectId").intValue(), 3);
    EXPECT_EQ(sent.bodyValue("className").stringValue(), "三年级(2)班");
    EXPECT_EQ(sent.bodyValue("classId").intValue(), 102);
    EXPECT_EQ(sent.bodyValue("dateTime").stringValue(), "2026-12-07");

    // 1.5 s later the page hears of it, with the screen, as the screen closes.
    EXPECT_EQ(harness().notifications().count(AssigningHomeworkViewController::kSentNotification), 0u);
    harness().advance(AssigningHomeworkViewController::kCloseDelay + 0.1);
    settle(harness());
    ASSERT_EQ(harness().notifications().count(AssigningHomeworkViewController::kSentNotification), 1u);
    for (const auto& posted : harness().notifications().posted()) {
        if (posted.name == AssigningHomeworkViewController::kSentNotification) {
            EXPECT_EQ(posted.object.objectAs<AssigningHomeworkViewController>(), screen);
        }
    }
    EXPECT_NE(harness().topScreen(), screen);

    auto data = storedData();
    ASSERT_NE(data, nullptr);
    auto stored = server::teachingsends::homework(*data, 102);
    ASSERT_EQ(stored.size(), 1u);
    EXPECT_EQ(stored[0]["original"].stringValue(), original);
    EXPECT_EQ(stored[0]["subject"].stringValue(), "英语");
    EXPECT_EQ(stored[0]["content"].stringValue(), "");
}

TEST_F(AssigningHomeworkTest, ARemovedPhotoFreesItsPlaceAndTextAloneIsSent)
{
    signIn();
    auto screen = openHomework();
    attachPhoto(platform::Color::fromRGB255(220, 120, 60));
    ASSERT_NE(tile(), nullptr);
    ASSERT_TRUE(screen->messageSendPhotoDidRemove);
    screen->messageSendPhotoDidRemove(*tile());
    EXPECT_EQ(tile(), nullptr);
    EXPECT_EQ(screen->photoCount(), 0);
    attachPhoto(platform::Color::fromRGB255(60, 160, 90));
    EXPECT_EQ(screen->photoCount(), 1);
    screen->messageSendPhotoDidRemove(*tile());

    choose(*screen, "edKeCheng", 0);
    choose(*screen, "edClass", 0);
    // The subject wheel up, as the person sees it.
    tapOn(field("edKeCheng"));
    ASSERT_TRUE(spinPicker(wheelOf("edKeCheng"), 1));
    harness().render("teaching-homework-picker.png");
    // The wheel is drawn where the keyboard is, under the bar with Done: the
    // bar dark, the wheel's middle band light grey.
    auto shot = UIWindow::renderScreen(1);
    ASSERT_TRUE(shot);
    const auto keyboard = platform::Keyboard::frame();
    EXPECT_EQ(keyboard.height(), AssigningHomeworkViewController::kPickerHeight + 44);
    EXPECT_LT(shot->colorAt(4, int(keyboard.minY() + 22)).red, 0.5);
    EXPECT_NEAR(shot->colorAt(4, int(keyboard.minY() + 44 + 108)).red, 0.9, 0.006);
    screen->selectedReceiver();
    auto contentView = testsupport::findViewByOutlet(screen->view(), "contentView");
    ASSERT_NE(contentView, nullptr);
    const auto restingContent = contentView->frame();
    const auto restingText = textArea("tvContent")->frame();
    ASSERT_TRUE(testsupport::type(textArea("tvContent"), "口算 20 道 & 听写=10 个"));
    // The content rises for the keys, and what is typed stays in sight.
    EXPECT_LT(contentView->frame().origin.y, restingContent.origin.y);
    expectTypedLineSeen(textArea("tvContent"), *screen);
    EXPECT_FALSE(renderWithKeyboard(harness(), "teaching-homework-keyboard.png").empty());
    screen->selectedReceiver();
    EXPECT_EQ(contentView->frame(), restingContent);
    EXPECT_EQ(textArea("tvContent")->frame(), restingText);
    auto gate = holdNext(kHomework);
    ASSERT_TRUE(harness().tapButton("发布"));
    ASSERT_TRUE(harness().runUntil([&] { return gate->arrived() == 1; }));
    // Nothing to upload: the request goes out at once.
    const auto shown = harness().overlayText();
    EXPECT_TRUE(shown == AssigningHomeworkViewController::kSubmitting || shown == AssigningHomeworkViewController::kStartedText);
    gate->open();
    ASSERT_TRUE(waitForAnswer(kHomework, 1));
    auto sent = requests(kHomework).front();
    EXPECT_EQ(sent.bodyValue("content").stringValue(), "口算 20 道 & 听写=10 个");
    EXPECT_TRUE(sent.bodyValue("original").isNull());
    EXPECT_EQ(sent.bodyValue("subject").stringValue(), "数学");
    EXPECT_TRUE(routed("upload/homeworkpic", false).empty());
}

// Left while the photo uploads: the upload ends with the screen and takes
// its overlay along; its late answer sends no homework.
TEST_F(AssigningHomeworkTest, LeavingDuringTheUploadTakesItsOverlayAlong)
{
    signIn();
    auto screen = openHomework();
    attachPhoto(platform::Color::orangeColor());
    choose(*screen, "edKeCheng", 0);
    choose(*screen, "edClass", 0);
    ASSERT_TRUE(testsupport::type(textArea("tvContent"), "背诵课文"));
    screen->selectedReceiver();
    pickDay(*screen, localTime(8, 8, 0));
    auto gate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute(kUploadRoute, ScriptedReply::normal().heldBy(gate));
    ASSERT_TRUE(harness().tapButton("发布"));
    ASSERT_TRUE(harness().runUntil([&] { return gate->arrived() == 1; }));
    ASSERT_EQ(harness().overlayText(), AssigningHomeworkViewController::kUploading);

    leave(screen);
    EXPECT_EQ(harness().overlayText(), "");

    gate->open();
    ASSERT_TRUE(harness().runUntil([&] { return !routed(kUploadRoute).empty(); }));
    ASSERT_TRUE(harness().waitForServerQuiet());
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_TRUE(requests(kHomework).empty());
    EXPECT_EQ(harness().overlayText(), "");
}

} // namespace
