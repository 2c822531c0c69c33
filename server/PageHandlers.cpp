// What the application's local tool pages fetch (GET under webapp/page/):
// school and class notices with a detail each, homework by class with its
// photos, a class's attendance of one day and one student's of a month,
// online-service messages with the replies, and a class's students with
// their comment counts. The pages run in the client's browser engine from
// its own resources, so every answer allows that origin to read it.
//
// The notices, homework and service messages the client's send screens
// hand in (kept as submissions) are brought into the page tables the first
// time a page asks after them; the demo school's own come with the tables.
#include "server/ResponderContext.h"

#include <ctime>

namespace server {

namespace {

    constexpr double kDay = 24 * 3600;

    const char* const kPageTables[] = {
        "CREATE TABLE IF NOT EXISTS page_school_notice (notice_id INTEGER PRIMARY KEY AUTOINCREMENT, "
        "school_id INTEGER NOT NULL, title TEXT NOT NULL, content TEXT NOT NULL, publisher TEXT NOT NULL, "
        "important INTEGER NOT NULL DEFAULT 0, date_time TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS page_class_notice (notice_id INTEGER PRIMARY KEY AUTOINCREMENT, "
        "class_id INTEGER NOT NULL, teacher_id INTEGER NOT NULL, title TEXT NOT NULL, content TEXT NOT NULL, "
        "start_date TEXT, end_date TEXT, date_time TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS page_read (user_id INTEGER NOT NULL, kind TEXT NOT NULL, "
        "item_id INTEGER NOT NULL, PRIMARY KEY(user_id, kind, item_id))",
        "CREATE TABLE IF NOT EXISTS page_homework (homework_id INTEGER PRIMARY KEY AUTOINCREMENT, "
        "class_id INTEGER NOT NULL, teacher_id INTEGER NOT NULL, subject_name TEXT NOT NULL, content TEXT NOT NULL, "
        "finish_date TEXT, date_time TEXT NOT NULL)",
        "CREATE TABLE IF NOT EXISTS page_homework_photo (homework_id INTEGER NOT NULL, seq INTEGER NOT NULL, "
        "original TEXT NOT NULL, thumb TEXT NOT NULL, PRIMARY KEY(homework_id, seq))",
        "CREATE TABLE IF NOT EXISTS page_service_message (msg_id INTEGER PRIMARY KEY AUTOINCREMENT, "
        "user_id INTEGER NOT NULL, content TEXT NOT NULL, need_reply INTEGER NOT NULL, date_time TEXT NOT NULL, "
        "reply TEXT, reply_time TEXT)",
    };

    struct SchoolNoticeSeed {
        const char* title;
        const char* publisher;
        int important;
        double daysAgo;
        const char* content;
    };
    const SchoolNoticeSeed kSchoolNotices[] = {
        { "流感高发季节预防提示", "校医室", 0, 20,
            "近期流感病例增多，请家长每天早上为孩子测量体温，如有发热、咳嗽等症状请在家休息并及时就医，"
            "痊愈后凭医院证明返校。\n学校每天对教室进行通风和消毒。" },
        { "校园开放日邀请函", "校长室", 0, 12,
            "本月第三个周六上午9:00至11:30为校园开放日，欢迎各位家长走进课堂，参观学生作品展和社团展示。\n"
            "请从东门凭本通知入校。" },
        { "期末考试安排", "教务处", 1, 6,
            "一至六年级期末考试定于下月中旬进行，具体科目和时间以班主任通知为准。\n"
            "考试期间学生下午4:00放学，请家长按时接送。" },
        { "冬季安全教育致家长的一封信", "德育处", 0, 3,
            "冬季天气寒冷干燥，请家长提醒孩子注意用电、用火安全，不在结冰的水面上玩耍，"
            "上下学途中遵守交通规则。" },
        { "关于元旦放假的通知", "学校办公室", 1, 1,
            "根据上级安排，元旦放假一天，期间学校关闭。\n请各位家长合理安排孩子的假期生活，注意出行安全。" },
    };

