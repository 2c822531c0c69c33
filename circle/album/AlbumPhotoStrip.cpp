#include "circle/album/AlbumPhotoStrip.h"

#include "platform/os/Log.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "ui/images/PhotoSourceSheet.h"
#include "ui/Lifetime.h"
#include "ui/ORBHelper.h"
#include "ui/photobrowser/BrowserPhoto.h"

#include <algorithm>

namespace circle {

namespace {

    std::shared_ptr<UIViewController> presentingRoot()
    {
        auto window = UIWindow::keyWindow();
        return window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
    }

// Where a photo comes from on this screen.
const PhotoSourceSheet& photoSheet()
{
    static const PhotoSourceSheet sheet(UIImagePickerControllerSourceTypePhotoLibrary);
    return sheet;
}

} // namespace

AlbumPhotoStrip::AlbumPhotoStrip(std::shared_ptr<UIView> container, std::shared_ptr<UIButton> addButton)
    : container_(std::move(container))
    , addButton_(std::move(addButton))
{
}

std::shared_ptr<AlbumPhotoStrip> AlbumPhotoStrip::make(std::shared_ptr<UIView> container, std::shared_ptr<UIButton> addButton)
{
    std::shared_ptr<AlbumPhotoStrip> strip(new AlbumPhotoStrip(std::move(container), std::move(addButton)));
    strip->bindTileCallbacks();
    strip->layoutContainer();
    return strip;
}

void AlbumPhotoStrip::bindTileCallbacks()
{
    std::weak_ptr<AlbumPhotoStrip> weak = shared_from_this();
    messageSendPhotoDidUpload = weakCall(weak, [](AlbumPhotoStrip& strip, MessageSendPhoto&) { strip.tileReported(); });
    messageSendPhotoDidShow = weakCall(weak, [](AlbumPhotoStrip& strip, MessageSendPhoto& tile) { strip.showPhoto(tile); });
    messageSendPhotoDidRemove = weakCall(weak, [](AlbumPhotoStrip& strip, MessageSendPhoto& tile) { strip.removeTile(tile); });
}

std::vector<std::shared_ptr<MessageSendPhoto>> AlbumPhotoStrip::tiles() const
{
    std::vector<std::shared_ptr<MessageSendPhoto>> found;
    for (const auto& view : container_->subviews()) {
        if (auto tile = std::dynamic_pointer_cast<MessageSendPhoto>(view))
            found.push_back(std::move(tile));
    }
    return found;
}

platform::Array AlbumPhotoStrip::files() const
{
    platform::Array list;
    for (const auto& tile : tiles())
        list.emplace_back(tile->info());
    return list;
}

// ---- Adding and removing ------------------------------------------------------------------

void AlbumPhotoStrip::addPhoto()
{
    if (photoCount_ >= kPhotoLimit) {
        ORBHelper::showProgressHud("最多只能添加" + std::to_string(kPhotoLimit) + "张图片", false, true);
        return;
    }
    photoSheet().show(std::weak_ptr<UIActionSheetDelegate>(shared_from_this()));
}

void AlbumPhotoStrip::actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex)
{
    if (auto source = photoSheet().sourceFor(sheet, buttonIndex))
        PhotoSourceSheet::presentPicker(presentingRoot().get(), *source, std::weak_ptr<UIImagePickerControllerDelegate>(shared_from_this()));
}

void AlbumPhotoStrip::imagePickerControllerDidFinishPickingMediaWithInfo(
    UIImagePickerController* picker, const platform::Dictionary& info)
{
    if (auto image = info.get(UIImagePickerControllerOriginalImage).objectAs<UIImage>())
        attach(image->CGImage());
    if (picker)
        picker->dismissViewControllerAnimated(true);
}

void AlbumPhotoStrip::imagePickerControllerDidCancel(UIImagePickerController* picker)
{
    if (picker)
        picker->dismissViewControllerAnimated(true);
}

