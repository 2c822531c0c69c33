#pragma once

#include "platform/graphics/Geometry.h"

#include <memory>
#include <optional>

struct UIScreenMode {
    platform::Size size; // pixels
    double pixelAspectRatio = 1;
};

// The phone's screen: 320 × 568 points at scale 2 (the 4-inch phone, current
// mode 640 × 1136) unless switched to the 3.5-inch 320 × 480 (640 × 960).
// Several screens shrink by 88 points unless the current mode is exactly
// 640 × 1136, so tests can also take the current mode away.
class UIScreen final {
public:
    enum class Kind { FourInch, ThreePointFiveInch };

    static std::shared_ptr<UIScreen> mainScreen();

    platform::Rect bounds() const;
    double scale() const { return 2.0; }
    // The screen less the 20-point status bar.
    platform::Rect applicationFrame() const;
    std::optional<UIScreenMode> currentMode() const;
    double statusBarHeight() const { return 20; }

    // Test and harness configuration.
    static void setKind(Kind kind);
    static Kind kind();
    static void setCurrentModeAvailable(bool available);
    // Back to the 4-inch screen with its mode.
    static void reset();
};
