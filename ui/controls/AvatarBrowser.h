#pragma once

#include "platform/os/Url.h"

#include <memory>
#include <optional>

class UIGestureRecognizer;
class UIImageView;

// Shows a tapped avatar over the whole screen, growing from where it was,
// and loading a larger picture when an address is given; a tap anywhere
// shrinks it back into place. One avatar at a time.
class AvatarBrowser final {
public:
    AvatarBrowser() = delete;

    static constexpr int kBackgroundTag = 101;
    static constexpr int kImageTag = 102;
    static constexpr double kDuration = 0.3;

    static void showImage(
        const std::shared_ptr<UIImageView>& avatarImageView, const std::optional<platform::Url>& newUrl = std::nullopt);
    static void hideImage(UIGestureRecognizer* tap);
};
