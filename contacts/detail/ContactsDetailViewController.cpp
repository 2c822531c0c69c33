#include "contacts/detail/ContactsDetailViewController.h"

#include "contacts/ContactsScreens.h"
#include "contacts/book/ContactsOneCell.h"
#include "contacts/detail/SmsComposeViewController.h"
#include "contacts/warn/WarnPrompt.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "core/session/MyAccountInfo.h"
#include "core/store/ContactsFactory.h"
#include "libModule/TabViewController/TabViewController.h"
#include "platform/os/ClassRegistry.h"
#include "platform/services/UrlOpener.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWindow.h"
#include "ui/ORBHelper.h"

namespace {

constexpr const char* kCallScreen = "CallNumberViewController";
constexpr const char* kLocalCallFormat = "是否拨打%s,使用本机电话拨打,收取正常电话通讯费";
constexpr const char* kSmsFormat = "是否发短信到%s,本次发送将直接调用本机短信功能,收取正常短信通信费";
constexpr const char* kChatSheetCtdFormat
    = "是否拨打%s\n使用本机电话拨打,收取正常电话通讯费\n使用CTD方式拨打,可直接免费通话\n(每月免费享受星河网内通话500分钟)";
constexpr const char* kChatSheetFormat = "是否拨打%s\n使用本机电话拨打,收取正常电话通讯费";
constexpr const char* kLocalCall = "使用本机电话拨打";
constexpr const char* kCtdCall = "使用CTD方式拨打";
constexpr const char* kCancel = "取消";
constexpr const char* kCannotCall = "无法拨打电话号码";
constexpr const char* kCannotText = "无法发送短信";

std::string formatted(const char* format, const std::string& value)
{
    std::string text(format);
    auto at = text.find("%s");
    if (at != std::string::npos)
        text.replace(at, 2, value);
    return text;
}

void alert(const std::string& message)
{
    auto view = std::make_shared<UIAlertView>("提示", message, std::weak_ptr<UIAlertViewDelegate>(), "确定");
    view->show();
}

} // namespace

ContactsDetailViewController::ContactsDetailViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle(kTitle);
}

void ContactsDetailViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("scrollView", scrollView_);
    bindings.outlet("contentView", contentView_);
    bindings.outlet("imgAvatar", imgAvatar_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblRemarks", lblRemarks_);
    bindings.outlet("lblType", lblType_);
    bindings.outlet("lblPhone", lblPhone_);
    bindings.outlet("btnCall", btnCall_);
    bindings.outlet("btnSms", btnSms_);
    bindings.outletCollection("lblViews", lblViews_);
    bindings.action("btnCallTouchUpInside:", &ContactsDetailViewController::btnCallTouchUpInside);
    bindings.action("btnSmsTouchUpInside:", &ContactsDetailViewController::btnSmsTouchUpInside);
}

void ContactsDetailViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    contentView_->removeFromSuperview();
    scrollView_->addSubview(contentView_);
    scrollView_->setContentSize(contentView_->frame().size);
    imgAvatar_->layer()->setCornerRadius(kCornerRadius);
    imgAvatar_->setClipsToBounds(true);
    for (const auto& view : lblViews_)
        view->layer()->setCornerRadius(kCornerRadius);
    btnCall_->setHidden(false);
    btnSms_->setHidden(false);
    refreshView();
    keepAtVisibleBottom(scrollView_);
    lblRemarks_->setHidden(true);
    if (fromAddressBook()) {
        btnCall_->setTitle("打电话", UIControlStateNormal);
        btnSms_->setTitle("发消息", UIControlStateNormal);
    } else {
        btnCall_->setTitle("本机拨打", UIControlStateNormal);
        btnCall_->setImage(UIImage::imageNamed("public_btn_phone2.png"), UIControlStateNormal);
        btnSms_->setTitle("点击拨打", UIControlStateNormal);
        btnSms_->setImage(UIImage::imageNamed("public_btn_mobile.png"), UIControlStateNormal);
    }
}

void ContactsDetailViewController::setContact(std::shared_ptr<core::ContactInfo> contact)
{
    contact_ = std::move(contact);
    if (contact_) {
        core::ContactsFactory store;
        store.getContact(*contact_);
    }
    refreshView();
}

bool ContactsDetailViewController::isTeacherUser() const
{
    auto account = core::MyAccountInfo::currentAccount();
    return account && account->type == 1;
}

