#pragma once

#include "core/model/HistoryInfo.h"
#include "ui/tables/BaseCell.h"

#include <memory>
#include <string>

class UIImageView;
class UILabel;
class UIView;

// One call of the click-to-dial history: the other party, its role, the
// number, when, for how many minutes, and how the call ended.
class HistoryNumberCell final : public BaseCell {
public:
    ORB_CLASS_NAME(HistoryNumberCell)

    static constexpr double kAvatarCornerRadius = 4.0;

    HistoryNumberCell() = default;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

    void setHistory(std::shared_ptr<core::HistoryInfo> history);
    const std::shared_ptr<core::HistoryInfo>& history() const { return history_; }

    // "未知", "教师", "家长" for the call type codes 3, 2, 0; empty otherwise.
    static std::string roleText(int callerType);
    // The picture for the call's end state; empty for a state not known.
    static std::string stateImage(const std::string& state);

    std::shared_ptr<UILabel> lblName() const { return lblName_; }
    std::shared_ptr<UIImageView> imgViewState() const { return imgViewState_; }

private:
    std::shared_ptr<core::HistoryInfo> history_;
    std::shared_ptr<UIImageView> imgAvatar_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblPhone_;
    std::shared_ptr<UILabel> lblRemarks_;
    std::shared_ptr<UIView> lineView_;
    std::shared_ptr<UILabel> lbltime_;
    std::shared_ptr<UILabel> lblUseminute_;
    std::shared_ptr<UIImageView> imgViewState_;
};
