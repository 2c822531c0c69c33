#pragma once

#include "platform/os/Value.h"

#include <memory>
#include <string>

namespace core {

// One account of the signed-in person, read from an element of the login
// reply's "items". A key counts only when its value has the expected kind.
struct AccountInfo final : platform::Object {
    int uid = 0;
    std::string name;
    int unReadCount = 0;
    std::string pageUrl;
    std::string thumbAvatar;
    std::string avatar;
    std::string schoolName;
    int schoolUid = 0;
    std::string stuSquence;
    int type = 0; // 1 teacher, 2 parent, 3 student
    std::string region;
    bool ctdEnable = false;
    std::string tokenInfo;

    // Null for anything but a dictionary.
    static std::shared_ptr<AccountInfo> accountWithObj(const platform::Value& obj);
    bool initWithObj(const platform::Value& obj);

    std::string className() const override { return "AccountInfo"; }
};

} // namespace core
