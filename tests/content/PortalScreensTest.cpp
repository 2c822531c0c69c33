#include "app/main/ORBViewController.h"
#include "content/lessons/APIRequest.h"
#include "content/player/ORBMoviePlayerController.h"
#include "content/portal/DetailViews.h"
#include "content/portal/GCLessonCell.h"
#include "content/portal/GCLessonDetailViewController.h"
#include "content/portal/GCLessonListViewController.h"
#include "content/portal/GCLiveVideoDetailViewController.h"
#include "content/portal/GCSubjectCell.h"
#include "content/portal/GCViewController.h"
#include "core/session/MyAccountInfo.h"
#include "foundation/codec/StringMd5.h"
#include "platform/graphics/Text.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITextField.h"
#include "server/LessonService.h"
#include "server/ReplyGate.h"
#include "server/StandinServer.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/ScreenFoot.h"
#include "tests/support/app/SignedInScreen.h"
#include "ui/tables/RefreshTableView.h"

#include <gtest/gtest.h>

namespace {

using namespace content;
using platform::Dictionary;
using platform::Value;

constexpr int kTab = 0;

class PortalScreenTest : public testsupport::SignedInScreenTest {
protected:
    // The bodies the lesson service received for an API, oldest first.
    std::vector<Dictionary> bodies(const std::string& api) const
    {
        std::vector<Dictionary> out;
        for (const auto& logged : harness().server()->requests().all()) {
            if (logged.path == "/m/" + api + ".json" && logged.json && logged.json->isDictionary())
                out.push_back(*logged.json->asDictionary());
        }
        return out;
    }
    bool waitForBodies(const std::string& api, std::size_t count)
    {
        return harness().runUntil([&] { return bodies(api).size() >= count; });
    }
    // The next reply of an API.
    void script(const std::string& api, const server::ScriptedReply& reply)
    {
        harness().server()->script().forRoute("m/" + api + ".json", reply);
    }
    // Waits until every picture the screen asked for has arrived (the
    // loader forgets an address once it completed), then lets it settle.
    void waitForPictures() { testsupport::waitForPictures(harness()); }
    static server::ScriptedReply body(const std::string& json) { return server::ScriptedReply::custom(200, json); }

    // The portal user the service knows, as a sign-in on the home screen stores it.
    void signInToPortal()
    {
        auto user = std::make_shared<GCUserInfo>();
        user->uid = 9;
        user->sid = server::LessonServiceKeys::kPortalSid;
        user->accessToken = server::LessonServiceKeys::kPortalAccessToken;
        APIRequest::setUser(user);
    }

