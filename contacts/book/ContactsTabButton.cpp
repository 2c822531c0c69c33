#include "contacts/book/ContactsTabButton.h"

#include "core/util/GlobalColor.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/images/RemoteImageView.h"

#include <cmath>
#include <optional>

namespace {
const platform::Color kUnselectedText(0.5824, 0.5686, 0.5686, 1);
const platform::Color kUnselectedLine(0.7, 0.7, 0.7, 1);
} // namespace

std::shared_ptr<ContactsTabButton> ContactsTabButton::make()
{
    // A strip of many groups makes many buttons: the file is read and parsed
    // for the first, and each is built from what it gave.
    static std::optional<platform::Value> layout;
    if (!layout)
        layout = platform::LayoutLoader::readNamed(kClassName);
    if (!layout)
        return nullptr;
    auto objects = platform::LayoutLoader::loadFromValue(*layout, nullptr, kClassName);
    auto button = objects.empty() ? nullptr : std::dynamic_pointer_cast<ContactsTabButton>(objects.back());
    if (button)
        button->refreshLook();
    return button;
}

void ContactsTabButton::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("lblName", lblName_);
    bindings.outlet("imgBg", imgBg_);
    bindings.outlet("lineView", lineView_);
}

void ContactsTabButton::awakeFromNib()
{
    UIView::awakeFromNib();
    padding_ = frame().width() - lblName_->frame().width();
}

void ContactsTabButton::setGroup(std::shared_ptr<core::GroupInfo> group)
{
    group_ = std::move(group);
    lblName_->setText(group_ ? group_->name : std::string());
    double width = platform::measureText(lblName_->text(), lblName_->font()).width;
    auto frame = this->frame();
    setFrame(platform::Rect(frame.minX(), frame.minY(), std::ceil(width) + padding_, frame.height()));
}

void ContactsTabButton::setSelect(bool select)
{
    if (select_ == select)
        return;
    select_ = select;
    refreshLook();
}

void ContactsTabButton::refreshLook()
{
    lblName_->setTextColor(select_ ? platform::Color::blackColor() : kUnselectedText);
    setImageOfView(*imgBg_, UIImage::imageNamed(select_ ? "contacts_tab_select.png" : "contacts_tab_unselect.png"));
    lineView_->setBackgroundColor(
        select_ ? core::GlobalColor::getColor("main_dark").value_or(platform::Color::blackColor()) : kUnselectedLine);
}
