#include "platform/uikit/UIImagePickerController.h"

#include "platform/graphics/Context.h"

#include "platform/uikit/PickerWheels.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UITouch.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <pwd.h>
#include <system_error>
#include <unistd.h>

namespace {

bool cameraAvailable = false;

constexpr double kTitleHeight = 44;
constexpr double kRowHeight = 56;
constexpr double kThumbnailSide = 44;
constexpr double kStatusBarHeight = 20;
// The crop screen's bar of buttons along the foot.
constexpr double kCropBarHeight = 64;

std::string homeDirectory()
{
    if (const char* home = std::getenv("HOME"); home && *home)
        return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir)
        return entry->pw_dir;
    return {};
}

std::string trimmed(const std::string& text)
{
    auto begin = text.find_first_not_of(" \t\r");
    if (begin == std::string::npos)
        return {};
    auto end = text.find_last_not_of(" \t\r");
    return text.substr(begin, end - begin + 1);
}

// The XDG_PICTURES_DIR line of a user-dirs.dirs file, expanded; empty when
// the file has none usable (only "$HOME/..." and absolute paths are, and no
// line with a NUL: the folder opened would be the name cut at it).
std::string configuredPicturesDirectory(const std::string& file, const std::string& home)
{
    std::ifstream in(file);
    std::string found;
    for (std::string line; std::getline(in, line);) {
        if (line.find('\0') != std::string::npos)
            continue;
        line = trimmed(line);
        static const std::string key = "XDG_PICTURES_DIR=";
        if (line.empty() || line[0] == '#' || line.compare(0, key.size(), key) != 0)
            continue;
        std::string value = trimmed(line.substr(key.size()));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        if (value == "$HOME" || value.compare(0, 6, "$HOME/") == 0) {
            if (home.empty())
                continue;
            value = home + value.substr(5);
        }
        if (!value.empty() && value[0] == '/')
            found = value; // the last such line counts, as for the shell
    }
    while (found.size() > 1 && found.back() == '/')
        found.pop_back();
    return found;
}

bool startsLikeAPicture(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::array<unsigned char, 8> head {};
    in.read(reinterpret_cast<char*>(head.data()), head.size());
    auto got = in.gcount();
    static constexpr std::array<unsigned char, 8> png { 0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n' };
    if (got == 8 && head == png)
        return true;
    return got >= 3 && head[0] == 0xff && head[1] == 0xd8 && head[2] == 0xff;
}

} // namespace

// The album's list screen: one row per picture, its file name and a
// thumbnail; a tap picks the picture.
class UIImagePickerController::AlbumList final : public UITableViewDataSource, public UITableViewDelegate {
public:
    explicit AlbumList(std::weak_ptr<UIImagePickerController> picker)
        : picker_(std::move(picker))
    {
    }

    long numberOfRowsInSection(UITableView*, long) override
    {
        auto picker = picker_.lock();
        return picker ? static_cast<long>(picker->albumImagePaths().size()) : 0;
    }

    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& indexPath) override
    {
        static const std::string identifier = "UIImagePickerAlbumCell";
        auto cell = table->dequeueReusableCellWithIdentifier(identifier);
        if (!cell)
            cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, identifier);
        auto picker = picker_.lock();
        if (!picker || indexPath.row < 0
            || static_cast<std::size_t>(indexPath.row) >= picker->albumImagePaths().size())
            return cell;
        const std::string& path = picker->albumImagePaths()[static_cast<std::size_t>(indexPath.row)];
        cell->textLabel()->setText(std::filesystem::path(path).filename().string());
        cell->imageView()->setImage(thumbnail(path));
        return cell;
    }

    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override { return kRowHeight; }

    void didSelectRowAtIndexPath(UITableView* table, const NSIndexPath& indexPath) override
    {
        table->deselectRowAtIndexPath(indexPath, false);
        if (auto picker = picker_.lock(); picker && indexPath.row >= 0)
            picker->pickAlbumImageAtIndex(static_cast<std::size_t>(indexPath.row));
    }

    void forget() { thumbnails_.clear(); }

