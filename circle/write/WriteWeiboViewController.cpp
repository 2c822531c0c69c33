#include "circle/write/WriteWeiboViewController.h"

#include "circle/feed/CircleTargets.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/util/ORBHelper.h"
#include "platform/os/Log.h"
#include "platform/os/NotificationCenter.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWindow.h"
#include "ui/images/PhotoSourceSheet.h"
#include "ui/ORBHelper.h"
#include "ui/overlay/ProgressOverlay.h"
#include "ui/photobrowser/BrowserPhoto.h"

#include <algorithm>

namespace circle {

namespace {

    const platform::Color kCountColor = platform::Color::fromRGB255(150, 150, 150);
    const platform::Color kTextColor = platform::Color::fromRGB255(46, 53, 64);
    // The scope field's frame: white at 0.96, 80 % opaque.
    const platform::Color kScopeBorderColor = platform::Color(0.96, 0.96, 0.96, 0.8);
    constexpr double kScopeBorderWidth = 1;
    constexpr double kScopeCornerRadius = 4;
    constexpr double kScopeMargin = 10;
    constexpr double kTileGap = 6;
    // With the keyboard up the photo row sits on it: the add button in a cell
    // of its own at the left, the tiles beside it with this much room around.
    constexpr double kRowInset = 4;
    constexpr double kAddCellWidth = 56;
    // The text panel keeps this much room above the photo row.
    constexpr double kEditGap = 6;
    // The close button (at the top) and the count (at the bottom) stand in a
    // column at the panel's right; the text view ends this far beside it.
    constexpr double kColumnMargin = 10;
    constexpr double kCloseTop = 6;
    constexpr double kCountBottom = 4;
    constexpr double kColumnGap = 4;

    double keyboardDuration(const platform::Value& duration, double fallback)
    {
        const double seconds = duration.isNull() ? 0 : duration.doubleValue();
        return seconds > 0 ? seconds : fallback;
    }

    std::shared_ptr<UIViewController> presentingRoot()
    {
        auto window = UIWindow::keyWindow();
        return window ? std::dynamic_pointer_cast<UIViewController>(window->rootViewController()) : nullptr;
    }

    void alert(const std::string& title, const std::string& message)
    {
        std::make_shared<UIAlertView>(title, message, std::weak_ptr<UIAlertViewDelegate>(), std::string("确定"))->show();
    }

// Where a photo comes from on this screen.
const PhotoSourceSheet& photoSheet()
{
    static const PhotoSourceSheet sheet(UIImagePickerControllerSourceTypeSavedPhotosAlbum);
    return sheet;
}

} // namespace

WriteWeiboViewController::WriteWeiboViewController()
    : BaseViewController(std::string(kClassName))
{
    auto scope = std::make_shared<core::ClassInfo>();
    scope->classId = kDefaultScopeId;
    scope->className = kDefaultScopeName;
    classInfo_ = std::move(scope);
    setTitle(kTitle);
}

void WriteWeiboViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("editView", editView_);
    bindings.outlet("edText", edText_);
    bindings.outlet("holdTextLbl", holdTextLbl_);
    bindings.outlet("remainView", remainView_);
    bindings.outlet("labRemainNum", labRemainNum_);
    bindings.outlet("edBrowseScope", edBrowseScope_);
    bindings.outlet("photoView", photoView_);
    bindings.outlet("photoContainer", photoContainer_);
    bindings.outlet("lblPhotoEmpty", lblPhotoEmpty_);
    bindings.outlet("bottomView", bottomView_);
    bindings.outlet("btnAddPhoto", btnAddPhoto_);
    bindings.outlet("btnAddPhotoTitle", btnAddPhotoTitle_);
    bindings.outlet("btnClose", btnClose_);
    bindings.outlet("btnSend", btnSend_);
    bindings.action("btnSendWeiboAction:", &WriteWeiboViewController::btnSendWeiboAction);
    bindings.action("btnOpenAblumAction:", &WriteWeiboViewController::btnOpenAblumAction);
    bindings.action("btnCloseTouchUpInside:", &WriteWeiboViewController::btnCloseTouchUpInside);
}

void WriteWeiboViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<WriteWeiboViewController>();
    setTitle(kTitle);
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &WriteWeiboViewController::btnGoBackAction));
    setRightItem(btnSend_);

    holdTextLbl_->setText(kPlaceholder);
    edText_->setFont(UIFont::systemFont(16));
    edText_->setTextColor(kTextColor);
    edText_->setDelegate(std::weak_ptr<UITextViewDelegate>(me));

    auto border = edBrowseScope_->layer();
    border->setBorderWidth(kScopeBorderWidth);
    border->setCornerRadius(kScopeCornerRadius);
    border->setBorderColor(kScopeBorderColor);
    edBrowseScope_->setLeftView(std::make_shared<UIView>(platform::Rect(0, 0, kScopeMargin, kScopeMargin)));
    edBrowseScope_->setLeftViewMode(UITextFieldViewModeAlways);
    auto arrow = std::make_shared<UIImageView>(UIImage::imageNamed("public_down_icon"));
    arrow->setFrame(platform::Rect(0, 0, 28, 10));
    arrow->setContentMode(UIViewContentModeCenter);
    edBrowseScope_->setRightView(arrow);
    edBrowseScope_->setRightViewMode(UITextFieldViewModeAlways);
    edBrowseScope_->setDelegate(std::weak_ptr<UITextFieldDelegate>(me));

    receiverPickerview_ = std::make_shared<UIPickerView>(platform::Rect(0, 0, view()->bounds().width(), kPickerHeight));
    receiverPickerview_->setBackgroundColor(platform::Color::whiteColor());
    receiverPickerview_->setShowsSelectionIndicator(true);
    receiverPickerview_->setDataSource(std::weak_ptr<UIPickerViewDataSource>(me));
    receiverPickerview_->setDelegate(std::weak_ptr<UIPickerViewDelegate>(me));
    edBrowseScope_->setInputView(receiverPickerview_);

    hud_ = std::make_shared<ProgressOverlay>(view()->bounds());
    hud_->setAnimationType(ProgressOverlayAnimationZoom);
    view()->addSubview(hud_);

    messageSendPhotoDidRemove = weakCallback<WriteWeiboViewController>(
        [](WriteWeiboViewController& screen, MessageSendPhoto& tile) { screen.removeTile(tile); });
    messageSendPhotoDidShow = weakCallback<WriteWeiboViewController>(
        [](WriteWeiboViewController& screen, MessageSendPhoto& tile) { screen.showPhoto(tile); });
    messageSendPhotoDidUpload = weakCallback<WriteWeiboViewController>(
        [](WriteWeiboViewController& screen, MessageSendPhoto&) { screen.uploadDidReport(); });

    btnClose_->setAlpha(0);
    // The bar with 添加图片 stands at the foot of the screen on either screen
    // and the photo row keeps its place above it (the keyboard packs both
    // from there); the text panel, the text in it and the count at its foot
    // take what the screen has less.
    for (const std::shared_ptr<UIView>& foot : { photoView_, bottomView_, remainView_ })
        foot->setAutoresizingMask((foot->autoresizingMask() & ~(UIViewAutoresizingFlexibleHeight | UIViewAutoresizingFlexibleBottomMargin))
            | UIViewAutoresizingFlexibleTopMargin);
    for (const std::shared_ptr<UIView>& stretched : { editView_, std::static_pointer_cast<UIView>(edText_) })
        stretched->setAutoresizingMask(stretched->autoresizingMask() | UIViewAutoresizingFlexibleHeight);

    textViewDidChange(edText_.get());
    refreshFileContainer();
    observe(UIKeyboardWillShowNotification, &WriteWeiboViewController::keyboardWillShow);
    observe(UIKeyboardWillHideNotification, &WriteWeiboViewController::keyboardWillHide);
    loadScopes();
    runAfter(kKeyboardDelay, &WriteWeiboViewController::showKeyboard);
}

void WriteWeiboViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
}

void WriteWeiboViewController::showKeyboard() { edText_->becomeFirstResponder(); }

// ---- Overlays ---------------------------------------------------------------------------

void WriteWeiboViewController::showHint(const std::string& text)
{
    view()->bringSubviewToFront(hud_);
    hud_->setMode(ProgressOverlayModeText);
    hud_->setLabelText(text);
    hud_->show(true);
    hud_->hide(true, kHintPause);
}

void WriteWeiboViewController::showSpinner(const std::string& text)
{
    view()->bringSubviewToFront(hud_);
    hud_->setMode(ProgressOverlayModeSpinner);
    hud_->setLabelText(text);
    hud_->show(true);
}

void WriteWeiboViewController::hideOwnOverlay() { hud_->hide(true); }

