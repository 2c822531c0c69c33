#pragma once

#include "libModule/TabViewController/MainBtnInfo.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIControl.h"

#include <memory>

class UIImageView;
class UILabel;
class UIView;

// The main screen's tab button: background, icon, name and a badge, laid out
// by the layout "MainBtn".
class MainBtn : public UIControl, public platform::LayoutBindable {
public:
    ORB_CLASS_NAME(MainBtn)

    MainBtn() = default;
    // A button made from its layout (the layout's size, its views connected).
    static std::shared_ptr<MainBtn> make();

    bool select() const { return select_; }
    // Draws the button selected (theme colour "main", the "_s" pictures) or
    // not (white, the plain pictures); the value already held changes nothing.
    void setSelect(bool select);

    const std::shared_ptr<MainBtnInfo>& info() const { return info_; }
    void setInfo(std::shared_ptr<MainBtnInfo> info);

    int badgeNum() const { return badgeNum_; }
    // Below 1 hides the badge; otherwise "%i", or "99+" from 100 on. The
    // badge grows to the left, keeping its right edge.
    void setBadgeNum(int badgeNum);

    std::shared_ptr<UIImageView> imgBg() const { return imgBg_; }
    std::shared_ptr<UIImageView> imgIcon() const { return imgIcon_; }
    std::shared_ptr<UIView> badgeView() const { return badgeView_; }
    std::shared_ptr<UILabel> lblBadge() const { return lblBadge_; }
    std::shared_ptr<UILabel> lblName() const { return lblName_; }
    double badgeMarginX() const { return badgeMarginX_; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

private:
    double badgeMarginX_ = 0;
    bool select_ = false;
    std::shared_ptr<MainBtnInfo> info_;
    std::shared_ptr<UIImageView> imgBg_;
    std::shared_ptr<UIImageView> imgIcon_;
    std::shared_ptr<UIView> badgeView_;
    std::shared_ptr<UILabel> lblBadge_;
    int badgeNum_ = 0;
    std::shared_ptr<UILabel> lblName_;
};