private:
    // Decoded once per file and kept small. Every row's thumbnail is the same
    // square (the picture covering it, centred and cut to it; a plain tile for
    // a file that no longer decodes), so the file names beside them line up
    // whatever the pictures' shapes.
    std::shared_ptr<UIImage> thumbnail(const std::string& path)
    {
        auto known = thumbnails_.find(path);
        if (known != thumbnails_.end())
            return known->second;
        const double scale = UIScreen::mainScreen()->scale();
        std::shared_ptr<UIImage> small;
        auto context = platform::Context::createBitmap(platform::Size(kThumbnailSide, kThumbnailSide), scale);
        if (context) {
            context->setFillColor(platform::Color::fromRGB255(58, 58, 62));
            context->fillRect(platform::Rect(0, 0, kThumbnailSide, kThumbnailSide));
            auto image = platform::Image::fromFile(path);
            if (image && !image->isNull() && image->size().width > 0 && image->size().height > 0) {
                auto size = image->size();
                double factor = std::max(kThumbnailSide / size.width, kThumbnailSide / size.height);
                platform::Size covered(size.width * factor, size.height * factor);
                context->drawImage(*image,
                    platform::Rect((kThumbnailSide - covered.width) / 2, (kThumbnailSide - covered.height) / 2,
                        covered.width, covered.height));
            }
            platform::Image square = context->makeImage();
            if (!square.isNull())
                small = UIImage::imageWithCGImage(square, square.scale());
        }
        thumbnails_[path] = small;
        return small;
    }

    std::weak_ptr<UIImagePickerController> picker_;
    std::map<std::string, std::shared_ptr<UIImage>> thumbnails_;
};

// The crop screen: the picture under the square frame, dimmed around it, a
// title above and the buttons below. A finger dragging the picture moves it
// under the frame; a notch of the mouse wheel away from the person zooms in,
// towards the person out (the pointer's wheel reaches pickers' wheels only).
class UIImagePickerController::CropScreen final : public UIView, public PickerWheels {
public:
    CropScreen(const platform::Rect& frame, std::weak_ptr<UIImagePickerController> picker)
        : UIView(frame)
        , picker_(std::move(picker))
    {
        setBackgroundColor(platform::Color::blackColor());
        setOpaque(true);
    }

    // The frame: as wide as the screen, in the middle of the room between the bars.
    platform::Rect frameSquare() const
    {
        auto b = bounds();
        double top = kStatusBarHeight + kTitleHeight;
        double room = std::max(0.0, b.height() - top - kCropBarHeight);
        double side = std::min(b.width(), room);
        return platform::Rect((b.width() - side) / 2, top + (room - side) / 2, side, side);
    }

