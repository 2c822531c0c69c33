#include "tests/server/ServerTestSupport.h"
#include "platform/graphics/Image.h"

#include "platform/os/FileUtil.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/StringUtil.h"
#include "platform/os/Url.h"
#include "platform/crypto/Md5.h"
#include "server/LessonService.h"
#include "server/Responder.h"

#include <algorithm>
#include <map>
#include <set>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <thread>

namespace servertest {
namespace {

    using platform::Array;
    using platform::Dictionary;
    using platform::Value;

    // "key:k" — k is a for a list, s text, n number, d object; the key must have that kind.
    void expectShape(const Value& reply, const std::vector<std::string>& shape, const std::string& context)
    {
        for (const auto& field : shape) {
            auto colon = field.find(':');
            std::string key = field.substr(0, colon);
            char kind = field[colon + 1];
            const Value& value = reply[key];
            bool ok = (kind == 'a' && value.isArray()) || (kind == 's' && value.isString())
                || (kind == 'n' && value.isNumber() && !value.isBool()) || (kind == 'd' && value.isDictionary());
            EXPECT_TRUE(ok) << context << ": key \"" << key << "\" is " << value.description();
        }
    }

    // ---------------------------------------------------------------- sign-in

    class SignInTest : public StandinTest { };

    TEST_F(SignInTest, OneAccountSignInAnswersSessionAndEveryAccountKey)
    {
        auto reply
            = command("sys", "10001", { { "account", "13800000001" }, { "psw", "teacher123" }, { "appId", "x" } }, 0)
                  .reply();
        EXPECT_EQ(reply["resultState"], Value(1));
        ASSERT_TRUE(reply["sessionid"].isString());
        EXPECT_GE(reply["sessionid"].stringValue().size(), 16u);
        ASSERT_EQ(reply["items"].count(), 1u);
        const Value& account = reply["items"][0];
        expectShape(account,
            { "userId:n", "userName:s", "newMsgNum:n", "extendPageURL:s", "thumbAvatar:s", "orgUserPic:s",
                "schoolName:s", "schoolId:n", "accountType:n", "areaAbb:s", "ctdEnable:n" },
            "teacher account");
        EXPECT_EQ(account["userId"], Value(2001));
        EXPECT_EQ(account["accountType"], Value(1));
        EXPECT_EQ(account["userName"], Value("李建国"));
        EXPECT_EQ(account["ctdEnable"], Value(1));
        // Two seeded messages wait for the teacher's first poll.
        EXPECT_EQ(account["newMsgNum"], Value(2));
        EXPECT_TRUE(platform::hasPrefix(account["orgUserPic"].stringValue(), standin->baseUrl() + "mobile2/pull/"));
        EXPECT_FALSE(account.asDictionary()->contains("password"));
    }

    TEST_F(SignInTest, ParentWithTwoChildrenGetsTwoAccountsInOrderAndEachSessionIsNew)
    {
        auto first = command("sys", "10001", { { "account", "13800000003" }, { "psw", "parent123" } }, 0).reply();
        ASSERT_EQ(first["items"].count(), 2u);
        EXPECT_EQ(first["items"][0]["userId"], Value(3002));
        EXPECT_EQ(first["items"][1]["userId"], Value(3003));
        for (const auto& account : *first["items"].asArray()) {
            EXPECT_EQ(account["accountType"], Value(2));
            EXPECT_TRUE(account["stuSequence"].isString());
        }
        EXPECT_NE(first["items"][0]["stuSequence"], first["items"][1]["stuSequence"]);
        auto second = command("sys", "10001", { { "account", "13800000003" }, { "psw", "parent123" } }, 0).reply();
        EXPECT_NE(first["sessionid"], second["sessionid"]);
    }

    TEST_F(SignInTest, WrongPasswordUnknownAccountAndMissingFieldsAreRefused)
    {
        for (const auto& fields : { Dictionary { { "account", "13800000001" }, { "psw", "wrong" } },
                 Dictionary { { "account", "19999999999" }, { "psw", "teacher123" } },
                 Dictionary { { "account", "13800000001" } }, Dictionary {} }) {
            auto reply = command("sys", "10001", fields, 0).reply();
            EXPECT_EQ(reply["resultState"], Value(0));
            EXPECT_TRUE(reply["resultMsg"].isString());
            EXPECT_FALSE(reply["resultMsg"].stringValue().empty());
            EXPECT_FALSE(reply.asDictionary()->contains("sessionid"));
        }
    }

    TEST_F(SignInTest, ChangedPasswordHoldsForEveryAccountOfTheSignIn)
    {
        auto wrongOld
            = command("sys", "10007", { { "account", "13800000003" }, { "oldPsw", "nope" }, { "newPsw", "n1" } }, 3002)
                  .reply();
        EXPECT_EQ(wrongOld["resultState"], Value(0));
        auto changed = command(
            "sys", "10007", { { "account", "13800000003" }, { "oldPsw", "parent123" }, { "newPsw", "新密码1" } }, 3003)
                           .reply();
        EXPECT_EQ(changed["resultState"], Value(1));
        EXPECT_EQ(
            command("sys", "10001", { { "account", "13800000003" }, { "psw", "parent123" } }, 0).reply()["resultState"],
            Value(0));
        EXPECT_EQ(
            command("sys", "10001", { { "account", "13800000003" }, { "psw", "新密码1" } }, 0).reply()["items"].count(),
            2u);
    }

    // ---------------------------------------------------------------- commands

    struct CommandCase {
        const char* name;
        const char* module;
        const char* cmd;
        Dictionary fields;
        long long user;
        int resultState;
        std::vector<std::string> shape;
    };

