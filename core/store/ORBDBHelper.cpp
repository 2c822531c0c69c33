#include "core/store/ORBDBHelper.h"

#include "core/session/MyAccountInfo.h"
#include "core/store/BaseFactory.h"
#include "core/store/DamagedStoreFile.h"
#include "core/util/ORBHelper.h"
#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLResultSet.h"
#include "platform/os/Log.h"

#include <cctype>

using foundation::SQLDatabase;
using foundation::SQLResultSet;

namespace core {

namespace {

    constexpr const char* kCreateNavigationInfos = "CREATE TABLE tb_navigation_infos ("
                                                   "             n_id integer NOT NULL PRIMARY KEY AUTOINCREMENT,"
                                                   "             n_nav_id integer not null,"
                                                   "             n_name varchar(50,0) NOT NULL,"
                                                   "             n_logo_bg varchar(200, 0),"
                                                   "             n_logo varchar(200,0),"
                                                   "             n_status integer default 1,"
                                                   "             n_index integer default -1,"
                                                   "             n_model integer default 0,"
                                                   "             n_type integer,"
                                                   "             n_update_time varchar(20,0),"
                                                   "             n_url varchar(200,0),"
                                                   "             n_protocol varchar(50,0),"
                                                   "             n_private varchar(50, 0),"
                                                   "             n_appid integer,"
                                                   "             n_account_type integer,"
                                                   "             n_user_id integer             )";
    constexpr const char* kCreateMagazines = "CREATE TABLE tb_magazines ("
                                             "             n_id integer NOT NULL PRIMARY KEY AUTOINCREMENT,"
                                             "             n_name varchar(50, 0) NOT NULL,"
                                             "             n_post_id integer NOT NULL,"
                                             "             n_category varchar(50, 0),"
                                             "             n_cover_thumb varchar(200, 0),"
                                             "             n_cover_original varchar(200, 0),"
                                             "             n_post_number integer,"
                                             "             n_post_date varchar(20, 0),"
                                             "             n_status integer default 1,"
                                             "             n_read_number integer,"
                                             "             n_account_type integer,"
                                             "             n_user_id integer             )";
    constexpr const char* kCreateMagazineDirectories
        = "CREATE TABLE tb_magazine_directories ("
          "             n_id integer NOT NULL PRIMARY KEY AUTOINCREMENT,"
          "             n_magazine_id integer NOT NULL,"
          "             n_directory_id integer,"
          "             n_directory_name varchar(200, 0),"
          "             n_directory_logo varchar(200, 0),"
          "             n_account_type integer,"
          "             n_user_id integer,"
          "             FOREIGN KEY(n_magazine_id) REFERENCES tb_magazines(n_id) on delete cascade             )";
    constexpr const char* kCreateMagazineChapters = "CREATE TABLE tb_magazine_chapters ("
                                                    "             n_id integer NOT NULL PRIMARY KEY AUTOINCREMENT,"
                                                    "             n_directory_id integer NOT NULL,"
                                                    "             n_chapter_id integer,"
                                                    "             n_chapter_category varchar(50, 0),"
                                                    "             n_chapter_title varchar(50, 0),"
                                                    "             n_default_image varchar(200, 0),"
                                                    "             n_default integer,"
                                                    "             FOREIGN KEY(n_directory_id) REFERENCES "
                                                    "tb_magazine_directories(n_id) on delete cascade             )";

    struct Account {
        int type = 0;
        int uid = 0;
    };

    // Looked up afresh by every call: the rows belong to the account in use at that moment.
    Account currentAccount()
    {
        auto account = MyAccountInfo::currentAccount();
        return account ? Account { account->type, account->uid } : Account {};
    }

    bool isPlainIdentifier(std::string_view name)
    {
        if (name.empty() || !(std::isalpha(static_cast<unsigned char>(name[0])) || name[0] == '_'))
            return false;
        for (char c : name) {
            if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_'))
                return false;
        }
        return true;
    }

    std::string quoted(std::string_view identifier)
    {
        std::string out = "\"";
        for (char c : identifier) {
            if (c == '"')
                out += '"';
            out += c;
        }
        return out + "\"";
    }

    std::string trimmed(std::string_view text)
    {
        std::size_t begin = 0;
        std::size_t end = text.size();
        while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
            ++begin;
        while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
            --end;
        return std::string(text.substr(begin, end - begin));
    }