    void build()
    {
        auto self = std::static_pointer_cast<CropScreen>(shared_from_this());
        double width = bounds().width();
        auto title = std::make_shared<UILabel>(platform::Rect(0, kStatusBarHeight, width, kTitleHeight));
        title->setText("移动和缩放");
        title->setTextAlignment(NSTextAlignmentCenter);
        title->setTextColor(platform::Color::whiteColor());
        title->setBackgroundColor(platform::Color::clearColor());
        addSubview(title);

        auto bar = std::make_shared<UIView>(
            platform::Rect(0, bounds().height() - kCropBarHeight, width, kCropBarHeight));
        bar->setBackgroundColor(platform::Color::fromWhite(0.1, 0.85));
        bar->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleTopMargin);
        addSubview(bar);
        auto button = [&](const std::string& text, double x, double side, void (CropScreen::*action)()) {
            auto b = UIButton::buttonWithType(UIButtonTypeCustom);
            b->setFrame(platform::Rect(x, (kCropBarHeight - 44) / 2, side, 44));
            b->setTitle(text, UIControlStateNormal);
            b->setTitleColor(platform::Color::whiteColor(), UIControlStateNormal);
            b->setTitleColor(platform::Color::grayColor(), UIControlStateDisabled);
            b->addTarget(self, action, UIControlEventTouchUpInside);
            bar->addSubview(b);
            return b;
        };
        button("取消", 8, 72, &CropScreen::cancelTapped);
        zoomOut_ = button("−", width / 2 - 56, 48, &CropScreen::zoomOutTapped);
        zoomIn_ = button("+", width / 2 + 8, 48, &CropScreen::zoomInTapped);
        button("选取", width - 80, 72, &CropScreen::useTapped);
        zoomOut_->titleLabel()->setFont(UIFont::boldSystemFont(24));
        zoomIn_->titleLabel()->setFont(UIFont::boldSystemFont(24));
        update();
    }

    // The zoom buttons as the limits allow, and the picture drawn again.
    void update()
    {
        if (auto picker = picker_.lock()) {
            if (zoomOut_)
                zoomOut_->setEnabled(picker->cropZoom() > 1);
            if (zoomIn_)
                zoomIn_->setEnabled(picker->cropZoom() < maxZoom(*picker));
        }
        setNeedsDisplay();
    }

    bool turnWheelAt(platform::Point, long rows) override
    {
        auto picker = picker_.lock();
        return picker && rows != 0 && picker->zoomCrop(std::pow(kZoomStep, double(-rows)));
    }

    void touchesBegan(const UITouchSet& touches, UIEvent*) override
    {
        if (!touches.empty())
            last_ = touches.front()->locationInView(this);
    }
    void touchesMoved(const UITouchSet& touches, UIEvent*) override
    {
        if (touches.empty())
            return;
        auto now = touches.front()->locationInView(this);
        if (auto picker = picker_.lock())
            picker->moveCrop(now.x - last_.x, now.y - last_.y);
        last_ = now;
    }
    void touchesEnded(const UITouchSet&, UIEvent*) override { }
    void touchesCancelled(const UITouchSet&, UIEvent*) override { }

    void drawRect(platform::Context& context, const platform::Rect&) override
    {
        auto b = bounds();
        context.setFillColor(platform::Color::blackColor());
        context.fillRect(b);
        auto picker = picker_.lock();
        if (!picker || !picker->croppingImage())
            return;
        const auto& image = picker->croppingImage()->CGImage();
        auto frame = frameSquare();
        auto crop = picker->exactCrop();
        double k = frame.width() / crop.width(); // points of the screen per pixel of the picture
        context.drawImage(image,
            platform::Rect(frame.minX() - crop.minX() * k, frame.minY() - crop.minY() * k,
                image.pixelWidth() * k, image.pixelHeight() * k));
        // What lies outside the frame is dimmed; the frame has a thin white edge.
        context.beginPath();
        context.addRect(b);
        context.addRect(frame);
        context.setFillColor(platform::Color::fromWhite(0, 0.6));
        context.fillPath(platform::FillRule::EvenOdd);
        context.setStrokeColor(platform::Color::whiteColor());
        context.setLineWidth(1);
        context.strokeRect(platform::Rect(frame.minX() + 0.5, frame.minY() + 0.5, frame.width() - 1, frame.height() - 1));
    }

    static double maxZoom(const UIImagePickerController& picker)
    {
        // At most kMaxZoom, and never so close that the square is under a pixel.
        const auto& image = picker.croppingImage()->CGImage();
        double shorter = std::min(image.pixelWidth(), image.pixelHeight());
        return std::clamp(shorter, 1.0, kMaxZoom);
    }

private:
    void cancelTapped()
    {
        if (auto picker = picker_.lock())
            picker->cancelCrop();
    }
    void useTapped()
    {
        if (auto picker = picker_.lock())
            picker->useCrop();
    }
    void zoomInTapped()
    {
        if (auto picker = picker_.lock())
            picker->zoomCrop(kZoomStep);
    }
    void zoomOutTapped()
    {
        if (auto picker = picker_.lock())
            picker->zoomCrop(1 / kZoomStep);
    }

    std::weak_ptr<UIImagePickerController> picker_;
    std::shared_ptr<UIButton> zoomIn_;
    std::shared_ptr<UIButton> zoomOut_;
    platform::Point last_;
};

UIImagePickerController::UIImagePickerController() = default;

bool UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceType type)
{
    switch (type) {
    case UIImagePickerControllerSourceTypeCamera:
        return cameraAvailable;
    case UIImagePickerControllerSourceTypePhotoLibrary:
    case UIImagePickerControllerSourceTypeSavedPhotosAlbum:
        return true;
    }
    return false;
}

void UIImagePickerController::setCameraAvailable(bool available) { cameraAvailable = available; }

