#include "core/model/AlbumInfo.h"
#include "core/model/ClassInfo.h"
#include "core/model/CommentHistoryInfo.h"
#include "core/model/HotActivityInfo.h"
#include "core/model/ReplyReading.h"
#include "core/model/ScheduleInfo.h"
#include "core/model/StudentInfo.h"
#include "core/model/SubjectInfo.h"
#include "core/model/SuggestCommentInfo.h"
#include "core/model/WeiboData.h"
#include "core/model/WeiboReplyData.h"
#include "platform/os/PlatformJson.h"

#include <gtest/gtest.h>

using namespace core;
using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

Value json(std::string_view text)
{
    auto value = platform::PlatformJson::read(text);
    EXPECT_TRUE(value) << text;
    return value.value_or(Value());
}

TEST(ReplyReading, IntegersComeFromNumbersAndWholeDigitTexts)
{
    struct Case {
        const char* json;
        bool taken;
        int value;
    };
    for (const Case& c : std::initializer_list<Case> { { "7", true, 7 }, { "-3", true, -3 }, { "\"42\"", true, 42 },
             { "\" 12 \"", true, 12 }, { "\"+5\"", true, 5 }, { "2.9", true, 2 }, { "\"12abc\"", false, 0 },
             { "\"\"", false, 0 }, { "\"-\"", false, 0 }, { "null", false, 0 }, { "true", false, 0 },
             { "[1]", false, 0 }, { "{\"a\":1}", false, 0 }, { "99999999999", true, 2147483647 },
             { "\"-99999999999\"", true, -2147483647 - 1 } }) {
        int out = -100;
        bool taken = reply::readInteger(json(c.json), out);
        EXPECT_EQ(taken, c.taken) << c.json;
        EXPECT_EQ(out, c.taken ? c.value : -100) << c.json;
    }
}

TEST(ReplyReading, OnlyDictionariesOfAListAreVisited)
{
    int visited = 0;
    reply::forEachObject(json(R"([1, "x", null, {"a":1}, [], {"b":2}])"), [&](const Value& v) {
        EXPECT_TRUE(v.isDictionary());
        ++visited;
    });
    EXPECT_EQ(visited, 2);
    for (const char* notList : { "{\"a\":1}", "\"text\"", "null", "3" })
        reply::forEachObject(json(notList), [&](const Value&) { ADD_FAILURE() << notList; });
}

