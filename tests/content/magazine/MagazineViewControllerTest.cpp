// The reader against the stand-in, with the chapters on the browser engine:
// the tips shown once, the contents downloaded once and read from the store
// after, cover → directory → chapters by taps and swipes, the last page, a
// chapter that fails and is loaded again, and the head strip turning every
// five seconds until the reader goes.
#include "tests/content/magazine/MagazineTestSupport.h"

#include "core/util/ORBHelper.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWebView.h"
#include "server/StandinServer.h"
#include "platform/uikit/AnimationLog.h"

#include <algorithm>
#include "tests/support/app/ClientApp.h"
#include "ui/images/RemoteImageView.h"

using namespace magazinetest;
using content::MagazineContentView;
using content::MagazineViewController;
using core::ORBHelper;
using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

// The separator lines of the directory list, top to bottom.
std::vector<double> separatorTops(const UIScrollView& list)
{
    std::vector<double> tops;
    for (const auto& subview : list.subviews()) {
        if (subview->frame().size.height == 1 && subview->frame().size.width == MagazineViewController::kLineWidth)
            tops.push_back(subview->frame().origin.y);
    }
    return tops;
}

std::shared_ptr<UIButton> chapterButton(const UIScrollView& list, int chapterId)
{
    for (const auto& subview : list.subviews()) {
        if (auto button = std::dynamic_pointer_cast<UIButton>(subview); button && button->tag() == chapterId)
            return button;
    }
    return nullptr;
}

// The last page turn the reader asked for.
platform::AnimationRecord lastTurn(const testsupport::AppHarness& harness)
{
    const auto& log = harness.animations();
    for (auto record = log.rbegin(); record != log.rend(); ++record) {
        if (record->transitionType == "pageCurl")
            return *record;
    }
    return {};
}

Dictionary chapter(int id, const std::string& title)
{
    return { { "chapterId", id }, { "category", "栏目" }, { "title", title }, { "headImage", "" } };
}

} // namespace

class MagazineReader : public MagazineScreenTest {
protected:
    // The shelf, then issue 1 in the reader.
    std::shared_ptr<MagazineViewController> openFirstIssue()
    {
        shelf_ = openShelf();
        if (!shelf_)
            return nullptr;
        return openIssue(*shelf_, 1);
    }
    // Signed in, the tips seen before: issue 1 in the reader, once its
    // directory has come.
    std::shared_ptr<MagazineViewController> openFirstIssueAtItsDirectory()
    {
        signIn();
        ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineShowsGuide, false);
        auto reader = openFirstIssue();
        return reader && waitForDirectory(*reader) ? reader : nullptr;
    }
    // Turns from the tips to the cover, when they show.
    void dismissTips(MagazineViewController& reader)
    {
        if (reader.useGuideImageView()) {
            ASSERT_TRUE(harness().tap(reader.useGuideImageView()));
        }
    }
    std::string frontTitle(const MagazineViewController& reader)
    {
        auto content = reader.magazineContentView();
        auto front = content->isWebView1() ? content->webView() : content->webView2();
        return front->documentTitle();
    }
    std::shared_ptr<content::MagazineListViewController> shelf_;
};

