#include "tests/content/magazine/MagazineTestSupport.h"

#include "app/main/ORBViewController.h"
#include "core/store/ORBDBHelper.h"
#include "platform/os/ClassRegistry.h"
#include "platform/os/PlatformJson.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWebView.h"
#include "tests/support/app/ClientApp.h"

#include <sqlite3.h>

namespace magazinetest {

std::shared_ptr<content::MagazineListViewController> MagazineScreenTest::openShelf()
{
    auto shelf = std::dynamic_pointer_cast<content::MagazineListViewController>(
        platform::ClassRegistry::shared().create("MagazineListViewController"));
    EXPECT_TRUE(shelf) << "the navigation row's class is not the shelf";
    if (!shelf)
        return nullptr;
    std::size_t answered = harness().answeredCount("50001");
    open(shelf, ORBViewController::kMessageTab);
    EXPECT_TRUE(waitForAnswer("50001", answered + 1));
    // The answer reaches the shelf after the server has sent it: wait for
    // one of its outcomes (tiles, the empty shelf's text, the failure's).
    harness().runUntil([&] {
        return !tiles(*shelf).empty() || harness().viewByText(content::MagazineListViewController::kEmptyText)
            || harness().overlayText() == "更新失败，请重试";
    });
    EXPECT_TRUE(harness().roundTrip());
    return shelf;
}

std::vector<std::shared_ptr<content::MagazineItemView>> MagazineScreenTest::tiles(
    const content::MagazineListViewController& shelf) const
{
    std::vector<std::shared_ptr<content::MagazineItemView>> found;
    for (const auto& subview : shelf.scrollView()->subviews()) {
        if (auto tile = std::dynamic_pointer_cast<content::MagazineItemView>(subview))
            found.push_back(tile);
    }
    return found;
}

std::shared_ptr<content::MagazineItemView> MagazineScreenTest::tileOf(
    const content::MagazineListViewController& shelf, int postId) const
{
    for (const auto& tile : tiles(shelf)) {
        if (tile->magazineInfo() && tile->magazineInfo()->postId == postId)
            return tile;
    }
    return nullptr;
}

std::vector<std::string> MagazineScreenTest::labelTexts(const UIView& tile)
{
    std::vector<std::string> texts;
    for (const auto& subview : tile.subviews()) {
        if (auto label = std::dynamic_pointer_cast<UILabel>(subview))
            texts.push_back(label->text());
    }
    return texts;
}

std::shared_ptr<content::MagazineViewController> MagazineScreenTest::openIssue(
    const content::MagazineListViewController& shelf, int postId)
{
    auto tile = tileOf(shelf, postId);
    EXPECT_TRUE(tile) << "no tile for issue " << postId;
    if (!tile || !harness().tap(tile))
        return nullptr;
    settle(harness());
    return std::dynamic_pointer_cast<content::MagazineViewController>(harness().topScreen());
}

bool MagazineScreenTest::waitForDirectory(const content::MagazineViewController& reader)
{
    return harness().runUntil([&] { return reader.headView() != nullptr; });
}

bool MagazineScreenTest::waitForChapter(const content::MagazineViewController& reader, int chapterId)
{
    auto content = reader.magazineContentView();
    if (!content)
        return false;
    std::string path = "/mobile2/pull/magazine/" + std::to_string(reader.magazineInfo()->postId) + "/"
        + std::to_string(chapterId);
    return harness().runUntil([&] {
        auto front = content->isWebView1() ? content->webView() : content->webView2();
        return front->request() && front->request()->URL.path() == path && !front->isLoading()
            && !content->viewWithTag(content::MagazineContentView::kLoadingViewTag);
    });
}

std::shared_ptr<core::MagazineInfo> MagazineScreenTest::storedIssue(int postId)
{
    for (const auto& row : core::ORBDBHelper::sharedORBDBHelper()->allDBDatas(core::ORBDBHelper::kMagazines)) {
        auto issue = row.objectAs<core::MagazineInfo>();
        if (issue && issue->postId == postId)
            return issue;
    }
    return nullptr;
}

int MagazineScreenTest::countRows(const std::string& sql) const
{
    sqlite3* db = nullptr;
    int count = -1;
    if (sqlite3_open_v2(core::ORBDBHelper::databasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &statement, nullptr) == SQLITE_OK
            && sqlite3_step(statement) == SQLITE_ROW)
            count = sqlite3_column_int(statement, 0);
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return count;
}

void MagazineScreenTest::goBack()
{
    auto navigation = harness().visibleNavigationController();
    ASSERT_TRUE(navigation);
    navigation->popViewControllerAnimated(true);
    testsupport::settle(harness());
}

server::ScriptedReply MagazineScreenTest::reply(platform::Dictionary body)
{
    body.set("resultState", 1);
    body.set("resultMsg", "");
    return server::ScriptedReply::custom(200, platform::PlatformJson::write(platform::Value(std::move(body))).value_or(""));
}

} // namespace magazinetest
