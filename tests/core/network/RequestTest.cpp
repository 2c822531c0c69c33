// What the dispatcher sends, read back from the stand-in server's request log.
#include "core/model/HomeWorkInfo.h"
#include "core/model/NoticeInfo.h"
#include "core/model/PhotoInfo.h"
#include "core/model/WeiboInfo.h"
#include "core/network/ORBNetworkHelper.h"
#include "platform/os/Bundle.h"
#include "platform/os/Log.h"
#include "platform/os/SystemInfo.h"
#include "tests/core/network/DispatcherFixture.h"

#include <set>

using namespace dispatchertest;
using platform::Array;
using platform::Dictionary;
using platform::Value;

namespace {

const std::set<std::string> kClientFields { "appVersion", "sysVersion", "platform", "model" };
const std::set<std::string> kAccountFields { "userId", "userName", "schoolId", "accountType", "areaAbb" };

std::set<std::string> keysOf(const Value& body)
{
    std::set<std::string> keys;
    if (auto* dictionary = body.asDictionary()) {
        for (const auto& entry : *dictionary)
            keys.insert(entry.first);
    }
    return keys;
}

std::shared_ptr<core::PhotoInfo> photo(std::string url, std::string thumb)
{
    auto p = std::make_shared<core::PhotoInfo>();
    p->url = std::move(url);
    p->thumbUrl = std::move(thumb);
    return p;
}

struct CommandCase {
    int type;
    const char* route;
    const char* cmd; // empty: no "cmd"
    Dictionary params;
    Dictionary expected; // the type's own keys with the values they must carry
};

std::vector<CommandCase> signedInCommands()
{
    auto post = std::make_shared<core::WeiboInfo>();
    post->classId = 101;
    post->content = "春游 & 秋游";
    auto homework = std::make_shared<core::HomeWorkInfo>();
    homework->classId = 102;
    homework->className = "三年级(2)班";
    homework->subject = "数学";
    homework->subjectId = 2;
    homework->content = "练习册第 3 页";
    homework->dateTime = "2024-05-06";
    Array twoPhotos { photo("http://p/1.jpg", "http://p/1s.jpg"), photo("http://p/2.jpg", "http://p/2s.jpg") };

    return {
        { 1, "combine/sys", "10002", {}, {} },
        { 2, "combine/sys", "10003", { { "account", "13800000001" } }, { { "account", "13800000001" } } },
        { 3, "combine/sys", "10004", { { "account", "13800000001" }, { "psw", "x" }, { "verCode", "0000" } },
            { { "account", "13800000001" }, { "psw", "x" }, { "verCode", "0000" } } },
        { 4, "combine/sys", "10011", { { "validate", "1234" }, { "mobile", "13800000001" } },
            { { "validate", "1234" }, { "mobile", "13800000001" } } },
        { 5, "combine/sys", "10005", { { "account", "13800000001" } }, { { "account", "13800000001" } } },
        { 6, "combine/sys", "10006", { { "userName", "李建国" }, { "file", "http://p/a.jpg" } },
            { { "userName", "李建国" }, { "file", "http://p/a.jpg" } } },
        { 6, "combine/sys", "10006", { { "userName", "李建国" } }, { { "userName", "李建国" }, { "file", "" } } },
        { 6, "combine/sys", "10006", { { "userName", "李建国" }, { "file", "" } },
            { { "userName", "李建国" }, { "file", "" } } },
        { 7, "combine/sys", "10007", { { "account", "13800000001" }, { "oldPwd", "not-it" }, { "newPwd", "n" } },
            { { "account", "13800000001" }, { "oldPsw", "not-it" }, { "newPsw", "n" } } },
        { 8, "combine/sys", "10008", { { "updateTime", "2024-01-01" } }, { { "updateTime", "2024-01-01" } } },
        { 9, "combine/sys", "10009", { { "navId", 3 }, { "status", 1 } }, { { "navId", 3 }, { "status", 1 } } },
        { 10, "combine/sys", "10010", { { "intUserType", 1 }, { "mobile", "13800000001" } },
            { { "intUserType", 1 }, { "mobile", "13800000001" } } },
        { 11, "combine/address", "30106", {}, {} },
        { 12, "combine/rivu", "20101", {}, {} },
        { 13, "combine/sys", "", { { "account", "ignored" } }, {} },
        { 14, "combine/html5", "40001", { { "updateTime", "" } }, { { "updateTime", "" } } },
        { 15, "combine/html5", "40101",
            { { "weiboInfo", post },
                { "files",
                    Array { photo("http://p/1.jpg", ""), photo("http://p/2.jpg", "http://p/2s.jpg"),
                        photo("", "http://p/3s.jpg"), photo("http://p/4.jpg", "http://p/4s.jpg") } } },
            { { "pubType", 101 }, { "content", "春游 & 秋游" },
                { "images",
                    Array { Dictionary { { "original", "http://p/2.jpg" }, { "thumb", "http://p/2s.jpg" } },
                        Dictionary { { "original", "http://p/4.jpg" }, { "thumb", "http://p/4s.jpg" } } } } } },
        // Photos without both addresses leave "images" out altogether.
        { 15, "combine/html5", "40101", { { "weiboInfo", post }, { "files", Array { photo("http://p/1.jpg", "") } } },
            { { "pubType", 101 }, { "content", "春游 & 秋游" } } },
        { 16, "combine/html5", "40102", { { "weiboId", 9001 } }, { { "weiboId", 9001 } } },
        { 17, "combine/html5", "40302", {}, {} },
        { 18, "combine/html5", "40401",
            { { "studentIds", "4001,4002" }, { "comment", "很好" }, { "rank", 3 }, { "flag", 1 }, { "classId", 101 } },
            { { "studentIdsStr", "4001,4002" }, { "comment", "很好" }, { "rank", 3 }, { "flag", 1 },
                { "classId", 101 } } },
        // Only the first photo goes with a homework, at the top of the body.
        { 19, "combine/html5", "40301", { { "homework", homework }, { "files", twoPhotos } },
            { { "original", "http://p/1.jpg" }, { "thumb", "http://p/1s.jpg" }, { "classId", 102 },
                { "className", "三年级(2)班" }, { "subject", "数学" }, { "subjectId", 2 },
                { "content", "练习册第 3 页" }, { "dateTime", "2024-05-06" } } },
        { 19, "combine/html5", "40301",
            { { "homework", homework }, { "files", Array { photo("http://p/1.jpg", ""), twoPhotos[1] } } },
            { { "classId", 102 }, { "className", "三年级(2)班" }, { "subject", "数学" }, { "subjectId", 2 },
                { "content", "练习册第 3 页" }, { "dateTime", "2024-05-06" } } },
        { 20, "combine/html5", "40201",
            { { "isCreate", true }, { "description", "d" }, { "ablum", "运动会" }, { "belongto", "101" },
                { "files", twoPhotos } },
            { { "description", "d" }, { "album", "运动会" }, { "belongto", "101" },
                { "photos", "http://p/1.jpg,http://p/2.jpg" } } },
        { 20, "combine/html5", "40202",
            { { "isCreate", false }, { "description", "d" }, { "albumId", 7 }, { "files", Array { photo("", "t") } } },
            { { "description", "d" }, { "albumId", 7 }, { "photos", "" } } },
        { 21, "combine/magazine", "50001", { { "updateTime", "" } }, { { "updateTime", "" } } },
        { 22, "combine/magazine", "50002", { { "postId", 4 }, { "magazineId", 1 } },
            { { "postId", 4 }, { "magazineId", 1 } } },
        { 23, "combine/magazine", "50003", { { "postId", 4 } }, { { "postId", 4 } } },
        { 35, "combine/jxsp", "60001", { { "gradeBank", 3 } }, { { "gradeBank", 3 } } },
        { 36, "combine/jxsp", "60002", {}, {} },
        { 37, "combine/jxsp", "60006", {}, {} },
        { 38, "combine/jxsp", "60003", { { "gradeBank", 3 }, { "subjectId", 2 }, { "page", 1 } },
            { { "gradeBank", 3 }, { "subjectId", 2 }, { "page", 1 } } },
        { 39, "combine/jxsp", "60004", { { "videoId", 5 } }, { { "videoId", 5 } } },
        { 40, "combine/jxsp", "60005", { { "source", 1 }, { "page", 2 } }, { { "source", 1 }, { "page", 2 } } },
        { 41, "combine/jxsp", "60008", { { "videoId", 5 }, { "page", 1 } }, { { "videoId", 5 }, { "page", 1 } } },
        { 42, "combine/jxsp", "60007", { { "videoId", 5 }, { "content", "好课" }, { "score", 5 } },
            { { "videoId", 5 }, { "content", "好课" }, { "score", 5 } } },
        { 43, "combine/html5", "40401", { { "saleModalId", 2 } }, { { "saleModalId", 2 } } },
        { 44, "combine/sys", "10022", { { "parentId", 0 }, { "content", "建议" }, { "serviceId", 1 } },
            { { "parentId", 0 }, { "content", "建议" }, { "serviceId", 1 } } },
        { 45, "combine/ctd", "70001", {}, {} },
        { 46, "combine/ctd", "70002", { { "page", 1 } }, { { "page", 1 } } },
        { 47, "combine/ctd", "70003", { { "linkId", 3001 }, { "type", 2 }, { "phone", "13800000002" } },
            { { "linkId", 3001 }, { "type", 2 }, { "phone", "13800000002" } } },
        { 48, "combine/ctd", "70004", { { "linkId", 3001 }, { "type", 2 }, { "phone", "13800000002" } },
            { { "linkId", 3001 }, { "type", 2 }, { "phone", "13800000002" } } },
        { 49, "combine/html5", "40501", {}, {} },
        { 53, "combine/html5", "40103", { { "weiboId", 9001 } }, { { "weiboId", 9001 } } },
        { 54, "combine/address", "30107", {}, {} },
        // Numbers that name no command post the common fields alone.
        { 24, "combine/sys", "", { { "classId", 1 } }, {} },
        { -1, "combine/sys", "", {}, {} },
        { 55, "combine/sys", "", {}, {} },
    };
}

TEST_F(DispatcherTest, EveryCommandGoesToItsModuleWithItsCodeAndKeys)
{
    auto session = signIn();
    ASSERT_TRUE(session);
    const auto& account = *session->current();
    for (const CommandCase& c : signedInCommands()) {
        SCOPED_TRACE("type " + std::to_string(c.type) + " cmd " + c.cmd);
        standin().requests().clear();
        Outcome outcome = post(c.type, c.params);
        EXPECT_TRUE(outcome.done());
        auto logged = requests();
        ASSERT_EQ(logged.size(), 1u);
        const auto& request = logged.front();
        EXPECT_EQ(request.method, "POST");
        EXPECT_EQ(request.route, c.route);
        ASSERT_TRUE(request.json && request.json->isDictionary()) << request.body;
        const Value& body = *request.json;
        EXPECT_EQ(request.command, c.cmd);
        EXPECT_EQ(body.asDictionary()->contains("cmd"), *c.cmd != '\0');

        std::set<std::string> expectedKeys = kClientFields;
        expectedKeys.insert(kAccountFields.begin(), kAccountFields.end());
        if (*c.cmd)
            expectedKeys.insert("cmd");
        for (const auto& [key, value] : c.expected) {
            expectedKeys.insert(key);
            EXPECT_EQ(body[key], value) << key << ": " << body[key].description();
        }
        EXPECT_EQ(keysOf(body), expectedKeys);

        EXPECT_EQ(
            body["appVersion"], platform::Bundle::main()->objectForInfoDictionaryKey(platform::kBundleVersionKey));
        EXPECT_EQ(body["sysVersion"], Value(platform::SystemInfo::systemVersion()));
        EXPECT_EQ(body["platform"], Value(platform::SystemInfo::systemName()));
        EXPECT_EQ(body["model"], Value(platform::SystemInfo::model()));
        EXPECT_EQ(body["userId"], Value(account.uid));
        EXPECT_EQ(body["schoolId"], Value(account.schoolUid));
        EXPECT_EQ(body["accountType"], Value(account.type));
        EXPECT_EQ(body["areaAbb"], Value(account.region));
        if (!c.expected.contains("userName")) {
            EXPECT_EQ(body["userName"], Value(account.name));
        }
    }
}

TEST_F(DispatcherTest, BeforeSignInCommandsCarryNoAccountFields)
{
    struct Case {
        int type;
        const char* cmd;
        Dictionary params;
    };
    for (const Case& c : std::vector<Case> { { 0, "10001", { { "account", "13800000001" }, { "psw", "wrong" } } },
             { 4, "10011", { { "validate", "1" }, { "mobile", "13800000001" } } },
             { 5, "10005", { { "account", "13800000001" } } },
             { 10, "10010", { { "intUserType", 1 }, { "mobile", "13800000001" } } }, { 13, "", {} } }) {
        SCOPED_TRACE(c.type);
        standin().requests().clear();
        EXPECT_TRUE(post(c.type, c.params).done());
        auto request = lastRequest();
        EXPECT_EQ(request.route, "combine/sys");
        EXPECT_EQ(request.command, c.cmd);
        for (const auto& key : kAccountFields)
            EXPECT_FALSE(request.json && request.json->asDictionary()->contains(key)) << key;
        for (const auto& key : kClientFields)
            EXPECT_TRUE(request.json && request.json->asDictionary()->contains(key)) << key;
    }
}

TEST_F(DispatcherTest, SignInSendsThePushTokenOnlyWhenKnown)
{
    post(0, Dictionary { { "account", kTeacherLogin }, { "psw", kTeacherPassword } });
    auto first = lastRequest();
    ASSERT_TRUE(first.json);
    EXPECT_EQ(keysOf(*first.json),
        (std::set<std::string> { "appVersion", "sysVersion", "platform", "model", "cmd", "account", "psw", "appId" }));
    EXPECT_EQ(first.bodyValue("appId"), platform::Bundle::main()->objectForInfoDictionaryKey("CFBundleIdentifier"));
    EXPECT_EQ(first.bodyValue("psw"), Value(kTeacherPassword));

    core::MyAccountInfo::setDeviceToken("a1b2c3d4e5f6");
    post(0, Dictionary { { "account", kTeacherLogin }, { "psw", kTeacherPassword } });
    auto second = lastRequest();
    EXPECT_EQ(second.bodyValue("pushToken"), Value("a1b2c3d4e5f6"));
}

TEST_F(DispatcherTest, SignInWithOneAccount)
{
    auto session = signIn(kParentLogin, kParentPassword);
    ASSERT_TRUE(session);
    EXPECT_TRUE(session->sessionUid() && !session->sessionUid()->empty());
    ASSERT_EQ(session->accounts()->size(), 1u);
    EXPECT_EQ(session->current()->type, 2);
    EXPECT_FALSE(session->current()->name.empty());
}

TEST_F(DispatcherTest, SignInWithTwoAccountsAndSwitchBetweenThem)
{
    auto session = signIn(kTwoChildrenLogin, kParentPassword, 0);
    ASSERT_TRUE(session);
    ASSERT_EQ(session->accounts()->size(), 2u);
    auto first = (*session->accounts())[0];
    auto second = (*session->accounts())[1];
    EXPECT_NE(first->uid, second->uid);
    EXPECT_EQ(core::MyAccountInfo::currentAccount(), first);

    post(36);
    EXPECT_EQ(lastRequest().bodyValue("userId"), Value(first->uid));
    session->setCurrent(second);
    post(36);
    EXPECT_EQ(lastRequest().bodyValue("userId"), Value(second->uid));
    get(25);
    EXPECT_EQ(lastRequest().queryValue("teacherId"), std::to_string(second->uid));
}

TEST_F(DispatcherTest, PasswordsNeverReachTheLog)
{
    platform::LogCapture capture;
    post(0, Dictionary { { "account", kTeacherLogin }, { "psw", "secret-one" } });
    signIn();
    post(7, Dictionary { { "account", kTeacherLogin }, { "oldPwd", "secret-two" }, { "newPwd", "secret-three" } });
    EXPECT_TRUE(capture.contains("request params:"));
    EXPECT_TRUE(capture.contains("request url:"));
    for (const char* secret : { "secret-one", "secret-two", "secret-three", kTeacherPassword })
        EXPECT_FALSE(capture.contains(secret)) << secret;
    // The server still got them.
    EXPECT_EQ(lastRequest().bodyValue("oldPsw"), Value("secret-two"));
}

TEST_F(DispatcherTest, APasswordThatIsNotUtf8IsNamedAndNotSent)
{
    const std::string broken = "pass\xff\xfeword";
    struct Row {
        int type;
        Dictionary params;
    };
    std::vector<Row> rows { { 0, { { "account", kTeacherLogin }, { "psw", broken } } },
        { 3, { { "account", kTeacherLogin }, { "psw", broken }, { "verCode", "1" } } },
        { 7, { { "account", kTeacherLogin }, { "oldPwd", kTeacherPassword }, { "newPwd", broken } } } };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.type);
        standin().requests().clear();
        Outcome outcome = post(row.type, row.params);
        EXPECT_EQ(outcome.failures, 1);
        EXPECT_EQ(outcome.starts, 0);
        EXPECT_EQ(outcome.failure, core::ORBNetworkHelper::kUnsendablePasswordText);
        EXPECT_TRUE(requests().empty());
    }
    // Any other text that cannot be sent is still the generic data error.
    Outcome other = post(5, Dictionary { { "account", broken } });
    EXPECT_EQ(other.failure, core::ORBNetworkHelper::kBadRequestText);
}