TEST_F(MagazineReader, TipsThenCoverDirectoryAndChaptersByTaps)
{
    signIn();
    auto gate = holdNext("50002");
    auto reader = openFirstIssue();
    ASSERT_TRUE(reader);
    EXPECT_TRUE(harness().visibleNavigationController()->isNavigationBarHidden());

    // Nothing stored: the contents are asked for, behind the overlay.
    ASSERT_TRUE(harness().runUntil([&] { return requests("50002").size() == 1; }));
    EXPECT_EQ(requests("50002")[0].bodyValue("postId"), Value(1));
    EXPECT_EQ(requests("50002")[0].bodyValue("magazineId"), Value(storedIssue(1)->_id));
    ASSERT_TRUE(harness().runUntil([&] { return harness().overlayText() == "正在下载杂志信息,请稍候..."; }));
    gate->open();
    ASSERT_TRUE(waitForDirectory(*reader));
    EXPECT_EQ(harness().overlayText(), "");

    // The tips show on the first opening and take the first tap.
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kTipsPage);
    ASSERT_TRUE(reader->useGuideImageView());
    EXPECT_FALSE(harness().render("magazine-reader-tips.png").empty());
    ASSERT_TRUE(harness().tap(reader->useGuideImageView()));
    EXPECT_FALSE(reader->useGuideImageView());
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kCoverPage);
    EXPECT_FALSE(ORBHelper::userDefaultForKey(ORBHelper::kMagazineShowsGuide).boolValue());
    ASSERT_TRUE(harness().runUntil([&] { return testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView")->image() != nullptr; }));
    harness().advance(1);
    EXPECT_FALSE(harness().render("magazine-reader-cover.png").empty());

    // The cover turns to the directory with a page curl.
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView")));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kDirectoryPage);
    EXPECT_FALSE(testsupport::findOutlet<UIView>(reader->view(), "directoryView")->isHidden());
    EXPECT_TRUE(testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView")->isHidden());
    auto turn = lastTurn(harness());
    EXPECT_EQ(turn.transitionType, "pageCurl");
    EXPECT_EQ(turn.transitionSubtype, "fromBottom");
    EXPECT_EQ(turn.name, "animation");
    EXPECT_DOUBLE_EQ(turn.duration, 0.5);

    // The directory: the issue's labels, three directories of 88, 101 and 101 points.
    EXPECT_TRUE(harness().viewByText("第1期"));
    EXPECT_TRUE(harness().viewByText("·成长期刊 第1期"));
    EXPECT_TRUE(harness().viewByText("2024年03月"));
    const auto& list = *testsupport::findOutlet<UIScrollView>(reader->view(), "directoryScrollView");
    EXPECT_EQ(separatorTops(list), (std::vector<double> { 0, 88, 189, 290 }));
    EXPECT_EQ(list.contentSize(), platform::Size(320, 290));
    auto title = chapterButton(list, 104);
    ASSERT_TRUE(title);
    EXPECT_EQ(title->frame(), platform::Rect(90, 88 + 15 + 43 + 13, 220, 20));
    EXPECT_EQ(title->titleForState(UIControlStateNormal).value_or(""), "亲子共读的十个建议");
    EXPECT_EQ(reader->allChapterIndexs(), (std::vector<std::string> { "101", "103", "104", "105", "106" }));
    ASSERT_TRUE(reader->headView());
    EXPECT_EQ(reader->headView()->headChapters().size(), 3u);
    harness().runUntil([] { return false; }, 0.5);
    harness().advance(1);
    EXPECT_FALSE(harness().render("magazine-reader-directory.png").empty());

    // The corner opens the first chapter in both web views; held by the
    // server, the page shows its loading view.
    auto pageGate = std::make_shared<server::ReplyGate>();
    harness().server()->script().forRoute("magazine/1/101", server::ScriptedReply::normal().heldBy(pageGate), 2);
    ASSERT_TRUE(harness().tap(reader->curlPageImageView()));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kContentPage);
    auto content = reader->magazineContentView();
    ASSERT_TRUE(harness().runUntil([&] { return content->webView()->request() && content->webView2()->request(); }));
    EXPECT_EQ(content->webView()->request()->URL.absoluteString(), harness().serverBase() + "mobile2/pull/magazine/1/101");
    EXPECT_EQ(content->webView2()->request()->URL.absoluteString(), harness().serverBase() + "mobile2/pull/magazine/1/101");
    ASSERT_TRUE(harness().runUntil([&] { return content->viewWithTag(MagazineContentView::kLoadingViewTag) != nullptr; }));
    EXPECT_TRUE(harness().viewByText(MagazineContentView::kLoadingText));
    const auto& scripts = content->webView()->evaluatedScripts();
    EXPECT_NE(std::find_if(scripts.begin(), scripts.end(),
                  [](const std::string& script) {
                      return script.find(MagazineContentView::kClearScript) != std::string::npos;
                  }),
        scripts.end());
    pageGate->open();
    ASSERT_TRUE(waitForChapter(*reader, 101));
    EXPECT_EQ(frontTitle(*reader), "写在前面");
    content->webView()->updateDrawing();
    content->webView2()->updateDrawing();
    EXPECT_FALSE(harness().render("magazine-reader-chapter.png").empty());

    // Each tap turns to the next chapter (a moment apart: two quick taps on
    // the corner are a double tap); after the last one the page stays.
    for (int next : { 103, 104, 105, 106 }) {
        harness().advance(1);
        ASSERT_TRUE(harness().tap(reader->curlPageImageView()));
        EXPECT_EQ(content->currentIndex(), next);
        ASSERT_TRUE(waitForChapter(*reader, next)) << next;
    }
    EXPECT_EQ(frontTitle(*reader), "和孩子好好说话");
    harness().advance(1);
    ASSERT_TRUE(harness().tap(reader->curlPageImageView()));
    EXPECT_EQ(harness().overlayText(), MagazineContentView::kLastPageText);
    EXPECT_EQ(content->currentIndex(), 106);
    harness().advance(2);
    EXPECT_EQ(harness().overlayText(), "");
}

TEST_F(MagazineReader, SwipesTurnPagesAndLeaveFromCoverOrDirectory)
{
    signIn();
    ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineShowsGuide, false);
    auto reader = openFirstIssue();
    ASSERT_TRUE(reader);
    EXPECT_FALSE(reader->useGuideImageView());
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kCoverPage);
    ASSERT_TRUE(waitForDirectory(*reader));

    // Left on the cover: the directory; left on the directory: the first chapter.
    ASSERT_TRUE(harness().swipe(testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView"), testsupport::SwipeDirection::Left));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kDirectoryPage);
    ASSERT_TRUE(harness().swipe(testsupport::findOutlet<UIView>(reader->view(), "directoryView"), testsupport::SwipeDirection::Left));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kContentPage);
    auto content = reader->magazineContentView();
    ASSERT_TRUE(waitForChapter(*reader, 101));

    // Swipes on the page: on to 103, back to 101, and back past the first to the directory.
    ASSERT_TRUE(harness().swipe(content->webView(), testsupport::SwipeDirection::Left));
    EXPECT_EQ(content->currentIndex(), 103);
    ASSERT_TRUE(waitForChapter(*reader, 103));
    EXPECT_FALSE(content->isWebView1());
    EXPECT_EQ(lastTurn(harness()).transitionSubtype, "fromBottom");
    ASSERT_TRUE(harness().swipe(content->webView2(), testsupport::SwipeDirection::Right));
    EXPECT_EQ(content->currentIndex(), 101);
    EXPECT_EQ(lastTurn(harness()).transitionSubtype, "fromLeft");
    // Going back a chapter keeps the reader open.
    settle(harness());
    EXPECT_EQ(harness().topScreen(), reader);
    ASSERT_TRUE(waitForChapter(*reader, 101));
    ASSERT_TRUE(harness().swipe(content->webView2(), testsupport::SwipeDirection::Right));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kDirectoryPage);
    EXPECT_FALSE(testsupport::findOutlet<UIView>(reader->view(), "directoryView")->isHidden());
    EXPECT_TRUE(reader->contentView()->isHidden());

    // A chapter's title in the directory opens it; the toolbar goes back.
    ASSERT_TRUE(harness().tap(chapterButton(*testsupport::findOutlet<UIScrollView>(reader->view(), "directoryScrollView"), 105)));
    EXPECT_EQ(content->currentIndex(), 105);
    ASSERT_TRUE(harness().tapButton("‹ 返回目录"));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kDirectoryPage);

    // Right on the directory leaves the reader.
    ASSERT_TRUE(harness().swipe(testsupport::findOutlet<UIView>(reader->view(), "directoryView"), testsupport::SwipeDirection::Right));
    settle(harness());
    EXPECT_EQ(harness().topScreen(), shelf_);

    // Right on the cover leaves too; the toolbar's list button leaves from a chapter.
    reader = openIssue(*shelf_, 1);
    ASSERT_TRUE(reader);
    ASSERT_TRUE(harness().swipe(testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView"), testsupport::SwipeDirection::Right));
    settle(harness());
    EXPECT_EQ(harness().topScreen(), shelf_);
    reader = openIssue(*shelf_, 1);
    ASSERT_TRUE(reader);
    ASSERT_TRUE(waitForDirectory(*reader));
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView")));
    ASSERT_TRUE(harness().tap(reader->curlPageImageView()));
    ASSERT_TRUE(harness().tapButton("返回书架"));
    settle(harness());
    EXPECT_EQ(harness().topScreen(), shelf_);
}

// On a busy machine the engine's news of a page's loads reaches the reader
// late: a page still loading the chapter it had when the person turned on is
// heard to finish that load only once the next chapter has come in, and the
// next chapter's start only after that. The chapter turned to stays whole.
TEST_F(MagazineReader, ATurnedPageKeepsItsChapterWhenItsLoadsAreHeardLate)
{
    auto reader = openFirstIssueAtItsDirectory();
    ASSERT_TRUE(reader);
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView")));
    ASSERT_TRUE(harness().tap(reader->curlPageImageView()));
    auto content = reader->magazineContentView();
    auto bothShow = [&](int chapterId) {
        return harness().runUntil([&] {
            for (const auto& web : { content->webView(), content->webView2() }) {
                if (!web->request() || !web->request()->URL.path().ends_with("/" + std::to_string(chapterId))
                    || web->isLoading())
                    return false;
            }
            return !content->viewWithTag(MagazineContentView::kLoadingViewTag);
        });
    };
    ASSERT_TRUE(bothShow(101));
    ASSERT_TRUE(harness().swipe(content->webView(), testsupport::SwipeDirection::Left));
    ASSERT_EQ(content->currentIndex(), 103);
    ASSERT_TRUE(bothShow(103));

    for (const auto& web : { content->webView(), content->webView2() }) {
        content->webViewDidFinishLoad(web.get()); // the load of 101
        content->webViewDidStartLoad(web.get()); // the load of 103
        content->webViewDidFinishLoad(web.get());
    }
    for (const auto& web : { content->webView(), content->webView2() })
        EXPECT_NE(web->documentText().find("如何培养阅读习惯"), std::string::npos) << "the chapter's page was emptied";
    EXPECT_FALSE(content->viewWithTag(MagazineContentView::kLoadingViewTag));
}

TEST_F(MagazineReader, ContentsAreDownloadedOnceAndReadFromTheStoreAfter)
{
    signIn();
    auto reader = openFirstIssue();
    ASSERT_TRUE(reader);
    ASSERT_TRUE(waitForDirectory(*reader));
    int row = storedIssue(1)->_id;
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM tb_magazine_directories WHERE n_magazine_id = " + std::to_string(row)), 3);
    EXPECT_EQ(countRows("SELECT COUNT(*) FROM tb_magazine_chapters c JOIN tb_magazine_directories d ON c.n_directory_id "
                        "= d.n_id WHERE d.n_magazine_id = "
                  + std::to_string(row) + " AND c.n_default = 1"),
        3);
    dismissTips(*reader);
    goBack();

    // The second opening: no tips, no request, the same directory.
    reader = openIssue(*shelf_, 1);
    ASSERT_TRUE(reader);
    EXPECT_FALSE(reader->useGuideImageView());
    ASSERT_TRUE(waitForDirectory(*reader));
    EXPECT_EQ(reader->allChapterIndexs().size(), 5u);
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(requests("50002").size(), 1u);
}

TEST_F(MagazineReader, AFailedDownloadLeavesAnEmptyDirectoryThatOpensNothing)
{
    signIn();
    ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineShowsGuide, false);
    harness().server()->script().forCommand("50002", server::ScriptedReply::errorEnvelope("期刊不存在"));
    auto reader = openFirstIssue();
    ASSERT_TRUE(reader);
    ASSERT_TRUE(waitForAnswer("50002"));
    ASSERT_TRUE(harness().roundTrip());
    EXPECT_EQ(harness().overlayText(), "");
    EXPECT_FALSE(reader->headView());
    EXPECT_TRUE(separatorTops(*testsupport::findOutlet<UIScrollView>(reader->view(), "directoryScrollView")).empty());

    // The cover still turns; on the empty directory a tap or a left swipe stays.
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView")));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kDirectoryPage);
    ASSERT_TRUE(harness().tap(reader->curlPageImageView()));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kDirectoryPage);
    ASSERT_TRUE(harness().swipe(testsupport::findOutlet<UIView>(reader->view(), "directoryView"), testsupport::SwipeDirection::Left));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kDirectoryPage);
    EXPECT_TRUE(reader->contentView()->isHidden());
}

