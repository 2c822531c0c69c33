#include "contacts/calls/HistoryNumberCell.h"

#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "ui/images/RemoteImageView.h"

#include <map>

void HistoryNumberCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("imgAvatar", imgAvatar_);
    bindings.outlet("lblName", lblName_);
    bindings.outlet("lblPhone", lblPhone_);
    bindings.outlet("lblRemarks", lblRemarks_);
    bindings.outlet("lineView", lineView_);
    bindings.outlet("lbltime", lbltime_);
    bindings.outlet("lblUseminute", lblUseminute_);
    bindings.outlet("imgViewState", imgViewState_);
}

void HistoryNumberCell::awakeFromNib()
{
    UIView::awakeFromNib();
    imgAvatar_->layer()->setCornerRadius(kAvatarCornerRadius);
    imgAvatar_->setClipsToBounds(true);
    setSelectedBackgroundView(std::make_shared<UIImageView>(UIImage::imageNamed("public_cel_selected_bg.png")));
}

std::string HistoryNumberCell::roleText(int callerType)
{
    switch (callerType) {
    case 3:
        return "未知";
    case 2:
        return "教师";
    case 0:
        return "家长";
    default:
        return {};
    }
}

std::string HistoryNumberCell::stateImage(const std::string& state)
{
    static const std::map<std::string, std::string> images {
        { "呼叫结束", "cn_call_zhudong.png" },
        { "连接主叫", "cn_call_zhudong.png" },
        { "连接被叫", "cn_call_beidong.png" },
        { "正在通话", "cn_call_miss.png" },
        { "主叫忙", "cn_call_zhudong.png" },
        { "被叫忙", "cn_call_beidong.png" },
        { "主叫无应答", "cn_call_zhudong.png" },
        { "被叫无应答", "cn_call_beidong.png" },
        { "呼叫失败", "cn_miss.png" },
    };
    auto found = images.find(state);
    return found == images.end() ? std::string() : found->second;
}

void HistoryNumberCell::setHistory(std::shared_ptr<core::HistoryInfo> history)
{
    history_ = std::move(history);
    if (!history_)
        return;
    lblName_->setText(history_->caller.empty() ? std::string("未知") : history_->caller);
    // A reused row shows nothing of the call it showed before: an unknown
    // role or state leaves its label and icon empty.
    lblRemarks_->setText(roleText(history_->callerType));
    const std::string image = stateImage(history_->state);
    setImageOfView(*imgViewState_, image.empty() ? nullptr : UIImage::imageNamed(image));
    lblPhone_->setText(history_->callerPhone);
    lbltime_->setText(history_->startTime);
    lblUseminute_->setText(std::to_string(history_->useMinute) + "分钟");
}
