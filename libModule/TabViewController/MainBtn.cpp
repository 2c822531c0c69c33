#include "libModule/TabViewController/MainBtn.h"

#include "core/util/GlobalColor.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"

#include <cstdio>

namespace {

std::string iconName(int uid, bool selected)
{
    char name[40];
    std::snprintf(name, sizeof name, selected ? "main_btn_%02i_s.png" : "main_btn_%02i.png", uid);
    return name;
}

} // namespace

std::shared_ptr<MainBtn> MainBtn::make()
{
    auto button = std::make_shared<MainBtn>();
    auto content = std::dynamic_pointer_cast<UIView>(platform::LayoutLoader::firstTopLevelObject("MainBtn", button));
    if (content) {
        button->setFrame(platform::Rect(platform::Point(0, 0), content->frame().size));
        // The content only draws; touches belong to the control.
        content->setUserInteractionEnabled(false);
        button->addSubview(content);
        button->awakeFromNib();
    }
    return button;
}

void MainBtn::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("imgBg", imgBg_);
    bindings.outlet("imgIcon", imgIcon_);
    bindings.outlet("badgeView", badgeView_);
    bindings.outlet("lblBadge", lblBadge_);
    bindings.outlet("lblName", lblName_);
}

void MainBtn::awakeFromNib()
{
    UIControl::awakeFromNib();
    if (badgeView_ && lblBadge_)
        badgeMarginX_ = badgeView_->frame().width() - lblBadge_->frame().width();
    if (badgeView_)
        badgeView_->setHidden(true);
    if (lblName_)
        lblName_->setTextColor(platform::Color::whiteColor());
}

void MainBtn::setInfo(std::shared_ptr<MainBtnInfo> info)
{
    info_ = std::move(info);
    if (!info_)
        return;
    if (lblName_)
        lblName_->setText(info_->name);
    if (imgIcon_)
        imgIcon_->setImage(UIImage::imageNamed(iconName(info_->uid, false)));
}

void MainBtn::setSelect(bool select)
{
    if (select == select_)
        return;
    select_ = select;
    int uid = info_ ? info_->uid : 0;
    if (select) {
        if (lblName_)
            lblName_->setTextColor(core::GlobalColor::getColor("main").value_or(platform::Color::whiteColor()));
        if (imgIcon_)
            imgIcon_->setImage(UIImage::imageNamed(iconName(uid, true)));
        if (imgBg_)
            imgBg_->setImage(UIImage::imageNamed("main_bottom_btn_bg_s.png"));
    } else {
        if (lblName_)
            lblName_->setTextColor(platform::Color::whiteColor());
        if (imgIcon_)
            imgIcon_->setImage(UIImage::imageNamed(iconName(uid, false)));
        if (imgBg_)
            imgBg_->setImage(UIImage::imageNamed("main_bottom_btn_bg.png"));
    }
}

void MainBtn::setBadgeNum(int badgeNum)
{
    badgeNum_ = badgeNum;
    if (!badgeView_ || !lblBadge_)
        return;
    if (badgeNum < 1) {
        badgeView_->setHidden(true);
        return;
    }
    badgeView_->setHidden(false);
    lblBadge_->setText(badgeNum < 100 ? std::to_string(badgeNum) : std::string("99+"));
    double textWidth = platform::measureText(lblBadge_->text(), lblBadge_->font()).width;
    auto frame = badgeView_->frame();
    double newWidth = textWidth + badgeMarginX_;
    double growth = newWidth - frame.width();
    badgeView_->setFrame(platform::Rect(frame.minX() - growth, frame.minY(), newWidth, frame.height()));
    auto label = lblBadge_->frame();
    lblBadge_->setFrame(platform::Rect(label.minX(), label.minY(), textWidth, label.height()));
}
