#include "foundation/http/AuthenticationDialog.h"

#include "foundation/http/HTTPRequest.h"
#include "platform/net/HttpAuthentication.h"
#include "platform/os/RunLoop.h"
#include "platform/os/StringUtil.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <thread>
#include <unistd.h>

namespace foundation {

namespace {

// Main thread only, like the dialog itself.
struct DialogState {
    std::shared_ptr<AuthenticationDialog> current;
    std::vector<std::shared_ptr<HTTPRequest>> waiting;
    std::shared_ptr<AuthenticationDialogPresenter> presenter = std::make_shared<ConsoleAuthenticationPresenter>();
};

DialogState& dialogs()
{
    static DialogState* state = new DialogState;
    return *state;
}

bool isScheme(const std::optional<std::string>& scheme, const char* name)
{
    return scheme && platform::equalsIgnoringAsciiCase(*scheme, name);
}

} // namespace

// MARK: - Presenters

void ConsoleAuthenticationPresenter::present(const std::shared_ptr<AuthenticationDialog>& dialog)
{
    if (!::isatty(STDIN_FILENO)) {
        platform::postToMain([dialog] { dialog->cancelAuthenticationFromDialog(); });
        return;
    }
    std::string heading = dialog->title() + " - " + dialog->prompt().value_or("");
    if (auto realm = dialog->realmHeader())
        heading += " (" + *realm + ")";
    bool domain = dialog->showsDomainField();
    std::string footer = dialog->footer();
    // The terminal is read off the main thread; the answer goes back to it.
    std::thread([dialog, heading, domain, footer] {
        std::fprintf(stderr, "%s\n%s\n", heading.c_str(), footer.c_str());
        std::string user, password, domainText;
        std::fprintf(stderr, "%s: ", AuthenticationDialog::kUserPlaceholder);
        bool ok = static_cast<bool>(std::getline(std::cin, user));
        std::fprintf(stderr, "%s: ", AuthenticationDialog::kPasswordPlaceholder);
        ok = ok && std::getline(std::cin, password);
        if (ok && domain) {
            std::fprintf(stderr, "%s: ", AuthenticationDialog::kDomainPlaceholder);
            ok = static_cast<bool>(std::getline(std::cin, domainText));
        }
        platform::postToMain([dialog, ok, user, password, domainText] {
            if (ok)
                dialog->loginWithCredentialsFromDialog(user, password, domainText);
            else
                dialog->cancelAuthenticationFromDialog();
        });
    }).detach();
}

void ScriptedAuthenticationPresenter::addAnswer(Answer answer) { answers_.push_back(std::move(answer)); }

void ScriptedAuthenticationPresenter::present(const std::shared_ptr<AuthenticationDialog>& dialog)
{
    Shown shown;
    shown.type = dialog->type();
    shown.title = dialog->title();
    shown.prompt = dialog->prompt();
    shown.realmHeader = dialog->realmHeader();
    shown.footer = dialog->footer();
    shown.domainField = dialog->showsDomainField();
    shown_->push_back(shown);
    std::size_t index = shown_->size() - 1;
    Answer answer;
    answer.login = false;
    if (!answers_.empty()) {
        answer = answers_.front();
        answers_.pop_front();
    }
    platform::postToMain([dialog, answer, record = shown_, index] {
        (*record)[index].matchingRequests = dialog->requestsRequiringTheseCredentials().size();
        if (answer.login)
            dialog->loginWithCredentialsFromDialog(answer.user, answer.password, answer.domain);
        else
            dialog->cancelAuthenticationFromDialog();
    });
}

// MARK: - The dialog

AuthenticationDialog::AuthenticationDialog(std::shared_ptr<HTTPRequest> request, int type)
    : request_(std::move(request))
    , type_(type)
{
}

void AuthenticationDialog::setPresenter(std::shared_ptr<AuthenticationDialogPresenter> presenter)
{
    dialogs().presenter = presenter ? std::move(presenter) : std::make_shared<ConsoleAuthenticationPresenter>();
}

std::shared_ptr<AuthenticationDialog> AuthenticationDialog::currentDialog() { return dialogs().current; }
std::size_t AuthenticationDialog::waitingRequestCount() { return dialogs().waiting.size(); }

void AuthenticationDialog::presentAuthenticationDialogForRequest(const std::shared_ptr<HTTPRequest>& request)
{
    auto& state = dialogs();
    if (state.current) {
        // Asked twice for the same request (or already on screen): one dialog is enough.
        if (state.current->request_ == request
            || std::find(state.waiting.begin(), state.waiting.end(), request) != state.waiting.end())
            return;
        state.waiting.push_back(request);
        return;
    }
    int type = request->authenticationNeeded() == 2 ? ProxyCredentials : ServerCredentials;
    state.current = std::shared_ptr<AuthenticationDialog>(new AuthenticationDialog(request, type));
    state.current->show();
}

void AuthenticationDialog::show()
{
    auto presenter = dialogs().presenter;
    presenter->present(shared_from_this());
}

std::string AuthenticationDialog::title() const
{
    if (type_ == ProxyCredentials)
        return request_->proxyHost().value_or("");
    return request_->url().host();
}

std::optional<std::string> AuthenticationDialog::prompt(bool landscape) const
{
    if (landscape)
        return std::nullopt;
    return type_ == ProxyCredentials ? "Login to this secure proxy server." : "Login to this secure server.";
}

std::optional<std::string> AuthenticationDialog::realmHeader() const
{
    // The section header shows the realm of the server's challenge.
    return request_->authenticationRealm();
}

bool AuthenticationDialog::showsDomainField() const
{
    auto scheme = type_ == ProxyCredentials ? request_->proxyAuthenticationScheme() : request_->authenticationScheme();
    return isScheme(scheme, platform::kHTTPAuthenticationSchemeNTLM);
}

std::string AuthenticationDialog::footer() const
{
    auto scheme = type_ == ProxyCredentials ? request_->proxyAuthenticationScheme() : request_->authenticationScheme();
    if (isScheme(scheme, platform::kHTTPAuthenticationSchemeBasic)
        && platform::asciiToLower(request_->url().scheme()) != "https")
        return "Password will be sent in the clear.";
    return "Password will be sent securely.";
}

std::vector<std::shared_ptr<HTTPRequest>> AuthenticationDialog::requestsRequiringTheseCredentials() const
{
    std::vector<std::shared_ptr<HTTPRequest>> matching { request_ };
    int kind = type_ == ProxyCredentials ? 2 : 1;
    for (auto& other : dialogs().waiting) {
        if (other == request_ || other->authenticationNeeded() != kind)
            continue;
        if (type_ == ProxyCredentials) {
            // Requests through one proxy share its credentials, whatever server they go to.
            if (other->proxyHost() != request_->proxyHost() || other->proxyPort() != request_->proxyPort()
                || other->proxyAuthenticationRealm() != request_->proxyAuthenticationRealm())
                continue;
        } else {
            platform::Url a = request_->url(), b = other->url();
            if (!platform::equalsIgnoringAsciiCase(a.host(), b.host()) || a.port() != b.port()
                || !platform::equalsIgnoringAsciiCase(a.scheme(), b.scheme())
                || other->authenticationRealm() != request_->authenticationRealm())
                continue;
        }
        matching.push_back(other);
    }
    return matching;
}

void AuthenticationDialog::loginWithCredentialsFromDialog(
    const std::string& user, const std::string& password, const std::string& domain)
{
    if (dismissed_)
        return;
    bool ntlm = showsDomainField();
    for (auto& request : requestsRequiringTheseCredentials()) {
        if (type_ == ProxyCredentials) {
            request->setProxyUsername(user);
            request->setProxyPassword(password);
            if (ntlm)
                request->setProxyDomain(domain);
        } else {
            request->setUsername(user);
            request->setPassword(password);
            if (ntlm)
                request->setDomain(domain);
        }
        request->retryUsingSuppliedCredentials();
        std::erase(dialogs().waiting, request);
    }
    dismiss();
}

void AuthenticationDialog::cancelAuthenticationFromDialog()
{
    if (dismissed_)
        return;
    for (auto& request : requestsRequiringTheseCredentials()) {
        request->cancelAuthentication();
        std::erase(dialogs().waiting, request);
    }
    dismiss();
}

void AuthenticationDialog::dismissCurrent()
{
    if (auto current = dialogs().current)
        current->dismiss();
}

void AuthenticationDialog::dismiss()
{
    if (dismissed_)
        return;
    dismissed_ = true;
    auto& state = dialogs();
    state.presenter->dismiss(shared_from_this());
    if (state.current.get() == this) {
        state.current.reset();
        platform::postToMain([] { presentNextDialog(); });
    }
}

void AuthenticationDialog::presentNextDialog()
{
    auto& state = dialogs();
    if (state.current || state.waiting.empty())
        return;
    auto next = state.waiting.front();
    state.waiting.erase(state.waiting.begin());
    presentAuthenticationDialogForRequest(next);
}

} // namespace foundation
