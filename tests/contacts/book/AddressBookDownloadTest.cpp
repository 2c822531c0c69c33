// The address book's download as a signed-in person meets it, against the
// stand-in server on the manual clock, with the book read back from the
// client's SQLite file: one download at sign-in, the copy kept across a
// restart, the week after which it is fetched again (each account its own),
// and replies that change nothing and say so.
#include "contacts/ContactsClock.h"
#include "contacts/book/AddressBookImport.h"
#include "core/session/MyAccountInfo.h"
#include "core/session/ORBEndpoints.h"
#include "core/store/ContactsFactory.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/RunLoop.h"
#include "platform/os/UserDefaults.h"
#include "platform/uikit/UIWindow.h"
#include "server/StandinServer.h"
#include "tests/contacts/ContactsTestSupport.h"
#include "tests/support/ProcessUtil.h"
#include "tests/support/app/ClientApp.h"
#include "tests/support/app/SignedInScreen.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/ORBHelper.h"

#include "app/main/ORBViewController.h"

#include <gtest/gtest.h>

#include <algorithm>

using core::ORBEndpoints;
using server::ScriptedReply;
using namespace testsupport;
using namespace contactstest;

namespace {

constexpr const char* kBook = ORBEndpoints::Cmd::kAddressBook;
constexpr double kWeek = contacts::AddressBookRecord::kFreshSeconds;
constexpr int kTeacherUid = 2001;
constexpr const char* kDemoParent = "13800000002";

class AddressBookDownload : public SignedInScreenTest {
protected:
    void waitForBook() { ASSERT_TRUE(harness().runUntil(bookIdle)); }

    std::vector<std::string> storedGroups()
    {
        std::vector<std::string> ids;
        core::ContactsFactory store;
        for (const auto& group : store.getGroups().value_or(core::GroupList {}))
            ids.push_back(group->uid + ":" + std::to_string(group->totalCount));
        std::sort(ids.begin(), ids.end());
        return ids;
    }

    void openTab()
    {
        mainScreen()->switchToView(ORBViewController::kContactsTab);
        settle(harness());
    }
};

// Signs the account in on a harness of its own (a run of the program on that home).
bool signInOn(AppHarness& harness, const char* account, const char* password)
{
    return startClient(harness) && signInThroughScreens(harness, account, password);
}

} // namespace

TEST_F(AddressBookDownload, SignInDownloadsOnceStoresEveryGroupAndAnnouncesIt)
{
    signIn();
    waitForBook();
    EXPECT_EQ(requests(kBook).size(), 1u);
    // The teacher's colleagues, the parents of the two classes taught and of
    // the grade's five other classes, and the other grades' teachers, each counted.
    EXPECT_EQ(storedGroups(),
        (std::vector<std::string> { "CLS101:8", "CLS102:8", "CLS103:44", "CLS104:44", "CLS105:44", "CLS106:44",
            "CLS107:44", "COM001:4", "TEA001:60" }));
    EXPECT_EQ(harness().notifications().count(ContactsViewController::kCompletedRefreshContacts), 1u);
    auto record = bookRecord(harness(), kTeacherUid);
    EXPECT_TRUE(record.get("has_load").boolValue());
    EXPECT_FALSE(record.get("refresh_time").isNull());

    // Opening the tab finds the copy fresh and asks for nothing more.
    openTab();
    harness().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(requests(kBook).size(), 1u);

    // Two requests for a refresh in one turn of the loop start one download:
    // the screen counts as busy from the moment it sends, not when the
    // transfer gets going.
    auto& center = platform::NotificationCenter::defaultCenter();
    center.post(ContactsViewController::kStartRefreshContacts);
    center.post(ContactsViewController::kStartRefreshContacts);
    waitForBook();
    ASSERT_TRUE(waitForAnswer(kBook, 2));
    harness().runUntil([] { return false; }, 0.3);
    EXPECT_EQ(requests(kBook).size(), 2u);
    EXPECT_EQ(harness().notifications().count(ContactsViewController::kCompletedRefreshContacts), 2u);
}