    std::vector<CommandCase> commandCases()
    {
        Value images(Array { Value(Dictionary { { "original", "http://x/o.jpg" }, { "thumb", "http://x/t.jpg" } }) });
        return {
            { "login", "sys", "10001", { { "account", "13800000002" }, { "psw", "parent123" }, { "appId", "a" } }, 0, 1,
                { "sessionid:s", "items:a" } },
            { "logout", "sys", "10002", {}, 2001, 1, { "resultMsg:s" } },
            { "findPassword", "sys", "10003", { { "account", "13800000001" } }, 0, 1, { "resultMsg:s" } },
            { "resetPasswordWithoutCheckNumber", "sys", "10004",
                { { "account", "13800000001" }, { "psw", "x" }, { "verCode", "000000" } }, 0, 0, { "resultMsg:s" } },
            { "confirmWithoutCheckNumber", "sys", "10011", { { "validate", "1" }, { "mobile", "13800000001" } }, 0, 0,
                { "resultMsg:s" } },
            { "timePassword", "sys", "10005", { { "account", "13800000001" } }, 0, 1, { "resultMsg:s" } },
            { "profile", "sys", "10006", { { "userName", "李建国" }, { "file", "" } }, 2001, 1,
                { "userName:s", "orgUserPic:s", "thumbAvatar:s" } },
            { "changePassword", "sys", "10007",
                { { "account", "13800000001" }, { "oldPsw", "teacher123" }, { "newPsw", "teacher123" } }, 2001, 1,
                { "resultMsg:s" } },
            { "updateTime", "sys", "10008", { { "updateTime", "" } }, 2001, 1, { "updateTime:s" } },
            { "navigationStatus", "sys", "10009", { { "navId", 1 }, { "status", 1 } }, 2001, 1, { "resultMsg:s" } },
            { "checkNumber", "sys", "10010", { { "intUserType", 1 }, { "mobile", "13800000001" } }, 0, 1,
                { "resultMsg:s" } },
            { "feedback", "sys", "10022", { { "parentId", 0 }, { "content", "很好用" }, { "serviceId", 1 } }, 2001, 1,
                { "resultMsg:s" } },
            { "poll", "rivu", "20101", {}, 2001, 1, { "items:a", "groupsendstat:a" } },
            { "groupSend", "rivu", "20102",
                { { "groupIdsItem",
                      Value(Array { Value(Dictionary { { "groupId", "CLS102" }, { "groupType", 2 } }) }) },
                    { "sendeeIdsItem", Value(Array {}) }, { "content", "明天春游" }, { "templateId", 0 } },
                2001, 1,
                { "msgId:s", "msgReadCount:n", "msgUnReadCount:n", "smsSuccessCount:n", "smsUnSuccessCount:n" } },
            { "groupSendState", "rivu", "20103", { { "msgId", "G2001" }, { "type", 1 } }, 2001, 1,
                { "readItems:a", "unReadItems:a" } },
            { "groupResend", "rivu", "20104", { { "msgId", "G2001" }, { "type", 2 } }, 2001, 1, { "resultMsg:s" } },
            { "stateReport", "rivu", "20105",
                { { "hasSend", Value(Array { Value("M1001") }) }, { "hasRead", Value(Array {}) } }, 2001, 1,
                { "resultMsg:s" } },
            { "templateTypes", "rivu", "20106", {}, 2001, 1, { "items:a" } },
            { "templates", "rivu", "20107", { { "dateTime", "2024-04-03 00:00:00" } }, 2001, 1, { "items:a" } },
            { "groups", "address", "30101", {}, 2001, 1, { "groupList:a" } },
            { "groupMembers", "address", "30102", { { "groupType", 1 }, { "groupId", "COM001" } }, 2001, 1,
                { "manList:a" } },
            { "sendToOne", "address", "30104", { { "linkManId", 3001 }, { "linkManType", 2 }, { "content", "你好" } },
                2001, 1, { "msgId:s" } },
            { "ctdMinutes", "address", "30105", {}, 2001, 1, { "packageTime:n", "remainTime:n" } },
            { "addressPackage", "address", "30106", {}, 2001, 1, { "downUrl:s" } },
            { "navigationMessages", "html5", "40001", { { "updateTime", "" } }, 2001, 1, { "items:a" } },
            { "post", "html5", "40101", { { "pubType", 101 }, { "content", "今天天气很好" }, { "images", images } },
                2001, 1, { "resultMsg:s", "weiboId:n" } },
            { "deletePost", "html5", "40102", { { "weiboId", 2 } }, 2001, 1, { "resultMsg:s" } },
            { "subjects", "html5", "40302", {}, 2001, 1, { "items:a" } },
            { "studentComment", "html5", "40401",
                { { "studentIdsStr", "5001,5002" }, { "comment", "很棒" }, { "rank", 3 }, { "flag", 1 },
                    { "classId", 101 } },
                2001, 1, { "resultMsg:s" } },
            { "homework", "html5", "40301",
                { { "classId", 101 }, { "className", "三年级(1)班" }, { "subject", "数学" }, { "subjectId", 2 },
                    { "content", "练习册第12页" }, { "dateTime", "2024-05-01" } },
                2001, 1, { "resultMsg:s" } },
            { "createAlbum", "html5", "40201",
                { { "description", "" }, { "album", "秋游" }, { "belongto", 101 }, { "photos", "" } }, 2001, 1,
                { "resultMsg:s", "albumId:n" } },
            { "addPhotos", "html5", "40202",
                { { "description", "" }, { "albumId", 1 }, { "photos", "http://x/1.jpg,http://x/2.jpg" } }, 2001, 1,
                { "resultMsg:s" } },
            { "magazines", "magazine", "50001", { { "updateTime", "" } }, 3001, 1,
                { "updateTime:s", "items:a", "readItems:a", "adItems:a" } },
            { "magazineIssue", "magazine", "50002", { { "postId", 1 }, { "magazineId", 1 } }, 3001, 1,
                { "headChapterIds:s", "items:a" } },
            { "magazineOpened", "magazine", "50003", { { "postId", 2 } }, 3001, 1, { "resultMsg:s" } },
            { "videoHome", "jxsp", "60001", { { "gradeBank", -1 } }, 3001, 1,
                { "grade:d", "subItems:a", "teaItem:d" } },
            { "videoGrades", "jxsp", "60002", {}, 3001, 1, { "items:a" } },
            { "videoSources", "jxsp", "60006", {}, 3001, 1, { "items:a" } },
            { "videosBySubject", "jxsp", "60003", { { "gradeBank", 3 }, { "subjectId", 2 }, { "page", 1 } }, 3001, 1,
                { "videoItems:a" } },
            { "videoDetail", "jxsp", "60004", { { "videoId", 311 } }, 3001, 1,
                { "videoId:n", "title:s", "webSite:s", "commentItems:a" } },
            { "videosBySource", "jxsp", "60005", { { "source", 2 }, { "page", 1 } }, 3001, 1, { "videoItems:a" } },
            { "videoComments", "jxsp", "60008", { { "videoId", 311 }, { "page", 1 } }, 3001, 1, { "commentItems:a" } },
            { "videoComment", "jxsp", "60007", { { "videoId", 311 }, { "content", "好" }, { "score", 4 } }, 3001, 1,
                { "commentId:n" } },
            { "growthAssistant", "html5", "40401", { { "saleModalId", 3622090001LL } }, 3001, 1, { "jumpUrl:s" } },
            { "ctdCheck", "ctd", "70001", {}, 2001, 1, { "status:n", "resultMsg:s", "dealResult:s" } },
            { "ctdHistory", "ctd", "70002", { { "page", 1 } }, 2001, 1, { "items:a" } },
            // Starting and ending a call answer 0 when done.
            { "ctdDial", "ctd", "70003", { { "linkId", 3001.0 }, { "type", 0 }, { "phone", "13800000002" } }, 2001, 0,
                { "resultMsg:s" } },
            { "ctdHangUp", "ctd", "70004", { { "linkId", 3001 }, { "type", 0 }, { "phone", "13800000002" } }, 2001, 0,
                { "resultMsg:s" } },
            { "hotActivities", "html5", "40501", {}, 2001, 1, { "items:a" } },
            { "newPosts", "html5", "40103", { { "weiboId", 3 } }, 2001, 1, { "total:n" } },
            { "plainPost", "sys", "", {}, 2001, 1, { "resultMsg:s" } },
        };
    }

    class CommandTest : public StandinTest { };

    TEST_F(CommandTest, EveryCommandAnswersAnEnvelopeOfItsShape)
    {
        for (auto& c : commandCases()) {
            auto answer = command(c.module, c.cmd, c.fields, c.user);
            ASSERT_TRUE(answer.answered()) << c.name;
            EXPECT_EQ(answer.status, 200) << c.name;
            EXPECT_TRUE(platform::hasPrefix(answer.header("Content-Type"), "application/json")) << c.name;
            auto reply = answer.reply();
            ASSERT_TRUE(reply.isDictionary()) << c.name << ": " << answer.body;
            EXPECT_EQ(reply["resultState"], Value(c.resultState)) << c.name << ": " << answer.body;
            EXPECT_TRUE(reply["resultMsg"].isString()) << c.name;
            expectShape(reply, c.shape, c.name);
        }
        // Every code of the table was exercised (54 has its own test).
        std::set<std::string> sent;
        for (auto& c : commandCases())
            sent.insert(c.cmd);
        for (const auto& [cmd, module] : server::Responder::commands()) {
            if (cmd != "30107") {
                EXPECT_TRUE(sent.contains(cmd)) << cmd;
            }
        }
    }

