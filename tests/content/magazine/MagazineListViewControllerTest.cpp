// The shelf against the stand-in: the first sync with no time, the banner
// and the tiles' places, the "new" mark and the opened report, the merges
// of changed and withdrawn issues, and what shows when the server fails.
#include "tests/content/magazine/MagazineTestSupport.h"

#include "app/main/ORBViewController.h"
#include "core/util/ORBHelper.h"
#include "platform/os/ClassRegistry.h"
#include "platform/uikit/LayoutLoader.h"
#include "server/StandinServer.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIScrollView.h"
#include "tests/support/app/ClientApp.h"
#include "ui/images/RemoteImageView.h"

using namespace magazinetest;
using content::MagazineItemView;
using core::ORBHelper;
using platform::Array;
using platform::Dictionary;
using platform::Rect;
using platform::Value;

namespace {

Dictionary issueItem(int postId, int status, const std::string& postDate = "2024-05-01")
{
    return { { "name", "成长期刊 第" + std::to_string(postId) + "期" }, { "postId", postId }, { "category", "家庭教育" },
        { "coverOriginal", "" }, { "coverThumb", "" }, { "postNumber", postId }, { "postDate", postDate },
        { "status", status }, { "readNumber", 0 } };
}

} // namespace

TEST_F(MagazineScreenTest, FirstSyncLaysOutTheShelfUnderTheBanner)
{
    signIn();
    // The progress overlay stays while the answer is held.
    auto gate = holdNext("50001");
    auto shelf = std::dynamic_pointer_cast<content::MagazineListViewController>(
        platform::ClassRegistry::shared().create("MagazineListViewController"));
    ASSERT_TRUE(shelf);
    open(shelf, ORBViewController::kMessageTab);
    // The overlay comes with the request's start on the main loop, which may
    // follow the request's arrival at the server.
    ASSERT_TRUE(harness().runUntil(
        [&] { return requests("50001").size() == 1 && harness().overlayText() == "正在更新杂志列表"; }));
    EXPECT_EQ(requests("50001")[0].bodyValue("updateTime"), Value(""));
    EXPECT_EQ(shelf->title(), "成长期刊");
    gate->open();
    ASSERT_TRUE(waitForAnswer("50001"));
    ASSERT_TRUE(harness().runUntilOverlayGone());

    // Newest first, two to a row, under a banner of 216 points.
    auto shown = tiles(*shelf);
    ASSERT_EQ(shown.size(), 4u);
    const int order[] = { 4, 3, 2, 1 };
    const Rect frames[] = { Rect(0, 216, 155, 145), Rect(155, 216, 155, 145), Rect(0, 361, 155, 145),
        Rect(155, 361, 155, 145) };
    for (std::size_t i = 0; i < shown.size(); ++i) {
        EXPECT_EQ(shown[i]->magazineInfo()->postId, order[i]) << i;
        EXPECT_EQ(shown[i]->frame(), frames[i]) << i;
    }
    EXPECT_EQ(shelf->scrollView()->contentSize(), platform::Size(320, 506));
    ASSERT_TRUE(shelf->bannerView());
    EXPECT_EQ(shelf->bannerView()->frame(), Rect(0, 0, 320, 216));
    // The first advertisement's picture.
    EXPECT_TRUE(harness().runUntil([&] {
        for (const auto& request : harness().serverRequests()) {
            if (request.route == "static/img/ad-1.png")
                return true;
        }
        return false;
    }));

    // The tile's texts; the mark on the issues not yet opened.
    EXPECT_EQ(labelTexts(*shown[0]), (std::vector<std::string> { "第4期", "2024年", "05月", "1", "成长期刊 第4期" }));
    EXPECT_EQ(labelTexts(*shown[3]), (std::vector<std::string> { "第1期", "2024年", "03月", "12", "成长期刊 第1期" }));
    for (const auto& tile : shown)
        EXPECT_FALSE(tile->addImage()->isHidden()) << tile->magazineInfo()->postId;

    // The sync's time and the advertisements are kept for the account.
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime), Value("2024-05-12 08:00:00"));
    EXPECT_TRUE(ORBHelper::userDefaultForKey(ORBHelper::kMagazineHasAds).boolValue());
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM tb_magazines"), 4);

    ASSERT_TRUE(harness().runUntil([&] {
        for (const auto& tile : shown) {
            if (!tile->coverThumbView()->image())
                return false;
        }
        return shelf->bannerView()->image() != nullptr;
    }));
    harness().advance(1);
    EXPECT_FALSE(harness().render("magazine-list.png").empty());

    // The next visit sends the kept time back.
    goBack();
    openShelf();
    ASSERT_EQ(requests("50001").size(), 2u);
    EXPECT_EQ(requests("50001")[1].bodyValue("updateTime"), Value("2024-05-12 08:00:00"));
}