TEST_F(AddressBookDownload, TheCopyIsFreshForAWeekToTheSecond)
{
    signIn();
    waitForBook();
    ASSERT_EQ(requests(kBook).size(), 1u);
    const double stored = std::stod(bookRecord(harness(), kTeacherUid).get("refresh_time").stringValue());
    // A second short of a week: still fresh.
    jumpClock(kWeek - 1 - (contacts::wallClockNow() - stored));
    EXPECT_TRUE(book()->isRefreshContact());
    EXPECT_FALSE(bookRecord(harness(), kTeacherUid).get("refresh_time").isNull());
    // A week: stale, and the time is forgotten, so it stays stale.
    jumpClock(1.01);
    EXPECT_FALSE(book()->isRefreshContact());
    EXPECT_TRUE(bookRecord(harness(), kTeacherUid).get("refresh_time").isNull());
    EXPECT_TRUE(bookRecord(harness(), kTeacherUid).get("has_load").boolValue());
    // Asking for a refresh fetches it and starts a new week.
    book()->btnRefreshTouchUpInside(nullptr);
    waitForBook();
    ASSERT_TRUE(waitForAnswer(kBook, 2));
    EXPECT_TRUE(book()->isRefreshContact());
}

// The book's time follows the phone's clock when that is put back: the copy
// stamped "later" reads as stale (as a time in the future does), the next
// download is stamped with the clock's new time, and the week counts from it.
TEST_F(AddressBookDownload, TheBooksTimeFollowsThePhonesClockWhenItIsPutBack)
{
    double phone = 1.9e9;
    contacts::setWallClockSource([&phone] { return phone; });
    struct Restore {
        ~Restore() { contacts::setWallClockSource(nullptr); }
    } restore;
    auto loop = [] { return platform::RunLoop::main().clock()->now(); };

    signIn();
    waitForBook();
    ASSERT_TRUE(book()->isRefreshContact());
    const double before = contacts::wallClockNow();
    const double loopBefore = loop();
    phone -= 3600;
    const double after = contacts::wallClockNow();
    EXPECT_DOUBLE_EQ(after - before, -3600 + (loop() - loopBefore)) << "the book's time kept an offset";
    EXPECT_FALSE(book()->isRefreshContact()) << "stamped an hour ahead of the clock";

    book()->btnRefreshTouchUpInside(nullptr);
    ASSERT_TRUE(waitForAnswer(kBook, 2));
    // The reply is read off the main loop and stored back on it.
    ASSERT_TRUE(harness().runUntil([&] { return bookIdle() && !book()->isReadingReply(); }));
    const double stamped = std::stod(bookRecord(harness(), kTeacherUid).get("refresh_time").stringValue());
    EXPECT_NEAR(stamped, contacts::wallClockNow(), 1e-3);
    // A moment later (at the very moment of the stamp the copy has no age yet).
    harness().advance(1);
    EXPECT_TRUE(book()->isRefreshContact());
    // A week from the new stamp, to the second.
    phone += kWeek - 1 - (contacts::wallClockNow() - stamped);
    EXPECT_TRUE(book()->isRefreshContact());
    phone += 1.01;
    EXPECT_FALSE(book()->isRefreshContact());
}

TEST(AddressBookFreshness, AgeBoundsAreStrict)
{
    using Record = contacts::AddressBookRecord;
    const double now = 1.8e9;
    struct Row {
        double age;
        bool fresh;
    };
    for (const auto& row : { Row { 1, true }, Row { kWeek - 0.001, true }, Row { kWeek, false },
             Row { kWeek + 1, false }, Row { 0, false }, Row { -60, false } }) {
        SCOPED_TRACE(row.age);
        EXPECT_EQ(Record::isTimeValid(now - row.age, now), row.fresh);
    }
}

TEST(AddressBookRestart, TheStoredCopyIsReadBackAndEachAccountKeepsItsOwnWeek)
{
    TempDir home("contacts-home");
    ASSERT_FALSE(home.path().empty());
    // The parent downloads the book.
    {
        AppHarnessOptions options;
        options.home = home.path();
        AppHarness harness(options);
        ASSERT_TRUE(signInOn(harness, kDemoParent, kDemoParentPassword));
        ASSERT_TRUE(harness.runUntil(bookIdle));
        EXPECT_EQ(harness.server()->requests().withCommand(kBook).size(), 1u);
    }
    // Started again a minute later: the parent's book comes from the file.
    {
        AppHarnessOptions options;
        options.home = home.path();
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        jumpClock(60);
        ASSERT_TRUE(signInThroughScreens(harness, kDemoParent, kDemoParentPassword));
        mainScreen()->switchToView(ORBViewController::kContactsTab);
        settle(harness);
        harness.runUntil([] { return false; }, 0.3);
        EXPECT_EQ(harness.server()->requests().withCommand(kBook).size(), 0u);
        ASSERT_FALSE(book()->listGroup().empty());
        EXPECT_EQ(book()->listGroup().front()->name, "三年级(1)班老师");
        EXPECT_FALSE(book()->listPinyin().empty());
    }
    // Eight days later the teacher downloads on this phone...
    {
        AppHarnessOptions options;
        options.home = home.path();
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        jumpClock(8 * 86400.0);
        ASSERT_TRUE(signInThroughScreens(harness, kDemoTeacher, kDemoTeacherPassword));
        ASSERT_TRUE(harness.runUntil(bookIdle));
        EXPECT_EQ(harness.server()->requests().withCommand(kBook).size(), 1u);
    }
    // ...which does not make the parent's week-old copy fresh.
    {
        AppHarnessOptions options;
        options.home = home.path();
        AppHarness harness(options);
        ASSERT_TRUE(startClient(harness));
        jumpClock(8 * 86400.0);
        ASSERT_TRUE(signInThroughScreens(harness, kDemoParent, kDemoParentPassword));
        mainScreen()->switchToView(ORBViewController::kContactsTab);
        settle(harness);
        ASSERT_TRUE(harness.runUntil(bookIdle));
        ASSERT_TRUE(harness.runUntilAnswered(kBook, 1));
        EXPECT_EQ(harness.server()->requests().withCommand(kBook).size(), 1u);
    }
}