    TEST_F(CommandTest, ListItemsCarryTheKeysTheClientModelsRead)
    {
        auto subjects = command("html5", "40302").reply();
        ASSERT_GT(subjects["items"].count(), 0u);
        expectShape(subjects["items"][0], { "subjectId:n", "subjectName:s" }, "subject");

        auto activities = command("html5", "40501").reply();
        ASSERT_EQ(activities["items"].count(), 3u);
        expectShape(activities["items"][0],
            { "id:n", "areaId:s", "townId:s", "title:s", "content:s", "createTime:s", "htmlUrl:s" }, "activity");

        auto poll = command("rivu", "20101").reply();
        ASSERT_EQ(poll["items"].count(), 2u);
        expectShape(poll["items"][0],
            { "msgId:s", "content:s", "isGroupSend:n", "images:a", "audios:a", "dateTime:s", "templateId:n",
                "linkManId:n", "linkManName:s", "thumbAvatar:s", "orgUserPic:s", "linkManType:n", "isCustomer:n" },
            "message");

        auto members = command("address", "30102", { { "groupId", "CLS101" }, { "groupType", 2 } }).reply();
        ASSERT_EQ(members["manList"].count(), 8u);
        for (const auto& contact : *members["manList"].asArray())
            expectShape(contact, { "linkManId:n", "linkManName:s", "thumbAvatar:s", "orgUserPic:s", "linkManType:n" },
                "contact");
        // The teacher has click-to-dial, so contacts with a phone carry a call-back address.
        EXPECT_TRUE(platform::hasPrefix(members["manList"][0]["dialReq"].stringValue(), standin->baseUrl()));

        auto video = command("jxsp", "60001", { { "gradeBank", -1 } }, 3001).reply();
        EXPECT_EQ(video["grade"]["gradeBank"], Value(3)); // the child's grade when none is chosen
        ASSERT_EQ(video["subItems"].count(), 3u);
        expectShape(video["subItems"][0]["videoItems"][0],
            { "videoId:n", "title:s", "createTime:s", "picPath:s", "webSite:s", "remark:s", "readCount:n",
                "createrName:s" },
            "video");
        EXPECT_LT(video["teaItem"]["subjectId"].intValue(), 1);
    }

    TEST_F(CommandTest, PollDeliversEachMessageOnceAndGroupSendsReachTheirReceivers)
    {
        EXPECT_EQ(command("rivu", "20101").reply()["items"].count(), 2u);
        EXPECT_EQ(command("rivu", "20101").reply()["items"].count(), 0u);

        auto sent = command("rivu", "20102",
            { { "groupIdsItem", Value(Array { Value(Dictionary { { "groupId", "CLS101" }, { "groupType", 2 } }) }) },
                { "sendeeIdsItem", Value(Array { Value(Dictionary { { "linkManId", 2002 }, { "linkManType", 1 } }) }) },
                { "content", "家长会改到周六" }, { "templateId", 0 } })
                        .reply();
        EXPECT_EQ(sent["msgUnReadCount"], Value(9)); // eight parents and one colleague
        EXPECT_EQ(sent["smsUnSuccessCount"], Value(1)); // one parent has the service off
        std::string msgId = sent["msgId"].stringValue();

        auto parentPoll = command("rivu", "20101", {}, 3001).reply();
        Value groupMessage;
        for (const auto& item : *parentPoll["items"].asArray()) {
            if (item["content"] == Value("家长会改到周六"))
                groupMessage = item;
        }
        ASSERT_TRUE(groupMessage.isDictionary());
        EXPECT_EQ(groupMessage["isGroupSend"], Value(1));
        EXPECT_EQ(groupMessage["linkManId"], Value(2001));

        command("rivu", "20105",
            { { "hasSend", Value(Array {}) }, { "hasRead", Value(Array { groupMessage["msgId"] }) } }, 3001);
        auto state = command("rivu", "20103", { { "msgId", msgId }, { "type", 1 } }).reply();
        EXPECT_EQ(state["readItems"], Value(Array { Value("张伟") }));
        EXPECT_EQ(state["unReadItems"].count(), 8u);
        // Another teacher cannot read the teacher's group send.
        EXPECT_EQ(
            command("rivu", "20103", { { "msgId", msgId }, { "type", 1 } }, 2002).reply()["resultState"], Value(0));
    }

    TEST_F(CommandTest, MagazineListMarksNewChangedAndWithdrawnIssues)
    {
        auto all = command("magazine", "50001", { { "updateTime", "" } }, 3001).reply();
        std::map<long long, int> statuses;
        for (const auto& item : *all["items"].asArray()) {
            expectShape(item,
                { "name:s", "postId:n", "category:s", "coverOriginal:s", "coverThumb:s", "postNumber:n", "postDate:s",
                    "status:n", "readNumber:n" },
                "issue");
            statuses[item["postId"].longLongValue()] = item["status"].intValue();
        }
        EXPECT_EQ(statuses, (std::map<long long, int> { { 1, 1 }, { 2, 2 }, { 3, 2 }, { 4, 2 } }));
        EXPECT_EQ(all["adItems"].count(), 2u);
        expectShape(all["adItems"][0], { "adName:s", "adImage:s", "adUrl:s" }, "advert");

        auto since = command("magazine", "50001", { { "updateTime", "2024-05-01 00:00:00" } }, 3001).reply();
        statuses.clear();
        for (const auto& item : *since["items"].asArray())
            statuses[item["postId"].longLongValue()] = item["status"].intValue();
        EXPECT_EQ(statuses, (std::map<long long, int> { { 3, 3 }, { 4, 2 }, { 5, 0 } }));
        EXPECT_EQ(
            command("magazine", "50001", { { "updateTime", since["updateTime"] } }, 3001).reply()["items"].count(), 0u);

        // Opening an issue makes it read for that account only, and counts the reading.
        command("magazine", "50003", { { "postId", 4 } }, 3001);
        for (const auto& [user, expected] : { std::pair(3001, 1), std::pair(3002, 2) }) {
            auto list = command("magazine", "50001", { { "updateTime", "" } }, user).reply();
            for (const auto& item : *list["items"].asArray()) {
                if (item["postId"] == Value(4)) {
                    EXPECT_EQ(item["status"], Value(expected)) << user;
                    EXPECT_EQ(item["readNumber"], Value(2));
                }
            }
        }

        auto issue = command("magazine", "50002", { { "postId", 1 }, { "magazineId", 7 } }, 3001).reply();
        EXPECT_EQ(issue["headChapterIds"], Value("101,103,105"));
        ASSERT_EQ(issue["items"].count(), 3u);
        expectShape(
            issue["items"][1], { "directoryId:n", "directoryName:s", "directoryLogo:s", "chapters:a" }, "directory");
        ASSERT_EQ(issue["items"][1]["chapters"].count(), 2u);
        expectShape(
            issue["items"][1]["chapters"][0], { "chapterId:n", "category:s", "title:s", "headImage:s" }, "chapter");
        auto page = get("magazine/1/103");
        EXPECT_EQ(page.status, 200);
        EXPECT_NE(page.body.find("如何培养阅读习惯"), std::string::npos);
    }

    TEST_F(CommandTest, RefusalsNameTheirReason)
    {
        // An unknown account, a code at the wrong module, an unknown code, a body that is not JSON.
        EXPECT_EQ(command("rivu", "20101", {}, 999).reply()["resultMsg"], Value("用户信息出错，请重新登录"));
        EXPECT_EQ(command("sys", "20101").reply()["resultMsg"], Value("命令与模块不符"));
        EXPECT_EQ(command("sys", "19999").reply()["resultState"], Value(0));
        auto notJson = post("combine/sys", Value("x")); // a JSON text, not an object
        EXPECT_EQ(notJson.status, 400);
        EXPECT_EQ(notJson.reply()["resultState"], Value(0));
        EXPECT_EQ(
            command("html5", "40102", { { "weiboId", 1 } }).reply()["resultMsg"], Value("只能删除自己发表的内容"));
        EXPECT_EQ(command("ctd", "70003", { { "linkId", 1 }, { "type", 3 }, { "phone", "" } }).reply()["resultState"],
            Value(1));
        EXPECT_EQ(
            command("ctd", "70003", { { "linkId", 1 }, { "type", 3 }, { "phone", "1" } }, 2002).reply()["resultState"],
            Value(2));
        EXPECT_EQ(get("nowhere/at/all").status, 404);
    }

