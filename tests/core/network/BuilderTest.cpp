// What the older request builders send, read back from the stand-in server's
// request log: every body's keys in order with their JSON kinds, and every
// query's parameters, including user text with "&", "=", "#" and Chinese.
#include "core/model/ContactInfo.h"
#include "core/model/GroupInfo.h"
#include "core/model/HomeWorkInfo.h"
#include "core/model/MessageInfo.h"
#include "core/model/MessageTemplateInfo.h"
#include "core/model/NoticeInfo.h"
#include "core/model/PhotoInfo.h"
#include "core/model/SoundInfo.h"
#include "core/model/WeiboInfo.h"
#include "core/network/builders/ORBAddressContrl.h"
#include "core/network/builders/ORBCallNumberControl.h"
#include "core/network/builders/ORBCommentStudent.h"
#include "core/network/builders/ORBMessageTemplateControl.h"
#include "core/network/builders/ORBNavControl.h"
#include "core/network/builders/ORBRivuContrl.h"
#include "core/network/builders/ORBSysContrl.h"
#include "core/store/MessageTemplateFactory.h"
#include "platform/os/Log.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/SystemInfo.h"
#include "platform/os/UserDefaults.h"
#include "tests/core/network/BuilderSupport.h"

#include <algorithm>

using namespace dispatchertest;
using namespace core;
using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

const std::vector<std::string> kFullSet { "cmd", "userId", "schoolId", "accountType", "areaAbb", "appVersion",
    "sysVersion", "platform", "model" };

std::vector<std::string> plus(std::vector<std::string> keys, std::initializer_list<const char*> more)
{
    keys.insert(keys.end(), more.begin(), more.end());
    return keys;
}

std::shared_ptr<PhotoInfo> photo(std::string url, std::string thumb)
{
    auto p = std::make_shared<PhotoInfo>();
    p->url = std::move(url);
    p->thumbUrl = std::move(thumb);
    return p;
}

std::shared_ptr<SoundInfo> sound(std::string url, int seconds)
{
    auto s = std::make_shared<SoundInfo>();
    s->url = std::move(url);
    s->seconds = seconds;
    return s;
}

// One POST builder: what it is posted to and the body's keys in order.
struct PostCase {
    const char* name;
    std::function<ORBBuilderRequest(BuilderDelegate&)> build;
    const char* route;
    const char* cmd;
    std::vector<std::string> keys;
    Dictionary values; // keys whose values are checked exactly
};

class Builders : public BuilderTest { };

