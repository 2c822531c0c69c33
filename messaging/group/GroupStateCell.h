#pragma once

#include "ui/tables/BaseCell.h"

#include <memory>
#include <string>

class UILabel;

// The names of one list of the read states, as many lines as they take.
class GroupStateCell final : public BaseCell {
public:
    ORB_CLASS_NAME(GroupStateCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setTxt(const std::string& text);
    // The row height for the text: the label's wrapped height plus the
    // layout's margin, never below the layout's height (measured on the
    // class's prototype cell).
    static double height(const std::string& text);

private:
    double heightFor(const std::string& text) const;

    double marginY_ = 0;
    double minHeight_ = 0;
    std::shared_ptr<UILabel> lblTxt_;
};