    // ---------------------------------------------------------------- type 54

    class AddressBookTest : public StandinTest {
    protected:
        void expectAddressBook(const Exchange& answer, unsigned char firstByte)
        {
            ASSERT_TRUE(answer.answered());
            EXPECT_EQ(answer.status, 200);
            EXPECT_EQ(answer.header("Content-Type"), "application/octet-stream");
            EXPECT_EQ(answer.header("Content-Encoding"), "");
            ASSERT_FALSE(answer.body.empty());
            EXPECT_EQ(static_cast<unsigned char>(answer.body[0]), firstByte);
            auto text = inflate(answer.body);
            ASSERT_TRUE(text.has_value());
            auto book = platform::PlatformJson::read(*text);
            ASSERT_TRUE(book && book->isArray());
            // Colleagues, the parents of the grade's seven classes, the other grades' teachers.
            ASSERT_EQ(book->count(), 9u);
            EXPECT_EQ((*book)[0]["groupId"], Value("COM001"));
            EXPECT_EQ((*book)[1]["groupName"], Value("三年级(1)班家长"));
            EXPECT_EQ((*book)[1]["items"].count(), 8u);
            expectShape(
                (*book)[1]["items"][0], { "linkManId:n", "linkManName:s", "phone:s", "isCustomer:n" }, "contact");
        }
    };

    TEST_F(AddressBookTest, WholeAddressBookComesGzipByDefault)
    {
        expectAddressBook(command("address", "30107"), 0x1f);
    }

    TEST_F(AddressBookTest, ZlibIsSelectableForTheServerAndPerReply)
    {
        standin->script().forCommand("30107", server::ScriptedReply::normal().compressedAs(server::Compression::Zlib));
        expectAddressBook(command("address", "30107"), 0x78);
        expectAddressBook(command("address", "30107"), 0x1f);
        standin->setAddressBookCompression(server::Compression::Zlib);
        expectAddressBook(command("address", "30107"), 0x78);
    }

    // The teacher's book at a school's size: every group with its people,
    // parents who turned the service off, people with no phone, a call-back
    // address at this server for everyone with one, and the same book from
    // every newly made server file.
    TEST_F(AddressBookTest, TheTeachersBookIsASchoolsAndTheSameFromEveryNewServer)
    {
        auto fetch = [&] {
            auto text = inflate(command("address", "30107").body);
            std::string book = text.value_or("");
            // The server's own address differs between runs.
            std::string base = standin->baseUrl();
            for (auto at = book.find(base); !base.empty() && at != std::string::npos; at = book.find(base, at))
                book.replace(at, base.size(), "{base}");
            return book;
        };
        const std::string first = fetch();
        auto book = platform::PlatformJson::read(first);
        ASSERT_TRUE(book && book->isArray());
        std::vector<std::string> groups;
        std::size_t people = 0, unsubscribed = 0, noPhone = 0, callBacks = 0;
        std::set<long long> ids;
        for (const auto& group : *book->asArray()) {
            groups.push_back(group["groupId"].stringValue() + ":" + std::to_string(group["items"].count()));
            for (const auto& contact : *group["items"].asArray()) {
                ++people;
                ids.insert(static_cast<long long>(contact["linkManId"].doubleValue()));
                EXPECT_FALSE(contact["linkManName"].stringValue().empty());
                unsubscribed += contact["isCustomer"].intValue() == 0;
                bool phone = contact["phone"].isString() && !contact["phone"].stringValue().empty();
                noPhone += !phone;
                if (contact.asDictionary()->contains("dialReq")) {
                    ++callBacks;
                    EXPECT_TRUE(phone) << "a call-back without a number";
                    const std::string dial = contact["dialReq"].stringValue();
                    EXPECT_TRUE(platform::hasPrefix(dial, "{base}")) << dial << ": not at this server";
                    EXPECT_NE(dial.find("web/ctd/dial?"), std::string::npos) << dial;
                } else {
                    EXPECT_FALSE(phone) << "a number without a call-back address";
                }
            }
        }
        EXPECT_EQ(groups,
            (std::vector<std::string> { "COM001:4", "CLS101:8", "CLS102:8", "CLS103:44", "CLS104:44", "CLS105:44",
                "CLS106:44", "CLS107:44", "TEA001:60" }));
        EXPECT_EQ(people, 300u);
        EXPECT_EQ(ids.size(), people) << "each person in one group of this book";
        EXPECT_GT(unsubscribed, 20u);
        EXPECT_GT(noPhone, 20u);
        EXPECT_EQ(callBacks, people - noPhone);

        // A new server file: the same people, numbers and addresses.
        stopServer();
        platform::FileUtil::remove(dataDir);
        dataDir = testsupport::makeTempDir("standin-test");
        ASSERT_FALSE(dataDir.empty());
        startServer();
        EXPECT_EQ(fetch(), first);
    }

    TEST_F(AddressBookTest, EachAccountGetsItsOwnBook)
    {
        auto text = inflate(command("address", "30107", {}, 3003).body);
        ASSERT_TRUE(text);
        auto book = platform::PlatformJson::read(*text);
        ASSERT_TRUE(book && book->count() == 1);
        EXPECT_EQ((*book)[0]["groupId"], Value("TEA102"));
        // Parents have no click-to-dial: no call-back addresses.
        for (const auto& contact : *(*book)[0]["items"].asArray())
            EXPECT_FALSE(contact.asDictionary()->contains("dialReq"));
    }

    // ---------------------------------------------------------------- queries

    class QueryTest : public StandinTest { };

    struct QueryCase {
        const char* route;
        std::vector<std::pair<std::string, std::string>> query;
        std::vector<std::string> shape;
    };

