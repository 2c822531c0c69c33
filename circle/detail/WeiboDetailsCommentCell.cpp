#include "circle/detail/WeiboDetailsCommentCell.h"

#include "circle/feed/WeiboContentCell.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/images/RemoteImageView.h"

namespace circle {

namespace {

double textHeight(const std::string& text, const UIFont& font, double width)
{
    return platform::measureText(text, font, platform::Size(width, platform::kUnlimitedTextExtent),
        platform::LineBreakMode::CharWrap)
        .height;
}

} // namespace

double WeiboDetailsCommentCell::heightForWeiboCommentData(const core::WeiboReplyData& data)
{
    return textHeight(data.content, UIFont::systemFont(kTextFontSize), kTextWidth) + kExtra;
}

void WeiboDetailsCommentCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("imvPhoto", imvPhoto_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblTime", lblTime_);
    bindings.outlet("lblContent", lblContent_);
}

void WeiboDetailsCommentCell::configWithWeiboCommentData(const core::WeiboReplyData& data)
{
    showImageURL(imvPhoto_, data.thumbAvatar.empty() ? std::nullopt : platform::Url::parse(data.thumbAvatar),
        UIImage::imageNamed(WeiboContentCell::kDefaultAvatar));
    lblName_->setText(data.senderName);
    lblName_->sizeToFit();
    lblTime_->setText(data.dataTime);
    lblContent_->setNumberOfLines(0);
    lblContent_->setLineBreakMode(NSLineBreakByCharWrapping);
    lblContent_->setText(data.content);
    auto frame = lblContent_->frame();
    frame.size.height = textHeight(data.content, lblContent_->font(), frame.width());
    lblContent_->setFrame(frame);
}

} // namespace circle
