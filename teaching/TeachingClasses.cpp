#include "teaching/TeachingClasses.h"

#include "platform/os/ClassRegistry.h"
#include "teaching/comment/CommentHistoryCell.h"
#include "teaching/comment/CommentHistoryViewController.h"
#include "teaching/comment/CommentViewController.h"
#include "teaching/comment/SuggestCommentCell.h"
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
}

} // namespace teaching
