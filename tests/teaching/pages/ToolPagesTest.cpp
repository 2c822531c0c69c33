// The teaching tools' local pages in the browser engine, under an X server
// of the test's own, against the stand-in server: each screen opened as the
// grid or a message row opens it, its page showing the server's data for the
// account, a person's taps on the page reaching native code through the
// paths (a homework photo opened with exactly the server's address), the
// second level and the back button, the compose screens' success
// reloading the list once however often they were opened, and each screen's
// answer to a page that fails to load.
#include "app/main/ORBViewController.h"
#include "app/web/LocalPageViewController.h"
#include "core/model/StudentInfo.h"
#include "core/session/MyAccountInfo.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLResultSet.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/FileUtil.h"
#include "platform/host/KeyboardInput.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/WebEngine.h"
#include "server/StandinServer.h"
#include "server/StaticMedia.h"
#include "teaching/comment/CommentHistoryViewController.h"
#include "teaching/pages/AttendanceQueryViewController.h"
#include "teaching/pages/ClassNoticeListViewController.h"
#include "teaching/pages/CommentStudentViewController.h"
#include "teaching/pages/HomeWorkListViewController.h"
#include "teaching/pages/OnlineServiceViewController.h"
#include "teaching/pages/QuestionnaireSurveyViewController.h"
#include "teaching/pages/SchoolNoticeViewController.h"
#include "tests/support/EngineDisplay.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/XvfbDisplay.h"
#include "tests/support/app/SignedInScreen.h"
#include "ui/photobrowser/BrowserPhoto.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace testsupport;

namespace {

[[maybe_unused]] auto* const kDisplay = testsupport::addEngineDisplay();

constexpr const char* kParent = "13800000002";
constexpr const char* kStudent = "13800000006";
constexpr const char* kStudentPassword = "student123";
// A name that ends the script's string and element if pasted in as it is.
constexpr const char* kAwkwardName = "O'Brien \"李\" </script><script>window.injected=1</script>\\";

class ToolPages : public SignedInScreenTest {
protected:
    // As a message row opens it: by class name, no title, pushed on the message tab.
    std::shared_ptr<LocalPageViewController> openFromRow(const std::string& className)
    {
        auto screen = platform::ClassRegistry::shared().createAs<LocalPageViewController>(className);
        EXPECT_NE(screen, nullptr) << className;
        if (!screen)
            return nullptr;
        return open(screen, ORBViewController::kMessageTab);
    }
    // As the function grid opens it: the tile with the title.
    std::shared_ptr<LocalPageViewController> openFromGrid(const std::string& title)
    {
        mainScreen()->switchToView(ORBViewController::kGridTab);
        settle(harness());
        auto tile = harness().viewByText(title);
        EXPECT_NE(tile, nullptr) << title;
        if (!tile || !harness().tap(tile->superview()))
            return nullptr;
        settle(harness());
        return std::dynamic_pointer_cast<LocalPageViewController>(harness().topScreen());
    }
    std::string script(LocalPageViewController& screen, const std::string& text)
    {
        return screen.webView()->stringByEvaluatingJavaScriptFromString(text);
    }
    // Waits until the page has drawn what matches the selector.
    bool shows(LocalPageViewController& screen, const std::string& selector)
    {
        return harness().runUntil([&] {
            return !screen.webView()->isLoading()
                && script(screen, "String(!!document.querySelector('" + selector + "') && "
                              "document.querySelector('" + selector + "').offsetParent !== null)")
                == "true";
        });
    }
    std::string text(LocalPageViewController& screen) { return screen.webView()->documentText(); }
    // Waits until the page holds at least one element matching the selector.
    bool holds(LocalPageViewController& screen, const std::string& selector)
    {
        return harness().runUntil([&] {
            return script(screen, "String(document.querySelectorAll('" + selector + "').length > 0)") == "true";
        });
    }
    // What the person sees once the engine has painted the page as it is now.
    std::string snapshot(LocalPageViewController& screen, const std::string& name)
    {
        EXPECT_TRUE(screen.webView()->updateDrawing());
        settle(harness(), 0.1);
        return harness().render(name);
    }
    // Waits until every picture of the page has come (or failed).
    bool picturesIn(LocalPageViewController& screen)
    {
        return harness().runUntil([&] {
            return script(screen, "String(Array.prototype.every.call(document.images, function (i) { return i.complete; }))")
                == "true";
        });
    }
    // A person's tap on the page's element, at its centre.
    bool tapInPage(LocalPageViewController& screen, const std::string& selector)
    {
        std::string box = script(screen,
            "(function(){var e=document.querySelector('" + selector + "');if(!e)return '';e.scrollIntoView({block:'center'});"
            "var r=e.getBoundingClientRect();return (r.left+r.width/2)+','+(r.top+r.height/2);})()");
        auto comma = box.find(',');
        if (comma == std::string::npos)
            return false;
        screen.webView()->tapPage(platform::Point(std::stod(box.substr(0, comma)), std::stod(box.substr(comma + 1))));
        return true;
    }
    std::size_t fetches(const std::string& route)
    {
        std::size_t count = 0;
        for (const auto& request : harness().serverRequests())
            count += request.route == route && request.status == 200;
        return count;
    }
    void back()
    {
        ASSERT_TRUE(harness().tap(harness().viewByOutlet("btnBack")));
        settle(harness());
    }
    void awkwardName()
    {
        auto account = core::MyAccountInfo::currentAccount();
        ASSERT_NE(account, nullptr);
        account->name = kAwkwardName;
    }
    void expectAccountScript(LocalPageViewController& screen)
    {
        EXPECT_EQ(script(screen, "global.userName"), kAwkwardName);
        EXPECT_EQ(script(screen, "typeof window.injected"), "undefined");
        EXPECT_EQ(script(screen, "global.ctx"), harness().serverBase() + "mobile2/");
    }
    void familyAttendance(const char* account, const char* password, const std::string& renderPrefix);
};

std::string goneServer()
{
    TestHttpServer gone;
    if (!gone.start())
        return "http://127.0.0.1:9/";
    auto address = gone.url("/gone");
    gone.stop();
    return address;
}

} // namespace

