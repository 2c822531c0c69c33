// What the demo school shows a person in the first minutes: one-to-one
// messages the phone can show whole, accounts a parent of two can tell
// apart, and pictures of people sharp on a scale-2 screen.
#include "tests/server/ServerTestSupport.h"

#include "platform/graphics/Image.h"
#include "platform/os/StringUtil.h"

#include <functional>
#include <optional>
#include <set>

namespace servertest {
namespace {

    using platform::Dictionary;
    using platform::Value;

    class DemoSchoolTest : public StandinTest {
    protected:
        Value signIn(const std::string& login, const std::string& password)
        {
            return command("sys", "10001", { { "account", login }, { "psw", password } }, 0).reply();
        }

        // The picture at an address the server gave, decoded.
        std::optional<platform::Image> picture(const std::string& address)
        {
            const std::string prefix = standin->baseUrl() + "mobile2/pull/";
            EXPECT_TRUE(platform::hasPrefix(address, prefix)) << address;
            if (!platform::hasPrefix(address, prefix))
                return std::nullopt;
            auto answer = get(address.substr(prefix.size()));
            EXPECT_EQ(answer.status, 200) << address;
            return platform::Image::decode(std::vector<std::uint8_t>(answer.body.begin(), answer.body.end()));
        }
    };

    // The chat shows a message by one thing: its voice clip, else its photo,
    // else its text. Every seeded one-to-one message holds exactly one of
    // them, so nothing it says is hidden from the conversation.
    TEST_F(DemoSchoolTest, EveryWaitingOneToOneMessageHoldsOneThing)
    {
        std::size_t seen = 0;
        for (long long user : { 2001, 2002, 3001, 3002, 3003, 5001 }) {
            auto items = command("rivu", "20101", {}, user).reply()["items"];
            ASSERT_TRUE(items.isArray());
            for (const auto& item : *items.asArray()) {
                if (item["isGroupSend"] == Value(1))
                    continue;
                ++seen;
                int things = (item["content"].isString() && !item["content"].stringValue().empty() ? 1 : 0)
                    + (item["images"].count() > 0 ? 1 : 0) + (item["audios"].count() > 0 ? 1 : 0);
                EXPECT_EQ(things, 1) << item["msgId"].stringValue() << " for " << user;
            }
        }
        EXPECT_EQ(seen, 5u);
    }

    // Both accounts of the parent of two are parent accounts of one school;
    // each is named with its child and pictured by it.
    TEST_F(DemoSchoolTest, TheParentOfTwoTellsHerAccountsApart)
    {
        auto reply = signIn("13800000003", "parent123");
        ASSERT_EQ(reply["items"].count(), 2u);
        const Value& first = reply["items"][0];
        const Value& second = reply["items"][1];
        EXPECT_EQ(first["userName"], Value("王芳（王子涵）"));
        EXPECT_EQ(second["userName"], Value("王芳（王子轩）"));
        EXPECT_NE(first["thumbAvatar"], second["thumbAvatar"]);
        auto one = picture(first["thumbAvatar"].stringValue());
        auto other = picture(second["thumbAvatar"].stringValue());
        ASSERT_TRUE(one && other);
        EXPECT_NE(one->pixels(), other->pixels()) << "two faces, not one";

        // A teacher and a student keep their own names.
        EXPECT_EQ(signIn("13800000001", "teacher123")["items"][0]["userName"], Value("李建国"));
        EXPECT_EQ(signIn("13800000006", "student123")["items"][0]["userName"], Value("张小明"));
        EXPECT_EQ(signIn("13800000002", "parent123")["items"][0]["userName"], Value("张伟（张小明）"));
    }

    // A name edited from the one shown stays the person's name: the child's
    // part is not stored twice, and the answer names the account as sign-in does.
    TEST_F(DemoSchoolTest, AProfileSavedWithTheShownNameKeepsTheChildOnce)
    {
        auto saved = command("sys", "10006", { { "userName", "王芳（王子涵）" } }, 3002).reply();
        EXPECT_EQ(saved["resultState"], Value(1));
        EXPECT_EQ(saved["userName"], Value("王芳（王子涵）"));
        auto renamed = command("sys", "10006", { { "userName", "王小芳" } }, 3002).reply();
        EXPECT_EQ(renamed["userName"], Value("王小芳（王子涵）"));
        EXPECT_EQ(signIn("13800000003", "parent123")["items"][0]["userName"], Value("王小芳（王子涵）"));
    }