    // A condition key is a column name followed by its comparison ("n_post_id=",
    // "n_status >", "n_name like"). Only known comparisons pass, so a key can
    // never carry SQL of its own; the value is always bound.
    std::optional<std::pair<std::string, std::string>> splitConditionKey(std::string_view key)
    {
        std::size_t end = 0;
        while (end < key.size() && (std::isalnum(static_cast<unsigned char>(key[end])) || key[end] == '_'))
            ++end;
        std::string column(key.substr(0, end));
        if (!isPlainIdentifier(column))
            return std::nullopt;
        std::string comparison = trimmed(key.substr(end));
        std::string lowered;
        for (char c : comparison)
            lowered += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        static const char* const kComparisons[]
            = { "=", "==", "!=", "<>", "<", "<=", ">", ">=", "like", "is", "is not" };
        for (const char* allowed : kComparisons) {
            if (lowered != allowed)
                continue;
            // Word comparisons need spaces around them; symbols stand as they are.
            bool word = std::isalpha(static_cast<unsigned char>(lowered[0]));
            return std::make_pair(column, word ? " " + lowered + " " : lowered);
        }
        return std::nullopt;
    }

    // Foreign keys are enforced per connection and are off by default, so each
    // connection that relies on a cascade switches them on first.
    bool enableForeignKeys(SQLDatabase& db)
    {
        if (db.intForQuery("PRAGMA foreign_keys") != 0)
            return true;
        db.executeUpdate("PRAGMA foreign_keys = ON;");
        return db.intForQuery("PRAGMA foreign_keys") != 0;
    }

    std::string textOf(const SQLResultSet& rs, const char* column)
    {
        return rs.stringForColumn(column).value_or(std::string());
    }

    // A row read with every column that the query returned; columns left out by
    // the caller's field list keep their defaults.
    class RowReader {
    public:
        explicit RowReader(const SQLResultSet& rs)
            : rs_(rs)
        {
        }
        bool has(const char* column) const { return rs_.columnNameToIndexMap().contains(column); }
        void read(const char* column, int& into) const
        {
            if (has(column))
                into = rs_.intForColumn(column);
        }
        void read(const char* column, std::string& into) const
        {
            if (has(column))
                into = textOf(rs_, column);
        }

    private:
        const SQLResultSet& rs_;
    };

    std::shared_ptr<MagazineInfo> magazineFromRow(const SQLResultSet& rs)
    {
        RowReader row(rs);
        auto m = std::make_shared<MagazineInfo>();
        row.read("n_id", m->_id);
        row.read("n_name", m->name);
        row.read("n_post_id", m->postId);
        row.read("n_category", m->category);
        row.read("n_cover_original", m->coverOriginal);
        row.read("n_cover_thumb", m->coverThumb);
        row.read("n_post_number", m->postNumber);
        row.read("n_post_date", m->postDate);
        row.read("n_status", m->status);
        row.read("n_read_number", m->readNumber);
        return m;
    }

    std::shared_ptr<MagazineDirectoryInfo> directoryFromRow(const SQLResultSet& rs)
    {
        RowReader row(rs);
        auto d = std::make_shared<MagazineDirectoryInfo>();
        row.read("n_id", d->_id);
        row.read("n_magazine_id", d->magazineId);
        row.read("n_directory_id", d->directoryId);
        row.read("n_directory_name", d->directoryName);
        row.read("n_directory_logo", d->directoryLogo);
        return d;
    }

    std::shared_ptr<MagazineChapterInfo> chapterFromRow(const SQLResultSet& rs)
    {
        RowReader row(rs);
        auto c = std::make_shared<MagazineChapterInfo>();
        row.read("n_id", c->_id);
        row.read("n_directory_id", c->directoryId);
        row.read("n_chapter_id", c->chapterId);
        row.read("n_chapter_category", c->chapterCategory);
        row.read("n_chapter_title", c->chapterTitle);
        row.read("n_default_image", c->chapterDefaultImage);
        row.read("n_default", c->isHeadShow);
        return c;
    }

