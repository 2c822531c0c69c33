#include "platform/graphics/Text.h"

#include "GraphicsTestSupport.h"
#include "platform/graphics/Context.h"

#include <gtest/gtest.h>

#include "platform/os/StringUtil.h"

#include <limits>
#include <string_view>

using platform::Color;
using platform::Context;
using platform::Font;
using platform::LineBreakMode;
using platform::Rect;
using platform::Size;
using platform::TextAlignment;
using platform::TextLayout;

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

std::vector<std::string> lineTexts(const TextLayout& layout)
{
    std::vector<std::string> out;
    for (const auto& line : layout.lines)
        out.push_back(line.text);
    return out;
}

using Lines = std::vector<std::string>;

// "hello" 22.5, " " 3, "world" 28, " " 3, "foo" 16.5 at 10 points.
constexpr const char* kSentence = "hello world foo";

} // namespace

TEST(TextTest, AdvancesFollowTheDocumentedTable)
{
    Font f = Font::systemFont(10);
    EXPECT_DOUBLE_EQ(f.advance(U'a'), 5.5);
    EXPECT_DOUBLE_EQ(f.advance(U'7'), 5.5);
    EXPECT_DOUBLE_EQ(f.advance(U'i'), 3);
    EXPECT_DOUBLE_EQ(f.advance(U'.'), 3);
    EXPECT_DOUBLE_EQ(f.advance(U'H'), 6.5);
    EXPECT_DOUBLE_EQ(f.advance(U'W'), 8.5);
    EXPECT_DOUBLE_EQ(f.advance(U' '), 3);
    EXPECT_DOUBLE_EQ(f.advance(U'中'), 10);
    EXPECT_DOUBLE_EQ(f.advance(U'，'), 10) << "full-width punctuation";
    EXPECT_DOUBLE_EQ(f.advance(U'é'), 6);
    EXPECT_DOUBLE_EQ(f.advance(0x301), 0) << "combining accent";
    EXPECT_DOUBLE_EQ(f.advance(0x1F600), 10) << "emoji";
    Font bold = Font::boldSystemFont(10);
    EXPECT_DOUBLE_EQ(bold.advance(U'a'), 6.05);
    EXPECT_DOUBLE_EQ(bold.advance(U'中'), 10);
    EXPECT_DOUBLE_EQ(f.lineHeight(), 12);
    EXPECT_DOUBLE_EQ(f.ascender(), 9.5);
    EXPECT_DOUBLE_EQ(f.descender(), -2.5);
    // A composed character counts once, by its base.
    EXPECT_DOUBLE_EQ(f.widthOf("e\u0301"), 5.5);
    EXPECT_DOUBLE_EQ(f.widthOf("👍🏽"), 10);
}

TEST(TextTest, FontsByName)
{
    EXPECT_TRUE(Font::named("Helvetica-Bold", 12).bold);
    EXPECT_TRUE(Font::named("STHeitiSC-BOLD", 12).bold);
    EXPECT_FALSE(Font::named("STHeitiSC-Light", 12).bold);
    EXPECT_EQ(Font::named("Arial", 15).pointSize, 15);
    EXPECT_DOUBLE_EQ(Font::systemFont(kNaN).lineHeight(), 0);
    EXPECT_DOUBLE_EQ(Font::systemFont(-4).advance(U'a'), 0);
}

TEST(TextTest, MeasuresAsciiCjkAndMixedText)
{
    Font f = Font::systemFont(10);
    EXPECT_EQ(platform::measureText("abc", f), Size(17, 12)) << "16.5 rounds up";
    EXPECT_EQ(platform::measureText("Hi", f), Size(10, 12)) << "9.5";
    EXPECT_EQ(platform::measureText("中文", Font::systemFont(17)), Size(34, 21)) << "20.4 rounds up";
    EXPECT_EQ(platform::measureText("ab中", f), Size(21, 12));
    EXPECT_EQ(platform::measureText("abc", Font::boldSystemFont(10)), Size(19, 12)) << "18.15";
    EXPECT_EQ(platform::measureText("", f), Size(0, 0));
    EXPECT_EQ(platform::measureText("ab   ", f), Size(11, 12)) << "trailing spaces hang";
    EXPECT_EQ(platform::measureText("a\nbb", f), Size(11, 24));
    EXPECT_EQ(platform::measureText("a\n", f), Size(6, 24)) << "a final break opens an empty line";
    EXPECT_EQ(platform::measureText("a\r\nb", f), Size(6, 24)) << "CR LF is one break";

    TextLayout exact = platform::layoutText("abc", f);
    EXPECT_DOUBLE_EQ(exact.size.width, 16.5);
    EXPECT_DOUBLE_EQ(exact.size.height, 12);
}

