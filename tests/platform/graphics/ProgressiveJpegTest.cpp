#include "platform/graphics/ProgressiveJpeg.h"

#include "tests/platform/graphics/GraphicsTestSupport.h"

#include <gtest/gtest.h>

using platform::Image;

namespace {

// Top half reddish, bottom half bluish, with noise so the file is not tiny:
// whether a row was decoded shows in its colour.
Image twoBands(int width, int height)
{
    Image image(width, height, 1.0);
    unsigned seed = 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            seed = seed * 1103515245u + 12345u;
            auto noise = static_cast<std::uint8_t>((seed >> 16) & 63);
            bool top = y < height / 2;
            image.setPixel(x, y,
                { static_cast<std::uint8_t>(top ? 190 + noise : noise), static_cast<std::uint8_t>(noise * 2),
                    static_cast<std::uint8_t>(top ? noise : 190 + noise), 255 });
        }
    }
    return image;
}

bool opaqueRow(const Image& image, int y)
{
    for (int x = 0; x < image.pixelWidth(); x += 7)
        if (image.pixelAt(x, y)[3] != 255)
            return false;
    return true;
}

} // namespace

TEST(ProgressiveJpegTest, BaselineFileCutShortGivesItsTopRowsOnly)
{
    auto bytes = twoBands(64, 256).encodeJPEG(0.9);
    ASSERT_TRUE(bytes);
    auto partial = platform::decodePartialJPEG(bytes->data(), bytes->size() * 6 / 10);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->image.pixelWidth(), 64);
    EXPECT_EQ(partial->image.pixelHeight(), 256);
    EXPECT_FALSE(partial->complete);
    ASSERT_GT(partial->rowsDecoded, 0);
    ASSERT_LT(partial->rowsDecoded, 256);
    EXPECT_TRUE(opaqueRow(partial->image, 0));
    EXPECT_GT(partial->image.pixelAt(10, 2)[0], 150); // red on top
    EXPECT_EQ(partial->image.pixelAt(10, 255)[3], 0); // nothing yet at the bottom

    // The whole file is whole; the full decoder agrees about the pixels.
    auto whole = platform::decodePartialJPEG(bytes->data(), bytes->size());
    ASSERT_TRUE(whole);
    EXPECT_TRUE(whole->complete);
    EXPECT_EQ(whole->rowsDecoded, 256);
    auto full = Image::decode(*bytes);
    ASSERT_TRUE(full);
    EXPECT_EQ(whole->image.pixels(), full->pixels());
}

TEST(ProgressiveJpegTest, ProgressiveFileShowsTheWholePictureCoarseFirst)
{
    auto source = twoBands(96, 96);
    auto bytes = platform::encodeProgressiveJPEG(source, 0.9);
    ASSERT_TRUE(bytes);
    // The full decoder reads the file, whose frame header is the progressive one (SOF2).
    auto full = Image::decode(*bytes);
    ASSERT_TRUE(full);
    bool sof2 = false, sof0 = false;
    for (std::size_t i = 2; i + 1 < bytes->size(); ++i) {
        sof2 = sof2 || ((*bytes)[i] == 0xFF && (*bytes)[i + 1] == 0xC2);
        sof0 = sof0 || ((*bytes)[i] == 0xFF && (*bytes)[i + 1] == 0xC0);
    }
    EXPECT_TRUE(sof2);
    EXPECT_FALSE(sof0);

    // Cut after the first scans: every row is there already, at low detail.
    std::optional<platform::PartialImage> early;
    for (std::size_t cut = bytes->size() / 5; cut < bytes->size() && !early; cut += bytes->size() / 20) {
        auto partial = platform::decodePartialJPEG(bytes->data(), cut);
        if (partial && partial->rowsDecoded == 96)
            early = partial;
    }
    ASSERT_TRUE(early);
    EXPECT_FALSE(early->complete);
    EXPECT_TRUE(opaqueRow(early->image, 95));
    EXPECT_GT(early->image.pixelAt(48, 90)[2], 150); // blue at the bottom already
    EXPECT_NE(early->image.pixels(), full->pixels()); // but not the final detail
}

