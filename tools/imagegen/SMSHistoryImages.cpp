// The SMS history's list switch: a rounded frame with the chosen half filled.
#include "tools/imagegen/ImageCatalog.h"

using platform::Color;
using platform::Context;
using platform::Rect;
using platform::Size;

namespace {

const Color kGreen = Color::fromRGB255(126, 195, 16);

void drawSwitch(Context& c, Size s, bool left)
{
    const double r = s.height / 2;
    c.setFillColor(Color::whiteColor());
    c.beginPath();
    c.addRoundedRect(Rect(0.5, 0.5, s.width - 1, s.height - 1), r);
    c.fillPath();
    c.save();
    c.beginPath();
    c.addRoundedRect(Rect(0.5, 0.5, s.width - 1, s.height - 1), r);
    c.clip();
    c.setFillColor(Color::fromRGB255(236, 246, 222));
    c.fillRect(Rect(left ? 0 : s.width / 2, 0, s.width / 2, s.height));
    c.setFillColor(kGreen);
    c.fillRect(Rect(left ? s.width / 2 * 0.25 : s.width / 2 * 1.25, s.height - 3, s.width / 4, 3));
    c.restore();
    c.setStrokeColor(Color::fromRGB255(214, 219, 225));
    c.setLineWidth(1);
    c.beginPath();
    c.addRoundedRect(Rect(0.5, 0.5, s.width - 1, s.height - 1), r);
    c.strokePath();
}

const imagegen::ImageGroup kSmsHistoryImages({
    { "sms_history_receiver_bg", Size(300, 32), [](Context& c, Size s) { drawSwitch(c, s, true); } },
    { "sms_history_send_bg", Size(300, 32), [](Context& c, Size s) { drawSwitch(c, s, false); } },
});

} // namespace