    constexpr const char* kInsertMagazine
        = "insert into tb_magazines (n_name, n_post_id, n_category, n_cover_original, "
          "n_cover_thumb, n_post_number, n_post_date, n_status, n_read_number, "
          "n_account_type, n_user_id) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?);";
    constexpr const char* kUpdateMagazine = "update tb_magazines set n_name=?, n_post_id=?, n_category=?, "
                                            "n_cover_original=?, n_cover_thumb=?, n_post_number=?, n_post_date=?, "
                                            "n_status=?, n_read_number=? where n_id=?";
    constexpr const char* kInsertDirectory
        = "insert into tb_magazine_directories (n_magazine_id, n_directory_id, "
          "n_directory_name, n_directory_logo, n_account_type, n_user_id) values (?, "
          "?, ?, ?, ?, ?);";
    constexpr const char* kUpdateDirectory = "update tb_magazine_directories set n_magazine_id=?, n_directory_id=?, "
                                             "n_directory_logo=?, n_directory_name=? where n_id=?";
    constexpr const char* kInsertChapter
        = "insert into tb_magazine_chapters (n_directory_id, n_chapter_id, "
          "n_chapter_category, n_chapter_title, n_default_image, n_default) values (?, "
          "?, ?, ?, ?, ?);";
    constexpr const char* kUpdateChapter = "update tb_magazine_chapters set n_directory_id=?, n_chapter_id=?, "
                                           "n_chapter_category=?, n_chapter_title=?, n_default_image=?, n_default=? "
                                           "where n_id=?";

    bool insertMagazineRow(SQLDatabase& db, const MagazineInfo& m, const Account& account)
    {
        return db.executeUpdate(kInsertMagazine,
            { m.name, m.postId, m.category, m.coverOriginal, m.coverThumb, m.postNumber, m.postDate, m.status,
                m.readNumber, account.type, account.uid });
    }

    bool updateMagazineRow(SQLDatabase& db, const MagazineInfo& m, int rowId)
    {
        return db.executeUpdate(kUpdateMagazine,
            { m.name, m.postId, m.category, m.coverOriginal, m.coverThumb, m.postNumber, m.postDate, m.status,
                m.readNumber, rowId });
    }

    bool insertDirectoryRow(SQLDatabase& db, const MagazineDirectoryInfo& d, int magazineId, const Account& account)
    {
        return db.executeUpdate(kInsertDirectory,
            { magazineId, d.directoryId, d.directoryName, d.directoryLogo, account.type, account.uid });
    }

    bool insertChapterRow(SQLDatabase& db, const MagazineChapterInfo& c, int directoryId)
    {
        return db.executeUpdate(kInsertChapter,
            { directoryId, c.chapterId, c.chapterCategory, c.chapterTitle, c.chapterDefaultImage, c.isHeadShow });
    }

    // An issue is kept once per account and server id: a listed issue that is
    // already stored is updated in place (keeping its row id, and so its table
    // of contents) instead of being added again.
    int upsertMagazine(SQLDatabase& db, const MagazineInfo& m, const Account& account)
    {
        if (!db.beginTransaction())
            return 0;
        int rowId = 0;
        bool ok = false;
        if (auto rs = db.executeQuery("select n_id from tb_magazines where n_post_id=? and n_account_type=? and "
                                      "n_user_id=? order by n_id limit 1",
                { m.postId, account.type, account.uid })) {
            ok = true;
            if (rs->next())
                rowId = rs->intForColumnIndex(0);
            rs->close();
        }
        if (ok && rowId > 0) {
            ok = updateMagazineRow(db, m, rowId);
        } else if (ok) {
            ok = insertMagazineRow(db, m, account);
            rowId = ok ? static_cast<int>(db.lastInsertRowId()) : 0;
        }
        if (ok && db.commit())
            return rowId;
        db.rollback();
        return 0;
    }

