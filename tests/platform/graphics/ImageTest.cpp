#include "platform/graphics/Image.h"

#include "GraphicsTestSupport.h"
#include "platform/os/FileUtil.h"
#include "tests/support/ProcessUtil.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

#include <jpeglib.h>

using graphics_test::runCommand;
using graphics_test::TempDir;
using platform::Color;
using platform::FileUtil;
using platform::Image;
using platform::ImageFormat;
using platform::ImageOrientation;
using platform::Size;

namespace {

using Pixel = std::array<std::uint8_t, 4>;

// A picture with structure in both directions and some translucency.
Image patternImage(int w, int h, bool withAlpha)
{
    Image image(w, h);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            auto alpha = static_cast<std::uint8_t>(withAlpha ? (x * 255 / std::max(1, w - 1)) : 255);
            image.setPixel(x, y,
                { static_cast<std::uint8_t>(x * 255 / std::max(1, w - 1)),
                    static_cast<std::uint8_t>(y * 255 / std::max(1, h - 1)), static_cast<std::uint8_t>((x + y) % 256),
                    alpha });
        }
    }
    return image;
}

// Four flat quadrants: red, green / blue, white.
Image quadrants(int w, int h, double scale = 1.0)
{
    Image image(w, h, scale);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            bool right = x >= w / 2, bottom = y >= h / 2;
            Pixel p = !bottom ? (right ? Pixel { 0, 255, 0, 255 } : Pixel { 255, 0, 0, 255 })
                              : (right ? Pixel { 255, 255, 255, 255 } : Pixel { 0, 0, 255, 255 });
            image.setPixel(x, y, p);
        }
    }
    return image;
}

} // namespace

TEST(ImageTest, NewImagesAndBadSizes)
{
    Image image(4, 3, 2.0, Color::redColor());
    EXPECT_FALSE(image.isNull());
    EXPECT_EQ(image.size(), Size(2, 1.5));
    EXPECT_EQ(image.pixelAt(3, 2), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(image.pixelAt(4, 0), (Pixel { 0, 0, 0, 0 })) << "outside reads transparent";
    EXPECT_TRUE(Image(0, 10).isNull());
    EXPECT_TRUE(Image(-3, 10).isNull());
    EXPECT_TRUE(Image(Image::kMaxDimension + 1, 1).isNull());
    EXPECT_TRUE(Image(20000, 20000).isNull()) << "beyond the pixel budget";
    EXPECT_EQ(Image(2, 2, std::numeric_limits<double>::quiet_NaN()).scale(), 1.0);
    EXPECT_EQ(Image(2, 2, -2).scale(), 1.0);
    EXPECT_FALSE(Image().encodePNG().has_value());
    EXPECT_FALSE(Image().encodeJPEG(0.8).has_value());
}

TEST(ImageTest, PngRoundTripKeepsEveryPixel)
{
    for (bool alpha : { true, false }) {
        Image original = patternImage(37, 23, alpha);
        auto bytes = original.encodePNG();
        ASSERT_TRUE(bytes.has_value());
        EXPECT_EQ(Image::sniffFormat(*bytes), ImageFormat::PNG);
        auto decoded = Image::decode(*bytes, 2.0);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->pixels(), original.pixels()) << "alpha " << alpha;
        EXPECT_EQ(decoded->scale(), 2.0);
        EXPECT_EQ(decoded->size(), Size(18.5, 11.5));
    }
}

TEST(ImageTest, JpegRoundTripIsClose)
{
    Image original = patternImage(64, 48, false);
    auto bytes = original.encodeJPEG(0.9);
    ASSERT_TRUE(bytes.has_value());
    EXPECT_EQ(Image::sniffFormat(*bytes), ImageFormat::JPEG);
    auto decoded = Image::decode(*bytes);
    ASSERT_TRUE(decoded.has_value());
    ASSERT_EQ(decoded->pixelWidth(), 64);
    ASSERT_EQ(decoded->pixelHeight(), 48);
    long long total = 0;
    int worst = 0;
    for (std::size_t i = 0; i < original.pixels().size(); ++i) {
        int d = std::abs(int(original.pixels()[i]) - int(decoded->pixels()[i]));
        total += d;
        worst = std::max(worst, d);
    }
    double mean = double(total) / original.pixels().size();
    EXPECT_LT(mean, 3.0);
    EXPECT_LT(worst, 40);
    EXPECT_TRUE(decoded->isOpaque());
}