TEST_F(DispatcherTest, ParametersThatAreNotJsonFailWithATextAndSendNothing)
{
    signIn();
    standin().requests().clear();
    auto outcome = std::make_shared<Outcome>();
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        21, Dictionary { { "updateTime", platform::Date::now() } }, [outcome] { ++outcome->starts; },
        [outcome](const Value&) { ++outcome->successes; },
        [outcome](const std::string& message) {
            ++outcome->failures;
            outcome->failure = message;
        });
    EXPECT_FALSE(outcome->done()) << "blocks run after the call has returned";
    runUntilDone(outcome, 5);
    EXPECT_EQ(outcome->failures, 1);
    EXPECT_EQ(outcome->successes, 0);
    EXPECT_EQ(outcome->starts, 0);
    EXPECT_EQ(outcome->failure, "数据错误");
    EXPECT_TRUE(requests().empty());
}

TEST_F(DispatcherTest, QueryWithNobodySignedInFailsAtOnce)
{
    auto outcome = std::make_shared<Outcome>();
    core::ORBNetworkHelper::sharedORBNetworkHelper().getNetworkRequestWithType(
        25, {}, [outcome] { ++outcome->starts; }, [outcome](const Value&) { ++outcome->successes; },
        [outcome](const std::string& message) {
            ++outcome->failures;
            outcome->failure = message;
        });
    EXPECT_EQ(outcome->failures, 1) << "called before the operation returns";
    EXPECT_EQ(outcome->failure, "用户信息出错，请重新登录");
    runUntilDone(outcome, 0.2);
    EXPECT_EQ(outcome->starts, 0);
    EXPECT_EQ(outcome->successes, 0);
    EXPECT_TRUE(requests().empty());
}

