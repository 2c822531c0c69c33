#include "platform/os/RunLoop.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITableView.h"
#include "platform/uikit/UIViewController.h"
#include "platform/uikit/UIWindow.h"
#include "tests/support/uikit/UIKitDriver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

class Rows : public UITableViewDataSource, public UITableViewDelegate {
public:
    long numberOfRowsInSection(UITableView*, long) override { return 20; }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path) override
    {
        auto cell = table->dequeueReusableCellWithIdentifier("row");
        if (!cell)
            cell = std::make_shared<UITableViewCell>(UITableViewCellStyleDefault, "row");
        cell->textLabel()->setText("Row " + std::to_string(path.row));
        return cell;
    }
    void didSelectRowAtIndexPath(UITableView*, const NSIndexPath& path) override { selected.push_back(path.row); }
    std::vector<long> selected;
};

class TouchInputTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::RunLoop::setMainThread();
        loop = &platform::RunLoop::main();
        loop->discardPendingWork();
        loop->setClock(clock);
        UIViewController::resetWindowRoots();
        testsupport::resetUIKitState();
        window = std::make_shared<UIWindow>();
        window->makeKeyAndVisible();
    }
    void TearDown() override
    {
        UIViewController::resetWindowRoots();
        testsupport::resetUIKitState();
        window.reset();
        loop->discardPendingWork();
        loop->setClock(nullptr);
    }

    std::shared_ptr<platform::ManualClock> clock = std::make_shared<platform::ManualClock>(0);
    platform::RunLoop* loop = nullptr;
    std::shared_ptr<UIWindow> window;
};

TEST_F(TouchInputTest, ATapOnARowThroughTheWindowSelectsThatRow)
{
    auto rows = std::make_shared<Rows>();
    auto table = std::make_shared<UITableView>(platform::Rect(0, 64, 320, 400));
    table->setDataSource(rows);
    table->setDelegate(rows);
    window->addSubview(table);
    table->reloadData();
    window->layoutIfNeeded();

    // On the label, on the cell's empty part, and after scrolling.
    auto third = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(2, 0));
    ASSERT_TRUE(third);
    EXPECT_TRUE(testsupport::tap(third->contentView()));
    EXPECT_EQ(rows->selected, (std::vector<long> { 2 }));
    ASSERT_TRUE(table->indexPathForSelectedRow());
    EXPECT_EQ(table->indexPathForSelectedRow()->row, 2);

    auto rowRect = table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(5, 0));
    auto point = table->convertPointToView(platform::Point(300, rowRect.midY()), nullptr);
    window->beginTouches({ point });
    window->endTouches();
    EXPECT_EQ(rows->selected, (std::vector<long> { 2, 5 }));

    table->setContentOffset(platform::Point(0, 480));
    window->layoutIfNeeded();
    auto last = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(19, 0));
    ASSERT_TRUE(last);
    EXPECT_TRUE(testsupport::tap(last));
    EXPECT_EQ(rows->selected, (std::vector<long> { 2, 5, 19 }));
}

TEST_F(TouchInputTest, OnlyATouchThatStaysPutSelectsARow)
{
    auto rows = std::make_shared<Rows>();
    auto table = std::make_shared<UITableView>(platform::Rect(0, 0, 320, 400));
    table->setDataSource(rows);
    table->setDelegate(rows);
    window->addSubview(table);
    window->layoutIfNeeded();
    auto y = table->rectForRowAtIndexPath(NSIndexPath::indexPathForRow(3, 0)).midY();

    // A swipe along the row is not a tap on it.
    EXPECT_TRUE(testsupport::swipe(
        table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(3, 0)), testsupport::SwipeDirection::Right));
    EXPECT_TRUE(rows->selected.empty());

    // A finger that trembles a little still taps.
    window->beginTouches({ platform::Point(100, y) });
    window->moveTouches({ platform::Point(104, y + 3) });
    window->endTouches();
    EXPECT_EQ(rows->selected, (std::vector<long> { 3 }));
}

// Views commonly build their subviews in their constructors, before a shared
// pointer owns them; those subviews must still reach them (the cells do this).
class Panel : public UIView {
public:
    Panel()
        : UIView(platform::Rect(0, 0, 100, 100))
        , inner(std::make_shared<UIView>(platform::Rect(10, 10, 50, 50)))
    {
        addSubview(inner);
    }
    std::shared_ptr<UIView> inner;
};

TEST_F(TouchInputTest, SubviewsAddedInAConstructorFindTheirSuperview)
{
    auto panel = std::make_shared<Panel>();
    EXPECT_EQ(panel->inner->superview(), panel);
    EXPECT_EQ(panel->inner->nextResponder(), panel);
    window->addSubview(panel);
    EXPECT_EQ(panel->inner->window(), window);
    EXPECT_TRUE(testsupport::isShownOnScreen(panel->inner));

    // Moving it elsewhere takes it out of the first panel.
    auto other = std::make_shared<Panel>();
    other->addSubview(panel->inner);
    EXPECT_EQ(panel->inner->superview(), other);
    EXPECT_EQ(panel->subviews().size(), 0u);
    other->inner->removeFromSuperview();
    EXPECT_FALSE(other->inner->superview());

    // A superview that goes away leaves its subviews without one.
    auto orphan = panel->inner;
    other.reset();
    EXPECT_FALSE(orphan->superview());
    EXPECT_FALSE(orphan->window());
}

TEST_F(TouchInputTest, ATableThatIsAControllersViewTakesRowTapsToo)
{
    auto rows = std::make_shared<Rows>();
    auto controller = std::make_shared<UIViewController>();
    auto table = std::make_shared<UITableView>(window->bounds());
    table->setDataSource(rows);
    table->setDelegate(rows);
    controller->setView(table);
    UIViewController::setRootViewControllerOf(window, controller);
    window->layoutIfNeeded();
    auto cell = table->cellForRowAtIndexPath(NSIndexPath::indexPathForRow(1, 0));
    ASSERT_TRUE(cell);
    EXPECT_TRUE(testsupport::tap(cell));
    EXPECT_EQ(rows->selected, (std::vector<long> { 1 }));
}

} // namespace