TEST_F(MagazineReader, ADirectoryWithoutChaptersIsLeftOutAndOneHeadChapterStandsStill)
{
    signIn();
    ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineShowsGuide, false);
    Array items {
        Value(Dictionary { { "directoryId", 1 }, { "directoryName", "空栏目" }, { "directoryLogo", "" },
            { "chapters", Array() } }),
        Value(Dictionary { { "directoryId", 2 }, { "directoryName", "专题" }, { "directoryLogo", "" },
            { "chapters", Array { Value(chapter(201, "第一篇")), Value(chapter(202, "第二篇")) } } }),
    };
    harness().server()->script().forCommand("50002", reply({ { "headChapterIds", "201" }, { "items", items } }));
    auto reader = openFirstIssue();
    ASSERT_TRUE(reader);
    ASSERT_TRUE(waitForDirectory(*reader));
    // The store keeps directories by their chapters: one without any is not listed.
    const auto& list = *testsupport::findOutlet<UIScrollView>(reader->view(), "directoryScrollView");
    EXPECT_EQ(separatorTops(list), (std::vector<double> { 0, 101 }));
    EXPECT_FALSE(harness().viewByText("空栏目"));
    EXPECT_EQ(reader->allChapterIndexs(), (std::vector<std::string> { "201", "202" }));
    // One head chapter: the strip stands still.
    EXPECT_FALSE(reader->headView()->isTurning());
    harness().advance(6);
    EXPECT_EQ(reader->headView()->contentOffset().x, 0);

    // The directory's logo opens its first chapter.
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView")));
    auto name = harness().viewByText("专题");
    ASSERT_TRUE(name);
    ASSERT_TRUE(harness().tap(name->superview()));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kContentPage);
    EXPECT_EQ(reader->magazineContentView()->currentIndex(), 201);
}

