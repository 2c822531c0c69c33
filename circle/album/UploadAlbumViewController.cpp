#include "circle/album/UploadAlbumViewController.h"

#include "circle/album/CreateAlbumViewController.h"
#include "circle/feed/CircleTargets.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIToolbar.h"
#include "ui/ORBHelper.h"

namespace circle {

namespace {

    const platform::Color kPlaceholderColor = platform::Color::lightGrayColor();

} // namespace

UploadAlbumViewController::UploadAlbumViewController()
    : BaseViewController(std::string(kClassName))
{
}

void UploadAlbumViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("albumView", albumView_);
    bindings.outlet("descTextView", descTextView_);
    bindings.outlet("fileContainer", fileContainer_);
    bindings.outlet("addImageBtn", addImageBtn_);
    bindings.outlet("btnSubmit", btnSubmit_);
    bindings.outlet("btnNewAlbum", btnNewAlbum_);
    bindings.action("uploadAlbumAction:", &UploadAlbumViewController::uploadAlbumAction);
    bindings.action("btnAddAlbumAction:", &UploadAlbumViewController::btnAddAlbumAction);
    bindings.optionalAction("createAlbum:", &UploadAlbumViewController::createAlbum);
}

void UploadAlbumViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setTitle(kTitle);
    auto me = self<UploadAlbumViewController>();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &UploadAlbumViewController::btnGoBackAction));

    descTextView_->setDelegate(std::weak_ptr<UITextViewDelegate>(me));
    auto toolbar = std::make_shared<UIToolbar>(platform::Rect(0, 0, kToolbarWidth, kToolbarHeight));
    toolbar->setBarStyle(UIBarStyleBlackTranslucent);
    auto doneItem = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemDone);
    doneItem->setTarget(me, &UploadAlbumViewController::done);
    toolbar->setItems({ UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace), doneItem });
    descTextView_->setInputAccessoryView(toolbar);
    showPlaceholder();

    const auto host = albumView_->bounds();
    pickerView_ = ORBPickerView::make(platform::Rect(0, 0, host.width(), host.height()));
    pickerView_->setBackgroundColor(platform::Color::clearColor());
    pickerView_->setHasBorder(false);
    pickerView_->setCDelegate(std::weak_ptr<ORBPickerViewDelegate>(me));
    pickerView_->setIsDownStyle(false);
    pickerView_->setTextAlignment(NSTextAlignmentRight);
    pickerView_->setPickerType(ORBPickerView::AlbumPicker);
    albumView_->addSubview(pickerView_);

    strip_ = AlbumPhotoStrip::make(fileContainer_, addImageBtn_);
    strip_->allUploaded = weakCallback<UploadAlbumViewController>(&UploadAlbumViewController::post);
    loadAlbumList();
}

void UploadAlbumViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, false);
}

// ---- The album chooser --------------------------------------------------------------------

void UploadAlbumViewController::loadAlbumList()
{
    platform::Dictionary params;
    params.set("page", 1);
    params.set("pageSize", kAlbumPageSize);
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        static_cast<int>(core::ORBRequestType::AlbumList), platform::Value(std::move(params)), nullptr,
        weakCallback<UploadAlbumViewController>(&UploadAlbumViewController::albumsArrived),
        weakCallback<UploadAlbumViewController>([](UploadAlbumViewController& screen, const std::string&) {
            screen.pickerView_->setText(kAlbumsFailedText);
        }));
}

void UploadAlbumViewController::albumsArrived(const platform::Value& result)
{
    allAlbumInfo_.clear();
    std::vector<std::shared_ptr<platform::Object>> rows;
    if (const auto* items = result.asArray()) {
        for (const auto& item : *items) {
            if (auto info = item.objectAs<core::AlbumInfo>()) {
                allAlbumInfo_.push_back(info);
                rows.push_back(info);
            }
        }
    }
    albumId_ = -1;
    if (allAlbumInfo_.empty()) {
        pickerView_->setListDatas({});
        pickerView_->setText(kNoAlbumsText);
        return;
    }
    // Nothing is chosen until the person confirms a row.
    auto none = std::make_shared<core::AlbumInfo>();
    none->albumId = -1;
    none->albumName = kChooseAlbumText;
    pickerView_->setDefaultValue(none);
    pickerView_->setListDatas(std::move(rows));
    pickerView_->setEnabled(true);
    pickerView_->setNeedsDisplay();
}

