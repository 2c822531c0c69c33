#pragma once

#include "platform/os/Bundle.h"
#include "platform/os/ClassRegistry.h"
#include "platform/uikit/NSIndexPath.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UITableViewCell.h"

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UITableView;
class UILabel;

enum UITableViewStyle {
    UITableViewStylePlain = 0,
    UITableViewStyleGrouped = 1,
};

enum UITableViewScrollPosition {
    UITableViewScrollPositionNone = 0,
    UITableViewScrollPositionTop = 1,
    UITableViewScrollPositionMiddle = 2,
    UITableViewScrollPositionBottom = 3,
};

enum UITableViewRowAnimation {
    UITableViewRowAnimationFade = 0,
    UITableViewRowAnimationRight = 1,
    UITableViewRowAnimationLeft = 2,
    UITableViewRowAnimationTop = 3,
    UITableViewRowAnimationBottom = 4,
    UITableViewRowAnimationNone = 5,
    UITableViewRowAnimationMiddle = 6,
    UITableViewRowAnimationAutomatic = 100,
};

enum UITableViewCellSeparatorStyle {
    UITableViewCellSeparatorStyleNone = 0,
    UITableViewCellSeparatorStyleSingleLine = 1,
};

class UITableViewDataSource {
public:
    virtual ~UITableViewDataSource() = default;
    virtual long numberOfSectionsInTableView(UITableView*) { return 1; }
    virtual long numberOfRowsInSection(UITableView*, long section) = 0;
    virtual std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) = 0;
    virtual std::optional<std::string> titleForHeaderInSection(UITableView*, long) { return std::nullopt; }
    virtual std::optional<std::string> titleForFooterInSection(UITableView*, long) { return std::nullopt; }
    virtual std::vector<std::string> sectionIndexTitlesForTableView(UITableView*) { return {}; }
    virtual long sectionForSectionIndexTitle(UITableView*, const std::string& /*title*/, long index) { return index; }
    virtual bool canEditRowAtIndexPath(UITableView*, const NSIndexPath&) { return true; }
    // Rows can be deleted by swiping only when the data source says it commits edits.
    virtual bool supportsEditingCommits() const { return false; }
    virtual void commitEditingStyle(UITableView*, UITableViewCellEditingStyle, const NSIndexPath&) { }
};

// Optional methods whose absence changes the table's behaviour answer
// std::nullopt (heights) or nullptr (views) by default.
class UITableViewDelegate : public UIScrollViewDelegate {
public:
    virtual std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) { return std::nullopt; }
    virtual std::optional<double> heightForHeaderInSection(UITableView*, long) { return std::nullopt; }
    virtual std::optional<double> heightForFooterInSection(UITableView*, long) { return std::nullopt; }
    virtual std::shared_ptr<UIView> viewForHeaderInSection(UITableView*, long) { return nullptr; }
    virtual std::shared_ptr<UIView> viewForFooterInSection(UITableView*, long) { return nullptr; }
    virtual void willDisplayCell(UITableView*, UITableViewCell*, const NSIndexPath&) { }
    // nullopt refuses the selection; another path selects that row instead.
    virtual std::optional<NSIndexPath> willSelectRowAtIndexPath(UITableView*, const NSIndexPath& indexPath)
    {
        return indexPath;
    }
    virtual void didSelectRowAtIndexPath(UITableView*, const NSIndexPath&) { }
    virtual void didDeselectRowAtIndexPath(UITableView*, const NSIndexPath&) { }
    virtual UITableViewCellEditingStyle editingStyleForRowAtIndexPath(UITableView*, const NSIndexPath&)
    {
        return UITableViewCellEditingStyleDelete;
    }
    virtual std::string titleForDeleteConfirmationButtonForRowAtIndexPath(UITableView*, const NSIndexPath&)
    {
        return platform::localizedString("Delete");
    }
};

// The strip of section index titles at a table's right edge. It stays put
// while the rows scroll under it; a touch on a title (or a finger sliding
// along the strip) brings that title's section to the top.
class UITableViewIndex : public UIView {
public:
    ORB_CLASS_NAME(UITableViewIndex)
    static constexpr double kWidth = 16;
    static constexpr double kTitleHeight = 15;

    explicit UITableViewIndex(UITableView* table);
    void setTitles(const std::vector<std::string>& titles);
    const std::vector<std::string>& titles() const { return titles_; }
    // The title under a point of this view, or -1 between and beyond titles.
    long titleIndexAtPoint(platform::Point point) const;
    // Where title i is drawn, in this view's coordinates.
    platform::Rect rectForTitle(long index) const;

