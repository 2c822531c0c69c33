#include "circle/album/CreateAlbumViewController.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIToolbar.h"
#include "ui/ORBHelper.h"

namespace circle {

CreateAlbumViewController::CreateAlbumViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle(kTitle);
}

void CreateAlbumViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("txtEdAlbumName", txtEdAlbumName_);
    bindings.outlet("txtEdAlbumDescibe", txtEdAlbumDescibe_);
    bindings.outlet("classView", classView_);
    bindings.outlet("fileContainer", fileContainer_);
    bindings.outlet("addImageBtn", addImageBtn_);
    bindings.outlet("btnSubmit", btnSubmit_);
    bindings.action("btnCreateAlbum:", &CreateAlbumViewController::btnCreateAlbum);
    bindings.action("btnAddAlbumAction:", &CreateAlbumViewController::btnAddAlbumAction);
}

void CreateAlbumViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<CreateAlbumViewController>();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &CreateAlbumViewController::btnGoBackAction));

    for (const auto& field : { txtEdAlbumName_, txtEdAlbumDescibe_ }) {
        field->setDelegate(std::weak_ptr<UITextFieldDelegate>(me));
        auto toolbar = std::make_shared<UIToolbar>(platform::Rect(0, 0, kToolbarWidth, kToolbarHeight));
        toolbar->setBarStyle(UIBarStyleBlackTranslucent);
        auto doneItem = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemDone);
        doneItem->setTarget(me, &CreateAlbumViewController::done);
        toolbar->setItems({ UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace), doneItem });
        field->setInputAccessoryView(toolbar);
    }
    txtEdAlbumName_->setReturnKeyType(UIReturnKeyNext);
    txtEdAlbumDescibe_->setReturnKeyType(UIReturnKeyDone);

    const auto host = classView_->bounds();
    pickerView_ = ORBPickerView::make(platform::Rect(0, 0, host.width(), host.height()));
    pickerView_->setBackgroundColor(platform::Color::clearColor());
    pickerView_->setHasBorder(false);
    pickerView_->setCDelegate(std::weak_ptr<ORBPickerViewDelegate>(me));
    classView_->addSubview(pickerView_);

    strip_ = AlbumPhotoStrip::make(fileContainer_, addImageBtn_);
    strip_->allUploaded = weakCallback<CreateAlbumViewController>(&CreateAlbumViewController::post);
    loadClassList();
}

void CreateAlbumViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, false);
}

// ---- The class chooser ------------------------------------------------------------------

void CreateAlbumViewController::loadClassList()
{
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        static_cast<int>(core::ORBRequestType::ClassList), platform::Value(platform::Dictionary()),
        weakCallback<CreateAlbumViewController>([](CreateAlbumViewController& screen) {
            screen.pickerView_->setText(kLoadingClassesText);
            screen.pickerView_->setEnabled(false);
        }),
        weakCallback<CreateAlbumViewController>(&CreateAlbumViewController::classesArrived),
        weakCallback<CreateAlbumViewController>([](CreateAlbumViewController& screen, const std::string&) {
            screen.pickerView_->setText(kClassesFailedText);
        }));
}

void CreateAlbumViewController::classesArrived(const platform::Value& result)
{
    allClassesInfo_.clear();
    std::vector<std::shared_ptr<platform::Object>> rows;
    if (const auto* items = result.asArray()) {
        for (const auto& item : *items) {
            if (auto info = item.objectAs<core::ClassInfo>()) {
                allClassesInfo_.push_back(info);
                rows.push_back(info);
            }
        }
    }
    if (allClassesInfo_.empty()) {
        pickerView_->setText(kNoClassesText);
        return;
    }
    classId_ = allClassesInfo_.front()->classId;
    pickerView_->setListDatas(std::move(rows));
    pickerView_->setPickerType(ORBPickerView::ClassPicker);
    pickerView_->setEnabled(true);
    pickerView_->setNeedsDisplay();
}

void CreateAlbumViewController::didSelectedPickerView(ORBPickerView*, long row)
{
    if (row >= 0 && std::size_t(row) < allClassesInfo_.size())
        classId_ = allClassesInfo_[std::size_t(row)]->classId;
}

// ---- Fields -----------------------------------------------------------------------------

bool CreateAlbumViewController::textFieldShouldReturn(UITextField* field)
{
    if (field == txtEdAlbumName_.get())
        txtEdAlbumDescibe_->becomeFirstResponder();
    else
        field->resignFirstResponder();
    return true;
}

void CreateAlbumViewController::done()
{
    txtEdAlbumName_->resignFirstResponder();
    txtEdAlbumDescibe_->resignFirstResponder();
}

void CreateAlbumViewController::btnAddAlbumAction(UIControl*) { strip_->addPhoto(); }

void CreateAlbumViewController::btnGoBackAction(UIControl*) { popViewController(); }

// ---- Submitting ---------------------------------------------------------------------------

void CreateAlbumViewController::warn(const std::string& message)
{
    std::make_shared<UIAlertView>("警告", message, std::weak_ptr<UIAlertViewDelegate>(), std::string("确定"))->show();
}

void CreateAlbumViewController::btnCreateAlbum(UIControl*)
{
    if (isSending_ || strip_->isUploading())
        return;
    const std::string& name = txtEdAlbumName_->text();
    if (name.empty())
        return warn("相册名称不能为空!");
    if (platform::utf16Length(name) > std::size_t(kNameLimit))
        return warn("相册名称不能超过" + std::to_string(kNameLimit) + "个字!");
    if (platform::utf16Length(txtEdAlbumDescibe_->text()) > std::size_t(kDescriptionLimit))
        return warn("相册描述不能超过" + std::to_string(kDescriptionLimit) + "个字!");
    // An album of no class would be lost to every class's list.
    if (classId_ < 0)
        return warn(kNoClassText);
    done();
    if (strip_->photoCount() == 0) {
        post();
        ORBHelper::showProgressHud(AlbumPhotoStrip::kSubmittingText, true, false);
        return;
    }
    strip_->submit();
}

void CreateAlbumViewController::post()
{
    if (isSending_)
        return;
    isSending_ = true;
    platform::Dictionary params;
    params.set("files", strip_->files());
    params.set("isCreate", true);
    params.set("ablum", txtEdAlbumName_->text());
    params.set("description", txtEdAlbumDescibe_->text());
    params.set("belongto", classId_);
    std::weak_ptr<platform::Object> sender = self<CreateAlbumViewController>();
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        static_cast<int>(core::ORBRequestType::Album), platform::Value(std::move(params)),
        [] { ORBHelper::showProgressHud("正在创建相册...", false, false); },
        // The album exists once the server says so, whether or not the
        // person is still on this screen: the pages that list albums hear it.
        [sender, created = weakCallback<CreateAlbumViewController>(&CreateAlbumViewController::albumCreated)](
            const platform::Value&) {
            ORBHelper::showProgressHud("相册创建成功", false, true);
            created();
            platform::NotificationCenter::defaultCenter().post(kCreateAlbumSuccessed, platform::Value(sender.lock()));
        },
        // The reason replaces the spinner on the window even when the person has left.
        weakCallbackAfter<CreateAlbumViewController>([](const std::string& message) { ORBHelper::showProgressHud(message, false, true); },
            [](CreateAlbumViewController& screen, const std::string&) { screen.isSending_ = false; }));
}

void CreateAlbumViewController::albumCreated() { runAfter(kCloseDelay, &CreateAlbumViewController::close); }

void CreateAlbumViewController::close() { popViewController(); }

} // namespace circle
