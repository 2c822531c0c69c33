#include "platform/graphics/Context.h"
#include "platform/os/ClassRegistry.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIKitRegistration.h"
#include "platform/uikit/UIMenuController.h"
#include "platform/uikit/UINavigationBar.h"
#include "platform/uikit/UIPasteboard.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWebView.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/app/AppHarness.h"
#include "tests/support/app/sample/SampleApp.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "ui/UIClasses.h"
#include "ui/controls/AvatarBrowser.h"
#include "ui/controls/DefaultHeader.h"
#include "ui/controls/EmptyCell.h"
#include "ui/controls/ORBCopyableLabel.h"
#include "ui/controls/SStarView.h"
#include "ui/controls/UIColorHelper.h"
#include "ui/controls/UIImageRotate.h"
#include "ui/controls/UINavigationBarBackgroundImage.h"
#include "ui/controls/UIWebViewHelper.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

using platform::Point;
using platform::Rect;
using platform::Size;

namespace {

class SmallViewsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::AppHarnessOptions options;
        options.startServer = false;
        harness = std::make_unique<testsupport::AppHarness>(options);
        ASSERT_TRUE(harness->start(std::make_shared<sample::SampleAppDelegate>()));
        ui::registerUIClasses();
        BaseCell::resetCachesForTesting();
        host = std::make_shared<UIView>(Rect(0, 0, 320, 480));
        host->setBackgroundColor(UIColor::whiteColor());
        harness->window()->addSubview(host);
    }

    std::unique_ptr<testsupport::AppHarness> harness;
    std::shared_ptr<UIView> host;
};

TEST_F(SmallViewsTest, ColoursFromSixHexadecimalDigits)
{
    struct Row {
        const char* text;
        std::optional<UIColor> colour;
    };
    const std::vector<Row> rows = {
        { "ff3300", UIColor(1.0, 0.2, 0.0, 1.0) },
        { "A54AD1", UIColor(0xA5 / 255.0, 0x4A / 255.0, 0xD1 / 255.0, 1.0) },
        { "7fc410", UIColor(0x7f / 255.0, 0xc4 / 255.0, 0x10 / 255.0, 1.0) },
        // Each pair reads up to its first non-digit.
        { "2zz2-1", UIColor(2 / 255.0, 0, 0, 1.0) },
        { "#ff3300", std::nullopt },
        { "f30", std::nullopt },
        { "", std::nullopt },
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(UIColorHelper::colorWithString(row.text), row.colour);
    }
}

TEST_F(SmallViewsTest, RotatingAPictureTurnsItClockwiseOnACanvasOfItsOwnSize)
{
    // A 20-point square, red above and blue below, at scale 1.
    auto context = platform::Context::createBitmap({ 20, 20 }, 1.0);
    context->setFillColor(UIColor::redColor());
    context->fillRect(Rect(0, 0, 20, 10));
    context->setFillColor(UIColor::blueColor());
    context->fillRect(Rect(0, 10, 20, 10));
    auto square = UIImage::imageWithCGImage(context->makeImage(), 1.0);

    auto upright = UIImageRotate::rotate(square, 0);
    ASSERT_TRUE(upright);
    EXPECT_EQ(upright->CGImage().pixelWidth(), 40); // doubled for the scale-2 screen
    EXPECT_DOUBLE_EQ(upright->scale(), 1.0);
    EXPECT_GT(upright->CGImage().pixelAt(20, 5)[0], 200);
    EXPECT_GT(upright->CGImage().pixelAt(20, 35)[2], 200);

    auto turned = UIImageRotate::rotate(square, 90);
    ASSERT_TRUE(turned);
    // The top (red) is now on the right, the bottom (blue) on the left.
    EXPECT_GT(turned->CGImage().pixelAt(35, 20)[0], 200);
    EXPECT_GT(turned->CGImage().pixelAt(5, 20)[2], 200);

    auto tall = UIImage::imageWithCGImage(platform::Context::createBitmap({ 320, 480 }, 2.0)->makeImage(), 2.0);
    auto tallTurned = UIImageRotate::rotate(tall, 90);
    EXPECT_EQ(tallTurned->CGImage().pixelWidth(), 640);
    EXPECT_EQ(tallTurned->CGImage().pixelHeight(), 960);
    EXPECT_FALSE(UIImageRotate::rotate(nullptr, 90));
}

TEST_F(SmallViewsTest, BarBackgroundsAndWebViewSwitches)
{
    auto logo = UIImage::imageNamed("orb_gray_logo");
    ASSERT_TRUE(logo);
    UINavigationBarBackgroundImage::setBgImage(logo);
    EXPECT_EQ(UINavigationBarBackgroundImage::bgImage(), logo);
    UINavigationBar bar;
    UINavigationBarBackgroundImage::setBgImage(bar, nullptr);
    EXPECT_FALSE(bar.backgroundImageForBarMetrics(UIBarMetricsDefault));
    UINavigationBarBackgroundImage::setBgImage(bar, logo);
    EXPECT_EQ(bar.backgroundImageForBarMetrics(UIBarMetricsDefault), logo);
    UINavigationBarBackgroundImage::setBgImage(nullptr);

    auto web = std::make_shared<UIWebView>(Rect(0, 0, 320, 400));
    auto shadow = std::make_shared<UIImageView>(Rect(0, 0, 320, 4));
    web->scrollView()->addSubview(shadow);
    UIWebViewHelper::setShadowHidden(*web, true);
    EXPECT_TRUE(shadow->isHidden());
    UIWebViewHelper::setShadowHidden(*web, false);
    EXPECT_FALSE(shadow->isHidden());
    UIWebViewHelper::setBackgroundTransparent(*web);
    EXPECT_FALSE(web->isOpaque());
    EXPECT_EQ(web->backgroundColor(), UIColor::clearColor());
    UIWebViewHelper::setBounceEnable(*web, false);
    EXPECT_FALSE(web->scrollView()->bounces());
    UIWebViewHelper::setShowScrollIndicator(*web, false);
    EXPECT_FALSE(web->scrollView()->showsVerticalScrollIndicator());
    EXPECT_FALSE(web->scrollView()->showsHorizontalScrollIndicator());
    UIWebViewHelper::setTouchEnable(*web, true);
    ASSERT_FALSE(web->evaluatedScripts().empty());
    EXPECT_NE(web->evaluatedScripts().back().find("document.ontouchmove"), std::string::npos);
}

