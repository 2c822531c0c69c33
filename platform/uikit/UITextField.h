#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/graphics/Text.h"
#include "platform/uikit/NSRange.h"
#include "platform/uikit/TextInputSupport.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UILabel.h"

#include <memory>
#include <string>

class UITextField;

inline constexpr const char* UITextFieldTextDidBeginEditingNotification = "UITextFieldTextDidBeginEditingNotification";
inline constexpr const char* UITextFieldTextDidEndEditingNotification = "UITextFieldTextDidEndEditingNotification";
inline constexpr const char* UITextFieldTextDidChangeNotification = "UITextFieldTextDidChangeNotification";

enum UITextBorderStyle {
    UITextBorderStyleNone = 0,
    UITextBorderStyleLine = 1,
    UITextBorderStyleBezel = 2,
    UITextBorderStyleRoundedRect = 3,
};

enum UITextFieldViewMode {
    UITextFieldViewModeNever = 0,
    UITextFieldViewModeWhileEditing = 1,
    UITextFieldViewModeUnlessEditing = 2,
    UITextFieldViewModeAlways = 3,
};

enum UIKeyboardType {
    UIKeyboardTypeDefault = 0,
    UIKeyboardTypeASCIICapable = 1,
    UIKeyboardTypeNumbersAndPunctuation = 2,
    UIKeyboardTypeURL = 3,
    UIKeyboardTypeNumberPad = 4,
    UIKeyboardTypePhonePad = 5,
    UIKeyboardTypeNamePhonePad = 6,
    UIKeyboardTypeEmailAddress = 7,
    UIKeyboardTypeDecimalPad = 8,
};

enum UIReturnKeyType {
    UIReturnKeyDefault = 0,
    UIReturnKeyGo = 1,
    UIReturnKeyGoogle = 2,
    UIReturnKeyJoin = 3,
    UIReturnKeyNext = 4,
    UIReturnKeyRoute = 5,
    UIReturnKeySearch = 6,
    UIReturnKeySend = 7,
    UIReturnKeyYahoo = 8,
    UIReturnKeyDone = 9,
    UIReturnKeyEmergencyCall = 10,
};

// The questions and news of a text field. Every method is optional: the
// defaults are what the field does without a delegate.
class UITextFieldDelegate {
public:
    virtual ~UITextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(UITextField*) { return true; }
    virtual void textFieldDidBeginEditing(UITextField*) { }
    virtual bool textFieldShouldEndEditing(UITextField*) { return true; }
    virtual void textFieldDidEndEditing(UITextField*) { }
    // range in UTF-16 units of the current text; replacement "" deletes.
    virtual bool textFieldShouldChangeCharacters(UITextField*, NSRange, const std::string&) { return true; }
    virtual bool textFieldShouldClear(UITextField*) { return true; }
    virtual bool textFieldShouldReturn(UITextField*) { return true; }
};

// One line of editable text. Becoming first responder asks the delegate
// (should begin), then tells it (did begin), sends EditingDidBegin, posts
// UITextFieldTextDidBeginEditingNotification, and brings the keyboard up
// (its will-show and did-show notifications). Typing goes through the
// delegate's should-change question character by character; each accepted
// change sends EditingChanged and posts UITextFieldTextDidChangeNotification.
// Setting the text from code does neither.
class UITextField : public UIControl {
public:
    UITextField();
    explicit UITextField(const platform::Rect& frame);
    // An editing field that goes away takes the keyboard with it (on the next turn).
    ~UITextField() override;
    ORB_CLASS_NAME(UITextField)

