#include "core/store/ContactsFactory.h"
#include "core/store/MessageFactory.h"
#include "core/store/MessageTemplateFactory.h"
#include "core/store/NavMessageFactory.h"
#include "core/store/SettingFactory.h"
#include "tests/core/util/CoreTestSupport.h"

#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"
#include "platform/os/PropertyList.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>

using namespace core;
using coretest::sqliteTool;

namespace {

std::shared_ptr<MessageTemplateType> category(int id, int type, std::string name, std::string time)
{
    auto t = std::make_shared<MessageTemplateType>();
    t->titleId = id;
    t->titleType = type;
    t->titleName = std::move(name);
    t->dateTime = std::move(time);
    return t;
}

std::shared_ptr<MessageTemplateInfo> entry(int id, int type, std::string text, std::string time)
{
    auto t = std::make_shared<MessageTemplateInfo>();
    t->msgId = id;
    t->msgType = type;
    t->msgInfo = std::move(text);
    t->dateTime = std::move(time);
    return t;
}

std::vector<std::string> texts(const TemplateList& list)
{
    std::vector<std::string> out;
    for (const auto& t : list)
        out.push_back(std::to_string(t->msgId) + ":" + t->msgInfo + ":" + std::to_string(t->useCount));
    return out;
}

class TemplateStore : public ::testing::Test {
protected:
    TemplateStore() { coretest::signIn(100); }
    ~TemplateStore() override { coretest::signOut(); }

    std::string db() const { return home.documents() + "/_cache.db"; }
    std::string tool(const std::string& sql) const { return sqliteTool(db(), sql); }

    coretest::TempHome home;
};

TEST_F(TemplateStore, CategoriesAndTemplatesAreMergedIntoWhatIsStored)
{
    {
        platform::LogCapture log;
        MessageTemplateFactory empty;
        EXPECT_TRUE(log.contains(" version = (null)"));
        EXPECT_TRUE(log.contains("drop"));
        EXPECT_TRUE(empty.getMessageTemplateTypes()->empty());
        EXPECT_TRUE(empty.getMessageTemplateContents()->empty());
        EXPECT_FALSE(empty.getLastMessageTemplateTypeDateTime());
        EXPECT_FALSE(empty.getLastMessageTemplateContentDateTime());
    }
    {
        platform::LogCapture log;
        MessageTemplateFactory store;
        EXPECT_TRUE(log.contains(" version = 1.2.0"));
        EXPECT_FALSE(log.contains("drop"));
        ASSERT_TRUE(store.setMessageTemplateTypes(
            { category(1, 1, "通知", "2026-01-01 10:00:00"), category(2, 2, "作业", "2026-01-03 10:00:00") }));
        ASSERT_TRUE(
            store.setMessageTemplateContents({ entry(10, 1, "请家长签字 & 回复 \"收到\"", "2026-01-02 09:00:00"),
                entry(11, 2, "今天的作业是 #3 a=b 😀", "2026-01-02 08:00:00") }));
        ASSERT_TRUE(store.updateMessageTemplateContentUseCount(5, 10));
        ASSERT_TRUE(store.updateMessageTemplateContentUseCount(2, 11));
    }

    // The next reply, read by another account: a template sent again with a
    // new text, a new one, and a renamed category.
    coretest::signIn(200);
    MessageTemplateFactory store;
    ASSERT_TRUE(store.setMessageTemplateTypes({ category(2, 2, "家庭作业", "2026-02-01 10:00:00") }));
    ASSERT_TRUE(store.setMessageTemplateContents(
        { entry(11, 2, "作业改为第 4 页", "2026-02-01 08:00:00"), entry(12, 1, "明天放假", "2026-01-15 08:00:00") }));

    auto all = store.getMessageTemplateContents();
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 3u);
    EXPECT_EQ(texts(*all)[0], "10:请家长签字 & 回复 \"收到\":5") << "the most used first";
    EXPECT_EQ(tool("SELECT msg_id, msg_type, msg_info, use_count FROM tb_message_template_content ORDER BY msg_id;"),
        "10|1|请家长签字 & 回复 \"收到\"|5\n11|2|作业改为第 4 页|0\n12|1|明天放假|0\n");
    EXPECT_EQ(store.getLastMessageTemplateContentDateTime(), "2026-02-01 08:00:00");
    EXPECT_EQ(store.getLastMessageTemplateTypeDateTime(), "2026-02-01 10:00:00");

