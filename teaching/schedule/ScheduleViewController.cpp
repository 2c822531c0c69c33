#include "teaching/schedule/ScheduleViewController.h"

#include "core/network/ORBNetworkHelper.h"
#include "core/network/ORBRequestTable.h"
#include "core/session/MyAccountInfo.h"
#include "platform/os/DateFormat.h"
#include "platform/uikit/UIButton.h"
#include "platform/uikit/UIImage.h"
#include "platform/uikit/UINavigationController.h"
#include "teaching/TeachingReplies.h"
#include "teaching/schedule/ScheduleCell.h"
#include "ui/ORBHelper.h"

using core::ORBRequestType;

namespace {

const platform::Color kDayTitleColor(0.3289, 0.4392, 0.0133, 1);
const platform::Color kOddRowColor = platform::Color::fromRGB255(250, 250, 250);

bool isTeacher()
{
    auto account = core::MyAccountInfo::currentAccount();
    return account && account->type == 1;
}

} // namespace

int ScheduleViewController::weekForWeekday(int gregorianWeekday) { return gregorianWeekday < 2 ? 7 : gregorianWeekday - 1; }

ScheduleViewController::ScheduleViewController(platform::Date today)
    : BaseViewController(std::string(kClassName))
    , week_(weekForWeekday(platform::dateComponents(today).weekday))
{
}

void ScheduleViewController::declareLayoutBindings(platform::LayoutBindings& bindings)
{
    BaseViewController::declareLayoutBindings(bindings);
    bindings.outlet("btnMonday", btnMonday_);
    bindings.outlet("btnTuesday", btnTuesday_);
    bindings.outlet("btnWednesday", btnWednesday_);
    bindings.outlet("btnThursday", btnThursday_);
    bindings.outlet("btnFriday", btnFriday_);
    bindings.outlet("btnSaturday", btnSaturday_);
    bindings.outlet("btnSunday", btnSunday_);
    bindings.outlet("pickerContainerView", pickerContainerView_);
    bindings.outlet("classContainerview", classContainerview_);
    bindings.outlet("weekContainerView", weekContainerView_);
    bindings.outlet("tableview", tableview_);
    bindings.action("btnMondayAction:", &ScheduleViewController::btnMondayAction);
    bindings.action("btnTuesdayAction:", &ScheduleViewController::btnTuesdayAction);
    bindings.action("btnWednesdayAction:", &ScheduleViewController::btnWednesdayAction);
    bindings.action("btnThursdayAction:", &ScheduleViewController::btnThursdayAction);
    bindings.action("btnFridayAction:", &ScheduleViewController::btnFridayAction);
    bindings.action("btnSaturdayAction:", &ScheduleViewController::btnSaturdayAction);
    bindings.action("btnSundayAction:", &ScheduleViewController::btnSundayAction);
    bindings.optionalAction("btnGoBackAction:", &ScheduleViewController::btnGoBackAction);
}

void ScheduleViewController::viewDidLoad()
{
    BaseViewController::viewDidLoad();
    auto self = BaseViewController::self<ScheduleViewController>();
    weekdays_ = { btnSunday_, btnMonday_, btnTuesday_, btnWednesday_, btnThursday_, btnFriday_, btnSaturday_ };
    changeBtnStyle(week_);
    tableview_->setDataSource(std::weak_ptr<UITableViewDataSource>(self));
    tableview_->setDelegate(std::weak_ptr<UITableViewDelegate>(self));
    tableview_->setSeparatorStyle(UITableViewCellSeparatorStyleNone);
    if (!isTeacher()) {
        classContainerview_->setHidden(true);
        const double rise = classContainerview_->frame().size.height;
        auto days = weekContainerView_->frame();
        days.origin.y -= rise;
        weekContainerView_->setFrame(days);
        auto list = tableview_->frame();
        list.origin.y -= rise;
        list.size.height += rise;
        tableview_->setFrame(list);
        loadScheduleList();
    } else {
        const auto host = pickerContainerView_->bounds();
        pickerView_ = ORBPickerView::make(platform::Rect(0, 0, host.size.width, host.size.height));
        pickerView_->setCDelegate(std::weak_ptr<ORBPickerViewDelegate>(self));
        pickerContainerView_->addSubview(pickerView_);
        loadClassList();
    }
    // The timetable ends at the foot of the screen on either screen.
    keepAtVisibleBottom(tableview_);
}

void ScheduleViewController::viewWillAppear(bool animated)
{
    BaseViewController::viewWillAppear(animated);
    if (auto navigation = navigationController())
        navigation->setNavigationBarHidden(false, animated);
}