    std::shared_ptr<UITableView> table(const std::string& outlet) const
    {
        return std::dynamic_pointer_cast<UITableView>(harness().viewByOutlet(outlet));
    }
    // The rows a list of the screen shows; -1 while the list is not there.
    static long rowsOf(const std::shared_ptr<UIViewController>& screen, const char* outlet, long section = 0)
    {
        auto list = testsupport::findOutlet<UITableView>(screen->view(), outlet);
        return list ? list->numberOfRowsInSection(section) : -1;
    }
    // Waits until the overlay shows the text (it hides a moment later on the manual clock).
    bool overlayShows(const std::string& text)
    {
        return harness().runUntil([&] { return harness().overlayText() == text; });
    }
    bool alertShows(const std::string& title, const std::string& message)
    {
        return harness().runUntil([&] {
            auto alert = harness().currentAlert();
            return alert && alert->title() == title && alert->message() == message;
        });
    }
    void dismissAlert()
    {
        ASSERT_TRUE(harness().tapAlertButton("确定"));
        testsupport::settle(harness());
    }
    std::shared_ptr<GCSubjectInfo> subject(const char* sid, const char* name)
    {
        return GCSubjectInfo::instanceWithObj(Value(Dictionary { { "sid", sid }, { "name", name }, { "type", 2 } }));
    }
    std::shared_ptr<GCLessonInfo> lesson(int uid, const char* name)
    {
        return GCLessonInfo::instanceWithObj(Value(Dictionary { { "uid", uid }, { "name", name } }));
    }
};

TEST_F(PortalScreenTest, HomeSignsInThenListsTheMarkedSubjectsAndTheLiveSeries)
{
    signIn();
    APIRequest::setUser(nullptr);
    auto gate = std::make_shared<server::ReplyGate>();
    script(APIRequest::kUserLogin, server::ScriptedReply::normal().heldBy(gate));
    auto home = open(std::make_shared<GCViewController>(), kTab);
    EXPECT_EQ(home->title(), "成长课堂");
    ASSERT_TRUE(overlayShows("请求接入中"));
    EXPECT_FALSE(table("tableView0"));
    gate->open();

    ASSERT_TRUE(harness().runUntil([&] { return rowsOf(home, "tableView0") == 3; }));
    testsupport::settle(harness());
    auto subjects = table("tableView0");
    ASSERT_TRUE(subjects);
    EXPECT_EQ(subjects->numberOfRowsInSection(0), 3);
    auto first = visibleCell<GCSubjectCell>(*subjects, 0);
    ASSERT_TRUE(first);
    EXPECT_EQ(testsupport::findOutlet<UILabel>(first, "lblName")->text(), "数学");
    // The test's own reset of the user, then the sign-in's.
    EXPECT_EQ(harness().notifications().count(USER_DID_CHANGED_NOTIFICATION), 2u);
    ASSERT_TRUE(APIRequest::user());
    EXPECT_EQ(APIRequest::user()->sid, server::LessonServiceKeys::kPortalSid);
    EXPECT_EQ(harness().notifications().count(LOGIN_SUCCESS_NOTIFICATION), 1u);

    // Signed in without a stored user; the list signed with the new one.
    auto login = bodies(APIRequest::kUserLogin);
    ASSERT_EQ(login.size(), 1u);
    EXPECT_EQ(login[0].get("account").stringValue(), "15820473916");
    EXPECT_FALSE(login[0].contains("sid"));
    auto list = bodies(APIRequest::kSubjectItems);
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].get("sid"), Value(server::LessonServiceKeys::kPortalSid));
    EXPECT_EQ(list[0].get("access_token").stringValue(),
        foundation::md5(std::string(server::LessonServiceKeys::kPortalAccessToken)
            + std::to_string(list[0].get("timestamp").longLongValue())));
    waitForPictures();
    harness().render("portal-home-subjects.png");

    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnTab1")));
    ASSERT_TRUE(harness().runUntil([&] { return rowsOf(home, "tableView1") == 3; }));
    testsupport::settle(harness());
    auto lives = table("tableView1");
    ASSERT_TRUE(lives);
    EXPECT_EQ(lives->numberOfRowsInSection(0), 3);
    EXPECT_TRUE(harness().viewByText("正在直播"));
    waitForPictures();
    harness().render("portal-home-lives.png");

    // Back on the first tab: nothing is asked again.
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnTab0")));
    testsupport::settle(harness());
    EXPECT_EQ(bodies(APIRequest::kSubjectItems).size(), 1u);
    EXPECT_EQ(bodies(APIRequest::kLivevideoItems).size(), 1u);

    // A subject opens its lessons.
    ASSERT_TRUE(harness().selectRow(subjects, 0, 1));
    testsupport::settle(harness());
    auto lessons = std::dynamic_pointer_cast<GCLessonListViewController>(harness().topScreen());
    ASSERT_TRUE(lessons);
    EXPECT_EQ(lessons->title(), "语文课程");
    ASSERT_TRUE(waitForBodies(APIRequest::kLessonItems, 1));
    EXPECT_EQ(bodies(APIRequest::kLessonItems)[0].get("subject_sid").stringValue(), "s2");
    lessons->popViewController();
    testsupport::settle(harness());

    // A series opens its detail.
    ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnTab1")));
    testsupport::settle(harness());
    ASSERT_TRUE(harness().selectRow(lives, 0, 0));
    testsupport::settle(harness());
    auto detail = std::dynamic_pointer_cast<GCLiveVideoDetailViewController>(harness().topScreen());
    ASSERT_TRUE(detail);
    EXPECT_EQ(detail->title(), "直播详细");
}

