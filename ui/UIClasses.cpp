#include "ui/UIClasses.h"

namespace ui {

void registerUIClasses()
{
    // Overlay, buttons, stars, small views.

    // Refresh tables, cells, grid, picker field.

    // Remote images and the photo browser.
}

} // namespace ui
