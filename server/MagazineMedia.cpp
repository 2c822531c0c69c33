// The e-magazine's pictures and chapter pages: covers with the issue's name
// and number, the advertisement banners, the directory logos and the chapter
// pictures, drawn so the shelf and the reader look like a magazine; and the
// chapter pages themselves, phone-sized HTML with their picture.
#include "platform/graphics/Context.h"
#include "platform/graphics/Text.h"
#include "platform/os/StringUtil.h"
#include "server/ResponderContext.h"

#include <cmath>

namespace server {

namespace {

using platform::Color;
using platform::Context;
using platform::Font;
using platform::LineBreakMode;
using platform::Point;
using platform::Rect;
using platform::Size;
using platform::TextAlignment;

// Pictures are drawn at twice their size in points, as the phone shows them.
constexpr double kPictureScale = 2;

// One palette per issue or chapter, so neighbours differ.
struct Palette {
    Color light;
    Color deep;
    Color accent;
};
const Palette kPalettes[] = {
    { Color::fromRGB255(255, 214, 120), Color::fromRGB255(232, 120, 60), Color::fromRGB255(120, 180, 70) },
    { Color::fromRGB255(150, 210, 240), Color::fromRGB255(50, 120, 200), Color::fromRGB255(250, 200, 80) },
    { Color::fromRGB255(190, 230, 140), Color::fromRGB255(80, 160, 70), Color::fromRGB255(240, 110, 90) },
    { Color::fromRGB255(240, 180, 200), Color::fromRGB255(200, 80, 120), Color::fromRGB255(110, 170, 220) },
    { Color::fromRGB255(210, 190, 240), Color::fromRGB255(120, 90, 190), Color::fromRGB255(250, 190, 90) },
};
const Palette& paletteOf(long long n)
{
    return kPalettes[static_cast<std::size_t>(std::llabs(n)) % std::size(kPalettes)];
}

std::optional<std::string> encode(Context& c)
{
    auto bytes = c.makeImage().encodePNG();
    if (!bytes)
        return std::nullopt;
    return std::string(bytes->begin(), bytes->end());
}

// A child under a sun on a hill: the scene of covers and chapter pictures.
void drawScene(Context& c, Size s, const Palette& p)
{
    c.drawLinearGradient({ { 0, p.light }, { 1, Color(1, 1, 1, 1) } }, Point(0, 0), Point(0, s.height));
    c.setFillColor(Color(1, 0.95, 0.6, 0.95));
    double sun = s.width * 0.16;
    c.fillEllipseInRect(Rect(s.width * 0.72, s.height * 0.12, sun, sun));
    c.setFillColor(p.accent);
    c.fillEllipseInRect(Rect(-s.width * 0.3, s.height * 0.72, s.width * 1.1, s.height * 0.6));
    c.setFillColor(Color(p.accent.red * 0.8, p.accent.green * 0.8, p.accent.blue * 0.8, 1));
    c.fillEllipseInRect(Rect(s.width * 0.35, s.height * 0.78, s.width, s.height * 0.5));
    // The child: head, body, arms up.
    double unit = std::min(s.width, s.height) * 0.09;
    Point feet(s.width * 0.38, s.height * 0.8);
    c.setFillColor(p.deep);
    c.fillEllipseInRect(Rect(feet.x - unit * 0.6, feet.y - unit * 3.6, unit * 1.2, unit * 1.2));
    c.beginPath();
    c.addRoundedRect(Rect(feet.x - unit * 0.55, feet.y - unit * 2.4, unit * 1.1, unit * 2.4), unit * 0.4);
    c.fillPath();
    c.setStrokeColor(p.deep);
    c.setLineWidth(unit * 0.35);
    c.beginPath();
    c.moveTo(Point(feet.x - unit * 0.4, feet.y - unit * 2.1));
    c.lineTo(Point(feet.x - unit * 1.3, feet.y - unit * 3.2));
    c.moveTo(Point(feet.x + unit * 0.4, feet.y - unit * 2.1));
    c.lineTo(Point(feet.x + unit * 1.3, feet.y - unit * 3.2));
    c.strokePath();
}

std::optional<std::string> cover(const std::string& name, int number, const std::string& date, long long postId, bool thumb)
{
    // The reader shows the cover over the whole screen, the status strip's
    // part included (the 4-inch phone's 320 x 568 points: it fills that
    // screen whole, and the 3.5-inch one whole with bands at its sides), the
    // shelf in a tile.
    Size s = thumb ? Size(80, 110) : Size(320, 568);
    auto context = Context::createBitmap(s, kPictureScale);
    if (!context)
        return std::nullopt;
    auto& c = *context;
    const Palette& p = paletteOf(postId);
    drawScene(c, s, p);
    double k = s.width / 320;
    // The masthead.
    c.setFillColor(p.deep);
    c.fillRect(Rect(0, 0, s.width, 96 * k));
    platform::drawText(c, "成长期刊", Font::boldSystemFont(44 * k), Rect(0, 14 * k, s.width, 56 * k), Color::whiteColor(),
        LineBreakMode::Clip, TextAlignment::Center, 1);
    platform::drawText(c, "GROWING UP", Font::boldSystemFont(13 * k), Rect(0, 68 * k, s.width, 20 * k),
        Color(1, 1, 1, 0.85), LineBreakMode::Clip, TextAlignment::Center, 1);
    // Issue number and date in a white band.
    c.setFillColor(Color(1, 1, 1, 0.88));
    c.fillRect(Rect(0, 104 * k, s.width, 34 * k));
    platform::drawText(c, "第" + std::to_string(number) + "期  " + date, Font::boldSystemFont(16 * k),
        Rect(0, 111 * k, s.width, 22 * k), p.deep, LineBreakMode::Clip, TextAlignment::Center, 1);
    if (!thumb) {
        platform::drawText(c, name, Font::boldSystemFont(20), Rect(20, s.height - 64, s.width - 40, 28),
            Color::whiteColor(), LineBreakMode::TruncateTail, TextAlignment::Left, 1);
        platform::drawText(c, "家庭教育 · 亲子阅读 · 成长故事", Font::systemFont(13), Rect(20, s.height - 34, s.width - 40, 20),
            Color(1, 1, 1, 0.9), LineBreakMode::TruncateTail, TextAlignment::Left, 1);
    }
    return encode(c);
}

std::optional<std::string> banner(const std::string& name, long long adId)
{
    Size s(320, 216);
    auto context = Context::createBitmap(s, kPictureScale);
    if (!context)
        return std::nullopt;
    auto& c = *context;
    const Palette& p = paletteOf(adId + 1);
    c.drawLinearGradient({ { 0, p.deep }, { 1, p.light } }, Point(0, 0), Point(s.width, s.height));
    c.setFillColor(Color(1, 1, 1, 0.15));
    c.fillEllipseInRect(Rect(-60, 120, 260, 180));
    c.fillEllipseInRect(Rect(180, -80, 220, 200));
    c.setFillColor(Color(1, 0.95, 0.6, 0.95));
    c.fillEllipseInRect(Rect(244, 30, 46, 46));
    platform::drawText(c, name, Font::boldSystemFont(30), Rect(24, 72, 272, 40), Color::whiteColor(), LineBreakMode::Clip,
        TextAlignment::Left, 1);
    platform::drawText(c, "学校精选活动，欢迎报名参加", Font::systemFont(15), Rect(26, 118, 272, 22), Color(1, 1, 1, 0.92),
        LineBreakMode::Clip, TextAlignment::Left, 1);
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.addRoundedRect(Rect(26, 152, 92, 28), 14);
    c.fillPath();
    platform::drawText(c, "了解详情", Font::boldSystemFont(14), Rect(26, 157, 92, 18), p.deep, LineBreakMode::Clip,
        TextAlignment::Center, 1);
    return encode(c);
}

// The reader writes the directory's name over its logo in white.
std::optional<std::string> logo(long long directoryId)
{
    Size s(65, 65);
    auto context = Context::createBitmap(s, kPictureScale);
    if (!context)
        return std::nullopt;
    auto& c = *context;
    const Palette& p = paletteOf(directoryId);
    c.drawLinearGradient({ { 0, p.deep }, { 1, Color(p.deep.red * 0.75, p.deep.green * 0.75, p.deep.blue * 0.75, 1) } },
        Point(0, 0), Point(s.width, s.height));
    c.setFillColor(Color(1, 1, 1, 0.14));
    c.fillEllipseInRect(Rect(30, 30, 50, 50));
    return encode(c);
}

std::optional<std::string> chapterPicture(long long chapterId)
{
    Size s(320, 160);
    auto context = Context::createBitmap(s, kPictureScale);
    if (!context)
        return std::nullopt;
    drawScene(*context, s, paletteOf(chapterId));
    return encode(*context);
}

} // namespace

std::optional<Reply> RequestContext::magazinePicture(const std::string& base, bool thumb)
{
    auto numberAfter = [&](const char* prefix) -> std::optional<long long> {
        std::string head(prefix);
        if (!platform::hasPrefix(base, head) || base.size() == head.size())
            return std::nullopt;
        std::string rest = base.substr(head.size());
        if (rest.find_first_not_of("0123456789") != std::string::npos)
            return std::nullopt;
        return platform::leadingIntegerOf(rest);
    };
    std::optional<std::string> png;
    if (auto postId = numberAfter("cover-")) {
        auto issue = data_.row("SELECT name, post_number, post_date FROM magazine WHERE post_id = ?", { *postId });
        if (!issue)
            return std::nullopt;
        png = cover(issue->get("name").stringValue(), static_cast<int>(issue->get("post_number").intValue()),
            issue->get("post_date").stringValue(), *postId, thumb);
    } else if (auto adId = numberAfter("ad-")) {
        auto ad = data_.row("SELECT ad_name FROM magazine_ad WHERE ad_id = ?", { *adId });
        if (!ad)
            return std::nullopt;
        png = banner(ad->get("ad_name").stringValue(), *adId);
    } else if (auto directoryId = numberAfter("dir-")) {
        png = logo(*directoryId);
    } else if (auto chapterId = numberAfter("chapter-")) {
        png = chapterPicture(*chapterId);
    }
    if (!png)
        return std::nullopt;
    return page("image/png", std::move(*png));
}

std::string magazineChapterDocument(long long chapterId, const std::string& title, const std::string& body)
{
    // The page sits under ".../magazine/<issue>/<chapter>": its picture is
    // two levels up, where the static files are.
    return "<!DOCTYPE html><html><head><meta charset=\"utf-8\">"
           "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\"><title>"
        + platform::htmlEscaped(title)
        + "</title><style>"
          "body{margin:0;font-family:sans-serif;background:#fffdf6;color:#333;}"
          "img.head{display:block;width:100%;height:auto;}"
          "article{padding:12px 18px 24px;}"
          "h1{font-size:22px;color:#4a7a1e;margin:10px 0 6px;}"
          "p{font-size:16px;line-height:1.7;margin:8px 0;text-indent:2em;}"
          "p:first-of-type{text-indent:0;color:#999;font-size:13px;}"
          "</style></head><body><img class=\"head\" alt=\"\" src=\"../../static/img/chapter-"
        + std::to_string(chapterId) + ".png\"><article>" + body
        + "<p>孩子的成长需要陪伴，也需要耐心。每天留出一点时间，和孩子聊聊学校里的事，听听他们的想法，"
          "比任何说教都更有力量。</p></article></body></html>";
}

} // namespace server
