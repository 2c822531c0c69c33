#pragma once

#include "app/web/LocalPageViewController.h"

#include <memory>
#include <string>

class ScaleButton;
class UISegmentedControl;

namespace circle {

// "班级相册": two pages of the application's own, the album list and the
// newest photos, chosen by the segments in the bar. The pages fetch what
// they show themselves; they call back through their document's address:
// "/photoAlbum/gotoSecondView|<title>" when they show one album,
// "/browseBigPhoto/url:<address>" to show one photo large, "/Main/return"
// to close. A teacher's right button creates an album (album list) or adds
// photos (newest photos, or an album that is open); the page loads again
// once that has succeeded.
class AlbumListViewController final : public LocalPageViewController {
public:
    ORB_CLASS_NAME(AlbumListViewController)

    static constexpr const char* kTitle = "班级相册";
    static constexpr const char* kPageFolder = "photoAlbum";
    static constexpr const char* kAlbumListPage = "albumList";
    static constexpr const char* kRecentPhotosPage = "recentPhotos";
    static constexpr const char* kCreateTitle = "新 建";
    static constexpr const char* kUploadTitle = "传照片";
    static constexpr const char* kSecondViewPath = "/photoAlbum/gotoSecondView";
    static constexpr const char* kBigPhotoPath = "/browseBigPhoto/url:";
    static constexpr const char* kErrorPage
        = "<html><center><font size=+5 color='red'>An error occurred:<br>%@</font></center></html>";
    static constexpr int kAlbumListType = 0;
    static constexpr int kRecentPhotosType = 1;

    AlbumListViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;

    // ---- Actions ---------------------------------------------------------------------
    using LocalPageViewController::loadWebView;
    // Loads the page of that kind: 1 the newest photos, else the album list.
    void loadWebView(int albumType);
    void changeAlbumView(UIControl* sender);
    void createAlbum(UIControl* sender);
    void uploadAlbum(UIControl* sender);
    void createAlbumSuccessed(const platform::Notification& notification);

    // The error page for a failed load, the description written as text.
    static std::string errorPage(const std::string& description);

protected:
    bool bridgePathRequested(const std::string& path, const NSURLRequest& request) override;
    void secondLevelDidChange(bool isSubView) override;
    void pageDidFail(const platform::Error& error) override;

private:
    void showFirstLevel();
    void openSecondLevel(const std::string& path);
    void openBigPhoto(const std::string& address);
    void push(const std::shared_ptr<UIViewController>& screen);
    // One subscription per notification, however often the screens are opened.
    void observeOnce(const char* name);

    int albumType_ = kAlbumListType;
    std::string albumTitle_;
    bool observesCreate_ = false;
    bool observesUpload_ = false;

    std::shared_ptr<UISegmentedControl> segmentedControl_;
    std::shared_ptr<UILabel> titleLbl_;
    std::shared_ptr<ScaleButton> rightItemBtn_;
    std::shared_ptr<UIView> createAlbum_;
    std::shared_ptr<UIView> uploadAlbum_;
    std::shared_ptr<ScaleButton> uploadAlbumBtn_;
};

} // namespace circle
