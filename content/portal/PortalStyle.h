#pragma once

#include "content/lessons/GCModels.h"
#include "platform/os/Url.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"

#include <memory>
#include <optional>
#include <string>

class UILabel;
class UIView;

namespace content {

// A colour written as six hexadecimal digits ("7fc410"), as the portal's designs give them.
UIColor hexColor(std::string_view digits);

// The height of a text in a font at a width, lines unlimited, rounded up.
double textHeight(const std::string& text, const UIFont& font, double width);

// How a live lesson's state reads and looks on the home list and in the
// series detail (they differ only in the texts of an ended lesson).
struct LiveStateStyle {
    std::string stateText;
    std::string timeText;
    UIColor textColor;
    UIColor background;
};
enum class LiveListKind { Home, Detail };
LiveStateStyle liveStateStyle(const std::shared_ptr<GCLiveVideoItemInfo>& item, LiveListKind kind);
void applyLiveStateStyle(const LiveStateStyle& style, UILabel& state, UILabel& time);

// Round corners (a circle for a square view) and a border.
void roundCorners(UIView& view, double radius, double borderWidth = 0, std::optional<UIColor> border = std::nullopt);

// An address of the service's replies, or nothing when the text forms none.
std::optional<platform::Url> addressOf(const std::optional<std::string>& text);

} // namespace content