    TEST_F(QueryTest, EveryQueryPathAnswersAndRecordsItsParametersInOrder)
    {
        const std::string tricky = "a&b=c+d#e f 中文?/%";
        std::vector<QueryCase> cases = {
            { "webapp/base/tea/active_type", { { "schoolId", "1001" }, { "teacherId", "2001" } }, { "items:a" } },
            { "webapp/base/tea/class_list", { { "schoolId", "1001" }, { "teacherId", "2001" } }, { "items:a" } },
            { "webapp/stucomment/comment_list", { { "schoolId", "1001" }, { "classId", "101" }, { "areaAbb", "gz" } },
                { "items:a" } },
            { "webapp/stucomment/single_list",
                { { "schoolId", "1001" }, { "studentId", "5001" }, { "areaAbb", "gz" }, { "pageSize", "2" },
                    { "page", "1" }, { "accountType", "1" }, { "userId", "2001" }, { "type", "1" } },
                { "total:n", "items:a" } },
            { "webapp/jxq/sendComment",
                { { "areaAbb", "gz" }, { "userId", "2001" }, { "userType", "1" }, { "userName", "李建国" },
                    { "device", "iPhone OS" }, { "weiboId", "2" }, { "comment", tricky } },
                { "resultMsg:s" } },
            { "webapp/stucomment/stu_list", { { "schoolId", "1001" }, { "classId", "102" }, { "areaAbb", "gz" } },
                { "items:a" } },
            { "webapp/stucomment/stuinfo", { { "schoolId", "1001" }, { "familyId", "3003" }, { "areaAbb", "gz" } },
                { "items:a" } },
            { "webapp/photoAlbum/list",
                { { "schoolId", "1001" }, { "userId", "2001" }, { "accountType", "1" }, { "areaAbb", "gz" },
                    { "page", "1" }, { "pageSize", "1000" } },
                { "items:a" } },
            { "webapp/servicemsg/new",
                { { "schoolId", "1001" }, { "areaAbb", "gz" }, { "teacherId", "2001" }, { "content", tricky },
                    { "isNeedReply", "1" } },
                { "resultMsg:s" } },
            { "webapp/notice/add",
                { { "schoolId", "1001" }, { "teacherId", "2001" }, { "startDate", "2024-05-01" },
                    { "endDate", "2024-05-02" }, { "title", tricky }, { "content", tricky }, { "classId", "101" },
                    { "areaAbb", "gz" } },
                { "resultMsg:s" } },
            { "webapp/classcourse/list",
                { { "schoolId", "1001" }, { "classId", "101" }, { "areaAbb", "gz" }, { "weekDay", "3" },
                    { "userId", "2001" }, { "accountType", "1" } },
                { "items:a" } },
            { "webapp/jxq/weibo",
                { { "schoolId", "1001" }, { "areaAbb", "gz" }, { "accountType", "1" }, { "userId", "2001" },
                    { "weiboType", "1" }, { "page", "1" }, { "pageSize", "10" } },
                { "items:a" } },
            { "webapp/jxq/praise",
                { { "areaAbb", "gz" }, { "userId", "2001" }, { "userType", "1" }, { "weiboId", "3" } },
                { "resultMsg:s" } },
            { "webapp/jxq/comment", { { "areaAbb", "gz" }, { "weiboId", "2" }, { "page", "1" }, { "pageSize", "10" } },
                { "items:a" } },
            { "webapp/messagehis/list",
                { { "schoolId", "1001" }, { "userId", "2001" }, { "accountType", "1" }, { "teacherId", "2001" },
                    { "areaAbb", "gz" }, { "key", "" }, { "type", "1" }, { "page", "1" }, { "pageSize", "3" } },
                { "total:n", "items:a" } },
            { "web/ctd/butCtd", { { "areaAbb", "gz" }, { "accountType", "2" }, { "userId", "3001" } },
                { "resultMsg:s" } },
            { "web/ctd/dial", { { "userId", "2001" }, { "linkManId", "3001" } }, { "resultMsg:s" } },
            // What the local tool pages fetch.
            { "webapp/page/schoolnotice/list", { { "userId", "2001" }, { "schoolId", "1001" } }, { "items:a" } },
            { "webapp/page/schoolnotice/detail", { { "userId", "2001" }, { "schoolId", "1001" }, { "noticeId", "1" } },
                { "title:s", "content:s", "publisher:s", "dateTime:s" } },
            { "webapp/page/classnotice/list", { { "userId", "2001" }, { "schoolId", "1001" } },
                { "items:a", "classes:a" } },
            { "webapp/page/classnotice/detail", { { "userId", "2001" }, { "schoolId", "1001" }, { "noticeId", "1" } },
                { "title:s", "content:s" } },
            { "webapp/page/homework/list", { { "userId", "3001" }, { "schoolId", "1001" } }, { "items:a", "classes:a" } },
            { "webapp/page/attendance/class",
                { { "userId", "2001" }, { "schoolId", "1001" }, { "classId", "101" }, { "date", "2026-12-02" } },
                { "items:a", "classes:a", "classId:n", "date:s" } },
            { "webapp/page/attendance/student",
                { { "userId", "2001" }, { "schoolId", "1001" }, { "studentId", "5001" }, { "month", "2026-11" } },
                { "items:a", "studentName:s", "className:s", "month:s" } },
            { "webapp/page/service/list", { { "userId", "2001" }, { "schoolId", "1001" } }, { "items:a" } },
            { "webapp/page/comment/students", { { "userId", "2001" }, { "schoolId", "1001" }, { "classId", "102" } },
                { "items:a", "classes:a", "classId:n" } },
            { "webapp/photoAlbum/albums",
                { { "schoolId", "1001" }, { "userId", "2001" }, { "accountType", "1" }, { "areaAbb", "gz" },
                    { "page", "1" }, { "pageSize", "20" } },
                { "items:a" } },
            { "webapp/photoAlbum/photos", { { "userId", "2001" }, { "albumId", "1" }, { "page", "1" } },
                { "total:n", "album:d", "items:a" } },
            { "webapp/photoAlbum/recent", { { "userId", "2001" }, { "pageSize", "12" } }, { "items:a" } },
        };
        for (const auto& c : cases) {
            auto answer = get(std::string(c.route) + "?" + encodeQuery(c.query));
            ASSERT_TRUE(answer.answered()) << c.route;
            EXPECT_EQ(answer.status, 200) << c.route;
            auto reply = answer.reply();
            EXPECT_EQ(reply["resultState"], Value(1)) << c.route << ": " << answer.body;
            expectShape(reply, c.shape, c.route);
            auto logged = standin->requests().last();
            ASSERT_TRUE(logged);
            EXPECT_EQ(logged->route, c.route);
            EXPECT_EQ(logged->query, c.query) << c.route;
        }
        std::set<std::string> asked;
        for (const auto& c : cases)
            asked.insert(c.route);
        for (const auto& route : server::Responder::queryRoutes())
            EXPECT_TRUE(asked.contains(route)) << route;
    }

    TEST_F(QueryTest, QueriesThatActForAnAccountRefuseAnUnknownOne)
    {
        // Every route of the table that acts for an account refuses one the
        // school does not know; the others answer from their own keys.
        const std::set<std::string> forAnAccount { "webapp/base/tea/active_type", "webapp/base/tea/class_list",
            "webapp/jxq/sendComment", "webapp/photoAlbum/list", "webapp/servicemsg/new", "webapp/notice/add",
            "webapp/jxq/weibo", "webapp/jxq/praise", "webapp/messagehis/list", "web/ctd/butCtd", "web/ctd/dial",
            "webapp/page/schoolnotice/list", "webapp/page/schoolnotice/detail", "webapp/page/classnotice/list",
            "webapp/page/classnotice/detail", "webapp/page/homework/list", "webapp/page/attendance/class",
            "webapp/page/attendance/student", "webapp/page/service/list", "webapp/page/comment/students",
            "webapp/photoAlbum/albums", "webapp/photoAlbum/photos", "webapp/photoAlbum/recent" };
        for (const auto& route : server::Responder::queryRoutes()) {
            auto reply = get(route + "?userId=999&teacherId=999&familyId=999&classId=101&weiboId=1").reply();
            bool refused = reply["resultMsg"] == Value("用户信息出错，请重新登录");
            EXPECT_EQ(refused, forAnAccount.contains(route)) << route << ": " << reply.description();
        }
    }