void UIImagePickerController::loadView()
{
    auto view = std::make_shared<UIView>(UIScreen::mainScreen()->bounds());
    view->setBackgroundColor(platform::Color::fromRGB255(28, 28, 30));
    double width = view->bounds().width();
    auto label = std::make_shared<UILabel>(platform::Rect(0, 20, width, kTitleHeight));
    label->setText(sourceType_ == UIImagePickerControllerSourceTypeCamera ? "拍照" : "照片");
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setTextColor(platform::Color::whiteColor());
    label->setBackgroundColor(platform::Color::clearColor());
    view->addSubview(label);

    auto cancelButton = UIButton::buttonWithType(UIButtonTypeCustom);
    cancelButton->setFrame(platform::Rect(width - 64, 20, 60, kTitleHeight));
    cancelButton->setTitle("取消", UIControlStateNormal);
    cancelButton->setTitleColor(platform::Color::whiteColor(), UIControlStateNormal);
    auto self = std::static_pointer_cast<UIImagePickerController>(shared_from_this());
    cancelButton->addTarget(self, &UIImagePickerController::cancel, UIControlEventTouchUpInside);
    view->addSubview(cancelButton);

    albumTable_.reset();
    if (sourceType_ != UIImagePickerControllerSourceTypeCamera) {
        double top = 20 + kTitleHeight;
        albumList_ = std::make_shared<AlbumList>(self);
        albumTable_ = std::make_shared<UITableView>(
            platform::Rect(0, top, width, std::max(0.0, view->bounds().height() - top)));
        albumTable_->setRowHeight(kRowHeight);
        albumTable_->setDataSource(albumList_);
        albumTable_->setDelegate(albumList_);
        view->addSubview(albumTable_);
        reloadAlbum();
    }
    setView(view);
    if (cropping_)
        showCropScreen();
}

bool UIImagePickerController::pickImageAtPath(const std::string& path)
{
    return pickImage(UIImage::imageWithContentsOfFile(path));
}

bool UIImagePickerController::pickImage(const std::shared_ptr<UIImage>& image)
{
    if (!image || image->CGImage().isNull())
        return false;
    if (!allowsEditing_) {
        deliver(image, nullptr, std::nullopt);
        return true;
    }
    // The largest square in the middle, until the person moves it.
    cropping_ = image;
    zoom_ = 1;
    cropCentre_ = platform::Point(image->CGImage().pixelWidth() / 2.0, image->CGImage().pixelHeight() / 2.0);
    if (isViewLoaded())
        showCropScreen();
    return true;
}

void UIImagePickerController::deliver(const std::shared_ptr<UIImage>& original, const std::shared_ptr<UIImage>& edited,
    const std::optional<platform::Rect>& cropRect)
{
    // The delegate may dismiss (and so release) the picker while it hears.
    auto self = shared_from_this();
    auto delegate = delegate_.lock();
    if (!delegate)
        return;
    platform::Dictionary info;
    info.set(UIImagePickerControllerMediaType, "public.image");
    info.set(UIImagePickerControllerOriginalImage, platform::Value(original));
    if (edited)
        info.set(UIImagePickerControllerEditedImage, platform::Value(edited));
    if (cropRect) {
        platform::Dictionary rect;
        rect.set("x", cropRect->minX());
        rect.set("y", cropRect->minY());
        rect.set("width", cropRect->width());
        rect.set("height", cropRect->height());
        info.set(UIImagePickerControllerCropRect, platform::Value(std::move(rect)));
    }
    delegate->imagePickerControllerDidFinishPickingMediaWithInfo(this, info);
}

// ---- The crop screen ---------------------------------------------------------------

double UIImagePickerController::cropSide() const
{
    if (!cropping_)
        return 0;
    const auto& image = cropping_->CGImage();
    return std::min(image.pixelWidth(), image.pixelHeight()) / zoom_;
}

void UIImagePickerController::clampCrop()
{
    if (!cropping_)
        return;
    const auto& image = cropping_->CGImage();
    double half = cropSide() / 2;
    cropCentre_.x = std::clamp(cropCentre_.x, half, image.pixelWidth() - half);
    cropCentre_.y = std::clamp(cropCentre_.y, half, image.pixelHeight() - half);
}

platform::Rect UIImagePickerController::exactCrop() const
{
    double side = cropSide();
    return platform::Rect(cropCentre_.x - side / 2, cropCentre_.y - side / 2, side, side);
}

platform::Rect UIImagePickerController::cropRect() const
{
    if (!cropping_)
        return {};
    // Whole pixels, inside the picture.
    const auto& image = cropping_->CGImage();
    int shorter = std::min(image.pixelWidth(), image.pixelHeight());
    int side = std::clamp(int(std::lround(cropSide())), 1, shorter);
    int x = std::clamp(int(std::lround(cropCentre_.x - side / 2.0)), 0, image.pixelWidth() - side);
    int y = std::clamp(int(std::lround(cropCentre_.y - side / 2.0)), 0, image.pixelHeight() - side);
    return platform::Rect(x, y, side, side);
}

platform::Rect UIImagePickerController::cropFrame() const
{
    if (cropScreen_)
        return cropScreen_->frameSquare();
    return {};
}

