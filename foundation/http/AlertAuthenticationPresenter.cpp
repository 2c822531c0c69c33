#include "foundation/http/AlertAuthenticationPresenter.h"

#include "foundation/http/AutorotatingViewController.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UIWindow.h"

namespace foundation {

namespace {

// Hears the alert's buttons and answers the dialog; holds it weakly, so an
// alert left behind answers nothing.
class DialogAnswer final : public UIAlertViewDelegate {
public:
    explicit DialogAnswer(std::weak_ptr<AuthenticationDialog> dialog)
        : dialog_(std::move(dialog))
    {
    }
    void alertViewClickedButton(UIAlertView* alert, long buttonIndex) override
    {
        auto dialog = dialog_.lock();
        if (!dialog || !alert)
            return;
        if (buttonIndex == alert->cancelButtonIndex()) {
            dialog->cancelAuthenticationFromDialog();
            return;
        }
        auto userField = alert->textFieldAtIndex(0);
        auto passwordField = alert->textFieldAtIndex(1);
        std::string user = userField ? userField->text() : std::string();
        std::string password = passwordField ? passwordField->text() : std::string();
        std::string domain;
        if (dialog->showsDomainField())
            std::tie(domain, user) = AlertAuthenticationPresenter::splitDomain(user);
        dialog->loginWithCredentialsFromDialog(user, password, domain);
    }

private:
    std::weak_ptr<AuthenticationDialog> dialog_;
};

bool isLandscape()
{
    long orientation = UIApplication::sharedApplication().statusBarOrientation();
    return orientation == UIInterfaceOrientationLandscapeLeft || orientation == UIInterfaceOrientationLandscapeRight;
}

} // namespace

std::string AlertAuthenticationPresenter::messageFor(const AuthenticationDialog& dialog, bool landscape)
{
    std::string message;
    auto add = [&message](const std::string& line) {
        if (line.empty())
            return;
        if (!message.empty())
            message += "\n";
        message += line;
    };
    add(dialog.prompt(landscape).value_or(""));
    add(dialog.realmHeader().value_or(""));
    add(dialog.footer());
    return message;
}

std::pair<std::string, std::string> AlertAuthenticationPresenter::splitDomain(const std::string& typed)
{
    auto slash = typed.find('\\');
    if (slash == std::string::npos)
        return { std::string(), typed };
    return { typed.substr(0, slash), typed.substr(slash + 1) };
}

void AlertAuthenticationPresenter::present(const std::shared_ptr<AuthenticationDialog>& dialog)
{
    Shown shown;
    // The invisible controller the dialog belongs to, on the application's first window.
    shown.presenting = std::make_shared<AutorotatingViewController>();
    auto windows = UIApplication::sharedApplication().windows();
    if (!windows.empty()) {
        auto view = shown.presenting->view();
        view->setFrame(platform::Rect(0, 0, 0, 0));
        view->setUserInteractionEnabled(false);
        windows.front()->addSubview(view);
    }
    shown.answer = std::make_shared<DialogAnswer>(dialog);
    shown.alert = std::make_shared<UIAlertView>(dialog->title(), messageFor(*dialog, isLandscape()),
        std::weak_ptr<UIAlertViewDelegate>(shown.answer), std::string(kCancelButtonTitle),
        std::vector<std::string> { AuthenticationDialog::kLoginButtonTitle });
    shown.alert->setAlertViewStyle(UIAlertViewStyleLoginAndPasswordInput);
    auto userField = shown.alert->textFieldAtIndex(0);
    auto passwordField = shown.alert->textFieldAtIndex(1);
    if (userField)
        userField->setPlaceholder(dialog->showsDomainField() ? std::string(AuthenticationDialog::kDomainPlaceholder)
                    + "\\" + AuthenticationDialog::kUserPlaceholder
                                                             : std::string(AuthenticationDialog::kUserPlaceholder));
    if (passwordField) {
        passwordField->setPlaceholder(AuthenticationDialog::kPasswordPlaceholder);
        passwordField->setSecureTextEntry(true);
    }
    auto alert = shown.alert;
    shown_[dialog.get()] = std::move(shown);
    alert->show();
    if (userField)
        userField->becomeFirstResponder();
}

void AlertAuthenticationPresenter::dismiss(const std::shared_ptr<AuthenticationDialog>& dialog)
{
    auto found = shown_.find(dialog.get());
    if (found == shown_.end())
        return;
    Shown shown = std::move(found->second);
    shown_.erase(found);
    // Dismissed from the engine's side (or after a button): nothing more to answer.
    shown.alert->setDelegate({});
    if (shown.alert->isVisible())
        shown.alert->dismissWithClickedButtonIndex(shown.alert->cancelButtonIndex(), true);
    if (shown.presenting->isViewLoaded())
        shown.presenting->view()->removeFromSuperview();
}

std::shared_ptr<UIAlertView> AlertAuthenticationPresenter::alertFor(const AuthenticationDialog& dialog) const
{
    auto found = shown_.find(&dialog);
    return found == shown_.end() ? nullptr : found->second.alert;
}

} // namespace foundation