TEST_F(ToolPages, SchoolNoticesListDetailAndBack)
{
    signIn();
    awkwardName();
    auto screen = openFromRow("SchoolNoticeViewController");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->title(), SchoolNoticeViewController::kTitle);
    EXPECT_EQ(screen->pageFolder(), "notice_school");
    ASSERT_TRUE(shows(*screen, ".card.unread"));
    expectAccountScript(*screen);
    EXPECT_NE(text(*screen).find("关于元旦放假的通知"), std::string::npos);
    EXPECT_NE(text(*screen).find("期末考试安排"), std::string::npos);
    EXPECT_FALSE(harness().visibleNavigationController()->isNavigationBarHidden());
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-school-notices.png").empty());

    // The newest notice opens on the second level and is read from then on.
    ASSERT_TRUE(tapInPage(*screen, "li[data-index=\"0\"]"));
    ASSERT_TRUE(harness().runUntil([&] { return screen->isSubView(); }));
    ASSERT_TRUE(shows(*screen, "#second.shown"));
    ASSERT_TRUE(harness().runUntil([&] { return text(*screen).find("元旦放假一天") != std::string::npos; }));
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-school-notice.png").empty());

    back();
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_FALSE(screen->isSubView());
    ASSERT_TRUE(shows(*screen, "#first.shown"));
    EXPECT_EQ(script(*screen, "String(document.querySelectorAll('.card.unread').length)"), "4");
    back();
    EXPECT_NE(harness().topScreen(), screen);
}

TEST_F(ToolPages, ClassNoticesFromTheGridHideTheComposeButtonOnTheSecondLevel)
{
    signIn();
    awkwardName();
    auto screen = openFromGrid("班级公告");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->className(), "ClassNoticeListViewController");
    EXPECT_EQ(screen->title(), "班级公告");
    ASSERT_TRUE(shows(*screen, ".card"));
    expectAccountScript(*screen);
    // The teacher teaches both classes: a chip for each, notices of both.
    EXPECT_NE(text(*screen).find("本周五下午召开家长会"), std::string::npos);
    EXPECT_NE(text(*screen).find("秋游报名截止提醒"), std::string::npos);
    EXPECT_NE(text(*screen).find("三年级(2)班"), std::string::npos);
    auto add = harness().viewByOutlet("btnAdd");
    ASSERT_NE(add, nullptr);
    EXPECT_EQ(screen->rightItem(), add);
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-class-notices.png").empty());

    ASSERT_TRUE(tapInPage(*screen, "li[data-index=\"0\"]"));
    ASSERT_TRUE(harness().runUntil([&] { return screen->isSubView(); }));
    EXPECT_EQ(add->alpha(), 0.0);
    ASSERT_TRUE(shows(*screen, "#second.shown"));
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-class-notice.png").empty());
    back();
    EXPECT_EQ(add->alpha(), 1.0);
    EXPECT_EQ(harness().topScreen(), screen);
    ASSERT_TRUE(shows(*screen, "#first.shown"));
}

