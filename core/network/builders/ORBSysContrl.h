#pragma once

#include "core/network/builders/ORBBuilderFrame.h"

namespace core {

// Account commands ("combine/sys"). Password fields never reach the console:
// the bodies printed here are masked.
class ORBSysContrl final {
public:
    ORBSysContrl() = delete;

    // "10001": no account keys; "pushToken" only once push registration has
    // delivered one.
    static ORBBuilderRequest loginWithAccount(const std::string& account, const std::string& pwd,
        const ORBDelegate& delegate, const foundation::RequestSelector& successSel,
        const foundation::RequestSelector& failSel);
    static ORBBuilderRequest logoutWithDelegate(const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    static ORBBuilderRequest findPwd(const std::string& account, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    static ORBBuilderRequest resetPwd(const std::string& account, const std::string& pwd, const std::string& verCode,
        const ORBDelegate& delegate, const foundation::RequestSelector& successSel,
        const foundation::RequestSelector& failSel);
    static ORBBuilderRequest getTimePwd(const std::string& account, const ORBDelegate& delegate,
        const foundation::RequestSelector& successSel, const foundation::RequestSelector& failSel);
    // "account" is the remembered login name (user defaults "account"), not
    // a value of the session.
    static ORBBuilderRequest changePwd(const std::string& oldPwd, const std::string& newPwd,
        const ORBDelegate& delegate, const foundation::RequestSelector& successSel,
        const foundation::RequestSelector& failSel);
    // "file" is the photo address, or "" when none is given.
    static ORBBuilderRequest submitUserName(const std::string& userName, const std::string& userPhoto,
        const ORBDelegate& delegate, const foundation::RequestSelector& successSel,
        const foundation::RequestSelector& failSel);
};

} // namespace core