void ScheduleViewController::loadClassList()
{
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        static_cast<int>(ORBRequestType::ClassList), platform::Value(platform::Dictionary()),
        weakCallback<ScheduleViewController>([](ScheduleViewController& screen) {
            screen.pickerView_->setEnabled(false);
            screen.pickerView_->setText(ORBPickerView::kLoadingClassesText);
        }),
        weakCallback<ScheduleViewController>(&ScheduleViewController::classesArrived),
        weakCallback<ScheduleViewController>(&ScheduleViewController::classesFailed));
}

void ScheduleViewController::classesArrived(const platform::Value& result)
{
    classList_ = teaching::modelsIn<core::ClassInfo>(result);
    classListName_.clear();
    for (const auto& entry : classList_)
        classListName_.push_back(entry->className);
    if (classList_.empty()) {
        pickerView_->setText(kNoClassesText);
        loadScheduleList();
        return;
    }
    pickerView_->setListDatas(teaching::asObjects(classList_));
    pickerView_->setPickerType(ORBPickerView::ClassPicker);
    pickerView_->setEnabled(true);
    pickerView_->setNeedsDisplay();
    classInfo_ = classList_.front();
    loadScheduleList();
}

void ScheduleViewController::classesFailed(const std::string&) { pickerView_->setText(kClassesFailedText); }

void ScheduleViewController::loadScheduleList()
{
    // Emptied at once and shown so: the list never holds another day's rows.
    scheduleInfoList_.clear();
    tableview_->reloadData();
    const unsigned serial = ++scheduleSerial_;
    platform::Dictionary params;
    params.set("classId", classInfo_ ? classInfo_->classId : 0);
    params.set("week", week_);
    // The spinner covers the window: it goes with the answer whether or not
    // the person is still here (a failure's text follows on the screen) —
    // but not with the late answer of a day left behind, while the day now
    // asked for is still loading under it.
    auto answered = [weak = weakSelf<ScheduleViewController>(), serial]() {
        auto screen = weak.lock();
        if (!screen || screen->scheduleSerial_ == serial)
            ORBHelper::hideProgressHud();
        return screen;
    };
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        static_cast<int>(ORBRequestType::Timetable), platform::Value(std::move(params)),
        [] { ORBHelper::showProgressHud(kLoadingText, true, false); },
        [answered, serial](const platform::Value& result) {
            if (auto screen = answered())
                screen->scheduleArrived(serial, result);
        },
        [answered, serial](const std::string& message) {
            if (auto screen = answered())
                screen->scheduleFailed(serial, message);
        });
}

void ScheduleViewController::scheduleArrived(unsigned serial, const platform::Value& result)
{
    // Another day or class was asked for since: this reply is not what the
    // screen shows.
    if (serial != scheduleSerial_)
        return;
    scheduleInfoList_ = teaching::modelsIn<core::ScheduleInfo>(result);
    tableview_->reloadData();
}

void ScheduleViewController::scheduleFailed(unsigned serial, const std::string&)
{
    if (serial != scheduleSerial_)
        return;
    ORBHelper::showProgressHud(kFailedText, false, true);
}

void ScheduleViewController::chooseDay(int day)
{
    if (week_ == day)
        return;
    week_ = day;
    changeBtnStyle(day);
    loadScheduleList();
}

void ScheduleViewController::changeBtnStyle(int day)
{
    // The buttons run Sunday first; day 7 is Sunday.
    const std::size_t chosen = std::size_t(day % 7);
    for (std::size_t i = 0; i < weekdays_.size(); ++i) {
        auto& button = weekdays_[i];
        if (i == chosen) {
            button->setTitleColor(platform::Color::whiteColor(), UIControlStateNormal);
            button->setBackgroundImage(UIImage::imageNamed(kSelectedDayImage), UIControlStateNormal);
        } else {
            button->setTitleColor(kDayTitleColor, UIControlStateNormal);
            button->setBackgroundImage(nullptr, UIControlStateNormal);
        }
    }
}

void ScheduleViewController::didSelectedPickerView(ORBPickerView*, long row)
{
    if (row < 0 || std::size_t(row) >= classList_.size())
        return;
    classInfo_ = classList_[std::size_t(row)];
    loadScheduleList();
}

std::shared_ptr<UITableViewCell> ScheduleViewController::cellForRowAtIndexPath(UITableView* table, const NSIndexPath& path)
{
    auto cell = BaseCell::dequeue<ScheduleCell>(*table);
    if (!cell)
        return std::make_shared<UITableViewCell>();
    cell->setSelectionStyle(UITableViewCellSelectionStyleNone);
    cell->setBackgroundView(nullptr);
    cell->setBackgroundColor(path.row % 2 ? kOddRowColor : platform::Color::whiteColor());
    if (path.row >= 0 && std::size_t(path.row) < scheduleInfoList_.size())
        cell->setSchedule(scheduleInfoList_[std::size_t(path.row)]);
    return cell;
}
