#include "UIKitTestSupport.h"

#include "platform/os/StringUtil.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/UIPickerView.h"
#include "platform/uikit/UIScreen.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/UIToolbar.h"

using platform::Rect;

namespace {

// Logs every delegate call, and can refuse by rule.
class FieldDelegate final : public UITextFieldDelegate {
public:
    bool textFieldShouldBeginEditing(UITextField*) override
    {
        calls.push_back("shouldBegin");
        return allowBegin;
    }
    void textFieldDidBeginEditing(UITextField*) override { calls.push_back("didBegin"); }
    bool textFieldShouldEndEditing(UITextField*) override
    {
        calls.push_back("shouldEnd");
        return allowEnd;
    }
    void textFieldDidEndEditing(UITextField*) override { calls.push_back("didEnd"); }
    bool textFieldShouldChangeCharacters(UITextField* field, NSRange range, const std::string& text) override
    {
        calls.push_back(
            "shouldChange " + std::to_string(range.location) + "," + std::to_string(range.length) + " '" + text + "'");
        // A limit of 5 characters, counted as the phone counts them.
        return platform::utf16Length(field->text()) - range.length + platform::utf16Length(text) <= 5;
    }
    bool textFieldShouldReturn(UITextField* field) override
    {
        calls.push_back("shouldReturn");
        field->resignFirstResponder();
        return false;
    }
    std::vector<std::string> calls;
    bool allowBegin = true;
    bool allowEnd = true;
};

} // namespace

class TextInput : public UIKitTest {
protected:
    void SetUp() override
    {
        UIKitTest::SetUp();
        field = std::make_shared<UITextField>(Rect(20, 100, 280, 31));
        field->setBorderStyle(UITextBorderStyleRoundedRect);
        window->addSubview(field);
        delegate = std::make_shared<FieldDelegate>();
        field->setDelegate(delegate);
        recorder = std::make_unique<NotificationRecorder>();
    }
    std::shared_ptr<UITextField> field;
    std::shared_ptr<FieldDelegate> delegate;
    std::unique_ptr<NotificationRecorder> recorder;
};

TEST_F(TextInput, BecomingFirstResponderAsksTellsThenBringsTheKeyboard)
{
    std::vector<std::string> order;
    field->addAction([&](UIControl*) { order.push_back("EditingDidBegin"); }, UIControlEventEditingDidBegin);
    auto keyboard = platform::NotificationCenter::defaultCenter().addObserver(UIKeyboardWillShowNotification,
        platform::Value(), [&](const platform::Notification&) { order.push_back("willShow"); });
    EXPECT_TRUE(testsupport::tap(field));
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(field->isEditing());
    EXPECT_EQ(delegate->calls, (std::vector<std::string> { "shouldBegin", "didBegin" }));
    EXPECT_EQ(order, (std::vector<std::string> { "EditingDidBegin", "willShow" }));
    EXPECT_EQ(recorder->names(),
        (std::vector<std::string> { UITextFieldTextDidBeginEditingNotification, UIKeyboardWillShowNotification,
            UIKeyboardDidShowNotification }));

    auto& willShow = recorder->posted[1];
    auto end = platform::rectFromValue(willShow.userInfo.get(UIKeyboardFrameEndUserInfoKey));
    ASSERT_TRUE(end);
    EXPECT_EQ(*end, Rect(0, 568 - 216, 320, 216));
    auto begin = platform::rectFromValue(willShow.userInfo.get(UIKeyboardFrameBeginUserInfoKey));
    ASSERT_TRUE(begin);
    EXPECT_EQ(begin->origin.y, 568);
    EXPECT_DOUBLE_EQ(willShow.userInfo.get(UIKeyboardAnimationDurationUserInfoKey).doubleValue(), 0.25);
    EXPECT_TRUE(platform::Keyboard::isVisible());

    // Tapping again changes nothing.
    testsupport::tap(field);
    EXPECT_EQ(recorder->posted.size(), 3u);
}

TEST_F(TextInput, TheKeyboardFollowsTheScreenSize)
{
    UIScreen::setKind(UIScreen::Kind::ThreePointFiveInch);
    ASSERT_TRUE(field->becomeFirstResponder());
    auto end = platform::rectFromValue(recorder->posted[1].userInfo.get(UIKeyboardFrameEndUserInfoKey));
    ASSERT_TRUE(end);
    EXPECT_EQ(*end, Rect(0, 480 - 216, 320, 216));
}

