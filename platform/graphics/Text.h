#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"

#include <cstddef>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

class Context;

// ============================================================================
// The fixed text metric model
//
// Layout (how wide a text is, where lines break, how tall a label must be)
// never asks the installed fonts: it uses the fixed model below, so that every
// layout number is the same on every machine and tests can state them. Glyphs
// are drawn afterwards by Pango inside the boxes the model computed.
//
// Advances, per user-perceived character (a base character with everything
// composed onto it counts once, by its base character), in ems of the font's
// point size s:
//
//   class                                                       regular   bold
//   zero width: control characters, zero-width spaces and joiners,
//     soft hyphen, combining marks, variation selectors           0        0
//   space: U+0020, U+00A0, U+2000…U+200A, U+202F, U+205F          0.3      0.3
//   tab                                                           1.2      1.2
//   narrow ASCII:  i j l I . , : ; ' ! | `                        0.3      0.33
//   wide ASCII:    m w M W @ %                                    0.85     0.935
//   other upper-case ASCII letters                                0.65     0.715
//   every other printable ASCII character (lower-case letters,
//     digits, the remaining punctuation and symbols)              0.55     0.605
//   full width: CJK ideographs and punctuation, kana, hangul,
//     bopomofo, full-width forms, ideographic space, emoji and
//     pictographs, the ellipsis "…"                               1.0      1.0
//   everything else (accented Latin, Greek, Cyrillic, …)          0.6      0.66
//
// (bold is 1.1 × regular except for the space, tab and full-width classes.)
//
// Vertical metrics: line height 1.2·s, ascender 0.95·s, descender −0.25·s;
// lines follow each other at the line height with no extra spacing; the first
// line's top is the box's top.
//
// Lines:
// - Hard breaks: "\n", "\r", "\r\n", U+2028, U+2029 end a line; a text ending
//   in a hard break has a last, empty line.
// - Word wrap (greedy): a line may break after a run of spaces, and before and
//   after any full-width character (so Chinese breaks between any two
//   characters and Latin only between words). Spaces at the end of a line hang:
//   they are not counted in its width. A word wider than the whole line is
//   broken by character. Every line holds at least one character.
// - Punctuation keeps to its neighbour: no line starts with closing
//   punctuation (。，、？！：；）」』】》” . , ! ? ) and the like, small kana
//   and the ellipsis) and no line ends with opening punctuation (（「『【《“ (
//   and the like); the break moves back to the place before. Only a word wider
//   than the line may still be cut before one, and then only when the line
//   would otherwise hold a single character.
// - Every character of the text is on exactly one line, in order; the only
//   characters not shown are the spaces a line breaks at and hard breaks.
// - Character wrap: a line may break before any character (spaces still hang).
// - Clip and the three truncation modes wrap by word like word wrap; they only
//   differ on the last line allowed when text remains (see below).
// - Lines allowed: numberOfLines (0 = unlimited) and as many whole lines as
//   maxSize.height holds (floor(height / line height)), at least one.
// - When text remains after the last allowed line: word and character wrap just
//   drop it; clip puts the rest of that paragraph on the last line, keeping the
//   characters that fit whole in the box's width; truncate head / middle / tail
//   put the rest of the paragraph on the last line and replace what does not
//   fit with "…" at the start, in the middle, or at the end (tail also adds "…"
//   when only later paragraphs were dropped).
// - A line is never reported wider than maxSize.width.
//
// The measured size is (widest line, number of lines × line height). The
// measuring functions round it up to whole points (ceilPoints), as the phone's
// measuring does; TextLayout keeps the exact values.
//
// Bad input: an empty text measures (0, 0). A NaN or infinite width or height
// limit means "unlimited"; a negative one means 0 (one character per line,
// one line). A font size that is NaN, infinite or negative becomes 0, which
// measures everything as 0 × 0. Invalid UTF-8 bytes count as U+FFFD.
// ============================================================================

