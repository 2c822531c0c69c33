#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/uikit/NSRange.h"
#include "platform/uikit/TextInputSupport.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <string>

class UITextView;

inline constexpr const char* UITextViewTextDidBeginEditingNotification = "UITextViewTextDidBeginEditingNotification";
inline constexpr const char* UITextViewTextDidEndEditingNotification = "UITextViewTextDidEndEditingNotification";
inline constexpr const char* UITextViewTextDidChangeNotification = "UITextViewTextDidChangeNotification";

// Optional questions and news of a text view; the defaults are what happens without a delegate.
class UITextViewDelegate {
public:
    virtual ~UITextViewDelegate() = default;
    virtual bool textViewShouldBeginEditing(UITextView*) { return true; }
    virtual void textViewDidBeginEditing(UITextView*) { }
    virtual bool textViewShouldEndEditing(UITextView*) { return true; }
    virtual void textViewDidEndEditing(UITextView*) { }
    virtual bool textViewShouldChangeText(UITextView*, NSRange, const std::string&) { return true; }
    virtual void textViewDidChange(UITextView*) { }
};

// Several lines of text, editable unless told otherwise. The content size is
// the measured text (word wrap within the width less the 5-point line padding
// on each side) plus the 8-point top and bottom insets. While editing it
// scrolls vertically (the content offset) so that the caret stays inside.
class UITextView : public UIView {
public:
    UITextView();
    explicit UITextView(const platform::Rect& frame);
    // An editing text view that goes away takes the keyboard with it (on the next turn).
    ~UITextView() override;
    ORB_CLASS_NAME(UITextView)

    static constexpr double kVerticalInset = 8;
    static constexpr double kLinePadding = 5;

    const std::string& text() const { return text_; }
    void setText(std::string text);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    UIColor textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    bool isEditable() const { return editable_; }
    void setEditable(bool editable);
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool selectable) { selectable_ = selectable; }
    std::shared_ptr<UIView> inputAccessoryView() const override { return inputAccessoryView_; }
    void setInputAccessoryView(std::shared_ptr<UIView> view) { inputAccessoryView_ = std::move(view); }
    std::shared_ptr<UITextViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UITextViewDelegate> delegate) { delegate_ = std::move(delegate); }
    bool isEditing() const { return editing_; }

    platform::Size contentSize() const;
    platform::Point contentOffset() const { return contentOffset_; }
    void setContentOffset(platform::Point offset);

    // The insertion point in UTF-16 units, between composed characters: edits
    // leave it after what they put in, setting the text puts it at the end.
    std::size_t caretLocation() const { return caret_; }
    void setCaretLocation(std::size_t utf16Location);
    // Where the caret is drawn while editing (bounds' coordinates, scrolled).
    platform::Rect caretRect() const;
    bool isCaretShown() const { return blink_.isShown(); }

    // Editing as the keyboard does it; false when not editing or refused.
    bool insertText(const std::string& text);
    bool deleteBackward();
    bool replaceCharacters(NSRange range, const std::string& replacement);
    // The return key types a line break.
    bool pressReturnKey() { return insertText("\n"); }

    bool canBecomeFirstResponder() const override { return editable_; }
    bool becomeFirstResponder() override;
    bool canResignFirstResponder() override;
    bool wantsKeyboard() const override { return true; }
    double keyboardHeight() const override;

    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

protected:
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    bool applyChange(NSRange range, const std::string& replacement);
    platform::TextLayout textLayout() const;
    // The caret's place in the unscrolled text: x, and the top of its line.
    platform::Point caretPoint() const;
    void scrollToCaret();

    std::string text_;
    UIFont font_ = UIFont::systemFont(12);
    UIColor textColor_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignmentLeft;
    bool editable_ = true;
    bool selectable_ = true;
    bool editing_ = false;
    platform::Point contentOffset_;
    std::size_t caret_ = 0;
    platform::textinput::CaretBlink blink_;
    std::shared_ptr<UIView> inputAccessoryView_;
    std::weak_ptr<UITextViewDelegate> delegate_;
};