    // Avatars fill a 50-point box at scale 2 (100 pixels) without being
    // stretched; the large picture is drawn for a phone-wide view.
    TEST_F(DemoSchoolTest, AvatarsAreSharpAtScaleTwoAndShowWhoTheyAre)
    {
        auto reply = signIn("13800000001", "teacher123");
        const Value& account = reply["items"][0];
        auto thumb = picture(account["thumbAvatar"].stringValue());
        auto large = picture(account["orgUserPic"].stringValue());
        ASSERT_TRUE(thumb && large);
        EXPECT_GE(thumb->pixelWidth(), 160);
        EXPECT_EQ(thumb->pixelWidth(), thumb->pixelHeight());
        EXPECT_GE(large->pixelWidth(), 320);

        // A character drawn on a coloured ground.
        auto corner = thumb->pixelAt(2, 2);
        std::set<std::array<std::uint8_t, 4>> colours;
        for (int y = 0; y < thumb->pixelHeight(); y += 4)
            for (int x = 0; x < thumb->pixelWidth(); x += 4)
                colours.insert(thumb->pixelAt(x, y));
        EXPECT_NE(corner, (std::array<std::uint8_t, 4> { 255, 255, 255, 255 }));
        EXPECT_GT(colours.size(), 8u) << "a drawn mark, not a flat square";

        // Two people, two pictures; an address of nobody still answers a picture.
        auto colleague = picture(standin->baseUrl() + "mobile2/pull/static/avatar/2002-thumb.png");
        ASSERT_TRUE(colleague);
        EXPECT_NE(colleague->pixels(), thumb->pixels());
        auto nobody = picture(standin->baseUrl() + "mobile2/pull/static/avatar/999999-thumb.png");
        ASSERT_TRUE(nobody);
        EXPECT_EQ(nobody->pixelWidth(), 160);
    }

    // The message box's feature notices come for the signed-in person's role,
    // as the bare list the box reads, and between the roles they name every
    // screen a notice row can open: the click-to-dial calls, the SMS history,
    // the school notices, the comments, homework, online service, the
    // questionnaire and the e-magazine.
    TEST_F(DemoSchoolTest, FeatureNoticesForEachRoleReachEveryNoticeScreen)
    {
        auto typesFor = [&](long long user, const std::string& since = "") {
            // Without "userName", as the message box asks.
            auto reply = command("html5", "40001", { { "updateTime", since }, { "userName", Value() } }, user).reply();
            std::vector<int> types;
            EXPECT_TRUE(reply.isArray()) << user;
            for (const auto& item : reply.asArray() ? *reply.asArray() : platform::Array {}) {
                EXPECT_FALSE(item["content"].stringValue().empty()) << user;
                EXPECT_TRUE(item["count"].isNumber()) << user;
                EXPECT_EQ(item["dateTime"].stringValue().size(), 19u) << user;
                types.push_back(item["eventType"].intValue());
            }
            return types;
        };
        const std::vector<int> teacher = typesFor(2001);
        const std::vector<int> parent = typesFor(3001);
        const std::vector<int> student = typesFor(5001);
        EXPECT_EQ(teacher, (std::vector<int> { 2, 3, 5, 6, 14 }));
        EXPECT_EQ(parent, (std::vector<int> { 4, 6, 25, 5 }));
        EXPECT_EQ(typesFor(3003), parent) << "every parent account sees the parents' notices";
        EXPECT_EQ(student, (std::vector<int> { 6, 8, 14 }));
        std::set<int> all(teacher.begin(), teacher.end());
        all.insert(parent.begin(), parent.end());
        all.insert(student.begin(), student.end());
        EXPECT_EQ(all, (std::set<int> { 2, 3, 4, 5, 6, 8, 14, 25 }));

        // Nothing newer than the newest notice; the rest of a day back.
        EXPECT_TRUE(typesFor(2001, "2999-01-01 00:00:00").empty());
        EXPECT_EQ(typesFor(2001, "2000-01-01 00:00:00"), teacher);
        // The dispatcher's form (it sends "userName") gets the same rows in an envelope.
        auto envelope = command("html5", "40001", { { "updateTime", "" } }, 2001).reply();
        ASSERT_EQ(envelope["items"].count(), teacher.size());
        EXPECT_EQ(envelope["items"][0]["eventType"].intValue(), teacher.front());
    }

