// The insertion point of text fields and text views: drawn where the person
// types, blinking on the main loop's clock while editing and redrawing only
// itself, and kept in sight by scrolling the text.
#include "UIKitTestSupport.h"

#include "platform/graphics/Image.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/ModalStack.h"
#include "platform/uikit/UIActionSheet.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITextField.h"
#include "platform/uikit/UITextView.h"
#include "platform/uikit/ViewRenderer.h"

#include <functional>

using platform::Rect;

namespace {

constexpr double kScale = 2;

platform::Image renderWindow(UIWindow& window)
{
    auto image = platform::renderViewToImage(window, kScale);
    EXPECT_TRUE(image.has_value());
    return image ? *image : platform::Image();
}

// The caret's blue, give or take antialiasing.
bool isCaretBlue(std::array<std::uint8_t, 4> p) { return p[0] < 40 && p[1] > 90 && p[1] < 160 && p[2] > 220; }

int caretPixelsIn(const platform::Image& image, const Rect& screenRect)
{
    int count = 0;
    for (int y = int(screenRect.minY() * kScale); y < int(screenRect.maxY() * kScale); ++y)
        for (int x = int(screenRect.minX() * kScale); x < int(screenRect.maxX() * kScale); ++x)
            count += isCaretBlue(image.pixelAt(x, y)) ? 1 : 0;
    return count;
}

int darkPixelsIn(const platform::Image& image, const Rect& screenRect)
{
    int count = 0;
    for (int y = int(screenRect.minY() * kScale); y < int(screenRect.maxY() * kScale); ++y)
        for (int x = int(screenRect.minX() * kScale); x < int(screenRect.maxX() * kScale); ++x)
            count += image.pixelAt(x, y)[0] < 128 ? 1 : 0;
    return count;
}

// The smallest rectangle (in points) holding every pixel that differs.
Rect changedArea(const platform::Image& a, const platform::Image& b)
{
    int minX = a.pixelWidth(), minY = a.pixelHeight(), maxX = -1, maxY = -1;
    for (int y = 0; y < a.pixelHeight(); ++y) {
        for (int x = 0; x < a.pixelWidth(); ++x) {
            if (a.pixelAt(x, y) != b.pixelAt(x, y)) {
                minX = std::min(minX, x);
                minY = std::min(minY, y);
                maxX = std::max(maxX, x);
                maxY = std::max(maxY, y);
            }
        }
    }
    if (maxX < 0)
        return Rect::null();
    return Rect(minX / kScale, minY / kScale, (maxX + 1 - minX) / kScale, (maxY + 1 - minY) / kScale);
}

std::vector<UIView*> viewsNeedingDisplay(UIView& root)
{
    std::vector<UIView*> found;
    std::function<void(UIView&)> walk = [&](UIView& view) {
        if (view.needsDisplay())
            found.push_back(&view);
        for (auto& sub : view.subviews())
            walk(*sub);
    };
    walk(root);
    return found;
}

class Caret : public UIKitTest {
protected:
    void SetUp() override
    {
        UIKitTest::SetUp();
        window->setBackgroundColor(UIColor::whiteColor());
        field = std::make_shared<UITextField>(Rect(20, 100, 280, 31));
        field->setBorderStyle(UITextBorderStyleRoundedRect);
        window->addSubview(field);
        label = std::make_shared<UILabel>(Rect(20, 200, 280, 40));
        label->setText("家校互动");
        window->addSubview(label);
    }
    Rect onScreen(const std::shared_ptr<UIView>& view, const Rect& rect) const
    {
        return view->convertRectToView(rect, window.get());
    }
    std::shared_ptr<UITextField> field;
    std::shared_ptr<UILabel> label;
};

} // namespace

