#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One comment on a class-circle post.
struct WeiboReplyData final : platform::Object {
    long long weiboId = 0;
    long long senderId = 0;
    int senderType = 0;
    std::string senderName;
    std::string content; // the row's "comment"
    std::string orgUserPic;
    std::string thumbAvatar;
    std::string dataTime;

    // Null for anything but a dictionary.
    static std::shared_ptr<WeiboReplyData> initWithDictionary(const platform::Value& dictionary);

    std::string className() const override { return "WeiboReplyData"; }
};

} // namespace core
