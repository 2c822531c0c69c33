#pragma once

#include "core/model/WeiboReplyData.h"
#include "platform/uikit/UITableView.h"
#include "ui/tables/BaseCell.h"

#include <memory>
#include <vector>

class UILabel;

namespace circle {

// Every comment of a post in one row: an inner table as tall as its rows,
// or a line saying there is none yet.
class WeiboDetailsCommentTableCell final : public BaseCell, public UITableViewDataSource, public UITableViewDelegate {
public:
    ORB_CLASS_NAME(WeiboDetailsCommentTableCell)

    using Replys = std::vector<std::shared_ptr<core::WeiboReplyData>>;
    static constexpr double kEmptyHeight = 60;

    static double heightForWeiboReplys(const Replys& replys);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void configWithWeiboReplys(const Replys& replys);

    long numberOfRowsInSection(UITableView*, long) override { return long(weiboReplys_.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override;

    std::shared_ptr<UITableView> tableView() const { return tableView_; }

private:
    std::shared_ptr<UITableView> tableView_;
    std::shared_ptr<UILabel> lblEmptyTips_;
    Replys weiboReplys_;
};

} // namespace circle
