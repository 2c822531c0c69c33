#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/ClassInfo.h"
#include "core/model/WeiboInfo.h"
#include "messaging/send/MessageSendPhoto.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIImagePickerController.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "ui/photobrowser/PhotoBrowser.h"

#include <memory>
#include <string>
#include <vector>

class ProgressOverlay;
class UIButton;
class UIControl;
class UILabel;
class UIScrollView;

namespace circle {

// "写动态": a class-circle post of at most 140 length units, up to six
// photos and the audience it is published to, chosen from the kinds the
// server lists. On send every photo is uploaded on its own, all at once;
// when each has reported the post goes out with the uploaded addresses, the
// feed is told once, "发送成功" shows and the screen closes 1.5 s later.
// Photos that failed are offered again ("重新提交"), alone: the others
// already hold their addresses. While the keyboard (or the scope picker) is
// up, the photos and the add button ride on it in one row and the text
// panel, shorter, ends above them; the rest layout returns when it goes.
class WriteWeiboViewController final : public BaseViewController,
                                       public UITextViewDelegate,
                                       public UITextFieldDelegate,
                                       public UIPickerViewDataSource,
                                       public UIPickerViewDelegate,
                                       public UIAlertViewDelegate,
                                       public UIActionSheetDelegate,
                                       public UIImagePickerControllerDelegate,
                                       public MessageSendPhotoDelegate,
                                       public PhotoBrowserDelegate {
public:
    ORB_CLASS_NAME(WriteWeiboViewController)

    static constexpr const char* kTitle = "写动态";
    static constexpr const char* kPlaceholder = "输入动态内容...";
    static constexpr int kScopesRequest = 24;
    static constexpr int kPostRequest = 15;
    static constexpr int kMaxLength = 140;
    static constexpr int kPhotoLimit = 6;
    // Post photos go to the "weibopic" folder of the upload service.
    static constexpr int kWeiboPhotoType = 2;
    // Until the person picks, a post goes to the school's teachers.
    static constexpr int kDefaultScopeId = 1;
    static constexpr const char* kDefaultScopeName = "本校教师";
    static constexpr double kClosePause = 1.5;
    static constexpr double kHintPause = 1.6;
    static constexpr double kKeyboardDelay = 0.5;
    static constexpr double kPickerHeight = 216;
    static constexpr double kKeyboardFallbackDuration = 0.25;
    static constexpr int kAlertUploadFailed = 3;

    WriteWeiboViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Layout actions.
    void btnSendWeiboAction(UIControl* sender);
    void btnOpenAblumAction(UIControl* sender);
    void btnCloseTouchUpInside(UIControl* sender);
    void btnGoBackAction(UIControl* sender);

    void refreshFileContainer();
    void post();

    // Text view, scope field and picker.
    void textViewDidChange(UITextView* textView) override;
    bool textFieldShouldBeginEditing(UITextField* textField) override;
    void textFieldDidBeginEditing(UITextField* textField) override;
    void textFieldDidEndEditing(UITextField* textField) override;
    long numberOfComponentsInPickerView(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override { return long(classListName_.size()); }
    std::string titleForRow(UIPickerView*, long row, long component) override;
    void didSelectRow(UIPickerView*, long row, long component) override;

    // Photos.
    void actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex) override;
    void imagePickerControllerDidFinishPickingMediaWithInfo(UIImagePickerController* picker, const platform::Dictionary& info) override;
    void imagePickerControllerDidCancel(UIImagePickerController* picker) override;
    unsigned numberOfPhotosInPhotoBrowser(PhotoBrowser*) override { return unsigned(photos_.size()); }
    std::shared_ptr<BrowserPhotoProtocol> photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index) override;

    void alertViewClickedButton(UIAlertView* alert, long buttonIndex) override;

    // What tests and the feed look at.
    const std::shared_ptr<core::WeiboInfo>& weiboInfo() const { return weiboInfo_; }
    const std::shared_ptr<core::ClassInfo>& classInfo() const { return classInfo_; }
    const std::vector<std::shared_ptr<core::ClassInfo>>& classList() const { return classList_; }
    const std::shared_ptr<UIPickerView>& receiverPickerview() const { return receiverPickerview_; }
    int photoCount() const { return photoCount_; }
    bool isLoading() const { return isLoading_; }

private:
    void loadScopes();
    void showKeyboard();
    void showHint(const std::string& text);
    void showSpinner(const std::string& text);
    void hideOwnOverlay();
    int remaining() const;
    void uploadDidReport();
    void removeTile(MessageSendPhoto& tile);
    void showPhoto(MessageSendPhoto& tile);
    std::vector<std::shared_ptr<MessageSendPhoto>> tiles() const;
    void close();
    // Where the screen's views stand: at rest, or packed above a keyboard
    // (or the scope picker in its place).
    struct Arrangement {
        platform::Rect edit;
        platform::Rect text;
        platform::Rect count;
        platform::Rect close;
        platform::Rect photos;
        platform::Rect strip;
        platform::Rect empty;
        platform::Rect bar;
        platform::Rect add;
        double closeAlpha = 0;
        double addTitleAlpha = 1;
    };
    // The views packed above a keyboard whose top edge is at `keyboardTop`
    // in the view's coordinates.
    Arrangement arrangementAbove(double keyboardTop) const;
    void arrange(const Arrangement& arrangement);
    // The views' frames as they stand now become the resting ones.
    void takeResting();
    // The strip scrolls over exactly its tiles after its width changed.
    void fitStripContent();
    void keyboardWillShow(const platform::Notification& notification);
    void keyboardWillHide(const platform::Notification& notification);

    std::shared_ptr<core::WeiboInfo> weiboInfo_ = std::make_shared<core::WeiboInfo>();
    std::shared_ptr<core::ClassInfo> classInfo_;
    std::vector<std::shared_ptr<core::ClassInfo>> classList_;
    std::vector<std::string> classListName_;
    std::vector<std::shared_ptr<BrowserPhotoProtocol>> photos_;
    int photoCount_ = 0;
    int successCount_ = 0;
    bool isLoading_ = false;
    // A tile that asked to go lives until its own call has returned.
    std::shared_ptr<UIView> removedTile_;

    std::shared_ptr<UIView> editView_;
    std::shared_ptr<UITextView> edText_;
    std::shared_ptr<UILabel> holdTextLbl_;
    std::shared_ptr<UIView> remainView_;
    std::shared_ptr<UILabel> labRemainNum_;
    std::shared_ptr<UITextField> edBrowseScope_;
    std::shared_ptr<UIView> photoView_;
    std::shared_ptr<UIScrollView> photoContainer_;
    std::shared_ptr<UILabel> lblPhotoEmpty_;
    std::shared_ptr<UIView> bottomView_;
    std::shared_ptr<UIButton> btnAddPhoto_;
    std::shared_ptr<UIButton> btnAddPhotoTitle_;
    std::shared_ptr<UIButton> btnClose_;
    std::shared_ptr<UIButton> btnSend_;
    std::shared_ptr<UIPickerView> receiverPickerview_;
    std::shared_ptr<ProgressOverlay> hud_;
    // Taken as the keyboard comes up.
    Arrangement resting_;
    bool keyboardUp_ = false;
};

} // namespace circle