TEST_F(Caret, BlinksAtTheInsertionPointOnlyWhileTheFieldEdits)
{
    field->setText("abc");
    auto image = renderWindow(*window);
    EXPECT_EQ(caretPixelsIn(image, field->frame()), 0) << "no caret before the field has focus";

    ASSERT_TRUE(testsupport::tap(field));
    ASSERT_TRUE(field->isFirstResponder());
    EXPECT_EQ(field->caretLocation(), 3u);
    Rect area = field->editingRectForBounds(field->bounds());
    Rect caret = field->caretRect();
    EXPECT_DOUBLE_EQ(caret.minX(), area.minX() + field->font().widthOf("abc")) << "after the last character";
    EXPECT_GT(caret.height(), 10);
    image = renderWindow(*window);
    EXPECT_GT(caretPixelsIn(image, onScreen(field, caret)), 40);
    EXPECT_EQ(caretPixelsIn(image, field->frame()), caretPixelsIn(image, onScreen(field, caret)))
        << "blue nowhere else in the field";

    // Half a second off, half a second on, on the loop's clock.
    loop->advance(0.5);
    EXPECT_FALSE(field->isCaretShown());
    EXPECT_EQ(caretPixelsIn(renderWindow(*window), field->frame()), 0);
    loop->advance(0.5);
    EXPECT_TRUE(field->isCaretShown());
    EXPECT_GT(caretPixelsIn(renderWindow(*window), onScreen(field, caret)), 40);

    // Typing shows it at once, after the new character; moving it moves the drawing.
    loop->advance(0.5);
    ASSERT_FALSE(field->isCaretShown());
    ASSERT_TRUE(testsupport::type(field, "d"));
    EXPECT_TRUE(field->isCaretShown());
    EXPECT_EQ(field->caretLocation(), 4u);
    field->setCaretLocation(1);
    Rect moved = field->caretRect();
    EXPECT_DOUBLE_EQ(moved.minX(), area.minX() + field->font().widthOf("a"));
    image = renderWindow(*window);
    EXPECT_GT(caretPixelsIn(image, onScreen(field, moved)), 40);
    EXPECT_EQ(caretPixelsIn(image, onScreen(field, caret)), 0);

    // Away from the keyboard: no caret and no timer.
    ASSERT_TRUE(field->resignFirstResponder());
    EXPECT_EQ(caretPixelsIn(renderWindow(*window), field->frame()), 0);
    loop->advance(2);
    EXPECT_FALSE(field->isCaretShown());
    EXPECT_TRUE(viewsNeedingDisplay(*window).empty()) << "nothing blinks on an idle screen";
}

TEST_F(Caret, ABlinkRedrawsOnlyTheCaretsRectangle)
{
    field->setText("13800000001");
    ASSERT_TRUE(testsupport::tap(field));
    ASSERT_TRUE(platform::Keyboard::isVisible());
    auto before = renderWindow(*window);
    ASSERT_TRUE(viewsNeedingDisplay(*window).empty());

    loop->advance(0.5);
    auto dirty = viewsNeedingDisplay(*window);
    ASSERT_EQ(dirty.size(), 1u);
    EXPECT_EQ(dirty.front(), field.get());
    EXPECT_EQ(field->needsDisplayRect(), field->caretRect());
    auto after = renderWindow(*window);
    Rect changed = changedArea(before, after);
    ASSERT_FALSE(changed.isNull()) << "the caret went out";
    EXPECT_TRUE(onScreen(field, field->caretRect()).insetBy(-0.5, -0.5).contains(changed))
        << "changed " << changed.minX() << "," << changed.minY() << " " << changed.width() << "x" << changed.height();

    // A whole redraw still covers the bounds.
    field->setNeedsDisplay();
    EXPECT_EQ(field->needsDisplayRect(), field->bounds());
}

TEST_F(Caret, AFieldScrollsSoThatTheCaretStaysInSight)
{
    auto narrow = std::make_shared<UITextField>(Rect(20, 300, 120, 30));
    narrow->setFont(UIFont::systemFont(15));
    window->addSubview(narrow);
    ASSERT_TRUE(testsupport::tap(narrow));
    // Dots first, heavy letters last: what shows at the caret tells which end is drawn.
    std::string text(40, '.');
    text += "MMMMMM";
    ASSERT_TRUE(testsupport::type(narrow, text));
    Rect area = narrow->editingRectForBounds(narrow->bounds());
    Rect caret = narrow->caretRect();
    EXPECT_GT(narrow->textScrollOffset(), 0);
    EXPECT_GE(caret.minX(), area.minX());
    EXPECT_LE(caret.maxX(), area.maxX() + 1e-9);
    EXPECT_NEAR(caret.maxX(), area.maxX(), 1) << "the caret rides the right edge while typing at the end";
    auto image = renderWindow(*window);
    Rect justBefore(caret.minX() - 30, 0, 30, narrow->bounds().height());
    Rect gap(caret.minX() - 4, 0, 4, narrow->bounds().height());
    EXPECT_GT(darkPixelsIn(image, onScreen(narrow, gap)), 4) << "the text reaches the caret, glyphs spread to the model";
    int atCaret = darkPixelsIn(image, onScreen(narrow, justBefore));
    EXPECT_GT(atCaret, 200) << "the last letters are drawn at the caret";
    EXPECT_GT(caretPixelsIn(image, onScreen(narrow, caret)), 20);
    EXPECT_EQ(darkPixelsIn(image, onScreen(narrow, area).offsetBy(area.width(), 0)), 0) << "nothing outside the field";

    // Back to the start: the text scrolls back.
    narrow->setCaretLocation(0);
    EXPECT_DOUBLE_EQ(narrow->textScrollOffset(), 0);
    EXPECT_DOUBLE_EQ(narrow->caretRect().minX(), area.minX());
    narrow->setCaretLocation(text.size());
    EXPECT_GT(narrow->textScrollOffset(), 0);

    // Away from the keyboard a field shows the beginning of its text.
    ASSERT_TRUE(narrow->resignFirstResponder());
    EXPECT_DOUBLE_EQ(narrow->textScrollOffset(), 0);
    image = renderWindow(*window);
    EXPECT_LT(darkPixelsIn(image, onScreen(narrow, Rect(area.minX(), 0, 30, narrow->bounds().height()))), atCaret / 2)
        << "the dots show again";
}

