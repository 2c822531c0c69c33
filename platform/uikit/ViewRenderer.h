#pragma once

#include "platform/graphics/Context.h"
#include "platform/graphics/Image.h"

#include <optional>

class CALayer;
class UIImage;
class UIView;

namespace platform {

// Paints a view and its subtree into the context, placed where its superview
// would place it (centre, transform, bounds). In order, per view: shadow,
// background (rounded by the corner radius), then, clipped when the view
// clips: layer contents, the view's own drawRect, free sublayers, subviews;
// finally the border. Hidden views and views of alpha 0 are skipped with their
// subtrees; alpha multiplies down the tree.
void renderView(UIView& view, Context& context, double inheritedAlpha = 1.0);

// The view alone, its bounds filling an image at the scale (the layout is
// brought up to date first). nullopt for an empty view.
std::optional<Image> renderViewToImage(UIView& view, double scale);

// Draws an image into a rectangle, honouring its cap insets (the caps keep
// their size, the middle stretches; caps larger than the rectangle shrink in
// proportion). `darken` draws it as a highlighted button shows its image.
void drawUIImage(Context& context, const UIImage& image, const Rect& rect, bool darken = false);

// A darker copy, as the phone shows a button's image while it is pressed.
Image darkenedImage(const Image& image);

} // namespace platform
