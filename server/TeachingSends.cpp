// Class notices, homework and online-service messages: what the teachers'
// sending screens hand in, checked and stored.
#include "server/TeachingSends.h"

#include "platform/os/StringUtil.h"
#include "server/ResponderContext.h"

namespace server {

namespace teachingsends {

    bool ensureTables(SchoolData& data)
    {
        static const char* const tables[] = {
            "CREATE TABLE IF NOT EXISTS class_notice (notice_id INTEGER PRIMARY KEY AUTOINCREMENT, "
            "school_id INTEGER NOT NULL, teacher_id INTEGER NOT NULL, class_id INTEGER NOT NULL, "
            "title TEXT NOT NULL, content TEXT NOT NULL, start_date TEXT NOT NULL, end_date TEXT NOT NULL, "
            "created TEXT NOT NULL)",
            "CREATE TABLE IF NOT EXISTS homework (homework_id INTEGER PRIMARY KEY AUTOINCREMENT, "
            "teacher_id INTEGER NOT NULL, class_id INTEGER NOT NULL, class_name TEXT NOT NULL, "
            "subject_id INTEGER NOT NULL, subject TEXT NOT NULL, content TEXT NOT NULL, date_time TEXT NOT NULL, "
            "original TEXT NOT NULL, thumb TEXT NOT NULL, created TEXT NOT NULL)",
            "CREATE TABLE IF NOT EXISTS service_message (message_id INTEGER PRIMARY KEY AUTOINCREMENT, "
            "school_id INTEGER NOT NULL, user_id INTEGER NOT NULL, content TEXT NOT NULL, "
            "need_reply INTEGER NOT NULL, created TEXT NOT NULL)",
        };
        auto guard = data.lock();
        for (const char* sql : tables) {
            if (!data.exec(sql))
                return false;
        }
        return true;
    }

    platform::Array classNotices(SchoolData& data, long long classId)
    {
        ensureTables(data);
        return data.rows("SELECT notice_id AS noticeId, teacher_id AS teacherId, class_id AS classId, title, content, "
                         "start_date AS startDate, end_date AS endDate, created FROM class_notice "
                         "WHERE class_id = ? ORDER BY notice_id DESC",
            { classId });
    }

    platform::Array homework(SchoolData& data, long long classId)
    {
        ensureTables(data);
        return data.rows("SELECT homework_id AS homeworkId, teacher_id AS teacherId, class_id AS classId, "
                         "class_name AS className, subject_id AS subjectId, subject, content, date_time AS dateTime, "
                         "original, thumb, created FROM homework WHERE class_id = ? ORDER BY homework_id DESC",
            { classId });
    }

    platform::Array serviceMessages(SchoolData& data, long long userId)
    {
        ensureTables(data);
        return data.rows("SELECT message_id AS messageId, user_id AS userId, content, need_reply AS isNeedReply, "
                         "created FROM service_message WHERE user_id = ? ORDER BY message_id DESC",
            { userId });
    }

} // namespace teachingsends

namespace {

    // The sender teaches the class: a notice or homework for any other
    // class (or none, id 0) is refused.
    bool teaches(SchoolData& data, long long teacherId, long long classId)
    {
        return data.scalar("SELECT COUNT(*) FROM teacher_class WHERE teacher_id = ? AND class_id = ?",
                       { teacherId, classId })
                   .intValue()
            > 0;
    }

} // namespace

Reply RequestContext::classNotice()
{
    if (paramText("title").empty())
        return failure("标题不能为空");
    if (paramText("content").empty())
        return failure("内容不能为空");
    const long long classId = paramInt("classId");
    if (!teaches(data_, userId(), classId))
        return failure("班级不存在");
    if (!teachingsends::ensureTables(data_))
        return failure("通知保存失败");
    bool stored = data_.transaction([&] {
        keep("notice", userId(), queryAsValue());
        return data_.insert("INSERT INTO class_notice (school_id, teacher_id, class_id, title, content, start_date, "
                            "end_date, created) VALUES (?, ?, ?, ?, ?, ?, ?, ?)",
                   { schoolId(), userId(), classId, paramText("title"), paramText("content"), paramText("startDate"),
                       paramText("endDate"), SchoolData::timeText() })
            > 0;
    });
    return stored ? success("通知发送成功") : failure("通知保存失败");
}

Reply RequestContext::homework()
{
    // A photo alone is homework too: "做完拍照的这一页".
    const bool hasPhoto = !bodyText("original").empty() && !bodyText("thumb").empty();
    if (bodyText("content").empty() && !hasPhoto)
        return failure("作业内容不能为空");
    const long long classId = bodyInt("classId");
    if (!teaches(data_, userId(), classId))
        return failure("班级不存在");
    const long long subjectId = bodyInt("subjectId");
    if (data_.scalar("SELECT COUNT(*) FROM subject WHERE subject_id = ? AND school_id = ?", { subjectId, schoolId() })
            .intValue()
        == 0)
        return failure("课程不存在");
    if (!teachingsends::ensureTables(data_))
        return failure("作业保存失败");
    bool stored = data_.transaction([&] {
        keep("homework", userId(), request_.body);
        return data_.insert("INSERT INTO homework (teacher_id, class_id, class_name, subject_id, subject, content, "
                            "date_time, original, thumb, created) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)",
                   { userId(), classId, bodyText("className"), subjectId, bodyText("subject"), bodyText("content"),
                       bodyText("dateTime"), hasPhoto ? bodyText("original") : std::string(),
                       hasPhoto ? bodyText("thumb") : std::string(), SchoolData::timeText() })
            > 0;
    });
    return stored ? success("作业布置成功") : failure("作业保存失败");
}

Reply RequestContext::serviceMessage()
{
    if (platform::trimWhitespaceAndNewlines(paramText("content")).empty())
        return failure("内容不能为空");
    if (!teachingsends::ensureTables(data_))
        return failure("留言保存失败");
    bool stored = data_.transaction([&] {
        keep("servicemsg", userId(), queryAsValue());
        return data_.insert("INSERT INTO service_message (school_id, user_id, content, need_reply, created) "
                            "VALUES (?, ?, ?, ?, ?)",
                   { schoolId(), userId(), paramText("content"), paramInt("isNeedReply") != 0 ? 1 : 0,
                       SchoolData::timeText() })
            > 0;
    });
    return stored ? success("发送成功") : failure("留言保存失败");
}

} // namespace server
