#include "messaging/compose/ZPDropDownListView.h"

#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableViewCell.h"

#include <algorithm>

namespace {

constexpr const char* kCellIdentifier = "Cell";

} // namespace

std::shared_ptr<ZPDropDownListView> ZPDropDownListView::initWithFrame(const platform::Rect& frame)
{
    auto view = std::make_shared<ZPDropDownListView>(frame);
    view->setUp();
    return view;
}

ZPDropDownListView::ZPDropDownListView(const platform::Rect& frame)
    : UIView(platform::Rect(frame.minX(), frame.minY(), frame.width(), kStripHeight))
{
    frameHeight_ = std::min(frame.height(), kMaxHeight);
    tabheight_ = frameHeight_ - kStripHeight;
}

void ZPDropDownListView::setUp()
{
    auto me = std::static_pointer_cast<ZPDropDownListView>(sharedView());
    tv_ = std::make_shared<UITableView>(platform::Rect(0, kStripHeight, frame().width(), 0));
    tv_->setOutletName("dropDownTable");
    tv_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    tv_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    tv_->setBackgroundColor(UIColor::grayColor());
    tv_->setSeparatorColor(UIColor::lightGrayColor());
    tv_->setHidden(true);
    addSubview(tv_);
}

void ZPDropDownListView::setTypeList(std::shared_ptr<TypeList> typeList)
{
    if (typeList == typeList_)
        return;
    if (typeList_)
        typeList_->clear();
    if (typeList)
        typeList->insert(typeList->begin(), core::MessageTemplateType::allTemplates());
    typeList_ = std::move(typeList);
}

void ZPDropDownListView::reloadData()
{
    double rows = typeList_ ? double(typeList_->size()) : 0;
    frameHeight_ = std::min(kRowHeight * rows + kStripHeight, kMaxHeight);
    tabheight_ = frameHeight_ - kStripHeight;
    tv_->reloadData();
}

void ZPDropDownListView::showAsDropDown()
{
    if (showList_) {
        dismiss();
        return;
    }
    if (auto parent = superview())
        parent->bringSubviewToFront(sharedView());
    tv_->setHidden(false);
    showList_ = true;
    auto table = tv_->frame();
    table.size.height = 0;
    tv_->setFrame(table);
    UIView::beginAnimations(kResizeAnimation);
    UIView::setAnimationCurve(UIViewAnimationCurveLinear);
    auto whole = frame();
    whole.size.height = frameHeight_;
    setFrame(whole);
    table.size.height = tabheight_;
    tv_->setFrame(table);
    UIView::commitAnimations();
}

void ZPDropDownListView::dismiss()
{
    showList_ = false;
    tv_->setHidden(true);
    auto whole = frame();
    whole.size.height = kStripHeight;
    setFrame(whole);
    auto table = tv_->frame();
    table.size.height = 0;
    tv_->setFrame(table);
}

void ZPDropDownListView::setItemBackgroundColor(const UIColor& color)
{
    // The rows' labels and the list behind them take the same colour: the
    // open list is one panel, with no other colour beside the labels, which
    // stand inset in their rows.
    itemBackgroundColor_ = color;
    if (tv_->backgroundColor() != color)
        tv_->setBackgroundColor(color);
    tv_->reloadData();
}

std::shared_ptr<UITableViewCell> ZPDropDownListView::cellForRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath)
{
    auto cell = tableView->dequeueReusableCellWithIdentifier(kCellIdentifier);
    if (!cell)
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, kCellIdentifier);
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    cell->setAccessoryType(UITableViewCellAccessoryNone);
    cell->setBackgroundColor(UIColor::clearColor());
    auto label = cell->textLabel();
    label->setText(typeList_->at(std::size_t(indexPath.row))->titleName);
    label->setFont(font_);
    label->setTextColor(txtColor_);
    label->setTextAlignment(NSTextAlignmentCenter);
    label->setBackgroundColor(itemBackgroundColor_);
    return cell;
}

void ZPDropDownListView::didSelectRowAtIndexPath(UITableView*, const NSIndexPath& indexPath)
{
    if (auto delegate = delegate_.lock())
        delegate->onDropDownItemClick(indexPath);
    dismiss();
}