TEST_F(MagazineScreenTest, OpeningANewIssueReportsItOnceAndClearsTheMark)
{
    signIn();
    auto shelf = openShelf();
    ASSERT_TRUE(shelf);
    auto tile = tileOf(*shelf, 4);
    ASSERT_TRUE(tile);
    ASSERT_FALSE(tile->addImage()->isHidden());

    auto reader = openIssue(*shelf, 4);
    ASSERT_TRUE(reader);
    EXPECT_TRUE(tile->addImage()->isHidden());
    EXPECT_EQ(reader->magazineInfo()->postId, 4);
    ASSERT_TRUE(waitForAnswer("50003"));
    ASSERT_EQ(requests("50003").size(), 1u);
    EXPECT_EQ(requests("50003")[0].bodyValue("postId"), Value(4));
    ASSERT_TRUE(harness().runUntil([] {
        auto stored = storedIssue(4);
        return stored && stored->status == 1;
    }));

    // Back on the shelf the issue is read, and counted once more by the server.
    goBack();
    goBack();
    shelf = openShelf();
    ASSERT_TRUE(shelf);
    tile = tileOf(*shelf, 4);
    ASSERT_TRUE(tile);
    EXPECT_TRUE(tile->addImage()->isHidden());
    EXPECT_EQ(labelTexts(*tile)[3], "2");

    // An issue already read opens at once and reports nothing.
    auto again = openIssue(*shelf, 4);
    ASSERT_TRUE(again);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(requests("50003").size(), 1u);
}

TEST_F(MagazineScreenTest, AFailedOpenedReportShowsTheMarkAgainNextTime)
{
    signIn();
    auto shelf = openShelf();
    ASSERT_TRUE(shelf);
    harness().server()->script().forCommand("50003", server::ScriptedReply::errorEnvelope("操作失败"));
    ASSERT_TRUE(openIssue(*shelf, 3));
    ASSERT_TRUE(waitForAnswer("50003"));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(storedIssue(3)->status, 2);
    goBack();
    goBack();
    shelf = openShelf();
    EXPECT_FALSE(tileOf(*shelf, 3)->addImage()->isHidden());
}

TEST_F(MagazineScreenTest, ChangedIssuesKeepTheirReadStateAndLoseTheirContents)
{
    signIn();
    auto shelf = openShelf();
    ASSERT_TRUE(shelf);
    // Issue 3 changed on the server after this time: it comes back with status 3.
    ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineUpdateTime, Value("2024-05-01 00:00:00"));
    goBack();
    shelf = openShelf();
    ASSERT_TRUE(shelf);
    EXPECT_EQ(tiles(*shelf).size(), 4u);
    EXPECT_EQ(storedIssue(3)->status, 2);
    EXPECT_FALSE(tileOf(*shelf, 3)->addImage()->isHidden());

    // Opened and read, with its contents stored; changed again, it stays read
    // and its stored contents go with the old copy.
    auto reader = openIssue(*shelf, 3);
    ASSERT_TRUE(reader);
    ASSERT_TRUE(waitForAnswer("50003"));
    ASSERT_TRUE(waitForAnswer("50002"));
    ASSERT_TRUE(waitForDirectory(*reader));
    int oldRow = storedIssue(3)->_id;
    EXPECT_GT(countRows("SELECT COUNT(*) FROM tb_magazine_directories WHERE n_magazine_id = " + std::to_string(oldRow)), 0);
    goBack();
    goBack();
    ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineUpdateTime, Value("2024-05-01 00:00:00"));
    shelf = openShelf();
    ASSERT_TRUE(shelf);
    auto changed = storedIssue(3);
    ASSERT_TRUE(changed);
    EXPECT_EQ(changed->status, 1);
    EXPECT_TRUE(tileOf(*shelf, 3)->addImage()->isHidden());
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM tb_magazine_directories WHERE n_magazine_id = " + std::to_string(oldRow)), 0);
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM tb_magazines"), 4);
}

TEST_F(MagazineScreenTest, AWithdrawnIssueLeavesTheShelfAndTheBannerGoesWithTheAdvertisements)
{
    signIn();
    auto shelf = openShelf();
    ASSERT_TRUE(shelf);
    ASSERT_TRUE(shelf->bannerView());
    goBack();
    harness().server()->script().forCommand("50001",
        reply({ { "updateTime", "2024-06-01 00:00:00" }, { "items", Array { Value(issueItem(2, 0)) } } }));
    shelf = openShelf();
    ASSERT_TRUE(shelf);
    auto shown = tiles(*shelf);
    ASSERT_EQ(shown.size(), 3u);
    for (const auto& tile : shown)
        EXPECT_NE(tile->magazineInfo()->postId, 2);
    EXPECT_EQ(shown[0]->frame(), Rect(0, 0, 155, 145));
    EXPECT_EQ(shown[2]->frame(), Rect(0, 145, 155, 145));
    EXPECT_EQ(shelf->scrollView()->contentSize(), platform::Size(320, 290));
    EXPECT_FALSE(shelf->bannerView());
    EXPECT_FALSE(ORBHelper::userDefaultForKey(ORBHelper::kMagazineHasAds).boolValue());
    EXPECT_TRUE(ORBHelper::userDefaultForKey(ORBHelper::kMagazineAds).isNull());
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime), Value("2024-06-01 00:00:00"));
}

