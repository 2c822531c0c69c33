#pragma once

#include "core/model/MessageTemplateType.h"
#include "platform/uikit/NSIndexPath.h"
#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIFont.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <vector>

// What the category list tells its screen: the row chosen.
class DropDownListViewDelegate {
public:
    virtual ~DropDownListViewDelegate() = default;
    virtual void onDropDownItemClick(const NSIndexPath& indexPath) = 0;
};

// The template categories dropping down from a 30-point strip: one row per
// category by name, "全部模板" always first. Closed it is only the strip; the
// list opens to its rows' height, at most 250 points, and scrolls beyond.
class ZPDropDownListView final : public UIView, public UITableViewDataSource, public UITableViewDelegate {
public:
    ORB_CLASS_NAME(ZPDropDownListView)

    using TypeList = std::vector<std::shared_ptr<core::MessageTemplateType>>;

    static constexpr double kStripHeight = 30;
    static constexpr double kRowHeight = 45;
    static constexpr double kMaxHeight = 250;
    static constexpr const char* kResizeAnimation = "ResizeForKeyBoard";
    static constexpr double kFontSize = 16;

    // The frame's height is the open height (at most 250); the view starts closed.
    static std::shared_ptr<ZPDropDownListView> initWithFrame(const platform::Rect& frame);
    explicit ZPDropDownListView(const platform::Rect& frame);

    // The caller's own list, held and changed in place: "全部模板" goes in
    // front. The list held before is emptied; the same list again changes nothing.
    void setTypeList(std::shared_ptr<TypeList> typeList);
    const std::shared_ptr<TypeList>& typeList() const { return typeList_; }
    // The open height follows the rows now in the list.
    void reloadData();
    // Opens the list, or closes it when open.
    void showAsDropDown();
    void dismiss();
    bool isShowingList() const { return showList_; }

    void setFont(const UIFont& font) { font_ = font; }
    void setTextColor(const UIColor& color) { txtColor_ = color; }
    // The colour of the open list, its rows and the space around their text alike.
    void setItemBackgroundColor(const UIColor& color);
    void setDelegate(std::weak_ptr<DropDownListViewDelegate> delegate) { delegate_ = std::move(delegate); }

    long numberOfRowsInSection(UITableView*, long) override { return typeList_ ? long(typeList_->size()) : 0; }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override { return kRowHeight; }
    void didSelectRowAtIndexPath(UITableView* tableView, const NSIndexPath& indexPath) override;

private:
    void setUp();

    std::shared_ptr<UITableView> tv_;
    std::shared_ptr<TypeList> typeList_;
    bool showList_ = false;
    double tabheight_ = 0;
    double frameHeight_ = 0;
    UIFont font_ = UIFont::systemFont(kFontSize);
    UIColor itemBackgroundColor_ = UIColor::grayColor();
    UIColor txtColor_ = UIColor::blackColor();
    std::weak_ptr<DropDownListViewDelegate> delegate_;
};
