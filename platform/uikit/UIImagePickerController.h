#pragma once

#include "platform/os/Value.h"
#include "platform/uikit/UIViewController.h"

#include <memory>
#include <string>

class UIImagePickerController;
class UILabel;

enum UIImagePickerControllerSourceType {
    UIImagePickerControllerSourceTypePhotoLibrary = 0,
    UIImagePickerControllerSourceTypeCamera = 1,
    UIImagePickerControllerSourceTypeSavedPhotosAlbum = 2,
};

// The media-info key of the picture as taken or chosen (a UIImage).
inline constexpr const char* UIImagePickerControllerOriginalImage = "UIImagePickerControllerOriginalImage";
inline constexpr const char* UIImagePickerControllerMediaType = "UIImagePickerControllerMediaType";

class UIImagePickerControllerDelegate {
public:
    virtual ~UIImagePickerControllerDelegate() = default;
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController*, const platform::Dictionary&) { }
    virtual void imagePickerControllerDidCancel(UIImagePickerController*) { }
};

// The system's photo picker, presented modally. There is no camera here
// (unless a test says there is) and no album of its own: the person at the
// other end (a test, or the desktop host) hands the picker an image file
// with pickImageAtPath, or cancels. The delegate hears the picture under
// UIImagePickerControllerOriginalImage; the picker never dismisses itself,
// as on the phone.
class UIImagePickerController final : public UIViewController {
public:
    ORB_CLASS_NAME(UIImagePickerController)

    UIImagePickerController();

    static bool isSourceTypeAvailable(UIImagePickerControllerSourceType type);
    // Whether the device has a camera (none by default).
    static void setCameraAvailable(bool available);

    UIImagePickerControllerSourceType sourceType() const { return sourceType_; }
    void setSourceType(UIImagePickerControllerSourceType type) { sourceType_ = type; }
    bool allowsEditing() const { return allowsEditing_; }
    void setAllowsEditing(bool allows) { allowsEditing_ = allows; }
    std::shared_ptr<UIImagePickerControllerDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UIImagePickerControllerDelegate> delegate) { delegate_ = std::move(delegate); }

    void loadView() override;

    // The person chose this picture file: the delegate hears it. False (and
    // nothing said) when the file is not a picture.
    bool pickImageAtPath(const std::string& path);
    // The same with a picture already decoded.
    bool pickImage(const std::shared_ptr<UIImage>& image);
    // The person tapped cancel.
    void cancel();

private:
    UIImagePickerControllerSourceType sourceType_ = UIImagePickerControllerSourceTypePhotoLibrary;
    bool allowsEditing_ = false;
    std::weak_ptr<UIImagePickerControllerDelegate> delegate_;
};
