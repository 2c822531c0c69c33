#pragma once

#include "content/lessons/GCModels.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIView.h"
#include "ui/tables/BaseCell.h"

#include <memory>
#include <string>

class UIImageView;
class UILabel;

namespace content {

// The section header of the portal's detail screens: a title in green, a
// subtitle, and a green line.
class DetailHeader final : public UIView, public platform::LayoutBindable {
public:
    ORB_CLASS_NAME(DetailHeader)
    using UIView::UIView;
    static constexpr double kHeight = 38.0;

    // A new header from its layout (its last top-level object).
    static std::shared_ptr<DetailHeader> header();
    static double height() { return kHeight; }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    const std::string& title() const { return title_; }
    void setTitle(std::string title);
    void setSubtitle(std::string subtitle);

private:
    std::string title_;
    std::string subtitle_;
    std::shared_ptr<UILabel> lblTitle_;
    std::shared_ptr<UILabel> lblSubtitle_;
    std::shared_ptr<UIView> lineView_;
};

// A text row that can show a long text cut to 55 points under a fading mask
// (a "snapshot"), opened to its full length when the person taps it.
class DetailCell final : public BaseCell {
public:
    ORB_CLASS_NAME(DetailCell)
    static constexpr double kCutHeight = 55.0;

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void layoutSubviews() override;

    void setDetail(const std::string& text, bool snapshot = false);
    // The row's height for the text: the text's height (55 when cut and
    // longer), plus the rest of the layout.
    static double height(const std::optional<std::string>& text, bool snapshot = false);

    bool isMasked() const;

private:
    std::shared_ptr<UILabel> lblDetail_;
    std::shared_ptr<UIView> bottomLine_;
    std::shared_ptr<UIImageView> maskImageView_;
    double marginY_ = 0;
};

// A video of a lesson: name, length, views, lector with round avatar, and a
// lock or free mark.
class GCVideoCell final : public BaseCell {
public:
    ORB_CLASS_NAME(GCVideoCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setVideo(std::shared_ptr<GCVideoInfo> video);
    static double height(const std::shared_ptr<GCVideoInfo>& video);

private:
    std::shared_ptr<GCVideoInfo> video_;
    std::shared_ptr<UIImageView> imgAvatar_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblLectorName_;
    std::shared_ptr<UILabel> lblMinutes_;
    std::shared_ptr<UILabel> lblViews_;
    std::shared_ptr<UIImageView> imgIcon_;
    double lblNameMarginY_ = 0;
    double minHeight_ = 0;
};

// A scheduled live lesson of a series: "%i.%@", its state and time.
class GCLiveVideoItemCell final : public BaseCell {
public:
    ORB_CLASS_NAME(GCLiveVideoItemCell)

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;
    void setItem(std::shared_ptr<GCLiveVideoItemInfo> item);
    static double height(const std::shared_ptr<GCLiveVideoItemInfo>& item);

private:
    std::shared_ptr<GCLiveVideoItemInfo> item_;
    std::shared_ptr<UILabel> lblName_;
    std::shared_ptr<UILabel> lblState_;
    std::shared_ptr<UILabel> lblTime_;
    double lblNameMinHeight_ = 0;
    double lblNameMarginY_ = 0;
};

} // namespace content
