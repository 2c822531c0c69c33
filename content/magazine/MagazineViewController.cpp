#include "content/magazine/MagazineViewController.h"

#include "content/magazine/MagazineItemView.h"
#include "core/network/ORBNetworkHelper.h"
#include "core/store/MagazineDirectoryInfo.h"
#include "core/store/ORBDBHelper.h"
#include "platform/os/RunLoop.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/CATransition.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "platform/uikit/UISwipeGestureRecognizer.h"
#include "platform/uikit/UITapGestureRecognizer.h"
#include "ui/ORBHelper.h"
#include "ui/images/RemoteImageView.h"

#include <algorithm>

namespace content {

namespace {

const platform::Color kLineColor = platform::Color::fromRGB255(222, 228, 200);
const platform::Color kTitleColor = platform::Color::fromRGB255(25, 25, 25);

std::shared_ptr<UIView> separator(double x, double y)
{
    auto line = std::make_shared<UIView>(platform::Rect(x, y, MagazineViewController::kLineWidth, 1));
    line->setBackgroundColor(kLineColor);
    return line;
}

} // namespace

MagazineViewController::MagazineViewController()
    : BaseViewController(std::string(kClassName))
{
}

void MagazineViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("coverImageView", coverImageView_);
    bindings.outlet("directoryView", directoryView_);
    bindings.outlet("contentView", contentView_);
    bindings.outlet("postNumberLbl", postNumberLbl_);
    bindings.outlet("postNameLbl", postNameLbl_);
    bindings.outlet("postDateLbl", postDateLbl_);
    bindings.outlet("defaultImageScroll", defaultImageScroll_);
    bindings.outlet("directoryScrollView", directoryScrollView_);
}

void MagazineViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    // Each page answers swipes to the right itself (the chapters go back a
    // chapter with them), so the screen's own "swipe right to go back" would
    // leave the reader in the middle of an issue.
    auto recognizers = view()->gestureRecognizers();
    for (const auto& recognizer : recognizers) {
        if (std::dynamic_pointer_cast<UISwipeGestureRecognizer>(recognizer))
            view()->removeGestureRecognizer(recognizer);
    }

    // The cover and the directory end at the foot of the screen on either screen.
    keepAtVisibleBottom(directoryScrollView_);
    keepAtVisibleBottom(coverImageView_);
    double width = view()->bounds().width();
    double height = view()->bounds().height();

    coverImageView_->setShowActivityIndicator(true);
    if (magazineInfo_)
        coverImageView_->setImageURL(platform::Url::parse(magazineInfo_->coverOriginal));
    coverImageView_->setUserInteractionEnabled(true);
    addSwipes(coverImageView_);
    auto coverTap = std::make_shared<UITapGestureRecognizer>();
    coverTap->addTarget(self<MagazineViewController>(), &MagazineViewController::tapView);
    coverImageView_->addGestureRecognizer(coverTap);

    curlPageImageView_ = std::make_shared<UIImageView>(UIImage::imageNamed(kCurlImage));
    curlPageImageView_->setFrame(platform::Rect(width - kCurlSide, height - kCurlSide, kCurlSide, kCurlSide));
    curlPageImageView_->setUserInteractionEnabled(true);
    auto curlTap = std::make_shared<UITapGestureRecognizer>();
    curlTap->addTarget(self<MagazineViewController>(), &MagazineViewController::tapView);
    curlPageImageView_->addGestureRecognizer(curlTap);
    view()->addSubview(curlPageImageView_);
    // The corner stays in the screen's corner.
    keepAboveVisibleBottom(curlPageImageView_);

    magazineContentView_ = MagazineContentView::contentView();
    if (magazineContentView_) {
        magazineContentView_->setDelegate(std::weak_ptr<MagazineContentViewDelegate>(weakSelf<MagazineViewController>()));
        contentView_->addSubview(magazineContentView_);
        // A chapter's page ends on its toolbar.
        for (const auto& page : { magazineContentView_->webView(), magazineContentView_->webView2() })
            keepAtVisibleBottom(page, magazineContentView_->toolbarView());
    }

    // The store is read off the main thread; the results are handed to the
    // screen on the main thread, where the taps read them.
    int magazineId = magazineInfo_ ? magazineInfo_->_id : 0;
    // The block only carries the screen's weak step; it runs on the main thread.
    auto deliver = weakCallback<MagazineViewController>(
        [](MagazineViewController& screen, const auto& contents) { screen.takeContents(contents, true); });
    platform::dispatchAsync([deliver, magazineId] {
        auto contents = readContents(magazineId);
        platform::postToMain([deliver, contents = std::move(contents)] { deliver(contents); });
    });

    if (ORBHelper::userDefaultForKey(ORBHelper::kMagazineShowsGuide).boolValue()) {
        useGuideImageView_ = std::make_shared<UIImageView>(UIImage::imageNamed(kTipsImage));
        useGuideImageView_->setFrame(view()->bounds());
        // The screen may grow to its final height after loading: the tips keep covering it.
        useGuideImageView_->setAutoresizingMask(UIViewAutoresizingFlexibleWidth | UIViewAutoresizingFlexibleHeight);
        useGuideImageView_->setContentMode(UIViewContentModeScaleToFill);
        useGuideImageView_->setUserInteractionEnabled(true);
        auto tipsTap = std::make_shared<UITapGestureRecognizer>();
        tipsTap->addTarget(self<MagazineViewController>(), &MagazineViewController::tapView);
        useGuideImageView_->addGestureRecognizer(tipsTap);
        view()->addSubview(useGuideImageView_);
        magazineCurrentPage_ = kTipsPage;
    }
}

void MagazineViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(true, true);
    // Without the bar the screen's view has grown to the whole screen.
    applyVisibleBottoms();
}

void MagazineViewController::willMoveToParentViewController(UIViewController* parent)
{
    BaseViewController::willMoveToParentViewController(parent);
    // Leaving: the strip stops turning with the reader.
    if (!parent && headView_)
        headView_->stopTurning();
}

MagazineViewController::Contents MagazineViewController::readContents(int magazineId)
{
    auto store = core::ORBDBHelper::sharedORBDBHelper();
    Contents contents;
    contents.chapters = store->allChaptersWithMagazineId(magazineId);
    contents.headChapters = store->allHeadChapters(magazineId);
    contents.chapterIndexs = store->allChaptersIndex(magazineId);
    return contents;
}

void MagazineViewController::takeContents(Contents contents, bool mayDownload)
{
    allChapters_ = std::move(contents.chapters);
    allHeadChapters_ = std::move(contents.headChapters);
    allChapterIndexs_ = std::move(contents.chapterIndexs);
    if (!allChapters_.empty())
        fillDirectoryScrollView();
    else if (mayDownload)
        downloadContents();
}

void MagazineViewController::downloadContents()
{
    if (!magazineInfo_)
        return;
    platform::Dictionary params;
    params.set("postId", magazineInfo_->postId);
    params.set("magazineId", magazineInfo_->_id);
    int magazineId = magazineInfo_->_id;
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        kDownloadRequest, platform::Value(std::move(params)),
        [] { ORBHelper::showProgressHud("正在下载杂志信息,请稍候...", true, false); },
        // The overlay covers the whole window: it goes whatever became of the reader.
        weakCallbackAfter<MagazineViewController>(ORBHelper::hideProgressHud,
            [magazineId](MagazineViewController& screen, const platform::Value&) {
                // What the download stored; an issue that came without
                // contents stays empty rather than asking again.
                screen.takeContents(readContents(magazineId), false);
            }),
        [](const std::string&) { ORBHelper::hideProgressHud(); });
}

void MagazineViewController::removeGuide()
{
    if (useGuideImageView_)
        useGuideImageView_->removeFromSuperview();
    useGuideImageView_.reset();
    ORBHelper::userDefaultSettingForKey(ORBHelper::kMagazineShowsGuide, false);
    magazineCurrentPage_ = kCoverPage;
}

void MagazineViewController::addSwipes(const std::shared_ptr<UIView>& host)
{
    if (std::find(swipeHosts_.begin(), swipeHosts_.end(), host.get()) != swipeHosts_.end())
        return;
    swipeHosts_.push_back(host.get());
    for (unsigned direction : { UISwipeGestureRecognizerDirectionLeft, UISwipeGestureRecognizerDirectionRight }) {
        auto swipe = std::make_shared<UISwipeGestureRecognizer>();
        swipe->setDirection(direction);
        swipe->addTarget(self<MagazineViewController>(), &MagazineViewController::swipeView);
        host->addGestureRecognizer(swipe);
    }
}