TEST_F(PortalScreenTest, ARefusedOrFailedSignInSaysSoAndClosesTheScreen)
{
    signIn();
    APIRequest::setUser(nullptr);
    struct Case {
        server::ScriptedReply reply;
        const char* title;
        const char* message;
    };
    const Case cases[] = {
        { body(R"({"code":1,"message":"x"})"), "请求失败", "x" },
        { body(R"({"code":1})"), "请求失败", "未知错误" },
        { body(R"({"code":0,"message":"","data":[]})"), "请求失败", "未知错误" },
        { body("<html>"), "请求失败", "未知错误" },
        { server::ScriptedReply::connectionReset(), "出错", "请求接入失败" },
        // Codes whose low 32 bits are 0, and a fraction, refuse the sign-in
        // even though the data is a user.
        { body(R"({"code":4294967296,"message":"a","data":{"sid":5,"access_token":"t"}})"), "请求失败", "a" },
        { body(R"({"code":-4294967296,"message":"b","data":{"sid":5,"access_token":"t"}})"), "请求失败", "b" },
        { body(R"({"code":0.5,"data":{"sid":5,"access_token":"t"}})"), "请求失败", "未知错误" },
    };
    for (const auto& c : cases) {
        script(APIRequest::kUserLogin, c.reply);
        auto home = open(std::make_shared<GCViewController>(), kTab);
        ASSERT_TRUE(alertShows(c.title, c.message)) << c.message;
        dismissAlert();
        EXPECT_NE(harness().topScreen(), home) << c.message;
        EXPECT_LE(rowsOf(home, "tableView0"), 0);
        // A refused sign-in stores nobody.
        EXPECT_FALSE(APIRequest::user()) << c.message;
        EXPECT_FALSE(harness().userDefaults()->dataForKey(APIRequest::kUserDefaultsKey)) << c.message;
    }
    EXPECT_EQ(harness().notifications().count(LOGIN_SUCCESS_NOTIFICATION), 0u);
    EXPECT_TRUE(bodies(APIRequest::kSubjectItems).empty());
}

TEST_F(PortalScreenTest, ListErrorsKeepTheRowsAndSayWhy)
{
    signIn();
    auto home = open(std::make_shared<GCViewController>(), kTab);
    ASSERT_TRUE(harness().runUntil([&] { return rowsOf(home, "tableView0") == 3; }));
    auto subjects = std::dynamic_pointer_cast<RefreshTableView>(table("tableView0"));
    struct Case {
        server::ScriptedReply reply;
        const char* text;
    };
    const Case cases[] = {
        { body(R"({"code":3,"message":"服务维护中","data":[]})"), "服务维护中" },
        { body(R"({"code":0,"data":{}})"), "未知错误" },
        { server::ScriptedReply::connectionReset(), "请求出错" },
    };
    for (const auto& c : cases) {
        script(APIRequest::kSubjectItems, c.reply);
        subjects->loadTopData();
        ASSERT_TRUE(overlayShows(c.text)) << c.text;
        EXPECT_EQ(rowsOf(home, "tableView0"), 3);
        harness().advance(GCViewController::kHintSeconds + 0.5);
    }
}

