#include "content/library/EVViewController.h"

#include "content/library/EVVideoDetailViewController.h"
#include "content/library/EVVideoListViewController.h"
#include "content/library/LibraryKit.h"
#include "core/network/ORBNetworkHelper.h"
#include "platform/uikit/CALayer.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UILabel.h"
#include "platform/uikit/UINavigationController.h"
#include "platform/uikit/UIScrollView.h"
#include "ui/controls/EmptyCell.h"

#include <algorithm>

namespace content {

using library::showFailed;

EVViewController::EVViewController()
    : BaseViewController(std::string(kClassName))
{
    setTitle("教学视频");
}

void EVViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("tableView", tableView_);
    bindings.outlet("btnGrade", btnGrade_);
    bindings.outlet("gradeScrollView", gradeScrollView_);
    bindings.outlet("rightItem", nibRightItem_);
    bindings.action("btnGradeTouchUpInside:", &EVViewController::btnGradeTouchUpInside);
}

void EVViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto me = self<EVViewController>();
    setLeftItem(imageBarButton("public_back_btn.png", "btnBack", &EVViewController::btnBackTouchUpInside));
    setRightItem(nibRightItem_);
    // No grade until a reply names one.
    setGrade(nullptr);
    library::fitShortScreen(*view(), *tableView_);
    gradeScrollView_->setAlpha(0);
    gradeScrollView_->layer()->setBorderWidth(1);
    gradeScrollView_->layer()->setBorderColor(library::kLibraryGreen);
    tableView_->setDataSource(std::weak_ptr<UITableViewDataSource>(me));
    tableView_->setDelegate(std::weak_ptr<UITableViewDelegate>(me));
    tableView_->setRefreshDelegate(std::weak_ptr<RefreshTableViewDelegate>(me));
    tableView_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    tableView_->setAllowsSelection(false);
    tableView_->loadTopData();
}

void EVViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, false);
}

void EVViewController::btnBackTouchUpInside(UIControl*) { popViewController(); }

// ---- Loading ------------------------------------------------------------------------------

bool EVViewController::refreshTableViewHeaderDidTriggerRefresh(RefreshTableView*)
{
    loadGrades();
    return true;
}

void EVViewController::loadGrades()
{
    int generation = ++generation_;
    library::showLoading();
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kGradesRequest, platform::Value(),
        nullptr,
        weakCallbackAfter<EVViewController>(library::hideOverlay, [generation](EVViewController& screen, const platform::Value& reply) {
            screen.gradesArrived(generation, reply);
        }),
        weakCallbackAfter<EVViewController>(library::showFailed,
            [generation](EVViewController& screen, const std::string&) { screen.loadFailed(generation); }));
}

void EVViewController::gradesArrived(int generation, const platform::Value& reply)
{
    if (generation != generation_)
        return;
    library::hideOverlay();
    if (const auto* items = reply["items"].asArray()) {
        std::vector<std::shared_ptr<EVGradeInfo>> grades;
        for (const auto& item : *items) {
            if (auto grade = EVGradeInfo::gradeWithObj(item))
                grades.push_back(std::move(grade));
        }
        grades_ = std::move(grades);
    }
    loadHomeData();
}

void EVViewController::loadHomeData()
{
    int generation = generation_;
    library::showLoading();
    platform::Dictionary params;
    params.set("gradeBank", grade_ ? grade_->gradeBank : -1);
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(kHomeRequest,
        platform::Value(std::move(params)), nullptr,
        weakCallbackAfter<EVViewController>(library::hideOverlay, [generation](EVViewController& screen, const platform::Value& reply) {
            screen.homeArrived(generation, reply);
        }),
        weakCallbackAfter<EVViewController>(library::showFailed,
            [generation](EVViewController& screen, const std::string&) { screen.loadFailed(generation); }));
}

void EVViewController::homeArrived(int generation, const platform::Value& reply)
{
    if (generation != generation_)
        return;
    library::hideOverlay();
    if (const auto* items = reply["subItems"].asArray()) {
        std::vector<std::shared_ptr<EVSubjectInfo>> subjects;
        for (const auto& item : *items) {
            auto subject = EVSubjectInfo::subjectWithObj(item);
            if (subject && !subject->videoItems.empty())
                subjects.push_back(std::move(subject));
        }
        subjects_ = std::move(subjects);
    }
    // The picks of an earlier reply stay when this one brings none.
    if (auto picks = EVSubjectInfo::subjectWithObj(reply["teaItem"]); picks && !picks->videoItems.empty())
        teaSubject_ = std::move(picks);
    setGrade(EVGradeInfo::gradeWithObj(reply["grade"]));
    tableView_->doneLoadingTableViewData();
}

void EVViewController::loadFailed(int generation)
{
    if (generation != generation_)
        return;
    showFailed();
    tableView_->doneLoadingTableViewData();
}

void EVViewController::setGrade(std::shared_ptr<EVGradeInfo> grade)
{
    grade_ = std::move(grade);
    if (nibRightItem_)
        nibRightItem_->setHidden(!grade_);
    if (grade_ && btnGrade_)
        btnGrade_->setTitle(grade_->gradeName.value_or(""), UIControlStateNormal);
}

// ---- The grade menu -----------------------------------------------------------------------

void EVViewController::btnGradeTouchUpInside(UIControl*) { setOpen(!(gradeScrollView_->alpha() > 0)); }

