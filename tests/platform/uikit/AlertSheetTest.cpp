#include "UIKitTestSupport.h"

#include "platform/uikit/ModalStack.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UIAlertView.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UITextField.h"

using platform::Rect;

namespace {

class AlertLog final : public UIAlertViewDelegate, public UIActionSheetDelegate {
public:
    void alertViewClickedButton(UIAlertView*, long index) override
    {
        calls.push_back("clicked " + std::to_string(index));
    }
    void willPresentAlertView(UIAlertView*) override { calls.push_back("willPresent"); }
    void didPresentAlertView(UIAlertView*) override { calls.push_back("didPresent"); }
    void alertViewWillDismiss(UIAlertView* alert, long index) override
    {
        calls.push_back("willDismiss " + std::to_string(index) + (alert->isVisible() ? " visible" : " gone"));
    }
    void alertViewDidDismiss(UIAlertView* alert, long index) override
    {
        calls.push_back("didDismiss " + std::to_string(index) + (alert->isVisible() ? " visible" : " gone"));
    }
    void actionSheetClickedButton(UIActionSheet* sheet, long index) override
    {
        calls.push_back("sheet clicked " + sheet->buttonTitleAtIndex(index));
    }
    void actionSheetDidDismiss(UIActionSheet*, long index) override
    {
        calls.push_back("sheet didDismiss " + std::to_string(index));
    }
    std::vector<std::string> calls;
};

} // namespace

TEST_F(UIKitTest, AlertButtonsAreIndexedCancelFirstAndCallTheDelegateInOrder)
{
    auto log = std::make_shared<AlertLog>();
    {
        auto alert = std::make_shared<UIAlertView>(
            "发现新版本", "是否更新？", log, "取消", std::vector<std::string> { "立即更新" });
        EXPECT_EQ(alert->cancelButtonIndex(), 0);
        EXPECT_EQ(alert->firstOtherButtonIndex(), 1);
        EXPECT_EQ(alert->addButtonWithTitle("稍后"), 2);
        EXPECT_EQ(alert->buttonTitleAtIndex(1), "立即更新");
        EXPECT_EQ(alert->buttonTitleAtIndex(3), "");
        alert->show();
    } // the creator lets go: the shown alert stays alive
    auto alert = testsupport::currentAlert();
    ASSERT_NE(alert, nullptr);
    EXPECT_EQ(alert->title(), "发现新版本");
    EXPECT_TRUE(alert->isVisible());
    EXPECT_EQ(log->calls, (std::vector<std::string> { "willPresent", "didPresent" }));

    EXPECT_TRUE(testsupport::tapAlertButton("立即更新"));
    EXPECT_EQ(log->calls,
        (std::vector<std::string> {
            "willPresent", "didPresent", "clicked 1", "willDismiss 1 visible", "didDismiss 1 gone" }));
    EXPECT_EQ(testsupport::currentAlert(), nullptr);
    EXPECT_FALSE(testsupport::tapAlertButton(0L)); // nothing shown any more
}

TEST_F(UIKitTest, AlertButtonsCanBeTappedOnScreenAndBlockWhatIsBehind)
{
    auto behind = UIButton::buttonWithType(UIButtonTypeCustom);
    behind->setFrame(Rect(0, 0, 320, 568));
    int behindClicks = 0;
    behind->addAction([&](UIControl*) { ++behindClicks; }, UIControlEventTouchUpInside);
    window->addSubview(behind);

    auto log = std::make_shared<AlertLog>();
    auto alert = std::make_shared<UIAlertView>("提示", "网络不可用", log, "确定");
    alert->show();
    EXPECT_FALSE(testsupport::tap(behind));
    EXPECT_EQ(behindClicks, 0);
    auto buttons = testsupport::findViewsByClass(alert, "UIButton");
    ASSERT_EQ(buttons.size(), 1u);
    EXPECT_TRUE(testsupport::tapButton(alert, "确定"));
    EXPECT_EQ(log->calls[2], "clicked 0");
    EXPECT_FALSE(alert->isVisible());
    EXPECT_TRUE(testsupport::tap(behind));
    EXPECT_EQ(behindClicks, 1);
}

TEST_F(UIKitTest, AlertWithoutDelegateOrWithAGoneDelegateJustCloses)
{
    auto log = std::make_shared<AlertLog>();
    auto alert = std::make_shared<UIAlertView>("t", "m", log, std::nullopt, std::vector<std::string> { "a", "b" });
    EXPECT_EQ(alert->cancelButtonIndex(), -1);
    EXPECT_EQ(alert->firstOtherButtonIndex(), 0);
    alert->show();
    log.reset();
    EXPECT_TRUE(testsupport::tapAlertButton(1L));
    EXPECT_FALSE(alert->isVisible());
    EXPECT_FALSE(alert->clickButtonAtIndex(7));
}

