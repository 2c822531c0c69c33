#include "platform/graphics/Context.h"
#include "platform/graphics/PreparedImage.h"

#include "platform/graphics/GraphicsInternal.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

    constexpr double kPi = 3.14159265358979323846;

    bool finite(double v) { return std::isfinite(v); }
    bool finitePoint(Point p) { return finite(p.x) && finite(p.y); }

    double unit(double v) { return std::isnan(v) ? 0.0 : std::clamp(v, 0.0, 1.0); }

    void replay(cairo_t* cr, const Path& path, bool skipLeadingMove)
    {
        bool first = true;
        for (const Path::Element& e : path.elements()) {
            switch (e.op) {
            case Path::Op::Move:
                if (!(first && skipLeadingMove))
                    cairo_move_to(cr, e.points[0].x, e.points[0].y);
                break;
            case Path::Op::Line:
                cairo_line_to(cr, e.points[0].x, e.points[0].y);
                break;
            case Path::Op::Curve:
                cairo_curve_to(
                    cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x, e.points[2].y);
                break;
            case Path::Op::Close:
                cairo_close_path(cr);
                break;
            }
            first = false;
        }
    }

    cairo_operator_t operatorFor(BlendMode mode)
    {
        switch (mode) {
        case BlendMode::Copy:
            return CAIRO_OPERATOR_SOURCE;
        case BlendMode::Clear:
            return CAIRO_OPERATOR_CLEAR;
        case BlendMode::Normal:
            break;
        }
        return CAIRO_OPERATOR_OVER;
    }

    // Keeps the caller's current path across an operation that needs the path for
    // itself (gradients and images do not consume the path on the phone).
    class PathKeeper {
    public:
        explicit PathKeeper(cairo_t* cr)
            : cr_(cr)
            , path_(cairo_copy_path(cr))
        {
        }
        ~PathKeeper()
        {
            cairo_new_path(cr_);
            if (path_ && path_->status == CAIRO_STATUS_SUCCESS)
                cairo_append_path(cr_, path_);
            cairo_path_destroy(path_);
        }
        PathKeeper(const PathKeeper&) = delete;
        PathKeeper& operator=(const PathKeeper&) = delete;

    private:
        cairo_t* cr_;
        cairo_path_t* path_;
    };

} // namespace

Context::Impl::~Impl()
{
    if (cr)
        cairo_destroy(cr);
    if (surface)
        cairo_surface_destroy(surface);
}

Context::Context(std::unique_ptr<Impl> impl)
    : impl_(std::move(impl))
{
}

Context::~Context() = default;

std::unique_ptr<Context> Context::createBitmap(Size points, double scale)
{
    if (!(scale > 0) || !finite(scale))
        scale = 1.0;
    int w = Image::pixelsForPoints(points.width, scale);
    int h = Image::pixelsForPoints(points.height, scale);
    if (w <= 0 || h <= 0 || w > Image::kMaxDimension || h > Image::kMaxDimension
        || static_cast<std::size_t>(w) * static_cast<std::size_t>(h) > Image::kMaxPixels)
        return nullptr;
    auto impl = std::make_unique<Impl>();
    impl->surface = graphics_internal::createSurface(w, h);
    if (!impl->surface)
        return nullptr;
    impl->cr = cairo_create(impl->surface);
    if (cairo_status(impl->cr) != CAIRO_STATUS_SUCCESS)
        return nullptr;
    impl->size = points;
    impl->scale = scale;
    impl->pixelWidth = w;
    impl->pixelHeight = h;
    cairo_scale(impl->cr, scale, scale);
    cairo_set_line_width(impl->cr, 1.0);
    return std::unique_ptr<Context>(new Context(std::move(impl)));
}

Size Context::size() const { return impl_->size; }
double Context::scale() const { return impl_->scale; }
int Context::pixelWidth() const { return impl_->pixelWidth; }
int Context::pixelHeight() const { return impl_->pixelHeight; }

void Context::save()
{
    cairo_save(impl_->cr);
    impl_->saved.push_back(impl_->state);
}

void Context::restore()
{
    if (impl_->saved.empty())
        return;
    cairo_restore(impl_->cr);
    impl_->state = impl_->saved.back();
    impl_->saved.pop_back();
}

