#include "tests/support/app/ClientApp.h"

#include "app/AppClasses.h"
#include "app/account/ProfileClasses.h"
#include "app/about/IntrodutionViewController.h"
#include "app/login/AccountsViewController.h"
#include "app/login/LoginViewController.h"
#include "app/main/ORBViewController.h"
#include "app/startup/ORBAppDelegate.h"
#include "content/ContentClasses.h"
#include "core/session/MyAccountInfo.h"
#include "contacts/ContactsClasses.h"
#include "contacts/book/AddressBookImport.h"
#include "contacts/book/ContactsViewController.h"
#include "messaging/MessagingClasses.h"
#include "messaging/box/MessagePolls.h"
#include "messaging/send/UnsavedMessages.h"
#include "messaging/send/UnsentMessages.h"
#include "circle/CircleClasses.h"
#include "platform/os/Log.h"
#include "teaching/TeachingClasses.h"
#include "platform/uikit/UIApplication.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "tests/support/uikit/UIKitDriver.h"
#include "platform/uikit/UIWindow.h"
#include "ui/images/RemoteImageView.h"
#include "ui/overlay/ProgressOverlay.h"

#include <gtest/gtest.h>

namespace testsupport {

bool startClient(AppHarness& harness, const platform::Dictionary& launchOptions)
{
    app::registerAppClasses();
    messaging::registerMessagingClasses();
    content::registerContentClasses();
    app::registerProfileClasses();
    contacts::registerContactsClasses();
    teaching::registerTeachingClasses();
    circle::registerCircleClasses();
    // A start of the client is a new run: nothing kept by an earlier one in
    // this process carries over.
    UnsentMessages::shared().resetForTesting();
    UnsavedMessages::shared().resetForTesting();
    MessagePolls::shared()->resetForTesting();
    return harness.start(std::make_shared<ORBAppDelegate>(), launchOptions);
}

void onBothScreens(const std::function<void(AppHarness& harness, bool tall)>& body)
{
    for (auto kind : { UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch }) {
        const bool tall = kind == UIScreen::Kind::FourInch;
        SCOPED_TRACE(tall ? "4-inch" : "3.5-inch");
        AppHarnessOptions options;
        options.screen = kind;
        AppHarness harness(options);
        if (!startClient(harness)) {
            ADD_FAILURE() << "the client did not start";
            continue;
        }
        body(harness, tall);
    }
}

std::shared_ptr<ORBAppDelegate> clientDelegate()
{
    return std::dynamic_pointer_cast<ORBAppDelegate>(UIApplication::sharedApplication().delegate());
}

std::shared_ptr<ORBViewController> mainScreen()
{
    auto delegate = clientDelegate();
    return delegate ? delegate->viewController() : nullptr;
}

std::shared_ptr<LoginViewController> loginScreen(const AppHarness& harness)
{
    return std::dynamic_pointer_cast<LoginViewController>(harness.topScreen());
}

void settle(AppHarness& harness, double seconds) { harness.advance(seconds); }

bool waitForPictures(AppHarness& harness)
{
    bool arrived = harness.runUntil([&] {
        for (const auto& view : harness.viewsByClass("UIImageView")) {
            auto image = std::dynamic_pointer_cast<UIImageView>(view);
            if (image && imageURL(*image))
                return false;
        }
        return true;
    });
    settle(harness);
    return arrived;
}

void letAddressBookEnd(AppHarness& harness)
{
    // The book's screen is the root of its tab, made with the tabs; when the
    // account's book is not stored yet it starts its download there and then.
    auto main = mainScreen();
    if (main && std::size_t(ORBViewController::kContactsTab) < main->viewControllers().size()) {
        const auto& stack = main->viewControllers()[ORBViewController::kContactsTab]->viewControllers();
        if (auto book = stack.empty() ? nullptr : std::dynamic_pointer_cast<ContactsViewController>(stack.front())) {
            // Until a download has ended one way or the other: the book may
            // start its download a turn after this is first asked, and it
            // reads the reply off the main loop before it says so.
            harness.runUntil([&] {
                if (book->isRefresh() || book->isReadingReply())
                    return false;
                auto account = core::MyAccountInfo::currentAccount();
                return !account || contacts::AddressBookRecord(int(account->uid)).hasLoad()
                    || harness.notifications().count(ContactsViewController::kFailedRefreshContacts) > 0;
            });
        }
    }
    // The notice is on the window, or under the warm prompt on the main
    // screen's view while the prompt is up.
    bool notice = ProgressOverlay::HUDForView(harness.window()) != nullptr;
    if (main && main->isViewLoaded())
        for (const auto& overlay : ProgressOverlay::allHUDsForView(main->view()))
            notice = notice || overlay->mode() != ProgressOverlayModeCustomView;
    if (notice)
        settle(harness, 2.0);
}

bool passIntroduction(AppHarness& harness)
{
    settle(harness);
    if (auto intro = std::dynamic_pointer_cast<IntrodutionViewController>(harness.presentedScreen())) {
        // The button is on the last page: page there first, as a person would.
        auto pages = std::dynamic_pointer_cast<UIScrollView>(testsupport::findViewByOutlet(intro->view(), "scrollView"));
        if (!pages)
            return false;
        pages->setContentOffset(platform::Point(intro->maxX(), 0));
        harness.loop().runUntilIdle();
        if (!harness.tapButton("立即体验")) {
            platform::log("passIntroduction: no button; offset %g maxX %g\n", pages->contentOffset().x, intro->maxX());
            return false;
        }
        settle(harness);
    }
    return loginScreen(harness) != nullptr;
}

bool signInThroughScreens(AppHarness& harness, const std::string& account, const std::string& password, long chooserRow)
{
    if (!loginScreen(harness) && !passIntroduction(harness))
        return false;
    if (!harness.signIn(account, password))
        return false;
    settle(harness);
    if (auto chooser = std::dynamic_pointer_cast<AccountsViewController>(harness.topScreen())) {
        if (!harness.selectRow(std::dynamic_pointer_cast<UITableView>(findViewByOutlet(chooser->view(), "tableView")), 0, chooserRow))
            return false;
        settle(harness);
    }
    if (!core::MyAccountInfo::currentAccount())
        return false;
    // The warm prompt greets every sign-in until it is ticked away.
    auto main = mainScreen();
    letAddressBookEnd(harness);
    if (main && ProgressOverlay::HUDForView(main->view()))
        harness.tapButton("我知道了");
    settle(harness);
    return true;
}

} // namespace testsupport