// ---- Text and scope ---------------------------------------------------------------------

int WriteWeiboViewController::remaining() const
{
    return kMaxLength - core::ORBHelper::unicodeLengthOfString(edText_->text());
}

void WriteWeiboViewController::textViewDidChange(UITextView*)
{
    holdTextLbl_->setHidden(!edText_->text().empty());
    // Typing past the limit is allowed; the send refuses it.
    int left = remaining();
    labRemainNum_->setText(std::to_string(left));
    labRemainNum_->setTextColor(left < 0 ? platform::Color::redColor() : kCountColor);
}

void WriteWeiboViewController::loadScopes()
{
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(kScopesRequest, platform::Value(), {},
        weakCallback<WriteWeiboViewController>([](WriteWeiboViewController& screen, const platform::Value& result) {
            const platform::Array* list = result.asArray();
            if (!list)
                return;
            for (const auto& entry : *list) {
                if (auto scope = entry.objectAs<core::ClassInfo>()) {
                    screen.classList_.push_back(scope);
                    screen.classListName_.push_back(scope->className);
                }
            }
            if (screen.classList_.empty())
                return;
            // The field shows the first scope, so that is the one a post
            // goes to until the person picks another: what is shown is
            // what is sent.
            screen.classInfo_ = screen.classList_.front();
            screen.edBrowseScope_->setText(screen.classInfo_->className);
            screen.receiverPickerview_->reloadAllComponents();
            screen.receiverPickerview_->selectRow(0, 0);
        }),
        // Without scopes the field stays empty: a send stops at "请选择公开范围".
        [](const std::string& message) { platform::log("WriteWeiboViewController: no scopes: %s\n", message.c_str()); });
}

bool WriteWeiboViewController::textFieldShouldBeginEditing(UITextField*)
{
    if (classList_.empty()) {
        showHint("正在加载班级列表，请稍等");
        return false;
    }
    auto chosen = std::find(classList_.begin(), classList_.end(), classInfo_);
    receiverPickerview_->selectRow(chosen == classList_.end() ? 0 : long(chosen - classList_.begin()), 0);
    return true;
}

void WriteWeiboViewController::textFieldDidBeginEditing(UITextField*)
{
    // The picker stands where the keyboard would; this port's window draws
    // no input views, so the screen shows it itself at its bottom edge.
    auto bounds = view()->bounds();
    receiverPickerview_->setFrame(platform::Rect(0, bounds.height() - kPickerHeight, bounds.width(), kPickerHeight));
    view()->addSubview(receiverPickerview_);
    view()->bringSubviewToFront(hud_);
}

void WriteWeiboViewController::textFieldDidEndEditing(UITextField*)
{
    receiverPickerview_->removeFromSuperview();
    if (classList_.empty())
        return;
    long row = receiverPickerview_->selectedRowInComponent(0);
    if (row >= 0 && row < long(classList_.size()))
        classInfo_ = classList_[std::size_t(row)];
    edBrowseScope_->setText(classInfo_->className);
}

std::string WriteWeiboViewController::titleForRow(UIPickerView*, long row, long)
{
    return row >= 0 && row < long(classListName_.size()) ? classListName_[std::size_t(row)] : std::string();
}

void WriteWeiboViewController::didSelectRow(UIPickerView*, long row, long)
{
    if (row >= 0 && row < long(classListName_.size()))
        edBrowseScope_->setText(classListName_[std::size_t(row)]);
}

// ---- Photos -----------------------------------------------------------------------------

void WriteWeiboViewController::btnOpenAblumAction(UIControl*)
{
    if (photoCount_ >= kPhotoLimit) {
        showHint("最多只能添加" + std::to_string(kPhotoLimit) + "张图片");
        return;
    }
    photoSheet().show(std::weak_ptr<UIActionSheetDelegate>(self<WriteWeiboViewController>()));
}

void WriteWeiboViewController::actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex)
{
    if (auto source = photoSheet().sourceFor(sheet, buttonIndex))
        PhotoSourceSheet::presentPicker(presentingRoot().get(), *source, std::weak_ptr<UIImagePickerControllerDelegate>(self<WriteWeiboViewController>()));
}

