#include "ui/grid/ORBPickerView.h"

#include "core/model/AlbumInfo.h"
#include "core/model/ClassInfo.h"
#include "platform/os/Log.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIBarButtonItem.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIToolbar.h"

#include <algorithm>

namespace {

constexpr double kTextInsetLeft = 10;
constexpr double kTextInsetWidth = 40;
constexpr double kArrowWidth = 35;

} // namespace

std::shared_ptr<ORBPickerView> ORBPickerView::make(const platform::Rect& frame)
{
    auto field = std::make_shared<ORBPickerView>(frame);
    field->setUp();
    return field;
}

ORBPickerView::~ORBPickerView() { pendingSelect_.cancel(); }

void ORBPickerView::setUp()
{
    auto self = std::static_pointer_cast<ORBPickerView>(sharedView());
    setBackgroundColor(platform::Color::whiteColor());
    setTextColor(platform::Color::grayColor());
    setFont(UIFont::boldSystemFont(16));
    setContentVerticalAlignment(UIControlContentVerticalAlignmentCenter);

    currentPickerView_ = std::make_shared<UIPickerView>(platform::Rect(0, 0, 320, 216));
    currentPickerView_->setShowsSelectionIndicator(true);
    currentPickerView_->setDataSource(std::weak_ptr<UIPickerViewDataSource>(self));
    currentPickerView_->setDelegate(std::weak_ptr<UIPickerViewDelegate>(self));
    setInputView(currentPickerView_);

    auto toolbar = std::make_shared<UIToolbar>(platform::Rect(0, 0, 320, 44));
    toolbar->setBarStyle(UIBarStyleBlackTranslucent);
    auto cancelItem = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemCancel);
    cancelItem->setTarget(self, &ORBPickerView::cancel, "cancel");
    auto doneItem = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemDone);
    doneItem->setTarget(self, &ORBPickerView::done, "done");
    toolbar->setItems(
        { cancelItem, UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace), doneItem });
    setInputAccessoryView(toolbar);

    // One arrow, placed again by each layout pass.
    arrowButton_ = UIButton::buttonWithType(UIButtonTypeCustom);
    arrowButton_->addTarget(self, &ORBPickerView::showDownList, UIControlEventTouchUpInside, "showDownList");
    addSubview(arrowButton_);

    lifetime_.observe(self, UIKeyboardWillShowNotification, &ORBPickerView::keyboardWillShow);

    applyLook();
    applyList();
}

void ORBPickerView::applyLook()
{
    if (hasBorder_) {
        layer()->setCornerRadius(5.0);
        layer()->setBorderColor(platform::Color::lightGrayColor());
        layer()->setBorderWidth(1.0);
        layer()->setBackgroundColor(platform::Color::whiteColor());
    }
    if (arrowButton_)
        arrowButton_->setImage(
            UIImage::imageNamed(isDownStyle_ ? kDownArrowImage : kRightArrowImage), UIControlStateNormal);
    setNeedsLayout();
    setNeedsDisplay();
}

long ORBPickerView::indexOf(const std::shared_ptr<platform::Object>& value) const
{
    auto found = std::find(listDatas_.begin(), listDatas_.end(), value);
    return found == listDatas_.end() ? -1 : static_cast<long>(found - listDatas_.begin());
}

void ORBPickerView::applyList()
{
    if (!listDatas_.empty()) {
        defaultValueSetting();
        // The confirmed row is the entry shown, not row 0: a redraw after a
        // confirmed choice must not make the picker open (and Cancel go back)
        // to the first entry while the screen holds another.
        doneRow_ = std::max(0L, indexOf(defaultValue_));
        currentRow_ = doneRow_;
    } else {
        if (pickerType_ == ClassPicker)
            setText(kLoadingClassesText);
        else if (pickerType_ == AlbumPicker)
            setText(kLoadingAlbumsText);
        else
            setText({});
        setEnabled(false);
    }
    setNeedsDisplay();
}

void ORBPickerView::setListDatas(std::vector<std::shared_ptr<platform::Object>> list)
{
    listDatas_ = std::move(list);
    // A default the new list lacks is kept: screens set entries such as
    // "all classes" that are shown by their own name without being a row.
    if (currentPickerView_)
        currentPickerView_->reloadAllComponents();
    applyList();
}

void ORBPickerView::setPickerType(int type)
{
    pickerType_ = type;
    if (currentPickerView_)
        currentPickerView_->reloadAllComponents();
    applyList();
}

