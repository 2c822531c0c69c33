#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/graphics/PreparedImage.h"
#include "platform/os/Value.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum UIImageResizingMode {
    UIImageResizingModeTile = 0,
    UIImageResizingModeStretch = 1,
};

// An immutable picture with a scale (pixels per point). Pixels are shared
// between the images derived from one another (resizable variants).
//
// imageNamed: looks in the resources' images folder, preferring "name@2x.png"
// on our scale-2 screen, then "name.png" (a name with an extension is tried as
// given after its @2x variant). Found images are cached by path; a missing
// name answers nullptr every time.
class UIImage final : public platform::Object {
public:
    explicit UIImage(platform::Image image);

    ORB_CLASS_NAME(UIImage)

    static std::shared_ptr<UIImage> imageNamed(std::string_view name);
    static std::shared_ptr<UIImage> imageWithContentsOfFile(const std::string& path);
    // PNG or JPEG bytes; corrupt or truncated bytes give nullptr.
    static std::shared_ptr<UIImage> imageWithData(const platform::Bytes& data, double scale = 1.0);
    static std::shared_ptr<UIImage> imageWithCGImage(const platform::Image& image, double scale = 1.0,
        platform::ImageOrientation orientation = platform::ImageOrientation::Up);
    // Forgets cached named images (tests switching resource folders).
    static void clearNamedImageCache();

    // In points.
    platform::Size size() const { return image_.size(); }
    double scale() const { return image_.scale(); }
    const platform::Image& CGImage() const { return image_; }
    // The resource name it was loaded by ("" otherwise).
    const std::string& name() const { return name_; }

    // Caps are kept as given, in points; drawing stretches only the middle.
    std::shared_ptr<UIImage> resizableImageWithCapInsets(
        const platform::EdgeInsets& capInsets, UIImageResizingMode mode = UIImageResizingModeStretch) const;
    // The older form: the middle column (right of leftCapWidth) and row (below
    // topCapHeight), one point each, stretch; zero means that axis does not
    // stretch in parts but as a whole.
    std::shared_ptr<UIImage> stretchableImageWithLeftCapWidth(int leftCapWidth, int topCapHeight) const;
    const platform::EdgeInsets& capInsets() const { return capInsets_; }
    bool hasCapInsets() const { return hasCaps_; }
    int leftCapWidth() const { return leftCapWidth_; }
    int topCapHeight() const { return topCapHeight_; }
    UIImageResizingMode resizingMode() const { return resizingMode_; }

    // A part of the image (pixels, cut to it), darkened as a pressed button
    // shows it or not, ready to draw: made on first use and kept while the
    // image or an image derived from it lives, within kPreparedBudgetBytes
    // for all images together (the parts drawn least recently go first).
    // Parts of more than kMaxKeptPreparedPixels (a whole-screen background, a
    // photo) are made afresh each time: one would take much of the budget.
    // nullptr for an empty part.
    static constexpr std::size_t kPreparedBudgetBytes = std::size_t { 3 } * 1024 * 1024;
    static constexpr std::size_t kMaxKeptPreparedPixels = std::size_t { 128 } * 1024;
    std::shared_ptr<const platform::PreparedImage> prepared(int x, int y, int width, int height, bool darkened) const;
    // Parts this image keeps now, and the bytes all images keep.
    std::size_t preparedCount() const;
    static std::size_t preparedBytes();

    struct PreparedParts;

private:
    platform::Image image_;
    std::string name_;
    platform::EdgeInsets capInsets_;
    bool hasCaps_ = false;
    int leftCapWidth_ = 0;
    int topCapHeight_ = 0;
    UIImageResizingMode resizingMode_ = UIImageResizingModeTile;
    // Shared with the images derived from this one: the same pixels.
    std::shared_ptr<PreparedParts> prepared_;
};

// The bytes of the image as JPEG at a quality 0…1, or PNG; nullopt for an
// image that cannot be encoded.
std::optional<platform::Bytes> UIImageJPEGRepresentation(const std::shared_ptr<UIImage>& image, double quality);
std::optional<platform::Bytes> UIImagePNGRepresentation(const std::shared_ptr<UIImage>& image);