TEST_F(Caret, ATextViewScrollsDownAsLinesAreTyped)
{
    auto textView = std::make_shared<UITextView>(Rect(20, 300, 200, 60));
    textView->setFont(UIFont::systemFont(14));
    window->addSubview(textView);
    ASSERT_TRUE(testsupport::tap(textView));
    EXPECT_TRUE(textView->isCaretShown());
    Rect first = textView->caretRect();
    EXPECT_DOUBLE_EQ(first.minX(), UITextView::kLinePadding);
    EXPECT_DOUBLE_EQ(first.minY(), UITextView::kVerticalInset);

    ASSERT_TRUE(testsupport::type(textView, "第一行"));
    EXPECT_DOUBLE_EQ(textView->caretRect().minX(), UITextView::kLinePadding + 3 * 14);
    for (int i = 0; i < 6; ++i)
        ASSERT_TRUE(testsupport::type(textView, "\n明天上午九点开家长会，请准时参加"));
    Rect caret = textView->caretRect();
    EXPECT_GT(textView->contentOffset().y, 0);
    EXPECT_GE(caret.minY(), 0);
    EXPECT_LE(caret.maxY(), textView->bounds().height());
    auto image = renderWindow(*window);
    EXPECT_GT(caretPixelsIn(image, onScreen(textView, caret)), 20);

    // A caret after a line break is at the start of the next line.
    double lineHeight = textView->font().lineHeight();
    textView->setCaretLocation(0);
    EXPECT_DOUBLE_EQ(textView->contentOffset().y, 0);
    EXPECT_DOUBLE_EQ(textView->caretRect().minY(), UITextView::kVerticalInset);
    textView->setCaretLocation(4); // after the first line's break
    EXPECT_DOUBLE_EQ(textView->caretRect().minY(), UITextView::kVerticalInset + lineHeight);
}

TEST_F(Caret, ASheetShownOverTheKeyboardSendsItAwayFirst)
{
    struct Refusing : UITextFieldDelegate {
        bool textFieldShouldEndEditing(UITextField*) override { return false; }
    };
    struct Chooser : UIActionSheetDelegate {
        void actionSheetClickedButton(UIActionSheet*, long index) override { chosen.push_back(index); }
        std::vector<long> chosen;
    };
    auto refusing = std::make_shared<Refusing>();
    auto chooser = std::make_shared<Chooser>();
    for (bool refuses : { false, true }) {
        field->setDelegate(refuses ? std::weak_ptr<UITextFieldDelegate>(refusing) : std::weak_ptr<UITextFieldDelegate>());
        ASSERT_TRUE(testsupport::tap(field));
        ASSERT_TRUE(platform::Keyboard::isVisible());
        auto sheet = std::make_shared<UIActionSheet>("选择一张图片", chooser, std::string("取消"), std::nullopt,
            std::vector<std::string> { "从相册中选取" });
        sheet->showInView(window);
        EXPECT_FALSE(platform::Keyboard::isVisible()) << (refuses ? "even when the field would stay" : "");
        EXPECT_FALSE(field->isFirstResponder());
        EXPECT_FALSE(field->isCaretShown());
        ASSERT_TRUE(testsupport::tapSheetButton("从相册中选取"));
        EXPECT_EQ(platform::ModalStack::top(), nullptr);
    }
    EXPECT_EQ(chooser->chosen, (std::vector<long> { 0, 0 }));
}
