#include "platform/graphics/Text.h"

#include "platform/graphics/Context.h"
#include "platform/graphics/GraphicsInternal.h"
#include "platform/graphics/LinePunctuation.h"
#include "platform/os/StringUtil.h"

#include <cairo.h>
#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>

namespace platform {

// Characters a reader never expects at the start of a line: closing
// brackets and quotes, sentence and clause punctuation, the ellipsis,
// iteration marks and small kana.
bool mayNotStartLine(char32_t cp)
{
    static constexpr std::u32string_view closing
        = U"!),.:;?]}%"
          U"\u00BB\u2019\u201D\u203A\u2026\u2025\u2030"
          U"\u3001\u3002\u3005\u3009\u300B\u300D\u300F\u3011\u3015"
          U"\u3017\u3019\u301B\u301E\u301F\u303B\u30FC\u30FB\u309D\u309E\u30FD\u30FE"
          U"\u3041\u3043\u3045\u3047\u3049\u3063\u3083\u3085\u3087\u308E"
          U"\u30A1\u30A3\u30A5\u30A7\u30A9\u30C3\u30E3\u30E5\u30E7\u30EE\u30F5\u30F6"
          U"\uFE50\uFE51\uFE52\uFE54\uFE55\uFE56\uFE57\uFE5A\uFE5C\uFE5E"
          U"\uFF01\uFF05\uFF09\uFF0C\uFF0E\uFF1A\uFF1B\uFF1F\uFF3D\uFF5D\uFF60"
          U"\uFF61\uFF63\uFF64\uFF65\uFFE0";
    return closing.find(cp) != std::u32string_view::npos;
}

// Characters a reader never expects at the end of a line: opening
// brackets and quotes.
bool mayNotEndLine(char32_t cp)
{
    static constexpr std::u32string_view opening = U"([{"
                                                   U"\u00AB\u2018\u201C\u2039"
                                                   U"\u3008\u300A\u300C\u300E\u3010\u3014\u3016\u3018\u301A\u301D"
                                                   U"\uFE59\uFE5B\uFE5D"
                                                   U"\uFF08\uFF3B\uFF5B\uFF5F\uFF62\uFFE1\uFFE5";
    return opening.find(cp) != std::u32string_view::npos;
}

namespace {

    constexpr double kEps = 1e-9;

    enum class Kind {
        Zero, // no advance
        Space, // breaking white space: a line may end after it, and it hangs there
        Hard, // a hard line break
        Full, // full width: a line may break before and after it
        Other,
    };

    bool isHardBreak(char32_t cp) { return cp == U'\n' || cp == U'\r' || cp == 0x2028 || cp == 0x2029; }

    bool isBreakingSpace(char32_t cp)
    {
        return cp == U' ' || cp == U'\t' || (cp >= 0x2000 && cp <= 0x200A && cp != 0x2007) || cp == 0x205F;
    }

    bool isSpaceWidth(char32_t cp)
    {
        return cp == U' ' || cp == 0x00A0 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x202F || cp == 0x205F;
    }

    bool isZeroWidth(char32_t cp)
    {
        return (cp < 0x20 && cp != U'\t') || (cp >= 0x7F && cp <= 0x9F) || cp == 0x00AD
            || (cp >= 0x200B && cp <= 0x200F) || (cp >= 0x2060 && cp <= 0x2064) || cp == 0xFEFF
            || (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x1AB0 && cp <= 0x1AFF) || (cp >= 0x1DC0 && cp <= 0x1DFF)
            || (cp >= 0x20D0 && cp <= 0x20FF) || (cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xFE20 && cp <= 0xFE2F)
            || (cp >= 0xE0000 && cp <= 0xE007F) || (cp >= 0xE0100 && cp <= 0xE01EF);
    }

    bool isFullWidth(char32_t cp)
    {
        return cp == 0x2026 || (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2600 && cp <= 0x27BF)
            || (cp >= 0x2E80 && cp <= 0x303F) || (cp >= 0x3040 && cp <= 0x4DBF) || (cp >= 0x4E00 && cp <= 0x9FFF)
            || (cp >= 0xA000 && cp <= 0xA4CF) || (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF)
            || (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6)
            || (cp >= 0x1F000 && cp <= 0x1FAFF) || (cp >= 0x20000 && cp <= 0x3FFFD);
    }