TEST_F(ToolPages, ClassNoticesOfAParentHaveNoComposeButton)
{
    signIn(kParent, kDemoParentPassword);
    auto screen = openFromRow("ClassNoticeListViewController");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->title(), ClassNoticeListViewController::kTitle);
    EXPECT_EQ(screen->rightItem(), nullptr);
    ASSERT_TRUE(shows(*screen, ".card"));
    // Only the child's class.
    EXPECT_NE(text(*screen).find("本周五下午召开家长会"), std::string::npos);
    EXPECT_EQ(text(*screen).find("秋游报名截止提醒"), std::string::npos);
    // Reached anyway, the action does nothing.
    std::dynamic_pointer_cast<ClassNoticeListViewController>(screen)->addClassNoticeAction(nullptr);
    settle(harness());
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_EQ(screen->observationCount(), 0u);
}

TEST_F(ToolPages, AttendanceByAccountTypeWithItsDetailTitle)
{
    signIn();
    awkwardName();
    auto screen = openFromGrid("考勤查询");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->pageFolder(), AttendanceQueryViewController::kTeacherPage);
    ASSERT_TRUE(holds(*screen, "#classPicker option"));
    expectAccountScript(*screen);
    // Today may be a weekend: take a school day of the class, a Wednesday.
    script(*screen, "document.getElementById('dayPicker').value='2026-12-02';"
                    "document.getElementById('dayPicker').dispatchEvent(new Event('change'))");
    ASSERT_TRUE(shows(*screen, ".card .avatar")) << text(*screen);
    EXPECT_NE(text(*screen).find("张小明"), std::string::npos);
    EXPECT_EQ(script(*screen, "String(document.querySelectorAll('#day .card').length)"), "8");
    ASSERT_TRUE(picturesIn(*screen));
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-attendance.png").empty());

    // The class drop-down up, then Escape: it goes as its 取消 takes it away,
    // the page keeping its class and the screen staying.
    const auto chosenClass = script(*screen, "document.getElementById('classPicker').value");
    ASSERT_TRUE(tapInPage(*screen, "#classPicker"));
    ASSERT_TRUE(harness().runUntil([&] { return screen->webView()->isShowingOptionMenu(); }));
    ASSERT_TRUE(platform::Keyboard::isVisible());
    EXPECT_TRUE(platform::host::performBackSwipe());
    ASSERT_TRUE(harness().runUntil([] { return !platform::Keyboard::isVisible(); }));
    EXPECT_FALSE(screen->webView()->isShowingOptionMenu());
    settle(harness());
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_EQ(script(*screen, "document.getElementById('classPicker').value"), chosenClass);

    ASSERT_TRUE(tapInPage(*screen, "#day li[data-index=\"0\"]"));
    ASSERT_TRUE(harness().runUntil([&] { return screen->isSubView(); }));
    EXPECT_EQ(screen->title(), AttendanceQueryViewController::kDetailTitle);
    ASSERT_TRUE(shows(*screen, "#month .card"));
    EXPECT_NE(text(*screen).find("张小明 · 2026年12月"), std::string::npos);
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-attendance-student.png").empty());
    back();
    EXPECT_EQ(screen->title(), AttendanceQueryViewController::kTitle);
    EXPECT_FALSE(screen->isSubView());
    back();
    EXPECT_NE(harness().topScreen(), screen);
}

// A parent sees the child's month, a student the own; a day opens its details.
void ToolPages::familyAttendance(const char* account, const char* password, const std::string& renderPrefix)
{
    signIn(account, password);
    auto screen = openFromRow("AttendanceQueryViewController");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->title(), AttendanceQueryViewController::kTitle);
    EXPECT_EQ(screen->pageFolder(), AttendanceQueryViewController::kFamilyPage);
    ASSERT_TRUE(shows(*screen, "#who"));
    EXPECT_NE(text(*screen).find("张小明 · 三年级(1)班"), std::string::npos) << text(*screen);
    // Last month has school days whatever today is.
    const std::string thisMonth = script(*screen, "document.getElementById('monthTitle').textContent");
    ASSERT_TRUE(tapInPage(*screen, "#prevMonth"));
    ASSERT_TRUE(harness().runUntil([&] { return script(*screen, "document.getElementById('monthTitle').textContent") != thisMonth; }));
    ASSERT_TRUE(shows(*screen, "#month .card.go"));
    if (!renderPrefix.empty()) {
        EXPECT_FALSE(snapshot(*screen, renderPrefix + ".png").empty());
    }
    ASSERT_TRUE(tapInPage(*screen, "#month li[data-index=\"0\"]"));
    ASSERT_TRUE(harness().runUntil([&] { return screen->isSubView(); }));
    EXPECT_EQ(screen->title(), AttendanceQueryViewController::kDetailTitle);
    ASSERT_TRUE(shows(*screen, "#second.shown .article"));
    if (!renderPrefix.empty()) {
        EXPECT_FALSE(snapshot(*screen, renderPrefix + "-day.png").empty());
    }
    back();
    EXPECT_EQ(screen->title(), AttendanceQueryViewController::kTitle);
    EXPECT_FALSE(screen->isSubView());
}

