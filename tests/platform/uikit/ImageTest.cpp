#include "UIKitTestSupport.h"

#include "platform/graphics/Context.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/ViewRenderer.h"

using platform::Color;
using platform::Image;
using platform::Rect;
using platform::Size;

class Images : public UIKitTest {
protected:
    void SetUp() override
    {
        UIKitTest::SetUp();
        resources = tempDir();
        images = platform::FileUtil::joinPath(resources, "images");
        ASSERT_TRUE(platform::FileUtil::createDirectory(images));
        platform::AppPaths::setResourcesDirectory(resources);
    }
    void TearDown() override
    {
        platform::AppPaths::resetResourcesDirectory();
        UIKitTest::TearDown();
    }
    void writeImage(const std::string& name, int w, int h, Color color)
    {
        ASSERT_TRUE(Image(w, h, 1, color).writePNG(platform::FileUtil::joinPath(images, name)));
    }
    std::string resources;
    std::string images;
};

TEST_F(Images, NamedImagesPreferTheDoubleScaleFileAndAreCached)
{
    writeImage("tab_icon.png", 30, 30, Color::redColor());
    writeImage("tab_icon@2x.png", 60, 60, Color::blueColor());
    writeImage("plain.png", 40, 20, Color::greenColor());

    auto icon = UIImage::imageNamed("tab_icon");
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->scale(), 2);
    EXPECT_EQ(icon->size(), Size(30, 30)); // points
    EXPECT_EQ(icon->CGImage().colorAt(0, 0), Color::blueColor());
    EXPECT_EQ(icon->name(), "tab_icon");
    // With the extension, the @2x file is still preferred; the cache answers the same image.
    EXPECT_EQ(UIImage::imageNamed("tab_icon.png"), icon);

    auto plain = UIImage::imageNamed("plain.png");
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(plain->scale(), 1);
    EXPECT_EQ(plain->size(), Size(40, 20));

    EXPECT_EQ(UIImage::imageNamed("missing"), nullptr);
    EXPECT_EQ(UIImage::imageNamed(""), nullptr);
    EXPECT_EQ(UIImage::imageNamed("../images/plain.png"), nullptr);
}

TEST_F(Images, BadBytesGiveNoImage)
{
    ASSERT_TRUE(platform::FileUtil::write(
        platform::FileUtil::joinPath(images, "broken.png"), std::string("\x89PNG\r\n\x1a\nnot really")));
    EXPECT_EQ(UIImage::imageNamed("broken"), nullptr);
    EXPECT_EQ(UIImage::imageWithData(platform::Bytes { 0xFF, 0xD8, 0xFF, 0x00, 0x12 }), nullptr);
    EXPECT_EQ(UIImage::imageWithData({}), nullptr);
    EXPECT_EQ(UIImage::imageWithContentsOfFile(platform::FileUtil::joinPath(images, "none.png")), nullptr);
    EXPECT_EQ(UIImagePNGRepresentation(nullptr), std::nullopt);
}

TEST_F(Images, RepresentationsRoundTripAndJpegQualityChangesTheSize)
{
    // A picture with detail, so that the quality matters.
    Image picture(64, 64, 1, Color::whiteColor());
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            picture.setPixel(x, y, { std::uint8_t(x * 4), std::uint8_t(y * 4), std::uint8_t((x ^ y) * 4), 255 });
    auto image = std::make_shared<UIImage>(picture);
    auto png = UIImagePNGRepresentation(image);
    ASSERT_TRUE(png);
    auto back = UIImage::imageWithData(*png);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->CGImage().pixels(), picture.pixels());

    auto low = UIImageJPEGRepresentation(image, 0.0);
    auto high = UIImageJPEGRepresentation(image, 1.0);
    ASSERT_TRUE(low && high);
    EXPECT_LT(low->size(), high->size());
    auto decoded = UIImage::imageWithData(*high, 2);
    ASSERT_NE(decoded, nullptr);
    EXPECT_EQ(decoded->size(), Size(32, 32));

    auto path = platform::FileUtil::joinPath(images, "photo@2x.png");
    ASSERT_TRUE(platform::FileUtil::write(path, *png));
    auto fromFile = UIImage::imageWithContentsOfFile(path);
    ASSERT_NE(fromFile, nullptr);
    EXPECT_EQ(fromFile->scale(), 2);
}