TEST(TextTest, WrapsLatinByWord)
{
    Font f = Font::systemFont(10);
    TextLayout layout = platform::layoutText(kSentence, f, Size(40, platform::kUnlimitedTextExtent));
    EXPECT_EQ(lineTexts(layout), (Lines { "hello", "world", "foo" }));
    EXPECT_DOUBLE_EQ(layout.lines[0].width, 22.5);
    EXPECT_DOUBLE_EQ(layout.lines[1].origin.y, 12);
    EXPECT_EQ(layout.lines[1].sourceBegin, 6u);
    EXPECT_EQ(layout.lines[1].sourceEnd, 12u) << "the hanging space belongs to the line";
    EXPECT_EQ(platform::measureText(kSentence, f, Size(40, 1000)), Size(28, 36));

    // A word longer than the line is broken by character ("ghij" is 17: i and j are narrow).
    EXPECT_EQ(lineTexts(platform::layoutText("abcdefghij", f, Size(20, 1000))), (Lines { "abc", "def", "ghij" }));
    // Exactly full still fits.
    EXPECT_EQ(platform::layoutText("ab", f, Size(11, 1000)).lines.size(), 1u);
}

TEST(TextTest, WrapsCjkByCharacterAndMixedTextAtTheBoundaries)
{
    Font f = Font::systemFont(10);
    TextLayout cjk = platform::layoutText("一二三四五六七", f, Size(35, 1000));
    EXPECT_EQ(lineTexts(cjk), (Lines { "一二三", "四五六", "七" }));
    EXPECT_EQ(platform::measureText("一二三四五六七", f, Size(35, 1000)), Size(30, 36));

    // Latin next to CJK may break at the boundary; Latin words stay whole.
    EXPECT_EQ(lineTexts(platform::layoutText("ab中文cd", f, Size(25, 1000))), (Lines { "ab中", "文cd" }));
    EXPECT_EQ(lineTexts(platform::layoutText("中文abcdef", f, Size(40, 1000))), (Lines { "中文", "abcdef" }));

    // Character wrap breaks anywhere.
    EXPECT_EQ(lineTexts(platform::layoutText(kSentence, f, Size(40, 1000), LineBreakMode::CharWrap)),
        (Lines { "hello wo", "rld foo" }));
}

TEST(TextTest, PunctuationKeepsToItsNeighbourAcrossLineBreaks)
{
    Font f = Font::systemFont(10); // a full-width character is 10 points
    struct Case {
        const char* text;
        double width;
        Lines lines;
    };
    for (const Case& c : {
             Case { "你好，世界。", 20, { "你", "好，", "世", "界。" } },
             Case { "明天来吗？", 40, { "明天来", "吗？" } },
             Case { "他说「好」吗", 30, { "他说", "「好」", "吗" } },
             Case { "（注意）请看", 30, { "（注", "意）请", "看" } },
             Case { "好的！！", 30, { "好", "的！！" } },
             Case { "请看“通知”", 32, { "请看", "“通知”" } },
             Case { "Hello 世界！ OK", 50, { "Hello 世", "界！ OK" } },
             Case { "中文abc def", 45, { "中文abc", "def" } },
             Case { "到“家校互动”。请保持", 60, { "到“家校互", "动”。请保持" } },
             Case { "一二三四五", 20, { "一二", "三四", "五" } },
         }) {
        EXPECT_EQ(lineTexts(platform::layoutText(c.text, f, Size(c.width, 1000))), c.lines)
            << c.text << " in " << c.width;
        bool latin = std::string_view(c.text).find_first_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ")
            != std::string_view::npos;
        if (!latin) {
            EXPECT_EQ(lineTexts(platform::layoutText(c.text, f, Size(c.width, 1000), LineBreakMode::CharWrap)),
                c.lines)
                << c.text << " in " << c.width << " by character";
        }
    }
    // A character that cannot fit with its neighbour anyway still goes on:
    // one character a line, nothing lost.
    EXPECT_EQ(lineTexts(platform::layoutText("好。", f, Size(10, 1000))), (Lines { "好", "。" }));
    // A word broken because it is wider than the line leaves its closing
    // punctuation with a letter.
    EXPECT_EQ(lineTexts(platform::layoutText("thanks!", f, Size(34, 1000))), (Lines { "thank", "s!" }));
}

