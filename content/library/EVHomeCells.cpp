#include "content/library/EVHomeCells.h"

#include "content/portal/PortalStyle.h"
#include "platform/uikit/UIControl.h"
#include "platform/uikit/UILabel.h"
#include "ui/images/RemoteImageView.h"

namespace content {

void EVHeaderCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    bindings.outlet("imgIcon", imgIcon_);
    bindings.outlet("lblTitle", lblTitle_);
    bindings.action("btnMoreTouchUpInside:", &EVHeaderCell::btnMoreTouchUpInside);
}

void EVHeaderCell::setSubject(std::shared_ptr<EVSubjectInfo> subject)
{
    subject_ = std::move(subject);
    lblTitle_->setText(subject_ ? subject_->subjectName.value_or("") : "");
    setImageURL(imgIcon_, subject_ ? addressOf(subject_->subjectPic) : std::nullopt);
}

void EVHeaderCell::btnMoreTouchUpInside(UIControl*)
{
    if (auto delegate = delegate_.lock())
        delegate->headerCellDidClickMore(this, subject_);
}

void EVCell::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseCell::declareLayoutBindings(bindings);
    for (std::size_t i = 0; i < kSlots; ++i) {
        auto n = std::to_string(i);
        bindings.outlet("itemView" + n, itemViews_[i]);
        bindings.outlet("imgCover" + n, imgCovers_[i]);
        bindings.outlet("lblTitle" + n, lblTitles_[i]);
        bindings.outlet("lblTime" + n, lblTimes_[i]);
        bindings.outlet("lblPlayCount" + n, lblPlayCounts_[i]);
    }
    bindings.outlet("lineView", lineView_);
    bindings.action("btnItemTouchUpInside:", &EVCell::btnItemTouchUpInside);
}

void EVCell::setVideos(std::vector<std::shared_ptr<EVVideoInfo>> videos)
{
    videos_ = std::move(videos);
    for (std::size_t i = 0; i < kSlots; ++i) {
        bool shown = i < videos_.size() && videos_[i];
        itemViews_[i]->setHidden(!shown);
        if (!shown)
            continue;
        const auto& video = *videos_[i];
        setImageURL(imgCovers_[i], addressOf(video.picPath));
        lblTitles_[i]->setText(video.title.value_or(""));
        lblTimes_[i]->setText(formatLibraryTime(video.createTime, "yyyy-MM-dd"));
        lblPlayCounts_[i]->setText("播放" + std::to_string(video.readCount) + "次");
    }
}

void EVCell::setLastLine(bool lastLine)
{
    lastLine_ = lastLine;
    lineView_->setBackgroundColor(lastLine ? kLastLineColor : kLineColor);
}

void EVCell::btnItemTouchUpInside(UIControl* sender)
{
    if (!sender || sender->tag() < 0 || std::size_t(sender->tag()) >= videos_.size())
        return;
    if (auto delegate = delegate_.lock())
        delegate->evCellDidClickItem(this, videos_[std::size_t(sender->tag())]);
}

} // namespace content