TEST_F(Builders, EveryPostBodyHasItsKeysInOrderWithTheirKinds)
{
    auto session = signIn();
    ASSERT_TRUE(session);
    const AccountInfo& a = *session->current();
    platform::UserDefaults::standard()->setObject(Value("13800000001"), "account");

    auto group = std::make_shared<GroupInfo>();
    group->uid = "g-101";
    group->type = 2;
    auto otherGroup = std::make_shared<GroupInfo>();
    otherGroup->uid = "g-102";
    otherGroup->type = 3;
    auto contact = std::make_shared<ContactInfo>();
    contact->uid = 3001;
    contact->type = 2;
    MessageInfo groupMessage;
    groupMessage.content = "明天 8:00 到校 & 带齐课本";
    MessageInfo sent;
    sent.uid = "G2001";
    MessageInfo chat;
    chat.contact = contact;
    chat.photosInfo = { photo("http://p/1.jpg", "") };
    chat.soundsInfo = { sound("", 3) };
    auto post = std::make_shared<WeiboInfo>();
    post->classId = 101;
    post->content = "春游 & 秋游 = 快乐";
    auto homework = std::make_shared<HomeWorkInfo>();
    homework->classId = 102;
    homework->className = "三年级(2)班";
    homework->subject = "数学";
    homework->subjectId = 2;
    homework->content = "练习册第 3 页";
    homework->dateTime = "2024-05-06";
    Array twoPhotos { photo("http://p/a.jpg", "http://p/as.jpg"), photo("http://p/b.jpg", "http://p/bs.jpg") };

    std::vector<PostCase> cases {
        { "messageNew", [](auto& d) { return ORBRivuContrl::messageNewWithDelegate(d.self(), d.success(), d.fail()); },
            "combine/rivu", "20101", kFullSet, {} },
        { "navigationMessage",
            [](auto& d) {
                return ORBRivuContrl::navigationMessageWithDelegate(
                    d.self(), d.success(), d.fail(), Dictionary { { "updateTime", "2024-05-01 00:00:00" } });
            },
            "combine/html5", "40001",
            { "cmd", "userId", "schoolId", "accountType", "areaAbb", "updateTime", "appVersion", "sysVersion",
                "platform", "model" },
            { { "updateTime", "2024-05-01 00:00:00" } } },
        // Receivers [group, contact, group]; only uploaded attachments go.
        { "group send",
            [&](auto& d) {
                return ORBRivuContrl::sendMessage(groupMessage,
                    Array { photo("http://p/1.jpg", "http://p/1s.jpg"), photo("http://p/2.jpg", ""),
                        sound("http://a/1.amr", 4), sound("", 2), "junk" },
                    Array { group, contact, otherGroup, "junk" }, d.self(), d.success(), d.fail());
            },
            "combine/rivu", "20102",
            plus(kFullSet, { "groupIdsItem", "sendeeIdsItem", "content", "templateId", "images", "audios" }),
            { { "groupIdsItem",
                  Array { Dictionary { { "groupId", "g-101" }, { "groupType", 2 } },
                      Dictionary { { "groupId", "g-102" }, { "groupType", 3 } } } },
                { "sendeeIdsItem", Array { Dictionary { { "linkManId", 3001 }, { "linkManType", 2 } } } },
                { "content", "明天 8:00 到校 & 带齐课本" }, { "templateId", 0 },
                { "images", Array { Dictionary { { "original", "http://p/1.jpg" }, { "thumb", "http://p/1s.jpg" } } } },
                { "audios", Array { Dictionary { { "url", "http://a/1.amr" }, { "seconds", 4 } } } } } },
        // Without attachments neither list is sent; empty receiver lists still are.
        { "group send, nothing attached",
            [&](auto& d) { return ORBRivuContrl::sendMessage(groupMessage, {}, {}, d.self(), d.success(), d.fail()); },
            "combine/rivu", "20102", plus(kFullSet, { "groupIdsItem", "sendeeIdsItem", "content", "templateId" }),
            { { "groupIdsItem", Array {} }, { "sendeeIdsItem", Array {} } } },
        { "group state",
            [&](auto& d) { return ORBRivuContrl::getMessageState(sent, 2, d.self(), d.success(), d.fail()); },
            "combine/rivu", "20103", plus(kFullSet, { "msgId", "type" }), { { "msgId", "G2001" }, { "type", 2 } } },
        { "resend", [&](auto& d) { return ORBRivuContrl::reSendtMessage(sent, 1, d.self(), d.success(), d.fail()); },
            "combine/rivu", "20104", plus(kFullSet, { "msgId", "type" }), { { "msgId", "G2001" }, { "type", 1 } } },
        { "contact groups",
            [](auto& d) { return ORBAddressContrl::contactsGroupWithDelegate(d.self(), d.success(), d.fail()); },
            "combine/address", "30101", kFullSet, {} },
        { "contacts of a group",
            [&](auto& d) { return ORBAddressContrl::contactsWithGroup(*group, d.self(), d.success(), d.fail()); },
            "combine/address", "30102", plus(kFullSet, { "groupType", "groupId" }),
            { { "groupType", 2 }, { "groupId", "g-101" } } },
        // Empty text is left out; every attachment goes, a missing address only loses its key.
        { "one-to-one send",
            [&](auto& d) { return ORBAddressContrl::sendMessage(chat, d.self(), d.success(), d.fail()); },
            "combine/address", "30104", plus(kFullSet, { "linkManId", "linkManType", "images", "audios" }),
            { { "linkManId", 3001 }, { "linkManType", 2 },
                { "images", Array { Dictionary { { "original", "http://p/1.jpg" } } } },
                { "audios", Array { Dictionary { { "seconds", 3 } } } } } },
        { "CTD state", [](auto& d) { return ORBNavControl::getCTDStateDelegate(d.self(), d.success(), d.fail()); },
            "combine/address", "30105", { "cmd", "userId", "accountType", "schoolId" }, {} },
        { "post to the class circle",
            [&](auto& d) {
                return ORBNavControl::sendWeibo(*post,
                    Array { photo("http://p/1.jpg", ""), photo("http://p/2.jpg", "http://p/2s.jpg") }, d.self(),
                    d.success(), d.fail());
            },
            "combine/html5", "40101",
            { "cmd", "userId", "accountType", "schoolId", "pubType", "areaAbb", "content", "userName", "platform",
                "images" },
            { { "pubType", 101 }, { "content", "春游 & 秋游 = 快乐" }, { "userName", a.name },
                { "images",
                    Array { Dictionary { { "original", "http://p/2.jpg" }, { "thumb", "http://p/2s.jpg" } } } } } },
        { "delete a post",
            [](auto& d) { return ORBNavControl::deleteWeiboWithId(9001, d.self(), d.success(), d.fail()); },
            "combine/html5", "40102", { "cmd", "userId", "accountType", "schoolId", "areaAbb", "weiboId", "platform" },
            { { "weiboId", 9001 } } },
        // Only the first photo goes with a homework.
        { "homework",
            [&](auto& d) { return ORBNavControl::sendHomeWork(*homework, twoPhotos, d.self(), d.success(), d.fail()); },
            "combine/html5", "40301",
            { "cmd", "userId", "accountType", "schoolId", "classId", "className", "subject", "subjectId", "content",
                "dateTime", "original", "thumb" },
            { { "classId", 102 }, { "original", "http://p/a.jpg" }, { "thumb", "http://p/as.jpg" } } },
        { "subjects",
            [](auto& d) { return ORBNavControl::getSubjectListWithDelegate(d.self(), d.success(), d.fail()); },
            "combine/html5", "40302", { "cmd", "userId", "accountType", "schoolId" }, {} },
        { "create an album",
            [&](auto& d) {
                return ORBNavControl::createOrUploadAlbumWithDelegate(d.self(), twoPhotos, d.success(), d.fail(),
                    Dictionary { { "description", "运动会" }, { "ablum", "秋季运动会" }, { "belongto", "101" } }, true);
            },
            "combine/html5", "40201",
            { "cmd", "userId", "accountType", "schoolId", "areaAbb", "description", "platform", "album", "belongto",
                "photos" },
            { { "album", "秋季运动会" }, { "belongto", "101" }, { "photos", "http://p/a.jpg,http://p/b.jpg" } } },
        { "add photos",
            [](auto& d) {
                return ORBNavControl::createOrUploadAlbumWithDelegate(d.self(), Array { photo("", "t") }, d.success(),
                    d.fail(), Dictionary { { "description", "d" }, { "albumId", 7 } }, false);
            },
            "combine/html5", "40202",
            { "cmd", "userId", "accountType", "schoolId", "areaAbb", "description", "platform", "albumId", "photos" },
            { { "albumId", 7 }, { "photos", "" } } },
        { "comment students",
            [](auto& d) {
                return ORBCommentStudent::commentStudentWithDelegate(d.self(), d.success(), d.fail(),
                    Dictionary { { "studentIds", "4001,4002" }, { "comment", "认真 & 努力" }, { "rank", 3 },
                        { "flag", 1 }, { "classId", 101 } });
            },
            "combine/html5", "40401",
            { "cmd", "userId", "accountType", "schoolId", "studentIdsStr", "areaAbb", "comment", "rank", "flag",
                "classId", "platform" },
            { { "studentIdsStr", "4001,4002" }, { "comment", "认真 & 努力" } } },
        { "logout", [](auto& d) { return ORBSysContrl::logoutWithDelegate(d.self(), d.success(), d.fail()); },
            "combine/sys", "10002", kFullSet, {} },
        { "find password",
            [](auto& d) { return ORBSysContrl::findPwd("13800000001", d.self(), d.success(), d.fail()); },
            "combine/sys", "10003", { "cmd", "account", "appVersion", "sysVersion", "platform", "model" },
            { { "account", "13800000001" } } },
        { "reset password",
            [](auto& d) {
                return ORBSysContrl::resetPwd("13800000001", "new-one", "0000", d.self(), d.success(), d.fail());
            },
            "combine/sys", "10004",
            { "cmd", "account", "psw", "verCode", "appVersion", "sysVersion", "platform", "model" },
            { { "psw", "new-one" }, { "verCode", "0000" } } },
        { "time password",
            [](auto& d) { return ORBSysContrl::getTimePwd("13800000001", d.self(), d.success(), d.fail()); },
            "combine/sys", "10005", { "cmd", "account", "appVersion", "sysVersion", "platform", "model" }, {} },
        // "account" is the remembered login name.
        { "change password",
            [](auto& d) { return ORBSysContrl::changePwd("not-it", "next", d.self(), d.success(), d.fail()); },
            "combine/sys", "10007",
            { "cmd", "userId", "accountType", "schoolId", "account", "areaAbb", "oldPsw", "newPsw", "appVersion",
                "sysVersion", "platform", "model" },
            { { "account", "13800000001" }, { "oldPsw", "not-it" }, { "newPsw", "next" } } },
        { "profile without a photo",
            [](auto& d) { return ORBSysContrl::submitUserName("李建国", "", d.self(), d.success(), d.fail()); },
            "combine/sys", "10006",
            { "cmd", "userId", "accountType", "schoolId", "areaAbb", "userName", "file", "appVersion", "sysVersion",
                "platform", "model" },
            { { "userName", "李建国" }, { "file", "" } } },
        { "feedback",
            [](auto& d) {
                return ORBFeedbackControl::FeedbackWithDelegate(d.self(), d.success(), d.fail(),
                    Dictionary { { "parentId", 0 }, { "content", "建议 & 意见" }, { "serviceId", 1 } });
            },
            "combine/sys", "10022",
            { "cmd", "userId", "schoolId", "accountType", "areaAbb", "parentId", "content", "serviceId" },
            { { "content", "建议 & 意见" } } },
        { "CTD business",
            [](auto& d) {
                return ORBCallNumberControl::checkTeacherBusinessWithDelegate(d.self(), d.success(), d.fail());
            },
            "combine/ctd", "70001", { "cmd", "userId", "schoolId", "accountType", "areaAbb" }, {} },
        { "CTD history",
            [](auto& d) {
                return ORBCallNumberControl::checkHistoryWithDelegate(d.self(), d.success(), d.fail(), Value(2));
            },
            "combine/ctd", "70002", { "cmd", "userId", "schoolId", "accountType", "areaAbb", "page" },
            { { "page", 2 } } },
        { "dial",
            [](auto& d) {
                return ORBCallNumberControl::clickDialWithDelegate(d.self(), d.success(), d.fail(),
                    Dictionary { { "linkId", 3001 }, { "type", 2 }, { "phone", "13900003001" } });
            },
            "combine/ctd", "70003",
            { "cmd", "userId", "schoolId", "accountType", "areaAbb", "linkId", "type", "phone" },
            { { "phone", "13900003001" } } },
        { "hang up",
            [](auto& d) {
                return ORBCallNumberControl::stopDialWithDelegate(d.self(), d.success(), d.fail(),
                    Dictionary { { "linkId", 3001 }, { "type", 2 }, { "phone", "13900003001" } });
            },
            "combine/ctd", "70004",
            { "cmd", "userId", "schoolId", "accountType", "areaAbb", "linkId", "type", "phone" }, {} },
    };
    for (const PostCase& c : cases) {
        SCOPED_TRACE(c.name);
        standin().requests().clear();
        BuilderOutcome outcome = run(c.build);
        EXPECT_EQ(outcome.finished, 1) << "the success selector hears of every reply";
        auto request = lastRequest();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.route, c.route);
        EXPECT_EQ(request.command, c.cmd);
        ASSERT_TRUE(request.json && request.json->isDictionary()) << request.body;
        EXPECT_EQ(keysInOrder(*request.json), c.keys);
        for (const auto& [key, value] : c.values)
            EXPECT_EQ((*request.json)[key], value) << key << ": " << (*request.json)[key].description();
        const Value& body = *request.json;
        if (body.asDictionary()->contains("userId")) {
            EXPECT_EQ(body["userId"], Value(a.uid));
            EXPECT_EQ(body["schoolId"], Value(a.schoolUid));
            EXPECT_EQ(body["accountType"], Value(a.type));
        }
        if (body.asDictionary()->contains("areaAbb")) {
            EXPECT_EQ(body["areaAbb"], Value(a.region));
        }
        if (body.asDictionary()->contains("platform")) {
            EXPECT_EQ(body["platform"], Value(platform::SystemInfo::systemName()));
        }
        EXPECT_EQ(request.header("Content-Type").value_or(""), "") << "a raw JSON body, no form type";
    }
}

