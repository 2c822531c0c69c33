#include "messaging/compose/MessageTemplateViewController.h"

#include "core/network/ORBReplyParser.h"
#include "core/network/builders/ORBMessageTemplateControl.h"
#include "core/store/MessageTemplateFactory.h"
#include "core/util/GlobalColor.h"
#include "foundation/http/FormDataRequest.h"
#include "platform/graphics/Text.h"
#include "platform/os/Log.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/overlay/ProgressOverlay.h"

#include <algorithm>
#include <limits>

using foundation::HTTPRequestPtr;
using foundation::RequestSelector;

namespace {

// The category list hangs from the title in the theme's main colour (this
// one when no theme is loaded).
const platform::Color kDropDownColor = platform::Color::fromRGB255(0x1A, 0x9E, 0x8F);
const platform::Rect kDropDownFrame(90, -30, 140, 0);
constexpr const char* kCellIdentifier = "Cell";

// A list of categories or templates, read as the dispatcher reads a
// screen's list: one past what a list can be is refused unread, and the
// stored templates stay as they were.
platform::Value parse(const HTTPRequestPtr& request)
{
    return core::ORBReplyParser::readReply(*request, core::kLargestScreenReply, "message templates")
        .value.value_or(platform::Value());
}

bool isLong(const std::string& text)
{
    return platform::utf16Length(text) > MessageTemplateViewController::kShortTextLength;
}

} // namespace

MessageTemplateViewController::MessageTemplateViewController()
    : MessageTemplateViewController(std::string(kClassName))
{
}

MessageTemplateViewController::MessageTemplateViewController(std::string nibName)
    : BaseViewController(std::move(nibName))
{
}

void MessageTemplateViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("msgTableView", msgTableView_);
    bindings.outlet("searchTextField", searchTextField_);
    bindings.outlet("leftItem", nibLeftItem_);
    bindings.outlet("rightItem", nibRightItem_);
    bindings.outlet("titleView", titleView_);
    bindings.action("btnBackTouchUpInside:", &MessageTemplateViewController::btnBackTouchUpInside);
    bindings.action("btnChooseMessageType:", &MessageTemplateViewController::btnChooseMessageType);
    bindings.action("txtSearchEditingChanged:", &MessageTemplateViewController::txtSearchEditingChanged);
}

void MessageTemplateViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<MessageTemplateViewController>();
    searchTextField_->setDelegate(std::weak_ptr<UITextFieldDelegate>(me));
    searchTextField_->setReturnKeyType(UIReturnKeyDone);
    setLeftItem(nibLeftItem_);
    setTitleView(titleView_);
    observe(UIKeyboardDidShowNotification, &MessageTemplateViewController::keyboardDidShow);

    msgTableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    msgTableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    auto footer = std::make_shared<UIView>(platform::Rect(0, 0, msgTableView_->frame().width(), 0));
    footer->setBackgroundColor(platform::Color::clearColor());
    msgTableView_->setTableFooterView(footer);

    initDropDownList();
    core::MessageTemplateFactory store;
    // A new list: the drop-down lets the old one go and puts "全部模板" in front.
    titleTypeData_ = std::make_shared<ZPDropDownListView::TypeList>(
        store.getMessageTemplateTypes().value_or(core::TemplateTypeList {}));
    dropDownListView_->setTypeList(titleTypeData_);
    dropDownListView_->reloadData();

    allMsgListData_ = store.getMessageTemplateContents().value_or(core::TemplateList {});
    msgListData_ = allMsgListData_;
    msgTableView_->reloadData();

    hud_ = std::make_shared<ProgressOverlay>(view()->bounds());
    hud_->setAnimationType(ProgressOverlayAnimationZoom);
    hud_->setMode(ProgressOverlayModeText);
    view()->addSubview(hud_);

    loadMessageTemplateType();
}

void MessageTemplateViewController::initDropDownList()
{
    auto frame = kDropDownFrame;
    frame.size.height = ZPDropDownListView::kRowHeight * double(titleTypeData_->size()) + ZPDropDownListView::kStripHeight;
    dropDownListView_ = ZPDropDownListView::initWithFrame(frame);
    dropDownListView_->setOutletName("dropDownListView");
    dropDownListView_->setTypeList(titleTypeData_);
    view()->addSubview(dropDownListView_);
    dropDownListView_->setItemBackgroundColor(core::GlobalColor::getColor("main").value_or(kDropDownColor));
    dropDownListView_->setTextColor(platform::Color::whiteColor());
    dropDownListView_->setFont(UIFont::systemFont(ZPDropDownListView::kFontSize));
    dropDownListView_->setDelegate(std::weak_ptr<DropDownListViewDelegate>(self<MessageTemplateViewController>()));
}

