#include "content/magazine/MagazineListViewController.h"

#include "content/magazine/MagazineViewController.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/store/MagazineAd.h"
#include "core/store/ORBDBHelper.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "ui/ORBHelper.h"
#include "ui/images/RemoteImageView.h"

#include <cmath>

namespace content {

namespace {

std::vector<std::shared_ptr<core::MagazineInfo>> magazinesOf(const platform::Value& list)
{
    std::vector<std::shared_ptr<core::MagazineInfo>> magazines;
    if (const auto* items = list.asArray()) {
        for (const auto& item : *items) {
            if (auto magazine = item.objectAs<core::MagazineInfo>())
                magazines.push_back(std::move(magazine));
        }
    }
    return magazines;
}

// The first advertisement the last update kept, when it kept any.
std::shared_ptr<core::MagazineAd> firstAd()
{
    if (!ORBHelper::userDefaultForKey(ORBHelper::kMagazineHasAds).boolValue())
        return nullptr;
    platform::Value archive = ORBHelper::userDefaultForKey(ORBHelper::kMagazineAds);
    const auto* bytes = archive.asData();
    if (!bytes)
        return nullptr;
    auto ads = core::MagazineAd::unarchiveList(*bytes);
    if (!ads || ads->empty())
        return nullptr;
    return ads->front();
}

} // namespace

MagazineListViewController::MagazineListViewController()
    : BaseViewController(std::string(kClassName))
{
}

void MagazineListViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("scrollView", scrollView_);
}

void MagazineListViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setTitle("成长期刊");
    setLeftItem(imageBarButton<MagazineListViewController>(
        "public_back_btn.png", "btnBack", &MagazineListViewController::backAction));

    platform::Dictionary params;
    params.set("updateTime", ORBHelper::userDefaultForKey(ORBHelper::kMagazineUpdateTime));
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        kSyncRequest, platform::Value(std::move(params)),
        [] { ORBHelper::showProgressHud("正在更新杂志列表", true, false); },
        // The overlay covers the whole window: it goes whatever became of the
        // shelf (a shelf still there may put its failure text up again).
        weakCallbackAfter<MagazineListViewController>(ORBHelper::hideProgressHud,
            [](MagazineListViewController& screen, const platform::Value& result) {
                screen.fillScrollView(magazinesOf(result));
            }),
        weakCallbackAfter<MagazineListViewController>(ORBHelper::hideProgressHud,
            [](MagazineListViewController& screen, const std::string&) { screen.showStoredOrFail(); }));

    keepAtVisibleBottom(scrollView_);
}

void MagazineListViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, true);
    // Back from the reader the bar is there again and the screen's view shorter.
    applyVisibleBottoms();
}

void MagazineListViewController::showStoredOrFail()
{
    auto stored = magazinesOf(platform::Value(
        core::ORBDBHelper::sharedORBDBHelper()->allDBDatas(core::ORBDBHelper::kMagazines)));
    if (stored.empty()) {
        ORBHelper::showProgressHud("更新失败，请重试", false, true);
        return;
    }
    fillScrollView(stored);
    ORBHelper::hideProgressHud();
}

void MagazineListViewController::fillScrollView(const std::vector<std::shared_ptr<core::MagazineInfo>>& list)
{
    auto subviews = scrollView_->subviews();
    for (const auto& subview : subviews)
        subview->removeFromSuperview();
    bannerView_.reset();

    double width = scrollView_->bounds().width();
    double bannerHeight = 0;
    if (auto ad = firstAd()) {
        bannerView_ = std::make_shared<RemoteImageView>(platform::Rect(0, 0, view()->bounds().width(), kBannerHeight));
        bannerView_->setShowActivityIndicator(true);
        bannerView_->setImageURL(platform::Url::parse(ad->adImage));
        scrollView_->addSubview(bannerView_);
        bannerHeight = kBannerHeight;
    }

    if (list.empty()) {
        scrollView_->addSubview(ORBHelper::errorView(
            platform::Rect(0, bannerHeight, width, scrollView_->bounds().height() - bannerHeight), kEmptyText));
        return;
    }
    for (std::size_t i = 0; i < list.size(); ++i) {
        auto tile = MagazineItemView::itemView();
        if (!tile)
            continue;
        tile->setFrame(platform::Rect(i % 2 == 0 ? 0 : MagazineItemView::kWidth,
            bannerHeight + MagazineItemView::kHeight * static_cast<double>(i / 2), MagazineItemView::kWidth,
            MagazineItemView::kHeight));
        tile->setMagazineInfo(list[i]);
        tile->setDelegate(std::weak_ptr<MagazineItemViewDelegate>(weakSelf<MagazineListViewController>()));
        scrollView_->addSubview(tile);
    }
    double rows = std::ceil(static_cast<double>(list.size()) / 2);
    scrollView_->setContentSize(platform::Size(width, bannerHeight + MagazineItemView::kHeight * rows));
}

void MagazineListViewController::magazineItemViewDidSelected(const std::shared_ptr<core::MagazineInfo>& magazineInfo)
{
    if (!magazineInfo)
        return;
    if (magazineInfo->status == 2) {
        platform::Dictionary params;
        params.set("postId", magazineInfo->postId);
        // The report is for the issue, whether or not the shelf is still
        // shown when the answer comes: the store must learn it was opened.
        core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
            kOpenedRequest, platform::Value(std::move(params)), nullptr,
            [magazineInfo](const platform::Value&) {
                magazineInfo->status = 1;
                core::ORBDBHelper::sharedORBDBHelper()->insertOrUpdateWithType(
                    core::ORBDBHelper::kMagazines, core::ORBDBHelper::kUpdate, magazineInfo);
            },
            nullptr);
    }
    auto reader = std::make_shared<MagazineViewController>();
    reader->setMagazineInfo(magazineInfo);
    if (auto navigation = navigationController())
        navigation->pushViewController(reader, true);
}

void MagazineListViewController::backAction(UIControl*)
{
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

} // namespace content
