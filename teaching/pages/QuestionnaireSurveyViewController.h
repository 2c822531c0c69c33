#pragma once

#include "app/web/LocalPageViewController.h"

// A questionnaire: the notices page loaded as it ships, without the
// account; its "/weib/send" closes the screen.
class QuestionnaireSurveyViewController final : public LocalPageViewController {
public:
    ORB_CLASS_NAME(QuestionnaireSurveyViewController)

    static constexpr const char* kTitle = "问卷调查";
    static constexpr const char* kSendPath = "/weib/send";

    QuestionnaireSurveyViewController();

    void viewDidLoad() override;

protected:
    bool bridgePathRequested(const std::string& path, const NSURLRequest& request) override;
};