    constexpr const char* kHeadChaptersQuery
        = "select n_chapter_id,n_chapter_category,n_chapter_title,n_default_image from tb_magazine_chapters AS A INNER "
          "JOIN tb_magazine_directories as B ON A.n_directory_id = B.n_id WHERE A.n_default = 1 AND B.n_magazine_id = "
          "? AND B.n_account_type=? AND B.n_user_id=? ORDER BY B.n_id, A.n_id";
    constexpr const char* kChaptersIndexQuery
        = "select A.n_chapter_id from tb_magazine_chapters as A INNER JOIN tb_magazine_directories as B ON "
          "A.n_directory_id = B.n_id WHERE B.n_magazine_id = ? AND B.n_account_type=? AND B.n_user_id=? ORDER BY "
          "B.n_id, A.n_id";
    // Ordered by directory so that each directory's chapters come as one run.
    constexpr const char* kChaptersQuery
        = "select A.n_chapter_id,A.n_chapter_category,A.n_chapter_title,A.n_default_image,B.n_directory_name,"
          "B.n_directory_logo,B.n_id from tb_magazine_chapters as A INNER JOIN tb_magazine_directories as B ON "
          "A.n_directory_id = B.n_id WHERE B.n_magazine_id = ? AND B.n_account_type=? AND B.n_user_id=? ORDER BY "
          "B.n_id, A.n_id";

