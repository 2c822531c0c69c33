#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"
#include "platform/uikit/UIResponder.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform {
class Context;
}

class CALayer;
class UIGestureRecognizer;
class UIWindow;

enum UIViewAutoresizing : unsigned {
    UIViewAutoresizingNone = 0,
    UIViewAutoresizingFlexibleLeftMargin = 1 << 0,
    UIViewAutoresizingFlexibleWidth = 1 << 1,
    UIViewAutoresizingFlexibleRightMargin = 1 << 2,
    UIViewAutoresizingFlexibleTopMargin = 1 << 3,
    UIViewAutoresizingFlexibleHeight = 1 << 4,
    UIViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

enum UIViewContentMode {
    UIViewContentModeScaleToFill = 0,
    UIViewContentModeScaleAspectFit = 1,
    UIViewContentModeScaleAspectFill = 2,
    UIViewContentModeRedraw = 3,
    UIViewContentModeCenter = 4,
    UIViewContentModeTop = 5,
    UIViewContentModeBottom = 6,
    UIViewContentModeLeft = 7,
    UIViewContentModeRight = 8,
    UIViewContentModeTopLeft = 9,
    UIViewContentModeTopRight = 10,
    UIViewContentModeBottomLeft = 11,
    UIViewContentModeBottomRight = 12,
};

enum UIViewAnimationOptions : unsigned {
    UIViewAnimationOptionLayoutSubviews = 1 << 0,
    UIViewAnimationOptionAllowUserInteraction = 1 << 1,
    UIViewAnimationOptionBeginFromCurrentState = 1 << 2,
    UIViewAnimationOptionRepeat = 1 << 3,
    UIViewAnimationOptionAutoreverse = 1 << 4,
    UIViewAnimationOptionOverrideInheritedDuration = 1 << 5,
    UIViewAnimationOptionOverrideInheritedCurve = 1 << 6,
    UIViewAnimationOptionAllowAnimatedContent = 1 << 7,
    UIViewAnimationOptionShowHideTransitionViews = 1 << 8,
    UIViewAnimationOptionCurveEaseInOut = 0 << 16,
    UIViewAnimationOptionCurveEaseIn = 1 << 16,
    UIViewAnimationOptionCurveEaseOut = 2 << 16,
    UIViewAnimationOptionCurveLinear = 3 << 16,
    UIViewAnimationOptionTransitionNone = 0 << 20,
    UIViewAnimationOptionTransitionFlipFromLeft = 1 << 20,
    UIViewAnimationOptionTransitionFlipFromRight = 2 << 20,
    UIViewAnimationOptionTransitionCurlUp = 3 << 20,
    UIViewAnimationOptionTransitionCurlDown = 4 << 20,
    UIViewAnimationOptionTransitionCrossDissolve = 5 << 20,
    UIViewAnimationOptionTransitionFlipFromTop = 6 << 20,
    UIViewAnimationOptionTransitionFlipFromBottom = 7 << 20,
};

enum UIViewAnimationCurve {
    UIViewAnimationCurveEaseInOut = 0,
    UIViewAnimationCurveEaseIn = 1,
    UIViewAnimationCurveEaseOut = 2,
    UIViewAnimationCurveLinear = 3,
};

// Where an image of the given size goes inside a rectangle under a content mode
// (image views, layer contents, button images). Aspect fill may spill out of
// the rectangle: clipping is the view's business. An empty size gives the
// rectangle itself for the scaling modes and an empty rectangle otherwise.
platform::Rect rectForContentMode(UIViewContentMode mode, platform::Size contentSize, const platform::Rect& bounds);

// A rectangle on screen and the views inside it.
//
// Geometry: the view keeps its centre and bounds; frame is derived from them
// and the transform (the bounding box of the transformed bounds). A frame,
// bounds or centre with a NaN or infinite component is ignored (the view keeps
// its old geometry); a negative size is standardized (the same area).
//
// Ownership: a superview owns its subviews (shared); a view knows its
// superview weakly. Views are created with std::make_shared.
class UIView : public UIResponder {
public:
    UIView();
    explicit UIView(const platform::Rect& frame);
    ~UIView() override;