TEST_F(Builders, TheStateReportSendsOnlyWhatIsNotReportedYet)
{
    signIn();
    std::vector<std::shared_ptr<MessageInfo>> messages;
    const std::vector<std::pair<int, int>> states { { 1, 0 }, { 1, 1 }, { 2, 1 }, { 2, 2 }, { 0, 0 } };
    for (std::size_t i = 0; i < states.size(); ++i) {
        auto m = std::make_shared<MessageInfo>();
        m->uid = "M" + std::to_string(i + 1);
        m->state = states[i].first;
        m->remoteState = states[i].second;
        messages.push_back(m);
    }
    run([&](auto& d) { return ORBRivuContrl::setMessageState(messages, d.self(), d.success(), d.fail()); });
    auto request = lastRequest();
    EXPECT_EQ(request.command, "20105");
    EXPECT_EQ(request.bodyValue("hasSend"), Value(Array { "M1" }));
    EXPECT_EQ(request.bodyValue("hasRead"), Value(Array { "M3" }));

    run([&](auto& d) { return ORBRivuContrl::setMessageState({}, d.self(), d.success(), d.fail()); });
    auto empty = lastRequest();
    EXPECT_EQ(empty.bodyValue("hasSend"), Value(Array {}));
    EXPECT_EQ(empty.bodyValue("hasRead"), Value(Array {}));
}

