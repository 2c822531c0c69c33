#include "teaching/pages/AttendanceQueryViewController.h"

#include "core/session/MyAccountInfo.h"

AttendanceQueryViewController::AttendanceQueryViewController()
    : LocalPageViewController(std::string(kClassName), kFamilyPage, "index")
{
}

void AttendanceQueryViewController::viewDidLoad()
{
    auto account = core::MyAccountInfo::currentAccount();
    setPage(account && account->type == 1 ? kTeacherPage : kFamilyPage, "index");
    // The grid names the screen; opened from a message row it names itself the same.
    if (title().empty())
        setTitle(kTitle);
    LocalPageViewController::viewDidLoad();
}

bool AttendanceQueryViewController::bridgePathRequested(const std::string& path, const NSURLRequest&)
{
    if (path == kReturnPath) {
        closeScreen();
        return true;
    }
    if (path == kSecondViewPath) {
        enterSecondLevel();
        return true;
    }
    return false;
}

void AttendanceQueryViewController::secondLevelDidChange(bool isSubView) { setTitle(isSubView ? kDetailTitle : kTitle); }
