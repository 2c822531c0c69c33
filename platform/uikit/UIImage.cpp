#include "platform/uikit/UIImage.h"

#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/ViewRenderer.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <set>

namespace {

std::map<std::string, std::shared_ptr<UIImage>>& namedCache()
{
    static std::map<std::string, std::shared_ptr<UIImage>> cache;
    return cache;
}

// "name.png" → ("name", ".png"); "name" → ("name", "").
std::pair<std::string, std::string> splitExtension(std::string_view name)
{
    auto slash = name.rfind('/');
    auto dot = name.rfind('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash) || dot == 0)
        return { std::string(name), {} };
    return { std::string(name.substr(0, dot)), std::string(name.substr(dot)) };
}

} // namespace

struct UIImage::PreparedParts {
    struct Part {
        int x, y, width, height;
        bool darkened;
        std::shared_ptr<const platform::PreparedImage> prepared;
        // When it was last drawn, by the keep's clock.
        std::uint64_t lastUse;
    };
    PreparedParts();
    ~PreparedParts();
    PreparedParts(const PreparedParts&) = delete;
    PreparedParts& operator=(const PreparedParts&) = delete;
    // A handful at most: the whole image, or the nine parts of a resizable
    // one, each plain and darkened.
    std::vector<Part> parts;
};

namespace {

// What every image keeps, within one budget for the process: the parts
// drawn least recently go first. One lock for all of it (images are drawn
// on the main thread; a worker may make one now and then).
struct PreparedKeep {
    std::mutex mutex;
    std::set<UIImage::PreparedParts*> holders;
    std::size_t bytes = 0;
    std::uint64_t clock = 0;

    static PreparedKeep& shared()
    {
        // Never destroyed: images held by statics go after it at exit.
        static auto* keep = new PreparedKeep;
        return *keep;
    }

