#include "content/lessons/APIRequest.h"
#include "core/util/DateHelper.h"
#include "foundation/codec/StringMd5.h"
#include "platform/os/DateFormat.h"
#include "platform/os/NotificationCenter.h"
#include "platform/os/PlatformJson.h"
#include "platform/os/UserDefaults.h"
#include "tests/content/LessonServiceFixture.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace lessontest {
namespace {

    using content::APIRequest;
    using content::GCResultInfo;
    using content::GCUserInfo;
    using platform::Dictionary;
    using platform::Value;

    std::vector<std::string> sortedKeys(const Dictionary& dict)
    {
        auto keys = dict.keys();
        std::sort(keys.begin(), keys.end());
        return keys;
    }

    Dictionary sentBody(const std::shared_ptr<APIRequest>& request)
    {
        auto body = request->postBody();
        auto parsed = platform::PlatformJson::read(body);
        return parsed && parsed->isDictionary() ? *parsed->asDictionary() : Dictionary {};
    }

    std::shared_ptr<GCUserInfo> userWithToken(std::optional<std::string> token, int sid = 77)
    {
        auto user = std::make_shared<GCUserInfo>();
        user->uid = 9;
        user->sid = sid;
        user->name = "成长课堂家长";
        user->accessToken = std::move(token);
        return user;
    }

    platform::Bytes bytes(const std::string& text) { return platform::Bytes(text.begin(), text.end()); }

    using APIRequestSigning = LessonServiceTest;

    TEST_F(APIRequestSigning, SignsWithTheSecretDigestAndTheTokenDigestOverOneTimestamp)
    {
        APIRequest::setClock([] { return 1700000000.123; });
        auto request = APIRequest::subjectItems();
        EXPECT_EQ(request->timestamp(), 1700000000123);
        Dictionary body = sentBody(request);
        EXPECT_EQ(body.get("app_key").stringValue(), "orb3_dy_5e0c71a2d94b38f6e07a9c2d1b4f8e63");
        EXPECT_EQ(body.get("app_secret").stringValue(), "1a47012249f90b868150a873c38f11ac");
        EXPECT_EQ(body.get("timestamp"), Value(1700000000123LL));
        EXPECT_EQ(sortedKeys(body), (std::vector<std::string> { "app_key", "app_secret", "timestamp" }));

        APIRequest::setUser(userWithToken("abc"));
        auto signed_ = APIRequest::subjectItems();
        Dictionary withSession = sentBody(signed_);
        EXPECT_EQ(withSession.get("sid"), Value(77));
        EXPECT_EQ(withSession.get("access_token").stringValue(), "42e7d7805102cd00edbcb57c3ca36714");
        EXPECT_EQ(withSession.get("app_secret").stringValue(), "1a47012249f90b868150a873c38f11ac");
    }

    TEST_F(APIRequestSigning, OneRequestKeepsItsFirstTimestampAndItsBody)
    {
        double now = 1700000001.0015;
        APIRequest::setClock([&now] { return now; });
        auto request = APIRequest::requestWithAPI("lesson/items");
        // Whole milliseconds, rounded down.
        EXPECT_EQ(request->timestamp(), 1700000001001);
        now += 5;
        EXPECT_EQ(request->timestamp(), 1700000001001);
        Dictionary& first = request->params();
        Dictionary& second = request->params();
        EXPECT_EQ(&first, &second);
        EXPECT_EQ(first.get("timestamp"), Value(1700000001001LL));
        // A new request takes the time again.
        EXPECT_EQ(APIRequest::requestWithAPI("lesson/items")->timestamp(), 1700000006001);
    }

    TEST_F(APIRequestSigning, AUserWithoutTokenSignsNothingOfTheSession)
    {
        APIRequest::setUser(userWithToken(std::nullopt));
        Dictionary body = sentBody(APIRequest::livevideoItems());
        EXPECT_EQ(sortedKeys(body), (std::vector<std::string> { "app_key", "app_secret", "timestamp" }));
    }

