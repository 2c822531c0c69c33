#include "server/SchoolData.h"

#include "foundation/sqlite/SQLDatabase.h"
#include "foundation/sqlite/SQLResultSet.h"
#include "platform/os/FileUtil.h"
#include "platform/os/Log.h"

#include <ctime>
#include <filesystem>

using foundation::SQLDatabase;

namespace server {

namespace {

    // The tables of the demo school. Times are local "yyyy-MM-dd HH:mm:ss" texts
    // so that text order is time order, as the client keeps them.
    const char* const kSchema[] = {
        "CREATE TABLE school (school_id INTEGER PRIMARY KEY, name TEXT NOT NULL, area_abb TEXT NOT NULL)",
        "CREATE TABLE person (person_id INTEGER PRIMARY KEY, name TEXT NOT NULL, person_type INTEGER NOT NULL, "
        "phone TEXT, is_customer INTEGER NOT NULL DEFAULT 1, avatar TEXT)",
        "CREATE TABLE account (user_id INTEGER PRIMARY KEY, login TEXT NOT NULL, password TEXT NOT NULL, "
        "school_id INTEGER NOT NULL, stu_sequence TEXT, ctd_enable INTEGER NOT NULL DEFAULT 0, "
        "student_id INTEGER, seq INTEGER NOT NULL DEFAULT 0)",
        "CREATE INDEX account_login ON account(login)",
        "CREATE TABLE class (class_id INTEGER PRIMARY KEY, school_id INTEGER NOT NULL, class_name TEXT NOT NULL, "
        "grade_bank INTEGER NOT NULL)",
        "CREATE TABLE teacher_class (teacher_id INTEGER NOT NULL, class_id INTEGER NOT NULL, "
        "subject_id INTEGER NOT NULL, head INTEGER NOT NULL DEFAULT 0, PRIMARY KEY(teacher_id, class_id))",
        "CREATE TABLE student (student_id INTEGER PRIMARY KEY, class_id INTEGER NOT NULL, parent_id INTEGER)",
        "CREATE TABLE subject (subject_id INTEGER PRIMARY KEY, school_id INTEGER NOT NULL, name TEXT NOT NULL)",
        "CREATE TABLE contact_group (owner_id INTEGER NOT NULL, group_id TEXT NOT NULL, name TEXT NOT NULL, "
        "group_type INTEGER NOT NULL, seq INTEGER NOT NULL, PRIMARY KEY(owner_id, group_id))",
        "CREATE TABLE contact (owner_id INTEGER NOT NULL, group_id TEXT NOT NULL, person_id INTEGER NOT NULL, "
        "remarks TEXT, seq INTEGER NOT NULL, PRIMARY KEY(owner_id, group_id, person_id))",
        "CREATE TABLE message (msg_id TEXT PRIMARY KEY, sender_id INTEGER NOT NULL, receiver_id INTEGER NOT NULL, "
        "content TEXT NOT NULL DEFAULT '', images TEXT NOT NULL DEFAULT '[]', audios TEXT NOT NULL DEFAULT '[]', "
        "date_time TEXT NOT NULL, template_id INTEGER NOT NULL DEFAULT 0, group_msg_id TEXT, "
        "delivered INTEGER NOT NULL DEFAULT 0, received INTEGER NOT NULL DEFAULT 0, "
        "read INTEGER NOT NULL DEFAULT 0)",
        "CREATE TABLE group_send (msg_id TEXT PRIMARY KEY, sender_id INTEGER NOT NULL, content TEXT NOT NULL, "
        "images TEXT NOT NULL DEFAULT '[]', audios TEXT NOT NULL DEFAULT '[]', date_time TEXT NOT NULL, "
        "template_id INTEGER NOT NULL DEFAULT 0)",
        "CREATE TABLE group_send_recipient (msg_id TEXT NOT NULL, person_id INTEGER NOT NULL, "
        "read INTEGER NOT NULL DEFAULT 0, sms_ok INTEGER NOT NULL DEFAULT 1, PRIMARY KEY(msg_id, person_id))",
        "CREATE TABLE template_type (title_id INTEGER PRIMARY KEY, title_name TEXT NOT NULL, "
        "title_type INTEGER NOT NULL, date_time TEXT NOT NULL)",
        "CREATE TABLE template (msg_id INTEGER PRIMARY KEY, msg_info TEXT NOT NULL, msg_type INTEGER NOT NULL, "
        "date_time TEXT NOT NULL)",
        "CREATE TABLE nav_message (account_type INTEGER NOT NULL, event_type INTEGER NOT NULL, "
        "content TEXT NOT NULL, count INTEGER NOT NULL, date_time TEXT NOT NULL)",
        "CREATE TABLE suggest_comment (sort INTEGER NOT NULL, type TEXT NOT NULL, content TEXT NOT NULL)",
        "CREATE TABLE comment_history (id INTEGER PRIMARY KEY AUTOINCREMENT, student_id INTEGER NOT NULL, "
        "teacher_id INTEGER NOT NULL, content TEXT NOT NULL, rank INTEGER NOT NULL DEFAULT 1, "
        "flag INTEGER NOT NULL DEFAULT 0, date_time TEXT NOT NULL)",
        "CREATE TABLE album (album_id INTEGER PRIMARY KEY AUTOINCREMENT, class_id INTEGER NOT NULL, "
        "name TEXT NOT NULL, description TEXT NOT NULL DEFAULT '', creator_id INTEGER NOT NULL, "
        "created TEXT NOT NULL)",
        "CREATE TABLE album_photo (id INTEGER PRIMARY KEY AUTOINCREMENT, album_id INTEGER NOT NULL, "
        "url TEXT NOT NULL, created TEXT NOT NULL)",
        "CREATE TABLE timetable (class_id INTEGER NOT NULL, week_day INTEGER NOT NULL, sort INTEGER NOT NULL, "
        "period TEXT NOT NULL, course TEXT NOT NULL, teacher_id INTEGER, PRIMARY KEY(class_id, week_day, sort))",
        "CREATE TABLE hot_activity (id INTEGER PRIMARY KEY, area_id TEXT NOT NULL, town_id TEXT NOT NULL, "
        "title TEXT NOT NULL, content TEXT NOT NULL, create_time TEXT NOT NULL)",
        "CREATE TABLE weibo (weibo_id INTEGER PRIMARY KEY AUTOINCREMENT, school_id INTEGER NOT NULL, "
        "sender_id INTEGER NOT NULL, pub_type INTEGER NOT NULL, content TEXT NOT NULL, date_time TEXT NOT NULL, "
        "praise INTEGER NOT NULL DEFAULT 0, deleted INTEGER NOT NULL DEFAULT 0)",
        "CREATE TABLE weibo_image (weibo_id INTEGER NOT NULL, seq INTEGER NOT NULL, original TEXT NOT NULL, "
        "thumb TEXT NOT NULL, PRIMARY KEY(weibo_id, seq))",
        "CREATE TABLE weibo_comment (id INTEGER PRIMARY KEY AUTOINCREMENT, weibo_id INTEGER NOT NULL, "
        "sender_id INTEGER NOT NULL, comment TEXT NOT NULL, date_time TEXT NOT NULL)",
        "CREATE TABLE magazine (post_id INTEGER PRIMARY KEY, name TEXT NOT NULL, category TEXT NOT NULL, "
        "post_number INTEGER NOT NULL, post_date TEXT NOT NULL, read_number INTEGER NOT NULL DEFAULT 0, "
        "state INTEGER NOT NULL DEFAULT 1, created_at TEXT NOT NULL, changed_at TEXT NOT NULL)",
        "CREATE TABLE magazine_read (user_id INTEGER NOT NULL, post_id INTEGER NOT NULL, "
        "PRIMARY KEY(user_id, post_id))",
        "CREATE TABLE magazine_directory (directory_id INTEGER PRIMARY KEY, post_id INTEGER NOT NULL, "
        "name TEXT NOT NULL, seq INTEGER NOT NULL)",
        "CREATE TABLE magazine_chapter (chapter_id INTEGER PRIMARY KEY, directory_id INTEGER NOT NULL, "
        "category TEXT NOT NULL, title TEXT NOT NULL, is_head INTEGER NOT NULL DEFAULT 0, body TEXT NOT NULL, "
        "seq INTEGER NOT NULL)",
        "CREATE TABLE magazine_ad (ad_id INTEGER PRIMARY KEY, ad_name TEXT NOT NULL)",
        "CREATE TABLE grade (grade_bank INTEGER PRIMARY KEY, grade_name TEXT NOT NULL)",
        "CREATE TABLE video_subject (subject_id INTEGER PRIMARY KEY, name TEXT NOT NULL)",
        "CREATE TABLE video (video_id INTEGER PRIMARY KEY, grade_bank INTEGER NOT NULL, subject_id INTEGER NOT NULL, "
        "source INTEGER NOT NULL, title TEXT NOT NULL, create_time TEXT NOT NULL, remark TEXT NOT NULL, "
        "read_count INTEGER NOT NULL DEFAULT 0, creater_name TEXT NOT NULL)",
        "CREATE TABLE video_comment (comment_id INTEGER PRIMARY KEY AUTOINCREMENT, video_id INTEGER NOT NULL, "
        "user_id INTEGER NOT NULL, user_name TEXT NOT NULL, user_type INTEGER NOT NULL, content TEXT NOT NULL, "
        "score INTEGER NOT NULL, comment_time TEXT NOT NULL)",
        "CREATE TABLE ctd_package (user_id INTEGER PRIMARY KEY, package_time INTEGER NOT NULL, "
        "remain_time INTEGER NOT NULL)",
        "CREATE TABLE call_history (id INTEGER PRIMARY KEY AUTOINCREMENT, user_id INTEGER NOT NULL, "
        "start_time TEXT NOT NULL, state TEXT NOT NULL, callee TEXT NOT NULL, callee_phone TEXT NOT NULL, "
        "caller_type INTEGER NOT NULL, use_minute INTEGER NOT NULL, link_id INTEGER NOT NULL)",
        "CREATE TABLE sms_history (msg_id TEXT PRIMARY KEY, user_id INTEGER NOT NULL, kind INTEGER NOT NULL, "
        "sender_id INTEGER NOT NULL, sender_name TEXT NOT NULL, content TEXT NOT NULL, date_time TEXT NOT NULL)",
        "CREATE TABLE upload (id INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT NULL, user_id INTEGER NOT NULL, "
        "account_type INTEGER NOT NULL, original_name TEXT NOT NULL, stored_name TEXT NOT NULL UNIQUE, "
        "content_type TEXT NOT NULL, size INTEGER NOT NULL, created TEXT NOT NULL)",
        "CREATE TABLE session (session_id TEXT PRIMARY KEY, login TEXT NOT NULL, created TEXT NOT NULL)",
        "CREATE TABLE verify_code (mobile TEXT PRIMARY KEY, code TEXT NOT NULL, created TEXT NOT NULL)",
        // What clients hand in that nothing reads back (notices, homework,
        // feedback, service messages): kept as the JSON they came in.
        "CREATE TABLE submission (id INTEGER PRIMARY KEY AUTOINCREMENT, kind TEXT NOT NULL, "
        "user_id INTEGER NOT NULL, payload TEXT NOT NULL, created TEXT NOT NULL)",
        "CREATE TABLE meta (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
    };

