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
    if (auto tip = suggestTipLbl_.lock())
        tip->setText(suggestion.type);
    if (auto comment = suggestCommentLbl_.lock())
        comment->setText(suggestion.content);
    if (auto status = suggestStatusBtn_.lock())
        status->setSelected(suggestion.isSelected);
}