TEST_F(MagazineReader, AChapterThatFailsToLoadIsLoadedAgainByATap)
{
    signIn();
    ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineShowsGuide, false);
    harness().server()->script().forRoute("magazine/1/101", server::ScriptedReply::connectionReset(), 2);
    auto reader = openFirstIssue();
    ASSERT_TRUE(reader);
    ASSERT_TRUE(waitForDirectory(*reader));
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView")));
    ASSERT_TRUE(harness().tap(reader->curlPageImageView()));
    auto content = reader->magazineContentView();
    ASSERT_TRUE(harness().runUntil([&] { return content->viewWithTag(MagazineContentView::kErrorViewTag) != nullptr; }));
    EXPECT_FALSE(content->viewWithTag(MagazineContentView::kLoadingViewTag));
    auto errorText = harness().viewByText(MagazineContentView::kReloadText);
    ASSERT_TRUE(errorText);
    // Whatever the engine did not use of the failures, the next load is served.
    harness().server()->script().clear();

    std::size_t served = 0;
    for (const auto& request : harness().serverRequests())
        served += request.route == "magazine/1/101" && request.status == 200;
    ASSERT_TRUE(harness().tap(content->viewWithTag(MagazineContentView::kErrorViewTag)));
    // A failure of the first load that the engine reports late may show the
    // error view once more; the chapter then comes with the next load.
    ASSERT_TRUE(harness().runUntil([&] {
        if (auto error = content->viewWithTag(MagazineContentView::kErrorViewTag))
            harness().tap(error);
        return frontTitle(*reader) == "写在前面";
    }));
    EXPECT_FALSE(content->viewWithTag(MagazineContentView::kErrorViewTag));
    std::size_t servedAfter = 0;
    for (const auto& request : harness().serverRequests())
        servedAfter += request.route == "magazine/1/101" && request.status == 200;
    EXPECT_GT(servedAfter, served);
}

