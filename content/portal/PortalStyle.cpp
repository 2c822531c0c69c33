#include "content/portal/PortalStyle.h"

#include "platform/os/DateFormat.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UILabel.h"
#include "ui/controls/UIColorHelper.h"

#include <cmath>

namespace content {

UIColor hexColor(std::string_view digits)
{
    return UIColorHelper::colorWithString(digits).value_or(platform::Color::blackColor());
}

double textHeight(const std::string& text, const UIFont& font, double width)
{
    return std::ceil(platform::measureText(text, font, { width, platform::kUnlimitedTextExtent }).height);
}

LiveStateStyle liveStateStyle(const std::shared_ptr<GCLiveVideoItemInfo>& item, LiveListKind kind)
{
    int state = item ? item->state : 0;
    if (state == 2)
        return { "正在直播", "正在直播", hexColor("7fc410"), hexColor("ffe4d0") };
    if (state == 3) {
        if (kind == LiveListKind::Home)
            return { "直播结束", "可播放直播视频", hexColor("575757"), hexColor("e4e4e4") };
        return { "已结束", "点击播放视频", hexColor("575757"), hexColor("e4e4e4") };
    }
    std::string time;
    if (item && item->startTime)
        time = platform::DateFormatter("'即将在 'yyyy-MM-dd HH:mm' 热播'").stringFromDate(*item->startTime);
    return { "即将热播", time, hexColor("009aa5"), hexColor("bfe6e8") };
}

void applyLiveStateStyle(const LiveStateStyle& style, UILabel& state, UILabel& time)
{
    state.setText(style.stateText);
    state.setTextColor(style.textColor);
    state.setBackgroundColor(style.background);
    state.layer()->setBorderColor(style.textColor);
    time.setText(style.timeText);
    time.setTextColor(style.textColor);
}

void roundCorners(UIView& view, double radius, double borderWidth, std::optional<UIColor> border)
{
    view.layer()->setCornerRadius(radius);
    view.layer()->setMasksToBounds(true);
    if (borderWidth > 0)
        view.layer()->setBorderWidth(borderWidth);
    if (border)
        view.layer()->setBorderColor(*border);
}

std::optional<platform::Url> addressOf(const std::optional<std::string>& text)
{
    if (!text || text->empty())
        return std::nullopt;
    auto url = platform::Url::parse(*text);
    if (!url || !url->isAbsolute() || url->host().empty())
        return std::nullopt;
    if (url->scheme() != "http" && url->scheme() != "https")
        return std::nullopt;
    return url;
}

} // namespace content
