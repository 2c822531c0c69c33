#pragma once

#include "platform/graphics/Geometry.h"

// Turning a picker's wheels by hand. Every wheel shows its chosen row in a
// band across the middle, rows of kRowHeight above and below it. A finger
// dragged up a wheel turns it a row further for each row height travelled
// (down: back); a tap on a row above or below the band turns that row into
// it; each notch of the mouse wheel turns the wheel under the pointer a row.
class PickerWheels {
public:
    static constexpr double kRowHeight = 36;
    // A finger that travels less than this is a tap.
    static constexpr double kTapSlop = 8;

    virtual ~PickerWheels() = default;

    // Turns the wheel under the point (the picker's coordinates) by rows
    // (positive: towards later rows) and tells whoever listens, as a user's
    // spin does. False when nothing turned.
    virtual bool turnWheelAt(platform::Point point, long rows) = 0;

    // The y of the middle band's top in a picker of these bounds.
    static double bandTop(const platform::Rect& bounds) { return bounds.midY() - kRowHeight / 2; }
    // Which of count equal columns the point's x falls in (clamped).
    static long columnAt(const platform::Rect& bounds, double x, long count);
    // Rows between the band and the row under the point (-1: the row above).
    static long rowsFromBand(const platform::Rect& bounds, double y);
};

// Follows one finger on a picker: where it went down, and how many rows the
// drag has turned so far.
class PickerWheelDrag {
public:
    void begin(platform::Point point);
    // The rows to turn now for a finger at point: the drag's whole travel in
    // rows less what was already turned.
    long moveTo(platform::Point point);
    bool isTap() const { return !moved_; }
    platform::Point start() const { return start_; }

private:
    platform::Point start_;
    long turned_ = 0;
    bool moved_ = false;
};
