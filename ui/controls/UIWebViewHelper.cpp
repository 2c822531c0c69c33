#include "ui/controls/UIWebViewHelper.h"

#include "platform/uikit/UIColor.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UIWebView.h"

namespace UIWebViewHelper {

namespace {

    // The web view's first subview is its scroll view.
    std::shared_ptr<UIScrollView> firstScrollView(UIWebView& webView)
    {
        const auto& subviews = webView.subviews();
        return subviews.empty() ? nullptr : std::dynamic_pointer_cast<UIScrollView>(subviews.front());
    }

    constexpr char kTouchMoveScript[] = "var script = document.createElement('script');"
                                        "script.type = 'text/javascript';"
                                        "script.text = \"document.ontouchmove = function(e){ e.preventDefault(); }\";"
                                        "document.getElementsByTagName('head')[0].appendChild(script);";

} // namespace

void setBackgroundTransparent(UIWebView& webView)
{
    webView.setBackgroundColor(UIColor::clearColor());
    webView.setOpaque(false);
}

void setShadowHidden(UIWebView& webView, bool hidden)
{
    for (const auto& subview : webView.subviews()) {
        if (!std::dynamic_pointer_cast<UIScrollView>(subview))
            continue;
        for (const auto& inner : subview->subviews()) {
            if (std::dynamic_pointer_cast<UIImageView>(inner))
                inner->setHidden(hidden);
        }
    }
}

void setBounceEnable(UIWebView& webView, bool enable)
{
    if (auto scroll = firstScrollView(webView))
        scroll->setBounces(enable);
}

void setShowScrollIndicator(UIWebView& webView, bool show)
{
    if (auto scroll = firstScrollView(webView)) {
        scroll->setShowsHorizontalScrollIndicator(show);
        scroll->setShowsVerticalScrollIndicator(show);
    }
}

void setTouchEnable(UIWebView& webView, bool) { webView.stringByEvaluatingJavaScriptFromString(kTouchMoveScript); }

} // namespace UIWebViewHelper
