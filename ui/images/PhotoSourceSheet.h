#pragma once
// Where a photo to attach comes from: a sheet offering the camera (when the
// device has one) and the album, and the picker the person's choice opens.
// Screens that attach photos show the same sheet; each keeps its own album
// source and its own delegates.
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIImagePickerController.h"

#include <memory>
#include <optional>

class UIViewController;

class PhotoSourceSheet final {
public:
    static constexpr const char* kTitle = "选择一张图片";
    static constexpr const char* kCancel = "取消";
    static constexpr const char* kCamera = "立即拍照";
    static constexpr const char* kAlbum = "从相册中选取";

    explicit PhotoSourceSheet(UIImagePickerControllerSourceType albumSource)
        : albumSource_(albumSource)
    {
    }

    // Shows the sheet over the key window; its taps go to the delegate.
    void show(std::weak_ptr<UIActionSheetDelegate> delegate) const;
    // The source a tapped button of a sheet this shows stands for; none for
    // cancel and for the screen's other sheets.
    std::optional<UIImagePickerControllerSourceType> sourceFor(const UIActionSheet* sheet, long buttonIndex) const;
    // Presents a picker of that source from root (nothing without a root).
    static void presentPicker(UIViewController* root, UIImagePickerControllerSourceType source,
        std::weak_ptr<UIImagePickerControllerDelegate> delegate, bool allowsEditing = false);

private:
    // Tags no other sheet of a screen uses.
    static constexpr int kTagWithCamera = 0x50530001;
    static constexpr int kTagAlbumOnly = 0x50530002;
    UIImagePickerControllerSourceType albumSource_;
};