void MagazineViewController::popReader()
{
    if (auto navigation = navigationController())
        navigation->popViewControllerAnimated(true);
}

void MagazineViewController::tapView()
{
    switch (magazineCurrentPage_) {
    case kTipsPage:
        removeGuide();
        break;
    case kCoverPage:
        exchangeView(directoryView_, coverImageView_, kTurnLeft);
        magazineCurrentPage_ = kDirectoryPage;
        break;
    case kDirectoryPage:
        // An issue without chapters has nothing to open.
        if (!allChapterIndexs_.empty())
            loadContentView(static_cast<int>(platform::leadingIntegerOf(allChapterIndexs_.front())));
        break;
    case kContentPage:
        if (magazineContentView_)
            magazineContentView_->swipeView(nullptr);
        break;
    default:
        break;
    }
}

void MagazineViewController::swipeView(UIGestureRecognizer* recognizer)
{
    if (useGuideImageView_) {
        removeGuide();
        return;
    }
    auto* swipe = dynamic_cast<UISwipeGestureRecognizer*>(recognizer);
    auto host = recognizer ? recognizer->view() : nullptr;
    if (!swipe || !host)
        return;
    bool left = swipe->direction() == UISwipeGestureRecognizerDirectionLeft;
    bool right = swipe->direction() == UISwipeGestureRecognizerDirectionRight;
    if (host->tag() == kCoverTag) {
        if (left) {
            exchangeView(directoryView_, coverImageView_, kTurnLeft);
            magazineCurrentPage_ = kDirectoryPage;
        } else if (right) {
            popReader();
        }
    } else if (host->tag() == kDirectoryTag) {
        if (left) {
            if (!allChapterIndexs_.empty())
                loadContentView(static_cast<int>(platform::leadingIntegerOf(allChapterIndexs_.front())));
        } else if (right) {
            popReader();
        }
    }
}

void MagazineViewController::exchangeView(
    const std::shared_ptr<UIView>& newView, const std::shared_ptr<UIView>& oldView, int direction)
{
    auto transition = std::make_shared<CATransition>();
    transition->setDuration(kTurnDuration);
    transition->setType("pageCurl");
    if (direction == kTurnRight)
        transition->setSubtype(kCATransitionFromLeft);
    else if (direction == kTurnLeft || direction == kTurnDown)
        transition->setSubtype(kCATransitionFromBottom);
    else if (direction == kTurnUp)
        transition->setSubtype(kCATransitionFromTop);

    const auto& subviews = view()->subviews();
    auto newAt = std::find(subviews.begin(), subviews.end(), newView);
    auto oldAt = std::find(subviews.begin(), subviews.end(), oldView);
    if (newAt != subviews.end() && oldAt != subviews.end())
        view()->exchangeSubviewAtIndex(newAt - subviews.begin(), oldAt - subviews.begin());
    oldView->setHidden(true);
    newView->setHidden(false);
    view()->layer()->addAnimation(transition, "animation");
    if (newView->tag() != kContentTag)
        addSwipes(newView);
}

