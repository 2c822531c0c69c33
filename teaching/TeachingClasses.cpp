#include "teaching/TeachingClasses.h"

#include "platform/os/ClassRegistry.h"
#include "teaching/comment/CommentHistoryCell.h"
#include "teaching/comment/CommentHistoryViewController.h"
#include "teaching/comment/CommentViewController.h"
#include "teaching/comment/SuggestCommentCell.h"
#include "teaching/schedule/ScheduleCell.h"
#include "teaching/schedule/ScheduleViewController.h"
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
}

} // namespace teaching