    // What each role's feature notice says, its page shows that role: the
    // teacher's homework of class 1, the pupils not yet commented on, the
    // school notice named, the service desk's answer, as many new homework
    // as the notice counts. The questionnaire page asks for no account and
    // so never has one to fill: its notices only say the surveys are over.
    TEST_F(DemoSchoolTest, EachFeatureNoticeSaysWhatItsPageShowsTheRole)
    {
        auto items = [](const Value& page) { return page["items"].asArray() ? *page["items"].asArray() : platform::Array {}; };
        auto says = [](const Value& row, const std::string& words) {
            return row["content"].stringValue().find(words) != std::string::npos;
        };
        struct Case {
            long long user;
            int type;
            const char* page; // "" when the page reads nothing of the server
            std::function<void(const Value& row, const Value& page)> agree;
        };
        const Case cases[] = {
            { 2001, 5, "webapp/page/comment/students",
                [&](const Value& row, const Value& page) {
                    long uncommented = 0;
                    for (const auto& student : items(page))
                        uncommented += student["count"].intValue() == 0;
                    EXPECT_EQ(row["count"].intValue(), uncommented);
                    EXPECT_TRUE(says(row, std::to_string(uncommented) + "名学生")) << row["content"].stringValue();
                    EXPECT_TRUE(says(row, page["classes"][0]["className"].stringValue()));
                } },
            { 2001, 6, "webapp/page/homework/list",
                [&](const Value& row, const Value& page) {
                    bool named = false;
                    for (const auto& homework : items(page))
                        named = named
                            || (says(row, homework["className"].stringValue())
                                && says(row, homework["subjectName"].stringValue() + "作业"));
                    EXPECT_TRUE(named) << row["content"].stringValue();
                } },
            { 2001, 14, "", [&](const Value& row, const Value&) { EXPECT_TRUE(says(row, "已结束")); } },
            { 3001, 4, "webapp/page/schoolnotice/list",
                [&](const Value& row, const Value& page) {
                    bool named = false;
                    for (const auto& notice : items(page))
                        named = named || says(row, notice["title"].stringValue());
                    EXPECT_TRUE(named) << row["content"].stringValue();
                } },
            { 3001, 6, "webapp/page/homework/list",
                [&](const Value&, const Value& page) { EXPECT_FALSE(items(page).empty()); } },
            { 3003, 6, "webapp/page/homework/list",
                [&](const Value&, const Value& page) { EXPECT_FALSE(items(page).empty()); } },
            { 3003, 5, "webapp/page/comment/students",
                [&](const Value&, const Value& page) {
                    ASSERT_EQ(items(page).size(), 1u);
                    EXPECT_GT(items(page)[0]["count"].intValue(), 0);
                } },
            { 5001, 6, "webapp/page/homework/list",
                [&](const Value& row, const Value& page) {
                    EXPECT_EQ(std::size_t(row["count"].intValue()), items(page).size());
                    EXPECT_TRUE(says(row, std::to_string(items(page).size()) + "项"));
                } },
            { 5001, 8, "webapp/page/service/list",
                [&](const Value&, const Value& page) {
                    bool answered = false;
                    for (const auto& message : items(page))
                        answered = answered || !message["reply"].stringValue().empty();
                    EXPECT_TRUE(answered) << "the desk's reply the notice announces";
                } },
            { 5001, 14, "", [&](const Value& row, const Value&) { EXPECT_TRUE(says(row, "已结束")); } },
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(std::to_string(c.user) + " type " + std::to_string(c.type));
            auto rows = command("html5", "40001", { { "updateTime", "" }, { "userName", Value() } }, c.user).reply();
            std::optional<Value> row;
            for (const auto& item : rows.asArray() ? *rows.asArray() : platform::Array {})
                if (item["eventType"].intValue() == c.type)
                    row = item;
            ASSERT_TRUE(row) << "no notice of this type";
            Value page;
            if (*c.page) {
                auto answer = get(std::string(c.page) + "?userId=" + std::to_string(c.user) + "&schoolId=1001");
                ASSERT_EQ(answer.status, 200);
                page = answer.reply();
                ASSERT_EQ(page["resultState"], Value(1)) << answer.body;
            }
            c.agree(*row, page);
        }
    }

} // namespace
} // namespace servertest
