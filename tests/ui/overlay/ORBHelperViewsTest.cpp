#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/ORBHelper.h"
#include "ui/UIClasses.h"
#include "ui/overlay/ProgressOverlay.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

using platform::Rect;

namespace {

class ORBHelperViewsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness->start(std::make_shared<sample::SampleAppDelegate>()));
        ui::registerUIClasses();
    }

    std::vector<std::shared_ptr<UIView>> subviewsOfClass(const std::shared_ptr<UIView>& view, const std::string& name)
    {
        std::vector<std::shared_ptr<UIView>> found;
        for (const auto& subview : view->subviews()) {
            if (subview->className() == name)
                found.push_back(subview);
        }
        return found;
    }

    std::unique_ptr<testsupport::AppHarness> harness;
};

TEST_F(ORBHelperViewsTest, TheUtilityOverlayReplacesItselfAndHidesAfterASecondAndAHalf)
{
    auto window = harness->window();
    ORBHelper::showProgressHud("已保存", false, true);
    auto overlays = ProgressOverlay::allHUDsForView(window);
    ASSERT_EQ(overlays.size(), 1u);
    EXPECT_EQ(overlays[0]->mode(), ProgressOverlayModeText);
    EXPECT_EQ(overlays[0]->animationType(), ProgressOverlayAnimationZoom);
    EXPECT_EQ(harness->overlayText(), "已保存");

    // A new message before the first has gone replaces it; the first one's
    // pending hide does not take the new one away.
    harness->advance(1.0);
    ORBHelper::showProgressHud("正在加载", true, false);
    overlays = ProgressOverlay::allHUDsForView(window);
    ASSERT_EQ(overlays.size(), 1u);
    EXPECT_EQ(overlays[0]->mode(), ProgressOverlayModeSpinner);
    EXPECT_TRUE(std::dynamic_pointer_cast<UIActivityIndicatorView>(overlays[0]->indicator()));
    harness->advance(3.0);
    EXPECT_EQ(harness->overlayText(), "正在加载");

    ORBHelper::showProgressHud("完成", false, true);
    harness->advance(1.49);
    EXPECT_EQ(harness->overlayText(), "完成");
    harness->advance(0.02 + ProgressOverlay::kAnimationDuration);
    EXPECT_EQ(harness->overlayText(), "");
    // A hidden message stays on the window, invisible, until the next one
    // (or hideProgressHud) takes it away: still one overlay at most.
    overlays = ProgressOverlay::allHUDsForView(window);
    ASSERT_EQ(overlays.size(), 1u);
    EXPECT_TRUE(overlays[0]->isFinished());
    EXPECT_DOUBLE_EQ(overlays[0]->alpha(), 0);

    // Hiding is at once and without animation.
    ORBHelper::showProgressHud("正在开通", true, false);
    EXPECT_EQ(ProgressOverlay::allHUDsForView(window).size(), 1u);
    ORBHelper::hideProgressHud();
    EXPECT_TRUE(ProgressOverlay::allHUDsForView(window).empty());
}

