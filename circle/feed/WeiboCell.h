#pragma once

#include "circle/feed/WeiboContentCell.h"

namespace circle {

// A row of the class-circle feed: the post's text cut at six lines.
class WeiboCell final : public WeiboContentCell {
public:
    ORB_CLASS_NAME(WeiboCell)

    static double heifhtForWeiboData(const core::WeiboData& data) { return heightForWeiboData(data, kFeedLines); }

protected:
    int textLines() const override { return kFeedLines; }
};

} // namespace circle