TEST_F(Builders, WithNobodySignedInTheSessionKeysAreZeroAndTheAreaIsLeftOut)
{
    run([](auto& d) { return ORBRivuContrl::messageNewWithDelegate(d.self(), d.success(), d.fail()); });
    auto request = lastRequest();
    ASSERT_TRUE(request.json);
    EXPECT_EQ(keysInOrder(*request.json),
        (std::vector<std::string> {
            "cmd", "userId", "schoolId", "accountType", "appVersion", "sysVersion", "platform", "model" }));
    EXPECT_EQ(request.bodyValue("userId"), Value(0));
    EXPECT_EQ(request.bodyValue("schoolId"), Value(0));
    EXPECT_EQ(request.bodyValue("accountType"), Value(0));
}

TEST_F(Builders, AbsentValuesAreLeftOutRatherThanSentEmpty)
{
    auto session = signIn();
    ASSERT_TRUE(session);
    // An account without an area abbreviation, and messages without text.
    MyAccountInfo::currentAccount()->region.clear();
    MessageInfo voiceOnly;
    auto post = std::make_shared<WeiboInfo>();
    post->classId = 101;
    auto homework = std::make_shared<HomeWorkInfo>();
    homework->classId = 102;
    Array clip { sound("http://a/1.amr", 4) };

    const std::vector<std::function<ORBBuilderRequest(BuilderDelegate&)>> builds {
        [&](auto& d) { return ORBRivuContrl::sendMessage(voiceOnly, clip, {}, d.self(), d.success(), d.fail()); },
        [&](auto& d) { return ORBNavControl::sendWeibo(*post, {}, d.self(), d.success(), d.fail()); },
        [&](auto& d) { return ORBNavControl::sendHomeWork(*homework, {}, d.self(), d.success(), d.fail()); },
        [](auto& d) { return ORBRivuContrl::messageNewWithDelegate(d.self(), d.success(), d.fail()); },
    };
    for (const auto& build : builds) {
        run(build);
        auto request = lastRequest();
        ASSERT_TRUE(request.json) << request.path;
        const auto keys = keysInOrder(*request.json);
        const std::string cmd = request.bodyValue("cmd").stringValue();
        EXPECT_EQ(std::count(keys.begin(), keys.end(), "areaAbb"), 0) << cmd;
        EXPECT_EQ(std::count(keys.begin(), keys.end(), "content"), 0) << cmd;
        EXPECT_EQ(std::count(keys.begin(), keys.end(), "userId"), 1) << cmd;
    }
}

