#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum class ImageFormat { Unknown, PNG, JPEG };

// How pixels are sampled when an image is drawn at another size.
enum class Interpolation {
    None, // nearest pixel (crisp, blocky)
    Low, // bilinear
    Default, // good
    High, // best
};

// The eight orientations of a camera picture (EXIF tag 0x0112 values 1…8): how
// the stored pixels must be turned to stand upright.
enum class ImageOrientation {
    Up = 1,
    UpMirrored = 2,
    Down = 3,
    DownMirrored = 4,
    LeftMirrored = 5,
    Right = 6,
    RightMirrored = 7,
    Left = 8,
};

// A bitmap: width × height pixels of 8-bit R, G, B, A in that byte order, rows
// top to bottom with no padding (stride = width × 4). Alpha is STRAIGHT (not
// premultiplied): a pixel's colour components keep their value whatever its
// alpha, which is what the codecs and the tests want; drawing converts to and
// from Cairo's premultiplied form at its edge.
//
// The scale says how many pixels make one point: size() = pixels / scale. An
// image named "name@2x.png" has scale 2.
//
// An Image is a plain value (copies copy the pixels). A default-constructed
// image is null: no pixels, size 0. Operations that cannot give a result
// (corrupt bytes, zero or negative or NaN sizes, images beyond kMaxPixels)
// return nullopt or a null image as documented; nothing throws or aborts.
class Image final {
public:
    // Upper bound on width × height accepted anywhere (decoding included), so
    // that a hostile header cannot make us allocate gigabytes.
    static constexpr std::size_t kMaxPixels = std::size_t { 64 } * 1024 * 1024;
    static constexpr int kMaxDimension = 32768;
    // Decoding is held to less, and refused before anything is allocated: no
    // more than kMaxDecodePixels (a 48-megapixel camera picture fits; the
    // screens show far fewer), and no more pixels than the input's bytes can
    // hold. A JPEG codes each 8×8 block of a channel in at least a bit, so
    // even a flat grey picture has under 512 pixels a byte; a PNG's deflate
    // stream expands at most 1032 times. Pictures of up to kSmallDecodePixels
    // are let through whatever their size in bytes (an arithmetic-coded JPEG
    // may be smaller than a bit a block).
    static constexpr std::size_t kMaxDecodePixels = std::size_t { 48 } * 1024 * 1024;
    static constexpr std::size_t kSmallDecodePixels = std::size_t { 1024 } * 1024;
    static constexpr std::size_t kMaxJpegPixelsPerByte = 1024;

    Image() = default;
    // A new image filled with one colour. Null when a dimension is not in
    // 1…kMaxDimension or the area exceeds kMaxPixels; a scale that is not a
    // positive finite number becomes 1.
    Image(int pixelWidth, int pixelHeight, double scale = 1.0, Color fill = Color::clearColor());

    bool isNull() const { return width_ == 0 || height_ == 0; }
    int pixelWidth() const { return width_; }
    int pixelHeight() const { return height_; }
    double scale() const { return scale_; }
    // In points.
    Size size() const;
    // The same pixels with another scale (a non-positive or non-finite scale becomes 1).
    Image withScale(double scale) const;

    const std::vector<std::uint8_t>& pixels() const { return pixels_; }
    std::vector<std::uint8_t>& mutablePixels() { return pixels_; }
    // Straight RGBA of one pixel; transparent black outside the image.
    std::array<std::uint8_t, 4> pixelAt(int x, int y) const;
    Color colorAt(int x, int y) const;
    // Ignored outside the image.
    void setPixel(int x, int y, std::array<std::uint8_t, 4> rgba);
    // True when every pixel has alpha 255.
    bool isOpaque() const;

    bool operator==(const Image&) const = default;

    // ---- Decoding --------------------------------------------------------
    // By the leading bytes (the signatures of PNG and JPEG), not by name.
    static ImageFormat sniffFormat(const std::uint8_t* data, std::size_t size);
    static ImageFormat sniffFormat(const std::vector<std::uint8_t>& data);

    // PNG (any colour type and bit depth, with transparency) or JPEG (greyscale,
    // RGB, CMYK), from memory. A JPEG's EXIF orientation is applied, so the
    // result stands upright. Corrupt (a JPEG the decoder has any warning
    // about), truncated or unknown bytes give nullopt, and so do sizes beyond
    // the decoding limits above, before any pixel is allocated.
    static std::optional<Image> decode(const std::uint8_t* data, std::size_t size, double scale = 1.0);
    static std::optional<Image> decode(const std::vector<std::uint8_t>& data, double scale = 1.0);
    // Reads and decodes a file; its scale comes from the name (scaleForFileName).
    static std::optional<Image> fromFile(const std::string& path);

