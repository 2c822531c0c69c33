#pragma once

#include "core/store/MagazineInfo.h"
#include "platform/uikit/LayoutLoader.h"
#include "platform/uikit/UIView.h"

#include <memory>
#include <string>
#include <utility>

class RemoteImageView;
class UIImageView;
class UILabel;

namespace content {

class MagazineItemView;

// Told when the person taps a tile.
class MagazineItemViewDelegate {
public:
    virtual ~MagazineItemViewDelegate() = default;
    virtual void magazineItemViewDidSelected(const std::shared_ptr<core::MagazineInfo>& magazineInfo) = 0;
};

// One issue on the shelf: its cover, name, number, year and month, how often
// it was read, and a "new" mark while it has not been opened.
class MagazineItemView final : public UIView, public platform::LayoutBindable {
public:
    ORB_CLASS_NAME(MagazineItemView)
    using UIView::UIView;

    static constexpr double kWidth = 155;
    static constexpr double kHeight = 145;
    static constexpr double kCoverBorder = 2;
    static constexpr double kCoverCorner = 2;

    // A new tile from its layout (the last top-level object).
    static std::shared_ptr<MagazineItemView> itemView();

    // The year and month of an issue date "yyyy-MM-dd"; a part the date
    // lacks is empty.
    static std::pair<std::string, std::string> yearAndMonth(const std::string& postDate);

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void awakeFromNib() override;

    const std::shared_ptr<core::MagazineInfo>& magazineInfo() const { return magazineInfo_; }
    // Fills the tile and makes it answer a tap.
    void setMagazineInfo(std::shared_ptr<core::MagazineInfo> info);
    std::shared_ptr<MagazineItemViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(std::weak_ptr<MagazineItemViewDelegate> delegate) { delegate_ = std::move(delegate); }

    void clickView();

    const std::shared_ptr<RemoteImageView>& coverThumbView() const { return coverThumbView_; }
    const std::shared_ptr<UIImageView>& addImage() const { return addImage_; }

private:
    std::shared_ptr<core::MagazineInfo> magazineInfo_;
    std::weak_ptr<MagazineItemViewDelegate> delegate_;
    std::shared_ptr<RemoteImageView> coverThumbView_;
    std::shared_ptr<UILabel> magazineNameLbl_;
    std::shared_ptr<UILabel> magazinePostLbl_;
    std::shared_ptr<UILabel> magazineYearLbl_;
    std::shared_ptr<UILabel> magazineMonthLbl_;
    std::shared_ptr<UILabel> magazineReadCountLbl_;
    std::shared_ptr<UIImageView> addImage_;
    bool tapAdded_ = false;
};

} // namespace content
