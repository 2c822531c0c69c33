#pragma once

#include "app/base/BaseViewController.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UITableView.h"
#include "ui/ORBHelper.h"

#include <memory>
#include <string>

class MessageSendPhoto;
class MessageSendPhotoDelegate;
class UIControl;
class UIImageView;
class UITextField;

namespace core {
struct AccountInfo;
}

// "我的资料": the current account's avatar and nickname. A new avatar comes
// from the camera or the album and is uploaded before the profile is saved;
// a teacher's nickname is the school's and cannot be edited here. The
// password is changed one screen further.
class UserInfoViewController final : public BaseViewController,
                                     public UITableViewDataSource,
                                     public UITableViewDelegate,
                                     public UIActionSheetDelegate,
                                     public UIImagePickerControllerDelegate {
public:
    ORB_CLASS_NAME(UserInfoViewController)

    static constexpr int kAvatarTag = 1000;
    static constexpr int kNicknameTag = 1001;
    static constexpr int kSaveProfileRequest = 6;
    // The upload folder of users' own pictures.
    static constexpr int kAvatarPhotoType = 1;
    static constexpr double kAvatarRowHeight = 80;
    static constexpr double kRowHeight = 44;
    static constexpr const char* kCellIdentifier = "setting_cell";

    UserInfoViewController();

    void viewDidLoad() override;

    long numberOfSectionsInTableView(UITableView*) override { return 2; }
    long numberOfRowsInSection(UITableView*, long section) override { return section == 0 ? 1 : 2; }
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath& path) override;
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    void didSelectRowAtIndexPath(UITableView*, const NSIndexPath&) override;

    void actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex) override;
    void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController*, const platform::Dictionary&) override;
    void imagePickerControllerDidCancel(UIImagePickerController* picker) override;

    void saveUserInfo(UIControl* sender);
    void backSettings(UIControl* sender);

private:
    void showAvatarSheet();
    void photoDidUpload(MessageSendPhoto& photo);
    void post();
    void leave();

    std::shared_ptr<UITableView> userTableView_;
    std::shared_ptr<core::AccountInfo> accountInfo_;
    std::shared_ptr<UIImageView> avatarView_;
    std::shared_ptr<UITextField> nicknameField_;
    // The newest picked avatar; a new pick replaces it.
    std::shared_ptr<MessageSendPhoto> photo_;
    std::shared_ptr<MessageSendPhotoDelegate> photoDelegate_;
    // The avatar's upload ends with the screen, unheard: its overlay goes too.
    ProgressHudHold uploadHud_;
    // The nickname being saved: it becomes the account's only when the server takes it.
    std::string savingName_;
};