TEST(TextTest, WrappingLosesNoCharacterAndBreaksWhereAReaderExpects)
{
    Font f = Font::systemFont(14);
    const std::string closing = "。，、？！）」』】》；：”.,!?)";
    const std::string opening = "（「『【《“(";
    auto startsWithAny = [](const std::string& text, const std::string& set) {
        for (const auto& c : platform::composedCharacters(set))
            if (text.rfind(set.substr(c.byteOffset, c.byteLength), 0) == 0)
                return true;
        return false;
    };
    auto endsWithAny = [](const std::string& text, const std::string& set) {
        for (const auto& c : platform::composedCharacters(set)) {
            std::string piece = set.substr(c.byteOffset, c.byteLength);
            if (text.size() >= piece.size() && text.compare(text.size() - piece.size(), piece.size(), piece) == 0)
                return true;
        }
        return false;
    };
    for (const std::string& text : {
             std::string("欢迎使用东岭瑞鸥！班级公告、考勤查询、班级课表等功能都在“功能导航”里；学校和老师的消息会及时"
                         "推送到“家校互动”。请保持网络畅通，使用中遇到问题可在“设置”中提交意见反馈。"),
             std::string("老师（语文）说：「明天交作业！」好吗？可以。Please bring the book (page 12), thanks!"),
             std::string("《家长须知》【重要】请家长们注意：周五放学时间提前到下午3:30，谢谢配合！！"),
         }) {
        for (double width = 42; width <= 230; width += 3.5) {
            TextLayout layout = platform::layoutText(text, f, Size(width, 10000));
            ASSERT_FALSE(layout.lines.empty());
            std::size_t at = 0;
            for (std::size_t n = 0; n < layout.lines.size(); ++n) {
                const auto& line = layout.lines[n];
                SCOPED_TRACE(std::to_string(width) + ": line " + std::to_string(n) + " [" + line.text + "]");
                ASSERT_EQ(line.sourceBegin, at) << "every character is on a line, in order";
                std::string source = text.substr(line.sourceBegin, line.sourceEnd - line.sourceBegin);
                std::string shown = source;
                while (!shown.empty() && shown.back() == ' ')
                    shown.pop_back();
                EXPECT_EQ(line.text, shown) << "only the spaces the line breaks at are left out";
                EXPECT_LE(f.widthOf(line.text), width + 1e-9);
                EXPECT_DOUBLE_EQ(line.width, f.widthOf(line.text));
                if (n > 0) {
                    EXPECT_FALSE(startsWithAny(line.text, closing)) << "closing punctuation starts a line";
                }
                if (n + 1 < layout.lines.size()) {
                    EXPECT_FALSE(endsWithAny(line.text, opening)) << "opening punctuation ends a line";
                }
                at = line.sourceEnd;
            }
            EXPECT_EQ(at, text.size());
        }
    }
}

