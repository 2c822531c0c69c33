#include "circle/album/AlbumListViewController.h"

#include "circle/album/BrowseBigPhoto.h"
#include "circle/album/CreateAlbumViewController.h"
#include "circle/album/UploadAlbumViewController.h"
#include "core/session/MyAccountInfo.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UISegmentedControl.h"
#include "ui/controls/ScaleButton.h"

namespace circle {

namespace {

    const platform::Color kSelectedSegmentColor = platform::Color::fromRGB255(26, 158, 143);

    bool isTeacher()
    {
        auto account = core::MyAccountInfo::currentAccount();
        return account && account->type == 1;
    }

} // namespace

AlbumListViewController::AlbumListViewController()
    : LocalPageViewController(std::string(kClassName), kPageFolder, kAlbumListPage)
{
}

void AlbumListViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    LocalPageViewController::declareLayoutBindings(bindings);
    bindings.outlet("segmentedControl", segmentedControl_);
    bindings.outlet("titleLbl", titleLbl_);
    bindings.outlet("rightItemBtn", rightItemBtn_);
    bindings.outlet("createAlbum", createAlbum_);
    bindings.outlet("uploadAlbum", uploadAlbum_);
    bindings.outlet("uploadAlbumBtn", uploadAlbumBtn_);
    bindings.action("createAlbum:", &AlbumListViewController::createAlbum);
    bindings.action("uploadAlbum:", &AlbumListViewController::uploadAlbum);
}

void AlbumListViewController::viewDidLoad()
{
    albumType_ = kAlbumListType;
    // Loads the album list, the page set when the screen was made.
    LocalPageViewController::viewDidLoad();
    setTitle(kTitle);

    segmentedControl_->removeAllSegments();
    segmentedControl_->insertSegmentWithTitle("相册", 0);
    segmentedControl_->insertSegmentWithTitle("最新", 1);
    segmentedControl_->setSelectedSegmentIndex(kAlbumListType);
    segmentedControl_->setTintColor(platform::Color::whiteColor());
    UISegmentedControlTitleAttributes normal;
    normal.font = platform::Font::boldSystemFont(18);
    normal.textColor = platform::Color::whiteColor();
    normal.shadowColor = platform::Color::grayColor();
    normal.shadowOffset = platform::Size(0, 1);
    segmentedControl_->setTitleTextAttributes(normal, UIControlStateNormal);
    // On the white fill of the chosen segment a white title would vanish.
    UISegmentedControlTitleAttributes selected;
    selected.font = platform::Font::boldSystemFont(18);
    selected.textColor = kSelectedSegmentColor;
    segmentedControl_->setTitleTextAttributes(selected, UIControlStateSelected);
    segmentedControl_->addTarget(self<AlbumListViewController>(), &AlbumListViewController::changeAlbumView,
        UIControlEventValueChanged);
    showFirstLevel();
}

void AlbumListViewController::loadWebView(int albumType)
{
    setPage(kPageFolder, albumType == kRecentPhotosType ? kRecentPhotosPage : kAlbumListPage);
    loadWebView();
}

// ---- Levels and buttons ---------------------------------------------------------------------

void AlbumListViewController::showFirstLevel()
{
    setTitleView(segmentedControl_);
    setRightItem(isTeacher() ? createAlbum_ : nullptr);
}

void AlbumListViewController::secondLevelDidChange(bool isSubView)
{
    if (!isSubView) {
        showFirstLevel();
        return;
    }
    titleLbl_->setText(albumTitle_);
    setTitleView(titleLbl_);
    if (albumType_ == kAlbumListType && isTeacher())
        setRightItem(uploadAlbum_);
}

void AlbumListViewController::changeAlbumView(UIControl*)
{
    if (segmentedControl_->selectedSegmentIndex() == kRecentPhotosType) {
        rightItemBtn_->setTitle(kUploadTitle, UIControlStateNormal);
        rightItemBtn_->titleLabel()->setFont(platform::Font::boldSystemFont(13));
        albumType_ = kRecentPhotosType;
    } else {
        rightItemBtn_->setTitle(kCreateTitle, UIControlStateNormal);
        rightItemBtn_->titleLabel()->setFont(platform::Font::boldSystemFont(15));
        albumType_ = kAlbumListType;
    }
    loadWebView(albumType_);
}

void AlbumListViewController::push(const std::shared_ptr<UIViewController>& screen)
{
    if (auto navigation = navigationController())
        navigation->pushViewController(screen, true);
}

void AlbumListViewController::observeOnce(const char* name)
{
    // Observing again replaces the earlier observation: one reload per success.
    stopObserving(name);
    observe(name, &AlbumListViewController::createAlbumSuccessed);
}

void AlbumListViewController::createAlbum(UIControl*)
{
    // Only a teacher's bar has the button; asked again all the same.
    if (!isTeacher())
        return;
    if (rightItemBtn_->currentTitle() == kCreateTitle) {
        push(std::make_shared<CreateAlbumViewController>());
        observeOnce(kCreateAlbumSuccessed);
    } else if (rightItemBtn_->currentTitle() == kUploadTitle) {
        push(std::make_shared<UploadAlbumViewController>());
        observeOnce(kUploadAlbumSuccessed);
    }
}

void AlbumListViewController::uploadAlbum(UIControl*)
{
    if (!isTeacher())
        return;
    push(std::make_shared<UploadAlbumViewController>());
    observeOnce(kUploadAlbumSuccessed);
}

void AlbumListViewController::createAlbumSuccessed(const platform::Notification&)
{
    // The page comes back at its first level, and so does the bar: a later
    // back press closes the screen instead of asking a page that has no
    // second level to leave it.
    setSubView(false);
    showFirstLevel();
    loadWebView(albumType_);
}

// ---- The page's calls ------------------------------------------------------------------------

bool AlbumListViewController::bridgePathRequested(const std::string& path, const NSURLRequest& request)
{
    if (path == kReturnPath) {
        closeScreen();
        return true;
    }
    if (platform::hasPrefix(path, kSecondViewPath)) {
        openSecondLevel(path);
        return true;
    }
    // The photo's address keeps its own query, which reads as the page address's.
    if (auto address = localpage::bridgeArgument(request, kBigPhotoPath)) {
        openBigPhoto(*address);
        return true;
    }
    return false;
}

void AlbumListViewController::openSecondLevel(const std::string& path)
{
    auto bar = path.find('|');
    // Without a title there is nothing to show in the bar: the call is ignored.
    if (bar == std::string::npos)
        return;
    albumTitle_ = path.substr(bar + 1);
    enterSecondLevel();
}

void AlbumListViewController::openBigPhoto(const std::string& address)
{
    auto photo = std::make_shared<BrowseBigPhoto>();
    photo->setUrl(address);
    push(photo);
}

void AlbumListViewController::pageDidFail(const platform::Error& error)
{
    webView()->loadHTMLString(errorPage(error.localizedDescription()), std::nullopt);
}

std::string AlbumListViewController::errorPage(const std::string& description)
{
    return platform::replaceAll(kErrorPage, "%@", platform::htmlEscaped(description));
}

} // namespace circle