TEST_F(ToolPages, AttendanceOfAParentIsTheChildsMonth)
{
    familyAttendance(kParent, kDemoParentPassword, "teaching-pages-attendance-family");
}

TEST_F(ToolPages, AttendanceOfAStudentIsTheOwnMonth) { familyAttendance(kStudent, kStudentPassword, ""); }

TEST_F(ToolPages, HomeworkDetailPhotoAndTheIgnoredAddPath)
{
    signIn();
    awkwardName();
    auto screen = openFromRow("HomeWorkListViewController");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->title(), HomeWorkListViewController::kTeacherTitle);
    ASSERT_TRUE(shows(*screen, ".card"));
    expectAccountScript(*screen);
    EXPECT_NE(text(*screen).find("背诵《山行》并默写"), std::string::npos);
    EXPECT_NE(text(*screen).find("2张图片"), std::string::npos);
    // Days of two digits make a card's last line its longest. The seeded
    // homework is due within days of today: the date is one none of it is
    // due on, so that only the page loaded again shows it.
    std::string due;
    {
        auto db = foundation::SQLDatabase::databaseWithPath(harness().server()->dataFilePath());
        ASSERT_TRUE(db->open());
        for (const char* candidate : { "12-10", "11-10", "10-10" }) {
            auto seeded = db->executeQuery("SELECT 1 FROM page_homework WHERE substr(finish_date, 6, 5) = ?", { candidate });
            ASSERT_TRUE(seeded);
            if (!seeded->next()) {
                due = candidate;
                break;
            }
        }
        ASSERT_FALSE(due.empty());
        ASSERT_TRUE(db->executeUpdate("UPDATE page_homework SET finish_date = substr(finish_date, 1, 5) || ?", { due }));
        db->close();
    }
    const std::string dueText = std::to_string(std::stoi(due.substr(0, 2))) + "月" + due.substr(3) + "日前完成";
    // The page from before is marked: the page loaded again is not.
    script(*screen, "window.beforeReload = true");
    std::dynamic_pointer_cast<HomeWorkListViewController>(screen)->loadWebView();
    ASSERT_TRUE(harness().runUntil([&] {
        return text(*screen).find("2张图片 · " + dueText) != std::string::npos
            && script(*screen, "String(window.beforeReload)") == "undefined";
    }));
    ASSERT_TRUE(shows(*screen, ".card"));
    // Each part of that line is read whole: "今天 09:11" or "12月10日前完成" is never
    // broken over two lines.
    EXPECT_EQ(script(*screen,
                  "String(Array.prototype.every.call(document.querySelectorAll('.card .meta span'), function (s) {"
                  " return s.getBoundingClientRect().height < 2 * parseFloat(getComputedStyle(s).fontSize); }))"),
        "true");
    auto assign = harness().viewByOutlet("btnAssign");
    ASSERT_NE(assign, nullptr);
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-homework.png").empty());

    // "/homework/add" from the page does nothing: the page stays, nothing opens.
    script(*screen, "window.stillHere = true; location.href = '/homework/add'");
    ASSERT_TRUE(harness().roundTrip());
    settle(harness());
    EXPECT_EQ(harness().topScreen(), screen);
    EXPECT_EQ(script(*screen, "String(window.stillHere)"), "true");

    ASSERT_TRUE(tapInPage(*screen, "li[data-index=\"0\"]"));
    ASSERT_TRUE(harness().runUntil([&] { return screen->isSubView(); }));
    EXPECT_TRUE(assign->isHidden());
    ASSERT_TRUE(shows(*screen, ".photos img"));
    ASSERT_TRUE(harness().runUntil([&] { return script(*screen, "String(document.querySelector('.photos img').naturalWidth > 0)") == "true"; }));
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-homework-detail.png").empty());

    // A photo opens full screen, its address whole.
    std::string original = script(*screen,
        "decodeURIComponent(document.querySelector('.photos a').getAttribute('href').substring('/browseBigPhoto/url:'.length))");
    ASSERT_TRUE(tapInPage(*screen, ".photos a"));
    auto homework = std::dynamic_pointer_cast<HomeWorkListViewController>(screen);
    ASSERT_TRUE(harness().runUntil([&] { return harness().presentedScreen() != nullptr; }));
    auto navigation = std::dynamic_pointer_cast<UINavigationController>(harness().presentedScreen());
    ASSERT_NE(navigation, nullptr);
    auto browser = std::dynamic_pointer_cast<PhotoBrowser>(navigation->topViewController());
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->numberOfPhotos(), 1u);
    ASSERT_NE(homework->tempPhoto(), nullptr);
    EXPECT_EQ(homework->tempPhoto()->photoURL()->absoluteString(), original);
    EXPECT_NE(original.find("/mobile2/pull/"), std::string::npos);
    harness().rootViewController()->dismissViewControllerAnimated(false);
    settle(harness());

    // An image address with a query keeps it; one that is no web address opens nothing.
    std::string withQuery = harness().serverBase() + "mobile2/pull/static/img/board.png?w=640&h=480";
    script(*screen, "location.href = '/browseBigPhoto/url:" + withQuery + "'");
    ASSERT_TRUE(harness().runUntil([&] { return harness().presentedScreen() != nullptr; }));
    EXPECT_EQ(homework->tempPhoto()->photoURL()->absoluteString(), withQuery);
    harness().rootViewController()->dismissViewControllerAnimated(false);
    settle(harness());
    script(*screen, "location.href = '/browseBigPhoto/url:not%20an%20address'");
    ASSERT_TRUE(harness().roundTrip());
    settle(harness());
    EXPECT_EQ(harness().presentedScreen(), nullptr);
    EXPECT_EQ(harness().topScreen(), screen);

    back();
    EXPECT_FALSE(assign->isHidden());
    EXPECT_FALSE(screen->isSubView());
}

