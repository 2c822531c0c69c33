#include "platform/graphics/Image.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/ORBHelper.h"
#include "ui/UIClasses.h"
#include "ui/controls/DefaultHeader.h"
#include "ui/controls/EmptyCell.h"
#include "ui/controls/ORBCopyableLabel.h"
#include "ui/controls/SStarView.h"
#include "ui/overlay/ProgressOverlay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

using platform::Point;
using platform::Rect;

// Every view of this group in its states, drawn to PNG under the test's build
// folder ("renders/"), with pixel checks on the drawn shapes (away from text,
// whose glyphs depend on the installed fonts).
namespace {

class ToolkitGalleryRenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness->start(std::make_shared<sample::SampleAppDelegate>()));
        ui::registerUIClasses();
        std::filesystem::create_directories("renders");
    }

    // A light screen-like panel to put a view on.
    static std::shared_ptr<UIView> panel(const Rect& frame)
    {
        auto view = std::make_shared<UIView>(frame);
        view->setBackgroundColor(UIColor::fromRGB255(236, 240, 244));
        view->setClipsToBounds(true);
        return view;
    }

    static std::array<std::uint8_t, 4> pixel(const platform::Image& image, double x, double y)
    {
        return image.pixelAt(int(x * image.scale()), int(y * image.scale()));
    }

    std::unique_ptr<testsupport::AppHarness> harness;
};

TEST_F(ToolkitGalleryRenderTest, OverlayModes)
{
    auto gallery = std::make_shared<UIView>(Rect(0, 0, 660, 460));
    gallery->setBackgroundColor(UIColor::whiteColor());
    struct Cell {
        ProgressOverlayMode mode;
        const char* text;
        const char* details;
        double progress;
        bool dim;
    };
    const Cell cells[] = {
        { ProgressOverlayModeSpinner, "正在加载...", nullptr, 0, false },
        { ProgressOverlayModePie, "上传中", nullptr, 0.65, false },
        { ProgressOverlayModeRing, "下载中", nullptr, 0.4, false },
        { ProgressOverlayModeCustomView, "发送成功", nullptr, 0, false },
        { ProgressOverlayModeText, "保存成功", nullptr, 0, false },
        { ProgressOverlayModeText, "网络连接失败", "请检查网络设置后再试一次，或稍后重新发送", 0, true },
    };
    std::vector<std::shared_ptr<ProgressOverlay>> overlays;
    for (int i = 0; i < 6; ++i) {
        auto host = panel(Rect(10 + (i % 3) * 215, 10 + (i / 3) * 225, 205, 215));
        gallery->addSubview(host);
        auto overlay = ProgressOverlay::initWithView(host);
        host->addSubview(overlay);
        if (cells[i].mode == ProgressOverlayModeCustomView) {
            auto check = std::make_shared<UIImageView>(UIImage::imageNamed("smile"));
            check->setFrame(Rect(0, 0, 37, 37));
            overlay->setCustomView(check);
        }
        overlay->setMode(cells[i].mode);
        overlay->setLabelText(cells[i].text);
        if (cells[i].details)
            overlay->setDetailsLabelText(cells[i].details);
        overlay->setProgress(cells[i].progress);
        overlay->setDimBackground(cells[i].dim);
        overlay->show(false);
        overlays.push_back(overlay);
    }
    auto image = gallery->renderToImage();
    ASSERT_TRUE(image);
    EXPECT_TRUE(gallery->renderToPNG("renders/overlay-modes.png"));

    // The box: black at 0.8 over the panel (236 → 47), rounded (its corner pixel is lighter).
    auto box = overlays[1]->size();
    double boxX = 10 + 215 + std::round((205 - box.width) / 2);
    double boxY = 10 + std::round((215 - box.height) / 2);
    auto inside = pixel(*image, boxX + 4, boxY + box.height / 2);
    EXPECT_NEAR(inside[0], 47, 3);
    EXPECT_GT(pixel(*image, boxX + 0.5, boxY + 0.5)[0], 120);
    // The pie: filled white right of its centre (65 %), faint on the left quarter's top.
    auto pie = overlays[1]->indicator()->frame();
    Point centre(10 + 215 + pie.midX(), 10 + pie.midY());
    EXPECT_GT(pixel(*image, centre.x + 8, centre.y)[0], 230);
    EXPECT_LT(pixel(*image, centre.x - 8, centre.y - 8)[0], 120);
    // The ring: its stroke at 12 o'clock is white, the middle is the box's black.
    auto ring = overlays[2]->indicator()->frame();
    Point ringCentre(10 + 430 + ring.midX(), 10 + ring.midY());
    EXPECT_GT(pixel(*image, ringCentre.x + 1, ringCentre.y - 16)[0], 220);
    EXPECT_LT(pixel(*image, ringCentre.x, ringCentre.y)[0], 80);
    // The dim: darker at the panel's corner than above the box, nearer the centre.
    auto cornerDim = pixel(*image, 10 + 430 + 2, 235 + 2)[0];
    auto nearCentre = pixel(*image, 10 + 430 + 102, 235 + 10)[0];
    EXPECT_LT(cornerDim, nearCentre);
}

