#include "UIKitTestSupport.h"

#include "platform/uikit/UISegmentedControl.h"

using platform::Color;
using platform::Point;
using platform::Rect;

namespace {

// Counts the value-changed events a control sends.
class Listener final : public platform::Object {
public:
    void changed(UISegmentedControl* control) { seen.push_back(control->selectedSegmentIndex()); }
    std::vector<long> seen;
};

std::shared_ptr<UISegmentedControl> twoPages(const std::shared_ptr<UIWindow>& window)
{
    auto control = std::make_shared<UISegmentedControl>(std::vector<std::string> { "相册", "最新" });
    control->setFrame(Rect(40, 100, 160, 30));
    window->addSubview(control);
    return control;
}

} // namespace

TEST_F(UIKitTest, SegmentedControlSelectsByTapAndTellsOnlyOfTaps)
{
    auto control = twoPages(window);
    auto listener = std::make_shared<Listener>();
    control->addTarget(listener, &Listener::changed, UIControlEventValueChanged);
    EXPECT_EQ(control->numberOfSegments(), 2);
    EXPECT_EQ(control->selectedSegmentIndex(), UISegmentedControl::UISegmentedControlNoSegment);

    // Set in code: no event. Out of range: nothing selected.
    control->setSelectedSegmentIndex(0);
    EXPECT_EQ(control->selectedSegmentIndex(), 0);
    control->setSelectedSegmentIndex(2);
    EXPECT_EQ(control->selectedSegmentIndex(), -1);
    control->setSelectedSegmentIndex(0);
    EXPECT_TRUE(listener->seen.empty());

    // A finger on the right half picks the second page; again on it, nothing.
    EXPECT_EQ(testsupport::tapAtPoint(Point(160, 115)), control);
    EXPECT_EQ(listener->seen, (std::vector<long> { 1 }));
    testsupport::tapAtPoint(Point(150, 115));
    EXPECT_EQ(listener->seen, (std::vector<long> { 1 }));
    testsupport::tapAtPoint(Point(60, 115));
    EXPECT_EQ(listener->seen, (std::vector<long> { 1, 0 }));
    EXPECT_EQ(control->segmentAtPoint(Point(79, 5)), 0);
    EXPECT_EQ(control->segmentAtPoint(Point(81, 5)), 1);
    EXPECT_EQ(control->segmentAtPoint(Point(170, 5)), -1);

    // A disabled control takes no taps.
    control->setEnabled(false);
    testsupport::tapAtPoint(Point(160, 115));
    EXPECT_EQ(control->selectedSegmentIndex(), 0);
    EXPECT_EQ(listener->seen.size(), 2u);

    control->insertSegmentWithTitle("全部", 0);
    EXPECT_EQ(control->titleForSegmentAtIndex(0), "全部");
    EXPECT_EQ(control->selectedSegmentIndex(), 1); // still "相册"
    control->setTitle("班级", 1);
    EXPECT_EQ(control->titleForSegmentAtIndex(1), "班级");
    EXPECT_EQ(control->titleForSegmentAtIndex(7), "");
}

TEST_F(UIKitTest, SegmentedControlFillsTheSelectedSegmentWithItsTint)
{
    auto control = twoPages(window);
    control->setTintColor(Color::whiteColor());
    auto backdrop = std::make_shared<UIView>(Rect(0, 0, 160, 30));
    backdrop->setBackgroundColor(Color::blackColor());
    backdrop->addSubview(control);
    control->setFrame(Rect(0, 0, 160, 30));
    control->setSelectedSegmentIndex(1);
    UISegmentedControlTitleAttributes bold;
    bold.font = platform::Font::boldSystemFont(18);
    bold.textColor = Color::redColor();
    control->setTitleTextAttributes(bold, UIControlStateNormal);
    ASSERT_NE(control->titleTextAttributes(UIControlStateNormal), nullptr);
    EXPECT_EQ(control->titleTextAttributes(UIControlStateSelected), nullptr);

    auto image = backdrop->renderToImage(2);
    ASSERT_TRUE(image);
    // Away from the titles: the chosen half white, the other the backdrop.
    EXPECT_TRUE(image->colorAt(2 * 150, 2 * 4).isClose(Color::whiteColor(), 0.02));
    EXPECT_TRUE(image->colorAt(2 * 10, 2 * 4).isClose(Color::blackColor(), 0.02));
    EXPECT_EQ(control->sizeThatFits({}).height, UISegmentedControl::kDefaultHeight);
}
