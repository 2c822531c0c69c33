#pragma once

#include "platform/graphics/Text.h"

// The screens' font type under its toolkit name: UIFont::systemFont(15),
// UIFont::boldSystemFont(17). Layout measures it with the fixed metric model.
using UIFont = platform::Font;
