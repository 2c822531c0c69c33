#include "core/model/ContactInfo.h"
#include "core/model/GroupInfo.h"
#include "core/model/MessageInfo.h"
#include "core/model/MessageTemplateInfo.h"
#include "core/model/MessageTemplateType.h"
#include "core/model/NavMessageInfo.h"
#include "core/model/PhotoInfo.h"
#include "core/model/SoundInfo.h"
#include "tests/core/util/CoreTestSupport.h"

#include "platform/os/AppPaths.h"
#include "platform/os/FileUtil.h"
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

constexpr const char* kContactKeys
    = R"("linkManId":7,"linkManName":"王老师","thumbAvatar":"http://h/t7.jpg","orgUserPic":"http://h/a7.jpg","linkManType":1)";

std::string item(const std::string& extra)
{
    return std::string("{") + kContactKeys + (extra.empty() ? "" : ",") + extra + "}";
}

TEST(MessageInfo, ReplyItemsTakeOnlyValuesOfTheExpectedKind)
{
    coretest::ScopedTimeZone zone("Asia/Shanghai");
    auto full = MessageInfo::messageWithObj(json(item(
        R"("msgId":"m1","content":"明天 9:00 \"开会\" & a=b #1 😀","isGroupSend":1,"images":[{"original":"o","thumb":"t"}],)"
        R"("audios":[{"url":"u","seconds":3}],"msgUnReadCount":4,"msgReadCount":5,"smsUnSuccessCount":6,)"
        R"("smsSuccessCount":7,"dateTime":"2026-03-01 08:30:00","templateId":9)")));
    ASSERT_TRUE(full);
    EXPECT_EQ(full->uid, "m1");
    EXPECT_EQ(full->content, "明天 9:00 \"开会\" & a=b #1 😀");
    EXPECT_TRUE(full->group);
    EXPECT_EQ(json(full->photos), json(R"([{"original":"o","thumb":"t"}])"));
    EXPECT_EQ(json(full->sounds), json(R"([{"url":"u","seconds":3}])"));
    EXPECT_TRUE(full->photosInfo.empty()) << "object lists are filled on request only";
    EXPECT_EQ(full->msgUnReadCount, 4);
    EXPECT_EQ(full->msgReadCount, 5);
    EXPECT_EQ(full->smsUnSuccessCount, 6);
    EXPECT_EQ(full->smsSuccessCount, 7);
    ASSERT_TRUE(full->time);
    EXPECT_EQ(full->time->seconds, 1772325000); // 00:30 UTC
    EXPECT_EQ(full->templateId, 9);
    ASSERT_TRUE(full->contact);
    EXPECT_EQ(full->contact->uid, 7);
    EXPECT_EQ(full->state, MessageInfo::kStateNew);

    // Wrong kinds leave the initial values.
    auto wrong = MessageInfo::messageWithObj(
        json(R"({"msgId":12,"content":["x"],"isGroupSend":"1","images":{"a":1},)"
             R"("audios":"[]","msgReadCount":"5","dateTime":"yesterday","templateId":null})"));
    ASSERT_TRUE(wrong);
    EXPECT_EQ(wrong->uid, "");
    EXPECT_EQ(wrong->content, "");
    EXPECT_FALSE(wrong->group);
    EXPECT_EQ(wrong->photos, "");
    EXPECT_EQ(wrong->sounds, "");
    EXPECT_EQ(wrong->msgReadCount, 0);
    EXPECT_FALSE(wrong->time);
    EXPECT_FALSE(wrong->contact) << "no contact keys";

    for (const char* notObject : { "[]", "\"msg\"", "null", "3" })
        EXPECT_FALSE(MessageInfo::messageWithObj(json(notObject))) << notObject;
}

