// The photo browser's bar pictures: the previous and next arrows and the
// action (share) glyph of its toolbar, and the check mark its overlay shows
// after an action.
#include "tools/imagegen/ImageCatalog.h"

namespace imagegen {

namespace {

    void arrow(platform::Context& c, platform::Size size, bool left)
    {
        // A solid white triangle pointing sideways, as the bar's other glyphs.
        double w = size.width, h = size.height;
        double tipX = left ? w * 0.18 : w * 0.82;
        double baseX = left ? w * 0.78 : w * 0.22;
        c.beginPath();
        c.moveTo(platform::Point(tipX, h / 2));
        c.lineTo(platform::Point(baseX, h * 0.12));
        c.lineTo(platform::Point(baseX, h * 0.88));
        c.closePath();
        c.setFillColor(platform::Color::whiteColor());
        c.fillPath();
    }

    void action(platform::Context& c, platform::Size size)
    {
        // An open box with an arrow rising out of it: "do something with this".
        double w = size.width, h = size.height;
        c.setStrokeColor(platform::Color::whiteColor());
        c.setLineWidth(1.6);
        c.setLineCap(platform::LineCap::Round);
        c.setLineJoin(platform::LineJoin::Round);
        c.beginPath();
        c.moveTo(platform::Point(w * 0.34, h * 0.40));
        c.lineTo(platform::Point(w * 0.12, h * 0.40));
        c.lineTo(platform::Point(w * 0.12, h * 0.94));
        c.lineTo(platform::Point(w * 0.88, h * 0.94));
        c.lineTo(platform::Point(w * 0.88, h * 0.40));
        c.lineTo(platform::Point(w * 0.66, h * 0.40));
        c.strokePath();
        c.beginPath();
        c.moveTo(platform::Point(w * 0.5, h * 0.66));
        c.lineTo(platform::Point(w * 0.5, h * 0.06));
        c.moveTo(platform::Point(w * 0.30, h * 0.24));
        c.lineTo(platform::Point(w * 0.5, h * 0.06));
        c.lineTo(platform::Point(w * 0.70, h * 0.24));
        c.strokePath();
    }

    ImageGroup photoBrowserImages({
        { "PhotoBrowser.bundle/images/UIBarButtonItemArrowLeft", platform::Size(15, 17),
            [](platform::Context& c, platform::Size size) { arrow(c, size, true); } },
        { "PhotoBrowser.bundle/images/UIBarButtonItemArrowRight", platform::Size(15, 17),
            [](platform::Context& c, platform::Size size) { arrow(c, size, false); } },
        { "PhotoBrowser.bundle/images/UIBarButtonItemAction", platform::Size(20, 24),
            [](platform::Context& c, platform::Size size) { action(c, size); } },
        { "PhotoBrowser.bundle/images/Checkmark", platform::Size(37, 37),
            [](platform::Context& c, platform::Size size) {
                double w = size.width, h = size.height;
                c.setStrokeColor(platform::Color::whiteColor());
                c.setLineWidth(4.5);
                c.setLineCap(platform::LineCap::Round);
                c.setLineJoin(platform::LineJoin::Round);
                c.beginPath();
                c.moveTo(platform::Point(w * 0.14, h * 0.52));
                c.lineTo(platform::Point(w * 0.40, h * 0.78));
                c.lineTo(platform::Point(w * 0.86, h * 0.24));
                c.strokePath();
            } },
    });

} // namespace

} // namespace imagegen
