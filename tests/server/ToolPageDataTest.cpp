// What the client's local tool pages fetch: each account sees its own
// classes' notices, homework and students, read states stick per account,
// what the send screens hand in shows on the next ask (once), attendance is
// the same at every ask and kept to whom it concerns, and the answers let
// the pages' origin read them.
#include "tests/server/ServerTestSupport.h"

#include "platform/os/PlatformJson.h"

#include <algorithm>
#include <ctime>
#include <set>

namespace servertest {
namespace {

    using platform::Dictionary;
    using platform::Value;

    class ToolPageData : public StandinTest {
    protected:
        void SetUp() override
        {
            StandinTest::SetUp();
            startServer();
        }
        Value page(const std::string& path, long long userId, const std::string& query = "")
        {
            auto answer = get("webapp/page/" + path + "?userId=" + std::to_string(userId) + "&schoolId=1001"
                + (query.empty() ? "" : "&" + query));
            EXPECT_EQ(answer.status, 200) << path;
            return answer.reply();
        }
        static std::vector<std::string> texts(const Value& reply, const char* key)
        {
            std::vector<std::string> out;
            if (const auto* items = reply["items"].asArray()) {
                for (const auto& item : *items)
                    out.push_back(item[key].stringValue());
            }
            return out;
        }
        static bool has(const std::vector<std::string>& list, const std::string& text)
        {
            return std::find(list.begin(), list.end(), text) != list.end();
        }
    };

    TEST_F(ToolPageData, SchoolNoticesNewestFirstWithReadStatesPerAccount)
    {
        auto list = page("schoolnotice/list", 2001);
        ASSERT_EQ(list["resultState"], Value(1));
        auto titles = texts(list, "title");
        ASSERT_EQ(titles.size(), 5u);
        EXPECT_EQ(titles.front(), "关于元旦放假的通知");
        EXPECT_EQ(titles.back(), "流感高发季节预防提示");
        auto dates = texts(list, "dateTime");
        EXPECT_TRUE(std::is_sorted(dates.rbegin(), dates.rend()));
        // The list carries a one-line summary, the detail the whole text.
        const Value& first = (*list["items"].asArray())[0];
        EXPECT_EQ(first["content"], Value());
        EXPECT_FALSE(first["summary"].stringValue().empty());
        EXPECT_EQ(first["read"], Value(0));

        auto detail = page("schoolnotice/detail", 2001, "noticeId=" + std::to_string(first["noticeId"].longLongValue()));
        EXPECT_EQ(detail["title"], Value("关于元旦放假的通知"));
        EXPECT_NE(detail["content"].stringValue().find('\n'), std::string::npos);
        EXPECT_EQ((*page("schoolnotice/list", 2001)["items"].asArray())[0]["read"], Value(1));
        // Another account has not read it.
        EXPECT_EQ((*page("schoolnotice/list", 3001)["items"].asArray())[0]["read"], Value(0));
        EXPECT_EQ(page("schoolnotice/detail", 2001, "noticeId=999")["resultState"], Value(0));
        // No account, no list.
        EXPECT_EQ(page("schoolnotice/list", 424242)["resultState"], Value(0));
    }