TEST(ImageTest, JpegQualityChangesTheSize)
{
    Image original = patternImage(160, 120, false);
    auto low = original.encodeJPEG(0.2);
    auto high = original.encodeJPEG(0.9);
    auto zero = original.encodeJPEG(0.0);
    ASSERT_TRUE(low && high && zero);
    EXPECT_LT(low->size() * 3 / 2, high->size()) << low->size() << " vs " << high->size();
    EXPECT_LE(zero->size(), low->size());
    EXPECT_TRUE(Image::decode(*zero).has_value()) << "quality 0 still gives a picture";
    // Out-of-range qualities are clamped, not refused.
    EXPECT_EQ(original.encodeJPEG(7.0)->size(), original.encodeJPEG(1.0)->size());
    EXPECT_TRUE(original.encodeJPEG(std::numeric_limits<double>::quiet_NaN()).has_value());
}

TEST(ImageTest, JpegComposesTranslucencyOverBlack)
{
    Image image(16, 16, 1.0, Color(1, 1, 1, 0.5));
    auto decoded = Image::decode(*image.encodeJPEG(1.0));
    ASSERT_TRUE(decoded.has_value());
    Pixel p = decoded->pixelAt(8, 8);
    EXPECT_TRUE(graphics_test::isNear(p, { 128, 128, 128, 255 }, 3)) << graphics_test::describe(p);
}