    ORB_CLASS_NAME(UIView)
    // This view as a shared pointer; nullptr for a view not owned by one
    // (views are made with std::make_shared; nothing throws for one that is not).
    std::shared_ptr<UIView> sharedView() { return std::static_pointer_cast<UIView>(weak_from_this().lock()); }

    // ---- Geometry --------------------------------------------------------
    platform::Rect frame() const;
    virtual void setFrame(const platform::Rect& frame);
    platform::Rect bounds() const { return bounds_; }
    virtual void setBounds(const platform::Rect& bounds);
    platform::Point center() const { return center_; }
    virtual void setCenter(platform::Point center);
    platform::AffineTransform transform() const;
    void setTransform(const platform::AffineTransform& transform);

    // ---- Appearance ------------------------------------------------------
    double alpha() const;
    void setAlpha(double alpha);
    bool isHidden() const;
    void setHidden(bool hidden);
    bool isOpaque() const;
    void setOpaque(bool opaque);
    // Clear when none was set.
    platform::Color backgroundColor() const;
    virtual void setBackgroundColor(const platform::Color& color);
    bool clipsToBounds() const;
    void setClipsToBounds(bool clips);
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
    void setMultipleTouchEnabled(bool enabled) { multipleTouchEnabled_ = enabled; }
    bool isExclusiveTouch() const { return exclusiveTouch_; }
    void setExclusiveTouch(bool exclusive) { exclusiveTouch_ = exclusive; }
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool autoresizes) { autoresizesSubviews_ = autoresizes; }
    UIViewContentMode contentMode() const { return contentMode_; }
    void setContentMode(UIViewContentMode mode);
    platform::Color tintColor() const;
    void setTintColor(std::optional<platform::Color> color) { tintColor_ = color; }

    // The name the creating code or layout file gave the view (its outlet), for
    // lookups by name in tests and the layout loader.
    const std::string& outletName() const { return outletName_; }
    void setOutletName(std::string name) { outletName_ = std::move(name); }

    const std::shared_ptr<CALayer>& layer() const;

    // ---- Hierarchy -------------------------------------------------------
    std::shared_ptr<UIView> superview() const
    {
        return superview_ ? std::static_pointer_cast<UIView>(superview_->weak_from_this().lock()) : nullptr;
    }
    const std::vector<std::shared_ptr<UIView>>& subviews() const { return subviews_; }
    // The window at the root of this view's tree, or nullptr.
    virtual std::shared_ptr<UIWindow> window() const;

    // Adding a view that is already a subview moves it to the front. A view
    // cannot be added to itself or to one of its own subviews (ignored).
    void addSubview(std::shared_ptr<UIView> view);
    // Indexes beyond the end append; negative ones insert at the start.
    void insertSubview(std::shared_ptr<UIView> view, long index);
    void insertSubviewAbove(std::shared_ptr<UIView> view, const std::shared_ptr<UIView>& sibling);
    void insertSubviewBelow(std::shared_ptr<UIView> view, const std::shared_ptr<UIView>& sibling);
    void bringSubviewToFront(const std::shared_ptr<UIView>& view);
    void sendSubviewToBack(const std::shared_ptr<UIView>& view);
    // Out-of-range indexes are ignored.
    void exchangeSubviewAtIndex(long index1, long withSubviewAtIndex);
    void removeFromSuperview();
    // Every subview removed as removeFromSuperview removes one, last first,
    // in one pass: a strip of many thousand views goes at once.
    void removeAllSubviews();
    bool isDescendantOfView(const UIView* view) const;
    // Depth first, the view itself first; nullptr when none has the tag.
    std::shared_ptr<UIView> viewWithTag(int tag);

    // Called by the layout loader once every object of a layout file exists and
    // its outlets and actions are bound. Nothing by default.
    virtual void awakeFromNib() { }

