#include "teaching/pages/QuestionnaireSurveyViewController.h"

QuestionnaireSurveyViewController::QuestionnaireSurveyViewController()
    // The page as read, the layout's full height, and the bar left as it is.
    : LocalPageViewController(std::string(kClassName), "notice", "index", PageOptions { false, false, false })
{
}

void QuestionnaireSurveyViewController::viewDidLoad()
{
    LocalPageViewController::viewDidLoad();
    setTitle(kTitle);
}

bool QuestionnaireSurveyViewController::bridgePathRequested(const std::string& path, const NSURLRequest&)
{
    if (path == kSendPath) {
        closeScreen();
        return true;
    }
    return false;
}
