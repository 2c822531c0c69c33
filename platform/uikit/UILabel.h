#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UIView.h"

#include <string>

enum NSTextAlignment {
    NSTextAlignmentLeft = 0,
    NSTextAlignmentCenter = 1,
    NSTextAlignmentRight = 2,
};

enum NSLineBreakMode {
    NSLineBreakByWordWrapping = 0,
    NSLineBreakByCharWrapping = 1,
    NSLineBreakByClipping = 2,
    NSLineBreakByTruncatingHead = 3,
    NSLineBreakByTruncatingTail = 4,
    NSLineBreakByTruncatingMiddle = 5,
};

platform::TextAlignment toTextAlignment(NSTextAlignment alignment);
platform::LineBreakMode toLineBreakMode(NSLineBreakMode mode);

// Read-only text. Measuring and line breaking follow the fixed text metric
// model, so sizes are the same on every machine; the text is drawn centred
// vertically in the bounds. Labels take no touches unless told to.
class UILabel : public UIView {
public:
    UILabel();
    explicit UILabel(const platform::Rect& frame);
    ORB_CLASS_NAME(UILabel)

    const std::string& text() const { return text_; }
    void setText(std::string text);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    UIColor textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    UIColor highlightedTextColor() const { return highlightedTextColor_; }
    void setHighlightedTextColor(const UIColor& color);
    bool isHighlighted() const { return highlighted_; }
    void setHighlighted(bool highlighted);
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    // 0 means as many lines as the height allows.
    int numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int lines);
    NSLineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(NSLineBreakMode mode);
    UIColor shadowColor() const { return shadowColor_; }
    void setShadowColor(const UIColor& color);
    platform::Size shadowOffset() const { return shadowOffset_; }
    void setShadowOffset(platform::Size offset);
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
    void setAdjustsFontSizeToFitWidth(bool adjusts) { adjustsFontSizeToFitWidth_ = adjusts; }
    double minimumScaleFactor() const { return minimumScaleFactor_; }
    void setMinimumScaleFactor(double factor) { minimumScaleFactor_ = factor; }

    // One-line labels measure their whole text; others wrap within the width
    // given (a width of 0 or less means unlimited). Whole points.
    platform::Size sizeThatFits(platform::Size size) const override;
    // Where the text goes inside the bounds (vertically centred).
    virtual platform::Rect textRectForBounds(const platform::Rect& bounds, int numberOfLines) const;
    // The lines as they are shown in the current bounds.
    platform::TextLayout currentLayout() const;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

protected:
    virtual void drawTextInRect(platform::Context& context, const platform::Rect& rect);

private:
    std::string text_;
    UIFont font_ = UIFont::systemFont(17);
    UIColor textColor_ = UIColor::blackColor();
    UIColor highlightedTextColor_ = UIColor::whiteColor();
    UIColor shadowColor_ = UIColor::clearColor();
    platform::Size shadowOffset_ { 0, -1 };
    bool highlighted_ = false;
    bool enabled_ = true;
    bool adjustsFontSizeToFitWidth_ = false;
    double minimumScaleFactor_ = 0;
    NSTextAlignment alignment_ = NSTextAlignmentLeft;
    int numberOfLines_ = 1;
    NSLineBreakMode lineBreakMode_ = NSLineBreakByTruncatingTail;
};