TEST_F(ORBHelperViewsTest, LoadingAndErrorViewsPlaceTheirParts)
{
    struct Row {
        bool bottom;
        Rect spinner;
        Rect label;
    };
    for (const Row& row : { Row { true, { 148, 88, 24, 24 }, { 0, 112, 320, 24 } },
             Row { false, { 10, 88, 24, 24 }, { 40, 0, 280, 200 } } }) {
        auto view = ORBHelper::loadingView(Rect(0, 0, 320, 200), "正在加载...", row.bottom);
        auto spinners = subviewsOfClass(view, "UIActivityIndicatorView");
        auto labels = subviewsOfClass(view, "UILabel");
        ASSERT_EQ(spinners.size(), 1u);
        ASSERT_EQ(labels.size(), 1u);
        EXPECT_EQ(spinners[0]->frame(), row.spinner);
        EXPECT_TRUE(std::static_pointer_cast<UIActivityIndicatorView>(spinners[0])->isAnimating());
        EXPECT_EQ(labels[0]->frame(), row.label);
        EXPECT_EQ(testsupport::textOf(labels[0]), "正在加载...");
    }

    // The 72 × 60 logo stands on the middle line, the text 3 points below it.
    auto error = ORBHelper::errorView(Rect(0, 0, 320, 200), "载入失败");
    auto logos = subviewsOfClass(error, "UIImageView");
    auto labels = subviewsOfClass(error, "UILabel");
    ASSERT_EQ(logos.size(), 1u);
    ASSERT_TRUE(std::static_pointer_cast<UIImageView>(logos[0])->image());
    EXPECT_EQ(logos[0]->frame(), Rect(124, 40, 72, 60));
    ASSERT_EQ(labels.size(), 1u);
    EXPECT_EQ(labels[0]->frame(), Rect(0, 103, 320, 24));
}

TEST_F(ORBHelperViewsTest, TheLabelFactorySizesMultiLineTextToItsWrappedSize)
{
    auto multi = ORBHelper::labelWithFrame(Rect(10, 20, 100, 0), "一二三四五六七八九十", 15, UIColor::redColor(), true);
    EXPECT_EQ(multi->frame(), Rect(10, 20, 90, 36));
    EXPECT_EQ(multi->numberOfLines(), 0);
    EXPECT_EQ(multi->lineBreakMode(), NSLineBreakByCharWrapping);
    EXPECT_EQ(multi->textColor(), UIColor::redColor());
    auto single
        = ORBHelper::labelWithFrame(Rect(10, 20, 100, 30), "一二三四五六七八九十", 15, UIColor::redColor(), false);
    EXPECT_EQ(single->frame(), Rect(10, 20, 100, 30));
    EXPECT_EQ(single->numberOfLines(), 1);
    EXPECT_EQ(single->lineBreakMode(), NSLineBreakByTruncatingTail);
}

// A button inside a row finds the row's cell (a cell's own button handler
// uses it to learn which contact or message it acts on).
TEST_F(ORBHelperViewsTest, AButtonFindsTheCellThatHoldsIt)
{
    struct Rows : UITableViewDataSource {
        long numberOfRowsInSection(UITableView*, long) override { return 20; }
        std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath& indexPath) override
        {
            auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "row");
            cell->setTag(int(indexPath.row) + 1);
            auto button = std::make_shared<UIButton>(Rect(250, 10, 60, 24));
            button->setTag(100);
            cell->contentView()->addSubview(button);
            return cell;
        }
    };
    auto rows = std::make_shared<Rows>();
    auto table = std::make_shared<UITableView>(Rect(0, 0, 320, 400));
    table->setDataSource(rows);
    harness->window()->addSubview(table);
    table->reloadData();
    table->layoutIfNeeded();
    auto third = table->cellForRowAtIndexPath(NSIndexPath { 0, 2 });
    ASSERT_TRUE(third);
    auto button = third->viewWithTag(100);
    ASSERT_TRUE(button);
    EXPECT_EQ(ORBHelper::getCellFromTableView(table, button), third);
    EXPECT_FALSE(ORBHelper::getCellFromTableView(table, nullptr));
    auto outside = std::make_shared<UIView>(Rect(0, 0, 10, 10));
    harness->window()->addSubview(outside);
    outside->setFrame(Rect(0, 1000, 10, 10)); // below the last row
    EXPECT_FALSE(ORBHelper::getCellFromTableView(table, outside));
}

