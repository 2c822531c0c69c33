#pragma once

#include "tests/support/app/AppHarness.h"

#include <functional>
#include <memory>
#include <string>

class ORBAppDelegate;
class ORBViewController;
class LoginViewController;

// The real client in the application harness: its classes registered, its
// delegate launched against the in-process stand-in server on the manual
// clock, and the steps every screen test starts with.
namespace testsupport {

// The stand-in server's demo people.
inline constexpr const char* kDemoTeacher = "13800000001";
inline constexpr const char* kDemoTeacherPassword = "teacher123";
// A parent with two children: two accounts, so the account chooser.
inline constexpr const char* kDemoParentOfTwo = "13800000003";
inline constexpr const char* kDemoParentPassword = "parent123";

// Registers the client's classes and launches ORBAppDelegate in the harness.
bool startClient(AppHarness& harness, const platform::Dictionary& launchOptions = {});
// Runs the body once per screen size, the 4-inch screen first (tall) and
// then the 3.5-inch one, each in a fresh harness with the client started;
// a failure names the size.
void onBothScreens(const std::function<void(AppHarness& harness, bool tall)>& body);
std::shared_ptr<ORBAppDelegate> clientDelegate();
std::shared_ptr<ORBViewController> mainScreen();
// The login screen the person sees, or nullptr.
std::shared_ptr<LoginViewController> loginScreen(const AppHarness& harness);

// Lets the clock run past transitions and the main screen's first second
// (touches are off until then).
void settle(AppHarness& harness, double seconds = 1.1);
// Waits (in real time, for the server) until every picture the screens on
// show asked for has arrived (the loader forgets an address once it has
// completed), then lets the clock run past the transitions. False when one
// was still loading at the timeout.
bool waitForPictures(AppHarness& harness);
// The address book downloads when the tabs are built and ends with its
// notice over the window (under the warm prompt while that is up): waits (in
// real time, for the server) until it has ended and the clock past the
// notice, so that nothing the test does next is covered by it.
void letAddressBookEnd(AppHarness& harness);
// On a first start: closes the introduction with its button and waits for
// the login screen. True when the login screen is up afterwards.
bool passIntroduction(AppHarness& harness);
// From a fresh start to the signed-in main screen: the introduction, the
// login with these credentials, the account chooser's row when one shows,
// and the warm prompt closed (unticked). True when someone is signed in.
bool signInThroughScreens(
    AppHarness& harness, const std::string& account, const std::string& password, long chooserRow = 0);

} // namespace testsupport
