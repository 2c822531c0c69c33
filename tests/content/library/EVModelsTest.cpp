// The video library's models: which values they take, which they refuse,
// and the objects that are no object at all.
#include "content/library/EVModels.h"
#include "content/library/EVCommentCells.h"
#include "platform/os/DateFormat.h"
#include "platform/os/PlatformJson.h"

#include <gtest/gtest.h>

namespace {

using namespace content;
using platform::Value;

Value json(const char* text)
{
    auto parsed = platform::PlatformJson::read(text);
    return parsed ? *parsed : Value();
}

TEST(LibraryModels, OnlyDictionariesMakeObjects)
{
    for (const char* text : { "[]", "\"x\"", "3", "null" }) {
        EXPECT_FALSE(EVGradeInfo::gradeWithObj(json(text))) << text;
        EXPECT_FALSE(EVSubjectInfo::subjectWithObj(json(text))) << text;
        EXPECT_FALSE(EVVideoInfo::videoWithObj(json(text))) << text;
        EXPECT_FALSE(EVCommentInfo::commentWithObj(json(text))) << text;
    }
    // An empty dictionary is a grade, a video and a comment, but no subject.
    auto grade = EVGradeInfo::gradeWithObj(json("{}"));
    ASSERT_TRUE(grade);
    EXPECT_EQ(grade->gradeBank, 0);
    EXPECT_FALSE(grade->gradeName);
    EXPECT_TRUE(EVVideoInfo::videoWithObj(json("{}")));
    EXPECT_TRUE(EVCommentInfo::commentWithObj(json("{}")));
    EXPECT_FALSE(EVSubjectInfo::subjectWithObj(json("{}")));
}

TEST(LibraryModels, FieldsOfTheWrongKindAreLeftOut)
{
    auto grade = EVGradeInfo::gradeWithObj(json(R"({"gradeBank":"3","gradeName":3})"));
    ASSERT_TRUE(grade);
    EXPECT_EQ(grade->gradeBank, 0);
    EXPECT_FALSE(grade->gradeName);

    auto video = EVVideoInfo::videoWithObj(json(R"({"videoId":"7","title":["a"],"readCount":12.0,
        "createTime":"2024-05-06 07:08:09","webSite":"http://h/v.mp4","commentItems":{"a":1},"createrName":"王"})"));
    ASSERT_TRUE(video);
    EXPECT_EQ(video->videoId, 0);
    EXPECT_FALSE(video->title);
    EXPECT_EQ(video->readCount, 12);
    ASSERT_TRUE(video->createTime);
    EXPECT_EQ(formatLibraryTime(video->createTime, "yyyy-MM-dd HH:mm:ss"), "2024-05-06 07:08:09");
    EXPECT_EQ(video->webSite, "http://h/v.mp4");
    EXPECT_EQ(video->createrName, "王");
    // No list at all: a posted comment then has nowhere to go.
    EXPECT_FALSE(video->commentItems);

    auto badTime = EVVideoInfo::videoWithObj(json(R"({"createTime":"2024/05/06","commentItems":[]})"));
    ASSERT_TRUE(badTime);
    EXPECT_FALSE(badTime->createTime);
    ASSERT_TRUE(badTime->commentItems);
    EXPECT_TRUE(badTime->commentItems->empty());
}

TEST(LibraryModels, SubjectsKeepTheirVideosAndNeedAnId)
{
    auto subject = EVSubjectInfo::subjectWithObj(json(R"({"subjectId":5,"subjectName":"数学","subjectPic":"p",
        "videoItems":[{"videoId":1},"x",{"videoId":2,"commentItems":[{"commentId":9},4]}]})"));
    ASSERT_TRUE(subject);
    EXPECT_EQ(subject->subjectId, 5);
    ASSERT_EQ(subject->videoItems.size(), 2u);
    EXPECT_EQ(subject->videoItems[1]->videoId, 2);
    ASSERT_TRUE(subject->videoItems[1]->commentItems);
    ASSERT_EQ(subject->videoItems[1]->commentItems->size(), 1u);
    EXPECT_EQ(subject->videoItems[1]->commentItems->front()->commentId, 9);

    EXPECT_FALSE(EVSubjectInfo::subjectWithObj(json(R"({"subjectId":0,"videoItems":[{}]})")));
    EXPECT_FALSE(EVSubjectInfo::subjectWithObj(json(R"({"subjectId":"5"})")));
    auto picks = EVSubjectInfo::subjectWithObj(json(R"({"subjectId":-1,"videoItems":"none"})"));
    ASSERT_TRUE(picks);
    EXPECT_EQ(picks->subjectId, -1);
    EXPECT_TRUE(picks->videoItems.empty());
}

TEST(LibraryModels, CommentsNameTheirWritersRole)
{
    const std::pair<int, const char*> roles[] = { { 1, "教师" }, { 2, "家长" }, { 0, "学生" }, { 3, "学生" }, { 9, "学生" } };
    for (const auto& role : roles) {
        platform::Dictionary dict { { "userType", role.first }, { "userName", "李明" },
            { "commentTime", "2024-05-06 07:08:09" }, { "score", 4 }, { "content", "好" } };
        auto comment = EVCommentInfo::commentWithObj(Value(dict));
        ASSERT_TRUE(comment);
        EXPECT_EQ(comment->roleText(), role.second) << role.first;
        // Two blanks before the time.
        EXPECT_EQ(EVCommentCell::nameLine(*comment), std::string("李明 ") + role.second + "  24-05-06 07:08");
    }
    auto untimed = EVCommentInfo::commentWithObj(json(R"({"commentTime":5,"userName":7})"));
    ASSERT_TRUE(untimed);
    EXPECT_FALSE(untimed->commentTime);
    EXPECT_FALSE(untimed->userName);
    EXPECT_EQ(EVCommentCell::nameLine(*untimed), " 学生  ");
}

} // namespace
