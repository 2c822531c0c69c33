#pragma once

#include "app/web/LocalPageViewController.h"
#include "ui/photobrowser/PhotoBrowser.h"

class BrowserPhoto;
class UIButton;

// Homework by class on a page, one assignment with its photos on the
// second level; a photo opens full screen. A teacher's right button opens
// the homework sender, and a homework sent brings the list back fresh.
class HomeWorkListViewController final : public LocalPageViewController, public PhotoBrowserDelegate {
public:
    ORB_CLASS_NAME(HomeWorkListViewController)

    static constexpr const char* kTeacherTitle = "布置作业";
    static constexpr const char* kOtherTitle = "作业查询";
    static constexpr const char* kSecondViewPath = "/homework/gotoSecondView";
    static constexpr const char* kAddPath = "/homework/add";
    static constexpr const char* kPhotoPrefix = "/browseBigPhoto/url:";
    static constexpr const char* kSenderClassName = "AssigningHomeworkViewController";
    static constexpr const char* kSentNotification = "kAssigningHomeworkSuccess";

    HomeWorkListViewController();

    void viewDidLoad() override;
    void assigningHomeWorkAction(UIControl* sender);

    unsigned numberOfPhotosInPhotoBrowser(PhotoBrowser*) override { return 1; }
    std::shared_ptr<BrowserPhotoProtocol> photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned) override;
    const std::shared_ptr<BrowserPhoto>& tempPhoto() const { return tempPhoto_; }

protected:
    bool bridgePathRequested(const std::string& path, const NSURLRequest& request) override;
    void secondLevelDidChange(bool isSubView) override;

private:
    void browsePhoto(const std::string& address);

    std::shared_ptr<BrowserPhoto> tempPhoto_;
    std::shared_ptr<UIButton> btnAssign_;
};
