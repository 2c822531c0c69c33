#include "UIKitTestSupport.h"

#include "platform/uikit/UIActivityIndicatorView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UIPasteboard.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UIToolbar.h"

using platform::Color;
using platform::Rect;

TEST_F(UIKitTest, ActivityIndicatorSizesAndVisibilityFollowItsStyleAndState)
{
    UIActivityIndicatorView large(UIActivityIndicatorViewStyleWhiteLarge);
    UIActivityIndicatorView small(UIActivityIndicatorViewStyleGray);
    EXPECT_EQ(large.frame().size, platform::Size(37, 37));
    EXPECT_EQ(small.frame().size, platform::Size(20, 20));
    EXPECT_TRUE(large.isHidden()); // stopped and hiding when stopped
    large.startAnimating();
    EXPECT_TRUE(large.isAnimating());
    EXPECT_FALSE(large.isHidden());
    large.stopAnimating();
    EXPECT_TRUE(large.isHidden());
    large.setHidesWhenStopped(false);
    EXPECT_FALSE(large.isHidden());
    large.setCenter(platform::Point(100, 100));
    large.setActivityIndicatorViewStyle(UIActivityIndicatorViewStyleWhite);
    EXPECT_EQ(large.frame(), Rect(90, 90, 20, 20)); // keeps its centre
}

namespace {

class Grades final : public UIPickerViewDataSource, public UIPickerViewDelegate {
public:
    long numberOfComponentsInPickerView(UIPickerView*) override { return 1; }
    long numberOfRowsInComponent(UIPickerView*, long) override { return long(rows.size()); }
    std::string titleForRow(UIPickerView*, long row, long) override { return rows[std::size_t(row)]; }
    void didSelectRow(UIPickerView*, long row, long component) override { selected.push_back({ row, component }); }
    std::vector<std::string> rows { "一年级", "二年级", "三年级" };
    std::vector<std::pair<long, long>> selected;
};

} // namespace

TEST_F(UIKitTest, PickerSelectsWithinItsRowsAndTellsTheDelegateOnlyOfSpins)
{
    auto picker = std::make_shared<UIPickerView>();
    window->addSubview(picker);
    auto grades = std::make_shared<Grades>();
    EXPECT_EQ(picker->selectedRowInComponent(0), -1); // no data source yet
    picker->setDataSource(grades);
    picker->setDelegate(grades);
    EXPECT_EQ(picker->selectedRowInComponent(0), 0);
    EXPECT_EQ(picker->titleForRow(1, 0), "二年级");
    EXPECT_EQ(picker->titleForRow(9, 0), "");
    picker->selectRow(2, 0);
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
    picker->selectRow(5, 0); // beyond the rows: ignored
    picker->selectRow(1, 3); // no such component
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
    EXPECT_TRUE(grades->selected.empty());

    EXPECT_TRUE(testsupport::spinPicker(picker, 1));
    EXPECT_EQ(grades->selected, (std::vector<std::pair<long, long>> { { 1, 0 } }));
    EXPECT_FALSE(testsupport::spinPicker(picker, 3));

    grades->rows = { "一年级" };
    picker->reloadAllComponents();
    EXPECT_EQ(picker->selectedRowInComponent(0), 0);
    grades->rows.clear();
    picker->reloadAllComponents();
    EXPECT_EQ(picker->selectedRowInComponent(0), -1);
    grades.reset(); // a data source that went away reads as none
    EXPECT_EQ(picker->numberOfComponents(), 0);
}

TEST_F(UIKitTest, DatePickerKeepsItsDateWithinTheLimits)
{
    UIDatePicker picker;
    int changes = 0;
    picker.addAction([&](UIControl*) { ++changes; }, UIControlEventValueChanged);
    picker.setDatePickerMode(UIDatePickerModeDate);
    picker.setMinimumDate(platform::Date { 1000 });
    picker.setMaximumDate(platform::Date { 2000 });
    picker.setDate(platform::Date { 5000 });
    EXPECT_EQ(picker.date(), platform::Date { 2000 });
    EXPECT_EQ(changes, 0);
    picker.spinToDate(platform::Date { 1500 });
    EXPECT_EQ(picker.date(), platform::Date { 1500 });
    EXPECT_EQ(changes, 1);
    picker.spinToDate(platform::Date { 10 });
    EXPECT_EQ(picker.date(), platform::Date { 1000 });
    EXPECT_EQ(changes, 2);
    picker.spinToDate(platform::Date { NAN });
    EXPECT_EQ(picker.date(), platform::Date { 1000 });
    EXPECT_EQ(changes, 2);
}

