#include "teaching/comment/SuggestCommentCell.h"

#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"

void SuggestCommentCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("suggestStatusBtn", suggestStatusBtn_);
    bindings.outlet("suggestTipLbl", suggestTipLbl_);
    bindings.outlet("suggestCommentLbl", suggestCommentLbl_);
}

void SuggestCommentCell::setSuggestion(const core::SuggestCommentInfo& suggestion)
{
    suggestTipLbl_->setText(suggestion.type);
    suggestCommentLbl_->setText(suggestion.content);
    suggestStatusBtn_->setSelected(suggestion.isSelected);
}