    auto types = store.getMessageTemplateTypes();
    ASSERT_TRUE(types);
    auto listed = MessageTemplateFactory::typesWithAll(*types);
    ASSERT_EQ(listed.size(), 3u);
    EXPECT_EQ(listed[0]->titleName, "全部模板");
    EXPECT_EQ(
        tool("SELECT title_id, title_name FROM tb_message_template_type ORDER BY title_id;"), "1|通知\n2|家庭作业\n");
    EXPECT_EQ(texts(MessageTemplateFactory::templatesOfType(*all, 1)).size(), 2u);
    EXPECT_EQ(
        texts(MessageTemplateFactory::templatesOfType(*all, 2)), (std::vector<std::string> { "11:作业改为第 4 页:0" }));
    EXPECT_EQ(MessageTemplateFactory::templatesOfType(*all, 0).size(), 3u);

    ASSERT_TRUE(store.removeALLMessageTemplateContent());
    EXPECT_TRUE(store.getMessageTemplateContents()->empty());
    EXPECT_EQ(store.getMessageTemplateTypes()->size(), 2u);
}

TEST_F(TemplateStore, AFailedReplyLeavesTheTemplatesAsTheyWere)
{
    MessageTemplateFactory store;
    ASSERT_TRUE(store.setMessageTemplateContents({ entry(10, 1, "原文", "2026-01-01 00:00:00") }));
    ASSERT_TRUE(store.updateMessageTemplateContentUseCount(3, 10));
    tool("CREATE TRIGGER refuse BEFORE INSERT ON tb_message_template_content WHEN NEW.msg_id=13 BEGIN SELECT "
         "RAISE(ABORT, 'refused'); END;");
    const std::string before = tool(".dump");
    platform::LogCapture log;
    EXPECT_FALSE(store.setMessageTemplateContents(
        { entry(10, 1, "新文", "2026-02-01 00:00:00"), entry(13, 1, "坏", "2026-02-01 00:00:00") }));
    EXPECT_EQ(tool(".dump"), before);
    EXPECT_EQ(texts(*store.getMessageTemplateContents()), (std::vector<std::string> { "10:原文:3" }));
}

TEST_F(TemplateStore, AnOtherVersionDropsOnlyThatStoresTablesAndOnlyWhereTheyHoldNothing)
{
    struct Row {
        const char* key;
        const char* version;
        std::function<void()> make;
        const char* tables[2];
    };
    const std::vector<Row> rows {
        { "message_version", "1.0.3", [] { MessageFactory store; }, { "tb_message", "tb_message_contact" } },
        { "contacts_version", "1.2.0", [] { ContactsFactory store; }, { "tb_contact", "tb_contact_group" } },
        { "message_template_version", "1.2.0", [] { MessageTemplateFactory store; },
            { "tb_message_template_type", "tb_message_template_content" } },
    };
    for (const Row& row : rows)
        row.make();
    tool("INSERT INTO tb_message VALUES ('m',0,'c',NULL,NULL,100,7,0,0,0,0,0,1,0,'t','t');"
         "INSERT INTO tb_message_contact(uid,account_uid,name,thumb_avatar,avatar,type) VALUES (7,100,'n','t','a',1);"
         "INSERT INTO tb_contact VALUES (1,'g',100,'n','N','N',NULL,'t','a',NULL,1,1,NULL);"
         "INSERT INTO tb_contact_group(uid,account_uid,name,type) VALUES ('g',100,'n',1);"
         "INSERT INTO tb_message_template_type VALUES (1,1,'n',NULL);"
         "INSERT INTO tb_message_template_content VALUES (1,1,'t',NULL,0);");
    const std::string all = "SELECT (SELECT count(*) FROM tb_message)||(SELECT count(*) FROM tb_message_contact)||"
                            "(SELECT count(*) FROM tb_contact)||(SELECT count(*) FROM tb_contact_group)||"
                            "(SELECT count(*) FROM tb_message_template_type)||"
                            "(SELECT count(*) FROM tb_message_template_content);";
    ASSERT_EQ(tool(all), "111111\n");
    auto setAside = [&] {
        std::size_t count = 0;
        for (const auto& name : platform::FileUtil::list(home.documents()).value_or(std::vector<std::string> {}))
            count += name.rfind("_cache.db.corrupt-", 0) == 0 && name.find("-journal") == std::string::npos;
        return count;
    };
    // The stores have kept their tables at no other version: one over rows
    // was not written by the client, and drops none of them. The file is
    // taken as damaged, and copied whole at the store's version.
    for (std::size_t i = 0; i < rows.size(); ++i) {
        tool(std::string("UPDATE tb_info SET value='0.9' WHERE key='") + rows[i].key + "';");
        rows[i].make();
        EXPECT_EQ(tool(all), "111111\n") << rows[i].key;
        EXPECT_EQ(tool(std::string("SELECT value FROM tb_info WHERE key='") + rows[i].key + "';"),
            std::string(rows[i].version) + "\n");
        EXPECT_EQ(setAside(), i + 1) << rows[i].key;
    }
    // Over tables that hold nothing, only that store's are made anew.
    const char* afterEach[] = { "001111\n", "000011\n", "000000\n" };
    for (std::size_t i = 0; i < rows.size(); ++i) {
        tool(std::string("DELETE FROM ") + rows[i].tables[0] + "; DELETE FROM " + rows[i].tables[1]
            + "; UPDATE tb_info SET value='0.9' WHERE key='" + rows[i].key + "';");
        rows[i].make();
        EXPECT_EQ(tool(all), afterEach[i]) << rows[i].key;
        EXPECT_EQ(tool(std::string("SELECT value FROM tb_info WHERE key='") + rows[i].key + "';"),
            std::string(rows[i].version) + "\n");
        for (const char* table : rows[i].tables)
            EXPECT_NE(tool(std::string(".schema ") + table), "") << table;
        EXPECT_EQ(setAside(), rows.size()) << rows[i].key;
    }
}