    // Advance in ems and whether the bold weight widens it.
    double advanceEm(char32_t cp, bool bold)
    {
        double widen = bold ? 1.1 : 1.0;
        if (isHardBreak(cp) || isZeroWidth(cp))
            return 0;
        if (cp == U'\t')
            return 1.2;
        if (isSpaceWidth(cp))
            return 0.3;
        if (isFullWidth(cp))
            return 1.0;
        if (cp < 0x7F) {
            static constexpr std::string_view narrow = "ijlI.,:;'!|`";
            static constexpr std::string_view wide = "mwMW@%";
            char c = static_cast<char>(cp);
            if (narrow.find(c) != std::string_view::npos)
                return 0.3 * widen;
            if (wide.find(c) != std::string_view::npos)
                return 0.85 * widen;
            if (c >= 'A' && c <= 'Z')
                return 0.65 * widen;
            return 0.55 * widen;
        }
        return 0.6 * widen;
    }

    double saneSize(double size) { return (std::isfinite(size) && size > 0) ? size : 0.0; }

    double saneLimit(double v)
    {
        if (std::isnan(v) || std::isinf(v))
            return kUnlimitedTextExtent;
        return std::max(0.0, v);
    }

    struct Cluster {
        std::size_t begin = 0;
        std::size_t end = 0;
        double width = 0;
        Kind kind = Kind::Other;
        bool noStart = false; // closing punctuation
        bool noEnd = false; // opening punctuation
    };

    std::vector<Cluster> clustersOf(std::string_view text, const Font& font)
    {
        std::vector<Cluster> out;
        double size = saneSize(font.pointSize);
        for (const ComposedCharacter& cc : composedCharacters(text)) {
            std::u32string cps = codePoints(text.substr(cc.byteOffset, cc.byteLength));
            char32_t base = cps.empty() ? U'\uFFFD' : cps.front();
            // A cluster of only zero-width marks keeps the class of its first
            // visible code point, if any.
            for (char32_t cp : cps) {
                if (!isZeroWidth(cp)) {
                    base = cp;
                    break;
                }
            }
            Cluster c;
            c.begin = cc.byteOffset;
            c.end = cc.byteOffset + cc.byteLength;
            c.width = advanceEm(base, font.bold) * size;
            if (isHardBreak(base))
                c.kind = Kind::Hard;
            else if (isBreakingSpace(base))
                c.kind = Kind::Space;
            else if (isFullWidth(base))
                c.kind = Kind::Full;
            else if (c.width == 0)
                c.kind = Kind::Zero;
            else
                c.kind = Kind::Other;
            c.noStart = mayNotStartLine(base);
            c.noEnd = mayNotEndLine(base);
            out.push_back(c);
        }
        return out;
    }

    struct Span {
        std::size_t first = 0; // cluster indexes [first, last)
        std::size_t last = 0;
        std::size_t paragraphEnd = 0; // cluster index where the paragraph ends
    };

    // Whether a line may end before cluster i (which follows cluster i - 1 of
    // the same paragraph). Spaces never start a line (they hang at the end of
    // the one before); punctuation keeps to its neighbour.
    bool mayBreakBefore(const std::vector<Cluster>& cs, std::size_t i, bool charWrap)
    {
        const Cluster& c = cs[i];
        const Cluster& before = cs[i - 1];
        if (c.kind == Kind::Space || c.noStart)
            return false;
        if (before.kind == Kind::Space)
            return true;
        if (c.kind == Kind::Zero || before.noEnd)
            return false;
        return charWrap || c.kind == Kind::Full || before.kind == Kind::Full;
    }

    // Greedy wrapping of clusters [b, e) into lines no wider than maxWidth.
    // Every cluster lands on exactly one line: a line ends before the cluster
    // that starts the next one.
    void wrapParagraph(const std::vector<Cluster>& cs, std::size_t b, std::size_t e, double maxWidth, bool charWrap,
        std::vector<Span>& lines)
    {
        if (b == e) {
            lines.push_back({ b, b, e });
            return;
        }
        std::size_t start = b;
        while (start < e) {
            double width = 0;
            std::size_t lastBreak = start;
            std::size_t i = start;
            std::size_t end = e;
            while (i < e) {
                const Cluster& c = cs[i];
                if (i > start && mayBreakBefore(cs, i, charWrap))
                    lastBreak = i;
                if (c.kind != Kind::Space && i > start && c.width > 0 && width + c.width > maxWidth + kEps) {
                    end = lastBreak;
                    if (end == start) {
                        // No place the rules allow (a word wider than the line):
                        // break by character, keeping closing punctuation with
                        // the character before it when the line has room to give.
                        end = i;
                        while (end > start + 1 && cs[end].noStart)
                            --end;
                    }
                    break;
                }
                width += c.width;
                ++i;
            }
            lines.push_back({ start, end, e });
            start = end;
        }
    }