    TEST_F(QueryTest, QueryAnswersFollowTheData)
    {
        auto classes = get("webapp/base/tea/class_list?schoolId=1001&teacherId=2001").reply();
        ASSERT_EQ(classes["items"].count(), 2u);
        EXPECT_EQ(classes["items"][0], Value(Dictionary { { "classId", 101 }, { "className", "三年级(1)班" } }));
        auto types = get("webapp/base/tea/active_type?schoolId=1001&teacherId=2001").reply();
        expectShape(types["items"][1], { "type:n", "typeName:s" }, "active type");

        // Suggested comments arrive unsorted; sorting is the client's business.
        auto suggestions = get("webapp/stucomment/comment_list?schoolId=1001&classId=101&areaAbb=gz").reply();
        EXPECT_EQ(suggestions["items"][0]["sort"], Value(3));
        expectShape(suggestions["items"][0], { "sort:n", "type:s", "content:s" }, "suggestion");

        auto history = get("webapp/stucomment/single_list?schoolId=1001&studentId=5001&areaAbb=gz&pageSize=2&page=2"
                           "&accountType=1&userId=2001&type=1")
                           .reply();
        EXPECT_EQ(history["total"], Value(3));
        ASSERT_EQ(history["items"].count(), 1u);
        expectShape(history["items"][0], { "content:s", "dateTime:s", "rankIco:s", "time:s" }, "history");

        auto timetable
            = get("webapp/classcourse/list?schoolId=1001&classId=101&areaAbb=gz&weekDay=2&userId=2001&accountType=1")
                  .reply();
        ASSERT_EQ(timetable["items"].count(), 6u);
        expectShape(
            timetable["items"][0], { "sort:n", "period:s", "course:s", "teacherName:s", "teacherPic:s" }, "lesson");
        EXPECT_EQ(get("webapp/classcourse/list?classId=101&weekDay=6").reply()["items"].count(), 0u);

        auto students = get("webapp/stucomment/stuinfo?schoolId=1001&familyId=3002&areaAbb=gz").reply();
        ASSERT_EQ(students["items"].count(), 1u);
        EXPECT_EQ(students["items"][0]["name"], Value("王子涵"));
        expectShape(students["items"][0], { "studentId:n", "name:s", "pic:s" }, "student");

        auto albums
            = get("webapp/photoAlbum/list?schoolId=1001&userId=3003&accountType=2&areaAbb=gz&page=1&pageSize=10")
                  .reply();
        ASSERT_EQ(albums["items"].count(), 1u);
        expectShape(albums["items"][0], { "albumId:n", "albumName:s", "photosNum:n", "belongs:s", "cover:s" }, "album");

        // The feed: teachers' posts only, then paging of all posts, then praise and comments.
        auto teachers
            = get("webapp/jxq/weibo?schoolId=1001&areaAbb=gz&accountType=1&userId=2001&weiboType=2&page=1&pageSize=10")
                  .reply();
        for (const auto& post : *teachers["items"].asArray())
            EXPECT_EQ(post["senderType"], Value(1));
        auto second
            = get("webapp/jxq/weibo?schoolId=1001&areaAbb=gz&accountType=1&userId=2001&weiboType=1&page=2&pageSize=4")
                  .reply();
        ASSERT_EQ(second["items"].count(), 2u);
        EXPECT_EQ(second["items"][0]["weiboId"], Value(2));
        expectShape(second["items"][0],
            { "weiboId:n", "senderId:n", "senderType:n", "senderName:s", "content:s", "orgUserPic:s", "thumbAvatar:s",
                "dataTime:s", "commentNum:n", "praise:n", "images:a" },
            "post");
        EXPECT_EQ(second["items"][0]["images"].count(), 3u);
        get("webapp/jxq/praise?areaAbb=gz&userId=3001&userType=2&weiboId=2");
        get("webapp/jxq/sendComment?areaAbb=gz&userId=3001&userType=2&weiboId=2&comment="
            + platform::encodeQueryComponent("太好了"));
        auto comments = get("webapp/jxq/comment?areaAbb=gz&weiboId=2&page=1&pageSize=10").reply();
        ASSERT_EQ(comments["items"].count(), 3u);
        EXPECT_EQ(comments["items"][2]["comment"], Value("太好了"));
        expectShape(comments["items"][2],
            { "weiboId:n", "senderId:n", "senderType:n", "senderName:s", "comment:s", "orgUserPic:s", "thumbAvatar:s",
                "dataTime:s" },
            "reply");
        EXPECT_EQ(
            get("webapp/jxq/weibo?schoolId=1001&areaAbb=gz&accountType=1&userId=2001&weiboType=1&page=1&pageSize=10")
                .reply()["items"][4]["praise"],
            Value(6));

        auto sms = get("webapp/messagehis/list?schoolId=1001&userId=2001&accountType=1&teacherId=2001&areaAbb=gz&key="
            + platform::encodeQueryComponent("收到") + "&type=2&page=1&pageSize=10")
                       .reply();
        EXPECT_EQ(sms["total"], Value(3));
        expectShape(sms["items"][0], { "msgId:s", "senderId:n", "senderName:s", "content:s", "dateTime:s" }, "sms");
    }

    TEST_F(QueryTest, DoubledSlashAfterThePrefixReachesTheSameQuery)
    {
        auto answer = get("/webapp/jxq/praise?areaAbb=gz&userId=2001&userType=1&weiboId=1");
        EXPECT_EQ(answer.reply()["resultState"], Value(1));
        EXPECT_EQ(standin->requests().last()->route, "webapp/jxq/praise");
    }

    TEST_F(QueryTest, PicturesVoiceAndPagesAreServed)
    {
        auto avatar = get("static/avatar/2001.png");
        EXPECT_EQ(avatar.header("Content-Type"), "image/png");
        ASSERT_GT(avatar.body.size(), 8u);
        EXPECT_EQ(avatar.body.substr(1, 3), "PNG");
        EXPECT_EQ(get("static/avatar/2001.png").body, avatar.body);
        EXPECT_NE(get("static/avatar/2002.png").body, avatar.body);
        auto voice = get("static/audio/praise.amr");
        EXPECT_EQ(voice.body.substr(0, 6), "#!AMR\n");
        EXPECT_EQ(get("f/version/1_0_2").status, 200);
        auto growth = get("html/growth.html?saleModalId=3622090001");
        EXPECT_NE(growth.body.find("3622090001"), std::string::npos);
    }

    TEST_F(QueryTest, MagazinePicturesAreDrawnToTheirSizesAndChapterPagesShowTheirPicture)
    {
        // Points at scale 2: covers (and their thumbnails), the banner, the
        // directory logos and the chapter pictures of the head strip.
        const std::pair<const char*, std::pair<int, int>> pictures[] = {
            { "static/img/cover-1.png", { 640, 1136 } },
            { "static/img/cover-1-thumb.png", { 160, 220 } },
            { "static/img/ad-2.png", { 640, 432 } },
            { "static/img/dir-11.png", { 130, 130 } },
            { "static/img/chapter-103.png", { 640, 320 } },
        };
        for (const auto& [path, size] : pictures) {
            auto answer = get(path);
            EXPECT_EQ(answer.header("Content-Type"), "image/png") << path;
            auto image = platform::Image::decode(std::vector<std::uint8_t>(answer.body.begin(), answer.body.end()));
            ASSERT_TRUE(image) << path;
            EXPECT_EQ(std::pair(image->pixelWidth(), image->pixelHeight()), size) << path;
        }
        // Each issue its own cover; an issue or advertisement that does not
        // exist gets the plain square picture.
        EXPECT_NE(get("static/img/cover-1.png").body, get("static/img/cover-2.png").body);
        auto unknown = get("static/img/cover-99.png");
        auto square = platform::Image::decode(std::vector<std::uint8_t>(unknown.body.begin(), unknown.body.end()));
        ASSERT_TRUE(square);
        EXPECT_EQ(square->pixelWidth(), square->pixelHeight());

        auto page = get("magazine/1/104");
        EXPECT_EQ(page.status, 200);
        EXPECT_NE(page.body.find("<title>亲子共读的十个建议</title>"), std::string::npos);
        EXPECT_NE(page.body.find("src=\"../../static/img/chapter-104.png\""), std::string::npos);
        EXPECT_EQ(get("magazine/2/104").status, 404);
    }

    // ---------------------------------------------------------------- uploads

    class UploadTest : public StandinTest { };

