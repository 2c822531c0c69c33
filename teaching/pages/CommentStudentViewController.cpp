#include "teaching/pages/CommentStudentViewController.h"

#include "core/model/StudentInfo.h"
#include "core/session/MyAccountInfo.h"
#include "platform/os/StringUtil.h"
#include "platform/uikit/UINavigationController.h"
#include "teaching/comment/CommentHistoryViewController.h"
#include "teaching/students/SelectStudentViewController.h"

CommentStudentViewController::CommentStudentViewController()
    : LocalPageViewController(std::string(kClassName), "stuComments", "index")
{
}

void CommentStudentViewController::viewDidLoad()
{
    LocalPageViewController::viewDidLoad();
    setTitle(kTitle);
    btnComment_ = imageBarButton("message_box_compose_btn.png", "btnComment", &CommentStudentViewController::btnCommentAction);
    setRightItem(btnComment_);
    // Only teachers comment; the others keep the button, unseen.
    auto account = core::MyAccountInfo::currentAccount();
    btnComment_->setHidden(!account || account->type != 1);
}

void CommentStudentViewController::btnCommentAction(UIControl*)
{
    auto chooser = std::make_shared<SelectStudentViewController>();
    if (auto navigation = navigationController())
        navigation->pushViewController(chooser, true);
}

bool CommentStudentViewController::bridgePathRequested(const std::string& path, const NSURLRequest& request)
{
    if (path == kReturnPath) {
        closeScreen();
        return true;
    }
    if (auto fields = localpage::bridgeArgument(request, kStudentCommentPrefix)) {
        openHistory(*fields);
        return true;
    }
    return false;
}

// "name|picture|id|type"; a call with fewer fields names no student and is ignored.
void CommentStudentViewController::openHistory(const std::string& fields)
{
    auto parts = platform::split(fields, "|");
    if (parts.size() < 4)
        return;
    auto student = std::make_shared<core::StudentInfo>();
    student->studentName = parts[0];
    student->studentPic = parts[1];
    student->studentId = static_cast<int>(platform::leadingIntegerOf(parts[2]));
    student->type = static_cast<int>(platform::leadingIntegerOf(parts[3]));
    auto history = std::make_shared<CommentHistoryViewController>();
    history->setStudentInfo(student);
    if (auto navigation = navigationController())
        navigation->pushViewController(history, true);
}
