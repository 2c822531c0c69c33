#pragma once

#include "platform/os/Url.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImageView.h"
#include "ui/images/WebImageManager.h"

#include <memory>
#include <optional>

// Loading image views' and buttons' pictures by address through the web image
// manager. platform/uikit sits below this library and cannot know the manager,
// so what were categories on the phone are free functions here taking the view.
// Each view gets one small delegate object of its own (kept in a table while
// the view lives, holding the view weakly) so that a new request cancels the
// view's previous one and an answer never reaches a view that is gone.

// ---- Image views ----------------------------------------------------------------
// Cancels the view's earlier request, shows the placeholder (none when not
// given) and, with an address, asks the manager. Partial and final pictures
// replace the view's image; on failure the placeholder stays.
void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<platform::Url>& url,
    std::shared_ptr<UIImage> placeholder = nullptr, int options = 0);
void setImageWithURL(const std::shared_ptr<UIImageView>& view, const std::optional<platform::Url>& url,
    std::shared_ptr<UIImage> placeholder, int options, WebImageSuccessBlock success, WebImageFailureBlock failure);
void cancelCurrentImageLoad(const std::shared_ptr<UIImageView>& view);

// ---- Buttons -------------------------------------------------------------------------
// The image (or background image) for the normal, selected and highlighted states.
void setImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<platform::Url>& url,
    std::shared_ptr<UIImage> placeholder = nullptr, int options = 0, WebImageSuccessBlock success = {},
    WebImageFailureBlock failure = {});
void setBackgroundImageWithURL(const std::shared_ptr<UIButton>& button, const std::optional<platform::Url>& url,
    std::shared_ptr<UIImage> placeholder = nullptr, int options = 0, WebImageSuccessBlock success = {},
    WebImageFailureBlock failure = {});
void cancelCurrentImageLoad(const std::shared_ptr<UIButton>& button);

// The delegate object the manager knows a view by (tests compare it); nullptr
// before the view's first request.
std::shared_ptr<WebImageManagerDelegate> webCacheDelegateForView(const UIView* view);
