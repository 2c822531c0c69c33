#include "tests/platform/host/HostTestSupport.h"

#include "platform/uikit/UILabel.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UIWindow.h"

namespace hosttest {

void LongListController::loadView()
{
    table_ = std::make_shared<UITableView>(UIScreen::mainScreen()->bounds(), UITableViewStylePlain);
    table_->setBackgroundColor(platform::Color::whiteColor());
    setView(table_);
}

void LongListController::viewDidLoad()
{
    setTitle("Rows");
    setEdgesForExtendedLayout(UIRectEdgeNone);
    auto self = std::static_pointer_cast<LongListController>(shared_from_this());
    table_->setDataSource(self);
    table_->setDelegate(self);
}

std::shared_ptr<UITableViewCell> LongListController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    auto cell = table->dequeueReusableCellWithIdentifier("row");
    if (!cell)
        cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "row");
    cell->textLabel()->setText("Row " + std::to_string(path.row));
    return cell;
}

void LongListController::didSelectRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    selectedRows.push_back(path.row);
}

void LongListController::scrollViewDidEndDragging(UIScrollView*, bool decelerate)
{
    events.push_back(decelerate ? "didEndDragging(decelerate)" : "didEndDragging");
}


} // namespace hosttest