TEST(ReplyModels, RowsFillTheirFields)
{
    auto album = AlbumInfo::albumWithObj(
        json(R"({"albumId":"12","albumName":"春游","photosNum":4,"belongs":"三年级一班","cover":"http://h/c.jpg"})"));
    ASSERT_TRUE(album);
    EXPECT_EQ(album->albumId, 12);
    EXPECT_EQ(album->albumName, "春游");
    EXPECT_EQ(album->photosNum, 4);
    EXPECT_EQ(album->belongs, "三年级一班");
    EXPECT_EQ(album->cover, "http://h/c.jpg");

    auto cls = ClassInfo::classWithObj(json(R"({"classId":301,"className":"一班","type":9,"typeName":"x"})"));
    ASSERT_TRUE(cls);
    EXPECT_EQ(cls->classId, 301);
    EXPECT_EQ(cls->className, "一班");
    auto kind = ClassInfo::activeTypeWithObj(json(R"({"classId":301,"className":"一班","type":9,"typeName":"全校"})"));
    ASSERT_TRUE(kind);
    EXPECT_EQ(kind->classId, 9);
    EXPECT_EQ(kind->className, "全校");

    auto student = StudentInfo::studentWithObj(json(R"({"studentId":5,"name":"李雷","pic":"p.jpg","type":7})"));
    ASSERT_TRUE(student);
    EXPECT_EQ(student->studentId, 5);
    EXPECT_EQ(student->studentName, "李雷");
    EXPECT_EQ(student->studentPic, "p.jpg");
    EXPECT_EQ(student->type, 1) << "students from the server are always type 1";
    EXPECT_FALSE(student->isSelected);

    auto history = CommentHistoryInfo::commentHistoryWithObj(
        json(R"({"content":"好","dateTime":"2024-01-02","rankIco":"3","time":"10:00"})"));
    ASSERT_TRUE(history);
    EXPECT_EQ(history->rankIco, "3");
    EXPECT_EQ(history->time, "10:00");

    auto activity = HotActivityInfo::hotActivityWithObj(
        json(R"({"id":"77","areaId":"gz","townId":"th","title":"t","content":"c","createTime":"ct","htmlUrl":"u"})"));
    ASSERT_TRUE(activity);
    EXPECT_EQ(activity->activityId, 77);
    EXPECT_EQ(activity->areaId, "gz");
    EXPECT_EQ(activity->htmlUrl, "u");

    auto subject = SubjectInfo::subjectWithObj(json(R"({"subjectId":2,"subjectName":"数学"})"));
    ASSERT_TRUE(subject);
    EXPECT_EQ(subject->subjectId, 2);
    EXPECT_EQ(subject->subjectName, "数学");
}

TEST(ReplyModels, FieldsOfTheWrongKindKeepTheirInitialValues)
{
    const char* garbage = R"({"albumId":"x1","albumName":5,"photosNum":null,"belongs":[],"cover":{},
        "classId":true,"className":null,"studentId":[3],"name":12,"pic":false,"sort":"abc","content":7,
        "type":1,"dateTime":null,"id":{},"title":["t"],"subjectId":"","subjectName":0,"period":1,
        "senderName":3,"images":"none","weiboId":"w"})";
    Value row = json(garbage);
    auto album = AlbumInfo::albumWithObj(row);
    ASSERT_TRUE(album);
    EXPECT_EQ(album->albumId, 0);
    EXPECT_EQ(album->albumName, "");
    EXPECT_EQ(album->photosNum, 0);
    EXPECT_EQ(album->belongs, "");
    EXPECT_EQ(album->cover, "");
    auto cls = ClassInfo::classWithObj(row);
    EXPECT_EQ(cls->classId, 0);
    EXPECT_EQ(cls->className, "");
    auto student = StudentInfo::studentWithObj(row);
    EXPECT_EQ(student->studentId, 0);
    EXPECT_EQ(student->studentName, "");
    EXPECT_EQ(student->studentPic, "");
    auto suggest = SuggestCommentInfo::suggestCommentWithObj(row);
    EXPECT_EQ(suggest->sort, 0);
    EXPECT_EQ(suggest->content, "");
    EXPECT_EQ(suggest->type, "") << "a number where a text belongs is not taken";
    auto schedule = ScheduleInfo::scheduleWithObj(row);
    EXPECT_EQ(schedule->sort, "");
    EXPECT_EQ(schedule->period, "");
    auto activity = HotActivityInfo::hotActivityWithObj(row);
    EXPECT_EQ(activity->activityId, 0);
    EXPECT_EQ(activity->title, "");
    auto subject = SubjectInfo::subjectWithObj(row);
    EXPECT_EQ(subject->subjectId, 0);
    EXPECT_EQ(subject->subjectName, "");
    auto post = WeiboData::initWithDictionary(row);
    ASSERT_TRUE(post);
    EXPECT_EQ(post->weiboId, 0);
    EXPECT_EQ(post->senderName, "");
    EXPECT_EQ(post->content, "");
    EXPECT_TRUE(post->images.empty()) << "a text where the image list belongs counts as no images";

    for (const char* notDictionary : { "[]", "\"row\"", "null", "5" }) {
        Value v = json(notDictionary);
        EXPECT_FALSE(AlbumInfo::albumWithObj(v));
        EXPECT_FALSE(ClassInfo::classWithObj(v));
        EXPECT_FALSE(ClassInfo::activeTypeWithObj(v));
        EXPECT_FALSE(StudentInfo::studentWithObj(v));
        EXPECT_FALSE(SuggestCommentInfo::suggestCommentWithObj(v));
        EXPECT_FALSE(CommentHistoryInfo::commentHistoryWithObj(v));
        EXPECT_FALSE(ScheduleInfo::scheduleWithObj(v));
        EXPECT_FALSE(SubjectInfo::subjectWithObj(v));
        EXPECT_FALSE(HotActivityInfo::hotActivityWithObj(v));
        EXPECT_FALSE(WeiboImage::initWithDictionary(v));
        EXPECT_FALSE(WeiboData::initWithDictionary(v));
        EXPECT_FALSE(WeiboReplyData::initWithDictionary(v));
    }
}