TEST_F(ToolPages, HomeworkPhotoOpensWithExactlyTheServersAddress)
{
    signIn();
    auto screen = openFromRow("HomeWorkListViewController");
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(shows(*screen, ".card"));
    auto homework = std::dynamic_pointer_cast<HomeWorkListViewController>(screen);
    ASSERT_NE(homework, nullptr);

    // Pictures a teacher named, kept by the stand-in as uploads.
    auto jpeg = server::photoMedia("photo-320x240.jpg");
    ASSERT_TRUE(jpeg);
    std::string folder = platform::FileUtil::joinPath(harness().server()->uploadDirectory(), "homeworkpic");
    ASSERT_TRUE(platform::FileUtil::createDirectory(folder));
    auto db = foundation::SQLDatabase::databaseWithPath(harness().server()->dataFilePath());
    ASSERT_TRUE(db->open());
    for (const char* name : { "春游 1.jpg", "a#b.jpg", "a?b.jpg", "100%.jpg" }) {
        ASSERT_TRUE(platform::FileUtil::write(platform::FileUtil::joinPath(folder, name), jpeg->body));
        EXPECT_TRUE(db->executeUpdate("INSERT INTO upload (kind, user_id, account_type, original_name, stored_name, "
                                      "content_type, size, created) VALUES ('homeworkpic', 2001, 1, ?, ?, 'image/jpeg', "
                                      "?, datetime('now', 'localtime'))",
            platform::Array { name, name, static_cast<long long>(jpeg->body.size()) }));
    }
    // A server of its own for an address whose ".." must not take it elsewhere.
    TestHttpServer own;
    ASSERT_TRUE(own.start());
    own.onPrefix("/", TestHttpServer::reply(TestResponse::make(200, jpeg->body, { { "Content-Type", "image/jpeg" } })));
    const std::string pull = harness().serverBase() + "mobile2/pull/";
    const std::string standin = "127.0.0.1:" + std::to_string(harness().server()->port());
    struct Case {
        std::string address; // as the server wrote it
        std::string loaded; // the address the browser loads
        std::string target; // the request that brings the picture, on that address's host
    };
    const std::string across = "/../" + standin + "/mobile2/pull/static/photos/photo-320x240.jpg";
    const std::vector<Case> cases = {
        { pull + "files/homeworkpic/春游 1.jpg", pull + "files/homeworkpic/%E6%98%A5%E6%B8%B8%201.jpg",
            "/mobile2/pull/files/homeworkpic/%E6%98%A5%E6%B8%B8%201.jpg" },
        { pull + "files/homeworkpic/a%23b.jpg", "", "/mobile2/pull/files/homeworkpic/a%23b.jpg" },
        { pull + "files/homeworkpic/a%3Fb.jpg", "", "/mobile2/pull/files/homeworkpic/a%3Fb.jpg" },
        { pull + "files/homeworkpic/100%25.jpg", "", "/mobile2/pull/files/homeworkpic/100%25.jpg" },
        { pull + "files%2Fhomeworkpic%2Fa%23b.jpg", "", "/mobile2/pull/files%2Fhomeworkpic%2Fa%23b.jpg" },
        { own.baseUrl() + across, "", across },
    };
    // An assignment newer than the others, with those photos.
    ASSERT_TRUE(db->executeUpdate("INSERT INTO page_homework (class_id, teacher_id, subject_name, content, date_time) "
                                  "SELECT class_id, teacher_id, '美术', '画一画春游', '2099-01-01 08:00:00' "
                                  "FROM page_homework ORDER BY homework_id LIMIT 1"));
    long long id = db->lastInsertRowId();
    for (std::size_t i = 0; i < cases.size(); ++i)
        EXPECT_TRUE(db->executeUpdate("INSERT INTO page_homework_photo VALUES (?, ?, ?, ?)",
            platform::Array { id, static_cast<long long>(i + 1), cases[i].address,
                pull + "static/photos/photo-64x48.jpg" }));
    db->close();
    homework->loadWebView();
    ASSERT_TRUE(harness().runUntil([&] { return text(*screen).find("画一画春游") != std::string::npos; }));
    ASSERT_TRUE(tapInPage(*screen, "li[data-index=\"0\"]"));
    ASSERT_TRUE(harness().runUntil([&] { return screen->isSubView(); }));
    ASSERT_TRUE(holds(*screen, ".photos a"));
    EXPECT_EQ(script(*screen, "String(document.querySelectorAll('.photos a').length)"), std::to_string(cases.size()));
    ASSERT_TRUE(picturesIn(*screen));
    own.clearLog();

    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Case& c = cases[i];
        SCOPED_TRACE(c.address);
        harness().server()->requests().clear();
        script(*screen, "document.querySelectorAll('.photos a')[" + std::to_string(i) + "].click()");
        ASSERT_TRUE(harness().runUntil([&] { return harness().presentedScreen() != nullptr; }));
        ASSERT_NE(homework->tempPhoto(), nullptr);
        ASSERT_TRUE(homework->tempPhoto()->photoURL());
        EXPECT_EQ(homework->tempPhoto()->photoURL()->absoluteString(), c.loaded.empty() ? c.address : c.loaded);
        // The picture came from where the address says.
        EXPECT_TRUE(harness().runUntil([&] {
            if (c.address.rfind(own.baseUrl(), 0) == 0) {
                auto asked = own.requests();
                return std::any_of(asked.begin(), asked.end(), [&](auto& r) { return r.target == c.target; });
            }
            auto asked = harness().server()->requests().all();
            return std::any_of(
                asked.begin(), asked.end(), [&](auto& r) { return r.target == c.target && r.status == 200; });
        }));
        harness().rootViewController()->dismissViewControllerAnimated(false);
        settle(harness());
    }
}

