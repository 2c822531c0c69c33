#pragma once

#include "core/store/MagazineChapterInfo.h"
#include "platform/uikit/UIScrollView.h"
#include "ui/Lifetime.h"

#include <memory>
#include <vector>

namespace content {

// Told which head chapter the person tapped.
class MagazineDirHeadViewDelegate {
public:
    virtual ~MagazineDirHeadViewDelegate() = default;
    virtual void clickHeadView(int chapterId) = 0;
};

// The strip of head chapters at the top of an issue's directory: one page per
// chapter (its picture under a caption band), turning by itself every five
// seconds while there are two or more.
class MagazineDirHeadView final : public UIScrollView {
public:
    ORB_CLASS_NAME(MagazineDirHeadView)
    using UIScrollView::UIScrollView;

    static constexpr double kTurnInterval = 5.0;
    static constexpr double kCaptionHeight = 35;
    static constexpr double kCaptionInset = 15;

    const std::vector<std::shared_ptr<core::MagazineChapterInfo>>& headChapters() const { return headChapters_; }
    // Builds the pages once, and starts the turning when there are two or more.
    void setHeadChapters(std::vector<std::shared_ptr<core::MagazineChapterInfo>> chapters);
    std::shared_ptr<MagazineDirHeadViewDelegate> headDelegate() const { return headDelegate_.lock(); }
    void setHeadDelegate(std::weak_ptr<MagazineDirHeadViewDelegate> delegate) { headDelegate_ = std::move(delegate); }

    int currIndex() const { return currIndex_; }
    // Whether the strip is turning by itself.
    bool isTurning() const { return timer_ != nullptr; }
    // Ends the turning for good (the reader is going away).
    void stopTurning();

    // Turns to the next page, from the last back to the first.
    void exchangeHeadView();
    // The chapter of the page shown.
    void tapHeadView();

private:
    void buildPages();

    std::vector<std::shared_ptr<core::MagazineChapterInfo>> headChapters_;
    std::weak_ptr<MagazineDirHeadViewDelegate> headDelegate_;
    int currIndex_ = 0;
    bool built_ = false;
    std::shared_ptr<platform::Timer> timer_;
    Lifetime lifetime_;
};

} // namespace content