TEST(TextTest, LineLimitsByCountAndHeight)
{
    Font f = Font::systemFont(10);
    TextLayout two = platform::layoutText(kSentence, f, Size(40, 1000), LineBreakMode::WordWrap, 2);
    EXPECT_EQ(lineTexts(two), (Lines { "hello", "world" }));
    EXPECT_TRUE(two.truncated);
    EXPECT_EQ(platform::measureText(kSentence, f, Size(40, 30)), Size(28, 24)) << "30 points hold two 12-point lines";
    EXPECT_EQ(platform::measureText(kSentence, f, Size(40, 5)), Size(23, 12)) << "at least one line";
    EXPECT_EQ(platform::layoutText(kSentence, f, Size(40, 1000), LineBreakMode::WordWrap, 0).lines.size(), 3u);
    EXPECT_FALSE(platform::layoutText(kSentence, f, Size(40, 1000)).truncated);
}

TEST(TextTest, TruncationModes)
{
    Font f = Font::systemFont(10);
    auto one = [&](LineBreakMode mode) { return platform::layoutText(kSentence, f, Size(40, 1000), mode, 1); };
    TextLayout tail = one(LineBreakMode::TruncateTail);
    ASSERT_EQ(tail.lines.size(), 1u);
    EXPECT_EQ(tail.lines[0].text, "hello…");
    EXPECT_DOUBLE_EQ(tail.lines[0].width, 32.5);
    EXPECT_TRUE(tail.lines[0].truncated);
    EXPECT_EQ(tail.lines[0].sourceEnd, std::string(kSentence).size());
    EXPECT_EQ(one(LineBreakMode::TruncateHead).lines[0].text, "…ld foo");
    EXPECT_EQ(one(LineBreakMode::TruncateMiddle).lines[0].text, "hell…oo");
    EXPECT_EQ(one(LineBreakMode::Clip).lines[0].text, "hello wo");
    EXPECT_EQ(one(LineBreakMode::WordWrap).lines[0].text, "hello");

    // The last of several lines takes the rest of its paragraph.
    TextLayout twoTail = platform::layoutText("one two three four", f, Size(45, 1000), LineBreakMode::TruncateTail, 2);
    EXPECT_EQ(lineTexts(twoTail), (Lines { "one two", "three…" }));
    // Only a later paragraph dropped: tail still marks the cut.
    EXPECT_EQ(lineTexts(platform::layoutText("ab\ncd", f, Size(100, 1000), LineBreakMode::TruncateTail, 1)),
        (Lines { "ab…" }));
    EXPECT_EQ(lineTexts(platform::layoutText("ab\ncd", f, Size(100, 1000), LineBreakMode::TruncateHead, 1)),
        (Lines { "ab" }));
    // Fitting text is never truncated.
    TextLayout fits = platform::layoutText("short", f, Size(100, 1000), LineBreakMode::TruncateTail, 1);
    EXPECT_EQ(fits.lines[0].text, "short");
    EXPECT_FALSE(fits.truncated);
    // Unlimited width and a line limit: the ellipsis follows the first line.
    EXPECT_EQ(lineTexts(platform::layoutText("ab\ncd", f, Size(kNaN, kNaN), LineBreakMode::TruncateTail, 1)),
        (Lines { "ab…" }));
    // A box narrower than the ellipsis.
    TextLayout tiny = platform::layoutText("abc", f, Size(4, 1000), LineBreakMode::TruncateTail, 1);
    EXPECT_EQ(tiny.lines[0].text, "…");
    EXPECT_DOUBLE_EQ(tiny.lines[0].width, 4) << "never wider than the box";
}

TEST(TextTest, AlignmentAndBadInput)
{
    Font f = Font::systemFont(10);
    EXPECT_DOUBLE_EQ(platform::layoutText("ab", f, Size(40, 100), LineBreakMode::WordWrap, 0, TextAlignment::Center)
                         .lines[0]
                         .origin.x,
        14.5);
    EXPECT_DOUBLE_EQ(platform::layoutText("ab", f, Size(40, 100), LineBreakMode::WordWrap, 0, TextAlignment::Right)
                         .lines[0]
                         .origin.x,
        29);
    EXPECT_DOUBLE_EQ(
        platform::layoutText("ab\nabcd", f, Size(kNaN, kNaN), LineBreakMode::WordWrap, 0, TextAlignment::Right)
            .lines[0]
            .origin.x,
        11)
        << "without a width the widest line is the box";

    EXPECT_EQ(platform::measureText(kSentence, f, Size(kNaN, kNaN)), Size(73, 12));
    EXPECT_EQ(platform::measureText("abc", f, Size(-10, 1000)), Size(0, 36))
        << "a negative width holds one character a line";
    EXPECT_EQ(platform::measureText("abc", Font::systemFont(kNaN)), Size(0, 0));
    EXPECT_EQ(platform::measureText("a\xff"
                                    "b",
                  f),
        Size(17, 12))
        << "the bad byte counts as U+FFFD (0.6 em)";
}

