#pragma once

#include "platform/graphics/Color.h"

// The screens' colour type under its toolkit name: UIColor::whiteColor(),
// UIColor(r, g, b, a), UIColor::fromWhite(w, a), UIColor::fromRGB255(r, g, b).
using UIColor = platform::Color;