    std::shared_ptr<MagazineChapterInfo> chapterSummaryFromRow(const SQLResultSet& rs)
    {
        auto c = std::make_shared<MagazineChapterInfo>();
        c->chapterId = rs.intForColumnIndex(0);
        c->chapterCategory = rs.stringForColumnIndex(1).value_or(std::string());
        c->chapterTitle = rs.stringForColumnIndex(2).value_or(std::string());
        c->chapterDefaultImage = rs.stringForColumnIndex(3).value_or(std::string());
        return c;
    }

} // namespace

std::shared_ptr<ORBDBHelper> ORBDBHelper::sharedORBDBHelper()
{
    static const std::shared_ptr<ORBDBHelper> shared = std::make_shared<ORBDBHelper>();
    return shared;
}

std::string ORBDBHelper::databasePath()
{
    std::string documents = ORBHelper::documentPath();
    if (!documents.empty() && documents.back() != '/')
        documents += '/';
    return documents + kDatabaseFileName;
}

std::shared_ptr<SQLDatabase> ORBDBHelper::database()
{
    const std::string path = databasePath();
    auto db = SQLDatabase::databaseWithPath(path);
    // Held before the file is opened, given up as the connection closes or
    // goes: a damaged file is never replaced under an open connection.
    auto hold = std::make_shared<DamagedStoreFile::Hold>(path);
    db->setWatch({ [path](int result) { DamagedStoreFile::statementFailed(path, result); }, [hold] { hold->release(); } });
    if (!db->open())
        return nullptr;
    db->setShouldCacheStatements(true);
    db->setLogsErrors(true);
    db->setMaxBusyRetryTimeInterval(kBusyTimeout);
    return db;
}

std::optional<std::string> ORBDBHelper::tableName(int type)
{
    switch (type) {
    case kNavigationInfos:
        return "tb_navigation_infos";
    case kMagazines:
        return "tb_magazines";
    case kMagazineDirectories:
        return "tb_magazine_directories";
    case kMagazineChapters:
        return "tb_magazine_chapters";
    default:
        return std::nullopt;
    }
}

std::optional<std::string> ORBDBHelper::createStatement(int type)
{
    switch (type) {
    case kNavigationInfos:
        return kCreateNavigationInfos;
    case kMagazines:
        return kCreateMagazines;
    case kMagazineDirectories:
        return kCreateMagazineDirectories;
    case kMagazineChapters:
        return kCreateMagazineChapters;
    default:
        return std::nullopt;
    }
}

StoreSchema ORBDBHelper::schema()
{
    StoreSchema schema;
    for (int type : { kNavigationInfos, kMagazines, kMagazineDirectories, kMagazineChapters })
        schema.tables.push_back({ *tableName(type), *createStatement(type) });
    return schema;
}

bool ORBDBHelper::tableExists(int type)
{
    auto name = tableName(type);
    if (!name)
        return true;
    auto db = database();
    if (!db)
        return false;
    bool exists = db->tableExists(*name);
    if (!exists) {
        exists = db->executeUpdate(*createStatement(type));
        // Another connection may have created it in the meantime.
        if (!exists)
            exists = db->tableExists(*name);
        platform::log(exists ? "create table successed" : "create table failed");
    }
    db->close();
    return exists;
}

int ORBDBHelper::insertOrUpdateWithType(
    int type, int operateType, const std::shared_ptr<const platform::Object>& object)
{
    if (type < kMagazines || type > kMagazineChapters || (operateType != kInsert && operateType != kUpdate) || !object)
        return 0;
    // A model of another table's kind writes nothing, not even a new table.
    bool matches = (type == kMagazines && dynamic_cast<const MagazineInfo*>(object.get()))
        || (type == kMagazineDirectories && dynamic_cast<const MagazineDirectoryInfo*>(object.get()))
        || (type == kMagazineChapters && dynamic_cast<const MagazineChapterInfo*>(object.get()));
    if (!matches)
        return 0;
    auto db = database();
    if (!db)
        return 0;
    if (!tableExists(type)) {
        db->close();
        return 0;
    }
    Account account = currentAccount();
    int result = 0;
    if (type == kMagazines) {
        if (const auto* m = dynamic_cast<const MagazineInfo*>(object.get())) {
            if (operateType == kInsert)
                result = upsertMagazine(*db, *m, account);
            else
                result = updateMagazineRow(*db, *m, m->_id) ? 1 : 0;
        }
    } else if (type == kMagazineDirectories) {
        if (const auto* d = dynamic_cast<const MagazineDirectoryInfo*>(object.get())) {
            if (operateType == kInsert)
                result
                    = insertDirectoryRow(*db, *d, d->magazineId, account) ? static_cast<int>(db->lastInsertRowId()) : 0;
            else
                result = db->executeUpdate(kUpdateDirectory,
                             { d->magazineId, d->directoryId, d->directoryLogo, d->directoryName, d->_id })
                    ? 1
                    : 0;
        }
    } else if (const auto* c = dynamic_cast<const MagazineChapterInfo*>(object.get())) {
        if (operateType == kInsert)
            result = insertChapterRow(*db, *c, c->directoryId) ? 1 : 0;
        else
            result = db->executeUpdate(kUpdateChapter,
                         { c->directoryId, c->chapterId, c->chapterCategory, c->chapterTitle, c->chapterDefaultImage,
                             c->isHeadShow, c->_id })
                ? 1
                : 0;
    }
    db->close();
    return result;
}

platform::Array ORBDBHelper::allDBDatas(int type, const std::optional<platform::Dictionary>& conditions,
    const std::optional<std::vector<std::string>>& fields)
{
    auto table = tableName(type);
    if (!table)
        return {};
    std::string qualifier = quoted(*table) + ".";
    std::vector<std::string> clauses;
    platform::Array arguments;
    if (conditions) {
        for (const auto& [key, value] : *conditions) {
            auto split = splitConditionKey(key);
            if (!split) {
                platform::log("unsupported condition:%s", key.c_str());
                return {};
            }
            clauses.push_back(qualifier + quoted(split->first) + split->second + "?");
            arguments.push_back(value);
        }
    }
    if (type == kNavigationInfos || type == kMagazines) {
        Account account = currentAccount();
        clauses.push_back(qualifier + "n_account_type=?");
        arguments.emplace_back(account.type);
        clauses.push_back(qualifier + "n_user_id=?");
        arguments.emplace_back(account.uid);
    }
    std::string columns;
    if (fields) {
        for (const auto& field : *fields) {
            if (!isPlainIdentifier(field)) {
                platform::log("unsupported field:%s", field.c_str());
                return {};
            }
            columns += (columns.empty() ? "" : ",") + quoted(field);
        }
    }
    if (columns.empty())
        columns = "*";
    std::string sql = "select " + columns + " from " + *table;
    if (!clauses.empty()) {
        sql += " where ";
        for (std::size_t i = 0; i < clauses.size(); ++i)
            sql += (i ? " and " : "") + clauses[i];
        if (type == kMagazines)
            sql += " order by " + qualifier + "n_id desc";
    }

    auto db = database();
    if (!db)
        return {};
    if (!tableExists(type) || type == kNavigationInfos) {
        db->close();
        return {};
    }
    platform::log("sql:%s", sql.c_str());
    platform::Array list;
    if (auto rs = db->executeQuery(sql, arguments)) {
        while (rs->next()) {
            if (type == kMagazines)
                list.emplace_back(magazineFromRow(*rs));
            else if (type == kMagazineDirectories)
                list.emplace_back(directoryFromRow(*rs));
            else
                list.emplace_back(chapterFromRow(*rs));
        }
        rs->close();
    }
    db->close();
    return list;
}

bool ORBDBHelper::deleteObjectWithType(int type, int objectId)
{
    if (type != kMagazines && type != kNavigationInfos)
        return false;
    auto db = database();
    if (!db)
        return false;
    if (!tableExists(type)) {
        db->close();
        return false;
    }
    bool ok = false;
    if (type == kMagazines) {
        // Without enforcement the cascade would not run and the issue's
        // directories and chapters would be left behind, so nothing is deleted.
        if (enableForeignKeys(*db))
            ok = db->executeUpdate("delete from tb_magazines where n_id=?", { objectId });
    } else {
        ok = db->executeUpdate("delete from tb_navigation_infos where n_id=?", { objectId });
    }
    db->close();
    return ok;
}

bool ORBDBHelper::replaceDirectoriesWithMagazineId(int magazineId, const std::vector<DirectoryContents>& directories)
{
    auto db = database();
    if (!db)
        return false;
    if (!tableExists(kMagazines) || !tableExists(kMagazineDirectories) || !tableExists(kMagazineChapters)
        || !enableForeignKeys(*db) || !db->beginTransaction()) {
        db->close();
        return false;
    }
    Account account = currentAccount();
    // The old directories go first; their chapters follow by the cascade.
    bool ok = db->executeUpdate(
        "delete from tb_magazine_directories where n_magazine_id=? and n_account_type=? and n_user_id=?",
        { magazineId, account.type, account.uid });
    for (const auto& contents : directories) {
        if (!ok)
            break;
        ok = insertDirectoryRow(*db, contents.directory, magazineId, account);
        int directoryRowId = ok ? static_cast<int>(db->lastInsertRowId()) : 0;
        for (const auto& chapter : contents.chapters) {
            if (!ok)
                break;
            ok = insertChapterRow(*db, chapter, directoryRowId);
        }
    }
    if (ok)
        ok = db->commit();
    if (!ok)
        db->rollback();
    db->close();
    return ok;
}

std::vector<std::shared_ptr<MagazineChapterInfo>> ORBDBHelper::allHeadChapters(int magazineId)
{
    std::vector<std::shared_ptr<MagazineChapterInfo>> chapters;
    auto db = database();
    if (!db)
        return chapters;
    Account account = currentAccount();
    platform::Array logged;
    if (auto rs = db->executeQuery(kHeadChaptersQuery, { magazineId, account.type, account.uid })) {
        while (rs->next()) {
            chapters.push_back(chapterSummaryFromRow(*rs));
            logged.emplace_back(chapters.back());
        }
        rs->close();
    }
    platform::log("results:%s", platform::Value(std::move(logged)).description().c_str());
    db->close();
    return chapters;
}

platform::Array ORBDBHelper::allChaptersWithMagazineId(int magazineId)
{
    platform::Array groups;
    auto db = database();
    if (!db)
        return groups;
    Account account = currentAccount();
    if (auto rs = db->executeQuery(kChaptersQuery, { magazineId, account.type, account.uid })) {
        int currentDirectory = 0;
        bool inRun = false;
        std::shared_ptr<MagazineDirectoryInfo> directory;
        platform::Array chapters;
        auto finishRun = [&] {
            if (inRun)
                groups.emplace_back(platform::Dictionary { { "dir", directory }, { "chapters", std::move(chapters) } });
            chapters = platform::Array();
        };
        while (rs->next()) {
            int directoryRowId = rs->intForColumnIndex(6);
            if (!inRun || directoryRowId != currentDirectory) {
                finishRun();
                inRun = true;
                currentDirectory = directoryRowId;
                directory = std::make_shared<MagazineDirectoryInfo>();
                directory->directoryName = rs->stringForColumnIndex(4).value_or(std::string());
                directory->directoryLogo = rs->stringForColumnIndex(5).value_or(std::string());
            }
            chapters.emplace_back(chapterSummaryFromRow(*rs));
        }
        finishRun();
        rs->close();
    }
    db->close();
    return groups;
}

std::vector<std::string> ORBDBHelper::allChaptersIndex(int magazineId)
{
    std::vector<std::string> ids;
    auto db = database();
    if (!db)
        return ids;
    Account account = currentAccount();
    if (auto rs = db->executeQuery(kChaptersIndexQuery, { magazineId, account.type, account.uid })) {
        while (rs->next())
            ids.push_back(std::to_string(rs->intForColumnIndex(0)));
        rs->close();
    }
    db->close();
    return ids;
}

} // namespace core