TEST_F(PortalScreenTest, TheLessonListSearchesLiterallyAndTakesARefusalAsAnError)
{
    signIn();
    signInToPortal();
    auto list = std::make_shared<GCLessonListViewController>();
    list->setSubject(subject("s1", "数学"));
    EXPECT_EQ(list->title(), "数学课程");
    open(list, kTab);
    // The lessons the list shows, by their rows' names (the empty row has none).
    auto names = [&] {
        std::vector<std::string> out;
        auto rows = testsupport::findOutlet<UITableView>(list->view(), "tableView");
        for (long row = 0; rows && row < rows->numberOfRowsInSection(0); ++row) {
            if (auto cell = visibleCell<GCLessonCell>(*rows, row))
                out.push_back(testsupport::findOutlet<UILabel>(cell, "lblName")->text());
        }
        return out;
    };
    ASSERT_TRUE(harness().runUntil([&] { return names().size() == 5; }));
    auto sent = bodies(APIRequest::kLessonItems);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].get("subject_sid").stringValue(), "s1");

    auto field = std::dynamic_pointer_cast<UITextField>(harness().viewByOutlet("txtSearch"));
    ASSERT_TRUE(field);
    struct Case {
        const char* text;
        std::vector<std::string> rows;
    };
    const Case cases[] = {
        { "fen chu", { "分数的初步认识" } },
        { "fen\u2006chu", { "分数的初步认识" } },
        { "KOU JUE", { "乘法口诀" } },
        { "math FUN", { "Math Fun 数学游戏" } },
        { "'角'", { "认识'角'与\"边\"" } },
        { "\"边", { "认识'角'与\"边\"" } },
        { "\\", {} },
        { "') OR (1=1", {} },
    };
    for (const auto& c : cases) {
        field->setText("");
        ASSERT_TRUE(harness().type(field, c.text));
        EXPECT_EQ(names(), c.rows) << c.text;
    }
    field->setText("");
    ASSERT_TRUE(harness().type(field, "shu"));
    testsupport::settle(harness());
    harness().render("portal-lesson-list-search.png");
    auto rows = table("tableView");
    ASSERT_TRUE(rows);
    auto cell = visibleCell<GCLessonCell>(*rows, 0);
    ASSERT_TRUE(cell);

    // A refused reply with lessons in it is an error, and the rows stay.
    auto refresh = std::dynamic_pointer_cast<RefreshTableView>(rows);
    std::size_t shown = names().size();
    script(APIRequest::kLessonItems, body(R"({"code":5,"message":"课程已下架","data":[{"uid":1,"name":"x"}]})"));
    refresh->loadTopData();
    ASSERT_TRUE(overlayShows("课程已下架"));
    EXPECT_EQ(names().size(), shown);
    harness().advance(2);
    const std::pair<server::ScriptedReply, const char*> failures[] = {
        { body("not json"), "请求失败" },
        { body(R"({"code":0,"message":"","data":{}})"), "未知错误" },
        { server::ScriptedReply::connectionReset(), "请求失败" },
    };
    for (const auto& [reply, text] : failures) {
        script(APIRequest::kLessonItems, reply);
        refresh->loadTopData();
        ASSERT_TRUE(overlayShows(text)) << text;
        EXPECT_EQ(names().size(), shown);
        harness().advance(2);
    }
    // An empty list shows the one empty row, which opens nothing.
    field->setText("");
    script(APIRequest::kLessonItems, body(R"({"code":0,"data":[]})"));
    refresh->loadTopData();
    ASSERT_TRUE(harness().runUntil([&] { return names().empty(); }));
    EXPECT_EQ(rows->numberOfRowsInSection(0), 1);
}

TEST_F(PortalScreenTest, TheLessonDetailPlaysFreeVideosAndSendsTheRestToTheSubscription)
{
    signIn();
    signInToPortal();
    auto detail = std::make_shared<GCLessonDetailViewController>();
    detail->setLesson(lesson(101, "分数的初步认识"));
    detail->setSubject(subject("s1", "数学"));
    open(detail, kTab);
    EXPECT_EQ(detail->title(), "课程详细");
    ASSERT_TRUE(harness().runUntil([&] { return rowsOf(detail, "tableView", 1) == 5; }));
    testsupport::settle(harness());
    auto sent = bodies(APIRequest::kLessonDetail);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].get("uid"), Value(101));
    EXPECT_EQ(sent[0].get("sfamily_id"), Value(core::MyAccountInfo::currentAccount()->uid));

    auto rows = table("tableView");
    ASSERT_TRUE(rows);
    EXPECT_TRUE(harness().viewByText("课程介绍"));
    EXPECT_TRUE(harness().viewByText("课件列表"));
    // The long introduction is cut under its mask until tapped.
    auto intro = visibleCell<DetailCell>(*rows, 0, 0);
    ASSERT_TRUE(intro);
    EXPECT_TRUE(intro->isMasked());
    double cut = *detail->heightForRowAtIndexPath(rows.get(), { 0, 0 });
    waitForPictures();
    harness().render("portal-lesson-detail.png");
    ASSERT_TRUE(harness().selectRow(rows, 0, 0));
    EXPECT_FALSE(visibleCell<DetailCell>(*rows, 0, 0)->isMasked());
    EXPECT_GT(*detail->heightForRowAtIndexPath(rows.get(), { 0, 0 }), cut);
    EXPECT_FALSE(visibleCell<DetailCell>(*rows, 0, 0)->isMasked());

    // A free video plays.
    ASSERT_TRUE(harness().selectRow(rows, 1, 0));
    testsupport::settle(harness());
    auto player = std::dynamic_pointer_cast<ORBMoviePlayerController>(harness().presentedScreen());
    ASSERT_TRUE(player);
    EXPECT_EQ(player->contentURL(), harness().serverBase() + "mobile2/pull/lessons/media/clip.mp4?video=1001");
    ASSERT_TRUE(player->moviePlayer());
    ASSERT_TRUE(harness().runUntil([&] { return player->moviePlayer()->framesDrawn() > 0; }));
    ASSERT_TRUE(harness().tapButton("完成"));
    testsupport::settle(harness());
    EXPECT_FALSE(harness().presentedScreen());

    // Free but without an address.
    ASSERT_TRUE(harness().selectRow(rows, 1, 4));
    ASSERT_TRUE(alertShows("提示", "暂无视频可供播放"));
    dismissAlert();
    // Paid, or free and locked, in "数学": the subscription page.
    for (long row : { 2L, 3L }) {
        ASSERT_TRUE(harness().selectRow(rows, 1, row));
        testsupport::settle(harness());
        auto purchasing = std::dynamic_pointer_cast<GCPurchasingViewController>(harness().topScreen());
        ASSERT_TRUE(purchasing) << row;
        EXPECT_EQ(purchasing->title(), "开通包月");
        if (row == 2) {
            harness().render("portal-purchasing.png");
            ASSERT_TRUE(harness().tapButton("申请开通"));
            ASSERT_TRUE(alertShows("消息", "申请开通提交成功，请耐心等待我们的回复"));
            dismissAlert();
        }
        purchasing->popViewController();
        testsupport::settle(harness());
    }
    EXPECT_EQ(harness().topScreen(), detail);
}