    // The file-name rule: 2 when the last path component's name, without its
    // extension, ends in "@2x" ("icon@2x.png"), otherwise 1.
    static double scaleForFileName(std::string_view path);
    // The rule the image caches apply to a key or address: 2 when the text is at
    // least 8 characters long and "@2x." occurs within the 5 characters that
    // begin 8 characters before its end (so it ends in "@2x." and 3 or 4 more
    // characters: "a@2x.png", "a@2x.jpeg"), otherwise 1.
    static double scaleForCacheKey(std::string_view key);

    // The orientation recorded in a JPEG's EXIF block; Up when there is none or
    // it cannot be read.
    static ImageOrientation jpegOrientation(const std::uint8_t* data, std::size_t size);

    // ---- Encoding --------------------------------------------------------
    // 8-bit RGBA PNG (RGB when the image is opaque). Null images give nullopt.
    std::optional<std::vector<std::uint8_t>> encodePNG() const;
    // Baseline JPEG at a quality 0…1 (clamped; NaN reads as 0.75), mapped to the
    // codec's 1…100 scale as round(quality × 100), at least 1. JPEG has no alpha:
    // translucent pixels are composed over black first, as a premultiplied
    // bitmap would be. Null images give nullopt.
    std::optional<std::vector<std::uint8_t>> encodeJPEG(double quality) const;
    bool writePNG(const std::string& path) const;
    bool writeJPEG(const std::string& path, double quality) const;

    // ---- Sizes -----------------------------------------------------------
    // Pixels covering a length in points at a scale: ceil(points × scale), with
    // a tiny epsilon so that 800.0000001 stays 800; NaN and negatives give 0.
    static int pixelsForPoints(double points, double scale);
    // The photo-attachment rules (sizes, not images):
    //  fitSize:   uniformly scaled to fit INSIDE the box ("fit to 800 × 800");
    //  coverSize: uniformly scaled to COVER the box (the 120 × 120 thumbnail).
    // Both return the size unchanged when it already fits inside the box
    // (width <= box width and height <= box height). Otherwise, with r = h / w:
    //  fitSize:   box h/w > r ? (bw, bw·r) : (bh/r, bh)
    //  coverSize: box h/w > r ? (bh/r, bh) : (bw, bw·r)
    // So 1000 × 500 fits 800 × 800 as 800 × 400 and covers 120 × 120 as
    // 240 × 120. Empty or non-finite sizes give Size(0, 0).
    static Size fitSize(Size size, Size box);
    static Size coverSize(Size size, Size box);

    // ---- New images from this one ----------------------------------------
    // Drawn into a new bitmap of the size (in points) at the scale. An empty
    // target size gives a null image.
    Image scaledToSize(Size points, double scale = 1.0, Interpolation quality = Interpolation::High) const;
    // The attachment helpers: the image itself when it fits the box, otherwise a
    // copy at scale 1 of fitSize / coverSize (the size read in points).
    Image fittingInside(Size box) const;
    Image covering(Size box) const;
    // A part, in pixels, clipped to the image; nothing left gives a null image.
    Image cropped(int x, int y, int width, int height) const;
    // Exact quarter turns clockwise (negative turns go anticlockwise); the
    // canvas turns with the picture, the scale stays.
    Image rotatedQuarterTurns(int quarterTurnsClockwise) const;
    // The stored pixels of an image with this orientation, turned upright.
    Image applyingOrientation(ImageOrientation orientation) const;
    // Turned about its centre by an angle (degrees, positive clockwise) onto a
    // canvas of the image's size in points × pixelsPerPoint, scale 1; the canvas
    // is not enlarged, so corners that leave it are cut off. With 90 degrees and
    // 2 pixels per point a 320 × 480 point picture gives a 640 × 960 bitmap.
    Image rotatedAboutCentre(double degrees, double pixelsPerPoint) const;
    // Draws another image over this one into a rectangle given in this image's
    // points (source-over blending, with an overall alpha).
    void drawImage(const Image& source, const Rect& destination, double alpha = 1.0,
        Interpolation quality = Interpolation::Default);

private:
    int width_ = 0;
    int height_ = 0;
    double scale_ = 1.0;
    std::vector<std::uint8_t> pixels_;
};

} // namespace platform