TEST_F(MagazineReader, AChapterOutsideTheReadingOrderStaysWhereItIs)
{
    signIn();
    auto content = MagazineContentView::contentView();
    ASSERT_TRUE(content);
    content->setPostId(1);
    content->setAllChapterIndexs({ "101", "103" });
    content->setCurrentIndex(999);
    content->swipeView(nullptr);
    EXPECT_EQ(content->currentIndex(), 999);
    EXPECT_EQ(harness().overlayText(), "");
    ASSERT_TRUE(harness().runUntil([&] { return content->webView()->request().has_value(); }));
    EXPECT_EQ(content->webView()->request()->URL.path(), "/mobile2/pull/magazine/1/999");
}

// The server's chapter ids are any numbers, -1 and -2 among them: the
// pages turn by their place in the reading order, so such chapters are read
// like the others, and only the ends of the order go back to the directory
// or say that the last page is shown.
TEST_F(MagazineReader, ChaptersWhateverTheirIdsAreReadInOrder)
{
    signIn();
    ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineShowsGuide, false);
    Array items {
        Value(Dictionary { { "directoryId", 1 }, { "directoryName", "卷首" }, { "directoryLogo", "" },
            { "chapters", Array { Value(chapter(7, "第一篇")), Value(chapter(-1, "第二篇")) } } }),
        Value(Dictionary { { "directoryId", 2 }, { "directoryName", "专题" }, { "directoryLogo", "" },
            { "chapters", Array { Value(chapter(-2, "第三篇")), Value(chapter(9, "第四篇")) } } }),
    };
    harness().server()->script().forCommand("50002", reply({ { "headChapterIds", "-1,9" }, { "items", items } }));
    auto reader = openFirstIssue();
    ASSERT_TRUE(reader);
    ASSERT_TRUE(waitForDirectory(*reader));
    EXPECT_EQ(reader->allChapterIndexs(), (std::vector<std::string> { "7", "-1", "-2", "9" }));
    auto content = reader->magazineContentView();
    // The web view on top, where a swipe lands.
    auto front = [&] {
        const auto& pages = content->subviews();
        auto first = std::find(pages.begin(), pages.end(), content->webView());
        auto second = std::find(pages.begin(), pages.end(), content->webView2());
        return first > second ? content->webView() : content->webView2();
    };
    auto onPage = [&](int chapterId) {
        EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kContentPage);
        EXPECT_FALSE(reader->contentView()->isHidden());
        EXPECT_EQ(content->currentIndex(), chapterId);
        EXPECT_EQ(harness().overlayText(), "");
        EXPECT_TRUE(waitForChapter(*reader, chapterId)) << chapterId;
    };

    // From the cover, swipe by swipe, to the last chapter.
    ASSERT_TRUE(harness().swipe(testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView"), testsupport::SwipeDirection::Left));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kDirectoryPage);
    ASSERT_TRUE(harness().swipe(testsupport::findOutlet<UIView>(reader->view(), "directoryView"), testsupport::SwipeDirection::Left));
    onPage(7);
    for (int next : { -1, -2, 9 }) {
        ASSERT_TRUE(harness().swipe(front(), testsupport::SwipeDirection::Left));
        onPage(next);
    }
    // Past the last: the page stays and says so.
    ASSERT_TRUE(harness().swipe(front(), testsupport::SwipeDirection::Left));
    EXPECT_EQ(harness().overlayText(), MagazineContentView::kLastPageText);
    EXPECT_EQ(content->currentIndex(), 9);
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kContentPage);
    harness().advance(2);

    // Back, swipe by swipe, and past the first to the directory.
    for (int previous : { -2, -1, 7 }) {
        ASSERT_TRUE(harness().swipe(front(), testsupport::SwipeDirection::Right));
        onPage(previous);
    }
    ASSERT_TRUE(harness().swipe(front(), testsupport::SwipeDirection::Right));
    EXPECT_EQ(reader->magazineCurrentPage(), MagazineViewController::kDirectoryPage);
    EXPECT_TRUE(reader->contentView()->isHidden());
    settle(harness());
    EXPECT_EQ(harness().topScreen(), reader);

    // The head chapter -1 opens in its place: its neighbours are 7 and -2.
    ASSERT_EQ(reader->headView()->headChapters().size(), 2u);
    reader->headView()->setContentOffset({ 0, 0 });
    ASSERT_TRUE(harness().tap(reader->headView()));
    onPage(-1);
    ASSERT_TRUE(harness().swipe(front(), testsupport::SwipeDirection::Right));
    onPage(7);
    ASSERT_TRUE(harness().tapButton("‹ 返回目录"));
    ASSERT_TRUE(harness().tap(chapterButton(*testsupport::findOutlet<UIScrollView>(reader->view(), "directoryScrollView"), -2)));
    onPage(-2);
    ASSERT_TRUE(harness().swipe(front(), testsupport::SwipeDirection::Left));
    onPage(9);
    settle(harness());
    EXPECT_EQ(harness().topScreen(), reader);
}