TEST_F(ToolPages, HomeworkOfAParentHasNoAssignButton)
{
    signIn(kParent, kDemoParentPassword);
    auto screen = openFromRow("HomeWorkListViewController");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->title(), HomeWorkListViewController::kOtherTitle);
    EXPECT_EQ(screen->rightItem(), nullptr);
    ASSERT_TRUE(shows(*screen, ".card"));
    // The child's class only.
    EXPECT_NE(text(*screen).find("完成练习册第32至33页"), std::string::npos);
    EXPECT_EQ(text(*screen).find("抄写第四单元单词"), std::string::npos);
}

TEST_F(ToolPages, StudentRowOpensTheCommentHistoryWithTheDecodedStudent)
{
    signIn();
    awkwardName();
    auto screen = openFromRow("CommentStudentViewController");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->title(), CommentStudentViewController::kTitle);
    ASSERT_TRUE(shows(*screen, ".card .count"));
    expectAccountScript(*screen);
    auto comment = harness().viewByOutlet("btnComment");
    ASSERT_NE(comment, nullptr);
    EXPECT_FALSE(comment->isHidden());
    EXPECT_NE(text(*screen).find("张小明"), std::string::npos);
    ASSERT_TRUE(harness().runUntil([&] { return script(*screen, "String(document.querySelector('.avatar').naturalWidth > 0)") == "true"; }))
        << script(*screen, "document.querySelector('.avatar').src");
    ASSERT_TRUE(picturesIn(*screen));
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-comments.png").empty());

    // The name travels percent-escaped and arrives decoded.
    EXPECT_NE(script(*screen, "document.querySelector('li[data-index=\"0\"] a').getAttribute('href')").find("%E5%BC%A0"), std::string::npos);
    ASSERT_TRUE(tapInPage(*screen, "li[data-index=\"0\"]"));
    ASSERT_TRUE(harness().runUntil([&] { return harness().topScreen() != screen; }));
    settle(harness());
    auto history = std::dynamic_pointer_cast<CommentHistoryViewController>(harness().topScreen());
    ASSERT_NE(history, nullptr);
    auto student = history->studentInfo();
    ASSERT_NE(student, nullptr);
    EXPECT_EQ(student->studentName, "张小明");
    EXPECT_EQ(student->studentId, 5001);
    EXPECT_EQ(student->type, 1);
    EXPECT_EQ(student->studentPic, harness().serverBase() + "mobile2/pull/static/avatar/5001.png");
    harness().visibleNavigationController()->popViewControllerAnimated(false);
    settle(harness());

    // Fewer than four fields name no student.
    script(*screen, "location.href = '/studentComment/' + encodeURIComponent('张小明') + '%7Cpic%7C5001'");
    ASSERT_TRUE(harness().roundTrip());
    settle(harness());
    EXPECT_EQ(harness().topScreen(), screen);

    // The teacher's button opens the chooser.
    ASSERT_TRUE(harness().tap(comment));
    settle(harness());
    EXPECT_EQ(harness().topScreen()->className(), "SelectStudentViewController");
}

