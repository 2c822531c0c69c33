#include "tools/orbcore/ModelPrinter.h"

#include "core/model/AlbumInfo.h"
#include "core/model/ClassInfo.h"
#include "core/model/CommentHistoryInfo.h"
#include "core/model/HomeWorkInfo.h"
#include "core/model/HotActivityInfo.h"
#include "core/model/NoticeInfo.h"
#include "core/model/PhotoInfo.h"
#include "core/model/ReplyReading.h"
#include "core/model/ScheduleInfo.h"
#include "core/model/StudentInfo.h"
#include "core/model/SubjectInfo.h"
#include "core/model/SuggestCommentInfo.h"
#include "core/model/WeiboData.h"
#include "core/model/WeiboInfo.h"
#include "core/model/WeiboReplyData.h"
#include "core/session/AccountInfo.h"
#include "core/store/MagazineChapterInfo.h"
#include "core/store/MagazineDirectoryInfo.h"
#include "core/store/MagazineInfo.h"
#include "platform/os/PlatformJson.h"

namespace orbcore {

using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

    template <class T> std::shared_ptr<T> as(const std::shared_ptr<platform::Object>& object)
    {
        return std::dynamic_pointer_cast<T>(object);
    }

    Dictionary fieldsOf(const std::shared_ptr<platform::Object>& object)
    {
        using namespace core;
        if (auto m = as<MagazineInfo>(object))
            return { { "_id", m->_id }, { "name", m->name }, { "postId", m->postId }, { "category", m->category },
                { "coverOriginal", m->coverOriginal }, { "coverThumb", m->coverThumb }, { "postNumber", m->postNumber },
                { "postDate", m->postDate }, { "status", m->status }, { "readNumber", m->readNumber } };
        if (auto d = as<MagazineDirectoryInfo>(object))
            return { { "_id", d->_id }, { "magazineId", d->magazineId }, { "directoryId", d->directoryId },
                { "directoryName", d->directoryName }, { "directoryLogo", d->directoryLogo } };
        if (auto c = as<MagazineChapterInfo>(object))
            return { { "_id", c->_id }, { "directoryId", c->directoryId }, { "chapterId", c->chapterId },
                { "chapterCategory", c->chapterCategory }, { "chapterTitle", c->chapterTitle },
                { "chapterDefaultImage", c->chapterDefaultImage }, { "isHeadShow", c->isHeadShow } };
        if (auto a = as<AlbumInfo>(object))
            return { { "albumId", a->albumId }, { "albumName", a->albumName }, { "photosNum", a->photosNum },
                { "belongs", a->belongs }, { "cover", a->cover } };
        if (auto c = as<ClassInfo>(object))
            return { { "classId", c->classId }, { "className", c->className } };
        if (auto s = as<StudentInfo>(object))
            return { { "studentId", s->studentId }, { "studentName", s->studentName }, { "studentPic", s->studentPic },
                { "type", s->type } };
        if (auto s = as<SuggestCommentInfo>(object))
            return { { "sort", s->sort }, { "type", s->type }, { "content", s->content } };
        if (auto h = as<CommentHistoryInfo>(object))
            return { { "content", h->content }, { "dateTime", h->dateTime }, { "rankIco", h->rankIco },
                { "time", h->time } };
        if (auto s = as<ScheduleInfo>(object))
            return { { "sort", s->sort }, { "period", s->period }, { "course", s->course },
                { "teacherName", s->teacherName }, { "teacherPic", s->teacherPic } };
        if (auto s = as<SubjectInfo>(object))
            return { { "subjectId", s->subjectId }, { "subjectName", s->subjectName } };
        if (auto h = as<HotActivityInfo>(object))
            return { { "activityId", h->activityId }, { "areaId", h->areaId }, { "townId", h->townId },
                { "title", h->title }, { "content", h->content }, { "createTime", h->createTime },
                { "htmlUrl", h->htmlUrl } };
        if (auto w = as<WeiboData>(object)) {
            Array images;
            for (const auto& image : w->images)
                images.emplace_back(Dictionary { { "original", image->original }, { "thumb", image->thumb } });
            return { { "weiboId", w->weiboId }, { "senderId", w->senderId }, { "senderType", w->senderType },
                { "senderName", w->senderName }, { "content", w->content }, { "orgUserPic", w->orgUserPic },
                { "thumbAvatar", w->thumbAvatar }, { "dataTime", w->dataTime }, { "commentNum", w->commentNum },
                { "praise", w->praise }, { "images", std::move(images) } };
        }
        if (auto r = as<WeiboReplyData>(object))
            return { { "weiboId", r->weiboId }, { "senderId", r->senderId }, { "senderType", r->senderType },
                { "senderName", r->senderName }, { "content", r->content }, { "orgUserPic", r->orgUserPic },
                { "thumbAvatar", r->thumbAvatar }, { "dataTime", r->dataTime } };
        if (auto a = as<AccountInfo>(object))
            return { { "uid", a->uid }, { "name", a->name }, { "type", a->type }, { "schoolUid", a->schoolUid },
                { "schoolName", a->schoolName }, { "region", a->region }, { "unReadCount", a->unReadCount },
                { "ctdEnable", a->ctdEnable } };
        return { { "object", object->description() } };
    }

} // namespace