TEST_F(SmallViewsTest, TheEmptyCellKeepsItsContentsCentredInAnyRowHeight)
{
    auto cell = BaseCell::cell<EmptyCell>();
    ASSERT_TRUE(cell);
    auto wrapper = cell->wrapperView();
    ASSERT_TRUE(wrapper);
    EXPECT_DOUBLE_EQ(wrapper->frame().size.height, 100);
    EXPECT_EQ(BaseCell::identifier<EmptyCell>(), "EmptyCell");
    for (auto [rowHeight, y] : std::vector<std::pair<double, double>> { { 301, 100 }, { 160, 30 }, { 99, -1 } }) {
        cell->setFrame(Rect(0, 0, 320, rowHeight));
        cell->layoutIfNeeded();
        EXPECT_EQ(wrapper->frame(), Rect(0, y, 320, 100)) << rowHeight;
    }
}

TEST_F(SmallViewsTest, TheDefaultHeaderComesFromItsLayout)
{
    EXPECT_DOUBLE_EQ(DefaultHeader::height(), 18.0);
    auto header = DefaultHeader::header();
    ASSERT_TRUE(header);
    ASSERT_TRUE(header->lblTitle());
    header->setTitle("三年级二班");
    EXPECT_EQ(header->lblTitle()->text(), "三年级二班");
    EXPECT_DOUBLE_EQ(DefaultHeader::height(), 18.0);
}

TEST_F(SmallViewsTest, ALongPressOffersOnlyCopyWhichCopiesTheText)
{
    auto label = std::make_shared<ORBCopyableLabel>(Rect(20, 60, 200, 30));
    label->setText("13800000001");
    host->addSubview(label);
    UIPasteboard::generalPasteboard().clear();
    ASSERT_TRUE(harness->longPress(label));
    auto& menu = UIMenuController::sharedMenuController();
    EXPECT_TRUE(menu.isMenuVisible());
    EXPECT_EQ(menu.visibleItemTitles(), std::vector<std::string> { "复制" });
    EXPECT_EQ(menu.targetRect(), label->frame());
    EXPECT_TRUE(label->isFirstResponder());
    ASSERT_TRUE(testsupport::tapMenuItem("复制"));
    EXPECT_EQ(UIPasteboard::generalPasteboard().string(), "13800000001");

    // From a layout it has one long-press recogniser, not two.
    auto loaded = platform::LayoutLoader::loadFromText(
        R"([{"class": "ORBCopyableLabel", "frame": [0, 0, 100, 20], "text": "x"}])", nullptr, "label");
    ASSERT_EQ(loaded.size(), 1u);
    EXPECT_EQ(std::dynamic_pointer_cast<UIView>(loaded[0])->gestureRecognizers().size(), 1u);
}

TEST_F(SmallViewsTest, TheAvatarGrowsToTheScreenAndATapPutsItBack)
{
    auto avatar = std::make_shared<UIImageView>(Rect(20, 40, 50, 50));
    avatar->setImage(UIImage::imageNamed("smile"));
    host->addSubview(avatar);
    auto window = harness->window();
    auto before = window->subviews().size();
    AvatarBrowser::showImage(avatar);
    ASSERT_EQ(window->subviews().size(), before + 1);
    auto container = window->subviews().back();
    auto background = container->viewWithTag(AvatarBrowser::kBackgroundTag);
    auto big = std::dynamic_pointer_cast<UIImageView>(container->viewWithTag(AvatarBrowser::kImageTag));
    ASSERT_TRUE(background);
    ASSERT_TRUE(big);
    EXPECT_EQ(big->frame(), Rect(0, 0, 320, 568));
    EXPECT_EQ(big->image(), avatar->image());
    EXPECT_DOUBLE_EQ(background->alpha(), 1.0);
    harness->advance(0.3);

    ASSERT_TRUE(harness->tap(container));
    EXPECT_EQ(big->frame(), Rect(20, 40, 50, 50));
    EXPECT_DOUBLE_EQ(background->alpha(), 0);
    EXPECT_EQ(container->superview(), window);
    harness->advance(0.31);
    EXPECT_FALSE(container->superview());
    EXPECT_EQ(window->subviews().size(), before);
}

// Every class the layout files and screens can ask for answers the name it is
// registered under, so a name cannot drift between a registration and a class.
TEST_F(SmallViewsTest, EveryRegisteredClassCarriesTheNameItIsRegisteredUnder)
{
    // Only the application's own registrations: other tests' doubles go.
    auto& registry = platform::ClassRegistry::shared();
    for (const auto& name : registry.names())
        registry.unregisterClass(name);
    platform::registerUIKitClasses();
    ui::registerUIClasses();
    for (const auto& name : registry.names()) {
        auto object = registry.create(name);
        ASSERT_TRUE(object) << name;
        EXPECT_EQ(object->className(), name);
    }
    EXPECT_TRUE(registry.contains<SStarView>());
    EXPECT_TRUE(registry.create<ORBCopyableLabel>());
    EXPECT_EQ(std::string(EmptyCell::kClassName), "EmptyCell");
}

} // namespace
