#pragma once

class UIWebView;

// Look-and-feel switches for web views.
namespace UIWebViewHelper {

// Clear and not opaque: the page's transparent areas show what is behind.
void setBackgroundTransparent(UIWebView& webView);
// Hides or shows the edge shadow pictures (image views) inside the web view's scroll views.
void setShadowHidden(UIWebView& webView, bool hidden);
// Whether the web view's scroll view bounces.
void setBounceEnable(UIWebView& webView, bool enable);
void setShowScrollIndicator(UIWebView& webView, bool show);
// Asks the page to stop touch scrolling (a touch-move handler that prevents
// the default). The flag is not consulted: nothing turns it back on.
void setTouchEnable(UIWebView& webView, bool enable);

} // namespace UIWebViewHelper