    TEST_F(UploadTest, PhotoIsStoredAndServedBackByteForByte)
    {
        std::string bytes;
        for (int i = 0; i < 70000; ++i)
            bytes.push_back(static_cast<char>((i * 131) & 0xff)); // zero bytes and high bytes included
        auto answer = upload("upload/msgpic/2001/1", "照片 1.JPG", "image/jpeg", bytes);
        ASSERT_TRUE(answer.answered());
        auto reply = answer.reply();
        ASSERT_TRUE(reply["original"].isString()) << answer.body;
        ASSERT_TRUE(reply["thumb"].isString());
        std::string prefix = standin->baseUrl() + "mobile2/pull/";
        ASSERT_TRUE(platform::hasPrefix(reply["original"].stringValue(), prefix));
        auto original = get(reply["original"].stringValue().substr(prefix.size()));
        EXPECT_EQ(original.status, 200);
        EXPECT_EQ(original.header("Content-Type"), "image/jpeg");
        EXPECT_TRUE(original.body == bytes);
        EXPECT_TRUE(get(reply["thumb"].stringValue().substr(prefix.size())).body == bytes);
        EXPECT_TRUE(platform::hasSuffix(reply["original"].stringValue(), ".jpg"));

        auto logged = standin->requests().withRoute("upload/msgpic/2001/1");
        ASSERT_EQ(logged.size(), 1u);
        ASSERT_EQ(logged[0].parts.size(), 1u);
        EXPECT_EQ(logged[0].parts[0].name, "file");
        EXPECT_EQ(logged[0].parts[0].fileName, "照片 1.JPG");
        EXPECT_EQ(logged[0].parts[0].contentType, "image/jpeg");
        EXPECT_EQ(logged[0].parts[0].size, bytes.size());
    }

    TEST_F(UploadTest, EveryPhotoKindAndVoiceHaveTheirFolders)
    {
        for (const char* kind : { "msgpic", "userpic", "weibopic", "homeworkpic" }) {
            auto reply = upload(std::string("upload/") + kind + "/3001/2", "a.png", "image/png", "png").reply();
            EXPECT_NE(reply["original"].stringValue().find(std::string("/files/") + kind + "/"), std::string::npos)
                << kind;
        }
        auto voice = upload("upload/audio/3001/2", "v.amr", "audio/amr", "#!AMR\n|").reply();
        ASSERT_TRUE(voice["audio"].isString());
        std::string prefix = standin->baseUrl() + "mobile2/pull/";
        EXPECT_EQ(get(voice["audio"].stringValue().substr(prefix.size())).body, "#!AMR\n|");
    }

    TEST_F(UploadTest, UploadsWithoutFileOrOfUnknownKindAreRefused)
    {
        auto noFile = upload("upload/msgpic/2001/1", "a.png", "image/png", "x", "other");
        EXPECT_EQ(noFile.status, 400);
        EXPECT_FALSE(noFile.reply().asDictionary()->contains("original"));
        EXPECT_EQ(upload("upload/videos/2001/1", "a.png", "image/png", "x").status, 404);
        EXPECT_EQ(upload("upload/msgpic/abc/1", "a.png", "image/png", "x").status, 404);
        // A name that tries to leave the folder is only a name.
        auto sneaky = upload("upload/userpic/2001/1", "../../evil.sh", "text/plain", "echo").reply();
        EXPECT_EQ(sneaky["original"].stringValue().find(".."), std::string::npos);
        EXPECT_FALSE(platform::FileUtil::exists(dataDir + "/evil.sh"));
        EXPECT_EQ(get("files/userpic/..%2F..%2Fstandin.db").status, 404);
    }

    // ---------------------------------------------------------------- log, restart, stop

    class LifecycleTest : public StandinTest { };

    TEST_F(LifecycleTest, RequestLogRecordsWhatWasSent)
    {
        httplib::Client client("127.0.0.1", standin->port());
        std::string body = "{\"cmd\":\"10005\",\"account\":\"13800000001\",\"appVersion\":\"1.0\"}";
        auto result
            = client.Post("/mobile2/pull/combine/sys", httplib::Headers { { "X-Probe", "一" } }, body, "text/plain");
        ASSERT_TRUE(result);
        client.set_url_encode(false);
        ASSERT_TRUE(client.Get("/mobile2/pull/webapp/jxq/comment?areaAbb=gz&weiboId=2&b=%E4%B8%AD&a=&flag"));

        auto all = standin->requests().all();
        ASSERT_EQ(all.size(), 2u);
        const auto& post = all[0];
        EXPECT_EQ(post.sequence + 1, all[1].sequence);
        EXPECT_EQ(post.method, "POST");
        EXPECT_EQ(post.path, "/mobile2/pull/combine/sys");
        EXPECT_EQ(post.route, "combine/sys");
        EXPECT_EQ(post.body, body);
        ASSERT_TRUE(post.json);
        EXPECT_EQ(post.bodyValue("account"), Value("13800000001"));
        EXPECT_EQ(post.command, "10005");
        EXPECT_EQ(post.header("x-probe"), "一");
        EXPECT_EQ(post.header("Content-Type"), "text/plain");
        EXPECT_EQ(post.status, 200);
        EXPECT_TRUE(post.answered);

        const auto& query = all[1];
        EXPECT_EQ(query.method, "GET");
        EXPECT_EQ(query.queryString, "areaAbb=gz&weiboId=2&b=%E4%B8%AD&a=&flag");
        server::NameValuePairs expected { { "areaAbb", "gz" }, { "weiboId", "2" }, { "b", "中" }, { "a", "" },
            { "flag", "" } };
        EXPECT_EQ(query.query, expected);
        EXPECT_EQ(query.queryValue("b"), "中");
        EXPECT_FALSE(query.json);
    }

    TEST_F(LifecycleTest, LogFileHoldsOneJsonLinePerRequestWithPasswordsMasked)
    {
        stopServer();
        std::string logPath = dataDir + "/requests.jsonl";
        server::ServerOptions options;
        options.logFile = logPath;
        startServer(options);
        command("sys", "10001", { { "account", "13800000001" }, { "psw", "teacher123" } }, 0);
        get("webapp/base/tea/class_list?schoolId=1001&teacherId=2001");
        ASSERT_TRUE(standin->requests().waitForCount(2, std::chrono::milliseconds(2000), true));
        std::ifstream in(logPath);
        std::vector<Value> lines;
        for (std::string line; std::getline(in, line);) {
            auto parsed = platform::PlatformJson::read(line);
            ASSERT_TRUE(parsed) << line;
            lines.push_back(*parsed);
        }
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_EQ(lines[0]["cmd"], Value("10001"));
        EXPECT_EQ(lines[0]["json"]["psw"], Value("***"));
        EXPECT_EQ(lines[0]["body"].stringValue().find("teacher123"), std::string::npos);
        EXPECT_EQ(lines[0]["json"]["account"], Value("13800000001"));
        EXPECT_EQ(lines[1]["queryPairs"][1], Value(Array { Value("teacherId"), Value("2001") }));
        EXPECT_EQ(lines[1]["status"], Value(200));
        // The in-memory log keeps what was really sent.
        EXPECT_EQ(standin->requests().withCommand("10001")[0].bodyValue("psw"), Value("teacher123"));
    }