namespace {

struct Ink {
    int inside = 0;
    int outside = 0;
};

// Counts dark pixels of a white canvas inside and outside the line boxes.
Ink inkAround(const platform::Image& image, const TextLayout& layout, platform::Point origin)
{
    Ink ink;
    double s = image.scale();
    for (int y = 0; y < image.pixelHeight(); ++y) {
        for (int x = 0; x < image.pixelWidth(); ++x) {
            auto p = image.pixelAt(x, y);
            if (p[0] > 160)
                continue;
            platform::Point pt((x + 0.5) / s, (y + 0.5) / s);
            bool inBox = false;
            for (const auto& line : layout.lines) {
                Rect box(origin.x + line.origin.x, origin.y + line.origin.y, line.width, layout.lineHeight);
                inBox = inBox || box.contains(pt);
            }
            (inBox ? ink.inside : ink.outside)++;
        }
    }
    return ink;
}

} // namespace

TEST(TextTest, GlyphsAreDrawnInsideTheMeasuredBoxesOnly)
{
    struct Case {
        const char* text;
        Font font;
        TextAlignment alignment;
        LineBreakMode mode;
    };
    for (const Case& c : {
             Case { "Hello 世界, wrapping words", Font::systemFont(14), TextAlignment::Left, LineBreakMode::WordWrap },
             Case { "WWWWWWWW mmmm", Font::boldSystemFont(16), TextAlignment::Center, LineBreakMode::WordWrap },
             Case { "家校互动家校互动家校互动", Font::systemFont(15), TextAlignment::Right, LineBreakMode::CharWrap },
             Case { "iiii llll ...", Font::systemFont(17), TextAlignment::Left, LineBreakMode::TruncateTail },
         }) {
        auto ctx = Context::createBitmap(Size(120, 80), 2.0);
        ASSERT_TRUE(ctx);
        ctx->setFillColor(Color::whiteColor());
        ctx->fillRect(Rect(0, 0, 120, 80));
        Rect rect(10, 8, 90, 60);
        TextLayout layout = platform::drawText(*ctx, c.text, c.font, rect, Color::blackColor(), c.mode, c.alignment);
        ASSERT_FALSE(layout.lines.empty());
        platform::Image image = ctx->makeImage();
        Ink ink = inkAround(image, layout, rect.origin);
        EXPECT_EQ(ink.outside, 0) << c.text;
        EXPECT_GT(ink.inside, 40 * static_cast<int>(layout.lines.size())) << c.text;
        // Every line shows something.
        for (const auto& line : layout.lines) {
            TextLayout single = layout;
            single.lines = { line };
            EXPECT_GT(inkAround(image, single, rect.origin).inside, 10) << c.text << " / " << line.text;
        }
    }
}