TEST_F(Builders, SignInSendsNoAccountKeysAndThePushTokenOnlyWhenKnown)
{
    const std::vector<std::string> keys { "cmd", "account", "psw", "appVersion", "appId", "sysVersion", "platform",
        "model" };
    run([](auto& d) {
        return ORBSysContrl::loginWithAccount(kTeacherLogin, kTeacherPassword, d.self(), d.success(), d.fail());
    });
    auto first = lastRequest();
    ASSERT_TRUE(first.json);
    EXPECT_EQ(keysInOrder(*first.json), keys);
    EXPECT_EQ(first.bodyValue("psw"), Value(kTeacherPassword));
    EXPECT_EQ((*platform::PlatformJson::read(first.body))["resultState"], Value()) << "the body is the request's";

    MyAccountInfo::setDeviceToken("a1b2c3d4");
    run([](auto& d) {
        return ORBSysContrl::loginWithAccount(kTeacherLogin, kTeacherPassword, d.self(), d.success(), d.fail());
    });
    auto second = lastRequest();
    ASSERT_TRUE(second.json);
    EXPECT_EQ(keysInOrder(*second.json), plus(keys, { "pushToken" }));
    EXPECT_EQ(second.bodyValue("pushToken"), Value("a1b2c3d4"));
}

TEST_F(Builders, TemplateRequestsSendTheNewestStoredTimeOnlyWhenThereIsOne)
{
    signIn();
    run([](auto& d) {
        return ORBMessageTemplateControl::getMessageTemplateTypeDelegate(d.self(), d.success(), d.fail());
    });
    auto types = lastRequest();
    EXPECT_EQ(types.command, "20106");
    EXPECT_EQ(types.route, "combine/rivu");
    ASSERT_TRUE(types.json);
    EXPECT_EQ(
        keysInOrder(*types.json), (std::vector<std::string> { "cmd", "userId", "schoolId", "accountType", "areaAbb" }));

    // Once the store holds templates, the newest time goes with the request.
    {
        MessageTemplateFactory store;
        auto stored = std::make_shared<MessageTemplateInfo>();
        stored->msgId = 7;
        stored->msgInfo = "祝节日快乐";
        stored->dateTime = "2024-04-05 08:00:00";
        ASSERT_TRUE(store.setMessageTemplateContents({ stored }));
    }
    run([](auto& d) {
        return ORBMessageTemplateControl::getMessageTemplateContentDelegate(d.self(), d.success(), d.fail());
    });
    auto contents = lastRequest();
    EXPECT_EQ(contents.command, "20107");
    EXPECT_EQ(contents.bodyValue("dateTime"), Value("2024-04-05 08:00:00"));
}

