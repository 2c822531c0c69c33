#include "content/portal/GCLessonCell.h"

#include "content/portal/PortalStyle.h"
#include "platform/uikit/UILabel.h"

#include <cmath>

namespace content {

void GCLessonCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblKeyword", lblKeyword_);
    bindings.outlet("lblVideoCount", lblVideoCount_);
}

void GCLessonCell::awakeFromNib()
{
    UIView::awakeFromNib();
    minHeight_ = bounds().height();
    nameHeight_ = lblName_->frame().height();
    lblNameMarginY_ = minHeight_ - nameHeight_;
}

void GCLessonCell::setLesson(std::shared_ptr<GCLessonInfo> lesson)
{
    lesson_ = std::move(lesson);
    std::string name = lesson_ ? lesson_->name().value_or("") : "";
    lblName_->setText(name);
    auto frame = lblName_->frame();
    frame.size.height = std::max(nameHeight_, textHeight(name, lblName_->font(), frame.width()));
    lblName_->setFrame(frame);
    auto keyword = lesson_ ? lesson_->keyword() : std::nullopt;
    lblKeyword_->setText(keyword && !keyword->empty() ? *keyword : "无");
    lblVideoCount_->setText(std::to_string(lesson_ ? lesson_->videoCount : 0) + "个课件");
}

double GCLessonCell::height(const std::shared_ptr<GCLessonInfo>& lesson)
{
    auto demo = BaseCell::demo<GCLessonCell>();
    if (!demo)
        return 0;
    auto& label = *demo->lblName_;
    double name = textHeight(lesson ? lesson->name().value_or("") : "", label.font(), label.frame().width());
    return std::ceil(std::max(name + demo->lblNameMarginY_, demo->minHeight_));
}

} // namespace content
