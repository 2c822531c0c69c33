#include "messaging/history/SMSHistoryCell.h"

#include "platform/graphics/Text.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UILabel.h"

#include <cmath>

std::shared_ptr<SMSHistoryInfo> SMSHistoryInfo::infoWithObj(const platform::Value& item)
{
    if (!item.isDictionary())
        return nullptr;
    auto info = std::make_shared<SMSHistoryInfo>();
    const platform::Value& id = item["msgId"];
    info->msgId = id.isString() ? id.stringValue() : id.isNumber() ? id.description() : std::string();
    info->senderId = item["senderId"].intValue();
    info->senderName = item["senderName"].isString() ? item["senderName"].stringValue() : std::string();
    info->dateTime = item["dateTime"].isString() ? item["dateTime"].stringValue() : std::string();
    info->content = item["content"].isString() ? item["content"].stringValue() : std::string();
    return info;
}

void SMSHistoryCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("labSenderName", labSenderName_);
    bindings.outlet("labDateTime", labDateTime_);
    bindings.outlet("labContent", labContent_);
}

void SMSHistoryCell::setSMSHistory(std::shared_ptr<SMSHistoryInfo> info)
{
    smsHistoryInfo_ = std::move(info);
    if (!smsHistoryInfo_)
        return;
    labSenderName_->setText(smsHistoryInfo_->senderName);
    labDateTime_->setText(smsHistoryInfo_->dateTime);
    const std::string text = platform::trimWhitespaceAndNewlines(smsHistoryInfo_->content);
    labContent_->setNumberOfLines(0);
    labContent_->setLineBreakMode(NSLineBreakByWordWrapping);
    labContent_->setText(text);
    auto measured = platform::measureText(text, UIFont::systemFont(kContentFontSize),
        { labContent_->frame().width(), kContentMaxHeight }, platform::LineBreakMode::WordWrap);
    auto label = labContent_->frame();
    const double oldHeight = std::floor(label.height());
    label.size.height = measured.height;
    labContent_->setFrame(label);
    auto frame = this->frame();
    frame.size.height += measured.height - oldHeight;
    setFrame(frame);
    height_ = static_cast<int>(frame.height());
}