// One GET builder: its path and its decoded query in order.
struct QueryCase {
    const char* name;
    std::function<ORBBuilderRequest(BuilderDelegate&)> build;
    const char* route;
    std::vector<std::pair<std::string, std::string>> query;
};

TEST_F(Builders, EveryQueryKeepsItsOrderAndEveryValueArrivesAsTyped)
{
    auto session = signIn();
    ASSERT_TRUE(session);
    const AccountInfo& a = *session->current();
    const std::string school = std::to_string(a.schoolUid);
    const std::string uid = std::to_string(a.uid);
    const std::string type = std::to_string(a.type);
    const std::string& area = a.region;
    const std::string hostile = "语文 & 数学=满分 #1 + 100% ?/ \"引号\" '撇号' 😀";
    auto notice = std::make_shared<NoticeInfo>();
    notice->startDate = "2024-05-01 08:00";
    notice->endDate = "2024-05-02";
    notice->title = "通知：春游 & 秋游";
    notice->content = "a=b&c=d #不是锚点";
    notice->classId = 101;

    std::vector<QueryCase> cases {
        { "SMS history, hostile key",
            [&](auto& d) {
                return ORBNavControl::getSMSHistoryWithDelegate(d.self(), hostile, 1, 20, 2, d.success(), d.fail());
            },
            "webapp/messagehis/list",
            { { "schoolId", school }, { "userId", uid }, { "accountType", type }, { "teacherId", uid },
                { "areaAbb", area }, { "key", hostile }, { "type", "2" }, { "page", "1" }, { "pageSize", "20" } } },
        { "SMS history, empty key",
            [](auto& d) {
                return ORBNavControl::getSMSHistoryWithDelegate(d.self(), "", 2, 10, 1, d.success(), d.fail());
            },
            "webapp/messagehis/list",
            { { "schoolId", school }, { "userId", uid }, { "accountType", type }, { "teacherId", uid },
                { "areaAbb", area }, { "key", "" }, { "type", "1" }, { "page", "2" }, { "pageSize", "10" } } },
        { "open CTD", [](auto& d) { return ORBNavControl::openCTDWithDelegate(d.self(), d.success(), d.fail()); },
            "web/ctd/butCtd", { { "areaAbb", area }, { "accountType", type }, { "userId", uid } } },
        { "comment a post",
            [&](auto& d) {
                return ORBNavControl::commentWeiboWithDelegate(
                    d.self(), d.success(), d.fail(), Dictionary { { "weiboId", 9001 }, { "comment", hostile } });
            },
            "webapp/jxq/sendComment",
            { { "areaAbb", area }, { "userId", uid }, { "userType", type }, { "userName", a.name },
                { "device", platform::SystemInfo::systemName() }, { "weiboId", "9001" }, { "comment", hostile } } },
        { "class notice", [&](auto& d) { return ORBNavControl::sendNotice(*notice, d.self(), d.success(), d.fail()); },
            "webapp/notice/add",
            { { "schoolId", school }, { "teacherId", uid }, { "startDate", "2024-05-01 08:00" },
                { "endDate", "2024-05-02" }, { "title", "通知：春游 & 秋游" }, { "content", "a=b&c=d #不是锚点" },
                { "classId", "101" }, { "areaAbb", area } } },
        { "online service",
            [&](auto& d) {
                return ORBNavControl::sendOnlineServiceWithDelegate(
                    d.self(), d.success(), d.fail(), Dictionary { { "content", hostile }, { "isNeedReply", 1 } });
            },
            "webapp/servicemsg/new",
            { { "schoolId", school }, { "areaAbb", area }, { "teacherId", uid }, { "content", hostile },
                { "isNeedReply", "1" } } },
        { "class list",
            [](auto& d) { return ORBNavControl::getClassListWithDelegate(d.self(), d.success(), d.fail()); },
            "webapp/base/tea/class_list", { { "schoolId", school }, { "teacherId", uid } } },
        { "album list",
            [](auto& d) {
                return ORBNavControl::albumListWithDelegate(
                    d.self(), d.success(), d.fail(), Dictionary { { "page", 2 }, { "pageSize", "12" } });
            },
            "webapp/photoAlbum/list",
            { { "schoolId", school }, { "userId", uid }, { "accountType", type }, { "areaAbb", area }, { "page", "2" },
                { "pageSize", "12" } } },
        { "timetable",
            [](auto& d) { return ORBNavControl::getScheduleWithDelegate(d.self(), 101, 3, d.success(), d.fail()); },
            "webapp/classcourse/list",
            { { "schoolId", school }, { "classId", "101" }, { "areaAbb", area }, { "weekDay", "3" }, { "userId", uid },
                { "accountType", type } } },
        // "pageSize" before "page", and the type last.
        { "comment history",
            [](auto& d) {
                return ORBCommentStudent::commentHistoryWidthDelegate(d.self(), d.success(), d.fail(),
                    Dictionary { { "studentId", 4001 }, { "pageSize", 12 }, { "page", 1 }, { "type", 1 } });
            },
            "webapp/stucomment/single_list",
            { { "schoolId", school }, { "studentId", "4001" }, { "areaAbb", area }, { "pageSize", "12" },
                { "page", "1" }, { "accountType", type }, { "userId", uid }, { "type", "1" } } },
        { "all classes",
            [](auto& d) { return ORBCommentStudent::allClassesInfoWithDelegate(d.self(), d.success(), d.fail()); },
            "webapp/base/tea/class_list", { { "schoolId", school }, { "teacherId", uid } } },
        { "family's students",
            [](auto& d) { return ORBCommentStudent::studentInfoWithDelegate(d.self(), d.success(), d.fail()); },
            "webapp/stucomment/stuinfo", { { "schoolId", school }, { "familyId", uid }, { "areaAbb", area } } },
        { "class's students",
            [](auto& d) {
                return ORBCommentStudent::allStudentsInfoWithDelegate(
                    d.self(), d.success(), d.fail(), Dictionary { { "classId", 101 } });
            },
            "webapp/stucomment/stu_list", { { "schoolId", school }, { "classId", "101" }, { "areaAbb", area } } },
        { "suggested comments",
            [](auto& d) {
                return ORBCommentStudent::allSuggestCommentsInfoWithDelegate(
                    d.self(), d.success(), d.fail(), Dictionary { { "classId", 102 } });
            },
            "webapp/stucomment/comment_list", { { "schoolId", school }, { "classId", "102" }, { "areaAbb", area } } },
    };
    for (const QueryCase& c : cases) {
        SCOPED_TRACE(c.name);
        standin().requests().clear();
        BuilderOutcome outcome = run(c.build);
        EXPECT_EQ(outcome.finished, 1);
        auto request = lastRequest();
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.route, c.route);
        EXPECT_EQ(request.query, c.query) << request.queryString;
        EXPECT_TRUE(request.body.empty());
    }
}

