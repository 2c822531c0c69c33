#include "content/lessons/GCModels.h"
#include "platform/os/DateFormat.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/StringUtil.h"

#include <gtest/gtest.h>

namespace {

using namespace content;
using platform::Value;

Value json(const char* text) { return platform::PlatformJson::read(std::string_view(text)).value(); }

TEST(GCModels, FieldsOfAnotherKindLeaveTheirInitialValues)
{
    auto user = GCUserInfo::instanceWithObj(json(
        R"({"uid":"9","sid":"77","name":5,"access_token":"t","allow_answer":true,"type":2.9,"message_unread_count":3})"));
    ASSERT_TRUE(user);
    EXPECT_EQ(user->uid, 0);
    EXPECT_EQ(user->sid, 0);
    EXPECT_FALSE(user->name);
    EXPECT_EQ(user->accessToken, "t");
    EXPECT_TRUE(user->allowAnswer);
    EXPECT_EQ(user->type, 2);
    EXPECT_EQ(user->messageUnreadCount, 3);
    EXPECT_FALSE(GCUserInfo::instanceWithObj(json("[]")));
    EXPECT_FALSE(GCUserInfo::instanceWithObj(json("\"user\"")));
}

// A number past the 32-bit range is no value of the field: it keeps its
// initial value rather than the number's low 32 bits.
TEST(GCModels, NumbersPastTheIntRangeLeaveTheirFields)
{
    auto lesson = GCLessonInfo::instanceWithObj(
        json(R"({"uid":4294967297,"name":"分数","video_count":-4294967295,"order":1e12})"));
    ASSERT_TRUE(lesson);
    EXPECT_EQ(lesson->uid, 0);
    EXPECT_EQ(lesson->videoCount, 0);
    auto user = GCUserInfo::instanceWithObj(json(R"({"uid":2147483647,"sid":-2147483648,"type":2147483648})"));
    ASSERT_TRUE(user);
    EXPECT_EQ(user->uid, 2147483647);
    EXPECT_EQ(user->sid, -2147483648);
    EXPECT_EQ(user->type, 0);
}

TEST(GCModels, ASubjectNeedsATextSid)
{
    auto subject = GCSubjectInfo::instanceWithObj(json(R"({"uid":1,"sid":"s1","name":"数学","type":6})"));
    ASSERT_TRUE(subject);
    EXPECT_EQ(subject->sid, "s1");
    EXPECT_TRUE(subject->isListed());
    EXPECT_FALSE(GCSubjectInfo::instanceWithObj(json(R"({"sid":3,"type":2})")));
    EXPECT_FALSE(GCSubjectInfo::instanceWithObj(json(R"({"type":2})")));
    for (int type : { 1, 4, 0 })
        EXPECT_FALSE(GCSubjectInfo::instanceWithObj(Value(platform::Dictionary { { "sid", "x" }, { "type", type } }))
                         ->isListed());
    for (int type : { 2, 3, 6 })
        EXPECT_TRUE(GCSubjectInfo::instanceWithObj(Value(platform::Dictionary { { "sid", "x" }, { "type", type } }))
                        ->isListed());
}

TEST(GCModels, LessonNamesCarryTheirPinyin)
{
    auto lesson = GCLessonInfo::instanceWithObj(json(
        R"({"uid":101,"name":"分数的初步认识","keyword":"Fen 三年级","video_count":5,"videos":[{"uid":1,"name":"a","is_free":1,"lector":{"name":"李"}},7,"x",{"uid":2,"lector":3}]})"));
    ASSERT_TRUE(lesson);
    // Characters of several readings take the alphabetically last one.
    EXPECT_EQ(lesson->namePy(), "FENSHUODICHUBURENZHI");
    EXPECT_EQ(lesson->nameFc(), "F");
    EXPECT_EQ(lesson->keywordPy(), "FEN SANNIANJI");
    EXPECT_EQ(lesson->videoCount, 5);
    ASSERT_TRUE(lesson->videos);
    ASSERT_EQ(lesson->videos->size(), 2u);
    EXPECT_EQ((*lesson->videos)[0]->uid, 1);
    EXPECT_TRUE((*lesson->videos)[0]->isFree);
    ASSERT_TRUE((*lesson->videos)[0]->lector);
    EXPECT_EQ((*lesson->videos)[0]->lector->name, "李");
    EXPECT_FALSE((*lesson->videos)[1]->lector);

    auto unnamed = GCLessonInfo::instanceWithObj(json(R"({"uid":2,"videos":{}})"));
    EXPECT_FALSE(unnamed->namePy());
    EXPECT_EQ(unnamed->nameFc(), "#");
    EXPECT_FALSE(unnamed->keywordPy());
    EXPECT_FALSE(unnamed->videos);

    // Only characters the converter drops: an empty pinyin keeps "#".
    GCLessonInfo dropped;
    dropped.setName(std::string("\xE2\x98\x85"));
    EXPECT_EQ(dropped.namePy(), "");
    EXPECT_EQ(dropped.nameFc(), "#");
    dropped.setName(std::nullopt);
    EXPECT_FALSE(dropped.namePy());
}

// The section letter is the pinyin's first whole character: a name that
// starts with a letter the converter keeps as it is (an accented Latin
// letter, a sign of the Latin-1 range) gives that letter, not its lead byte.
TEST(GCModels, ALessonsSectionLetterIsAWholeCharacter)
{
    const std::pair<const char*, const char*> cases[] = {
        { "Émile 的故事", "É" },
        { "ñandú", "Ñ" },
        { "×法口诀", "×" },
        { "«数学»", "«" },
        { "分数", "F" },
        { "a", "A" },
    };
    for (const auto& [name, letter] : cases) {
        GCLessonInfo lesson;
        lesson.setName(std::string(name));
        EXPECT_EQ(lesson.nameFc(), letter) << name;
        EXPECT_TRUE(platform::isValidUtf8(lesson.nameFc())) << name;
        auto read = GCLessonInfo::instanceWithObj(Value(platform::Dictionary { { "name", name } }));
        ASSERT_TRUE(read);
        EXPECT_EQ(read->nameFc(), letter) << name;
    }
    // A later name without pinyin keeps the letter of the one before.
    GCLessonInfo renamed;
    renamed.setName(std::string("Éa"));
    renamed.setName(std::string("\xE2\x98\x85"));
    EXPECT_EQ(renamed.nameFc(), "É");
}

TEST(GCModels, LiveSeriesItemsAndTimes)
{
    auto live = GCLiveVideoInfo::instanceWithObj(json(
        R"({"uid":501,"name":"直播","lector":{"sid":"x","name":"李"},"top":{"order":2,"state":2,"start_time":"2026-12-07 19:00:00"},"items":[]})"));
    ASSERT_TRUE(live);
    EXPECT_FALSE(live->items);
    ASSERT_TRUE(live->lector);
    EXPECT_EQ(live->lector->sid, 0);
    ASSERT_TRUE(live->top);
    ASSERT_TRUE(live->top->startTime);
    EXPECT_EQ(platform::DateFormatter("yyyy-MM-dd HH:mm").stringFromDate(*live->top->startTime), "2026-12-07 19:00");

    auto two = GCLiveVideoInfo::instanceWithObj(
        json(R"({"items":[{"order":1,"start_time":"soon"},1,{"order":2,"src":"http://h/v.mp4"}]})"));
    ASSERT_TRUE(two->items);
    ASSERT_EQ(two->items->size(), 2u);
    EXPECT_FALSE((*two->items)[0]->startTime);
    EXPECT_EQ((*two->items)[1]->src, "http://h/v.mp4");
    EXPECT_FALSE(two->top);
}

} // namespace