TEST_F(Images, StretchableImagesKeepTheirCapsWhenDrawn)
{
    // 5 × 5: a red frame one pixel wide around a green middle.
    Image source(5, 5, 1, Color::greenColor());
    for (int i = 0; i < 5; ++i) {
        for (int j : { 0, 4 }) {
            source.setPixel(i, j, { 255, 0, 0, 255 });
            source.setPixel(j, i, { 255, 0, 0, 255 });
        }
    }
    auto image = std::make_shared<UIImage>(source)->stretchableImageWithLeftCapWidth(2, 2);
    EXPECT_EQ(image->leftCapWidth(), 2);
    EXPECT_EQ(image->capInsets(), platform::EdgeInsets(2, 2, 2, 2));
    auto context = platform::Context::createBitmap(Size(50, 50), 1);
    ASSERT_TRUE(context);
    platform::drawUIImage(*context, *image, Rect(0, 0, 50, 50));
    auto drawn = context->makeImage();
    // The frame stays one pixel wide at every edge; the middle is green.
    EXPECT_EQ(drawn.colorAt(0, 25), Color::redColor());
    EXPECT_EQ(drawn.colorAt(49, 25), Color::redColor());
    EXPECT_EQ(drawn.colorAt(25, 0), Color::redColor());
    EXPECT_EQ(drawn.colorAt(25, 49), Color::redColor());
    EXPECT_EQ(drawn.colorAt(3, 25), Color::greenColor());
    EXPECT_EQ(drawn.colorAt(25, 25), Color::greenColor());

    // Stretched without caps, the red frame would grow tenfold.
    auto context2 = platform::Context::createBitmap(Size(50, 50), 1);
    platform::drawUIImage(*context2, UIImage(source), Rect(0, 0, 50, 50));
    EXPECT_TRUE(context2->makeImage().colorAt(5, 25).isClose(Color::redColor(), 0.1));
}

namespace {

// A picture with something in every pixel: colours and alpha that change
// across it, so a part taken from the wrong place or premultiplied twice shows.
Image gradientPicture(int width, int height)
{
    Image picture(width, height, 2);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            picture.setPixel(x, y,
                { std::uint8_t(x * 255 / width), std::uint8_t(y * 255 / height), std::uint8_t((x * y) % 256),
                    std::uint8_t(40 + (x + y) % 216) });
    return picture;
}

// What an image drawn straight from its pixels looks like, part by part, as
// the renderer drew before it kept converted parts.
Image drawnFromPixels(const Image& source, const platform::EdgeInsets* caps, Rect rect, bool darken, Size canvas)
{
    auto context = platform::Context::createBitmap(canvas, 2);
    Image picture = darken ? platform::darkenedImage(source) : source;
    if (!caps) {
        context->drawImage(picture, rect);
        return context->makeImage();
    }
    double scale = picture.scale();
    Size size = picture.size();
    double srcX[4] = { 0, caps->left, size.width - caps->right, size.width };
    double srcY[4] = { 0, caps->top, size.height - caps->bottom, size.height };
    double dstX[4] = { rect.minX(), rect.minX() + caps->left, rect.maxX() - caps->right, rect.maxX() };
    double dstY[4] = { rect.minY(), rect.minY() + caps->top, rect.maxY() - caps->bottom, rect.maxY() };
    for (int row = 0; row < 3; ++row)
        for (int column = 0; column < 3; ++column) {
            int px = int(std::lround(srcX[column] * scale));
            int py = int(std::lround(srcY[row] * scale));
            Image piece = picture.cropped(px, py, int(std::lround(srcX[column + 1] * scale)) - px,
                int(std::lround(srcY[row + 1] * scale)) - py);
            context->drawImage(piece, Rect(dstX[column], dstY[row], dstX[column + 1] - dstX[column],
                                          dstY[row + 1] - dstY[row]));
        }
    return context->makeImage();
}

} // namespace

