#pragma once

#include "ui/tables/BaseCell.h"

#include <memory>

class UIButton;

// The row under the failed names that sends the message to them again.
class GroupStateButtonCell final : public BaseCell {
public:
    ORB_CLASS_NAME(GroupStateButtonCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void secondPart() override { setSelectionStyle(UITableViewCellSelectionStyleNone); }
    const std::shared_ptr<UIButton>& btnResend() const { return btnResend_; }

private:
    std::shared_ptr<UIButton> btnResend_;
};