Value printable(const Value& value)
{
    if (value.isObject())
        return fieldsOf(value.asObject());
    if (const Array* array = value.asArray()) {
        Array out;
        for (const Value& element : *array)
            out.push_back(printable(element));
        return out;
    }
    if (const Dictionary* dictionary = value.asDictionary()) {
        Dictionary out;
        for (const auto& [key, element] : *dictionary)
            out.set(key, printable(element));
        return out;
    }
    if (!platform::PlatformJson::isValidJsonValue(value))
        return value.description();
    return value;
}

std::string printableJson(const Value& value)
{
    return platform::PlatformJson::write(printable(value), platform::PlatformJson::Style::Pretty).value_or("null");
}

Value paramsFromJson(const Value& json)
{
    const Dictionary* given = json.asDictionary();
    if (!given)
        return json;
    using core::reply::readInteger;
    using core::reply::readText;
    Dictionary params = *given;
    if (const Value* post = given->find("weiboInfo"); post && post->isDictionary()) {
        auto info = std::make_shared<core::WeiboInfo>();
        readInteger((*post)["classId"], info->classId);
        readText((*post)["content"], info->content);
        params.set("weiboInfo", Value(info));
    }
    if (const Value* homework = given->find("homework"); homework && homework->isDictionary()) {
        auto info = std::make_shared<core::HomeWorkInfo>();
        readInteger((*homework)["classId"], info->classId);
        readText((*homework)["className"], info->className);
        readText((*homework)["subject"], info->subject);
        readInteger((*homework)["subjectId"], info->subjectId);
        readText((*homework)["content"], info->content);
        readText((*homework)["dateTime"], info->dateTime);
        params.set("homework", Value(info));
    }
    if (const Value* notice = given->find("noticeInfo"); notice && notice->isDictionary()) {
        auto info = std::make_shared<core::NoticeInfo>();
        readText((*notice)["startDate"], info->startDate);
        readText((*notice)["endDate"], info->endDate);
        readText((*notice)["title"], info->title);
        readText((*notice)["content"], info->content);
        readInteger((*notice)["classId"], info->classId);
        params.set("noticeInfo", Value(info));
    }
    if (const Value* files = given->find("files"); files && files->isArray()) {
        Array photos;
        for (const Value& file : *files->asArray()) {
            auto photo = std::make_shared<core::PhotoInfo>();
            readText(file["url"], photo->url);
            readText(file["thumbUrl"], photo->thumbUrl);
            photos.emplace_back(photo);
        }
        params.set("files", std::move(photos));
    }
    return params;
}

} // namespace orbcore