TEST_F(Images, KeptConvertedPartsDrawExactlyWhatThePixelsDrawAndAreMadeOnce)
{
    Image source = gradientPicture(40, 30);
    Size canvas(80, 60);
    Rect rect(3.5, 2.25, 70, 51);
    auto plain = std::make_shared<UIImage>(source);
    platform::EdgeInsets caps(4, 5, 3, 6);
    auto resizable = plain->resizableImageWithCapInsets(caps);
    for (int round = 0; round < 2; ++round) {
        for (bool darken : { false, true }) {
            auto context = platform::Context::createBitmap(canvas, 2);
            platform::drawUIImage(*context, *plain, rect, darken);
            EXPECT_EQ(context->makeImage().pixels(), drawnFromPixels(source, nullptr, rect, darken, canvas).pixels())
                << "whole, darkened " << darken << ", round " << round;
            auto capped = platform::Context::createBitmap(canvas, 2);
            platform::drawUIImage(*capped, *resizable, rect, darken);
            EXPECT_EQ(capped->makeImage().pixels(), drawnFromPixels(source, &caps, rect, darken, canvas).pixels())
                << "nine parts, darkened " << darken << ", round " << round;
        }
        // The whole and nine parts, each plain and darkened; the second round
        // makes nothing new. The resizable copy shares the original's parts.
        EXPECT_EQ(plain->preparedCount(), 20u) << "round " << round;
        EXPECT_EQ(resizable->preparedCount(), 20u);
    }
    EXPECT_EQ(plain->prepared(0, 0, 40, 30, false), plain->prepared(0, 0, 40, 30, false));
    EXPECT_EQ(plain->prepared(-5, -5, 10, 10, false), plain->prepared(0, 0, 5, 5, false)) << "cut to the image";
    EXPECT_EQ(plain->prepared(40, 0, 10, 10, false), nullptr);
    EXPECT_EQ(plain->prepared(0, 0, 0, 10, false), nullptr);

    // A picture past the keeping limit is drawn the same, but nothing stays.
    auto photo = std::make_shared<UIImage>(Image(1100, 1000, 1, Color::blueColor()));
    auto context = platform::Context::createBitmap(Size(20, 20), 1);
    platform::drawUIImage(*context, *photo, Rect(0, 0, 20, 20));
    EXPECT_EQ(context->makeImage().colorAt(10, 10), Color::blueColor());
    EXPECT_EQ(photo->preparedCount(), 0u);
}

TEST_F(Images, KeptPartsStayWithinOneBudgetAndTheLeastRecentlyDrawnGoFirst)
{
    // Pictures of the largest size kept, more of them than the budget holds.
    int side = int(std::sqrt(double(UIImage::kMaxKeptPreparedPixels)));
    std::size_t each = std::size_t(side) * std::size_t(side) * 4;
    std::size_t fit = UIImage::kPreparedBudgetBytes / each;
    ASSERT_GE(fit, 2u);
    std::vector<std::shared_ptr<UIImage>> pictures;
    for (std::size_t i = 0; i < fit + 3; ++i)
        pictures.push_back(std::make_shared<UIImage>(gradientPicture(side, side)));
    auto context = platform::Context::createBitmap(Size(8, 8), 1);
    auto draw = [&](const std::shared_ptr<UIImage>& picture) {
        platform::drawUIImage(*context, *picture, Rect(0, 0, 8, 8));
        EXPECT_LE(UIImage::preparedBytes(), UIImage::kPreparedBudgetBytes);
    };
    // The first is drawn again between the others: it stays, the ones after
    // it go in the order they were drawn.
    for (std::size_t i = 0; i < pictures.size(); ++i) {
        draw(pictures[i]);
        draw(pictures[0]);
    }
    EXPECT_EQ(pictures[0]->preparedCount(), 1u);
    EXPECT_EQ(pictures.back()->preparedCount(), 1u);
    EXPECT_EQ(pictures[1]->preparedCount(), 0u);
    std::size_t kept = 0;
    for (const auto& picture : pictures)
        kept += picture->preparedCount();
    EXPECT_EQ(kept, fit);

    // One let go is made again when drawn, and draws the same pixels.
    auto again = platform::Context::createBitmap(Size(8, 8), 1);
    platform::drawUIImage(*again, *pictures[1], Rect(0, 0, 8, 8));
    EXPECT_EQ(pictures[1]->preparedCount(), 1u);
    auto fresh = platform::Context::createBitmap(Size(8, 8), 1);
    fresh->drawImage(pictures[1]->CGImage(), Rect(0, 0, 8, 8));
    EXPECT_EQ(again->makeImage().pixels(), fresh->makeImage().pixels());

    // What an image kept goes from the budget with it.
    auto before = UIImage::preparedBytes();
    pictures[1].reset();
    EXPECT_EQ(UIImage::preparedBytes(), before - each);
}

TEST_F(UIKitTest, ContentModesPlaceTheImage)
{
    Size image(40, 20);
    Rect box(0, 0, 100, 100);
    EXPECT_EQ(rectForContentMode(UIViewContentModeScaleToFill, image, box), box);
    EXPECT_EQ(rectForContentMode(UIViewContentModeScaleAspectFit, image, box), Rect(0, 25, 100, 50));
    EXPECT_EQ(rectForContentMode(UIViewContentModeScaleAspectFill, image, box), Rect(-50, 0, 200, 100));
    EXPECT_EQ(rectForContentMode(UIViewContentModeCenter, image, box), Rect(30, 40, 40, 20));
    EXPECT_EQ(rectForContentMode(UIViewContentModeTop, image, box), Rect(30, 0, 40, 20));
    EXPECT_EQ(rectForContentMode(UIViewContentModeBottomRight, image, box), Rect(60, 80, 40, 20));
    EXPECT_EQ(rectForContentMode(UIViewContentModeLeft, image, box), Rect(0, 40, 40, 20));
    EXPECT_EQ(rectForContentMode(UIViewContentModeScaleAspectFit, Size(0, 0), box), box);
    EXPECT_EQ(rectForContentMode(UIViewContentModeCenter, Size(NAN, 3), box), Rect(0, 0, 0, 0));
}

