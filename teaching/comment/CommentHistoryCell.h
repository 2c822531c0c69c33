#pragma once

#include "core/model/CommentHistoryInfo.h"
#include "ui/tables/BaseCell.h"

#include <memory>

class UIImageView;
class UILabel;

// One earlier comment: the rank icon, the day and time, and the text.
class CommentHistoryCell final : public BaseCell {
public:
    ORB_CLASS_NAME(CommentHistoryCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void setHistory(const core::CommentHistoryInfo& history);

private:
    std::shared_ptr<UIImageView> iconImageView_;
    std::shared_ptr<UILabel> dateLbl_;
    std::shared_ptr<UILabel> timeLbl_;
    std::shared_ptr<UILabel> contentLbl_;
};
