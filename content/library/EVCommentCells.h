#pragma once

#include "content/library/EVModels.h"
#include "ui/tables/BaseCell.h"

#include <memory>

class SStarView;
class UILabel;

namespace content {

// One comment: who wrote it, as what, when; its rating and its text. Its
// height follows its text.
class EVCommentCell final : public BaseCell {
public:
    ORB_CLASS_NAME(EVCommentCell)

    static constexpr unsigned kMostStars = 5;
    // The library's stars: grey when not given, orange when given.
    static void styleStars(SStarView& stars);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    const std::shared_ptr<EVCommentInfo>& comment() const { return comment_; }
    void setComment(std::shared_ptr<EVCommentInfo> comment);
    // "name role  yy-MM-dd HH:mm".
    static std::string nameLine(const EVCommentInfo& comment);
    static double height(const std::shared_ptr<EVCommentInfo>& comment);

    const std::shared_ptr<UILabel>& lblName() const { return lblName_; }
    const std::shared_ptr<UILabel>& lblContent() const { return lblContent_; }
    const std::shared_ptr<SStarView>& starView() const { return starView_; }

private:
    std::shared_ptr<EVCommentInfo> comment_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblContent_;
    std::shared_ptr<SStarView> starView_;
    std::shared_ptr<UIView> bgView_;
    double marginY_ = 0;
};

// The row of a video without comments.
class EVCommentEmptyCell final : public BaseCell {
public:
    ORB_CLASS_NAME(EVCommentEmptyCell)
    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

private:
    std::shared_ptr<UIView> bgView_;
};

// The row under a video's comments that leads to all of them.
class EVCommentMoreCell final : public BaseCell {
public:
    ORB_CLASS_NAME(EVCommentMoreCell)
    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

private:
    std::shared_ptr<UIView> bgView_;
};

} // namespace content
