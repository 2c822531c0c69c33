#pragma once

#include "app/base/BaseViewController.h"
#include "content/magazine/MagazineContentView.h"
#include "content/magazine/MagazineDirHeadView.h"
#include "core/store/MagazineChapterInfo.h"
#include "core/store/MagazineInfo.h"

#include <memory>
#include <string>
#include <vector>

class RemoteImageView;
class UIButton;
class UIGestureRecognizer;
class UIImageView;
class UILabel;
class UIScrollView;

namespace content {

// The reader of one issue, full screen: the cover, the directory (with the
// turning strip of head chapters) and the chapters' web pages, one after the
// other with a page curl. The directories and chapters come from the
// local store; when none are stored they are downloaded once and stored.
class MagazineViewController final : public BaseViewController,
                                     public MagazineDirHeadViewDelegate,
                                     public MagazineContentViewDelegate {
public:
    ORB_CLASS_NAME(MagazineViewController)

    static constexpr int kDownloadRequest = 22;

    // magazineCurrentPage values.
    static constexpr int kTipsPage = 0;
    static constexpr int kCoverPage = 1;
    static constexpr int kDirectoryPage = 2;
    static constexpr int kContentPage = 3;

    // The tags the layout gives the three pages.
    static constexpr int kContentTag = 90;
    static constexpr int kDirectoryTag = 91;
    static constexpr int kCoverTag = 92;

    // Page-turn directions, as swipe directions.
    static constexpr int kTurnRight = 1;
    static constexpr int kTurnLeft = 2;
    static constexpr int kTurnUp = 4;
    static constexpr int kTurnDown = 8;
    static constexpr double kTurnDuration = 0.5;

    static constexpr double kCurlSide = 48;

    // The directory's measures.
    static constexpr double kLogoSide = 65;
    static constexpr double kLogoInset = 5;
    static constexpr double kMargin = 15;
    static constexpr double kChapterX = 90;
    static constexpr double kChapterWidth = 220;
    static constexpr double kCategoryHeight = 13;
    static constexpr double kTitleHeight = 20;
    static constexpr double kChapterStep = 43;
    static constexpr double kSingleChapterExtra = 30;
    static constexpr double kLineWidth = 290;
    static constexpr double kDirectoryWidth = 320;

    static constexpr const char* kTipsImage = "show_use_tips.png";
    static constexpr const char* kCurlImage = "magazine_curl_page.png";

    MagazineViewController();

    const std::shared_ptr<core::MagazineInfo>& magazineInfo() const { return magazineInfo_; }
    void setMagazineInfo(std::shared_ptr<core::MagazineInfo> info) { magazineInfo_ = std::move(info); }

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void willMoveToParentViewController(UIViewController* parent) override;

    int magazineCurrentPage() const { return magazineCurrentPage_; }
    const std::vector<std::string>& allChapterIndexs() const { return allChapterIndexs_; }

    void tapView();
    void swipeView(UIGestureRecognizer* recognizer);
    void exchangeView(const std::shared_ptr<UIView>& newView, const std::shared_ptr<UIView>& oldView, int direction);
    void fillDirectoryScrollView();
    void loadContentView(int chapterId);
    void goToDetailPage(UIControl* sender);
    void clickDirectoryLogoHandler(UIGestureRecognizer* recognizer);

    void clickHeadView(int chapterId) override;
    void backToDirectory() override;
    void backToList() override;

    const std::shared_ptr<UIView>& contentView() const { return contentView_; }
    const std::shared_ptr<MagazineContentView>& magazineContentView() const { return magazineContentView_; }
    const std::shared_ptr<MagazineDirHeadView>& headView() const { return headView_; }
    const std::shared_ptr<UIImageView>& curlPageImageView() const { return curlPageImageView_; }
    const std::shared_ptr<UIImageView>& useGuideImageView() const { return useGuideImageView_; }

private:
    struct Contents {
        platform::Array chapters;
        std::vector<std::shared_ptr<core::MagazineChapterInfo>> headChapters;
        std::vector<std::string> chapterIndexs;
    };
    static Contents readContents(int magazineId);
    void takeContents(Contents contents, bool mayDownload);
    void downloadContents();
    void removeGuide();
    void addSwipes(const std::shared_ptr<UIView>& view);
    void popReader();

    std::shared_ptr<core::MagazineInfo> magazineInfo_;
    platform::Array allChapters_;
    std::vector<std::shared_ptr<core::MagazineChapterInfo>> allHeadChapters_;
    std::vector<std::string> allChapterIndexs_;
    int magazineCurrentPage_ = kCoverPage;
    std::shared_ptr<RemoteImageView> coverImageView_;
    std::shared_ptr<UIView> directoryView_;
    std::shared_ptr<UIView> contentView_;
    std::shared_ptr<UILabel> postNumberLbl_;
    std::shared_ptr<UILabel> postNameLbl_;
    std::shared_ptr<UILabel> postDateLbl_;
    std::shared_ptr<UIView> defaultImageScroll_;
    std::shared_ptr<UIScrollView> directoryScrollView_;
    std::shared_ptr<MagazineContentView> magazineContentView_;
    std::shared_ptr<MagazineDirHeadView> headView_;
    std::shared_ptr<UIImageView> curlPageImageView_;
    std::shared_ptr<UIImageView> useGuideImageView_;
    std::vector<UIView*> swipeHosts_;
};

} // namespace content
