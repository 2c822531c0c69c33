#include "messaging/group/GroupStateViewController.h"

#include "core/network/ORBReplyParser.h"
#include "core/network/builders/ORBRivuContrl.h"
#include "core/util/GlobalColor.h"
#include "foundation/http/FormDataRequest.h"
#include "messaging/group/GroupStateBottomCell.h"
#include "messaging/group/GroupStateButtonCell.h"
#include "messaging/group/GroupStateCell.h"
#include "messaging/group/GroupStateTopCell.h"
#include "platform/os/Log.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "ui/overlay/ProgressOverlay.h"

#include <algorithm>

using foundation::FormDataRequest;
using foundation::HTTPRequestPtr;
using foundation::RequestSelector;

namespace {

// The row codes of the list.
constexpr const char* kUnreadHead = "1";
constexpr const char* kUnreadNames = "2";
constexpr const char* kReadHead = "3";
constexpr const char* kReadNames = "4";
constexpr const char* kSpacer = "5";
constexpr const char* kResend = "6";

// Read as the dispatcher reads its replies: a reply past what its kind can
// be is refused unread (tooLarge), and a long one logged by its length.
core::ORBReplyParser::ReplyRead readReply(const HTTPRequestPtr& request, std::size_t largestReply)
{
    auto read = core::ORBReplyParser::readReply(*request, largestReply, "group send state");
    platform::log("%s\n", platform::Value(request->responseHeaders()).description().c_str());
    return read;
}

// A refused reply says why; anything else that is not an answer, that the
// request failed.
std::string failureText(const core::ORBReplyParser::ReplyRead& read)
{
    if (read.tooLarge)
        return core::ORBReplyParser::kReplyTooLargeText;
    if (read.value && read.value->isDictionary() && (*read.value)["resultMsg"].isString())
        return (*read.value)["resultMsg"].stringValue();
    return "请求失败";
}

std::vector<std::string> namesOf(const platform::Array& items)
{
    std::vector<std::string> names;
    for (const auto& item : items) {
        std::string name = item.isString() ? item.stringValue() : std::string();
        names.push_back(name.empty() ? GroupStateViewController::kUnknownName : std::move(name));
    }
    return names;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const auto& name : names) {
        if (!text.empty())
            text += GroupStateViewController::kNamesSeparator;
        text += name;
    }
    return text;
}

} // namespace

GroupStateViewController::GroupStateViewController()
    : BaseViewController(std::string(kClassName))
    , messageFactory_(std::make_unique<core::MessageFactory>())
{
    setTitle(kTitle);
    orgHeader_ = false;
    setHideBtnResend(true);
}

void GroupStateViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableView", tableView_);
    bindings.outlet("headerView", headerView_);
    bindings.outlet("imgShadow", imgShadow_);
    bindings.outlet("bottomBg", bottomBg_);
    bindings.outlet("btnSmsState", btnSmsState_);
    bindings.outlet("btnMsgState", btnMsgState_);
    bindings.action("btnStateTouchUpInside:", &GroupStateViewController::btnStateTouchUpInside);
    bindings.optionalAction("btnBackTouchUpInside:", &GroupStateViewController::btnBackTouchUpInside);
}

void GroupStateViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto self = BaseViewController::self<GroupStateViewController>();
    if (auto light = core::GlobalColor::getColor("main_light")) {
        tableView_->setBackgroundColor(*light);
        bottomBg_->setBackgroundColor(*light);
    }
    if (auto dark = core::GlobalColor::getColor("main_dark")) {
        for (const auto& button : { btnMsgState_, btnSmsState_ }) {
            button->setTitleColor(*dark, UIControlStateHighlighted);
            button->setTitleColor(*dark, UIControlStateDisabled);
        }
    }
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    // The states end at the foot of the screen on either screen.
    keepAtVisibleBottom(tableView_);

    hud_ = std::make_shared<ProgressOverlay>(view()->bounds());
    hud_->setAnimationType(ProgressOverlayAnimationZoom);
    view()->addSubview(hud_);

    const auto table = tableView_->frame();
    topBgView_ = std::make_shared<UIView>(platform::Rect(table.minX(), table.minY(), table.width(), 0));
    topBgView_->setBackgroundColor(platform::Color::fromWhite(220.0 / 255.0, 1.0));
    tableView_->addSubview(topBgView_);

    orgBtnMsgFrame_ = btnMsgState_->frame();
    orgBtnSmsFrame_ = btnSmsState_->frame();
    tableView_->reloadData();
    loadData();
}