void EVViewController::setOpen(bool open)
{
    if (open == open_)
        return;
    open_ = open;
    auto menu = gradeScrollView_;
    if (!open) {
        UIView::animateWithDuration(0.25, [menu] {
            auto frame = menu->frame();
            frame.size.height = 0;
            menu->setFrame(frame);
            menu->setAlpha(0);
        });
        return;
    }
    std::size_t count = grades_.size();
    // Buttons of grades that are gone go; the others are reused.
    auto children = menu->subviews();
    for (const auto& child : children) {
        if (auto button = std::dynamic_pointer_cast<UIButton>(child); button && std::size_t(button->tag()) > count)
            button->removeFromSuperview();
    }
    double width = menu->frame().width();
    for (std::size_t i = 0; i < count; ++i) {
        int tag = int(i) + 1;
        std::shared_ptr<UIButton> button;
        for (const auto& child : menu->subviews()) {
            if (auto found = std::dynamic_pointer_cast<UIButton>(child); found && found->tag() == tag)
                button = found;
        }
        if (!button) {
            button = UIButton::buttonWithType(UIButtonTypeCustom);
            button->titleLabel()->setFont(UIFont::systemFont(kGradeFontSize));
            button->setTitleColor(UIColor::blackColor(), UIControlStateNormal);
            button->setTitleColor(library::kLibraryGreen, UIControlStateHighlighted);
            button->setBackgroundColor(UIColor::clearColor());
            button->addTarget(self<EVViewController>(), &EVViewController::btnTouchUpInside,
                UIControlEventTouchUpInside);
            button->setTag(tag);
            menu->addSubview(button);
        }
        button->setTitle(grades_[i]->gradeName.value_or(""), UIControlStateNormal);
        button->setFrame(platform::Rect(0, kGradeRowHeight * double(i), width, kGradeRowHeight));
    }
    double shown = kGradeRowHeight * double(std::min(count, kGradeRowsShown));
    double whole = kGradeRowHeight * double(count);
    UIView::animateWithDuration(0.25, [menu, shown, whole, width] {
        auto frame = menu->frame();
        frame.size.height = shown;
        menu->setFrame(frame);
        menu->setContentSize(platform::Size(width, whole));
        menu->setAlpha(1);
    });
}

void EVViewController::btnTouchUpInside(UIControl* sender)
{
    setOpen(false);
    if (!sender || sender->tag() < 1 || std::size_t(sender->tag()) > grades_.size())
        return;
    setGrade(grades_[std::size_t(sender->tag()) - 1]);
    tableView_->loadTopData();
}

// ---- Table --------------------------------------------------------------------------------

std::shared_ptr<EVSubjectInfo> EVViewController::subjectOfSection(long section) const
{
    long index = teaSubject_ ? section - 1 : section;
    if (teaSubject_ && section == 0)
        return teaSubject_;
    if (index < 0 || std::size_t(index) >= subjects_.size())
        return nullptr;
    return subjects_[std::size_t(index)];
}

long EVViewController::numberOfSectionsInTableView(UITableView*)
{
    return std::max<long>(1, long(subjects_.size()) + (teaSubject_ ? 1 : 0));
}

long EVViewController::numberOfRowsInSection(UITableView*, long section)
{
    if (subjects_.empty() && !teaSubject_)
        return 1;
    auto subject = subjectOfSection(section);
    return subject ? 1 + (long(subject->videoItems.size()) + 1) / 2 : 0;
}

std::shared_ptr<UITableViewCell> EVViewController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    auto subject = subjectOfSection(path.section);
    if ((subjects_.empty() && !teaSubject_) || !subject)
        return BaseCell::dequeue<EmptyCell>(*table);
    if (path.row == 0) {
        auto cell = BaseCell::dequeue<EVHeaderCell>(*table);
        if (!cell->hasDelegate())
            cell->setDelegate(weakSelf<EVViewController>());
        cell->setSubject(subject);
        return cell;
    }
    auto cell = BaseCell::dequeue<EVCell>(*table);
    if (!cell->hasDelegate())
        cell->setDelegate(weakSelf<EVViewController>());
    std::size_t first = std::size_t(path.row - 1) * EVCell::kSlots;
    const auto& all = subject->videoItems;
    std::vector<std::shared_ptr<EVVideoInfo>> videos;
    for (std::size_t i = first; i < all.size() && i < first + EVCell::kSlots; ++i)
        videos.push_back(all[i]);
    cell->setVideos(std::move(videos));
    cell->setLastLine(path.row >= 2 && path.row == numberOfRowsInSection(table, path.section) - 1);
    return cell;
}

std::optional<double> EVViewController::heightForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    if (subjects_.empty() && !teaSubject_)
        return table->frame().height();
    return path.row == 0 ? BaseCell::height<EVHeaderCell>() : BaseCell::height<EVCell>();
}

std::optional<double> EVViewController::heightForFooterInSection(UITableView*, long)
{
    return library::kSectionFooterHeight;
}

std::shared_ptr<UIView> EVViewController::viewForFooterInSection(UITableView*, long) { return library::emptyFooter(); }

// ---- Onwards ------------------------------------------------------------------------------

void EVViewController::headerCellDidClickMore(EVHeaderCell*, const std::shared_ptr<EVSubjectInfo>& subject)
{
    setOpen(false);
    if (auto navigation = navigationController(); navigation && subject)
        navigation->pushViewController(EVVideoListViewController::initWithSubject(subject, grade_), true);
}

void EVViewController::evCellDidClickItem(EVCell*, const std::shared_ptr<EVVideoInfo>& video)
{
    setOpen(false);
    if (auto navigation = navigationController(); navigation && video)
        navigation->pushViewController(EVVideoDetailViewController::initWithVideo(video), true);
}

} // namespace content