TEST_F(UIKitTest, AlertTextFieldsFollowTheStyleAndTakeTheKeyboard)
{
    auto alert = std::make_shared<UIAlertView>(
        "登录", "", std::weak_ptr<UIAlertViewDelegate>(), "取消", std::vector<std::string> { "确定" });
    alert->setAlertViewStyle(UIAlertViewStyleLoginAndPasswordInput);
    ASSERT_NE(alert->textFieldAtIndex(1), nullptr);
    EXPECT_EQ(alert->textFieldAtIndex(2), nullptr);
    EXPECT_TRUE(alert->textFieldAtIndex(1)->isSecureTextEntry());
    EXPECT_FALSE(alert->textFieldAtIndex(0)->isSecureTextEntry());
    alert->show();
    EXPECT_TRUE(alert->textFieldAtIndex(0)->isFirstResponder());
    EXPECT_TRUE(testsupport::type(alert->textFieldAtIndex(0), "teacher"));
    EXPECT_EQ(alert->textFieldAtIndex(0)->text(), "teacher");
    testsupport::tapAlertButton("确定");
    EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr);
}

TEST_F(UIKitTest, ActionSheetIndexesDestructiveOthersThenCancel)
{
    auto log = std::make_shared<AlertLog>();
    auto sheet = std::make_shared<UIActionSheet>(
        "选择图片", log, "取消", "删除", std::vector<std::string> { "拍照", "从相册选择" });
    EXPECT_EQ(sheet->destructiveButtonIndex(), 0);
    EXPECT_EQ(sheet->firstOtherButtonIndex(), 1);
    EXPECT_EQ(sheet->cancelButtonIndex(), 3);
    EXPECT_EQ(sheet->numberOfButtons(), 4);
    sheet->setTag(12);
    sheet->showInView(window);
    EXPECT_EQ(testsupport::currentSheet(), sheet);
    EXPECT_EQ(sheet->shownInView(), window);
    EXPECT_TRUE(testsupport::tapSheetButton("拍照"));
    EXPECT_EQ(log->calls, (std::vector<std::string> { "sheet clicked 拍照", "sheet didDismiss 1" }));
    EXPECT_EQ(testsupport::currentSheet(), nullptr);

    // On screen, the cancel button is the lowest and a tap on it reaches the delegate.
    auto second = std::make_shared<UIActionSheet>("", log, "取消", std::nullopt, std::vector<std::string> { "保存" });
    second->showInView(window);
    second->layoutIfNeeded();
    auto cancel = std::dynamic_pointer_cast<UIButton>(testsupport::findViewByText(second, "取消"));
    auto save = std::dynamic_pointer_cast<UIButton>(testsupport::findViewByText(second, "保存"));
    ASSERT_TRUE(cancel && save);
    EXPECT_GT(cancel->convertRectToView(cancel->bounds(), nullptr).minY(),
        save->convertRectToView(save->bounds(), nullptr).maxY());
    EXPECT_LE(cancel->convertRectToView(cancel->bounds(), nullptr).maxY(), 568);
    EXPECT_TRUE(testsupport::tap(cancel));
    EXPECT_EQ(log->calls.back(), "sheet didDismiss 1");
}

TEST_F(UIKitTest, AlertsStackAboveSheetsAndEachOtherInShowOrder)
{
    auto sheet = std::make_shared<UIActionSheet>("s", std::weak_ptr<UIActionSheetDelegate>(), "取消", std::nullopt);
    sheet->showInView(window);
    auto first = std::make_shared<UIAlertView>("一", "", std::weak_ptr<UIAlertViewDelegate>(), "好");
    auto second = std::make_shared<UIAlertView>("二", "", std::weak_ptr<UIAlertViewDelegate>(), "好");
    first->show();
    second->show();
    second->show(); // showing twice changes nothing
    EXPECT_EQ(platform::ModalStack::views().size(), 3u);
    EXPECT_EQ(testsupport::currentAlert(), second);
    testsupport::tapAlertButton(0L);
    EXPECT_EQ(testsupport::currentAlert(), first);
    EXPECT_EQ(testsupport::currentSheet(), sheet);
    EXPECT_EQ(UIWindow::visibleWindows().size(), 3u); // the application's and two modal windows
}

TEST_F(UIKitTest, TappingAnAlertButtonMayCloseTheWindowBeingTouched)
{
    auto alert = std::make_shared<UIAlertView>("提示", "", std::weak_ptr<UIAlertViewDelegate>(), "好");
    alert->show();
    alert->layoutIfNeeded();
    auto button = testsupport::findViewByText(alert, "好");
    ASSERT_NE(button, nullptr);
    auto centre
        = button->convertPointToView(platform::Point(button->bounds().midX(), button->bounds().midY()), nullptr);
    // Only the stack owns the alert's window; the touch must keep it alive while the alert closes.
    UIWindow* modalWindow = platform::ModalStack::windowOf(alert.get()).get();
    ASSERT_NE(modalWindow, nullptr);
    EXPECT_EQ(modalWindow->beginTouches({ centre }), button);
    modalWindow->endTouches();
    EXPECT_FALSE(alert->isVisible());
    EXPECT_EQ(platform::ModalStack::windowOf(alert.get()), nullptr);
}
