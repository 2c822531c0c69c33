#pragma once

#include "core/session/AccountInfo.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace core {

// The process-wide record of one sign-in: session id, the accounts it gave
// and the account in use. Kept in memory only; main thread only.
class MyAccountInfo final : public platform::Object {
public:
    static std::shared_ptr<MyAccountInfo> instance();
    static void setInstance(std::shared_ptr<MyAccountInfo> info);
    // The push device token as hexadecimal digits; survives sign-out.
    static std::optional<std::string> deviceToken();
    static void setDeviceToken(std::optional<std::string> token);

    // Null for anything but a dictionary.
    static std::shared_ptr<MyAccountInfo> myAccountWithObj(const platform::Value& obj);
    bool initWithObj(const platform::Value& obj);

    const std::optional<std::string>& sessionUid() const { return sessionUid_; }
    void setSessionUid(std::optional<std::string> s) { sessionUid_ = std::move(s); }
    // Absent when the reply had no "items" list.
    const std::optional<std::vector<std::shared_ptr<AccountInfo>>>& accounts() const { return accounts_; }
    void setAccounts(std::optional<std::vector<std::shared_ptr<AccountInfo>>> a) { accounts_ = std::move(a); }
    const std::shared_ptr<AccountInfo>& current() const { return current_; }
    void setCurrent(std::shared_ptr<AccountInfo> a) { current_ = std::move(a); }

    // The current account of the installed session, or null.
    static std::shared_ptr<AccountInfo> currentAccount();

    std::string className() const override { return "MyAccountInfo"; }

private:
    std::optional<std::string> sessionUid_;
    std::optional<std::vector<std::shared_ptr<AccountInfo>>> accounts_;
    std::shared_ptr<AccountInfo> current_;
};

// The script the local HTML tool pages receive in place of "<ios_initUserInfo/>".
struct ORBHtml5Helper {
    static std::string getUserInfo();
};

} // namespace core