// ---- The server's categories and templates ----------------------------------------------

void MessageTemplateViewController::loadMessageTemplateType()
{
    cancelAllRequests();
    startRequest(core::ORBMessageTemplateControl::getMessageTemplateTypeDelegate(weakSelf<MessageTemplateViewController>(),
        RequestSelector::method(&MessageTemplateViewController::requestMessageTemplateTypeSussceeded),
        RequestSelector::method(&MessageTemplateViewController::requestMessageTemplateTypeFailed)));
}

void MessageTemplateViewController::requestMessageTemplateTypeSussceeded(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request))
        return;
    platform::Value reply = parse(request);
    const platform::Value& items = reply["items"];
    if (reply.isDictionary() && items.isArray()) {
        core::TemplateTypeList newTypes;
        for (const platform::Value& item : *items.asArray()) {
            auto type = core::MessageTemplateType::typeWithObj(item);
            if (!type)
                continue;
            // A category sent again (changed) takes its old place, not a second row.
            auto same = std::find_if(titleTypeData_->begin(), titleTypeData_->end(), [&](const auto& known) {
                return known->titleId == type->titleId && known->titleId != 0;
            });
            if (same != titleTypeData_->end())
                *same = type;
            else
                titleTypeData_->push_back(type);
            newTypes.push_back(type);
        }
        if (!newTypes.empty()) {
            dropDownListView_->setTypeList(titleTypeData_);
            dropDownListView_->reloadData();
            core::MessageTemplateFactory().setMessageTemplateTypes(newTypes);
        }
    }
    loadMessageTemplateContent();
}

void MessageTemplateViewController::requestMessageTemplateTypeFailed(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request))
        return;
    auto error = request->error();
    platform::log("requestMessageTemplateTypeFailed %s\n", error ? error->localizedDescription().c_str() : "");
}

void MessageTemplateViewController::loadMessageTemplateContent()
{
    cancelAllRequests();
    startRequest(core::ORBMessageTemplateControl::getMessageTemplateContentDelegate(weakSelf<MessageTemplateViewController>(),
        RequestSelector::method(&MessageTemplateViewController::requestMessageTemplateContentSussceeded),
        RequestSelector::method(&MessageTemplateViewController::requestMessageTemplateContentFailed)));
}

void MessageTemplateViewController::requestMessageTemplateContentSussceeded(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request))
        return;
    platform::Value reply = parse(request);
    const platform::Value& items = reply["items"];
    if (!reply.isDictionary() || !items.isArray())
        return;
    core::TemplateList newTemplates;
    for (const platform::Value& item : *items.asArray()) {
        auto info = core::MessageTemplateInfo::templateWithObj(item);
        if (!info)
            continue;
        auto same = std::find_if(allMsgListData_.begin(), allMsgListData_.end(),
            [&](const auto& known) { return known->msgId == info->msgId; });
        if (same != allMsgListData_.end())
            *same = info;
        else
            allMsgListData_.push_back(info);
        newTemplates.push_back(info);
    }
    if (newTemplates.empty())
        return;
    // The chosen category and the search text still hold for what arrived.
    applyFilter();
    if (core::MessageTemplateFactory().setMessageTemplateContents(newTemplates))
        showUpdated();
}

void MessageTemplateViewController::requestMessageTemplateContentFailed(const HTTPRequestPtr& request)
{
    if (!takeAnswer(request))
        return;
    auto error = request->error();
    platform::log("requestMessageTemplateContentFailed %s\n", error ? error->localizedDescription().c_str() : "");
}

void MessageTemplateViewController::showUpdated()
{
    view()->bringSubviewToFront(hud_);
    hud_->setLabelText(kUpdatedText);
    hud_->show(true);
    hud_->hide(true, kUpdatedHideDelay);
}

// ---- Category and search ------------------------------------------------------------

void MessageTemplateViewController::btnChooseMessageType(UIControl*) { dropDownListView_->showAsDropDown(); }

void MessageTemplateViewController::onDropDownItemClick(const NSIndexPath& indexPath)
{
    searchTextField_->resignFirstResponder();
    searchTextField_->setText("");
    currentSelectedIndex_ = -1;
    if (indexPath.row < 0 || std::size_t(indexPath.row) >= titleTypeData_->size())
        return;
    const auto& type = titleTypeData_->at(std::size_t(indexPath.row));
    currentType_ = type->titleType;
    titleView_->setTitle(type->titleName, UIControlStateNormal);
    titleView_->setTitle(type->titleName, UIControlStateSelected);
    applyFilter();
}