TEST_F(MagazineScreenTest, AnIssueDateWithoutAMonthLeavesTheMonthEmpty)
{
    // A date the server sent short: the parts it lacks are empty, not a crash.
    const std::pair<std::string, std::pair<std::string, std::string>> dates[] = {
        { "2024-05-01", { "2024", "05" } },
        { "2024-05", { "2024", "05" } },
        { "2024", { "2024", "" } },
        { "", { "", "" } },
    };
    for (const auto& [date, parts] : dates)
        EXPECT_EQ(MagazineItemView::yearAndMonth(date), parts) << date;

    signIn();
    harness().server()->script().forCommand(
        "50001", reply({ { "updateTime", "2024-06-01" }, { "items", Array { Value(issueItem(9, 2, "2024")) } } }));
    auto shelf = openShelf();
    ASSERT_TRUE(shelf);
    ASSERT_EQ(tiles(*shelf).size(), 1u);
    auto texts = labelTexts(*tiles(*shelf)[0]);
    EXPECT_EQ(texts[1], "2024年");
    EXPECT_EQ(texts[2], "月");
}

TEST_F(MagazineScreenTest, WithoutTheServerTheStoredIssuesShowOrTheFailureIsSaid)
{
    signIn();
    // Nothing stored: the failure text for 1.5 s, and an empty shelf.
    harness().server()->script().forCommand("50001", server::ScriptedReply::errorEnvelope("服务器忙"));
    auto shelf = openShelf();
    ASSERT_TRUE(shelf);
    EXPECT_EQ(harness().overlayText(), "更新失败，请重试");
    EXPECT_TRUE(tiles(*shelf).empty());
    EXPECT_FALSE(harness().viewByText(content::MagazineListViewController::kEmptyText));
    // 1.5 s, then the overlay's fade.
    harness().advance(2.0);
    EXPECT_EQ(harness().overlayText(), "");

    // Stored before: shown without a word.
    goBack();
    shelf = openShelf();
    ASSERT_EQ(tiles(*shelf).size(), 4u);
    goBack();
    harness().server()->script().forCommand("50001", server::ScriptedReply::connectionReset());
    shelf = openShelf();
    ASSERT_TRUE(shelf);
    EXPECT_EQ(tiles(*shelf).size(), 4u);
    EXPECT_EQ(harness().overlayText(), "");
}

TEST_F(MagazineScreenTest, AnEmptyShelfSaysSo)
{
    signIn();
    harness().server()->script().forCommand("50001", reply({ { "items", Array() } }));
    auto shelf = openShelf();
    ASSERT_TRUE(shelf);
    EXPECT_TRUE(tiles(*shelf).empty());
    auto empty = harness().viewByText(content::MagazineListViewController::kEmptyText);
    ASSERT_TRUE(empty);
    EXPECT_FALSE(shelf->bannerView());
    // A list without a time keeps the time it had (none yet).
    EXPECT_EQ(ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime), Value(""));
}

TEST_F(MagazineScreenTest, TheLayoutsConnectEveryOutletAndAction)
{
    signIn();
    platform::LayoutLoader::takeReports();
    // The tile and the content view are their own files' first objects; the
    // screens' files bind to the screens.
    EXPECT_TRUE(MagazineItemView::itemView());
    EXPECT_TRUE(content::MagazineContentView::contentView());
    for (const char* name : { "MagazineListViewController", "MagazineViewController" }) {
        auto owner = platform::ClassRegistry::shared().create(name);
        ASSERT_TRUE(owner) << name;
        EXPECT_FALSE(platform::LayoutLoader::loadNamed(name, owner).empty()) << name;
    }
    std::string reports;
    for (const auto& line : platform::LayoutLoader::takeReports())
        reports += "\n  " + line;
    EXPECT_TRUE(reports.empty()) << reports;
}

TEST_F(MagazineScreenTest, TheUpdateOverlayGoesWhenTheShelfHasGoneBeforeTheAnswer)
{
    signIn();
    auto gate = holdNext("50001");
    auto shelf = std::dynamic_pointer_cast<content::MagazineListViewController>(
        platform::ClassRegistry::shared().create("MagazineListViewController"));
    ASSERT_TRUE(shelf);
    open(shelf, ORBViewController::kMessageTab);
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "正在更新杂志列表"; }));
    std::weak_ptr<content::MagazineListViewController> weak = shelf;
    shelf.reset();
    goBack();
    gate->open();
    ASSERT_TRUE(waitForAnswer("50001"));
    // The answer reaches the main loop some time after the server sent it:
    // the overlay is waited for, not looked at once.
    EXPECT_TRUE(harness().runUntilOverlayGone());
    EXPECT_TRUE(weak.expired());
    // The answer was stored all the same.
    EXPECT_TRUE(harness().runUntil([&] { return countRows("SELECT COUNT(*) FROM tb_magazines") == 4; }));
}