void GroupStateViewController::setMessage(std::shared_ptr<core::MessageInfo> message) { message_ = std::move(message); }

void GroupStateViewController::setHideBtnResend(bool hide)
{
    hideBtnResend_ = hide;
    if (hide)
        listData_ = { kUnreadHead, kUnreadNames, kSpacer, kReadHead, kReadNames, kSpacer };
    else
        listData_ = { kUnreadHead, kUnreadNames, kResend, kSpacer, kReadHead, kReadNames, kSpacer };
    if (isViewLoaded())
        tableView_->reloadData();
}

void GroupStateViewController::setUnReadNames(std::vector<std::string> names)
{
    unReadNames_ = std::move(names);
    unReadNamesTxt_ = joined(unReadNames_);
}

void GroupStateViewController::setReadNames(std::vector<std::string> names)
{
    readNames_ = std::move(names);
    readNamesTxt_ = joined(readNames_);
}

int GroupStateViewController::selectedType() const { return btnMsgState_->isEnabled() ? kSmsType : kMessageType; }

void GroupStateViewController::showOverlay(const std::string& text, bool spinner)
{
    hud_->setMode(spinner ? ProgressOverlayModeSpinner : ProgressOverlayModeText);
    hud_->setLabelText(text);
    view()->bringSubviewToFront(hud_);
    hud_->show(true);
}

void GroupStateViewController::hideOverlayLater(const std::string& text)
{
    hud_->setMode(ProgressOverlayModeText);
    hud_->setLabelText(text);
    view()->bringSubviewToFront(hud_);
    hud_->show(true);
    hud_->hide(true, kOverlayHideDelay);
}

void GroupStateViewController::dropRequest(std::shared_ptr<FormDataRequest>& request)
{
    if (!request)
        return;
    request->clearDelegatesAndCancel();
    finishRequest(request.get());
    request.reset();
}

// ---- The lists -----------------------------------------------------------------------

void GroupStateViewController::loadData()
{
    if (!message_)
        return;
    // The answer for a tab left behind must not land in the tab shown now.
    dropRequest(stateRequest_);
    showOverlay("加载数据中", true);
    stateType_ = selectedType();
    stateRequest_ = core::ORBRivuContrl::getMessageState(*message_, stateType_, weakSelf<GroupStateViewController>(),
        RequestSelector::method(&GroupStateViewController::requestStateSucceeded),
        RequestSelector::method(&GroupStateViewController::requestStateFailed));
    startRequest(stateRequest_);
}

void GroupStateViewController::requestStateSucceeded(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, stateRequest_))
        return;
    stateRequest_.reset();
    // The names of everyone a group send reached: a screen's list.
    auto answer = readReply(request, core::kLargestScreenReply);
    platform::Value reply = answer.value.value_or(platform::Value());
    const auto* read = reply["readItems"].asArray();
    const auto* unread = reply["unReadItems"].asArray();
    if (reply.isDictionary() && read && unread) {
        setUnReadNames(namesOf(*unread));
        setReadNames(namesOf(*read));
        const int readCount = static_cast<int>(readNames_.size());
        const int unreadCount = static_cast<int>(unReadNames_.size());
        if (stateType_ == kSmsType) {
            message_->smsSuccessCount = readCount;
            message_->smsUnSuccessCount = unreadCount;
        } else {
            message_->msgReadCount = readCount;
            message_->msgUnReadCount = unreadCount;
        }
        messageFactory_->setMessageStateChanged({ message_ });
        setHideBtnResend(stateType_ == kMessageType || unReadNames_.empty());
        hud_->setLabelText("");
        hud_->hide(true);
        return;
    }
    hideOverlayLater(failureText(answer));
    setUnReadNames({});
    setReadNames({});
    tableView_->reloadData();
}