void UploadAlbumViewController::didSelectedPickerView(ORBPickerView*, long row)
{
    if (row >= 0 && std::size_t(row) < allAlbumInfo_.size())
        albumId_ = allAlbumInfo_[std::size_t(row)]->albumId;
}

void UploadAlbumViewController::createAlbum(UIControl*)
{
    auto navigation = navigationController();
    if (!navigation)
        return;
    navigation->pushViewController(std::make_shared<CreateAlbumViewController>(), true);
    // Once: a second album made from here must not load the list twice.
    stopObserving(kCreateAlbumSuccessed);
    observe(kCreateAlbumSuccessed, &UploadAlbumViewController::createAlbumSuccessed);
}

void UploadAlbumViewController::createAlbumSuccessed(const platform::Notification&)
{
    allAlbumInfo_.clear();
    albumId_ = -1;
    loadAlbumList();
}

// ---- The description ----------------------------------------------------------------------

void UploadAlbumViewController::showPlaceholder()
{
    descTextView_->setText(kPlaceholder);
    descTextView_->setTextColor(kPlaceholderColor);
}

bool UploadAlbumViewController::showsPlaceholder() const
{
    return descTextView_->text() == kPlaceholder && descTextView_->textColor() == kPlaceholderColor;
}

void UploadAlbumViewController::textViewDidBeginEditing(UITextView*)
{
    if (showsPlaceholder()) {
        descTextView_->setText("");
        descTextView_->setTextColor(platform::Color::blackColor());
    }
}

void UploadAlbumViewController::done()
{
    descTextView_->resignFirstResponder();
    if (descTextView_->text().empty())
        showPlaceholder();
}

void UploadAlbumViewController::btnAddAlbumAction(UIControl*) { strip_->addPhoto(); }

void UploadAlbumViewController::btnGoBackAction(UIControl*) { popViewController(); }

// ---- Submitting ---------------------------------------------------------------------------

void UploadAlbumViewController::uploadAlbumAction(UIControl*)
{
    if (isSending_ || strip_->isUploading())
        return;
    if (albumId_ == -1) {
        ORBHelper::showProgressHud(kWrongAlbumText, false, true);
        return;
    }
    done();
    // Nothing to add: a short hint, never the overlay that waits for uploads.
    if (!strip_->submit())
        ORBHelper::showProgressHud(kNoPhotoText, false, true);
}

void UploadAlbumViewController::post()
{
    if (isSending_)
        return;
    isSending_ = true;
    platform::Dictionary params;
    params.set("files", strip_->files());
    params.set("isCreate", false);
    params.set("description", showsPlaceholder() ? std::string() : descTextView_->text());
    params.set("albumId", albumId_);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        static_cast<int>(core::ORBRequestType::Album), platform::Value(std::move(params)),
        [] { ORBHelper::showProgressHud("正在更新相册...", true, false); },
        // The photos are in the album once the server says so, whether or
        // not the person is still here: the album page and the circle hear it.
        [added = weakCallback<UploadAlbumViewController>(&UploadAlbumViewController::photosAdded)](const platform::Value&) {
            ORBHelper::showProgressHud("相册更新成功", false, true);
            added();
            auto& center = platform::NotificationCenter::defaultCenter();
            center.post(kUploadAlbumSuccessed);
            center.post(kSendWeiboSuccess);
        },
        // The reason replaces the spinner on the window even when the person has left.
        weakCallbackAfter<UploadAlbumViewController>([](const std::string& message) { ORBHelper::showProgressHud(message, false, true); },
            [](UploadAlbumViewController& screen, const std::string&) { screen.isSending_ = false; }));
}

void UploadAlbumViewController::photosAdded() { runAfter(kCloseDelay, &UploadAlbumViewController::close); }

void UploadAlbumViewController::close() { popViewController(); }

} // namespace circle
