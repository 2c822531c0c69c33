#pragma once

#include "app/base/BaseViewController.h"
#include "content/magazine/MagazineItemView.h"
#include "core/store/MagazineInfo.h"

#include <memory>
#include <vector>

class RemoteImageView;
class UIControl;
class UIScrollView;

namespace content {

// The shelf of e-magazine issues: each visit brings the issue list up to
// date with the server (the reply parser merges it into the local store and
// answers the stored list), then shows the issues as cover tiles, two to a
// row, under the advertisement banner when the last update brought one.
// Without the server it shows what was stored before.
class MagazineListViewController final : public BaseViewController, public MagazineItemViewDelegate {
public:
    ORB_CLASS_NAME(MagazineListViewController)

    static constexpr int kSyncRequest = 21;
    static constexpr int kOpenedRequest = 23;
    static constexpr double kBannerHeight = 216;
    static constexpr const char* kEmptyText = "暂时未有电子杂志信息";

    MagazineListViewController();

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // Lays the issues out, from scratch.
    void fillScrollView(const std::vector<std::shared_ptr<core::MagazineInfo>>& list);
    void magazineItemViewDidSelected(const std::shared_ptr<core::MagazineInfo>& magazineInfo) override;
    void backAction(UIControl* sender);

    const std::shared_ptr<UIScrollView>& scrollView() const { return scrollView_; }
    // The banner shown, or nullptr.
    const std::shared_ptr<RemoteImageView>& bannerView() const { return bannerView_; }

private:
    void showStoredOrFail();

    std::shared_ptr<UIScrollView> scrollView_;
    std::shared_ptr<RemoteImageView> bannerView_;
};

} // namespace content