void ORBPickerView::setDefaultValue(std::shared_ptr<platform::Object> value)
{
    defaultValue_ = std::move(value);
    applyList();
}

void ORBPickerView::setHasBorder(bool hasBorder)
{
    hasBorder_ = hasBorder;
    if (!hasBorder) {
        layer()->setCornerRadius(0);
        layer()->setBorderWidth(0);
    }
    applyLook();
}

void ORBPickerView::setIsDownStyle(bool down)
{
    isDownStyle_ = down;
    applyLook();
}

std::optional<std::string> ORBPickerView::pickerViewTitle(long row) const
{
    if (row < 0 || row >= static_cast<long>(listDatas_.size()))
        return std::nullopt;
    return titleOf(listDatas_[static_cast<std::size_t>(row)]);
}

std::optional<std::string> ORBPickerView::titleOf(const std::shared_ptr<platform::Object>& entry) const
{
    if (pickerType_ == ClassPicker) {
        if (auto info = std::dynamic_pointer_cast<core::ClassInfo>(entry))
            return info->className;
    } else if (pickerType_ == AlbumPicker) {
        if (auto info = std::dynamic_pointer_cast<core::AlbumInfo>(entry))
            return info->albumName;
    }
    return std::nullopt;
}

void ORBPickerView::defaultValueSetting()
{
    if (!defaultValue_) {
        if (listDatas_.empty())
            return;
        defaultValue_ = listDatas_.front();
    }
    if (pickerType_ != ClassPicker && pickerType_ != AlbumPicker)
        return;
    if (auto title = titleOf(defaultValue_))
        setText(*title);
}

std::string ORBPickerView::titleForRow(UIPickerView*, long row, long) { return pickerViewTitle(row).value_or(""); }

void ORBPickerView::didSelectRow(UIPickerView*, long row, long component)
{
    currentRow_ = row;
    setText(pickerViewTitle(row).value_or(""));
    platform::log("picker view:%s, component:%ld\n", className().c_str(), component);
}

void ORBPickerView::showDownList() { becomeFirstResponder(); }

void ORBPickerView::keyboadChanged()
{
    pendingSelect_.cancel();
    std::weak_ptr<ORBPickerView> weakSelf = std::static_pointer_cast<ORBPickerView>(sharedView());
    pendingSelect_ = platform::dispatchAfter(kSelectDelay, [weakSelf] {
        if (auto self = weakSelf.lock())
            self->defaultSelectRow();
    });
}

void ORBPickerView::defaultSelectRow()
{
    if (currentPickerView_)
        currentPickerView_->selectRow(doneRow_, 0, true);
}

void ORBPickerView::cancel()
{
    resignFirstResponder();
    platform::log("current row:%ld, done row:%ld\n", currentRow_, doneRow_);
    if (doneRow_ >= 0 && doneRow_ < static_cast<long>(listDatas_.size()))
        defaultValue_ = listDatas_[static_cast<std::size_t>(doneRow_)];
    defaultValueSetting();
}

void ORBPickerView::done()
{
    resignFirstResponder();
    auto delegate = cDelegate();
    if (!delegate)
        return;
    long row = currentPickerView_ ? currentPickerView_->selectedRowInComponent(0) : -1;
    if (row < 0 || row >= static_cast<long>(listDatas_.size()))
        return;
    auto entry = listDatas_[static_cast<std::size_t>(row)];
    currentRow_ = row;
    doneRow_ = row;
    setText(pickerViewTitle(row).value_or(""));
    delegate->didSelectedPickerView(this, row);
    defaultValue_ = entry;
}

platform::Rect ORBPickerView::textRectForBounds(const platform::Rect& bounds) const
{
    return platform::Rect(
        bounds.origin.x + kTextInsetLeft, bounds.origin.y, bounds.width() - kTextInsetWidth, bounds.height());
}

platform::Rect ORBPickerView::editingRectForBounds(const platform::Rect& bounds) const
{
    return textRectForBounds(bounds);
}

void ORBPickerView::layoutSubviews()
{
    UITextField::layoutSubviews();
    if (arrowButton_) {
        auto b = bounds();
        arrowButton_->setFrame(platform::Rect(b.width() - 30, 2, kArrowWidth, b.height() - 4));
        bringSubviewToFront(arrowButton_);
    }
}
