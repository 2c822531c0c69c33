#include "content/magazine/MagazineDirHeadView.h"

#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "ui/images/RemoteImageView.h"

#include <algorithm>
#include <cmath>

namespace content {

void MagazineDirHeadView::setHeadChapters(std::vector<std::shared_ptr<core::MagazineChapterInfo>> chapters)
{
    headChapters_ = std::move(chapters);
    setPagingEnabled(true);
    setShowsHorizontalScrollIndicator(false);
    setShowsVerticalScrollIndicator(false);
    setBackgroundColor(platform::Color::fromRGB255(239, 246, 211));
    buildPages();
}

void MagazineDirHeadView::buildPages()
{
    if (built_)
        return;
    built_ = true;
    const double width = bounds().width();
    const double height = bounds().height();
    for (std::size_t i = 0; i < headChapters_.size(); ++i) {
        const auto& chapter = *headChapters_[i];
        double x = static_cast<double>(i) * width;
        auto picture = std::make_shared<RemoteImageView>(platform::Rect(x, 0, width, height));
        picture->setContentMode(UIViewContentModeScaleAspectFill);
        picture->setClipsToBounds(true);
        picture->setShowActivityIndicator(true);
        picture->setImageURL(platform::Url::parse(chapter.chapterDefaultImage));
        addSubview(picture);

        auto caption = std::make_shared<UIView>(platform::Rect(x, height - kCaptionHeight, width, kCaptionHeight));
        caption->setBackgroundColor(platform::Color(0, 0, 0, 0.3));
        addSubview(caption);

        auto category = std::make_shared<UILabel>();
        category->setFont(UIFont::systemFont(13));
        category->setTextColor(platform::Color::whiteColor());
        category->setBackgroundColor(platform::Color::clearColor());
        category->setText(chapter.chapterCategory + "：");
        double categoryWidth = category->sizeThatFits(platform::Size(width, kCaptionHeight)).width;
        category->setFrame(platform::Rect(x + kCaptionInset, height - kCaptionHeight, categoryWidth, kCaptionHeight));
        addSubview(category);

        auto arrow = std::make_shared<UILabel>(
            platform::Rect(x + width - kCaptionInset - 12, height - kCaptionHeight, 12, kCaptionHeight));
        arrow->setFont(UIFont::systemFont(18));
        arrow->setTextColor(platform::Color::whiteColor());
        arrow->setBackgroundColor(platform::Color::clearColor());
        arrow->setText(">");
        addSubview(arrow);

        double titleX = x + kCaptionInset + categoryWidth;
        auto title = std::make_shared<UILabel>(platform::Rect(
            titleX, height - kCaptionHeight, x + width - kCaptionInset - 14 - titleX, kCaptionHeight));
        title->setFont(UIFont::systemFont(18));
        title->setTextColor(platform::Color::whiteColor());
        title->setBackgroundColor(platform::Color::clearColor());
        title->setText(chapter.chapterTitle);
        addSubview(title);
    }
    setContentSize(platform::Size(width * static_cast<double>(headChapters_.size()), height));

    auto tap = std::make_shared<UITapGestureRecognizer>();
    std::weak_ptr<MagazineDirHeadView> weak = std::static_pointer_cast<MagazineDirHeadView>(shared_from_this());
    tap->addAction([weak](UIGestureRecognizer*) {
        if (auto strip = weak.lock())
            strip->tapHeadView();
    });
    addGestureRecognizer(tap);

    if (headChapters_.size() >= 2 && !timer_)
        timer_ = lifetime_.every(kTurnInterval, weak, &MagazineDirHeadView::exchangeHeadView);
}

void MagazineDirHeadView::stopTurning()
{
    lifetime_.cancel(timer_);
    timer_.reset();
}

void MagazineDirHeadView::exchangeHeadView()
{
    if (headChapters_.empty())
        return;
    currIndex_ += 1;
    if (currIndex_ >= static_cast<int>(headChapters_.size()))
        currIndex_ = 0;
    setContentOffset(platform::Point(bounds().width() * currIndex_, 0), true);
}

void MagazineDirHeadView::tapHeadView()
{
    double width = bounds().width();
    if (headChapters_.empty() || width <= 0)
        return;
    // A strip pulled past either end shows the page at that end.
    double at = contentOffset().x / width;
    std::size_t page = 0;
    if (std::isfinite(at) && at > 0)
        page = std::min(static_cast<std::size_t>(std::min(at, 1e9)), headChapters_.size() - 1);
    if (auto target = headDelegate_.lock())
        target->clickHeadView(headChapters_[page]->chapterId);
}

} // namespace content