class NavMessages : public ::testing::Test {
protected:
    std::string file() const { return home.documents() + "/NavMessage.plist"; }

    void writeEntries(const platform::Array& entries) const
    {
        ASSERT_TRUE(platform::PropertyList::writeFile(file(), platform::Value(entries)));
    }

    static platform::Dictionary navEntry(int eventType, int count, std::string title)
    {
        NavMessageInfo info;
        info.eventType = eventType;
        info.count = count;
        info.content = "新内容 & 通知";
        info.dateTimeStr = "2026-03-01 08:00:00";
        info.title = std::move(title);
        info.viewController = "HomeWorkViewController";
        return info.fileEntry();
    }

    static std::string summary()
    {
        std::string out;
        if (auto all = NavMessageFactory::allNavMessages()) {
            for (const auto& m : *all)
                out += std::to_string(m->eventType) + ":" + std::to_string(m->count) + ":" + m->title + " ";
        }
        return out;
    }

    coretest::TempHome home;
};

TEST_F(NavMessages, OperationsOnTheFileAreReadBackAfterARestart)
{
    EXPECT_EQ(NavMessageFactory::navMessageFile(), file());
    NavMessageInfo two;
    two.eventType = 9;
    two.count = 2;
    // No file, an empty list or something else than a list: nothing to read,
    // nothing written.
    EXPECT_FALSE(NavMessageFactory::allNavMessages());
    EXPECT_FALSE(NavMessageFactory::updateNavMessageState(two, NavMessageFactory::kAddCount));
    EXPECT_FALSE(platform::FileUtil::exists(file()));
    for (const platform::Value& notEntries : { platform::Value(platform::Array {}), platform::Value("text"),
             platform::Value(platform::Dictionary { { "eventType", 9 } }) }) {
        ASSERT_TRUE(platform::PropertyList::writeFile(file(), notEntries));
        EXPECT_FALSE(NavMessageFactory::allNavMessages());
        EXPECT_FALSE(NavMessageFactory::updateNavMessageState(two, NavMessageFactory::kRemove));
    }
    ASSERT_TRUE(platform::FileUtil::write(file(), std::string_view("<plist><array><dict>")));
    EXPECT_FALSE(NavMessageFactory::allNavMessages());

    writeEntries({ navEntry(3, 1, "通知"), platform::Value("stray"), navEntry(9, 3, "作业"), navEntry(9, 7, "重复"),
        navEntry(12, 4, "相册") });
    EXPECT_EQ(summary(), "3:1:通知 9:3:作业 9:7:重复 12:4:相册 ");

    struct Step {
        int eventType;
        int operation;
        const char* after;
    };
    for (const Step& step : std::initializer_list<Step> {
             { 9, NavMessageFactory::kAddCount, "3:1:通知 9:5:作业 9:7:重复 12:4:相册 " },
             { 9, NavMessageFactory::kClearCount, "3:1:通知 9:0:作业 9:7:重复 12:4:相册 " },
             { 42, NavMessageFactory::kAddCount, "3:1:通知 9:0:作业 9:7:重复 12:4:相册 " },
             { 12, 7, "3:1:通知 9:0:作业 9:7:重复 12:4:相册 " },
             { 3, NavMessageFactory::kRewrite, "3:1:通知 9:0:作业 9:7:重复 12:4:相册 " },
             { 9, NavMessageFactory::kRemove, "3:1:通知 9:7:重复 12:4:相册 " },
         }) {
        NavMessageInfo message;
        message.eventType = step.eventType;
        message.count = 2;
        EXPECT_TRUE(NavMessageFactory::updateNavMessageState(message, step.operation)) << step.operation;
        EXPECT_EQ(summary(), step.after) << step.eventType << " op " << step.operation;
    }

    // The file itself is a well-formed property list a new process reads the same.
    EXPECT_EQ(coretest::runCommand("xmllint --noout " + coretest::shellQuoted(file()) + " 2>&1"), "");
    EXPECT_EQ(
        coretest::runCommand("xmllint --xpath 'count(/plist/array/dict)' " + coretest::shellQuoted(file())), "3\n");
    auto reread = platform::PropertyList::readFile(file());
    ASSERT_TRUE(reread);
    EXPECT_EQ((*reread)[1].asString() ? *(*reread)[1].asString() : "", "stray") << "entries it cannot read are kept";
    EXPECT_EQ((*reread)[2]["viewController"], platform::Value("HomeWorkViewController"));
}

