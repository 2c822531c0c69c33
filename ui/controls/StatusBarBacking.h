#pragma once

#include "platform/graphics/Color.h"

#include <memory>

class UIView;

// A screen that hides its navigation bar to search keeps its content under
// the status bar: the search bar has to move down by the part of the status
// bar over the view, and that strip wants the bar's colour behind the
// status bar's text, as the navigation bar's background was.
class StatusBarBacking {
public:
    static constexpr const char* kOutletName = "statusBarBacking";

    // How far the status bar reaches into the view (0 when the view starts below it).
    static double topInset(const UIView& view);
    // Puts (or updates) a strip of the colour over the view's top, as tall
    // as topInset, above the view's other subviews; answers its height.
    static double cover(UIView& view, const platform::Color& color);
    // Removes the strip again.
    static void uncover(UIView& view);
    // The strip when one is shown.
    static std::shared_ptr<UIView> backingOf(const UIView& view);
};
