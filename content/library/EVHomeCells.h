#pragma once

#include "content/library/EVModels.h"
#include "platform/uikit/UIColor.h"
#include "ui/tables/BaseCell.h"

#include <array>
#include <memory>

class UIControl;
class UIImageView;
class UILabel;

namespace content {

class EVHeaderCell;
class EVCell;

class EVHeaderCellDelegate {
public:
    virtual ~EVHeaderCellDelegate() = default;
    virtual void headerCellDidClickMore(EVHeaderCell* cell, const std::shared_ptr<EVSubjectInfo>& subject) = 0;
};

class EVCellDelegate {
public:
    virtual ~EVCellDelegate() = default;
    virtual void evCellDidClickItem(EVCell* cell, const std::shared_ptr<EVVideoInfo>& video) = 0;
};

// A subject's heading on the library home: its picture and name, and "更多"
// leading to all of its videos.
class EVHeaderCell final : public BaseCell {
public:
    ORB_CLASS_NAME(EVHeaderCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    const std::shared_ptr<EVSubjectInfo>& subject() const { return subject_; }
    void setSubject(std::shared_ptr<EVSubjectInfo> subject);
    void setDelegate(std::weak_ptr<EVHeaderCellDelegate> delegate) { delegate_ = std::move(delegate); }
    bool hasDelegate() const { return !delegate_.expired(); }
    void btnMoreTouchUpInside(UIControl* sender);

private:
    std::shared_ptr<EVSubjectInfo> subject_;
    std::weak_ptr<EVHeaderCellDelegate> delegate_;
    std::shared_ptr<UIImageView> imgIcon_;
    std::shared_ptr<UILabel> lblTitle_;
};

// A row of up to two videos of a subject: cover, title, day and play count
// each; a slot without a video is hidden.
class EVCell final : public BaseCell {
public:
    ORB_CLASS_NAME(EVCell)

    static constexpr std::size_t kSlots = 2;
    static inline const UIColor kLastLineColor = UIColor::fromRGB255(121, 186, 17);
    static inline const UIColor kLineColor = UIColor::fromWhite(220.0 / 255.0);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    const std::vector<std::shared_ptr<EVVideoInfo>>& videos() const { return videos_; }
    void setVideos(std::vector<std::shared_ptr<EVVideoInfo>> videos);
    bool lastLine() const { return lastLine_; }
    void setLastLine(bool lastLine);
    void setDelegate(std::weak_ptr<EVCellDelegate> delegate) { delegate_ = std::move(delegate); }
    bool hasDelegate() const { return !delegate_.expired(); }
    void btnItemTouchUpInside(UIControl* sender);

    const std::shared_ptr<UIView>& itemView(std::size_t slot) const { return itemViews_.at(slot); }
    const std::shared_ptr<UIView>& lineView() const { return lineView_; }

private:
    std::vector<std::shared_ptr<EVVideoInfo>> videos_;
    bool lastLine_ = false;
    std::weak_ptr<EVCellDelegate> delegate_;
    std::array<std::shared_ptr<UIView>, kSlots> itemViews_;
    std::array<std::shared_ptr<UIImageView>, kSlots> imgCovers_;
    std::array<std::shared_ptr<UILabel>, kSlots> lblTitles_;
    std::array<std::shared_ptr<UILabel>, kSlots> lblTimes_;
    std::array<std::shared_ptr<UILabel>, kSlots> lblPlayCounts_;
    std::shared_ptr<UIView> lineView_;
};

} // namespace content
