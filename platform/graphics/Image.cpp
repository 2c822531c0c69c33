#include "platform/graphics/Image.h"
#include "platform/graphics/PreparedImage.h"

#include "platform/graphics/GraphicsInternal.h"
#include "platform/os/FileUtil.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace platform {

namespace graphics_internal {
    // In ImageCodecs.cpp: the codecs, kept apart from the pixel operations.
    std::optional<Image> decodePNG(const std::uint8_t* data, std::size_t size, double scale);
    std::optional<Image> decodeJPEG(const std::uint8_t* data, std::size_t size, double scale);
    std::optional<std::vector<std::uint8_t>> encodePNG(const Image& image);
    std::optional<std::vector<std::uint8_t>> encodeJPEG(const Image& image, int quality);
} // namespace graphics_internal

PreparedImage::PreparedImage(cairo_surface_t* surface, int width, int height)
    : surface_(surface)
    , width_(width)
    , height_(height)
{
}

PreparedImage::~PreparedImage() { graphics_internal::destroySurface(surface_); }

std::shared_ptr<const PreparedImage> PreparedImage::make(const Image& image)
{
    cairo_surface_t* surface = graphics_internal::surfaceFromImage(image);
    if (!surface)
        return nullptr;
    return std::shared_ptr<const PreparedImage>(new PreparedImage(surface, image.pixelWidth(), image.pixelHeight()));
}

namespace {

    double saneScale(double scale) { return (scale > 0 && std::isfinite(scale)) ? scale : 1.0; }

    bool acceptableDimensions(long long w, long long h)
    {
        return w > 0 && h > 0 && w <= Image::kMaxDimension && h <= Image::kMaxDimension
            && static_cast<std::size_t>(w) * static_cast<std::size_t>(h) <= Image::kMaxPixels;
    }

} // namespace

Image::Image(int pixelWidth, int pixelHeight, double scale, Color fill)
{
    if (!acceptableDimensions(pixelWidth, pixelHeight))
        return;
    width_ = pixelWidth;
    height_ = pixelHeight;
    scale_ = saneScale(scale);
    auto rgba = fill.toRGBA8();
    pixels_.resize(static_cast<std::size_t>(width_) * height_ * 4);
    for (std::size_t i = 0; i < pixels_.size(); i += 4)
        std::memcpy(&pixels_[i], rgba.data(), 4);
}

Size Image::size() const { return isNull() ? Size() : Size(width_ / scale_, height_ / scale_); }

Image Image::withScale(double scale) const
{
    Image copy = *this;
    copy.scale_ = saneScale(scale);
    return copy;
}

std::array<std::uint8_t, 4> Image::pixelAt(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return { 0, 0, 0, 0 };
    const std::uint8_t* p = &pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4];
    return { p[0], p[1], p[2], p[3] };
}

Color Image::colorAt(int x, int y) const
{
    auto p = pixelAt(x, y);
    return Color::fromRGBA8(p[0], p[1], p[2], p[3]);
}

void Image::setPixel(int x, int y, std::array<std::uint8_t, 4> rgba)
{
    if (x < 0 || y < 0 || x >= width_ || y >= height_)
        return;
    std::memcpy(&pixels_[(static_cast<std::size_t>(y) * width_ + x) * 4], rgba.data(), 4);
}

bool Image::isOpaque() const
{
    for (std::size_t i = 3; i < pixels_.size(); i += 4) {
        if (pixels_[i] != 255)
            return false;
    }
    return true;
}