void ContactsDetailViewController::refreshView()
{
    if (!contact_ || !isViewLoaded())
        return;
    contacts::showAvatar(imgAvatar_, contact_->thumbAvatar);
    lblName_->setText(contact_->name);
    lblRemarks_->setText(contact_->remarks);
    lblPhone_->setText(contact_->phone);
    lblType_->setText(contact_->type == 2 ? "家长" : "教师");
    if (contact_->phone.empty() || !contact_->isCustomer) {
        lblPhone_->setText("暂无");
        btnCall_->setHidden(true);
        btnSms_->setHidden(true);
    }
}

void ContactsDetailViewController::showSheet(
    long tag, const std::string& title, std::optional<std::string> destructive, std::vector<std::string> others)
{
    auto sheet = std::make_shared<UIActionSheet>(
        title, weakSelf<ContactsDetailViewController>(), kCancel, std::move(destructive), std::move(others));
    sheet->setTag(tag);
    auto window = UIApplication::sharedApplication().keyWindow();
    sheet->showInView(window ? std::static_pointer_cast<UIView>(window) : view());
}

void ContactsDetailViewController::btnCallTouchUpInside(UIControl*)
{
    url_ = "tel:" + phone();
    if (!platform::UrlOpener::shared().canOpenURL(url_)) {
        alert(kCannotCall);
        return;
    }
    if (fromAddressBook()) {
        if (isTeacherUser())
            showSheet(kTeacherCallSheet, "", std::string("使用点击拨号拨打"), { kLocalCall });
        else
            showSheet(kOtherCallSheet, "", std::string(kLocalCall), {});
        return;
    }
    if (contact_ && !contact_->ctdUrl.empty())
        showSheet(kChatCallSheet, formatted(kChatSheetCtdFormat, phone()), std::nullopt, { kLocalCall, kCtdCall });
    else
        showSheet(kChatCallSheet, formatted(kChatSheetFormat, phone()), std::string(kLocalCall), {});
}

void ContactsDetailViewController::btnSmsTouchUpInside(UIControl*)
{
    if (!fromAddressBook()) {
        chooseTag_ = kChooseCallScreen;
        handleCallPhone();
        return;
    }
    url_ = "sms:" + phone();
    // As the call button does for "tel:": a device that cannot text is said,
    // not left silent.
    if (!platform::UrlOpener::shared().canOpenURL(url_)) {
        alert(kCannotText);
        return;
    }
    showSheet(kMessageSheet, "", std::string("发瑞鸥消息"), { "发手机短信" });
}

void ContactsDetailViewController::askLocalCall(int choose, const char* key)
{
    chooseTag_ = choose;
    url_ = "tel:" + phone();
    if (contacts::warnSilenced(key))
        openUrl();
    else
        showWarnView(formatted(kLocalCallFormat, phone()), WarnView::kConfirmVariant);
}

void ContactsDetailViewController::actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex)
{
    if (!sheet || buttonIndex == sheet->cancelButtonIndex())
        return;
    const std::string choice = sheet->buttonTitleAtIndex(buttonIndex);
    switch (sheet->tag()) {
    case kMessageSheet:
        if (buttonIndex == 0) {
            auto chat
                = platform::ClassRegistry::shared().createAs<MessageViewController>(MessageViewController::kClassName);
            if (chat)
                chat->setContact(contact_);
            if (auto navigation = navigationController(); navigation && chat)
                navigation->pushViewController(chat, true);
        } else if (buttonIndex == 1) {
            chooseTag_ = kChooseSms;
            if (contacts::warnSilenced(kSmsKey))
                sendMFMessages();
            else
                showWarnView(formatted(kSmsFormat, phone()), WarnView::kConfirmVariant);
        }
        break;
    case kTeacherCallSheet:
        if (buttonIndex == 0) {
            chooseTag_ = kChooseCallScreen;
            handleCallPhone();
        } else if (buttonIndex == 1) {
            askLocalCall(kChooseTeacherLocal, kTeacherLocalKey);
        }
        break;
    case kOtherCallSheet:
        if (buttonIndex == 0)
            askLocalCall(kChooseOtherLocal, kOtherLocalKey);
        break;
    case kChatCallSheet:
        // Opened from the chat: the own phone behind its prompt, or the
        // click-to-dial service as "点击拨打" does.
        if (choice == kLocalCall) {
            if (isTeacherUser())
                askLocalCall(kChooseTeacherLocal, kTeacherLocalKey);
            else
                askLocalCall(kChooseOtherLocal, kOtherLocalKey);
        } else if (choice == kCtdCall) {
            chooseTag_ = kChooseCallScreen;
            handleCallPhone();
        }
        break;
    default:
        break;
    }
}