TEST(TextTest, LinesWiderInTheFontThanMeasuredAreSqueezedWholeNotClipped)
{
    // The quotes are narrow in the model and full width in the Chinese font,
    // so these lines are drawn wider than measured unless squeezed; a clipped
    // line loses its last characters (the final "。" is cut at the edge).
    Font f = Font::systemFont(14);
    const double scale = 4;
    for (const char* text : { "在“设置”中提交意见反馈。", "到“家校互动”。", "可在“设置”中。" }) {
        TextLayout layout = platform::layoutText(text, f, Size(208, 100));
        ASSERT_EQ(layout.lines.size(), 1u) << text;
        const auto& line = layout.lines.front();
        ASSERT_GT(f.widthOf("“”") + 12 * 14, line.width) << "the model is narrower than the font here";
        auto ctx = Context::createBitmap(Size(240, 40), scale);
        ASSERT_TRUE(ctx);
        ctx->setFillColor(Color::whiteColor());
        ctx->fillRect(Rect(0, 0, 240, 40));
        platform::Point origin(10, 10);
        platform::drawTextLayout(*ctx, layout, origin, Color::blackColor());
        platform::Image image = ctx->makeImage();
        auto inkBetween = [&](double left, double right) {
            int count = 0;
            for (int y = int(origin.y * scale); y < int((origin.y + layout.lineHeight) * scale); ++y)
                for (int x = int(left * scale); x < int(right * scale); ++x)
                    count += image.pixelAt(x, y)[0] < 200 ? 1 : 0;
            return count;
        };
        double right = origin.x + line.width;
        // "。" sits in the left part of its em: whole, it leaves the last
        // fifth of its box blank; cut at the edge, its ink runs up to it.
        EXPECT_EQ(inkBetween(right - 0.2 * 14, right + 4), 0) << text;
        EXPECT_GT(inkBetween(right - 14, right - 0.2 * 14), 20) << text << ": the full stop is drawn";
        EXPECT_GT(inkBetween(origin.x, origin.x + 14), 40) << text << ": the first character is drawn";
    }
}

TEST(TextTest, DrawingKeepsThePathAndIgnoresEmptyText)
{
    auto ctx = Context::createBitmap(Size(50, 20), 1.0);
    ASSERT_TRUE(ctx);
    ctx->addRect(Rect(0, 0, 5, 5));
    platform::drawText(*ctx, "abc", Font::systemFont(12), Rect(10, 0, 40, 20), Color::blackColor());
    EXPECT_FALSE(ctx->isPathEmpty()) << "text drawing leaves the current path alone";
    TextLayout none = platform::drawText(*ctx, "", Font::systemFont(12), Rect(0, 0, 40, 20), Color::blackColor());
    EXPECT_TRUE(none.lines.empty());
    TextLayout nullRect
        = platform::drawText(*ctx, "abc", Font::systemFont(12), Rect(kNaN, 0, 40, 20), Color::blackColor());
    EXPECT_TRUE(nullRect.lines.empty());
}

TEST(TextTest, RendersASampleWithChineseText)
{
    // Written where a person can look at it after the run.
    std::string folder = ::testing::TempDir() + "orb-graphics-samples";
    ASSERT_TRUE(platform::FileUtil::createDirectory(folder));
    auto ctx = Context::createBitmap(Size(320, 200), 2.0);
    ASSERT_TRUE(ctx);
    ctx->setFillColor(Color::fromWhite(0.94));
    ctx->fillRect(Rect(0, 0, 320, 200));
    ctx->setFillColor(Color::fromRGB255(120, 200, 28));
    ctx->fillRect(Rect(0, 0, 320, 44));
    platform::drawText(*ctx, "家校互动", Font::boldSystemFont(18), Rect(0, 11, 320, 22), Color::whiteColor(),
        LineBreakMode::TruncateTail, TextAlignment::Center, 1);
    platform::drawText(*ctx, "今天下午三点开家长会，请准时参加。Meeting at 3 pm, please be on time.",
        Font::systemFont(15), Rect(12, 56, 296, 80), Color::darkGrayColor());
    ctx->setFillColor(Color::whiteColor());
    ctx->setStrokeColor(Color::fromWhite(0.7));
    ctx->addRoundedRect(Rect(12, 140, 296, 44), 8);
    ctx->fillAndStrokePath();
    platform::drawText(*ctx, "很长很长的标题会在末尾被截断，这里还有更多文字", Font::systemFont(16),
        Rect(24, 152, 272, 20), Color::blackColor(), LineBreakMode::TruncateTail, TextAlignment::Left, 1);
    std::string path = folder + "/text-sample@2x.png";
    ASSERT_TRUE(ctx->writePNG(path));
    auto back = platform::Image::fromFile(path);
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(back->size(), Size(320, 200));
}