void MessageTemplateViewController::applyFilter()
{
    const std::string needle = platform::toLower(searchTextField_->text());
    msgListData_.clear();
    for (const auto& info : allMsgListData_) {
        if (currentType_ != 0 && info->msgType != currentType_)
            continue;
        if (!needle.empty() && platform::toLower(info->msgInfo).find(needle) == std::string::npos)
            continue;
        msgListData_.push_back(info);
    }
    currentSelectedIndex_ = -1;
    msgTableView_->reloadData();
}

void MessageTemplateViewController::txtSearchEditingChanged(UIControl*)
{
    platform::log("搜索文本 %s\n", searchTextField_->text().c_str());
    if (allMsgListData_.empty())
        return;
    applyFilter();
}

void MessageTemplateViewController::textFieldDidBeginEditing(UITextField*) { dropDownListView_->dismiss(); }

bool MessageTemplateViewController::textFieldShouldReturn(UITextField* field)
{
    if (field)
        field->resignFirstResponder();
    return true;
}

// ---- The list -------------------------------------------------------------------------

std::optional<double> MessageTemplateViewController::heightForRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath)
{
    if (indexPath.row != currentSelectedIndex_)
        return kRowHeight;
    auto use = UIImage::imageNamed(std::string(kUseImage) + ".png");
    double width = tableView->frame().width() - (use ? use->size().width : 0) - kUseImageMargin;
    double text = platform::measureText(msgListData_.at(std::size_t(indexPath.row))->msgInfo,
        UIFont::systemFont(kMeasureFontSize), platform::Size(width, kMeasureMaxHeight))
                      .height;
    return std::max(kRowHeight, text + kExpandedPadding);
}

std::shared_ptr<UITableViewCell> MessageTemplateViewController::cellForRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath)
{
    auto cell = tableView->dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, kCellIdentifier);
    const auto& info = msgListData_.at(std::size_t(indexPath.row));
    auto label = cell->textLabel();
    label->setText(info->msgInfo);
    label->setFont(UIFont::systemFont(kCellFontSize));
    label->setBackgroundColor(platform::Color::clearColor());
    auto itemBackground = UIImage::imageNamed(std::string(kItemBackground) + ".png");
    cell->setSelectedBackgroundView(std::make_shared<UIImageView>(itemBackground));
    if (indexPath.row == currentSelectedIndex_) {
        label->setTextColor(platform::Color::whiteColor());
        label->setNumberOfLines(0);
        cell->setAccessoryView(nullptr);
        cell->setBackgroundView(std::make_shared<UIImageView>(itemBackground));
        cell->setBackgroundColor(platform::Color::clearColor());
    } else {
        label->setTextColor(platform::Color::blackColor());
        label->setNumberOfLines(2);
        cell->setAccessoryView(isLong(info->msgInfo)
                ? std::make_shared<UIImageView>(UIImage::imageNamed(std::string(kArrowImage) + ".png"))
                : nullptr);
        cell->setBackgroundView(nullptr);
        cell->setBackgroundColor(platform::Color::fromWhite((indexPath.row % 2 == 1 ? 235.0 : 243.0) / 255.0));
    }
    return cell;
}

void MessageTemplateViewController::didSelectRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath)
{
    tableView->deselectRowAtIndexPath(indexPath, true);
    if (indexPath.row == currentSelectedIndex_) {
        useMessageTemplateAction();
        return;
    }
    currentSelectedIndex_ = int(indexPath.row);
    if (isLong(msgListData_.at(std::size_t(indexPath.row))->msgInfo)) {
        dropDownListView_->dismiss();
        searchTextField_->resignFirstResponder();
        msgTableView_->reloadData();
    } else {
        useMessageTemplateAction();
    }
}

void MessageTemplateViewController::useMessageTemplateAction()
{
    if (currentSelectedIndex_ < 0 || std::size_t(currentSelectedIndex_) >= msgListData_.size())
        return;
    const auto& info = msgListData_[std::size_t(currentSelectedIndex_)];
    platform::NotificationCenter::defaultCenter().post(kNotification,
        platform::Value(platform::Dictionary {
            { "msgId", info->msgId }, { "msgInfo", info->msgInfo }, { "useCount", info->useCount } }));
    popViewController();
}

void MessageTemplateViewController::btnBackTouchUpInside(UIControl*)
{
    cancelAllRequests();
    popViewController();
}
