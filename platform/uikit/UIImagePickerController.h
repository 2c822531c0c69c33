#pragma once

#include "platform/graphics/Geometry.h"
#include "platform/os/Value.h"
#include "platform/uikit/UIViewController.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIImagePickerController;
class UILabel;
class UITableView;

enum UIImagePickerControllerSourceType {
    UIImagePickerControllerSourceTypePhotoLibrary = 0,
    UIImagePickerControllerSourceTypeCamera = 1,
    UIImagePickerControllerSourceTypeSavedPhotosAlbum = 2,
};

// The media-info key of the picture as taken or chosen (a UIImage).
inline constexpr const char* UIImagePickerControllerOriginalImage = "UIImagePickerControllerOriginalImage";
// With editing on: the square the person cut from it (a UIImage), and where
// that square lies in the original, in its pixels (a dictionary of "x", "y",
// "width" and "height").
inline constexpr const char* UIImagePickerControllerEditedImage = "UIImagePickerControllerEditedImage";
inline constexpr const char* UIImagePickerControllerCropRect = "UIImagePickerControllerCropRect";
inline constexpr const char* UIImagePickerControllerMediaType = "UIImagePickerControllerMediaType";

class UIImagePickerControllerDelegate {
public:
    virtual ~UIImagePickerControllerDelegate() = default;
    virtual void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController*, const platform::Dictionary&) { }
    virtual void imagePickerControllerDidCancel(UIImagePickerController*) { }
};

// The system's photo picker, presented modally. There is no camera here
// (unless a test says there is). The album is the desktop user's Pictures
// folder: for the library sources the picker's screen lists its PNG and JPEG
// files by name with a thumbnail, and a tap on one picks it. A test (or the
// desktop host) may also hand over any image file with pickImageAtPath, or
// cancel. The delegate hears the picture under
// UIImagePickerControllerOriginalImage; the picker never dismisses itself,
// as on the phone.
//
// With editing allowed, a chosen picture goes to the crop screen first: the
// picture under a square frame as wide as the screen, showing at first the
// largest square in its middle. A finger (or the mouse) drags the picture
// about under the frame, "+" and "−" (or the mouse wheel) zoom it, and the
// frame always stays on the picture. "取消" goes back to choosing; "选取"
// hands over the original together with the square under the frame
// (UIImagePickerControllerEditedImage, at most kEditedImageSide pixels a
// side) and its rectangle (UIImagePickerControllerCropRect).
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

    // The person chose this picture file: the delegate hears it, or with
    // editing on the crop screen shows it. False (and nothing done) when the
    // file is not a picture.
    bool pickImageAtPath(const std::string& path);
    // The same with a picture already decoded.
    bool pickImage(const std::shared_ptr<UIImage>& image);
    // The person tapped cancel.
    void cancel();

    // The desktop user's Pictures folder: XDG_PICTURES_DIR of user-dirs.dirs
    // in $XDG_CONFIG_HOME (when set, else ~/.config), "$HOME/..." expanded;
    // else ~/Pictures. Read anew at each call.
    static std::string picturesDirectory();
    // The PNG and JPEG files directly in the folder (told by their first
    // bytes, so a misnamed text file is not one; hidden files and folders
    // left out), full paths sorted by file name. Empty when it cannot be read.
    static std::vector<std::string> listPictures(const std::string& directory);

    // The album's pictures: listed from picturesDirectory() on first use and
    // again by reloadAlbum (which also refreshes the list screen).
    const std::vector<std::string>& albumImagePaths();
    void reloadAlbum();
    // The list screen of the album (nullptr before the view loads, and for the camera).
    std::shared_ptr<UITableView> albumTableView() const { return albumTable_; }
    // The person chose the album's picture at this index: as pickImageAtPath.
    bool pickAlbumImageAtIndex(std::size_t index);

    // ---- The crop screen (editing allowed) ------------------------------------
    static constexpr int kEditedImageSide = 640;
    // Each step of "+" (or notch of the wheel) shows the frame's contents this much larger.
    static constexpr double kZoomStep = 1.25;
    // The most the picture is enlarged beyond showing its largest square.
    static constexpr double kMaxZoom = 4;
    // The picture waiting for its crop; nullptr when none is (the crop screen is not up).
    const std::shared_ptr<UIImage>& croppingImage() const { return cropping_; }
    // The square under the frame, in the picture's pixels.
    platform::Rect cropRect() const;
    // How much larger than its largest square the picture shows (1 to kMaxZoom).
    double cropZoom() const { return zoom_; }
    // The picture moved under the frame by a finger's travel in points (it
    // follows the finger), as far as the frame stays on it.
    void moveCrop(double dx, double dy);
    // Zoomed about the frame's centre by the factor (above 1: closer), within
    // the limits; false when it was at the limit already.
    bool zoomCrop(double factor);
    // "选取": the delegate hears the original, the square and its rectangle.
    // False when no picture waits.
    bool useCrop();
    // "取消" of the crop screen: back to choosing.
    void cancelCrop();
    // The crop screen's view while it shows (nullptr otherwise, and before the picker's view loads).
    std::shared_ptr<UIView> cropView() const;
    // The frame's square in the crop screen's coordinates.
    platform::Rect cropFrame() const;

private:
    class AlbumList;
    class CropScreen;
    void deliver(const std::shared_ptr<UIImage>& original, const std::shared_ptr<UIImage>& edited,
        const std::optional<platform::Rect>& cropRect);
    void showCropScreen();
    // The crop's side and centre in pixels, kept so that the square lies on the picture.
    double cropSide() const;
    void clampCrop();
    // The square as it stands, in fractions of pixels (the screen's drawing).
    platform::Rect exactCrop() const;
    UIImagePickerControllerSourceType sourceType_ = UIImagePickerControllerSourceTypePhotoLibrary;
    bool allowsEditing_ = false;
    std::weak_ptr<UIImagePickerControllerDelegate> delegate_;
    std::vector<std::string> album_;
    bool albumRead_ = false;
    std::shared_ptr<AlbumList> albumList_;
    std::shared_ptr<UITableView> albumTable_;
    std::shared_ptr<UIImage> cropping_;
    double zoom_ = 1;
    platform::Point cropCentre_;
    std::shared_ptr<CropScreen> cropScreen_;
};
