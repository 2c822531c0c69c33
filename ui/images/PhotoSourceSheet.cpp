#include "ui/images/PhotoSourceSheet.h"

#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"

#include <string>
#include <vector>

void PhotoSourceSheet::show(std::weak_ptr<UIActionSheetDelegate> delegate) const
{
    bool camera = UIImagePickerController::isSourceTypeAvailable(UIImagePickerControllerSourceTypeCamera);
    auto buttons = camera ? std::vector<std::string> { kCamera, kAlbum } : std::vector<std::string> { kAlbum };
    auto sheet = std::make_shared<UIActionSheet>(kTitle, std::move(delegate), std::string(kCancel), std::nullopt, buttons);
    sheet->setTag(camera ? kTagWithCamera : kTagAlbumOnly);
    sheet->showInView(UIWindow::keyWindow());
}

std::optional<UIImagePickerControllerSourceType> PhotoSourceSheet::sourceFor(
    const UIActionSheet* sheet, long buttonIndex) const
{
    if (!sheet)
        return std::nullopt;
    if (sheet->tag() == kTagWithCamera && buttonIndex == 0)
        return UIImagePickerControllerSourceTypeCamera;
    if ((sheet->tag() == kTagWithCamera && buttonIndex == 1) || (sheet->tag() == kTagAlbumOnly && buttonIndex == 0))
        return albumSource_;
    return std::nullopt;
}

void PhotoSourceSheet::presentPicker(UIViewController* root, UIImagePickerControllerSourceType source,
    std::weak_ptr<UIImagePickerControllerDelegate> delegate, bool allowsEditing)
{
    if (!root)
        return;
    auto picker = std::make_shared<UIImagePickerController>();
    picker->setSourceType(source);
    picker->setAllowsEditing(allowsEditing);
    picker->setDelegate(std::move(delegate));
    root->presentViewController(picker, true);
}