void ContactsDetailViewController::openUrl()
{
    // Handed to whatever places calls and texts here; where nothing does,
    // the person is told rather than left waiting.
    if (!platform::UrlOpener::shared().openURL(url_))
        alert(url_.rfind("tel:", 0) == 0 ? kCannotCall : kCannotText);
}

void ContactsDetailViewController::handleCallPhone()
{
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        static_cast<int>(core::ORBRequestType::CtdCheck), platform::Value(), nullptr,
        weakCallback<ContactsDetailViewController>(
            [](ContactsDetailViewController& screen, const platform::Value& reply) {
                screen.strWarn_ = reply["resultMsg"].stringValue();
                if (reply["status"].intValue() != 0) {
                    if (contacts::warnSilenced(kCallScreenKey))
                        screen.callPhoneView();
                    else
                        screen.showWarnView(screen.strWarn_, WarnView::kConfirmVariant);
                } else {
                    screen.showWarnView(reply["dealResult"].stringValue(), WarnView::kNoticeVariant);
                }
            }),
        weakCallback<ContactsDetailViewController>([](ContactsDetailViewController&, const std::string& message) {
            // A failure is no work in progress: the text alone.
            ORBHelper::showProgressHud(message, false, true);
        }));
}

void ContactsDetailViewController::callPhoneView()
{
    auto screen = platform::ClassRegistry::shared().createAs<UIViewController>(kCallScreen);
    if (auto call = std::dynamic_pointer_cast<CallNumberTarget>(screen); call && contact_) {
        call->setContact(contact_);
        call->setCallType(contact_->type == 2 ? 0 : contact_->type == 1 ? 2 : 3);
        call->setStrWarn(strWarn_);
    }
    if (auto navigation = navigationController(); navigation && screen)
        navigation->pushViewController(screen, true);
}

void ContactsDetailViewController::sendMFMessages()
{
    auto composer = SmsComposeViewController::create();
    if (!composer) {
        // The device gives no composer: the person confirmed a message, so
        // say why none comes.
        alert(kCannotText);
        return;
    }
    composer->composer()->setRecipients({ phone() });
    composer->composer()->setDelegate(weakSelf<ContactsDetailViewController>());
    if (auto tabs = TabViewController::shareInstance())
        tabs->presentViewController(composer, true);
}

void ContactsDetailViewController::messageComposeDidFinish(
    platform::SmsComposer&, platform::MessageComposeResult result)
{
    if (result == platform::MessageComposeResult::Sent)
        alert("短信已发送");
    else if (result == platform::MessageComposeResult::Failed)
        alert("发送短信失败");
    if (auto tabs = TabViewController::shareInstance())
        tabs->dismissViewControllerAnimated(true);
}

void ContactsDetailViewController::showWarnView(const std::string& text, int state)
{
    warnState_ = state;
    contacts::showWarnView(view(), text, state, weakSelf<ContactsDetailViewController>(), kWarnShortScreenOffset);
}

void ContactsDetailViewController::closeWarningViewWithNotNext(bool notNext, long buttonIndex)
{
    contacts::hideWarnView(view());
    // The service's refusal is a notice: closing it runs nothing and
    // silences nothing.
    if (buttonIndex != WarnView::kConfirmTag || warnState_ != WarnView::kConfirmVariant)
        return;
    switch (chooseTag_) {
    case kChooseSms:
        sendMFMessages();
        contacts::storeWarnTick(kSmsKey, notNext);
        break;
    case kChooseTeacherLocal:
        openUrl();
        contacts::storeWarnTick(kTeacherLocalKey, notNext);
        break;
    case kChooseCallScreen:
        callPhoneView();
        contacts::storeWarnTick(kCallScreenKey, notNext);
        break;
    case kChooseOtherLocal:
        openUrl();
        contacts::storeWarnTick(kOtherLocalKey, notNext);
        break;
    default:
        break;
    }
}