    TEST_F(APIRequestSigning, EachOperationAddsItsOwnKeysAndLeavesOutTheMissingOnes)
    {
        EXPECT_EQ(sentBody(APIRequest::userLogin()).get("account").stringValue(), "15820473916");
        EXPECT_EQ(sentBody(APIRequest::liveVideoDetail(501)).get("uid"), Value(501));
        EXPECT_EQ(sentBody(APIRequest::lessonItems("s1")).get("subject_sid").stringValue(), "s1");
        EXPECT_FALSE(sentBody(APIRequest::lessonItems(std::nullopt)).contains("subject_sid"));

        Dictionary detail = sentBody(APIRequest::lessonDetail(101, 3001, "20240101"));
        EXPECT_EQ(detail.get("uid"), Value(101));
        EXPECT_EQ(detail.get("sfamily_id"), Value(3001));
        EXPECT_EQ(detail.get("stu_sequence").stringValue(), "20240101");
        Dictionary noSequence = sentBody(APIRequest::lessonDetail(101, 0, std::nullopt));
        EXPECT_EQ(sortedKeys(noSequence),
            (std::vector<std::string> { "app_key", "app_secret", "sfamily_id", "timestamp", "uid" }));
        EXPECT_EQ(noSequence.get("sfamily_id"), Value(0));
    }

    TEST_F(APIRequestSigning, PostsCompactJsonToTheServiceAddressWithATenSecondTimeOut)
    {
        APIRequest::setServiceBase("http://lessons.example:8123/m/");
        auto request = APIRequest::lessonDetail(101, 3001, std::nullopt);
        EXPECT_EQ(request->url().absoluteString(), "http://lessons.example:8123/m/lesson/detail_with_right.json");
        EXPECT_EQ(request->requestMethod(), "POST");
        EXPECT_DOUBLE_EQ(request->timeOutSeconds(), 10.0);
        EXPECT_EQ(request->api(), "lesson/detail_with_right");
        auto body = request->postBody();
        std::string text(body.begin(), body.end());
        EXPECT_EQ(text.find(' '), std::string::npos) << text;
        EXPECT_EQ(text.find('\n'), std::string::npos) << text;
        EXPECT_EQ(APIRequest::portalHomeAddress(), "http://lessons.example:8123");
    }

    using GCResultInfoDecoding = LessonServiceTest;

    TEST_F(GCResultInfoDecoding, ReadsTheEnvelopeAndSetsTheServerClock)
    {
        auto result = GCResultInfo::instanceWithObj(
            bytes(R"({"code":0,"message":"好","request_time":"2024-05-06 07:08:09","data":[1,2]})"));
        ASSERT_TRUE(result);
        EXPECT_TRUE(content::isSuccess(result));
        EXPECT_EQ(result->message, "好");
        EXPECT_EQ(result->data, Value(platform::Array { Value(1), Value(2) }));
        platform::DateFormatter format("yyyy-MM-dd HH:mm:ss");
        ASSERT_TRUE(result->requestTime);
        EXPECT_EQ(format.stringFromDate(*result->requestTime), "2024-05-06 07:08:09");
        EXPECT_EQ(core::DateHelper::dateNow(), result->requestTime);

        // A numeric code with an unreadable time clears the clock.
        auto later = GCResultInfo::instanceWithObj(bytes(R"({"code":3,"request_time":"yesterday"})"));
        ASSERT_TRUE(later);
        EXPECT_EQ(later->code, 3);
        EXPECT_FALSE(content::isSuccess(later));
        EXPECT_FALSE(core::DateHelper::dateNow());
    }

    TEST_F(GCResultInfoDecoding, ACodeThatIsNoNumberReadsNothingAndLeavesTheClock)
    {
        core::DateHelper::setDateNow(platform::Date::fromSeconds(1000));
        auto text = GCResultInfo::instanceWithObj(
            bytes(R"({"code":"0","message":"m","request_time":"2024-05-06 07:08:09","data":{}})"));
        ASSERT_TRUE(text);
        EXPECT_EQ(text->code, -1);
        EXPECT_FALSE(text->message);
        EXPECT_TRUE(text->data.isNull());
        EXPECT_FALSE(content::isSuccess(text));
        EXPECT_EQ(core::DateHelper::dateNow(), platform::Date::fromSeconds(1000));

        EXPECT_FALSE(GCResultInfo::instanceWithObj(bytes("[1]")));
        EXPECT_FALSE(GCResultInfo::instanceWithObj(bytes("<html>")));
        EXPECT_FALSE(GCResultInfo::instanceWithObj(std::nullopt));
    }

