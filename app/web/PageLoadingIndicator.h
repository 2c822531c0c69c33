#pragma once

#include <memory>

class UIActivityIndicatorView;
class UIView;

// A grey spinner at the middle of a screen's web view while its page is on
// the way, for the screens whose page says nothing of its own until it is
// drawn: from the screen's first frame (the page itself starts loading a
// moment later, on the first page once the web engine is up) to the end of
// the load.
class PageLoadingIndicator final {
public:
    // Over the web view, in its superview; a second call leaves the one shown.
    void show(const std::shared_ptr<UIView>& webView);
    void hide();
    bool isShown() const { return spinner_ != nullptr; }

private:
    std::shared_ptr<UIActivityIndicatorView> spinner_;
};
