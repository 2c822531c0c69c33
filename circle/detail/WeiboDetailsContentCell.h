#pragma once

#include "circle/feed/WeiboContentCell.h"

namespace circle {

// The post at the top of its detail screen: the feed row's layout with the
// whole text.
class WeiboDetailsContentCell final : public WeiboContentCell {
public:
    ORB_CLASS_NAME(WeiboDetailsContentCell)

    static double heifhtForWeiboData(const core::WeiboData& data) { return heightForWeiboData(data, kAllLines); }

protected:
    int textLines() const override { return kAllLines; }
};

} // namespace circle