void Context::translate(double tx, double ty)
{
    if (finite(tx) && finite(ty))
        cairo_translate(impl_->cr, tx, ty);
}

void Context::scaleBy(double sx, double sy)
{
    // A zero scale would make the matrix singular, which the backend treats as
    // a fatal state error; drawing under it shows nothing anyway.
    if (finite(sx) && finite(sy) && sx != 0 && sy != 0)
        cairo_scale(impl_->cr, sx, sy);
}

void Context::rotate(double radians)
{
    if (finite(radians))
        cairo_rotate(impl_->cr, radians);
}

void Context::concat(const AffineTransform& t)
{
    if (!t.isInvertible())
        return;
    cairo_matrix_t m;
    cairo_matrix_init(&m, t.a, t.b, t.c, t.d, t.tx, t.ty);
    cairo_transform(impl_->cr, &m);
}

AffineTransform Context::currentTransform() const
{
    cairo_matrix_t m;
    cairo_get_matrix(impl_->cr, &m);
    AffineTransform toPixels(m.xx, m.yx, m.xy, m.yy, m.x0, m.y0);
    return toPixels.concat(AffineTransform::makeScale(1 / impl_->scale, 1 / impl_->scale));
}

void Context::beginPath() { cairo_new_path(impl_->cr); }

void Context::moveTo(Point p)
{
    if (finitePoint(p))
        cairo_move_to(impl_->cr, p.x, p.y);
}

void Context::lineTo(Point p)
{
    if (finitePoint(p))
        cairo_line_to(impl_->cr, p.x, p.y);
}

void Context::curveTo(Point c1, Point c2, Point end)
{
    if (finitePoint(c1) && finitePoint(c2) && finitePoint(end))
        cairo_curve_to(impl_->cr, c1.x, c1.y, c2.x, c2.y, end.x, end.y);
}

void Context::quadCurveTo(Point control, Point end)
{
    if (!finitePoint(control) || !finitePoint(end))
        return;
    Path piece;
    if (cairo_has_current_point(impl_->cr)) {
        double x, y;
        cairo_get_current_point(impl_->cr, &x, &y);
        piece.moveTo(Point(x, y));
    }
    piece.quadCurveTo(control, end);
    replay(impl_->cr, piece, cairo_has_current_point(impl_->cr));
}

void Context::addArc(Point centre, double radius, double startAngle, double endAngle, bool clockwise)
{
    Path piece;
    if (cairo_has_current_point(impl_->cr)) {
        double x, y;
        cairo_get_current_point(impl_->cr, &x, &y);
        piece.moveTo(Point(x, y));
    }
    piece.addArc(centre, radius, startAngle, endAngle, clockwise);
    replay(impl_->cr, piece, cairo_has_current_point(impl_->cr));
}

void Context::addArcToPoint(Point p1, Point p2, double radius)
{
    Path piece;
    bool hasCurrent = cairo_has_current_point(impl_->cr);
    if (hasCurrent) {
        double x, y;
        cairo_get_current_point(impl_->cr, &x, &y);
        piece.moveTo(Point(x, y));
    }
    piece.addArcToPoint(p1, p2, radius);
    replay(impl_->cr, piece, hasCurrent);
}

void Context::addRect(const Rect& rect)
{
    Path piece;
    piece.addRect(rect);
    replay(impl_->cr, piece, false);
}

void Context::addRoundedRect(const Rect& rect, double cornerRadius)
{
    Path piece;
    piece.addRoundedRect(rect, cornerRadius);
    replay(impl_->cr, piece, false);
}

void Context::addEllipseInRect(const Rect& rect)
{
    Path piece;
    piece.addEllipseInRect(rect);
    replay(impl_->cr, piece, false);
}

void Context::addPath(const Path& path) { replay(impl_->cr, path, false); }

void Context::closePath()
{
    if (cairo_has_current_point(impl_->cr))
        cairo_close_path(impl_->cr);
}

bool Context::isPathEmpty() const
{
    cairo_path_t* path = cairo_copy_path(impl_->cr);
    bool empty = !path || path->num_data == 0;
    cairo_path_destroy(path);
    return empty;
}

namespace {

    void setSource(cairo_t* cr, const Color& color, double alpha)
    {
        Color c = color.clamped();
        cairo_set_source_rgba(cr, c.red, c.green, c.blue, c.alpha * unit(alpha));
    }

} // namespace