    struct ClassNoticeSeed {
        int classId;
        int teacherId;
        const char* title;
        double daysAgo;
        const char* content;
    };
    const ClassNoticeSeed kClassNotices[] = {
        { 101, 2001, "图书角捐书活动", 4,
            "班级图书角开始征集图书，每位同学可捐1至2本适合三年级阅读的课外书，请在书的扉页写上姓名。" },
        { 102, 2003, "秋游报名截止提醒", 2, "秋游报名将于本周三截止，尚未交回回执的同学请尽快交给班主任。" },
        { 101, 2001, "本周五下午召开家长会", 0.2,
            "本周五下午3:00在三年级(1)班教室召开家长会，主要内容为本学期学习情况和期末复习安排，请家长准时参加。" },
    };

    struct HomeworkSeed {
        int classId;
        int teacherId;
        const char* subject;
        double daysAgo;
        int finishInDays;
        int photos;
        const char* content;
    };
    const HomeworkSeed kHomework[] = {
        { 102, 2003, "英语", 3, 1, 0, "抄写第四单元单词，每个三遍，并听录音跟读课文两遍。" },
        { 101, 2002, "数学", 1, 1, 0, "完成练习册第32至33页，订正昨天的口算题。" },
        { 101, 2001, "语文", 0.3, 2, 2,
            "1. 背诵《山行》并默写。\n2. 完成课堂练习卷的阅读理解部分（见图）。\n3. 预习第十课，圈出生字。" },
    };

    struct ServiceSeed {
        long long userId;
        const char* content;
        double daysAgo;
        const char* reply;
    };
    const ServiceSeed kServiceMessages[] = {
        { 2001, "群发短信时有的家长收不到，怎么处理？", 5,
            "您好，未开通短信服务的家长只能在客户端收到消息，可在群发状态里查看并重发。" },
        { 3001, "孩子换班了，通讯录里还是原来的班级。", 2, "您好，已为您更新班级信息，请在通讯录页面下拉刷新。" },
        { 2001, "成长课堂的视频可以下载吗？", 0.5, nullptr },
        { 5001, "在哪里能看到老师布置的作业？", 1, "你好，在消息页点“作业查询”就能看到老师布置的全部作业。" },
    };

    // State of a school day for one student, the same at every ask: mostly
    // present, now and then late, on leave or absent.
    struct DayRecord {
        int state;
        std::string inTime;
        std::string outTime;
        std::string note;
    };
    const char* const kStateNames[] = { "", "出勤", "迟到", "请假", "缺勤" };

    std::optional<std::tm> parseDay(const std::string& text)
    {
        std::tm day {};
        if (text.size() < 10 || !strptime(text.substr(0, 10).c_str(), "%Y-%m-%d", &day))
            return std::nullopt;
        day.tm_hour = 12;
        day.tm_isdst = -1;
        std::time_t t = std::mktime(&day);
        std::tm normal {};
        localtime_r(&t, &normal);
        return normal;
    }

    std::string dayText(const std::tm& day)
    {
        char buffer[16];
        std::strftime(buffer, sizeof buffer, "%Y-%m-%d", &day);
        return buffer;
    }

    bool isSchoolDay(const std::tm& day) { return day.tm_wday != 0 && day.tm_wday != 6; }

    DayRecord recordOf(long long studentId, const std::tm& day)
    {
        unsigned long long h = static_cast<unsigned long long>(studentId) * 2654435761ULL
            + static_cast<unsigned long long>(day.tm_year * 400 + day.tm_yday) * 40503ULL;
        h ^= h >> 13;
        h *= 0x9E3779B97F4A7C15ULL;
        h ^= h >> 29;
        int roll = static_cast<int>(h % 40);
        int minute = static_cast<int>((h >> 17) % 20);
        int leaving = static_cast<int>((h >> 37) % 25);
        char in[8];
        char out[8];
        std::snprintf(out, sizeof out, "16:%02d", 30 + leaving);
        if (roll == 0)
            return { 4, "", "", "未到校，未请假" };
        if (roll == 1)
            return { 3, "", "", "病假（家长已请假）" };
        if (roll <= 4) {
            std::snprintf(in, sizeof in, "08:%02d", 1 + minute);
            return { 2, in, out, "" };
        }
        std::snprintf(in, sizeof in, "07:%02d", 35 + minute);
        return { 1, in, out, "" };
    }

