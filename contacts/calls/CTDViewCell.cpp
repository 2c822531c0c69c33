#include "contacts/calls/CTDViewCell.h"

#include "contacts/book/ContactsOneCell.h"
#include "core/model/ReplyReading.h"
#include "core/network/ORBReplyParser.h"
#include "core/network/builders/ORBBuilderFrame.h"
#include "foundation/http/HTTPRequest.h"
#include "platform/os/Log.h"
#include "platform/os/Url.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIWindow.h"
#include "ui/ORBHelper.h"

#include <cctype>

using foundation::HTTPRequestDelegate;
using foundation::HTTPRequestPtr;
using foundation::RequestSelector;

namespace {
constexpr const char* kWaiting = "正在请求CTD电话";
constexpr const char* kPlaced = "呼叫成功";
constexpr const char* kNotPlaced = "呼叫失败";
} // namespace

CTDViewCell::~CTDViewCell()
{
    if (ctdRequest_)
        ctdRequest_->clearDelegatesAndCancel();
}

void CTDViewCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("imgHead", imgHead_);
    bindings.outlet("labName", labName_);
    bindings.outlet("labRole", labRole_);
    bindings.outlet("labClass", labClass_);
    bindings.outlet("labPhoneNumber", labPhoneNumber_);
    bindings.outlet("btnCall", btnCall_);
    bindings.action("btnCTDCellAction:", &CTDViewCell::btnCTDCellAction);
}

void CTDViewCell::awakeFromNib()
{
    UIView::awakeFromNib();
    setSelectionStyle(UITableViewCellSelectionStyleNone);
}

void CTDViewCell::setContact(std::shared_ptr<core::ContactInfo> contact)
{
    contact_ = std::move(contact);
    if (!contact_)
        return;
    contacts::showAvatar(imgHead_, contact_->thumbAvatar);
    labName_->setText(contact_->name);
    labRole_->setText(contact_->remarks);
    labClass_->setText(contact_->groupName);
    labPhoneNumber_->setText(contact_->phone);
    ctdUrl_ = contact_->ctdUrl;
}

void CTDViewCell::btnCTDCellAction(UIControl*)
{
    if (ctdUrl_.empty())
        return;
    auto sheet = std::make_shared<UIActionSheet>(kSheetTitle,
        std::weak_ptr<UIActionSheetDelegate>(self()), "取消",
        std::nullopt, std::vector<std::string> { "使用CTD方式拨打" });
    sheet->setTag(kSheetTag);
    auto window = UIApplication::sharedApplication().keyWindow();
    sheet->showInView(std::static_pointer_cast<UIView>(window));
}

bool CTDViewCell::isCallBackAddress(const std::string& address)
{
    auto url = platform::Url::parse(address);
    if (!url || !url->isAbsolute() || url->host().empty())
        return false;
    std::string scheme = url->scheme();
    for (auto& c : scheme)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return scheme == "http" || scheme == "https";
}

void CTDViewCell::actionSheetClickedButton(UIActionSheet* sheet, long buttonIndex)
{
    if (!sheet || sheet->tag() != kSheetTag || buttonIndex != 0)
        return;
    if (auto target = delegate_.lock())
        target->callCTDNow();
    // The address came from the server: anything but a web address is not
    // asked for, and the person hears at once that the call was not placed.
    if (!isCallBackAddress(ctdUrl_)) {
        ORBHelper::showProgressHud(kNotPlaced, false, true);
        return;
    }
    // One call-back at a time: a new one replaces the one still out.
    if (ctdRequest_)
        ctdRequest_->clearDelegatesAndCancel();
    ORBHelper::showProgressHud(kWaiting, true, false);
    ctdRequest_ = core::builder::addressRequest(ctdUrl_, "GET", std::weak_ptr<HTTPRequestDelegate>(self()),
        RequestSelector::method(&CTDViewCell::requestCtdSucceeded), RequestSelector::method(&CTDViewCell::requestCtdFailed));
    ctdRequest_->startAsynchronous();
}

bool CTDViewCell::replyPlacedCall(const std::optional<platform::Value>& reply)
{
    return reply && reply->isDictionary() && core::reply::integerOf((*reply)["resultState"]) == 1;
}

void CTDViewCell::requestCtdSucceeded(const HTTPRequestPtr& request)
{
    if (request != ctdRequest_)
        return;
    // An envelope alone, read as the dispatcher reads one. A reply that
    // tells nothing (not JSON) must still end the wait, and one past what an
    // envelope can be is refused unread.
    auto answer = core::ORBReplyParser::readReply(*request, core::kLargestShortReply, "request ctd successed");
    const char* text = answer.tooLarge  ? core::ORBReplyParser::kReplyTooLargeText
        : replyPlacedCall(answer.value) ? kPlaced
                                        : kNotPlaced;
    ORBHelper::showProgressHud(text, false, true);
    ctdRequest_.reset();
}

void CTDViewCell::requestCtdFailed(const HTTPRequestPtr& request)
{
    if (request != ctdRequest_)
        return;
    ORBHelper::showProgressHud(kNotPlaced, false, true);
    ctdRequest_.reset();
}
