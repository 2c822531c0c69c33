#pragma once

#include "platform/os/ClassRegistry.h"
#include "ui/tables/BaseCell.h"

#include <memory>

// The row a list shows when it has nothing to list: a group of subviews (a
// picture and a line of text, from the cell's layout) kept centred vertically
// whatever height the list gives the row.
class EmptyCell : public BaseCell {
public:
    ORB_CLASS_NAME(EmptyCell)

    const std::shared_ptr<UIView>& wrapperView() const { return wrapperView_; }
    void setWrapperView(const std::shared_ptr<UIView>& view) { wrapperView_ = view; }

    // The wrapper is the subview the layout names "wrapperView".
    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void layoutSubviews() override;

private:
    std::shared_ptr<UIView> wrapperView_;
};
