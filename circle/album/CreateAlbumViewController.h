#pragma once

#include "app/base/BaseViewController.h"
#include "circle/album/AlbumPhotoStrip.h"
#include "core/model/ClassInfo.h"
#include "platform/uikit/UITextField.h"
#include "ui/grid/ORBPickerView.h"

#include <memory>
#include <string>
#include <vector>

class UIButton;

namespace circle {

inline constexpr const char* kCreateAlbumSuccessed = "kCreateAlbumSuccessed";
inline constexpr const char* kUploadAlbumSuccessed = "kUploadAlbumSuccessed";

// "新建相册": a teacher names a new class album, describes it, picks the
// class it belongs to and adds up to four photos. The photos are uploaded
// first; when all have their addresses the album goes out in one command.
// On success the screen announces "kCreateAlbumSuccessed" and closes 1.5 s
// later.
class CreateAlbumViewController final : public BaseViewController,
                                        public UITextFieldDelegate,
                                        public ORBPickerViewDelegate {
public:
    ORB_CLASS_NAME(CreateAlbumViewController)

    static constexpr const char* kTitle = "新建相册";
    static constexpr int kNameLimit = 10;
    static constexpr int kDescriptionLimit = 30;
    static constexpr double kCloseDelay = 1.5;
    static constexpr double kToolbarWidth = 320;
    static constexpr double kToolbarHeight = 44;
    static constexpr const char* kLoadingClassesText = "正在加载班级列表...";
    static constexpr const char* kNoClassesText = "没有班级信息";
    static constexpr const char* kClassesFailedText = "加载班级列表出错";
    static constexpr const char* kNoClassText = "请选择相册所属的班级!";

    CreateAlbumViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Layout actions ------------------------------------------------------------
    void btnCreateAlbum(UIControl* sender);
    void btnAddAlbumAction(UIControl* sender);
    void btnGoBackAction(UIControl* sender);
    void done();

    bool textFieldShouldReturn(UITextField* field) override;
    void didSelectedPickerView(ORBPickerView* pickerView, long row) override;

    int classId() const { return classId_; }
    const std::shared_ptr<AlbumPhotoStrip>& strip() const { return strip_; }
    const std::shared_ptr<ORBPickerView>& pickerView() const { return pickerView_; }

private:
    void loadClassList();
    void classesArrived(const platform::Value& result);
    void post();
    void albumCreated();
    void close();
    void warn(const std::string& message);

    int classId_ = -1;
    bool isSending_ = false;
    std::vector<std::shared_ptr<core::ClassInfo>> allClassesInfo_;
    std::shared_ptr<AlbumPhotoStrip> strip_;
    std::shared_ptr<ORBPickerView> pickerView_;

    std::shared_ptr<UITextField> txtEdAlbumName_;
    std::shared_ptr<UITextField> txtEdAlbumDescibe_;
    std::shared_ptr<UIView> classView_;
    std::shared_ptr<UIView> fileContainer_;
    std::shared_ptr<UIButton> addImageBtn_;
    std::shared_ptr<UIButton> btnSubmit_;
};

} // namespace circle