TEST_F(AddressBookDownload, FailuresChangeNothingAndSaySo)
{
    signIn();
    waitForBook();
    const auto before = storedGroups();
    const auto recordBefore = bookRecord(harness(), kTeacherUid);
    // A later group without its list makes the whole reply unusable: the
    // first, well-formed group must not replace the stored one either.
    const std::string badLaterGroup = R"([{"groupId":"COM001","groupName":"新同事","groupType":1,"items":[)"
                                      R"({"linkManId":1,"linkManName":"甲","thumbAvatar":"","orgUserPic":"","linkManType":1}]},)"
                                      R"({"groupId":"CLS101","groupName":"坏组","groupType":2,"items":"x"}])";
    struct Row {
        ScriptedReply reply;
        std::string text;
    };
    const Row rows[] = {
        { compressedBook(badLaterGroup), "通讯录数据解析失败" },
        { compressedBook(R"([{"groupId":"AB","groupName":"短","items":[]}])"), "通讯录数据解析失败" },
        { compressedBook(R"({"a":1})"), "通讯录数据解析失败" },
        { compressedBook("not json"), "通讯录数据解析失败" },
        { ScriptedReply::corruptCompressed(), "通讯录解压失败" },
        { ScriptedReply::errorEnvelope("无权限"), "无权限" },
        { ScriptedReply::custom(200, R"({"resultState":1})"), "加载通讯录失败，请重试..." },
        { ScriptedReply::connectionReset(), "" },
    };
    std::size_t sent = 1;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        harness().server()->script().forCommand(kBook, row.reply);
        const std::size_t failures = harness().notifications().count(ContactsViewController::kFailedRefreshContacts);
        book()->btnRefreshTouchUpInside(nullptr);
        ++sent;
        ASSERT_TRUE(harness().runUntil([&] {
            return harness().notifications().count(ContactsViewController::kFailedRefreshContacts) == failures + 1;
        }));
        EXPECT_FALSE(book()->isRefresh());
        if (!row.text.empty()) {
            EXPECT_EQ(harness().overlayText(), row.text);
        }
        // The failure notice carries the text shown (other screens may post after it).
        const auto& posted = harness().notifications().posted();
        auto failure = std::find_if(posted.rbegin(), posted.rend(),
            [](const auto& n) { return n.name == ContactsViewController::kFailedRefreshContacts; });
        ASSERT_NE(failure, posted.rend());
        EXPECT_EQ(failure->object.stringValue(), harness().overlayText());
        EXPECT_EQ(storedGroups(), before);
        EXPECT_EQ(bookRecord(harness(), kTeacherUid).get("refresh_time").stringValue(),
            recordBefore.get("refresh_time").stringValue());
        EXPECT_EQ(harness().notifications().count(ContactsViewController::kCompletedRefreshContacts), 1u);
    }
    EXPECT_EQ(requests(kBook).size(), sent);
    // A body the transfer had already inflated is the book itself.
    harness().server()->script().forCommand(kBook, ScriptedReply::contentEncoded());
    book()->btnRefreshTouchUpInside(nullptr);
    ASSERT_TRUE(harness().runUntil([&] {
        return harness().notifications().count(ContactsViewController::kCompletedRefreshContacts) == 2;
    }));
    EXPECT_EQ(storedGroups(), before);
    // So is one the transfer inflated from the book's own compression.
    const std::string colleagues = R"([{"groupId":"COM001","groupName":"同事","groupType":1,"items":[)"
                                   R"({"linkManId":7,"linkManName":"赵敏","thumbAvatar":"","orgUserPic":"","linkManType":1}]}])";
    harness().server()->script().forCommand(kBook,
        ScriptedReply::custom(200, compressedWithPadding(compressedWithPadding(colleagues, 0, "", true), 0, "", true),
            "application/octet-stream", { { "Content-Encoding", "gzip" } }));
    book()->btnRefreshTouchUpInside(nullptr);
    ASSERT_TRUE(harness().runUntil([&] {
        return harness().notifications().count(ContactsViewController::kCompletedRefreshContacts) == 3
            || harness().notifications().count(ContactsViewController::kFailedRefreshContacts) > std::size(rows);
    }));
    EXPECT_EQ(harness().overlayText(), "联系人更新完毕");
    EXPECT_EQ(storedGroups(), (std::vector<std::string> { "COM001:1" }));
}

