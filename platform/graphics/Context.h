#pragma once

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace platform {

class PreparedImage;

enum class FillRule { Winding, EvenOdd };
enum class LineCap { Butt, Round, Square };
enum class LineJoin { Miter, Round, Bevel };
enum class BlendMode {
    Normal, // source over
    Copy, // replaces what is below, alpha included
    Clear, // makes the covered area transparent
};

// A path recorded in user coordinates, reusable across contexts (the star
// pictures are built once and filled many times). Angles are in radians;
// positive angles turn clockwise on screen (y grows downwards).
class Path final {
public:
    enum class Op { Move, Line, Curve, Close };
    struct Element {
        Op op;
        Point points[3]; // Move/Line: [0]; Curve: control 1, control 2, end
    };

    void moveTo(Point p);
    // Without a current point, a line starts a new subpath at p.
    void lineTo(Point p);
    void curveTo(Point control1, Point control2, Point end);
    void quadCurveTo(Point control, Point end);
    // A circular arc around a centre from one angle to another, joined to the
    // current point by a straight line. `clockwise` as seen on screen.
    void addArc(Point centre, double radius, double startAngle, double endAngle, bool clockwise);
    // The arc of the given radius tangent to the lines (current → p1) and
    // (p1 → p2), joined by a straight line from the current point; a
    // degenerate case (no current point, collinear points, zero radius) draws a
    // straight line to p1.
    void addArcToPoint(Point p1, Point p2, double radius);
    void addRect(const Rect& rect);
    // Corner radius clamped to half the shorter side; the outline starts on the
    // top edge and runs clockwise.
    void addRoundedRect(const Rect& rect, double cornerRadius);
    void addEllipseInRect(const Rect& rect);
    void addPath(const Path& other, const AffineTransform& transform = AffineTransform::identity());
    void closeSubpath();

    bool isEmpty() const { return elements_.empty(); }
    bool hasCurrentPoint() const { return hasCurrent_; }
    Point currentPoint() const { return current_; }
    // Bounding box of every point of the path (curve control points included).
    Rect boundingBox() const;
    const std::vector<Element>& elements() const { return elements_; }
    // Whether the point lies inside the filled path under the rule.
    bool contains(Point p, FillRule rule = FillRule::Winding) const;

private:
    std::vector<Element> elements_;
    Point current_;
    Point subpathStart_;
    bool hasCurrent_ = false;
};

struct GradientStop {
    double location = 0; // 0…1 along the gradient
    Color color;
};

// Whether a gradient keeps painting its end colours beyond its ends.
enum GradientDrawingOptions : unsigned {
    GradientDrawsNeither = 0,
    GradientDrawsBeforeStart = 1,
    GradientDrawsAfterEnd = 2,
};

// A drawing context over a bitmap, in points with y growing downwards. A
// bitmap context of size (w, h) points at scale s owns ceil(w·s) × ceil(h·s)
// pixels, starts fully transparent and has the scale already in its base
// transform, so drawing code thinks in points only.
//
// The graphics state (transform, clip, colours, line settings, alpha, blend
// mode) is saved and restored as a stack; a restore without a save is ignored.
// Non-finite coordinates make the call do nothing; bad values for widths and
// alphas are clamped.
class Context final {
public:
    // nullptr when the size is empty, NaN or too large (see Image::kMaxPixels).
    // A scale that is not a positive finite number becomes 1.
    static std::unique_ptr<Context> createBitmap(Size points, double scale = 1.0);
    ~Context();
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;

    Size size() const;
    double scale() const;
    int pixelWidth() const;
    int pixelHeight() const;

    void save();
    void restore();

    // Transform of user space, the new step applied before the current ones
    // (so translate then rotate turns about the translated origin).
    void translate(double tx, double ty);
    void scaleBy(double sx, double sy);
    void rotate(double radians);
    void concat(const AffineTransform& transform);
    // User space → the context's points (the bitmap scale not included).
    AffineTransform currentTransform() const;

    // The current path, in user space at the time each element is added.
    void beginPath();
    void moveTo(Point p);
    void lineTo(Point p);
    void curveTo(Point control1, Point control2, Point end);
    void quadCurveTo(Point control, Point end);
    void addArc(Point centre, double radius, double startAngle, double endAngle, bool clockwise);
    void addArcToPoint(Point p1, Point p2, double radius);
    void addRect(const Rect& rect);
    void addRoundedRect(const Rect& rect, double cornerRadius);
    void addEllipseInRect(const Rect& rect);
    void addPath(const Path& path);
    void closePath();
    bool isPathEmpty() const;

    // Painting consumes the current path (as on the phone).
    void fillPath(FillRule rule = FillRule::Winding);
    void strokePath();
    void fillAndStrokePath(FillRule rule = FillRule::Winding);
    void fillRect(const Rect& rect);
    void strokeRect(const Rect& rect);
    // Makes the rectangle transparent (ignores colour, alpha and blend mode).
    void clearRect(const Rect& rect);
    void fillEllipseInRect(const Rect& rect);
    void strokeEllipseInRect(const Rect& rect);
    // Fills the whole clip area with the fill colour.
    void paint();

    // Intersects the clip with the current path (consumed) or a rectangle.
    void clip(FillRule rule = FillRule::Winding);
    void clipToRect(const Rect& rect);
    // The clip's bounding box in user space.
    Rect clipBoundingBox() const;

    void setFillColor(const Color& color);
    void setStrokeColor(const Color& color);
    Color fillColor() const;
    Color strokeColor() const;
    // Negative or NaN widths become 0 (which strokes nothing).
    void setLineWidth(double width);
    double lineWidth() const;
    void setLineCap(LineCap cap);
    void setLineJoin(LineJoin join);
    void setMiterLimit(double limit);
    // Lengths alternate on and off, starting `phase` into the pattern; an empty
    // list (or one that is all zeros or has a negative length) is a solid line.
    void setLineDash(double phase, const std::vector<double>& lengths);
    // An alpha multiplied into everything drawn (0…1).
    void setAlpha(double alpha);
    double alpha() const;
    void setBlendMode(BlendMode mode);
    void setShouldAntialias(bool antialias);
    // Sampling of images drawn at another size.
    void setInterpolationQuality(Interpolation quality);

    // Linear gradient between two points; radial between two circles. Stops are
    // sorted by location (clamped to 0…1); no stop draws nothing. The gradient
    // paints the clip area within its extent, beyond it only as the options say.
    void drawLinearGradient(const std::vector<GradientStop>& stops, Point start, Point end, unsigned options = 0);
    void drawRadialGradient(const std::vector<GradientStop>& stops, Point startCentre, double startRadius,
        Point endCentre, double endRadius, unsigned options = 0);

    // Draws the image upright, stretched into the rectangle (user space).
    void drawImage(const Image& image, const Rect& rect);
    // The same for an image converted beforehand (the same pixels as drawing
    // the Image it was made from).
    void drawImage(const PreparedImage& image, const Rect& rect);
    // Draws opaque 32-bit pixels held by the caller (blue, green, red, then a
    // byte ignored; rows `stride` bytes apart, a multiple of 4) stretched into
    // the rectangle, without copying them: a movie frame straight from its buffer.
    void drawOpaquePixels(const std::uint8_t* pixels, int pixelWidth, int pixelHeight, std::size_t stride,
        const Rect& rect);

    // A copy of the bitmap so far, with the context's scale.
    Image makeImage() const;
    bool writePNG(const std::string& path) const;

    // The drawing backend's state, for the text drawing code of this library.
    struct Impl;
    Impl& impl() { return *impl_; }

private:
    explicit Context(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> impl_;
};

} // namespace platform