    void layoutSubviews() override;
    bool handlesTapsItself() const override { return true; }
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesMoved(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    void touchesCancelled(const UITouchSet& touches, UIEvent* event) override;

private:
    void jumpTo(const UITouchSet& touches, bool sliding);
    double titleHeight() const;

    UITableView* table_; // the table owns this view and outlives it
    std::vector<std::string> titles_;
    std::vector<std::shared_ptr<UILabel>> labels_;
    long lastJump_ = -1;
};

// Rows laid out from their heights, top to bottom: the table header view,
// then per section a header, the rows and a footer, then the table footer
// view. Only rows inside the visible bounds have cells; a cell scrolled out of
// view goes to the reuse pool of its identifier and comes back from
// dequeueReusableCellWithIdentifier.
class UITableView : public UIScrollView {
public:
    UITableView();
    explicit UITableView(const platform::Rect& frame, UITableViewStyle style = UITableViewStylePlain);
    ORB_CLASS_NAME(UITableView)

    UITableViewStyle style() const { return style_; }
    void setStyle(UITableViewStyle style) { style_ = style; }

    void setDataSource(std::weak_ptr<UITableViewDataSource> dataSource) { dataSource_ = std::move(dataSource); }
    std::shared_ptr<UITableViewDataSource> dataSource() const { return dataSource_.lock(); }
    // Also the scroll view's delegate, as on the phone.
    void setDelegate(std::weak_ptr<UITableViewDelegate> delegate);
    std::shared_ptr<UITableViewDelegate> tableDelegate() const { return tableDelegate_.lock(); }

    double rowHeight() const { return rowHeight_; }
    void setRowHeight(double height) { rowHeight_ = height; }
    double sectionHeaderHeight() const { return sectionHeaderHeight_; }
    void setSectionHeaderHeight(double height) { sectionHeaderHeight_ = height; }
    double sectionFooterHeight() const { return sectionFooterHeight_; }
    void setSectionFooterHeight(double height) { sectionFooterHeight_ = height; }
    UITableViewCellSeparatorStyle separatorStyle() const { return separatorStyle_; }
    void setSeparatorStyle(UITableViewCellSeparatorStyle style) { separatorStyle_ = style; }
    platform::Color separatorColor() const { return separatorColor_; }
    void setSeparatorColor(const platform::Color& color) { separatorColor_ = color; }
    bool allowsSelection() const { return allowsSelection_; }
    void setAllowsSelection(bool allows) { allowsSelection_ = allows; }
    const std::shared_ptr<UIView>& tableHeaderView() const { return tableHeaderView_; }
    void setTableHeaderView(std::shared_ptr<UIView> view);
    const std::shared_ptr<UIView>& tableFooterView() const { return tableFooterView_; }
    void setTableFooterView(std::shared_ptr<UIView> view);
    const std::shared_ptr<UIView>& backgroundView() const { return backgroundView_; }
    void setBackgroundView(std::shared_ptr<UIView> view) { backgroundView_ = std::move(view); }

    // ---- Data -----------------------------------------------------------------
    void reloadData();
    long numberOfSections() const { return static_cast<long>(sections_.size()); }
    long numberOfRowsInSection(long section) const;
    std::shared_ptr<UITableViewCell> dequeueReusableCellWithIdentifier(const std::string& identifier);
    // The cell of a visible row, else nullptr.
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(const NSIndexPath& indexPath) const;
    std::vector<std::shared_ptr<UITableViewCell>> visibleCells() const;
    std::vector<NSIndexPath> indexPathsForVisibleRows() const;
    std::optional<NSIndexPath> indexPathForCell(const UITableViewCell* cell) const;
    // A point in the table's content coordinates.
    std::optional<NSIndexPath> indexPathForRowAtPoint(platform::Point point) const;
    // An empty rectangle for a row that does not exist.
    platform::Rect rectForRowAtIndexPath(const NSIndexPath& indexPath) const;
    platform::Rect rectForHeaderInSection(long section) const;
    platform::Rect rectForFooterInSection(long section) const;
    std::shared_ptr<UIView> headerViewForSection(long section) const;
    std::shared_ptr<UIView> footerViewForSection(long section) const;

