#pragma once

#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace foundation {

class HTTPRequest;
class AuthenticationDialog;

// Shows a dialog to the user and, later and on the main thread, answers it
// with loginWithCredentialsFromDialog or cancelAuthenticationFromDialog.
class AuthenticationDialogPresenter {
public:
    virtual ~AuthenticationDialogPresenter() = default;
    virtual void present(const std::shared_ptr<AuthenticationDialog>& dialog) = 0;
    virtual void dismiss(const std::shared_ptr<AuthenticationDialog>&) { }
};

// Asks on the terminal (standard error and input). Without a terminal it
// cancels at once rather than leave the requests waiting; it never fills in
// credentials by itself.
class ConsoleAuthenticationPresenter final : public AuthenticationDialogPresenter {
public:
    void present(const std::shared_ptr<AuthenticationDialog>& dialog) override;
};

// Answers from a script, one answer per dialog shown, on the next turn of the
// main loop; records what each dialog showed. For tests and demonstrations.
class ScriptedAuthenticationPresenter final : public AuthenticationDialogPresenter {
public:
    struct Answer {
        bool login = true;
        std::string user;
        std::string password;
        std::string domain;
    };
    struct Shown {
        int type = 0;
        std::string title;
        std::optional<std::string> prompt;
        std::optional<std::string> realmHeader;
        std::string footer;
        bool domainField = false;
        // How many requests the answer went to.
        std::size_t matchingRequests = 0;
    };

    void addAnswer(Answer answer);
    std::vector<Shown> shown() const { return *shown_; }
    void present(const std::shared_ptr<AuthenticationDialog>& dialog) override;

private:
    std::deque<Answer> answers_;
    std::shared_ptr<std::vector<Shown>> shown_ = std::make_shared<std::vector<Shown>>();
};

// The engine's sign-in dialog: asked for by a request that needs server
// (type 0) or proxy (type 1) credentials when nothing else supplies them.
// One dialog at a time: requests that ask while one is shown wait, and the
// answer given goes to every request that needs the same credentials. Shown
// through a presenter (see above); main thread only.
class AuthenticationDialog final : public std::enable_shared_from_this<AuthenticationDialog> {
public:
    enum Type { ServerCredentials = 0, ProxyCredentials = 1 };

    static void presentAuthenticationDialogForRequest(const std::shared_ptr<HTTPRequest>& request);
    // Dismisses the dialog on screen, if any.
    static void dismissCurrent();
    static std::shared_ptr<AuthenticationDialog> currentDialog();
    static std::size_t waitingRequestCount();
    // The presenter dialogs are shown with; a console presenter by default.
    static void setPresenter(std::shared_ptr<AuthenticationDialogPresenter> presenter);

    std::shared_ptr<HTTPRequest> request() const { return request_; }
    int type() const { return type_; }

    // What the dialog shows.
    std::string title() const;
    std::optional<std::string> prompt(bool landscape = false) const;
    std::optional<std::string> realmHeader() const;
    bool showsDomainField() const;
    std::string footer() const;
    static constexpr const char* kUserPlaceholder = "User";
    static constexpr const char* kPasswordPlaceholder = "Password";
    static constexpr const char* kDomainPlaceholder = "Domain";
    static constexpr const char* kLoginButtonTitle = "Login";

    // The dialog's request and every waiting request that needs the same credentials.
    std::vector<std::shared_ptr<HTTPRequest>> requestsRequiringTheseCredentials() const;
    void loginWithCredentialsFromDialog(
        const std::string& user, const std::string& password, const std::string& domain);
    void cancelAuthenticationFromDialog();
    void dismiss();

    // The plain view controller under the dialog: it turns with the device.
    static bool shouldAutorotateToInterfaceOrientation(int) { return true; }

private:
    AuthenticationDialog(std::shared_ptr<HTTPRequest> request, int type);
    void show();
    static void presentNextDialog();

    std::shared_ptr<HTTPRequest> request_;
    int type_;
    bool dismissed_ = false;
};

} // namespace foundation
