#pragma once

#include "foundation/http/AuthenticationDialog.h"

#include <map>
#include <memory>

class UIAlertView;
class UIAlertViewDelegate;

namespace foundation {

class AutorotatingViewController;

// Shows the engine's sign-in dialog on screen, as an alert with a user and a
// password field, "Cancel" and "Login". The alert's title is the server (or
// proxy) host; its message the prompt, the realm and whether the password
// travels in the clear. Under NTLM the domain is typed before the user name,
// "DOMAIN\user". The application chooses it at start; the console and
// scripted presenters stay for tools and tests. Main thread only.
class AlertAuthenticationPresenter final : public AuthenticationDialogPresenter,
                                           public std::enable_shared_from_this<AlertAuthenticationPresenter> {
public:
    static constexpr const char* kCancelButtonTitle = "Cancel";

    void present(const std::shared_ptr<AuthenticationDialog>& dialog) override;
    void dismiss(const std::shared_ptr<AuthenticationDialog>& dialog) override;

    // The alert of the dialog on screen, or nullptr.
    std::shared_ptr<UIAlertView> alertFor(const AuthenticationDialog& dialog) const;

    // The message the alert shows for the dialog.
    static std::string messageFor(const AuthenticationDialog& dialog, bool landscape);
    // "DOMAIN\user" split into domain and user; without a backslash, no domain.
    static std::pair<std::string, std::string> splitDomain(const std::string& typed);

private:
    struct Shown {
        std::shared_ptr<UIAlertView> alert;
        std::shared_ptr<UIAlertViewDelegate> answer;
        std::shared_ptr<AutorotatingViewController> presenting;
    };
    std::map<const AuthenticationDialog*, Shown> shown_;
};

} // namespace foundation