TEST_F(Builders, PasswordsAreMaskedInEveryLogLine)
{
    signIn();
    platform::UserDefaults::standard()->setObject(Value("13800000001"), "account");
    platform::LogCapture capture;
    run([](auto& d) {
        return ORBSysContrl::loginWithAccount(kTeacherLogin, "secret-one", d.self(), d.success(), d.fail());
    });
    run([](auto& d) { return ORBSysContrl::changePwd("secret-two", "secret-three", d.self(), d.success(), d.fail()); });
    run([](auto& d) {
        return ORBSysContrl::resetPwd(kTeacherLogin, "secret-four", "0000", d.self(), d.success(), d.fail());
    });
    EXPECT_TRUE(capture.contains("dict："));
    EXPECT_TRUE(capture.contains("params:"));
    for (const char* secret : { "secret-one", "secret-two", "secret-three", "secret-four" })
        EXPECT_FALSE(capture.contains(secret)) << secret;
    // The server still received them.
    EXPECT_EQ(lastRequest().bodyValue("psw"), Value("secret-four"));
}

TEST_F(Builders, ABodyThatCannotBeWrittenFailsWithoutSending)
{
    standin().requests().clear();
    BuilderOutcome outcome = run([](auto& d) {
        return ORBSysContrl::loginWithAccount(kTeacherLogin, "bad\xff", d.self(), d.success(), d.fail());
    });
    EXPECT_EQ(outcome.failed, 1);
    EXPECT_EQ(outcome.finished, 0);
    ASSERT_TRUE(outcome.error);
    EXPECT_NE(outcome.error->localizedDescription().find("password"), std::string::npos);
    EXPECT_TRUE(requests().empty());
}

} // namespace