namespace {

// Whether `upper` is drawn over `lower`: at the first ancestors where their
// lines part, the later subview is on top.
bool drawnAbove(const std::shared_ptr<UIView>& upper, const std::shared_ptr<UIView>& lower)
{
    auto line = [](std::shared_ptr<UIView> view) {
        std::vector<std::shared_ptr<UIView>> chain;
        for (; view; view = view->superview())
            chain.insert(chain.begin(), view);
        return chain;
    };
    auto a = line(upper);
    auto b = line(lower);
    std::size_t i = 0;
    while (i < a.size() && i < b.size() && a[i] == b[i])
        ++i;
    if (i == 0 || i == a.size() || i == b.size())
        return i == b.size() && i < a.size(); // the one inside the other is on top of it
    const auto& siblings = a[i - 1]->subviews();
    auto at = [&](const std::shared_ptr<UIView>& v) { return std::find(siblings.begin(), siblings.end(), v) - siblings.begin(); };
    return at(a[i]) > at(b[i]);
}

bool isWithin(std::shared_ptr<UIView> view, const std::shared_ptr<UIView>& ancestor)
{
    for (; view; view = view->superview())
        if (view == ancestor)
            return true;
    return false;
}

} // namespace

// The first sign-in downloads the book while the warm prompt greets the
// person: the notice that it has been updated must not cover the prompt.
TEST(AddressBookNotice, StaysUnderTheWarmPromptOnBothScreens)
{
    onBothScreens([&](AppHarness& harness, bool tall) {
        auto gate = std::make_shared<server::ReplyGate>();
        harness.server()->script().forCommand(kBook, ScriptedReply::normal().heldBy(gate));
        ASSERT_TRUE(passIntroduction(harness));
        ASSERT_TRUE(harness.signIn(kDemoTeacher, kDemoTeacherPassword));
        settle(harness);
        ASSERT_TRUE(harness.runUntil([&] { return !harness.viewsByClass("WarmPrompt").empty(); }));
        auto prompt = harness.viewsByClass("WarmPrompt").front();

        // The book lands while the prompt is up.
        gate->open();
        ASSERT_TRUE(harness.runUntil(bookIdle));
        std::shared_ptr<UIView> notice;
        ASSERT_TRUE(harness.runUntil([&] {
            for (const auto& overlay : findViewsByClass(harness.window(), "ProgressOverlay")) {
                auto labels = findViewsByClass(overlay, "UILabel");
                if (!labels.empty() && textOf(labels.front()) == "联系人更新完毕")
                    notice = overlay;
            }
            return notice != nullptr;
        }));
        // Past the zoom in, not yet at the notice's own hiding.
        harness.advance(0.5);
        ASSERT_NE(notice->superview(), nullptr);
        ASSERT_NE(prompt->superview(), nullptr);

        auto window = harness.window();
        auto centre = prompt->convertPointToView(
            platform::Point(prompt->bounds().width() / 2, prompt->bounds().height() / 2), window.get());
        auto hit = window->hitTest(centre, nullptr);
        EXPECT_TRUE(isWithin(hit, prompt)) << (hit ? hit->className() : "nothing");
        EXPECT_TRUE(drawnAbove(prompt, notice));
        EXPECT_FALSE(harness.render(tall ? "contacts-notice-under-prompt-4inch.png" : "contacts-notice-under-prompt-3.5inch.png").empty());

        // The notice goes by itself; the prompt stays until closed.
        harness.advance(ORBHelper::kProgressHudHideDelay + 0.5);
        EXPECT_FALSE(isShownOnScreen(notice));
        EXPECT_TRUE(isShownOnScreen(prompt));
        ASSERT_TRUE(harness.tapButton("我知道了"));
        settle(harness);
        EXPECT_TRUE(harness.viewsByClass("WarmPrompt").empty());
    });
}
