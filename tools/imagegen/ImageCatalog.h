#pragma once

#include "platform/graphics/Context.h"

#include <functional>
#include <string>
#include <vector>

namespace imagegen {

// One picture of the app's resources: its name (without ".png"), its size in
// points and how to draw it. Each picture is written twice, at scale 1 as
// "<name>.png" and at scale 2 as "<name>@2x.png"; drawing code thinks in
// points and never sees the scale.
struct ImageEntry {
    std::string name;
    platform::Size size;
    std::function<void(platform::Context&, platform::Size)> draw;
};

// Every area of the app keeps its pictures in its own source file and adds
// them with a static ImageGroup, so areas never edit one shared list.
std::vector<ImageEntry>& catalog();

struct ImageGroup {
    explicit ImageGroup(std::vector<ImageEntry> entries);
};

} // namespace imagegen
