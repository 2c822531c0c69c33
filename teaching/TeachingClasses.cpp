#include "teaching/TeachingClasses.h"

#include "platform/os/ClassRegistry.h"
#include "teaching/comment/CommentHistoryCell.h"
#include "teaching/comment/CommentHistoryViewController.h"
#include "teaching/comment/CommentViewController.h"
#include "teaching/comment/SuggestCommentCell.h"
#include "teaching/pages/AttendanceQueryViewController.h"
#include "teaching/pages/ClassNoticeListViewController.h"
#include "teaching/pages/CommentStudentViewController.h"
#include "teaching/pages/HomeWorkListViewController.h"
#include "teaching/pages/OnlineServiceViewController.h"
#include "teaching/pages/QuestionnaireSurveyViewController.h"
#include "teaching/pages/SchoolNoticeViewController.h"
#include "teaching/schedule/ScheduleCell.h"
#include "teaching/schedule/ScheduleViewController.h"
#include "teaching/send/AssigningHomeworkViewController.h"
#include "teaching/send/SendClassNoticeViewController.h"
#include "teaching/send/SendOnlineServiceViewController.h"
#include "teaching/students/SelectStudentViewController.h"

namespace teaching {

void registerTeachingClasses()
{
    auto& registry = platform::ClassRegistry::shared();
    registry.registerClass<SelectStudentViewController>();
    registry.registerClass<CommentViewController>();
    registry.registerClass<CommentHistoryViewController>();
    BaseCell::registerCellClass<SuggestCommentCell>();
    BaseCell::registerCellClass<CommentHistoryCell>();
    // The function grid opens the timetable by this name.
    registry.registerClass<ScheduleViewController>();
    BaseCell::registerCellClass<ScheduleCell>();
    // The list pages and the class circle's compose menu open these by name.
    registry.registerClass<SendClassNoticeViewController>();
    registry.registerClass<AssigningHomeworkViewController>();
    registry.registerClass<SendOnlineServiceViewController>();
    // The local tool pages, opened by the grid and the message rows by name.
    registry.registerClass<CommentStudentViewController>();
    registry.registerClass<SchoolNoticeViewController>();
    registry.registerClass<HomeWorkListViewController>();
    registry.registerClass<AttendanceQueryViewController>();
    registry.registerClass<OnlineServiceViewController>();
    registry.registerClass<ClassNoticeListViewController>();
    registry.registerClass<QuestionnaireSurveyViewController>();
}

} // namespace teaching
