#pragma once

#include "ui/images/PhotoSourceSheet.h"
#include "core/model/PhotoInfo.h"
#include "messaging/send/MessageSendPhoto.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIImagePickerController.h"
#include "ui/ORBHelper.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class UIButton;
class UIView;

namespace circle {

// The row of photos of the album screens: the container with its add
// button, the image-source sheet and the picker, up to four photo tiles laid
// out side by side, the photo browser, and a submission's uploads. A
// submission uploads every tile (a tile that already has its addresses
// reports at once); when every tile has reported, either all have their
// addresses and the owner is told to send, or the failure alert is shown,
// whose "重新提交" runs the uploads again: only the photos that failed go
// out a second time. The owner keeps the strip; the strip holds the owner
// only through the blocks it is given.
class AlbumPhotoStrip final : public MessageSendPhotoDelegate,
                              public UIActionSheetDelegate,
                              public UIImagePickerControllerDelegate,
                              public UIAlertViewDelegate,
                              public PhotoBrowserDelegate,
                              public std::enable_shared_from_this<AlbumPhotoStrip> {
public:
    static constexpr int kPhotoLimit = 4;
    // Album photos go to the class-circle picture folder.
    static constexpr int kAlbumPhotoType = 4;
    static constexpr double kFirstX = 20;
    static constexpr double kSpacing = 10;
    static constexpr const char* kSubmittingText = "正在提交数据，请稍候...";
    static constexpr const char* kLibraryTitle = PhotoSourceSheet::kAlbum;
    static constexpr const char* kRetryTitle = "重新提交";

    // The container holds the add button and one fixed view of the layout;
    // photo tiles are added after them.
    static std::shared_ptr<AlbumPhotoStrip> make(std::shared_ptr<UIView> container, std::shared_ptr<UIButton> addButton);

    // Every photo has its addresses: the owner sends.
    std::function<void()> allUploaded;

    // The add button: the limit's hint, or the image-source sheet.
    void addPhoto();
    // A picked picture becomes a tile; false when the row is full or the
    // picture cannot be stored.
    bool attach(const platform::Image& image);
    // Starts a submission: the overlay and every tile's upload. False (and
    // nothing shown) when there is no photo.
    bool submit();
    bool isUploading() const { return uploading_; }

    std::vector<std::shared_ptr<MessageSendPhoto>> tiles() const;
    int photoCount() const { return photoCount_; }
    // The tiles' photos in container order, for the album command's "files".
    platform::Array files() const;
    const std::vector<std::shared_ptr<BrowserPhotoProtocol>>& photos() const { return photos_; }
    // Places the tiles (x = 20 + i × (width + 10), centred), numbers them,
    // and puts the add button after the last one, hidden when the row is full.
    void layoutContainer();

    const std::shared_ptr<UIView>& container() const { return container_; }
    const std::shared_ptr<UIButton>& addButton() const { return addButton_; }

    void actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex) override;
    void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController* picker, const platform::Dictionary& info) override;
    void imagePickerControllerDidCancel(UIImagePickerController* picker) override;
    void alertViewClickedButton(UIAlertView* alert, long buttonIndex) override;
    unsigned numberOfPhotosInPhotoBrowser(PhotoBrowser*) override { return unsigned(photos_.size()); }
    std::shared_ptr<BrowserPhotoProtocol> photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index) override;

private:
    AlbumPhotoStrip(std::shared_ptr<UIView> container, std::shared_ptr<UIButton> addButton);
    void bindTileCallbacks();
    void showPhoto(MessageSendPhoto& tile);
    void removeTile(MessageSendPhoto& tile);
    void tileReported();
    void uploadsEnded();

    std::shared_ptr<UIView> container_;
    std::shared_ptr<UIButton> addButton_;
    std::vector<std::shared_ptr<BrowserPhotoProtocol>> photos_;
    // A tile that asked to go stays alive until its own call has returned.
    std::shared_ptr<UIView> removedTile_;
    int photoCount_ = 0;
    // Reports of this submission, counted from 0 each time and compared
    // with the tiles it started, so a second submission after a failure
    // neither waits for ever nor sends early.
    int uploadedCount_ = 0;
    int expectedCount_ = 0;
    bool uploading_ = false;
    // The uploads end unheard with the strip's screen: their overlay goes too.
    ProgressHudHold uploadHud_;
};

} // namespace circle
