#include "contacts/calls/CallNumberViewController.h"

#include "contacts/book/ContactsOneCell.h"
#include "core/model/ReplyReading.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UISwipeGestureRecognizer.h"
#include "ui/ORBHelper.h"

namespace {

constexpr const char* kWarningTitle = "警告";
constexpr const char* kEmptyNumber = "号码为空，无法拨打！";
constexpr const char* kDialing = "请求拨号中";
constexpr const char* kHangingUp = "请求挂断中";

// At least two characters (not bytes) make a name worth showing.
bool longEnough(const std::string& text)
{
    std::size_t count = 0;
    for (unsigned char c : text) {
        if ((c & 0xC0) != 0x80)
            ++count;
    }
    return count >= 2;
}

void warn(const std::string& message, const std::weak_ptr<UIAlertViewDelegate>& delegate = {}, int tag = 0)
{
    auto alert = std::make_shared<UIAlertView>(kWarningTitle, message, delegate, "确定");
    alert->setTag(tag);
    alert->show();
}

} // namespace

CallNumberViewController::CallNumberViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle(kTitle);
}

void CallNumberViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("imgViewContact", imgViewContact_);
    bindings.outlet("titleContact", titleContact_);
    bindings.outlet("numContact", numContact_);
    bindings.outlet("btnCallContact", btnCallContact_);
    bindings.outlet("lblWarn", lblWarn_);
    bindings.action("btnDialTouchUpInside:", &CallNumberViewController::btnDialTouchUpInside);
}

void CallNumberViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    // Going back during a call must ask, whichever way the person goes: the
    // swipe takes the same road as the back button.
    const auto recognizers = view()->gestureRecognizers();
    for (const auto& recognizer : recognizers) {
        if (std::dynamic_pointer_cast<UISwipeGestureRecognizer>(recognizer))
            view()->removeGestureRecognizer(recognizer);
    }
    auto swipe = std::make_shared<UISwipeGestureRecognizer>();
    swipe->setDirection(UISwipeGestureRecognizerDirectionRight);
    swipe->addTarget(self<CallNumberViewController>(), &CallNumberViewController::goBack);
    view()->addGestureRecognizer(swipe);
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &CallNumberViewController::btnBackTouchUpInside));

    showParty();
    lblWarn_->setText("温馨提示：" + strWarn_);
    if (isFourInchScreen()) {
        auto frame = lblWarn_->frame();
        frame.size.height += kTallWarnExtra;
        lblWarn_->setFrame(frame);
    }
    // The dial and hang-up button keeps its place above the foot of the screen on either screen.
    keepAboveVisibleBottom(btnCallContact_);
    setCallingLook(false);
    if (!isCalling_)
        startCall();
}

void CallNumberViewController::viewWillDisappear(bool animated)
{
    BaseViewController::viewWillDisappear(animated);
    // The window's waiting overlay is this screen's while its request is
    // out; gone with the screen, nothing else would ever take it down.
    if (requestOut_)
        ORBHelper::hideProgressHud();
}

void CallNumberViewController::setContact(std::shared_ptr<core::ContactInfo> contact)
{
    contact_ = std::move(contact);
    showParty();
}

void CallNumberViewController::setHistory(std::shared_ptr<core::HistoryInfo> history)
{
    history_ = std::move(history);
    showParty();
}

void CallNumberViewController::showParty()
{
    if (!isViewLoaded())
        return;
    if (contact_) {
        if (longEnough(contact_->thumbAvatar))
            contacts::showAvatar(imgViewContact_, contact_->thumbAvatar);
        if (longEnough(contact_->name))
            titleContact_->setText(contact_->name);
        numContact_->setText(contact_->phone);
    } else if (history_) {
        if (longEnough(history_->caller))
            titleContact_->setText(history_->caller);
        numContact_->setText(history_->callerPhone);
    }
}