// Lower-case letters of the 15-point system font measure 9 points wide
// (8.25 rounded up), "i" 5; the emoji pictures are 24 square.
TEST_F(ORBHelperViewsTest, APostTextIsLaidOutCharacterByCharacterWithEmojiPictures)
{
    auto post = ORBHelper::assembleMessage("hi[smile]you", UIColor::darkGrayColor(), 240, 6);
    EXPECT_EQ(post->frame(), Rect(15, 1, 65, 25));
    ASSERT_EQ(post->subviews().size(), 6u);
    auto picture = std::dynamic_pointer_cast<UIImageView>(post->subviews()[2]);
    ASSERT_TRUE(picture);
    EXPECT_EQ(picture->frame(), Rect(14, 0.5, 24, 24));
    EXPECT_EQ(testsupport::textOf(post->subviews()[3]), "y");
    EXPECT_EQ(post->subviews()[3]->frame().origin.y, 4);

    // A name with no picture stays text, brackets and all.
    auto unknown = ORBHelper::assembleMessage("[nope]", UIColor::darkGrayColor(), 240, 6);
    EXPECT_EQ(unknown->subviews().size(), 6u);
    EXPECT_EQ(testsupport::textOf(unknown->subviews().front()), "[");

    struct Row {
        std::string text;
        int lines;
        std::size_t labels;
        Rect frame;
        // What the second row starts with, when it matters.
        std::string secondRowStarts = {};
    };
    const std::vector<Row> rows = {
        // 24 letters fill a row (the 25th would reach 241 ≥ 240): the rest wraps.
        { std::string(30, 'a'), 6, 30, { 15, 1, 240, 50 } },
        // At most lines + 1 rows.
        { std::string(60, 'a'), 1, 48, { 15, 1, 240, 50 } },
        // "◆" starts a new row without being drawn.
        { "ab\u25c6cd", 6, 4, { 15, 1, 240, 50 } },
        // A "◆" ending the last allowed row still adds that empty row.
        { "ab\u25c6", 0, 2, { 15, 1, 240, 50 } },
        { "", 6, 0, { 15, 1, 0, 25 } },
        // Fifteen characters fill a row: the comma after them takes the
        // last one down with it, as the line breaker keeps punctuation.
        { "我们今天去公园玩了一整天真开心，明天再去", 6, 20, { 15, 1, 240, 50 }, "心" },
        // An opening bracket does not end a row: it goes down with what it opens.
        { "我们今天去公园玩了一整天真开（好）", 6, 17, { 15, 1, 240, 50 }, "（" },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        auto view = ORBHelper::assembleMessage(row.text, UIColor::darkGrayColor(), 240, row.lines);
        EXPECT_EQ(view->subviews().size(), row.labels);
        EXPECT_EQ(view->frame(), row.frame);
        if (!row.secondRowStarts.empty()) {
            std::shared_ptr<UIView> first;
            for (const auto& label : view->subviews())
                if (label->frame().origin.y > ORBHelper::kEmojiSide
                    && (!first || label->frame().origin.x < first->frame().origin.x))
                    first = label;
            ASSERT_TRUE(first);
            EXPECT_EQ(testsupport::textOf(first), row.secondRowStarts);
            EXPECT_EQ(first->frame().origin.x, 0);
        }
    }
    // A blank keeps its room between words (measured alone it has no width).
    for (const char* blank : { " ", "\u3000" }) {
        SCOPED_TRACE(blank);
        auto words = ORBHelper::assembleMessage(std::string("ab") + blank + "cd", UIColor::darkGrayColor(), 240, 6);
        ASSERT_EQ(words->subviews().size(), 5u);
        const Rect b = words->subviews()[1]->frame();
        const Rect c = words->subviews()[3]->frame();
        EXPECT_GE(c.origin.x - (b.origin.x + b.size.width), 2.0);
    }
    auto wrapped = ORBHelper::assembleMessage(std::string(30, 'a'), UIColor::darkGrayColor(), 240, 6);
    EXPECT_EQ(wrapped->subviews()[23]->frame().origin, platform::Point(207, 4));
    EXPECT_EQ(wrapped->subviews()[24]->frame().origin, platform::Point(0, 29));
}

} // namespace