void WriteWeiboViewController::imagePickerControllerDidFinishPickingMediaWithInfo(
    UIImagePickerController* picker, const platform::Dictionary& info)
{
    auto image = info.get(UIImagePickerControllerOriginalImage).objectAs<UIImage>();
    // A picture that cannot be stored is not attached: its upload would have no file.
    if (image && photoCount_ < kPhotoLimit && !isLoading_) {
        auto tile = MessageSendPhoto::photoWithDelegate(std::weak_ptr<MessageSendPhotoDelegate>(self<WriteWeiboViewController>()));
        if (tile->setImage(image->CGImage())) {
            photoContainer_->addSubview(tile);
            refreshFileContainer();
        } else {
            platform::log("WriteWeiboViewController: the picked picture could not be stored\n");
        }
    }
    if (picker)
        picker->dismissViewControllerAnimated(true);
}

void WriteWeiboViewController::imagePickerControllerDidCancel(UIImagePickerController* picker)
{
    if (picker)
        picker->dismissViewControllerAnimated(true);
}

std::vector<std::shared_ptr<MessageSendPhoto>> WriteWeiboViewController::tiles() const
{
    std::vector<std::shared_ptr<MessageSendPhoto>> found;
    for (const auto& view : photoContainer_->subviews()) {
        if (auto tile = std::dynamic_pointer_cast<MessageSendPhoto>(view))
            found.push_back(std::move(tile));
    }
    return found;
}

void WriteWeiboViewController::refreshFileContainer()
{
    photos_.clear();
    int index = 0;
    for (const auto& tile : tiles()) {
        auto frame = tile->frame();
        frame.origin = platform::Point(double(index) * (frame.width() + kTileGap), 0);
        tile->setFrame(frame);
        tile->setTag(index++);
        photos_.push_back(BrowserPhoto::photoWithImage(std::make_shared<UIImage>(tile->info()->image)));
    }
    photoCount_ = index;
    lblPhotoEmpty_->setHidden(photoCount_ > 0);
    // Full: the button says so by fading; a tap still explains the limit.
    btnAddPhoto_->setAlpha(photoCount_ >= kPhotoLimit ? 0.4 : 1.0);
    fitStripContent();
}

void WriteWeiboViewController::fitStripContent()
{
    double right = 0;
    for (const auto& tile : tiles())
        right = std::max(right, tile->frame().maxX());
    const auto strip = photoContainer_->frame();
    photoContainer_->setContentSize(platform::Size(std::max(right, strip.width()), strip.height()));
    // A narrower strip may have been scrolled past its new end.
    auto offset = photoContainer_->contentOffset();
    const double most = std::max(right - strip.width(), 0.0);
    if (offset.x > most) {
        offset.x = most;
        photoContainer_->setContentOffset(offset);
    }
}

void WriteWeiboViewController::removeTile(MessageSendPhoto& tile)
{
    // A photo on its way up stays: the send counts its report.
    if (isLoading_)
        return;
    removedTile_ = tile.sharedView();
    tile.removeFromSuperview();
    refreshFileContainer();
}

void WriteWeiboViewController::showPhoto(MessageSendPhoto& tile)
{
    auto root = presentingRoot();
    if (!root || photos_.empty())
        return;
    auto browser = PhotoBrowser::initWithDelegate(self<WriteWeiboViewController>());
    browser->setInitialPageIndex(unsigned(std::max(0, tile.tag())));
    root->presentViewController(std::make_shared<UINavigationController>(browser), true);
}

std::shared_ptr<BrowserPhotoProtocol> WriteWeiboViewController::photoBrowserPhotoAtIndex(PhotoBrowser*, unsigned index)
{
    return index < photos_.size() ? photos_[index] : nullptr;
}

// ---- Send -------------------------------------------------------------------------------

void WriteWeiboViewController::btnSendWeiboAction(UIControl*)
{
    if (isLoading_)
        return;
    if (remaining() < 0) {
        alert("温馨提示", "最多输入" + std::to_string(kMaxLength) + "个文字");
        return;
    }
    const std::string text = edText_->text();
    if (text.empty()) {
        alert("提示", "内容不能为空");
        return;
    }
    // Ending the scope field's editing settles the picked scope first.
    edText_->resignFirstResponder();
    edBrowseScope_->resignFirstResponder();
    if (edBrowseScope_->text().empty()) {
        showHint("请选择公开范围");
        return;
    }
    isLoading_ = true;
    weiboInfo_->content = text;
    weiboInfo_->classId = classInfo_->classId;
    const auto list = tiles();
    if (list.empty()) {
        showSpinner("提交请求中");
        post();
        return;
    }
    showSpinner("上传附件中");
    successCount_ = 0;
    // A photo that has its addresses from an earlier try reports at once.
    for (const auto& tile : list)
        tile->upload(kWeiboPhotoType);
}

