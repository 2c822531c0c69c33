#include "platform/uikit/UIResponder.h"

#include "platform/uikit/Keyboard.h"

namespace {

std::weak_ptr<UIResponder>& firstResponderSlot()
{
    static std::weak_ptr<UIResponder> slot;
    return slot;
}

// Depth of first-responder changes in progress: the keyboard settles only when
// the outermost change is over, so moving from one text field to another does
// not hide and show it again.
int& changeDepth()
{
    static int depth = 0;
    return depth;
}

struct ChangeScope {
    ChangeScope() { ++changeDepth(); }
    ~ChangeScope()
    {
        if (--changeDepth() == 0)
            platform::Keyboard::updateForFirstResponder();
    }
};

} // namespace

// A destroyed first responder leaves an expired slot, which reads as "none".
UIResponder::~UIResponder() = default;

bool UIResponder::isFirstResponder() const
{
    auto current = firstResponderSlot().lock();
    return current && current.get() == this;
}

std::shared_ptr<UIResponder> UIResponder::currentFirstResponder() { return firstResponderSlot().lock(); }

double UIResponder::keyboardHeight() const { return platform::Keyboard::kHeight; }

bool UIResponder::becomeFirstResponder()
{
    if (isFirstResponder())
        return true;
    if (!canBecomeFirstResponder() || !canBecomeFirstResponderNow())
        return false;
    auto self = weak_from_this().lock();
    if (!self)
        return false;
    ChangeScope scope;
    if (auto current = firstResponderSlot().lock()) {
        if (!current->resignFirstResponder())
            return false;
    }
    firstResponderSlot() = self;
    didBecomeFirstResponder();
    return isFirstResponder();
}

bool UIResponder::resignFirstResponder()
{
    if (!isFirstResponder())
        return true;
    if (!canResignFirstResponder())
        return false;
    auto self = weak_from_this().lock(); // stays alive through the hooks
    ChangeScope scope;
    firstResponderSlot().reset();
    didResignFirstResponder();
    return true;
}

void UIResponder::forceResignCurrentFirstResponder()
{
    auto current = firstResponderSlot().lock();
    if (!current)
        return;
    ChangeScope scope;
    firstResponderSlot().reset();
    current->didResignFirstResponder();
}

void UIResponder::touchesBegan(const UITouchSet& touches, UIEvent* event)
{
    if (auto next = nextResponder())
        next->touchesBegan(touches, event);
}

void UIResponder::touchesMoved(const UITouchSet& touches, UIEvent* event)
{
    if (auto next = nextResponder())
        next->touchesMoved(touches, event);
}

void UIResponder::touchesEnded(const UITouchSet& touches, UIEvent* event)
{
    if (auto next = nextResponder())
        next->touchesEnded(touches, event);
}

void UIResponder::touchesCancelled(const UITouchSet& touches, UIEvent* event)
{
    if (auto next = nextResponder())
        next->touchesCancelled(touches, event);
}

bool UIResponder::canPerformAction(std::string_view) const { return false; }

bool UIResponder::performAction(std::string_view) { return false; }
