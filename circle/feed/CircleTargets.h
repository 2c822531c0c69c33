#pragma once

#include "core/model/WeiboData.h"

#include <memory>

namespace circle {

// Screens the circle opens by class name and hands a post to: the comment
// writer takes the post's id, the detail screen the post itself (shared
// with the feed, so counts changed by either are seen by both).
class WeiboIdTarget {
public:
    virtual ~WeiboIdTarget() = default;
    virtual void setWeiboId(long long weiboId) = 0;
};

class WeiboDataTarget {
public:
    virtual ~WeiboDataTarget() = default;
    virtual void setWeiboData(std::shared_ptr<core::WeiboData> data) = 0;
};

// The names of the circle's notifications and their user-info keys.
inline constexpr const char* kSendWeiboSuccess = "kSendWeiboSuccess";
inline constexpr const char* kSendWeiboCommentSuccess = "kSendWeiboCommentSuccess";
inline constexpr const char* kPraiseWeiboSuccess = "kPraiseWeiboSuccess";
inline constexpr const char* kDeleteWeiboSuccess = "kDeleteWeiboSuccess";

} // namespace circle
