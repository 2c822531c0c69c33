#include "content/magazine/MagazineContentView.h"

#include "core/session/ORBEndpoints.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/CATransition.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UISwipeGestureRecognizer.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "ui/ORBHelper.h"

#include <algorithm>

namespace content {

std::shared_ptr<MagazineContentView> MagazineContentView::contentView()
{
    auto objects = platform::LayoutLoader::loadNamedFor<MagazineContentView>(nullptr);
    return objects.empty() ? nullptr : std::dynamic_pointer_cast<MagazineContentView>(objects.back());
}

std::optional<platform::Url> MagazineContentView::chapterURL(int postId, int chapterId)
{
    return platform::Url::parse(core::ORBEndpoints::serverBase() + core::ORBEndpoints::kPullPrefix + "magazine/"
        + std::to_string(postId) + "/" + std::to_string(chapterId));
}

void MagazineContentView::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("webView", webView_);
    bindings.outlet("webView2", webView2_);
    bindings.outlet("toolbarView", toolbarView_);
    bindings.outlet("backItem", backItem_);
    bindings.outlet("listItem", listItem_);
    bindings.action("backAction:", &MagazineContentView::backAction);
    bindings.action("listAction:", &MagazineContentView::listAction);
}

void MagazineContentView::awakeFromNib()
{
    UIView::awakeFromNib();
    isWebView1_ = true;
    addSwipes(webView_);
    addSwipes(webView2_);
}

void MagazineContentView::addSwipes(const std::shared_ptr<UIWebView>& webView)
{
    auto self = std::static_pointer_cast<MagazineContentView>(shared_from_this());
    for (unsigned direction : { UISwipeGestureRecognizerDirectionLeft, UISwipeGestureRecognizerDirectionRight }) {
        auto swipe = std::make_shared<UISwipeGestureRecognizer>();
        swipe->setDirection(direction);
        swipe->addTarget(self, &MagazineContentView::swipeView);
        // The page keeps its own scrolling and taps.
        swipe->setDelegate(std::weak_ptr<UIGestureRecognizerDelegate>(self));
        webView->addGestureRecognizer(swipe);
    }
}

void MagazineContentView::setAllChapterIndexs(std::vector<std::string> indexes)
{
    allChapterIndexs_ = std::move(indexes);
    if (hasChapter_)
        currentPosition_ = positionOf(currentIndex_);
}

std::size_t MagazineContentView::positionOf(int chapterId) const
{
    auto found = std::find(allChapterIndexs_.begin(), allChapterIndexs_.end(), std::to_string(chapterId));
    return found == allChapterIndexs_.end() ? kNotInOrder : static_cast<std::size_t>(found - allChapterIndexs_.begin());
}

void MagazineContentView::setCurrentIndex(int chapterId)
{
    isWebView1_ = true;
    currentIndex_ = chapterId;
    currentPosition_ = positionOf(chapterId);
    hasChapter_ = true;
    loadChapter(chapterId);
}

void MagazineContentView::loadChapter(int chapterId)
{
    auto url = chapterURL(postId_, chapterId);
    if (!url)
        return;
    std::weak_ptr<UIWebViewDelegate> self = std::static_pointer_cast<MagazineContentView>(shared_from_this());
    for (const auto& web : { webView_, webView2_ }) {
        // The chapter shown is cleared while the next one loads, here,
        // before the engine is asked for the next: a script reaches the page
        // the engine holds when it runs, and the engine's news of a load (its
        // start, the end of the load before) can reach the screen after the
        // next page has come in.
        web->stringByEvaluatingJavaScriptFromString(kClearScript);
        web->setDelegate(self);
        web->loadRequest(NSURLRequest(*url));
    }
    // The chapter's loading view shows at once: its load starts a moment
    // later (the first chapter's once the web engine is up).
    showLoadingView(*webView_);
}