    // ---- Selection ----------------------------------------------------------------
    std::optional<NSIndexPath> indexPathForSelectedRow() const { return selected_; }
    // Programmatic: no delegate calls, as on the phone.
    void selectRowAtIndexPath(const std::optional<NSIndexPath>& indexPath, bool animated,
        UITableViewScrollPosition position = UITableViewScrollPositionNone);
    void deselectRowAtIndexPath(const NSIndexPath& indexPath, bool animated);
    // What a tap on the row does: willSelect (which may refuse or redirect),
    // deselection of the row selected before (didDeselect), then didSelect.
    void userSelectRowAtIndexPath(const NSIndexPath& indexPath);

    void scrollToRowAtIndexPath(const NSIndexPath& indexPath, UITableViewScrollPosition position, bool animated);

    // ---- Section index ----------------------------------------------------------
    std::vector<std::string> sectionIndexTitles() const;
    // A touch on index title i scrolls the section it names to the top.
    void tapSectionIndexTitle(long index);
    // The drawn index at the right edge while the data source has titles.
    const std::shared_ptr<UITableViewIndex>& sectionIndexView() const { return indexView_; }

    // ---- Editing -----------------------------------------------------------------
    bool isEditing() const { return editing_; }
    void setEditing(bool editing, bool animated = false);
    // A swipe on the row and a tap on its delete button: the data source
    // commits the delete when it allows editing that row. Returns whether it was asked.
    bool commitDeleteForRowAtIndexPath(const NSIndexPath& indexPath);
    void beginUpdates();
    void endUpdates();
    // Row changes: the data source must already answer the new counts; a
    // mismatch is logged and the table reloads in full instead of failing.
    void insertRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation animation);
    void deleteRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation animation);
    void reloadRowsAtIndexPaths(const std::vector<NSIndexPath>& paths, UITableViewRowAnimation animation);
    struct RowChange {
        enum class Kind { Insert, Delete, Reload } kind;
        NSIndexPath indexPath;
        UITableViewRowAnimation animation;
    };
    // Every row change asked for, in order (tests check the animations).
    const std::vector<RowChange>& rowChanges() const { return rowChanges_; }

    void layoutSubviews() override;
    void touchesBegan(const UITouchSet& touches, UIEvent* event) override;
    void touchesEnded(const UITouchSet& touches, UIEvent* event) override;
    // How far a touch may travel and still count as a tap on a row.
    static constexpr double kTapSlop = 10;

protected:
    void contentOffsetDidChange() override;

private:
    struct Section {
        double headerTop = 0;
        double headerHeight = 0;
        std::vector<double> rowTops;
        std::vector<double> rowHeights;
        double footerTop = 0;
        double footerHeight = 0;
        std::shared_ptr<UIView> headerView;
        std::shared_ptr<UIView> footerView;
    };
    void computeGeometry();
    void updateVisibleCells();
    void enqueue(const std::shared_ptr<UITableViewCell>& cell);
    void applyRowChange(RowChange::Kind kind, const std::vector<NSIndexPath>& paths, UITableViewRowAnimation animation);
    bool validPath(const NSIndexPath& indexPath) const;
    void updateSectionIndex(bool reloadTitles);

    UITableViewStyle style_ = UITableViewStylePlain;
    std::weak_ptr<UITableViewDataSource> dataSource_;
    std::weak_ptr<UITableViewDelegate> tableDelegate_;
    double rowHeight_ = 44;
    double sectionHeaderHeight_ = 22;
    double sectionFooterHeight_ = 22;
    UITableViewCellSeparatorStyle separatorStyle_ = UITableViewCellSeparatorStyleSingleLine;
    platform::Color separatorColor_ = platform::Color::fromWhite(0.78);
    bool allowsSelection_ = true;
    std::shared_ptr<UIView> tableHeaderView_;
    std::shared_ptr<UIView> tableFooterView_;
    std::shared_ptr<UIView> backgroundView_;
    std::vector<Section> sections_;
    bool loaded_ = false;
    std::map<NSIndexPath, std::shared_ptr<UITableViewCell>> visible_;
    std::map<std::string, std::vector<std::shared_ptr<UITableViewCell>>> reusePool_;
    std::optional<NSIndexPath> selected_;
    bool editing_ = false;
    int updateDepth_ = 0;
    std::vector<RowChange> rowChanges_;
    std::optional<platform::Point> touchStart_;
    std::shared_ptr<UITableViewIndex> indexView_;
};