    using platform::Array;
    using platform::Value;

} // namespace

SchoolData::SchoolData(std::string path, std::shared_ptr<SQLDatabase> db)
    : path_(std::move(path))
    , db_(std::move(db))
{
}

SchoolData::~SchoolData()
{
    auto guard = lock();
    if (db_)
        db_->close();
}

std::unique_ptr<SchoolData> SchoolData::open(const std::string& path, platform::Error* error)
{
    auto parent = std::filesystem::path(path).parent_path().string();
    if (!parent.empty() && !platform::FileUtil::createDirectory(parent, error))
        return nullptr;
    auto db = SQLDatabase::databaseWithPath(path);
    if (!db->open()) {
        platform::setError(error, db->lastError());
        return nullptr;
    }
    db->setShouldCacheStatements(true);
    db->setLogsErrors(true);
    std::unique_ptr<SchoolData> data(new SchoolData(path, std::move(db)));
    if (!data->db_->tableExists("meta")) {
        bool ok = data->transaction([&] { return data->createSchema() && data->seed(); });
        if (!ok) {
            platform::setError(error,
                platform::Error::withDescription("StandinServerErrorDomain", 1,
                    "could not create the demo school in " + path + ": " + data->db_->lastErrorMessage()));
            return nullptr;
        }
        data->seededNow_ = true;
    }
    return data;
}

Array SchoolData::rows(const std::string& sql, const Array& args) const
{
    auto guard = lock();
    Array out;
    auto results = db_->executeQuery(sql, args);
    if (!results)
        return out;
    while (results->next()) {
        if (auto row = results->resultDictionary())
            out.push_back(Value(std::move(*row)));
    }
    return out;
}

std::optional<platform::Dictionary> SchoolData::row(const std::string& sql, const Array& args) const
{
    auto all = rows(sql, args);
    if (all.empty())
        return std::nullopt;
    return *all.front().asDictionary();
}

Value SchoolData::scalar(const std::string& sql, const Array& args) const
{
    auto guard = lock();
    auto results = db_->executeQuery(sql, args);
    if (!results || !results->next())
        return Value();
    Value value = results->objectForColumnIndex(0);
    results->close();
    return value;
}

bool SchoolData::exec(const std::string& sql, const Array& args)
{
    auto guard = lock();
    return db_->executeUpdate(sql, args);
}

long long SchoolData::insert(const std::string& sql, const Array& args)
{
    auto guard = lock();
    if (!db_->executeUpdate(sql, args))
        return 0;
    return db_->lastInsertRowId();
}

bool SchoolData::transaction(const std::function<bool()>& work)
{
    auto guard = lock();
    if (db_->inTransaction())
        return work(); // already inside one: the outer step decides
    if (!db_->beginTransaction())
        return false;
    if (!work()) {
        db_->rollback();
        return false;
    }
    if (!db_->commit()) {
        db_->rollback();
        return false;
    }
    return true;
}

std::string SchoolData::timeText(double offsetSeconds)
{
    std::time_t t = std::time(nullptr) + static_cast<std::time_t>(offsetSeconds);
    std::tm local {};
    localtime_r(&t, &local);
    char buffer[32];
    std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &local);
    return buffer;
}

bool SchoolData::createSchema()
{
    for (const char* statement : kSchema) {
        if (!db_->executeUpdate(statement))
            return false;
    }
    return true;
}

} // namespace server