    // A code is the service's only when it is a whole number within the signed
    // 32-bit range; any other number is a failure whose message and data are
    // still read, never the success its low 32 bits would make it.
    TEST_F(GCResultInfoDecoding, ACodeOutsideTheIntRangeOrWithAFractionIsAFailure)
    {
        for (const char* code : { "4294967296", "-4294967296", "0.5", "-0.5", "2147483648", "-2147483649",
                 "18446744073709551616", "100000000000000000000000", "1e300", "4294967296.0", "true", "false" }) {
            auto result = GCResultInfo::instanceWithObj(bytes(std::string(R"({"code":)") + code
                + R"(,"message":"拒绝","request_time":"2024-05-06 07:08:09","data":{"sid":5}})"));
            ASSERT_TRUE(result) << code;
            EXPECT_FALSE(content::isSuccess(result)) << code;
            EXPECT_NE(result->code, 0) << code;
            EXPECT_EQ(result->message, "拒绝") << code;
            EXPECT_TRUE(result->data.isDictionary()) << code;
            EXPECT_TRUE(result->requestTime) << code;
        }
        const std::pair<const char*, int> whole[] = {
            { "0", 0 },
            { "-0", 0 },
            { "0.0", 0 },
            { "1e3", 1000 },
            { "7", 7 },
            { "2147483647", 2147483647 },
            { "-2147483648", -2147483647 - 1 },
        };
        for (const auto& [code, value] : whole) {
            auto result = GCResultInfo::instanceWithObj(bytes(std::string(R"({"code":)") + code + "}"));
            ASSERT_TRUE(result) << code;
            EXPECT_EQ(result->code, value) << code;
            EXPECT_EQ(content::isSuccess(result), value == 0) << code;
        }
    }

