#pragma once

#include "platform/os/ClassRegistry.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UITableView.h"
#include "ui/tables/RefreshTableFooterView.h"
#include "ui/tables/RefreshTableHeaderView.h"

#include <memory>
#include <optional>
#include <string>

class RefreshTableView;

// What a paged list screen hears from its table. Every method is optional.
class RefreshTableViewDelegate {
public:
    virtual ~RefreshTableViewDelegate() = default;
    // The person asked for the first page again (screens set curPage to 1 and
    // load). Return true when a load was started; the default, false, stands
    // for a screen without the method: the table then ends the pull itself.
    virtual bool refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*) { return false; }
    // The person asked for the next page (screens add 1 to curPage and load);
    // true when a load was started, as above.
    virtual bool refreshTableViewFooterDidTriggerLoadMore(RefreshTableView*) { return false; }
    // The text to show for one of the table's keys, nullopt for the key itself.
    virtual std::optional<std::string> refreshTableViewLocalizedString(RefreshTableView*, const std::string&)
    {
        return std::nullopt;
    }
};

// The table of the app's paged lists. Pulling it down past 65 points asks the
// screen for the first page again; pulling up past the end asks for the next
// page while there is one. It keeps the paging state for the screen and drives
// its own header and footer views, so the screen stays free to be the table's
// ordinary data source and delegate.
//
// The screen's part: after every page reply, or failure, store the rows, set
// pageCount (curPage + 1 while more may follow, otherwise at most curPage) and
// call doneLoadingTableViewData. The footer offers load-more only while
// pageCount is above curPage.
//
// Make it with make() or through a layout file; both add the header and
// footer (a table made by its bare constructor gets them from initSecondPart()).
class RefreshTableView : public UITableView, public RefreshTableHeaderDelegate, public RefreshTableFooterDelegate {
public:
    ORB_CLASS_NAME(RefreshTableView)

    static constexpr int kDefaultPageSize = 12;
    // A pull that nobody loads for ends after this long.
    static constexpr double kSelfEndDelay = 0.2;

    RefreshTableView() = default;
    explicit RefreshTableView(const platform::Rect& frame, UITableViewStyle style = UITableViewStylePlain)
        : UITableView(frame, style)
    {
    }
    static std::shared_ptr<RefreshTableView> make(
        const platform::Rect& frame = {}, UITableViewStyle style = UITableViewStylePlain);
    ~RefreshTableView() override;

    // Resets the paging state and adds the header and footer when missing.
    void initSecondPart();
    // A table from a layout file is set up here, once its frame is known.
    void awakeFromNib() override;

    // Starts a refresh from code, as if the person had pulled the list down.
    void loadTopData();
    void reloadTableViewDataSource() { reloading_ = true; }
    // The screen's page request has ended, successfully or not.
    void doneLoadingTableViewData();

    int curPage() const { return curPage_; }
    void setCurPage(int page) { curPage_ = page; }
    int pageSize() const { return pageSize_; }
    void setPageSize(int size) { pageSize_ = size; }
    int pageCount() const { return pageCount_; }
    void setPageCount(int count) { pageCount_ = count; }
    int total() const { return total_; }
    void setTotal(int total) { total_ = total; }
    bool hasLoad() const { return hasLoad_; }
    void setHasLoad(bool hasLoad) { hasLoad_ = hasLoad; }
    std::shared_ptr<RefreshTableViewDelegate> refreshDelegate() const { return refreshDelegate_.lock(); }
    void setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate> delegate)
    {
        refreshDelegate_ = std::move(delegate);
    }
    bool isReloading() const { return reloading_; }

    const std::shared_ptr<RefreshTableHeaderView>& headerView() const { return headerView_; }
    const std::shared_ptr<RefreshTableFooterView>& footerView() const { return footerView_; }

    // Every "not dragging" answer counts as the end of a drag: the header and
    // footer hear it, so a pull released (or an offset set from code, as
    // loadTopData does) is judged against the trigger lines.
    bool isDragging() const override;

    // ---- As its header's and footer's delegate ------------------------------------------
    bool refreshTableHeaderDataSourceIsLoading(RefreshTableHeaderView*) override { return reloading_; }
    bool refreshTableFooterDataSourceIsLoading(RefreshTableFooterView*) override { return reloading_; }
    std::optional<platform::Date> refreshTableHeaderDataSourceLastUpdated(RefreshTableHeaderView*) override;
    std::optional<platform::Date> refreshTableFooterDataSourceLastUpdated(RefreshTableFooterView*) override;
    std::optional<std::string> refreshTableHeaderLocalizedString(RefreshTableHeaderView*, const std::string&) override;
    std::optional<std::string> refreshTableFooterLocalizedString(RefreshTableFooterView*, const std::string&) override;
    void refreshTableHeaderDidTriggerRefresh(RefreshTableHeaderView*) override;
    void refreshTableFooterDidTriggerRefresh(RefreshTableFooterView*) override;

protected:
    void contentOffsetDidChange() override;
    void dragDidEnd(bool willDecelerate) override;

private:
    bool footerTakesPart() const { return footerView_ && !footerView_->isHidden(); }
    void endByItselfLater();

    std::shared_ptr<RefreshTableHeaderView> headerView_;
    std::shared_ptr<RefreshTableFooterView> footerView_;
    bool reloading_ = false;
    int curPage_ = 0;
    int pageSize_ = kDefaultPageSize;
    int pageCount_ = 0;
    int total_ = 0;
    bool hasLoad_ = false;
    std::weak_ptr<RefreshTableViewDelegate> refreshDelegate_;
    platform::DelayedCall selfEnd_;
};
