#include "platform/uikit/ViewRenderer.h"

#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIView.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace platform {

namespace {

    UIViewContentMode modeForGravity(const std::string& gravity)
    {
        static const std::pair<const char*, UIViewContentMode> table[] = {
            { kCAGravityResize, UIViewContentModeScaleToFill },
            { kCAGravityResizeAspect, UIViewContentModeScaleAspectFit },
            { kCAGravityResizeAspectFill, UIViewContentModeScaleAspectFill },
            { kCAGravityCenter, UIViewContentModeCenter },
            { kCAGravityTop, UIViewContentModeTop },
            { kCAGravityBottom, UIViewContentModeBottom },
            { kCAGravityLeft, UIViewContentModeLeft },
            { kCAGravityRight, UIViewContentModeRight },
            { kCAGravityTopLeft, UIViewContentModeTopLeft },
            { kCAGravityTopRight, UIViewContentModeTopRight },
            { kCAGravityBottomLeft, UIViewContentModeBottomLeft },
            { kCAGravityBottomRight, UIViewContentModeBottomRight },
        };
        for (auto& [name, mode] : table) {
            if (gravity == name)
                return mode;
        }
        return UIViewContentModeScaleToFill;
    }

    void roundedRectPath(Context& context, const Rect& box, double radius)
    {
        context.beginPath();
        if (radius > 0)
            context.addRoundedRect(box, radius);
        else
            context.addRect(box);
    }

    // Shadow, background, contents: what a layer paints below its content.
    void paintLayerBackground(Context& context, const CALayer& layer, const Rect& box, double alpha)
    {
        double radius = layer.cornerRadius();
        auto background = layer.backgroundColor();
        bool paintsSomething = !background.isClear() || layer.contents();
        if (layer.shadowOpacity() > 0 && !layer.shadowColor().isClear() && paintsSomething) {
            // A plain offset shape, softened by a few wider translucent rings of the radius.
            auto offset = layer.shadowOffset();
            Rect shadowBox = box.offsetBy(offset.width, offset.height);
            double blur = std::min(layer.shadowRadius(), 8.0);
            int rings = blur > 0 ? 3 : 0;
            for (int i = rings; i >= 0; --i) {
                double grow = rings ? blur * double(i) / rings : 0;
                context.setAlpha(alpha * layer.shadowOpacity() / double(rings + 1));
                context.setFillColor(layer.shadowColor());
                roundedRectPath(context, shadowBox.insetBy(-grow, -grow), radius + grow);
                context.fillPath();
            }
            context.setAlpha(alpha);
        }
        if (!background.isClear()) {
            context.setFillColor(background);
            roundedRectPath(context, box, radius);
            context.fillPath();
        }
    }

    void paintContents(Context& context, const CALayer& layer, const Rect& box)
    {
        if (auto contents = layer.contents()) {
            Rect target = rectForContentMode(modeForGravity(layer.contentsGravity()), contents->size(), box);
            drawUIImage(context, *contents, target);
        }
    }

    void paintBorder(Context& context, const CALayer& layer, const Rect& box)
    {
        double width = layer.borderWidth();
        if (!(width > 0) || layer.borderColor().isClear())
            return;
        width = std::min(width, std::min(box.width(), box.height()) / 2);
        if (!(width > 0))
            return;
        context.setStrokeColor(layer.borderColor());
        context.setLineWidth(width);
        roundedRectPath(context, box.insetBy(width / 2, width / 2), std::max(layer.cornerRadius() - width / 2, 0.0));
        context.strokePath();
    }

    void renderLayer(CALayer& layer, Context& context, double inheritedAlpha)
    {
        if (layer.isHidden())
            return;
        double alpha = inheritedAlpha * layer.opacity();
        if (alpha <= 0)
            return;
        Rect bounds = layer.bounds();
        auto position = layer.position();
        context.save();
        context.translate(position.x, position.y);
        auto t = layer.transform().affine();
        if (!t.isIdentity())
            context.concat(t);
        context.translate(-bounds.width() / 2, -bounds.height() / 2);
        context.setAlpha(alpha);
        Rect box(0, 0, bounds.width(), bounds.height());
        paintLayerBackground(context, layer, box, alpha);
        if (layer.masksToBounds()) {
            roundedRectPath(context, box, layer.cornerRadius());
            context.clip();
        }
        paintContents(context, layer, box);
        context.save();
        context.translate(-bounds.origin.x, -bounds.origin.y);
        for (auto& sublayer : std::vector<std::shared_ptr<CALayer>>(layer.sublayers()))
            renderLayer(*sublayer, context, alpha);
        context.restore();
        context.setAlpha(alpha);
        paintBorder(context, layer, box);
        context.restore();
    }

} // namespace

