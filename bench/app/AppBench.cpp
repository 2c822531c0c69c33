// What a person feels in the window: how long a full redraw of a busy screen
// takes (a navigation bar over a table of 20 rows, each with an avatar, a name
// and a line of detail), and how long from a touch to the frame that shows it.
// The window host draws exactly this way before it uploads the frame.
#include "platform/graphics/Context.h"
#include "platform/host/FrameRenderer.h"
#include "platform/host/TouchTranslator.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIKitRegistration.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UITableViewCell.h"
#include "platform/uikit/UIWindow.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

std::shared_ptr<UIImage> avatar(int index)
{
    auto context = platform::Context::createBitmap(platform::Size(40, 40), 2);
    context->setFillColor(
        platform::Color::fromRGB255(60 + index * 9 % 180, 120 + index * 37 % 120, 200 - index * 7 % 150));
    context->addEllipseInRect(platform::Rect(0, 0, 40, 40));
    context->fillPath();
    context->setFillColor(platform::Color::whiteColor());
    context->addEllipseInRect(platform::Rect(12, 8, 16, 16));
    context->fillPath();
    return std::make_shared<UIImage>(context->makeImage());
}

class ContactsController final : public UIViewController, public UITableViewDataSource, public UITableViewDelegate {
public:
    static constexpr long kRows = 20;

    std::string className() const override { return "ContactsController"; }
    void loadView() override
    {
        table_ = std::make_shared<UITableView>(UIScreen::mainScreen()->bounds(), UITableViewStylePlain);
        table_->setBackgroundColor(platform::Color::whiteColor());
        setView(table_);
    }
    void viewDidLoad() override
    {
        setTitle("Class contacts");
        setEdgesForExtendedLayout(UIRectEdgeNone);
        for (int i = 0; i < kRows; ++i)
            avatars_.push_back(avatar(i));
        auto self = std::static_pointer_cast<ContactsController>(shared_from_this());
        table_->setDataSource(self);
        table_->setDelegate(self);
    }
    long numberOfRowsInSection(UITableView*, long) override { return kRows; }
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override { return 56; }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override
    {
        auto cell = table->dequeueReusableCellWithIdentifier("contact");
        if (!cell)
            cell = std::make_shared<UITableViewCell>(UITableViewCellStyleSubtitle, "contact");
        cell->imageView()->setImage(avatars_[std::size_t(path.row)]);
        cell->textLabel()->setText("Parent of student " + std::to_string(path.row + 1) + " 家长");
        cell->detailTextLabel()->setText("Class 3 (2) · last message 10:4" + std::to_string(path.row % 10));
        cell->setAccessoryType(UITableViewCellAccessoryDisclosureIndicator);
        return cell;
    }
    std::shared_ptr<UITableView> table() const { return table_; }

private:
    std::shared_ptr<UITableView> table_;
    std::vector<std::shared_ptr<UIImage>> avatars_;
};

struct BusyScreen {
    std::shared_ptr<UIWindow> window;
    std::shared_ptr<ContactsController> contacts;

    BusyScreen()
    {
        platform::RunLoop::setMainThread();
        platform::registerUIKitClasses();
        window = std::make_shared<UIWindow>(UIScreen::mainScreen()->bounds());
        window->setBackgroundColor(platform::Color::whiteColor());
        contacts = std::make_shared<ContactsController>();
        window->setRootViewController(std::make_shared<UINavigationController>(contacts));
        window->makeKeyAndVisible();
        window->layoutIfNeeded();
        platform::RunLoop::main().runUntilIdle();
    }
    ~BusyScreen() { UIWindow::resetAllWindows(); }
};

void BM_FullRedrawOfBusyScreen(benchmark::State& state)
{
    BusyScreen screen;
    platform::host::FrameRenderer renderer(2);
    if (screen.contacts->table()->visibleCells().size() < 9) {
        state.SkipWithError("the table shows too few rows");
        return;
    }
    for (auto _ : state) {
        auto frame = renderer.renderScreen();
        benchmark::DoNotOptimize(frame);
    }
    state.SetLabel(
        "640x1136 px, " + std::to_string(screen.contacts->table()->visibleCells().size()) + " rows on screen");
}
BENCHMARK(BM_FullRedrawOfBusyScreen)->Unit(benchmark::kMillisecond);

// The fixed part of every frame the window pays: an empty screen drawn (the
// black glass) and looked over for what changed since the frame shown.
void BM_EmptyFrame(benchmark::State& state)
{
    platform::RunLoop::setMainThread();
    platform::host::FrameRenderer renderer(2);
    renderer.redraw();
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.redraw());
}
BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond);

// A picture of the empty screen of its own (as a screenshot takes it):
// allocation, the black glass, the copy out of the drawing surface.
void BM_EmptyScreenPicture(benchmark::State& state)
{
    platform::RunLoop::setMainThread();
    platform::host::FrameRenderer renderer(2);
    for (auto _ : state) {
        auto frame = renderer.renderScreen();
        benchmark::DoNotOptimize(frame);
    }
}
BENCHMARK(BM_EmptyScreenPicture)->Unit(benchmark::kMillisecond);

// The busy screen drawn again with nothing new to show: the whole drawing
// and the look for what changed.
void BM_UnchangedBusyFrameInTheHost(benchmark::State& state)
{
    BusyScreen screen;
    platform::host::FrameRenderer renderer(2);
    renderer.redraw();
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.redraw());
}
BENCHMARK(BM_UnchangedBusyFrameInTheHost)->Unit(benchmark::kMillisecond);

// A tap on a row (it stays selected, so the picture changes) through the
// pointer translation, then the redraw and the comparison with the last frame.
void BM_TouchToRedrawnFrame(benchmark::State& state)
{
    BusyScreen screen;
    platform::host::FrameRenderer renderer(2);
    platform::host::TouchTranslator pointer;
    renderer.redraw();
    long row = 0;
    std::uint64_t unchanged = 0;
    for (auto _ : state) {
        auto table = screen.contacts->table();
        auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(row, 0));
        auto b = cell->bounds();
        auto p = cell->convertPointToView(platform::Point(b.midX(), b.midY()), nullptr);
        pointer.press(p);
        pointer.release(p);
        platform::RunLoop::main().runUntilIdle();
        if (!renderer.redraw())
            ++unchanged;
        row = (row + 1) % 8;
    }
    if (unchanged)
        state.SkipWithError("a touch left the screen as it was");
}
BENCHMARK(BM_TouchToRedrawnFrame)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
