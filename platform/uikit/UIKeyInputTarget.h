#pragma once

#include <string>

// A responder that takes the keyboard's keys as they come and keeps its own
// text and caret (a web page's field). Header only, so that a program can ask
// the first responder for it without linking what implements it.
class UIKeyInputTarget {
public:
    virtual ~UIKeyInputTarget() = default;
    virtual void insertText(const std::string& text) = 0;
    virtual void deleteBackward() = 0;
    virtual void pressReturnKey() = 0;
    // The keys that move the caret, by their names: "Left", "Right", "Up",
    // "Down", "Home" and "End".
    virtual void pressCaretKey(const std::string& keyName) = 0;
};