std::optional<platform::Value> CallNumberViewController::callParams() const
{
    platform::Dictionary params;
    if (contact_) {
        params.set("linkId", static_cast<long long>(contact_->uid));
        params.set("type", callType_);
        params.set("phone", contact_->phone);
    } else if (history_) {
        params.set("linkId", static_cast<long long>(history_->linkId));
        params.set("type", callType_);
        params.set("phone", history_->callerPhone);
    } else {
        return std::nullopt;
    }
    return platform::Value(std::move(params));
}

void CallNumberViewController::startCall()
{
    if (numContact_->text().empty()) {
        warn(kEmptyNumber);
        return;
    }
    sendCall(true);
}

void CallNumberViewController::stopCall() { sendCall(false); }

void CallNumberViewController::sendCall(bool start)
{
    auto params = callParams();
    if (!params || requestOut_)
        return;
    requestOut_ = true;
    const auto type = start ? core::ORBRequestType::CtdDial : core::ORBRequestType::CtdHangUp;
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(static_cast<int>(type), *params,
        weakCallback<CallNumberViewController>([start](CallNumberViewController&) {
            ORBHelper::showProgressHud(start ? kDialing : kHangingUp, true, false);
        }),
        // The spinner covers the window: it goes with the answer whether or
        // not the person is still on this screen.
        weakCallbackAfter<CallNumberViewController>(ORBHelper::hideProgressHud,
            [start](CallNumberViewController& screen, const platform::Value& reply) {
                screen.requestOut_ = false;
                screen.callAnswered(start, reply);
            }),
        // A failure is no work in progress: the text alone.
        weakCallbackAfter<CallNumberViewController>(
            [](const std::string& message) { ORBHelper::showProgressHud(message, false, true); },
            [](CallNumberViewController& screen, const std::string&) {
                screen.requestOut_ = false;
                screen.leaveAfterStop_ = false;
            }));
}

void CallNumberViewController::callAnswered(bool start, const platform::Value& reply)
{
    if (core::reply::integerOf(reply["resultState"]) != 0 || !reply.isDictionary()) {
        leaveAfterStop_ = false;
        warn(reply["resultMsg"].stringValue());
        return;
    }
    setCallingLook(start);
    if (!start && leaveAfterStop_) {
        leaveAfterStop_ = false;
        popViewController();
    }
}

void CallNumberViewController::setCallingLook(bool calling)
{
    isCalling_ = calling;
    auto image = UIImage::imageNamed(calling ? "cn_dial_stop" : "cn_dial_start");
    btnCallContact_->setImage(image, UIControlStateNormal);
    btnCallContact_->setImage(image, UIControlStateHighlighted);
    btnCallContact_->setTitle(calling ? "挂断" : "拨号", UIControlStateNormal);
    btnCallContact_->setBackgroundImage(
        UIImage::imageNamed(calling ? "contacts_detail_btn_call_stop_bg" : "contacts_detail_btn_call_bg"),
        UIControlStateNormal);
    btnCallContact_->setBackgroundImage(
        UIImage::imageNamed(calling ? "contacts_detail_btn_call_stop_h_bg" : "contacts_detail_btn_call_bg"),
        UIControlStateHighlighted);
}

void CallNumberViewController::btnDialTouchUpInside(UIControl*)
{
    if (isCalling_)
        stopCall();
    else
        startCall();
}

void CallNumberViewController::btnBackTouchUpInside(UIControl*) { goBack(); }

void CallNumberViewController::goBack()
{
    if (!isCalling_) {
        popViewController();
        return;
    }
    auto alert = std::make_shared<UIAlertView>(kWarningTitle, kLeaveQuestion,
        weakSelf<CallNumberViewController>(), "不是", std::vector<std::string> { "是的" });
    alert->setTag(kLeaveAlertTag);
    alert->show();
}

void CallNumberViewController::alertViewClickedButton(UIAlertView* alert, long buttonIndex)
{
    if (!alert || alert->tag() != kLeaveAlertTag || buttonIndex != 1)
        return;
    leaveAfterStop_ = true;
    stopCall();
}
