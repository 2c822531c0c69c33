#pragma once

#include "platform/os/Value.h"
#include "platform/uikit/UIViewController.h"

#include <cstddef>
#include <memory>
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

private:
    class AlbumList;
    UIImagePickerControllerSourceType sourceType_ = UIImagePickerControllerSourceTypePhotoLibrary;
    bool allowsEditing_ = false;
    std::weak_ptr<UIImagePickerControllerDelegate> delegate_;
    std::vector<std::string> album_;
    bool albumRead_ = false;
    std::shared_ptr<AlbumList> albumList_;
    std::shared_ptr<UITableView> albumTable_;
};