void WriteWeiboViewController::uploadDidReport()
{
    if (!isLoading_)
        return;
    ++successCount_;
    if (successCount_ == int(tiles().size()))
        post();
}

void WriteWeiboViewController::post()
{
    platform::Array files;
    int failed = 0;
    for (const auto& tile : tiles()) {
        files.emplace_back(tile->info());
        failed += tile->info()->url.empty() ? 1 : 0;
    }
    if (failed > 0) {
        hideOwnOverlay();
        isLoading_ = false;
        auto view = std::make_shared<UIAlertView>("提示", std::to_string(failed) + "个附件上传失败",
            std::weak_ptr<UIAlertViewDelegate>(self<WriteWeiboViewController>()), std::string("取消"),
            std::vector<std::string> { "重新提交" });
        view->setTag(kAlertUploadFailed);
        view->show();
        return;
    }
    platform::Dictionary params;
    params.set("weiboInfo", platform::Value(weiboInfo_));
    params.set("files", std::move(files));

    // The window's overlay and the feed's news do not depend on the screen:
    // a post that went out while the person left is still announced, and the
    // overlay that covers the window is always taken down.
    auto posted = weakCallback<WriteWeiboViewController>([](WriteWeiboViewController& screen, const platform::Value&) {
        screen.hideOwnOverlay();
        // Still closing: a second tap now would post the same text again.
        screen.runAfter(kClosePause, &WriteWeiboViewController::close);
    });
    auto refused = weakCallback<WriteWeiboViewController>([](WriteWeiboViewController& screen, const std::string&) {
        screen.hideOwnOverlay();
        screen.isLoading_ = false;
    });
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kPostRequest,
        platform::Value(std::move(params)), [] { ORBHelper::showProgressHud("正在发送话题...", true, false); },
        [posted](const platform::Value& result) {
            platform::NotificationCenter::defaultCenter().post(kSendWeiboSuccess);
            ORBHelper::showProgressHud("发送成功", false, true);
            posted(result);
        },
        [refused](const std::string& message) {
            ORBHelper::showProgressHud("发送话题失败,请重试...", false, true);
            refused(message);
        });
}

void WriteWeiboViewController::alertViewClickedButton(UIAlertView* alert, long buttonIndex)
{
    // "重新提交" sends again: the photos that made it report at once, the
    // others are uploaded anew.
    if (alert && alert->tag() == kAlertUploadFailed && buttonIndex == 1)
        btnSendWeiboAction(nullptr);
}

void WriteWeiboViewController::close()
{
    auto navigation = navigationController();
    if (!navigation || navigation->topViewController().get() != this)
        return;
    navigation->popViewControllerAnimated(true);
}

void WriteWeiboViewController::btnGoBackAction(UIControl*) { popViewController(); }

// ---- Keyboard and picker ----------------------------------------------------------------

void WriteWeiboViewController::btnCloseTouchUpInside(UIControl*)
{
    edText_->resignFirstResponder();
    edBrowseScope_->resignFirstResponder();
}

void WriteWeiboViewController::takeResting()
{
    resting_.edit = editView_->frame();
    resting_.text = edText_->frame();
    resting_.count = remainView_->frame();
    resting_.close = btnClose_->frame();
    resting_.photos = photoView_->frame();
    resting_.strip = photoContainer_->frame();
    resting_.empty = lblPhotoEmpty_->frame();
    resting_.bar = bottomView_->frame();
    resting_.add = btnAddPhoto_->frame();
}

void WriteWeiboViewController::keyboardWillShow(const platform::Notification& notification)
{
    if (!keyboardUp_) {
        // Where the views rest on this screen, as the foot of the screen
        // placed them; the keyboard packs them from there.
        takeResting();
        keyboardUp_ = true;
    }
    auto end = platform::rectFromValue(notification.userInfo.get(UIKeyboardFrameEndUserInfoKey));
    const auto& duration = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey);
    // The keyboard's frame is in screen coordinates, the window's own.
    const auto panel = view()->convertRectFromView(end ? *end : platform::Keyboard::frame(), nullptr);
    const auto arrangement = arrangementAbove(std::min(panel.minY(), view()->bounds().height()));
    UIView::animateWithDuration(keyboardDuration(duration, kKeyboardFallbackDuration),
        weakCallback<WriteWeiboViewController>(
            [arrangement](WriteWeiboViewController& screen) { screen.arrange(arrangement); }));
}

