#include "content/pages/HotActivityViewController.h"

#include "app/web/ORBWebViewController.h"
#include "content/portal/PortalStyle.h"
#include "core/network/ORBNetworkHelper.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UIImageView.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "ui/ORBHelper.h"

#include <cmath>

namespace content {

namespace {

    constexpr double kIconSize = 60;
    constexpr double kTextRightMargin = 90;
    constexpr double kTitleFontSize = 15;
    constexpr double kTextFontSize = 13;
    constexpr double kLineHeight = 20;

} // namespace

// ---- HotActivityCell ------------------------------------------------------------------------

void HotActivityCell::setHotActivityInfo(std::shared_ptr<core::HotActivityInfo> info)
{
    hotActivityInfo_ = std::move(info);
    auto content = contentView();
    auto children = content->subviews();
    for (const auto& child : children)
        child->removeFromSuperview();
    if (!hotActivityInfo_)
        return;
    const auto& activity = *hotActivityInfo_;
    double width = frame().width();
    double textWidth = width - kTextRightMargin;

    auto icon = std::make_shared<UIImageView>(platform::Rect(8, 5, kIconSize, kIconSize));
    icon->setImage(UIImage::imageNamed("hot_activity_icon"));
    content->addSubview(icon);

    auto title = ORBHelper::labelWithFrame(
        platform::Rect(72, 5, textWidth, kLineHeight), activity.title, kTitleFontSize, UIColor::blackColor(), false);
    title->setNumberOfLines(1);
    content->addSubview(title);

    double contentHeight = 0;
    if (!activity.content.empty()) {
        auto text = ORBHelper::labelWithFrame(platform::Rect(80, 25, textWidth, 0), activity.content, kTextFontSize,
            UIColor::grayColor(), true);
        contentHeight = text->frame().height();
        content->addSubview(text);
    }
    double timeTop = std::floor(25 + contentHeight + 5);
    auto time = ORBHelper::labelWithFrame(platform::Rect(80, timeTop, textWidth, kLineHeight), activity.createTime,
        kTextFontSize, UIColor::grayColor(), false);
    time->setNumberOfLines(1);
    content->addSubview(time);

    setFrame(platform::Rect(0, 0, width, timeTop + 30));
}

// ---- HotActivityViewController --------------------------------------------------------------

HotActivityViewController::HotActivityViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle("热门活动");
}

void HotActivityViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("activityTableView", activityTableView_);
}

void HotActivityViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    setTitle("热门活动");
    auto me = self<HotActivityViewController>();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &HotActivityViewController::backToViewController));
    activityTableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    activityTableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, false);
    loadDatas();
}

void HotActivityViewController::backToViewController(UIControl*) { popViewController(); }

void HotActivityViewController::loadDatas()
{
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kActivitiesRequest,
        platform::Value(), [] { ORBHelper::showProgressHud("正在加载热门活动列表...", true, false); },
        // The overlay goes with the answer, the screen there or not.
        weakCallbackAfter<HotActivityViewController>(ORBHelper::hideProgressHud,
            [](HotActivityViewController& screen, const platform::Value& result) {
            const auto* list = result.asArray();
            if (!list)
                return;
            std::vector<std::shared_ptr<core::HotActivityInfo>> activities;
            for (const auto& item : *list) {
                if (auto activity = item.objectAs<core::HotActivityInfo>())
                    activities.push_back(std::move(activity));
            }
            screen.hotActivities_ = std::move(activities);
            screen.activityTableView_->reloadData();
        }),
        [](const std::string& message) { ORBHelper::showProgressHud(message, false, true); });
}

std::shared_ptr<core::HotActivityInfo> HotActivityViewController::activityAt(long row) const
{
    return row >= 0 && std::size_t(row) < hotActivities_.size() ? hotActivities_[std::size_t(row)] : nullptr;
}

std::shared_ptr<UITableViewCell> HotActivityViewController::cellForRowAtIndexPath(
    UITableView* table, const NSIndexPath& path)
{
    auto cell = std::dynamic_pointer_cast<HotActivityCell>(
        table->dequeueReusableCellWithIdentifier(HotActivityCell::kIdentifier));
    if (!cell)
        cell = std::make_shared<HotActivityCell>(UITableViewCellStyleValue1, HotActivityCell::kIdentifier);
    auto frame = cell->frame();
    frame.size.width = table->frame().width();
    cell->setFrame(frame);
    cell->setHotActivityInfo(activityAt(path.row));
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    return cell;
}

std::optional<double> HotActivityViewController::heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    // The row is as tall as a cell laid out for it makes itself.
    auto cell = std::make_shared<HotActivityCell>(UITableViewCellStyleValue1, HotActivityCell::kIdentifier);
    cell->setFrame(platform::Rect(0, 0, table->frame().width(), cell->frame().height()));
    cell->setHotActivityInfo(activityAt(path.row));
    return cell->frame().height();
}

void HotActivityViewController::didSelectRowAtIndexPath(UITableView*, const NSIndexPath& path)
{
    auto activity = activityAt(path.row);
    // Only a web address is opened: the page screen loads what it is given.
    auto address = activity ? addressOf(activity->htmlUrl) : std::nullopt;
    if (!address)
        return;
    auto page = std::make_shared<ORBWebViewController>(std::string(ORBWebViewController::kClassName));
    page->setLoadUrl(address);
    if (auto navigation = navigationController())
        navigation->pushViewController(page, true);
}

} // namespace content