TEST_F(TextInput, ARefusingDelegateKeepsTheFieldFromEditing)
{
    delegate->allowBegin = false;
    EXPECT_FALSE(field->becomeFirstResponder());
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_TRUE(recorder->posted.empty());
    EXPECT_FALSE(testsupport::type(field, "abc"));
    EXPECT_EQ(field->text(), "");

    // Nor can a field outside a window, or a disabled one, become first responder.
    auto loose = std::make_shared<UITextField>(Rect(0, 0, 10, 10));
    EXPECT_FALSE(loose->becomeFirstResponder());
    delegate->allowBegin = true;
    field->setEnabled(false);
    EXPECT_FALSE(field->becomeFirstResponder());
}

TEST_F(TextInput, TypingAsksPerCharacterAndHonoursTheAnswer)
{
    int changed = 0;
    field->addAction([&](UIControl*) { ++changed; }, UIControlEventEditingChanged);
    EXPECT_FALSE(testsupport::type(field, "ab中文字z")); // the sixth character is refused
    EXPECT_EQ(field->text(), "ab中文字");
    EXPECT_EQ(changed, 5);
    std::vector<std::string> changes(delegate->calls.begin() + 2, delegate->calls.end());
    EXPECT_EQ(changes,
        (std::vector<std::string> { "shouldChange 0,0 'a'", "shouldChange 1,0 'b'", "shouldChange 2,0 '中'",
            "shouldChange 3,0 '文'", "shouldChange 4,0 '字'", "shouldChange 5,0 'z'" }));

    // Deleting takes whole characters, even a pair of UTF-16 units.
    EXPECT_TRUE(field->deleteBackward());
    EXPECT_EQ(field->text(), "ab中文");
    // An emoji counts two units: 4 + 2 is over the limit of 5, 3 + 2 is not.
    EXPECT_FALSE(testsupport::type(field, "😀"));
    EXPECT_EQ(field->text(), "ab中文");
    EXPECT_TRUE(field->deleteBackward());
    EXPECT_TRUE(testsupport::type(field, "😀"));
    EXPECT_EQ(delegate->calls.back(), "shouldChange 3,0 '😀'");
    EXPECT_TRUE(field->deleteBackward());
    EXPECT_EQ(delegate->calls.back(), "shouldChange 3,2 ''");
    EXPECT_EQ(field->text(), "ab中");
    // Ranges beyond the text are refused without asking.
    auto calls = delegate->calls.size();
    EXPECT_FALSE(field->replaceCharacters(NSRange { 3, 9 }, "x"));
    EXPECT_EQ(delegate->calls.size(), calls);
    // Text set from code sends nothing.
    int before = changed;
    field->setText("code");
    EXPECT_EQ(changed, before);
}

TEST_F(TextInput, ReturnKeyAndResigningEndEditingAndHideTheKeyboard)
{
    testsupport::tap(field);
    recorder->posted.clear();
    EXPECT_TRUE(testsupport::returnKey(field) == false); // the delegate answers no, after resigning itself
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_EQ(delegate->calls,
        (std::vector<std::string> { "shouldBegin", "didBegin", "shouldReturn", "shouldEnd", "didEnd" }));
    EXPECT_EQ(recorder->names(),
        (std::vector<std::string> {
            UITextFieldTextDidEndEditingNotification, UIKeyboardWillHideNotification, UIKeyboardDidHideNotification }));
    EXPECT_FALSE(platform::Keyboard::isVisible());
}

TEST_F(TextInput, FieldThatRefusesToEndKeepsTheKeyboardUnlessForced)
{
    testsupport::tap(field);
    delegate->allowEnd = false;
    EXPECT_FALSE(field->resignFirstResponder());
    EXPECT_FALSE(window->endEditing(false));
    EXPECT_TRUE(field->isFirstResponder());
    EXPECT_TRUE(window->endEditing(true));
    EXPECT_FALSE(field->isFirstResponder());
    EXPECT_FALSE(platform::Keyboard::isVisible());
}

