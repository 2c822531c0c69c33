#pragma once

#include "ui/tables/BaseCell.h"

#include <memory>
#include <string>

class UIImageView;
class UILabel;

// The head of one name list of the read states: "未读3人" with the no icon
// in orange, "已读5人" with the yes icon in green (the SMS tab says
// "发送失败"/"发送成功").
class GroupStateTopCell final : public BaseCell {
public:
    ORB_CLASS_NAME(GroupStateTopCell)

    static constexpr const char* kYesImage = "message_group_state_icon_yes.png";
    static constexpr const char* kNoImage = "message_group_state_icon_no.png";

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void secondPart() override;
    void setTitle(const std::string& title, bool yes);
    bool yesOrNo() const { return yesOrNo_; }

private:
    bool yesOrNo_ = false;
    std::shared_ptr<UIImageView> imgIcon_;
    std::shared_ptr<UILabel> lblTitle_;
};