    const std::string& text() const { return text_; }
    void setText(std::string text);
    const std::string& placeholder() const { return placeholder_; }
    void setPlaceholder(std::string placeholder);
    const UIFont& font() const { return font_; }
    void setFont(const UIFont& font);
    UIColor textColor() const { return textColor_; }
    void setTextColor(const UIColor& color);
    NSTextAlignment textAlignment() const { return alignment_; }
    void setTextAlignment(NSTextAlignment alignment);
    UITextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(UITextBorderStyle style);
    bool isSecureTextEntry() const { return secure_; }
    void setSecureTextEntry(bool secure);
    UIKeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(UIKeyboardType type) { keyboardType_ = type; }
    UIReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(UIReturnKeyType type) { returnKeyType_ = type; }
    UITextFieldViewMode clearButtonMode() const { return clearButtonMode_; }
    void setClearButtonMode(UITextFieldViewMode mode) { clearButtonMode_ = mode; }
    bool clearsOnBeginEditing() const { return clearsOnBeginEditing_; }
    void setClearsOnBeginEditing(bool clears) { clearsOnBeginEditing_ = clears; }
    std::shared_ptr<UIView> leftView() const { return leftView_; }
    void setLeftView(std::shared_ptr<UIView> view);
    UITextFieldViewMode leftViewMode() const { return leftViewMode_; }
    void setLeftViewMode(UITextFieldViewMode mode);
    std::shared_ptr<UIView> rightView() const { return rightView_; }
    void setRightView(std::shared_ptr<UIView> view);
    UITextFieldViewMode rightViewMode() const { return rightViewMode_; }
    void setRightViewMode(UITextFieldViewMode mode);
    // Shown in place of the keyboard (a picker) and above it (a toolbar).
    std::shared_ptr<UIView> inputView() const override { return inputView_; }
    void setInputView(std::shared_ptr<UIView> view) { inputView_ = std::move(view); }
    std::shared_ptr<UIView> inputAccessoryView() const override { return inputAccessoryView_; }
    void setInputAccessoryView(std::shared_ptr<UIView> view) { inputAccessoryView_ = std::move(view); }
    std::shared_ptr<UITextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<UITextFieldDelegate> delegate) { delegate_ = std::move(delegate); }
    bool isEditing() const { return editing_; }

    // ---- Editing, as the keyboard does it (the test harness and the window host)
    // Inserts at the end of the text; false when not editing or refused.
    bool insertText(const std::string& text);
    // Deletes the last character (a whole composed character).
    bool deleteBackward();
    bool replaceCharacters(NSRange range, const std::string& replacement);
    // The clear button: asks the delegate, then empties the text.
    bool clearText();
    // The return key: asks the delegate; when it agrees, sends
    // EditingDidEndOnExit, and resigns when someone listens for that event.
    bool pressReturnKey();

    // The insertion point, in UTF-16 units of the text: where the person
    // types next. Edits leave it after what they put in; setting the text
    // puts it at the end; it always falls between composed characters.
    std::size_t caretLocation() const { return caret_; }
    void setCaretLocation(std::size_t utf16Location);
    // Where the caret is drawn while editing (bounds' coordinates). A text
    // wider than the field scrolls so that this stays inside the editing rect.
    platform::Rect caretRect() const;
    // Whether the blinking caret is on at this moment.
    bool isCaretShown() const { return blink_.isShown(); }
    // How far a text wider than the field is scrolled to the left while editing.
    double textScrollOffset() const { return scrollX_; }

    virtual platform::Rect textRectForBounds(const platform::Rect& bounds) const;
    virtual platform::Rect editingRectForBounds(const platform::Rect& bounds) const;
    virtual platform::Rect placeholderRectForBounds(const platform::Rect& bounds) const;
    // What is drawn: the text, or bullets for secure entry.
    std::string displayedText() const;

    bool canBecomeFirstResponder() const override { return isEnabled(); }
    bool becomeFirstResponder() override;
    bool canResignFirstResponder() override;
    bool wantsKeyboard() const override { return true; }
    double keyboardHeight() const override;

    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void layoutSubviews() override;
    void drawRect(platform::Context& context, const platform::Rect& rect) override;

protected:
    void didBecomeFirstResponder() override;
    void didResignFirstResponder() override;

private:
    bool applyChange(NSRange range, const std::string& replacement);
    bool showsView(UITextFieldViewMode mode) const;
    // The displayed text's width up to the caret and in all.
    double caretOffset() const;
    // Keeps the caret inside the editing rect, scrolling the text.
    void scrollToCaret();
    double horizontalPadding() const;

    std::string text_;
    std::string placeholder_;
    UIFont font_ = UIFont::systemFont(17);
    UIColor textColor_ = UIColor::blackColor();
    NSTextAlignment alignment_ = NSTextAlignmentLeft;
    UITextBorderStyle borderStyle_ = UITextBorderStyleNone;
    bool secure_ = false;
    UIKeyboardType keyboardType_ = UIKeyboardTypeDefault;
    UIReturnKeyType returnKeyType_ = UIReturnKeyDefault;
    UITextFieldViewMode clearButtonMode_ = UITextFieldViewModeNever;
    bool clearsOnBeginEditing_ = false;
    std::shared_ptr<UIView> leftView_;
    UITextFieldViewMode leftViewMode_ = UITextFieldViewModeNever;
    std::shared_ptr<UIView> rightView_;
    UITextFieldViewMode rightViewMode_ = UITextFieldViewModeNever;
    std::shared_ptr<UIView> inputView_;
    std::shared_ptr<UIView> inputAccessoryView_;
    std::weak_ptr<UITextFieldDelegate> delegate_;
    bool editing_ = false;
    std::size_t caret_ = 0;
    double scrollX_ = 0;
    platform::textinput::CaretBlink blink_;
};
