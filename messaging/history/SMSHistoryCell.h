#pragma once

#include "messaging/history/SMSHistoryInfo.h"
#include "ui/tables/BaseCell.h"

#include <memory>

class UILabel;

// One SMS of the history: who, when, and the whole text, the row as tall as
// the text needs.
class SMSHistoryCell final : public BaseCell {
public:
    ORB_CLASS_NAME(SMSHistoryCell)

    // The text is measured in this font, up to this height.
    static constexpr double kContentFontSize = 17;
    static constexpr double kContentMaxHeight = 1000;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void secondPart() override { setSelectionStyle(UITableViewCellSelectionStyleNone); }
    void setSMSHistory(std::shared_ptr<SMSHistoryInfo> info);
    // The cell's height after the last setSMSHistory, in whole points.
    int height() const { return height_; }

private:
    int height_ = 0;
    std::shared_ptr<SMSHistoryInfo> smsHistoryInfo_;
    std::shared_ptr<UILabel> labSenderName_;
    std::shared_ptr<UILabel> labDateTime_;
    std::shared_ptr<UILabel> labContent_;
};
