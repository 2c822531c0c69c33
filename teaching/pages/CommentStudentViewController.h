#pragma once

#include "app/web/LocalPageViewController.h"

class UIButton;

// The class's students on a page, each with the number of comments received;
// a row opens the student's comment history. A teacher's right button opens
// the student chooser to comment on several at once.
class CommentStudentViewController final : public LocalPageViewController {
public:
    ORB_CLASS_NAME(CommentStudentViewController)

    static constexpr const char* kTitle = "点评学生";
    static constexpr const char* kStudentCommentPrefix = "/studentComment/";

    CommentStudentViewController();

    void viewDidLoad() override;
    void btnCommentAction(UIControl* sender);

protected:
    bool bridgePathRequested(const std::string& path, const NSURLRequest& request) override;
    void pageDidFail(const platform::Error&) override { showLoadFailed(); }

private:
    void openHistory(const std::string& fields);

    std::shared_ptr<UIButton> btnComment_;
};
