#pragma once

#include "content/lessons/GCModels.h"
#include "ui/tables/BaseCell.h"

class UIImageView;
class UILabel;

namespace content {

// A subject of the portal home: its icon and name. Its height is its layout's.
class GCSubjectCell final : public BaseCell {
public:
    ORB_CLASS_NAME(GCSubjectCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void setSubject(std::shared_ptr<GCSubjectInfo> subject);

private:
    std::shared_ptr<GCSubjectInfo> subject_;
    std::shared_ptr<UIImageView> iconImgView_;
    std::shared_ptr<UILabel> lblName_;
};

// A live-lesson series: picture, name, and the state of its current lesson.
class GCLiveVideoCell final : public BaseCell {
public:
    ORB_CLASS_NAME(GCLiveVideoCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setLiveVideo(std::shared_ptr<GCLiveVideoInfo> liveVideo);
    // The row's height for a series: its name's height in the name label's
    // font and width, plus the rest of the layout.
    static double height(const std::shared_ptr<GCLiveVideoInfo>& liveVideo);

private:
    std::shared_ptr<GCLiveVideoInfo> liveVideo_;
    std::shared_ptr<UIView> wrapperView_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UIImageView> imgView_;
    std::shared_ptr<UILabel> lblTopState_;
    std::shared_ptr<UILabel> lblTopTime_;
    double marginY_ = 0;
    double nameHeight_ = 0;
};

} // namespace content