void MagazineContentView::swipeView(UIGestureRecognizer* recognizer)
{
    bringSubviewToFront(webView_);
    if (toolbarView_)
        bringSubviewToFront(toolbarView_);
    isWebView1_ = true;
    unsigned direction = UISwipeGestureRecognizerDirectionLeft;
    if (auto* swipe = dynamic_cast<UISwipeGestureRecognizer*>(recognizer))
        direction = swipe->direction();
    bool forward = direction == UISwipeGestureRecognizerDirectionLeft;
    if (!forward && direction != UISwipeGestureRecognizerDirectionRight)
        return;

    // A chapter that is not in the reading order (a head chapter the index
    // lacks) has no neighbours: the page stays.
    if (currentPosition_ == kNotInOrder || currentPosition_ >= allChapterIndexs_.size())
        return;
    if (forward && currentPosition_ + 1 == allChapterIndexs_.size()) {
        // Past the last chapter: it stays, and says so.
        ORBHelper::showProgressHud(kLastPageText, false, true);
        return;
    }
    if (!forward && currentPosition_ == 0) {
        if (auto target = delegate_.lock())
            target->backToDirectory();
        return;
    }
    currentPosition_ = forward ? currentPosition_ + 1 : currentPosition_ - 1;
    currentIndex_ = static_cast<int>(platform::leadingIntegerOf(allChapterIndexs_[currentPosition_]));
    loadChapter(currentIndex_);
    auto transition = std::make_shared<CATransition>();
    transition->setDuration(kTurnDuration);
    transition->setType("pageCurl");
    transition->setSubtype(forward ? kCATransitionFromBottom : kCATransitionFromLeft);
    bringSubviewToFront(webView2_);
    if (toolbarView_)
        bringSubviewToFront(toolbarView_);
    webView2_->layer()->addAnimation(transition, "animation");
    isWebView1_ = !isWebView1_;
}

void MagazineContentView::removeFeedbackViews()
{
    if (loadingView_)
        loadingView_->removeFromSuperview();
    if (errorView_)
        errorView_->removeFromSuperview();
    loadingView_.reset();
    errorView_.reset();
}

void MagazineContentView::webViewDidStartLoad(UIWebView* webView) { showLoadingView(*webView); }

void MagazineContentView::showLoadingView(UIWebView& webView)
{
    removeFeedbackViews();
    loadingView_ = ORBHelper::loadingView(webView.frame(), kLoadingText, true);
    loadingView_->setTag(kLoadingViewTag);
    loadingView_->setBackgroundColor(platform::Color::clearColor());
    insertSubviewBelow(loadingView_, toolbarView_);
}

void MagazineContentView::webViewDidFinishLoad(UIWebView*) { removeFeedbackViews(); }

void MagazineContentView::webViewDidFailLoadWithError(UIWebView* webView, const platform::Error&)
{
    removeFeedbackViews();
    errorView_ = ORBHelper::errorView(webView->frame(), kReloadText);
    errorView_->setTag(kErrorViewTag);
    errorView_->setBackgroundColor(platform::Color::clearColor());
    auto tap = std::make_shared<UITapGestureRecognizer>();
    std::weak_ptr<MagazineContentView> weak = std::static_pointer_cast<MagazineContentView>(shared_from_this());
    tap->addAction([weak](UIGestureRecognizer*) {
        if (auto content = weak.lock())
            content->reloadAfterError();
    });
    errorView_->addGestureRecognizer(tap);
    insertSubviewBelow(errorView_, toolbarView_);
}

void MagazineContentView::reloadAfterError()
{
    if (errorView_)
        errorView_->removeFromSuperview();
    errorView_.reset();
    // After a load that failed the engine has no page of the chapter to
    // reload (reloading shows the blank page it had before), so the chapter
    // is asked for again.
    if (hasChapter_) {
        loadChapter(currentIndex_);
        return;
    }
    webView_->reload();
    webView2_->reload();
}

void MagazineContentView::backAction(UIControl*)
{
    if (auto target = delegate_.lock())
        target->backToDirectory();
}

void MagazineContentView::listAction(UIControl*)
{
    if (auto target = delegate_.lock())
        target->backToList();
}

} // namespace content