void UIImagePickerController::moveCrop(double dx, double dy)
{
    if (!cropping_ || !std::isfinite(dx) || !std::isfinite(dy))
        return;
    // The picture follows the finger: the square goes the other way, in pixels.
    double frameSide = cropScreen_ ? cropScreen_->frameSquare().width() : 0;
    double pixelsPerPoint = frameSide > 0 ? cropSide() / frameSide : 1;
    cropCentre_.x -= dx * pixelsPerPoint;
    cropCentre_.y -= dy * pixelsPerPoint;
    clampCrop();
    if (cropScreen_)
        cropScreen_->update();
}

bool UIImagePickerController::zoomCrop(double factor)
{
    if (!cropping_ || !std::isfinite(factor) || factor <= 0)
        return false;
    double zoom = std::clamp(zoom_ * factor, 1.0, CropScreen::maxZoom(*this));
    if (zoom == zoom_)
        return false;
    zoom_ = zoom;
    clampCrop();
    if (cropScreen_)
        cropScreen_->update();
    return true;
}

bool UIImagePickerController::useCrop()
{
    if (!cropping_)
        return false;
    auto original = cropping_;
    auto rect = cropRect();
    auto square = original->CGImage().cropped(int(rect.minX()), int(rect.minY()), int(rect.width()), int(rect.height()));
    if (square.isNull())
        return false;
    if (square.pixelWidth() > kEditedImageSide)
        square = square.scaledToSize(platform::Size(kEditedImageSide, kEditedImageSide), 1.0);
    deliver(original, UIImage::imageWithCGImage(square, 1.0), rect);
    return true;
}

void UIImagePickerController::cancelCrop()
{
    cropping_.reset();
    zoom_ = 1;
    if (cropScreen_) {
        cropScreen_->removeFromSuperview();
        cropScreen_.reset();
    }
}

std::shared_ptr<UIView> UIImagePickerController::cropView() const { return cropScreen_; }

void UIImagePickerController::showCropScreen()
{
    if (cropScreen_)
        cropScreen_->removeFromSuperview();
    auto self = std::static_pointer_cast<UIImagePickerController>(shared_from_this());
    cropScreen_ = std::make_shared<CropScreen>(view()->bounds(), self);
    cropScreen_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    cropScreen_->build();
    view()->addSubview(cropScreen_);
}

void UIImagePickerController::cancel()
{
    auto self = shared_from_this();
    if (auto delegate = delegate_.lock())
        delegate->imagePickerControllerDidCancel(this);
}

std::string UIImagePickerController::picturesDirectory()
{
    std::string home = homeDirectory();
    std::string configHome;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/')
        configHome = xdg;
    else if (!home.empty())
        configHome = home + "/.config";
    if (!configHome.empty()) {
        std::string configured = configuredPicturesDirectory(configHome + "/user-dirs.dirs", home);
        if (!configured.empty())
            return configured;
    }
    return home.empty() ? std::string() : home + "/Pictures";
}

std::vector<std::string> UIImagePickerController::listPictures(const std::string& directory)
{
    std::vector<std::filesystem::path> found;
    if (directory.empty())
        return {};
    std::error_code error;
    std::filesystem::directory_iterator it(directory, error);
    for (; !error && it != std::filesystem::directory_iterator(); it.increment(error)) {
        const auto& path = it->path();
        std::string name = path.filename().string();
        std::error_code kindError;
        if (name.empty() || name[0] == '.' || !std::filesystem::is_regular_file(path, kindError))
            continue;
        if (startsLikeAPicture(path))
            found.push_back(path);
    }
    std::sort(found.begin(), found.end(),
        [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });
    std::vector<std::string> paths;
    paths.reserve(found.size());
    for (const auto& path : found)
        paths.push_back(path.string());
    return paths;
}

const std::vector<std::string>& UIImagePickerController::albumImagePaths()
{
    if (!albumRead_) {
        album_ = listPictures(picturesDirectory());
        albumRead_ = true;
    }
    return album_;
}

void UIImagePickerController::reloadAlbum()
{
    album_ = listPictures(picturesDirectory());
    albumRead_ = true;
    if (albumList_)
        albumList_->forget();
    if (albumTable_)
        albumTable_->reloadData();
}

bool UIImagePickerController::pickAlbumImageAtIndex(std::size_t index)
{
    const auto& paths = albumImagePaths();
    if (index >= paths.size())
        return false;
    // Copied: the delegate may reload the album while it hears.
    std::string path = paths[index];
    return pickImageAtPath(path);
}