    // Lets parts go, least recently drawn first, until `more` bytes fit.
    void makeRoom(std::size_t more)
    {
        while (bytes + more > UIImage::kPreparedBudgetBytes && bytes > 0) {
            UIImage::PreparedParts* oldestHolder = nullptr;
            std::size_t oldestIndex = 0;
            std::uint64_t oldest = UINT64_MAX;
            for (auto* holder : holders) {
                for (std::size_t i = 0; i < holder->parts.size(); ++i) {
                    if (holder->parts[i].lastUse < oldest) {
                        oldest = holder->parts[i].lastUse;
                        oldestHolder = holder;
                        oldestIndex = i;
                    }
                }
            }
            if (!oldestHolder)
                return;
            bytes -= oldestHolder->parts[oldestIndex].prepared->byteSize();
            oldestHolder->parts.erase(oldestHolder->parts.begin() + long(oldestIndex));
        }
    }
};

} // namespace

UIImage::PreparedParts::PreparedParts()
{
    auto& keep = PreparedKeep::shared();
    std::lock_guard lock(keep.mutex);
    keep.holders.insert(this);
}

UIImage::PreparedParts::~PreparedParts()
{
    auto& keep = PreparedKeep::shared();
    std::lock_guard lock(keep.mutex);
    keep.holders.erase(this);
    for (const auto& part : parts)
        keep.bytes -= part.prepared->byteSize();
}

UIImage::UIImage(platform::Image image)
    : image_(std::move(image))
    , prepared_(std::make_shared<PreparedParts>())
{
}

std::shared_ptr<const platform::PreparedImage> UIImage::prepared(
    int x, int y, int width, int height, bool darkened) const
{
    // Cut to the image, as Image::cropped cuts.
    int left = std::max(x, 0);
    int top = std::max(y, 0);
    long right = std::min<long>(long(x) + width, image_.pixelWidth());
    long bottom = std::min<long>(long(y) + height, image_.pixelHeight());
    if (right <= left || bottom <= top)
        return nullptr;
    int w = int(right - left);
    int h = int(bottom - top);
    auto make = [&] {
        bool whole = left == 0 && top == 0 && w == image_.pixelWidth() && h == image_.pixelHeight();
        platform::Image part = whole ? image_ : image_.cropped(left, top, w, h);
        return platform::PreparedImage::make(darkened ? platform::darkenedImage(part) : part);
    };
    if (std::size_t(w) * std::size_t(h) > kMaxKeptPreparedPixels)
        return make();
    auto& keep = PreparedKeep::shared();
    {
        std::lock_guard lock(keep.mutex);
        for (auto& part : prepared_->parts) {
            if (part.x == left && part.y == top && part.width == w && part.height == h && part.darkened == darkened) {
                part.lastUse = ++keep.clock;
                return part.prepared;
            }
        }
    }
    // Made outside the lock: another thread may make the same part meanwhile
    // (both are right; the first kept stays).
    auto made = make();
    if (!made)
        return made;
    std::lock_guard lock(keep.mutex);
    for (auto& part : prepared_->parts) {
        if (part.x == left && part.y == top && part.width == w && part.height == h && part.darkened == darkened)
            return part.prepared;
    }
    keep.makeRoom(made->byteSize());
    prepared_->parts.push_back({ left, top, w, h, darkened, made, ++keep.clock });
    keep.bytes += made->byteSize();
    return made;
}

std::size_t UIImage::preparedBytes()
{
    auto& keep = PreparedKeep::shared();
    std::lock_guard lock(keep.mutex);
    return keep.bytes;
}

std::size_t UIImage::preparedCount() const
{
    std::lock_guard lock(PreparedKeep::shared().mutex);
    return prepared_->parts.size();
}

std::shared_ptr<UIImage> UIImage::imageNamed(std::string_view name)
{
    if (name.empty() || name.find("..") != std::string_view::npos)
        return nullptr;
    auto folder = platform::FileUtil::joinPath(platform::AppPaths::resourcesDirectory(), "images");
    auto [base, extension] = splitExtension(name);
    std::vector<std::string> candidates;
    bool already2x = base.size() >= 3 && base.compare(base.size() - 3, 3, "@2x") == 0;
    if (extension.empty()) {
        if (!already2x && UIScreen::mainScreen()->scale() >= 2)
            candidates.push_back(base + "@2x.png");
        candidates.push_back(base + ".png");
    } else {
        if (!already2x && UIScreen::mainScreen()->scale() >= 2)
            candidates.push_back(base + "@2x" + extension);
        candidates.push_back(base + extension);
    }
    for (auto& candidate : candidates) {
        auto path = platform::FileUtil::joinPath(folder, candidate);
        auto& cache = namedCache();
        if (auto it = cache.find(path); it != cache.end())
            return it->second;
        if (!platform::FileUtil::isRegularFile(path))
            continue;
        auto decoded = platform::Image::fromFile(path);
        if (!decoded)
            continue;
        auto image = std::make_shared<UIImage>(std::move(*decoded));
        image->name_ = std::string(name);
        cache[path] = image;
        return image;
    }
    return nullptr;
}

std::shared_ptr<UIImage> UIImage::imageWithContentsOfFile(const std::string& path)
{
    auto decoded = platform::Image::fromFile(path);
    if (!decoded || decoded->isNull())
        return nullptr;
    return std::make_shared<UIImage>(std::move(*decoded));
}

std::shared_ptr<UIImage> UIImage::imageWithData(const platform::Bytes& data, double scale)
{
    auto decoded = platform::Image::decode(data, scale);
    if (!decoded || decoded->isNull())
        return nullptr;
    return std::make_shared<UIImage>(std::move(*decoded));
}

std::shared_ptr<UIImage> UIImage::imageWithCGImage(
    const platform::Image& image, double scale, platform::ImageOrientation orientation)
{
    if (image.isNull())
        return nullptr;
    return std::make_shared<UIImage>(image.applyingOrientation(orientation).withScale(scale));
}

void UIImage::clearNamedImageCache() { namedCache().clear(); }

std::shared_ptr<UIImage> UIImage::resizableImageWithCapInsets(
    const platform::EdgeInsets& capInsets, UIImageResizingMode mode) const
{
    auto copy = std::make_shared<UIImage>(image_);
    copy->name_ = name_;
    copy->prepared_ = prepared_;
    auto clampInset = [](double v) { return std::isfinite(v) && v > 0 ? v : 0.0; };
    copy->capInsets_ = platform::EdgeInsets(clampInset(capInsets.top), clampInset(capInsets.left),
        clampInset(capInsets.bottom), clampInset(capInsets.right));
    copy->hasCaps_ = true;
    copy->resizingMode_ = mode;
    return copy;
}

std::shared_ptr<UIImage> UIImage::stretchableImageWithLeftCapWidth(int leftCapWidth, int topCapHeight) const
{
    auto s = size();
    double left = std::max(leftCapWidth, 0);
    double top = std::max(topCapHeight, 0);
    // The stretching column and row are one point wide; a zero cap stretches the whole axis.
    double right = left > 0 ? std::max(s.width - left - 1, 0.0) : 0;
    double bottom = top > 0 ? std::max(s.height - top - 1, 0.0) : 0;
    auto copy = resizableImageWithCapInsets(platform::EdgeInsets(top, left, bottom, right));
    copy->leftCapWidth_ = std::max(leftCapWidth, 0);
    copy->topCapHeight_ = std::max(topCapHeight, 0);
    return copy;
}

std::optional<platform::Bytes> UIImageJPEGRepresentation(const std::shared_ptr<UIImage>& image, double quality)
{
    if (!image)
        return std::nullopt;
    return image->CGImage().encodeJPEG(quality);
}

std::optional<platform::Bytes> UIImagePNGRepresentation(const std::shared_ptr<UIImage>& image)
{
    if (!image)
        return std::nullopt;
    return image->CGImage().encodePNG();
}
