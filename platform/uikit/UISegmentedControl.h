#pragma once

#include "platform/graphics/Text.h"
#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UIControl.h"

#include <map>
#include <optional>
#include <string>
#include <vector>

// What a segment's title looks like in one state (normal or selected); a
// value left empty keeps the control's own look.
struct UISegmentedControlTitleAttributes {
    std::optional<platform::Font> font;
    std::optional<platform::Color> textColor;
    std::optional<platform::Color> shadowColor;
    platform::Size shadowOffset { 0, -1 };
};

// A row of equally wide segments with titles, one of them selected, in a
// rounded frame of the tint colour; the selected segment is filled with it.
// A tap on another segment selects it and sends ValueChanged; setting the
// selection in code sends nothing. No segment is selected at first
// (selectedSegmentIndex -1).
class UISegmentedControl : public UIControl {
public:
    static constexpr long UISegmentedControlNoSegment = -1;
    static constexpr double kDefaultHeight = 29;
    static constexpr double kCornerRadius = 4;

    UISegmentedControl();
    explicit UISegmentedControl(std::vector<std::string> items);
    ORB_CLASS_NAME(UISegmentedControl)

    long numberOfSegments() const { return long(titles_.size()); }
    std::string titleForSegmentAtIndex(long index) const;
    void setTitle(const std::string& title, long index);
    void insertSegmentWithTitle(const std::string& title, long index);
    void removeAllSegments();

    long selectedSegmentIndex() const { return selected_; }
    // Out-of-range values select nothing.
    void setSelectedSegmentIndex(long index);

    platform::Color tintColor() const { return tint_; }
    void setTintColor(const platform::Color& color);
    const UISegmentedControlTitleAttributes* titleTextAttributes(unsigned state) const;
    void setTitleTextAttributes(UISegmentedControlTitleAttributes attributes, unsigned state);

    // The segment under a point of the control, -1 outside.
    long segmentAtPoint(const platform::Point& point) const;

    platform::Size sizeThatFits(platform::Size size) const override;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

protected:
    void endTrackingWithTouch(UITouch* touch, UIEvent* event) override;

private:
    platform::Rect segmentRect(long index) const;

    std::vector<std::string> titles_;
    long selected_ = UISegmentedControlNoSegment;
    platform::Color tint_ = platform::Color::fromRGB255(0, 122, 255);
    std::map<unsigned, UISegmentedControlTitleAttributes> attributes_;
};