TEST_F(PortalScreenTest, TheLessonDetailRefusesWhatCannotPlayAndSaysWhyAReplyFailed)
{
    signIn();
    signInToPortal();
    // A video whose address forms no URL, and a locked one outside "数学".
    script(APIRequest::kLessonDetail,
        body(R"({"code":0,"data":{"uid":201,"name":"古诗两首","video_count":9,"videos":[)"
             R"({"uid":1,"name":"a","is_free":1,"is_lock":0,"src":"http://127.0.0.1/视频 1.mp4"},)"
             R"({"uid":2,"name":"b","is_free":0,"is_lock":1,"src":"http://127.0.0.1/b.mp4"}]}})"));
    auto detail = std::make_shared<GCLessonDetailViewController>();
    detail->setLesson(lesson(201, "古诗两首"));
    detail->setSubject(subject("s2", "语文"));
    open(detail, kTab);
    ASSERT_TRUE(harness().runUntil([&] { return rowsOf(detail, "tableView", 1) == 2; }));
    testsupport::settle(harness());
    // The count in the header is the service's, not the rows'.
    EXPECT_TRUE(harness().viewByText("9"));
    auto rows = table("tableView");
    ASSERT_TRUE(harness().selectRow(rows, 1, 0));
    ASSERT_TRUE(alertShows("提示", "暂无视频可供播放"));
    dismissAlert();
    EXPECT_FALSE(harness().presentedScreen());
    ASSERT_TRUE(harness().selectRow(rows, 1, 1));
    ASSERT_TRUE(alertShows("提示", "暂时无法播放该视频"));
    dismissAlert();

    auto refresh = std::dynamic_pointer_cast<RefreshTableView>(rows);
    const std::pair<server::ScriptedReply, const char*> failures[] = {
        { body("[1,2]"), "解析错误" },
        { body(R"({"code":0,"data":[]})"), "数据不完整" },
        { body(R"({"code":4,"message":"无权查看"})"), "无权查看" },
        { body(R"({"code":4,"message":""})"), "未知错误" },
        { server::ScriptedReply::connectionReset(), "请求失败" },
    };
    for (const auto& [reply, text] : failures) {
        script(APIRequest::kLessonDetail, reply);
        refresh->loadTopData();
        ASSERT_TRUE(overlayShows(text)) << text;
        EXPECT_EQ(rowsOf(detail, "tableView", 1), 2) << text;
        harness().advance(2);
    }
}

TEST_F(PortalScreenTest, AVideoPlayedCountsOnceMoreWhenTheDetailLoadsAgain)
{
    signIn();
    signInToPortal();
    auto detail = std::make_shared<GCLessonDetailViewController>();
    detail->setLesson(lesson(101, "分数的初步认识"));
    detail->setSubject(subject("s1", "数学"));
    open(detail, kTab);
    ASSERT_TRUE(harness().runUntil([&] { return rowsOf(detail, "tableView", 1) == 5; }));
    testsupport::settle(harness());
    auto rows = table("tableView");
    ASSERT_TRUE(rows);
    // "<n>人看过" of the first video, as its row shows it.
    auto views = [&]() -> long long {
        auto cell = visibleCell<GCVideoCell>(*rows, 0, 1);
        if (!cell)
            return -1;
        for (const auto& label : harness().viewsByClass("UILabel")) {
            auto text = std::static_pointer_cast<UILabel>(label)->text();
            if (label->isDescendantOfView(cell.get()) && text.ends_with("人看过"))
                return std::stoll(text);
        }
        return -1;
    };
    const long long before = views();
    ASSERT_GT(before, 0);

    // Played to its first picture, then closed.
    ASSERT_TRUE(harness().selectRow(rows, 1, 0));
    testsupport::settle(harness());
    auto player = std::dynamic_pointer_cast<ORBMoviePlayerController>(harness().presentedScreen());
    ASSERT_TRUE(player && player->moviePlayer());
    ASSERT_TRUE(harness().runUntil([&] { return player->moviePlayer()->framesDrawn() > 0; }));
    ASSERT_TRUE(harness().tapButton("完成"));
    testsupport::settle(harness());
    EXPECT_EQ(views(), before) << "the count is the service's: the row waits for its next answer";

    // The next pull asks the service again, which has counted the play.
    auto refresh = std::dynamic_pointer_cast<RefreshTableView>(rows);
    ASSERT_TRUE(refresh);
    refresh->loadTopData();
    ASSERT_TRUE(waitForBodies(APIRequest::kLessonDetail, 2));
    ASSERT_TRUE(harness().runUntil([&] { return views() != before; }));
    EXPECT_EQ(views(), before + 1);
    EXPECT_FALSE(harness().render("portal-lesson-detail-played.png").empty());
}

TEST_F(PortalScreenTest, TheLiveDetailShowsTheLectorTheLessonsAndTheGuide)
{
    signIn();
    signInToPortal();
    auto series
        = GCLiveVideoInfo::instanceWithObj(Value(Dictionary { { "uid", 501 }, { "name", "小学数学思维直播课" } }));
    auto detail = std::make_shared<GCLiveVideoDetailViewController>();
    detail->setLiveVideo(series);
    open(detail, kTab);
    // The lector's section comes with the series' answer.
    ASSERT_TRUE(harness().runUntil([&] { return table("tableView") && table("tableView")->numberOfSections() == 3; }));
    testsupport::settle(harness());
    EXPECT_EQ(bodies(APIRequest::kLiveVideoDetail).at(0).get("uid"), Value(501));
    auto rows = table("tableView");
    ASSERT_TRUE(rows);
    EXPECT_EQ(rows->numberOfSections(), 3);
    EXPECT_EQ(rows->numberOfRowsInSection(0), 2);
    // The current lesson first, then all three, even though it is one of them.
    EXPECT_EQ(rows->numberOfRowsInSection(1), 4);
    EXPECT_TRUE(harness().viewByText("讲师信息"));
    EXPECT_TRUE(harness().viewByText("直播列表"));
    std::string guide = detail->guideText();
    EXPECT_EQ(guide.rfind("请使用PC前往http://", 0), 0u) << guide;
    EXPECT_NE(guide.find("lessons/site/live/501，用APP相同的用户名和密码登录，在首页点击相应直播课程即可学习"),
        std::string::npos);
    waitForPictures();
    harness().render("portal-live-detail.png");

    ASSERT_TRUE(harness().tapButton("观看指引"));
    ASSERT_TRUE(alertShows("提示", guide));
    dismissAlert();

    // An ended lesson with a recording plays it.
    ASSERT_TRUE(harness().selectRow(rows, 1, 1));
    testsupport::settle(harness());
    auto player = std::dynamic_pointer_cast<ORBMoviePlayerController>(harness().presentedScreen());
    ASSERT_TRUE(player);
    ASSERT_TRUE(harness().tapButton("完成"));
    testsupport::settle(harness());

    // Every failure keeps the series; an empty message is no message.
    auto refresh = std::dynamic_pointer_cast<RefreshTableView>(rows);
    const std::pair<server::ScriptedReply, const char*> failures[] = {
        { body("<html>"), "解析错误" },
        { body(R"({"code":0,"data":"x"})"), "数据不完整" },
        { body(R"({"code":7,"message":"直播已取消"})"), "直播已取消" },
        { body(R"({"code":7,"message":""})"), "未知错误" },
        { server::ScriptedReply::connectionReset(), "请求失败" },
    };
    for (const auto& [reply, text] : failures) {
        script(APIRequest::kLiveVideoDetail, reply);
        refresh->loadTopData();
        ASSERT_TRUE(overlayShows(text)) << text;
        EXPECT_EQ(rows->numberOfSections(), 3) << text;
        EXPECT_EQ(rows->numberOfRowsInSection(1), 4) << text;
        EXPECT_TRUE(harness().viewByText("讲师信息")) << text;
        harness().advance(2);
    }

    // Without a lector: two sections, the lessons first.
    script(APIRequest::kLiveVideoDetail, body(R"({"code":0,"data":{"uid":503,"name":"家庭教育公开课"}})"));
    refresh->loadTopData();
    ASSERT_TRUE(harness().runUntil([&] { return rows->numberOfSections() == 2; }));
    testsupport::settle(harness());
    EXPECT_EQ(rows->numberOfSections(), 2);
    EXPECT_EQ(rows->numberOfRowsInSection(0), 1); // the empty row
}

// A lesson without an introduction shows "无" in its introduction row on
// either screen: the row is as tall as that text needs, so the label has the
// text's height and lies on the screen, above the row's line.
TEST(PortalLessonDetailSizes, AMissingIntroductionShowsItsPlaceholderWhole)
{
    testsupport::onBothScreens([](testsupport::AppHarness& harness, bool tall) {
        ASSERT_TRUE(
            testsupport::signInThroughScreens(harness, testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword));
        testsupport::letAddressBookEnd(harness);
        auto user = std::make_shared<GCUserInfo>();
        user->sid = server::LessonServiceKeys::kPortalSid;
        user->accessToken = server::LessonServiceKeys::kPortalAccessToken;
        APIRequest::setUser(user);
        const std::pair<const char*, const char*> replies[] = {
            { "none", R"({"code":0,"data":{"uid":301,"name":"拼音练习","video_count":0,"videos":[]}})" },
            { "empty", R"({"code":0,"data":{"uid":302,"name":"识字","intro":"","video_count":0,"videos":[]}})" },
        };
        for (const auto& [kind, reply] : replies) {
            harness.server()->script().forRoute(
                std::string("m/") + APIRequest::kLessonDetail + ".json", server::ScriptedReply::custom(200, reply));
            auto detail = std::make_shared<GCLessonDetailViewController>();
            detail->setLesson(
                GCLessonInfo::instanceWithObj(Value(Dictionary { { "uid", 301 }, { "name", "拼音练习" } })));
            testsupport::mainScreen()->switchToView(kTab);
            auto navigation = harness.visibleNavigationController();
            ASSERT_TRUE(navigation);
            navigation->pushViewController(detail, true);
            auto rows = testsupport::findOutlet<UITableView>(detail->view(), "tableView");
            ASSERT_TRUE(rows);
            ASSERT_TRUE(harness.runUntil([&] { return rows->numberOfRowsInSection(1) == 1; })) << kind;
            testsupport::settle(harness);
            auto cell = std::dynamic_pointer_cast<DetailCell>(
                rows->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(0, 0)));
            ASSERT_TRUE(cell) << kind;
            auto label = testsupport::findOutlet<UILabel>(cell, "lblDetail");
            auto line = testsupport::findOutlet<UIView>(cell, "bottomLine");
            ASSERT_TRUE(label && line) << kind;
            EXPECT_EQ(label->text(), "无") << kind;
            platform::Size room { label->frame().width(), platform::kUnlimitedTextExtent };
            double needed = platform::measureText("无", label->font(), room).height;
            EXPECT_GT(needed, 0.0);
            EXPECT_GE(label->frame().height(), needed) << kind;
            EXPECT_LE(label->frame().maxY(), line->frame().minY()) << kind;
            EXPECT_TRUE(testsupport::insideScreen(*label)) << kind;
            EXPECT_FALSE(cell->isMasked()) << kind;
            std::string picture = std::string("portal-lesson-detail-no-intro-") + kind + (tall ? "-4inch" : "-3.5inch");
            EXPECT_FALSE(harness.render(picture + ".png").empty());
            navigation->popViewControllerAnimated(true);
            testsupport::settle(harness);
        }
    });
}

} // namespace