    double widthOfRange(const std::vector<Cluster>& cs, std::size_t b, std::size_t e, bool hangTrailingSpaces)
    {
        if (hangTrailingSpaces) {
            while (e > b && cs[e - 1].kind == Kind::Space)
                --e;
        }
        double w = 0;
        for (std::size_t i = b; i < e; ++i)
            w += cs[i].width;
        return w;
    }

    std::size_t trimTrailingSpaces(const std::vector<Cluster>& cs, std::size_t b, std::size_t e)
    {
        while (e > b && cs[e - 1].kind == Kind::Space)
            --e;
        return e;
    }

    std::string textOf(std::string_view text, const std::vector<Cluster>& cs, std::size_t b, std::size_t e)
    {
        if (b >= e)
            return {};
        return std::string(text.substr(cs[b].begin, cs[e - 1].end - cs[b].begin));
    }

} // namespace

Font Font::systemFont(double size) { return Font { "System", size, false }; }

Font Font::boldSystemFont(double size) { return Font { "System-Bold", size, true }; }

Font Font::named(std::string_view name, double size)
{
    bool bold = asciiToLower(name).find("bold") != std::string::npos;
    return Font { std::string(name), size, bold };
}

double Font::lineHeight() const { return 1.2 * saneSize(pointSize); }
double Font::ascender() const { return 0.95 * saneSize(pointSize); }
double Font::descender() const { return -0.25 * saneSize(pointSize); }

double Font::advance(char32_t codePoint) const { return advanceEm(codePoint, bold) * saneSize(pointSize); }

double Font::widthOf(std::string_view text) const
{
    double w = 0;
    for (const Cluster& c : clustersOf(text, *this))
        w += c.width;
    return w;
}

TextLayout layoutText(std::string_view text, const Font& font, Size maxSize, LineBreakMode mode, int numberOfLines,
    TextAlignment alignment)
{
    TextLayout layout;
    layout.font = font;
    layout.alignment = alignment;
    layout.lineHeight = font.lineHeight();
    double maxWidth = saneLimit(maxSize.width);
    double maxHeight = saneLimit(maxSize.height);
    if (text.empty()) {
        layout.boxWidth = std::isfinite(maxWidth) ? maxWidth : 0;
        return layout;
    }

    std::vector<Cluster> cs = clustersOf(text, font);
    bool charWrap = mode == LineBreakMode::CharWrap;

    // Paragraphs end at hard breaks; a break at the very end leaves a last,
    // empty paragraph.
    std::vector<Span> spans;
    std::size_t paragraphStart = 0;
    for (std::size_t i = 0; i <= cs.size(); ++i) {
        if (i == cs.size() || cs[i].kind == Kind::Hard) {
            wrapParagraph(cs, paragraphStart, i, maxWidth, charWrap, spans);
            paragraphStart = i + 1;
        }
    }

    std::size_t allowed = spans.size();
    if (numberOfLines > 0)
        allowed = std::min<std::size_t>(allowed, static_cast<std::size_t>(numberOfLines));
    if (std::isfinite(maxHeight) && layout.lineHeight > 0) {
        double fit = std::floor(maxHeight / layout.lineHeight + kEps);
        std::size_t byHeight = fit < 1 ? 1 : static_cast<std::size_t>(std::min(fit, 1e9));
        allowed = std::min(allowed, byHeight);
    }
    bool cut = allowed < spans.size();
    layout.truncated = cut;

    double ellipsis = font.advance(0x2026);
    for (std::size_t n = 0; n < allowed; ++n) {
        const Span& span = spans[n];
        TextLine line;
        std::size_t shownEnd = trimTrailingSpaces(cs, span.first, span.last);
        line.text = textOf(text, cs, span.first, shownEnd);
        line.width = widthOfRange(cs, span.first, span.last, true);
        if (span.first < span.last) {
            line.sourceBegin = cs[span.first].begin;
            line.sourceEnd = cs[span.last - 1].end;
        } else {
            std::size_t at = span.first < cs.size() ? cs[span.first].begin : text.size();
            line.sourceBegin = line.sourceEnd = at;
        }

        bool lastShown = cut && n + 1 == allowed;
        if (lastShown && mode != LineBreakMode::WordWrap && mode != LineBreakMode::CharWrap) {
            // The rest of this paragraph goes on this last line.
            std::size_t b = span.first;
            std::size_t e = trimTrailingSpaces(cs, b, span.paragraphEnd);
            double restWidth = widthOfRange(cs, b, e, false);
            bool restFits = restWidth <= maxWidth + kEps;
            if (e > b) {
                line.sourceEnd = cs[e - 1].end;
            }
            if (mode == LineBreakMode::Clip) {
                std::size_t k = b;
                double w = 0;
                while (k < e && w + cs[k].width <= maxWidth + kEps)
                    w += cs[k++].width;
                std::size_t shown = trimTrailingSpaces(cs, b, k);
                line.text = textOf(text, cs, b, shown);
                line.width = widthOfRange(cs, b, shown, false);
                line.truncated = k < e;
            } else if (mode == LineBreakMode::TruncateTail || restFits == false) {
                line.truncated = true;
                if (mode == LineBreakMode::TruncateTail) {
                    std::size_t k = b;
                    double w = 0;
                    while (k < e && w + cs[k].width + ellipsis <= maxWidth + kEps)
                        w += cs[k++].width;
                    std::size_t shown = trimTrailingSpaces(cs, b, k);
                    line.text = textOf(text, cs, b, shown) + kEllipsis;
                    line.width = widthOfRange(cs, b, shown, false) + ellipsis;
                } else if (mode == LineBreakMode::TruncateHead) {
                    std::size_t k = e;
                    double w = 0;
                    while (k > b && w + cs[k - 1].width + ellipsis <= maxWidth + kEps)
                        w += cs[--k].width;
                    while (k < e && cs[k].kind == Kind::Space)
                        ++k;
                    line.text = std::string(kEllipsis) + textOf(text, cs, k, e);
                    line.width = ellipsis + widthOfRange(cs, k, e, false);
                } else {
                    // Middle: take characters from the front and the back in turn.
                    std::size_t front = b, back = e;
                    double w = ellipsis;
                    bool takeFront = true;
                    while (front < back) {
                        double frontWidth = cs[front].width;
                        double backWidth = cs[back - 1].width;
                        bool frontFits = w + frontWidth <= maxWidth + kEps;
                        bool backFits = w + backWidth <= maxWidth + kEps;
                        if (takeFront ? frontFits : !backFits && frontFits) {
                            w += frontWidth;
                            ++front;
                        } else if (backFits) {
                            w += backWidth;
                            --back;
                        } else {
                            break;
                        }
                        takeFront = !takeFront;
                    }
                    std::size_t frontShown = trimTrailingSpaces(cs, b, front);
                    std::size_t backShown = back;
                    while (backShown < e && cs[backShown].kind == Kind::Space)
                        ++backShown;
                    line.text = textOf(text, cs, b, frontShown) + kEllipsis + textOf(text, cs, backShown, e);
                    line.width
                        = widthOfRange(cs, b, frontShown, false) + ellipsis + widthOfRange(cs, backShown, e, false);
                }
            } else {
                // Head and middle truncation with only later paragraphs dropped:
                // the rest of this paragraph fits and is shown whole.
                line.text = textOf(text, cs, b, e);
                line.width = restWidth;
            }
        }
        line.width = std::min(line.width, maxWidth);
        line.origin.y = static_cast<double>(n) * layout.lineHeight;
        layout.lines.push_back(std::move(line));
    }

    double widest = 0;
    for (const TextLine& line : layout.lines)
        widest = std::max(widest, line.width);
    layout.size = Size(widest, static_cast<double>(layout.lines.size()) * layout.lineHeight);
    layout.boxWidth = std::isfinite(maxWidth) ? maxWidth : widest;
    for (TextLine& line : layout.lines) {
        if (alignment == TextAlignment::Center)
            line.origin.x = (layout.boxWidth - line.width) / 2;
        else if (alignment == TextAlignment::Right)
            line.origin.x = layout.boxWidth - line.width;
    }
    return layout;
}

Size measureText(std::string_view text, const Font& font, Size maxSize, LineBreakMode mode, int numberOfLines)
{
    return ceilSize(layoutText(text, font, maxSize, mode, numberOfLines).size);
}

namespace {