ImageFormat Image::sniffFormat(const std::uint8_t* data, std::size_t size)
{
    static const std::uint8_t png[8] = { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n' };
    if (data && size >= 8 && std::memcmp(data, png, 8) == 0)
        return ImageFormat::PNG;
    if (data && size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return ImageFormat::JPEG;
    return ImageFormat::Unknown;
}

ImageFormat Image::sniffFormat(const std::vector<std::uint8_t>& data) { return sniffFormat(data.data(), data.size()); }

std::optional<Image> Image::decode(const std::uint8_t* data, std::size_t size, double scale)
{
    scale = saneScale(scale);
    switch (sniffFormat(data, size)) {
    case ImageFormat::PNG:
        return graphics_internal::decodePNG(data, size, scale);
    case ImageFormat::JPEG: {
        auto image = graphics_internal::decodeJPEG(data, size, scale);
        if (!image)
            return std::nullopt;
        ImageOrientation orientation = jpegOrientation(data, size);
        if (orientation != ImageOrientation::Up)
            return image->applyingOrientation(orientation);
        return image;
    }
    case ImageFormat::Unknown:
        break;
    }
    return std::nullopt;
}

std::optional<Image> Image::decode(const std::vector<std::uint8_t>& data, double scale)
{
    return decode(data.data(), data.size(), scale);
}

std::optional<Image> Image::fromFile(const std::string& path)
{
    auto bytes = FileUtil::read(path);
    if (!bytes)
        return std::nullopt;
    return decode(*bytes, scaleForFileName(path));
}

double Image::scaleForFileName(std::string_view path)
{
    std::size_t slash = path.find_last_of('/');
    std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
    std::size_t dot = name.find_last_of('.');
    std::string_view stem = dot == std::string_view::npos ? name : name.substr(0, dot);
    return stem.size() > 3 && stem.substr(stem.size() - 3) == "@2x" ? 2.0 : 1.0;
}

double Image::scaleForCacheKey(std::string_view key)
{
    // Counted in characters, as the phone counts; for the ASCII addresses and
    // keys this rule meets, bytes and characters agree, and a multi-byte
    // character only ever makes the window start earlier.
    if (key.size() < 8)
        return 1.0;
    std::string_view window = key.substr(key.size() - 8, 5);
    return window.find("@2x.") != std::string_view::npos ? 2.0 : 1.0;
}

ImageOrientation Image::jpegOrientation(const std::uint8_t* data, std::size_t size)
{
    if (sniffFormat(data, size) != ImageFormat::JPEG)
        return ImageOrientation::Up;
    std::size_t pos = 2;
    // Walk the marker segments before the image data looking for APP1 "Exif".
    for (int guard = 0; guard < 64 && pos + 4 <= size; ++guard) {
        if (data[pos] != 0xFF)
            return ImageOrientation::Up;
        std::uint8_t marker = data[pos + 1];
        if (marker == 0xD8 || (marker >= 0xD0 && marker <= 0xD7) || marker == 0x01 || marker == 0xFF) {
            pos += marker == 0xFF ? 1 : 2;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9)
            return ImageOrientation::Up;
        std::size_t length = (static_cast<std::size_t>(data[pos + 2]) << 8) | data[pos + 3];
        if (length < 2 || pos + 2 + length > size)
            return ImageOrientation::Up;
        const std::uint8_t* seg = data + pos + 4;
        std::size_t segLength = length - 2;
        if (marker == 0xE1 && segLength >= 14 && std::memcmp(seg, "Exif\0\0", 6) == 0) {
            const std::uint8_t* tiff = seg + 6;
            std::size_t tiffSize = segLength - 6;
            bool little = tiff[0] == 'I' && tiff[1] == 'I';
            bool big = tiff[0] == 'M' && tiff[1] == 'M';
            if (!little && !big)
                return ImageOrientation::Up;
            auto u16 = [&](std::size_t at) -> std::uint32_t {
                return little ? (tiff[at] | (tiff[at + 1] << 8)) : ((tiff[at] << 8) | tiff[at + 1]);
            };
            auto u32 = [&](std::size_t at) -> std::uint32_t {
                return little ? (static_cast<std::uint32_t>(u16(at)) | (static_cast<std::uint32_t>(u16(at + 2)) << 16))
                              : ((static_cast<std::uint32_t>(u16(at)) << 16) | static_cast<std::uint32_t>(u16(at + 2)));
            };
            std::size_t ifd = u32(4);
            if (ifd + 2 > tiffSize)
                return ImageOrientation::Up;
            std::size_t count = u16(ifd);
            for (std::size_t i = 0; i < count && i < 512; ++i) {
                std::size_t entry = ifd + 2 + i * 12;
                if (entry + 12 > tiffSize)
                    return ImageOrientation::Up;
                if (u16(entry) == 0x0112) {
                    std::uint32_t value = u16(entry + 8);
                    if (u16(entry + 2) == 3 && value >= 1 && value <= 8)
                        return static_cast<ImageOrientation>(value);
                    return ImageOrientation::Up;
                }
            }
            return ImageOrientation::Up;
        }
        pos += 2 + length;
    }
    return ImageOrientation::Up;
}

std::optional<std::vector<std::uint8_t>> Image::encodePNG() const
{
    if (isNull())
        return std::nullopt;
    return graphics_internal::encodePNG(*this);
}

std::optional<std::vector<std::uint8_t>> Image::encodeJPEG(double quality) const
{
    if (isNull())
        return std::nullopt;
    if (std::isnan(quality))
        quality = 0.75;
    quality = std::clamp(quality, 0.0, 1.0);
    int q = std::max(1, static_cast<int>(std::lround(quality * 100)));
    return graphics_internal::encodeJPEG(*this, q);
}

bool Image::writePNG(const std::string& path) const
{
    auto bytes = encodePNG();
    return bytes && FileUtil::write(path, *bytes);
}

bool Image::writeJPEG(const std::string& path, double quality) const
{
    auto bytes = encodeJPEG(quality);
    return bytes && FileUtil::write(path, *bytes);
}

int Image::pixelsForPoints(double points, double scale)
{
    double v = points * saneScale(scale);
    if (!(v > 0))
        return 0;
    if (v > kMaxDimension)
        return kMaxDimension + 1;
    return static_cast<int>(std::ceil(v - 1e-9 * std::max(1.0, v)));
}

namespace {

    bool usableSize(Size s) { return std::isfinite(s.width) && std::isfinite(s.height) && s.width > 0 && s.height > 0; }

} // namespace

Size Image::fitSize(Size size, Size box)
{
    if (!usableSize(size) || !usableSize(box))
        return Size();
    if (size.width <= box.width && size.height <= box.height)
        return size;
    double r = size.height / size.width;
    if (box.height / box.width > r)
        return Size(box.width, box.width * r);
    return Size(box.height / r, box.height);
}

Size Image::coverSize(Size size, Size box)
{
    if (!usableSize(size) || !usableSize(box))
        return Size();
    if (size.width <= box.width && size.height <= box.height)
        return size;
    double r = size.height / size.width;
    if (box.height / box.width > r)
        return Size(box.height / r, box.height);
    return Size(box.width, box.width * r);
}

Image Image::scaledToSize(Size points, double scale, Interpolation quality) const
{
    scale = saneScale(scale);
    int w = pixelsForPoints(points.width, scale);
    int h = pixelsForPoints(points.height, scale);
    if (isNull() || !acceptableDimensions(w, h))
        return Image();
    cairo_surface_t* target = graphics_internal::createSurface(w, h);
    if (!target)
        return Image();
    cairo_t* cr = cairo_create(target);
    graphics_internal::paintImage(cr, *this, w, h, quality, 1.0);
    cairo_destroy(cr);
    Image out = graphics_internal::imageFromSurface(target, scale);
    cairo_surface_destroy(target);
    return out;
}

Image Image::fittingInside(Size box) const
{
    Size s = size();
    if (isNull())
        return Image();
    if (s.width <= box.width && s.height <= box.height)
        return *this;
    Size fitted = fitSize(s, box);
    return scaledToSize(fitted, 1.0);
}

Image Image::covering(Size box) const
{
    Size s = size();
    if (isNull())
        return Image();
    if (s.width <= box.width && s.height <= box.height)
        return *this;
    Size covered = coverSize(s, box);
    return scaledToSize(covered, 1.0);
}

Image Image::cropped(int x, int y, int width, int height) const
{
    if (isNull() || width <= 0 || height <= 0)
        return Image();
    long long x0 = std::max<long long>(0, x);
    long long y0 = std::max<long long>(0, y);
    long long x1 = std::min<long long>(width_, static_cast<long long>(x) + width);
    long long y1 = std::min<long long>(height_, static_cast<long long>(y) + height);
    if (x1 <= x0 || y1 <= y0)
        return Image();
    Image out(static_cast<int>(x1 - x0), static_cast<int>(y1 - y0), scale_);
    for (long long row = y0; row < y1; ++row) {
        std::memcpy(&out.pixels_[static_cast<std::size_t>(row - y0) * out.width_ * 4],
            &pixels_[(static_cast<std::size_t>(row) * width_ + x0) * 4], static_cast<std::size_t>(out.width_) * 4);
    }
    return out;
}

namespace {

    // out(x, y) = in(map(x, y)) for the eight axis-aligned orientations.
    enum class Mapping { Identity, FlipH, Rotate180, FlipV, Transpose, Rotate90, Transverse, Rotate270 };

    Image remap(const Image& in, Mapping mapping)
    {
        if (in.isNull())
            return Image();
        int w = in.pixelWidth(), h = in.pixelHeight();
        bool swaps = mapping == Mapping::Transpose || mapping == Mapping::Rotate90 || mapping == Mapping::Transverse
            || mapping == Mapping::Rotate270;
        int ow = swaps ? h : w, oh = swaps ? w : h;
        Image out(ow, oh, in.scale());
        const auto& src = in.pixels();
        auto& dst = out.mutablePixels();
        for (int y = 0; y < oh; ++y) {
            for (int x = 0; x < ow; ++x) {
                int sx = x, sy = y;
                switch (mapping) {
                case Mapping::Identity:
                    break;
                case Mapping::FlipH:
                    sx = w - 1 - x;
                    break;
                case Mapping::Rotate180:
                    sx = w - 1 - x;
                    sy = h - 1 - y;
                    break;
                case Mapping::FlipV:
                    sy = h - 1 - y;
                    break;
                case Mapping::Transpose:
                    sx = y;
                    sy = x;
                    break;
                case Mapping::Rotate90:
                    sx = y;
                    sy = h - 1 - x;
                    break;
                case Mapping::Transverse:
                    sx = w - 1 - y;
                    sy = h - 1 - x;
                    break;
                case Mapping::Rotate270:
                    sx = w - 1 - y;
                    sy = x;
                    break;
                }
                std::memcpy(&dst[(static_cast<std::size_t>(y) * ow + x) * 4],
                    &src[(static_cast<std::size_t>(sy) * w + sx) * 4], 4);
            }
        }
        return out;
    }

} // namespace

Image Image::rotatedQuarterTurns(int quarterTurnsClockwise) const
{
    int turns = ((quarterTurnsClockwise % 4) + 4) % 4;
    static const Mapping byTurns[4] = { Mapping::Identity, Mapping::Rotate90, Mapping::Rotate180, Mapping::Rotate270 };
    return remap(*this, byTurns[turns]);
}

Image Image::applyingOrientation(ImageOrientation orientation) const
{
    switch (orientation) {
    case ImageOrientation::Up:
        return *this;
    case ImageOrientation::UpMirrored:
        return remap(*this, Mapping::FlipH);
    case ImageOrientation::Down:
        return remap(*this, Mapping::Rotate180);
    case ImageOrientation::DownMirrored:
        return remap(*this, Mapping::FlipV);
    case ImageOrientation::LeftMirrored:
        return remap(*this, Mapping::Transpose);
    case ImageOrientation::Right:
        return remap(*this, Mapping::Rotate90);
    case ImageOrientation::RightMirrored:
        return remap(*this, Mapping::Transverse);
    case ImageOrientation::Left:
        return remap(*this, Mapping::Rotate270);
    }
    return *this;
}

Image Image::rotatedAboutCentre(double degrees, double pixelsPerPoint) const
{
    if (isNull() || !std::isfinite(degrees))
        return Image();
    pixelsPerPoint = saneScale(pixelsPerPoint);
    Size s = size();
    int w = pixelsForPoints(s.width, pixelsPerPoint);
    int h = pixelsForPoints(s.height, pixelsPerPoint);
    if (!acceptableDimensions(w, h))
        return Image();
    cairo_surface_t* target = graphics_internal::createSurface(w, h);
    if (!target)
        return Image();
    cairo_t* cr = cairo_create(target);
    cairo_translate(cr, w / 2.0, h / 2.0);
    cairo_rotate(cr, degreesToRadians(degrees));
    cairo_translate(cr, -w / 2.0, -h / 2.0);
    graphics_internal::paintImage(cr, *this, w, h, Interpolation::High, 1.0);
    cairo_destroy(cr);
    Image out = graphics_internal::imageFromSurface(target, 1.0);
    cairo_surface_destroy(target);
    return out;
}

void Image::drawImage(const Image& source, const Rect& destination, double alpha, Interpolation quality)
{
    if (isNull() || source.isNull() || destination.isEmpty())
        return;
    cairo_surface_t* target = graphics_internal::surfaceFromImage(*this);
    if (!target)
        return;
    cairo_t* cr = cairo_create(target);
    cairo_scale(cr, scale_, scale_);
    cairo_translate(cr, destination.minX(), destination.minY());
    double a = std::isnan(alpha) ? 0.0 : std::clamp(alpha, 0.0, 1.0);
    graphics_internal::paintImage(cr, source, destination.width(), destination.height(), quality, a);
    cairo_destroy(cr);
    *this = graphics_internal::imageFromSurface(target, scale_);
    cairo_surface_destroy(target);
}

namespace graphics_internal {

    cairo_surface_t* createSurface(int pixelWidth, int pixelHeight)
    {
        if (!acceptableDimensions(pixelWidth, pixelHeight))
            return nullptr;
        cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, pixelWidth, pixelHeight);
        if (cairo_surface_status(surface) != CAIRO_STATUS_SUCCESS) {
            cairo_surface_destroy(surface);
            return nullptr;
        }
        return surface;
    }

    void destroySurface(cairo_surface_t* surface)
    {
        if (surface)
            cairo_surface_destroy(surface);
    }

    cairo_surface_t* surfaceFromImage(const Image& image)
    {
        if (image.isNull())
            return nullptr;
        cairo_surface_t* surface = createSurface(image.pixelWidth(), image.pixelHeight());
        if (!surface)
            return nullptr;
        cairo_surface_flush(surface);
        unsigned char* base = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        const auto& px = image.pixels();
        for (int y = 0; y < image.pixelHeight(); ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(base + static_cast<std::size_t>(y) * stride);
            const std::uint8_t* src = &px[static_cast<std::size_t>(y) * image.pixelWidth() * 4];
            for (int x = 0; x < image.pixelWidth(); ++x, src += 4) {
                std::uint32_t a = src[3];
                // Most pixels of the pictures drawn are opaque or clear:
                // nothing to multiply.
                if (a == 255) {
                    row[x] = 0xFF000000u | (std::uint32_t(src[0]) << 16) | (std::uint32_t(src[1]) << 8) | src[2];
                    continue;
                }
                if (a == 0) {
                    row[x] = 0;
                    continue;
                }
                auto pre = [a](std::uint32_t c) { return (c * a + 127) / 255; };
                row[x] = (a << 24) | (pre(src[0]) << 16) | (pre(src[1]) << 8) | pre(src[2]);
            }
        }
        cairo_surface_mark_dirty(surface);
        return surface;
    }

    Image imageFromSurface(cairo_surface_t* surface, double scale)
    {
        if (!surface)
            return Image();
        cairo_surface_flush(surface);
        int w = cairo_image_surface_get_width(surface);
        int h = cairo_image_surface_get_height(surface);
        Image out(w, h, scale);
        if (out.isNull())
            return out;
        const unsigned char* base = cairo_image_surface_get_data(surface);
        int stride = cairo_image_surface_get_stride(surface);
        auto& px = out.mutablePixels();
        for (int y = 0; y < h; ++y) {
            const auto* row = reinterpret_cast<const std::uint32_t*>(base + static_cast<std::size_t>(y) * stride);
            std::uint8_t* dst = &px[static_cast<std::size_t>(y) * w * 4];
            for (int x = 0; x < w; ++x, dst += 4) {
                std::uint32_t v = row[x];
                std::uint32_t a = v >> 24;
                if (a == 0) {
                    dst[0] = dst[1] = dst[2] = dst[3] = 0;
                    continue;
                }
                auto un = [a](std::uint32_t c) {
                    return static_cast<std::uint8_t>(std::min<std::uint32_t>(255, (c * 255 + a / 2) / a));
                };
                dst[0] = un((v >> 16) & 0xFF);
                dst[1] = un((v >> 8) & 0xFF);
                dst[2] = un(v & 0xFF);
                dst[3] = static_cast<std::uint8_t>(a);
            }
        }
        return out;
    }

    void paintImage(cairo_t* cr, const Image& image, double width, double height, Interpolation quality, double alpha)
    {
        if (image.isNull() || !(width > 0) || !(height > 0) || !std::isfinite(width) || !std::isfinite(height))
            return;
        cairo_surface_t* source = surfaceFromImage(image);
        if (!source)
            return;
        paintSurface(cr, source, image.pixelWidth(), image.pixelHeight(), width, height, quality, alpha);
        cairo_surface_destroy(source);
    }

    void paintSurface(cairo_t* cr, cairo_surface_t* source, int pixelWidth, int pixelHeight, double width,
        double height, Interpolation quality, double alpha)
    {
        if (!source || pixelWidth <= 0 || pixelHeight <= 0 || !(width > 0) || !(height > 0) || !std::isfinite(width)
            || !std::isfinite(height))
            return;
        cairo_save(cr);
        cairo_pattern_t* pattern = cairo_pattern_create_for_surface(source);
        cairo_matrix_t m;
        // Pattern space is the image's pixels; user space is the destination box.
        cairo_matrix_init_scale(&m, pixelWidth / width, pixelHeight / height);
        cairo_pattern_set_matrix(pattern, &m);
        cairo_filter_t filter = CAIRO_FILTER_GOOD;
        switch (quality) {
        case Interpolation::None:
            filter = CAIRO_FILTER_NEAREST;
            break;
        case Interpolation::Low:
            filter = CAIRO_FILTER_BILINEAR;
            break;
        case Interpolation::Default:
            filter = CAIRO_FILTER_GOOD;
            break;
        case Interpolation::High:
            filter = CAIRO_FILTER_BEST;
            break;
        }
        cairo_pattern_set_filter(pattern, filter);
        // Padding keeps the edge pixels from fading into transparency when scaled.
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        cairo_new_path(cr);
        cairo_rectangle(cr, 0, 0, width, height);
        cairo_clip(cr);
        cairo_set_source(cr, pattern);
        cairo_paint_with_alpha(cr, alpha);
        cairo_pattern_destroy(pattern);
        cairo_restore(cr);
    }

} // namespace graphics_internal

} // namespace platform
