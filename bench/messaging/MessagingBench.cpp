// What a signed-in teacher waits for when the messages are many: opening the
// message box over 10,000 stored messages in 500 conversations, and opening
// one chat of 1,000 messages, each from creating the screen to its first
// drawn frame. Headless, against the in-process stand-in server, on the
// harness's manual clock. The resident memory of the whole process (client,
// harness and server) after each is reported as a counter.
#include "app/main/ORBViewController.h"
#include "core/model/ContactInfo.h"
#include "core/model/MessageInfo.h"
#include "core/store/MessageFactory.h"
#include "messaging/MessagingClasses.h"
#include "messaging/box/MessageBoxViewController.h"
#include "messaging/chat/MessageViewController.h"
#include "platform/graphics/Image.h"
#include "platform/os/ClassRegistry.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIWindow.h"
#include "bench/support/BenchFolders.h"
#include "tests/support/app/ClientApp.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

namespace {

constexpr int kBoxConversations = 500;
constexpr int kBoxMessages = 10000;
constexpr int kChatMessages = 1000;
constexpr int kFirstContactUid = 70000;

// Resident set size of this process in megabytes, from /proc.
double residentMegabytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stod(line.substr(6)) / 1024.0;
    }
    return 0;
}

// Under /tmp, removed when the program ends (bench/support/BenchFolders.h).
std::string benchFolder(const char* name)
{
    return benchsupport::benchFolder(name);
}

std::shared_ptr<core::ContactInfo> parentContact(int index)
{
    auto contact = std::make_shared<core::ContactInfo>();
    contact->uid = kFirstContactUid + index;
    contact->type = 2;
    contact->name = "家长" + std::to_string(index);
    return contact;
}

// `count` messages spread round-robin over `conversations` partners, every
// third one sent by the teacher, the rest received (older ones read, the
// newest of each conversation unread), one minute apart, newest last.
core::MessageList storedMessages(int count, int conversations)
{
    std::vector<std::shared_ptr<core::ContactInfo>> contacts;
    for (int i = 0; i < conversations; ++i)
        contacts.push_back(parentContact(i));
    const auto now = platform::Date::now();
    core::MessageList list;
    list.reserve(std::size_t(count));
    for (int i = 0; i < count; ++i) {
        auto message = std::make_shared<core::MessageInfo>();
        message->uid = "bench-" + std::to_string(i);
        message->contact = contacts[std::size_t(i % conversations)];
        message->to = i % 3 == 0;
        message->content = "第" + std::to_string(i) + "条消息：明天上午九点春游，请准备好水和午餐，并按时到校集合。";
        const bool newest = i + conversations >= count;
        message->state = message->to ? core::MessageInfo::kStateNew
            : newest                 ? core::MessageInfo::kStateUnread
                                     : core::MessageInfo::kStateRead;
        message->time = now.addingSeconds(-60.0 * (count - i));
        message->createTime = message->time;
        list.push_back(std::move(message));
    }
    return list;
}

// The demo teacher signed in through the screens, with the store filled.
std::unique_ptr<testsupport::AppHarness> signedInWith(const core::MessageList& messages, benchmark::State& state)
{
    testsupport::AppHarnessOptions options;
    options.renderDirectory = benchFolder("orb-bench-renders");
    auto harness = std::make_unique<testsupport::AppHarness>(options);
    if (!testsupport::startClient(*harness)
        || !testsupport::signInThroughScreens(
            *harness, testsupport::kDemoTeacher, testsupport::kDemoTeacherPassword)) {
        state.SkipWithError("the demo teacher could not sign in");
        return nullptr;
    }
    messaging::registerMessagingClasses();
    if (!core::MessageFactory().setMessage(messages)) {
        state.SkipWithError("the messages could not be stored");
        return nullptr;
    }
    // The message box's navigation controller, where screens are pushed.
    testsupport::mainScreen()->switchToView(ORBViewController::kMessageTab);
    testsupport::settle(*harness);
    return harness;
}

// Where the measured frames are written.
std::string renderPath(const char* name)
{
    return (std::filesystem::path(benchFolder("orb-bench-renders")) / name).string();
}

// Pops what the iteration pushed and lets the loop settle (not timed).
void popBack(testsupport::AppHarness& harness, const std::shared_ptr<UINavigationController>& navigation)
{
    navigation->popViewControllerAnimated(false);
    harness.loop().runUntilIdle();
}

void BM_OpenMessageBox(benchmark::State& state)
{
    auto owned = signedInWith(storedMessages(kBoxMessages, kBoxConversations), state);
    if (!owned)
        return;
    auto& harness = *owned;
    auto navigation = harness.visibleNavigationController();
    if (!navigation) {
        state.SkipWithError("no navigation controller");
        return;
    }
    std::size_t rows = 0;
    double resident = 0;
    std::optional<platform::Image> lastFrame;
    for (auto _ : state) {
        auto box = platform::ClassRegistry::shared().createAs<MessageBoxViewController>(
            MessageBoxViewController::kClassName);
        if (!box) {
            state.SkipWithError("MessageBoxViewController is not registered");
            break;
        }
        navigation->pushViewController(box, false);
        auto frame = UIWindow::renderScreen();
        benchmark::DoNotOptimize(frame);

        state.PauseTiming();
        if (frame)
            lastFrame = std::move(frame);
        rows = box->listData().size();
        resident = residentMegabytes();
        popBack(harness, navigation);
        state.ResumeTiming();
    }
    state.counters["rows"] = double(rows);
    state.counters["resident_MB"] = resident;
    if (lastFrame) // the frame measured, to look at
        lastFrame->writePNG(renderPath("bench-message-box.png"));
}
BENCHMARK(BM_OpenMessageBox)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_OpenChat(benchmark::State& state)
{
    auto owned = signedInWith(storedMessages(kChatMessages, 1), state);
    if (!owned)
        return;
    auto& harness = *owned;
    auto navigation = harness.visibleNavigationController();
    if (!navigation) {
        state.SkipWithError("no navigation controller");
        return;
    }
    auto contact = parentContact(0);
    long rows = 0;
    double resident = 0;
    std::optional<platform::Image> lastFrame;
    for (auto _ : state) {
        auto chat = platform::ClassRegistry::shared().createAs<MessageViewController>(
            MessageViewController::kClassName);
        if (!chat) {
            state.SkipWithError("MessageViewController is not registered");
            break;
        }
        chat->setContact(contact);
        navigation->pushViewController(chat, false);
        auto frame = UIWindow::renderScreen();
        benchmark::DoNotOptimize(frame);

        state.PauseTiming();
        if (frame)
            lastFrame = std::move(frame);
        rows = static_cast<long>(chat->listData().size());
        resident = residentMegabytes();
        popBack(harness, navigation);
        state.ResumeTiming();
    }
    state.counters["rows"] = double(rows);
    state.counters["resident_MB"] = resident;
    if (lastFrame)
        lastFrame->writePNG(renderPath("bench-chat.png"));
}
BENCHMARK(BM_OpenChat)->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace
BENCHMARK_MAIN();