TEST_F(NavMessages, AddedCountsStopAtTheEndsOfTheirRange)
{
    // Both the stored count and the one added come from outside: a sum past
    // the int range stays at its end, it does not wrap round to a negative
    // count (or a huge one).
    constexpr int kMax = std::numeric_limits<int>::max();
    constexpr int kMin = std::numeric_limits<int>::min();
    ASSERT_EQ(NavMessageFactory::navMessageFile(), file());
    writeEntries({ navEntry(3, kMax - 1, "通知"), navEntry(9, kMin + 1, "作业"), navEntry(12, 40, "相册") });
    struct Step {
        int eventType;
        int added;
        const char* after;
    };
    for (const Step& step : std::initializer_list<Step> {
             { 3, 1, "3:2147483647:通知 9:-2147483647:作业 12:40:相册 " },
             { 3, kMax, "3:2147483647:通知 9:-2147483647:作业 12:40:相册 " },
             { 9, -2, "3:2147483647:通知 9:-2147483648:作业 12:40:相册 " },
             { 9, kMin, "3:2147483647:通知 9:-2147483648:作业 12:40:相册 " },
             { 12, kMax - 39, "3:2147483647:通知 9:-2147483648:作业 12:2147483647:相册 " },
             { 3, -7, "3:2147483640:通知 9:-2147483648:作业 12:2147483647:相册 " },
         }) {
        NavMessageInfo message;
        message.eventType = step.eventType;
        message.count = step.added;
        EXPECT_TRUE(NavMessageFactory::updateNavMessageState(message, NavMessageFactory::kAddCount));
        EXPECT_EQ(summary(), step.after) << step.eventType << " + " << step.added;
    }
}

TEST_F(TemplateStore, SettingsChangeOnlyWhatIsStored)
{
    SettingFactory::clearCache();
    EXPECT_FALSE(SettingFactory::objectForKey("sound"));
    // Not stored yet: the write succeeds and stores nothing.
    EXPECT_TRUE(SettingFactory::setValueForKey("on", "sound"));
    EXPECT_EQ(tool("SELECT count(*) FROM tb_setting;"), "0\n");
    tool("INSERT INTO tb_setting VALUES ('sound', 'off'), ('name''s', '值 & =');");
    SettingFactory::clearCache();
    EXPECT_EQ(SettingFactory::objectForKey("sound"), "off");
    EXPECT_EQ(SettingFactory::objectForKey("name's"), "值 & =");
    EXPECT_TRUE(SettingFactory::setValueForKey("on", "sound"));
    EXPECT_EQ(SettingFactory::objectForKey("sound"), "on") << "the cache is loaded again after a write";
    EXPECT_EQ(tool("SELECT value FROM tb_setting WHERE name='sound';"), "on\n");
    SettingFactory::clearCache();

    NavFactory nav;
    EXPECT_FALSE(nav.setClassList("x"));
    EXPECT_FALSE(nav.getClassList());
}

} // namespace
