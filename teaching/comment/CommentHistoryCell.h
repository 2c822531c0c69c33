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

    std::shared_ptr<UIImageView> iconImageView() const { return iconImageView_.lock(); }
    std::shared_ptr<UILabel> dateLbl() const { return dateLbl_.lock(); }
    std::shared_ptr<UILabel> timeLbl() const { return timeLbl_.lock(); }
    std::shared_ptr<UILabel> contentLbl() const { return contentLbl_.lock(); }

private:
    std::weak_ptr<UIImageView> iconImageView_;
    std::weak_ptr<UILabel> dateLbl_;
    std::weak_ptr<UILabel> timeLbl_;
    std::weak_ptr<UILabel> contentLbl_;
};
