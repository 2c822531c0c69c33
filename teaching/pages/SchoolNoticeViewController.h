#pragma once

#include "app/web/LocalPageViewController.h"

// The school's notices on a page, newest first with their read state; a
// notice opens on the page's second level.
class SchoolNoticeViewController final : public LocalPageViewController {
public:
    ORB_CLASS_NAME(SchoolNoticeViewController)

    static constexpr const char* kTitle = "学校公告";
    static constexpr const char* kSecondViewPath = "/common/gotoSecondView";

    SchoolNoticeViewController();

    void viewDidLoad() override;

protected:
    bool bridgePathRequested(const std::string& path, const NSURLRequest& request) override;
    void pageDidFail(const platform::Error&) override { showLoadFailed(); }
};