    TEST_F(GCResultInfoDecoding, AnEmptyMessageIsNoMessage)
    {
        auto empty = GCResultInfo::instanceWithObj(bytes(R"({"code":5,"message":""})"));
        EXPECT_EQ(content::errorText(empty, "未知错误"), "未知错误");
        auto given = GCResultInfo::instanceWithObj(bytes(R"({"code":5,"message":"课程已下架"})"));
        EXPECT_EQ(content::errorText(given, "未知错误"), "课程已下架");
        EXPECT_EQ(content::errorText(std::nullopt, "解析错误"), "解析错误");

        // A reply longer than the service's can be, or one of tiny values that
        // would take many times its length, is refused unread and says so.
        std::string zeros = R"({"code":0,"data":[0)";
        while (zeros.size() < (std::size_t { 3 } << 20))
            zeros += ",0";
        zeros += "]}";
        for (const std::string& body :
            { R"({"code":0,"message":"好","data":")" + std::string(std::size_t { 5 } << 20, 'x') + "\"}", zeros }) {
            auto refused = GCResultInfo::instanceWithObj(bytes(body));
            EXPECT_FALSE(content::isSuccess(refused)) << body.size();
            EXPECT_EQ(content::errorText(refused, "未知错误"), "数据过大，无法加载") << body.size();
        }
    }

    using PortalUserStore = LessonServiceTest;

    TEST_F(PortalUserStore, StoresTheUserAnnouncesItAndRemovesTheKeyForNone)
    {
        std::vector<Value> announced;
        auto token = platform::NotificationCenter::defaultCenter().addObserver(content::USER_DID_CHANGED_NOTIFICATION,
            Value(), [&](const platform::Notification& note) { announced.push_back(note.object); });
        auto user = userWithToken("abc");
        user->messageUnreadCount = 4;
        user->allowAnswer = true;
        user->type = 3;
        APIRequest::setUser(user);
        ASSERT_EQ(announced.size(), 1u);
        EXPECT_EQ(announced[0].objectAs<GCUserInfo>(), user);
        auto stored = platform::UserDefaults::standard()->dataForKey("private.user.data");
        ASSERT_TRUE(stored);
        auto back = GCUserInfo::unarchive(*stored);
        ASSERT_TRUE(back);
        EXPECT_EQ(back->uid, 9);
        EXPECT_EQ(back->sid, 77);
        EXPECT_EQ(back->name, "成长课堂家长");
        EXPECT_EQ(back->accessToken, "abc");
        EXPECT_TRUE(back->allowAnswer);
        EXPECT_EQ(back->type, 3);
        EXPECT_EQ(back->messageUnreadCount, 0);

        APIRequest::setUser(nullptr);
        EXPECT_EQ(announced.size(), 2u);
        EXPECT_TRUE(announced[1].isNull());
        EXPECT_FALSE(platform::UserDefaults::standard()->dataForKey("private.user.data"));
    }

    TEST_F(PortalUserStore, AStoredValueThatIsNoUserIsIgnoredAtStart)
    {
        platform::UserDefaults::standard()->setData(
            bytes(R"({"$class":"GCSubjectInfo","sid":77})"), "private.user.data");
        APIRequest::loadUser();
        EXPECT_FALSE(APIRequest::user());
        platform::UserDefaults::standard()->setData(bytes("not an archive"), "private.user.data");
        APIRequest::loadUser();
        EXPECT_FALSE(APIRequest::user());
        // Nor one longer than the reply it came from can be.
        platform::UserDefaults::standard()->setData(bytes(R"({"$class":"GCUserInfo","uid":9,"sid":77,"intro":")"
                                                        + std::string(std::size_t { 5 } << 20, 'x') + "\"}"),
            "private.user.data");
        APIRequest::loadUser();
        EXPECT_FALSE(APIRequest::user());
    }

    using LessonServiceSignatures = LessonServiceTest;

    TEST_F(LessonServiceSignatures, SignInThenTheNextLaunchSignsItsFirstRequestWithTheStoredUser)
    {
        ServiceOutcome login = run(APIRequest::userLogin());
        ASSERT_EQ(login.finished, 1) << (login.error ? login.error->localizedDescription() : "");
        ASSERT_TRUE(content::isSuccess(login.result));
        auto user = GCUserInfo::instanceWithObj(login.result->data);
        ASSERT_TRUE(user);
        EXPECT_EQ(user->sid, 77);
        EXPECT_EQ(user->account, "15820473916");
        ASSERT_TRUE(user->accessToken);
        APIRequest::setUser(user);

        ServiceOutcome subjects = run(APIRequest::subjectItems());
        ASSERT_TRUE(content::isSuccess(subjects.result)) << content::errorText(subjects.result, "?");
        EXPECT_TRUE(subjects.result->data.isArray());

        // The next launch: the user comes back from the defaults and signs
        // the first sign-in of that run, which the service accepts.
        APIRequest::loadUser();
        ASSERT_TRUE(APIRequest::user());
        auto again = APIRequest::userLogin();
        std::int64_t stamp = again->timestamp();
        ServiceOutcome relogin = run(again);
        EXPECT_TRUE(content::isSuccess(relogin.result)) << content::errorText(relogin.result, "?");
        auto bodies = bodiesTo("user/login");
        ASSERT_EQ(bodies.size(), 2u);
        EXPECT_FALSE(bodies[0].contains("sid"));
        EXPECT_EQ(bodies[1].get("sid"), Value(77));
        EXPECT_EQ(
            bodies[1].get("access_token").stringValue(), foundation::md5(*user->accessToken + std::to_string(stamp)));
    }

    TEST_F(LessonServiceSignatures, TheServiceRefusesAWrongSignatureAndAStaleSession)
    {
        auto forged = APIRequest::userLogin();
        forged->params().set("app_secret", "00000000000000000000000000000000");
        forged->setPostBody(platform::PlatformJson::writeData(Value(forged->params())).value());
        ServiceOutcome refused = run(forged);
        ASSERT_TRUE(refused.result);
        EXPECT_EQ(refused.result->code, 1001);
        EXPECT_EQ(refused.result->message, "签名校验失败");
        EXPECT_TRUE(refused.result->data.isNull());

        // A list without a session is refused too.
        ServiceOutcome anonymous = run(APIRequest::subjectItems());
        ASSERT_TRUE(anonymous.result);
        EXPECT_EQ(anonymous.result->code, 1003);

        // A token that is not the service's.
        APIRequest::setUser(userWithToken("not-the-token"));
        ServiceOutcome stale = run(APIRequest::livevideoItems());
        ASSERT_TRUE(stale.result);
        EXPECT_EQ(stale.result->code, 1002);
        EXPECT_EQ(stale.result->message, "登录信息已失效，请重新登录");
    }

    TEST_F(LessonServiceSignatures, ABaseThatFormsNoAddressFailsTheRequest)
    {
        APIRequest::setServiceBase("not a base");
        ServiceOutcome outcome = run(APIRequest::userLogin());
        EXPECT_EQ(outcome.finished, 0);
        EXPECT_EQ(outcome.failed, 1);
        EXPECT_TRUE(standin().requests().all().empty());
    }

} // namespace
} // namespace lessontest
