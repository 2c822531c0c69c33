#pragma once

#include "ui/controls/EmptyCell.h"

#include <memory>

class UIImageView;
class UILabel;

// The one row of an empty message box; its text comes from its layout. The
// picture stands above its two lines; on a row too short for that (the box
// gives it what its navigation rows leave above the tab bar) the picture
// stands beside them, so that all of it shows without a drag.
class MessageEmptyCell final : public EmptyCell {
public:
    ORB_CLASS_NAME(MessageEmptyCell)

    // Space kept above and below the picture when it stands beside the lines.
    static constexpr double kBesideMargin = 4;
    // Between the picture and the lines beside it.
    static constexpr double kBesideGap = 8;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void layoutSubviews() override;

    // The shortest row that shows the picture whole (beside its lines).
    static double shortestHeight();

private:
    void placeBeside();
    void placeAbove();

    std::shared_ptr<UIImageView> imgPicture_;
    std::shared_ptr<UILabel> lblMessage_;
    std::shared_ptr<UILabel> lblHint_;
    // The frames of the layout, with the picture above the lines.
    platform::Rect wrapperAbove_;
    platform::Rect pictureAbove_;
    platform::Rect messageAbove_;
    platform::Rect hintAbove_;
    bool beside_ = false;
};