void GroupStateViewController::requestStateFailed(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, stateRequest_))
        return;
    stateRequest_.reset();
    setUnReadNames({});
    setReadNames({});
    tableView_->reloadData();
    hideOverlayLater("请求失败");
}

void GroupStateViewController::btnStateTouchUpInside(UIControl* sender)
{
    if (!sender || !sender->isEnabled())
        return;
    headerView_->exchangeSubviewAtIndex(0, 2);
    const bool message = sender == btnMsgState_.get();
    btnMsgState_->setEnabled(!message);
    btnSmsState_->setEnabled(message);
    loadData();
}

// ---- Sending again -------------------------------------------------------------------

void GroupStateViewController::btnResendTouchUpInside(UIControl*)
{
    if (unReadNames_.empty()) {
        hideOverlayLater("无未读或未接收用户");
        return;
    }
    if (!message_)
        return;
    dropRequest(resendRequest_);
    showOverlay("请求处理中", true);
    resendRequest_ = core::ORBRivuContrl::reSendtMessage(*message_, selectedType(), weakSelf<GroupStateViewController>(),
        RequestSelector::method(&GroupStateViewController::requestResendSucceeded),
        RequestSelector::method(&GroupStateViewController::requestResendFailed));
    startRequest(resendRequest_);
}

void GroupStateViewController::requestResendSucceeded(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, resendRequest_))
        return;
    resendRequest_.reset();
    auto answer = readReply(request, core::kLargestShortReply);
    std::string text = answer.tooLarge ? core::ORBReplyParser::kReplyTooLargeText : "请求失败";
    platform::Value reply = answer.value.value_or(platform::Value());
    if (reply.isDictionary()) {
        const platform::Value& result = reply["resultState"];
        if (!result.isNumber() && reply["resultMsg"].isString())
            text = reply["resultMsg"].stringValue();
        if (result.isNumber() && result.intValue() == 1)
            text = "操作成功";
    }
    hideOverlayLater(text);
}

void GroupStateViewController::requestResendFailed(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request, resendRequest_))
        return;
    resendRequest_.reset();
    hideOverlayLater("请求失败");
}

void GroupStateViewController::btnBackTouchUpInside(UIControl*) { popViewController(); }

// ---- Table -----------------------------------------------------------------------------

long GroupStateViewController::numberOfRowsInSection(UITableView*, long) { return long(listData_.size()); }

std::shared_ptr<UITableViewCell> GroupStateViewController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    const std::string code = path.row >= 0 && path.row < long(listData_.size()) ? listData_[std::size_t(path.row)] : "";
    const bool sms = selectedType() == kSmsType;
    if (code == kUnreadHead || code == kReadHead) {
        auto cell = BaseCell::dequeue<GroupStateTopCell>(*table);
        const bool unread = code == kUnreadHead;
        const int count = static_cast<int>(unread ? unReadNames_.size() : readNames_.size());
        const char* title = unread ? (sms ? "发送失败" : "未读") : (sms ? "发送成功" : "已读");
        cell->setTitle(title + std::to_string(count) + "人", !unread);
        return cell;
    }
    if (code == kUnreadNames || code == kReadNames) {
        auto cell = BaseCell::dequeue<GroupStateCell>(*table);
        cell->setTxt(code == kUnreadNames ? unReadNamesTxt_ : readNamesTxt_);
        return cell;
    }
    if (code == kResend) {
        auto cell = BaseCell::dequeue<GroupStateButtonCell>(*table);
        auto button = cell->btnResend();
        if (button->tag() == 0) {
            // A cell new from its layout: wired once, reused after.
            button->setTag(1);
            button->addTarget(self<GroupStateViewController>(), &GroupStateViewController::btnResendTouchUpInside,
                UIControlEventTouchUpInside);
        }
        const char* title = sms ? "重发以上家长" : "提醒以上家长";
        button->setTitle(title, UIControlStateNormal);
        return cell;
    }
    return BaseCell::dequeue<GroupStateBottomCell>(*table);
}

