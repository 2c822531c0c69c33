#include "content/magazine/MagazineItemView.h"

#include "platform/os/StringUtil.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "ui/images/RemoteImageView.h"

namespace content {

std::shared_ptr<MagazineItemView> MagazineItemView::itemView()
{
    auto objects = platform::LayoutLoader::loadNamedFor<MagazineItemView>(nullptr);
    return objects.empty() ? nullptr : std::dynamic_pointer_cast<MagazineItemView>(objects.back());
}

std::pair<std::string, std::string> MagazineItemView::yearAndMonth(const std::string& postDate)
{
    auto parts = platform::split(postDate, "-");
    return { parts.size() > 0 ? parts[0] : std::string(), parts.size() > 1 ? parts[1] : std::string() };
}

void MagazineItemView::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    bindings.outlet("coverThumbView", coverThumbView_);
    bindings.outlet("magazineNameLbl", magazineNameLbl_);
    bindings.outlet("magazinePostLbl", magazinePostLbl_);
    bindings.outlet("magazineYearLbl", magazineYearLbl_);
    bindings.outlet("magazineMonthLbl", magazineMonthLbl_);
    bindings.outlet("magazineReadCountLbl", magazineReadCountLbl_);
    bindings.outlet("addImage", addImage_);
}

void MagazineItemView::awakeFromNib()
{
    UIView::awakeFromNib();
    // A printed cover: white edge, rounded a little, lying on the shelf.
    auto& coverLayer = *coverThumbView_->layer();
    coverLayer.setBorderWidth(kCoverBorder);
    coverLayer.setBorderColor(platform::Color::whiteColor());
    coverLayer.setCornerRadius(kCoverCorner);
    coverLayer.setShadowColor(platform::Color::grayColor());
    coverLayer.setShadowOpacity(1.0);
    coverLayer.setShadowOffset(platform::Size(1, 1));
}

void MagazineItemView::setMagazineInfo(std::shared_ptr<core::MagazineInfo> info)
{
    magazineInfo_ = std::move(info);
    if (!magazineInfo_)
        return;
    const auto& magazine = *magazineInfo_;
    magazineNameLbl_->setText(magazine.name);
    magazinePostLbl_->setText("第" + std::to_string(magazine.postNumber) + "期");
    magazineReadCountLbl_->setText(std::to_string(magazine.readNumber));
    auto [year, month] = yearAndMonth(magazine.postDate);
    magazineYearLbl_->setText(year + "年");
    magazineMonthLbl_->setText(month + "月");
    coverThumbView_->setShowActivityIndicator(true);
    coverThumbView_->setImageURL(platform::Url::parse(magazine.coverThumb));
    if (magazine.status == 2)
        addImage_->setHidden(false);
    // One recogniser however often the tile is filled.
    if (!tapAdded_) {
        tapAdded_ = true;
        auto tap = std::make_shared<UITapGestureRecognizer>();
        std::weak_ptr<MagazineItemView> weak = std::static_pointer_cast<MagazineItemView>(shared_from_this());
        tap->addAction([weak](UIGestureRecognizer*) {
            if (auto tile = weak.lock())
                tile->clickView();
        });
        addGestureRecognizer(tap);
    }
}

void MagazineItemView::clickView()
{
    if (!addImage_->isHidden())
        addImage_->setHidden(true);
    if (auto target = delegate_.lock())
        target->magazineItemViewDidSelected(magazineInfo_);
}

} // namespace content