TEST_F(ToolPages, ParentSeesOnlyTheChildAndNoCommentButton)
{
    signIn(kParent, kDemoParentPassword);
    auto screen = openFromRow("CommentStudentViewController");
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(shows(*screen, ".card .count"));
    EXPECT_EQ(script(*screen, "String(document.querySelectorAll('.card').length)"), "1");
    // Installed, not seen.
    ASSERT_NE(screen->rightItem(), nullptr);
    EXPECT_TRUE(screen->rightItem()->isHidden());
}

TEST_F(ToolPages, OnlineServiceShowsMessagesWithReplies)
{
    signIn();
    awkwardName();
    auto screen = openFromRow("OnlineServiceViewController");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->title(), OnlineServiceViewController::kTitle);
    ASSERT_TRUE(shows(*screen, ".bubble"));
    expectAccountScript(*screen);
    EXPECT_NE(text(*screen).find("群发短信时有的家长收不到"), std::string::npos);
    EXPECT_NE(text(*screen).find("等待客服回复"), std::string::npos);
    // Another account's messages are not shown.
    EXPECT_EQ(text(*screen).find("孩子换班了"), std::string::npos);
    EXPECT_NE(harness().viewByOutlet("btnWrite"), nullptr);
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-online-service.png").empty());
}

// The student's notice row says the service desk has answered: the page
// shows the student's own message with that answer under it.
TEST_F(ToolPages, TheStudentSeesTheServiceDesksAnswer)
{
    signIn(kStudent, kStudentPassword);
    auto screen = openFromRow("OnlineServiceViewController");
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(shows(*screen, ".bubble .reply"));
    EXPECT_NE(text(*screen).find("客服 ·"), std::string::npos);
    EXPECT_EQ(text(*screen).find("还没有留言"), std::string::npos);
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-online-service-student.png").empty());
}

TEST_F(ToolPages, QuestionnaireLoadsTheNoticePageAsReadAndSendCloses)
{
    signIn();
    auto screen = openFromRow("QuestionnaireSurveyViewController");
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->title(), QuestionnaireSurveyViewController::kTitle);
    EXPECT_EQ(screen->pageFolder(), "notice");
    ASSERT_TRUE(shows(*screen, "#btnDone"));
    EXPECT_EQ(script(*screen, "typeof global"), "undefined");
    EXPECT_EQ(script(*screen, "String(document.getElementsByTagName('ios_initUserInfo').length)"), "1");
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-questionnaire.png").empty());
    // The way back of the other pages is not the questionnaire's.
    script(*screen, "location.href = '/Main/return'");
    ASSERT_TRUE(harness().roundTrip());
    settle(harness());
    EXPECT_EQ(harness().topScreen(), screen);
    ASSERT_TRUE(harness().runUntil([&] { return !screen->webView()->isLoading(); }));
    screen->loadWebView();
    ASSERT_TRUE(shows(*screen, "#btnDone"));
    ASSERT_TRUE(tapInPage(*screen, "#btnDone"));
    ASSERT_TRUE(harness().runUntil([&] { return harness().topScreen() != screen; }));
}

TEST_F(ToolPages, FailedListOffersReturnAndOtherAddressesLoad)
{
    signIn();
    harness().server()->script().forRoute("webapp/page/schoolnotice/list", server::ScriptedReply::http500Json());
    auto screen = openFromRow("SchoolNoticeViewController");
    ASSERT_NE(screen, nullptr);
    ASSERT_TRUE(shows(*screen, "#btnRetry"));
    EXPECT_FALSE(snapshot(*screen, "teaching-pages-school-notices-failed.png").empty());
    // Another try brings the list.
    ASSERT_TRUE(tapInPage(*screen, "#btnRetry"));
    ASSERT_TRUE(shows(*screen, ".card"));

    // An address no screen answers loads as a page.
    ASSERT_TRUE(screen->webView()->simulateLinkClick(harness().serverBase() + "carrier/pigeon/"));
    ASSERT_TRUE(harness().runUntil([&] { return !screen->webView()->isLoading() && screen->webView()->documentTitle() == "鸽笺"; }));
    EXPECT_EQ(harness().topScreen(), screen);

    // The failed state's return closes the screen.
    harness().server()->script().forRoute("webapp/page/schoolnotice/list", server::ScriptedReply::http500Json());
    screen->loadWebView();
    ASSERT_TRUE(shows(*screen, "#btnBack"));
    ASSERT_TRUE(tapInPage(*screen, "#btnBack"));
    ASSERT_TRUE(harness().runUntil([&] { return harness().topScreen() != screen; }));
}

