#pragma once

#include "core/model/WeiboReplyData.h"
#include "ui/tables/BaseCell.h"

#include <memory>

class UIImageView;
class UILabel;

namespace circle {

// One comment under a post: avatar, name, time and the whole text.
class WeiboDetailsCommentCell final : public BaseCell {
public:
    ORB_CLASS_NAME(WeiboDetailsCommentCell)

    static constexpr double kTextWidth = 237;
    static constexpr double kTextFontSize = 13;
    static constexpr double kExtra = 44;

    static double heightForWeiboCommentData(const core::WeiboReplyData& data);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void configWithWeiboCommentData(const core::WeiboReplyData& data);

    std::shared_ptr<UILabel> lblName() const { return lblName_; }
    std::shared_ptr<UILabel> lblContent() const { return lblContent_; }
    std::shared_ptr<UILabel> lblTime() const { return lblTime_; }

private:
    std::shared_ptr<UIImageView> imvPhoto_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblTime_;
    std::shared_ptr<UILabel> lblContent_;
};

} // namespace circle