TEST_F(UIKitTest, ToolbarLaysOutItemsAndItsButtonsSendTheItemsActions)
{
    struct Screen {
        void done(UIBarButtonItem* item) { pressed.push_back(item ? item->title() : "?"); }
        std::vector<std::string> pressed;
    };
    auto screen = std::make_shared<Screen>();
    auto toolbar = std::make_shared<UIToolbar>(Rect(0, 524, 320, 44));
    auto cancel = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemCancel);
    auto flexible = UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace);
    auto done = UIBarButtonItem::itemWithTitle("完成", UIBarButtonItemStyleDone);
    done->setTarget(screen, &Screen::done);
    cancel->setTarget(screen, &Screen::done);
    toolbar->setItems({ cancel, flexible, done });
    window->addSubview(toolbar);
    window->layoutIfNeeded();

    auto cancelView = cancel->itemView();
    auto doneView = done->itemView();
    ASSERT_TRUE(cancelView && doneView);
    EXPECT_EQ(flexible->itemView(), nullptr);
    EXPECT_EQ(cancelView->frame().minX(), 12);
    EXPECT_EQ(doneView->frame().maxX(), 320 - 12); // the flexible space pushes it to the right edge
    EXPECT_TRUE(testsupport::tapButton(toolbar, "完成"));
    // System items are named as a phone set to Chinese names them.
    EXPECT_TRUE(testsupport::tapButton(toolbar, "取消"));
    EXPECT_EQ(screen->pressed, (std::vector<std::string> { "完成", "取消" }));
    EXPECT_EQ(UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemDone)->title(), "完成");
    EXPECT_EQ(UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemSave)->title(), "存储");
    done->setEnabled(false);
    EXPECT_FALSE(testsupport::tap(doneView));
    EXPECT_FALSE(done->sendAction());
    screen.reset();
    cancel->sendAction(); // a target that went away is not called
}

TEST_F(UIKitTest, PasteboardKeepsOneItemByType)
{
    auto& board = UIPasteboard::generalPasteboard();
    board.setString("班级通知");
    EXPECT_EQ(board.string(), std::optional<std::string>("班级通知"));
    auto image = std::make_shared<UIImage>(platform::Image(4, 3, 1, Color::redColor()));
    board.setImage(image);
    EXPECT_EQ(board.string(), std::nullopt); // replaced
    ASSERT_TRUE(board.containsPasteboardType("public.png"));
    auto back = board.image();
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->size(), platform::Size(4, 3));
    board.setData({ 1, 2, 3 }, "public.png"); // not an image: no image comes back
    EXPECT_EQ(board.image(), nullptr);
}

TEST_F(UIKitTest, ScreenSizesAndModes)
{
    auto screen = UIScreen::mainScreen();
    EXPECT_EQ(screen->bounds(), Rect(0, 0, 320, 568));
    EXPECT_EQ(screen->scale(), 2);
    ASSERT_TRUE(screen->currentMode());
    EXPECT_EQ(screen->currentMode()->size, platform::Size(640, 1136));
    UIScreen::setKind(UIScreen::Kind::ThreePointFiveInch);
    EXPECT_EQ(screen->bounds(), Rect(0, 0, 320, 480));
    EXPECT_EQ(screen->currentMode()->size, platform::Size(640, 960));
    EXPECT_EQ(screen->applicationFrame(), Rect(0, 20, 320, 460));
    UIScreen::setCurrentModeAvailable(false);
    EXPECT_FALSE(screen->currentMode());
    EXPECT_EQ(std::make_shared<UIWindow>()->frame(), Rect(0, 0, 320, 480));
}