void MagazineViewController::fillDirectoryScrollView()
{
    if (allChapters_.empty() || !magazineInfo_)
        return;
    postNumberLbl_->setText("第" + std::to_string(magazineInfo_->postNumber) + "期");
    postNameLbl_->setText("·" + magazineInfo_->name);
    auto [year, month] = MagazineItemView::yearAndMonth(magazineInfo_->postDate);
    postDateLbl_->setText(year + "年" + month + "月");

    if (headView_)
        headView_->removeFromSuperview();
    headView_ = std::make_shared<MagazineDirHeadView>(defaultImageScroll_->bounds());
    defaultImageScroll_->addSubview(headView_);
    headView_->setHeadDelegate(std::weak_ptr<MagazineDirHeadViewDelegate>(weakSelf<MagazineViewController>()));
    headView_->setHeadChapters(allHeadChapters_);

    auto old = directoryScrollView_->subviews();
    for (const auto& subview : old)
        subview->removeFromSuperview();
    directoryScrollView_->addSubview(separator(kMargin, 0));

    double y = 0;
    for (const auto& entry : allChapters_) {
        auto directory = entry["dir"].objectAs<core::MagazineDirectoryInfo>();
        const auto* chapters = entry["chapters"].asArray();
        std::vector<std::shared_ptr<core::MagazineChapterInfo>> list;
        if (chapters) {
            for (const auto& chapter : *chapters) {
                if (auto info = chapter.objectAs<core::MagazineChapterInfo>())
                    list.push_back(std::move(info));
            }
        }

        auto logoBox = std::make_shared<UIView>(platform::Rect(kMargin, y + kMargin, kLogoSide, kLogoSide));
        auto logo = std::make_shared<RemoteImageView>(platform::Rect(0, 0, kLogoSide, kLogoSide));
        logo->setImageURL(platform::Url::parse(directory ? directory->directoryLogo : std::string()));
        logoBox->addSubview(logo);
        auto name = std::make_shared<UILabel>(
            platform::Rect(kLogoInset, kLogoInset, kLogoSide - 2 * kLogoInset, kLogoSide - 2 * kLogoInset));
        name->setText(directory ? directory->directoryName : std::string());
        name->setTextColor(platform::Color::whiteColor());
        name->setFont(UIFont::boldSystemFont(18));
        name->setNumberOfLines(0);
        name->setBackgroundColor(platform::Color::clearColor());
        logoBox->addSubview(name);
        // A directory without chapters has no first chapter for its logo to open.
        if (!list.empty()) {
            logoBox->setTag(list.front()->chapterId);
            auto tap = std::make_shared<UITapGestureRecognizer>();
            tap->addTarget(self<MagazineViewController>(), &MagazineViewController::clickDirectoryLogoHandler);
            logoBox->addGestureRecognizer(tap);
        }
        directoryScrollView_->addSubview(logoBox);

        double cy = y + kMargin;
        for (const auto& chapter : list) {
            auto category = std::make_shared<UILabel>(platform::Rect(kChapterX, cy, kChapterWidth, kCategoryHeight));
            category->setText(chapter->chapterCategory);
            category->setTextColor(platform::Color::grayColor());
            category->setFont(UIFont::systemFont(12));
            category->setBackgroundColor(platform::Color::clearColor());
            directoryScrollView_->addSubview(category);

            auto title = UIButton::buttonWithType(UIButtonTypeCustom);
            title->setFrame(platform::Rect(kChapterX, cy + kCategoryHeight, kChapterWidth, kTitleHeight));
            title->setTitle(chapter->chapterTitle, UIControlStateNormal);
            title->setTitleColor(kTitleColor, UIControlStateNormal);
            title->titleLabel()->setFont(UIFont::systemFont(17));
            title->setContentHorizontalAlignment(UIControlContentHorizontalAlignmentLeft);
            title->setTag(chapter->chapterId);
            title->addTarget(self<MagazineViewController>(), &MagazineViewController::goToDetailPage,
                UIControlEventTouchUpInside);
            directoryScrollView_->addSubview(title);
            cy += kChapterStep;
        }
        double end = list.empty() ? cy + kChapterStep + kSingleChapterExtra : cy;
        if (list.size() == 1)
            end += kSingleChapterExtra;
        directoryScrollView_->addSubview(separator(kMargin, end));
        y = end;
    }
    directoryScrollView_->setContentSize(platform::Size(kDirectoryWidth, y));
}

void MagazineViewController::loadContentView(int chapterId)
{
    if (!magazineContentView_)
        return;
    magazineCurrentPage_ = kContentPage;
    magazineContentView_->setPostId(magazineInfo_ ? magazineInfo_->postId : 0);
    magazineContentView_->setAllChapterIndexs(allChapterIndexs_);
    magazineContentView_->setCurrentIndex(chapterId);
    exchangeView(contentView_, directoryView_, kTurnLeft);
}

void MagazineViewController::goToDetailPage(UIControl* sender)
{
    if (sender)
        loadContentView(sender->tag());
}

void MagazineViewController::clickDirectoryLogoHandler(UIGestureRecognizer* recognizer)
{
    if (auto host = recognizer ? recognizer->view() : nullptr)
        loadContentView(host->tag());
}

void MagazineViewController::clickHeadView(int chapterId)
{
    loadContentView(chapterId);
}

void MagazineViewController::backToDirectory()
{
    exchangeView(directoryView_, contentView_, kTurnRight);
    magazineCurrentPage_ = kDirectoryPage;
}

void MagazineViewController::backToList()
{
    popReader();
}

} // namespace content