    PangoFontDescription* describe(const Font& font)
    {
        PangoFontDescription* desc = pango_font_description_from_string("WenQuanYi Micro Hei, DejaVu Sans, Sans");
        pango_font_description_set_absolute_size(desc, saneSize(font.pointSize) * PANGO_SCALE);
        pango_font_description_set_weight(desc, font.bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        return desc;
    }

} // namespace

void drawTextLayout(Context& context, const TextLayout& layout, Point origin, const Color& color)
{
    if (layout.lines.empty() || saneSize(layout.font.pointSize) == 0 || !std::isfinite(origin.x)
        || !std::isfinite(origin.y))
        return;
    Context::Impl& impl = context.impl();
    cairo_t* cr = impl.cr;
    cairo_path_t* keptPath = cairo_copy_path(cr);

    PangoLayout* pango = pango_cairo_create_layout(cr);
    // Unhinted metrics, so that widths scale linearly with the size and do not
    // depend on the context's transform.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(options, CAIRO_HINT_STYLE_NONE);
    pango_cairo_context_set_font_options(pango_layout_get_context(pango), options);
    cairo_font_options_destroy(options);
    PangoFontDescription* desc = describe(layout.font);
    pango_layout_set_font_description(pango, desc);
    pango_font_description_free(desc);
    pango_layout_set_single_paragraph_mode(pango, TRUE);

    Color c = color.clamped();
    for (const TextLine& line : layout.lines) {
        if (line.text.empty() || line.width <= 0)
            continue;
        cairo_save(cr);
        cairo_new_path(cr);
        double left = origin.x + line.origin.x;
        double top = origin.y + line.origin.y;
        cairo_rectangle(cr, left, top, line.width, layout.lineHeight);
        cairo_clip(cr);
        pango_layout_set_text(pango, line.text.data(), static_cast<int>(line.text.size()));
        pango_cairo_update_layout(cr, pango);
        PangoRectangle logical;
        pango_layout_get_extents(pango, nullptr, &logical);
        double realWidth = static_cast<double>(logical.width) / PANGO_SCALE;
        double realX = static_cast<double>(logical.x) / PANGO_SCALE;
        pango_layout_set_attributes(pango, nullptr);
        std::size_t characters = composedCharacters(line.text).size();
        if (layout.spreadToWidth && realWidth < line.width - 0.5 && characters > 1) {
            // Pango adds the spacing after every character but the last.
            double spacing = (line.width - realWidth) / static_cast<double>(characters - 1);
            PangoAttrList* attributes = pango_attr_list_new();
            pango_attr_list_insert(attributes, pango_attr_letter_spacing_new(static_cast<int>(spacing * PANGO_SCALE)));
            pango_layout_set_attributes(pango, attributes);
            pango_attr_list_unref(attributes);
            pango_layout_get_extents(pango, nullptr, &logical);
            realWidth = static_cast<double>(logical.width) / PANGO_SCALE;
            realX = static_cast<double>(logical.x) / PANGO_SCALE;
        }
        double baseline = static_cast<double>(pango_layout_get_baseline(pango)) / PANGO_SCALE;
        cairo_translate(cr, left, top + layout.font.ascender());
        double shift = 0;
        if (realWidth > line.width && realWidth > 0) {
            cairo_scale(cr, line.width / realWidth, 1.0);
        } else if (layout.alignment == TextAlignment::Center) {
            shift = (line.width - realWidth) / 2;
        } else if (layout.alignment == TextAlignment::Right) {
            shift = line.width - realWidth;
        }
        cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha * impl.state.alpha);
        cairo_move_to(cr, shift - realX, -baseline);
        // The layout stays as measured above: updated to the squeezed matrix,
        // Pango would lay the glyphs out again at their full width in user
        // space and the clip would cut off the line's last characters.
        pango_cairo_show_layout(cr, pango);
        cairo_restore(cr);
    }
    g_object_unref(pango);

    cairo_new_path(cr);
    if (keptPath && keptPath->status == CAIRO_STATUS_SUCCESS)
        cairo_append_path(cr, keptPath);
    cairo_path_destroy(keptPath);
}

TextLayout drawText(Context& context, std::string_view text, const Font& font, const Rect& rect, const Color& color,
    LineBreakMode mode, TextAlignment alignment, int numberOfLines)
{
    if (rect.isNull())
        return TextLayout {};
    TextLayout layout = layoutText(text, font, rect.size, mode, numberOfLines, alignment);
    drawTextLayout(context, layout, rect.origin, color);
    return layout;
}

} // namespace platform

// fontconfig keeps its configuration and font caches for the life of the
// process (the shared font map is never released), which LeakSanitizer reports
// at exit. They are not leaks of ours; this tells the sanitizer so in every
// program that draws text. Weak, so a program can supply its own list.
extern "C" __attribute__((weak, used)) const char* __lsan_default_suppressions() { return "leak:libfontconfig.so\n"; }