std::optional<double> GroupStateViewController::heightForRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    const std::string code = path.row >= 0 && path.row < long(listData_.size()) ? listData_[std::size_t(path.row)] : "";
    if (code == kUnreadHead || code == kReadHead)
        return BaseCell::height<GroupStateTopCell>();
    if (code == kSpacer)
        return BaseCell::height<GroupStateBottomCell>();
    if (code == kResend)
        return BaseCell::height<GroupStateButtonCell>();
    if (code == kUnreadNames)
        return GroupStateCell::height(unReadNamesTxt_);
    if (code == kReadNames)
        return GroupStateCell::height(readNamesTxt_);
    return BaseCell::height<GroupStateCell>();
}

std::optional<double> GroupStateViewController::heightForHeaderInSection(UITableView*, long)
{
    return headerView_->frame().height();
}

std::shared_ptr<UIView> GroupStateViewController::viewForHeaderInSection(UITableView*, long) { return headerView_; }

void GroupStateViewController::scrollViewDidScroll(UIScrollView* scrollView)
{
    if (!scrollView || scrollView != tableView_.get() || !topBgView_)
        return;
    const double y = scrollView->contentOffset().y;
    const double h = scrollView->frame().height();
    double grey = kHeaderWhite;
    auto frame = topBgView_->frame();
    if (y < 0) {
        frame.origin.y = y;
        frame.size.height = -y;
        grey = std::min(kHeaderWhiteMax, kHeaderWhite * (1 + 2 * (-y) / h));
    } else {
        frame.origin.y = 0;
        frame.size.height = 0;
    }
    topBgView_->setFrame(frame);
    topBgView_->setBackgroundColor(platform::Color::fromWhite(grey, 1.0));
    headerView_->setBackgroundColor(platform::Color::fromWhite(grey, 1.0));
    setOrgHeader(y < kOrgHeaderOffset);
}

void GroupStateViewController::setOrgHeader(bool org)
{
    if (!imgShadow_->isHidden() == org)
        return;
    orgHeader_ = org;
    auto light = core::GlobalColor::getColor("main_light");
    auto dark = core::GlobalColor::getColor("main_dark");
    UIView::animateWithDuration(0.3, [this, org, light, dark] {
        const auto header = headerView_->bounds();
        const double strip = bottomBg_->frame().height();
        if (org) {
            btnMsgState_->setFrame(orgBtnMsgFrame_);
            btnSmsState_->setFrame(orgBtnSmsFrame_);
        } else {
            btnMsgState_->setFrame(platform::Rect(0, 0, header.width() / 2, header.height() - strip));
            btnSmsState_->setFrame(platform::Rect(header.width() / 2, 0, header.width() / 2, header.height() - strip));
        }
        const char* normal = org ? "message_group_state_tab_0.png" : "message_group_state_tab_1.png";
        const char* selected = org ? "message_group_state_tab_selected_0.png" : "message_group_state_tab_selected_1.png";
        for (const auto& button : { btnMsgState_, btnSmsState_ }) {
            button->setBackgroundImage(UIImage::imageNamed(normal), UIControlStateNormal);
            button->setBackgroundImage(UIImage::imageNamed(selected), UIControlStateDisabled);
        }
        imgShadow_->setHidden(!org);
        if (auto colour = org ? light : dark)
            bottomBg_->setBackgroundColor(*colour);
    });
}