    TEST_F(LifecycleTest, RestartOnTheSameDataKeepsWhatClientsChanged)
    {
        auto sent = command(
            "address", "30104", { { "linkManId", 3001 }, { "linkManType", 2 }, { "content", "重启前的消息" } })
                        .reply();
        ASSERT_EQ(sent["resultState"], Value(1));
        auto photo = upload("upload/weibopic/2001/1", "p.png", "image/png", "photo-bytes").reply();
        stopServer();
        EXPECT_TRUE(platform::FileUtil::exists(dataDir + "/standin.db"));

        startServer();
        // The seed did not run again: the message ids go on, and the new message is there.
        auto again
            = command("address", "30104", { { "linkManId", 3001 }, { "linkManType", 2 }, { "content", "重启后" } })
                  .reply();
        EXPECT_NE(again["msgId"], sent["msgId"]);
        auto poll = command("rivu", "20101", {}, 3001).reply();
        std::vector<std::string> contents;
        for (const auto& item : *poll["items"].asArray())
            contents.push_back(item["content"].stringValue());
        EXPECT_NE(std::find(contents.begin(), contents.end(), "重启前的消息"), contents.end());
        EXPECT_EQ(
            std::count(contents.begin(), contents.end(), "小明家长您好，今天的数学作业是练习册第12页，请督促完成。"),
            1);
        EXPECT_EQ(get(photo["original"].stringValue().substr(photo["original"].stringValue().find("files/"))).body,
            "photo-bytes");

        // The file is a plain SQLite database that the sqlite3 tool reads.
        std::string probe = "sqlite3 '" + dataDir
            + "/standin.db' \"SELECT COUNT(*) FROM account; SELECT COUNT(*) "
              "FROM message WHERE content = '重启前的消息';\" 2>&1";
        EXPECT_EQ(testsupport::runCommand(probe).output, "6\n1\n");
    }

    TEST_F(LifecycleTest, StopIsBoundedWithIdleAndDelayedConnections)
    {
        // An idle kept-alive connection and a reply scripted to wait 30 s.
        httplib::Client idle("127.0.0.1", standin->port());
        idle.set_keep_alive(true);
        ASSERT_TRUE(idle.Get("/mobile2/pull/static/img/x.png"));
        standin->script().forCommand("20101", server::ScriptedReply::normal().delayed(30));
        auto pending = std::async(std::launch::async, [&] { return command("rivu", "20101", {}, 2001, 10.0); });
        ASSERT_TRUE(standin->requests().waitForCount(2, std::chrono::milliseconds(2000)));

        auto begun = std::chrono::steady_clock::now();
        standin->stop();
        double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - begun).count();
        EXPECT_LT(took, 20.0);
        EXPECT_FALSE(standin->isRunning());
        ASSERT_EQ(pending.wait_for(std::chrono::seconds(20)), std::future_status::ready);
        auto delayed = pending.get();
        // The cut-short reply still went out before the connection closed.
        EXPECT_TRUE(delayed.answered());
        EXPECT_LT(standin->requests().last()->delaySeconds, 20.0);
        httplib::Client late("127.0.0.1", standin->port());
        late.set_connection_timeout(0, 500000);
        EXPECT_FALSE(late.Get("/mobile2/pull/static/img/x.png"));
    }

    TEST_F(LifecycleTest, AFixedPortIsHonouredAndABusyOneReported)
    {
        int port = standin->port();
        server::ServerOptions options;
        options.port = port;
        options.dataDirectory = dataDir;
        server::StandinServer second(options);
        platform::Error error;
        EXPECT_FALSE(second.start(&error));
        EXPECT_NE(error.localizedDescription().find(std::to_string(port)), std::string::npos);
        stopServer();
        startServer(options);
        EXPECT_EQ(standin->port(), port);
        EXPECT_EQ(standin->baseUrl(), "http://127.0.0.1:" + std::to_string(port) + "/");
    }

    // --------------------------------------------------------------- lesson plays

    class LessonPlaysTest : public StandinTest {
    protected:
        // The lesson's detail as the portal asks for it, signed as the portal user.
        Value lessonDetail(long long uid)
        {
            const long long stamp = 1700000000;
            const std::string stampText = std::to_string(stamp);
            Dictionary body { { "app_key", server::LessonServiceKeys::kAppKey }, { "timestamp", stamp },
                { "app_secret", platform::Md5::hex(std::string(server::LessonServiceKeys::kAppSecret) + stampText) },
                { "sid", server::LessonServiceKeys::kPortalSid },
                { "access_token",
                    platform::Md5::hex(std::string(server::LessonServiceKeys::kPortalAccessToken) + stampText) },
                { "uid", uid } };
            httplib::Client http("127.0.0.1", standin->port());
            auto text = platform::PlatformJson::write(Value(body)).value_or("");
            auto result = http.Post("/m/lesson/detail_with_right.json", text, "application/json");
            if (!result) {
                ADD_FAILURE() << "no answer";
                return {};
            }
            auto reply = platform::PlatformJson::read(result->body);
            if (!reply || (*reply)["code"] != Value(0)) {
                ADD_FAILURE() << result->body;
                return {};
            }
            return (*reply)["data"];
        }
        Value video(long long lesson, long long uid)
        {
            Value detail = lessonDetail(lesson);
            if (const auto* videos = detail["videos"].asArray()) {
                for (const Value& one : *videos) {
                    if (one["uid"].longLongValue() == uid)
                        return one;
                }
            }
            ADD_FAILURE() << "no video " << uid;
            return {};
        }
        long long views(long long lesson, long long uid) { return video(lesson, uid)["views"].longLongValue(); }
        // A GET of a movie below the pull path, with a byte range when one is given.
        int fetchMovie(const std::string& route, const std::string& range = {})
        {
            httplib::Client http("127.0.0.1", standin->port());
            httplib::Headers headers;
            if (!range.empty())
                headers.emplace("Range", range);
            auto result = http.Get(("/mobile2/pull/" + route).c_str(), headers);
            return result ? result->status : 0;
        }
    };

    TEST_F(LessonPlaysTest, PlayingAVideoRaisesItsViewsOncePerPlay)
    {
        // Each video's movie address names the video.
        const std::string src = video(101, 1001)["src"].stringValue();
        EXPECT_TRUE(platform::hasSuffix(src, "lessons/media/clip.mp4?video=1001")) << src;
        EXPECT_TRUE(platform::hasSuffix(video(101, 1002)["src"].stringValue(), "lessons/media/hls/index.m3u8?video=1002"));
        const long long mp4 = views(101, 1001);
        const long long hls = views(101, 1002);
        const long long other = views(101, 1003);
        EXPECT_EQ(mp4, 1532);

        // A play: the player's first read from byte 0, then reads further on
        // (the index, a seek), which are the same play.
        EXPECT_EQ(fetchMovie("lessons/media/clip.mp4?video=1001", "bytes=0-"), 206);
        EXPECT_EQ(fetchMovie("lessons/media/clip.mp4?video=1001", "bytes=1000-1999"), 206);
        EXPECT_EQ(views(101, 1001), mp4 + 1);
        // A whole fetch is a play too; the file without a video is nobody's.
        EXPECT_EQ(fetchMovie("lessons/media/clip.mp4?video=1001"), 200);
        EXPECT_EQ(fetchMovie("lessons/media/clip.mp4"), 200);
        EXPECT_EQ(views(101, 1001), mp4 + 2);

        // A segmented movie counts its playlist, not its segments.
        EXPECT_EQ(fetchMovie("lessons/media/hls/index.m3u8?video=1002"), 200);
        EXPECT_EQ(fetchMovie("lessons/media/hls/seg000.ts"), 200);
        EXPECT_EQ(views(101, 1002), hls + 1);
        // A missing movie plays nothing; other videos keep their counts.
        EXPECT_EQ(fetchMovie("lessons/media/missing.mp4?video=1003"), 404);
        EXPECT_EQ(views(101, 1003), other);
        // The plays last as long as the demo data: a restart keeps them.
        stopServer();
        startServer();
        EXPECT_EQ(views(101, 1001), mp4 + 2);
    }

} // namespace
} // namespace servertest
