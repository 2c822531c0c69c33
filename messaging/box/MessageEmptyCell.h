#pragma once

#include "ui/controls/EmptyCell.h"

#include <memory>

class UILabel;

// The one row of an empty message box; its text comes from its layout.
class MessageEmptyCell final : public EmptyCell {
public:
    ORB_CLASS_NAME(MessageEmptyCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

private:
    std::shared_ptr<UILabel> lblMessage_;
};