Image darkenedImage(const Image& image)
{
    Image copy = image;
    auto& pixels = copy.mutablePixels();
    for (std::size_t i = 0; i + 3 < pixels.size(); i += 4) {
        for (int c = 0; c < 3; ++c)
            pixels[i + std::size_t(c)] = std::uint8_t(pixels[i + std::size_t(c)] * 0.6);
    }
    return copy;
}

void drawUIImage(Context& context, const UIImage& uiImage, const Rect& rect, bool darken)
{
    if (rect.isEmpty() || !std::isfinite(rect.width()) || !std::isfinite(rect.height()))
        return;
    const Image& source = uiImage.CGImage();
    if (source.isNull())
        return;
    if (!uiImage.hasCapInsets()) {
        if (auto whole = uiImage.prepared(0, 0, source.pixelWidth(), source.pixelHeight(), darken))
            context.drawImage(*whole, rect);
        return;
    }
    auto caps = uiImage.capInsets();
    double scale = source.scale();
    Size size = source.size();
    // Caps that do not fit the image itself are cut to it.
    double left = std::min(caps.left, size.width);
    double right = std::min(caps.right, size.width - left);
    double top = std::min(caps.top, size.height);
    double bottom = std::min(caps.bottom, size.height - top);
    // Caps wider than the target shrink in proportion.
    double sx = left + right > rect.width() ? rect.width() / (left + right) : 1;
    double sy = top + bottom > rect.height() ? rect.height() / (top + bottom) : 1;
    double srcX[4] = { 0, left, size.width - right, size.width };
    double srcY[4] = { 0, top, size.height - bottom, size.height };
    double dstX[4] = { rect.minX(), rect.minX() + left * sx, rect.maxX() - right * sx, rect.maxX() };
    double dstY[4] = { rect.minY(), rect.minY() + top * sy, rect.maxY() - bottom * sy, rect.maxY() };
    for (int row = 0; row < 3; ++row) {
        for (int column = 0; column < 3; ++column) {
            int px = int(std::lround(srcX[column] * scale));
            int py = int(std::lround(srcY[row] * scale));
            int pw = int(std::lround(srcX[column + 1] * scale)) - px;
            int ph = int(std::lround(srcY[row + 1] * scale)) - py;
            double dw = dstX[column + 1] - dstX[column];
            double dh = dstY[row + 1] - dstY[row];
            if (pw <= 0 || ph <= 0 || dw <= 0 || dh <= 0)
                continue;
            if (auto piece = uiImage.prepared(px, py, pw, ph, darken))
                context.drawImage(*piece, Rect(dstX[column], dstY[row], dw, dh));
        }
    }
}

void renderView(UIView& view, Context& context, double inheritedAlpha)
{
    if (view.isHidden())
        return;
    double alpha = inheritedAlpha * view.alpha();
    if (alpha <= 0)
        return;
    auto keep = view.sharedView();
    auto& layer = *view.layer();
    Rect bounds = view.bounds();
    auto center = view.center();
    context.save();
    context.translate(center.x, center.y);
    auto t = view.transform();
    if (!t.isIdentity())
        context.concat(t);
    context.translate(-bounds.width() / 2, -bounds.height() / 2);
    context.setAlpha(alpha);
    Rect box(0, 0, bounds.width(), bounds.height());

    paintLayerBackground(context, layer, box, alpha);
    if (layer.masksToBounds()) {
        roundedRectPath(context, box, layer.cornerRadius());
        context.clip();
    }
    paintContents(context, layer, box);

    context.save();
    context.translate(-bounds.origin.x, -bounds.origin.y);
    view.drawRect(context, bounds);
    context.restore();
    view.clearNeedsDisplay();
    context.setAlpha(alpha);

    context.save();
    context.translate(-bounds.origin.x, -bounds.origin.y);
    for (auto& sublayer : std::vector<std::shared_ptr<CALayer>>(layer.sublayers()))
        renderLayer(*sublayer, context, alpha);
    for (auto& subview : std::vector<std::shared_ptr<UIView>>(view.subviews()))
        renderView(*subview, context, alpha);
    context.restore();

    context.setAlpha(alpha);
    paintBorder(context, layer, box);
    context.restore();
}

std::optional<Image> renderViewToImage(UIView& view, double scale)
{
    view.layoutIfNeeded();
    Rect bounds = view.bounds();
    auto context = Context::createBitmap(bounds.size, scale);
    if (!context)
        return std::nullopt;
    // Place the view so that its bounds fill the bitmap, whatever its own centre.
    auto center = view.center();
    context->translate(bounds.width() / 2 - center.x, bounds.height() / 2 - center.y);
    auto t = view.transform();
    if (!t.isIdentity()) {
        // Undo the view's own transform: the picture shows its bounds upright.
        context->translate(center.x, center.y);
        context->concat(t.inverted());
        context->translate(-center.x, -center.y);
    }
    renderView(view, *context);
    return context->makeImage();
}

} // namespace platform