enum class LineBreakMode {
    WordWrap = 0,
    CharWrap = 1,
    Clip = 2,
    TruncateHead = 3,
    TruncateTail = 4,
    TruncateMiddle = 5,
};

enum class TextAlignment {
    Left = 0,
    Center = 1,
    Right = 2,
};

// A font: a family name (kept for display; layout reads only size and weight)
// and a point size. Every named font maps to the system font; a name containing
// "Bold" (any case) maps to the bold system font.
struct Font {
    std::string name = "System";
    double pointSize = 17.0;
    bool bold = false;

    bool operator==(const Font&) const = default;

    static Font systemFont(double size);
    static Font boldSystemFont(double size);
    static Font named(std::string_view name, double size);

    // Vertical metrics of the model (see above).
    double lineHeight() const;
    double ascender() const;
    double descender() const; // negative, below the baseline
    // The distance between baselines: the line height.
    double leading() const { return lineHeight(); }

    // Advance of one character by the table above.
    double advance(char32_t codePoint) const;
    // Width of the text on one line (no wrapping; hard breaks are ignored, so
    // this is the sum of the advances).
    double widthOf(std::string_view text) const;
};

inline constexpr double kUnlimitedTextExtent = std::numeric_limits<double>::infinity();
inline constexpr const char* kEllipsis = "\u2026";

// One laid-out line. Positions are relative to the layout box's top-left.
struct TextLine {
    std::string text; // what is shown, "…" included when truncated
    std::size_t sourceBegin = 0; // byte range of the source text it shows
    std::size_t sourceEnd = 0; //   (for truncated lines: the range it stands for)
    Point origin; // top-left of the line's box (x from the alignment)
    double width = 0; // the model's width of `text`, at most the box width
    bool truncated = false;
};

struct TextLayout {
    Font font;
    std::vector<TextLine> lines;
    // Exact (not rounded) size: widest line × (lines × line height).
    Size size;
    double lineHeight = 0;
    // Width the alignment was computed in: maxSize.width when finite, otherwise
    // the widest line.
    double boxWidth = 0;
    TextAlignment alignment = TextAlignment::Left;
    // Some of the text is not shown (dropped lines, clipped or truncated).
    bool truncated = false;
    // Drawing: a line whose glyphs are narrower than measured is spread to its
    // measured width by letter spacing, so that every character sits near its
    // model position (editable text, whose caret is placed by the model).
    bool spreadToWidth = false;
};

TextLayout layoutText(std::string_view text, const Font& font,
    Size maxSize = { kUnlimitedTextExtent, kUnlimitedTextExtent }, LineBreakMode mode = LineBreakMode::WordWrap,
    int numberOfLines = 0, TextAlignment alignment = TextAlignment::Left);

// The size of the laid-out text, each dimension rounded up to a whole point.
Size measureText(std::string_view text, const Font& font, Size maxSize = { kUnlimitedTextExtent, kUnlimitedTextExtent },
    LineBreakMode mode = LineBreakMode::WordWrap, int numberOfLines = 0);

// Draws the layout's lines with their top-left box corner at `origin` (user
// space). Each measured line is drawn on its own (Pango never wraps it again)
// at its model origin with its baseline at the model's ascender, clipped to its
// box (line width × line height); when the real glyphs are wider than the
// model's width the whole line is squeezed horizontally to fit, when narrower
// it is placed by the layout's alignment. So glyphs never leave the measured
// boxes and no character is cut, whatever fonts are installed.
void drawTextLayout(Context& context, const TextLayout& layout, Point origin, const Color& color);

// Lays the text out in the rectangle's size and draws it at the rectangle's
// origin (top-aligned). Returns the layout that was drawn.
TextLayout drawText(Context& context, std::string_view text, const Font& font, const Rect& rect, const Color& color,
    LineBreakMode mode = LineBreakMode::WordWrap, TextAlignment alignment = TextAlignment::Left, int numberOfLines = 0);

} // namespace platform
