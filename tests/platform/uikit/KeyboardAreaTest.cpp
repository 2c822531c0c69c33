#include "UIKitTestSupport.h"

#include <algorithm>
#include <tuple>

#include "platform/graphics/Image.h"
#include "platform/os/DateFormat.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIDatePicker.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIToolbar.h"

using platform::Point;
using platform::Rect;

namespace {

class Classes final : public UIPickerViewDataSource, public UIPickerViewDelegate {
public:
    long numberOfComponentsInPickerView(UIPickerView*) override { return 2; }
    long numberOfRowsInComponent(UIPickerView*, long component) override { return component == 0 ? 5 : 3; }
    std::string titleForRow(UIPickerView*, long row, long component) override
    {
        return std::to_string(component) + "-" + std::to_string(row);
    }
    void didSelectRow(UIPickerView*, long row, long component) override { selected.push_back({ row, component }); }
    std::vector<std::pair<long, long>> selected;
};

// A screen with a field that takes a two-wheel picker under a bar of
// 取消 / 完成, a plain field, and a button low on the screen.
class KeyboardArea : public UIKitTest {
protected:
    void SetUp() override
    {
        UIKitTest::SetUp();
        classes = std::make_shared<Classes>();
        picker = std::make_shared<UIPickerView>();
        picker->setDataSource(classes);
        picker->setDelegate(classes);
        toolbar = std::make_shared<UIToolbar>(Rect(0, 0, 320, 44));
        auto cancel = UIBarButtonItem::itemWithTitle("取消", UIBarButtonItemStylePlain);
        cancel->setAction([this](UIBarButtonItem*) { pressed.push_back("取消"); });
        auto done = UIBarButtonItem::itemWithTitle("完成", UIBarButtonItemStyleDone);
        done->setAction([this](UIBarButtonItem*) {
            pressed.push_back("完成");
            chooser->resignFirstResponder();
        });
        toolbar->setItems({ cancel, UIBarButtonItem::itemWithBarButtonSystemItem(UIBarButtonSystemItemFlexibleSpace),
            done });
        chooser = std::make_shared<UITextField>(Rect(20, 60, 280, 30));
        chooser->setInputView(picker);
        chooser->setInputAccessoryView(toolbar);
        window->addSubview(chooser);
        plain = std::make_shared<UITextField>(Rect(20, 100, 280, 30));
        window->addSubview(plain);
        low = UIButton::buttonWithType(UIButtonTypeCustom);
        low->setFrame(Rect(20, 500, 100, 40));
        low->addAction([this](UIControl*) { pressed.push_back("low"); }, UIControlEventTouchUpInside);
        window->addSubview(low);
    }

    std::shared_ptr<Classes> classes;
    std::shared_ptr<UIPickerView> picker;
    std::shared_ptr<UIToolbar> toolbar;
    std::shared_ptr<UITextField> chooser;
    std::shared_ptr<UITextField> plain;
    std::shared_ptr<UIButton> low;
    std::vector<std::string> pressed;
};

} // namespace

TEST_F(KeyboardArea, HoldsTheInputViewUnderItsBarAndTakesTheTouchesThere)
{
    ASSERT_TRUE(testsupport::tap(low));
    ASSERT_TRUE(testsupport::tap(chooser));
    auto area = platform::Keyboard::window();
    ASSERT_TRUE(area);
    EXPECT_EQ(area->frame(), Rect(0, 568 - 260, 320, 260));
    EXPECT_EQ(area->frame(), platform::Keyboard::frame());
    EXPECT_GT(area->windowLevel(), window->windowLevel());
    EXPECT_EQ(toolbar->superview(), area);
    EXPECT_EQ(picker->superview(), area);
    EXPECT_EQ(toolbar->frame(), Rect(0, 0, 320, 44));
    EXPECT_EQ(picker->frame(), Rect(0, 44, 320, 216));
    EXPECT_TRUE(testsupport::isShownOnScreen(picker));

    // The button under the keyboard is out of a finger's reach; the bar's are not.
    EXPECT_FALSE(testsupport::tap(low));
    EXPECT_TRUE(testsupport::tapButton(area, "取消"));
    EXPECT_TRUE(testsupport::tapButton(area, "完成"));
    EXPECT_EQ(pressed, (std::vector<std::string> { "low", "取消", "完成" }));

    // 完成 put the keyboard away: the area goes and gives its views back.
    EXPECT_FALSE(platform::Keyboard::isVisible());
    EXPECT_EQ(platform::Keyboard::window(), nullptr);
    auto shown = UIWindow::visibleWindows();
    EXPECT_EQ(std::ranges::find(shown, area), shown.end());
    EXPECT_EQ(toolbar->superview(), nullptr);
    EXPECT_EQ(picker->superview(), nullptr);
    EXPECT_TRUE(testsupport::tap(low));
}