TEST_F(MagazineReader, TheHeadStripTurnsEveryFiveSecondsUntilTheReaderGoes)
{
    auto reader = openFirstIssueAtItsDirectory();
    ASSERT_TRUE(reader);
    auto strip = reader->headView();
    ASSERT_TRUE(strip->isTurning());
    EXPECT_EQ(strip->contentSize(), platform::Size(960, 160));
    EXPECT_EQ(strip->contentOffset().x, 0);

    harness().advance(4.9);
    EXPECT_EQ(strip->contentOffset().x, 0);
    harness().advance(0.2);
    EXPECT_EQ(strip->currIndex(), 1);
    EXPECT_EQ(strip->contentOffset().x, 320);
    harness().advance(5);
    EXPECT_EQ(strip->contentOffset().x, 640);
    harness().advance(5);
    EXPECT_EQ(strip->currIndex(), 0);
    EXPECT_EQ(strip->contentOffset().x, 0);
    harness().advance(5);
    EXPECT_EQ(strip->contentOffset().x, 320);

    // A tap opens the chapter on show.
    ASSERT_TRUE(harness().tap(testsupport::findOutlet<RemoteImageView>(reader->view(), "coverImageView")));
    ASSERT_TRUE(harness().tap(strip));
    EXPECT_EQ(reader->magazineContentView()->currentIndex(), 103);
    ASSERT_TRUE(harness().tapButton("‹ 返回目录"));
    // Pulled past its first page (the strip bounces) or past its last, a
    // tap opens the page at that end.
    for (double offset : { -120.0, -400.0, 960.0 + 120.0 }) {
        strip->setContentOffset(platform::Point(offset, 0));
        strip->tapHeadView();
        const auto& end = offset < 0 ? strip->headChapters().front() : strip->headChapters().back();
        EXPECT_EQ(reader->magazineContentView()->currentIndex(), end->chapterId) << offset;
        ASSERT_TRUE(harness().tapButton("‹ 返回目录"));
    }

    // Leaving stops it, and nothing keeps the reader alive.
    std::weak_ptr<MagazineViewController> weak = reader;
    reader.reset();
    goBack();
    EXPECT_FALSE(strip->isTurning());
    double before = strip->contentOffset().x;
    harness().advance(15);
    EXPECT_EQ(strip->contentOffset().x, before);
    platform::dispatchDrain();
    harness().runUntil([&] { return weak.expired(); }, 5);
    EXPECT_TRUE(weak.expired());
}
