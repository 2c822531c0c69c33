#include "messaging/compose/ContactsGroupCell.h"

#include "platform/graphics/Text.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

#include "ui/ORBHelper.h"

#include <string>

namespace {

const platform::Color kCountGreen = platform::Color::fromRGB255(126, 195, 16);
const platform::Color kCountOrange = platform::Color::fromRGB255(251, 131, 9);

} // namespace

void ContactsCountLabel::setHighlight(std::string digits, const UIColor& colour, const UIFont& font)
{
    digits_ = std::move(digits);
    colour_ = colour;
    font_ = font;
    setNeedsDisplay();
}

void ContactsCountLabel::drawTextInRect(platform::Context& context, const platform::Rect& rect)
{
    const std::string& whole = text();
    auto at = digits_.empty() ? std::string::npos : whole.find(digits_);
    if (at == std::string::npos) {
        UILabel::drawTextInRect(context, rect);
        return;
    }
    // Left to right: the text before, the digits, the rest, each centred on the line.
    const std::string parts[] = { whole.substr(0, at), digits_, whole.substr(at + digits_.size()) };
    double x = rect.minX();
    for (int i = 0; i < 3; ++i) {
        if (parts[i].empty())
            continue;
        const UIFont& partFont = i == 1 ? font_ : font();
        auto layout = platform::layoutText(parts[i], partFont);
        double y = rect.minY() + (rect.height() - layout.lineHeight) / 2;
        platform::drawTextLayout(context, layout, platform::Point(x, y), i == 1 ? colour_ : textColor());
        x += layout.size.width;
        // A line's measure leaves out its trailing blank ("全选 "): put it back.
        if (parts[i].back() == ' ')
            x += platform::measureText("x x", partFont).width - platform::measureText("xx", partFont).width;
    }
}

void ContactsGroupCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("lineView", lineView_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblCount", lblCount_);
    bindings.outlet("imgCheckBox", imgCheckBox_);
    bindings.outlet("imgCheckBoxBg", imgCheckBoxBg_);
    bindings.action("btnCheckBoxTouchUpInside:", &ContactsGroupCell::btnCheckBoxTouchUpInside);
}

void ContactsGroupCell::awakeFromNib()
{
    UIView::awakeFromNib();
    nameFrame_ = lblName_->frame();
    setSelectedBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("public_cel_selected_bg.png")));
}

void ContactsGroupCell::setGroup(std::shared_ptr<core::GroupInfo> group)
{
    group_ = std::move(group);
    if (!group_)
        return;
    lblName_->setText(group_->name);
    imgCheckBoxBg_->setHidden(group_->totalCount < 1);
    lblCount_->setFont(UIFont::systemFont(kCountFontSize));
    if (group_->selectCount < 1 && group_->totalCount < 1) {
        lblCount_->setText(kEmptyText);
        lblCount_->setTextColor(kCountGreen);
        lblCount_->setHighlight("", kCountGreen, UIFont::systemFont(kDigitsFontSize));
        imgCheckBox_->setImage(UIImage::imageNamed(kEmptyImage));
    } else if (group_->selectCount < 1) {
        lblCount_->setText("");
        lblCount_->setHighlight("", kCountGreen, UIFont::systemFont(kDigitsFontSize));
        imgCheckBox_->setImage(nullptr);
    } else if (group_->selectCount >= group_->totalCount) {
        lblCount_->setText("全选 " + std::to_string(group_->selectCount) + "人");
        lblCount_->setTextColor(kCountOrange);
        highlightCount();
        imgCheckBox_->setImage(UIImage::imageNamed(kAllImage));
    } else {
        lblCount_->setText("已选 " + std::to_string(group_->selectCount) + "人");
        lblCount_->setTextColor(kCountGreen);
        highlightCount();
        imgCheckBox_->setImage(UIImage::imageNamed(kSomeImage));
    }
    // With no count under it the name is the row's only line: it sits level
    // with the checkbox, not where the two lines start.
    auto frame = nameFrame_;
    if (lblCount_->text().empty())
        frame.origin.y = imgCheckBoxBg_->frame().midY() - frame.height() / 2;
    lblName_->setFrame(frame);
}

void ContactsGroupCell::highlightCount()
{
    lblCount_->setHighlight(std::to_string(group_->selectCount), ORBHelper::colorFromHexString(kDigitsColour),
        UIFont::systemFont(kDigitsFontSize));
}

void ContactsGroupCell::setLineHidden(bool hidden) { lineView_->setHidden(hidden); }

void ContactsGroupCell::btnCheckBoxTouchUpInside(UIControl*)
{
    if (auto delegate = delegate_.lock())
        delegate->contactsGroupCellDidSelected(*this, group_);
}
