#include "platform/uikit/UIImagePickerController.h"

#include "platform/uikit/UIImage.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"

namespace {

bool cameraAvailable = false;

} // namespace

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
    auto label = std::make_shared<UILabel>(platform::Rect(0, 20, view->bounds().width(), 44));
    label->setText(sourceType_ == UIImagePickerControllerSourceTypeCamera ? "拍照" : "照片");
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setTextColor(platform::Color::whiteColor());
    label->setBackgroundColor(platform::Color::clearColor());
    view->addSubview(label);
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
