// A sign-in over the stored address book at the ceiling (481,000 people in
// 480 classes): the contacts screen is made with the tabs at sign-in and
// takes the stored book up on the main loop, a group at a time. Headless in
// the application harness, against the in-process stand-in server; the
// figure is the main loop's longest turn from the tap on the login button to
// the main screen with the book taken up (the most and the least of the
// runs), beside the groups and people the
// screen holds (the whole book) and the machine's load.
#include "app/main/ORBViewController.h"
#include "bench/support/FailOnError.h"
#include "bench/replies/CeilingBook.h"
#include "bench/support/BenchFolders.h"
#include "bench/support/ClientServer.h"
#include "bench/support/ProcessFigures.h"
#include "contacts/book/AddressBookImport.h"
#include "contacts/book/ContactsViewController.h"
#include "core/session/ORBEndpoints.h"
#include "core/store/ContactsFactory.h"
#include "platform/os/AppPaths.h"
#include "platform/uikit/UINavigationController.h"
#include "tests/support/LoopFigures.h"
#include "tests/support/app/ClientApp.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>

namespace {

constexpr int kTeacherUid = 2001;

std::shared_ptr<ContactsViewController> contactsScreen()
{
    auto main = testsupport::mainScreen();
    if (!main || main->viewControllers().size() <= std::size_t(ORBViewController::kContactsTab))
        return nullptr;
    const auto& stack = main->viewControllers()[ORBViewController::kContactsTab]->viewControllers();
    return stack.empty() ? nullptr : std::dynamic_pointer_cast<ContactsViewController>(stack.front());
}

// The demo teacher's home after one sign-in (the book downloaded, its time
// kept, the prompt seen), signed out, with the ceiling book stored in place
// of the demo one and recorded as the stored book.
bool prepareHome(const std::string& home)
{
    {
        testsupport::AppHarnessOptions options;
        options.home = home;
        testsupport::AppHarness harness(options);
        if (!testsupport::startClient(harness) || !testsupport::passIntroduction(harness)
            || !harness.signIn(testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword))
            return false;
        testsupport::settle(harness);
        testsupport::letAddressBookEnd(harness);
    }
    platform::AppPaths::setHome(home);
    const auto book = contacts::importAddressBook(benchsupport::bookAtTheCeiling(), nullptr);
    if (!book || !core::ContactsFactory::storeAddressBook(kTeacherUid, book->groups, book->contacts))
        return false;
    core::ContactsFactory::dropReplacedBook();
    // The store's record of the book, as the contacts screen writes it once
    // it has stored one: without it the screen takes the stored book for one
    // left incomplete and fetches the demo's again.
    core::ContactsFactory store;
    ContactsViewController::recordStoredBook(store, kTeacherUid, *book);
    return true;
}

void SignInOverTheStoredCeilingBook(benchmark::State& state)
{
    const std::string scratch = benchsupport::benchFolder("orb-bench-book-sign-in");
    static const bool prepared = prepareHome(scratch + "/prepared");
    if (!prepared) {
        state.SkipWithError("the home with the stored book could not be made");
        return;
    }
    // The longest turn of each sign-in: the most and the least of them.
    double longest = 0;
    double shortest = 1e9;
    std::size_t groups = 0;
    std::size_t people = 0;
    std::size_t downloads = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string home = scratch + "/home";
        if (!benchsupport::freshCopyOfHome(scratch + "/prepared", home)) {
            state.SkipWithError("the prepared home could not be copied");
            break;
        }
        testsupport::AppHarnessOptions options;
        options.home = home;
        auto harness = std::make_unique<testsupport::AppHarness>(options);
        if (!testsupport::startClient(*harness)
            || (!testsupport::loginScreen(*harness) && !testsupport::passIntroduction(*harness))) {
            state.SkipWithError("the client did not come to the login screen");
            break;
        }
        state.ResumeTiming();
        testsupport::MainLoopGapMeter gaps;
        const bool signedIn = harness->signIn(testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword, 600)
            && harness->runUntil([] { return contactsScreen() != nullptr; }, 600);
        testsupport::settle(*harness);
        longest = std::max(longest, gaps.longestGapSeconds());
        shortest = std::min(shortest, gaps.longestGapSeconds());
        state.PauseTiming();
        if (!signedIn) {
            state.SkipWithError("the demo teacher could not sign in");
            break;
        }
        auto screen = contactsScreen();
        groups = screen->listGroup().size();
        people = 0;
        for (const auto& group : screen->listGroup())
            people += std::size_t(group->totalCount);
        downloads = harness->answeredCount(core::ORBEndpoints::Cmd::kAddressBook);
        screen.reset();
        harness.reset();
        // A download would put the demo's book in place of the stored one:
        // the figure would be of another book.
        if (downloads != 0) {
            state.SkipWithError("the address book was downloaded: the sign-in did not take up the stored book");
            break;
        }
        state.ResumeTiming();
    }
    state.counters["longest turn ms"] = longest * 1000;
    state.counters["least longest turn ms"] = shortest * 1000;
    state.counters["groups"] = double(groups);
    state.counters["people"] = double(people);
    // The stored book is taken up as it is: none.
    state.counters["downloads"] = double(downloads);
    state.counters["load"] = benchsupport::loadAverage();
}
BENCHMARK(SignInOverTheStoredCeilingBook)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN_FAILING_ON_ERROR()