TEST_F(UIKitTest, ImageViewsDrawByContentModeAndClipOnlyWhenAsked)
{
    auto image = std::make_shared<UIImage>(Image(40, 20, 1, Color::redColor()));
    auto view = std::make_shared<UIImageView>(image);
    EXPECT_EQ(view->frame(), Rect(0, 0, 40, 20));
    EXPECT_FALSE(view->isUserInteractionEnabled());
    auto container = std::make_shared<UIView>(Rect(0, 0, 200, 100));
    container->setBackgroundColor(Color::whiteColor());
    container->addSubview(view);
    view->setFrame(Rect(50, 25, 100, 50));
    view->setContentMode(UIViewContentModeScaleAspectFill); // 100 × 50 fills exactly: no spill
    view->setContentMode(UIViewContentModeScaleAspectFit);
    view->setFrame(Rect(50, 0, 100, 100)); // fits as 100 × 50 in the middle
    auto rendered = container->renderToImage(1);
    ASSERT_TRUE(rendered);
    EXPECT_EQ(rendered->colorAt(100, 10), Color::whiteColor());
    EXPECT_EQ(rendered->colorAt(100, 50), Color::redColor());

    view->setContentMode(UIViewContentModeScaleAspectFill); // 200 × 100: spills sideways
    rendered = container->renderToImage(1);
    EXPECT_EQ(rendered->colorAt(10, 50), Color::redColor());
    view->setClipsToBounds(true);
    rendered = container->renderToImage(1);
    EXPECT_EQ(rendered->colorAt(10, 50), Color::whiteColor());
    EXPECT_EQ(rendered->colorAt(60, 50), Color::redColor());

    auto pressed = std::make_shared<UIImage>(Image(40, 20, 1, Color::blueColor()));
    view->setHighlightedImage(pressed);
    view->setHighlighted(true);
    EXPECT_EQ(view->displayedImage(), pressed);
    EXPECT_EQ(container->renderToImage(1)->colorAt(60, 50), Color::blueColor());
    view->setHighlighted(false);

    view->startAnimating();
    EXPECT_FALSE(view->isAnimating()); // no frames to play
    view->setAnimationImages({ image, image });
    view->setAnimationDuration(0.5);
    view->startAnimating();
    EXPECT_TRUE(view->isAnimating());
}

// Started, the view shows its frames in turn on the loop's clock, each for
// the duration over the frame count, the repeat count times over, then its
// still picture again; with no repeat count it plays until stopped. Drawn,
// the frame shown is what the screen gets.
TEST_F(Images, AnimationShowsItsFramesInTurnThenTheStillImage)
{
    auto still = std::make_shared<UIImage>(Image(20, 20, 1, Color::whiteColor()));
    auto red = std::make_shared<UIImage>(Image(20, 20, 1, Color::redColor()));
    auto blue = std::make_shared<UIImage>(Image(20, 20, 1, Color::blueColor()));
    auto view = std::make_shared<UIImageView>(still);
    window->addSubview(view);
    view->setAnimationImages({ red, blue });
    view->setAnimationDuration(0.5);
    view->setAnimationRepeatCount(2);
    view->startAnimating();
    std::vector<std::shared_ptr<UIImage>> shown { view->displayedImage() };
    for (int step = 0; step < 4; ++step) {
        loop->advance(0.25);
        shown.push_back(view->displayedImage());
    }
    EXPECT_EQ(shown, (std::vector<std::shared_ptr<UIImage>> { red, blue, red, blue, still }));
    EXPECT_FALSE(view->isAnimating());

    view->setAnimationRepeatCount(0);
    view->startAnimating();
    loop->advance(0.25);
    EXPECT_EQ(view->renderToImage(1)->colorAt(10, 10), Color::blueColor());
    loop->advance(10);
    EXPECT_TRUE(view->isAnimating());
    EXPECT_EQ(view->animationFrame(), 1u);
    view->stopAnimating();
    EXPECT_EQ(view->displayedImage(), still);
    loop->advance(0.25);
    EXPECT_EQ(view->displayedImage(), still);

    // A view that goes while it animates leaves nothing ticking behind.
    std::weak_ptr<UIImageView> gone = view;
    view->startAnimating();
    view->removeFromSuperview();
    view.reset();
    EXPECT_TRUE(gone.expired());
    loop->advance(1);
}
