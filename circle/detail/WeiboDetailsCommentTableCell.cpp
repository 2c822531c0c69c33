#include "circle/detail/WeiboDetailsCommentTableCell.h"

#include "circle/detail/WeiboDetailsCommentCell.h"
#include "platform/uikit/UILabel.h"

namespace circle {

double WeiboDetailsCommentTableCell::heightForWeiboReplys(const Replys& replys)
{
    if (replys.empty())
        return kEmptyHeight;
    double height = 0;
    for (const auto& reply : replys)
        height += WeiboDetailsCommentCell::heightForWeiboCommentData(*reply);
    return height;
}

void WeiboDetailsCommentTableCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("tableView", tableView_);
    bindings.outlet("lblEmptyTips", lblEmptyTips_);
}

void WeiboDetailsCommentTableCell::configWithWeiboReplys(const Replys& replys)
{
    auto me = std::static_pointer_cast<WeiboDetailsCommentTableCell>(shared_from_this());
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    tableView_->setScrollEnabled(false);
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableView_->setTableFooterView(std::make_shared<UIView>());
    weiboReplys_ = replys;
    lblEmptyTips_->setHidden(!replys.empty());
    tableView_->setHidden(replys.empty());
    auto frame = tableView_->frame();
    frame.size.height = heightForWeiboReplys(replys);
    tableView_->setFrame(frame);
    tableView_->reloadData();
}

std::shared_ptr<UITableViewCell> WeiboDetailsCommentTableCell::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    auto cell = BaseCell::dequeue<WeiboDetailsCommentCell>(*table);
    if (path.row >= 0 && path.row < long(weiboReplys_.size()))
        cell->configWithWeiboCommentData(*weiboReplys_[std::size_t(path.row)]);
    return cell;
}

std::optional<double> WeiboDetailsCommentTableCell::heightForRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    if (path.row < 0 || path.row >= long(weiboReplys_.size()))
        return std::nullopt;
    return WeiboDetailsCommentCell::heightForWeiboCommentData(*weiboReplys_[std::size_t(path.row)]);
}

} // namespace circle