void Context::fillPath(FillRule rule)
{
    cairo_t* cr = impl_->cr;
    setSource(cr, impl_->state.fill, impl_->state.alpha);
    cairo_set_operator(cr, operatorFor(impl_->state.blend));
    cairo_set_fill_rule(cr, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_fill(cr);
}

void Context::strokePath()
{
    cairo_t* cr = impl_->cr;
    if (impl_->state.lineWidth <= 0) {
        cairo_new_path(cr);
        return;
    }
    setSource(cr, impl_->state.stroke, impl_->state.alpha);
    cairo_set_operator(cr, operatorFor(impl_->state.blend));
    cairo_stroke(cr);
}

void Context::fillAndStrokePath(FillRule rule)
{
    cairo_t* cr = impl_->cr;
    setSource(cr, impl_->state.fill, impl_->state.alpha);
    cairo_set_operator(cr, operatorFor(impl_->state.blend));
    cairo_set_fill_rule(cr, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_fill_preserve(cr);
    strokePath();
}

void Context::fillRect(const Rect& rect)
{
    PathKeeper keep(impl_->cr);
    cairo_new_path(impl_->cr);
    addRect(rect);
    fillPath();
}

void Context::strokeRect(const Rect& rect)
{
    PathKeeper keep(impl_->cr);
    cairo_new_path(impl_->cr);
    addRect(rect);
    strokePath();
}

void Context::clearRect(const Rect& rect)
{
    PathKeeper keep(impl_->cr);
    cairo_t* cr = impl_->cr;
    cairo_save(cr);
    cairo_new_path(cr);
    addRect(rect);
    cairo_set_operator(cr, CAIRO_OPERATOR_CLEAR);
    cairo_fill(cr);
    cairo_restore(cr);
}

void Context::fillEllipseInRect(const Rect& rect)
{
    PathKeeper keep(impl_->cr);
    cairo_new_path(impl_->cr);
    addEllipseInRect(rect);
    fillPath();
}

void Context::strokeEllipseInRect(const Rect& rect)
{
    PathKeeper keep(impl_->cr);
    cairo_new_path(impl_->cr);
    addEllipseInRect(rect);
    strokePath();
}

void Context::paint()
{
    cairo_t* cr = impl_->cr;
    setSource(cr, impl_->state.fill, impl_->state.alpha);
    cairo_set_operator(cr, operatorFor(impl_->state.blend));
    cairo_paint(cr);
}

void Context::clip(FillRule rule)
{
    cairo_set_fill_rule(impl_->cr, rule == FillRule::EvenOdd ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    cairo_clip(impl_->cr);
}

void Context::clipToRect(const Rect& rect)
{
    PathKeeper keep(impl_->cr);
    cairo_new_path(impl_->cr);
    if (rect.isNull()) {
        // Nothing remains drawable.
        cairo_rectangle(impl_->cr, 0, 0, 0, 0);
    } else {
        addRect(rect);
    }
    cairo_set_fill_rule(impl_->cr, CAIRO_FILL_RULE_WINDING);
    cairo_clip(impl_->cr);
}

Rect Context::clipBoundingBox() const
{
    double x0, y0, x1, y1;
    cairo_clip_extents(impl_->cr, &x0, &y0, &x1, &y1);
    return Rect(x0, y0, x1 - x0, y1 - y0);
}

void Context::setFillColor(const Color& color) { impl_->state.fill = color; }
void Context::setStrokeColor(const Color& color) { impl_->state.stroke = color; }
Color Context::fillColor() const { return impl_->state.fill; }
Color Context::strokeColor() const { return impl_->state.stroke; }

void Context::setLineWidth(double width)
{
    if (!(width >= 0) || !finite(width))
        width = 0;
    impl_->state.lineWidth = width;
    // The backend needs a positive width; strokePath draws nothing at 0.
    cairo_set_line_width(impl_->cr, width > 0 ? width : 1.0);
}

double Context::lineWidth() const { return impl_->state.lineWidth; }

void Context::setLineCap(LineCap cap)
{
    cairo_set_line_cap(impl_->cr,
        cap == LineCap::Round        ? CAIRO_LINE_CAP_ROUND
            : cap == LineCap::Square ? CAIRO_LINE_CAP_SQUARE
                                     : CAIRO_LINE_CAP_BUTT);
}

void Context::setLineJoin(LineJoin join)
{
    cairo_set_line_join(impl_->cr,
        join == LineJoin::Round       ? CAIRO_LINE_JOIN_ROUND
            : join == LineJoin::Bevel ? CAIRO_LINE_JOIN_BEVEL
                                      : CAIRO_LINE_JOIN_MITER);
}

void Context::setMiterLimit(double limit)
{
    if (finite(limit) && limit >= 1)
        cairo_set_miter_limit(impl_->cr, limit);
}

void Context::setLineDash(double phase, const std::vector<double>& lengths)
{
    bool usable = !lengths.empty();
    double total = 0;
    for (double l : lengths) {
        if (!finite(l) || l < 0)
            usable = false;
        else
            total += l;
    }
    if (!usable || total <= 0 || !finite(phase)) {
        cairo_set_dash(impl_->cr, nullptr, 0, 0);
        return;
    }
    cairo_set_dash(impl_->cr, lengths.data(), static_cast<int>(lengths.size()), phase);
}

void Context::setAlpha(double alpha) { impl_->state.alpha = unit(alpha); }
double Context::alpha() const { return impl_->state.alpha; }
void Context::setBlendMode(BlendMode mode) { impl_->state.blend = mode; }

void Context::setShouldAntialias(bool antialias)
{
    cairo_set_antialias(impl_->cr, antialias ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
}

void Context::setInterpolationQuality(Interpolation quality) { impl_->state.interpolation = quality; }

namespace {

    void addStops(cairo_pattern_t* pattern, std::vector<GradientStop> stops)
    {
        for (GradientStop& s : stops)
            s.location = unit(s.location);
        std::stable_sort(stops.begin(), stops.end(),
            [](const GradientStop& a, const GradientStop& b) { return a.location < b.location; });
        for (const GradientStop& s : stops) {
            Color c = s.color.clamped();
            cairo_pattern_add_color_stop_rgba(pattern, s.location, c.red, c.green, c.blue, c.alpha);
        }
    }

} // namespace

void Context::drawLinearGradient(const std::vector<GradientStop>& stops, Point start, Point end, unsigned options)
{
    if (stops.empty() || !finitePoint(start) || !finitePoint(end))
        return;
    cairo_t* cr = impl_->cr;
    PathKeeper keep(cr);
    cairo_save(cr);
    cairo_new_path(cr);
    double dx = end.x - start.x, dy = end.y - start.y;
    double length = std::hypot(dx, dy);
    bool before = options & GradientDrawsBeforeStart;
    bool after = options & GradientDrawsAfterEnd;
    if (length == 0) {
        cairo_restore(cr);
        return;
    }
    if (!(before && after)) {
        // Limit painting to the band between the perpendiculars through the
        // ends that are not extended: a large quadrilateral along the axis.
        double ux = dx / length, uy = dy / length;
        double px = -uy, py = ux;
        double far = 1e6;
        double t0 = before ? -far : 0;
        double t1 = after ? length + far : length;
        auto at = [&](double t, double s) { return Point(start.x + ux * t + px * s, start.y + uy * t + py * s); };
        Point q[4] = { at(t0, -far), at(t1, -far), at(t1, far), at(t0, far) };
        cairo_move_to(cr, q[0].x, q[0].y);
        for (int i = 1; i < 4; ++i)
            cairo_line_to(cr, q[i].x, q[i].y);
        cairo_close_path(cr);
        cairo_clip(cr);
    }
    cairo_pattern_t* pattern = cairo_pattern_create_linear(start.x, start.y, end.x, end.y);
    addStops(pattern, stops);
    cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
    cairo_set_source(cr, pattern);
    cairo_set_operator(cr, operatorFor(impl_->state.blend));
    cairo_paint_with_alpha(cr, impl_->state.alpha);
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
}

void Context::drawRadialGradient(const std::vector<GradientStop>& stops, Point startCentre, double startRadius,
    Point endCentre, double endRadius, unsigned options)
{
    if (stops.empty() || !finitePoint(startCentre) || !finitePoint(endCentre) || !finite(startRadius)
        || !finite(endRadius))
        return;
    startRadius = std::max(0.0, startRadius);
    endRadius = std::max(0.0, endRadius);
    cairo_t* cr = impl_->cr;
    PathKeeper keep(cr);
    cairo_save(cr);
    cairo_new_path(cr);
    bool before = options & GradientDrawsBeforeStart;
    bool after = options & GradientDrawsAfterEnd;
    cairo_pattern_t* pattern
        = cairo_pattern_create_radial(startCentre.x, startCentre.y, startRadius, endCentre.x, endCentre.y, endRadius);
    addStops(pattern, stops);
    if (before || after) {
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_PAD);
        if (!before && startRadius > 0) {
            // Extended past the end only: keep the inside of the start circle empty.
            cairo_rectangle(cr, -1e6, -1e6, 2e6, 2e6);
            cairo_new_sub_path(cr);
            cairo_arc(cr, startCentre.x, startCentre.y, startRadius, 0, 2 * kPi);
            cairo_set_fill_rule(cr, CAIRO_FILL_RULE_EVEN_ODD);
            cairo_clip(cr);
        } else if (!after) {
            cairo_arc(cr, endCentre.x, endCentre.y, endRadius, 0, 2 * kPi);
            cairo_clip(cr);
        }
    } else {
        cairo_pattern_set_extend(pattern, CAIRO_EXTEND_NONE);
    }
    cairo_set_source(cr, pattern);
    cairo_set_operator(cr, operatorFor(impl_->state.blend));
    cairo_paint_with_alpha(cr, impl_->state.alpha);
    cairo_pattern_destroy(pattern);
    cairo_restore(cr);
}

void Context::drawImage(const Image& image, const Rect& rect)
{
    if (image.isNull() || rect.isEmpty())
        return;
    if (auto prepared = PreparedImage::make(image))
        drawImage(*prepared, rect);
}

void Context::drawImage(const PreparedImage& image, const Rect& rect)
{
    if (rect.isEmpty())
        return;
    cairo_t* cr = impl_->cr;
    PathKeeper keep(cr);
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_translate(cr, rect.minX(), rect.minY());
    cairo_set_operator(cr, operatorFor(impl_->state.blend));
    graphics_internal::paintSurface(cr, image.surface(), image.pixelWidth(), image.pixelHeight(), rect.width(),
        rect.height(), impl_->state.interpolation, impl_->state.alpha);
    cairo_restore(cr);
}

void Context::drawOpaquePixels(
    const std::uint8_t* pixels, int pixelWidth, int pixelHeight, std::size_t stride, const Rect& rect)
{
    if (!pixels || pixelWidth <= 0 || pixelHeight <= 0 || rect.isEmpty() || stride % 4 != 0
        || stride < static_cast<std::size_t>(pixelWidth) * 4 || stride > static_cast<std::size_t>(INT32_MAX))
        return;
    // Cairo's RGB24 is one 32-bit word a pixel, blue in the lowest byte, the
    // top byte ignored: the frame's own layout, so the buffer is wrapped as it is.
    cairo_surface_t* source = cairo_image_surface_create_for_data(const_cast<unsigned char*>(pixels),
        CAIRO_FORMAT_RGB24, pixelWidth, pixelHeight, static_cast<int>(stride));
    if (cairo_surface_status(source) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(source);
        return;
    }
    cairo_t* cr = impl_->cr;
    PathKeeper keep(cr);
    cairo_save(cr);
    cairo_new_path(cr);
    cairo_translate(cr, rect.minX(), rect.minY());
    cairo_scale(cr, rect.width() / pixelWidth, rect.height() / pixelHeight);
    cairo_set_operator(cr, operatorFor(impl_->state.blend));
    cairo_set_source_surface(cr, source, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_GOOD);
    cairo_pattern_set_extend(cairo_get_source(cr), CAIRO_EXTEND_PAD);
    cairo_rectangle(cr, 0, 0, pixelWidth, pixelHeight);
    cairo_clip(cr);
    cairo_paint_with_alpha(cr, impl_->state.alpha);
    cairo_restore(cr);
    cairo_surface_destroy(source);
}

Image Context::makeImage() const { return graphics_internal::imageFromSurface(impl_->surface, impl_->scale); }

bool Context::writePNG(const std::string& path) const { return makeImage().writePNG(path); }

} // namespace platform