TEST(ReplyModels, ScheduleKeepsTheSortNumberAsTextAndDescribesItself)
{
    auto row = ScheduleInfo::scheduleWithObj(
        json(R"({"sort":3,"period":"上午","course":"语文","teacherName":"王老师","teacherPic":"t.jpg"})"));
    ASSERT_TRUE(row);
    EXPECT_EQ(row->sort, "3");
    EXPECT_EQ(row->description(), "sort:3, period:上午, course:语文, teachername:王老师, teacherpic:t.jpg");
    EXPECT_EQ(ScheduleInfo::scheduleWithObj(json(R"({"sort":"12"})"))->sort, "12");
}

TEST(ReplyModels, PostContentBecomesPlainTextAndImagesKeepTheirOrder)
{
    auto post = WeiboData::initWithDictionary(json(R"({"weiboId":"901","senderId":12,"senderType":1,
        "senderName":"王老师","content":"今天<br/>春游&nbsp;&ldquo;快乐&rdquo;<!---->完","orgUserPic":"o",
        "thumbAvatar":"t","dataTime":"2024-05-01 10:00:00","commentNum":2,"praise":"5",
        "images":[{"original":"a1","thumb":"a2"},"junk",{"original":"b1","thumb":null}]})"));
    ASSERT_TRUE(post);
    EXPECT_EQ(post->weiboId, 901);
    EXPECT_EQ(post->senderId, 12);
    EXPECT_EQ(post->content, "今天\n春游 “快乐”\t完");
    EXPECT_EQ(post->praise, 5);
    EXPECT_EQ(post->commentNum, 2);
    ASSERT_EQ(post->images.size(), 2u);
    EXPECT_EQ(post->images[0]->original, "a1");
    EXPECT_EQ(post->images[0]->thumb, "a2");
    EXPECT_EQ(post->images[1]->original, "b1");
    EXPECT_EQ(post->images[1]->thumb, "");

    auto bare = WeiboData::initWithDictionary(json(R"({"weiboId":1})"));
    ASSERT_TRUE(bare);
    EXPECT_TRUE(bare->images.empty());
}

TEST(ReplyModels, ReplyRowTakesItsTextFromComment)
{
    auto reply = WeiboReplyData::initWithDictionary(json(
        R"({"weiboId":9,"senderId":"4","senderType":2,"senderName":"家长","comment":"赞","content":"ignored",
        "orgUserPic":"o","thumbAvatar":"t","dataTime":"d"})"));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->content, "赞");
    EXPECT_EQ(reply->senderId, 4);
    EXPECT_EQ(reply->senderName, "家长");
    EXPECT_EQ(reply->dataTime, "d");
}

TEST(ReplyModels, ModelsOfAListSkipWhatIsNotARow)
{
    Array models = reply::modelsOf(json(R"([{"subjectId":1},"x",null,{"subjectId":2}])"), SubjectInfo::subjectWithObj);
    ASSERT_EQ(models.size(), 2u);
    EXPECT_EQ(models[1].objectAs<SubjectInfo>()->subjectId, 2);
    EXPECT_TRUE(reply::modelsOf(json(R"({"subjectId":1})"), SubjectInfo::subjectWithObj).empty());
}

} // namespace
