#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/Value.h"
#include "platform/uikit/TargetAction.h"
#include "platform/uikit/UIImage.h"

#include <memory>
#include <string>

class UIButton;
class UIView;

enum UIBarButtonItemStyle {
    UIBarButtonItemStylePlain = 0,
    UIBarButtonItemStyleBordered = 1,
    UIBarButtonItemStyleDone = 2,
};

enum UIBarButtonSystemItem {
    UIBarButtonSystemItemDone = 0,
    UIBarButtonSystemItemCancel = 1,
    UIBarButtonSystemItemEdit = 2,
    UIBarButtonSystemItemSave = 3,
    UIBarButtonSystemItemAdd = 4,
    UIBarButtonSystemItemFlexibleSpace = 5,
    UIBarButtonSystemItemFixedSpace = 6,
    UIBarButtonSystemItemCompose = 7,
    UIBarButtonSystemItemReply = 8,
    UIBarButtonSystemItemAction = 9,
    UIBarButtonSystemItemOrganize = 10,
    UIBarButtonSystemItemBookmarks = 11,
    UIBarButtonSystemItemSearch = 12,
    UIBarButtonSystemItemRefresh = 13,
    UIBarButtonSystemItemStop = 14,
    UIBarButtonSystemItemCamera = 15,
    UIBarButtonSystemItemTrash = 16,
};

// An item of a toolbar (and, later, of a navigation bar): a title, an image, a
// system item, a space, or a custom view. Bars show items through itemView():
// a button for title, image and system items (its tap sends the item's
// action), the custom view itself, nothing for spaces. The target is held weakly.
class UIBarButtonItem final : public platform::Object, public std::enable_shared_from_this<UIBarButtonItem> {
public:
    UIBarButtonItem() = default;
    ORB_CLASS_NAME(UIBarButtonItem)

    static std::shared_ptr<UIBarButtonItem> itemWithTitle(
        std::string title, UIBarButtonItemStyle style = UIBarButtonItemStylePlain);
    static std::shared_ptr<UIBarButtonItem> itemWithImage(
        std::shared_ptr<UIImage> image, UIBarButtonItemStyle style = UIBarButtonItemStylePlain);
    static std::shared_ptr<UIBarButtonItem> itemWithBarButtonSystemItem(UIBarButtonSystemItem item);
    static std::shared_ptr<UIBarButtonItem> itemWithCustomView(std::shared_ptr<UIView> view);
    // The title a system item shows ("" for spaces and pictograms).
    static std::string titleForSystemItem(UIBarButtonSystemItem item);

    template <class Owner, class T>
    void setTarget(const std::shared_ptr<Owner>& target, void (T::*action)(), std::string selector = {})
    {
        actions_ = {};
        actions_.add(
            target, target.get(), platform::bindAction<UIBarButtonItem>(target, action), std::move(selector), 1);
    }
    template <class Owner, class T, class Arg>
    void setTarget(const std::shared_ptr<Owner>& target, void (T::*action)(Arg*), std::string selector = {})
    {
        actions_ = {};
        actions_.add(
            target, target.get(), platform::bindAction<UIBarButtonItem>(target, action), std::move(selector), 1);
    }
    void setAction(std::function<void(UIBarButtonItem*)> action)
    {
        actions_ = {};
        actions_.add({}, nullptr, std::move(action), {}, 1);
    }
    bool hasAction() const { return actions_.count(1) > 0; }
    // What a tap on the item does: sends the action when the item is enabled.
    bool sendAction();

    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    std::shared_ptr<UIImage> image() const { return image_; }
    void setImage(std::shared_ptr<UIImage> image);
    UIBarButtonItemStyle style() const { return style_; }
    void setStyle(UIBarButtonItemStyle style) { style_ = style; }
    std::optional<UIBarButtonSystemItem> systemItem() const { return systemItem_; }
    bool isSpace() const;
    bool isFlexibleSpace() const { return systemItem_ == UIBarButtonSystemItemFlexibleSpace; }
    // Fixed spaces: their width (negative widths pull neighbours closer); others: 0 = automatic.
    double width() const { return width_; }
    void setWidth(double width) { width_ = width; }
    bool isEnabled() const { return enabled_; }
    void setEnabled(bool enabled);
    int tag() const { return tag_; }
    void setTag(int tag) { tag_ = tag; }
    std::optional<platform::Color> tintColor() const { return tint_; }
    void setTintColor(std::optional<platform::Color> tint) { tint_ = tint; }
    std::shared_ptr<UIView> customView() const { return customView_; }
    void setCustomView(std::shared_ptr<UIView> view);

    // The view bars place for this item (created on first use; nullptr for spaces).
    std::shared_ptr<UIView> itemView();

private:
    void refreshButton();

    platform::TargetActionList<UIBarButtonItem> actions_;
    std::string title_;
    std::shared_ptr<UIImage> image_;
    UIBarButtonItemStyle style_ = UIBarButtonItemStylePlain;
    std::optional<UIBarButtonSystemItem> systemItem_;
    double width_ = 0;
    bool enabled_ = true;
    int tag_ = 0;
    std::optional<platform::Color> tint_;
    std::shared_ptr<UIView> customView_;
    std::shared_ptr<UIButton> button_;
};