TEST_F(KeyboardArea, FollowsTheFieldThatIsTypedInto)
{
    ASSERT_TRUE(testsupport::tap(chooser));
    ASSERT_TRUE(testsupport::tap(plain));
    // The plain field's keys: an empty panel of the keyboard's height, the picker and bar gone.
    auto area = platform::Keyboard::window();
    ASSERT_TRUE(area);
    EXPECT_EQ(area->frame(), Rect(0, 568 - 216, 320, 216));
    EXPECT_EQ(picker->superview(), nullptr);
    EXPECT_EQ(toolbar->superview(), nullptr);
    auto image = UIWindow::renderScreen(1);
    ASSERT_TRUE(image);
    auto pixel = image->pixelAt(160, 568 - 100);
    auto panel = platform::Keyboard::kPanelColor;
    EXPECT_NEAR(pixel[0], panel.red * 255, 2);
    EXPECT_NEAR(pixel[1], panel.green * 255, 2);
    EXPECT_NEAR(pixel[2], panel.blue * 255, 2);

    // A text view that shares the bar shows it on its keys.
    auto notes = std::make_shared<UITextView>(Rect(20, 140, 280, 80));
    notes->setInputAccessoryView(toolbar);
    window->addSubview(notes);
    ASSERT_TRUE(testsupport::tap(notes));
    EXPECT_EQ(toolbar->superview(), platform::Keyboard::window());
    EXPECT_EQ(platform::Keyboard::frame(), Rect(0, 568 - 260, 320, 260));
    ASSERT_TRUE(testsupport::tap(chooser));
    EXPECT_EQ(toolbar->superview(), platform::Keyboard::window());
    EXPECT_EQ(picker->superview(), platform::Keyboard::window());
}

TEST_F(KeyboardArea, AFingerTurnsTheWheelsAndTheDelegateHearsWhereTheyStop)
{
    ASSERT_TRUE(testsupport::tap(chooser));
    // Up three rows on the first wheel: one word to the delegate, on lift-off.
    EXPECT_TRUE(testsupport::turnWheel(picker, 0, 2, 3));
    EXPECT_EQ(picker->selectedRowInComponent(0), 3);
    EXPECT_EQ(picker->selectedRowInComponent(1), 0);
    EXPECT_EQ(classes->selected, (std::vector<std::pair<long, long>> { { 3, 0 } }));
    // Far past the end, the wheel stops on the last row.
    EXPECT_TRUE(testsupport::turnWheel(picker, 1, 2, 9));
    EXPECT_EQ(picker->selectedRowInComponent(1), 2);
    // Down again on the second wheel.
    EXPECT_TRUE(testsupport::spinPicker(picker, 0, 1));
    EXPECT_EQ(picker->selectedRowInComponent(1), 0);
    // A drag that ends where it began turns nothing and says nothing.
    classes->selected.clear();
    EXPECT_TRUE(testsupport::turnWheel(picker, 0, 2, 0));
    EXPECT_EQ(classes->selected, (std::vector<std::pair<long, long>> {}));

    // A tap on the row under the band turns it in; a tap on the band does nothing.
    auto area = platform::Keyboard::window();
    ASSERT_TRUE(area);
    auto band = PickerWheels::bandTop(picker->bounds());
    auto below = picker->convertPointToView(Point(80, band + PickerWheels::kRowHeight * 1.5), nullptr);
    auto f = area->frame();
    testsupport::tapAtPoint(Point(below.x + f.minX(), below.y + f.minY()));
    EXPECT_EQ(picker->selectedRowInComponent(0), 4);
    auto middle = picker->convertPointToView(Point(80, band + PickerWheels::kRowHeight / 2), nullptr);
    testsupport::tapAtPoint(Point(middle.x + f.minX(), middle.y + f.minY()));
    EXPECT_EQ(picker->selectedRowInComponent(0), 4);
    EXPECT_EQ(classes->selected, (std::vector<std::pair<long, long>> { { 4, 0 } }));

    // A drag the system cancels leaves the wheel where it was.
    auto start = picker->convertPointToView(Point(80, band + 18), nullptr);
    area->beginTouches({ start });
    area->moveTouches({ Point(start.x, start.y + 2 * PickerWheels::kRowHeight) });
    EXPECT_EQ(picker->selectedRowInComponent(0), 2);
    area->cancelTouches();
    EXPECT_EQ(picker->selectedRowInComponent(0), 4);

    // The mouse wheel's notch: a row at a time, told at once.
    EXPECT_FALSE(picker->turnWheelAt(Point(240, band), -1)); // already at the top: nothing turns
    EXPECT_TRUE(picker->turnWheelAt(Point(240, band), 1));
    EXPECT_EQ(picker->selectedRowInComponent(1), 1);
}