TEST_F(TextInput, MovingBetweenFieldsKeepsTheKeyboardUp)
{
    auto second = std::make_shared<UITextField>(Rect(20, 200, 280, 31));
    window->addSubview(second);
    testsupport::tap(field);
    recorder->posted.clear();
    testsupport::tap(second);
    EXPECT_TRUE(second->isFirstResponder());
    EXPECT_EQ(recorder->names(),
        (std::vector<std::string> {
            UITextFieldTextDidEndEditingNotification, UITextFieldTextDidBeginEditingNotification }));
    // Removing the editing field from the screen gives the keyboard up.
    second->removeFromSuperview();
    EXPECT_FALSE(platform::Keyboard::isVisible());
    EXPECT_EQ(recorder->names().back(), UIKeyboardDidHideNotification);
}

TEST_F(TextInput, AnInputViewAndAccessoryChangeTheKeyboardHeight)
{
    auto picker = std::make_shared<UIPickerView>();
    auto toolbar = std::make_shared<UIToolbar>();
    field->setInputView(picker);
    field->setInputAccessoryView(toolbar);
    field->becomeFirstResponder();
    auto end = platform::rectFromValue(recorder->posted[1].userInfo.get(UIKeyboardFrameEndUserInfoKey));
    ASSERT_TRUE(end);
    EXPECT_EQ(*end, Rect(0, 568 - 260, 320, 260));
}

TEST_F(TextInput, SecureEntryShowsBulletsAndTheClearButtonAsks)
{
    field->setSecureTextEntry(true);
    field->setText("pa中");
    EXPECT_EQ(field->displayedText(), "\u2022\u2022\u2022");
    int changed = 0;
    field->addAction([&](UIControl*) { ++changed; }, UIControlEventEditingChanged);
    EXPECT_TRUE(field->clearText());
    EXPECT_EQ(field->text(), "");
    EXPECT_EQ(changed, 1);
}

TEST_F(UIKitTest, TextViewTypesThroughItsDelegateAndMeasuresItsContent)
{
    class Delegate final : public UITextViewDelegate {
    public:
        void textViewDidChange(UITextView* view) override { texts.push_back(view->text()); }
        std::vector<std::string> texts;
    };
    auto textView = std::make_shared<UITextView>(Rect(0, 0, 110, 100));
    textView->setFont(UIFont::systemFont(10));
    window->addSubview(textView);
    auto delegate = std::make_shared<Delegate>();
    textView->setDelegate(delegate);
    EXPECT_TRUE(testsupport::type(textView, "ab"));
    EXPECT_EQ(delegate->texts, (std::vector<std::string> { "a", "ab" }));
    // One line of 12 points plus the insets.
    EXPECT_EQ(textView->contentSize(), platform::Size(110, 12 + 16));
    // 100 points of text width: twenty full-width characters of 10 points make two lines.
    textView->setText("一二三四五六七八九十一二三四五六七八九十");
    EXPECT_EQ(textView->contentSize(), platform::Size(110, 24 + 16));
    textView->setEditable(false);
    EXPECT_FALSE(textView->isFirstResponder());
    EXPECT_FALSE(textView->insertText("x"));
}

TEST_F(TextInput, AnEditingFieldThatIsDestroyedTakesTheKeyboardAlong)
{
    auto container = std::make_shared<UIWindow>();
    container->setVisible(true);
    auto doomed = std::make_shared<UITextField>(Rect(0, 0, 100, 30));
    container->addSubview(doomed);
    ASSERT_TRUE(doomed->becomeFirstResponder());
    ASSERT_TRUE(platform::Keyboard::isVisible());
    recorder->posted.clear();
    doomed.reset();
    container.reset(); // the window and the field go away without resigning
    EXPECT_EQ(UIResponder::currentFirstResponder(), nullptr);
    loop->runUntilIdle();
    EXPECT_FALSE(platform::Keyboard::isVisible());
    EXPECT_EQ(recorder->names(),
        (std::vector<std::string> { UIKeyboardWillHideNotification, UIKeyboardDidHideNotification }));
}

// A text view draws its text: dark pixels in its first line, on its white.
TEST(TextViewDrawing, DrawsItsText)
{
    auto view = std::make_shared<UITextView>(platform::Rect(0, 0, 200, 60));
    view->setText("写字 Text");
    auto image = view->renderToImage(1.0);
    ASSERT_TRUE(image);
    int dark = 0;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x)
            dark += image->pixelAt(x, y)[0] < 128 ? 1 : 0;
    EXPECT_GT(dark, 20);
    view->setText("");
    image = view->renderToImage(1.0);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->pixelAt(20, 15)[0], 255);
}
