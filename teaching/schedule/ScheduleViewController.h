#pragma once

#include "app/base/BaseViewController.h"
#include "core/model/ClassInfo.h"
#include "core/model/ScheduleInfo.h"
#include "platform/uikit/UITableView.h"
#include "ui/grid/ORBPickerView.h"

#include <memory>
#include <string>
#include <vector>

class UIButton;

// The class timetable of one weekday. A teacher chooses one of their
// classes first; parents and students see their own class's. The row of day
// buttons switches the day; the screen opens on today.
class ScheduleViewController final : public BaseViewController,
                                     public UITableViewDataSource,
                                     public UITableViewDelegate,
                                     public ORBPickerViewDelegate {
public:
    ORB_CLASS_NAME(ScheduleViewController)

    static constexpr const char* kLoadingText = "正在加载课程表";
    static constexpr const char* kFailedText = "课程表加载失败";
    static constexpr const char* kNoClassesText = "没有班级信息";
    static constexpr const char* kClassesFailedText = "加载班级信息出错";
    static constexpr const char* kSelectedDayImage = "schedule_selected_day_bg";
    static constexpr double kRowHeight = 60;

    // The day shown for a Gregorian weekday (1 Sunday ... 7 Saturday): 1
    // Monday ... 7 Sunday.
    static int weekForWeekday(int gregorianWeekday);

    // Opens on the weekday of `today` (the function grid makes it with now).
    explicit ScheduleViewController(platform::Date today = platform::Date::now());

    void declareLayoutBindings(platform::LayoutBindings& bindings) override;
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;

    // ---- Nib actions --------------------------------------------------------------------
    void btnMondayAction(UIControl*) { chooseDay(1); }
    void btnTuesdayAction(UIControl*) { chooseDay(2); }
    void btnWednesdayAction(UIControl*) { chooseDay(3); }
    void btnThursdayAction(UIControl*) { chooseDay(4); }
    void btnFridayAction(UIControl*) { chooseDay(5); }
    void btnSaturdayAction(UIControl*) { chooseDay(6); }
    void btnSundayAction(UIControl*) { chooseDay(7); }
    void btnGoBackAction(UIControl*) { popViewController(); }

    void didSelectedPickerView(ORBPickerView* pickerView, long row) override;

    void loadClassList();
    void loadScheduleList();
    void changeBtnStyle(int day);

    long numberOfRowsInSection(UITableView*, long) override { return long(scheduleInfoList_.size()); }
    std::shared_ptr<UITableViewCell> cellForRowAtIndexPath(UITableView*, const NSIndexPath&) override;
    std::optional<double> heightForRowAtIndexPath(UITableView*, const NSIndexPath&) override { return kRowHeight; }

private:
    void chooseDay(int day);
    void classesArrived(const platform::Value& result);
    void classesFailed(const std::string& message);
    void scheduleArrived(unsigned serial, const platform::Value& result);
    void scheduleFailed(unsigned serial, const std::string& message);

    int week_ = 1;
    std::vector<std::shared_ptr<UIButton>> weekdays_;
    std::shared_ptr<ORBPickerView> pickerView_;
    std::vector<std::shared_ptr<core::ClassInfo>> classList_;
    std::vector<std::string> classListName_;
    std::shared_ptr<core::ClassInfo> classInfo_;
    std::vector<std::shared_ptr<core::ScheduleInfo>> scheduleInfoList_;
    // Raised for each timetable request: only the newest one's reply is
    // shown, so the list is always the highlighted day's and class's.
    unsigned scheduleSerial_ = 0;

    std::shared_ptr<UIButton> btnMonday_;
    std::shared_ptr<UIButton> btnTuesday_;
    std::shared_ptr<UIButton> btnWednesday_;
    std::shared_ptr<UIButton> btnThursday_;
    std::shared_ptr<UIButton> btnFriday_;
    std::shared_ptr<UIButton> btnSaturday_;
    std::shared_ptr<UIButton> btnSunday_;
    std::shared_ptr<UIView> pickerContainerView_;
    std::shared_ptr<UIView> classContainerview_;
    std::shared_ptr<UIView> weekContainerView_;
    std::shared_ptr<UITableView> tableview_;
};