bool AlbumPhotoStrip::attach(const platform::Image& image)
{
    // A photo added while the others upload would not be counted in.
    if (photoCount_ >= kPhotoLimit || uploading_)
        return false;
    auto tile = MessageSendPhoto::photoWithDelegate(std::weak_ptr<MessageSendPhotoDelegate>(shared_from_this()));
    // A picture that cannot be stored is not attached: its upload would have no file.
    if (!tile->setImage(image)) {
        platform::log("AlbumPhotoStrip: the picked picture could not be stored\n");
        return false;
    }
    container_->addSubview(tile);
    layoutContainer();
    return true;
}

void AlbumPhotoStrip::removeTile(MessageSendPhoto& tile)
{
    if (uploading_)
        return;
    removedTile_ = tile.sharedView();
    tile.removeFromSuperview();
    layoutContainer();
}

void AlbumPhotoStrip::layoutContainer()
{
    const auto bounds = container_->bounds();
    photos_.clear();
    int index = 0;
    double lastX = -1;
    for (const auto& tile : tiles()) {
        auto frame = tile->frame();
        frame.origin.x = kFirstX + index * (frame.width() + kSpacing);
        frame.origin.y = (bounds.height() - frame.height()) / 2;
        tile->setFrame(frame);
        tile->setTag(index);
        lastX = frame.origin.x;
        photos_.push_back(BrowserPhoto::photoWithImage(std::make_shared<UIImage>(tile->info()->image)));
        ++index;
    }
    photoCount_ = index;
    if (addButton_) {
        auto frame = addButton_->frame();
        frame.origin.x = bounds.width() / 4 + (index > 0 ? lastX : 0) - 10;
        addButton_->setFrame(frame);
        addButton_->setHidden(photoCount_ == kPhotoLimit);
    }
}

void AlbumPhotoStrip::showPhoto(MessageSendPhoto& tile)
{
    auto root = presentingRoot();
    if (!root || photos_.empty())
        return;
    auto browser = PhotoBrowser::initWithDelegate(shared_from_this());
    browser->setInitialPageIndex(unsigned(std::max(0, tile.tag())));
    root->presentViewController(std::make_shared<UINavigationController>(browser), true);
}

std::shared_ptr<BrowserPhotoProtocol> AlbumPhotoStrip::photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index)
{
    return index < photos_.size() ? photos_[index] : nullptr;
}

// ---- A submission ------------------------------------------------------------------------

bool AlbumPhotoStrip::submit()
{
    auto list = tiles();
    if (list.empty() || uploading_)
        return false;
    uploading_ = true;
    uploadedCount_ = 0;
    expectedCount_ = int(list.size());
    uploadHud_ = ProgressHudHold(ORBHelper::showProgressHud(kSubmittingText, true, false));
    for (const auto& tile : list)
        tile->upload(kAlbumPhotoType);
    return true;
}

void AlbumPhotoStrip::tileReported()
{
    if (!uploading_)
        return;
    if (++uploadedCount_ == expectedCount_)
        uploadsEnded();
}

void AlbumPhotoStrip::uploadsEnded()
{
    uploading_ = false;
    int failed = 0;
    for (const auto& tile : tiles())
        failed += tile->info()->url.empty() ? 1 : 0;
    if (failed == 0) {
        if (allUploaded)
            allUploaded();
        return;
    }
    ORBHelper::hideProgressHud();
    std::make_shared<UIAlertView>("提示", std::to_string(failed) + "个附件上传失败",
        std::weak_ptr<UIAlertViewDelegate>(shared_from_this()), std::string("取消"), std::vector<std::string> { kRetryTitle })
        ->show();
}

void AlbumPhotoStrip::alertViewClickedButton(UIAlertView* alert, long buttonIndex)
{
    // "重新提交": the photos that have their addresses report at once, so
    // only the failed ones are sent again.
    if (alert && buttonIndex != alert->cancelButtonIndex())
        submit();
}

} // namespace circle