namespace {

TEST_F(Builders, ThePollBringsPhotosVoiceAndGroupSendCountsAndTheReportIsKept)
{
    // A parent writes to the teacher with a photo and a voice clip; the
    // server keeps it for the teacher's next poll.
    signIn(kParentLogin, kParentPassword);
    auto teacher = std::make_shared<ContactInfo>();
    teacher->uid = 2001;
    teacher->type = 1;
    MessageInfo note;
    note.contact = teacher;
    note.content = "请假条见照片 & 语音说明";
    note.photosInfo = { photo("http://p/note.jpg", "http://p/note-s.jpg") };
    note.soundsInfo = { sound("http://a/note.amr", 6) };
    BuilderOutcome written
        = run([&](auto& d) { return ORBAddressContrl::sendMessage(note, d.self(), d.success(), d.fail()); });
    ASSERT_EQ(written.finished, 1);
    auto stored = platform::PlatformJson::read(written.request->responseString().value_or(""));
    ASSERT_TRUE(stored && (*stored)["msgId"].isString()) << written.request->responseString().value_or("");

    signIn();
    BuilderOutcome poll
        = run([](auto& d) { return ORBRivuContrl::messageNewWithDelegate(d.self(), d.success(), d.fail()); });
    ASSERT_EQ(poll.finished, 1);
    auto reply = platform::PlatformJson::read(poll.request->responseString().value_or(""));
    ASSERT_TRUE(reply && (*reply)["items"].isArray());
    std::vector<std::shared_ptr<MessageInfo>> messages;
    bool photoKept = false;
    bool voiceKept = false;
    for (const Value& item : *(*reply)["items"].asArray()) {
        auto message = MessageInfo::messageWithObj(item);
        ASSERT_TRUE(message) << item.description();
        EXPECT_TRUE(message->contact) << item.description();
        if (item["msgId"] == (*stored)["msgId"]) {
            EXPECT_EQ(item["content"], Value("请假条见照片 & 语音说明"));
            photoKept = item["images"][0]["original"] == Value("http://p/note.jpg");
            voiceKept = item["audios"][0]["seconds"] == Value(6);
        }
        message->state = MessageInfo::kStateRead; // the teacher opens both
        messages.push_back(message);
    }
    EXPECT_TRUE(photoKept);
    EXPECT_TRUE(voiceKept);
    const Value& groups = (*reply)["groupsendstat"];
    ASSERT_GT(groups.count(), 0u);
    int recipients = groups[0]["msgReadCount"].intValue() + groups[0]["msgUnReadCount"].intValue();
    EXPECT_GT(recipients, 0);
    EXPECT_EQ(groups[0]["smsSuccessCount"].intValue() + groups[0]["smsUnSuccessCount"].intValue(), recipients);

    // The read report is kept: the same messages are not delivered again and
    // their senders' next poll of group states would see them read.
    BuilderOutcome report
        = run([&](auto& d) { return ORBRivuContrl::setMessageState(messages, d.self(), d.success(), d.fail()); });
    ASSERT_EQ(report.finished, 1);
    EXPECT_EQ(lastRequest().bodyValue("hasRead").count(), messages.size());
    auto answer = platform::PlatformJson::read(report.request->responseString().value_or(""));
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["resultState"], Value(1));
    BuilderOutcome again
        = run([](auto& d) { return ORBRivuContrl::messageNewWithDelegate(d.self(), d.success(), d.fail()); });
    auto second = platform::PlatformJson::read(again.request->responseString().value_or(""));
    ASSERT_TRUE(second);
    EXPECT_EQ((*second)["items"].count(), 0u);
}

} // namespace