    // Today's record knows only what has happened yet: no leaving time before it comes.
    DayRecord asOfNow(DayRecord record, const std::tm& day)
    {
        std::time_t now = std::time(nullptr);
        std::tm local {};
        localtime_r(&now, &local);
        char clock[8];
        std::snprintf(clock, sizeof clock, "%02d:%02d", local.tm_hour, local.tm_min);
        bool today = local.tm_year == day.tm_year && local.tm_yday == day.tm_yday;
        if (today && !record.outTime.empty() && record.outTime > clock)
            record.outTime.clear();
        return record;
    }

    Dictionary recordValue(const DayRecord& record)
    {
        Dictionary value { { "state", record.state }, { "stateName", kStateNames[record.state] } };
        if (!record.inTime.empty())
            value.set("inTime", record.inTime);
        if (!record.outTime.empty())
            value.set("outTime", record.outTime);
        if (!record.note.empty())
            value.set("note", record.note);
        return value;
    }

    std::string firstLine(const std::string& text, std::size_t limit)
    {
        std::string line = text.substr(0, text.find('\n'));
        auto points = platform::codePoints(line);
        if (points.size() <= limit)
            return line;
        std::string cut;
        for (std::size_t i = 0; i < limit; ++i)
            cut += platform::utf8FromCodePoint(points[i]);
        return cut + "…";
    }

} // namespace

Reply RequestContext::pageAnswer(Reply reply) const
{
    // The pages' origin is the client's own resources; let them read the answer.
    std::string origin;
    for (const auto& [name, value] : request_.headers) {
        if (platform::equalsIgnoringAsciiCase(name, "origin"))
            origin = value;
    }
    reply.headers.emplace_back("Access-Control-Allow-Origin", origin.empty() ? "*" : origin);
    if (!origin.empty())
        reply.headers.emplace_back("Access-Control-Allow-Credentials", "true");
    reply.headers.emplace_back("Cache-Control", "no-store");
    return reply;
}

void RequestContext::preparePages()
{
    for (const char* statement : kPageTables)
        data_.exec(statement);
    if (data_.scalar("SELECT value FROM meta WHERE key = 'pages_seeded'").isNull()) {
        data_.transaction([&] {
            for (const auto& n : kSchoolNotices)
                data_.insert("INSERT INTO page_school_notice (school_id, title, content, publisher, important, date_time) "
                             "SELECT school_id, ?, ?, ?, ?, ? FROM school",
                    { n.title, n.content, n.publisher, n.important, SchoolData::timeText(-n.daysAgo * kDay) });
            for (const auto& n : kClassNotices)
                data_.insert("INSERT INTO page_class_notice (class_id, teacher_id, title, content, date_time) "
                             "VALUES (?, ?, ?, ?, ?)",
                    { n.classId, n.teacherId, n.title, n.content, SchoolData::timeText(-n.daysAgo * kDay) });
            for (const auto& h : kHomework) {
                long long id = data_.insert("INSERT INTO page_homework (class_id, teacher_id, subject_name, content, "
                                            "finish_date, date_time) VALUES (?, ?, ?, ?, ?, ?)",
                    { h.classId, h.teacherId, h.subject, h.content,
                        SchoolData::timeText((h.finishInDays - h.daysAgo) * kDay).substr(0, 10),
                        SchoolData::timeText(-h.daysAgo * kDay) });
                for (int p = 1; p <= h.photos; ++p) {
                    std::string name = std::string(SchoolData::kBaseMarker) + "static/img/homework-" + std::to_string(id)
                        + "-" + std::to_string(p);
                    data_.insert("INSERT INTO page_homework_photo VALUES (?, ?, ?, ?)",
                        { id, p, name + ".png", name + "-thumb.png" });
                }
            }
            for (const auto& m : kServiceMessages)
                data_.insert("INSERT INTO page_service_message (user_id, content, need_reply, date_time, reply, reply_time) "
                             "VALUES (?, ?, 1, ?, ?, ?)",
                    { m.userId, m.content, SchoolData::timeText(-m.daysAgo * kDay), m.reply ? Value(m.reply) : Value(),
                        m.reply ? Value(SchoolData::timeText(-m.daysAgo * kDay + 3600)) : Value() });
            // Whatever was handed in before the first page asked is brought in next.
            return data_.exec("INSERT INTO meta VALUES ('pages_seeded', '1')");
        });
    }
    importSubmissions();
}

// What the send screens handed in since the last look, into the page tables.
void RequestContext::importSubmissions()
{
    long long last = platform::leadingIntegerOf(
        data_.scalar("SELECT value FROM meta WHERE key = 'pages_imported'").stringValue());
    Array fresh = data_.rows("SELECT id, kind, user_id AS userId, payload, created FROM submission WHERE id > ? "
                             "AND kind IN ('notice', 'homework', 'servicemsg') ORDER BY id",
        { last });
    if (fresh.empty())
        return;
    data_.transaction([&] {
        for (const auto& row : fresh) {
            auto payload = platform::PlatformJson::read(row["payload"].stringValue()).value_or(Value());
            auto text = [&](const char* key) { return payload[key].stringValue(); };
            const std::string kind = row["kind"].stringValue();
            const std::string created = row["created"].stringValue();
            long long userId = row["userId"].longLongValue();
            if (kind == "notice") {
                data_.insert("INSERT INTO page_class_notice (class_id, teacher_id, title, content, start_date, end_date, "
                             "date_time) VALUES (?, ?, ?, ?, ?, ?, ?)",
                    { platform::leadingIntegerOf(text("classId")), userId, text("title"), text("content"),
                        text("startDate"), text("endDate"), created });
            } else if (kind == "homework") {
                std::string subject = text("subject");
                if (subject.empty())
                    subject = data_.scalar("SELECT name FROM subject WHERE subject_id = ?", { payload["subjectId"].longLongValue() })
                                  .stringValue();
                long long id = data_.insert("INSERT INTO page_homework (class_id, teacher_id, subject_name, content, "
                                            "finish_date, date_time) VALUES (?, ?, ?, ?, ?, ?)",
                    { payload["classId"].longLongValue(), userId, subject, text("content"),
                        text("dateTime").substr(0, 10), created });
                if (!text("original").empty())
                    data_.insert("INSERT INTO page_homework_photo VALUES (?, 1, ?, ?)",
                        { id, text("original"), text("thumb").empty() ? text("original") : text("thumb") });
            } else {
                data_.insert("INSERT INTO page_service_message (user_id, content, need_reply, date_time) VALUES (?, ?, ?, ?)",
                    { userId, text("content"), platform::leadingIntegerOf(text("isNeedReply")) != 0 ? 1 : 0, created });
            }
        }
        return data_.exec("INSERT OR REPLACE INTO meta VALUES ('pages_imported', ?)",
            { std::to_string(fresh.back()["id"].longLongValue()) });
    });
}

// The classes the account sees: a teacher's own, a parent's child's, a student's.
Array RequestContext::pageClasses() const { return classesOf(userId()); }

// The class asked for when the account sees it, else its first class (0: none).
long long RequestContext::pageClass(const Array& classes) const
{
    long long asked = paramInt("classId");
    for (const auto& c : classes) {
        if (c["classId"].longLongValue() == asked)
            return asked;
    }
    return classes.empty() ? 0 : classes[0]["classId"].longLongValue();
}

std::string RequestContext::pageClassList(const Array& classes)
{
    std::string list;
    for (const auto& c : classes)
        list += (list.empty() ? "" : ",") + std::to_string(c["classId"].longLongValue());
    return list.empty() ? "0" : list;
}

Reply RequestContext::pageSchoolNotices()
{
    preparePages();
    Array items = data_.rows("SELECT n.notice_id AS noticeId, n.title, n.content, n.publisher, n.important, "
                             "n.date_time AS dateTime, (r.item_id IS NOT NULL) AS read FROM page_school_notice n "
                             "LEFT JOIN page_read r ON r.kind = 'school' AND r.item_id = n.notice_id AND r.user_id = ? "
                             "WHERE n.school_id = ? ORDER BY n.date_time DESC, n.notice_id DESC",
        { userId(), schoolId() });
    for (auto& item : items) {
        if (auto* fields = item.asDictionary()) {
            fields->set("summary", firstLine(fields->get("content").stringValue(), 60));
            fields->erase("content");
        }
    }
    return pageAnswer(withItems(std::move(items)));
}

Reply RequestContext::pageSchoolNotice()
{
    preparePages();
    auto notice = data_.row("SELECT notice_id AS noticeId, title, content, publisher, date_time AS dateTime "
                            "FROM page_school_notice WHERE notice_id = ? AND school_id = ?",
        { paramInt("noticeId"), schoolId() });
    if (!notice)
        return pageAnswer(failure("公告不存在或已删除"));
    data_.exec("INSERT OR IGNORE INTO page_read VALUES (?, 'school', ?)", { userId(), paramInt("noticeId") });
    Dictionary reply = envelope(1, "");
    for (auto& [key, value] : *notice)
        reply.set(key, value);
    return pageAnswer(jsonReply(Value(std::move(reply))));
}

Reply RequestContext::pageClassNotices()
{
    preparePages();
    Array classes = pageClasses();
    Array items = data_.rows("SELECT n.notice_id AS noticeId, n.class_id AS classId, c.class_name AS className, "
                             "n.title, n.content, p.name AS teacherName, n.date_time AS dateTime, "
                             "(r.item_id IS NOT NULL OR n.teacher_id = ?1) AS read FROM page_class_notice n "
                             "JOIN class c ON c.class_id = n.class_id LEFT JOIN person p ON p.person_id = n.teacher_id "
                             "LEFT JOIN page_read r ON r.kind = 'class' AND r.item_id = n.notice_id AND r.user_id = ?1 "
                             "WHERE n.class_id IN ("
            + pageClassList(classes) + ") ORDER BY n.date_time DESC, n.notice_id DESC",
        { userId() });
    return pageAnswer(withItems(compact(std::move(items)), Dictionary { { "classes", Value(classes) } }));
}

Reply RequestContext::pageClassNotice()
{
    preparePages();
    Array classes = pageClasses();
    auto notice = data_.row("SELECT notice_id AS noticeId, title, content FROM page_class_notice "
                            "WHERE notice_id = ? AND class_id IN ("
            + pageClassList(classes) + ")",
        { paramInt("noticeId") });
    if (!notice)
        return pageAnswer(failure("公告不存在或已删除"));
    data_.exec("INSERT OR IGNORE INTO page_read VALUES (?, 'class', ?)", { userId(), paramInt("noticeId") });
    Dictionary reply = envelope(1, "");
    for (auto& [key, value] : *notice)
        reply.set(key, value);
    return pageAnswer(jsonReply(Value(std::move(reply))));
}

Reply RequestContext::pageHomework()
{
    preparePages();
    Array classes = pageClasses();
    Array items = compact(data_.rows("SELECT h.homework_id AS homeworkId, h.class_id AS classId, c.class_name AS className, "
                                     "h.subject_name AS subjectName, h.content, h.finish_date AS finishDate, "
                                     "h.date_time AS dateTime, p.name AS teacherName FROM page_homework h "
                                     "JOIN class c ON c.class_id = h.class_id LEFT JOIN person p ON p.person_id = h.teacher_id "
                                     "WHERE h.class_id IN ("
        + pageClassList(classes) + ") ORDER BY h.date_time DESC, h.homework_id DESC"));
    for (auto& item : items) {
        if (auto* fields = item.asDictionary())
            fields->set("photos", Value(data_.rows("SELECT original, thumb FROM page_homework_photo WHERE homework_id = ? "
                                                   "ORDER BY seq",
                                      { fields->get("homeworkId").longLongValue() })));
    }
    return pageAnswer(withItems(std::move(items), Dictionary { { "classes", Value(classes) } }));
}

Reply RequestContext::pageAttendanceOfClass()
{
    Array classes = pageClasses();
    long long classId = pageClass(classes);
    auto day = parseDay(paramText("date"));
    if (!day) {
        std::time_t now = std::time(nullptr);
        std::tm today {};
        localtime_r(&now, &today);
        day = today;
    }
    Array items;
    bool schoolDay = isSchoolDay(*day);
    if (schoolDay) {
        for (auto& student : students("s.class_id = ?", classId)) {
            Dictionary row = recordValue(asOfNow(recordOf(student["studentId"].longLongValue(), *day), *day));
            row.set("studentId", student["studentId"]);
            row.set("name", student["name"]);
            row.set("pic", student["pic"]);
            items.push_back(Value(std::move(row)));
        }
    }
    Dictionary extra { { "classes", Value(classes) }, { "classId", classId }, { "date", dayText(*day) } };
    if (!schoolDay)
        extra.set("holiday", 1);
    return pageAnswer(withItems(std::move(items), std::move(extra)));
}

Reply RequestContext::pageAttendanceOfStudent()
{
    // A teacher asks for any student of a class taught; the others see their own child, or themselves.
    long long studentId = paramInt("studentId");
    if (userType() != 1 || studentId == 0)
        studentId = data_.scalar("SELECT student_id FROM account WHERE user_id = ?", { userId() }).longLongValue();
    auto student = data_.row("SELECT p.name AS studentName, c.class_name AS className, s.class_id AS classId "
                             "FROM student s JOIN person p ON p.person_id = s.student_id "
                             "JOIN class c ON c.class_id = s.class_id WHERE s.student_id = ?",
        { studentId });
    if (!student)
        return pageAnswer(failure("没有找到学生信息"));
    if (userType() == 1) {
        bool teaches = data_.scalar("SELECT COUNT(*) FROM teacher_class WHERE teacher_id = ? AND class_id = ?",
                               { userId(), student->get("classId") })
                           .intValue()
            > 0;
        if (!teaches)
            return pageAnswer(failure("没有查看该学生考勤的权限"));
    }
    std::time_t now = std::time(nullptr);
    std::tm today {};
    localtime_r(&now, &today);
    std::string month = paramText("month");
    auto first = parseDay(month + "-01");
    if (!first)
        first = parseDay(dayText(today).substr(0, 7) + "-01");
    Array items;
    // Newest day first, up to today.
    std::string todayText = dayText(today);
    for (int d = 31; d >= 1; --d) {
        std::tm day = *first;
        day.tm_mday = d;
        day.tm_isdst = -1;
        std::time_t t = std::mktime(&day);
        std::tm normal {};
        localtime_r(&t, &normal);
        if (normal.tm_mon != first->tm_mon || dayText(normal) > todayText || !isSchoolDay(normal))
            continue;
        Dictionary row = recordValue(asOfNow(recordOf(studentId, normal), normal));
        row.set("date", dayText(normal));
        items.push_back(Value(std::move(row)));
    }
    Dictionary extra { { "studentId", studentId }, { "studentName", student->get("studentName") },
        { "className", student->get("className") }, { "month", dayText(*first).substr(0, 7) } };
    return pageAnswer(withItems(std::move(items), std::move(extra)));
}

Reply RequestContext::pageServiceMessages()
{
    preparePages();
    Array items = compact(data_.rows("SELECT msg_id AS msgId, content, need_reply AS needReply, date_time AS dateTime, "
                                     "reply, reply_time AS replyTime FROM page_service_message WHERE user_id = ? "
                                     "ORDER BY date_time, msg_id",
        { userId() }));
    return pageAnswer(withItems(std::move(items)));
}

Reply RequestContext::pageCommentStudents()
{
    Array classes = pageClasses();
    long long classId = pageClass(classes);
    Array items;
    // A teacher sees the class; a parent or a student only the child.
    long long own = userType() == 1 ? 0 : data_.scalar("SELECT student_id FROM account WHERE user_id = ?", { userId() }).longLongValue();
    for (auto& student : students("s.class_id = ?", classId)) {
        long long id = student["studentId"].longLongValue();
        if (own != 0 && id != own)
            continue;
        auto counts = data_.row("SELECT COUNT(*) AS n, MAX(date_time) AS last FROM comment_history WHERE student_id = ?", { id });
        Dictionary row { { "studentId", id }, { "name", student["name"] }, { "pic", student["pic"] }, { "type", 1 },
            { "count", counts ? counts->get("n").intValue() : 0 } };
        if (counts && !counts->get("last").isNull())
            row.set("lastDate", counts->get("last"));
        items.push_back(Value(std::move(row)));
    }
    return pageAnswer(withItems(std::move(items), Dictionary { { "classes", Value(classes) }, { "classId", classId } }));
}

} // namespace server