    virtual void willMoveToSuperview(UIView* newSuperview);
    virtual void didMoveToSuperview();
    virtual void willMoveToWindow(UIWindow* newWindow);
    virtual void didMoveToWindow();
    virtual void didAddSubview(UIView* subview);
    virtual void willRemoveSubview(UIView* subview);

    // ---- Layout and display ----------------------------------------------
    virtual void layoutSubviews();
    // The main loop lays out views in windows on its next turn; rendering, hit
    // testing and layoutIfNeeded do it at once.
    void setNeedsLayout();
    void layoutIfNeeded();
    bool needsLayout() const { return needsLayout_; }
    virtual platform::Size sizeThatFits(platform::Size size) const;
    // Sets the size to sizeThatFits(current size), keeping the frame's origin.
    void sizeToFit();

    void setNeedsDisplay()
    {
        needsDisplay_ = true;
        wholeNeedsDisplay_ = true;
    }
    // Only part of the view changed (a blinking caret): the rectangle, in the
    // bounds' coordinates, is added to what needs drawing.
    void setNeedsDisplayInRect(const platform::Rect& rect);
    bool needsDisplay() const { return needsDisplay_; }
    // What needs drawing, in the bounds' coordinates: the whole bounds after
    // setNeedsDisplay, the union of the rectangles given otherwise, and the
    // null rectangle when nothing does.
    platform::Rect needsDisplayRect() const;
    void clearNeedsDisplay()
    {
        needsDisplay_ = false;
        wholeNeedsDisplay_ = false;
        dirtyRect_ = platform::Rect::null();
    }
    // The view's own drawing, in its bounds' coordinates. The default draws nothing.
    virtual void drawRect(platform::Context& context, const platform::Rect& rect);

    // ---- Coordinates -----------------------------------------------------
    // A null view means the coordinates of this view's window (its root).
    platform::Point convertPointToView(platform::Point point, const UIView* view) const;
    platform::Point convertPointFromView(platform::Point point, const UIView* view) const;
    platform::Rect convertRectToView(const platform::Rect& rect, const UIView* view) const;
    platform::Rect convertRectFromView(const platform::Rect& rect, const UIView* view) const;

    // ---- Hit testing -----------------------------------------------------
    // The deepest visible, interactive view under the point (in this view's
    // coordinates): hidden views, views with alpha below 0.01 and views with
    // user interaction off are skipped with their subviews.
    virtual std::shared_ptr<UIView> hitTest(platform::Point point, UIEvent* event);
    virtual bool pointInside(platform::Point point, UIEvent* event) const;
    // Whether the view's own handling of a tap takes precedence over tap
    // recognisers attached to its ancestors (enabled controls answer yes).
    virtual bool handlesTapsItself() const { return false; }

    // ---- Gestures and editing --------------------------------------------
    void addGestureRecognizer(std::shared_ptr<UIGestureRecognizer> recognizer);
    void removeGestureRecognizer(const std::shared_ptr<UIGestureRecognizer>& recognizer);
    const std::vector<std::shared_ptr<UIGestureRecognizer>>& gestureRecognizers() const { return recognizers_; }
    // Makes the first responder inside this view resign (force: even if it refuses).
    bool endEditing(bool force);

    // ---- Responder chain ---------------------------------------------------
    // The view's controller when one manages it, else the superview.
    std::shared_ptr<UIResponder> nextResponder() const override;
    // Set by a view controller for the view it manages.
    void setViewController(std::weak_ptr<UIResponder> controller) { viewController_ = std::move(controller); }
    std::shared_ptr<UIResponder> viewController() const { return viewController_.lock(); }

    // ---- Rendering -------------------------------------------------------
    // The view and its subtree at the given scale (the screen's when 0);
    // nullopt for an empty view.
    std::optional<platform::Image> renderToImage(double scale = 0);
    virtual bool renderToPNG(const std::string& path, double scale = 0);

