#pragma once

#include "ui/tables/BaseCell.h"

// The space under a list of the read states.
class GroupStateBottomCell final : public BaseCell {
public:
    ORB_CLASS_NAME(GroupStateBottomCell)

    void secondPart() override { setSelectionStyle(UITableViewCellSelectionStyleNone); }
};