    TEST_F(ToolPageData, SentNoticesHomeworkAndServiceMessagesShowOnceInTheirPages)
    {
        // What the class-notice sender sends, with characters a query splits at.
        std::string title = "春游 & 安全=第一?";
        ASSERT_EQ(get("webapp/notice/add?" + encodeQuery({ { "schoolId", "1001" }, { "teacherId", "2001" },
                                                 { "startDate", "2026-12-08" }, { "endDate", "2026-12-09" },
                                                 { "title", title }, { "content", "带好水壶" }, { "classId", "102" },
                                                 { "areaAbb", "gz" } }))
                      .reply()["resultState"],
            Value(1));
        ASSERT_EQ(command("html5", "40301",
                      { { "classId", 101 }, { "className", "三年级(1)班" }, { "subject", "语文" }, { "subjectId", 1 },
                          { "content", "朗读课文三遍" }, { "dateTime", "2026-12-09" },
                          { "original", standin->baseUrl() + "mobile2/pull/files/homeworkpic/a.jpg?v=2" },
                          { "thumb", standin->baseUrl() + "mobile2/pull/files/homeworkpic/thumb/a.jpg" } })
                      .reply()["resultState"],
            Value(1));
        ASSERT_EQ(get("webapp/servicemsg/new?" + encodeQuery({ { "schoolId", "1001" }, { "areaAbb", "gz" },
                                                     { "teacherId", "2001" }, { "content", "请问如何导出成绩？" },
                                                     { "isNeedReply", "0" } }))
                      .reply()["resultState"],
            Value(1));

        // The teacher and the parent of class 102 see the notice; the parent of class 101 does not.
        for (int ask = 0; ask < 2; ++ask) {
            auto notices = texts(page("classnotice/list", 2001), "title");
            EXPECT_EQ(std::count(notices.begin(), notices.end(), title), 1) << "ask " << ask;
        }
        EXPECT_TRUE(has(texts(page("classnotice/list", 3003), "title"), title));
        EXPECT_FALSE(has(texts(page("classnotice/list", 3001), "title"), title));

        auto homework = page("homework/list", 3001);
        auto contents = texts(homework, "content");
        ASSERT_TRUE(has(contents, "朗读课文三遍"));
        const auto& sent = (*homework["items"].asArray())[0];
        EXPECT_EQ(sent["content"], Value("朗读课文三遍"));
        EXPECT_EQ(sent["subjectName"], Value("语文"));
        EXPECT_EQ(sent["finishDate"], Value("2026-12-09"));
        ASSERT_EQ(sent["photos"].count(), 1u);
        EXPECT_EQ(sent["photos"][0]["original"], Value(standin->baseUrl() + "mobile2/pull/files/homeworkpic/a.jpg?v=2"));
        EXPECT_FALSE(has(texts(page("homework/list", 3003), "content"), "朗读课文三遍"));

        auto messages = page("service/list", 2001);
        auto texts2001 = texts(messages, "content");
        EXPECT_EQ(texts2001.back(), "请问如何导出成绩？");
        EXPECT_EQ(messages["items"][texts2001.size() - 1]["needReply"], Value(0));
        EXPECT_FALSE(has(texts(page("service/list", 3001), "content"), "请问如何导出成绩？"));
        EXPECT_EQ(texts(page("service/list", 2001), "content").size(), texts2001.size());
    }

    TEST_F(ToolPageData, SeededHomeworkPhotosAreImages)
    {
        auto homework = page("homework/list", 2001);
        const Value* withPhotos = nullptr;
        for (const auto& item : *homework["items"].asArray()) {
            if (item["photos"].count() > 0)
                withPhotos = &item;
        }
        ASSERT_NE(withPhotos, nullptr);
        std::string prefix = standin->baseUrl() + "mobile2/pull/";
        for (const char* key : { "original", "thumb" }) {
            std::string address = (*withPhotos)["photos"][0][key].stringValue();
            ASSERT_EQ(address.rfind(prefix, 0), 0u) << address;
            auto answer = get(address.substr(prefix.size()));
            EXPECT_EQ(answer.status, 200);
            EXPECT_EQ(answer.header("Content-Type"), "image/png");
        }
        EXPECT_EQ(homework["classes"].count(), 2u);
    }

