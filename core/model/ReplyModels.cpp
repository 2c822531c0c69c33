// Reading the rows of list replies into the reply models. Every field takes a
// value only of its own kind (see ReplyReading.h).
#include "core/model/AlbumInfo.h"
#include "core/model/ClassInfo.h"
#include "core/model/CommentHistoryInfo.h"
#include "core/model/HotActivityInfo.h"
#include "core/model/ReplyReading.h"
#include "core/model/ScheduleInfo.h"
#include "core/model/StudentInfo.h"
#include "core/model/SubjectInfo.h"
#include "core/model/SuggestCommentInfo.h"
#include "platform/os/Log.h"

namespace core {

using reply::readInteger;
using reply::readText;

std::shared_ptr<AlbumInfo> AlbumInfo::albumWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<AlbumInfo>();
    readInteger(obj["albumId"], info->albumId);
    readText(obj["albumName"], info->albumName);
    readInteger(obj["photosNum"], info->photosNum);
    readText(obj["belongs"], info->belongs);
    readText(obj["cover"], info->cover);
    return info;
}

std::shared_ptr<ClassInfo> ClassInfo::classWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<ClassInfo>();
    readInteger(obj["classId"], info->classId);
    readText(obj["className"], info->className);
    return info;
}

std::shared_ptr<ClassInfo> ClassInfo::activeTypeWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<ClassInfo>();
    readInteger(obj["type"], info->classId);
    readText(obj["typeName"], info->className);
    return info;
}

std::shared_ptr<StudentInfo> StudentInfo::studentWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<StudentInfo>();
    readInteger(obj["studentId"], info->studentId);
    readText(obj["name"], info->studentName);
    readText(obj["pic"], info->studentPic);
    info->isSelected = false;
    info->type = 1;
    return info;
}

std::shared_ptr<SuggestCommentInfo> SuggestCommentInfo::suggestCommentWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<SuggestCommentInfo>();
    readInteger(obj["sort"], info->sort);
    readText(obj["content"], info->content);
    readText(obj["type"], info->type);
    info->isSelected = false;
    return info;
}

std::shared_ptr<CommentHistoryInfo> CommentHistoryInfo::commentHistoryWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<CommentHistoryInfo>();
    readText(obj["content"], info->content);
    readText(obj["dateTime"], info->dateTime);
    readText(obj["rankIco"], info->rankIco);
    readText(obj["time"], info->time);
    return info;
}

std::shared_ptr<ScheduleInfo> ScheduleInfo::scheduleWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<ScheduleInfo>();
    long long sort = 0;
    if (readInteger(obj["sort"], sort))
        info->sort = std::to_string(sort);
    readText(obj["period"], info->period);
    readText(obj["course"], info->course);
    readText(obj["teacherName"], info->teacherName);
    readText(obj["teacherPic"], info->teacherPic);
    return info;
}

std::string ScheduleInfo::description() const
{
    return platform::format("sort:%s, period:%s, course:%s, teachername:%s, teacherpic:%s", sort.c_str(),
        period.c_str(), course.c_str(), teacherName.c_str(), teacherPic.c_str());
}

std::shared_ptr<SubjectInfo> SubjectInfo::subjectWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<SubjectInfo>();
    readInteger(obj["subjectId"], info->subjectId);
    readText(obj["subjectName"], info->subjectName);
    return info;
}

std::shared_ptr<HotActivityInfo> HotActivityInfo::hotActivityWithObj(const platform::Value& obj)
{
    if (!obj.isDictionary())
        return nullptr;
    auto info = std::make_shared<HotActivityInfo>();
    readInteger(obj["id"], info->activityId);
    readText(obj["areaId"], info->areaId);
    readText(obj["townId"], info->townId);
    readText(obj["title"], info->title);
    readText(obj["content"], info->content);
    readText(obj["createTime"], info->createTime);
    readText(obj["htmlUrl"], info->htmlUrl);
    return info;
}

} // namespace core
