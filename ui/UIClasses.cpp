#include "ui/UIClasses.h"

namespace ui {

void registerUIClasses()
{
    // Toolkit views (overlay, tables, cells, grid, pickers, buttons, small views).

    // Remote images and the photo browser.
}

} // namespace ui
