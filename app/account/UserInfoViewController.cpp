#include "app/account/UserInfoViewController.h"

#include "app/account/AccountScreenKit.h"
#include "app/account/ChangePasswordViewController.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/session/MyAccountInfo.h"
#include "messaging/send/MessageSendPhoto.h"
#include "platform/os/Log.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIWindow.h"
#include "ui/ORBHelper.h"
#include "ui/images/PhotoSourceSheet.h"
#include "ui/images/RemoteImageView.h"

namespace {

constexpr double kCellFontSize = 17;
constexpr double kAvatarCornerRadius = 4;

std::shared_ptr<UIViewController> windowRoot()
{
    auto window = UIWindow::keyWindow();
    return window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
}

// Where a new picture of the account comes from.
const PhotoSourceSheet& photoSheet()
{
    static const PhotoSourceSheet sheet(UIImagePickerControllerSourceTypePhotoLibrary);
    return sheet;
}

} // namespace

UserInfoViewController::UserInfoViewController() { setTitle("我的资料"); }

void UserInfoViewController::viewDidLoad()
{
    setTitle("我的资料");
    accountInfo_ = core::MyAccountInfo::currentAccount();
    auto bounds = view()->bounds();
    userTableView_ = std::make_shared<UITableView>(
        platform::Rect(0, 0, bounds.width(), bounds.height()), UITableViewStyleGrouped);
    userTableView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
    userTableView_->setBackgroundColor(platform::Color::fromRGB255(220, 220, 220));
    userTableView_->setSeparatorStyle(UITableViewCellSeparatorStyleSingleLine);
    userTableView_->setBackgroundView(nullptr);
    userTableView_->setOutletName("userTableView");

    // The avatar loads in the background: a slow server must not hold the screen.
    auto avatar = std::make_shared<RemoteImageView>(platform::Rect(10, 10, 60, 60));
    avatar->setTag(kAvatarTag);
    avatar->layer()->setCornerRadius(kAvatarCornerRadius);
    avatar->setClipsToBounds(true);
    // A tap on the picture is a tap on its row (a new avatar), not on the tile inside it.
    avatar->setUserInteractionEnabled(false);
    avatar->setImage(UIImage::imageNamed("account_default_avatar.png"));
    if (accountInfo_ && !accountInfo_->thumbAvatar.empty())
        avatar->setImageURL(platform::Url::parse(accountInfo_->thumbAvatar));
    avatarView_ = avatar;

    nicknameField_ = std::make_shared<UITextField>(platform::Rect(90, 5, 180, 34));
    nicknameField_->setTag(kNicknameTag);
    nicknameField_->setTextAlignment(NSTextAlignmentRight);
    nicknameField_->setContentVerticalAlignment(UIControlContentVerticalAlignmentCenter);
    nicknameField_->setTextColor(platform::Color::fromWhite(2.0 / 3.0));
    nicknameField_->setOutletName("txtNickname");
    nicknameField_->setText(accountInfo_ ? accountInfo_->name : std::string());
    // A teacher's name is the one the school gave.
    nicknameField_->setEnabled(!(accountInfo_ && accountInfo_->type == 1));

    auto self = BaseViewController::self<UserInfoViewController>();
    photoDelegate_ = std::make_shared<MessageSendPhotoDelegate>();
    photoDelegate_->messageSendPhotoDidUpload
        = weakCallback<UserInfoViewController>(&UserInfoViewController::photoDidUpload);
    userTableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    userTableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    view()->addSubview(userTableView_);

    setLeftItem(imageBarButton<UserInfoViewController>(
        "public_back_btn.png", "btnBack", &UserInfoViewController::backSettings));
    auto save = account::textBarButton("保存", "btnSave");
    save->addTarget(self, &UserInfoViewController::saveUserInfo, UIControlEventTouchUpInside);
    setRightItem(save);
    BaseViewController::viewDidLoad();
    userTableView_->reloadData();
}

std::optional<double> UserInfoViewController::heightForRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    return path.section == 0 ? kAvatarRowHeight : kRowHeight;
}

std::shared_ptr<UITableViewCell> UserInfoViewController::cellForRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    // Three fixed rows, each holding its own views: never reused.
    auto cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, kCellIdentifier);
    cell->textLabel()->setFont(UIFont::systemFont(kCellFontSize));
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
    if (path.section == 0) {
        cell->contentView()->addSubview(avatarView_);
        auto label = std::make_shared<UILabel>(platform::Rect(90, 30, 200, 20));
        label->setFont(UIFont::systemFont(18));
        label->setBackgroundColor(platform::Color::clearColor());
        label->setText("设置头像");
        cell->contentView()->addSubview(label);
    } else if (path.row == 0) {
        cell->textLabel()->setText("昵称");
        cell->contentView()->addSubview(nicknameField_);
    } else {
        cell->textLabel()->setText("修改密码");
    }
    return cell;
}