TEST_F(ToolPages, SentFromAComposeScreenReloadsTheListOnceAfterThreeOpenings)
{
    signIn();
    struct Case {
        const char* className;
        const char* button;
        const char* sender;
        const char* notification;
        const char* route;
    };
    for (const Case& c : {
             Case { "ClassNoticeListViewController", "btnAdd", ClassNoticeListViewController::kSenderClassName,
                 ClassNoticeListViewController::kSentNotification, "webapp/page/classnotice/list" },
             Case { "HomeWorkListViewController", "btnAssign", HomeWorkListViewController::kSenderClassName,
                 HomeWorkListViewController::kSentNotification, "webapp/page/homework/list" },
             Case { "OnlineServiceViewController", "btnWrite", OnlineServiceViewController::kSenderClassName,
                 OnlineServiceViewController::kSentNotification, "webapp/page/service/list" } }) {
        SCOPED_TRACE(c.className);
        auto screen = openFromRow(c.className);
        ASSERT_NE(screen, nullptr);
        ASSERT_TRUE(shows(*screen, ".card, .bubble"));
        std::size_t before = fetches(c.route);
        for (int i = 0; i < 3; ++i) {
            ASSERT_TRUE(harness().tap(harness().viewByOutlet(c.button)));
            settle(harness());
            ASSERT_EQ(harness().topScreen()->className(), c.sender);
            harness().visibleNavigationController()->popViewControllerAnimated(false);
            settle(harness());
            ASSERT_EQ(harness().topScreen(), screen);
        }
        EXPECT_EQ(screen->observationCount(), 1u);
        platform::NotificationCenter::defaultCenter().post(c.notification);
        ASSERT_TRUE(harness().runUntil([&] { return fetches(c.route) == before + 1; }));
        ASSERT_TRUE(shows(*screen, ".card, .bubble"));
        ASSERT_TRUE(harness().waitForServerQuiet());
        settle(harness());
        EXPECT_EQ(fetches(c.route), before + 1);
        EXPECT_FALSE(screen->isSubView());
        harness().visibleNavigationController()->popViewControllerAnimated(false);
        settle(harness());
    }
}

TEST_F(ToolPages, EachScreenAnswersAFailedLoadItsOwnWay)
{
    signIn();
    const std::string gone = goneServer();
    auto& application = UIApplication::sharedApplication();
    struct Case {
        const char* className;
        bool overlay;
    };
    for (const Case& c : { Case { "CommentStudentViewController", true }, Case { "SchoolNoticeViewController", true },
             Case { "OnlineServiceViewController", true }, Case { "HomeWorkListViewController", false },
             Case { "AttendanceQueryViewController", false }, Case { "ClassNoticeListViewController", false },
             Case { "QuestionnaireSurveyViewController", false } }) {
        SCOPED_TRACE(c.className);
        auto screen = openFromRow(c.className);
        ASSERT_NE(screen, nullptr);
        ASSERT_TRUE(harness().runUntil([&] { return screen->webView()->request() && !screen->webView()->isLoading(); }));
        if (c.overlay) {
            ASSERT_TRUE(shows(*screen, ".card, .bubble"));
        }
        ASSERT_TRUE(screen->webView()->simulateLinkClick(gone));
        ASSERT_TRUE(harness().runUntil([&] { return !screen->webView()->isLoading() && screen->webView()->request()
                                                  && screen->webView()->request()->URL.absoluteString() == gone; }));
        ASSERT_TRUE(harness().runUntil([&] { return !application.isNetworkActivityIndicatorVisible(); }));
        settle(harness(), 0.2);
        if (c.overlay) {
            EXPECT_EQ(harness().overlayText(), LocalPageViewController::kLoadFailedText);
            if (std::string(c.className) == "SchoolNoticeViewController") {
                EXPECT_FALSE(snapshot(*screen, "teaching-pages-load-failed.png").empty());
            }
            harness().advance(LocalPageViewController::kLoadFailedHideDelay + 0.5);
        }
        EXPECT_EQ(harness().overlayText(), "");
        EXPECT_EQ(harness().topScreen(), screen);
        harness().visibleNavigationController()->popViewControllerAnimated(false);
        settle(harness());
    }
}