struct QueryCase {
    int type;
    const char* path;
    Dictionary params;
    std::vector<std::pair<std::string, std::string>> query; // "@uid" and friends stand for the account's values
};

TEST_F(DispatcherTest, EveryQueryHasItsPathAndParameterOrder)
{
    auto session = signIn();
    ASSERT_TRUE(session);
    const auto& a = *session->current();
    const std::string school = std::to_string(a.schoolUid);
    const std::string uid = std::to_string(a.uid);
    const std::string type = std::to_string(a.type);
    const std::string& area = a.region;
    auto notice = std::make_shared<core::NoticeInfo>();
    notice->startDate = "2024-05-01";
    notice->endDate = "2024-05-02";
    notice->title = "通知";
    notice->content = "明天放假";
    notice->classId = 101;

    std::vector<QueryCase> cases {
        { 24, "webapp/base/tea/active_type", {}, { { "schoolId", school }, { "teacherId", uid } } },
        { 25, "webapp/base/tea/class_list", {}, { { "schoolId", school }, { "teacherId", uid } } },
        { 26, "webapp/stucomment/comment_list", { { "classId", 101 } },
            { { "schoolId", school }, { "classId", "101" }, { "areaAbb", area } } },
        { 27, "webapp/stucomment/single_list",
            { { "studentId", "4001" }, { "pageSize", 12 }, { "page", 1 }, { "type", 1 } },
            { { "schoolId", school }, { "studentId", "4001" }, { "areaAbb", area }, { "pageSize", "12" },
                { "page", "1" }, { "accountType", type }, { "userId", uid }, { "type", "1" } } },
        { 28, "webapp/jxq/sendComment", { { "weiboId", 9001 }, { "comment", "好" } },
            { { "areaAbb", area }, { "userId", uid }, { "userType", type }, { "userName", a.name },
                { "device", platform::SystemInfo::systemName() }, { "weiboId", "9001" }, { "comment", "好" } } },
        { 29, "webapp/stucomment/stu_list", { { "classId", 101 } },
            { { "schoolId", school }, { "classId", "101" }, { "areaAbb", area } } },
        { 30, "webapp/stucomment/stuinfo", {}, { { "schoolId", school }, { "familyId", uid }, { "areaAbb", area } } },
        { 31, "webapp/photoAlbum/list", { { "page", 1 }, { "pageSize", 12 } },
            { { "schoolId", school }, { "userId", uid }, { "accountType", type }, { "areaAbb", area }, { "page", "1" },
                { "pageSize", "12" } } },
        { 32, "webapp/servicemsg/new", { { "content", "咨询" }, { "isNeedReply", 1 } },
            { { "schoolId", school }, { "areaAbb", area }, { "teacherId", uid }, { "content", "咨询" },
                { "isNeedReply", "1" } } },
        { 33, "webapp/notice/add", { { "noticeInfo", notice } },
            { { "schoolId", school }, { "teacherId", uid }, { "startDate", "2024-05-01" }, { "endDate", "2024-05-02" },
                { "title", "通知" }, { "content", "明天放假" }, { "classId", "101" }, { "areaAbb", area } } },
        { 34, "webapp/classcourse/list", { { "classId", 101 }, { "week", 2 } },
            { { "schoolId", school }, { "classId", "101" }, { "areaAbb", area }, { "weekDay", "2" }, { "userId", uid },
                { "accountType", type } } },
        // The page size of the feed and of the comments is fixed.
        { 50, "webapp/jxq/weibo", { { "weiboType", 0 }, { "page", 1 }, { "pageSize", 50 } },
            { { "schoolId", school }, { "areaAbb", area }, { "accountType", type }, { "userId", uid },
                { "weiboType", "0" }, { "page", "1" }, { "pageSize", "10" } } },
        { 51, "webapp/jxq/praise", { { "weiboId", 9001 } },
            { { "areaAbb", area }, { "userId", uid }, { "userType", type }, { "weiboId", "9001" } } },
        { 52, "webapp/jxq/comment", { { "weiboId", 9001 }, { "page", 2 } },
            { { "areaAbb", area }, { "weiboId", "9001" }, { "page", "2" }, { "pageSize", "10" } } },
        // Missing integer parameters go as 0.
        { 29, "webapp/stucomment/stu_list", {}, { { "schoolId", school }, { "classId", "0" }, { "areaAbb", area } } },
    };
    for (const QueryCase& c : cases) {
        SCOPED_TRACE(c.type);
        standin().requests().clear();
        EXPECT_TRUE(get(c.type, c.params).done());
        auto request = lastRequest();
        EXPECT_EQ(request.method, "GET");
        EXPECT_EQ(request.route, c.path);
        EXPECT_EQ(request.query, c.query);
        EXPECT_TRUE(request.body.empty());
    }
}

