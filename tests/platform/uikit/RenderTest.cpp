#include "UIKitTestSupport.h"

#include "platform/graphics/Context.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITextField.h"

#include <cstdlib>

using platform::Color;
using platform::Image;
using platform::Rect;

namespace {

// Colours compared through 8-bit pixels, with a little room for rounding.
void expectPixel(const Image& image, double xPoints, double yPoints, Color expected, double tolerance = 2.0 / 255)
{
    double scale = image.scale();
    auto actual = image.colorAt(int(xPoints * scale), int(yPoints * scale));
    EXPECT_TRUE(actual.isClose(expected, tolerance))
        << "at (" << xPoints << ", " << yPoints << "): " << actual.description() << " instead of "
        << expected.description();
}

const Color kBarColor = Color::fromRGB255(24, 140, 230);
const Color kPageColor = Color::fromWhite(0.95);

// Where renders are also kept for a person to look at, when asked.
void keepCopy(const std::string& path, const std::string& name)
{
    if (const char* folder = std::getenv("ORB_KEEP_RENDERS"))
        platform::FileUtil::copy(path, platform::FileUtil::joinPath(folder, name));
}

} // namespace

TEST_F(UIKitTest, RendererPaintsBackgroundsRoundedClipsBordersAndAlpha)
{
    auto root = std::make_shared<UIView>(Rect(0, 0, 200, 200));
    root->setBackgroundColor(Color::whiteColor());

    // A red square rounded by 20 and clipping a blue child that fills it.
    auto rounded = std::make_shared<UIView>(Rect(10, 10, 80, 80));
    rounded->setBackgroundColor(Color::redColor());
    rounded->layer()->setCornerRadius(20);
    rounded->setClipsToBounds(true);
    auto fill = std::make_shared<UIView>(Rect(-10, -10, 100, 100));
    fill->setBackgroundColor(Color::blueColor());
    rounded->addSubview(fill);
    root->addSubview(rounded);

    // A bordered box: border 4 black, background green.
    auto boxed = std::make_shared<UIView>(Rect(110, 10, 80, 80));
    boxed->setBackgroundColor(Color::greenColor());
    boxed->layer()->setBorderWidth(4);
    boxed->layer()->setBorderColor(Color::blackColor());
    root->addSubview(boxed);

    // Half-transparent black over white, and a hidden view that must not show.
    auto veil = std::make_shared<UIView>(Rect(10, 110, 80, 80));
    veil->setBackgroundColor(Color::blackColor());
    veil->setAlpha(0.5);
    root->addSubview(veil);
    auto hidden = std::make_shared<UIView>(Rect(110, 110, 80, 80));
    hidden->setBackgroundColor(Color::redColor());
    hidden->setHidden(true);
    root->addSubview(hidden);

    auto image = root->renderToImage(2);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelWidth(), 400);
    EXPECT_EQ(image->scale(), 2);
    expectPixel(*image, 11, 11, Color::whiteColor()); // the clipped corner shows the parent
    expectPixel(*image, 50, 50, Color::blueColor()); // the child inside the rounded square
    expectPixel(*image, 50, 11, Color::blueColor()); // the straight top edge is not cut
    expectPixel(*image, 111, 50, Color::blackColor()); // border
    expectPixel(*image, 150, 50, Color::greenColor());
    expectPixel(*image, 50, 150, Color::fromWhite(0.5), 3.0 / 255);
    expectPixel(*image, 150, 150, Color::whiteColor());
    expectPixel(*image, 100, 100, Color::whiteColor());

    // Any view renders on its own, its bounds filling the picture at the screen's scale.
    auto alone = platform::FileUtil::joinPath(tempDir(), "boxed.png");
    ASSERT_TRUE(boxed->renderToPNG(alone));
    auto boxedImage = Image::fromFile(alone);
    ASSERT_TRUE(boxedImage);
    EXPECT_EQ(boxedImage->pixelWidth(), 160);
    boxedImage = boxedImage->withScale(2);
    expectPixel(*boxedImage, 1, 40, Color::blackColor());
    expectPixel(*boxedImage, 40, 40, Color::greenColor());
    EXPECT_FALSE(std::make_shared<UIView>()->renderToPNG(alone + ".empty")); // nothing to draw: no file
    EXPECT_FALSE(platform::FileUtil::exists(alone + ".empty"));

    // Transforms move what is drawn: the veil turned by 45° leaves its own corner.
    veil->setTransform(platform::AffineTransform::makeRotation(platform::degreesToRadians(45)));
    image = root->renderToImage(1);
    expectPixel(*image, 12, 112, Color::whiteColor());
    expectPixel(*image, 50, 150, Color::fromWhite(0.5), 3.0 / 255);
}