    // ---- Animations ------------------------------------------------------
    using Animations = std::function<void()>;
    using Completion = std::function<void(bool finished)>;
    // The changes apply at once; the completion runs on the main loop after
    // delay + duration of its clock, with finished = true (false when the
    // animation was removed first). Recorded in platform::AnimationLog.
    static void animateWithDuration(
        double duration, double delay, unsigned options, const Animations& animations, Completion completion = {});
    static void animateWithDuration(double duration, const Animations& animations, Completion completion = {});
    static void transitionWithView(const std::shared_ptr<UIView>& view, double duration, unsigned options,
        const Animations& animations, Completion completion = {});
    // Puts toView where fromView is (same superview, same place among the
    // subviews) and removes fromView.
    static void transitionFromView(const std::shared_ptr<UIView>& fromView, const std::shared_ptr<UIView>& toView,
        double duration, unsigned options, Completion completion = {});

    // The older style: changes between begin and commit form one animation.
    // The did-stop callback runs like a completion, with the animation's id;
    // it is skipped when its owner has gone away.
    using DidStop = std::function<void(const std::string& animationID, bool finished)>;
    static void beginAnimations(std::string animationID = {}, platform::Value context = {});
    static void setAnimationDuration(double duration);
    static void setAnimationDelay(double delay);
    static void setAnimationCurve(UIViewAnimationCurve curve);
    static void setAnimationBeginsFromCurrentState(bool fromCurrentState);
    static void setAnimationRepeatCount(double count);
    static void setAnimationDidStop(std::weak_ptr<const void> owner, DidStop callback);
    static void commitAnimations();

    static void setAnimationsEnabled(bool enabled);
    static bool areAnimationsEnabled();
    static void performWithoutAnimation(const Animations& actions);

    // Ends the running animations that changed this object: their completions
    // run (posted to the main loop) with finished = false. Returns how many.
    static std::size_t cancelAnimationsOf(const platform::Object* target);
    // Animations whose completion has not run yet.
    static std::size_t runningAnimationCount();

protected:
    // Reports an animatable change to the animation log (inside a block).
    void noteAnimatableChange(const char* property, std::vector<double> from = {});
    // The bounds size changed: resize subviews, lay out again.
    virtual void boundsSizeDidChange(platform::Size oldSize);
    // Lets layoutIfNeeded run whatever subclasses do before their subviews are laid out.
    void resizeSubviewsWithOldSize(platform::Size oldSize);

    // Views become first responder only while they are in a window.
    bool canBecomeFirstResponderNow() const override { return window() != nullptr; }

private:
    friend class CALayer;
    void applyFrame(const platform::Rect& frame);
    void insertSubviewAtPosition(std::shared_ptr<UIView> view, std::size_t position);
    static void notifyWillMoveToWindow(UIView* view, UIWindow* window);
    static void notifyDidMoveToWindow(UIView* view);
    std::shared_ptr<UIView> rootView() const;
    platform::Point toSuperview(platform::Point p) const;
    platform::Point fromSuperview(platform::Point p) const;

    std::shared_ptr<CALayer> layer_;
    platform::Point center_;
    platform::Rect bounds_;
    bool userInteractionEnabled_ = true;
    bool multipleTouchEnabled_ = false;
    bool exclusiveTouch_ = false;
    bool autoresizesSubviews_ = true;
    bool needsLayout_ = true;
    bool needsDisplay_ = true;
    bool wholeNeedsDisplay_ = true;
    platform::Rect dirtyRect_ = platform::Rect::null();
    int tag_ = 0;
    unsigned autoresizingMask_ = UIViewAutoresizingNone;
    UIViewContentMode contentMode_ = UIViewContentModeScaleToFill;
    std::optional<platform::Color> tintColor_;
    std::string outletName_;
    // A plain pointer, not a weak one: views often build their subviews in
    // their constructors, before any shared pointer owns them, and those
    // subviews must still find their superview once it is owned. The pointer
    // stays valid because a superview clears it when it lets the view go.
    UIView* superview_ = nullptr;
    std::vector<std::shared_ptr<UIView>> subviews_;
    std::vector<std::shared_ptr<UIGestureRecognizer>> recognizers_;
    std::weak_ptr<UIResponder> viewController_;
};
