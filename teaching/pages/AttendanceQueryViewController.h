#pragma once

#include "app/web/LocalPageViewController.h"

// Attendance on a page: a teacher's class by day ("attendance"), anyone
// else's own child or self by month ("stuAttend"); a row opens its details
// on the page's second level.
class AttendanceQueryViewController final : public LocalPageViewController {
public:
    ORB_CLASS_NAME(AttendanceQueryViewController)

    static constexpr const char* kTitle = "考勤查询";
    static constexpr const char* kDetailTitle = "考勤明细";
    static constexpr const char* kSecondViewPath = "/common/gotoSecondView";
    static constexpr const char* kTeacherPage = "attendance";
    static constexpr const char* kFamilyPage = "stuAttend";

    AttendanceQueryViewController();

    void viewDidLoad() override;

protected:
    bool bridgePathRequested(const std::string& path, const NSURLRequest& request) override;
    void secondLevelDidChange(bool isSubView) override;
};