TEST_F(ToolkitGalleryRenderTest, UtilityOverlayOnTheWindow)
{
    ORBHelper::showProgressHud("已保存", false, true);
    harness->advance(0.3);
    EXPECT_FALSE(harness->render("utility-overlay-text.png").empty());
    ORBHelper::showProgressHud("正在提交...", true, false);
    harness->advance(0.3);
    EXPECT_FALSE(harness->render("utility-overlay-spinner.png").empty());
    ORBHelper::hideProgressHud();
}

TEST_F(ToolkitGalleryRenderTest, StarsEmptyCellHeaderAndPostText)
{
    auto gallery = std::make_shared<UIView>(Rect(0, 0, 320, 560));
    gallery->setBackgroundColor(UIColor::whiteColor());
    harness->window()->addSubview(gallery);

    // Stars: 0 to 5 selected, then a larger row with its minimum of 1.
    std::vector<std::shared_ptr<SStarView>> rows;
    for (unsigned count = 0; count <= 5; ++count) {
        auto stars = std::make_shared<SStarView>(Rect(10, 10 + count * 24, 100, 20));
        gallery->addSubview(stars);
        stars->setStarCount(count);
        rows.push_back(stars);
    }
    auto big = std::make_shared<SStarView>(Rect(130, 10, 180, 36));
    gallery->addSubview(big);
    big->setMinStar(1);
    big->setStarCount(4);

    auto header = DefaultHeader::header();
    ASSERT_TRUE(header);
    header->setFrame(Rect(0, 160, 320, DefaultHeader::height()));
    header->setTitle("最新动态");
    gallery->addSubview(header);

    auto post = ORBHelper::assembleMessage(
        "今天的手工课做得很棒[smile]，孩子们都很开心[laugh]！◆明天记得带彩笔[flower][heart]，不见不散[smile]",
        UIColor::darkGrayColor(), 240, 6);
    auto postHost = std::make_shared<UIView>(Rect(0, 184, 320, 110));
    postHost->addSubview(post);
    gallery->addSubview(postHost);

    auto copyable = std::make_shared<ORBCopyableLabel>(Rect(15, 296, 290, 20));
    copyable->setText("联系电话：13800000001");
    copyable->setTextColor(UIColor::fromRGB255(70, 110, 170));
    gallery->addSubview(copyable);

    auto cell = BaseCell::cell<EmptyCell>();
    ASSERT_TRUE(cell);
    cell->setFrame(Rect(0, 320, 320, 230));
    gallery->addSubview(cell);

    auto image = gallery->renderToImage();
    ASSERT_TRUE(image);
    EXPECT_TRUE(gallery->renderToPNG("renders/stars-cell-header-post.png"));

    // The middle of the third star of the "3" row is golden, of the fourth grey.
    auto golden = pixel(*image, 10 + 40 + 10, 10 + 3 * 24 + 11);
    EXPECT_GT(golden[0], 230);
    EXPECT_GT(golden[1], 190);
    EXPECT_LT(golden[2], 60);
    auto grey = pixel(*image, 10 + 60 + 10, 10 + 3 * 24 + 11);
    EXPECT_NEAR(grey[0], 204, 6);
    EXPECT_NEAR(grey[2], 204, 6);
    // The smile picture sits in the post's first row, the wrapped text below.
    EXPECT_EQ(post->frame().size.width, 240);
    EXPECT_GE(post->frame().size.height, 50);
    // The empty cell's picture is drawn centred in its 230-point row.
    EXPECT_EQ(cell->wrapperView()->frame().origin.y, 65);
}

