#pragma once

#include "content/lessons/GCModels.h"
#include "ui/tables/BaseCell.h"

class UILabel;

namespace content {

// A lesson of a subject's list: its name, its keyword ("无" without one) and
// how many videos it has.
class GCLessonCell final : public BaseCell {
public:
    ORB_CLASS_NAME(GCLessonCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setLesson(std::shared_ptr<GCLessonInfo> lesson);
    // The name's height plus the rest of the layout, at least the layout's height.
    static double height(const std::shared_ptr<GCLessonInfo>& lesson);

private:
    std::shared_ptr<GCLessonInfo> lesson_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblKeyword_;
    std::shared_ptr<UILabel> lblVideoCount_;
    double minHeight_ = 0;
    double lblNameMarginY_ = 0;
    double nameHeight_ = 0;
};

} // namespace content