TEST_F(UIKitTest, SampleScreenRendersToPng)
{
    window->setBackgroundColor(kPageColor);

    // The bar: status area and title, as the screens build theirs.
    auto bar = std::make_shared<UIView>(Rect(0, 0, 320, 64));
    bar->setBackgroundColor(kBarColor);
    auto title = std::make_shared<UILabel>(Rect(60, 20, 200, 44));
    title->setText("家校通");
    title->setFont(UIFont::boldSystemFont(18));
    title->setTextColor(Color::whiteColor());
    title->setTextAlignment(NSTextAlignmentCenter);
    bar->addSubview(title);
    window->addSubview(bar);

    auto notice = std::make_shared<UILabel>(Rect(20, 84, 280, 60));
    notice->setNumberOfLines(0);
    notice->setFont(UIFont::systemFont(15));
    notice->setTextColor(Color::darkGrayColor());
    notice->setText("明天上午九点召开家长会，请各位家长准时参加。");
    window->addSubview(notice);

    auto field = std::make_shared<UITextField>(Rect(20, 154, 280, 36));
    field->setBorderStyle(UITextBorderStyleRoundedRect);
    field->setPlaceholder("请输入手机号");
    window->addSubview(field);

    // A picture: a generated gradient-like image, aspect-fitted.
    Image photo(120, 80, 1, Color::whiteColor());
    for (int y = 0; y < 80; ++y)
        for (int x = 0; x < 120; ++x)
            photo.setPixel(x, y, { std::uint8_t(255 - x * 2), std::uint8_t(120 + y), 60, 255 });
    auto imageView = std::make_shared<UIImageView>(std::make_shared<UIImage>(photo));
    imageView->setFrame(Rect(20, 206, 120, 80));
    imageView->layer()->setCornerRadius(8);
    imageView->setClipsToBounds(true);
    window->addSubview(imageView);

    auto spinner = std::make_shared<UIActivityIndicatorView>(UIActivityIndicatorViewStyleGray);
    spinner->setCenter(platform::Point(230, 246));
    spinner->startAnimating();
    window->addSubview(spinner);

    auto login = UIButton::buttonWithType(UIButtonTypeCustom);
    login->setFrame(Rect(20, 306, 280, 44));
    login->setBackgroundColor(kBarColor);
    login->layer()->setCornerRadius(6);
    login->setTitle("登录", UIControlStateNormal);
    window->addSubview(login);

    auto forgot = UIButton::buttonWithType(UIButtonTypeSystem);
    forgot->setFrame(Rect(20, 360, 280, 44));
    forgot->setTitle("忘记密码？", UIControlStateNormal);
    forgot->layer()->setBorderWidth(1);
    forgot->layer()->setBorderColor(kBarColor);
    forgot->layer()->setCornerRadius(6);
    window->addSubview(forgot);

    auto path = platform::FileUtil::joinPath(tempDir(), "sample-screen.png");
    ASSERT_TRUE(UIWindow::renderScreenToPNG(path));
    keepCopy(path, "sample-screen.png");
    // The file has no "@2x" in its name: read it back at the screen's scale.
    auto plain = Image::fromFile(path);
    ASSERT_TRUE(plain);
    plain = plain->withScale(2);
    EXPECT_EQ(plain->pixelWidth(), 640);
    EXPECT_EQ(plain->pixelHeight(), 1136);
    expectPixel(*plain, 2, 2, kBarColor);
    expectPixel(*plain, 300, 500, kPageColor);
    expectPixel(*plain, 22, 330, kBarColor); // inside the login button, away from its title
    expectPixel(*plain, 20.2, 306.2, kPageColor); // its rounded corner
    expectPixel(*plain, 20.5, 382, kBarColor, 40.0 / 255); // the outline of the second button
    expectPixel(*plain, 21, 246, Color::fromRGB255(255 - 2, 120 + 40, 60), 6.0 / 255); // the picture's left edge

    // Now with an alert above everything: the page is dimmed by black at 0.4.
    auto alert = std::make_shared<UIAlertView>("发现新版本", "新版本修复了若干问题，是否立即更新？",
        std::weak_ptr<UIAlertViewDelegate>(), "取消", std::vector<std::string> { "立即更新" });
    alert->show();
    auto alertPath = platform::FileUtil::joinPath(tempDir(), "sample-screen-alert.png");
    ASSERT_TRUE(UIWindow::renderScreenToPNG(alertPath));
    keepCopy(alertPath, "sample-screen-alert.png");
    auto dimmed = Image::fromFile(alertPath);
    ASSERT_TRUE(dimmed);
    dimmed = dimmed->withScale(2);
    expectPixel(*dimmed, 300, 540, Color::fromWhite(0.95 * 0.6), 3.0 / 255);
    expectPixel(*dimmed, 2, 2, Color(kBarColor.red * 0.6, kBarColor.green * 0.6, kBarColor.blue * 0.6), 3.0 / 255);
    // The alert box is light and centred; its corner is rounded away.
    ASSERT_FALSE(alert->subviews().empty());
    auto box = alert->subviews().front();
    auto boxFrame = box->convertRectToView(box->bounds(), nullptr);
    EXPECT_NEAR(boxFrame.midX(), 160, 0.5);
    EXPECT_NEAR(boxFrame.midY(), 284, 0.5);
    expectPixel(*dimmed, boxFrame.minX() + 4, boxFrame.midY() - 10, Color::fromWhite(0.97), 3.0 / 255);
    expectPixel(*dimmed, boxFrame.maxX() - 0.3, boxFrame.minY() + 0.3, Color::fromWhite(0.95 * 0.6), 6.0 / 255);
}