TEST_F(KeyboardArea, DateWheelsTurnByHandWithinTheMonthAndTheLimits)
{
    auto dates = std::make_shared<UIDatePicker>();
    dates->setDatePickerMode(UIDatePickerModeDate);
    auto zone = platform::TimeZone::local();
    auto at = [&](int y, int m, int d) { return *platform::dateFromComponents({ y, m, d, 12, 0, 0 }, zone); };
    dates->setDate(at(2026, 1, 31));
    int changes = 0;
    dates->addAction([&](UIControl*) { ++changes; }, UIControlEventValueChanged);
    chooser->setInputView(dates);
    ASSERT_TRUE(testsupport::tap(chooser));
    // The month wheel turned up one: 31 January becomes the last of February.
    EXPECT_TRUE(testsupport::turnWheel(dates, 1, 3, 1));
    auto parts = platform::dateComponents(dates->date(), zone);
    EXPECT_EQ(std::tuple(parts.year, parts.month, parts.day), std::tuple(2026, 2, 28));
    EXPECT_EQ(changes, 1);
    EXPECT_TRUE(testsupport::spinDatePicker(dates, at(2027, 3, 5)));
    parts = platform::dateComponents(dates->date(), zone);
    EXPECT_EQ(std::tuple(parts.year, parts.month, parts.day), std::tuple(2027, 3, 5));
    // Not past the maximum, however far the finger goes.
    dates->setMaximumDate(at(2027, 3, 10));
    EXPECT_TRUE(testsupport::turnWheel(dates, 2, 3, 20));
    EXPECT_EQ(dates->date(), at(2027, 3, 10));
    EXPECT_FALSE(testsupport::spinDatePicker(dates, at(2028, 1, 1)));
}

TEST_F(KeyboardArea, SitsOverAnAlertThatIsTypedIntoWithTheAlertsButtonsAboveIt)
{
    for (auto kind : { UIScreen::Kind::FourInch, UIScreen::Kind::ThreePointFiveInch }) {
        SCOPED_TRACE(int(kind));
        UIScreen::setKind(kind);
        window->setFrame(UIScreen::mainScreen()->bounds());
        auto password = std::make_shared<UIAlertView>("提示", "请输入您的登录密码以继续",
            std::weak_ptr<UIAlertViewDelegate> {}, "取消", std::vector<std::string> { "确定" });
        password->setAlertViewStyle(UIAlertViewStyleSecureTextInput);
        password->show();
        auto field = password->textFieldAtIndex(0);
        ASSERT_TRUE(field && field->isFirstResponder());
        auto area = platform::Keyboard::window();
        ASSERT_TRUE(area);
        ASSERT_TRUE(password->window());
        EXPECT_GT(area->windowLevel(), password->window()->windowLevel());
        // Both buttons and the field are above the keys and take a finger.
        for (auto title : { "取消", "确定" }) {
            auto button = testsupport::findViewByText(password, title);
            ASSERT_TRUE(button) << title;
            auto frame = button->convertRectToView(button->bounds(), nullptr);
            EXPECT_LE(frame.maxY(), area->frame().minY()) << title;
        }
        EXPECT_TRUE(testsupport::tap(field));
        ASSERT_TRUE(testsupport::tapAlertButton("取消"));
        EXPECT_FALSE(platform::Keyboard::isVisible());
    }
    UIScreen::setKind(UIScreen::Kind::FourInch);
}