TEST(ImageTest, DecodesPngsWrittenByPython)
{
    if (!graphics_test::haveTool("python3"))
        ORB_SKIP_WITHOUT_TOOL("python3 is not installed");
    TempDir dir;
    std::string script = dir / "writer.py";
    ASSERT_TRUE(FileUtil::write(script, std::string_view(R"PY(
import struct, zlib, sys
def chunk(kind, data):
    return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xffffffff)
def png(path, width, height, colour_type, depth, rows, extra=b""):
    raw = b"".join(b"\x00" + r for r in rows)
    ihdr = struct.pack(">IIBBBBB", width, height, depth, colour_type, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + extra + chunk(b"IDAT", zlib.compress(raw)) + chunk(b"IEND", b""))
out = sys.argv[1]
# 3 x 2 RGBA: red, green, blue / half-transparent white, transparent, black
png(out + "/rgba.png", 3, 2, 6, 8, [bytes([255,0,0,255, 0,255,0,255, 0,0,255,255]), bytes([255,255,255,128, 0,0,0,0, 0,0,0,255])])
# 2 x 2 palette with a transparent entry
png(out + "/palette.png", 2, 2, 3, 8, [bytes([0, 1]), bytes([1, 0])],
    chunk(b"PLTE", bytes([10, 20, 30, 200, 100, 50])) + chunk(b"tRNS", bytes([255, 0])))
# 2 x 1 grey at 16 bits
png(out + "/grey16.png", 2, 1, 0, 16, [struct.pack(">HH", 0, 65535)])
# a header claiming 100000 x 100000 pixels
png(out + "/huge.png", 100000, 100000, 0, 8, [b"\x00"])
)PY")));
    ASSERT_EQ(runCommand("python3 " + script + " " + dir.path()).status, 0);

    auto rgba = Image::fromFile(dir / "rgba.png");
    ASSERT_TRUE(rgba.has_value());
    EXPECT_EQ(rgba->pixelWidth(), 3);
    EXPECT_EQ(rgba->pixelAt(0, 0), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(rgba->pixelAt(2, 0), (Pixel { 0, 0, 255, 255 }));
    EXPECT_EQ(rgba->pixelAt(0, 1), (Pixel { 255, 255, 255, 128 })) << "straight alpha keeps the colour";
    EXPECT_EQ(rgba->pixelAt(1, 1)[3], 0);

    auto palette = Image::fromFile(dir / "palette.png");
    ASSERT_TRUE(palette.has_value());
    EXPECT_EQ(palette->pixelAt(0, 0), (Pixel { 10, 20, 30, 255 }));
    EXPECT_EQ(palette->pixelAt(1, 0)[3], 0);

    auto grey = Image::fromFile(dir / "grey16.png");
    ASSERT_TRUE(grey.has_value());
    EXPECT_EQ(grey->pixelAt(0, 0), (Pixel { 0, 0, 0, 255 }));
    EXPECT_EQ(grey->pixelAt(1, 0), (Pixel { 255, 255, 255, 255 }));

    EXPECT_FALSE(Image::fromFile(dir / "huge.png").has_value()) << "a hostile header must not allocate 10 GB";
}

TEST(ImageTest, EncodedFilesAreReadableByOtherTools)
{
    if (!graphics_test::haveTool("python3"))
        ORB_SKIP_WITHOUT_TOOL("python3 is not installed");
    TempDir dir;
    Image image = quadrants(30, 20);
    image.setPixel(0, 0, { 1, 2, 3, 4 });
    ASSERT_TRUE(image.writePNG(dir / "out.png"));
    ASSERT_TRUE(image.writeJPEG(dir / "out.jpg", 0.8));
    if (graphics_test::haveTool("file")) {
        EXPECT_NE(runCommand("file -b " + dir / "out.png").output.find("PNG image data, 30 x 20, 8-bit/color RGBA"),
            std::string::npos);
        EXPECT_NE(runCommand("file -b " + dir / "out.jpg").output.find("JPEG image data"), std::string::npos);
    } else {
        EXPECT_FALSE(testsupport::toolsRequired()) << "file is not installed";
    }
    // Independent readers: python's zlib for the PNG, a marker walk for the JPEG.
    std::string script = dir / "reader.py";
    ASSERT_TRUE(FileUtil::write(script, std::string_view(R"PY(
import struct, zlib, sys
d = open(sys.argv[1] + "/out.png", "rb").read()
pos, idat, ihdr = 8, b"", None
while pos < len(d):
    n, kind = struct.unpack(">I4s", d[pos:pos+8])
    body = d[pos+8:pos+8+n]
    assert zlib.crc32(kind + body) & 0xffffffff == struct.unpack(">I", d[pos+8+n:pos+12+n])[0]
    if kind == b"IHDR": ihdr = struct.unpack(">IIBB", body[:10])
    if kind == b"IDAT": idat += body
    pos += 12 + n
w, h, depth, ctype = ihdr
raw = zlib.decompress(idat)
stride = w * 4 + 1
# Whatever the first row's filter, its first pixel is stored as it is
# (every predictor of the top-left pixel is 0).
print(w, h, ctype, *raw[1:5])
j = open(sys.argv[1] + "/out.jpg", "rb").read()
i = 2
while i < len(j):
    marker, length = j[i+1], struct.unpack(">H", j[i+2:i+4])[0]
    if marker in (0xC0, 0xC1, 0xC2):
        hh, ww = struct.unpack(">HH", j[i+5:i+9]); print(ww, hh); break
    i += 2 + length
)PY")));
    auto result = runCommand("python3 " + script + " " + dir.path());
    ASSERT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "30 20 6 1 2 3 4\n30 20\n");
}

TEST(ImageTest, TheAt2xRule)
{
    TempDir dir;
    Image image = quadrants(40, 20);
    ASSERT_TRUE(image.writePNG(dir / "icon@2x.png"));
    ASSERT_TRUE(image.writePNG(dir / "icon.png"));
    auto retina = Image::fromFile(dir / "icon@2x.png");
    auto plain = Image::fromFile(dir / "icon.png");
    ASSERT_TRUE(retina && plain);
    EXPECT_EQ(retina->scale(), 2.0);
    EXPECT_EQ(retina->size(), Size(20, 10));
    EXPECT_EQ(plain->scale(), 1.0);
    EXPECT_EQ(plain->size(), Size(40, 20));
    EXPECT_FALSE(Image::fromFile(dir / "missing.png").has_value());

    EXPECT_EQ(Image::scaleForFileName("/res/images/a@2x.jpg"), 2.0);
    EXPECT_EQ(Image::scaleForFileName("/res/im@2x/a.png"), 1.0) << "only the file name counts";
    EXPECT_EQ(Image::scaleForFileName("@2x"), 1.0);

    EXPECT_EQ(Image::scaleForCacheKey("http://h/a@2x.png"), 2.0);
    EXPECT_EQ(Image::scaleForCacheKey("http://h/a@2x.jpeg"), 2.0);
    EXPECT_EQ(Image::scaleForCacheKey("http://h/a@2x.pn"), 1.0) << "two characters after the dot are too few";
    EXPECT_EQ(Image::scaleForCacheKey("http://h/a@2x.webpx"), 1.0) << "five are too many";
    EXPECT_EQ(Image::scaleForCacheKey("@2x.png"), 1.0) << "shorter than 8 characters";
    EXPECT_EQ(Image::scaleForCacheKey("a@2x.png"), 2.0);
}

TEST(ImageTest, FitTo800AndThumbnailSizes)
{
    EXPECT_EQ(Image::fitSize(Size(1000, 500), Size(800, 800)), Size(800, 400));
    EXPECT_EQ(Image::coverSize(Size(1000, 500), Size(120, 120)), Size(240, 120));
    EXPECT_EQ(Image::fitSize(Size(500, 1000), Size(800, 800)), Size(400, 800));
    EXPECT_EQ(Image::coverSize(Size(100, 200), Size(120, 120)), Size(120, 240));
    EXPECT_EQ(Image::fitSize(Size(100, 80), Size(800, 800)), Size(100, 80));
    EXPECT_EQ(Image::coverSize(Size(100, 80), Size(120, 120)), Size(100, 80));
    EXPECT_EQ(Image::fitSize(Size(std::numeric_limits<double>::quiet_NaN(), 80), Size(800, 800)), Size());
    EXPECT_EQ(Image::fitSize(Size(100, 80), Size(0, 800)), Size());

    Image photo = quadrants(1000, 500);
    Image large = photo.fittingInside(Size(800, 800));
    Image thumb = photo.covering(Size(120, 120));
    EXPECT_EQ(large.pixelWidth(), 800);
    EXPECT_EQ(large.pixelHeight(), 400);
    EXPECT_EQ(thumb.pixelWidth(), 240);
    EXPECT_EQ(thumb.pixelHeight(), 120);
    // The picture is scaled, not cut: each quadrant keeps its colour.
    EXPECT_TRUE(graphics_test::isNear(large.pixelAt(100, 100), { 255, 0, 0, 255 }, 2));
    EXPECT_TRUE(graphics_test::isNear(large.pixelAt(700, 300), { 255, 255, 255, 255 }, 2));
    EXPECT_TRUE(graphics_test::isNear(thumb.pixelAt(200, 20), { 0, 255, 0, 255 }, 2));

    Image small = quadrants(100, 80);
    EXPECT_EQ(small.fittingInside(Size(800, 800)), small) << "an image that fits is kept as it is";
    EXPECT_EQ(small.covering(Size(120, 120)), small);

    // A fractional fitted height rounds up to whole pixels.
    Image odd = quadrants(1000, 333).fittingInside(Size(800, 800));
    EXPECT_EQ(odd.pixelWidth(), 800);
    EXPECT_EQ(odd.pixelHeight(), 267);
}

TEST(ImageTest, ScalingCropAndBadTargets)
{
    Image image = quadrants(10, 10);
    Image doubled = image.scaledToSize(Size(10, 10), 2.0, platform::Interpolation::None);
    EXPECT_EQ(doubled.pixelWidth(), 20);
    EXPECT_EQ(doubled.scale(), 2.0);
    EXPECT_EQ(doubled.pixelAt(19, 19), (Pixel { 255, 255, 255, 255 }));
    EXPECT_TRUE(image.scaledToSize(Size(0, 10)).isNull());
    EXPECT_TRUE(image.scaledToSize(Size(-5, 10)).isNull());
    EXPECT_TRUE(image.scaledToSize(Size(std::numeric_limits<double>::quiet_NaN(), 10)).isNull());

    Image part = image.cropped(3, 4, 5, 100);
    EXPECT_EQ(part.pixelWidth(), 5);
    EXPECT_EQ(part.pixelHeight(), 6) << "clipped to the image";
    EXPECT_EQ(part.pixelAt(4, 5), (Pixel { 255, 255, 255, 255 }));
    EXPECT_EQ(part.pixelAt(0, 0), (Pixel { 255, 0, 0, 255 }));
    EXPECT_TRUE(image.cropped(20, 20, 5, 5).isNull());
    EXPECT_TRUE(image.cropped(-10, 0, 5, 5).isNull());
}

TEST(ImageTest, QuarterTurnsAndOrientations)
{
    Image image = quadrants(4, 2);
    image.setPixel(0, 0, { 9, 9, 9, 255 }); // mark the top-left corner
    Image cw = image.rotatedQuarterTurns(1);
    EXPECT_EQ(cw.pixelWidth(), 2);
    EXPECT_EQ(cw.pixelHeight(), 4);
    EXPECT_EQ(cw.pixelAt(1, 0), (Pixel { 9, 9, 9, 255 })) << "top-left goes to top-right";
    EXPECT_EQ(image.rotatedQuarterTurns(-1).pixelAt(0, 3), (Pixel { 9, 9, 9, 255 })) << "to bottom-left";
    EXPECT_EQ(image.rotatedQuarterTurns(2).pixelAt(3, 1), (Pixel { 9, 9, 9, 255 }));
    EXPECT_EQ(image.rotatedQuarterTurns(4), image);

    // Each orientation says where the picture's top-left corner was stored.
    struct Case {
        ImageOrientation orientation;
        int x, y; // where the stored (0, 0) ends up in the upright picture
    };
    for (Case c : { Case { ImageOrientation::Up, 0, 0 }, Case { ImageOrientation::UpMirrored, 3, 0 },
             Case { ImageOrientation::Down, 3, 1 }, Case { ImageOrientation::DownMirrored, 0, 1 },
             Case { ImageOrientation::LeftMirrored, 0, 0 }, Case { ImageOrientation::Right, 1, 0 },
             Case { ImageOrientation::RightMirrored, 1, 3 }, Case { ImageOrientation::Left, 0, 3 } }) {
        Image upright = image.applyingOrientation(c.orientation);
        EXPECT_EQ(upright.pixelAt(c.x, c.y), (Pixel { 9, 9, 9, 255 })) << static_cast<int>(c.orientation);
    }
}

TEST(ImageTest, RotationAboutTheCentreAtScale2)
{
    // A 320 × 480 point picture turned by 90 degrees for a scale-2 screen.
    Image big = quadrants(320, 480);
    Image turned = big.rotatedAboutCentre(90, 2.0);
    EXPECT_EQ(turned.pixelWidth(), 640);
    EXPECT_EQ(turned.pixelHeight(), 960);
    EXPECT_EQ(turned.scale(), 1.0);

    // Smaller, to check where things go: 40 × 60 → an 80 × 120 canvas. The
    // red top-left quadrant turns clockwise about the centre to the right.
    Image image = quadrants(40, 60);
    Image r = image.rotatedAboutCentre(90, 2.0);
    ASSERT_EQ(r.pixelWidth(), 80);
    ASSERT_EQ(r.pixelHeight(), 120);
    EXPECT_TRUE(graphics_test::isNear(r.pixelAt(60, 40), { 255, 0, 0, 255 }, 2))
        << graphics_test::describe(r.pixelAt(60, 40));
    EXPECT_TRUE(graphics_test::isNear(r.pixelAt(20, 40), { 0, 0, 255, 255 }, 2))
        << graphics_test::describe(r.pixelAt(20, 40));
    EXPECT_EQ(r.pixelAt(3, 3)[3], 0) << "the canvas is not enlarged: corners are cut";

    Image same = image.rotatedAboutCentre(0, 1.0);
    EXPECT_EQ(same.pixelWidth(), 40);
    EXPECT_TRUE(graphics_test::isNear(same.pixelAt(5, 5), { 255, 0, 0, 255 }, 2)) << "0 degrees stays upright";
    EXPECT_TRUE(graphics_test::isNear(same.pixelAt(35, 55), { 255, 255, 255, 255 }, 2));
    EXPECT_TRUE(Image().rotatedAboutCentre(90, 2).isNull());
    EXPECT_TRUE(image.rotatedAboutCentre(std::numeric_limits<double>::quiet_NaN(), 2).isNull());
}

TEST(ImageTest, DrawingAnImageIntoAnotherHonoursScale)
{
    Image canvas(20, 20, 2.0, Color::whiteColor()); // 10 × 10 points
    Image red(1, 1, 1.0, Color::redColor());
    canvas.drawImage(red, platform::Rect(5, 0, 5, 5), 1.0, platform::Interpolation::None);
    EXPECT_EQ(canvas.pixelAt(15, 5), (Pixel { 255, 0, 0, 255 }));
    EXPECT_EQ(canvas.pixelAt(5, 5), (Pixel { 255, 255, 255, 255 }));
    EXPECT_EQ(canvas.pixelAt(15, 15), (Pixel { 255, 255, 255, 255 }));
    canvas.drawImage(Image(1, 1, 1.0, Color::blueColor()), platform::Rect(0, 5, 10, 5), 0.5);
    EXPECT_TRUE(graphics_test::isNear(canvas.pixelAt(2, 15), { 127, 127, 255, 255 }, 2))
        << graphics_test::describe(canvas.pixelAt(2, 15));
}

TEST(ImageTest, CorruptAndTruncatedBytesGiveNoImage)
{
    Image image = patternImage(48, 32, true);
    auto png = *image.encodePNG();
    auto jpeg = *patternImage(48, 32, false).encodeJPEG(0.8);

    EXPECT_FALSE(Image::decode(nullptr, 0).has_value());
    EXPECT_FALSE(Image::decode(std::vector<std::uint8_t> {}).has_value());
    EXPECT_FALSE(Image::decode(std::vector<std::uint8_t> { 'G', 'I', 'F', '8', '9', 'a' }).has_value());

    // Every truncation of both files, in steps that cover headers and data.
    for (std::size_t n = 0; n < png.size(); n += (n < 100 ? 1 : 7)) {
        std::vector<std::uint8_t> cut(png.begin(), png.begin() + static_cast<long>(n));
        EXPECT_FALSE(Image::decode(cut).has_value()) << "PNG cut at " << n;
    }
    for (std::size_t n = 0; n + 2 < jpeg.size(); n += (n < 700 ? 1 : 5)) {
        std::vector<std::uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<long>(n));
        EXPECT_FALSE(Image::decode(cut).has_value()) << "JPEG cut at " << n;
    }

    // Damaged bytes: either refused or a picture of the stated size, never a crash.
    for (std::size_t at = 0; at < 400 && at < jpeg.size(); at += 3) {
        auto bad = jpeg;
        bad[at] ^= 0x5A;
        auto decoded = Image::decode(bad);
        if (decoded) {
            EXPECT_GT(decoded->pixelWidth(), 0);
            EXPECT_EQ(decoded->pixels().size(), std::size_t(decoded->pixelWidth()) * decoded->pixelHeight() * 4);
        }
    }
    // Critical chunks carry checksums, so any damage there is refused. (A
    // damaged ancillary chunk, such as the colour-space note, is only dropped.)
    for (std::size_t pos = 8; pos + 12 <= png.size();) {
        std::size_t length = (std::size_t(png[pos]) << 24) | (std::size_t(png[pos + 1]) << 16)
            | (std::size_t(png[pos + 2]) << 8) | std::size_t(png[pos + 3]);
        std::string kind(png.begin() + long(pos) + 4, png.begin() + long(pos) + 8);
        if (kind == "IHDR" || kind == "IDAT" || kind == "IEND") {
            for (std::size_t at = pos; at < pos + 12 + length; at += 5) {
                auto bad = png;
                bad[at] ^= 0xFF;
                EXPECT_FALSE(Image::decode(bad).has_value()) << kind << " byte " << at;
            }
        }
        pos += 12 + length;
    }
}

TEST(ImageTest, JpegExifOrientationIsApplied)
{
    Image image = quadrants(8, 4);
    auto jpeg = *image.encodeJPEG(1.0);
    // An APP1 "Exif" block (big-endian TIFF) with orientation 6, after SOI.
    std::vector<std::uint8_t> exif = { 0xFF, 0xE1, 0x00, 0x24, 'E', 'x', 'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0,
        1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0 };
    jpeg.insert(jpeg.begin() + 2, exif.begin(), exif.end());
    EXPECT_EQ(Image::jpegOrientation(jpeg.data(), jpeg.size()), ImageOrientation::Right);
    auto decoded = Image::decode(jpeg);
    ASSERT_TRUE(decoded.has_value());
    EXPECT_EQ(decoded->pixelWidth(), 4);
    EXPECT_EQ(decoded->pixelHeight(), 8);
    // The red top-left quadrant is now at the top right.
    EXPECT_TRUE(graphics_test::isNear(decoded->pixelAt(3, 1), { 255, 0, 0, 255 }, 40))
        << graphics_test::describe(decoded->pixelAt(3, 1));

    // A damaged block is ignored rather than trusted.
    auto broken = jpeg;
    broken[2 + 17] = 0xF0; // the IFD offset now points far outside the block
    EXPECT_EQ(Image::jpegOrientation(broken.data(), broken.size()), ImageOrientation::Up);
}

namespace {

// A flat grey JPEG made straight with libjpeg, a row at a time (no Image of
// that size is needed): Huffman-coded baseline or arithmetic-coded.
std::vector<std::uint8_t> flatGreyJpeg(int width, int height, bool arithmetic)
{
    jpeg_compress_struct info;
    jpeg_error_mgr err;
    std::memset(&info, 0, sizeof info);
    info.err = jpeg_std_error(&err);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 1;
    info.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&info);
    info.arith_code = arithmetic ? TRUE : FALSE;
    jpeg_start_compress(&info, TRUE);
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width), 128);
    while (info.next_scanline < info.image_height) {
        JSAMPROW rows[1] = { row.data() };
        jpeg_write_scanlines(&info, rows, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

// The same JPEG with the size in its baseline frame header changed.
std::vector<std::uint8_t> withFrameSize(std::vector<std::uint8_t> jpeg, int width, int height)
{
    for (std::size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {
            jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
            jpeg[i + 6] = static_cast<std::uint8_t>(height);
            jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
            jpeg[i + 8] = static_cast<std::uint8_t>(width);
            return jpeg;
        }
    }
    ADD_FAILURE() << "no baseline frame header";
    return jpeg;
}

} // namespace

TEST(ImageTest, JpegDataTheDecoderCallsCorruptIsRefused)
{
    // The library warns and pads with grey where its data breaks off or makes
    // no sense; every such warning refuses the picture, not only a premature
    // end of the file.
    auto jpeg = *patternImage(48, 32, false).encodeJPEG(0.8);
    ASSERT_TRUE(Image::decode(jpeg).has_value());
    // A frame larger than its data: the scan runs into the end marker
    // ("premature end of data segment"), the file itself is whole.
    EXPECT_FALSE(Image::decode(withFrameSize(jpeg, 96, 64)).has_value());
    EXPECT_FALSE(Image::decode(withFrameSize(jpeg, 48, 512)).has_value());
    // Bytes before a marker that belong to nothing ("extraneous bytes").
    auto extraneous = jpeg;
    extraneous.insert(extraneous.end() - 2, { 0x00, 0x11, 0x22 });
    EXPECT_FALSE(Image::decode(extraneous).has_value());
    // A restart marker where none belongs inside the entropy-coded data.
    auto badMarker = jpeg;
    badMarker.insert(badMarker.end() - 40, { 0xFF, 0xD3 });
    EXPECT_FALSE(Image::decode(badMarker).has_value());
}

TEST(ImageTest, APictureOutOfProportionToItsBytesIsRefusedBeforeDecoding)
{
    // The few hundred bytes of a small JPEG, with a frame header claiming
    // 2064 × 19204: refused at the header, before the 160 MB the pixels (and
    // for a progressive file as much again for its coefficients) would take.
    auto jpeg = *patternImage(48, 32, false).encodeJPEG(0.5);
    auto huge = withFrameSize(jpeg, 2064, 19204);
    auto started = std::chrono::steady_clock::now();
    EXPECT_FALSE(Image::decode(huge).has_value());
    EXPECT_FALSE(Image::decode(withFrameSize(jpeg, 8192, 8192)).has_value());
    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count(), 1.0);

    // A sound arithmetic-coded picture can be smaller than any Huffman-coded
    // one: a flat 2048 × 2048 grey in a few hundred bytes is refused as well,
    // while the same picture Huffman-coded (a bit a block at the least) is read.
    auto arithmetic = flatGreyJpeg(2048, 2048, true);
    ASSERT_LT(arithmetic.size() * Image::kMaxJpegPixelsPerByte, 2048u * 2048u);
    EXPECT_FALSE(Image::decode(arithmetic).has_value());
    auto huffman = flatGreyJpeg(2048, 2048, false);
    auto read = Image::decode(huffman);
    ASSERT_TRUE(read.has_value());
    EXPECT_EQ(read->pixelWidth(), 2048);
    // Small pictures are read whatever their coding.
    auto small = Image::decode(flatGreyJpeg(256, 256, true));
    ASSERT_TRUE(small.has_value());
    EXPECT_EQ(small->pixelAt(100, 100)[0], 128);
}

TEST(ImageTest, APictureBeyondTheDecodingBudgetIsRefused)
{
    // 8000 × 7000 is under the limit of a made image but over the decoding
    // budget; its bytes would hold it (about 85 pixels a byte).
    auto big = flatGreyJpeg(8000, 7000, false);
    ASSERT_GT(big.size() * Image::kMaxJpegPixelsPerByte, 8000u * 7000u);
    ASSERT_GT(8000u * 7000u, Image::kMaxDecodePixels);
    ASSERT_LE(8000u * 7000u, Image::kMaxPixels);
    EXPECT_FALSE(Image::decode(big).has_value());
}
