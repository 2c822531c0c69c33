#pragma once

#include "app/base/BaseViewController.h"
#include "circle/album/AlbumPhotoStrip.h"
#include "core/model/AlbumInfo.h"
#include "platform/uikit/UITextView.h"
#include "ui/grid/ORBPickerView.h"

#include <memory>
#include <string>
#include <vector>

class UIButton;

namespace circle {

// "传照片": up to four photos with one description, added to an album the
// person picks from the albums of the account. The photos are uploaded
// first, then one command adds them; on success the album pages and the
// class circle hear of it ("kUploadAlbumSuccessed", "kSendWeiboSuccess") and
// the screen closes 1.5 s later.
class UploadAlbumViewController final : public BaseViewController,
                                        public UITextViewDelegate,
                                        public ORBPickerViewDelegate {
public:
    ORB_CLASS_NAME(UploadAlbumViewController)

    static constexpr const char* kTitle = "传照片";
    static constexpr const char* kPlaceholder = "添加照片描述...";
    static constexpr const char* kChooseAlbumText = "请选择相册";
    static constexpr const char* kNoAlbumsText = "没有相册信息";
    static constexpr const char* kAlbumsFailedText = "加载相册信息出错";
    static constexpr const char* kWrongAlbumText = "所选相册有误，请重选";
    static constexpr const char* kNoPhotoText = "请先添加照片";
    static constexpr int kAlbumPageSize = 1000;
    static constexpr double kCloseDelay = 1.5;
    static constexpr double kToolbarWidth = 320;
    static constexpr double kToolbarHeight = 44;

    UploadAlbumViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Layout actions ------------------------------------------------------------
    void uploadAlbumAction(UIControl* sender);
    void btnAddAlbumAction(UIControl* sender);
    void btnGoBackAction(UIControl* sender);
    void createAlbum(UIControl* sender);
    void done();

    void loadAlbumList();
    void createAlbumSuccessed(const platform::Notification& notification);

    void textViewDidBeginEditing(UITextView* textView) override;
    void didSelectedPickerView(ORBPickerView* pickerView, long row) override;

    int albumId() const { return albumId_; }
    const std::shared_ptr<AlbumPhotoStrip>& strip() const { return strip_; }
    const std::shared_ptr<ORBPickerView>& pickerView() const { return pickerView_; }
    const std::vector<std::shared_ptr<core::AlbumInfo>>& allAlbumInfo() const { return allAlbumInfo_; }

private:
    void albumsArrived(const platform::Value& result);
    void showPlaceholder();
    bool showsPlaceholder() const;
    void post();
    void photosAdded();
    void close();

    int albumId_ = -1;
    bool isSending_ = false;
    std::vector<std::shared_ptr<core::AlbumInfo>> allAlbumInfo_;
    std::shared_ptr<AlbumPhotoStrip> strip_;
    std::shared_ptr<ORBPickerView> pickerView_;

    std::shared_ptr<UIView> albumView_;
    std::shared_ptr<UITextView> descTextView_;
    std::shared_ptr<UIView> fileContainer_;
    std::shared_ptr<UIButton> addImageBtn_;
    std::shared_ptr<UIButton> btnSubmit_;
    std::shared_ptr<UIButton> btnNewAlbum_;
};

} // namespace circle