TEST(ProgressiveJpegTest, RefusesWhatIsNotAPartialPicture)
{
    auto bytes = twoBands(64, 64).encodeJPEG(0.9);
    ASSERT_TRUE(bytes);
    // Header still arriving: no size, no picture.
    EXPECT_FALSE(platform::decodePartialJPEG(bytes->data(), 20));
    EXPECT_FALSE(platform::imagePixelSizeFromPrefix(bytes->data(), 20));

    // Bytes damaged in the middle of the scan: a corrupt file, not a short one.
    auto damaged = *bytes;
    for (std::size_t i = damaged.size() / 2; i < damaged.size() / 2 + 40; ++i)
        damaged[i] = 0xFF;
    EXPECT_FALSE(platform::decodePartialJPEG(damaged.data(), damaged.size() - 10));

    // A header claiming 60000 × 60000 pixels.
    auto huge = *bytes;
    for (std::size_t i = 2; i + 8 < huge.size(); ++i) {
        if (huge[i] == 0xFF && huge[i + 1] == 0xC0) {
            huge[i + 5] = 0xEA;
            huge[i + 6] = 0x60;
            huge[i + 7] = 0xEA;
            huge[i + 8] = 0x60;
            break;
        }
    }
    EXPECT_FALSE(platform::decodePartialJPEG(huge.data(), huge.size() / 2));
    EXPECT_FALSE(platform::imagePixelSizeFromPrefix(huge.data(), huge.size()));

    // PNG sizes come from the header chunk; anything else has none.
    auto png = twoBands(40, 30).encodePNG();
    ASSERT_TRUE(png);
    auto size = platform::imagePixelSizeFromPrefix(png->data(), 24);
    ASSERT_TRUE(size);
    EXPECT_EQ(*size, std::make_pair(40, 30));
    EXPECT_FALSE(platform::decodePartialJPEG(png->data(), png->size()));
    const std::uint8_t html[] = "<html><body>no</body></html>";
    EXPECT_FALSE(platform::imagePixelSizeFromPrefix(html, sizeof html));
}

namespace {

// The JPEG with the size in its frame header (baseline or progressive) changed,
// and the offset just past its first scan header: the bytes a download has
// when the header has come and the picture data not yet.
std::pair<std::vector<std::uint8_t>, std::size_t> withFrameSize(std::vector<std::uint8_t> jpeg, int width, int height)
{
    std::size_t scanData = 0;
    bool sized = false;
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] != 0xFF)
            continue;
        if (!sized && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2)) {
            jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<std::uint8_t>(height);
            jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<std::uint8_t>(width);
            sized = true;
        } else if (sized && jpeg[i + 1] == 0xDA) {
            scanData = i + 2 + ((std::size_t { jpeg[i + 2] } << 8) | jpeg[i + 3]);
            break;
        }
    }
    EXPECT_TRUE(sized && scanData > 0) << "no frame or scan header";
    return { jpeg, scanData };
}

} // namespace

TEST(ProgressiveJpegTest, HeadersOutOfProportionToTheirBytesAreRefusedBeforeDecoding)
{
    // A few hundred bytes claiming 8192 × 8192 (beyond the decoding budget) or
    // 2064 × 19204 (within it, but far more pixels than the bytes can code):
    // refused at the header, like the whole-file decoder does, and not after
    // allocating the picture and, for a progressive file, its coefficients.
    auto baseline = *twoBands(48, 32).encodeJPEG(0.5);
    auto progressive = *platform::encodeProgressiveJPEG(twoBands(48, 32), 0.5);
    for (const auto* jpeg : { &baseline, &progressive }) {
        for (auto [w, h] : { std::pair { 8192, 8192 }, std::pair { 2064, 19204 } }) {
            SCOPED_TRACE(testing::Message() << (jpeg == &baseline ? "baseline " : "progressive ") << w << "x" << h);
            auto [huge, scanData] = withFrameSize(*jpeg, w, h);
            ASSERT_LT(scanData, huge.size());
            ASSERT_LT(huge.size(), 2048u);
            // The size alone is still answered: nothing is allocated for it.
            auto size = platform::imagePixelSizeFromPrefix(huge.data(), scanData);
            ASSERT_TRUE(size);
            EXPECT_EQ(*size, std::make_pair(w, h));
            EXPECT_FALSE(platform::decodePartialJPEG(huge.data(), scanData));
            EXPECT_FALSE(platform::decodePartialJPEG(huge.data(), huge.size()));
        }
    }

    // A megapixel and a little more is shown from a prefix that holds a bit
    // a block, the least a sound file has: the limit refuses only the absurd.
    auto large = *twoBands(1280, 832).encodeJPEG(0.3);
    std::size_t atLeast = (1280u * 832 + 1023) / 1024;
    ASSERT_GT(large.size(), atLeast);
    auto partial = platform::decodePartialJPEG(large.data(), atLeast + 1024);
    ASSERT_TRUE(partial);
    EXPECT_EQ(partial->image.pixelWidth(), 1280);
    EXPECT_FALSE(platform::decodePartialJPEG(large.data(), atLeast - 1));
}