TEST_F(DispatcherTest, QueryValuesSurviveTheTripWhateverTheyHold)
{
    signIn();
    const std::vector<std::string> texts { "a&b=c", "1+1=2", "标题 #1 & 内容", "100% ? / : @", "  spaced  out  ",
        "引号\"和'撇号'", "line\nbreak" };
    for (const std::string& text : texts) {
        SCOPED_TRACE(text);
        get(28, Dictionary { { "weiboId", 9001 }, { "comment", text } });
        auto comment = lastRequest();
        EXPECT_EQ(comment.queryValue("comment"), text);
        EXPECT_EQ(comment.query.size(), 7u) << comment.queryString;

        auto notice = std::make_shared<core::NoticeInfo>();
        notice->title = text;
        notice->content = text + "!";
        notice->startDate = "2024-05-01 08:00";
        notice->classId = 101;
        get(33, Dictionary { { "noticeInfo", notice } });
        auto sent = lastRequest();
        EXPECT_EQ(sent.queryValue("title"), text);
        EXPECT_EQ(sent.queryValue("content"), text + "!");
        EXPECT_EQ(sent.queryValue("startDate"), "2024-05-01 08:00");
        EXPECT_EQ(sent.query.size(), 8u) << sent.queryString;
        EXPECT_EQ(sent.query.back().first, "areaAbb");

        get(32, Dictionary { { "content", text }, { "isNeedReply", 0 } });
        EXPECT_EQ(lastRequest().queryValue("content"), text);
    }
}

TEST_F(DispatcherTest, BlocksRunOnceAfterTheCallReturns)
{
    signIn();
    auto outcome = std::make_shared<Outcome>();
    core::ORBNetworkHelper::sharedORBNetworkHelper().postNetworkRequestWithType(
        36, {}, [outcome] { ++outcome->starts; }, [outcome](const Value&) { ++outcome->successes; },
        [outcome](const std::string&) { ++outcome->failures; });
    EXPECT_EQ(outcome->starts + outcome->successes + outcome->failures, 0);
    runUntilDone(outcome, 10);
    EXPECT_EQ(outcome->starts, 1);
    EXPECT_EQ(outcome->successes, 1);
    EXPECT_EQ(outcome->failures, 0);
}

} // namespace