// Latin words in a post text: each character is its own label, in a box of
// the metric model's width (9 points for most lower-case letters at 15
// points, 5 for "i" and "l"), while the drawn glyphs are of many widths. The
// room a box has beyond its glyph must not gather after the narrow letters
// ("cir cle", "phot o"): compared with the same words drawn as one label (the
// same fonts, so the check holds whatever glyphs are installed), the ink gap
// between two letters grows by about the same amount all along the words.
TEST_F(ToolkitGalleryRenderTest, LatinWordsOfAPostTextAreEvenlySpaced)
{
    const std::vector<std::string> words = { "circle", "photo", "everyone" };
    std::string text;
    for (const auto& word : words)
        text += (text.empty() ? "" : " ") + word;
    auto gallery = std::make_shared<UIView>(Rect(0, 0, 320, 70));
    gallery->setBackgroundColor(UIColor::whiteColor());
    auto post = ORBHelper::assembleMessage(text, UIColor::blackColor(), 290, 6);
    gallery->addSubview(post);
    // Still one label a character, in one row.
    ASSERT_EQ(post->subviews().size(), text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        EXPECT_EQ(testsupport::textOf(post->subviews()[i]), text.substr(i, 1));
        EXPECT_EQ(post->subviews()[i]->frame().origin.y, 4);
    }
    auto label = std::make_shared<UILabel>(Rect(15, 40, 290, 18));
    label->setFont(UIFont::systemFont(ORBHelper::kEmojiFontSize));
    label->setTextColor(UIColor::blackColor());
    label->setText(text);
    gallery->addSubview(label);

    auto image = gallery->renderToImage(2);
    ASSERT_TRUE(image);
    EXPECT_TRUE(gallery->renderToPNG("renders/post-text-latin-words.png", 2));

    // The inked columns (in pixels) of a band of rows, as runs: one run a
    // letter (no two of these letters share a column).
    auto inkRuns = [&](double top, double bottom) {
        std::vector<std::pair<int, int>> runs;
        bool inRun = false;
        for (int x = 0; x < image->pixelWidth(); ++x) {
            bool inked = false;
            for (int y = int(top * image->scale()); y < int(bottom * image->scale()) && !inked; ++y)
                inked = image->pixelAt(x, y)[0] < 160;
            if (inked && !inRun)
                runs.emplace_back(x, x);
            if (inked)
                runs.back().second = x;
            inRun = inked;
        }
        return runs;
    };
    const double rowTop = post->frame().origin.y + 4;
    auto apart = inkRuns(rowTop, rowTop + 18);
    auto together = inkRuns(40, 58);
    std::size_t letters = 0;
    for (const auto& word : words)
        letters += word.size();
    ASSERT_EQ(apart.size(), letters);
    ASSERT_EQ(together.size(), letters);

    // How much wider each gap between two letters of a word is than in the
    // one label. Drawn each at its box's left, these ranged over 7 pixels
    // (1 after "p", 7 after the "t" of "photo"); centred in their boxes,
    // over 5. Spread evenly, every gap grows by the same fraction of a
    // point: a pixel for where that fraction falls, a pixel for the
    // smoothed edges the threshold reads.
    std::vector<int> extra;
    std::string pairs;
    std::size_t k = 0;
    for (const auto& word : words) {
        for (std::size_t i = 0; i + 1 < word.size(); ++i, ++k) {
            extra.push_back((apart[k + 1].first - apart[k].second) - (together[k + 1].first - together[k].second));
            pairs += word.substr(i, 2) + " " + std::to_string(extra.back()) + "  ";
        }
        ++k;
    }
    auto [least, most] = std::minmax_element(extra.begin(), extra.end());
    EXPECT_LE(*most - *least, 2) << pairs;
}

TEST_F(ToolkitGalleryRenderTest, LoadingAndErrorViews)
{
    auto gallery = std::make_shared<UIView>(Rect(0, 0, 320, 420));
    gallery->setBackgroundColor(UIColor::whiteColor());
    gallery->addSubview(ORBHelper::loadingView(Rect(0, 0, 320, 100), "正在加载...", true));
    gallery->addSubview(ORBHelper::loadingView(Rect(0, 100, 320, 60), "正在加载...", false));
    gallery->addSubview(ORBHelper::errorView(Rect(0, 170, 320, 240), "网络不给力，请稍后再试"));
    auto image = gallery->renderToImage();
    ASSERT_TRUE(image);
    EXPECT_TRUE(gallery->renderToPNG("renders/loading-and-error-views.png"));
    // The grey logo's bubble, just above the error view's middle line.
    auto logo = pixel(*image, 160 - 30, 170 + 120 - 40);
    EXPECT_LT(logo[0], 230);
    EXPECT_NEAR(int(logo[0]), int(logo[2]), 12);
}

} // namespace