TEST(MessageInfo, AttachmentTextAndObjectsConvertBothWays)
{
    MessageInfo m;
    // Each member present is written: a photo without its full-size address
    // keeps its thumbnail.
    auto photo = [](std::string url, std::string thumb) {
        auto p = std::make_shared<PhotoInfo>();
        p->url = std::move(url);
        p->thumbUrl = std::move(thumb);
        return p;
    };
    m.photosInfo = { photo("http://h/o1.jpg?a=1&b=2", "http://h/t1.jpg"), photo("", "http://h/t2.jpg"),
        photo("http://h/o3.jpg", "") };
    m.updatePhotos();
    EXPECT_EQ(json(m.photos),
        json(R"([{"original":"http://h/o1.jpg?a=1&b=2","thumb":"http://h/t1.jpg"},{"thumb":"http://h/t2.jpg"},)"
             R"({"original":"http://h/o3.jpg"}])"));

    auto sound = std::make_shared<SoundInfo>();
    sound->url = "http://h/v.amr";
    sound->seconds = 12;
    m.soundsInfo = { sound, std::make_shared<SoundInfo>() };
    m.updateSounds();
    EXPECT_EQ(json(m.sounds), json(R"([{"url":"http://h/v.amr","seconds":12},{}])"));

    // And back.
    MessageInfo back;
    back.photos = m.photos;
    back.sounds = m.sounds;
    back.updatePhotosInfo();
    back.updateSoundsInfo();
    ASSERT_EQ(back.photosInfo.size(), 3u);
    EXPECT_EQ(back.photosInfo[0]->url, "http://h/o1.jpg?a=1&b=2");
    EXPECT_EQ(back.photosInfo[1]->url, "");
    EXPECT_EQ(back.photosInfo[1]->thumbUrl, "http://h/t2.jpg");
    ASSERT_EQ(back.soundsInfo.size(), 2u);
    EXPECT_EQ(back.soundsInfo[0]->seconds, 12);

    // Empty lists give no text at all.
    m.photosInfo.clear();
    m.soundsInfo.clear();
    m.updatePhotos();
    m.updateSounds();
    EXPECT_EQ(m.photos, "");
    EXPECT_EQ(m.sounds, "");

    // Text that is not a list leaves the objects as they were; elements that
    // are not dictionaries are skipped.
    struct Row {
        const char* text;
        std::size_t photos;
    };
    for (const Row& row : { Row { R"({"original":"o"})", 3 }, Row { "not json", 3 }, Row { "", 3 },
             Row { R"([1,"x",{"original":"o"}])", 1 }, Row { "[]", 0 } }) {
        MessageInfo kept;
        kept.photosInfo = back.photosInfo;
        kept.photos = row.text;
        kept.updatePhotosInfo();
        EXPECT_EQ(kept.photosInfo.size(), row.photos) << row.text;
    }
}

TEST(SoundInfo, UrlIsTrimmedAndSecondsMustBeANumber)
{
    auto clip = SoundInfo::soundWithObj(json(R"({"url":" http://h/v.amr\r\n","seconds":"12"})"));
    ASSERT_TRUE(clip);
    EXPECT_EQ(clip->url, "http://h/v.amr");
    EXPECT_EQ(clip->seconds, 0);
    EXPECT_EQ(SoundInfo::soundWithObj(json(R"({"url":7,"seconds":8})"))->seconds, 8);
    EXPECT_FALSE(SoundInfo::soundWithObj(json("[]")));
    auto photo = PhotoInfo::photoWithObj(json(R"({"original":1,"thumb":"t"})"));
    ASSERT_TRUE(photo);
    EXPECT_EQ(photo->url, "");
    EXPECT_EQ(photo->thumbUrl, "t");
}

class PhotoFiles : public ::testing::Test {
protected:
    coretest::TempHome home;
};

TEST_F(PhotoFiles, APickedPhotoIsStoredAsJpegWithinTheBoxAndACoveringThumbnail)
{
    struct Row {
        int width, height;
        int storedWidth, storedHeight;
        int thumbWidth, thumbHeight;
    };
    for (const Row& row : { Row { 1000, 500, 800, 400, 240, 120 }, Row { 500, 1000, 400, 800, 120, 240 },
             Row { 100, 80, 100, 80, 100, 80 }, Row { 2000, 2000, 800, 800, 120, 120 } }) {
        SCOPED_TRACE(std::to_string(row.width) + "x" + std::to_string(row.height));
        PhotoInfo photo;
        ASSERT_TRUE(photo.setImage(platform::Image(row.width, row.height, 1.0, platform::Color(0.2, 0.6, 0.9))));
        EXPECT_EQ(photo.image.pixelWidth(), row.storedWidth);
        EXPECT_EQ(photo.image.pixelHeight(), row.storedHeight);
        EXPECT_EQ(photo.thumbImage.pixelWidth(), row.thumbWidth);
        EXPECT_EQ(photo.thumbImage.pixelHeight(), row.thumbHeight);
        EXPECT_EQ(photo.size, static_cast<int>(photo.data.size()));
        // A five-digit name in the temporary folder, holding exactly the data.
        EXPECT_EQ(photo.path.rfind(platform::AppPaths::temporaryDirectory(), 0), 0u) << photo.path;
        EXPECT_EQ(photo.path.size() - photo.path.rfind('/'), std::string("/00000.jpg").size());
        EXPECT_EQ(platform::FileUtil::read(photo.path), photo.data);
        std::string described = coretest::runCommand("file -b " + coretest::shellQuoted(photo.path));
        EXPECT_NE(described.find("JPEG image data"), std::string::npos) << described;
        EXPECT_NE(
            described.find(std::to_string(row.storedWidth) + "x" + std::to_string(row.storedHeight)), std::string::npos)
            << described;
    }
}

TEST_F(PhotoFiles, PhotosThatCannotBeMadeOrWrittenAreReportedAndLeaveTheObjectAsItWas)
{
    PhotoInfo photo;
    photo.url = "http://h/kept.jpg";
    for (const platform::Bytes& bad : { platform::Bytes {}, platform::Bytes { 1, 2, 3 },
             platform::Bytes { 0xFF, 0xD8, 0xFF, 0xE0, 0, 0x10, 'J', 'F', 'I', 'F' } }) {
        EXPECT_FALSE(photo.setImageData(bad));
    }
    EXPECT_FALSE(photo.setImage(platform::Image()));
    EXPECT_TRUE(photo.path.empty());
    EXPECT_TRUE(photo.data.empty());
    EXPECT_TRUE(photo.image.isNull());

    // A path that cannot be written (it is a folder): reported, never a photo
    // whose file is missing.
    photo.path = home.path();
    EXPECT_FALSE(photo.setImage(platform::Image(50, 50, 1.0, platform::Color::redColor())));
    EXPECT_EQ(photo.path, home.path());
    EXPECT_TRUE(photo.data.empty());
    EXPECT_EQ(photo.size, 0);
    EXPECT_EQ(photo.url, "http://h/kept.jpg");

    // A real encoded picture works through the same door.
    auto png = platform::Image(300, 30, 1.0, platform::Color::greenColor()).encodePNG();
    ASSERT_TRUE(png);
    PhotoInfo fromData;
    ASSERT_TRUE(fromData.setImageData(*png));
    EXPECT_EQ(fromData.image.pixelWidth(), 300);
    EXPECT_EQ(fromData.thumbImage.pixelWidth(), 1200);
    EXPECT_EQ(fromData.thumbImage.pixelHeight(), 120);
}

TEST_F(PhotoFiles, FreeNamesWrapAroundAfter99999)
{
    std::string tmp = platform::AppPaths::temporaryDirectory();
    ASSERT_TRUE(platform::FileUtil::write(tmp + "/99999.jpg", std::string_view("x")));
    EXPECT_EQ(PhotoInfo::freePhotoPath(tmp, 99999), tmp + "/00000.jpg");
    EXPECT_EQ(PhotoInfo::freePhotoPath(tmp, 99998), tmp + "/99998.jpg");
    EXPECT_EQ(PhotoInfo::freePhotoPath(tmp, 123456), tmp + "/23456.jpg");
    EXPECT_EQ(PhotoInfo::freePhotoPath(tmp, -1), tmp + "/00000.jpg");
}

TEST(ReplyLists, ItemsOfTheWrongShapeAreSkippedAndNothingElseIsLost)
{
    for (const char* notList : { "{\"items\":[]}", "\"[]\"", "null", "7" }) {
        EXPECT_TRUE(MessageInfo::messagesWithItems(json(notList)).empty()) << notList;
        EXPECT_TRUE(ContactInfo::contactsWithItems(json(notList), "g").empty()) << notList;
        EXPECT_TRUE(GroupInfo::groupsWithItems(json(notList)).empty()) << notList;
    }
    auto messages = MessageInfo::messagesWithItems(json(std::string("[1, \"x\", null, ") + item(R"("msgId":"a1")")
        + R"(, {"msgId":"a2"}, {"msgId":3}, {"content":"no id"}, []])"));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0]->uid, "a1");
    EXPECT_TRUE(messages[0]->contact);
    EXPECT_FALSE(messages[1]->contact) << "kept without a partner";
    for (const auto& m : messages) {
        EXPECT_FALSE(m->to);
        EXPECT_TRUE(m->createTime);
    }

    auto contacts = ContactInfo::contactsWithItems(
        json(std::string("[") + item(R"("phone":"138")") + R"(, {"linkManId":8}, null, )" + item("") + "]"), "g'1");
    ASSERT_EQ(contacts.size(), 2u);
    EXPECT_EQ(contacts[0]->groupUid, "g'1");
    EXPECT_EQ(contacts[0]->pinyin, "WANGLAOSHI");
    EXPECT_EQ(contacts[0]->firstC, "W");
    EXPECT_EQ(GroupInfo::groupsWithItems(json(R"([{"groupId":"g1"}, "g2", {"groupName":"无号"}])")).size(), 2u);
}

TEST(ContactInfo, RequiredKeysDecideWhetherThereIsAContact)
{
    struct Row {
        const char* json;
        bool made;
    };
    for (const Row& row : {
             Row { R"({"linkManId":1,"thumbAvatar":"t","orgUserPic":"a","linkManType":2})", true },
             Row { R"({"thumbAvatar":"t","orgUserPic":"a","linkManType":2})", false },
             Row { R"({"linkManId":"1","thumbAvatar":"t","orgUserPic":"a","linkManType":2})", false },
             Row { R"({"linkManId":1,"orgUserPic":"a","linkManType":2})", false },
             Row { R"({"linkManId":1,"thumbAvatar":"t","orgUserPic":null,"linkManType":2})", false },
             Row { R"({"linkManId":1,"thumbAvatar":"t","orgUserPic":"a","linkManType":"2"})", false },
             Row { "[]", false },
         }) {
        EXPECT_EQ(ContactInfo::contactWithObj(json(row.json)) != nullptr, row.made) << row.json;
    }

    auto plain
        = ContactInfo::contactWithObj(json(R"({"linkManId":1,"thumbAvatar":"t","orgUserPic":"a","linkManType":2})"));
    EXPECT_EQ(plain->name, "未知联系人");
    EXPECT_TRUE(plain->isCustomer) << "a missing isCustomer is a customer";
    EXPECT_FALSE(plain->selected);
    auto full = ContactInfo::contactWithObj(
        json(R"({"linkManId":1,"thumbAvatar":"t","orgUserPic":"a","linkManType":2,)"
             R"("linkManName":"曾乐","remarks":"班主任","phone":"138","isCustomer":0,"dialReq":""})"));
    EXPECT_EQ(full->name, "曾乐");
    EXPECT_EQ(full->remarks, "班主任");
    EXPECT_EQ(full->phone, "138");
    EXPECT_FALSE(full->isCustomer);
    EXPECT_EQ(full->ctdUrl, "") << "an empty dial address is none";
    EXPECT_TRUE(ContactInfo::contactWithObj(
        json(R"({"linkManId":1,"thumbAvatar":"t","orgUserPic":"a","linkManType":2,"isCustomer":"0"})"))
                    ->isCustomer);

    struct Spelling {
        const char* name;
        const char* pinyin;
        const char* firstC;
    };
    for (const Spelling& s : { Spelling { "张三", "ZHANGSAN", "Z" }, Spelling { "王ab1", "WANGAB1", "W" },
             Spelling { "", "#", "#" }, Spelling { "😀", "#", "#" } }) {
        ContactInfo c;
        c.name = s.name;
        c.updatePinyin();
        EXPECT_EQ(c.pinyin, s.pinyin) << s.name;
        EXPECT_EQ(c.firstC, s.firstC) << s.name;
    }

    auto group = GroupInfo::groupWithObj(json(R"({"groupId":"g1","groupName":"三年级(2)班","groupType":"3"})"));
    ASSERT_TRUE(group);
    EXPECT_EQ(group->uid, "g1");
    EXPECT_EQ(group->type, 0);
    EXPECT_EQ(group->description(), "group name:三年级(2)班");
    EXPECT_FALSE(GroupInfo::groupWithObj(json("\"g\"")));
}

TEST(TemplateModels, RecordsReadTheirReplyKeysAndDescribeThemselves)
{
    auto entry = MessageTemplateInfo::templateWithObj(
        json(R"({"msgId":"12","msgInfo":"请家长签字 & 回复","msgType":3,"dateTime":"2026-01-02 03:04:05"})"));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->msgId, 12);
    EXPECT_EQ(entry->msgType, 3);
    entry->useCount = 4;
    EXPECT_EQ(
        entry->description(), "msgInfo = 请家长签字 & 回复 ,msgId = 12,useCount = 4 dateTime = 2026-01-02 03:04:05");
    EXPECT_EQ(MessageTemplateInfo().description(), "msgInfo =  ,msgId = 0,useCount = 0 dateTime = ");

    auto type = MessageTemplateType::typeWithObj(json(R"({"titleId":2,"titleName":"作业","titleType":5})"));
    ASSERT_TRUE(type);
    EXPECT_EQ(type->titleType, 5);
    auto all = MessageTemplateType::allTemplates();
    EXPECT_EQ(all->titleName, "全部模板");
    EXPECT_EQ(all->titleId, 0);
    EXPECT_EQ(all->dateTime, "");

    auto nav
        = NavMessageInfo::navMessageWithObj(json(R"({"eventType":9,"content":"新作业","count":"2","dateTime":"d"})"));
    ASSERT_TRUE(nav);
    EXPECT_EQ(nav->count, 2);
    EXPECT_EQ(nav->dateTimeStr, "d");
    for (const char* notObject : { "[]", "1" }) {
        EXPECT_FALSE(MessageTemplateInfo::templateWithObj(json(notObject)));
        EXPECT_FALSE(MessageTemplateType::typeWithObj(json(notObject)));
        EXPECT_FALSE(NavMessageInfo::navMessageWithObj(json(notObject)));
    }
}

} // namespace
