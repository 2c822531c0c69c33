// The list pictures: the arrow of the paged table's pull-down header and the
// small arrows of the picker field (down while it opens a list in place,
// right where it leads elsewhere).
#include "tools/imagegen/ImageCatalog.h"

namespace imagegen {

namespace {

    // The header's arrow, pointing down (the list turns it up once a release
    // would refresh): a rounded shaft under a broad head, blue with a lighter
    // top, in a 30 × 55 box that the header scales to fit.
    void pullArrow(platform::Context& c, platform::Size size)
    {
        double w = size.width, h = size.height;
        double shaftW = w * 0.30;
        double headTop = h * 0.58;
        platform::Path outline;
        outline.addRoundedRect(
            platform::Rect((w - shaftW) / 2, h * 0.04, shaftW, headTop - h * 0.04 + 2), shaftW / 2.6);
        outline.moveTo(platform::Point(w * 0.04, headTop));
        outline.lineTo(platform::Point(w * 0.96, headTop));
        outline.lineTo(platform::Point(w / 2, h * 0.97));
        outline.closeSubpath();

        c.save();
        c.beginPath();
        c.addPath(outline);
        c.clip();
        c.drawLinearGradient(
            { { 0, platform::Color::fromRGB255(120, 170, 228) }, { 0.55, platform::Color::fromRGB255(52, 118, 204) },
                { 1, platform::Color::fromRGB255(28, 88, 170) } },
            platform::Point(0, 0), platform::Point(0, h));
        c.restore();
    }

    // A thin grey chevron, as the list rows use.
    void chevron(platform::Context& c, platform::Size size, bool down)
    {
        double w = size.width, h = size.height;
        c.setStrokeColor(platform::Color::fromRGB255(150, 150, 150));
        c.setLineWidth(2.2);
        c.setLineCap(platform::LineCap::Round);
        c.setLineJoin(platform::LineJoin::Round);
        c.beginPath();
        if (down) {
            c.moveTo(platform::Point(w * 0.22, h * 0.36));
            c.lineTo(platform::Point(w * 0.50, h * 0.64));
            c.lineTo(platform::Point(w * 0.78, h * 0.36));
        } else {
            c.moveTo(platform::Point(w * 0.36, h * 0.22));
            c.lineTo(platform::Point(w * 0.64, h * 0.50));
            c.lineTo(platform::Point(w * 0.36, h * 0.78));
        }
        c.strokePath();
    }

    ImageGroup tableImages({
        { "blueArrow", platform::Size(30, 55), pullArrow },
        { "public_down_icon", platform::Size(18, 18),
            [](platform::Context& c, platform::Size size) { chevron(c, size, true); } },
        { "public_to_right", platform::Size(18, 18),
            [](platform::Context& c, platform::Size size) { chevron(c, size, false); } },
    });

} // namespace

} // namespace imagegen
