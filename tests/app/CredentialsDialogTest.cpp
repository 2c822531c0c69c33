// The engine's sign-in dialog on screen: the application shows it as an
// alert with a user and a password field; "Login" sends what was typed and
// the waiting request completes, "Cancel" fails it with the engine's
// authentication error.
#include "foundation/http/AlertAuthenticationPresenter.h"
#include "foundation/http/AuthenticationDialog.h"
#include "foundation/http/AutorotatingViewController.h"
#include "foundation/http/HTTPRequest.h"
#include "foundation/http/HTTPRequestError.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UITextField.h"
#include "tests/support/TestHttpServer.h"
#include "tests/support/app/SignedInScreen.h"

#include <gtest/gtest.h>

using foundation::AlertAuthenticationPresenter;
using foundation::AuthenticationDialog;
using foundation::AuthenticationErrorType;
using foundation::AutorotatingViewController;
using foundation::HTTPRequest;

using namespace testsupport;

namespace {

std::string basic(const std::string& user, const std::string& password)
{
    std::string pair = user + ":" + password;
    return "Basic " + HTTPRequest::base64forData(platform::Bytes(pair.begin(), pair.end()));
}

class CredentialsDialog : public SignedInScreenTest {
protected:
    void SetUp() override
    {
        SignedInScreenTest::SetUp();
        HTTPRequest::clearSession();
        ASSERT_TRUE(server.start());
        // A school's page behind Basic authentication, as a proxy or an intranet asks.
        server.onPrefix("/private/", [](const TestRequest& request, TestConnection& connection) {
            if (request.header("Authorization").value_or("") == basic("li.jianguo", "chalk&board")) {
                connection.respond(TestResponse::make(200, "welcome " + request.path));
                return;
            }
            connection.respond(TestResponse::make(401, "no", { { "WWW-Authenticate", "Basic realm=\"Staff room\"" } }));
        });
    }
    void TearDown() override
    {
        server.stop();
        HTTPRequest::clearSession();
        AuthenticationDialog::setPresenter(nullptr);
        SignedInScreenTest::TearDown();
    }
    std::shared_ptr<HTTPRequest> ask(const std::string& path, std::shared_ptr<int> ended)
    {
        auto request = HTTPRequest::requestWithURL(*platform::Url::parse(server.url(path)));
        request->setShouldPresentAuthenticationDialog(true);
        request->setUseSessionPersistence(false);
        request->setCompletionBlock([ended] { ++*ended; });
        request->setFailedBlock([ended] { ++*ended; });
        request->startAsynchronous();
        return request;
    }
    TestHttpServer server;
};

} // namespace

TEST_F(CredentialsDialog, LoginWithTheTypedPasswordCompletesTheRequest)
{
    signIn();
    auto ended = std::make_shared<int>(0);
    auto request = ask("/private/timetable", ended);
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    auto alert = harness().currentAlert();
    EXPECT_EQ(alert->title(), "127.0.0.1");
    EXPECT_EQ(alert->message(), "Login to this secure server.\nStaff room\nPassword will be sent in the clear.");
    ASSERT_EQ(alert->numberOfButtons(), 2);
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->cancelButtonIndex()), "Cancel");
    EXPECT_EQ(alert->buttonTitleAtIndex(alert->firstOtherButtonIndex()), "Login");
    auto user = alert->textFieldAtIndex(0);
    auto password = alert->textFieldAtIndex(1);
    ASSERT_NE(user, nullptr);
    ASSERT_NE(password, nullptr);
    EXPECT_EQ(user->placeholder(), "User");
    EXPECT_EQ(password->placeholder(), "Password");
    EXPECT_TRUE(password->isSecureTextEntry());
    EXPECT_TRUE(user->isFirstResponder());
    EXPECT_EQ(*ended, 0);

    ASSERT_TRUE(harness().type(user, "li.jianguo"));
    ASSERT_TRUE(harness().type(password, "chalk&board"));
    EXPECT_FALSE(harness().render("app-credentials-alert.png").empty());
    ASSERT_TRUE(harness().tapAlertButton("Login"));
    ASSERT_TRUE(harness().runUntil([&] { return *ended == 1; }));
    EXPECT_FALSE(request->error());
    EXPECT_EQ(request->responseStatusCode(), 200);
    EXPECT_EQ(request->responseString().value_or(""), "welcome /private/timetable");
    EXPECT_EQ(harness().currentAlert(), nullptr);
    EXPECT_FALSE(AuthenticationDialog::currentDialog());
    auto seen = server.requests();
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen.back().header("Authorization").value_or(""), basic("li.jianguo", "chalk&board"));
}

TEST_F(CredentialsDialog, CancelFailsTheRequestAndAWrongPasswordAsksAgain)
{
    signIn();
    auto ended = std::make_shared<int>(0);
    auto cancelled = ask("/private/grades", ended);
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    ASSERT_TRUE(harness().tapAlertButton("Cancel"));
    ASSERT_TRUE(harness().runUntil([&] { return *ended == 1; }));
    ASSERT_TRUE(cancelled->error());
    EXPECT_EQ(cancelled->error()->code(), AuthenticationErrorType);
    EXPECT_EQ(harness().currentAlert(), nullptr);

    // A wrong password: the server refuses it and the person is asked again.
    auto retried = ask("/private/grades", ended);
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr; }));
    auto first = harness().currentAlert();
    ASSERT_TRUE(harness().type(first->textFieldAtIndex(0), "li.jianguo"));
    ASSERT_TRUE(harness().type(first->textFieldAtIndex(1), "wrong"));
    ASSERT_TRUE(harness().tapAlertButton("Login"));
    ASSERT_TRUE(harness().runUntil([&] { return harness().currentAlert() != nullptr && harness().currentAlert() != first; }));
    auto second = harness().currentAlert();
    ASSERT_TRUE(harness().type(second->textFieldAtIndex(0), "li.jianguo"));
    ASSERT_TRUE(harness().type(second->textFieldAtIndex(1), "chalk&board"));
    ASSERT_TRUE(harness().tapAlertButton("Login"));
    ASSERT_TRUE(harness().runUntil([&] { return *ended == 2; }));
    EXPECT_FALSE(retried->error());
    EXPECT_EQ(retried->responseStatusCode(), 200);
}

TEST(CredentialsDialogParts, DomainIsTypedBeforeTheUserNameAndTheControllerTurnsEveryWay)
{
    EXPECT_EQ(AlertAuthenticationPresenter::splitDomain("SCHOOL\\li"), (std::pair<std::string, std::string> { "SCHOOL", "li" }));
    EXPECT_EQ(AlertAuthenticationPresenter::splitDomain("li"), (std::pair<std::string, std::string> { "", "li" }));
    EXPECT_EQ(AlertAuthenticationPresenter::splitDomain("A\\B\\c"), (std::pair<std::string, std::string> { "A", "B\\c" }));
    AutorotatingViewController controller;
    for (auto orientation : { UIInterfaceOrientationPortrait, UIInterfaceOrientationPortraitUpsideDown,
             UIInterfaceOrientationLandscapeLeft, UIInterfaceOrientationLandscapeRight })
        EXPECT_TRUE(controller.shouldAutorotateToInterfaceOrientation(orientation));
}
