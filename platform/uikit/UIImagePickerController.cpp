#include "platform/uikit/UIImagePickerController.h"

#include "platform/graphics/Context.h"

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"

#include <algorithm>
#include <array>
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
}

bool UIImagePickerController::pickImageAtPath(const std::string& path)
{
    return pickImage(UIImage::imageWithContentsOfFile(path));
}

bool UIImagePickerController::pickImage(const std::shared_ptr<UIImage>& image)
{
    if (!image || image->CGImage().isNull())
        return false;
    // The delegate may dismiss (and so release) the picker while it hears.
    auto self = shared_from_this();
    if (auto delegate = delegate_.lock()) {
        platform::Dictionary info;
        info.set(UIImagePickerControllerMediaType, "public.image");
        info.set(UIImagePickerControllerOriginalImage, platform::Value(image));
        delegate->imagePickerControllerDidFinishPickingMediaWithInfo(this, info);
    }
    return true;
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