void UserInfoViewController::didSelectRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    if (path.section == 1 && path.row == 1) {
        if (auto navigation = navigationController())
            navigation->pushViewController(std::make_shared<ChangePasswordViewController>(), true);
    } else if (path.section == 0) {
        showAvatarSheet();
    }
}

void UserInfoViewController::showAvatarSheet()
{
    photoSheet().show(std::weak_ptr<UIActionSheetDelegate>(weakSelf<UserInfoViewController>()));
}

void UserInfoViewController::actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex)
{
    if (auto source = photoSheet().sourceFor(sheet, buttonIndex))
        PhotoSourceSheet::presentPicker(windowRoot().get(), *source,
            std::weak_ptr<UIImagePickerControllerDelegate>(weakSelf<UserInfoViewController>()), true);
}

void UserInfoViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    UIImagePickerController* picker, const platform::Dictionary& info)
{
    // The square the person cut for the avatar; the whole picture when the
    // picker gave none.
    auto image = info.get(UIImagePickerControllerEditedImage).objectAs<UIImage>();
    if (!image)
        image = info.get(UIImagePickerControllerOriginalImage).objectAs<UIImage>();
    auto photo = MessageSendPhoto::photoWithDelegate(photoDelegate_);
    if (image && photo && photo->setImage(image->CGImage())) {
        auto frame = photo->frame();
        photo->setFrame(platform::Rect(
            frame.minX() - 10, frame.minY() - 13, frame.width() + 22, frame.height() + 10));
        // The newest pick is the one shown, uploaded and sent.
        if (photo_)
            photo_->removeFromSuperview();
        photo_ = photo;
        avatarView_->addSubview(photo_);
    } else {
        platform::log("UserInfoViewController: the picked picture could not be kept\n");
    }
    if (auto root = windowRoot())
        root->dismissViewControllerAnimated(true);
    else if (picker)
        picker->dismissViewControllerAnimated(true);
}

void UserInfoViewController::imagePickerControllerDidCancel(UIImagePickerController* picker)
{
    if (auto root = windowRoot())
        root->dismissViewControllerAnimated(true);
    else if (picker)
        picker->dismissViewControllerAnimated(true);
}

void UserInfoViewController::saveUserInfo(UIControl*)
{
    std::string nickname = nicknameField_->text();
    if (nickname.empty()) {
        ORBHelper::showProgressHud("昵称不能为空", false, true);
        return;
    }
    savingName_ = nickname;
    if (photo_) {
        uploadHud_ = ProgressHudHold(ORBHelper::showProgressHud("正在上传头像...", true, false));
        photo_->upload(kAvatarPhotoType);
        return;
    }
    post();
}

void UserInfoViewController::photoDidUpload(MessageSendPhoto& photo)
{
    if (&photo != photo_.get())
        return;
    // An avatar that did not reach the server is not saved as if it had:
    // the person sees the failure and may save again.
    if (photo.info()->url.empty()) {
        ORBHelper::showProgressHud("修改个人资料失败", false, true);
        return;
    }
    post();
}

void UserInfoViewController::post()
{
    platform::Dictionary params;
    params.set("userName", savingName_);
    if (photo_ && !photo_->info()->url.empty())
        params.set("file", photo_->info()->url);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kSaveProfileRequest,
        platform::Value(std::move(params)),
        weakCallback<UserInfoViewController>(
            [](UserInfoViewController&) { ORBHelper::showProgressHud("正在保存用户信息...", true, false); }),
        // The saved profile and the overlay's outcome do not depend on the
        // screen: a person who has left before the answer still gets the
        // new name and avatar on the account, and the overlay goes.
        weakCallbackAfter<UserInfoViewController>(
            [account = accountInfo_, name = savingName_](const platform::Value& reply) {
                if (account) {
                    account->name = name;
                    const auto& original = reply["original"];
                    const auto& thumb = reply["thumb"];
                    if (original.isString() && thumb.isString()) {
                        account->avatar = original.stringValue();
                        account->thumbAvatar = thumb.stringValue();
                    }
                }
                ORBHelper::showProgressHud("个人资料修改成功", false, true);
            },
            [](UserInfoViewController& screen, const platform::Value&) {
                screen.runAfter(account::kLeaveDelay, &UserInfoViewController::leave);
            }),
        [](const std::string&) { ORBHelper::showProgressHud("修改个人资料失败", false, true); });
}

void UserInfoViewController::leave() { account::popScreen(*this); }

void UserInfoViewController::backSettings(UIControl*) { account::popScreen(*this); }
