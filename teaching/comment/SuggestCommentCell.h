#pragma once

#include "core/model/SuggestCommentInfo.h"
#include "ui/tables/BaseCell.h"

#include <memory>

class UIButton;
class UILabel;

// One suggested comment: its heading, its text and a selection button.
class SuggestCommentCell final : public BaseCell {
public:
    ORB_CLASS_NAME(SuggestCommentCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void setSuggestion(const core::SuggestCommentInfo& suggestion);

    const std::shared_ptr<UIButton>& suggestStatusBtn() const { return suggestStatusBtn_; }

private:
    std::shared_ptr<UIButton> suggestStatusBtn_;
    std::shared_ptr<UILabel> suggestTipLbl_;
    std::shared_ptr<UILabel> suggestCommentLbl_;
};