    TEST_F(ToolPageData, AttendanceIsStableAndKeptToWhomItConcerns)
    {
        // A Wednesday and a Saturday.
        auto day = page("attendance/class", 2001, "classId=102&date=2026-12-02");
        ASSERT_EQ(day["items"].count(), 8u);
        EXPECT_EQ(day["classId"], Value(102));
        EXPECT_EQ(day["date"], Value("2026-12-02"));
        std::set<long long> states;
        for (const auto& record : *day["items"].asArray()) {
            states.insert(record["state"].longLongValue());
            EXPECT_EQ(record["stateName"].stringValue().empty(), false);
        }
        EXPECT_TRUE(states.count(1));
        EXPECT_EQ(platform::PlatformJson::write(page("attendance/class", 2001, "classId=102&date=2026-12-02")["items"]),
            platform::PlatformJson::write(day["items"]));
        auto weekend = page("attendance/class", 2001, "classId=102&date=2026-12-05");
        EXPECT_EQ(weekend["items"].count(), 0u);
        EXPECT_EQ(weekend["holiday"], Value(1));
        // A class the parent's child is not in falls back to the child's own.
        EXPECT_EQ(page("attendance/class", 3001, "classId=102&date=2026-12-02")["classId"], Value(101));

        // One student's month: school days only, newest first, the same day as in the class's list.
        auto month = page("attendance/student", 2001, "studentId=5010&month=2026-11");
        EXPECT_EQ(month["studentName"], Value("王子轩"));
        auto dates = texts(month, "date");
        ASSERT_EQ(dates.size(), 21u);
        EXPECT_EQ(dates.front(), "2026-11-30");
        EXPECT_EQ(dates.back(), "2026-11-02");
        // Today's records have no leaving time that lies ahead.
        std::time_t now = std::time(nullptr);
        std::tm local {};
        localtime_r(&now, &local);
        char today[16];
        char clock[8];
        std::strftime(today, sizeof today, "%Y-%m-%d", &local);
        std::strftime(clock, sizeof clock, "%H:%M", &local);
        auto current = page("attendance/student", 2001, std::string("studentId=5010&month=") + std::string(today).substr(0, 7));
        for (const auto& record : *current["items"].asArray()) {
            if (record["date"].stringValue() == today && record["outTime"].isString()) {
                EXPECT_LE(record["outTime"].stringValue(), std::string(clock));
            }
        }
        // A parent asking for another child gets the own child.
        auto own = page("attendance/student", 3001, "studentId=5010&month=2026-11");
        EXPECT_EQ(own["studentId"], Value(5001));
        EXPECT_EQ(own["studentName"], Value("张小明"));
        // The student account sees itself.
        EXPECT_EQ(page("attendance/student", 5001, "month=2026-11")["studentId"], Value(5001));
    }

    TEST_F(ToolPageData, CommentStudentsCountTheirComments)
    {
        auto teacher = page("comment/students", 2001, "classId=101");
        ASSERT_EQ(teacher["items"].count(), 8u);
        const auto& first = teacher["items"][0];
        EXPECT_EQ(first["studentId"], Value(5001));
        EXPECT_EQ(first["name"], Value("张小明"));
        EXPECT_EQ(first["type"], Value(1));
        EXPECT_GT(first["count"].longLongValue(), 0);
        EXPECT_FALSE(first["lastDate"].stringValue().empty());
        EXPECT_EQ(teacher["items"][2]["count"], Value(0));
        auto parent = page("comment/students", 3002);
        ASSERT_EQ(parent["items"].count(), 1u);
        EXPECT_EQ(parent["items"][0]["studentId"], Value(5002));
    }

    TEST_F(ToolPageData, AnswersLetThePagesOriginReadThem)
    {
        httplib::Client client("127.0.0.1", standin->port());
        auto answer = client.Get("/mobile2/pull/webapp/page/service/list?userId=2001&schoolId=1001",
            httplib::Headers { { "Origin", "orb-res://" } });
        ASSERT_TRUE(answer);
        EXPECT_EQ(answer->get_header_value("Access-Control-Allow-Origin"), "orb-res://");
        EXPECT_EQ(answer->get_header_value("Access-Control-Allow-Credentials"), "true");
        auto plain = get("webapp/page/service/list?userId=2001&schoolId=1001");
        EXPECT_EQ(plain.header("Access-Control-Allow-Origin"), "*");
        EXPECT_EQ(plain.header("Access-Control-Allow-Credentials"), "");
    }

} // namespace
} // namespace servertest
