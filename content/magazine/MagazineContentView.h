#pragma once

#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIGestureRecognizer.h"
#include "platform/uikit/UIView.h"
#include "platform/uikit/UIWebView.h"

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class UIButton;
class UIControl;
class UISwipeGestureRecognizer;

namespace content {

// Told when the reader should go back to the directory or leave.
class MagazineContentViewDelegate {
public:
    virtual ~MagazineContentViewDelegate() = default;
    virtual void backToDirectory() = 0;
    virtual void backToList() = 0;
};

// The chapters of an issue as the server's web pages, in two web views on
// top of each other: a swipe loads the next (or previous) chapter into both
// and curls the front one away, so the turn shows the new page underneath.
class MagazineContentView final : public UIView,
                                  public platform::LayoutBindable,
                                  public UIWebViewDelegate,
                                  public UIGestureRecognizerDelegate {
public:
    ORB_CLASS_NAME(MagazineContentView)
    using UIView::UIView;

    // The place of a chapter that is not in the reading order.
    static constexpr std::size_t kNotInOrder = static_cast<std::size_t>(-1);
    static constexpr int kLoadingViewTag = 199;
    static constexpr int kErrorViewTag = 198;
    static constexpr double kTurnDuration = 0.5;
    static constexpr const char* kLastPageText = "已经到了最后一页";
    static constexpr const char* kLoadingText = "正在努力加载杂志内容...";
    static constexpr const char* kReloadText = "点击屏幕，重新加载";
    // What clears the chapter shown when the next one is asked for.
    static constexpr const char* kClearScript = "document.body.innerHTML='';";

    // A new content view from its layout (the last top-level object).
    static std::shared_ptr<MagazineContentView> contentView();
    // The address of a chapter's page.
    static std::optional<platform::Url> chapterURL(int postId, int chapterId);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

    std::shared_ptr<MagazineContentViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<MagazineContentViewDelegate> delegate) { delegate_ = std::move(delegate); }
    int postId() const { return postId_; }
    void setPostId(int postId) { postId_ = postId; }
    // The chapter ids in reading order, as decimal texts.
    const std::vector<std::string>& allChapterIndexs() const { return allChapterIndexs_; }
    void setAllChapterIndexs(std::vector<std::string> indexes);
    // The id of the chapter shown. Any id the server gives is a chapter's,
    // negative ones too: the pages turn by place in the reading order.
    int currentIndex() const { return currentIndex_; }
    // The place of the chapter shown in the reading order, kNotInOrder for a
    // chapter the order lacks (it has no neighbours to turn to).
    std::size_t currentPosition() const { return currentPosition_; }
    // Shows that chapter in both web views; an id listed twice stands for its
    // first place.
    void setCurrentIndex(int chapterId);
    bool isWebView1() const { return isWebView1_; }

    // A swipe on a page, or (no recogniser) the reader's tap: left turns to
    // the next chapter, right to the previous one.
    void swipeView(UIGestureRecognizer* recognizer);
    void backAction(UIControl* sender);
    void listAction(UIControl* sender);

    const std::shared_ptr<UIWebView>& webView() const { return webView_; }
    const std::shared_ptr<UIWebView>& webView2() const { return webView2_; }
    // The bar of 返回 and 目录 at the page's foot; the pages end on it.
    const std::shared_ptr<UIView>& toolbarView() const { return toolbarView_; }

    void webViewDidStartLoad(UIWebView* webView) override;
    void webViewDidFinishLoad(UIWebView* webView) override;
    void webViewDidFailLoadWithError(UIWebView* webView, const platform::Error& error) override;
    bool gestureRecognizerShouldRecognizeSimultaneously(UIGestureRecognizer*, UIGestureRecognizer*) override
    {
        return true;
    }

private:
    void loadChapter(int chapterId);
    std::size_t positionOf(int chapterId) const;
    void removeFeedbackViews();
    void showLoadingView(UIWebView& webView);
    void reloadAfterError();
    void addSwipes(const std::shared_ptr<UIWebView>& webView);

    std::weak_ptr<MagazineContentViewDelegate> delegate_;
    std::shared_ptr<UIWebView> webView_;
    std::shared_ptr<UIWebView> webView2_;
    std::shared_ptr<UIView> toolbarView_;
    std::shared_ptr<UIButton> backItem_;
    std::shared_ptr<UIButton> listItem_;
    std::shared_ptr<UIView> loadingView_;
    std::shared_ptr<UIView> errorView_;
    std::vector<std::string> allChapterIndexs_;
    int postId_ = 0;
    int currentIndex_ = 0;
    std::size_t currentPosition_ = kNotInOrder;
    // A chapter has been given: its page is what a reload asks for.
    bool hasChapter_ = false;
    bool isWebView1_ = true;
};

} // namespace content