void WriteWeiboViewController::keyboardWillHide(const platform::Notification& notification)
{
    if (!keyboardUp_)
        return; // nothing has moved
    keyboardUp_ = false;
    const auto& duration = notification.userInfo.get(UIKeyboardAnimationDurationUserInfoKey);
    UIView::animateWithDuration(keyboardDuration(duration, kKeyboardFallbackDuration),
        weakCallback<WriteWeiboViewController>([](WriteWeiboViewController& screen) { screen.arrange(screen.resting_); }));
}

WriteWeiboViewController::Arrangement WriteWeiboViewController::arrangementAbove(double keyboardTop) const
{
    // The photo row sits on the keyboard: the tiles at their full size, the
    // bar narrowed to a cell with the add button at their left (its title
    // button makes way, its top rule runs on over the row). The text panel
    // keeps its top and ends above the row, the close button and the count
    // in a column at its right. On the small screen this leaves the text two
    // lines; it scrolls to keep the caret in sight.
    Arrangement packed = resting_;
    const double rowHeight = resting_.strip.height() + 2 * kRowInset;
    const double rowTop = std::max(keyboardTop - rowHeight, resting_.edit.minY());

    packed.photos = platform::Rect(resting_.photos.minX(), rowTop, resting_.photos.width(), rowHeight);
    const double stripWidth = std::max(resting_.photos.width() - kAddCellWidth - kRowInset, 0.0);
    packed.strip = platform::Rect(kAddCellWidth, kRowInset, stripWidth, resting_.strip.height());
    packed.empty = platform::Rect(kAddCellWidth, (rowHeight - resting_.empty.height()) / 2, stripWidth, resting_.empty.height());
    packed.bar = platform::Rect(resting_.bar.minX(), rowTop, kAddCellWidth, rowHeight);
    packed.add = platform::Rect((kAddCellWidth - resting_.add.width()) / 2, (rowHeight - resting_.add.height()) / 2,
        resting_.add.width(), resting_.add.height());
    packed.addTitleAlpha = 0;

    const double panelHeight = std::max(rowTop - kEditGap - resting_.edit.minY(), 0.0);
    packed.edit.size.height = panelHeight;
    const double columnLeft = resting_.edit.width() - kColumnMargin - std::max(resting_.close.width(), resting_.count.width());
    packed.close = platform::Rect(resting_.edit.width() - kColumnMargin - resting_.close.width(), kCloseTop,
        resting_.close.width(), resting_.close.height());
    packed.count = platform::Rect(resting_.edit.width() - kColumnMargin - resting_.count.width(),
        panelHeight - kCountBottom - resting_.count.height(), resting_.count.width(), resting_.count.height());
    packed.text = platform::Rect(resting_.text.minX(), resting_.text.minY(),
        std::max(columnLeft - kColumnGap - resting_.text.minX(), 0.0), std::max(panelHeight - resting_.text.minY(), 0.0));
    packed.closeAlpha = 1;
    return packed;
}

void WriteWeiboViewController::arrange(const Arrangement& arrangement)
{
    editView_->setFrame(arrangement.edit);
    edText_->setFrame(arrangement.text);
    remainView_->setFrame(arrangement.count);
    btnClose_->setFrame(arrangement.close);
    btnClose_->setAlpha(arrangement.closeAlpha);
    photoView_->setFrame(arrangement.photos);
    photoContainer_->setFrame(arrangement.strip);
    lblPhotoEmpty_->setFrame(arrangement.empty);
    bottomView_->setFrame(arrangement.bar);
    btnAddPhoto_->setFrame(arrangement.add);
    btnAddPhotoTitle_->setAlpha(arrangement.addTitleAlpha);
    fitStripContent();
    // The text view changed height: the line being typed stays in sight,
    // and a taller one is not left scrolled past its end.
    if (edText_->isEditing()) {
        edText_->setCaretLocation(edText_->caretLocation());
    } else {
        auto offset = edText_->contentOffset();
        offset.y = std::clamp(offset.y, 0.0, std::max(edText_->contentSize().height - arrangement.text.height(), 0.0));
        edText_->setContentOffset(offset);
    }
}

} // namespace circle
